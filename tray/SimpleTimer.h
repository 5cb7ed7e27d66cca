// Small periodic timers on window timers. All timers of the process share one
// hidden window that receives their WM_TIMER messages and calls the handler
// of the timer concerned.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/Component.h"

namespace sw {

class TSimpleTimer : public TObject {
public:
    TSimpleTimer();  // 1000 ms, no handler
    TSimpleTimer(uint32_t interval, TNotifyEvent onElapsed);
    ~TSimpleTimer() override;

    // Arms the timer, restarting a running period. False when the interval is
    // 0 or the window timer can't be set; the timer then stays stopped.
    bool Start();
    // Disarms the window timer; clearRunning also marks the timer stopped.
    bool Stop(bool clearRunning);

    bool Running() const { return running_; }
    void SetRunning(bool value);
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t value);
    const TNotifyEvent& OnElapsed() const { return onElapsed_; }
    void SetOnElapsed(TNotifyEvent handler);

    UINT_PTR TimerId() const { return timerId_; }

private:
    UINT_PTR timerId_;
    bool running_ = false;
    uint32_t interval_;
    TNotifyEvent onElapsed_;
};

// The hidden window shared by all simple timers; it exists while at least one
// timer does.
class TSimpleTimerHandler {
public:
    static HWND Window();  // null while no timer exists
};

}  // namespace sw
