#pragma once

#include <QString>

// FFmpeg encoder names as the option records carry them, mapped onto the encoders this
// build of the libraries has: "libfaac" is served by the native "aac" encoder, and
// "vorbis" by "libvorbis" (the native one is experimental). Other names pass unchanged.
QString ResolveEncoderName(const QString &name);

// True when the (resolved) name names an encoder of the linked libavcodec.
bool EncoderExists(const QString &name);
