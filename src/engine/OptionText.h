#pragma once

#include <QString>
#include <optional>

extern "C" {
#include <libavutil/rational.h>
}

// Reading the texts of the option records.

struct FrameSize
{
    int width;
    int height;
};

// "640x480" → 640 × 480; nothing for anything else (a missing side, zero, a sign).
std::optional<FrameSize> ParseFrameSizeText(const QString &text);

// "29.97", "25", "30000/1001" → a rate. The usual broadcast approximations (23.976,
// 29.97, 59.94, 119.88) become the exact 1001-based rates they stand for.
std::optional<AVRational> ParseFrameRateText(const QString &text);

// A display aspect written "W:H" or "W/H" (or one number); nothing when not positive.
std::optional<AVRational> ParseAspectText(const QString &text);

// The value of a key in key=value lines ("vn=1"); empty when the key is absent.
QString ExtraOption(const QString &lines, const QString &key);
