#include "EngineHarness.h"
#include "Media.h"
#include "TestEnv.h"

#include <QDir>
#include <QJsonArray>
#include <functional>

namespace {

using media::Fixture;

struct OptionCase
{
    const char *name;
    const char *source; // fixture
    const char *dest;   // file name of the output
    std::function<void(TOutputOptions &, TInputOptions &)> set;
    std::function<void(const QJsonObject &probe, const QString &path)> check;
};

QString Field(const QJsonObject &stream, const char *key)
{
    return stream.value(key).toVariant().toString();
}

bool IsColour(const uint8_t *p, int r, int g, int b, int tolerance = 40)
{
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

const std::vector<OptionCase> &Cases()
{
    static const std::vector<OptionCase> cases = {
        {"container and encoders follow the extension", "clip.mkv", "a.mp4", [](auto &, auto &) {},
         [](const QJsonObject &p, const QString &) {
             EXPECT_TRUE(p["format"].toObject()["format_name"].toString().contains("mp4"));
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "codec_name"), "h264");
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "codec_name"), "aac");
             EXPECT_EQ(media::StreamOf(p, "video")["width"].toInt(), 320);
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "avg_frame_rate"), "25/1");
         }},
        {"OutFormat wins over the extension", "clip.mkv", "a.bin", [](auto &o, auto &) { o.OutFormat = "avi"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(p["format"].toObject()["format_name"].toString(), "avi");
         }},
        {"named encoders", "clip.mkv", "a.avi",
         [](auto &o, auto &) {
             o.VideoCodecName = "mpeg4";
             o.AudioCodecName = "libmp3lame";
         },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "codec_name"), "mpeg4");
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "codec_name"), "mp3");
         }},
        {"libfaac is served by aac", "clip.mkv", "a.m4a",
         [](auto &o, auto &) {
             o.AudioCodecName = "libfaac";
             o.NoVideo = true;
         },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "codec_name"), "aac");
             EXPECT_EQ(media::CountStreams(p, "video"), 0);
         }},
        {"vorbis is served by libvorbis", "tone.wav", "a.ogg", [](auto &o, auto &) { o.AudioCodecName = "vorbis"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "codec_name"), "vorbis");
         }},
        {"frame size", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.FrameSizeText = "160x120"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(media::StreamOf(p, "video")["width"].toInt(), 160);
             EXPECT_EQ(media::StreamOf(p, "video")["height"].toInt(), 120);
         }},
        {"frame rate", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.FrameRateText = "10"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "avg_frame_rate"), "10/1");
             EXPECT_NEAR(Field(media::StreamOf(p, "video"), "nb_frames").toInt(), 30, 1);
         }},
        {"29.97 is the NTSC rate", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.FrameRateText = "29.97"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "r_frame_rate"), "30000/1001");
         }},
        {"display aspect", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.AspectText = "16:9"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "video"), "display_aspect_ratio"), "16:9");
             EXPECT_EQ(media::StreamOf(p, "video")["width"].toInt(), 320);
         }},
        {"video bit rate", "long.mkv", "a.mp4",
         [](auto &o, auto &) {
             o.VideoCodecName = "mpeg4";
             o.VideoBitsPerSec = 400000;
             o.DurationLimit = 10'000'000;
             o.NoAudio = true;
         },
         [](const QJsonObject &p, const QString &) {
             // MPEG-4 part 2 overshoots short busy clips: the ffmpeg program gets 519 kbit/s here.
             EXPECT_NEAR(Field(media::StreamOf(p, "video"), "bit_rate").toDouble(), 400000, 400000 * 0.35);
         }},
        {"sample rate and channels", "clip.mkv", "a.mp4",
         [](auto &o, auto &) {
             o.SampleRateHz = 22050;
             o.ChannelCount = 1;
         },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "sample_rate"), "22050");
             EXPECT_EQ(media::StreamOf(p, "audio")["channels"].toInt(), 1);
         }},
        {"audio bit rate", "tone.wav", "a.mp3",
         [](auto &o, auto &) {
             o.AudioCodecName = "libmp3lame";
             o.AudioBitsPerSec = 64000;
         },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(Field(media::StreamOf(p, "audio"), "bit_rate"), "64000");
         }},
        {"no audio", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.NoAudio = true; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(media::CountStreams(p, "audio"), 0);
             EXPECT_EQ(media::CountStreams(p, "video"), 1);
         }},
        {"no video", "clip.mkv", "a.mp4", [](auto &o, auto &) { o.NoVideo = true; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(media::CountStreams(p, "video"), 0);
             EXPECT_EQ(media::CountStreams(p, "audio"), 1);
         }},
        {"vn=1 reads no video", "clip.mkv", "a.m4a", [](auto &, auto &i) { i.ExtraOptions = "vn=1"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(media::CountStreams(p, "video"), 0);
             EXPECT_EQ(media::CountStreams(p, "audio"), 1);
         }},
        {"audio-only source into a video format", "tone.wav", "a.mp4",
         [](auto &o, auto &) { o.VideoCodecName = "mpeg4"; },
         [](const QJsonObject &p, const QString &) {
             EXPECT_EQ(media::CountStreams(p, "video"), 0);
             EXPECT_NEAR(media::DurationOf(p), 3.0, 0.05);
         }},
        {"subtitles are carried where the container holds them", "subs.mkv", "a.mkv", [](auto &, auto &) {},
         [](const QJsonObject &p, const QString &) { EXPECT_EQ(media::CountStreams(p, "subtitle"), 1); }},
        {"no subtitles", "subs.mkv", "a.mkv", [](auto &o, auto &) { o.NoSubtitles = true; },
         [](const QJsonObject &p, const QString &) { EXPECT_EQ(media::CountStreams(p, "subtitle"), 0); }},
        {"engine crop", "border.mkv", "a.mkv",
         [](auto &o, auto &) {
             o.VideoCodecName = "ffv1";
             o.CropLeftCols = 16;
             o.CropTopRows = 16;
         },
         [](const QJsonObject &, const QString &path) {
             const media::Picture pic = media::Frame(path, 0);
             ASSERT_FALSE(pic.isNull());
             EXPECT_EQ(pic.width, 304);
             EXPECT_EQ(pic.height, 224);
             EXPECT_TRUE(IsColour(pic.at(0, 0), 0, 128, 0)); // the red and blue bars are gone
         }},
        {"pad in the filter chain", "border.mkv", "a.mkv",
         [](auto &o, auto &) {
             o.VideoCodecName = "ffv1";
             o.FilterChain = "pad=360:280:20:20";
         },
         [](const QJsonObject &, const QString &path) {
             const media::Picture pic = media::Frame(path, 0);
             ASSERT_FALSE(pic.isNull());
             EXPECT_EQ(pic.width, 360);
             EXPECT_TRUE(IsColour(pic.at(5, 5), 0, 0, 0, 10));
             EXPECT_TRUE(IsColour(pic.at(25, 140), 255, 0, 0)); // red bar just inside the pad
             EXPECT_TRUE(IsColour(pic.at(180, 140), 0, 128, 0));
         }},
        {"letterbox: the frame size is the picture inside the pad", "border.mkv", "a.mkv",
         [](auto &o, auto &) {
             o.VideoCodecName = "ffv1";
             o.FrameSizeText = "240x180";
             o.FilterChain = "pad=320:180:40:0";
         },
         [](const QJsonObject &, const QString &path) {
             const media::Picture pic = media::Frame(path, 0);
             ASSERT_FALSE(pic.isNull());
             EXPECT_EQ(pic.width, 320);
             EXPECT_EQ(pic.height, 180);
             EXPECT_TRUE(IsColour(pic.at(20, 100), 0, 0, 0, 10));
             EXPECT_TRUE(IsColour(pic.at(300, 100), 0, 0, 0, 10));
             EXPECT_TRUE(IsColour(pic.at(45, 100), 255, 0, 0)); // the 16 red columns scaled to 12
             EXPECT_TRUE(IsColour(pic.at(60, 100), 0, 128, 0));
         }},
        {"letterbox with a crop cuts once", "border.mkv", "a.mkv",
         [](auto &o, auto &) {
             o.VideoCodecName = "ffv1";
             o.CropLeftCols = 16;
             o.CropRightCols = 16;
             o.CropTopRows = 0;
             o.CropBottomRows = 0;
             o.AspectText = "320:240";
             o.FilterChain = "crop=16:0:288:240,scale=320:240,pad=320:240:0:0";
         },
         [](const QJsonObject &, const QString &path) {
             const media::Picture pic = media::Frame(path, 0);
             ASSERT_FALSE(pic.isNull());
             EXPECT_EQ(pic.width, 320);
             EXPECT_TRUE(IsColour(pic.at(1, 120), 0, 128, 0)); // red bar cut away
             EXPECT_TRUE(IsColour(pic.at(160, 4), 0, 0, 255)); // top bar kept
             EXPECT_TRUE(IsColour(pic.at(318, 120), 0, 128, 0));
         }},
    };
    return cases;
}

