#include "timer/HiResTimer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/ProcessCounts.h"
#include "framework/Application.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

constexpr UINT kTickMessage = WM_APP + 10;
// The bound of the stop's wait for the tick thread; a stop that returns well
// within it has not waited.
constexpr auto kAckBound = 5000ms;

// Polls without pumping messages, so nothing queued for the main thread runs.
bool PollWithoutMessages(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 10s) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        ::Sleep(1);
    }
    return true;
}

// Pumps messages for a while.
void PumpFor(std::chrono::milliseconds time) {
    WaitFor([] { return false; }, time);
}

struct TickLog {
    std::atomic<int> Count{0};
    std::atomic<DWORD> LastThread{0};
    std::atomic<TObject*> LastSender{nullptr};
    TNotifyEvent Handler() {
        return [this](TObject* sender) {
            LastSender = sender;
            LastThread = ::GetCurrentThreadId();
            ++Count;
        };
    }
};

// A timer built as a stored description builds it: switched off while the
// properties are set, then switched on when asked.
std::unique_ptr<THiResTimer> MakeTimer(TCallbackMode mode, int32_t interval, TNotifyEvent handler,
                                       bool synchronize = true, bool waitForTerminate = false) {
    auto timer = std::make_unique<THiResTimer>(nullptr);
    timer->SetEnabled(false);
    timer->SetCallBackMode(mode);
    timer->SetInterval(interval);
    timer->SetOnTimer(std::move(handler));
    timer->SetSynchronize(synchronize);
    timer->SetWaitForTerminate(waitForTerminate);
    return timer;
}

// Lets the timer pretend to run on Windows 95, where cmCallback is allowed.
class AsIfWindows95 {
public:
    AsIfWindows95() : saved_(hires::SystemIsWindows95) { hires::SystemIsWindows95 = true; }
    ~AsIfWindows95() { hires::SystemIsWindows95 = saved_; }

private:
    bool saved_;
};

// Records the errors of the central handler with their senders, from any thread.
class ErrorCapture {
public:
    ErrorCapture() : saved_(Application->OnException) {
        Application->OnException = [this](TObject* sender, const std::string& message) {
            std::lock_guard lock(lock_);
            // A self-deleting thread is gone once it has reported: what it
            // was is noted now.
            senders_.push_back(sender);
            fromTickThread_.push_back(dynamic_cast<THiResTimerThread*>(sender) != nullptr);
            messages_.push_back(message);
        };
    }
    ~ErrorCapture() { Application->OnException = saved_; }
    size_t Count() {
        std::lock_guard lock(lock_);
        return messages_.size();
    }
    std::string Message(size_t i) {
        std::lock_guard lock(lock_);
        return messages_.at(i);
    }
    TObject* Sender(size_t i) {
        std::lock_guard lock(lock_);
        return senders_.at(i);
    }
    bool FromTickThread(size_t i) {
        std::lock_guard lock(lock_);
        return fromTickThread_.at(i);
    }

private:
    TApplication::TExceptionEvent saved_;
    std::mutex lock_;
    std::vector<TObject*> senders_;
    std::vector<bool> fromTickThread_;
    std::vector<std::string> messages_;
};

const char* ModeName(TCallbackMode mode) {
    return mode == cmWindow ? "cmWindow" : mode == cmThread ? "cmThread" : "cmCallback";
}

}  // namespace

TEST(HiResTimer, StartsNothingWithoutIntervalEnabledOrHandler) {
    {
        THiResTimer timer(nullptr);
        EXPECT_TRUE(timer.Enabled());
        EXPECT_EQ(timer.Interval(), 1000);
        EXPECT_EQ(timer.CallBackMode(), cmWindow);
        EXPECT_EQ(timer.Priority(), tpNormal);
        EXPECT_TRUE(timer.Synchronize());
        EXPECT_FALSE(timer.WaitForTerminate());
        EXPECT_EQ(timer.TimerID(), 0u);
    }
    struct Case {
        const char* missing;
        int32_t interval;
        bool enabled;
        bool handler;
    };
    const Case cases[] = {
        {"Interval 0", 0, true, true},
        {"Enabled false", 1, false, true},
        {"no OnTimer", 1, true, false},
    };
    for (TCallbackMode mode : {cmWindow, cmThread}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(ModeName(mode)) + ", " + c.missing);
            const DWORD threads = ProcessThreadCount();
            TickLog log;
            auto timer = MakeTimer(mode, c.interval, c.handler ? log.Handler() : TNotifyEvent());
            timer->SetEnabled(c.enabled);
            EXPECT_EQ(timer->TimerID(), 0u);
            EXPECT_EQ(timer->TickWindow(), nullptr);
            EXPECT_FALSE(timer->ThreadRunning());
            EXPECT_LE(ProcessThreadCount(), threads);
            PumpFor(100ms);
            EXPECT_EQ(log.Count, 0);
            // Supplying what was missing starts it: the case above was not vacuous.
            timer->SetInterval(1);
            timer->SetEnabled(true);
            timer->SetOnTimer(log.Handler());
            EXPECT_TRUE(WaitFor([&] { return log.Count > 0; }));
        }
    }
}

