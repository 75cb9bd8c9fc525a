#pragma once

#include "platform/Colors.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

// The font of a text watermark: face, size in points, style set and colour.
struct TWmFont
{
    QString Name;  // empty: the application's default face
    int Size = 26; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColor Color = platform::clBlue;

    bool operator==(const TWmFont &) const = default;
};

// What drawing keeps between frames of one item: the text's coverage mask and the
// decoded image. Every composited frame comes out as if both were made anew: the mask
// only depends on the text, font and box, and the image is re-read whenever its file
// changes, disappears or cannot be read. A copy of an item starts with an empty cache.
class TWmRenderCache
{
public:
    TWmRenderCache() = default;
    TWmRenderCache(const TWmRenderCache &) {}
    TWmRenderCache &operator=(const TWmRenderCache &) { return *this; }

private:
    friend class WmRenderer;
    std::mutex mutex;
    // Text mask
    QString text;
    TWmFont font;
    double dpi = 0;
    int width = -1, height = -1;
    std::vector<uint8_t> coverage; // width × height, 0..255
    // Image
    QString imageFile;
    int64_t imageStamp = -1; // modification time in ms
    int64_t imageSize = -1;
    QImage image;
};

// One watermark item: a text or an image at a fixed place of the source picture, with
// an opacity and a time window in whole seconds (both ends included).
class TWmRec
{
public:
    QString Text;
    TWmFont Font;
    int32_t TextLeft = 0, TextTop = 0;
    int32_t TextWidth = 0, TextHeight = 0;
    int32_t TextOpacity = 255;
    TColor BackColor = platform::clWhite;
    bool OpaqueBack = false;
    QString ImageFile;
    int32_t ImageLeft = 0, ImageTop = 0;
    int32_t ImageWidth = 0, ImageHeight = 0; // kept, never used for drawing
    int32_t ImageOpacity = 255;
    int32_t Kind = 0; // 0 text, 1 image
    int32_t StartSec = 0, EndSec = 0;

    mutable TWmRenderCache Cache;
};

// A conversion item's watermarks in drawing order (element 0 lowest).
using TWaterMarks = std::vector<std::unique_ptr<TWmRec>>;

// An image watermark whose file is missing or no readable picture.
class EWatermarkError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The first face of the system's font list: the watermark editor's default.
QString FirstFontFace();

// The font as Qt draws it: its point size turned into pixels at the display's logical
// resolution, the same in the editor and during conversion.
QFont WmQFont(const TWmFont &font);
// The natural size of a text set in a font (what the editor stores as TextWidth/Height).
QSize MeasureWmText(const QString &text, const TWmFont &font);

// Draws every item whose window holds the frame's second (time div 1 000 000), in list
// order; items with an empty text or file name are skipped. Throws EWatermarkError when
// an image cannot be read, which ends the drawing of that frame.
void DrawWaterMarks(QImage &frame, const TWaterMarks &list, int64_t frameTimeUs);
void DrawTextItem(QImage &frame, const TWmRec &item);
void DrawImageItem(QImage &frame, const TWmRec &item);
