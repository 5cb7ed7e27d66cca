// A stand-in for the browser's DDE server. It serves one service name on the
// topic "WWW_GetWindowInfo" and answers a CF_TEXT request for "0xFFFFFFFF"
// with the bytes of a file that the test writes, optionally after a delay, or
// with no data at all; with --tell-code-page it answers instead with the code
// page of the client's conversation context ("1004" for CP_WINANSI; "none"
// when the client gave no context).
//
//   FakeBrowser --service NAME --reply FILE [--delay MS] [--no-reply] [--tell-code-page]
//
// Started by the guard's fallback command ("<program> WWW_GetWindowInfo") it
// only appends a line to the file named by FAKEBROWSER_STARTS and exits, so a
// test can count the starts and see how it was started (paths in UTF-8):
//   started|<its own path>|<show mode, or "-" without one>|<its command line>
#include <windows.h>

#include <ddeml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

DWORD instance = 0;
HSZ topicHandle = nullptr;
HSZ itemHandle = nullptr;
std::string replyFile;
DWORD delayMs = 0;
bool noReply = false;
bool tellCodePage = false;
std::string connectCodePage = "none";

HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR data1,
                           ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        if (const auto* context = reinterpret_cast<const CONVCONTEXT*>(data1))
            connectCodePage = std::to_string(context->iCodePage);
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(::DdeCmpStringHandles(topic, topicHandle) == 0));
    case XTYP_REQUEST: {
        if (::DdeCmpStringHandles(item, itemHandle) != 0 || format != CF_TEXT) return nullptr;
        if (delayMs) ::Sleep(delayMs);
        if (noReply) return nullptr;
        std::ifstream in(replyFile, std::ios::binary);
        std::string reply((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (tellCodePage) reply = connectCodePage;
        reply.push_back('\0');
        return ::DdeCreateDataHandle(instance, reinterpret_cast<BYTE*>(reply.data()),
                                     static_cast<DWORD>(reply.size()), 0, item, CF_TEXT, 0);
    }
    default:
        return nullptr;
    }
}

// A path or command line as UTF-8: a folder under any user name is recorded
// as it is.
std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    std::string service;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "WWW_GetWindowInfo") {
            if (const char* log = std::getenv("FAKEBROWSER_STARTS")) {
                wchar_t self[MAX_PATH] = {};
                ::GetModuleFileNameW(nullptr, self, MAX_PATH);
                STARTUPINFOA startup{};
                startup.cb = sizeof startup;
                ::GetStartupInfoA(&startup);
                const std::string show =
                    (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : "-";
                std::ofstream(log, std::ios::app | std::ios::binary)
                    << "started|" << Utf8(self) << "|" << show << "|" << Utf8(::GetCommandLineW()) << "\n";
            }
            return 0;
        }
        if (arg == "--service" && i + 1 < argc) service = argv[++i];
        else if (arg == "--reply" && i + 1 < argc) replyFile = argv[++i];
        else if (arg == "--delay" && i + 1 < argc) delayMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--no-reply") noReply = true;
        else if (arg == "--tell-code-page") tellCodePage = true;
    }
    if (service.empty()) {
        std::fprintf(stderr, "usage: FakeBrowser --service NAME --reply FILE [--delay MS] [--no-reply]\n");
        return 2;
    }
    if (::DdeInitializeA(&instance, Callback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                         0) != DMLERR_NO_ERROR)
        return 3;
    HSZ serviceHandle = ::DdeCreateStringHandleA(instance, service.c_str(), CP_WINANSI);
    topicHandle = ::DdeCreateStringHandleA(instance, "WWW_GetWindowInfo", CP_WINANSI);
    itemHandle = ::DdeCreateStringHandleA(instance, "0xFFFFFFFF", CP_WINANSI);
    if (!::DdeNameService(instance, serviceHandle, nullptr, DNS_REGISTER)) return 4;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::DdeNameService(instance, serviceHandle, nullptr, DNS_UNREGISTER);
    ::DdeFreeStringHandle(instance, serviceHandle);
    ::DdeFreeStringHandle(instance, topicHandle);
    ::DdeFreeStringHandle(instance, itemHandle);
    ::DdeUninitialize(instance);
    return 0;
}
