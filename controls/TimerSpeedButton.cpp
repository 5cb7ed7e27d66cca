#include "TimerSpeedButton.h"

namespace sw {

TTimerSpeedButton::TTimerSpeedButton(TComponent* owner) : TSpeedButton(owner) {}

// The timer is an owned component and goes with the button.
TTimerSpeedButton::~TTimerSpeedButton() = default;

void TTimerSpeedButton::SetButtonFlags(TButtonFlags flags) {
    if (flags == flags_) return;
    flags_ = flags;
    Invalidate();
}

void TTimerSpeedButton::Notification(TComponent* component, TOperation operation) {
    TSpeedButton::Notification(component, operation);
    if (operation == TOperation::opRemove && component == repeatTimer_) repeatTimer_ = nullptr;
}

void TTimerSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TSpeedButton::MouseDown(button, shift, x, y);
    if (!(flags_ & AutoRepeat)) return;
    if (!repeatTimer_) repeatTimer_ = new TTimer(this);
    repeatTimer_->SetEnabled(false);
    repeatTimer_->OnTimer = [this](TObject* sender) { RepeatTick(sender); };
    repeatTimer_->SetInterval(kFirstRepeatDelay);
    repeatTimer_->SetEnabled(true);
}

void TTimerSpeedButton::RepeatTick(TObject*) {
    repeatTimer_->SetInterval(kRepeatInterval);
    if (State() == bsDown && MouseCapture()) {
        try {
            Click();
        } catch (...) {
            if (repeatTimer_) repeatTimer_->SetEnabled(false);
            throw;
        }
    }
}

void TTimerSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TSpeedButton::MouseUp(button, shift, x, y);
    if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TTimerSpeedButton::WndProc(TMessage& message) {
    // A cancelled press (lost capture, an error report) repeats no more.
    if (message.Msg == WM_CANCELMODE && repeatTimer_) repeatTimer_->SetEnabled(false);
    TSpeedButton::WndProc(message);
}

void TTimerSpeedButton::Paint() {
    TSpeedButton::Paint();
    if (!(flags_ & ShowFocus)) return;
    RECT r{3, 3, Width() - 3, Height() - 3};
    if (State() == bsDown) ::OffsetRect(&r, 1, 1);
    Canvas().DrawFocusRect(r);
}

}  // namespace sw
