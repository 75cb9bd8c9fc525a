#include "editing/VideoEffects.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

// A frame whose pixels all have the given level in every channel.
QImage Gray(int level, int w = 4, int h = 2)
{
    QImage img(w, h, QImage::Format_BGR888);
    img.fill(QColor(level, level, level));
    return img;
}

int Level(const QImage &img, int x = 0, int y = 0, int channel = 0)
{
    return img.constScanLine(y)[3 * x + channel];
}

// What AdjustColor does to one gray level.
int ColorOfGray(int level, int b, int c, int s)
{
    QImage img = Gray(level);
    AdjustColor(img, b, c, s);
    return Level(img);
}

int ExposureOf(int level, float x)
{
    QImage img = Gray(level);
    AdjustExposure(img, x);
    return Level(img);
}

// The colour step written the long way, straight from its definition, for comparison.
void ReferenceColor(uint8_t px[3], int brightness, int contrast, int saturation)
{
    const int g = contrast == 100 ? 99 : contrast;
    const long double k = g > 0 ? 1.0L / std::cos(g * 0.015707963267948966L) : std::cos(g * 0.015708L);
    auto T = [&](int i) { return std::clamp<long long>(std::llrint((i - 170) * k + 170), 0, 255); };
    auto L = [&](int j) { return T(std::clamp((brightness * (j - 1) + 256) / 256, 0, 255)); };
    auto S = [&](int i) { return int(uint16_t(uint32_t((i + 1) * saturation) >> 8)); };
    const int q = (px[0] + px[1] + px[2]) / 3;
    uint8_t out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = uint8_t(L(std::clamp(q - S(q) + S(px[c]), 0, 255)));
    std::copy(out, out + 3, px);
}

TEST(AdjustColor, MatchesItsDefinitionOnRandomPictures)
{
    std::mt19937 rng(7);
    QImage original(37, 11, QImage::Format_BGR888); // odd width: padded rows
    for (int y = 0; y < original.height(); ++y)
        for (int x = 0; x < 3 * original.width(); ++x)
            original.scanLine(y)[x] = uint8_t(rng());
    for (int b : {0, 100, 255, 256, 512})
        for (int c : {-100, -37, 0, 50, 99, 100})
            for (int s : {0, 128, 255, 256, 512, 2000}) {
                QImage img = original.copy();
                AdjustColor(img, b, c, s);
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x) {
                        uint8_t expected[3];
                        std::copy_n(original.constScanLine(y) + 3 * x, 3, expected);
                        ReferenceColor(expected, b, c, s);
                        const uint8_t *got = img.constScanLine(y) + 3 * x;
                        ASSERT_TRUE(std::equal(expected, expected + 3, got))
                            << "b=" << b << " c=" << c << " s=" << s << " at " << x << "," << y;
                    }
            }
}

TEST(AdjustColor, LevelsOfTheDocumentedCases)
{
    struct Case
    {
        int b, c, s, in, out;
    };
    const Case cases[] = {
        // Contrast 100 behaves as 99.
        {256, 100, 256, 0, 0},
        {256, 100, 256, 167, 0},
        {256, 100, 256, 168, 43},
        {256, 100, 256, 169, 106},
        {256, 100, 256, 170, 170},
        {256, 100, 256, 171, 234},
        {256, 100, 256, 172, 255},
        {256, 99, 256, 168, 43},
        // Contrast -100 flattens to 170.
        {256, -100, 256, 0, 170},
        {256, -100, 256, 255, 170},
        // Contrast 50.
        {256, 50, 256, 0, 0},
        {256, 50, 256, 64, 20},
        {256, 50, 256, 128, 111},
        {256, 50, 256, 200, 212},
        {256, 50, 256, 255, 255},
        // Neutral values are not an identity: 255 maps to 254.
        {255, 0, 255, 1, 1},
        {255, 0, 255, 2, 1},
        {255, 0, 255, 128, 127},
        {255, 0, 255, 255, 254},
        // Brightness 512, and 0 (every level becomes T[1]).
        {512, 0, 256, 64, 127},
        {512, 0, 256, 128, 255},
        {512, 0, 256, 200, 255},
        {0, 0, 256, 200, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ColorOfGray(c.in, c.b, c.c, c.s), c.out) << c.b << "/" << c.c << "/" << c.s << " level " << c.in;
}

TEST(AdjustColor, SaturationZeroGivesTheIntegerMean)
{
    QImage img(1, 1, QImage::Format_BGR888);
    uint8_t *p = img.scanLine(0);
    p[0] = 10, p[1] = 20, p[2] = 31; // mean 20.33
    AdjustColor(img, 256, 0, 0);
    EXPECT_EQ(p[0], 20);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 20);
}