TEST(HiResTimer, AnIntervalThatTheServiceRefusesRaisesOutOfTimers) {
    for (TCallbackMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(ModeName(mode));
        TickLog log;
        auto timer = MakeTimer(mode, 1000, log.Handler());
        timer->SetEnabled(true);
        ASSERT_NE(timer->TimerID(), 0u);
        try {
            timer->SetInterval(-1);
            ADD_FAILURE() << "no error raised";
        } catch (const EOutOfResources& e) {
            EXPECT_STREQ(e.what(), "Nicht gen\xFCgend Timer verf\xFCgbar");
        }
        EXPECT_EQ(timer->Interval(), -1);
        EXPECT_EQ(timer->TimerID(), 0u);
        EXPECT_EQ(timer->TickWindow(), nullptr);
        // A tick thread started before the refusal stays until the next stop.
        EXPECT_EQ(timer->ThreadRunning(), mode == cmThread);
        timer->SetInterval(1);
        EXPECT_TRUE(WaitFor([&] { return log.Count > 0; }));
    }
}

TEST(HiResTimer, TicksReachOnTimerOnTheThreadThatTheModeGives) {
    AsIfWindows95 win95;  // for cmCallback
    struct Case {
        TCallbackMode mode;
        bool synchronize;
        const char* where;
    };
    const Case cases[] = {
        {cmWindow, true, "main"},
        {cmThread, true, "main"},
        {cmThread, false, "tick thread"},
        {cmCallback, true, "service thread"},
    };
    const DWORD mainThread = ::GetCurrentThreadId();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ModeName(c.mode)) + (c.synchronize ? "" : " unsynchronised"));
        TickLog log;
        auto timer = MakeTimer(c.mode, 2, log.Handler(), c.synchronize);
        timer->SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return log.Count >= 3; }));
        EXPECT_EQ(log.LastSender.load(), timer.get());
        const std::string where = c.where;
        if (where == "main") {
            EXPECT_EQ(log.LastThread.load(), mainThread);
        } else if (where == "tick thread") {
            EXPECT_EQ(log.LastThread.load(), timer->TickThreadID());
        } else {
            EXPECT_NE(log.LastThread.load(), mainThread);
            EXPECT_EQ(timer->TickThreadID(), 0u);
        }
    }
}

TEST(HiResTimer, SettingAPropertyToItsValueKeepsTheRunAndAssigningOnTimerRestartsIt) {
    TickLog log;
    const TNotifyEvent handler = log.Handler();
    auto timer = MakeTimer(cmWindow, 1, handler);
    timer->SetEnabled(true);
    // Without a message loop the tick window's queue fills up to its limit.
    ASSERT_TRUE(PollWithoutMessages([&] { return timer->PendingMessages() == 10; }));
    const HWND window = timer->TickWindow();

    timer->SetEnabled(true);
    timer->SetInterval(1);
    timer->SetPriority(tpNormal);
    timer->SetCallBackMode(cmWindow);
    EXPECT_EQ(timer->TickWindow(), window);
    EXPECT_EQ(timer->PendingMessages(), 10);
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, window, kTickMessage, kTickMessage, PM_NOREMOVE));

    // The same handler again: a new run, whose stop removed the waiting ticks.
    timer->SetOnTimer(handler);
    EXPECT_NE(timer->TickWindow(), window);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(::PeekMessageA(&msg, window, kTickMessage, kTickMessage, PM_NOREMOVE));
    EXPECT_TRUE(WaitFor([&] { return log.Count > 0; }));
}

