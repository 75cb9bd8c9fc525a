#include "editing/ConversionHook.h"
#include "TestEnv.h"

namespace {

std::unique_ptr<TWmRec> Item(int kind, const QString &text, const QString &file)
{
    auto item = std::make_unique<TWmRec>();
    item->Kind = kind;
    item->Text = text;
    item->ImageFile = file;
    item->EndSec = 100;
    return item;
}

TEST(HookDecision, AdjustmentsOrAFirstWatermarkWithContent)
{
    TWaterMarks none, firstText, firstEmptyThenImage, firstImage;
    firstText.push_back(Item(0, "Hi", ""));
    firstEmptyThenImage.push_back(Item(0, "", ""));
    firstEmptyThenImage.push_back(Item(1, "", "/x.bmp"));
    firstImage.push_back(Item(1, "", "/x.bmp"));
    struct Case
    {
        const char *name;
        TFrameEdits edits;
        bool hooked;
    };
    const Case cases[] = {
        {"all neutral", {255, 0, 255, 0, &none}, false},
        {"no list at all", {255, 0, 255, 0, nullptr}, false},
        {"brightness 256", {256, 0, 255, 0, &none}, true},
        {"contrast", {255, -1, 255, 0, &none}, true},
        {"saturation", {255, 0, 0, 0, &none}, true},
        {"exposure only", {255, 0, 255, 3, &none}, true},
        {"first item is a text", {255, 0, 255, 0, &firstText}, true},
        {"first item is an image", {255, 0, 255, 0, &firstImage}, true},
        {"empty first text hides a later image", {255, 0, 255, 0, &firstEmptyThenImage}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HookFrames(c.edits), c.hooked) << c.name;
}

class HookWork : public TestEnv
{
protected:
    QImage frame(QColor c = QColor(255, 255, 255)) const
    {
        QImage img(16, 8, QImage::Format_BGR888);
        img.fill(c);
        return img;
    }
};

TEST_F(HookWork, OnlyTheStepsThatHaveSomethingToDoRun)
{
    TWaterMarks none;
    // Exposure alone: the colour step (which would turn 255 into 254) is skipped.
    QImage img = frame();
    ProcessHookedFrame({255, 0, 255, 40, &none}, img, 0);
    EXPECT_EQ(img.constScanLine(0)[0], 255);
    // Brightness 256 with contrast and saturation neutral runs the colour step.
    img = frame(QColor(100, 100, 100));
    ProcessHookedFrame({256, 0, 255, 0, &none}, img, 0);
    EXPECT_EQ(img.constScanLine(0)[0], 100);
    img = frame(QColor(100, 100, 100));
    ProcessHookedFrame({512, 0, 256, 0, &none}, img, 0);
    EXPECT_EQ(img.constScanLine(0)[0], 199);
}

TEST_F(HookWork, WatermarksComeAfterTheAdjustments)
{
    QImage red(4, 4, QImage::Format_RGB888);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(tempPath("red.bmp"), "BMP"));
    TWaterMarks list;
    list.push_back(Item(1, "", tempPath("red.bmp")));
    list[0]->ImageOpacity = 255;
    QImage img = frame(QColor(100, 100, 100));
    // Brightness 0 darkens the frame to level 1; the watermark drawn afterwards is not darkened.
    ProcessHookedFrame({0, 0, 256, 0, &list}, img, 0);
    const uint8_t *p = img.constScanLine(0);
    EXPECT_EQ(p[2], (1 * 1 + 255 * 255) >> 8); // red over level 1
    EXPECT_EQ(p[0], (1 * 1 + 255 * 0) >> 8);
    EXPECT_EQ(img.constScanLine(7)[3 * 15 + 2], 1);
}

TEST_F(HookWork, MissingImageRaises)
{
    TWaterMarks list;
    list.push_back(Item(1, "", tempPath("gone.bmp")));
    QImage img = frame();
    EXPECT_THROW(ProcessHookedFrame({255, 0, 255, 0, &list}, img, 0), EWatermarkError);
    // Outside its window the item is not read, and the frame passes.
    list[0]->StartSec = 10;
    EXPECT_NO_THROW(ProcessHookedFrame({255, 0, 255, 0, &list}, img, 0));
}

} // namespace
