#include "Timer.h"

#include "Application.h"
#include "Exceptions.h"
#include "MessageWindow.h"
#include "Texts.h"

namespace sw {

namespace {

constexpr char kWindowClass[] = "TTimerWindow";

}  // namespace

TTimer::TTimer(TComponent* owner)
    : TComponent(owner), window_(NewMessageWindow(kWindowClass, StaticWndProc, this)) {}

TTimer::~TTimer() {
    if (running_) ::KillTimer(window_.Get(), running_);
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (running_) {
        ::KillTimer(window_.Get(), running_);
        running_ = 0;
    }
    if (!enabled_ || interval_ == 0) return;
    const UINT_PTR id = ++lastId_;
    if (!::SetTimer(window_.Get(), id, interval_, nullptr)) throw EOutOfResources(texts::OutOfTimers);
    running_ = id;
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

LRESULT CALLBACK TTimer::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TTimer*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_TIMER || !self) return ::DefWindowProcA(window, message, wParam, lParam);
    // Only the running timer's own ticks count.
    if (wParam == 0 || wParam != self->running_) return 0;
    return GuardedWndProc(self, [&]() -> LRESULT {
        self->Timer();
        return 0;
    });
}

}  // namespace sw
