// Keeps a Wine session alive for a test or run: started first, it makes
// Wine's background processes (services, explorer, the virtual desktop)
// inherit its quiet output instead of a test's pipes, and its hidden window
// keeps the desktop from closing between GUI tests. Prints one line once the
// taskbar exists, then runs until it is closed or killed.
#include <windows.h>

#include <cstdio>

int main() {
    HWND window = ::CreateWindowExA(0, "STATIC", "WineKeeper", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; i < 600 && !::FindWindowA("Shell_TrayWnd", nullptr); ++i) ::Sleep(100);
    std::printf(::FindWindowA("Shell_TrayWnd", nullptr) ? "keeper ready\n" : "keeper ready (no taskbar)\n");
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (window) ::DestroyWindow(window);
    return 0;
}
