#include "core/FormatCatalog.h"
#include "TestEnv.h"
#include "core/GlobalUnit.h"

namespace {

TEST(FormatCatalog, TextsAndCodesAreTheStoredOnes)
{
    const std::vector<std::pair<int, QString>> expected = {
        {0, "MOV - Quick Time Video (*.mov)"},
        {100, "MPEG-1 Video (*.mpg)"},
        {101, "MPEG-2 Video (*.mpg)"},
        {102, "MPEG-4 Video (*.mp4)"},
        {103, "H.264/MPEG-4 AVC Video (*.mp4)"},
        {104, "AVI Video (*.avi)"},
        {105, "WMV Video (*.wmv)"},
        {106, "Divx Video (*.avi)"},
        {107, "Xvid Video (*.avi)"},
        {108, "DV - NTSC -Digital Video Format (*.dv)"},
        {109, "DV - PAL -Digital Video Format (*.dv)"},
        {200, "MP3 MPEG Layer-3 Audio (*.mp3)"},
        {201, "AAC Advenced Audio Codec (*.aac)"},
        {202, "M4A MPEG-4 Audio (*.m4a)"},
        {203, "WMA - Windows Meida Audio (*.wma)"},
        {204, "WAV - Waveform Audio (*.wav)"},
        {205, "OGG Vorbis Audio Codec (*.ogg)"},
        {206, "AC-3 Audio Codec (*.ac3)"},
    };
    std::vector<int> codes;
    for (const auto &[code, text] : expected) {
        codes.push_back(code);
        EXPECT_EQ(CatalogFormatText(code), text) << code;
    }
    EXPECT_EQ(CatalogFormatCodes(), codes);
    EXPECT_EQ(CatalogFormatText(1), "");
    EXPECT_EQ(CatalogFormatText(110), "");
    EXPECT_EQ(CatalogFormatText(-100), "");

    const auto &catalog = FormatCatalog();
    ASSERT_EQ(catalog.size(), 3u);
    EXPECT_STREQ(catalog[0].Text, "Quick Time Video - MOV");
    EXPECT_STREQ(catalog[1].Text, "General Video formates");
    EXPECT_STREQ(catalog[2].Text, "General Audio formates");
}

TEST(FormatCatalog, SectionNames)
{
    EXPECT_EQ(FormatSection(102), "formatInfo102");
    EXPECT_EQ(FormatSection(0), "formatInfo0");
    EXPECT_EQ(FormatSection(QStringLiteral("1")), "formatInfo1");
}

TEST(ParseChoiceList, SplitsAtEveryComma)
{
    struct Case
    {
        const char *value;
        std::optional<QStringList> expected;
    };
    const Case cases[] = {
        {"null", std::nullopt},
        {"NULL", QStringList{"NULL"}},
        {"", QStringList{}},
        {"as source", QStringList{"as source"}},
        {"a,b,c", QStringList{"a", "b", "c"}},
        {"a,,b", QStringList{"a", "", "b"}},
        {"a,", QStringList{"a", ""}},
        {",", QStringList{"", ""}},
        {" 64 , 96", QStringList{" 64 ", " 96"}},
        {"pcm_alaw,pcm_mulaw ,adpcm_ms", QStringList{"pcm_alaw", "pcm_mulaw ", "adpcm_ms"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseChoiceList(c.value), c.expected) << c.value;
}

class CurrentFormatTest : public GlobalEnv
{};

TEST_F(CurrentFormatTest, CodeIsWrittenAsTextAndReadBack)
{
    EXPECT_EQ(ReadFormatCode(1), 1);
    EXPECT_EQ(ReadFormatName("Apple iPod Video MPEG-4 Movie (*.mp4)"), "Apple iPod Video MPEG-4 Movie (*.mp4)");
    WriteCurrentFormat("MOV - Quick Time Video (*.mov)", 0);
    EXPECT_EQ(ReadFormatCode(1), 0);
    EXPECT_EQ(GlobalObject->Settings().readString("settings", "FormatCode", ""), "0");
    EXPECT_EQ(ReadFormatName(""), "MOV - Quick Time Video (*.mov)");
}

} // namespace
