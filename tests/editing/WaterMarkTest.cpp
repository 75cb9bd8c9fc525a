#include "editing/WaterMark.h"
#include "TestEnv.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {

QImage Frame(int w = 120, int h = 60, QColor c = QColor(40, 80, 120))
{
    QImage img(w, h, QImage::Format_BGR888);
    img.fill(c);
    return img;
}

QColor At(const QImage &img, int x, int y)
{
    const uint8_t *p = img.constScanLine(y) + 3 * x;
    return QColor(p[2], p[1], p[0]);
}

int Blended(int frame, int overlay, int alpha)
{
    return ((256 - alpha) * frame + alpha * overlay) >> 8;
}

std::unique_ptr<TWmRec> TextItem(const QString &text, int x, int y, int opacity = 255)
{
    auto item = std::make_unique<TWmRec>();
    item->Kind = 0;
    item->Text = text;
    item->Font.Size = 20;
    item->Font.Color = platform::clRed;
    const QSize size = MeasureWmText(text, item->Font);
    item->TextWidth = size.width();
    item->TextHeight = size.height();
    item->TextLeft = x;
    item->TextTop = y;
    item->TextOpacity = opacity;
    item->StartSec = 0;
    item->EndSec = 100;
    return item;
}

class WaterMarkTest : public TestEnv
{
protected:
    // A solid picture file for image items.
    QString Picture(const QString &name, int w, int h, QColor c)
    {
        QImage img(w, h, QImage::Format_RGB888);
        img.fill(c);
        const QString path = tempPath(name);
        EXPECT_TRUE(img.save(path, "BMP"));
        return path;
    }
    std::unique_ptr<TWmRec> ImageItem(const QString &path, int x, int y, int opacity = 255)
    {
        auto item = std::make_unique<TWmRec>();
        item->Kind = 1;
        item->ImageFile = path;
        item->ImageLeft = x;
        item->ImageTop = y;
        item->ImageOpacity = opacity;
        item->StartSec = 0;
        item->EndSec = 100;
        return item;
    }
};

TEST_F(WaterMarkTest, TimeWindowsCountWholeSecondsBothEndsIncluded)
{
    const QString red = Picture("red.bmp", 4, 4, Qt::red);
    struct Case
    {
        int start, end;
        int64_t us;
        bool drawn;
    };
    const Case cases[] = {
        {10, 20, 9'999'999, false}, {0, 9, 9'999'999, true},  {5, 5, 5'000'000, true},
        {5, 5, 5'999'999, true},    {5, 5, 4'999'999, false}, {5, 5, 6'000'000, false},
    };
    for (const Case &c : cases) {
        TWaterMarks list;
        list.push_back(ImageItem(red, 0, 0));
        list[0]->StartSec = c.start;
        list[0]->EndSec = c.end;
        QImage frame = Frame();
        DrawWaterMarks(frame, list, c.us);
        EXPECT_EQ(At(frame, 0, 0) != At(Frame(), 0, 0), c.drawn) << c.start << ".." << c.end << " at " << c.us;
    }
}

TEST_F(WaterMarkTest, LaterItemsLieOnTop)
{
    TWaterMarks list;
    list.push_back(ImageItem(Picture("red.bmp", 10, 10, Qt::red), 0, 0));
    list.push_back(ImageItem(Picture("blue.bmp", 10, 10, Qt::blue), 5, 0));
    QImage frame = Frame();
    DrawWaterMarks(frame, list, 0);
    const QColor overlap = At(frame, 7, 5);
    EXPECT_EQ(overlap.blue(), Blended(Blended(120, 0, 255), 255, 255));
    EXPECT_EQ(overlap.red(), Blended(Blended(40, 255, 255), 0, 255));
    EXPECT_EQ(At(frame, 2, 5).red(), Blended(40, 255, 255));
}

TEST_F(WaterMarkTest, TransparentTextChangesOnlyGlyphPixels)
{
    TWaterMarks list;
    list.push_back(TextItem("MW", 10, 5));
    const TWmRec &item = *list[0];
    QImage frame = Frame();
    const QImage before = frame.copy();
    DrawWaterMarks(frame, list, 0);

    // The glyphs' own coverage, rendered here the way the text box is defined.
    QImage glyphs(item.TextWidth, item.TextHeight, QImage::Format_ARGB32_Premultiplied);
    glyphs.fill(Qt::transparent);
    QPainter p(&glyphs);
    p.setFont(WmQFont(item.Font));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, item.TextWidth, item.TextHeight), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, "MW");
    p.end();
    int full = 0, empty = 0;
    for (int y = 0; y < item.TextHeight; ++y)
        for (int x = 0; x < item.TextWidth; ++x) {
            const int a = qAlpha(glyphs.pixel(x, y));
            const QColor got = At(frame, 10 + x, 5 + y);
            if (a == 0) {
                ++empty;
                ASSERT_EQ(got, At(before, 10 + x, 5 + y)) << x << "," << y;
            } else if (a == 255) {
                ++full;
                ASSERT_EQ(got, QColor(Blended(40, 255, 255), Blended(80, 0, 255), Blended(120, 0, 255)));
            }
        }
    EXPECT_GT(full, 20);
    EXPECT_GT(empty, 20);
    // Nothing outside the box.
    EXPECT_EQ(At(frame, 9, 5), At(before, 9, 5));
    EXPECT_EQ(At(frame, 10 + item.TextWidth, 5), At(before, 10, 5));
}

