#include "Dialogs.h"

#include "Application.h"

namespace sw {

namespace {

thread_local HHOOK centringHook = nullptr;

LRESULT CALLBACK CentreOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = centringHook;
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        RECT r{};
        if (::GetWindowRect(box, &r)) {
            const int w = r.right - r.left;
            const int h = r.bottom - r.top;
            const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2;
            const int y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
            ::SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        ::UnhookWindowsHookEx(hook);
        centringHook = nullptr;
        return 0;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

int CentredMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    if (!centringHook) centringHook = ::SetWindowsHookExA(WH_CBT, CentreOnActivate, nullptr, ::GetCurrentThreadId());
    const int result = ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    if (centringHook) {  // the box never activated
        ::UnhookWindowsHookEx(centringHook);
        centringHook = nullptr;
    }
    return result;
}

void ShowMessage(const std::string& text) {
    const HWND owner = Application ? Application->DialogOwner() : nullptr;
    const std::string caption = Application ? Application->Title() : std::string();
    CentredMessageBox(owner, text, caption, MB_OK);
}

}  // namespace sw