class EngineOutput : public TestEnv, public ::testing::WithParamInterface<size_t>
{};

TEST_P(EngineOutput, OptionTakesEffect)
{
    const OptionCase &c = Cases()[GetParam()];
    SCOPED_TRACE(c.name);
    TOutputOptions out;
    TInputOptions in;
    c.set(out, in);
    const QString dest = tempPath(c.dest);
    const TTerminateInfo end = ConvertFile(Fixture(c.source), dest, out, in);
    ASSERT_TRUE(end.Finished) << end.ExceptionMsg.toStdString();
    EXPECT_FALSE(end.Exception);
    const QJsonObject probe = media::Probe(dest);
    ASSERT_FALSE(probe.isEmpty());
    c.check(probe, dest);
    EXPECT_EQ(QDir(tempPath()).entryList(QDir::Files | QDir::Hidden), QStringList{c.dest}) << "left-over files";
}

INSTANTIATE_TEST_SUITE_P(Options, EngineOutput, ::testing::Range<size_t>(0, 22), [](const auto &info) {
    QString name = QString::fromUtf8(Cases()[info.param].name);
    name.replace(QRegularExpression("[^A-Za-z0-9]+"), "_");
    return name.toStdString();
});

class EngineContent : public TestEnv
{};

TEST_F(EngineContent, VolumeScalesTheSound)
{
    const QString source = Fixture("tone.wav");
    const double original = media::Rms(media::Samples(source));
    ASSERT_GT(original, 1000);
    for (auto [level, factor] : {std::pair{64, 0.25}, {256, 1.0}, {512, 2.0}}) {
        TOutputOptions out;
        out.AudioCodecName = "pcm_s16le";
        out.VolumeLevel = level;
        const QString dest = tempPath(QStringLiteral("v%1.wav").arg(level));
        ASSERT_TRUE(ConvertFile(source, dest, out).Finished);
        EXPECT_NEAR(media::Rms(media::Samples(dest)) / original, factor, 0.01) << level;
    }
}

