// Thousands of stops and starts and hundreds of destructions while a 1 ms
// timer ticks: no crash, no hang, and the process ends up with no more
// handles and threads than before.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <memory>
#include <sstream>

#include "support/ProcessCounts.h"
#include "framework/Application.h"
#include "support/TestSupport.h"
#include "timer/HiResTimer.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

struct StressCase {
    const char* name;
    TCallbackMode mode;
    bool synchronize;
    bool waitForTerminate;
};

class HiResTimerStress : public testing::TestWithParam<StressCase> {
protected:
    std::unique_ptr<THiResTimer> Make() {
        const StressCase& c = GetParam();
        // On the main thread the handler also switches off and on, as the
        // guard does on every tick.
        const bool onMainThread = c.mode == cmWindow || c.synchronize;
        auto timer = std::make_unique<THiResTimer>(nullptr);
        timer->SetEnabled(false);
        timer->SetCallBackMode(c.mode);
        timer->SetInterval(1);
        timer->SetSynchronize(c.synchronize);
        timer->SetWaitForTerminate(c.waitForTerminate);
        timer->SetOnTimer([this, onMainThread](TObject* sender) {
            if (++ticks_ % 3 != 0 || !onMainThread) return;
            auto* timer = static_cast<THiResTimer*>(sender);
            timer->SetEnabled(false);
            timer->SetEnabled(true);
        });
        timer->SetEnabled(true);
        return timer;
    }

    void Round(int iterations) {
        auto timer = Make();
        for (int i = 1; i <= iterations; ++i) {
            timer->SetEnabled(false);
            timer->SetEnabled(true);
            if (i % 4 == 0) {
                // A moment for ticks to fall due and be handled.
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
                Application->ProcessMessages();
            }
            if (i % 10 == 0) {
                timer.reset();
                timer = Make();
            }
        }
        timer.reset();
    }

    std::atomic<int> ticks_{0};
};

void PrintTo(const StressCase& c, std::ostream* out) { *out << c.name; }

std::string Counts(DWORD handles, DWORD threads) {
    std::ostringstream text;
    text << "handles " << ProcessHandleCount() << " (before " << handles << "), threads " << ProcessThreadCount()
         << " (before " << threads << ")";
    return text.str();
}

}  // namespace

TEST_P(HiResTimerStress, SwitchesAndDestructionsLeaveNoHandlesOrThreadsBehind) {
    ClearReportedErrors();
    // The first runs create what stays for the process's life: the kernel
    // events that the mutexes of the runtime get when they are first
    // contended (the multimedia callback against the main thread).
    Round(300);
    WaitFor([] { return false; }, 500ms);
    const DWORD handles = ProcessHandleCount();
    const DWORD threads = ProcessThreadCount();

    Round(3000);
    std::printf("ticks %d; after the switches: %s\n", ticks_.load(), Counts(handles, threads).c_str());
    std::fflush(stdout);
    EXPECT_GT(ticks_, 0);
    // Detached tick threads end by themselves once they have handed over
    // their last tick. A mutex first contended only now may still add its
    // one event; anything that leaked per run would add thousands.
    constexpr DWORD kLazyEvents = 4;
    EXPECT_TRUE(WaitFor(
        [&] { return ProcessHandleCount() <= handles + kLazyEvents && ProcessThreadCount() <= threads; }, 30s))
        << Counts(handles, threads);
    std::printf("settled: %s\n", Counts(handles, threads).c_str());
    std::fflush(stdout);
    EXPECT_TRUE(ReportedErrorsSnapshot().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, HiResTimerStress,
                         testing::Values(StressCase{"ThreadSynchronisedWaiting", cmThread, true, true},
                                         StressCase{"ThreadSynchronisedNotWaiting", cmThread, true, false},
                                         StressCase{"ThreadDirectWaiting", cmThread, false, true},
                                         StressCase{"ThreadDirectNotWaiting", cmThread, false, false},
                                         StressCase{"Window", cmWindow, true, false}),
                         [](const testing::TestParamInfo<StressCase>& info) { return info.param.name; });
