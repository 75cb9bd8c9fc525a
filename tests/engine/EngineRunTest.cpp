#include "EngineHarness.h"
#include "Media.h"
#include "TestEnv.h"
#include "engine/EngineLog.h"
#include "engine/Transcoder.h"

#include <QDir>
#include <QThread>

namespace {

using media::Fixture;

class EngineRun : public TestEnv
{
protected:
    QStringList leftovers() const { return QDir(tempPath()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(EngineRun, SourcesThatAreNotMediaAreRefusedAtAddTask)
{
    TFFmpegVCL engine;
    for (const char *name : {"text.txt", "empty.mp4", "truncated.mp4"})
        EXPECT_EQ(engine.AddTask(Fixture(name)), -1) << name;
    EXPECT_EQ(engine.AddTask("/no/such/file.mkv"), -1);
    EXPECT_EQ(engine.TaskCount(), 0);
    const int task = engine.AddTask(Fixture("clip.mkv"));
    EXPECT_EQ(task, 0);
    ASSERT_NE(engine.TaskProbe(task), nullptr);
    EXPECT_NEAR(double(engine.TaskProbe(task)->Duration()), 3e6, 50e3);
    EXPECT_EQ(engine.TaskProbe(task, 1), nullptr);
    EXPECT_EQ(engine.TaskProbe(5), nullptr);
    engine.RemoveTask(task);
    EXPECT_EQ(engine.TaskCount(), 0);
}

TEST_F(EngineRun, CutOffSourceConvertsWhatIsThere)
{
    const TTerminateInfo end = ConvertFile(Fixture("truncated.mkv"), tempPath("part.mkv"));
    EXPECT_TRUE(end.Finished) << end.ExceptionMsg.toStdString();
    const double d = media::DurationOf(media::Probe(tempPath("part.mkv")));
    EXPECT_GT(d, 0.5);
    EXPECT_LT(d, 2.9);
}

struct FailureCase
{
    const char *name;
    std::function<void(TOutputOptions &)> set;
    const char *dest;
    const char *messagePart; // the message must say this
};

TEST_F(EngineRun, FailedTasksSayWhyAndLeaveNothingBehind)
{
    writeAll(tempPath("blocker"), "file");
    const std::vector<FailureCase> cases = {
        {"missing encoder", [](TOutputOptions &o) { o.AudioCodecName = "libopencore_amrnb"; }, "a.3gp",
         "libopencore_amrnb"},
        {"missing video encoder", [](TOutputOptions &o) { o.VideoCodecName = "msmpeg4v1"; }, "a.avi", "msmpeg4v1"},
        {"unknown container", [](TOutputOptions &o) { o.OutFormat = "nosuchformat"; }, "a.mp4", "nosuchformat"},
        {"container cannot hold the codec", [](TOutputOptions &o) { o.AudioCodecName = "wmav2"; }, "a.mp4", "wmav2"},
        {"size the encoder refuses",
         [](TOutputOptions &o) {
             o.VideoCodecName = "h263";
             o.AudioCodecName = "aac";
         },
         "a.3gp", "H.263"},
        {"unwritable folder", [](TOutputOptions &) {}, "blocker/a.mp4", "blocker/a.mp4"},
        {"bad filter", [](TOutputOptions &o) { o.FilterChain = "nosuchfilter=1"; }, "a.mp4", "nosuchfilter"},
    };
    // An existing file under the destination name survives a failed task.
    writeAll(tempPath("a.mp4"), "precious");
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        TOutputOptions out;
        c.set(out);
        const TTerminateInfo end = ConvertFile(Fixture("clip.mkv"), tempPath(c.dest), out);
        EXPECT_EQ(end.TaskIndex, 0);
        EXPECT_FALSE(end.Finished);
        EXPECT_TRUE(end.Exception);
        EXPECT_TRUE(end.ExceptionMsg.contains(c.messagePart)) << end.ExceptionMsg.toStdString();
        EXPECT_EQ(leftovers(), (QStringList{"a.mp4", "blocker"}));
        EXPECT_EQ(readAll(tempPath("a.mp4")), "precious");
    }
}

TEST_F(EngineRun, ProgressArrivesOnTheUiThreadEveryHalfSecond)
{
    EngineHarness h;
    TOutputOptions out;
    out.VideoCodecName = "libx264";
    out.NoAudio = true;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("long.mp4"), out), 0);
    ASSERT_TRUE(h.runToEnd());
    ASSERT_TRUE(h.endOf(0).Finished) << h.endOf(0).ExceptionMsg.toStdString();
    std::lock_guard lock(h.mutex);
    EXPECT_FALSE(h.progressOffUiThread);
    ASSERT_GE(h.progress.size(), 3u) << "the conversion was too quick to see progress";
    for (size_t i = 1; i < h.progress.size(); ++i) {
        EXPECT_GE(h.progress[i].CurrentDuration, h.progress[i - 1].CurrentDuration);
        EXPECT_GE(h.progress[i].FrameNumber, h.progress[i - 1].FrameNumber);
        EXPECT_GE(h.progress[i].CurrentSize, h.progress[i - 1].CurrentSize);
        if (i + 1 < h.progress.size()) { // the last report comes at the end, off the beat
            EXPECT_GE(h.progressAtMs[i] - h.progressAtMs[i - 1], 350);
            EXPECT_LE(h.progressAtMs[i] - h.progressAtMs[i - 1], 800);
        }
    }
    EXPECT_EQ(h.progress.front().TaskIndex, 0);
    EXPECT_NEAR(double(h.progress.front().TotalDuration), 30e6, 0.1e6);
    EXPECT_GT(h.progress.back().CurrentDuration, 29'000'000);
    EXPECT_EQ(h.progress.back().FrameNumber, 750);
}

TEST_F(EngineRun, TasksEndInOrderAndTheRunEndsLast)
{
    EngineHarness h;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath(QStringLiteral("%1.mp4").arg(i))), i);
    ASSERT_TRUE(h.runToEnd());
    std::lock_guard lock(h.mutex);
    ASSERT_EQ(h.ends.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.ends[size_t(i)].TaskIndex, i);
        EXPECT_TRUE(h.ends[size_t(i)].Finished);
    }
    EXPECT_EQ(h.ends[3].TaskIndex, -1);
    EXPECT_FALSE(h.engine.Working());
}

