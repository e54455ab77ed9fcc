#include "tests/toolkit/ToolkitFixture.h"

#include "toolkit/Timer.h"

#include <QElapsedTimer>
#include <QTest>

using namespace lanfan;

namespace {

class TimerTest : public test::ToolkitTest {
protected:
    void TearDown() override
    {
        TTimer::setPlatformRefusesTimers(false);
        ToolkitTest::TearDown();
    }
};

TEST_F(TimerTest, HoldsAPlatformTimerOnlyWhenEnabledWithIntervalAndHandler)
{
    TTimer timer(nullptr);
    EXPECT_FALSE(timer.armed());  // no handler yet
    timer.SetOnTimer([](TTimer*) {});
    EXPECT_TRUE(timer.armed());
    timer.SetInterval(0);
    EXPECT_FALSE(timer.armed());
    timer.SetInterval(10);
    EXPECT_TRUE(timer.armed());
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.armed());
}

TEST_F(TimerTest, SettingThePresentValueDoesNotRestartTheInterval)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(200);
    timer.SetOnTimer([&](TTimer*) { ++ticks; });
    // Re-enabling an enabled timer over and over must not push its tick away.
    QElapsedTimer clock;
    clock.start();
    while (ticks == 0 && clock.elapsed() < 5000) {
        timer.SetEnabled(true);
        timer.SetInterval(200);
        QTest::qWait(20);
    }
    EXPECT_GT(ticks, 0);
}

TEST_F(TimerTest, RefusedPlatformTimerRaisesNotEnoughTimers)
{
    TTimer timer(nullptr);
    timer.SetOnTimer([](TTimer*) {});
    TTimer::setPlatformRefusesTimers(true);
    try {
        timer.SetInterval(10);
        FAIL() << "expected an error";
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Not enough timers available"));
    }
    // Unchanged values still do nothing, so they cannot fail.
    EXPECT_NO_THROW(timer.SetInterval(10));
}

TEST_F(TimerTest, FailingHandlerShowsTheErrorAndKeepsTicking)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(5);
    timer.SetOnTimer([&](TTimer*) {
        ++ticks;
        throw EOleException(QStringLiteral("control failed"));
    });
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
    EXPECT_TRUE(timer.Enabled());
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("control failed."));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("澜帆Flash播放器"));
}

TEST_F(TimerTest, ErrorsDoNotPileUpWhileTheTimersOwnBoxIsOpen)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(5);
    timer.SetOnTimer([&](TTimer*) {
        ++ticks;
        throw EOleException(QStringLiteral("Playing failed"));
    });
    // The first box stays "open" (runs a nested loop) while the timer keeps ticking and
    // failing inside it.
    size_t boxesDuringFirst = 0;
    int ticksDuringFirst = 0;
    onBox = [&](const MessageBoxRequest&) {
        if (boxes.size() != 1)
            return;
        int before = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= before + 3, 5000);
        ticksDuringFirst = ticks - before;
        boxesDuringFirst = boxes.size() - 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(boxes.size() >= 2, 5000);
    EXPECT_GE(ticksDuringFirst, 3);
    EXPECT_EQ(boxesDuringFirst, 0u);
}

} // namespace
