#include "SpinEdit.h"

#include <algorithm>

#include "ControlRules.h"
#include "framework/StrUtils.h"

namespace sw {

namespace {

char UserDecimalSeparator() {
    char buffer[8] = {};
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 0 && buffer[0])
        return buffer[0];
    return '.';
}

}  // namespace

TSpinEdit::TSpinEdit(TComponent* owner) : TCustomEdit(owner) {
    arrows_ = new TSpinButton(this);
    arrows_->SetBounds(0, 0, 15, 17);
    arrows_->SetVisible(true);
    arrows_->SetParent(this);
    arrows_->SetFocusControl(this);
    arrows_->OnUpClick = [this](TObject*) { StepUp(); };
    arrows_->OnDownClick = [this](TObject*) { StepDown(); };
    SetText("0");
    increment_ = 1;
    editorEnabled_ = true;
}

TSpinEdit::~TSpinEdit() = default;

void TSpinEdit::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    // The edit honours a formatting rectangle only as a multi-line edit.
    params.Style |= ES_MULTILINE | WS_CLIPCHILDREN;
    params.Style &= ~ES_AUTOVSCROLL;
}

void TSpinEdit::CreatedWnd() {
    TCustomEdit::CreatedWnd();
    // As after any size change: at least the minimum height, arrows in
    // place, text kept clear of them.
    const RECT client = ClientRect();
    Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

int32_t TSpinEdit::ClampToRange(int32_t value) const { return controls::ClampToRange(value, minValue_, maxValue_); }

int32_t TSpinEdit::Value() { return controls::SpinValueOf(Text(), minValue_); }

void TSpinEdit::SetValue(int32_t value) {
    const std::string text = IntToStr(ClampToRange(value));
    if (changeDepth_ == 0 || !HandleAllocated()) {
        SetText(text);
        return;
    }
    // Written back while the text changes: where the caret goes follows
    // what was rewritten, not the edit's habit of putting it at the start.
    const std::string before = Text();
    if (text == before) return;
    DWORD end = 0;
    ::SendMessageA(Handle(), EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    SetText(text);
    const controls::SelectionRange selection =
        controls::SelectionAfterRewrite(before, Text(), static_cast<int32_t>(end));
    SetSelection(selection.start, selection.end - selection.start);
}

void TSpinEdit::Change() {
    ++changeDepth_;
    try {
        TCustomEdit::Change();
    } catch (...) {
        --changeDepth_;
        throw;
    }
    --changeDepth_;
}

bool TSpinEdit::IsAcceptedChar(char key) {
    return controls::IsAcceptedSpinChar(key, UserDecimalSeparator(), editorEnabled_);
}

void TSpinEdit::StepUp() {
    if (ReadOnly()) {
        DefaultBeep();
        return;
    }
    SetValue(controls::WrappingAdd(Value(), increment_));
}

void TSpinEdit::StepDown() {
    if (ReadOnly()) {
        DefaultBeep();
        return;
    }
    SetValue(controls::WrappingAdd(Value(), static_cast<int32_t>(0u - static_cast<uint32_t>(increment_))));
}

void TSpinEdit::KeyDown(WORD& key, TShiftState shift) {
    if (key == VK_UP)
        StepUp();
    else if (key == VK_DOWN)
        StepDown();
    TCustomEdit::KeyDown(key, shift);
    // The edit deletes on Delete and pastes on Shift+Insert by itself.
    if (!editorEnabled_ && (key == VK_DELETE || (key == VK_INSERT && (shift & ssShift)))) key = 0;
}

void TSpinEdit::KeyPress(char& key) {
    if (!IsAcceptedChar(key)) {
        key = 0;
        DefaultBeep();
    }
    if (key != 0) TCustomEdit::KeyPress(key);
}

void TSpinEdit::DoEnter() {
    if (AutoSelect() && !(ControlState() & csLButtonDown)) SelectAll();
    TWinControl::DoEnter();
}

void TSpinEdit::DoExit() {
    TCustomEdit::DoExit();
    const int32_t value = Value();
    if (ClampToRange(value) != value) SetValue(value);
}

int TSpinEdit::MinimumHeight() {
    WindowDC screen(nullptr);
    TEXTMETRICA system{};
    TEXTMETRICA own{};
    ::GetTextMetricsA(screen.Get(), &system);
    {
        SelectedObject font(screen.Get(), Font().Handle());
        ::GetTextMetricsA(screen.Get(), &own);
    }
    const int hf = own.tmHeight;
    const int hs = system.tmHeight;
    return hf + std::min(hs, hf) / 4 + 4 * ::GetSystemMetrics(SM_CYBORDER) + 2;
}

void TSpinEdit::PlaceArrows() {
    const int w = Width();
    const int h = Height();
    const int aw = arrows_->Width();
    if (Ctl3D())
        arrows_->SetBounds(w - aw - 5, 0, aw, h - 5);
    else
        arrows_->SetBounds(w - aw, 1, aw, h - 3);
}

void TSpinEdit::LayoutTextArea() {
    if (!HandleAllocated()) return;
    const RECT client = ClientRect();
    RECT r{0, 0, client.right - arrows_->Width() - 2, client.bottom + 1};
    ::SendMessageA(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TSpinEdit::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_SIZE: {
            TCustomEdit::WndProc(message);
            const int minimum = MinimumHeight();
            if (Height() < minimum) {
                SetHeight(minimum);  // sizes the control again
                return;
            }
            PlaceArrows();
            LayoutTextArea();
            return;
        }
        case WM_PASTE:
        case WM_CUT:
            // Dropped without a sound when the text may not be edited.
            if (EditorEnabled() && !ReadOnly()) TCustomEdit::WndProc(message);
            return;
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
            // Also from the edit's context menu: only stepping changes the
            // text while the editor is disabled.
            if (EditorEnabled()) TCustomEdit::WndProc(message);
            return;
        default:
            TCustomEdit::WndProc(message);
    }
}

}  // namespace sw
