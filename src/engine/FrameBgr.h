#pragma once

#include "engine/FFmpegPtr.h"

#include <QImage>
#include <map>

// Decoded frames as 24-bit BGR pictures and back, in the frame's own colour range and
// matrix (so that a picture converted there and back keeps its levels and colours).
// Each object keeps its conversion contexts and buffers: no allocation per frame once
// the sizes are known. 8-bit planar YUV goes through libyuv's SIMD converters; other
// formats through libswscale (accurate rounding, its own threads).

class BgrReader
{
public:
    // Fills picture (made the frame's size and Format_BGR888 as needed). False when the
    // frame's format cannot be converted.
    bool read(const AVFrame *frame, QImage &picture);

private:
    SwsPtr m_sws;
    int m_width = 0, m_height = 0, m_format = -1, m_colorspace = -1, m_range = -1;
};

// Writes rows of a BGR picture back into a frame of another pixel format.
class BgrWriter
{
public:
    BgrWriter();
    ~BgrWriter();
    BgrWriter(const BgrWriter &) = delete;
    BgrWriter &operator=(const BgrWriter &) = delete;

    // Replaces frame by a writable copy of itself (from a buffer pool) whose rows
    // firstRow..lastRow (inclusive) come from the picture, converted into the frame's
    // format. Rows outside stay bit for bit as decoded. False on failure (frame untouched).
    bool write(const QImage &picture, int firstRow, int lastRow, AVFrame *frame);

private:
    SwsContext *context(int width, int height, AVPixelFormat format, const AVFrame *props);

    struct Key
    {
        int width, height, format, colorspace, range;
        auto operator<=>(const Key &) const = default;
    };
    std::map<Key, SwsPtr> m_contexts; // one per band height met (a handful)
    AVBufferPool *m_pool = nullptr;
    int m_poolSize = 0;
    FramePtr m_copy{av_frame_alloc()};
};
