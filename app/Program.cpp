#include "Program.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "BrowserQuery.h"
#include "Unit1.h"
#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/StrUtils.h"

namespace sw {

namespace {

// The mark of the running copy. "Local\": every user session has its own;
// the rest of the name belongs to this program alone.
constexpr const char* kRunningCopyName = "Local\\Startwacht-4014747b-d2f5-4e23-bc07-5f81ef6b899c";
constexpr const char* kOpenRequestName = "Startwacht-4014747b-d2f5-4e23-bc07-5f81ef6b899c-Open";
// How long a second start waits for a running copy that is still starting,
// and for one answer of it.
constexpr DWORD kRunningCopyWait = 10000;
constexpr DWORD kAnswerWait = 5000;

TAllowSetForegroundWindow& AllowForegroundCall() {
    static TAllowSetForegroundWindow call;
    return call;
}

BOOL AllowForeground(DWORD processId) {
    if (const TAllowSetForegroundWindow& call = AllowForegroundCall()) return call(processId);
    return ::AllowSetForegroundWindow(processId);
}

// The session's mark of the running copy: a mutex that the copy owns while
// it runs and lets go last, after its files are written at its end. A start
// that finds it made already is a second one; when the copy that owns it
// ends, it is released (or, if that copy was killed, abandoned), and a
// second start waiting for it takes it over.
class TRunningCopyMark {
public:
    TRunningCopyMark() {
        const HANDLE mutex = ::CreateMutexA(nullptr, TRUE, kRunningCopyName);
        const DWORD error = ::GetLastError();
        handle_.Attach(mutex);
        // Where it can't be made at all (the name held by a program of
        // another user in this session), this copy guards as if alone:
        // better two guards than none.
        owned_ = !mutex || error != ERROR_ALREADY_EXISTS;
    }
    ~TRunningCopyMark() {
        if (owned_ && handle_) ::ReleaseMutex(handle_.Get());
    }
    TRunningCopyMark(const TRunningCopyMark&) = delete;
    TRunningCopyMark& operator=(const TRunningCopyMark&) = delete;

    bool Owned() const { return owned_; }
    // Waits up to `wait` ms for the copy that owns the mark to end; true
    // when it did, and the mark is this copy's now.
    bool TakeOver(DWORD wait) {
        const DWORD result = ::WaitForSingleObject(handle_.Get(), wait);
        owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        return owned_;
    }

private:
    KernelHandle handle_;
    bool owned_ = false;
};

// A start while another copy owns the mark: asks that copy to open its
// window, for as long as it may still be starting. True when that copy
// ended meanwhile and this start is to guard in its place.
bool GuardsInPlaceOfRunningCopy(TRunningCopyMark& mark) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (AskRunningCopyToOpen()) return false;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= kRunningCopyWait) return false;
        if (mark.TakeOver(std::min<DWORD>(100, kRunningCopyWait - elapsed))) return true;
    }
}

}  // namespace

UINT OpenRequestMessage() {
    static const UINT message = ::RegisterWindowMessageA(kOpenRequestName);
    return message;
}

void SetAllowSetForegroundWindowCall(TAllowSetForegroundWindow call) { AllowForegroundCall() = std::move(call); }

bool AskRunningCopyToOpen() {
    const UINT request = OpenRequestMessage();
    if (request == 0) return false;
    // Windows of that class and caption on this session's desktop; only the
    // copy's own answers the request (any other leaves it unanswered).
    for (HWND window = ::FindWindowExA(nullptr, nullptr, "TForm1", "Startwacht"); window;
         window = ::FindWindowExA(nullptr, window, "TForm1", "Startwacht")) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        if (processId == ::GetCurrentProcessId()) continue;
        AllowForeground(processId);
        DWORD_PTR answer = 0;
        if (::SendMessageTimeoutA(window, request, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerWait, &answer) &&
            static_cast<LRESULT>(answer) == OpenRequestAnswer)
            return true;
    }
    return false;
}

int RunStartwacht(const std::function<void(TForm1&)>& started) {
    // First of all, before any window and before either file is read: is
    // this the session's one copy? The mark goes last, once the files are
    // written at the end.
    TRunningCopyMark mark;
    if (!mark.Owned() && !GuardsInPlaceOfRunningCopy(mark)) return 0;

    // The modules start before any window: the DDE instance first. Without
    // it the program can't ask the browser, and it stops here.
    std::unique_ptr<guard::TDdeInstance> dde;
    try {
        dde = std::make_unique<guard::TDdeInstance>();
    } catch (const std::exception& e) {
        ::MessageBoxA(nullptr, WithFullStop(e.what()).c_str(), "Startwacht", MB_OK | MB_ICONERROR);
        return 1;
    }

    TApplication application;
    application.SetTitle("Startwacht");
    TForm1* form = nullptr;
    try {
        form = application.CreateForm<TForm1>();
    } catch (...) {
        // The main window could not be built; there is nothing to run.
        application.HandleException(&application);
        return 1;
    }
    if (started) started(*form);
    // From here another start's request to open the window is taken; it is
    // handled from the loop, after the start has parked the window.
    form->AcceptOpenRequests();
    application.Run();
    // The application goes before the DDE instance: the main window and its
    // components first, then the instance.
    return 0;
}

}  // namespace sw
