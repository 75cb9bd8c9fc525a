#include "core/EncoderTables.h"

#include <array>
#include <utility>

namespace {

using Pair = std::pair<const char *, const char *>;

constexpr std::array kVideoEncoders = {
    Pair{"mpeg-4", "mpeg4"},
    Pair{"3gp", "3gp"},
    Pair{"3g2", "3g2"},
    Pair{"xvid", "libxvid"},
    Pair{"mov", "mov"},
    Pair{"wmv1", "wmv1"},
    Pair{"wmv2", "wmv2"},
    Pair{"wmv3", "wmv3"},
    Pair{"flv", "flv"},
    Pair{"swf", "swf"},
    Pair{"msmpeg4", "msmpeg4"},
    Pair{"msmpeg4v1", "msmpeg4v1"},
    Pair{"msmpeg4v2", "msmpeg4v2"},
    Pair{"mpeg1video", "mpeg1video"},
    Pair{"mpeg2video", "mpeg2video"},
    Pair{"h263", "h263"},
    Pair{"h263p", "h263p"},
    Pair{"rawvideo", "rawvideo"},
    Pair{"rv10", "rv10"},
    Pair{"rv20", "rv20"},
    Pair{"dvvideo", "dvvideo"},
    Pair{"huffyuv", "huffyuv"},
    Pair{"ljpeg", "ljpeg"},
    Pair{"mjpeg", "mjpeg"},
    Pair{"svq1", "svq1"},
    Pair{"zlib", "zlib"},
    Pair{"h264", "libx264"},
};

constexpr std::array kAudioEncoders = {
    Pair{"mp3", "libmp3lame"},
    Pair{"ogg", "vorbis"},
    Pair{"mp2", "mp2"},
    Pair{"aac", "libfaac"},
    Pair{"ac-3", "ac3"},
    Pair{"flac", "flac"},
    Pair{"alac", "alac"},
    Pair{"libamr_nb", "libopencore_amrnb"},
    Pair{"adpcm_swf", "adpcm_swf"},
    Pair{"adpcm_yamaha", "adpcm_yamaha"},
    Pair{"pcm-8bit", "pcm_s8"},
    Pair{"pcm-16bit", "pcm_s16be"},
    Pair{"pcm-24bit", "pcm_s24be"},
    Pair{"pcm-32bit", "pcm_s32be"},
    Pair{"pcm-32bit float", "pcm_f32be"},
    Pair{"pcm-64bit float", "pcm_f64be"},
    Pair{"ccitt a-law(8-bit)", "pcm_alaw"},
    Pair{"ccitt mu-law(8-bit)", "pcm_mulaw"},
    Pair{"ima adpcm(4-bit)", "adpcm_ima_qt"},
    Pair{"gsm", "libgsm"},
    Pair{"pcm_s16", "pcm_s16le"},
    Pair{"pcm_u16", "pcm_u16le"},
    Pair{"pcm_alaw", "pcm_alaw"},
    Pair{"pcm_mulaw ", "pcm_mulaw"}, // the entry really ends in a blank
    Pair{"adpcm_ms", "adpcm_ms"},
    Pair{"adpcm_ima_wav", "adpcm_ima_wav"},
    Pair{"wma1", "wmav1"},
    Pair{"wma2", "wmav2"},
};

constexpr std::array kChannels = {
    Pair{"as source", "as source"},
    Pair{"mono 1 channel", "1"},
    Pair{"stereo 2 channels", "2"},
};

constexpr std::array kZoom = {"full", "lbox", "pan", "center"};

template <size_t N> std::optional<QString> lookup(const std::array<Pair, N> &table, const QString &key)
{
    for (const Pair &p : table)
        if (key == QLatin1String(p.first))
            return QString::fromLatin1(p.second);
    return std::nullopt;
}

} // namespace

std::optional<QString> StoredVideoEncoder(const QString &entry)
{
    return lookup(kVideoEncoders, entry.toLower());
}

std::optional<QString> StoredAudioEncoder(const QString &entry)
{
    return lookup(kAudioEncoders, entry.toLower());
}

std::optional<QString> StoredChannel(const QString &entry)
{
    return lookup(kChannels, entry);
}

std::optional<QString> StoredVolume(int percent)
{
    constexpr std::array kPercents = {25, 50, 75, 100, 125, 150, 175, 200, 250, 300, 350, 400};
    for (int p : kPercents)
        if (p == percent)
            return QString::number(p * 256 / 100);
    return std::nullopt;
}

std::optional<QString> StoredZoom(int index)
{
    if (index < 0 || index >= int(kZoom.size()))
        return std::nullopt;
    return QString::fromLatin1(kZoom[size_t(index)]);
}

int ZoomIndex(const QString &stored)
{
    for (size_t i = 0; i < kZoom.size(); ++i)
        if (stored == QLatin1String(kZoom[i]))
            return int(i);
    return -1;
}
