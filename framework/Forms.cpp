#include "Forms.h"

#include "Application.h"

namespace sw {

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetParentFont(false);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-13);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() = default;

void TForm::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TForm";
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.ExStyle = 0;
    params.WndParent = Application ? Application->Handle() : nullptr;
}

void TForm::SetClientSize(int width, int height) {
    RECT r{0, 0, width, height};
    TCreateParams params;
    CreateParams(params);
    ::AdjustWindowRectEx(&r, params.Style, FALSE, params.ExStyle);
    SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TForm::ScaleToScreen() {
    if (scaled_) return;
    scaled_ = true;
    const int screen = ScreenPixelsPerInch();
    if (screen != pixelsPerInch_) ScaleBy(screen, pixelsPerInch_);
}

void TForm::ChangeScale(int m, int d) {
    // The form keeps its place on the screen; its client area and its
    // contents scale.
    const RECT client = ClientRect();
    for (TControl* c : std::vector<TControl*>(Controls())) c->ScaleBy(m, d);
    if (!ParentFont()) Font().SetHeight(::MulDiv(Font().Height(), m, d));
    SetClientSize(::MulDiv(client.right, m, d), ::MulDiv(client.bottom, m, d));
}

void TForm::Loaded() {
    TCustomControl::Loaded();
    ScaleToScreen();
}

void TForm::VisibleChanged() {
    if (Visible()) {
        HWND window = Handle();
        if (position_ == poScreenCenter) {
            const int x = (::GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
            const int y = (::GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
            SetBounds(x, y, Width(), Height());
        }
        ::ShowWindow(window, SW_SHOW);
    } else if (HandleAllocated()) {
        ::ShowWindow(Handle(), SW_HIDE);
    }
}

void TForm::WndProc(TMessage& message) {
    if (message.Msg == WM_CLOSE) {
        // Closing hides the form; its owner decides when it goes.
        Hide();
        message.Result = 0;
        return;
    }
    TCustomControl::WndProc(message);
}

}  // namespace sw