TEST_F(WaterMarkTest, OpaqueBackgroundFillsTheWholeBox)
{
    TWaterMarks list;
    list.push_back(TextItem("i", 0, 0, 255));
    list[0]->OpaqueBack = true;
    list[0]->BackColor = platform::clLime;
    QImage frame = Frame();
    DrawWaterMarks(frame, list, 0);
    const TWmRec &item = *list[0];
    // The box's last column holds no glyph of an "i".
    EXPECT_EQ(At(frame, item.TextWidth - 1, item.TextHeight - 1),
              QColor(Blended(40, 0, 255), Blended(80, 255, 255), Blended(120, 0, 255)));
    EXPECT_EQ(At(frame, item.TextWidth, 0), At(Frame(), 0, 0));
}

TEST_F(WaterMarkTest, OpacityZeroAndEmptyTextsLeaveTheFrame)
{
    TWaterMarks list;
    list.push_back(TextItem("Hello", 0, 0, 0));
    list.push_back(TextItem("", 0, 0, 255));
    list.push_back(ImageItem(Picture("red.bmp", 5, 5, Qt::red), 0, 0, 0));
    list.push_back(ImageItem("", 0, 0, 255));
    QImage frame = Frame();
    DrawWaterMarks(frame, list, 0);
    EXPECT_EQ(frame, Frame());
    // An empty text does not stop the items after it.
    list.push_back(ImageItem(Picture("blue.bmp", 5, 5, Qt::blue), 0, 0, 255));
    DrawWaterMarks(frame, list, 0);
    EXPECT_NE(At(frame, 1, 1), At(Frame(), 1, 1));
}

TEST_F(WaterMarkTest, NegativeLeftDropsTheBoxColumnsOutsideTheFrame)
{
    TWaterMarks shifted, plain;
    shifted.push_back(TextItem("Wide text", -10, 3));
    plain.push_back(TextItem("Wide text", 0, 3));
    QImage a = Frame(400), b = Frame(400);
    DrawWaterMarks(a, shifted, 0);
    DrawWaterMarks(b, plain, 0);
    const int w = shifted[0]->TextWidth;
    ASSERT_LT(w + 10, a.width());
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x + 10 < w; ++x)
            ASSERT_EQ(At(a, x, y), At(b, x + 10, y)) << x << "," << y;
        for (int x = w - 10; x < a.width(); ++x)
            ASSERT_EQ(At(a, x, y), At(Frame(), 0, 0));
    }
    EXPECT_NE(a, Frame(400));
}

TEST_F(WaterMarkTest, ImagesAreDrawnAtTheirOwnSizeAndClipped)
{
    TWaterMarks list;
    list.push_back(ImageItem(Picture("big.bmp", 200, 200, Qt::red), 100, 50));
    list[0]->ImageWidth = 1; // stored sizes play no part
    list[0]->ImageHeight = 1;
    QImage frame = Frame();
    DrawWaterMarks(frame, list, 0);
    EXPECT_EQ(At(frame, 119, 59).red(), Blended(40, 255, 255));
    EXPECT_EQ(At(frame, 110, 55).red(), Blended(40, 255, 255));
    EXPECT_EQ(At(frame, 99, 59), At(Frame(), 0, 0));
    EXPECT_EQ(At(frame, 119, 49), At(Frame(), 0, 0));
}

TEST_F(WaterMarkTest, UnreadableImagesFailEveryFrameTheyAreDueOn)
{
    const QString path = Picture("logo.bmp", 8, 8, Qt::red);
    TWaterMarks list;
    list.push_back(ImageItem(path, 0, 0));
    list.push_back(TextItem("after", 20, 20));
    QImage frame = Frame();
    DrawWaterMarks(frame, list, 0); // read and kept
    ASSERT_TRUE(QFile::remove(path));
    QImage next = Frame();
    EXPECT_THROW(DrawWaterMarks(next, list, 1'000'000), EWatermarkError);
    EXPECT_EQ(next, Frame()) << "the items after the failing one are not drawn";
    EXPECT_THROW(DrawWaterMarks(next, list, 2'000'000), EWatermarkError);

    writeAll(path, "not a picture");
    EXPECT_THROW(DrawWaterMarks(next, list, 3'000'000), EWatermarkError);

    // A new picture under the same name is read again.
    QFile::remove(path);
    Picture("logo.bmp", 8, 8, Qt::blue);
    QImage last = Frame();
    DrawWaterMarks(last, list, 4'000'000);
    EXPECT_EQ(At(last, 0, 0).blue(), Blended(120, 255, 255));
}

TEST_F(WaterMarkTest, SystemColoursFollowThePalette)
{
    const QColor window = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    EXPECT_EQ(platform::ResolveColor(0xFF000005), window);
    EXPECT_EQ(platform::ResolveColor(platform::clBlue), QColor(0, 0, 255));
    EXPECT_EQ(platform::ResolveColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(platform::ResolveColor(0xFF0000FE), QColor(Qt::black));
}

} // namespace
