#include "DdeConversation.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace sw::guard {

namespace {

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

}  // namespace

HDDEDATA CALLBACK RefusingDdeCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_CONNECT) return reinterpret_cast<HDDEDATA>(FALSE);
    return nullptr;
}

TDdeClientInstance::TDdeClientInstance() {
    if (::DdeInitializeA(&id_, RefusingDdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) id_ = 0;
}

TDdeClientInstance::~TDdeClientInstance() {
    if (id_) ::DdeUninitialize(id_);
}

TDdeConversation::TDdeString::TDdeString(DWORD instance, const char* text)
    : instance_(instance), handle_(::DdeCreateStringHandleA(instance, text, CP_WINANSI)) {}

TDdeConversation::TDdeString::~TDdeString() {
    if (handle_) ::DdeFreeStringHandle(instance_, handle_);
}

TDdeConversation::TDdeConversation(DWORD instance, const std::string& service, const char* topic,
                                   const std::function<bool()>& startServer, const TConversationObserver& observer,
                                   TDisconnectObserver disconnecting)
    : instance_(instance),
      service_(instance, service.c_str()),
      topic_(instance, topic),
      disconnecting_(std::move(disconnecting)) {
    Connect();
    if (!conversation_ && startServer && startServer()) Connect();
    if (!conversation_) return;
    CONVINFO info{};
    info.cb = sizeof info;
    ::DdeQueryConvInfo(conversation_, QID_SYNC, &info);
    if (observer) observer(info);
    ::DdeSetUserHandle(conversation_, QID_SYNC, reinterpret_cast<DWORD_PTR>(this));
}

TDdeConversation::~TDdeConversation() {
    if (!conversation_) return;
    if (disconnecting_) disconnecting_();
    ::DdeSetUserHandle(conversation_, QID_SYNC, 0);
    ::DdeDisconnect(conversation_);
}

std::string TDdeConversation::Request(const char* item, DWORD timeout) const {
    if (!conversation_ || timeout == 0) return {};
    std::vector<char> buffer;
    {
        const TDdeString itemName(instance_, item);
        if (!itemName.Get()) return {};
        HDDEDATA data =
            ::DdeClientTransaction(nullptr, 0, conversation_, itemName.Get(), CF_TEXT, XTYP_REQUEST, timeout, nullptr);
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

void TDdeConversation::Connect() {
    if (!service_.Get() || !topic_.Get()) return;
    CONVCONTEXT context{};
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    const std::vector<HWND> before = ThreadDdeWindows();
    conversation_ = ::DdeConnect(instance_, service_.Get(), topic_.Get(), &context);
    if (conversation_) return;
    // A connect that found no server must leave nothing behind. Wine's DDE
    // leaves the client window it made for the attempt, one per attempt, for
    // as long as the thread lives; a guard under a hostile writer would pile
    // them up by the thousand. Windows cleans up itself, and then there is
    // nothing new to remove.
    for (HWND window : ThreadDdeWindows())
        if (std::find(before.begin(), before.end(), window) == before.end()) ::DestroyWindow(window);
}

}  // namespace sw::guard
