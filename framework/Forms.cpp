#include "Forms.h"

#include <algorithm>

#include "Application.h"

namespace sw {

namespace {

void AddInKeyboardOrder(const TWinControl& container, std::vector<TWinControl*>& list) {
    for (TWinControl* control : container.TabList()) {
        list.push_back(control);
        AddInKeyboardOrder(*control, list);
    }
}

bool TakesTab(const TWinControl* control) {
    return control->TabStop() && control->CanFocus() && control->HandleAllocated() &&
           ::IsWindowEnabled(const_cast<TWinControl*>(control)->Handle());
}

}  // namespace

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetParentFont(false);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-13);
    SetBounds(0, 0, 320, 240);
    icon_.OnChange = [this](TObject*) { ApplyIcon(); };
    if (Application) Application->AddForm(this);
}

TForm::~TForm() {
    if (Application) Application->RemoveForm(this);
}

bool TForm::IsMainForm() const { return Application && Application->MainForm() == this; }

void TForm::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TForm";
    // Shown by VisibleChanged, in the form's window state.
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.ExStyle = formStyle_ == fsStayOnTop ? WS_EX_TOPMOST : 0;
    params.WndParent = Application ? Application->Handle() : nullptr;
}

void TForm::CreatedWnd() {
    TCustomControl::CreatedWnd();
    ApplyIcon();
}

void TForm::ApplyIcon() {
    if (!HandleAllocated()) return;
    const auto icon = reinterpret_cast<LPARAM>(icon_.Handle());
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, icon);
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, icon);
}

RECT TForm::ClientRect() const {
    if (HandleAllocated()) return TCustomControl::ClientRect();
    RECT frame{0, 0, 0, 0};
    TCreateParams params;
    const_cast<TForm*>(this)->CreateParams(params);
    ::AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    return RECT{0, 0, std::max(0, Width() - static_cast<int>(frame.right - frame.left)),
                std::max(0, Height() - static_cast<int>(frame.bottom - frame.top))};
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
    if (screen == pixelsPerInch_) return;
    scaledTo_ = screen;
    scaledFrom_ = pixelsPerInch_;
    ScaleBy(screen, pixelsPerInch_);
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

void TForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_) return;
    formStyle_ = style;
    if (HandleAllocated())
        ::SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int TForm::ShowCommand() const {
    switch (windowState_) {
        case wsMaximized:
            return SW_SHOWMAXIMIZED;
        case wsMinimized:
            return SW_SHOWMINIMIZED;
        default:
            return SW_SHOWNORMAL;
    }
}

void TForm::SetWindowState(TWindowState state) {
    if (state == windowState_) return;
    windowState_ = state;
    if (!HandleAllocated() || !Visible() || hiddenByApplication_) return;
    if (state == wsMinimized && IsMainForm()) {
        Application->Minimize();
        return;
    }
    ::ShowWindow(Handle(), ShowCommand());
}

void TForm::VisibleChanged() {
    if (!Visible()) {
        hiddenByApplication_ = false;
        if (HandleAllocated()) ::ShowWindow(Handle(), SW_HIDE);
        DoHide();
        return;
    }
    const HWND window = Handle();
    hiddenByApplication_ = false;
    DoShow();
    if (!Visible()) return;  // the handler hid the form again
    if (!placed_) {
        placed_ = true;
        if (position_ == poScreenCenter) {
            const int x = (::GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
            const int y = (::GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
            SetBounds(x, y, Width(), Height());
        }
    }
    if (IsMainForm()) {
        if (windowState_ == wsMinimized) {
            // A minimised main form is the minimised application.
            hiddenByApplication_ = true;
            Application->Minimize();
            return;
        }
        Application->MainFormShowing();
    }
    ::ShowWindow(window, ShowCommand());
}

void TForm::DoCreate() {
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (...) {
        if (Application) Application->HandleException(this);
    }
}

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TForm::Close() {
    if (IsMainForm())
        Application->Terminate();
    else
        Hide();
}

std::vector<TWinControl*> TForm::TabOrderList() const {
    std::vector<TWinControl*> list;
    AddInKeyboardOrder(*this, list);
    return list;
}

TWinControl* TForm::ActiveControl() const {
    if (TWinControl* last = LastFocusedControl(); last && TakesTab(last)) return last;
    for (TWinControl* control : TabOrderList())
        if (TakesTab(control)) return control;
    return nullptr;
}

void TForm::SelectNext(TWinControl* current, bool forward) {
    const std::vector<TWinControl*> list = TabOrderList();
    if (list.empty()) return;
    const int count = static_cast<int>(list.size());
    const auto found = std::find(list.begin(), list.end(), current);
    // Without a current control the first (or last) one is next.
    int index = found == list.end() ? (forward ? -1 : count) : static_cast<int>(found - list.begin());
    for (int step = 0; step < count; ++step) {
        index = ((forward ? index + 1 : index - 1) % count + count) % count;
        TWinControl* candidate = list[static_cast<size_t>(index)];
        if (candidate == current) return;
        if (TakesTab(candidate)) {
            candidate->SetFocus();
            return;
        }
    }
}

void TForm::FocusOnActivation() {
    if (TWinControl* control = ActiveControl(); control && !control->Focused()) ::SetFocus(control->Handle());
}

void TForm::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_CLOSE:
            Close();
            message.Result = 0;
            return;
        case WM_SYSCOMMAND:
            if ((message.WParam & 0xFFF0) == SC_MINIMIZE && IsMainForm()) {
                Application->Minimize();
                message.Result = 0;
                return;
            }
            break;
        case WM_SHOWWINDOW:
            if (!message.WParam && message.LParam == SW_PARENTCLOSING) {
                if (::IsWindowVisible(Handle())) {
                    hiddenByApplication_ = true;
                    ::ShowWindow(Handle(), SW_HIDE);
                }
                message.Result = 0;
                return;
            }
            if (message.WParam && message.LParam == SW_PARENTOPENING) {
                if (hiddenByApplication_) {
                    hiddenByApplication_ = false;
                    if (Visible())
                        ::ShowWindow(Handle(), windowState_ == wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
                }
                message.Result = 0;
                return;
            }
            break;
        case WM_SIZE:
            TCustomControl::WndProc(message);
            if (::IsWindowVisible(Handle())) {
                if (message.WParam == SIZE_MAXIMIZED)
                    windowState_ = wsMaximized;
                else if (message.WParam == SIZE_MINIMIZED)
                    windowState_ = wsMinimized;
                else if (message.WParam == SIZE_RESTORED)
                    windowState_ = wsNormal;
            }
            return;
        case WM_ACTIVATE:
            TCustomControl::WndProc(message);
            if (LOWORD(message.WParam) != WA_INACTIVE && !HIWORD(message.WParam)) FocusOnActivation();
            return;
        case CM_DIALOGKEY:
            if (message.WParam == VK_TAB) {
                TWinControl* current = nullptr;
                for (HWND w = ::GetFocus(); w && !current; w = ::GetParent(w)) current = FromHandle(w);
                SelectNext(current, ::GetKeyState(VK_SHIFT) >= 0);
                message.Result = 1;
                return;
            }
            break;
        default:
            break;
    }
    TCustomControl::WndProc(message);
}

}  // namespace sw
