#include "editing/VideoEffects.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

inline int Clamp255(int64_t v)
{
    return v < 0 ? 0 : v > 255 ? 255 : int(v);
}

// Bitmaps of another format are refused loudly in debug builds and left alone otherwise:
// the callers always hand over frame bitmaps.
inline bool IsFrameBitmap(const QImage &image)
{
    Q_ASSERT(image.isNull() || image.format() == QImage::Format_BGR888);
    return !image.isNull() && image.format() == QImage::Format_BGR888;
}

} // namespace

namespace {

// Large per-call tables live in one buffer per thread, made on the thread's first call.
template <typename T, size_t N> T *ThreadTable()
{
    thread_local std::unique_ptr<T[]> table;
    if (!table)
        table.reset(new T[N]);
    return table.get();
}

} // namespace

void AdjustColor(QImage &bitmap, int32_t brightness, int32_t contrast, int32_t saturation)
{
    if (!IsFrameBitmap(bitmap))
        return;

    // Contrast table: gain k around level 170. The negative branch uses the six-digit
    // constant on purpose (it makes contrast −100 flatten everything to 170).
    const int g = contrast == 100 ? 99 : contrast;
    const long double k = g > 0 ? 1.0L / std::cos(g * 0.015707963267948966L) : std::cos(g * 0.015708L);
    uint8_t T[256];
    for (int i = 0; i < 256; ++i)
        T[i] = uint8_t(Clamp255(std::llrint((i - 170) * k + 170))); // round half to even

    // Brightness then contrast, in one table.
    uint8_t L[256];
    for (int j = 0; j < 256; ++j) {
        const int32_t d = (brightness * (j - 1) + 256) / 256;
        L[j] = T[Clamp255(d)];
    }

    // Saturation: S[i] = ((i + 1) × saturation) >> 8 as an unsigned 16-bit value.
    int32_t S[256];
    for (int i = 0; i < 256; ++i)
        S[i] = uint16_t(uint32_t((i + 1) * saturation) >> 8);

    // Each channel v of a pixel with integer mean q becomes L[clamp(q − S[q] + S[v])]:
    // one table row per mean holds that for every v, so a pixel costs one look-up for
    // its mean's row and one per channel.
    uint8_t *rows = ThreadTable<uint8_t, 256 * 256>();
    for (int q = 0; q < 256; ++q) {
        const int32_t base = q - S[q];
        uint8_t *row = rows + q * 256;
        for (int v = 0; v < 256; ++v)
            row[v] = L[Clamp255(base + S[v])];
    }
    uint8_t mean[768];
    for (int n = 0; n < 768; ++n)
        mean[n] = uint8_t(n / 3);

    const int width = bitmap.width();
    for (int y = 0; y < bitmap.height(); ++y) {
        uint8_t *p = bitmap.scanLine(y);
        uint8_t *const end = p + 3 * width;
        for (; p < end; p += 3) {
            const uint8_t *row = rows + (size_t(mean[p[0] + p[1] + p[2]]) << 8);
            const uint8_t b0 = row[p[0]];
            const uint8_t b1 = row[p[1]];
            const uint8_t b2 = row[p[2]];
            p[0] = b0;
            p[1] = b1;
            p[2] = b2;
        }
    }
}

void AdjustExposure(QImage &bitmap, float exposure)
{
    if (!IsFrameBitmap(bitmap))
        return;
    const long double x = exposure;
    uint8_t E[256];
    for (int i = 0; i < 256; ++i) {
        const long double t = std::exp((i / -128.0L) * (x / 128.0L));
        const int64_t e = std::llrint((1 - t) * 256); // round half to even
        const int64_t v = x >= 0 ? i + ((e * (255 - i)) >> 8) : i - (((-e) * (255 - i)) >> 8);
        E[i] = uint8_t(Clamp255(v));
    }
    // The same table for two bytes at once: half the look-ups.
    uint16_t *pairs = ThreadTable<uint16_t, 65536>();
    for (int hi = 0; hi < 256; ++hi)
        for (int lo = 0; lo < 256; ++lo)
            pairs[hi << 8 | lo] = uint16_t(E[lo] | E[hi] << 8);

    const int bytes = 3 * bitmap.width();
    for (int y = 0; y < bitmap.height(); ++y) {
        uint8_t *p = bitmap.scanLine(y);
        int i = 0;
        for (; i + 8 <= bytes; i += 8) {
            uint64_t v;
            std::memcpy(&v, p + i, 8);
            const uint64_t out = uint64_t(pairs[v & 0xFFFF]) | uint64_t(pairs[(v >> 16) & 0xFFFF]) << 16 |
                                 uint64_t(pairs[(v >> 32) & 0xFFFF]) << 32 | uint64_t(pairs[v >> 48]) << 48;
            std::memcpy(p + i, &out, 8);
        }
        for (; i < bytes; ++i)
            p[i] = E[p[i]];
    }
}

void BlendOverlay(QImage &dest, const QImage &overlay, int x, int y, int alpha)
{
    if (!IsFrameBitmap(dest) || !IsFrameBitmap(overlay))
        return;
    const int srcX = std::max(-x, 0), srcY = std::max(-y, 0);
    const int dstX = std::max(x, 0), dstY = std::max(y, 0);
    const int cols = std::min(overlay.width() - srcX, dest.width() - dstX);
    const int rows = std::min(overlay.height() - srcY, dest.height() - dstY);
    if (cols <= 0 || rows <= 0)
        return;
    const uint32_t keep = uint32_t(256 - alpha);
    const uint32_t take = uint32_t(alpha);
    for (int r = 0; r < rows; ++r) {
        uint8_t *d = dest.scanLine(dstY + r) + 3 * dstX;
        const uint8_t *o = overlay.constScanLine(srcY + r) + 3 * srcX;
        for (int i = 0; i < 3 * cols; ++i)
            d[i] = uint8_t((keep * d[i] + take * o[i]) >> 8);
    }
}

QRect FitRect(const QSize &source, const QRect &target)
{
    const int left = target.left(), top = target.top();
    const int right = left + target.width(), bottom = top + target.height(); // exclusive
    const double a = double(source.width()) / target.width();
    const double b = double(source.height()) / target.height();
    if (a >= b) {
        const int m = int(std::nearbyint((target.height() - source.height() / a) / 2));
        return QRect(QPoint(left, top + m), QPoint(right - 1, bottom - m - 1));
    }
    const int m = int(std::nearbyint((target.width() - source.width() / b) / 2));
    return QRect(QPoint(left + m, top), QPoint(right - m - 1, bottom - 1));
}

std::optional<QRect> DrawFitted(QPainter &painter, const QRect &clip, const QImage &bitmap)
{
    if (bitmap.width() * bitmap.height() == 0)
        return std::nullopt;
    const QRect fit = FitRect(bitmap.size(), clip);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(fit, bitmap);
    painter.restore();
    return fit.adjusted(1, 1, -1, -1);
}
