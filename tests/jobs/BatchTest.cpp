#include "Media.h"
#include "RecordingShell.h"
#include "TestEnv.h"
#include "core/DataFiles.h"
#include "core/GlobalUnit.h"
#include "engine/TFFmpegVCL.h"
#include "jobs/ConversionRun.h"
#include "jobs/JobBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <atomic>

namespace {

using media::Fixture;

// The shipped settings and profiles (H.264 MP4 chosen), output into a folder of the test.
class Batch : public GlobalEnv
{
protected:
    void SetUp() override
    {
        GlobalEnv::SetUp();
        ASSERT_TRUE(InstallDataFiles(dataFolder()));
        GlobalObject->Settings().writeString("settings", "OutPutDir", tempPath("out"));
    }
    TFFmpegVCL engine;
    TFileList list;
    TTaskRows rows;
};

TEST_F(Batch, AddingSkipsWhatCannotBeConverted)
{
    QDir().mkpath(tempPath("folder"));
    const QStringList paths = {Fixture("clip.mkv"),     Fixture("clip.mkv"), tempPath("folder"),
                               tempPath("missing.mp4"), Fixture("text.txt"), Fixture("tone.wav")};
    EXPECT_EQ(AddFilesToList(list, paths, engine), 2);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(AddFilesToList(list, {Fixture("clip.mkv")}, engine), 0) << "already listed";
    const TFileRow &row = list.row(0);
    EXPECT_EQ(row.Caption, Fixture("clip.mkv"));
    EXPECT_TRUE(row.Checked);
    EXPECT_EQ(row.SubItems, (QStringList{"3", "3", "clip_(new)_ipod.mp4", ""}));
    const TlvFilesRecord &item = *row.Record;
    EXPECT_EQ(item.SourceFile, Fixture("clip.mkv"));
    EXPECT_EQ(item.DestFile, tempPath("out/clip_(new)_ipod.mp4"));
    EXPECT_EQ(item.DurationSec, 3);
    EXPECT_EQ(item.ZoomMode, "lbox");
    EXPECT_EQ(item.TrimStart, 0);
    EXPECT_EQ(item.Brightness, 255);
    EXPECT_EQ(item.Saturation, 255);
    EXPECT_TRUE(item.WaterMarks.empty());
    EXPECT_EQ(engine.TaskCount(), 0) << "the engine was used only to read durations";
}

TEST_F(Batch, NothingCheckedOnlyWarns)
{
    AddFilesToList(list, {Fixture("clip.mkv")}, engine);
    list.row(0).Checked = false;
    RecordingShell shell;
    EXPECT_FALSE(BuildBatch(list, engine, rows));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Please select a file by clicking the check box!");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(engine.TaskCount(), 0);
    EXPECT_FALSE(engine.AVProbe().IsOpen());
}

TEST_F(Batch, CheckedRowsBecomeTasksInRowOrder)
{
    QDir().mkpath(tempPath("other"));
    QFile::copy(Fixture("clip.mkv"), tempPath("other/clip.mkv"));
    AddFilesToList(list, {Fixture("clip.mkv"), Fixture("tone.wav"), tempPath("other/clip.mkv")}, engine);
    ASSERT_EQ(list.count(), 3);
    list.row(1).Checked = false;
    TlvFilesRecord &first = *list.row(0).Record;
    first.TrimStart = 1'000'000;
    first.TrimLength = 1'000'000;
    first.CropLeft = 8;
    first.Brightness = 300;
    first.ZoomMode = "stale";
    auto wm = std::make_unique<TWmRec>();
    list.row(2).Record->WaterMarks.push_back(std::move(wm)); // an empty text: no hook
    GlobalObject->Settings().writeString("settings", "priority", "3");
    int previewStops = 0;

    ASSERT_TRUE(BuildBatch(list, engine, rows, [&] { ++previewStops; }));
    EXPECT_EQ(previewStops, 1);
    EXPECT_EQ(rows, (TTaskRows{0, 2}));
    ASSERT_EQ(engine.TaskCount(), 2);
    EXPECT_EQ(engine.ThreadPriority(), TThreadPriority::Lowest);
    EXPECT_FALSE(engine.AVProbe().IsOpen());

    const TInputOptions in0 = *engine.TaskInputOptions(0);
    const TOutputOptions out0 = *engine.TaskOutputOptions(0);
    EXPECT_EQ(in0.InFileName, Fixture("clip.mkv"));
    EXPECT_EQ(in0.StartOffset, 1'000'000);
    EXPECT_EQ(out0.DurationLimit, 1'000'000);
    EXPECT_EQ(out0.CropLeftCols, 8);
    EXPECT_EQ(out0.CropRightCols, 0);
    EXPECT_TRUE(out0.HookFrames);
    EXPECT_EQ(out0.VideoCodecName, "libx264");
    EXPECT_EQ(first.ZoomMode, "lbox") << "the zoom mode is read again at the start";
    EXPECT_EQ(out0.FilterChain, "crop=8:0:312:240,scale=320:240,pad=320:240:0:0");

    // Two sources of one name get two destinations.
    const TOutputOptions out1 = *engine.TaskOutputOptions(1);
    EXPECT_EQ(engine.TaskInputOptions(1)->InFileName, tempPath("other/clip.mkv"));
    EXPECT_EQ(out0.OutFileName, tempPath("out/clip_(new).mp4"));
    EXPECT_EQ(out1.OutFileName, tempPath("out/clip_(new_1).mp4"));
    EXPECT_FALSE(out1.HookFrames);
    EXPECT_EQ(engine.TaskInputOptions(1)->StartOffset, 0);
    EXPECT_EQ(out1.DurationLimit, std::nullopt);
}

TEST_F(Batch, UnknownPriorityLeavesTheEngines)
{
    AddFilesToList(list, {Fixture("clip.mkv")}, engine);
    engine.SetThreadPriority(TThreadPriority::Lower);
    GlobalObject->Settings().writeString("settings", "priority", "7");
    ASSERT_TRUE(BuildBatch(list, engine, rows));
    EXPECT_EQ(engine.ThreadPriority(), TThreadPriority::Lower);
}

TEST_F(Batch, ASourceThatWentAwayIsNamed)
{
    QFile::copy(Fixture("clip.mkv"), tempPath("gone.mkv"));
    AddFilesToList(list, {tempPath("gone.mkv")}, engine);
    QFile::remove(tempPath("gone.mkv"));
    try {
        BuildBatch(list, engine, rows);
        FAIL() << "no error";
    } catch (const EConversionError &e) {
        EXPECT_TRUE(QString(e.what()).contains(tempPath("gone.mkv"))) << e.what();
    }
}

TEST_F(Batch, TheHookDrawsEachTasksOwnItem)
{
    // Row 0 is unchecked, so task 0 is row 1: its brightness 0 must reach the output.
    AddFilesToList(list, {Fixture("clip.mkv"), Fixture("border.mkv")}, engine);
    list.row(0).Checked = false;
    list.row(0).Record->Brightness = 512;
    list.row(1).Record->Brightness = 0;
    ASSERT_TRUE(BuildBatch(list, engine, rows));
    ConnectFrameHook(engine, list, rows);
    std::atomic<bool> ended = false;
    std::optional<TTerminateInfo> end;
    engine.SetOnTerminate([&](TFFmpegVCL *, const TTerminateInfo &i) {
        if (i.TaskIndex == 0)
            end = i;
        if (i.TaskIndex < 0)
            ended = true;
    });
    engine.Start(1);
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    engine.Stop(true);
    ASSERT_TRUE(end && end->Finished) << (end ? end->ExceptionMsg.toStdString() : "no end");
    const media::Picture pic = media::Frame(engine.TaskOutputOptions(0)->OutFileName, 10);
    ASSERT_FALSE(pic.isNull());
    for (int c = 0; c < 3; ++c)
        EXPECT_LE(pic.at(160, 120)[c], 8); // the green body darkened to level 1
}

} // namespace
