#include "HiResTimer.h"

#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <unordered_map>
#include <vector>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Synchronize.h"
#include "framework/Texts.h"

namespace sw {

namespace {

// The bound of both waits for the tick thread's acknowledgement.
constexpr DWORD kAckTimeout = 5000;
// The most tick messages that wait in the tick window's queue.
constexpr int32_t kMaxPendingMessages = 10;
// The tick message; wParam is the multimedia timer event's identifier.
constexpr UINT kTickMessage = WM_APP + 10;

constexpr char kTickWindowClass[] = "THiResTimerTick";
constexpr const char* kThreadError = "HiResTimer:\n\rCould not create thread";
constexpr const char* kWindowError = "HiResTimer:\n\rCould not create window";
constexpr const char* kCallbackRefused =
    "\"CallBacks\" are called at interrupt time !\n\rThis is currently only supported under Windows 95";

bool DetectWindows95() {
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMajorVersion == 4 && info.dwMinorVersion == 0;
}

UINT MinimumPeriod() {
    TIMECAPS caps{};
    ::timeGetDevCaps(&caps, sizeof caps);
    return caps.wPeriodMin;
}

}  // namespace

namespace hires {

bool SystemIsWindows95 = DetectWindows95();

TPeriodCall BeginPeriod = ::timeBeginPeriod;
TPeriodCall EndPeriod = ::timeEndPeriod;

struct TLife {
    std::mutex Lock;
    std::condition_variable Idle;
    THiResTimer* Timer = nullptr;  // none once destruction has begun
    // Threads other than the main thread that run DoTimer right now.
    std::vector<DWORD> BusyThreads;
};

struct TTickLink {
    KernelHandle AckEvent;
    KernelHandle TickEvent;
    std::shared_ptr<TLife> Life;
    std::mutex Lock;
    // Written under Lock; the component is only used under Lock.
    std::atomic<THiResTimer*> OwnerTimer{nullptr};
    // Under Lock; none once the thread has let go of its timer.
    THiResTimerThread* TickThread = nullptr;
    std::atomic<bool> StopRequested{false};
    // Set under Lock, so that a stop either sees it or the tick is dropped.
    std::atomic<bool> InSynchronize{false};
};

struct TRun : std::enable_shared_from_this<TRun> {
    TCallbackMode Mode = cmWindow;
    THiResTimer* Owner = nullptr;  // main thread only; none once stopped
    std::shared_ptr<TLife> Life;
    std::shared_ptr<TTickLink> Link;  // cmThread
    WindowHandle TickWindow;          // cmWindow; destroyed by the stop
    std::atomic<int32_t> PendingMessages{0};
};

namespace {

// The runs that the multimedia callback may serve, by the key that it is
// given instead of a pointer. A stop removes its run first: a callback still
// in flight for a killed timer event then finds nothing and touches nothing.
struct TRunTable {
    std::mutex Lock;
    std::unordered_map<DWORD_PTR, std::shared_ptr<TRun>> Runs;
    DWORD_PTR LastKey = 0;
};

TRunTable& RunTable() {
    // Never destroyed: a late callback while the program ends still finds it.
    static auto* table = new TRunTable;
    return *table;
}

DWORD_PTR RegisterRun(std::shared_ptr<TRun> run) {
    TRunTable& table = RunTable();
    std::lock_guard lock(table.Lock);
    do {
        ++table.LastKey;
    } while (table.LastKey == 0 || table.Runs.count(table.LastKey));
    table.Runs.emplace(table.LastKey, std::move(run));
    return table.LastKey;
}

void UnregisterRun(DWORD_PTR key) {
    std::shared_ptr<TRun> run;  // released outside the lock
    TRunTable& table = RunTable();
    std::lock_guard lock(table.Lock);
    if (auto it = table.Runs.find(key); it != table.Runs.end()) {
        run = std::move(it->second);
        table.Runs.erase(it);
    }
}

}  // namespace

}  // namespace hires

using hires::TLife;
using hires::TRun;
using hires::TTickLink;

// ---------------------------------------------------------------------------
// Tick thread

THiResTimerThread::THiResTimerThread(std::shared_ptr<TTickLink> link) : link_(std::move(link)) {}

THiResTimer* THiResTimerThread::OwnerTimer() const { return link_->OwnerTimer; }

bool THiResTimerThread::StopRequested() const { return link_->StopRequested; }

bool THiResTimerThread::Attached() const {
    return !Terminated() && !link_->StopRequested && link_->OwnerTimer != nullptr;
}

void THiResTimerThread::Acknowledge() {
    TTickLink& link = *link_;
    std::lock_guard lock(link.Lock);
    link.TickThread = nullptr;
    if (link.OwnerTimer) {
        link.OwnerTimer = nullptr;
        ::SetEvent(link.AckEvent.Get());
    }
}

void THiResTimerThread::Execute() {
    TTickLink& link = *link_;
    try {
        {
            std::lock_guard lock(link.Lock);
            THiResTimer* owner = link.OwnerTimer;
            if (!owner) {
                link.TickThread = nullptr;
                return;
            }
            ::SetThreadPriority(::GetCurrentThread(), WindowsThreadPriority(owner->priority_));
        }
        ::SetEvent(link.AckEvent.Get());  // the start is acknowledged
        while (Attached()) {
            ::WaitForSingleObject(link.TickEvent.Get(), INFINITE);
            if (Attached()) THiResTimer::DeliverTick(link.Life, &link);
        }
    } catch (...) {
        // The timer must know at once that this thread has ended, so that
        // its next stop neither waits for it nor touches it.
        Acknowledge();
        throw;
    }
    Acknowledge();
}

// ---------------------------------------------------------------------------
// Timer

THiResTimer::THiResTimer(TComponent* owner) : THiResNonVisualComponent(owner), life_(std::make_shared<TLife>()) {
    life_->Timer = this;
}

THiResTimer::~THiResTimer() {
    {
        std::lock_guard lock(handlerLock_);
        onTimer_ = nullptr;
    }
    enabled_ = false;
    try {
        RestartTimer();
    } catch (...) {
        // Stopping raises nothing that a destroyed component could act on.
    }
    // No delivery starts from now on; one that runs on another thread is
    // waited for, unless it is the one that destroys the component.
    const DWORD self = ::GetCurrentThreadId();
    std::unique_lock lock(life_->Lock);
    life_->Timer = nullptr;
    auto othersBusy = [&] {
        return std::any_of(life_->BusyThreads.begin(), life_->BusyThreads.end(),
                           [self](DWORD id) { return id != self; });
    };
    while (othersBusy()) {
        lock.unlock();
        // A handler that waits for the main thread can finish meanwhile.
        CheckSynchronize();
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        lock.lock();
        life_->Idle.wait_for(lock, std::chrono::milliseconds(10));
    }
}

void THiResTimer::SetCallBackMode(TCallbackMode mode) {
    if (mode == callBackMode_) return;
    if (mode == cmCallback && !hires::SystemIsWindows95) {
        ::MessageBoxA(Application ? Application->Handle() : nullptr, kCallbackRefused, "THiResTimer", MB_OK);
        return;
    }
    callBackMode_ = mode;
    RestartTimer();
}

void THiResTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    RestartTimer();
}

