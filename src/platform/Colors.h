#pragma once

#include <QColor>
#include <cstdint>

// Colour values as the settings and watermark records store them: $00BBGGRR (red in the
// lowest byte) or $FF0000nn for system colour nn.
using TColor = uint32_t;

namespace platform {

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clYellow = 0x00FFFF;

inline constexpr TColor SystemColorFlag = 0xFF000000;

// The colour a value stands for now: system colours are looked up in the application's
// palette (through a fixed table of the Windows colour indices) each time.
QColor ResolveColor(TColor color);

// The red, green and blue of an RGB value.
inline TColor RGBToColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | TColor(g & 0xFF) << 8 | TColor(b & 0xFF) << 16;
}

// Logical dots per inch of the display: font points become pixels at this resolution.
double LogicalDpi();

} // namespace platform
