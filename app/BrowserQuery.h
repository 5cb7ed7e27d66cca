// Who changed the start page: the online check, the program's DDE instance
// and the query of the browser's window information. The query runs on the
// query's thread (BrowserQueryThread.h); the thread that asks goes on at
// once and hears the answer as a message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "DdeConversation.h"
#include "framework/Handles.h"

namespace sw::guard {

struct TQueryJob;

// The program's DDE instance: set up at program start before any window,
// released at program end, with the thread that runs the browser queries.
// While it lives, the executable's name (without path and extension) is
// registered as a DDE service name. A failed set-up raises EDdeError with the
// text that belongs to DdeGetLastError's code.
class TDdeInstance {
public:
    TDdeInstance();
    ~TDdeInstance();
    TDdeInstance(const TDdeInstance&) = delete;
    TDdeInstance& operator=(const TDdeInstance&) = delete;

    DWORD Id() const { return id_; }
    const std::string& ServiceName() const { return serviceName_; }

private:
    DWORD id_ = 0;
    HSZ service_ = nullptr;
    std::string serviceName_;
};

// The text of a failed DDE set-up for an error code.
std::string DdeInitErrorText(UINT code);

// True exactly when WinINet reports a connection.
bool IsOnline();

// One asker of the browser (the guard has one), on the thread that made it.
// Start hands the query to the query's thread: the reply of the DDE server
// `service` on topic "WWW_GetWindowInfo" to a request for "0xFFFFFFFF", as
// text up to its first NUL. When no server answers, "<service>
// WWW_GetWindowInfo" is run once (minimised, not activated; only a program
// that the system's own search path finds, BrowserStart.h) and, if it
// started, the connect is tried once more at once. The answer comes through
// OnAnswer from this thread's message loop: the reply, or empty text for no
// conversation, no reply, an empty reply, or a query whose time (Bound) ran
// out, whatever other programs do meanwhile.
class TBrowserQuery {
public:
    TBrowserQuery();
    // A query under way is left to itself; its answer reaches nobody.
    ~TBrowserQuery();
    TBrowserQuery(const TBrowserQuery&) = delete;
    TBrowserQuery& operator=(const TBrowserQuery&) = delete;

    // Starts a query (forgetting one under way). False when none can start:
    // no DDE instance, or the query's thread is still held by a query cut
    // short earlier; then no answer comes.
    bool Start(const std::string& service);
    // A query was started and its answer has not come yet.
    bool Running() const { return current_ != nullptr; }
    // Forgets the query under way: its answer reaches nobody.
    void Abandon();

    std::function<void(const std::string& reply)> OnAnswer;
    // The query's time in milliseconds, connect and fallback included.
    DWORD Bound = 10000;

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Answered(uint32_t id);
    void TimeUp(uint32_t id);
    void Finish(const std::string& reply);

    WindowHandle window_;
    std::shared_ptr<TQueryJob> current_;
    uint32_t lastId_ = 0;
};

// The query's thread still closes the conversation of a query whose answer
// has gone out.
bool BrowserQueryThreadClosing();

// Seam for tests: sees the information of each query's conversation, as the
// query asks the DDE layer for it once connected (on the query's thread; the
// observer in place when the query starts is the one called).
void SetConversationObserver(TConversationObserver observer);
// Seam for tests: runs on the query's thread as each connected conversation
// is about to be closed (where a test plays a server slow to end it, which
// Wine's DdeDisconnect does not wait for).
void SetDisconnectObserver(TDisconnectObserver observer);

}  // namespace sw::guard
