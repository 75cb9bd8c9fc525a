// Wall time of the same transcode by the engine and by the ffmpeg program, alternating,
// with equal settings and thread counts (both leave threading to the codecs' defaults).
//
//   vintra-bench-engine [--runs N] [--keep DIR]
//
// Source: 30 s of 1280x720 testsrc2 at 25 fps with a 440 Hz tone, H.264 + AAC in MP4,
// made once with the ffmpeg program. Prints the median of each side and their ratio.
//
// The frame hook part converts 20 s of it to MPEG-4 three ways: unhooked, hooked with a
// handler that draws nothing, hooked with one that draws a 400x100 box on every frame,
// and compares them with the ffmpeg program making the same round trip through BGR
// (-vf format=bgr24,format=yuv420p).

#include "engine/TFFmpegVCL.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

bool RunFFmpeg(const QStringList &args)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Case
{
    const char *name;
    TOutputOptions options;
    QStringList ffmpegArgs; // between input and output
};

enum class Hook { None, Nothing, Box };

// Converts with the engine as the program does (one task, Start(1), wait for the end).
double EngineSeconds(const QString &source, const QString &dest, const TOutputOptions &options, Hook hook = Hook::None)
{
    TFFmpegVCL engine;
    if (hook != Hook::None) {
        engine.SetOnCustomHook([hook](TFFmpegVCL *, TCustomHookInfo &info) {
            if (hook == Hook::Box)
                for (int y = 100; y < 200; ++y)
                    std::memset(info.Bitmap->scanLine(y) + 3 * 100, 0xFF, 3 * 400);
        });
    }
    std::atomic<bool> ended = false;
    std::atomic<bool> ok = false;
    engine.SetOnTerminate([&](TFFmpegVCL *, const TTerminateInfo &info) {
        if (info.TaskIndex >= 0)
            ok = info.Finished;
        else
            ended = true;
    });
    QElapsedTimer t;
    t.start();
    const int task = engine.AddTask(source);
    TOutputOptions o = options;
    o.HookFrames = hook != Hook::None;
    engine.SetOutputFile(task, dest, o);
    engine.Start(1);
    while (!ended) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "engine conversion failed\n");
        std::exit(1);
    }
    return seconds;
}

double FFmpegSeconds(const QString &source, const QString &dest, const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    if (!RunFFmpeg(QStringList{"-i", source} + args + QStringList{dest})) {
        std::fprintf(stderr, "ffmpeg conversion failed\n");
        std::exit(1);
    }
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == "--keep" && i + 1 < args.size())
            keep = args[++i];
    }
    QTemporaryDir tmp;
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(dir);
    const QString source = dir + "/source-720p-30s.mp4";
    if (!QFileInfo::exists(source)) {
        std::printf("making the source clip...\n");
        if (!RunFFmpeg({"-f",      "lavfi",    "-i",       "testsrc2=size=1280x720:rate=25:duration=30",
                        "-f",      "lavfi",    "-i",       "sine=frequency=440:sample_rate=44100:duration=30",
                        "-ac",     "2",        "-c:v",     "libx264",
                        "-preset", "veryfast", "-pix_fmt", "yuv420p",
                        "-c:a",    "aac",      "-b:a",     "128k",
                        source}))
            return 1;
    }

    std::vector<Case> cases;
    {
        Case c{"mpeg4 2000k + aac 128k", {}, {"-c:v", "mpeg4", "-b:v", "2000k", "-c:a", "aac", "-b:a", "128k"}};
        c.options.VideoCodecName = "mpeg4";
        c.options.VideoBitsPerSec = 2000000;
        c.options.AudioCodecName = "aac";
        c.options.AudioBitsPerSec = 128000;
        cases.push_back(c);
    }
    {
        Case c{"libx264 + aac 128k", {}, {"-c:v", "libx264", "-c:a", "aac", "-b:a", "128k"}};
        c.options.VideoCodecName = "libx264";
        c.options.AudioCodecName = "aac";
        c.options.AudioBitsPerSec = 128000;
        cases.push_back(c);
    }

    std::printf("%-26s %10s %10s %8s\n", "transcode", "engine s", "ffmpeg s", "ratio");
    for (const Case &c : cases) {
        std::vector<double> engine, ffmpeg;
        for (int r = 0; r < runs; ++r) {
            engine.push_back(EngineSeconds(source, dir + "/engine.mp4", c.options));
            ffmpeg.push_back(FFmpegSeconds(source, dir + "/ffmpeg.mp4", c.ffmpegArgs));
        }
        const double e = Median(engine), f = Median(ffmpeg);
        std::printf("%-26s %10.2f %10.2f %8.3f\n", c.name, e, f, e / f);
        std::fflush(stdout);
    }

    // The frame hook: 20 s to MPEG-4 2000k + AAC.
    TOutputOptions mpeg4 = cases[0].options;
    mpeg4.DurationLimit = 20'000'000;
    const QStringList limit{"-t", "20"};
    std::vector<double> plain, nothing, box, roundTrip;
    for (int r = 0; r < runs; ++r) {
        plain.push_back(EngineSeconds(source, dir + "/plain.mp4", mpeg4));
        nothing.push_back(EngineSeconds(source, dir + "/nothing.mp4", mpeg4, Hook::Nothing));
        box.push_back(EngineSeconds(source, dir + "/box.mp4", mpeg4, Hook::Box));
        roundTrip.push_back(
            FFmpegSeconds(source, dir + "/ffmpeg-bgr.mp4",
                          limit + QStringList{"-vf", "format=bgr24,format=yuv420p"} + cases[0].ffmpegArgs));
    }
    const double p = Median(plain), n = Median(nothing), b = Median(box), f = Median(roundTrip);
    std::printf("\nframe hook, 1280x720, 20 s, mpeg4 2000k + aac 128k (median s)\n");
    std::printf("  engine unhooked               %6.2f\n", p);
    std::printf("  engine hooked, draws nothing  %6.2f  overhead %+.1f %%  vs ffmpeg round trip %.3f\n", n,
                100 * (n / p - 1), n / f);
    std::printf("  engine hooked, draws a box    %6.2f  overhead %+.1f %%  vs ffmpeg round trip %.3f\n", b,
                100 * (b / p - 1), b / f);
    std::printf("  ffmpeg with the BGR round trip %5.2f\n", f);
    return 0;
}