TEST(HiResTimer, WindowModeQueuesAtMostTenTicksAndAStopLeavesNone) {
    TickLog log;
    auto timer = MakeTimer(cmWindow, 1, log.Handler());
    timer->SetEnabled(true);
    ASSERT_TRUE(PollWithoutMessages([&] { return timer->PendingMessages() == 10; }));
    ::Sleep(100);  // a hundred more ticks fall due
    EXPECT_EQ(timer->PendingMessages(), 10);
    // Count what waits: removing bypasses the window, so nothing new is posted.
    int queued = 0;
    MSG msg;
    while (::PeekMessageA(&msg, timer->TickWindow(), kTickMessage, kTickMessage, PM_REMOVE)) ++queued;
    EXPECT_EQ(queued, 10);

    // A fresh run fills its queue again; the stop takes all of it away.
    timer->SetInterval(2);
    ASSERT_TRUE(PollWithoutMessages([&] { return timer->PendingMessages() == 10; }));
    timer->SetEnabled(false);
    EXPECT_FALSE(::PeekMessageA(&msg, nullptr, kTickMessage, kTickMessage, PM_NOREMOVE));
    PumpFor(200ms);
    EXPECT_EQ(log.Count, 0);

    // A tick message that carries another timer event's identifier is no tick.
    timer->SetInterval(60000);
    timer->SetEnabled(true);
    ::PostMessageA(timer->TickWindow(), kTickMessage, timer->TimerID() + 1, 0);
    PumpFor(100ms);
    EXPECT_EQ(log.Count, 0);
    EXPECT_EQ(timer->PendingMessages(), 0);
}

TEST(HiResTimer, AnErrorInOnTimerGoesToTheCentralHandlerAndLaterTicksStillCome) {
    for (TCallbackMode mode : {cmWindow, cmCallback}) {
        SCOPED_TRACE(ModeName(mode));
        AsIfWindows95 win95;
        ErrorCapture errors;
        std::atomic<int> ticks{0};
        // More failing ticks than the window's queue has places.
        constexpr int kFailing = 25;
        auto timer = MakeTimer(mode, 2, [&](TObject*) {
            if (++ticks <= kFailing) throw Exception("Fehler im Takt");
        });
        timer->SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return ticks >= kFailing + 3; }));
        timer->SetEnabled(false);
        ASSERT_EQ(errors.Count(), static_cast<size_t>(kFailing));
        EXPECT_EQ(errors.Message(0), "Fehler im Takt");
        // The window reports with the timer as sender, the service's thread with none.
        if (mode == cmCallback) {
            EXPECT_EQ(errors.Sender(0), nullptr);
        } else {
            EXPECT_EQ(errors.Sender(0), timer.get());
        }
    }
}

TEST(HiResTimer, CallbackModeIsRefusedWithAMessageOutsideWindows95) {
    ASSERT_FALSE(hires::SystemIsWindows95);  // Wine reports a later Windows
    TickLog log;
    auto timer = MakeTimer(cmWindow, 1000, log.Handler());
    timer->SetEnabled(true);
    const HWND window = timer->TickWindow();

    std::string text;
    HWND owner = nullptr;
    std::thread closer([&] {
        for (int i = 0; i < 1000; ++i) {
            if (const HWND box = ::FindWindowA("#32770", "THiResTimer")) {
                char buffer[512] = {};
                ::GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
                text = buffer;
                owner = ::GetWindow(box, GW_OWNER);
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
    });
    timer->SetCallBackMode(cmCallback);
    closer.join();
    EXPECT_EQ(text, "\"CallBacks\" are called at interrupt time !\n\rThis is currently only supported under Windows 95");
    EXPECT_EQ(owner, Application->Handle());
    EXPECT_EQ(timer->CallBackMode(), cmWindow);
    EXPECT_EQ(timer->TickWindow(), window);  // not restarted
}

TEST(HiResTimer, ATickWaitingForTheMainThreadFollowsEnabledWhenItRuns) {
    for (bool reenable : {false, true}) {
        SCOPED_TRACE(reenable ? "switched off and on again" : "switched off");
        TickLog log;
        auto timer = MakeTimer(cmThread, 1, log.Handler(), true, true);
        timer->SetEnabled(true);
        // The tick thread has queued a tick and waits for the main thread.
        ASSERT_TRUE(PollWithoutMessages([&] { return timer->InSynchronize(); }));
        timer->SetEnabled(false);
        if (reenable) {
            timer->SetInterval(60000);  // the new run itself gives no tick here
            timer->SetEnabled(true);
        }
        PumpFor(200ms);
        EXPECT_EQ(log.Count, reenable ? 1 : 0);
    }
}

TEST(HiResTimer, SwitchingOffInsideOnTimerNeverWaitsAndOnAgainStartsANewThread) {
    std::atomic<int> ticks{0};
    DWORD oldThread = 0, newThread = 0;
    bool oldAliveAfterStop = false;
    std::chrono::steady_clock::duration stopTook{};
    THiResTimer* self = nullptr;
    auto timer = MakeTimer(
        cmThread, 1,
        [&](TObject*) {
            if (++ticks != 1) return;
            // The guard's bracket: off first, on last.
            oldThread = self->TickThreadID();
            const auto start = std::chrono::steady_clock::now();
            self->SetEnabled(false);
            stopTook = std::chrono::steady_clock::now() - start;
            oldAliveAfterStop = ThreadAlive(oldThread);
            self->SetEnabled(true);
            newThread = self->TickThreadID();
        },
        true, true);
    self = timer.get();
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks >= 2; }));
    EXPECT_LT(stopTook, kAckBound / 2) << "the stop waited for a thread that waits for it";
    EXPECT_NE(oldThread, 0u);
    EXPECT_TRUE(oldAliveAfterStop);  // still waiting for the handler to return
    EXPECT_NE(newThread, 0u);
    EXPECT_NE(newThread, oldThread);
    // Once the handler has returned, the old thread ends by itself.
    EXPECT_TRUE(WaitFor([&] { return !ThreadAlive(oldThread); }));
}

