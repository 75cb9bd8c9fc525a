#include "jobs/JobBuilder.h"
#include "Media.h"
#include "RecordingShell.h"
#include "TestEnv.h"
#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "engine/TAVProbe.h"

#include <map>

namespace {

using media::Fixture;
using Keys = std::map<QString, QString>;

constexpr int kCode = 102;

// One BuildJob on a source, with the profile (P) and settings (S) sections of the test.
class JobBuilderTest : public GlobalEnv
{
protected:
    void SetUp() override
    {
        GlobalEnv::SetUp();
        reset();
    }
    // Empty INI files but for enough of a video format that the video steps run.
    void reset()
    {
        QFile::remove(GlobalObject->SettingsFile());
        QFile::remove(GlobalObject->FormatFile());
        settings({{"paraVideoEncoder", "mpeg4"}, {"paraVideoSize", "as source"}, {"paraAudioEncoder", "libmp3lame"}});
    }
    void profile(const Keys &keys)
    {
        for (const auto &[k, v] : keys)
            GlobalObject->Formats().writeString(FormatSection(kCode), k, v);
    }
    void settings(const Keys &keys)
    {
        for (const auto &[k, v] : keys)
            GlobalObject->Settings().writeString(FormatSection(kCode), k, v);
    }

    struct Job
    {
        TOutputOptions out;
        TInputOptions in;
    };
    Job build(const QString &fixture, const QString &zoom = "lbox", std::array<int, 4> crop = {0, 0, 0, 0})
    {
        TAVProbe probe;
        EXPECT_TRUE(probe.Open(Fixture(fixture))) << fixture.toStdString();
        TlvFilesRecord item;
        item.ZoomMode = zoom;
        std::tie(item.CropTop, item.CropLeft, item.CropBottom, item.CropRight) =
            std::tuple(crop[0], crop[1], crop[2], crop[3]);
        Job job;
        // As the run sets them: the item's crop when there is one.
        if (crop[0] > 0 || crop[1] > 0 || crop[2] > 0 || crop[3] > 0) {
            job.out.CropTopRows = crop[0];
            job.out.CropLeftCols = crop[1];
            job.out.CropBottomRows = crop[2];
            job.out.CropRightCols = crop[3];
        }
        BuildJob(item, kCode, job.out, probe, job.in);
        return job;
    }
};

TEST_F(JobBuilderTest, WithoutAVideoEncoderTheJobIsSoundOnly)
{
    // No settings section at all: the defaults of every reader.
    QFile::remove(GlobalObject->SettingsFile());
    const Job job = build("v640x480.mkv");
    EXPECT_EQ(job.in.ExtraOptions, "vn=1");
    EXPECT_TRUE(job.out.NoVideo);
    EXPECT_TRUE(job.out.NoSubtitles);
    EXPECT_EQ(job.out.AudioCodecName, "libfaac");
    EXPECT_EQ(job.out.ChannelCount, 2);
    EXPECT_EQ(job.out.SampleRateHz, 44100);
    EXPECT_EQ(job.out.AudioBitsPerSec, 128000);
    EXPECT_EQ(job.out.VolumeLevel, -1) << "a missing volume is the unchanged volume";
    EXPECT_EQ(job.out.VideoCodecName, "");
    EXPECT_EQ(job.out.FrameSizeText, "");
    EXPECT_EQ(job.out.FilterChain, "");
    EXPECT_EQ(job.out.CropTopRows, -1);
}

TEST_F(JobBuilderTest, SoundOnlyContainersAndChannels)
{
    settings({{"paraVideoEncoder", ""}, {"paraChannel", "1"}, {"paraVolume", "512"}});
    struct Case
    {
        const char *format, *expected;
    };
    // Sound-only jobs name only these containers; the others follow the extension.
    for (const Case &c : {Case{"ASF", "asf"}, Case{"Matroska", "matroska"}, Case{"mp3", ""}, Case{"wav", ""}}) {
        profile({{"Format", c.format}});
        const Job job = build("tone.wav");
        EXPECT_EQ(job.out.OutFormat, c.expected) << c.format;
        EXPECT_EQ(job.out.ChannelCount, 1);
        EXPECT_EQ(job.out.VolumeLevel, 512);
    }
    settings({{"paraChannel", "0"}});
    EXPECT_EQ(build("tone.wav").out.ChannelCount, -1) << "no channels at all is no value";
}

TEST_F(JobBuilderTest, DiscFormatsSetTargetNormAndAspect)
{
    struct Case
    {
        const char *format, *size;
        int kind, norm;
        const char *aspect;
    };
    const Case cases[] = {
        {"pal-dvd", "720x576", 3, 1, "16:9"},  {"pal-dvd", "704x576", 3, 1, "4:3"},
        {"NTSC-DVD", "720x480", 3, 2, "16:9"}, {"ntsc-dvd", "720x576", 3, 2, "4:3"},
        {"pal-vcd", "720x576", 1, 1, "4:3"},   {"ntsc-vcd", "352x240", 1, 2, "4:3"},
        {"pal-svcd", "480x576", 2, 1, "4:3"},  {"ntsc-svcd", "480x480", 2, 2, "4:3"},
        {"mp4", "720x576", 0, 0, ""},
    };
    for (const Case &c : cases) {
        profile({{"Format", c.format}});
        settings({{"paraVideoSize", c.size}});
        // An unknown zoom mode leaves the aspect of step 1 alone.
        const Job job = build("v720x576.mkv", "none");
        EXPECT_EQ(job.out.TargetKind, c.kind) << c.format << " " << c.size;
        EXPECT_EQ(job.out.TargetNorm, c.norm) << c.format;
        EXPECT_EQ(job.out.AspectText, c.aspect) << c.format << " " << c.size;
        EXPECT_EQ(job.out.FilterChain, "");
    }
    profile({{"Format", "pal-dvd"}});
    settings({{"paraVideoSize", "720x576"}});
    EXPECT_EQ(build("v720x576.mkv", "full").out.AspectText, "720:576") << "the zoom step sets the aspect again";
}

TEST_F(JobBuilderTest, VideoEncoders)
{
    struct Case
    {
        const char *enc, *format;
        const char *codec, *preset;
        int kind;
    };
    const Case cases[] = {
        {"libx264", "PSP", "libx264", "libx264-psp", 0},
        {"libx264", "ipod", "libx264", "libx264-ipod", 0},
        {"libx264", "Ps3", "libx264", "libx264-ps3", 0},
        {"libx264", "mp4", "libx264", "libx264-mp4", 0},
        {"mpeg2video", "vob", "mpeg2video", "", 3},
        {"wmv2", "asf", "wmv2", "", 0},
        {"mov", "mov", "", "", 0},
        {"wmv3", "asf", "", "", 0},
        {"MPEG4", "mp4", "", "", 0},
    };
    for (const Case &c : cases) {
        profile({{"Format", c.format}});
        settings({{"paraVideoEncoder", c.enc}});
        const Job job = build("v640x480.mkv");
        EXPECT_EQ(job.out.VideoCodecName, c.codec) << c.enc;
        EXPECT_EQ(job.out.EncoderPreset, c.preset) << c.enc << " " << c.format;
        EXPECT_EQ(job.out.TargetKind, c.kind) << c.enc;
    }
}

TEST_F(JobBuilderTest, H263SizesSnapToTheCodecs)
{
    settings({{"paraVideoEncoder", "h263"}});
    struct Case
    {
        const char *size, *result;
    };
    for (const Case &c : {Case{"320x240", "352x288"}, Case{"176x144", "176x144"}, Case{"100x80", "100x80"},
                          Case{"640x480", "704x576"}, Case{"1280x720", "704x576"}, Case{"352x288", "352x288"}}) {
        settings({{"paraVideoSize", c.size}});
        EXPECT_EQ(build("v640x480.mkv", "full").out.FrameSizeText, c.result) << c.size;
    }
}

TEST_F(JobBuilderTest, UnusableSizesAskTheQuestion)
{
    for (const char *size : {"640x", "x480", "null", "640*480"}) {
        settings({{"paraVideoSize", size}});
        {
            RecordingShell shell;
            shell.answers.push_back(platform::MsgAnswer::No);
            EXPECT_EQ(build("v640x480.mkv", "full").out.FrameSizeText, "640x480") << size;
            ASSERT_EQ(shell.messages.size(), 1u) << size;
            EXPECT_EQ(shell.messages[0].text, "Error output Video Size.Use the default size 320x240?");
            EXPECT_EQ(shell.messages[0].caption, "Warning");
            EXPECT_EQ(shell.messages[0].buttons, platform::MsgButtons::YesNo);
            EXPECT_EQ(shell.messages[0].icon, platform::MsgIcon::Question);
        }
        RecordingShell yes;
        EXPECT_EQ(build("v640x480.mkv", "full").out.FrameSizeText, "320x240") << size;
    }
    RecordingShell none;
    settings({{"paraVideoSize", "abcx480"}});
    EXPECT_EQ(build("v640x480.mkv", "full").out.FrameSizeText, "640x480") << "a side that is no number is the source's";
    EXPECT_TRUE(none.messages.empty());
}

TEST_F(JobBuilderTest, RatesFromTheUserOrTheSource)
{
    // User values win; "as source" falls to the source rule and its range.
    settings({{"paraVideoBitRate", "1500"},
              {"paraFrameRate", "29.97"},
              {"paraSampleRate", "22050"},
              {"paraAudioBitRate", "96.5"},
              {"paraChannel", "as source"}});
    Job job = build("clip.mp4");
    EXPECT_EQ(job.out.VideoBitsPerSec, 1500000);
    EXPECT_EQ(job.out.FrameRateText, "29.97");
    EXPECT_EQ(job.out.SampleRateHz, 22050);
    EXPECT_EQ(job.out.AudioBitsPerSec, 96500);
    EXPECT_EQ(job.out.ChannelCount, -1);

    // Audio bit rate "as source" with a 192 kbit/s source outside 64..128: the fallback.
    profile({{"AudioBitRate", "as source,64,96,128"}, {"paraAudioBitRate", "112"}});
    settings({{"paraAudioBitRate", "as source"}, {"paraFrameRate", "as source"}});
    job = build("a192k.mp3");
    EXPECT_EQ(job.out.AudioBitsPerSec, 112000);
    EXPECT_EQ(job.out.FrameRateText, "");
    profile({{"AudioBitRate", "as source,64,96,128,256"}});
    EXPECT_EQ(build("a192k.mp3").out.AudioBitsPerSec, 192000) << "inside the range: the source's";
    profile({{"paraAudioBitRate", "as source"}, {"AudioBitRate", "64,96"}});
    EXPECT_EQ(build("a192k.mp3").out.AudioBitsPerSec, -1) << "fallback as source: the encoder's default";

    // A list with one comma allows only its first value.
    profile({{"SampleRate", "22050,44100"}, {"paraSampleRate", "8000"}});
    settings({{"paraSampleRate", "as source"}});
    EXPECT_EQ(build("s22050.wav").out.SampleRateHz, 22050);
    EXPECT_EQ(build("s44100.wav").out.SampleRateHz, 8000);

    // Video bit rate from the source when it lies in the list's range.
    profile({{"VideoBitRate", "as source,256,100000"}, {"paraVideoBitRate", "800"}});
    settings({{"paraVideoBitRate", "as source"}});
    TAVProbe probe;
    ASSERT_TRUE(probe.Open(Fixture("clip.mp4")));
    EXPECT_EQ(build("clip.mp4").out.VideoBitsPerSec, probe.FirstVideoStreamInfo().BitRate);
    profile({{"VideoBitRate", "as source,256,300"}});
    EXPECT_EQ(build("clip.mp4").out.VideoBitsPerSec, 800000);
}

TEST_F(JobBuilderTest, LetterboxNumbers)
{
    struct Case
    {
        const char *source, *size;
        std::array<int, 4> crop;
        const char *frameSize, *aspect, *filter;
    };
    const Case cases[] = {
        // 640×480 into 320×180: bars left and right.
        {"v640x480.mkv", "320x180", {0, 0, 0, 0}, "240x180", "240:180", "pad=320:180:40:0"},
        // 720×576 with 8 columns cut each side into 720×576.
        {"v720x576.mkv", "720x576", {0, 8, 0, 8}, "", "720:576", "crop=8:0:704:576,scale=720:576,pad=720:576:0:0"},
        // 320×240 into 720×480 (DV): bars left and right.
        {"clip.mkv", "720x480", {0, 0, 0, 0}, "640x480", "640:480", "pad=720:480:40:0"},
        // 320×240 into 720×576: bars top and bottom.
        {"clip.mkv", "720x576", {0, 0, 0, 0}, "720x540", "720:540", "pad=720:576:0:18"},
        // Same shape, larger: no bars.
        {"clip.mkv", "640x480", {0, 0, 0, 0}, "640x480", "640:480", "pad=640:480:0:0"},
        // Same size.
        {"v640x480.mkv", "640x480", {0, 0, 0, 0}, "640x480", "640:480", "pad=640:480:0:0"},
        // 640×480 into 1280×720: bars left and right.
        {"v640x480.mkv", "1280x720", {0, 0, 0, 0}, "960x720", "960:720", "pad=1280:720:160:0"},
    };
    for (const Case &c : cases) {
        settings({{"paraVideoSize", c.size}});
        const Job job = build(c.source, "lbox", c.crop);
        EXPECT_EQ(job.out.FrameSizeText, c.frameSize) << c.source << " → " << c.size;
        EXPECT_EQ(job.out.AspectText, c.aspect) << c.source << " → " << c.size;
        EXPECT_EQ(job.out.FilterChain, c.filter) << c.source << " → " << c.size;
    }
}

TEST_F(JobBuilderTest, PanAndScanInExtendedPrecision)
{
    struct Case
    {
        const char *source;
        int top, left;
    };
    // (1.5 − 4/3) × 720 is just below 120 in extended precision: 59, made even 58.
    // 640×480 is 4:3 already. (0.8 − 4/3) × 576 = −307.2: 153, made even 152.
    for (const Case &c : {Case{"v720x480.mkv", 0, 58}, Case{"v640x480.mkv", 0, 0}, Case{"v720x576.mkv", 152, 0}}) {
        settings({{"paraVideoSize", "640x480"}});
        const Job job = build(c.source, "pan");
        EXPECT_EQ(job.out.CropLeftCols, c.left) << c.source;
        EXPECT_EQ(job.out.CropRightCols, c.left) << c.source;
        EXPECT_EQ(job.out.CropTopRows, c.top) << c.source;
        EXPECT_EQ(job.out.CropBottomRows, c.top) << c.source;
        EXPECT_EQ(job.out.FrameSizeText, "640x480");
        EXPECT_EQ(job.out.AspectText, "640:480");
        EXPECT_EQ(job.out.FilterChain, "");
    }
}

TEST_F(JobBuilderTest, FullStretchesAndCentreFrames)
{
    settings({{"paraVideoSize", "320x180"}});
    Job job = build("v640x480.mkv", "full", {2, 4, 6, 8});
    EXPECT_EQ(job.out.FrameSizeText, "320x180");
    EXPECT_EQ(job.out.AspectText, "320:180");
    EXPECT_EQ(job.out.CropTopRows, 2);
    EXPECT_EQ(job.out.CropLeftCols, 4);
    EXPECT_EQ(job.out.CropBottomRows, 6);
    EXPECT_EQ(job.out.CropRightCols, 8);
    EXPECT_EQ(job.out.FilterChain, "");

    // Centre, 640×480 into 320×180 (smaller, rW = 2 < rH = 2.67): L = R = 40 at the
    // target's scale, padded around the source.
    job = build("v640x480.mkv", "center");
    EXPECT_EQ(job.out.FrameSizeText, "240x180");
    EXPECT_EQ(job.out.AspectText, "320:180");
    EXPECT_EQ(job.out.FilterChain, "pad=720:480:40:0:black");
    // Centre, 320×240 into 720×480 (larger and wider): L = R = HPad(0.5) = 40.
    settings({{"paraVideoSize", "720x480"}});
    job = build("clip.mkv", "center");
    EXPECT_EQ(job.out.FrameSizeText, "640x480");
    EXPECT_EQ(job.out.FilterChain, "pad=400:240:40:0:black");
    // The same size: no pad.
    settings({{"paraVideoSize", "320x240"}});
    job = build("clip.mkv", "center");
    EXPECT_EQ(job.out.FrameSizeText, "320x240");
    EXPECT_EQ(job.out.FilterChain, "pad=320:240:0:0:black");
}

TEST_F(JobBuilderTest, SoundOfAVideoJobAndAudioOnlySources)
{
    settings({{"paraAudioEncoder", "libamr_nb"}, {"paraChannel", "1"}, {"paraVolume", "128"}});
    Job job = build("tone.wav");
    EXPECT_EQ(job.out.VideoCodecName, "mpeg4") << "set before the source is found to have no video";
    EXPECT_TRUE(job.out.NoVideo);
    EXPECT_EQ(job.out.AudioCodecName, "libopencore_amrnb");
    EXPECT_EQ(job.out.ChannelCount, 1);
    EXPECT_EQ(job.out.VolumeLevel, 128);
    EXPECT_EQ(job.out.FrameSizeText, "");
    EXPECT_EQ(job.out.CropTopRows, -1);
    settings({{"paraAudioEncoder", " "}});
    EXPECT_TRUE(build("clip.mkv").out.NoAudio);
}

TEST_F(JobBuilderTest, ValuesThatAreNoNumbersRaise)
{
    struct Case
    {
        const char *name;
        Keys p, s;
        const char *zoom;
    };
    const Case cases[] = {
        {"volume", {}, {{"paraVolume", "loud"}}, "lbox"},
        {"list bound", {{"SampleRate", "as source,low,48000"}}, {{"paraSampleRate", "as source"}}, "lbox"},
        {"fallback", {{"SampleRate", "8000"}, {"paraSampleRate", "many"}}, {{"paraSampleRate", "as source"}}, "lbox"},
        {"zero width letterbox", {}, {{"paraVideoSize", "0x480"}}, "lbox"},
        {"zero height centre", {}, {{"paraVideoSize", "640x0"}}, "center"},
    };
    for (const Case &c : cases) {
        reset();
        profile(c.p);
        settings(c.s);
        EXPECT_THROW(build("clip.mkv", c.zoom), EConversionError) << c.name;
    }
}

TEST(JobBuilderText, IntegersAndNumbers)
{
    struct Case
    {
        const char *text;
        bool integer, number;
    };
    const Case cases[] = {
        {"42", true, true},     {"  42", true, true},        {"42 ", false, true},        {"-7", true, true},
        {"+7", true, true},     {"29.97", false, true},      {".5", false, true},         {"5.", false, true},
        {"1e3", false, true},   {"", false, false},          {"as source", false, false}, {"1,5", false, false},
        {"0x10", false, false}, {"2147483648", false, true}, {"12abc", false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IsInteger(c.text), c.integer) << c.text;
        EXPECT_EQ(IsNumber(c.text), c.number) << c.text;
    }
}

} // namespace
