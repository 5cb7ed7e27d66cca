#include "Button.h"

namespace sw {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    // The system button captures the mouse and reports the click itself.
    SetControlStyle(csDoubleClicks);
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
    SetParentColor(true);
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SystemClassName = "BUTTON";
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
    if (value == default_) return;
    default_ = value;
    if (HandleAllocated()) ::SendMessageA(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::WndProc(TMessage& message) {
    if (message.Msg == CN_COMMAND) {
        if (HIWORD(message.WParam) == BN_CLICKED) Click();
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

}  // namespace sw
