#pragma once

#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// Picking an encoder and the parameters it accepts that lie closest to what was asked.

// The encoder of that name (after ResolveEncoderName), or the container's default
// encoder for the media type when the name is empty. Null when there is none; the
// message then says why.
const AVCodec *FindEncoder(const QString &name, const AVOutputFormat *container, AVMediaType type, QString *why);

// The encoder's pixel format closest to the source's: the source's own when the encoder
// takes it (so lossless stays lossless and untouched pictures keep their levels).
AVPixelFormat ChooseVideoFormat(const AVCodec *encoder, AVPixelFormat source);

// The wanted rate, or the nearest one the encoder supports when it has a fixed list.
AVRational ChooseFrameRate(const AVCodec *encoder, AVRational wanted);

AVSampleFormat ChooseSampleFormat(const AVCodec *encoder, AVSampleFormat source);
int ChooseSampleRate(const AVCodec *encoder, int wanted);
// Writes into out (uninitialised) the encoder's layout closest to the wanted one.
void ChooseChannelLayout(const AVCodec *encoder, const AVChannelLayout &wanted, AVChannelLayout *out);
