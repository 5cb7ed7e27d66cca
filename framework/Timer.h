// A message-driven timer on the thread that creates it: WM_TIMER on a hidden
// window of its own. Every start uses a new timer number and the window goes
// with the timer, so a tick that was queued before the timer stopped or went
// away reaches nothing.
#pragma once

#include <windows.h>

#include "Component.h"
#include "Handles.h"

namespace sw {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds; 0 stops the timer.
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned value);

    TNotifyEvent OnTimer;

    // The hidden window and the number of the running timer (0 when it does
    // not run): where WM_TIMER arrives.
    HWND Handle() const { return window_.Get(); }
    UINT_PTR TimerId() const { return running_; }

protected:
    virtual void Timer();

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void UpdateTimer();

    WindowHandle window_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    UINT_PTR running_ = 0;
    UINT_PTR lastId_ = 0;
};

}  // namespace sw
