#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Media made at test time with the ffmpeg program, and facts read back with ffprobe and
// ffmpeg: tools outside the code under test.
namespace media {

// The path of a named fixture, made on first use into $VINTRA_FIXTURE_DIR (shared by
// the tests of one build, made once under a lock). Names:
//   clip.mkv      3 s 320x240 25 fps testsrc2 (lossless ffv1) + 440 Hz stereo sine (pcm)
//   clip.mp4      the same as H.264 + AAC
//   counter.mkv   3 s 64x48 25 fps, frame n has luma 3n; 440 Hz sine
//   counter.mp4   the same picture as lossless H.264 with B-frames and a single key frame
//   border.mkv    2 s 320x240 green, a red 16-column bar at the left, a blue 16-row bar at
//                 the top (lossless, 4:4:4); sine
//   tone.wav      3 s 1000 Hz sine, 44100 Hz stereo
//   tone.mp3      the same as 128 kbit/s MP3
//   subs.mkv      clip.mkv with a SubRip subtitle stream
//   long.mkv      30 s 640x360 testsrc2 (MPEG-4) + sine (AAC)
//   v<W>x<H>.mkv  1 s of testsrc2 at W×H with a tone;  a<N>k.mp3  1 s tone, MP3 at N kbit/s;
//   s<HZ>.wav     1 s tone at HZ
//   text.txt      a text file; empty.mp4  zero bytes; truncated.mp4  half of clip.mp4;
//   truncated.mkv the first 60 % of clip.mkv
QString Fixture(const QString &name);

// Runs ffmpeg with the arguments (after "-v error -y"); true on success.
bool RunFFmpeg(const QStringList &args, QByteArray *output = nullptr);

// ffprobe's view of a file: {"format": {...}, "streams": [...]}; empty when unreadable.
QJsonObject Probe(const QString &path);
// The first stream of the type ("video", "audio", "subtitle"), empty when none.
QJsonObject StreamOf(const QJsonObject &probe, const QString &type);
int CountStreams(const QJsonObject &probe, const QString &type);
double DurationOf(const QJsonObject &probe);                          // container, seconds
double StreamDuration(const QJsonObject &probe, const QString &type); // seconds, -1 unknown

struct Picture
{
    int width = 0;
    int height = 0;
    QByteArray rgb; // 3 bytes per pixel, rows without padding
    const uint8_t *at(int x, int y) const
    {
        return reinterpret_cast<const uint8_t *>(rgb.constData()) + (y * width + x) * 3;
    }
    bool isNull() const { return rgb.isEmpty(); }
};
// Video frame number n (counted from 0) as RGB.
Picture Frame(const QString &path, int n = 0);

// The sound mixed to mono 16-bit at its own rate.
std::vector<int16_t> Samples(const QString &path);
double Rms(const std::vector<int16_t> &samples);

} // namespace media
