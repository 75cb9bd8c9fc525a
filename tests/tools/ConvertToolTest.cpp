#include "ConvertArgs.h"
#include "Media.h"
#include "TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QProcess>
#include <QThread>
#include <csignal>

namespace {

using media::Fixture;

struct ToolRun
{
    int exitCode = -1;
    QString out, err;
};

// vintra-convert as a user runs it, with a home and data folder of the test's own.
class ConvertTool : public TestEnv
{
protected:
    ToolRun convert(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home());
        env.insert("XDG_CONFIG_HOME", tempPath("config"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VINTRA_BIN_DIR) + "/vintra-convert", args);
        EXPECT_TRUE(p.waitForFinished(300000));
        return ToolRun{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                       QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QString outDir() const { return tempPath("out"); }
};

struct FormatCase
{
    int code;
    const char *container; // part of ffprobe's format name
    const char *video;     // codec, or "" for none
    const char *audio;
};

const FormatCase kFormats[] = {
    {0, "mov", "h264", "aac"},
    {100, "mpeg", "mpeg1video", "mp2"},
    {101, "mpeg", "mpeg2video", "ac3"},
    {102, "mp4", "mpeg4", "aac"},
    {103, "mp4", "h264", "aac"},
    {104, "avi", "mpeg4", "mp3"},
    {105, "asf", "wmv2", "wmav2"},
    {106, "avi", "mpeg4", "mp3"},
    {107, "avi", "mpeg4", "mp3"},
    {108, "dv", "dvvideo", "pcm_s16le"},
    {109, "dv", "dvvideo", "pcm_s16le"},
    {200, "mp3", "", "mp3"},
    {201, "aac", "", "aac"},
    {202, "mp4", "", "aac"},
    {203, "asf", "", "wmav2"},
    {204, "wav", "", "pcm_s16le"},
    {205, "ogg", "", "vorbis"},
    {206, "ac3", "", "ac3"},
};

class EveryFormat : public ConvertTool, public ::testing::WithParamInterface<FormatCase>
{};

TEST_P(EveryFormat, ConvertsOutOfTheBox)
{
    const FormatCase &c = GetParam();
    const ToolRun run = convert({"--format", QString::number(c.code), "--output-dir", outDir(), Fixture("clip.mkv")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    const QStringList words = run.out.trimmed().split(' ');
    ASSERT_EQ(words.value(0), "OK") << run.out.toStdString();
    const QString dest = run.out.trimmed().section(" -> ", 1);
    EXPECT_TRUE(dest.startsWith(outDir() + "/clip_(new)."));
    const QJsonObject p = media::Probe(dest);
    EXPECT_TRUE(p["format"].toObject()["format_name"].toString().contains(c.container))
        << p["format"].toObject()["format_name"].toString().toStdString();
    EXPECT_EQ(media::StreamOf(p, "video")["codec_name"].toString(), c.video);
    EXPECT_EQ(media::StreamOf(p, "audio")["codec_name"].toString(), c.audio);
    EXPECT_NEAR(media::DurationOf(p), 3.0, 0.2);
    EXPECT_EQ(QDir(outDir()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "nothing else is left behind";
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(kFormats),
                         [](const auto &info) { return "code" + std::to_string(info.param.code); });

TEST_F(ConvertTool, EditsReachThePicture)
{
    QImage logo(20, 20, QImage::Format_RGB888);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(tempPath("logo.bmp"), "BMP"));
    const ToolRun run = convert({"--format", "102", "--output-dir", outDir(), "--trim", "1,1", "--crop", "16,16,0,0",
                                 "--brightness", "300", "--watermark-image", "100,100,255,0,2," + tempPath("logo.bmp"),
                                 "--watermark-text", "10,150,255,0,2,Hello, world", Fixture("border.mkv")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    const QString dest = run.out.trimmed().section(" -> ", 1);
    const QJsonObject p = media::Probe(dest);
    EXPECT_NEAR(media::DurationOf(p), 1.0, 0.1);
    const media::Picture pic = media::Frame(dest, 5);
    ASSERT_FALSE(pic.isNull());
    // Letterbox to the source size: the 304×224 crop is scaled back to 320×240.
    EXPECT_EQ(pic.width, 320);
    // The crop took the red and blue bars away; the green body got brighter (300/256).
    const uint8_t *body = pic.at(250, 200);
    EXPECT_LT(body[0], 40);
    EXPECT_GT(body[1], 140);
    // The red picture drawn at source pixel (110, 110) lands at ((110 − 16) × 320/304, …).
    const uint8_t *mark = pic.at(int((110 - 16) * 320 / 304.0), int((110 - 16) * 240 / 224.0));
    EXPECT_GT(mark[0], 200);
    EXPECT_LT(mark[1], 60);
}

TEST_F(ConvertTool, PrintJobShowsTheOptionsAndConvertsNothing)
{
    const ToolRun run = convert({"--format", "109", "--output-dir", outDir(), "--print-job", Fixture("clip.mkv")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n');
    EXPECT_EQ(lines.value(0), "# " + Fixture("clip.mkv"));
    EXPECT_EQ(lines.value(1), "InFileName=" + Fixture("clip.mkv"));
    EXPECT_TRUE(lines.contains("OutFormat=dv"));
    EXPECT_TRUE(lines.contains("VideoCodecName=dvvideo"));
    EXPECT_TRUE(lines.contains("FrameSizeText=720x540"));
    EXPECT_TRUE(lines.contains("FilterChain=pad=720:576:0:18"));
    EXPECT_TRUE(lines.contains("SampleRateHz=48000"));
    EXPECT_TRUE(lines.contains("DurationLimit="));
    EXPECT_TRUE(lines.contains("HookFrames=0"));
    EXPECT_EQ(lines.filter(QRegularExpression("^[A-Za-z]+=")).size(), 29);
    EXPECT_TRUE(QDir(outDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(ConvertTool, ListAndInfo)
{
    ToolRun run = convert({"--list-formats"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("103\tH.264/MPEG-4 AVC Video (*.mp4)\n"));
    EXPECT_EQ(run.out.count('\n'), 18);
    run = convert({"--info", Fixture("clip.mkv")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("Duration: 3.000 Second\n"));
    EXPECT_TRUE(run.out.contains("Resloution: 320x240\n"));
    EXPECT_TRUE(run.out.contains("Frame Rate: 25\n"));
    EXPECT_TRUE(run.out.contains("Audio Format: pcm_s16le\n"));
    EXPECT_TRUE(run.out.contains("Sample Rate: 44100\n"));
}

TEST_F(ConvertTool, FailuresAndUsageErrors)
{
    ToolRun run = convert({"--output-dir", outDir(), Fixture("text.txt"), Fixture("tone.wav")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains("FAILED " + Fixture("text.txt") + ": ")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("OK " + Fixture("tone.wav") + " -> ")) << run.out.toStdString();

    const QStringList bad[] = {
        {},
        {"--format", "999", "x.mp4"},
        {"--brightness", "600", "x.mp4"},
        {"--contrast", "-101", "x.mp4"},
        {"--crop", "1,2,2,2", "x.mp4"},
        {"--watermark-text", "1,2,300,0,1,Hi", "x.mp4"},
        {"--watermark-image", "1,2,3,0,1," + tempPath("none.bmp"), "x.mp4"},
        {"--trim", "abc", "x.mp4"},
        {"--size-question", "maybe", "x.mp4"},
        {"--frobnicate", "x.mp4"},
        {"--trim", "5", Fixture("clip.mkv")}, // starts after the end of a 3 s file
    };
    for (const QStringList &args : bad) {
        run = convert(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vintra-convert: ")) << run.err.toStdString();
    }
}

TEST_F(ConvertTool, InterruptStopsCleanly)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home());
    env.insert("XDG_CONFIG_HOME", tempPath("config"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VINTRA_BIN_DIR) + "/vintra-convert",
            {"--format", "103", "--output-dir", outDir(), Fixture("long.mkv"), Fixture("clip.mkv")});
    ASSERT_TRUE(p.waitForStarted());
    // Wait for the conversion to be under way.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && QDir(outDir()).entryList(QDir::Files | QDir::Hidden).isEmpty())
        QThread::msleep(50);
    ASSERT_FALSE(QDir(outDir()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "never started";
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains("FAILED " + Fixture("long.mkv") + ": stopped")) << out.toStdString();
    EXPECT_TRUE(out.contains("FAILED " + Fixture("clip.mkv") + ": stopped")) << out.toStdString();
    EXPECT_TRUE(QDir(outDir()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "a partial file was left";
}

TEST_F(ConvertTool, WatermarkTextKeepsItsCommasAndTheOrderIsKept)
{
    QImage logo(4, 4, QImage::Format_RGB888);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(tempPath("logo.bmp"), "BMP"));
    TConvertArgs args;
    ASSERT_EQ(ParseConvertArgs({"--watermark-text", "1,2,3,4,5,a, b,c", "--watermark-image",
                                "6,7,8,9,10," + tempPath("logo.bmp"), "--watermark-text", "0,0,0,0,1,x", "f.mp4"},
                               args),
              "");
    ASSERT_EQ(args.watermarks.size(), 3u);
    EXPECT_EQ(args.watermarks[0].payload, "a, b,c");
    EXPECT_EQ(args.watermarks[0].x, 1);
    EXPECT_EQ(args.watermarks[0].end, 5);
    EXPECT_EQ(args.watermarks[1].kind, 1);
    EXPECT_EQ(args.watermarks[2].payload, "x");
    EXPECT_EQ(args.files, QStringList{"f.mp4"});
}

} // namespace
