#include "engine/FFmpegPtr.h"

#include <new>

QString AVErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

CodecContextPtr OpenStreamDecoder(AVStream *st, QString *why)
{
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
        *why = QStringLiteral("No decoder for %1").arg(QString::fromUtf8(avcodec_get_name(st->codecpar->codec_id)));
        return nullptr;
    }
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec)
        throw std::bad_alloc();
    int ret = avcodec_parameters_to_context(dec.get(), st->codecpar);
    if (ret >= 0) {
        dec->pkt_timebase = st->time_base;
        dec->thread_count = 0;
        dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        ret = avcodec_open2(dec.get(), codec, nullptr);
    }
    if (ret < 0) {
        *why = QStringLiteral("Cannot open the %1 decoder: %2").arg(QString::fromUtf8(codec->name), AVErrorText(ret));
        return nullptr;
    }
    return dec;
}
