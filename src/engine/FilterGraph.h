#pragma once

#include "engine/FFmpegPtr.h"

#include <QString>

// A configured filter graph with one source and one sink.
struct BuiltGraph
{
    FilterGraphPtr graph;
    AVFilterContext *source = nullptr;
    AVFilterContext *sink = nullptr;
};

struct VideoInput
{
    int width = 0;
    int height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    AVRational timeBase{1, 25};
    AVRational sampleAspect{0, 1};
    AVRational frameRate{0, 1};
};

struct AudioInput
{
    int sampleRate = 0;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    AVChannelLayout layout{};
    AVRational timeBase{1, 1};
};

// Builds "buffer -> description -> buffersink" (an empty description passes frames
// through). Throws std::runtime_error with FFmpeg's reason when the graph is refused.
BuiltGraph BuildVideoGraph(const VideoInput &input, const QString &description);
BuiltGraph BuildAudioGraph(const AudioInput &input, const QString &description);
