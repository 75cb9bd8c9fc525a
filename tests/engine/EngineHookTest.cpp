#include "EngineHarness.h"
#include "Media.h"
#include "TestEnv.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThread>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using media::Fixture;

struct Seen
{
    int64_t frame;
    int64_t pts;
    QSize size;
};

class EngineHook : public TestEnv
{
protected:
    // Lossless output, so that pictures can be compared exactly.
    static TOutputOptions Lossless(bool hook)
    {
        TOutputOptions o;
        o.VideoCodecName = "ffv1";
        o.NoAudio = true;
        o.HookFrames = hook;
        return o;
    }
    static void PaintSquare(QImage &img)
    {
        QPainter p(&img);
        p.fillRect(QRect(10, 10, 40, 40), Qt::red);
    }
    static bool IsRed(const media::Picture &pic, int x, int y)
    {
        const uint8_t *p = pic.at(x, y);
        return p[0] > 230 && p[1] < 30 && p[2] < 30;
    }
};

TEST_F(EngineHook, SeesEveryFrameWithItsNumberTimeAndPicture)
{
    EngineHarness h;
    std::mutex m;
    std::vector<Seen> seen;
    QImage tenth;
    bool offTaskThread = false;
    h.engine.SetOnCustomHook([&](TFFmpegVCL *, TCustomHookInfo &info) {
        std::lock_guard lock(m);
        seen.push_back({info.FrameNumber, info.PTS, info.Bitmap->size()});
        offTaskThread |= QThread::currentThread() == QCoreApplication::instance()->thread();
        if (info.FrameNumber == 10)
            tenth = info.Bitmap->copy();
        EXPECT_EQ(info.Bitmap->format(), QImage::Format_BGR888);
        EXPECT_EQ(info.TaskIndex, 0);
        EXPECT_TRUE(info.Update);
        EXPECT_FALSE(info.StopHook);
    });
    ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("a.mkv"), Lossless(true)), 0);
    ASSERT_TRUE(h.runToEnd());
    ASSERT_TRUE(h.endOf(0).Finished);
    EXPECT_FALSE(offTaskThread);
    ASSERT_EQ(seen.size(), 75u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].frame, int64_t(i));
        EXPECT_EQ(seen[i].pts, int64_t(i) * 40000);
        EXPECT_EQ(seen[i].size, QSize(320, 240));
    }
    // The picture is the decoded frame (BGR in memory, the fixture tool gives RGB).
    const media::Picture source = media::Frame(Fixture("clip.mkv"), 10);
    int worst = 0;
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 5) {
            const uint8_t *bgr = tenth.constScanLine(y) + 3 * x;
            const uint8_t *rgb = source.at(x, y);
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(bgr[2 - c]) - int(rgb[c])));
        }
    EXPECT_LE(worst, 3);
}

TEST_F(EngineHook, TimesCountFromTheSourceStartInTrimmedTasks)
{
    EngineHarness h;
    std::vector<int64_t> pts, numbers;
    h.engine.SetOnCustomHook([&](TFFmpegVCL *, TCustomHookInfo &info) {
        pts.push_back(info.PTS);
        numbers.push_back(info.FrameNumber);
    });
    TInputOptions in;
    in.StartOffset = 1'000'000;
    TOutputOptions out = Lossless(true);
    out.DurationLimit = 1'000'000;
    ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("a.mkv"), out, in), 0);
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(pts.size(), 25u);
    EXPECT_EQ(pts.front(), 1'000'000);
    EXPECT_EQ(pts.back(), 1'960'000);
    EXPECT_EQ(numbers.front(), 0);
}