TEST(HiResTimer, PriorityAppliesToARunningTickThreadAtOnce) {
    TickLog log;
    auto timer = MakeTimer(cmThread, 50, log.Handler());
    timer->SetEnabled(true);
    const DWORD id = timer->TickThreadID();
    ASSERT_NE(id, 0u);
    const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    ASSERT_NE(thread, nullptr);
    const struct {
        TThreadPriority priority;
        int windows;
    } cases[] = {
        {tpIdle, THREAD_PRIORITY_IDLE},        {tpLowest, THREAD_PRIORITY_LOWEST},
        {tpLower, THREAD_PRIORITY_BELOW_NORMAL}, {tpHigher, THREAD_PRIORITY_ABOVE_NORMAL},
        {tpHighest, THREAD_PRIORITY_HIGHEST},  {tpTimeCritical, THREAD_PRIORITY_TIME_CRITICAL},
        {tpNormal, THREAD_PRIORITY_NORMAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        timer->SetPriority(c.priority);
        EXPECT_EQ(timer->TickThreadID(), id);  // no restart
        EXPECT_EQ(::GetThreadPriority(thread), c.windows);
    }
    ::CloseHandle(thread);
    // A new tick thread starts at the timer's priority.
    timer->SetPriority(tpHigher);
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    const HANDLE fresh = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, timer->TickThreadID());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(::GetThreadPriority(fresh), THREAD_PRIORITY_ABOVE_NORMAL);
    ::CloseHandle(fresh);
}

TEST(HiResTimer, AnErrorInTheTickThreadEndsItAndTheNextStopNeitherWaitsNorTouchesIt) {
    for (bool synchronize : {true, false}) {
        SCOPED_TRACE(synchronize ? "synchronised" : "on the tick thread");
        ErrorCapture errors;
        std::atomic<int> ticks{0};
        auto timer = MakeTimer(
            cmThread, 1,
            [&](TObject*) {
                if (++ticks == 1) throw Exception("Fehler im Takt");
            },
            synchronize, true);
        timer->SetEnabled(true);
        const DWORD thread = timer->TickThreadID();
        ASSERT_TRUE(WaitFor([&] { return errors.Count() == 1 && !ThreadAlive(thread); }));
        EXPECT_EQ(errors.Message(0), "Fehler im Takt");
        EXPECT_TRUE(errors.FromTickThread(0));
        EXPECT_EQ(timer->TickThreadID(), 0u);
        EXPECT_TRUE(timer->ThreadRunning());  // until the next stop
        PumpFor(100ms);
        EXPECT_EQ(ticks, 1);  // no further tick until then

        const auto start = std::chrono::steady_clock::now();
        timer->SetEnabled(false);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAckBound / 2);
        timer->SetEnabled(true);
        EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
    }
}

