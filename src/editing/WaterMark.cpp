#include "editing/WaterMark.h"

#include "editing/VideoEffects.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <cmath>

QString FirstFontFace()
{
    const QStringList faces = QFontDatabase::families();
    return faces.isEmpty() ? QFont().family() : faces.first();
}

QFont WmQFont(const TWmFont &font)
{
    QFont f;
    if (!font.Name.isEmpty())
        f.setFamily(font.Name);
    f.setPixelSize(std::max(1, int(std::lround(font.Size * platform::LogicalDpi() / 72.0))));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.StrikeOut);
    return f;
}

QSize MeasureWmText(const QString &text, const TWmFont &font)
{
    const QFontMetrics metrics(WmQFont(font));
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

// Keeps the per-item caches up to date; everything here runs under the item's cache lock.
class WmRenderer
{
public:
    static std::mutex &Mutex(TWmRenderCache &c) { return c.mutex; }

    // The text's coverage in its box, rendered once per text, font and box size.
    static const uint8_t *Coverage(TWmRenderCache &c, const TWmRec &item)
    {
        const double dpi = platform::LogicalDpi();
        if (c.text == item.Text && c.font == item.Font && c.dpi == dpi && c.width == item.TextWidth &&
            c.height == item.TextHeight)
            return c.coverage.data();
        QImage glyphs(item.TextWidth, item.TextHeight, QImage::Format_ARGB32_Premultiplied);
        glyphs.fill(Qt::transparent);
        {
            QPainter p(&glyphs);
            p.setFont(WmQFont(item.Font));
            p.setPen(Qt::white);
            p.drawText(QRect(0, 0, item.TextWidth, item.TextHeight), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       item.Text);
        }
        c.coverage.resize(size_t(item.TextWidth) * size_t(item.TextHeight));
        for (int y = 0; y < item.TextHeight; ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(glyphs.constScanLine(y));
            for (int x = 0; x < item.TextWidth; ++x)
                c.coverage[size_t(y) * size_t(item.TextWidth) + size_t(x)] = uint8_t(qAlpha(row[x]));
        }
        c.text = item.Text;
        c.font = item.Font;
        c.dpi = dpi;
        c.width = item.TextWidth;
        c.height = item.TextHeight;
        return c.coverage.data();
    }

    // The image as a 24-bit bitmap, read again whenever the file is not the one read last.
    static const QImage &Image(TWmRenderCache &c, const QString &path)
    {
        const QFileInfo info(path);
        if (!info.exists() || !info.isFile())
            throw EWatermarkError(QStringLiteral("Cannot open file \"%1\". No such file").arg(path).toStdString());
        if (!info.isReadable())
            throw EWatermarkError(QStringLiteral("Cannot open file \"%1\". Access denied").arg(path).toStdString());
        const int64_t stamp = info.lastModified().toMSecsSinceEpoch();
        if (c.imageFile == path && c.imageStamp == stamp && c.imageSize == info.size() && !c.image.isNull())
            return c.image;
        c.image = QImage();
        c.imageFile.clear();
        QImageReader reader(path);
        QImage picture = reader.read();
        if (picture.isNull())
            throw EWatermarkError(
                QStringLiteral("\"%1\" is not a readable picture: %2").arg(path, reader.errorString()).toStdString());
        c.image = picture.convertToFormat(QImage::Format_BGR888);
        c.imageFile = path;
        c.imageStamp = stamp;
        c.imageSize = info.size();
        return c.image;
    }
};

void DrawTextItem(QImage &frame, const TWmRec &item)
{
    const int w = item.TextWidth, h = item.TextHeight;
    if (w <= 0 || h <= 0 || frame.format() != QImage::Format_BGR888)
        return;
    std::lock_guard lock(WmRenderer::Mutex(item.Cache));
    const uint8_t *coverage = WmRenderer::Coverage(item.Cache, item);

    // The text box B is the frame's pixels (transparent background) or the background
    // colour, with the glyphs laid over it by their coverage; B is then blended into the
    // frame at the item's opacity. Both steps are done here in one pass over the part of
    // the box inside the frame; off-glyph pixels of a transparent box stay as they are.
    const QColor fg = platform::ResolveColor(item.Font.Color);
    const QColor bg = platform::ResolveColor(item.BackColor);
    const int fgc[3] = {fg.blue(), fg.green(), fg.red()};
    const int bgc[3] = {bg.blue(), bg.green(), bg.red()};
    const uint32_t take = uint32_t(item.TextOpacity);
    const uint32_t keep = uint32_t(256 - item.TextOpacity);
    const int x0 = std::max(0, -item.TextLeft), y0 = std::max(0, -item.TextTop);
    const int x1 = std::min(w, frame.width() - item.TextLeft);
    const int y1 = std::min(h, frame.height() - item.TextTop);
    for (int by = y0; by < y1; ++by) {
        uint8_t *row = frame.scanLine(item.TextTop + by);
        const uint8_t *cov = coverage + size_t(by) * size_t(w);
        for (int bx = x0; bx < x1; ++bx) {
            const int a = cov[bx];
            if (a == 0 && !item.OpaqueBack)
                continue;
            uint8_t *p = row + 3 * (item.TextLeft + bx);
            for (int ch = 0; ch < 3; ++ch) {
                const int base = item.OpaqueBack ? bgc[ch] : p[ch];
                const uint32_t box = uint32_t((a * fgc[ch] + (255 - a) * base + 127) / 255);
                p[ch] = uint8_t((keep * p[ch] + take * box) >> 8);
            }
        }
    }
}

void DrawImageItem(QImage &frame, const TWmRec &item)
{
    std::lock_guard lock(WmRenderer::Mutex(item.Cache));
    const QImage &image = WmRenderer::Image(item.Cache, item.ImageFile);
    BlendOverlay(frame, image, item.ImageLeft, item.ImageTop, item.ImageOpacity);
}

void DrawWaterMarks(QImage &frame, const TWaterMarks &list, int64_t frameTimeUs)
{
    const int64_t second = frameTimeUs / 1000000; // truncates toward zero
    for (const auto &item : list) {
        if (!item || int64_t(item->StartSec) > second || second > int64_t(item->EndSec))
            continue;
        if (item->Kind == 0 && !item->Text.isEmpty())
            DrawTextItem(frame, *item);
        else if (item->Kind == 1 && !item->ImageFile.isEmpty())
            DrawImageItem(frame, *item);
    }
}
