// The program's run, from the start-up of its modules to the end of its
// message loop, and the one running copy of it in a user session.
#pragma once

#include <windows.h>

#include <functional>

namespace sw {

class TForm1;

// Starts the modules (the DDE instance first), sets up the application with
// its title, creates the main window and runs the message loop until the
// application is asked to end. Gives the process's exit code: 0, or 1 when
// the program could not start. `started` runs once the main window exists,
// just before the loop (measurements hook in there).
// One copy runs in a user session, whatever the rights it was started
// with. Before anything else (no window, no file), a start that finds
// another copy running in the same session asks that copy to open its
// window, waiting up to 10 s while it still starts, and gives 0 without
// doing anything more; if that copy ends meanwhile, this start runs in its
// place. A copy that does not answer within the wait is named in a message
// before this start ends. A mark of the running copy that this start may
// not open counts as a copy that runs. A copy in another user's session is
// not seen.
int RunStartwacht(const std::function<void(TForm1&)>& started = nullptr);

// The window message by which another start asks the running copy's main
// window to open, and the copy's answer once it will.
UINT OpenRequestMessage();
inline constexpr LRESULT OpenRequestAnswer = 0x5357;

// Asks the copy running in this session (its main window: class "TForm1",
// caption "Startwacht") to open its window as a click on its icon does;
// true once it said it will. The copy may then come to the front: this
// process, the one that the user just started, lets it.
bool AskRunningCopyToOpen();

// Lets a start with lower rights (a start with the user's standard rights
// beside a copy started with "Als Administrator ausführen") send `message`
// to `window` past the filter of Windows' integrity levels:
// ChangeWindowMessageFilterEx for this window alone (Windows 7 and later),
// else ChangeWindowMessageFilter for the process (Vista); XP filters
// nothing and has neither. Both are looked up in user32 at run time. False
// when the filter refused.
bool LetLowerRightsSend(HWND window, UINT message);

// Finds a function of user32 by name for LetLowerRightsSend; null where the
// system lacks it. Tests put another lookup in to play each Windows; null
// puts the system's back.
using TUser32Function = std::function<FARPROC(const char* name)>;
void SetUser32FunctionLookup(TUser32Function lookup);

// Every leave for another process to bring its window to the front goes
// through this call. Tests put a watcher in (which may call the system's
// AllowSetForegroundWindow itself); null puts the system's call back.
using TAllowSetForegroundWindow = std::function<BOOL(DWORD processId)>;
void SetAllowSetForegroundWindowCall(TAllowSetForegroundWindow call);

}  // namespace sw
