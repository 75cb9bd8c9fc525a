// The preview player on a 10 s 1920x1080 30 fps H.264 clip with sound, offscreen:
// pictures dropped while it plays through, and the time Seek(0, true, t) takes.
//
//   vintra-bench-player [--keep DIR] [--gop FRAMES]
//
// The clip is made once with the ffmpeg program; its key frames are --gop frames apart
// (default 60: two seconds, as phones and cameras write them).

#include "engine/TFFPlayer.h"
#include "preview/VideoSurfaceWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString keep;
    int gop = 60;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--keep")
            keep = args[++i];
        else if (args[i] == "--gop")
            gop = args[++i].toInt();
    }
    QTemporaryDir tmp;
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    const QString clip = dir + QStringLiteral("/player-1080p-gop%1.mp4").arg(gop);
    if (!QFileInfo::exists(clip)) {
        std::printf("making the clip...\n");
        QProcess p;
        p.start("ffmpeg", {"-nostdin", "-v",
                           "error",    "-y",
                           "-f",       "lavfi",
                           "-i",       "testsrc2=size=1920x1080:rate=30:duration=10",
                           "-f",       "lavfi",
                           "-i",       "sine=frequency=440:sample_rate=48000:duration=10",
                           "-c:v",     "libx264",
                           "-preset",  "fast",
                           "-g",       QString::number(gop),
                           "-pix_fmt", "yuv420p",
                           "-c:a",     "aac",
                           "-b:a",     "128k",
                           clip});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return 1;
    }

    TVideoSurfaceWidget surface;
    surface.resize(385, 278);
    surface.show();
    TFFPlayer player;
    bool ended = false;
    player.SetOnState([&](TFFPlayer *, TPlayState s) { ended = ended || s == psEnd; });
    player.SetOnFileOpen([](TFFPlayer *, int64_t, int, int, int &sw, int &sh) {
        sw = 385;
        sh = 278;
    });

    if (!player.Open(clip, &surface))
        return 1;
    QElapsedTimer wall;
    wall.start();
    while (!ended && wall.elapsed() < 30000)
        Pump(20);
    std::printf("played 10 s in %.2f s, %lld pictures dropped\n", wall.elapsed() / 1000.0,
                static_cast<long long>(player.DroppedPictures()));

    std::mt19937 rng(7);
    std::vector<double> times;
    player.Pause();
    for (int i = 0; i < 20; ++i) {
        const int64_t t = int64_t(rng() % 9'900'000);
        QElapsedTimer s;
        s.start();
        player.Seek(0, true, t);
        times.push_back(s.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("seek with wait over 20 random positions: median %.1f ms, slowest %.1f ms (key frames every %d)\n",
                times[times.size() / 2], times.back(), gop);
    player.Close(true);
    return 0;
}
