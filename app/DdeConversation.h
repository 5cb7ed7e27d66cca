// One DDE conversation of the browser query, on the thread that asks: the
// client-only DDE instance of that thread, the conversation with a server's
// service and topic, and one request for an item as text.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <functional>
#include <string>

namespace sw::guard {

// Sees the information of a conversation once it is connected.
using TConversationObserver = std::function<void(const CONVINFO&)>;
// Runs when a connected conversation is about to be closed (DdeDisconnect,
// which waits for the server's answer).
using TDisconnectObserver = std::function<void()>;

// A DDE instance of the calling thread (an instance serves only the thread
// that made it): a client only, which offers no service.
class TDdeClientInstance {
public:
    TDdeClientInstance();
    ~TDdeClientInstance();
    TDdeClientInstance(const TDdeClientInstance&) = delete;
    TDdeClientInstance& operator=(const TDdeClientInstance&) = delete;
    // 0 when DdeInitialize refused.
    DWORD Id() const { return id_; }

private:
    DWORD id_ = 0;
};

// A conversation with `service` on `topic`, opened by the constructor with
// the ANSI code page in its context (and, when no server answers and
// `startServer` starts one, tried once more at once), closed by the
// destructor (DdeDisconnect).
class TDdeConversation {
public:
    TDdeConversation(DWORD instance, const std::string& service, const char* topic,
                     const std::function<bool()>& startServer, const TConversationObserver& observer,
                     TDisconnectObserver disconnecting = nullptr);
    ~TDdeConversation();
    TDdeConversation(const TDdeConversation&) = delete;
    TDdeConversation& operator=(const TDdeConversation&) = delete;

    bool Connected() const { return conversation_ != nullptr; }
    // The server's reply to XTYP_REQUEST for `item` as CF_TEXT, up to its
    // first NUL; empty without conversation, reply or time left.
    std::string Request(const char* item, DWORD timeout) const;

private:
    class TDdeString {
    public:
        TDdeString(DWORD instance, const char* text);
        ~TDdeString();
        TDdeString(const TDdeString&) = delete;
        TDdeString& operator=(const TDdeString&) = delete;
        HSZ Get() const { return handle_; }

    private:
        DWORD instance_;
        HSZ handle_;
    };

    void Connect();

    DWORD instance_;
    TDdeString service_;
    TDdeString topic_;
    HCONV conversation_ = nullptr;
    TDisconnectObserver disconnecting_;
};

// The callback of the program's DDE instances: the guard is a DDE client
// only and refuses every conversation offered to it.
HDDEDATA CALLBACK RefusingDdeCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ service,
                                      HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

}  // namespace sw::guard
