#include "SpinButton.h"

namespace sw {

TSpinButton::TSpinButton(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetColor(clBtnFace);
    upArrow_ = CreateArrow();
    downArrow_ = CreateArrow();
    SetUpGlyph(nullptr);
    SetDownGlyph(nullptr);
    SetBounds(0, 0, 20, 25);
    activeArrow_ = upArrow_;
}

TSpinButton::~TSpinButton() {
    if (focusControl_) focusControl_->RemoveFreeNotification(this);
}

TTimerSpeedButton* TSpinButton::CreateArrow() {
    auto* arrow = new TTimerSpeedButton(this);
    arrow->SetButtonFlags(AutoRepeat);
    arrow->SetVisible(true);
    arrow->SetEnabled(true);
    arrow->OnClick = [this, arrow](TObject*) { ArrowClick(arrow); };
    arrow->OnMouseDown = [this, arrow](TObject*, TMouseButton button, TShiftState, int, int) {
        ArrowMouseDown(arrow, button);
    };
    arrow->SetParent(this);
    return arrow;
}

void TSpinButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TSpinButton";
}

void TSpinButton::PaintWindow(HDC dc) {
    // The arrows cover the area; anything left shows the face colour.
    RECT r;
    ::GetClientRect(Handle(), &r);
    ::FillRect(dc, &r, Brush().Handle());
}

void TSpinButton::SetUpGlyph(const TBitmap* glyph) {
    if (glyph) {
        upArrow_->SetGlyph(*glyph);
        return;
    }
    TBitmap defaultGlyph;
    defaultGlyph.LoadFromResourceName(::GetModuleHandleA(nullptr), "SpinUp");
    upArrow_->SetGlyph(defaultGlyph);
    upArrow_->SetNumGlyphs(1);
    upArrow_->Repaint();
}

void TSpinButton::SetDownGlyph(const TBitmap* glyph) {
    if (glyph) {
        downArrow_->SetGlyph(*glyph);
        return;
    }
    TBitmap defaultGlyph;
    defaultGlyph.LoadFromResourceName(::GetModuleHandleA(nullptr), "SpinDown");
    downArrow_->SetGlyph(defaultGlyph);
    downArrow_->SetNumGlyphs(1);
    downArrow_->Repaint();
}

void TSpinButton::SetFocusControl(TWinControl* control) {
    if (control == focusControl_) return;
    if (focusControl_) focusControl_->RemoveFreeNotification(this);
    focusControl_ = control;
    if (focusControl_) focusControl_->FreeNotification(this);
}

void TSpinButton::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == focusControl_) focusControl_ = nullptr;
    if (component == upArrow_) upArrow_ = nullptr;
    if (component == downArrow_) downArrow_ = nullptr;
    if (component == activeArrow_) activeArrow_ = nullptr;
}

void TSpinButton::ArrangeArrows(int& width, int& height) {
    if (InState(csLoading) || !upArrow_ || !downArrow_) return;
    if (width < 15) width = 15;
    upArrow_->SetBounds(0, 0, width, height / 2);
    downArrow_->SetBounds(0, upArrow_->Height() - 1, width, height - upArrow_->Height() + 1);
}

void TSpinButton::SetBounds(int left, int top, int width, int height) {
    ArrangeArrows(width, height);
    TWinControl::SetBounds(left, top, width, height);
}

void TSpinButton::Loaded() {
    TWinControl::Loaded();
    int width = Width();
    int height = Height();
    ArrangeArrows(width, height);
    if (width != Width() || height != Height()) TWinControl::SetBounds(Left(), Top(), width, height);
}

void TSpinButton::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_SIZE: {
            TWinControl::WndProc(message);
            int width = Width();
            int height = Height();
            ArrangeArrows(width, height);
            if (width != Width() || height != Height()) TWinControl::SetBounds(Left(), Top(), width, height);
            message.Result = 0;
            return;
        }
        case WM_GETDLGCODE:
            message.Result = DLGC_WANTARROWS;
            return;
        case WM_SETFOCUS:
            TWinControl::WndProc(message);
            if (activeArrow_) {
                activeArrow_->SetButtonFlags(activeArrow_->ButtonFlags() | ShowFocus);
                activeArrow_->Repaint();
            }
            return;
        case WM_KILLFOCUS:
            TWinControl::WndProc(message);
            if (activeArrow_) {
                activeArrow_->SetButtonFlags(activeArrow_->ButtonFlags() & ~ShowFocus);
                activeArrow_->Repaint();
            }
            return;
        case WM_KEYDOWN:
            // Only these keys are handled, and no key event is raised.
            switch (message.WParam) {
                case VK_SPACE:
                    if (activeArrow_) activeArrow_->Click();
                    break;
                case VK_UP:
                    SetActiveArrow(upArrow_);
                    if (upArrow_) upArrow_->Click();
                    break;
                case VK_DOWN:
                    SetActiveArrow(downArrow_);
                    if (downArrow_) downArrow_->Click();
                    break;
                default:
                    break;
            }
            message.Result = 0;
            return;
        default:
            TWinControl::WndProc(message);
    }
}

void TSpinButton::ArrowMouseDown(TTimerSpeedButton* arrow, TMouseButton button) {
    if (button != mbLeft) return;
    SetActiveArrow(arrow);
    if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() && !focusControl_->Focused()) {
        focusControl_->SetFocus();
    } else if (TabStop() && !Focused() && CanFocus()) {
        SetFocus();
    }
}

void TSpinButton::ArrowClick(TTimerSpeedButton* arrow) {
    if (arrow == upArrow_ && OnUpClick) OnUpClick(this);
    if (arrow == downArrow_ && OnDownClick) OnDownClick(this);
}

void TSpinButton::SetActiveArrow(TTimerSpeedButton* arrow) {
    if (!TabStop() || !CanFocus() || arrow == activeArrow_) return;
    if (activeArrow_) activeArrow_->SetButtonFlags(activeArrow_->ButtonFlags() & ~ShowFocus);
    activeArrow_ = arrow;
    if (Focused() && activeArrow_) {
        activeArrow_->SetButtonFlags(activeArrow_->ButtonFlags() | ShowFocus);
        Repaint();
    }
}

}  // namespace sw
