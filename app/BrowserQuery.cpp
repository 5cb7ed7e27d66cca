#include "BrowserQuery.h"

#include <process.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "GuardTexts.h"
#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"

namespace sw::guard {

namespace {

DWORD activeInstance = 0;

TConversationObserver& ConversationObserver() {
    static TConversationObserver observer;
    return observer;
}

// The guard is a DDE client only; it refuses every conversation offered to
// the service name it registers.
HDDEDATA CALLBACK DdeCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_CONNECT) return reinterpret_cast<HDDEDATA>(FALSE);
    return nullptr;
}

class DdeString {
public:
    DdeString(DWORD instance, const std::string& text)
        : instance_(instance), handle_(::DdeCreateStringHandleA(instance, text.c_str(), CP_WINANSI)) {}
    ~DdeString() {
        if (handle_) ::DdeFreeStringHandle(instance_, handle_);
    }
    DdeString(const DdeString&) = delete;
    DdeString& operator=(const DdeString&) = delete;
    HSZ Get() const { return handle_; }

private:
    DWORD instance_;
    HSZ handle_;
};

bool IsDdeWindowClass(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("DDE") != std::string::npos;
}

// The hidden DDE windows of this thread, top-level and message-only.
std::vector<HWND> ThreadDdeWindows() {
    std::vector<HWND> found;
    const DWORD thread = ::GetCurrentThreadId();
    for (HWND parent : {static_cast<HWND>(nullptr), HWND_MESSAGE})
        for (HWND w = ::FindWindowExA(parent, nullptr, nullptr, nullptr); w;
             w = ::FindWindowExA(parent, w, nullptr, nullptr))
            if (::GetWindowThreadProcessId(w, nullptr) == thread && !::IsWindowVisible(w) && IsDdeWindowClass(w))
                found.push_back(w);
    return found;
}

// A folder for comparison: full, without a trailing backslash, in its long
// form where it exists.
std::string ComparableFolder(const std::string& folder) {
    char full[MAX_PATH] = {};
    DWORD length = ::GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return folder;
    char longForm[MAX_PATH] = {};
    const DWORD longLength = ::GetLongPathNameA(full, longForm, MAX_PATH);
    std::string result = longLength > 0 && longLength < MAX_PATH ? longForm : full;
    while (result.size() > 3 && (result.back() == '\\' || result.back() == '/')) result.pop_back();
    return result;
}

bool SameFolder(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(ComparableFolder(a).c_str(), ComparableFolder(b).c_str()) == 0;
}

// A folder given as "X:\..." or "\\server\...": not relative to anything.
bool IsAbsoluteFolder(const std::string& folder) {
    if (folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
        (folder[2] == '\\' || folder[2] == '/'))
        return true;
    return folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\';
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    const size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash);
    return folder;
}

std::string CurrentFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, path);
    return length > 0 && length <= MAX_PATH ? std::string(path) : std::string();
}

