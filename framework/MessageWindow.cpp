#include "MessageWindow.h"

#include "Exceptions.h"

namespace sw {

WindowHandle NewMessageWindow(const char* className, WNDPROC windowProc, void* owner) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!::GetClassInfoA(instance, className, &existing)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance;
        wc.lpszClassName = className;
        ::RegisterClassA(&wc);
    }
    WindowHandle window(::CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
    if (!window) throw EOutOfResources("Fenster kann nicht erzeugt werden");
    ::SetWindowLongPtrA(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return window;
}

}  // namespace sw
