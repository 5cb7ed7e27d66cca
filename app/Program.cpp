#include "Program.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "BrowserQuery.h"
#include "GuardTexts.h"
#include "Unit1.h"
#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/StrUtils.h"
#include "framework/SystemLibraries.h"

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
// The message of a start whose running copy does not answer; the user just
// started the program, so it may come to the front.
constexpr UINT kUnreachableStyle = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND;

TAllowSetForegroundWindow& AllowForegroundCall() {
    static TAllowSetForegroundWindow call;
    return call;
}

BOOL AllowForeground(DWORD processId) {
    if (const TAllowSetForegroundWindow& call = AllowForegroundCall()) return call(processId);
    return ::AllowSetForegroundWindow(processId);
}

// Who may open the mark: the user who starts the program, and the
// Administrators group. An explicit DACL, so that a mark made by a copy
// with more rights ("Als Administrator ausführen": the elevated token's
// default DACL lets only Administrators and SYSTEM in) still opens for the
// same user's next start. Made with calls that Windows XP has.
class TMarkSecurity {
public:
    TMarkSecurity() {
        KernelHandle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return;
        DWORD size = 0;
        ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
        if (size == 0) return;
        user_.resize(size);
        if (!::GetTokenInformation(token.Get(), TokenUser, user_.data(), size, &size)) return;
        const PSID user = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                        &administrators_))
            return;
        const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + ::GetLengthSid(user) +
                              ::GetLengthSid(administrators_);
        acl_.resize(aclSize);
        const PACL acl = reinterpret_cast<PACL>(acl_.data());
        if (!::InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !::AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, user) ||
            !::AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, administrators_) ||
            !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE))
            return;
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
        made_ = true;
    }
    ~TMarkSecurity() {
        if (administrators_) ::FreeSid(administrators_);
    }
    TMarkSecurity(const TMarkSecurity&) = delete;
    TMarkSecurity& operator=(const TMarkSecurity&) = delete;

    // Null where the DACL could not be made: the mark then gets the default
    // security of this copy's token, as a mark always had.
    SECURITY_ATTRIBUTES* Attributes() { return made_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> user_;
    PSID administrators_ = nullptr;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool made_ = false;
};

// The session's mark of the running copy: a mutex that the copy owns while
// it runs and lets go last, after its files are written at its end. A start
// that finds it made already is a second one; when the copy that owns it
// ends, it is released (or, if that copy was killed, abandoned), and a
// second start waiting for it takes it over.
class TRunningCopyMark {
public:
    TRunningCopyMark() {
        TMarkSecurity security;
        // A mark that vanishes between the attempt to make it and the one to
        // open it is tried again a few times.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const HANDLE mutex = ::CreateMutexA(security.Attributes(), TRUE, kRunningCopyName);
            const DWORD error = ::GetLastError();
            if (mutex) {
                handle_.Attach(mutex);
                owned_ = error != ERROR_ALREADY_EXISTS;
                return;
            }
            // The name is taken and this start may not open it (a copy with
            // other rights made it, or anything else holds the name): a copy
            // runs. Never guard beside it; wait on the mark where it opens
            // for that alone.
            if (const HANDLE waitable = ::OpenMutexA(SYNCHRONIZE, FALSE, kRunningCopyName)) {
                handle_.Attach(waitable);
                return;
            }
            if (::GetLastError() != ERROR_FILE_NOT_FOUND) return;
        }
    }
    ~TRunningCopyMark() {
        if (owned_ && handle_) ::ReleaseMutex(handle_.Get());
    }
    TRunningCopyMark(const TRunningCopyMark&) = delete;
    TRunningCopyMark& operator=(const TRunningCopyMark&) = delete;

    bool Owned() const { return owned_; }
    // Waits up to `wait` ms for the copy that owns the mark to end; true
    // when it did, and the mark is this copy's now. A mark that this start
    // could not open at all is never taken over.
    bool TakeOver(DWORD wait) {
        if (!handle_) {
            ::Sleep(wait);
            return false;
        }
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
// ended meanwhile and this start is to guard in its place. A copy that
// never answers (hung, on another desktop, or with rights that the request
// can't reach) is named to the user before this start ends.
bool GuardsInPlaceOfRunningCopy(TRunningCopyMark& mark) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (AskRunningCopyToOpen()) return false;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= kRunningCopyWait) {
            ::MessageBoxA(nullptr, guard::RunningCopyUnreachable, "Startwacht", kUnreachableStyle);
            return false;
        }
        if (mark.TakeOver(std::min<DWORD>(100, kRunningCopyWait - elapsed))) return true;
    }
}

TUser32Function& User32FunctionLookup() {
    static TUser32Function lookup;
    return lookup;
}

FARPROC User32Function(const char* name) {
    if (const TUser32Function& lookup = User32FunctionLookup()) return lookup(name);
    const HMODULE user32 = LoadSystemLibrary("user32.dll");
    return user32 ? ::GetProcAddress(user32, name) : nullptr;
}

}  // namespace

bool LetLowerRightsSend(HWND window, UINT message) {
    // MSGFLT_ALLOW of ChangeWindowMessageFilterEx, MSGFLT_ADD of
    // ChangeWindowMessageFilter.
    constexpr DWORD kAllow = 1;
    constexpr DWORD kAdd = 1;
    using FilterForWindow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using FilterForProcess = BOOL(WINAPI*)(UINT, DWORD);
    if (const FARPROC forWindow = User32Function("ChangeWindowMessageFilterEx"))
        return reinterpret_cast<FilterForWindow>(reinterpret_cast<void*>(forWindow))(window, message, kAllow,
                                                                                      nullptr) != FALSE;
    if (const FARPROC forProcess = User32Function("ChangeWindowMessageFilter"))
        return reinterpret_cast<FilterForProcess>(reinterpret_cast<void*>(forProcess))(message, kAdd) != FALSE;
    return true;
}

void SetUser32FunctionLookup(TUser32Function lookup) { User32FunctionLookup() = std::move(lookup); }

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
