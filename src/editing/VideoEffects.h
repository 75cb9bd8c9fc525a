#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <optional>

class QPainter;

// Pixel operations on frame bitmaps: 24-bit QImages of Format_BGR888 (bytes blue, green,
// red; rows reached through scanLine, any stride). They change the bitmap in place,
// never its size or format, keep no state between calls, allocate nothing per pixel and
// may run on several threads at once on different bitmaps.

// Brightness (neutral 255, gain in 1/256), contrast (neutral 0, around level 170) and
// saturation (neutral 255, distance from the pixel's mean in 1/256).
void AdjustColor(QImage &bitmap, int32_t brightness, int32_t contrast, int32_t saturation);

// An exponential tone curve: positive values lift levels toward 255, negative ones
// pull them down; 0 is the identity.
void AdjustExposure(QImage &bitmap, float exposure);

// Blends overlay into dest with its top-left pixel at (x, y) (which may be negative):
// out = ((256 - alpha) × dest + alpha × overlay) >> 8 per channel, clipped to dest.
void BlendOverlay(QImage &dest, const QImage &overlay, int x, int y, int alpha);

// The rectangle, centred in target, into which a picture of the source's size is drawn
// keeping its aspect (margins rounded half to even).
QRect FitRect(const QSize &source, const QRect &target);

// Draws the bitmap stretched into FitRect of the clip rectangle; returns that rectangle
// shrunk by one pixel on every side, or nothing when the bitmap has no area.
std::optional<QRect> DrawFitted(QPainter &painter, const QRect &clip, const QImage &bitmap);
