#include "engine/DiscTarget.h"
#include "EngineHarness.h"
#include "Media.h"
#include "TestEnv.h"

namespace {

using media::Fixture;

TEST(DiscNorm, FollowsTheSourceRateWhenAutomatic)
{
    struct Case
    {
        int norm;
        AVRational rate;
        TDiscNorm expected;
    };
    const Case cases[] = {
        {0, {25, 1}, TDiscNorm::Pal},        {0, {50, 1}, TDiscNorm::Pal},       {0, {30000, 1001}, TDiscNorm::Ntsc},
        {0, {2997, 100}, TDiscNorm::Ntsc},   {0, {30, 1}, TDiscNorm::Ntsc},      {0, {24000, 1001}, TDiscNorm::Ntsc},
        {0, {60000, 1001}, TDiscNorm::Ntsc}, {0, {24, 1}, TDiscNorm::Pal},       {0, {15, 1}, TDiscNorm::Pal},
        {0, {0, 1}, TDiscNorm::Pal},         {1, {30000, 1001}, TDiscNorm::Pal}, {2, {25, 1}, TDiscNorm::Ntsc},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DiscNorm(c.norm, c.rate), c.expected) << c.norm << " " << c.rate.num << "/" << c.rate.den;
}

TEST(DiscTarget, TheTasksOwnFieldsWin)
{
    TOutputOptions o;
    o.TargetKind = 3;
    o.FrameSizeText = "704x576";
    o.AudioCodecName = "mp2";
    const TOutputOptions d = ApplyDiscTarget(o, AVRational{25, 1});
    EXPECT_EQ(d.FrameSizeText, "704x576");
    EXPECT_EQ(d.AudioCodecName, "mp2");
    EXPECT_EQ(d.VideoCodecName, "mpeg2video");
    EXPECT_EQ(d.OutFormat, "dvd");
    EXPECT_EQ(d.VideoBitsPerSec, 6000000);
    EXPECT_EQ(d.MuxRate, 10080000);
    EXPECT_EQ(ApplyDiscTarget(TOutputOptions(), AVRational{25, 1}).OutFormat, "");
}

class DiscOutput : public TestEnv
{};

TEST_F(DiscOutput, EachStandardInEachNorm)
{
    struct Case
    {
        int kind, norm;
        const char *video, *audio;
        int width, height;
        const char *rate;
        const char *sampleRate;
        const char *audioRate;
    };
    const Case cases[] = {
        {1, 1, "mpeg1video", "mp2", 352, 288, "25/1", "44100", "224000"},
        {1, 2, "mpeg1video", "mp2", 352, 240, "30000/1001", "44100", "224000"},
        {2, 1, "mpeg2video", "mp2", 480, 576, "25/1", "44100", "224000"},
        {2, 2, "mpeg2video", "mp2", 480, 480, "30000/1001", "44100", "224000"},
        {3, 1, "mpeg2video", "ac3", 720, 576, "25/1", "48000", "448000"},
        {3, 2, "mpeg2video", "ac3", 720, 480, "30000/1001", "48000", "448000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("kind %1 norm %2").arg(c.kind).arg(c.norm).toStdString());
        TOutputOptions out;
        out.TargetKind = c.kind;
        out.TargetNorm = c.norm;
        const QString dest = tempPath(QStringLiteral("disc%1%2.mpg").arg(c.kind).arg(c.norm));
        const TTerminateInfo end = ConvertFile(Fixture("clip.mkv"), dest, out);
        ASSERT_TRUE(end.Finished) << end.ExceptionMsg.toStdString();
        const QJsonObject p = media::Probe(dest);
        EXPECT_EQ(p["format"].toObject()["format_name"].toString(), "mpeg");
        const QJsonObject v = media::StreamOf(p, "video");
        const QJsonObject a = media::StreamOf(p, "audio");
        EXPECT_EQ(v["codec_name"].toString(), c.video);
        EXPECT_EQ(v["width"].toInt(), c.width);
        EXPECT_EQ(v["height"].toInt(), c.height);
        EXPECT_EQ(v["r_frame_rate"].toString(), c.rate);
        EXPECT_EQ(a["codec_name"].toString(), c.audio);
        EXPECT_EQ(a["sample_rate"].toString(), c.sampleRate);
        EXPECT_EQ(a["bit_rate"].toString(), c.audioRate);
        EXPECT_EQ(a["channels"].toInt(), 2);
    }
}

TEST_F(DiscOutput, AutomaticNormFromAnNtscSource)
{
    const QString ntsc = tempPath("ntsc.mkv");
    ASSERT_TRUE(media::RunFFmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30000/1001:duration=1", "-f",
                                  "lavfi", "-i", "sine=duration=1", "-c:v", "ffv1", "-c:a", "pcm_s16le", ntsc}));
    TOutputOptions out;
    out.TargetKind = 3;
    ASSERT_TRUE(ConvertFile(ntsc, tempPath("auto.vob"), out).Finished);
    const QJsonObject v = media::StreamOf(media::Probe(tempPath("auto.vob")), "video");
    EXPECT_EQ(v["height"].toInt(), 480);
    EXPECT_EQ(v["r_frame_rate"].toString(), "30000/1001");
}

TEST_F(DiscOutput, DevicePresetsSetTheH264ProfileAndLevel)
{
    struct Case
    {
        const char *preset;
        const char *container;
        const char *profile;
        int level;
    };
    const Case cases[] = {
        {"libx264-ipod", "ipod", "Constrained Baseline", 30},
        {"libx264-psp", "psp", "Main", 30},
        {"libx264-ps3", "mp4", "High", 41},
        {"libx264-mp4", "mp4", "High", 40},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.preset);
        TOutputOptions out;
        out.VideoCodecName = "libx264";
        out.EncoderPreset = c.preset;
        out.OutFormat = c.container;
        out.AudioCodecName = "aac";
        const QString dest = tempPath(QStringLiteral("%1.mp4").arg(c.preset));
        // A 4:4:4 source: the device profiles need 4:2:0.
        const TTerminateInfo end = ConvertFile(Fixture("border.mkv"), dest, out);
        ASSERT_TRUE(end.Finished) << end.ExceptionMsg.toStdString();
        const QJsonObject v = media::StreamOf(media::Probe(dest), "video");
        EXPECT_EQ(v["profile"].toString(), c.profile);
        EXPECT_EQ(v["level"].toInt(), c.level);
        EXPECT_EQ(v["pix_fmt"].toString(), "yuv420p");
    }
}

} // namespace
