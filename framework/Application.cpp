#include "Application.h"

#include <algorithm>

#include "Dialogs.h"
#include "Forms.h"
#include "StrUtils.h"
#include "Synchronize.h"

namespace sw {

TApplication* Application = nullptr;

namespace {

constexpr char kWindowClass[] = "TApplication";

}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
    MarkMainThread();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) startupShowMode_ = startup.wShowWindow;
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconA(instance, "MAINICON");
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);  // a second application object finds the class registered

    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_.Attach(::CreateWindowExA(0, kWindowClass, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU |
                                     WS_MINIMIZEBOX, x, y, 0, 0, nullptr, nullptr, instance, this));
    Application = this;
    const HWND window = handle_.Get();
    SetSynchronizeWakeup([window] { ::PostMessageA(window, WM_NULL, 0, 0); });
}

TApplication::~TApplication() {
    // The forms go while the window that owns theirs still exists.
    while (!Components().empty()) delete Components().back();
    SetSynchronizeWakeup(nullptr);
    if (handle_) ::SetWindowLongPtrA(handle_.Get(), GWLP_USERDATA, 0);
    handle_.Close();
    if (Application == this) Application = nullptr;
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (handle_) ::SetWindowTextA(handle_.Get(), title_.c_str());
}

void TApplication::HandleException(TObject* sender) noexcept {
    std::string message;
    try {
        if (const auto error = std::current_exception()) std::rethrow_exception(error);
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unbekannter Fehler";
    }
    if (const HWND capture = ::GetCapture()) ::SendMessageA(capture, WM_CANCELMODE, 0, 0);
    if (OnException) {
        try {
            OnException(sender, message);
        } catch (...) {
            // A failing error handler has nobody left to report to.
        }
        return;
    }
    ShowException(message);
}

void TApplication::ShowException(const std::string& message) noexcept {
    try {
        // A box from another thread must not be owned by the main thread's window.
        const HWND owner = IsMainThread() ? DialogOwner() : nullptr;
        ::MessageBoxA(owner, WithFullStop(message).c_str(), title_.c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory while showing an error: nothing more can be done.
    }
}

int TApplication::HookMainWindow(TWindowHook hook) {
    const int id = nextHookId_++;
    hooks_.push_back({id, std::move(hook)});
    return id;
}

void TApplication::UnhookMainWindow(int id) {
    hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [id](const Hook& h) { return h.id == id; }),
                 hooks_.end());
}

LRESULT CALLBACK TApplication::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* created = static_cast<TApplication*>(create->lpCreateParams);
        created->handle_.Attach(window);  // CreateWindowEx has not returned yet
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<TApplication*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
    return GuardedWndProc(self, [&] { return self->WndProc(message, wParam, lParam); });
}

void TApplication::AddForm(TForm* form) {
    if (std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void TApplication::RemoveForm(TForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (mainForm_ == form) mainForm_ = nullptr;
}

bool TApplication::Minimized() const { return ::IsIconic(handle_.Get()) != FALSE; }

void TApplication::Minimize() {
    if (Minimized()) return;
    // Each form hears that its owner is closing, as an owned window does
    // when its owner is minimised; a form left visible by that is hidden by
    // its own handling of the message.
    for (TForm* form : std::vector<TForm*>(forms_))
        if (form->HandleAllocated() && ::IsWindowVisible(form->Handle()))
            ::SendMessageA(form->Handle(), WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
    ::ShowWindow(handle_.Get(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (Minimized())
        ::ShowWindow(handle_.Get(), SW_RESTORE);
    else if (!::IsWindowVisible(handle_.Get()))
        ::ShowWindow(handle_.Get(), SW_SHOWNOACTIVATE);
    for (TForm* form : std::vector<TForm*>(forms_))
        if (form->HiddenByApplication()) ::SendMessageA(form->Handle(), WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
    if (!mainForm_) return;
    if (mainForm_->WindowState() == wsMinimized) mainForm_->SetWindowState(wsNormal);
    mainForm_->Show();
    ::SetForegroundWindow(mainForm_->Handle());
}

void TApplication::MainFormShowing() {
    if (Minimized())
        ::ShowWindow(handle_.Get(), SW_RESTORE);
    else if (!::IsWindowVisible(handle_.Get()))
        ::ShowWindow(handle_.Get(), SW_SHOWNOACTIVATE);
}

HWND TApplication::DialogOwner() const {
    if (mainForm_ && mainForm_->HandleAllocated()) {
        const HWND form = mainForm_->Handle();
        if (::IsWindowVisible(form) && ::IsWindowEnabled(form)) return form;
    }
    return handle_.Get();
}

LRESULT TApplication::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    // A hook may remove itself or others while it runs.
    const auto hooks = hooks_;
    for (const auto& h : hooks)
        if (h.hook(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_NULL:
            CheckSynchronize();
            return 0;
        case WM_SYSCOMMAND:
            // The taskbar button's commands act on the application as a whole.
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE:
                    Minimize();
                    return 0;
                case SC_RESTORE:
                    Restore();
                    return 0;
                case SC_CLOSE:
                    if (mainForm_) {
                        mainForm_->Close();
                        return 0;
                    }
                    break;
                default:
                    break;
            }
            break;
        case WM_CLOSE:
            // The application's window goes only with the application.
            if (mainForm_) mainForm_->Close();
            return 0;
        case WM_SETFOCUS:
            // The window itself takes no input: the main form does.
            if (mainForm_ && mainForm_->HandleAllocated() && ::IsWindowVisible(mainForm_->Handle()) &&
                ::IsWindowEnabled(mainForm_->Handle())) {
                ::SetFocus(mainForm_->Handle());
                return 0;
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcA(handle_.Get(), message, wParam, lParam);
}

bool TApplication::IsDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
    // The control whose window (or a window inside it) has the key.
    TWinControl* control = nullptr;
    for (HWND w = msg.hwnd; w && !control; w = ::GetParent(w)) control = TWinControl::FromHandle(w);
    if (!control) return false;
    while (control->Parent()) control = control->Parent();
    auto* form = dynamic_cast<TForm*>(control);
    return form && form->Perform(CM_DIALOGKEY, VK_TAB, 0) != 0;
}

void TApplication::DispatchLoopMessage(MSG& msg) {
    if (IsDialogKey(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

bool TApplication::ProcessMessage() {
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    try {
        DispatchLoopMessage(msg);
    } catch (...) {
        HandleException(this);
    }
    return true;
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

void TApplication::Idle() {
    try {
        CheckSynchronize();
        if (OnIdle) OnIdle();
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) {
        Idle();
        if (!terminated_) ::WaitMessage();
    }
}

void TApplication::ShowMainFormAtStart() {
    if (!mainForm_) return;
    switch (startupShowMode_) {
        case SW_SHOWMAXIMIZED:
            mainForm_->SetWindowState(wsMaximized);
            break;
        case SW_SHOWMINNOACTIVE:
            mainForm_->SetWindowState(wsMinimized);
            break;
        default:
            break;
    }
    if (!showMainForm_) return;
    if (mainForm_->WindowState() == wsMinimized)
        Minimize();
    else
        mainForm_->Show();
}

void TApplication::Run() {
    try {
        ShowMainFormAtStart();
    } catch (...) {
        HandleException(this);
    }
    while (!terminated_) HandleMessage();
    // The request to end has done its work: a quit message still queued
    // would end the next message loop of this thread at once (a message box
    // shown while the windows go, or a later run in the same process).
    MSG quit;
    while (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}

}  // namespace sw
