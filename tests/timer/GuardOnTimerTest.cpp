// The guard driven by its timer as the program runs it: cmThread,
// synchronised, 500 ms, WaitForTerminate; the guard switches the timer off
// first and on last on every tick.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "app/GuardFixture.h"
#include "framework/Application.h"
#include "support/TestSupport.h"
#include "timer/HiResTimer.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

// The view whose timer switch is the real timer's Enabled.
class TimerView : public FakeView {
public:
    THiResTimer* Timer = nullptr;
    void SetGuardTimer(bool on) override {
        FakeView::SetGuardTimer(on);
        if (Timer) Timer->SetEnabled(on);
    }
};

class GuardOnTimer : public GuardFixture {
protected:
    void SetUp() override {
        GuardFixture::SetUp();
        timerView.Guard = &timerGuard;
        timerGuard.IsOnline = [] { return false; };
        timerGuard.CurrentDateTime = [] { return std::string("08.12.2026 21:40:05"); };
        timerGuard.LoadAtStart();
        timerView.LogOn = true;

        timer = std::make_unique<THiResTimer>(nullptr);
        TLoadingScope loading;
        loading.Add(timer.get());
        timer->SetCallBackMode(cmThread);
        timer->SetEnabled(false);
        timer->SetInterval(500);
        timer->SetOnTimer([this](TObject*) {
            ++ticks;
            if (++running > 1) overlapped = true;
            if (::GetCurrentThreadId() != mainThread) offMainThread = true;
            timerGuard.Tick();
            --running;
        });
        timer->SetWaitForTerminate(true);
        loading.Finish();
        timerView.Timer = timer.get();
    }
    void TearDown() override {
        timerView.Timer = nullptr;
        timer.reset();
        GuardFixture::TearDown();
    }

    // Changes the value from another process, as a script would.
    static void ChangeFromOutside(const std::string& url) {
        ChildProcess reg("reg add \"HKCU\\Software\\Microsoft\\Internet Explorer\\Main\" /v \"Start Page\" /d " +
                         url + " /f");
        ASSERT_TRUE(reg.Wait(30s).has_value());
    }

    TimerView timerView;
    guard::TGuard timerGuard{timerView};
    std::unique_ptr<THiResTimer> timer;
    const DWORD mainThread = ::GetCurrentThreadId();
    std::atomic<int> ticks{0};
    int running = 0;
    bool overlapped = false;
    bool offMainThread = false;
};

}  // namespace

TEST_F(GuardOnTimer, RestoresAValueChangedFromOutsideTwiceInARow) {
    EXPECT_EQ(timer->ThreadRunning(), false);  // loading never starts it
    timerView.SetGuardTimer(true);             // the last step of the window's creation
    ASSERT_EQ(timerGuard.ProtectedUrl, "about:blank");

    ChangeFromOutside("about:fremd-1");
    EXPECT_TRUE(WaitFor([&] { return timerView.LogList.Count() == 1; }, 20s));
    EXPECT_TRUE(WaitFor([&] { return StartPageText() == "about:blank"; }, 20s));

    ChangeFromOutside("about:fremd-2");
    EXPECT_TRUE(WaitFor([&] { return timerView.LogList.Count() == 2; }, 20s));
    EXPECT_TRUE(WaitFor([&] { return StartPageText() == "about:blank"; }, 20s));

    ASSERT_EQ(timerView.LogList.Count(), 2);
    EXPECT_EQ(timerView.LogList[0], "08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:about:fremd-2");
    EXPECT_EQ(timerView.LogList[1], "08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:about:fremd-1");
    // Ticks ran by themselves, one at a time, on the main thread, and the
    // timer is on again after each.
    EXPECT_GE(ticks, 2);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offMainThread);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_TRUE(ReportedErrorsSnapshot().empty());
}

TEST_F(GuardOnTimer, NoTickFallsDueWhileTheReportIsOpen) {
    timerView.ReportOn = true;
    // The report stands open for three intervals, running a message loop as
    // a message box does; queued main-thread calls would run inside it.
    int ticksDuringReport = -1;
    timerView.ShowMessageHook = [&] {
        const int before = ticks;
        WaitFor([] { return false; }, 1500ms);
        ticksDuringReport = ticks - before;
    };
    timerView.SetGuardTimer(true);
    ChangeFromOutside("about:fremd");
    ASSERT_TRUE(WaitFor([&] { return ticksDuringReport >= 0; }, 20s));
    EXPECT_EQ(ticksDuringReport, 0);
    EXPECT_FALSE(overlapped);
    // Afterwards the guard ticks on.
    const int after = ticks;
    EXPECT_TRUE(WaitFor([&] { return ticks > after; }, 20s));
}
