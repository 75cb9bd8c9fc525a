#include "engine/DiscTarget.h"

#include <cmath>

TDiscNorm DiscNorm(int targetNorm, AVRational sourceRate)
{
    if (targetNorm == 1)
        return TDiscNorm::Pal;
    if (targetNorm == 2)
        return TDiscNorm::Ntsc;
    if (sourceRate.num <= 0 || sourceRate.den <= 0)
        return TDiscNorm::Pal;
    const double fps = av_q2d(sourceRate);
    for (double ntsc : {30000.0 / 1001, 30.0, 24000.0 / 1001, 60000.0 / 1001})
        if (std::abs(fps - ntsc) < 0.01)
            return TDiscNorm::Ntsc;
    return TDiscNorm::Pal;
}

namespace {

// One disc standard's settings; sizes are PAL / NTSC.
struct DiscSettings
{
    const char *container, *video, *audio, *palSize, *ntscSize;
    int videoRate, maxRate, minRate, bufferBits;
    bool scanOffset;
    int audioRate, sampleRate, channels; // channels -1: as the task says
    int packetSize, muxRate;             // muxRate -1: the muxer's own
    double preload;                      // -1: the muxer's own
};

const DiscSettings kDiscs[] = {
    {"vcd", "mpeg1video", "mp2", "352x288", "352x240", 1150000, 1150000, 1150000, 327680, false, 224000, 44100, 2, 2324,
     3528 * 50 * 8, 0.44},
    {"svcd", "mpeg2video", "mp2", "480x576", "480x480", 2040000, 2516000, 0, 1835008, true, 224000, 44100, -1, 2324, -1,
     -1},
    {"dvd", "mpeg2video", "ac3", "720x576", "720x480", 6000000, 9000000, 0, 1835008, false, 448000, 48000, -1, 2048,
     25200 * 50 * 8, -1},
};

template <typename T> void Default(T &field, T value, T unset)
{
    if (field == unset && value != unset)
        field = value;
}

void Default(QString &field, const char *value)
{
    if (field.trimmed().isEmpty())
        field = QString::fromLatin1(value);
}

} // namespace

TOutputOptions ApplyDiscTarget(const TOutputOptions &options, AVRational sourceRate)
{
    TOutputOptions o = options;
    if (o.TargetKind < 1 || o.TargetKind > 3)
        return o;
    const DiscSettings &d = kDiscs[o.TargetKind - 1];
    const bool pal = DiscNorm(o.TargetNorm, sourceRate) == TDiscNorm::Pal;
    Default(o.FrameRateText, pal ? "25" : "30000/1001");
    Default(o.GopSize, pal ? 15 : 18, -1);
    Default(o.OutFormat, d.container);
    Default(o.VideoCodecName, d.video);
    Default(o.AudioCodecName, d.audio);
    Default(o.FrameSizeText, pal ? d.palSize : d.ntscSize);
    Default(o.VideoBitsPerSec, d.videoRate, -1);
    Default(o.MaxRate, d.maxRate, -1);
    Default(o.MinRate, d.minRate, -1);
    Default(o.BufferSize, d.bufferBits, -1);
    o.ScanOffset = o.ScanOffset || d.scanOffset;
    Default(o.AudioBitsPerSec, d.audioRate, -1);
    Default(o.SampleRateHz, d.sampleRate, -1);
    Default(o.ChannelCount, d.channels, -1);
    Default(o.PacketSize, d.packetSize, -1);
    Default(o.MuxRate, d.muxRate, -1);
    Default(o.MuxPreload, d.preload, -1.0);
    return o;
}
