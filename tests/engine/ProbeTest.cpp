#include "Media.h"
#include "engine/TAVProbe.h"

#include <gtest/gtest.h>

namespace {

TEST(Probe, ReadsContainerAndStreams)
{
    TAVProbe probe;
    ASSERT_TRUE(probe.Open(media::Fixture("clip.mkv")));
    EXPECT_EQ(probe.FileName(), media::Fixture("clip.mkv"));
    EXPECT_EQ(probe.FormatName(), "");
    EXPECT_EQ(probe.InputFormatShortName(), "matroska,webm");
    EXPECT_NEAR(double(probe.Duration()), 3e6, 50e3);
    EXPECT_EQ(probe.VideoStreamCount(), 1);
    EXPECT_EQ(probe.AudioStreamCount(), 1);
    const int v = probe.FirstVideoStreamIndex();
    const int a = probe.FirstAudioStreamIndex();
    EXPECT_TRUE(probe.IsVideoStream(v));
    EXPECT_FALSE(probe.IsAudioStream(v));
    EXPECT_TRUE(probe.IsAudioStream(a));
    EXPECT_FALSE(probe.IsVideoStream(7));

    const TVideoStreamInfo video = probe.FirstVideoStreamInfo();
    EXPECT_EQ(video.Width, 320);
    EXPECT_EQ(video.Height, 240);
    EXPECT_EQ(video.FrameRateNum * 1.0 / video.FrameRateDen, 25.0);
    // Matroska states no stream rate: the video's share of the container's is estimated.
    EXPECT_GT(video.BitRate, 100000);

    const TAudioStreamInfo audio = probe.FirstAudioStreamInfo();
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_EQ(audio.Channels, 2);
    EXPECT_EQ(audio.BitRate, 44100 * 2 * 16);

    EXPECT_EQ(probe.StreamDescription(a),
              QStringLiteral("Stream #0:%1: Audio: pcm_s16le, 44100 Hz, stereo, s16, 1411 kb/s").arg(a));
    EXPECT_TRUE(
        probe.StreamDescription(v).startsWith(QStringLiteral("Stream #0:%1: Video: ffv1, yuv420p, 320x240").arg(v)))
        << probe.StreamDescription(v).toStdString();
    EXPECT_TRUE(probe.StreamDescription(v).endsWith("25 fps"));
}

TEST(Probe, AudioFileHasNoVideoAndItsOwnBitRate)
{
    TAVProbe probe;
    ASSERT_TRUE(probe.Open(media::Fixture("tone.mp3")));
    EXPECT_EQ(probe.VideoStreamCount(), 0);
    EXPECT_EQ(probe.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(probe.FirstVideoStreamInfo().Width, 0);
    EXPECT_EQ(probe.FirstAudioStreamInfo().BitRate, 128000);
    const QString text = probe.StreamDescriptions();
    // What the media information dialog cuts out: after "Audio: " up to the next comma.
    const qsizetype at = text.indexOf("Audio:");
    ASSERT_GE(at, 0);
    EXPECT_EQ(text.mid(at + 7, text.indexOf(',', at) - at - 7), "mp3");
}

TEST(Probe, RefusesWhatIsNotMedia)
{
    TAVProbe probe;
    for (const char *name : {"text.txt", "empty.mp4", "truncated.mp4"}) {
        EXPECT_FALSE(probe.Open(media::Fixture(name))) << name;
        EXPECT_FALSE(probe.IsOpen());
        EXPECT_EQ(probe.Duration(), -1);
        EXPECT_EQ(probe.VideoStreamCount(), 0);
    }
    EXPECT_FALSE(probe.Open("/no/such/file.mp4"));
    EXPECT_FALSE(probe.Open(media::Fixture("clip.mkv"), "no-such-format"));
}

TEST(Probe, CoverArtIsNoVideo)
{
    const QString path = media::Fixture("tone.mp3") + ".cover.mp3";
    ASSERT_TRUE(media::RunFFmpeg({"-i", media::Fixture("tone.mp3"), "-f", "lavfi", "-i",
                                  "color=red:size=64x64:duration=1", "-frames:v", "1", "-map", "0", "-map", "1", "-c:a",
                                  "copy", "-c:v", "mjpeg", "-disposition:v", "attached_pic", path}));
    TAVProbe probe;
    ASSERT_TRUE(probe.Open(path));
    EXPECT_EQ(probe.StreamCount(), 2);
    EXPECT_EQ(probe.VideoStreamCount(), 0);
    EXPECT_EQ(probe.AudioStreamCount(), 1);
}

} // namespace
