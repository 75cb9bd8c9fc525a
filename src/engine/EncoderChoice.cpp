#include "engine/EncoderChoice.h"

#include "engine/EncoderNames.h"

#include <QByteArray>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

const AVCodec *FindEncoder(const QString &name, const AVOutputFormat *container, AVMediaType type, QString *why)
{
    if (!name.trimmed().isEmpty()) {
        const QString resolved = ResolveEncoderName(name.trimmed());
        const AVCodec *codec = avcodec_find_encoder_by_name(resolved.toUtf8().constData());
        if (!codec) {
            *why = QStringLiteral("Encoder \"%1\" is not available").arg(name.trimmed());
            return nullptr;
        }
        if (codec->type != type) {
            *why = QStringLiteral("\"%1\" is not an %2 encoder")
                       .arg(name.trimmed(),
                            type == AVMEDIA_TYPE_VIDEO ? QStringLiteral("video") : QStringLiteral("audio"));
            return nullptr;
        }
        return codec;
    }
    const AVCodecID id = av_guess_codec(container, nullptr, nullptr, nullptr, type);
    const AVCodec *codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(id);
    if (!codec)
        *why = QStringLiteral("The container \"%1\" has no default %2 encoder here")
                   .arg(QString::fromUtf8(container->name),
                        type == AVMEDIA_TYPE_VIDEO ? QStringLiteral("video") : QStringLiteral("audio"));
    return codec;
}

AVPixelFormat ChooseVideoFormat(const AVCodec *encoder, AVPixelFormat source)
{
    const AVPixelFormat *list = encoder->pix_fmts;
    if (!list)
        return source;
    std::vector<AVPixelFormat> allowed(
        list, list + [list] {
            int n = 0;
            while (list[n] != AV_PIX_FMT_NONE)
                ++n;
            return n;
        }());
    if (encoder->id == AV_CODEC_ID_MJPEG || encoder->id == AV_CODEC_ID_LJPEG) {
        // The JPEG encoders take limited-range YUV only in unofficial streams: offer them
        // the full-range (J) formats and RGB, as FFmpeg's own tool does.
        std::erase_if(allowed, [](AVPixelFormat f) {
            const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(f);
            return !(d->flags & AV_PIX_FMT_FLAG_RGB) && !QByteArray(d->name).startsWith("yuvj");
        });
    }
    for (AVPixelFormat f : allowed)
        if (f == source)
            return source;
    allowed.push_back(AV_PIX_FMT_NONE);
    return avcodec_find_best_pix_fmt_of_list(allowed.data(), source, 0, nullptr);
}

AVRational ChooseFrameRate(const AVCodec *encoder, AVRational wanted)
{
    if (!encoder->supported_framerates)
        return wanted;
    const int i = av_find_nearest_q_idx(wanted, encoder->supported_framerates);
    return encoder->supported_framerates[i];
}

AVSampleFormat ChooseSampleFormat(const AVCodec *encoder, AVSampleFormat source)
{
    const AVSampleFormat *list = encoder->sample_fmts;
    if (!list)
        return source;
    for (const AVSampleFormat *p = list; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (*p == source)
            return source;
    // Prefer a format at least as precise as the source's, else the encoder's first.
    const int bytes = av_get_bytes_per_sample(source);
    for (const AVSampleFormat *p = list; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (av_get_bytes_per_sample(*p) >= bytes)
            return *p;
    return list[0];
}

int ChooseSampleRate(const AVCodec *encoder, int wanted)
{
    const int *list = encoder->supported_samplerates;
    if (!list)
        return wanted;
    int best = list[0];
    for (const int *p = list; *p; ++p) {
        if (*p == wanted)
            return wanted;
        if (std::abs(*p - wanted) < std::abs(best - wanted))
            best = *p;
    }
    return best;
}

void ChooseChannelLayout(const AVCodec *encoder, const AVChannelLayout &wanted, AVChannelLayout *out)
{
    const AVChannelLayout *list = encoder->ch_layouts;
    if (!list) {
        av_channel_layout_copy(out, &wanted);
        return;
    }
    const AVChannelLayout *best = nullptr;
    for (const AVChannelLayout *p = list; p->nb_channels; ++p) {
        if (!av_channel_layout_compare(p, &wanted)) {
            av_channel_layout_copy(out, p);
            return;
        }
        // Same count first; otherwise the most channels that do not exceed the wish.
        if (p->nb_channels == wanted.nb_channels && (!best || best->nb_channels != wanted.nb_channels))
            best = p;
        else if (!best || (best->nb_channels != wanted.nb_channels && p->nb_channels <= wanted.nb_channels &&
                           p->nb_channels > best->nb_channels))
            best = p;
    }
    av_channel_layout_copy(out, best ? best : &list[0]);
}
