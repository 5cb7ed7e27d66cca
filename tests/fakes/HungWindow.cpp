// A program whose visible top-level window belongs to a thread that never
// handles a message once the window is made, as the window of a mail or chat
// client whose thread hangs: every message sent to it waits for ever. It
// runs until it is ended.
//
//   HungWindow TITLE
#include <windows.h>

#include <string>

namespace {

std::string title;

DWORD WINAPI WindowThread(void*) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "HungWindow";
    ::RegisterClassA(&wc);
    ::CreateWindowExA(0, "HungWindow", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                      nullptr, wc.hInstance, nullptr);
    // The thread waits on nothing that ever comes and never looks at its
    // messages.
    ::Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    title = argv[1];
    const HANDLE thread = ::CreateThread(nullptr, 0, WindowThread, nullptr, 0, nullptr);
    if (!thread) return 3;
    ::WaitForSingleObject(thread, INFINITE);
    return 0;
}
