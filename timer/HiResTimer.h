// The high-resolution periodic timer: a multimedia timer event calls the
// component back every Interval milliseconds, at the finest period that the
// timer device offers, and each tick reaches OnTimer in one of three ways:
// as a message to a hidden tick window (cmWindow), directly on the
// multimedia service's thread (cmCallback), or through a tick thread of the
// component that by default hands the tick to the main thread and waits
// until the handler has run there (cmThread).
//
// Every change of CallBackMode, Enabled, Interval or OnTimer stops whatever
// runs and starts afresh; Priority applies to a running tick thread in place.
// Setters are called on the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "framework/Component.h"
#include "framework/Exceptions.h"
#include "framework/Thread.h"

namespace sw {

enum TCallbackMode : uint8_t { cmWindow, cmCallback, cmThread };

class EHiResTimerError : public Exception {
    using Exception::Exception;
};

// Base of the high-resolution components. The designing-flag pair of the
// framework's component (SetDesigning, UpdateDesigning) is the one that the
// timer overrides.
class THiResComponent : public TComponent {
public:
    using TComponent::TComponent;
};

class THiResNonVisualComponent : public THiResComponent {
public:
    using THiResComponent::THiResComponent;
};

class THiResThread : public TThread {
public:
    using TThread::TThread;
};

class THiResTimer;

namespace hires {

// Whether the system is Windows 95, decided once when the program starts.
// Only there are ticks delivered on the multimedia service's own thread.
extern bool SystemIsWindows95;

// The calls that raise and lower the system timer resolution (winmm's
// timeBeginPeriod and timeEndPeriod); tests count them.
using TPeriodCall = UINT(WINAPI*)(UINT period);
extern TPeriodCall BeginPeriod;
extern TPeriodCall EndPeriod;

// The state that one tick thread shares with its timer. It lives as long as
// either side holds it, so a thread that has been detached, or that ended
// after an error, never touches closed events or a destroyed component.
struct TTickLink;
// One run of the multimedia timer event, as its callback finds it.
struct TRun;
// The component as seen from other threads: cleared when destruction begins.
struct TLife;

}  // namespace hires

class THiResTimerThread : public THiResThread {
public:
    // Created suspended; the timer resumes it.
    explicit THiResTimerThread(std::shared_ptr<hires::TTickLink> link);

    // The owning timer, or none once the thread has been detached.
    THiResTimer* OwnerTimer() const;
    bool StopRequested() const;

protected:
    void Execute() override;

private:
    bool Attached() const;
    // Ends the thread's tie to its timer: the timer no longer refers to the
    // thread, and a still attached timer gets the end acknowledgement.
    void Acknowledge();

    std::shared_ptr<hires::TTickLink> link_;
};

class THiResTimer : public THiResNonVisualComponent {
public:
    explicit THiResTimer(TComponent* owner);
    ~THiResTimer() override;

    TCallbackMode CallBackMode() const { return callBackMode_; }
    void SetCallBackMode(TCallbackMode mode);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    int32_t Interval() const { return interval_; }
    void SetInterval(int32_t milliseconds);
    TNotifyEvent OnTimer() const;
    void SetOnTimer(TNotifyEvent handler);
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);
    bool Synchronize() const { return synchronize_; }
    void SetSynchronize(bool value) { synchronize_ = value; }
    bool WaitForTerminate() const { return waitForTerminate_; }
    void SetWaitForTerminate(bool value) { waitForTerminate_ = value; }

    // The running state, read-only (diagnostics and tests).
    UINT TimerID() const { return timerId_; }
    HWND TickWindow() const;
    int32_t PendingMessages() const;
    bool ThreadRunning() const { return threadRunning_; }
    bool InSynchronize() const;
    // The Windows identifier of the attached tick thread; 0 when none.
    DWORD TickThreadID() const;

protected:
    // Calls OnTimer with the timer as sender if it is assigned and Enabled.
    virtual void DoTimer();
    void UpdateDesigning(bool value) override;

private:
    friend class THiResTimerThread;

    void RestartTimer();
    void StopTickThread();
    void StopTimerEvent();
    void StartTickThread();
    bool HasHandler() const;

    static void CALLBACK TimeCallBack(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    static LRESULT CALLBACK TickWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Hands one tick to DoTimer: through the main thread when the tick
    // thread is synchronised, otherwise on the calling thread.
    static void DeliverTick(const std::shared_ptr<hires::TLife>& life, hires::TTickLink* link);
    // DoTimer on a thread other than the main thread, while the component
    // is alive; destruction waits for it.
    static void DoTimerElsewhere(const std::shared_ptr<hires::TLife>& life);

    std::atomic<TCallbackMode> callBackMode_{cmWindow};
    std::atomic<bool> enabled_{true};
    int32_t interval_ = 1000;
    mutable std::mutex handlerLock_;  // OnTimer is copied on other threads
    TNotifyEvent onTimer_;
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<bool> synchronize_{true};
    bool waitForTerminate_ = false;

    UINT timerId_ = 0;
    bool threadRunning_ = false;
    std::shared_ptr<hires::TTickLink> link_;  // the current tick thread's
    std::shared_ptr<hires::TRun> run_;        // the current timer event's
    DWORD_PTR runKey_ = 0;                    // the callback's key to run_
    std::shared_ptr<hires::TLife> life_;
};

}  // namespace sw
