#include "engine/EngineLog.h"

#include <QDebug>
#include <QRegularExpression>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::mutex g_mutex;
std::function<void(const QString &)> g_handler;
thread_local QString t_lastError;

void FFmpegLogCallback(void *avcl, int level, const char *fmt, va_list args)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(avcl, level, fmt, args, line, sizeof line, &prefix);
    QString text = QString::fromUtf8(line).trimmed();
    // "[mp4 @ 0x55d1c0e1a2c0] message": the address means nothing to a reader.
    static const QRegularExpression address(QStringLiteral(" @ 0x[0-9a-fA-F]+\\]"));
    text.replace(address, QStringLiteral("]"));
    if (text.isEmpty())
        return;
    t_lastError = text;
    EngineLog(text);
}

} // namespace

void EngineLog(const QString &message)
{
    std::function<void(const QString &)> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    if (handler)
        handler(message);
    else
        qWarning().noquote() << message;
}

std::function<void(const QString &)> SetEngineLogHandler(std::function<void(const QString &)> handler)
{
    std::lock_guard lock(g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

void InstallFFmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(FFmpegLogCallback);
    });
}

QString LastFFmpegError()
{
    return t_lastError;
}

void ClearLastFFmpegError()
{
    t_lastError.clear();
}
