#include "BrowserQuery.h"

#include <process.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
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
        conversation_ = ::DdeConnect(instance_, service_.Get(), topic_.Get(), &context);
    }

    DWORD instance_;
    DdeString service_;
    DdeString topic_;
    HCONV conversation_ = nullptr;
};

// The DDE instance of one query's thread (an instance serves only the thread
// that made it): a client only, which offers no service.
class ClientInstance {
public:
    ClientInstance() {
        if (::DdeInitializeA(&id_, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) id_ = 0;
    }
    ~ClientInstance() {
        if (id_) ::DdeUninitialize(id_);
        // A connect that found no server must leave nothing behind. Wine's
        // DDE leaves the client window it made for the attempt, also after
        // the instance ends; Windows cleans up itself, and then there is
        // nothing left to remove. The thread is the query's own, so every
        // DDE window of it is the query's.
        for (HWND window : ThreadDdeWindows()) ::DestroyWindow(window);
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

// What is left of a query's time.
DWORD RemainingTime(DWORD started) {
    const DWORD elapsed = ::GetTickCount() - started;
    return elapsed < kQueryTime ? kQueryTime - elapsed : 0;
}

// One query, shared by its caller and its thread; whichever lets go last
// frees it. The caller reads the reply only once the thread has ended.
struct QueryJob {
    std::string service;
    TConversationObserver observer;
    DWORD started = 0;
    std::string reply;
    std::atomic<bool> finished{false};
};

// A query whose caller stopped waiting while its thread still waited (for a
// top-level window whose thread handles no messages, DDE's connect waits on
// every one). No further query starts until it has finished: one such
// thread at most, however many attempts come meanwhile.
std::shared_ptr<QueryJob>& AbandonedQuery() {
    static std::shared_ptr<QueryJob> query;
    return query;
}

unsigned __stdcall QueryThread(void* parameter) {
    std::shared_ptr<QueryJob> job;
    {
        const std::unique_ptr<std::shared_ptr<QueryJob>> handedOver(static_cast<std::shared_ptr<QueryJob>*>(parameter));
        job = std::move(*handedOver);
    }
    try {
        const ClientInstance instance;
        if (instance.Id()) {
            const BrowserConversation conversation(instance.Id(), job->service, job->observer);
            job->reply = conversation.Request(WindowInfoItem, RemainingTime(job->started));
        }
    } catch (...) {
        // Out of memory on the query's own thread: the same as no reply.
        job->reply.clear();
    }
    job->finished = true;
    return 0;
}

// Waits for the query's thread until the query's time is up or the program
// is asked to end. Meanwhile this thread handles the messages that other
// threads send to it: the query's connect sends one to every top-level
// window, this thread's too, and the end of the session is asked that way.
// Input and posted messages wait until the cycle is done.
bool WaitForQuery(HANDLE thread, DWORD started) {
    for (;;) {
        if (Application && Application->Terminated()) break;
        const DWORD remaining = RemainingTime(started);
        if (remaining == 0) break;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) break;
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
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
    activeInstance = id_;
}

TDdeInstance::~TDdeInstance() {
    if (activeInstance == id_) activeInstance = 0;
    // While a query cut short still waits in DDE's connect, the program's
    // end must not wait for it: a DDE call here could wait for the lock of
    // the DDE layer that the connect may hold. The process ends next and
    // takes the instance with it.
    const std::shared_ptr<QueryJob>& abandoned = AbandonedQuery();
    if (abandoned && !abandoned->finished) return;
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
    if (!activeInstance) return {};
    std::shared_ptr<QueryJob>& abandoned = AbandonedQuery();
    if (abandoned) {
        if (!abandoned->finished) return {};
        abandoned.reset();
    }
    auto job = std::make_shared<QueryJob>();
    job->service = service;
    job->observer = ConversationObserver();
    job->started = ::GetTickCount();
    auto handOver = std::make_unique<std::shared_ptr<QueryJob>>(job);
    const uintptr_t started = ::_beginthreadex(nullptr, 0, QueryThread, handOver.get(), 0, nullptr);
    if (started == 0) return {};
    handOver.release();  // the thread owns it now
    const KernelHandle thread(reinterpret_cast<HANDLE>(started));
    if (WaitForQuery(thread.Get(), job->started)) return job->reply;
    // Cut short: the same as no reply. The thread ends on its own once
    // whatever holds it lets go, and frees what it made.
    abandoned = std::move(job);
    return {};
}

}  // namespace sw::guard