TEST_F(EngineContent, StartOffsetIsFrameExactAndDurationLimitCuts)
{
    const QString source = Fixture("counter.mkv");
    TOutputOptions out;
    out.VideoCodecName = "ffv1";
    out.AudioCodecName = "pcm_s16le";
    TInputOptions in;
    in.StartOffset = 1'000'000;
    const QString trimmed = tempPath("start.mkv");
    ASSERT_TRUE(ConvertFile(source, trimmed, out, in).Finished);
    const media::Picture first = media::Frame(trimmed, 0);
    const media::Picture expected = media::Frame(source, 25);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.rgb, expected.rgb) << "first frame is not source frame 25 (1 s)";
    QJsonObject p = media::Probe(trimmed);
    EXPECT_NEAR(media::StreamDuration(p, "video"), 2.0, 0.04);
    EXPECT_NEAR(double(media::Samples(trimmed).size()) / 44100, 2.0, 0.001);

    TOutputOptions limited = out;
    limited.DurationLimit = 1'000'000;
    const QString cut = tempPath("cut.mkv");
    ASSERT_TRUE(ConvertFile(source, cut, limited, in).Finished);
    p = media::Probe(cut);
    EXPECT_NEAR(media::StreamDuration(p, "video"), 1.0, 0.04);
    EXPECT_EQ(media::Frame(cut, 0).rgb, expected.rgb);
    EXPECT_EQ(media::Frame(cut, 24).rgb, media::Frame(source, 49).rgb);
    EXPECT_NEAR(double(media::Samples(cut).size()) / 44100, 1.0, 0.001);
}

TEST_F(EngineContent, LosslessEncodersStayLossless)
{
    const QString source = Fixture("clip.mkv");
    const media::Picture original = media::Frame(source, 10);
    for (const char *codec : {"ffv1", "rawvideo"}) {
        TOutputOptions out;
        out.VideoCodecName = codec;
        out.NoAudio = true;
        const QString dest = tempPath(QStringLiteral("%1.mkv").arg(codec));
        ASSERT_TRUE(ConvertFile(source, dest, out).Finished) << codec;
        EXPECT_EQ(media::Frame(dest, 10).rgb, original.rgb) << codec;
    }
}

TEST_F(EngineContent, LossyEncodersKeepTheLevels)
{
    const QString source = Fixture("border.mkv");
    for (const char *codec : {"mpeg4", "mjpeg", "libx264"}) {
        TOutputOptions out;
        out.VideoCodecName = codec;
        out.VideoBitsPerSec = 4'000'000;
        out.NoAudio = true;
        const QString dest = tempPath(QStringLiteral("%1.avi").arg(codec));
        const TTerminateInfo end = ConvertFile(source, dest, out);
        ASSERT_TRUE(end.Finished) << codec << ": " << end.ExceptionMsg.toStdString();
        const media::Picture pic = media::Frame(dest, 5);
        ASSERT_FALSE(pic.isNull()) << codec;
        EXPECT_TRUE(IsColour(pic.at(160, 120), 0, 128, 0, 6)) << codec; // green body
        EXPECT_TRUE(IsColour(pic.at(6, 120), 255, 0, 0, 12)) << codec;  // red bar
    }
}

TEST_F(EngineContent, OddSourceSizeStillConverts)
{
    const QString source = tempPath("odd.mkv");
    ASSERT_TRUE(
        media::RunFFmpeg({"-f", "lavfi", "-i", "testsrc2=size=321x241:rate=25:duration=1", "-c:v", "ffv1", source}));
    TOutputOptions out;
    out.VideoCodecName = "libx264";
    const QString dest = tempPath("odd.mp4");
    const TTerminateInfo end = ConvertFile(source, dest, out);
    ASSERT_TRUE(end.Finished) << end.ExceptionMsg.toStdString();
    EXPECT_EQ(media::StreamOf(media::Probe(dest), "video")["width"].toInt(), 320);
}

} // namespace