TEST(AdjustExposure, DocumentedLevels)
{
    struct Case
    {
        float x;
        int in, out;
    };
    const Case cases[] = {
        {512, 0, 0},  {512, 1, 8},    {512, 64, 228},   {512, 128, 252},  {512, 255, 255},
        {-255, 0, 0}, {-255, 249, 0}, {-255, 254, 203}, {-255, 255, 255}, {-100, 192, 52},
        {0, 0, 0},    {0, 77, 77},    {0, 255, 255},    {100, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExposureOf(c.in, c.x), c.out) << "exposure " << c.x << " level " << c.in;
}

TEST(AdjustExposure, TouchesEveryChannelOfEveryRow)
{
    QImage img(5, 3, QImage::Format_BGR888); // 15-byte rows, padded to 16
    img.fill(QColor(64, 64, 64));
    AdjustExposure(img, 512);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 15; ++x)
            EXPECT_EQ(img.constScanLine(y)[x], 228);
}

class Blend : public ::testing::Test
{
protected:
    QImage dest = Gray(100, 6, 5);
    QImage overlay = Gray(200, 3, 3);

    void SetUp() override
    {
        // Mark the overlay's pixel (1, 2) so that its landing place can be found.
        overlay.scanLine(2)[3 * 1 + 2] = 0;
    }
    int changed() const
    {
        int n = 0;
        for (int y = 0; y < dest.height(); ++y)
            for (int x = 0; x < dest.width(); ++x)
                n += Level(dest, x, y) != 100;
        return n;
    }
};

TEST_F(Blend, WeightsAndClipping)
{
    BlendOverlay(dest, overlay, 2, 1, 128);
    EXPECT_EQ(changed(), 9);
    EXPECT_EQ(Level(dest, 2, 1), (128 * 100 + 128 * 200) >> 8);
    EXPECT_EQ(Level(dest, 3, 3, 2), (128 * 100 + 128 * 0) >> 8); // overlay (1,2) red
}

TEST_F(Blend, NegativeOffsetsClipTheOverlay)
{
    BlendOverlay(dest, overlay, -1, -2, 255);
    // Overlay pixel (1, 2) lands on (0, 0); only one row and two columns overlap.
    EXPECT_EQ(changed(), 2);
    EXPECT_EQ(Level(dest, 0, 0, 0), (100 + 255 * 200) >> 8);
    EXPECT_EQ(Level(dest, 0, 0, 2), (100 + 255 * 0) >> 8);
}

TEST_F(Blend, ZeroOffsetsBlendLikeAnyOther)
{
    BlendOverlay(dest, overlay, 0, 0, 255);
    EXPECT_EQ(changed(), 9);
    EXPECT_EQ(Level(dest, 0, 0), (100 + 255 * 200) >> 8);
}

TEST_F(Blend, OutsideAlphaZeroAndOversize)
{
    BlendOverlay(dest, overlay, 6, 0, 255);
    BlendOverlay(dest, overlay, 0, -3, 255);
    BlendOverlay(dest, overlay, -3, 0, 255);
    BlendOverlay(dest, overlay, 1, 1, 0);
    EXPECT_EQ(changed(), 0);
    QImage big = Gray(0, 20, 20);
    BlendOverlay(dest, big, 4, 3, 256);
    EXPECT_EQ(changed(), 4); // 2 × 2 in the corner
    EXPECT_EQ(Level(dest, 5, 4), 0);
}

TEST(FitRect, FillsTheLimitingSideAndCentres)
{
    EXPECT_EQ(FitRect(QSize(640, 480), QRect(0, 0, 420, 303)), QRect(8, 0, 404, 303));
    EXPECT_EQ(FitRect(QSize(1280, 720), QRect(10, 20, 372, 210)), QRect(10, 20 + 0, 372, 210));
    EXPECT_EQ(FitRect(QSize(100, 100), QRect(0, 0, 200, 100)), QRect(50, 0, 100, 100));
    EXPECT_EQ(FitRect(QSize(300, 100), QRect(0, 0, 150, 150)), QRect(0, 50, 150, 50));
    // (301 − 200) / 2 = 50.5 rounds to the even 50.
    EXPECT_EQ(FitRect(QSize(200, 100), QRect(0, 0, 400, 301)), QRect(0, 50, 400, 201));
}

TEST(DrawFitted, DrawsIntoTheFittedRectangle)
{
    QImage canvas(100, 100, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QImage picture(50, 25, QImage::Format_BGR888);
    picture.fill(Qt::red);
    QPainter painter(&canvas);
    const auto inner = DrawFitted(painter, QRect(0, 0, 100, 100), picture);
    painter.end();
    ASSERT_TRUE(inner);
    EXPECT_EQ(*inner, QRect(1, 26, 98, 48));
    EXPECT_EQ(canvas.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(50, 10), QColor(Qt::white));
    QPainter again(&canvas);
    EXPECT_FALSE(DrawFitted(again, QRect(0, 0, 100, 100), QImage()));
}

} // namespace
