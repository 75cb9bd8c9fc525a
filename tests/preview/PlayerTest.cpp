#include "EngineHarness.h"
#include "Media.h"
#include "TestEnv.h"
#include "engine/TFFPlayer.h"
#include "preview/VideoSurfaceWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QThread>

namespace {

using media::Fixture;

// A surface that keeps what it is given.
struct RecordingSurface : TVideoSurface
{
    QSize displaySize;
    int pictures = 0;
    QImage last;
    void setDisplaySize(const QSize &size) override { displaySize = size; }
    void showPicture(const QImage &picture) override
    {
        ++pictures;
        last = picture;
    }
};

class Player : public TestEnv
{
protected:
    TFFPlayer player;
    RecordingSurface surface;
    std::vector<TPlayState> states;
    std::vector<int64_t> positions;
    bool offUiThread = false;

    void SetUp() override
    {
        TestEnv::SetUp();
        player.SetOnState([this](TFFPlayer *, TPlayState s) {
            offUiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            states.push_back(s);
        });
        player.SetOnPosition([this](TFFPlayer *, int64_t pts) {
            offUiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            positions.push_back(pts);
        });
    }
    void TearDown() override
    {
        player.Close(true);
        EXPECT_EQ(TFFPlayer::LiveSessions(), 0);
        TestEnv::TearDown();
    }
    bool waitFor(const std::function<bool()> &condition, int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!condition()) {
            if (t.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return true;
    }
    bool sawState(TPlayState s) const { return std::find(states.begin(), states.end(), s) != states.end(); }
    // The grey level of the counter fixture's picture (frame n has luma 3n).
    static int Grey(const QImage &picture) { return picture.constScanLine(20)[3 * 30 + 1]; }
};

TEST_F(Player, OpenReportsTheFileBeforeReturning)
{
    int64_t duration = -1;
    int w = 0, h = 0;
    player.SetOnFileOpen([&](TFFPlayer *, int64_t d, int fw, int fh, int &sw, int &sh) {
        duration = d;
        w = fw;
        h = fh;
        EXPECT_EQ(sw, 320);
        sw = 385;
        sh = 278;
        EXPECT_TRUE(player.CurrentPicture().isNull() || player.CurrentPicture().size() == QSize(320, 240));
    });
    ASSERT_TRUE(player.Open(Fixture("clip.mkv"), &surface));
    EXPECT_NEAR(double(duration), 3e6, 50e3);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(surface.displaySize, QSize(385, 278));
    const QImage first = player.CurrentPicture();
    EXPECT_EQ(first.size(), QSize(320, 240));
    EXPECT_EQ(first.format(), QImage::Format_BGR888);
    EXPECT_FALSE(player.IsPausedOrIdle());
    EXPECT_EQ(player.Probe().VideoStreamCount(), 1);
}

TEST_F(Player, PlaysToTheEnd)
{
    ASSERT_TRUE(player.Open(Fixture("clip.mkv"), &surface));
    ASSERT_TRUE(waitFor([&] { return sawState(psEnd); })) << "no end";
    waitFor([] { return false; }, 100); // pictures still on their way to this thread
    EXPECT_EQ(states.front(), psPlay);
    EXPECT_FALSE(offUiThread);
    EXPECT_GT(surface.pictures, 55) << "most of the 75 pictures were shown";
    EXPECT_LE(player.DroppedPictures(), 5);
    ASSERT_GT(positions.size(), 20u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), 2'800'000);
    for (size_t i = 1; i < positions.size(); ++i)
        EXPECT_GT(positions[i] - positions[i - 1], 10000);
}

TEST_F(Player, PauseHoldsThePositionAndResumeGoesOn)
{
    ASSERT_TRUE(player.Open(Fixture("long.mkv"), &surface));
    ASSERT_TRUE(waitFor([&] { return player.Position() > 300'000; }));
    player.Pause();
    EXPECT_TRUE(player.IsPausedOrIdle());
    waitFor([] { return false; }, 100);
    const int64_t held = player.Position();
    const int shown = surface.pictures;
    waitFor([] { return false; }, 500);
    EXPECT_NEAR(double(player.Position()), double(held), 20000);
    EXPECT_LE(surface.pictures, shown + 1);
    player.Pause(); // already paused: nothing
    player.Resume();
    EXPECT_FALSE(player.IsPausedOrIdle());
    ASSERT_TRUE(waitFor([&] { return player.Position() > held + 300'000; }));
    waitFor([] { return false; }, 50);
    EXPECT_EQ(std::count(states.begin(), states.end(), psPause), 1);
    EXPECT_EQ(std::count(states.begin(), states.end(), psResume), 1);
}

TEST_F(Player, SeekWithWaitShowsThePictureAtThePosition)
{
    ASSERT_TRUE(player.Open(Fixture("counter.mkv"), &surface));
    player.Seek(0, true, 1'500'000);
    const QImage shown = player.CurrentPicture(); // before playing moves on
    EXPECT_NEAR(double(player.Position()), 1.5e6, 60000);
    // 1.5 s lies in frame 37 (1.48 to 1.52 s).
    EXPECT_NEAR(Grey(shown), media::Frame(Fixture("counter.mkv"), 37).at(30, 20)[1], 3);

    // Paused, a seek still shows its picture.
    player.Pause();
    player.Seek(0, true, 400'000);
    EXPECT_NEAR(Grey(player.CurrentPicture()), media::Frame(Fixture("counter.mkv"), 10).at(30, 20)[1], 3);
    player.Seek(4, true, 2'000'000);
    EXPECT_NEAR(Grey(player.CurrentPicture()), media::Frame(Fixture("counter.mkv"), 50).at(30, 20)[1], 3);
    // Beyond the end: clamped to the duration.
    player.Seek(0, true, 99'000'000);
    EXPECT_LE(player.Position(), player.Duration());
}

TEST_F(Player, SeeksLandOnTheRightPictureInLongGroupsOfPictures)
{
    // One key frame at the start and B-frames: reaching 2.4 s decodes forward from 0.
    ASSERT_TRUE(player.Open(Fixture("counter.mp4"), &surface));
    player.Pause();
    for (int64_t t : {2'400'000, 1'000'000, 120'000, 2'960'000}) {
        player.Seek(0, true, t);
        const int frame = int(t / 40000);
        EXPECT_NEAR(Grey(player.CurrentPicture()), media::Frame(Fixture("counter.mp4"), frame).at(30, 20)[1], 3)
            << "at " << t;
    }
}

TEST_F(Player, TheHookSeesEveryShownPictureAndItsDrawingIsShown)
{
    std::atomic<int> calls = 0;
    std::atomic<bool> onUi = false;
    player.SetOnHook([&](TFFPlayer *, QImage &picture, int64_t) {
        onUi = onUi || QThread::currentThread() == QCoreApplication::instance()->thread();
        ++calls;
        QPainter(&picture).fillRect(QRect(0, 0, 40, 40), Qt::red);
    });
    player.SetHook(true);
    ASSERT_TRUE(player.Open(Fixture("clip.mkv"), &surface));
    ASSERT_TRUE(waitFor([&] { return sawState(psEnd); }));
    waitFor([] { return false; }, 100); // pictures still on their way to this thread
    EXPECT_FALSE(onUi);
    EXPECT_EQ(calls, surface.pictures - 1) << "one call per picture shown (the first is the black one)";
    const QImage shown = player.CurrentPicture();
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(surface.last.pixelColor(10, 10), QColor(Qt::red));
}

TEST_F(Player, AThrowingHookLeavesThePictureAsDecoded)
{
    LogCapture log;
    player.SetOnHook([&](TFFPlayer *, QImage &picture, int64_t) {
        QPainter(&picture).fillRect(QRect(0, 0, 40, 40), Qt::red);
        throw std::runtime_error("no picture today");
    });
    player.SetHook(true);
    ASSERT_TRUE(player.Open(Fixture("clip.mkv"), &surface));
    player.Seek(0, true, 1'000'000);
    EXPECT_NE(player.CurrentPicture().pixelColor(10, 10), QColor(Qt::red));
    EXPECT_FALSE(log.lines().filter("Error occurs OnHook: no picture today").isEmpty());
}

TEST_F(Player, CloseWithWaitEndsEveryThread)
{
    ASSERT_TRUE(player.Open(Fixture("long.mkv"), &surface));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(TFFPlayer::LiveSessions(), 1);
    player.Close(true);
    EXPECT_EQ(TFFPlayer::LiveSessions(), 0);
    EXPECT_TRUE(sawState(psStop));
    EXPECT_TRUE(player.IsPausedOrIdle());
    EXPECT_TRUE(player.CurrentPicture().isNull());
    // Without waiting: the stop is reported when the threads are done.
    ASSERT_TRUE(player.Open(Fixture("long.mkv"), &surface));
    states.clear();
    player.Close(false);
    ASSERT_TRUE(waitFor([&] { return sawState(psStop); }));
    EXPECT_TRUE(waitFor([] { return TFFPlayer::LiveSessions() == 0; }));
}

TEST_F(Player, OpeningAnotherFileWhilePlaying)
{
    ASSERT_TRUE(player.Open(Fixture("long.mkv"), &surface));
    waitFor([] { return false; }, 200);
    int64_t duration = 0;
    player.SetOnFileOpen([&](TFFPlayer *, int64_t d, int, int, int &, int &) { duration = d; });
    ASSERT_TRUE(player.Open(Fixture("clip.mkv"), &surface));
    EXPECT_NEAR(double(duration), 3e6, 50e3);
    EXPECT_EQ(TFFPlayer::LiveSessions(), 1);
    ASSERT_TRUE(waitFor([&] { return sawState(psEnd); }));
}

TEST_F(Player, WhatCannotBePlayedIsRefused)
{
    for (const QString &file :
         {Fixture("text.txt"), Fixture("truncated.mp4"), Fixture("empty.mp4"), tempPath("missing.mkv")}) {
        EXPECT_FALSE(player.Open(file, &surface)) << file.toStdString();
        EXPECT_TRUE(player.IsPausedOrIdle());
        EXPECT_TRUE(player.CurrentPicture().isNull());
        EXPECT_EQ(TFFPlayer::LiveSessions(), 0);
    }
}

TEST_F(Player, SoundOnlyFilesPlayWithoutAPicture)
{
    int w = -1;
    player.SetOnFileOpen([&](TFFPlayer *, int64_t, int fw, int, int &, int &) { w = fw; });
    ASSERT_TRUE(player.Open(Fixture("tone.wav"), &surface));
    EXPECT_EQ(w, 0);
    EXPECT_TRUE(player.CurrentPicture().isNull() || player.CurrentPicture().size().isEmpty());
    ASSERT_TRUE(waitFor([&] { return player.Position() > 500'000; }));
    ASSERT_TRUE(waitFor([&] { return sawState(psEnd); }));
    EXPECT_NEAR(double(positions.back()), 3e6, 150000);
}

TEST_F(Player, FiftyOpenSeekCloseCyclesLeaveNothingBehind)
{
    auto rss = [] {
        QFile f("/proc/self/statm");
        f.open(QIODevice::ReadOnly);
        return f.readAll().split(' ').value(1).toLongLong() * 4096;
    };
    for (int i = 0; i < 5; ++i) { // warm up the allocators and codecs
        ASSERT_TRUE(player.Open(Fixture(i % 2 ? "clip.mkv" : "clip.mp4"), &surface));
        player.Close(true);
    }
    const long long before = rss();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(player.Open(Fixture(i % 2 ? "clip.mkv" : "clip.mp4"), &surface));
        player.Seek(i % 3 ? 0 : 4, i % 2 == 0, (i * 97'000) % 2'900'000);
        if (i % 5 == 0)
            player.Pause();
        player.Close(i % 4 != 0);
    }
    ASSERT_TRUE(waitFor([] { return TFFPlayer::LiveSessions() == 0; }));
    EXPECT_LT(rss() - before, 40ll << 20) << "memory grows with every file";
}

TEST(PlayerSurface, ThePictureKeepsItsAspectInsideTheDisplaySize)
{
    TVideoSurfaceWidget widget;
    widget.resize(400, 300);
    widget.setDisplaySize(QSize(385, 278));
    QImage picture(320, 180, QImage::Format_BGR888);
    picture.fill(Qt::green);
    widget.showPicture(picture);
    // 385 × 278 centred in 400 × 300, the 16:9 picture fills its width.
    const QRect r = widget.pictureRect();
    EXPECT_EQ(r.width(), 385);
    EXPECT_NEAR(r.height(), 385 * 9 / 16, 1);
    const QImage shot = widget.grab().toImage();
    EXPECT_EQ(shot.pixelColor(200, 150), QColor(Qt::green));
    EXPECT_EQ(shot.pixelColor(200, r.top() - 3), QColor(Qt::black));
}

} // namespace
