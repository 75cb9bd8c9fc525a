#include "RecordingShell.h"
#include "TestEnv.h"
#include "core/GlobalUnit.h"
#include "jobs/ConversionItem.h"
#include "jobs/ConversionRun.h"

#include <QDir>

namespace {

class OutputNames : public GlobalEnv
{
protected:
    void SetUp() override
    {
        GlobalEnv::SetUp();
        GlobalObject->Settings().writeString("settings", "OutPutDir", tempPath("out"));
    }
    QString out(const QString &name) const { return tempPath("out/") + name; }
};

TEST_F(OutputNames, NumberedAgainstExistingFiles)
{
    EXPECT_EQ(BuildOutputName("/videos/holiday.avi", ".mp4"), out("holiday_(new).mp4"));
    EXPECT_TRUE(QFileInfo(tempPath("out")).isDir()) << "the output folder is made first";
    writeAll(out("holiday_(new).mp4"), "x");
    EXPECT_EQ(BuildOutputName("/videos/holiday.avi", ".mp4"), out("holiday_(new_1).mp4"));
    writeAll(out("holiday_(new_1).mp4"), "x");
    EXPECT_EQ(BuildOutputName("/videos/holiday.avi", ".mp4"), out("holiday_(new_2).mp4"));
    // The add-time suffix carries "_ipod" and the extension once.
    EXPECT_EQ(BuildOutputName("/videos/holiday.avi", "_ipod.mp4"), out("holiday_(new)_ipod.mp4"));
}

TEST_F(OutputNames, EverythingBeforeTheLastPointIsTheBaseName)
{
    EXPECT_EQ(BuildOutputName("/v/my.clip.v2.avi", ".mp4"), out("my.clip.v2_(new).mp4"));
    EXPECT_EQ(BuildOutputName("/v/noextension", ".mp4"), out("noextension_(new).mp4"));
}

TEST_F(OutputNames, NamesOfOneBatchAreTakenToo)
{
    QSet<QString> taken;
    EXPECT_EQ(BuildOutputName("/a/clip.mkv", ".mp4", &taken), out("clip_(new).mp4"));
    EXPECT_EQ(BuildOutputName("/b/clip.avi", ".mp4", &taken), out("clip_(new_1).mp4"));
    EXPECT_EQ(BuildOutputName("/c/clip.mov", ".mp4", &taken), out("clip_(new_2).mp4"));
    EXPECT_EQ(taken.size(), 3);
    // Without the batch's names, only existing files count.
    EXPECT_EQ(BuildOutputName("/b/clip.avi", ".mp4"), out("clip_(new).mp4"));
}

TEST_F(OutputNames, AnUncreatableFolderWarnsAndStillNamesIntoIt)
{
    RecordingShell shell;
    writeAll(tempPath("file"), "x");
    GlobalObject->Settings().writeString("settings", "OutPutDir", tempPath("file/out"));
    EXPECT_EQ(BuildOutputName("/v/a.avi", ".mp4"), tempPath("file/out/a_(new).mp4"));
    EXPECT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(BuildOutputName("/v/a.avi", ".mp4"), home() + "/videoconverter/a_(new).mp4");
}

TEST(DurationCap, ThirtyMinutesAtMost)
{
    const int64_t min = 60'000'000;
    struct Case
    {
        int64_t duration, trim;
        std::optional<int64_t> limit;
    };
    const Case cases[] = {
        {45 * min, 0, 30 * min},      {45 * min, 10 * min, 10 * min}, {45 * min, 40 * min, 30 * min},
        {20 * min, 5 * min, 5 * min}, {20 * min, 0, std::nullopt},    {30 * min, 0, std::nullopt},
        {-1, 0, std::nullopt},        {-1, 3 * min, 3 * min},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DurationLimitFor(c.duration, c.trim), c.limit) << c.duration << " " << c.trim;
    EXPECT_EQ(kDurationCap, 1'800'000'000);
}

TEST(Priority, SettingToEngine)
{
    EXPECT_EQ(PriorityForSetting(0), TThreadPriority::Idle);
    EXPECT_EQ(PriorityForSetting(1), TThreadPriority::Normal);
    EXPECT_EQ(PriorityForSetting(2), TThreadPriority::Lower);
    EXPECT_EQ(PriorityForSetting(3), TThreadPriority::Lowest);
    EXPECT_EQ(PriorityForSetting(7), std::nullopt);
    EXPECT_EQ(PriorityForSetting(-1), std::nullopt);
}

} // namespace