TEST_F(EngineRun, ClearTasksIsRefusedWhileWorking)
{
    EngineHarness h;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("a.mp4")), 0);
    h.engine.Start(1);
    try {
        h.engine.ClearTasks();
        FAIL() << "ClearTasks was accepted while working";
    } catch (const EEngineError &e) {
        EXPECT_STREQ(e.what(), "Cannot ClearTasks while working.");
    }
    h.engine.Stop(true);
    h.engine.ClearTasks();
    EXPECT_EQ(h.engine.TaskCount(), 0);
}

TEST_F(EngineRun, StopEndsTheRunAndQueuedTasksNeverStart)
{
    EngineHarness h;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("0.mp4")), 0);
    ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("1.mp4")), 1);
    h.engine.Start(1);
    EngineHarness::wait(700);
    h.engine.Stop(true);
    EXPECT_FALSE(h.engine.Working());
    std::lock_guard lock(h.mutex);
    ASSERT_EQ(h.ends.size(), 2u);
    EXPECT_EQ(h.ends[0].TaskIndex, 0);
    EXPECT_FALSE(h.ends[0].Finished);
    EXPECT_FALSE(h.ends[0].Exception);
    EXPECT_EQ(h.ends[1].TaskIndex, -1);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(",").toStdString();
}

TEST_F(EngineRun, PauseHoldsTheTaskAndResumeLosesNothing)
{
    EngineHarness h;
    TOutputOptions out;
    out.VideoCodecName = "libx264"; // slow enough to be caught running
    out.AudioCodecName = "pcm_s16le";
    out.DurationLimit = 12'000'000;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("p.mkv"), out), 0);
    h.engine.Start(1);
    EngineHarness::wait(300);
    h.engine.Pause();
    EXPECT_TRUE(h.engine.Paused());
    EngineHarness::wait(200);
    size_t reports;
    {
        std::lock_guard lock(h.mutex);
        reports = h.progress.size();
    }
    EngineHarness::wait(1200);
    {
        std::lock_guard lock(h.mutex);
        EXPECT_EQ(h.progress.size(), reports) << "progress went on while paused";
        EXPECT_TRUE(h.ends.empty());
    }
    h.engine.Resume();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_TRUE(h.endOf(0).Finished);
    const QJsonObject p = media::Probe(tempPath("p.mkv"));
    EXPECT_NEAR(media::StreamDuration(p, "video"), 12.0, 0.04);
    EXPECT_NEAR(double(media::Samples(tempPath("p.mkv")).size()) / 44100, 12.0, 0.001);
}

TEST_F(EngineRun, StopWhilePaused)
{
    EngineHarness h;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("0.mp4")), 0);
    h.engine.Start(1);
    EngineHarness::wait(300);
    h.engine.Pause();
    EngineHarness::wait(100);
    h.engine.Stop(true);
    EXPECT_FALSE(h.engine.Working());
    EXPECT_FALSE(h.endOf(0).Finished);
    EXPECT_EQ(h.endOf(-1).TaskIndex, -1);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EngineRun, DestroyingARunningEngineStopsIt)
{
    {
        EngineHarness h;
        ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("0.mp4")), 0);
        h.engine.Start(1);
        EngineHarness::wait(300);
    }
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(EngineRun, FFmpegMessagesGoThroughTheEngineLog)
{
    LogCapture log;
    TOutputOptions out;
    out.VideoCodecName = "h263";
    const TTerminateInfo end = ConvertFile(Fixture("clip.mkv"), tempPath("a.avi"), out);
    EXPECT_TRUE(end.Exception);
    const QStringList lines = log.lines();
    EXPECT_FALSE(lines.filter("H.263").isEmpty()) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.filter(" @ 0x").isEmpty());
}

TEST(VideoFilterOrder, CropThenSizeThenChainThenRateAspectFormat)
{
    TOutputOptions o;
    o.CropLeftCols = 8;
    o.CropRightCols = 8;
    o.CropTopRows = 0;
    o.FrameSizeText = "640x480";
    o.FilterChain = "pad=720:480:40:0";
    o.AspectText = "4:3";
    EXPECT_EQ(VideoFilterDescription(o, 720, 576, AVRational{25, 1}, AV_PIX_FMT_YUV420P),
              "crop=704:576:8:0,scale=640:480,pad=720:480:40:0,fps=25/1,"
              "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0,setdar=4/3,format=yuv420p");
    EXPECT_EQ(VideoFilterDescription(TOutputOptions(), 320, 240, AVRational{0, 1}, AV_PIX_FMT_BGR24), "format=bgr24");
}

TEST(VideoFilterOrder, CropStepsOfTheChainAreTranslated)
{
    EXPECT_EQ(TranslateFilterChain("crop=8:0:704:576,scale=720:576,pad=720:576:0:0"),
              "crop=704:576:8:0,scale=720:576,pad=720:576:0:0");
    EXPECT_EQ(TranslateFilterChain("crop=w=10:h=20,pad=1:2:3:4:black"), "crop=w=10:h=20,pad=1:2:3:4:black");
    EXPECT_EQ(TranslateFilterChain("crop=10:20"), "crop=10:20");
}

} // namespace
