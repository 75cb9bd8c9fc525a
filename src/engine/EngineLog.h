#pragma once

#include <QString>
#include <functional>

// The engine's one log channel. FFmpeg's own messages (errors only) come through here
// as well, never on stdout or stderr directly. The default handler is qWarning.
void EngineLog(const QString &message);
// Replaces the handler; an empty function restores the default. Returns the old one.
std::function<void(const QString &)> SetEngineLogHandler(std::function<void(const QString &)> handler);

// Routes FFmpeg's log into EngineLog; called once by whatever first uses the libraries.
void InstallFFmpegLog();

// The last error FFmpeg logged on the calling thread, and clearing it. Error messages
// of the engine quote it, because FFmpeg's return codes alone rarely say what is wrong.
QString LastFFmpegError();
void ClearLastFFmpegError();
