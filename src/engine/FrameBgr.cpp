#include "engine/FrameBgr.h"

#include <cstring>

#include <libyuv.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace {

bool FullRange(const AVFrame *frame)
{
    if (frame->color_range == AVCOL_RANGE_JPEG)
        return true;
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    return d && QByteArray(d->name).startsWith("yuvj");
}

int Matrix(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_DEFAULT; // BT.601, as FFmpeg assumes for unmarked video
    }
}

// libyuv's matrices for the frame's colour space and range (BT.601 when unmarked).
const libyuv::YuvConstants *YuvMatrix(const AVFrame *frame)
{
    const bool full = FullRange(frame);
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return full ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return full ? &libyuv::kYuvV2020Constants : &libyuv::kYuv2020Constants;
    default:
        return full ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    }
}

// 8-bit planar 4:2:0, 4:2:2 and 4:4:4 (the pictures most video decodes to) go through
// libyuv's SIMD converters, which keep levels to within one step; everything else
// through libswscale.
bool ReadPlanar(const AVFrame *f, QImage &picture)
{
    const libyuv::YuvConstants *m = YuvMatrix(f);
    uint8_t *dst = picture.bits();
    const int stride = int(picture.bytesPerLine());
    switch (f->format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        return libyuv::I420ToRGB24Matrix(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2],
                                         f->linesize[2], dst, stride, m, f->width, f->height) == 0;
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUVJ422P:
        return libyuv::I422ToRGB24Matrix(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2],
                                         f->linesize[2], dst, stride, m, f->width, f->height) == 0;
    case AV_PIX_FMT_YUV444P:
    case AV_PIX_FMT_YUVJ444P:
        return libyuv::I444ToRGB24Matrix(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2],
                                         f->linesize[2], dst, stride, m, f->width, f->height) == 0;
    default:
        return false;
    }
}

SwsPtr MakeContext(int width, int height, AVPixelFormat from, AVPixelFormat to, const AVFrame *props, bool toBgr)
{
    SwsPtr sws(sws_alloc_context());
    if (!sws)
        return nullptr;
    av_opt_set_int(sws.get(), "srcw", width, 0);
    av_opt_set_int(sws.get(), "srch", height, 0);
    av_opt_set_int(sws.get(), "src_format", from, 0);
    av_opt_set_int(sws.get(), "dstw", width, 0);
    av_opt_set_int(sws.get(), "dsth", height, 0);
    av_opt_set_int(sws.get(), "dst_format", to, 0);
    // Same size, so no filtering; accurate rounding, without which levels shift by a few steps.
    av_opt_set_int(sws.get(), "sws_flags", SWS_POINT | SWS_ACCURATE_RND, 0);
    av_opt_set_int(sws.get(), "threads", 0, 0);
    if (sws_init_context(sws.get(), nullptr, nullptr) < 0)
        return nullptr;
    // The YUV side gets the frame's matrix and range; the BGR side is full range.
    const int *coefficients = sws_getCoefficients(Matrix(props));
    const int yuvRange = FullRange(props) ? 1 : 0;
    sws_setColorspaceDetails(sws.get(), coefficients, toBgr ? yuvRange : 1, coefficients, toBgr ? 1 : yuvRange, 0,
                             1 << 16, 1 << 16);
    return sws;
}

} // namespace

