#pragma once

// Owning pointers for FFmpeg's objects, so that every path out of a function frees
// what it took.

#include <QString>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

struct AVPacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct AVFrameFree
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct AVCodecContextFree
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct AVFilterGraphFree
{
    void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); }
};
struct AVInputFormatContextClose
{
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct SwsContextFree
{
    void operator()(SwsContext *c) const { sws_freeContext(c); }
};

using PacketPtr = std::unique_ptr<AVPacket, AVPacketFree>;
using FramePtr = std::unique_ptr<AVFrame, AVFrameFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextFree>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphFree>;
using InputContextPtr = std::unique_ptr<AVFormatContext, AVInputFormatContextClose>;
using SwsPtr = std::unique_ptr<SwsContext, SwsContextFree>;

// FFmpeg's text for an error code.
QString AVErrorText(int code);

// A decoder for the stream, opened with threads on (frame and slice). Null on failure,
// with the reason in *why.
CodecContextPtr OpenStreamDecoder(AVStream *stream, QString *why);