void THiResTimer::SetInterval(int32_t milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    RestartTimer();
}

TNotifyEvent THiResTimer::OnTimer() const {
    std::lock_guard lock(handlerLock_);
    return onTimer_;
}

void THiResTimer::SetOnTimer(TNotifyEvent handler) {
    {
        std::lock_guard lock(handlerLock_);
        onTimer_ = std::move(handler);
    }
    RestartTimer();
}

bool THiResTimer::HasHandler() const {
    std::lock_guard lock(handlerLock_);
    return static_cast<bool>(onTimer_);
}

void THiResTimer::SetPriority(TThreadPriority priority) {
    if (priority == priority_) return;
    priority_ = priority;
    if (!threadRunning_ || !link_) return;
    std::lock_guard lock(link_->Lock);
    if (THiResTimerThread* thread = link_->TickThread) thread->SetPriority(priority);
}

HWND THiResTimer::TickWindow() const { return run_ ? run_->TickWindow.Get() : nullptr; }

int32_t THiResTimer::PendingMessages() const { return run_ ? run_->PendingMessages.load() : 0; }

bool THiResTimer::InSynchronize() const { return link_ && link_->InSynchronize; }

DWORD THiResTimer::TickThreadID() const {
    if (!link_) return 0;
    std::lock_guard lock(link_->Lock);
    return link_->TickThread ? link_->TickThread->ThreadID() : 0;
}

