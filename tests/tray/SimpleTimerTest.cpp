#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "support/TestSupport.h"
#include "tray/SimpleTimer.h"

using namespace sw;
using namespace sw::test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(SimpleTimer, AZeroIntervalCannotStartAndAHandlerlessTimerIsHeld) {
    TSimpleTimer timer(0, nullptr);
    EXPECT_FALSE(timer.Start());
    EXPECT_FALSE(timer.Running());

    int ticks = 0;
    TSimpleTimer held(50, [&](TObject*) { ++ticks; });
    ASSERT_TRUE(held.Start());
    held.SetOnElapsed(nullptr);  // the window timer goes, the timer stays marked running
    EXPECT_TRUE(held.Running());
    held.SetInterval(0);
    EXPECT_TRUE(held.Running());
    held.SetRunning(false);
    EXPECT_FALSE(held.Running());
}

TEST(SimpleTimer, TicksReachTheirOwnTimerAndNeverADestroyedOne) {
    TObject* sender = nullptr;
    int kept = 0;
    TSimpleTimer keeper(1000000, [&](TObject* s) {
        sender = s;
        ++kept;
    });
    int gone = 0;
    auto doomed = std::make_unique<TSimpleTimer>(1000000, [&](TObject*) { ++gone; });
    const UINT_PTR doomedId = doomed->TimerId();
    ASSERT_NE(doomedId, keeper.TimerId());
    doomed.reset();

    // A WM_TIMER that was already queued when its timer went.
    ::PostMessageA(TSimpleTimerHandler::Window(), WM_TIMER, doomedId, 0);
    ::PostMessageA(TSimpleTimerHandler::Window(), WM_TIMER, keeper.TimerId(), 0);
    EXPECT_TRUE(WaitFor([&] { return kept == 1; }));
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(sender, &keeper);

    // A real window timer ticks periodically.
    int ticks = 0;
    TSimpleTimer periodic(20, [&](TObject*) { ++ticks; });
    ASSERT_TRUE(periodic.Start());
    EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
}

TEST(SimpleTimer, TheSharedWindowLivesExactlyWhileATimerDoes) {
    EXPECT_EQ(TSimpleTimerHandler::Window(), nullptr);
    HWND first = nullptr;
    {
        TSimpleTimer a;
        first = TSimpleTimerHandler::Window();
        ASSERT_TRUE(::IsWindow(first));
        {
            TSimpleTimer b;
            EXPECT_EQ(TSimpleTimerHandler::Window(), first) << "one window for all timers";
        }
        EXPECT_TRUE(::IsWindow(first));
    }
    EXPECT_EQ(TSimpleTimerHandler::Window(), nullptr);
    EXPECT_FALSE(::IsWindow(first));
    TSimpleTimer again;
    EXPECT_TRUE(::IsWindow(TSimpleTimerHandler::Window()));
}

// Waits for the first tick and gives its time since `start`.
static milliseconds FirstTickAfter(bool& ticked, Clock::time_point start) {
    WaitFor([&] { return ticked; }, std::chrono::seconds(20));
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

TEST(SimpleTimer, TheSameIntervalLeavesARunningPeriodAloneAndANewOneRestartsIt) {
    bool ticked = false;
    TSimpleTimer timer(2000, [&](TObject*) { ticked = true; });
    auto start = Clock::now();
    ASSERT_TRUE(timer.Start());
    WaitFor([] { return false; }, milliseconds(1200));
    timer.SetInterval(2000);
    // Undisturbed, the tick is due 2000 ms after the start; a restart would
    // have moved it to 3200 ms.
    EXPECT_LT(FirstTickAfter(ticked, start).count(), 2900);

    ticked = false;
    start = Clock::now();
    ASSERT_TRUE(timer.Start());
    WaitFor([] { return false; }, milliseconds(1200));
    timer.SetInterval(2001);
    EXPECT_GE(FirstTickAfter(ticked, start).count(), 3150) << "a new interval starts a new period";
}
