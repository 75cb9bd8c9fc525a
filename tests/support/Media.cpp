#include "Media.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace media {

namespace {

QString FixtureDir()
{
    QString dir = qEnvironmentVariable("VINTRA_FIXTURE_DIR");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/vintra-fixtures");
    QDir().mkpath(dir);
    return dir;
}

bool Run(const QString &program, const QStringList &args, QByteArray *output)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.start();
    if (!p.waitForStarted())
        return false;
    p.closeWriteChannel();
    QByteArray out;
    while (!p.waitForFinished(100))
        out += p.readAllStandardOutput();
    out += p.readAllStandardOutput();
    if (output)
        *output = out;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

const QString kTestsrc = QStringLiteral("testsrc2=size=320x240:rate=25:duration=3");
const QString kSine = QStringLiteral("sine=frequency=440:sample_rate=44100:duration=3");

bool Make(const QString &name, const QString &target)
{
    const QString dir = QFileInfo(target).absolutePath();
    auto lavfi = [](const QString &graph) { return QStringList{"-f", "lavfi", "-i", graph}; };
    if (name == "clip.mkv")
        return RunFFmpeg(lavfi(kTestsrc) + lavfi(kSine) +
                         QStringList{"-ac", "2", "-c:v", "ffv1", "-c:a", "pcm_s16le", target});
    if (name == "clip.mp4")
        return RunFFmpeg(lavfi(kTestsrc) + lavfi(kSine) +
                         QStringList{"-ac", "2", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                     "-c:a", "aac", "-b:a", "128k", target});
    if (name == "counter.mkv")
        return RunFFmpeg(
            lavfi("color=c=black:size=64x48:rate=25:duration=3,format=yuv420p,geq=lum='3*N':cb=128:cr=128") +
            lavfi(kSine) + QStringList{"-ac", "2", "-c:v", "ffv1", "-c:a", "pcm_s16le", target});
    if (name == "counter.mp4") // the same, as lossless H.264 with B-frames and one key frame
        return RunFFmpeg(
            lavfi("color=c=black:size=64x48:rate=25:duration=3,format=yuv420p,geq=lum='3*N':cb=128:cr=128") +
            QStringList{"-c:v", "libx264", "-qp", "0", "-bf", "3", "-g", "250", target});
    if (name == "border.mkv")
        return RunFFmpeg(lavfi("color=c=green:size=320x240:rate=25:duration=2,format=yuv444p,"
                               "drawbox=x=0:y=0:w=16:h=240:color=red:t=fill,"
                               "drawbox=x=0:y=0:w=320:h=16:color=blue:t=fill") +
                         lavfi("sine=frequency=440:sample_rate=44100:duration=2") +
                         QStringList{"-c:v", "ffv1", "-c:a", "pcm_s16le", target});
    if (name == "tone.wav")
        return RunFFmpeg(lavfi("sine=frequency=1000:sample_rate=44100:duration=3") + QStringList{"-ac", "2", target});
    if (name == "tone.mp3")
        return RunFFmpeg(lavfi("sine=frequency=1000:sample_rate=44100:duration=3") +
                         QStringList{"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", target});
    if (name == "subs.mkv") {
        const QString srt = dir + "/subs-source.srt";
        QFile f(srt);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write("1\n00:00:00,500 --> 00:00:01,500\nHello\n\n2\n00:00:02,000 --> 00:00:02,800\nWorld\n");
        f.close();
        return RunFFmpeg(QStringList{"-i", Fixture("clip.mkv"), "-i", srt, "-map", "0", "-map", "1", "-c", "copy",
                                     "-c:s", "srt", target});
    }
    if (name == "long.mkv")
        return RunFFmpeg(lavfi("testsrc2=size=640x360:rate=25:duration=30") +
                         lavfi("sine=frequency=440:sample_rate=44100:duration=30") +
                         QStringList{"-c:v", "mpeg4", "-q:v", "4", "-c:a", "aac", target});
    // "v<W>x<H>.mkv": 1 s of testsrc2 at that size with a tone; "a<rate>k.mp3": 1 s tone
    // as MP3 at that bit rate; "s<hz>.wav": 1 s tone at that sample rate.
    static const QRegularExpression sized("^v(\\d+)x(\\d+)\\.mkv$"), mp3("^a(\\d+)k\\.mp3$"), wav("^s(\\d+)\\.wav$");
    if (const auto m = sized.match(name); m.hasMatch())
        return RunFFmpeg(
            lavfi(QStringLiteral("testsrc2=size=%1x%2:rate=25:duration=1").arg(m.captured(1), m.captured(2))) +
            lavfi("sine=frequency=440:sample_rate=44100:duration=1") +
            QStringList{"-c:v", "ffv1", "-c:a", "pcm_s16le", target});
    if (const auto m = mp3.match(name); m.hasMatch())
        return RunFFmpeg(lavfi("sine=frequency=440:sample_rate=44100:duration=1") +
                         QStringList{"-ac", "2", "-c:a", "libmp3lame", "-b:a", m.captured(1) + "k", target});
    if (const auto m = wav.match(name); m.hasMatch())
        return RunFFmpeg(lavfi(QStringLiteral("sine=frequency=440:sample_rate=%1:duration=1").arg(m.captured(1))) +
                         QStringList{target});
    auto writeBytes = [&](const QByteArray &bytes) {
        QFile f(target);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    auto prefix = [&](const QString &from, double part) {
        QFile f(Fixture(from));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QByteArray all = f.readAll();
        return writeBytes(all.left(qsizetype(all.size() * part)));
    };
    if (name == "text.txt")
        return writeBytes("This is not a video.\nJust some words.\n");
    if (name == "empty.mp4")
        return writeBytes(QByteArray());
    if (name == "truncated.mp4")
        return prefix("clip.mp4", 0.5);
    if (name == "truncated.mkv")
        return prefix("clip.mkv", 0.6);
    return false;
}

} // namespace

bool RunFFmpeg(const QStringList &args, QByteArray *output)
{
    return Run(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args, output);
}

QString Fixture(const QString &name)
{
    const QString dir = FixtureDir();
    const QString path = dir + QLatin1Char('/') + name;
    if (QFileInfo::exists(path))
        return path;
    // Tests run in parallel processes: one makes the file, the others wait for it. A
    // fixture made from another one takes the lock only once (flock does not nest).
    static thread_local int depth = 0;
    int lock = -1;
    if (depth++ == 0) {
        lock = open(QFile::encodeName(dir + "/.lock").constData(), O_CREAT | O_RDWR, 0644);
        flock(lock, LOCK_EX);
    }
    if (!QFileInfo::exists(path)) {
        const QString temp = dir + "/.making-" + name;
        QFile::remove(temp);
        if (Make(name, temp + "." + QFileInfo(name).suffix()))
            QFile::rename(temp + "." + QFileInfo(name).suffix(), path);
        QFile::remove(temp + "." + QFileInfo(name).suffix());
    }
    if (--depth == 0) {
        flock(lock, LOCK_UN);
        close(lock);
    }
    return path;
}

QJsonObject Probe(const QString &path)
{
    QByteArray out;
    if (!Run(QStringLiteral("ffprobe"), {"-v", "error", "-show_format", "-show_streams", "-of", "json", path}, &out))
        return {};
    return QJsonDocument::fromJson(out).object();
}

QJsonObject StreamOf(const QJsonObject &probe, const QString &type)
{
    for (const QJsonValue &s : probe.value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == type)
            return s.toObject();
    return {};
}

int CountStreams(const QJsonObject &probe, const QString &type)
{
    int n = 0;
    for (const QJsonValue &s : probe.value("streams").toArray())
        n += s.toObject().value("codec_type").toString() == type;
    return n;
}

double DurationOf(const QJsonObject &probe)
{
    return probe.value("format").toObject().value("duration").toString("-1").toDouble();
}

double StreamDuration(const QJsonObject &probe, const QString &type)
{
    const QJsonObject stream = StreamOf(probe, type);
    if (stream.contains("duration"))
        return stream.value("duration").toString().toDouble();
    // Matroska keeps stream durations as tags: "00:00:02.000000000".
    const QString tag = stream.value("tags").toObject().value("DURATION").toString();
    const QStringList hms = tag.split(':');
    if (hms.size() != 3)
        return -1;
    return hms[0].toDouble() * 3600 + hms[1].toDouble() * 60 + hms[2].toDouble();
}

Picture Frame(const QString &path, int n)
{
    Picture pic;
    const QJsonObject video = StreamOf(Probe(path), "video");
    pic.width = video.value("width").toInt();
    pic.height = video.value("height").toInt();
    QByteArray out;
    if (pic.width <= 0 ||
        !RunFFmpeg({"-i", path, "-vf", QStringLiteral("select=eq(n\\,%1)").arg(n), "-frames:v", "1", "-f", "rawvideo",
                    "-pix_fmt", "rgb24", "-"},
                   &out) ||
        out.size() != qsizetype(pic.width) * pic.height * 3)
        return Picture{};
    pic.rgb = out;
    return pic;
}

std::vector<int16_t> Samples(const QString &path)
{
    QByteArray out;
    if (!RunFFmpeg({"-i", path, "-vn", "-ac", "1", "-f", "s16le", "-"}, &out))
        return {};
    std::vector<int16_t> samples(size_t(out.size()) / 2);
    memcpy(samples.data(), out.constData(), samples.size() * 2);
    return samples;
}

double Rms(const std::vector<int16_t> &samples)
{
    if (samples.empty())
        return 0;
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

} // namespace media
