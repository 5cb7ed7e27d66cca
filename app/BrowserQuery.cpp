#include "BrowserQuery.h"

#include <wininet.h>

#include <cstdio>
#include <utility>

#include "BrowserQueryThread.h"
#include "GuardTexts.h"
#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/MessageWindow.h"

namespace sw::guard {

namespace {

DWORD activeInstance = 0;

TConversationObserver& ConversationObserver() {
    static TConversationObserver observer;
    return observer;
}

TDisconnectObserver& DisconnectObserver() {
    static TDisconnectObserver observer;
    return observer;
}

std::unique_ptr<TBrowserQueryThread>& QueryThread() {
    static std::unique_ptr<TBrowserQueryThread> thread;
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

constexpr char kWindowClass[] = "TBrowserQueryWindow";
// The query's thread has the reply (WPARAM: the query's id).
constexpr UINT WM_QUERYANSWERED = WM_APP + 2;

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
    const UINT rc = ::DdeInitializeA(&id_, RefusingDdeCallback, APPCLASS_STANDARD, 0);
    if (rc != DMLERR_NO_ERROR) {
        const UINT code = id_ ? ::DdeGetLastError(id_) : rc;
        throw EDdeError(DdeInitErrorText(code ? code : rc));
    }
    ::RegisterClipboardFormatA("Link");
    serviceName_ = ModuleBaseName();
    service_ = ::DdeCreateStringHandleA(id_, serviceName_.c_str(), CP_WINANSI);
    if (service_) ::DdeNameService(id_, service_, nullptr, DNS_REGISTER);
    QueryThread() = std::make_unique<TBrowserQueryThread>();
    activeInstance = id_;
}

TDdeInstance::~TDdeInstance() {
    if (activeInstance == id_) activeInstance = 0;
    // While a query still runs (in DDE's connect, or closing a conversation
    // with a slow server), the program's end must not wait for it: a DDE
    // call here could wait for the lock of the DDE layer that the query may
    // hold. The process ends next and takes the instance with it.
    const bool waiting = QueryThread() && QueryThread()->Busy();
    QueryThread().reset();
    if (waiting) return;
    if (service_) {
        ::DdeNameService(id_, service_, nullptr, DNS_UNREGISTER);
        ::DdeFreeStringHandle(id_, service_);
    }
    ::DdeUninitialize(id_);
}

bool BrowserQueryThreadClosing() {
    return QueryThread() && QueryThread()->Busy() && !QueryThread()->HeldByQueryCutShort();
}

void SetConversationObserver(TConversationObserver observer) { ConversationObserver() = std::move(observer); }

void SetDisconnectObserver(TDisconnectObserver observer) { DisconnectObserver() = std::move(observer); }

bool IsOnline() {
    DWORD flags = 7;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

TBrowserQuery::TBrowserQuery() : window_(NewMessageWindow(kWindowClass, StaticWndProc, this)) {}

TBrowserQuery::~TBrowserQuery() {
    Abandon();
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
}

bool TBrowserQuery::Start(const std::string& service) {
    Abandon();
    if (!activeInstance || !QueryThread() || !window_ || QueryThread()->HeldByQueryCutShort()) return false;
    auto job = std::make_shared<TQueryJob>();
    job->id = ++lastId_ ? lastId_ : ++lastId_;  // 0 is never an id
    job->service = service;
    job->observer = ConversationObserver();
    job->disconnecting = DisconnectObserver();
    job->started = ::GetTickCount();
    job->timeLimit = Bound;
    job->answerTo = window_.Get();
    job->answerMessage = WM_QUERYANSWERED;
    // The bound is kept here, not by the query's thread: a connect that
    // waits on another program's window holds that thread past it.
    if (!::SetTimer(window_.Get(), job->id, Bound, nullptr)) return false;
    if (!QueryThread()->Put(job)) {
        ::KillTimer(window_.Get(), job->id);
        return false;
    }
    current_ = std::move(job);
    return true;
}

void TBrowserQuery::Abandon() {
    if (!current_) return;
    ::KillTimer(window_.Get(), current_->id);
    current_.reset();
}

void TBrowserQuery::Answered(uint32_t id) {
    std::string reply;
    if (!current_ || current_->id != id || !current_->TakeReply(reply)) return;
    Finish(reply);
}

void TBrowserQuery::TimeUp(uint32_t id) {
    ::KillTimer(window_.Get(), id);
    if (!current_ || current_->id != id) return;
    // Cut short: the same as no reply. While the thread still holds it, no
    // other query starts.
    current_->cutShort = true;
    Finish({});
}

void TBrowserQuery::Finish(const std::string& reply) {
    ::KillTimer(window_.Get(), current_->id);
    current_.reset();
    if (OnAnswer) OnAnswer(reply);
}

LRESULT CALLBACK TBrowserQuery::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TBrowserQuery*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || (message != WM_QUERYANSWERED && message != WM_TIMER))
        return ::DefWindowProcA(window, message, wParam, lParam);
    return GuardedWndProc(nullptr, [&]() -> LRESULT {
        if (message == WM_QUERYANSWERED)
            self->Answered(static_cast<uint32_t>(wParam));
        else
            self->TimeUp(static_cast<uint32_t>(wParam));
        return 0;
    });
}

}  // namespace sw::guard
