// Opens the main window of a running Startwacht as a click on its taskbar
// button does (WM_SYSCOMMAND SC_RESTORE to the application's window), waits
// until the window is on screen and prints its place:
//   window <left> <top> <width> <height>
// Exit code 1 when no Startwacht or no window shows within 20 seconds.
#include <windows.h>

#include <cstdio>

namespace {

HWND FindTopLevel(const char* windowClass) {
    for (int i = 0; i < 200; ++i) {
        if (HWND window = ::FindWindowA(windowClass, nullptr)) return window;
        ::Sleep(100);
    }
    return nullptr;
}

}  // namespace

int main() {
    HWND application = FindTopLevel("TApplication");
    HWND form = FindTopLevel("TForm1");
    if (!application || !form) {
        std::printf("no Startwacht running\n");
        return 1;
    }
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(application, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_NORMAL, 20000, &result);
    for (int i = 0; i < 200 && !::IsWindowVisible(form); ++i) ::Sleep(100);
    if (!::IsWindowVisible(form)) {
        std::printf("the main window did not show\n");
        return 1;
    }
    RECT r{};
    ::GetWindowRect(form, &r);
    std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}
