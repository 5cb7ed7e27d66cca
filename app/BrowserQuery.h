// Who changed the start page: the online check and the browser's window
// information over DDE, and the program's DDE instance.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <functional>
#include <string>

namespace sw::guard {

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

// The reply of the DDE server `service` on topic "WWW_GetWindowInfo" to a
// request for "0xFFFFFFFF" as text up to its first NUL; empty when there is no
// DDE instance, no conversation, no reply, or an empty reply. When no server
// answers, "<service> WWW_GetWindowInfo" is run once (minimised, not
// activated) and, if it started, the connect is tried once more at once.
// The program of that command is only what the system's own search path
// finds (FindSystemProgram); where it finds none, nothing starts.
// The query runs on a thread of its own (made with the program's DDE
// instance, with a DDE instance of its own), and the whole of it, connect
// included, ends within 10 s whatever other programs do (DDE's connect waits
// on every top-level window, also on one whose thread handles no messages);
// the caller's thread handles only the messages that other threads send to
// it meanwhile. A query cut short gives empty text, as no reply does; so
// does, at once, a query asked while one cut short earlier still waits, or
// while the program ends.
std::string QueryBrowserWindow(const std::string& service);

// Seam for tests: sees the information of each query's conversation, as the
// query asks the DDE layer for it once connected (on the query's thread; the
// observer in place when the query starts is the one called).
using TConversationObserver = std::function<void(const CONVINFO&)>;
void SetConversationObserver(TConversationObserver observer);

// The full path of the program `name` (".EXE" added when it has no
// extension) in the system directory, the Windows directory or a folder of
// PATH, never in this program's own folder or the current folder; empty
// when there is none there, or when `name` holds a path.
std::string FindSystemProgram(const std::string& name);

}  // namespace sw::guard