std::string EnvironmentPath() {
    const DWORD size = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    const DWORD length = ::GetEnvironmentVariableA("PATH", value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

// The folders a program of the system may come from, in the order searched:
// the system directory, the Windows directory, then the entries of PATH
// (quotes removed). Empty and relative entries are left out, and so are the
// program's own folder and the current folder, wherever they appear: a
// download folder holds what anyone put there.
std::vector<std::string> SystemProgramFolders() {
    std::vector<std::string> candidates;
    char folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    length = ::GetSystemWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    const std::string path = EnvironmentPath();
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        std::string entry = path.substr(start, end - start);
        entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
        candidates.push_back(entry);
        start = end + 1;
    }
    const std::string own = ProgramFolder();
    const std::string current = CurrentFolder();
    std::vector<std::string> folders;
    for (const std::string& candidate : candidates) {
        if (!IsAbsoluteFolder(candidate)) continue;
        if (SameFolder(candidate, own) || (!current.empty() && SameFolder(candidate, current))) continue;
        folders.push_back(candidate);
    }
    return folders;
}

// Runs "<service> WWW_GetWindowInfo" as the system's own search path finds
// the program "<service>.EXE", minimised and not activated. True when it
// started.
bool StartServerProgram(const std::string& service) {
    const std::string program = FindSystemProgram(service);
    if (program.empty()) return false;
    std::string commandLine = "\"" + program + "\" " + WindowInfoTopic;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
        return false;
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    return true;
}

// One query's conversation: opened in the constructor, closed in the destructor.
class BrowserConversation {
public:
    BrowserConversation(DWORD instance, const std::string& service, const TConversationObserver& observer)
        : instance_(instance), service_(instance, service), topic_(instance, WindowInfoTopic) {
        Connect();
        if (!conversation_ && StartServerProgram(service)) Connect();
        if (conversation_) {
            CONVINFO info{};
            info.cb = sizeof info;
            ::DdeQueryConvInfo(conversation_, QID_SYNC, &info);
            if (observer) observer(info);
            ::DdeSetUserHandle(conversation_, QID_SYNC, reinterpret_cast<DWORD_PTR>(this));
        }
    }
    ~BrowserConversation() {
        if (conversation_) {
            ::DdeSetUserHandle(conversation_, QID_SYNC, 0);
            ::DdeDisconnect(conversation_);
        }
    }
    BrowserConversation(const BrowserConversation&) = delete;
    BrowserConversation& operator=(const BrowserConversation&) = delete;

    std::string Request(const char* itemName, DWORD timeout) const {
        if (!conversation_ || timeout == 0) return {};
        std::vector<char> buffer;
        {
            DdeString item(instance_, itemName);
            if (!item.Get()) return {};
            HDDEDATA data = ::DdeClientTransaction(nullptr, 0, conversation_, item.Get(), CF_TEXT, XTYP_REQUEST,
                                                   timeout, nullptr);
            if (!data) return {};
            DWORD size = 0;
            if (const BYTE* bytes = ::DdeAccessData(data, &size)) {
                buffer.assign(bytes, bytes + size);
                ::DdeUnaccessData(data);
            }
            ::DdeFreeDataHandle(data);
        }
        buffer.push_back('\0');
        return std::string(buffer.data());
    }

private:
    void Connect() {
        if (!service_.Get() || !topic_.Get()) return;
        CONVCONTEXT context{};
        context.cb = sizeof context;
        context.iCodePage = CP_WINANSI;
        const std::vector<HWND> before = ThreadDdeWindows();
        conversation_ = ::DdeConnect(instance_, service_.Get(), topic_.Get(), &context);
        if (conversation_) return;
        // A connect that found no server must leave nothing behind. Wine's
        // DDE leaves the client window it made for the attempt, one per
        // attempt, for as long as the thread lives; a guard under a hostile
        // writer would pile them up by the thousand. Windows cleans up
        // itself, and then there is nothing new to remove.
        for (HWND window : ThreadDdeWindows())
            if (std::find(before.begin(), before.end(), window) == before.end()) ::DestroyWindow(window);
    }

    DWORD instance_;
    DdeString service_;
    DdeString topic_;
    HCONV conversation_ = nullptr;
};

// The DDE instance of the query's thread (an instance serves only the
// thread that made it): a client only, which offers no service.
class ClientInstance {
public:
    ClientInstance() {
        if (::DdeInitializeA(&id_, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) id_ = 0;
    }
    ~ClientInstance() {
        if (id_) ::DdeUninitialize(id_);
    }
    ClientInstance(const ClientInstance&) = delete;
    ClientInstance& operator=(const ClientInstance&) = delete;
    DWORD Id() const { return id_; }

private:
    DWORD id_ = 0;
};

// The whole query, connect and fallback command included, ends within this
// time, whatever other programs do.
constexpr DWORD kQueryTime = 10000;

// What is left of a time limit that started at `started`.
DWORD RemainingTime(DWORD started, DWORD limit = kQueryTime) {
    const DWORD elapsed = ::GetTickCount() - started;
    return elapsed < limit ? limit - elapsed : 0;
}

// One query, shared by its caller and the query's thread; whichever lets go
// last frees it. The caller reads the reply only once `finished` is set.
struct QueryJob {
    std::string service;
    TConversationObserver observer;
    DWORD started = 0;
    std::string reply;
    std::atomic<bool> finished{false};
    KernelHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// What the caller and the query's thread share: the next query and the
// request to end. Shared too, so that a thread left waiting at the
// program's end still finds it.
struct QueryThreadState {
    std::mutex lock;
    std::shared_ptr<QueryJob> next;
    bool quit = false;
    KernelHandle wake{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
};

unsigned __stdcall QueryThreadBody(void* parameter) {
    std::shared_ptr<QueryThreadState> state;
    {
        const std::unique_ptr<std::shared_ptr<QueryThreadState>> handedOver(
            static_cast<std::shared_ptr<QueryThreadState>*>(parameter));
        state = std::move(*handedOver);
    }
    const ClientInstance instance;
    const HANDLE wake = state->wake.Get();
    for (;;) {
        // The thread's DDE windows answer while it waits: another program's
        // connect sends to every top-level window and waits for each.
        if (::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
            continue;
        }
        std::shared_ptr<QueryJob> job;
        {
            const std::lock_guard hold(state->lock);
            if (state->quit) break;
            job = std::move(state->next);
        }
        if (!job) continue;
        try {
            if (instance.Id()) {
                const BrowserConversation conversation(instance.Id(), job->service, job->observer);
                job->reply = conversation.Request(WindowInfoItem, RemainingTime(job->started));
            }
        } catch (...) {
            // Out of memory on the query's thread: the same as no reply.
            job->reply.clear();
        }
        job->finished = true;
        ::SetEvent(job->done.Get());
    }
    return 0;
}

// Waits for the object until the time limit is up or, for a query, the
// program is asked to end. Meanwhile this thread handles the messages that
// other threads send to it: the query's connect sends one to every
// top-level window, this thread's too, and the end of the session is asked
// that way. Input and posted messages wait until the cycle is done.
bool WaitServingSentMessages(HANDLE object, DWORD started, DWORD limit, bool query) {
    for (;;) {
        if (query && Application && Application->Terminated()) break;
        const DWORD remaining = RemainingTime(started, limit);
        if (remaining == 0) break;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &object, FALSE, remaining, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) break;
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
}

// The query's thread: made with the program's DDE instance, it keeps a DDE
// instance of its own and sleeps between queries, costing nothing while no
// attempt comes. It ends with the program's instance; while a query cut
// short still holds it (DDE's connect waits on every top-level window, also
// on one whose thread handles no messages), it is not waited for: the
// process ends next.
class TQueryThread {
public:
    TQueryThread() {
        auto handOver = std::make_unique<std::shared_ptr<QueryThreadState>>(state_);
        const uintptr_t thread = ::_beginthreadex(nullptr, 0, QueryThreadBody, handOver.get(), 0, nullptr);
        if (thread == 0) return;
        handOver.release();  // the thread owns it now
        thread_.Attach(reinterpret_cast<HANDLE>(thread));
    }
    ~TQueryThread() {
        {
            const std::lock_guard hold(state_->lock);
            state_->quit = true;
        }
        ::SetEvent(state_->wake.Get());
        if (Busy() || !thread_) return;
        WaitServingSentMessages(thread_.Get(), ::GetTickCount(), kEndWait, false);
    }
    TQueryThread(const TQueryThread&) = delete;
    TQueryThread& operator=(const TQueryThread&) = delete;

    // A query cut short still holds the thread.
    bool Busy() const { return cutShort_ && !cutShort_->finished; }

    // The reply, or nothing when the thread is busy, the query's time ran
    // out or the program is asked to end.
    std::string Query(const std::string& service) {
        if (!thread_ || Busy()) return {};
        cutShort_.reset();
        auto job = std::make_shared<QueryJob>();
        if (!job->done) return {};
        job->service = service;
        job->observer = ConversationObserver();
        job->started = ::GetTickCount();
        {
            const std::lock_guard hold(state_->lock);
            state_->next = job;
        }
        ::SetEvent(state_->wake.Get());
        if (WaitServingSentMessages(job->done.Get(), job->started, kQueryTime, true) && job->finished)
            return job->reply;
        // Cut short: the same as no reply.
        cutShort_ = std::move(job);
        return {};
    }

private:
    // How long the program's end waits for the idle thread to end.
    static constexpr DWORD kEndWait = 5000;

    std::shared_ptr<QueryThreadState> state_ = std::make_shared<QueryThreadState>();
    KernelHandle thread_;
    std::shared_ptr<QueryJob> cutShort_;
};

std::unique_ptr<TQueryThread>& QueryThread() {
    static std::unique_ptr<TQueryThread> thread;
    return thread;
}

std::string ModuleBaseName() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

std::string DdeInitErrorText(UINT code) {
    const char* format = DdeOtherError;
    if (code == DMLERR_LOW_MEMORY || code == DMLERR_MEMORY_ERROR)
        format = DdeLowMemory;
    else if (code == DMLERR_NO_CONV_ESTABLISHED)
        format = DdeNoConversation;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", code);
    std::string text(format);
    text.replace(text.find("%x"), 2, hex);
    return text;
}

TDdeInstance::TDdeInstance() {
    const UINT rc = ::DdeInitializeA(&id_, DdeCallback, APPCLASS_STANDARD, 0);
    if (rc != DMLERR_NO_ERROR) {
        const UINT code = id_ ? ::DdeGetLastError(id_) : rc;
        throw EDdeError(DdeInitErrorText(code ? code : rc));
    }
    ::RegisterClipboardFormatA("Link");
    serviceName_ = ModuleBaseName();
    service_ = ::DdeCreateStringHandleA(id_, serviceName_.c_str(), CP_WINANSI);
    if (service_) ::DdeNameService(id_, service_, nullptr, DNS_REGISTER);
    QueryThread() = std::make_unique<TQueryThread>();
    activeInstance = id_;
}

TDdeInstance::~TDdeInstance() {
    if (activeInstance == id_) activeInstance = 0;
    // While a query cut short still waits in DDE's connect, the program's
    // end must not wait for it: a DDE call here could wait for the lock of
    // the DDE layer that the connect may hold. The process ends next and
    // takes the instance with it.
    const bool waiting = QueryThread() && QueryThread()->Busy();
    QueryThread().reset();
    if (waiting) return;
    if (service_) {
        ::DdeNameService(id_, service_, nullptr, DNS_UNREGISTER);
        ::DdeFreeStringHandle(id_, service_);
    }
    ::DdeUninitialize(id_);
}

std::string FindSystemProgram(const std::string& name) {
    // A bare name only: a path would be searched relative to the current folder.
    if (name.empty() || name.find_first_of("\\/:\"") != std::string::npos) return {};
    std::string list;
    for (const std::string& folder : SystemProgramFolders()) list += (list.empty() ? "" : ";") + folder;
    if (list.empty()) return {};
    char found[MAX_PATH] = {};
    const DWORD length = ::SearchPathA(list.c_str(), name.c_str(), ".EXE", MAX_PATH, found, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(found, length) : std::string();
}

void SetConversationObserver(TConversationObserver observer) { ConversationObserver() = std::move(observer); }

bool IsOnline() {
    DWORD flags = 7;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

std::string QueryBrowserWindow(const std::string& service) {
    if (!activeInstance || !QueryThread()) return {};
    return QueryThread()->Query(service);
}

}  // namespace sw::guard
