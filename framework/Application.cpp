#include "Application.h"

#include <algorithm>

#include "Dialogs.h"
#include "StrUtils.h"
#include "Synchronize.h"

namespace sw {

TApplication* Application = nullptr;

namespace {

constexpr char kWindowClass[] = "TApplication";

}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
    MarkMainThread();
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
        const HWND owner = IsMainThread() ? handle_.Get() : nullptr;
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

LRESULT TApplication::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    // A hook may remove itself or others while it runs.
    const auto hooks = hooks_;
    for (const auto& h : hooks)
        if (h.hook(message, wParam, lParam, result)) return result;
    if (message == WM_NULL) {
        CheckSynchronize();
        return 0;
    }
    return ::DefWindowProcA(handle_.Get(), message, wParam, lParam);
}

void TApplication::DispatchLoopMessage(MSG& msg) {
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

void TApplication::Run() {
    while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}

}  // namespace sw