TEST_F(EngineHook, WriteBackStopAndFailuresShapeTheOutput)
{
    const QString source = Fixture("clip.mkv");
    ASSERT_TRUE(ConvertFile(source, tempPath("plain.mkv"), Lossless(false)).Finished);

    struct Case
    {
        const char *name;
        std::function<void(TCustomHookInfo &)> handler;
        std::function<bool(int64_t frame)> painted; // which output frames show the square
    };
    const std::vector<Case> cases = {
        {"write back", [](TCustomHookInfo &i) { PaintSquare(*i.Bitmap); }, [](int64_t) { return true; }},
        {"no write back",
         [](TCustomHookInfo &i) {
             PaintSquare(*i.Bitmap);
             i.Update = false;
         },
         [](int64_t) { return false; }},
        {"stop after frame 5",
         [](TCustomHookInfo &i) {
             PaintSquare(*i.Bitmap);
             i.StopHook = i.FrameNumber == 5;
         },
         [](int64_t f) { return f <= 5; }},
        {"throwing on frame 3 after drawing",
         [](TCustomHookInfo &i) {
             PaintSquare(*i.Bitmap);
             if (i.FrameNumber == 3)
                 throw std::runtime_error("watermark file gone");
         },
         [](int64_t f) { return f != 3; }},
        {"drawing nothing", [](TCustomHookInfo &) {}, [](int64_t) { return false; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        EngineHarness h;
        int calls = 0;
        h.engine.SetOnCustomHook([&](TFFmpegVCL *, TCustomHookInfo &info) {
            ++calls;
            c.handler(info);
        });
        const QString dest = tempPath("hooked.mkv");
        ASSERT_EQ(h.add(source, dest, Lossless(true)), 0);
        ASSERT_TRUE(h.runToEnd());
        ASSERT_TRUE(h.endOf(0).Finished) << h.endOf(0).ExceptionMsg.toStdString();
        for (int64_t f : {0, 3, 5, 6, 40}) {
            const media::Picture pic = media::Frame(dest, int(f));
            const media::Picture plain = media::Frame(tempPath("plain.mkv"), int(f));
            ASSERT_FALSE(pic.isNull());
            EXPECT_EQ(IsRed(pic, 30, 30), c.painted(f)) << "frame " << f;
            // Rows the handler did not touch are exactly the unhooked picture.
            EXPECT_EQ(pic.rgb.mid(3 * 320 * 60), plain.rgb.mid(3 * 320 * 60)) << "frame " << f;
            if (!c.painted(f)) {
                EXPECT_EQ(pic.rgb, plain.rgb) << "frame " << f;
            }
        }
        const bool throwing = QString(c.name).startsWith("throwing");
        EXPECT_EQ(log.lines().filter("Error occurs OnCustomHook: watermark file gone").size(), throwing ? 1 : 0);
        if (QString(c.name).startsWith("stop"))
            EXPECT_EQ(calls, 6);
        else
            EXPECT_EQ(calls, 75);
        QFile::remove(dest);
    }
}

TEST_F(EngineHook, DrawnPixelsKeepTheirColoursAndLevels)
{
    // A grey written into the picture comes out as that grey: the conversion back uses
    // the source's range and matrix.
    EngineHarness h;
    h.engine.SetOnCustomHook([](TFFmpegVCL *, TCustomHookInfo &info) {
        QPainter p(info.Bitmap);
        p.fillRect(QRect(0, 0, 320, 120), QColor(128, 128, 128));
        p.fillRect(QRect(0, 120, 320, 120), QColor(16, 200, 60));
    });
    TOutputOptions out = Lossless(true);
    ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("grey.mkv"), out), 0);
    ASSERT_TRUE(h.runToEnd());
    const media::Picture pic = media::Frame(tempPath("grey.mkv"), 20);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(pic.at(100, 60)[c], 128, 1);
    EXPECT_NEAR(pic.at(100, 180)[0], 16, 1);
    EXPECT_NEAR(pic.at(100, 180)[1], 200, 1);
    EXPECT_NEAR(pic.at(100, 180)[2], 60, 1);
}

TEST_F(EngineHook, UnhookedTasksNeverCallTheHandler)
{
    EngineHarness h;
    int calls = 0;
    h.engine.SetOnCustomHook([&](TFFmpegVCL *, TCustomHookInfo &) { ++calls; });
    ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("a.mkv"), Lossless(false)), 0);
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(calls, 0);
}

TEST_F(EngineHook, PreviewPicturesArriveOnTheUiThreadAfterTheHook)
{
    EngineHarness h;
    h.engine.SetPreviewBitmap(true);
    h.engine.SetOnCustomHook([](TFFmpegVCL *, TCustomHookInfo &info) { PaintSquare(*info.Bitmap); });
    std::vector<TPreviewInfo> previews;
    bool offUi = false;
    h.engine.SetOnPreviewBitmap([&](TFFmpegVCL *, const TPreviewInfo &info) {
        offUi |= QThread::currentThread() != QCoreApplication::instance()->thread();
        previews.push_back(info);
    });
    TOutputOptions out;
    out.VideoCodecName = "libx264";
    out.DurationLimit = 10'000'000;
    out.HookFrames = true;
    ASSERT_EQ(h.add(Fixture("long.mkv"), tempPath("a.mp4"), out), 0);
    ASSERT_TRUE(h.runToEnd());
    EXPECT_FALSE(offUi);
    ASSERT_GE(previews.size(), 2u);
    const TPreviewInfo &p = previews.back();
    EXPECT_EQ(p.TaskIndex, 0);
    EXPECT_EQ(p.Bitmap.size(), QSize(640, 360));
    EXPECT_EQ(p.Bitmap.format(), QImage::Format_BGR888);
    const QColor drawn = p.Bitmap.pixelColor(30, 30); // drawn by the hook
    EXPECT_GE(drawn.red(), 253);
    EXPECT_LE(drawn.green(), 2);
    EXPECT_LE(drawn.blue(), 2);
}

TEST_F(EngineHook, TaskThreadsRunAtThePriorityAsked)
{
    struct Case
    {
        TThreadPriority priority;
        int policy;
        int nice;
    };
    const int base = getpriority(PRIO_PROCESS, 0);
    for (const Case &c :
         {Case{TThreadPriority::Idle, SCHED_IDLE, -100}, Case{TThreadPriority::Normal, SCHED_OTHER, 0},
          Case{TThreadPriority::Lower, SCHED_OTHER, 5}, Case{TThreadPriority::Lowest, SCHED_OTHER, 10}}) {
        EngineHarness h;
        h.engine.SetThreadPriority(c.priority);
        int policy = -1, nice = -100;
        h.engine.SetOnCustomHook([&](TFFmpegVCL *, TCustomHookInfo &info) {
            policy = sched_getscheduler(0);
            nice = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
            info.StopHook = true;
        });
        TOutputOptions out = Lossless(true);
        out.DurationLimit = 200'000;
        ASSERT_EQ(h.add(Fixture("clip.mkv"), tempPath("p.mkv"), out), 0);
        ASSERT_TRUE(h.runToEnd());
        EXPECT_EQ(policy, c.policy) << int(c.priority);
        if (c.nice != -100) {
            EXPECT_EQ(nice, std::max(base, c.nice)) << int(c.priority);
        }
    }
    // The engine's caller keeps its own priority.
    EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), base);
}

} // namespace