TEST(HiResTimer, DestructionLetsNoTickReachTheHandler) {
    AsIfWindows95 win95;  // for cmCallback
    struct Case {
        TCallbackMode mode;
        bool synchronize;
        const char* name;
    };
    const Case cases[] = {
        {cmWindow, true, "cmWindow, ticks queued"},
        {cmThread, true, "cmThread, a tick waiting for the main thread"},
        {cmThread, false, "cmThread, the handler running on the tick thread"},
        {cmCallback, true, "cmCallback, the handler running on the service thread"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> destroying{false}, destroyed{false}, inHandler{false};
        std::atomic<int> ticks{0}, late{0};
        const bool mainThread = c.mode == cmWindow || (c.mode == cmThread && c.synchronize);
        auto timer = MakeTimer(
            c.mode, 1,
            [&](TObject*) {
                // On the main thread destruction begins at a known moment;
                // elsewhere it is over when delete returns.
                if (mainThread ? destroying.load() : destroyed.load()) ++late;
                inHandler = true;
                if (!mainThread) ::Sleep(5);
                ++ticks;
                inHandler = false;
            },
            c.synchronize);
        timer->SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return ticks >= 3; }));
        if (c.mode == cmWindow) {
            ASSERT_TRUE(PollWithoutMessages([&] { return timer->PendingMessages() > 0; }));
        } else if (c.mode == cmThread && c.synchronize) {
            ASSERT_TRUE(PollWithoutMessages([&] { return timer->InSynchronize(); }));
        } else {
            ASSERT_TRUE(PollWithoutMessages([&] { return inHandler.load(); }));
        }
        destroying = true;
        timer.reset();
        destroyed = true;
        EXPECT_FALSE(inHandler);  // a handler running elsewhere was waited for
        PumpFor(200ms);
        EXPECT_EQ(late, 0);
    }
}

TEST(HiResTimer, TheDesigningStateStopsTheTimerAndLeavingItStartsAgain) {
    TickLog log;
    const DWORD threads = ProcessThreadCount();
    {
        auto timer = MakeTimer(cmThread, 1, log.Handler());
        timer->SetEnabled(true);
        ASSERT_TRUE(timer->ThreadRunning());
        timer->SetDesigning(true);
        EXPECT_EQ(timer->TimerID(), 0u);
        EXPECT_FALSE(timer->ThreadRunning());
        timer->SetInterval(2);  // nothing runs inside a designer
        EXPECT_EQ(timer->TimerID(), 0u);
        const int before = log.Count;
        PumpFor(100ms);
        EXPECT_EQ(log.Count, before);
        timer->SetDesigning(false);
        EXPECT_NE(timer->TimerID(), 0u);
        EXPECT_TRUE(WaitFor([&] { return log.Count > before; }));
        timer->SetDesigning(true);  // and destroyed while designed
    }
    // The multimedia service keeps a thread of its own once used.
    EXPECT_TRUE(WaitFor([&] { return ProcessThreadCount() <= threads + 1; }));
}

TEST(HiResTimer, AStopWaitsForAHandlerOnTheTickThreadOnlyWithWaitForTerminate) {
    for (bool waitForTerminate : {true, false}) {
        SCOPED_TRACE(waitForTerminate ? "WaitForTerminate" : "no WaitForTerminate");
        std::atomic<bool> entered{false}, finished{false};
        std::atomic<int> ticks{0};
        auto timer = MakeTimer(
            cmThread, 1,
            [&](TObject*) {
                if (++ticks != 1) return;
                entered = true;
                ::Sleep(1000);  // a slow tick
                finished = true;
            },
            false, waitForTerminate);
        timer->SetEnabled(true);
        ASSERT_TRUE(PollWithoutMessages([&] { return entered.load(); }));
        timer->SetEnabled(false);
        EXPECT_EQ(finished.load(), waitForTerminate);
        EXPECT_TRUE(WaitFor([&] { return finished.load(); }));
        EXPECT_EQ(ticks, 1);
    }
}

