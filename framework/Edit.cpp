#include "Edit.h"

#include <algorithm>

namespace sw {

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 121, 25);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SystemClassName = "EDIT";
    params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    if (readOnly_) params.Style |= ES_READONLY;
    if (Ctl3D())
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.Style |= WS_BORDER;
}

void TEdit::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    params.Unicode = true;
}

TMemo::TMemo(TComponent* owner) : TEdit(owner) { SetAutoSize(false); }

void TMemo::CreateParams(TCreateParams& params) {
    TEdit::CreateParams(params);
    params.Style |= ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL;
}

void TCustomEdit::CreatedWnd() {
    TWinControl::CreatedWnd();
    if (maxLength_ > 0) ::SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
    AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
    if (!autoSize_ || !HandleAllocated()) return;
    // Height of the font plus the border and the edit's inner margins.
    WindowDC screen(nullptr);
    TEXTMETRICA metrics{};
    {
        SelectedObject font(screen.Get(), Font().Handle());
        ::GetTextMetricsA(screen.Get(), &metrics);
    }
    const int margins = ::GetSystemMetrics(SM_CYBORDER) * (Ctl3D() ? 8 : 6);
    SetHeight(metrics.tmHeight + margins);
}

void TCustomEdit::SetAutoSize(bool value) {
    if (value == autoSize_) return;
    autoSize_ = value;
    AdjustHeight();
}

void TCustomEdit::SetMaxLength(int value) {
    maxLength_ = value < 0 ? 0 : value;
    if (HandleAllocated()) ::SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetReadOnly(bool value) {
    readOnly_ = value;
    if (HandleAllocated()) ::SendMessageA(Handle(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

std::u16string TCustomEdit::WideText() {
    HWND window = Handle();
    const int length = ::GetWindowTextLengthW(window);
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<size_t>(std::max(0, copied)));
    return text;
}

void TCustomEdit::SetWideText(const std::u16string& text) {
    if (WideText() == text) return;
    settingText_ = true;
    ::SetWindowTextW(Handle(), reinterpret_cast<const wchar_t*>(text.c_str()));
    settingText_ = false;
    TextChanged();
}

void TCustomEdit::SelectAll() {
    if (HandleAllocated()) ::SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

int TCustomEdit::SelStart() {
    DWORD start = 0;
    if (HandleAllocated()) ::SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

int TCustomEdit::SelLength() {
    DWORD start = 0;
    DWORD end = 0;
    if (HandleAllocated())
        ::SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomEdit::SetSelection(int start, int length) {
    if (HandleAllocated()) ::SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start + length);
}

void TCustomEdit::ApplyText(const std::string& text) {
    // Whether the edit reports a programmatic change itself differs between
    // styles (a multi-line edit does not); TextChanged reports it once.
    settingText_ = true;
    try {
        TWinControl::ApplyText(text);
    } catch (...) {
        settingText_ = false;
        throw;
    }
    settingText_ = false;
}

void TCustomEdit::TextChanged() { Change(); }

void TCustomEdit::FontChanged() {
    TWinControl::FontChanged();
    AdjustHeight();
}

void TCustomEdit::DoEnter() {
    if (autoSelect_ && !(ControlState() & csLButtonDown) && HandleAllocated() &&
        !(::GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE))
        SelectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& message) {
    if (message.Msg == CN_COMMAND && HIWORD(message.WParam) == EN_CHANGE) {
        if (!settingText_) Change();
        return;
    }
    TWinControl::WndProc(message);
}

}  // namespace sw