bool BgrReader::read(const AVFrame *frame, QImage &picture)
{
    if (picture.width() != frame->width || picture.height() != frame->height ||
        picture.format() != QImage::Format_BGR888)
        picture = QImage(frame->width, frame->height, QImage::Format_BGR888);
    if (ReadPlanar(frame, picture))
        return true;
    if (!m_sws || frame->width != m_width || frame->height != m_height || frame->format != m_format ||
        frame->colorspace != m_colorspace || int(frame->color_range) != m_range) {
        m_sws = MakeContext(frame->width, frame->height, AVPixelFormat(frame->format), AV_PIX_FMT_BGR24, frame, true);
        if (!m_sws)
            return false;
        m_width = frame->width;
        m_height = frame->height;
        m_format = frame->format;
        m_colorspace = frame->colorspace;
        m_range = frame->color_range;
    }
    uint8_t *dst[4] = {picture.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    return sws_scale(m_sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride) > 0;
}

BgrWriter::BgrWriter() = default;

BgrWriter::~BgrWriter()
{
    m_contexts.clear();
    av_buffer_pool_uninit(&m_pool);
}

SwsContext *BgrWriter::context(int width, int height, AVPixelFormat format, const AVFrame *props)
{
    const Key key{width, height, int(format), int(props->colorspace), int(props->color_range)};
    auto it = m_contexts.find(key);
    if (it != m_contexts.end())
        return it->second.get();
    if (m_contexts.size() >= 8)
        m_contexts.clear(); // bands of ever new heights: start over rather than grow
    SwsPtr sws = MakeContext(width, height, AV_PIX_FMT_BGR24, format, props, false);
    SwsContext *raw = sws.get();
    if (sws)
        m_contexts.emplace(key, std::move(sws));
    return raw;
}

bool BgrWriter::write(const QImage &picture, int firstRow, int lastRow, AVFrame *frame)
{
    const AVPixelFormat format = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(format);
    if (!desc || !m_copy || picture.width() != frame->width || picture.height() != frame->height)
        return false;

    // Planar formats take back just the changed rows (widened to whole chroma rows);
    // others the whole picture.
    const bool planar = (desc->flags & AV_PIX_FMT_FLAG_PLANAR) && !(desc->flags & AV_PIX_FMT_FLAG_HWACCEL);
    const int step = 1 << desc->log2_chroma_h;
    int top = 0, bottom = frame->height;
    if (planar) {
        top = firstRow / step * step;
        bottom = std::min(frame->height, (lastRow / step + 1) * step);
    }

    // A writable frame from the pool, holding the decoded pixels.
    const int size = av_image_get_buffer_size(format, frame->width, frame->height, 64);
    if (size <= 0)
        return false;
    if (!m_pool || m_poolSize != size) {
        av_buffer_pool_uninit(&m_pool);
        m_pool = av_buffer_pool_init(size_t(size), nullptr);
        m_poolSize = size;
        if (!m_pool)
            return false;
    }
    AVFrame *copy = m_copy.get();
    copy->buf[0] = av_buffer_pool_get(m_pool);
    if (!copy->buf[0])
        return false;
    copy->format = frame->format;
    copy->width = frame->width;
    copy->height = frame->height;
    if (av_image_fill_arrays(copy->data, copy->linesize, copy->buf[0]->data, format, frame->width, frame->height, 64) <
            0 ||
        av_frame_copy_props(copy, frame) < 0 || av_frame_copy(copy, frame) < 0) {
        av_frame_unref(copy);
        return false;
    }

    // BT.601 4:2:0, the usual case, through libyuv; the rest through libswscale.
    const AVColorSpace cs = frame->colorspace;
    const bool bt601 = cs != AVCOL_SPC_BT709 && cs != AVCOL_SPC_BT2020_NCL && cs != AVCOL_SPC_BT2020_CL &&
                       cs != AVCOL_SPC_FCC && cs != AVCOL_SPC_SMPTE240M;
    if (bt601 && (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P)) {
        const auto convert = FullRange(frame) ? libyuv::RGB24ToJ420 : libyuv::RGB24ToI420;
        const int chromaTop = top / 2;
        if (convert(picture.constScanLine(top), int(picture.bytesPerLine()),
                    copy->data[0] + ptrdiff_t(top) * copy->linesize[0], copy->linesize[0],
                    copy->data[1] + ptrdiff_t(chromaTop) * copy->linesize[1], copy->linesize[1],
                    copy->data[2] + ptrdiff_t(chromaTop) * copy->linesize[2], copy->linesize[2], frame->width,
                    bottom - top) != 0) {
            av_frame_unref(copy);
            return false;
        }
        av_frame_unref(frame);
        av_frame_move_ref(frame, copy);
        return true;
    }

    SwsContext *sws = context(frame->width, bottom - top, format, frame);
    if (!sws) {
        av_frame_unref(copy);
        return false;
    }
    const uint8_t *src[4] = {picture.constScanLine(top), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    uint8_t *dst[4] = {};
    for (int plane = 0; plane < 4 && copy->data[plane]; ++plane) {
        const bool chroma = planar && (plane == 1 || plane == 2);
        const int row = chroma ? top >> desc->log2_chroma_h : top;
        dst[plane] = copy->data[plane] + ptrdiff_t(row) * copy->linesize[plane];
    }
    if (sws_scale(sws, src, srcStride, 0, bottom - top, dst, copy->linesize) <= 0) {
        av_frame_unref(copy);
        return false;
    }
    av_frame_unref(frame);
    av_frame_move_ref(frame, copy);
    return true;
}