void THiResTimer::DoTimer() {
    // A copy, so that a handler that replaces OnTimer or destroys the
    // component does not destroy the handler while it runs.
    const TNotifyEvent handler = OnTimer();
    if (handler && enabled_) handler(this);
}

void THiResTimer::UpdateDesigning(bool value) {
    THiResNonVisualComponent::UpdateDesigning(value);
    RestartTimer();
}

void THiResTimer::RestartTimer() {
    // A run always stops, also when the component enters its designing
    // state: nothing runs inside a designer, and a destroyed component must
    // leave nothing running behind.
    StopTickThread();
    StopTimerEvent();
    if (InState(csDesigning)) return;
    if (interval_ == 0 || !enabled_ || !HasHandler()) return;

    auto run = std::make_shared<TRun>();
    run->Mode = callBackMode_;
    run->Owner = this;
    run->Life = life_;
    switch (run->Mode) {
        case cmWindow: {
            static const ATOM registered = [] {
                WNDCLASSA wc{};
                wc.lpfnWndProc = TickWindowProc;
                wc.hInstance = ::GetModuleHandleA(nullptr);
                wc.lpszClassName = kTickWindowClass;
                return ::RegisterClassA(&wc);
            }();
            (void)registered;
            run->TickWindow.Attach(::CreateWindowExA(0, kTickWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                     ::GetModuleHandleA(nullptr), run.get()));
            if (!run->TickWindow) throw EHiResTimerError(kWindowError);
            break;
        }
        case cmThread:
            StartTickThread();
            run->Link = link_;
            break;
        case cmCallback:
            break;
    }

    const UINT period = MinimumPeriod();
    hires::BeginPeriod(period);
    const DWORD_PTR key = hires::RegisterRun(run);
    // The delay goes unchanged to the service, which refuses one outside the
    // device's range (a negative Interval becomes a huge delay).
    const MMRESULT id = ::timeSetEvent(static_cast<UINT>(interval_), 0, TimeCallBack, key,
                                       TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (id == 0) {
        hires::UnregisterRun(key);
        hires::EndPeriod(period);
        if (run->TickWindow) {
            ::SetWindowLongPtrA(run->TickWindow.Get(), GWLP_USERDATA, 0);
            run->TickWindow.Close();
        }
        // A tick thread started above stays until the next stop.
        throw EOutOfResources(texts::OutOfTimers);
    }
    timerId_ = id;
    run_ = std::move(run);
    runKey_ = key;
}

void THiResTimer::StartTickThread() {
    auto link = std::make_shared<TTickLink>();
    link->AckEvent.Attach(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    link->TickEvent.Attach(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!link->AckEvent || !link->TickEvent) throw EHiResTimerError(kThreadError);
    link->Life = life_;
    // The thread class raises its own error when the system refuses a thread.
    auto* thread = new THiResTimerThread(link);
    thread->SetFreeOnTerminate(true);
    {
        std::lock_guard lock(link->Lock);
        link->OwnerTimer = this;
        link->TickThread = thread;
    }
    link_ = link;
    threadRunning_ = true;
    thread->Resume();
    // The new thread needs nothing of the main thread for this.
    if (::WaitForSingleObject(link->AckEvent.Get(), kAckTimeout) != WAIT_OBJECT_0)
        throw EHiResTimerError(kThreadError);
}

void THiResTimer::StopTickThread() {
    if (!threadRunning_) return;
    // The events close when the thread has let go of them too.
    const std::shared_ptr<TTickLink> link = std::move(link_);
    threadRunning_ = false;
    bool wait = false;
    {
        std::lock_guard lock(link->Lock);
        link->StopRequested = true;
        // None when the thread has already ended, after an error too.
        if (THiResTimerThread* thread = link->TickThread) {
            while (thread->Suspended()) {
                try {
                    thread->Resume();
                } catch (const EThread&) {
                    break;  // the system refuses: the terminated flag below still ends it
                }
            }
            thread->Terminate();
            // No wait for a thread that waits for the main thread (it can go on
            // only after this stop) or for the thread that stops itself.
            wait = waitForTerminate_ && !link->InSynchronize && thread->ThreadID() != ::GetCurrentThreadId();
        }
    }
    ::SetEvent(link->TickEvent.Get());
    if (wait) ::WaitForSingleObject(link->AckEvent.Get(), kAckTimeout);
    std::lock_guard lock(link->Lock);
    link->OwnerTimer = nullptr;  // detached, if it has not let go itself
    link->TickThread = nullptr;
}

void THiResTimer::StopTimerEvent() {
    if (timerId_ == 0) return;
    hires::UnregisterRun(runKey_);
    runKey_ = 0;
    ::timeKillEvent(timerId_);
    timerId_ = 0;
    const std::shared_ptr<TRun> run = std::move(run_);
    run->Owner = nullptr;
    if (const HWND window = run->TickWindow.Get()) {
        // Nothing posts to the window any more: remove what waits.
        MSG msg;
        while (::PeekMessageA(&msg, window, kTickMessage, kTickMessage, PM_REMOVE)) {
        }
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        run->TickWindow.Close();
        run->PendingMessages = 0;
    }
    hires::EndPeriod(MinimumPeriod());
}

void CALLBACK THiResTimer::TimeCallBack(UINT timerId, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    try {
        if (user == 0) return;
        std::shared_ptr<TRun> direct;
        {
            hires::TRunTable& table = hires::RunTable();
            std::lock_guard lock(table.Lock);
            const auto it = table.Runs.find(user);
            if (it == table.Runs.end()) return;  // the run has stopped
            TRun& run = *it->second;
            switch (run.Mode) {
                case cmWindow:
                    // A blocked message loop gets at most this many ticks queued.
                    if (run.PendingMessages < kMaxPendingMessages) {
                        ++run.PendingMessages;
                        if (!::PostMessageA(run.TickWindow.Get(), kTickMessage, timerId, 0)) --run.PendingMessages;
                    }
                    break;
                case cmThread:
                    ::SetEvent(run.Link->TickEvent.Get());
                    break;
                case cmCallback:
                    direct = it->second;  // delivered outside the lock
                    break;
            }
        }
        if (direct) DeliverTick(direct->Life, nullptr);
    } catch (...) {
        if (Application) Application->HandleException(nullptr);
    }
}

LRESULT CALLBACK THiResTimer::TickWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* run = reinterpret_cast<TRun*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    // A message of an earlier timer event is not a tick.
    if (message != kTickMessage || !run || !run->Owner || static_cast<UINT>(wParam) != run->Owner->timerId_)
        return ::DefWindowProcA(window, message, wParam, lParam);
    // The handler may stop the timer, which destroys this window, or destroy
    // the component; the run stays until the count is down.
    const std::shared_ptr<TRun> keep = run->shared_from_this();
    THiResTimer* timer = run->Owner;
    return GuardedWndProc(timer, [&]() -> LRESULT {
        struct Handled {
            TRun& run;
            ~Handled() { --run.PendingMessages; }
        } handled{*keep};
        timer->DoTimer();
        return 0;
    });
}

void THiResTimer::DeliverTick(const std::shared_ptr<TLife>& life, TTickLink* link) {
    if (link) {
        bool synchronised = false;
        {
            std::lock_guard lock(link->Lock);
            THiResTimer* owner = link->OwnerTimer;
            if (!owner || link->StopRequested) return;  // stopped meanwhile: the tick is dropped
            synchronised = owner->synchronize_;
            if (synchronised) link->InSynchronize = true;
        }
        if (synchronised) {
            struct Done {
                TTickLink& link;
                ~Done() { link.InSynchronize = false; }
            } done{*link};
            // Runs on the main thread, where the component is destroyed: a
            // tick that waited there while it went is dropped.
            sw::Synchronize([&life] {
                if (THiResTimer* timer = life->Timer) timer->DoTimer();
            });
            return;
        }
    }
    DoTimerElsewhere(life);
}

void THiResTimer::DoTimerElsewhere(const std::shared_ptr<TLife>& life) {
    const DWORD self = ::GetCurrentThreadId();
    THiResTimer* timer = nullptr;
    {
        std::lock_guard lock(life->Lock);
        timer = life->Timer;
        if (!timer) return;
        life->BusyThreads.push_back(self);
    }
    struct Done {
        TLife& life;
        DWORD self;
        ~Done() {
            {
                std::lock_guard lock(life.Lock);
                auto& busy = life.BusyThreads;
                busy.erase(std::find(busy.begin(), busy.end(), self));
            }
            life.Idle.notify_all();
        }
    } done{*life, self};
    timer->DoTimer();
}

}  // namespace sw
