#include "CheckBox.h"

namespace sw {

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    // The system button captures the mouse and reports the click itself.
    SetControlStyle(csDoubleClicks);
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
    SetParentColor(true);
}

void TCheckBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SystemClassName = "BUTTON";
    // Not an automatic check box: the state changes only through SetChecked,
    // so that every change raises OnClick exactly once.
    params.Style |= BS_CHECKBOX;
    if (alignment_ == taLeftJustify) params.Style |= BS_LEFTTEXT;
}

void TCheckBox::CreatedWnd() {
    TWinControl::CreatedWnd();
    ::SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool value) {
    if (value == checked_) return;
    checked_ = value;
    if (HandleAllocated()) ::SendMessageA(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!InState(csLoading)) Click();
}

void TCheckBox::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    RecreateWnd();
}

void TCheckBox::WndProc(TMessage& message) {
    if (message.Msg == CN_COMMAND) {
        if (HIWORD(message.WParam) == BN_CLICKED) SetChecked(!checked_);
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

}  // namespace sw