TEST(HiResTimer, AHandlerMayDestroyItsOwnTimer) {
    AsIfWindows95 win95;  // for cmCallback
    struct Case {
        TCallbackMode mode;
        bool synchronize;
        const char* name;
    };
    const Case cases[] = {
        {cmWindow, true, "cmWindow"},
        {cmThread, true, "cmThread on the main thread"},
        {cmThread, false, "cmThread on the tick thread"},
        {cmCallback, true, "cmCallback"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorCapture errors;
        std::atomic<int> ticks{0};
        std::atomic<bool> destroyed{false};
        std::atomic<THiResTimer*> own{nullptr};
        std::atomic<TObject*> sender{nullptr};
        std::chrono::steady_clock::duration took{};
        auto timer = MakeTimer(
            c.mode, 1,
            [&](TObject* s) {
                ++ticks;
                THiResTimer* self = own.exchange(nullptr);
                if (!self) return;
                sender = s;
                const auto start = std::chrono::steady_clock::now();
                delete self;
                took = std::chrono::steady_clock::now() - start;
                destroyed = true;
            },
            c.synchronize, true);
        own = timer.get();
        THiResTimer* const raw = timer.release();
        raw->SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return destroyed.load(); }));
        EXPECT_EQ(sender.load(), raw);
        EXPECT_LT(took, kAckBound / 2) << "the destruction waited for the thread that runs it";
        PumpFor(100ms);
        EXPECT_EQ(ticks, 1) << "no tick after the destruction";
        EXPECT_EQ(errors.Count(), 0u);
    }
}

namespace {

// Counts the raised and lowered timer periods while it exists.
class PeriodCount {
public:
    PeriodCount() : begin_(hires::BeginPeriod), end_(hires::EndPeriod) {
        begins = ends = 0;
        wrongPeriods = 0;
        TIMECAPS caps{};
        ::timeGetDevCaps(&caps, sizeof caps);
        minimum = caps.wPeriodMin;
        hires::BeginPeriod = Begin;
        hires::EndPeriod = End;
    }
    ~PeriodCount() {
        hires::BeginPeriod = begin_;
        hires::EndPeriod = end_;
    }
    PeriodCount(const PeriodCount&) = delete;
    PeriodCount& operator=(const PeriodCount&) = delete;

    // Periods raised and not yet lowered.
    int Raised() const { return begins - ends; }

    static inline std::atomic<int> begins{0}, ends{0}, wrongPeriods{0};
    static inline UINT minimum = 0;

private:
    static UINT WINAPI Begin(UINT period) {
        ++begins;
        if (period != minimum) ++wrongPeriods;
        return ::timeBeginPeriod(period);
    }
    static UINT WINAPI End(UINT period) {
        ++ends;
        if (period != minimum) ++wrongPeriods;
        return ::timeEndPeriod(period);
    }

    hires::TPeriodCall begin_, end_;
};

}  // namespace

TEST(HiResTimer, EveryRaisedTimerPeriodIsLoweredAgain) {
    AsIfWindows95 win95;  // for cmCallback
    PeriodCount periods;
    for (TCallbackMode mode : {cmWindow, cmThread, cmCallback}) {
        SCOPED_TRACE(ModeName(mode));
        TickLog log;
        auto timer = MakeTimer(mode, 5, log.Handler());
        EXPECT_EQ(periods.Raised(), 0) << "nothing runs yet";
        timer->SetEnabled(true);
        EXPECT_EQ(periods.Raised(), 1);
        timer->SetInterval(6);
        EXPECT_EQ(periods.Raised(), 1) << "a restart lowers the old run's period";
        EXPECT_THROW(timer->SetInterval(-1), EOutOfResources);
        EXPECT_EQ(periods.Raised(), 0) << "a refused start lowers what it raised";
        timer->SetInterval(7);
        EXPECT_EQ(periods.Raised(), 1);
        timer.reset();
        EXPECT_EQ(periods.Raised(), 0) << "destruction lowers it";
    }
    EXPECT_GT(PeriodCount::begins.load(), 0);
    EXPECT_EQ(PeriodCount::wrongPeriods.load(), 0) << "always the device's minimum period";
}

TEST(HiResTimer, AChangeOfIntervalStartsThePeriodAfresh) {
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> ticks;
    auto timer = MakeTimer(cmWindow, 800, [&](TObject*) { ticks.push_back(Clock::now()); });
    timer->SetEnabled(true);
    PumpFor(400ms);  // the old period's tick would come about 400 ms from here
    const auto change = Clock::now();
    timer->SetInterval(1000);
    ASSERT_TRUE(WaitFor([&] { return !ticks.empty() && ticks.back() > change; }));
    const auto first = *std::find_if(ticks.begin(), ticks.end(), [&](Clock::time_point t) { return t > change; });
    // A whole new period lies between the change and the next tick.
    EXPECT_GE(first - change, 700ms);
}
