#include "engine/TAVProbe.h"

#include "engine/EngineLog.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

bool IsAttachedPicture(const AVStream *stream)
{
    return stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
}

bool TAVProbe::Open(const QString &fileName, const QString &formatName)
{
    Close();
    InstallFFmpegLog();
    const AVInputFormat *forced = nullptr;
    if (!formatName.isEmpty()) {
        forced = av_find_input_format(formatName.toUtf8().constData());
        if (!forced)
            return false;
    }
    AVFormatContext *ctx = nullptr;
    if (avformat_open_input(&ctx, fileName.toUtf8().constData(), forced, nullptr) < 0)
        return false;
    InputContextPtr owned(ctx);
    if (avformat_find_stream_info(ctx, nullptr) < 0 || ctx->nb_streams == 0)
        return false;
    m_ctx = std::move(owned);
    m_fileName = fileName;
    m_formatName = formatName;
    return true;
}

void TAVProbe::Close()
{
    m_ctx.reset();
    m_fileName.clear();
    m_formatName.clear();
}

QString TAVProbe::InputFormatShortName() const
{
    return m_ctx ? QString::fromUtf8(m_ctx->iformat->name) : QString();
}

int64_t TAVProbe::Duration() const
{
    if (!m_ctx || m_ctx->duration == AV_NOPTS_VALUE || m_ctx->duration < 0)
        return -1;
    return m_ctx->duration; // AV_TIME_BASE is µs
}

int TAVProbe::StreamCount() const
{
    return m_ctx ? int(m_ctx->nb_streams) : 0;
}

const AVStream *TAVProbe::Stream(int index) const
{
    if (!m_ctx || index < 0 || index >= int(m_ctx->nb_streams))
        return nullptr;
    return m_ctx->streams[index];
}

bool TAVProbe::IsAudioStream(int index) const
{
    const AVStream *s = Stream(index);
    return s && s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool TAVProbe::IsVideoStream(int index) const
{
    const AVStream *s = Stream(index);
    return s && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(s);
}

int TAVProbe::AudioStreamCount() const
{
    int n = 0;
    for (int i = 0; i < StreamCount(); ++i)
        n += IsAudioStream(i);
    return n;
}

int TAVProbe::VideoStreamCount() const
{
    int n = 0;
    for (int i = 0; i < StreamCount(); ++i)
        n += IsVideoStream(i);
    return n;
}

int TAVProbe::FirstAudioStreamIndex() const
{
    for (int i = 0; i < StreamCount(); ++i)
        if (IsAudioStream(i))
            return i;
    return -1;
}

int TAVProbe::FirstVideoStreamIndex() const
{
    for (int i = 0; i < StreamCount(); ++i)
        if (IsVideoStream(i))
            return i;
    return -1;
}

int64_t TAVProbe::StreamBitRate(int index) const
{
    const AVStream *s = Stream(index);
    if (!s)
        return -1;
    if (s->codecpar->bit_rate > 0)
        return s->codecpar->bit_rate;
    // Estimated from the container: its rate less what the other streams state.
    if (m_ctx->bit_rate <= 0)
        return -1;
    int64_t rest = m_ctx->bit_rate;
    for (int i = 0; i < StreamCount(); ++i) {
        if (i == index)
            continue;
        const AVCodecParameters *p = m_ctx->streams[i]->codecpar;
        if (p->bit_rate > 0)
            rest -= p->bit_rate;
        else if (p->codec_type == AVMEDIA_TYPE_AUDIO || p->codec_type == AVMEDIA_TYPE_VIDEO)
            return -1; // another stream's share is unknown: no honest estimate
    }
    return rest > 0 ? rest : -1;
}

TAudioStreamInfo TAVProbe::AudioStreamInfo(int index) const
{
    TAudioStreamInfo info;
    if (!IsAudioStream(index))
        return info;
    const AVCodecParameters *p = Stream(index)->codecpar;
    info.BitRate = StreamBitRate(index);
    info.Channels = p->ch_layout.nb_channels;
    info.SampleRate = p->sample_rate;
    return info;
}

TVideoStreamInfo TAVProbe::VideoStreamInfo(int index) const
{
    TVideoStreamInfo info;
    if (!IsVideoStream(index))
        return info;
    const AVStream *s = Stream(index);
    info.BitRate = StreamBitRate(index);
    info.Width = s->codecpar->width;
    info.Height = s->codecpar->height;
    AVRational rate = s->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = s->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        info.FrameRateNum = rate.num;
        info.FrameRateDen = rate.den;
    }
    return info;
}

QString TAVProbe::StreamDescription(int index) const
{
    const AVStream *s = Stream(index);
    if (!s)
        return QString();
    const AVCodecParameters *p = s->codecpar;
    QStringList parts;
    const QString codec = QString::fromUtf8(avcodec_get_name(p->codec_id));
    QString kind;
    switch (p->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
        kind = QStringLiteral("Audio");
        parts << codec;
        if (p->sample_rate > 0)
            parts << QStringLiteral("%1 Hz").arg(p->sample_rate);
        char layout[128] = {};
        AVChannelLayout named{};
        if (p->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&named, p->ch_layout.nb_channels); // "stereo" rather than "2 channels"
        else
            av_channel_layout_copy(&named, &p->ch_layout);
        if (named.nb_channels > 0 && av_channel_layout_describe(&named, layout, sizeof layout) > 0)
            parts << QString::fromUtf8(layout);
        av_channel_layout_uninit(&named);
        if (const char *fmt = av_get_sample_fmt_name(AVSampleFormat(p->format)))
            parts << QString::fromUtf8(fmt);
        if (const int64_t rate = AudioStreamInfo(index).BitRate; rate > 0)
            parts << QStringLiteral("%1 kb/s").arg(rate / 1000);
        break;
    }
    case AVMEDIA_TYPE_VIDEO: {
        kind = QStringLiteral("Video");
        parts << codec;
        if (const char *fmt = av_get_pix_fmt_name(AVPixelFormat(p->format)))
            parts << QString::fromUtf8(fmt);
        if (p->width > 0 && p->height > 0) {
            QString size = QStringLiteral("%1x%2").arg(p->width).arg(p->height);
            const AVRational sar = p->sample_aspect_ratio;
            if (sar.num > 0 && sar.den > 0) {
                AVRational dar;
                av_reduce(&dar.num, &dar.den, int64_t(p->width) * sar.num, int64_t(p->height) * sar.den, 1 << 20);
                size += QStringLiteral(" [SAR %1:%2 DAR %3:%4]").arg(sar.num).arg(sar.den).arg(dar.num).arg(dar.den);
            }
            parts << size;
        }
        if (IsAttachedPicture(s))
            parts << QStringLiteral("attached picture");
        const TVideoStreamInfo info = VideoStreamInfo(index);
        if (info.BitRate > 0)
            parts << QStringLiteral("%1 kb/s").arg(info.BitRate / 1000);
        if (info.FrameRateDen > 0)
            parts << QStringLiteral("%1 fps").arg(double(info.FrameRateNum) / info.FrameRateDen, 0, 'g', 4);
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        kind = QStringLiteral("Subtitle");
        parts << codec;
        break;
    default:
        kind = QStringLiteral("Data");
        parts << codec;
        break;
    }
    return QStringLiteral("Stream #0:%1: %2: %3").arg(index).arg(kind, parts.join(QStringLiteral(", ")));
}

QString TAVProbe::StreamDescriptions() const
{
    QStringList lines;
    for (int i = 0; i < StreamCount(); ++i)
        lines << StreamDescription(i);
    return lines.join(QLatin1Char('\n'));
}
