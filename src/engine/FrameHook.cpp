#include "engine/FrameHook.h"

#include "engine/EngineLog.h"

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

void FrameHookBridge::run(AVFrame *frame, int64_t frameNumber, int64_t ptsUs, const Handler &handler)
{
    if (m_stopped || !handler)
        return;
    if (!m_reader.read(frame, m_picture)) {
        EngineLog(QStringLiteral("Frames in %1 cannot be handed to the frame hook")
                      .arg(QString::fromUtf8(av_get_pix_fmt_name(AVPixelFormat(frame->format)))));
        m_stopped = true;
        return;
    }
    // What the picture was, to find the rows the handler changes.
    const size_t rowBytes = size_t(m_picture.width()) * 3;
    const size_t stride = size_t(m_picture.bytesPerLine());
    const size_t bytes = stride * size_t(m_picture.height());
    m_before.resize(bytes);
    std::memcpy(m_before.data(), m_picture.constBits(), bytes);

    TCustomHookInfo info;
    info.TaskIndex = m_task;
    info.Bitmap = &m_picture;
    info.FrameNumber = frameNumber;
    info.PTS = ptsUs;
    try {
        handler(info);
    } catch (const std::exception &e) {
        EngineLog(QStringLiteral("Error occurs OnCustomHook: ") + QString::fromUtf8(e.what()));
        return;
    } catch (...) {
        EngineLog(QStringLiteral("Error occurs OnCustomHook: unknown error"));
        return;
    }
    if (info.StopHook)
        m_stopped = true;
    if (!info.Update)
        return;
    if (m_picture.size() != QSize(frame->width, frame->height) || m_picture.format() != QImage::Format_BGR888) {
        EngineLog(QStringLiteral("Error occurs OnCustomHook: the picture's size or format was changed"));
        return;
    }
    int first = -1, last = -1;
    const uint8_t *now = m_picture.constBits();
    for (int y = 0; y < m_picture.height(); ++y)
        if (std::memcmp(now + y * stride, m_before.data() + y * stride, rowBytes) != 0) {
            first = y;
            break;
        }
    if (first < 0)
        return; // nothing drawn: the frame stays exactly as decoded
    for (int y = m_picture.height() - 1; y >= first; --y)
        if (std::memcmp(now + y * stride, m_before.data() + y * stride, rowBytes) != 0) {
            last = y;
            break;
        }
    if (!m_writer.write(m_picture, first, last, frame))
        EngineLog(QStringLiteral("Error occurs OnCustomHook: the picture could not be written back"));
}
