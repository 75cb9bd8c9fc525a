#include "core/FormatList.h"
#include "TestEnv.h"
#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"

namespace {

class FormatListTest : public GlobalEnv
{
protected:
    TFormatList list;
    TFormatNames names;

    std::vector<int> codes() const
    {
        std::vector<int> out;
        for (int i = 0; i < list.count(); ++i)
            out.push_back(list.info(i).IsCategory ? -1 - list.info(i).Code : list.info(i).Code);
        return out;
    }
};

TEST_F(FormatListTest, WithoutCategoryStateAllCategoriesStartCollapsed)
{
    names[40][40] = "stale";
    BuildFormatList(list, names);
    ASSERT_EQ(list.count(), 3);
    for (int i = 0; i < 3; ++i) {
        const TItemInfo &info = list.info(i);
        EXPECT_TRUE(info.IsCategory);
        EXPECT_FALSE(info.IsFormat);
        EXPECT_TRUE(info.Collapsed);
        EXPECT_EQ(info.Code, i);
        EXPECT_EQ(info.GroupTag, "");
    }
    EXPECT_EQ(list.text(1), "General Video formates");
    EXPECT_EQ(names[1][9], "DV - PAL -Digital Video Format (*.dv)");
    EXPECT_EQ(names[2][6], "AC-3 Audio Codec (*.ac3)");
    EXPECT_EQ(names[1][10], "");
    EXPECT_EQ(names[40][40], "") << "building empties the whole table";
}

TEST_F(FormatListTest, ExpandedCategoryIsFollowedByItsFormats)
{
    GlobalObject->Settings().writeString("lstformat", "1", "0");
    BuildFormatList(list, names);
    EXPECT_EQ(codes(), (std::vector<int>{-1, -2, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, -3}));
    EXPECT_FALSE(list.info(1).Collapsed);
    EXPECT_TRUE(list.info(2).IsFormat);
    EXPECT_EQ(list.info(2).GroupTag, "");
    EXPECT_EQ(list.text(5), "H.264/MPEG-4 AVC Video (*.mp4)");
}

TEST_F(FormatListTest, ExpandAndCollapseInsertAndRemoveExactlyTheCategoryRows)
{
    BuildFormatList(list, names);
    list.ExpandCategory(1, names);
    EXPECT_EQ(list.count(), 13);
    EXPECT_FALSE(list.info(1).Collapsed);
    EXPECT_EQ(list.info(2).GroupTag, "Apple iPod");
    EXPECT_EQ(list.info(11).Code, 109);
    EXPECT_EQ(list.text(12), "General Audio formates");

    list.ExpandCategory(12, names);
    EXPECT_EQ(list.count(), 20);
    list.CollapseCategory(1);
    EXPECT_EQ(codes(), (std::vector<int>{-1, -2, -3, 200, 201, 202, 203, 204, 205, 206}));
    EXPECT_TRUE(list.info(1).Collapsed);
    list.CollapseCategory(2);
    EXPECT_EQ(list.count(), 3);
}

TEST_F(FormatListTest, CategoryStateSurvivesARestart)
{
    BuildFormatList(list, names);
    list.ExpandCategory(1, names);
    SaveCategoryState(list);
    const IniFile ini = GlobalObject->Settings();
    EXPECT_EQ(ini.readString("lstformat", "0", ""), "1");
    EXPECT_EQ(ini.readString("lstformat", "1", ""), "0");
    EXPECT_EQ(ini.readString("lstformat", "2", ""), "1");

    TFormatList again;
    BuildFormatList(again, names);
    EXPECT_EQ(again.count(), 13);
    EXPECT_EQ(again.info(2).Code, 100);
}

TEST_F(FormatListTest, ZoomKeyWrittenInOneSpellingIsReadInTheOther)
{
    GlobalObject->Settings().writeString(FormatSection(103), "paraZoom", "pan");
    EXPECT_EQ(GlobalObject->Settings().readString(FormatSection(103), "parazoom", "lbox"), "pan");
}

} // namespace
