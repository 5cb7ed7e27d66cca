// The application object: its hidden top-level window (the owner of the
// taskbar button and of every form), the central error handler, the message
// loop with idle processing, and hooks that see the window's messages first.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Component.h"
#include "Handles.h"

namespace sw {

class TApplication;
class TForm;

// The one application object of the process (null before it exists).
extern TApplication* Application;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    HWND Handle() const { return handle_.Get(); }

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Central error handler. Called from inside a catch block: cancels any
    // mouse capture and shows the error's text (with a full stop appended
    // when its last character sorts after ".") in a message box with the
    // title as caption, an error icon and OK. OnException, when set, takes
    // the error instead of the box.
    using TExceptionEvent = std::function<void(TObject* sender, const std::string& message)>;
    TExceptionEvent OnException;
    void HandleException(TObject* sender) noexcept;
    void ShowException(const std::string& message) noexcept;

    // Hooks see every message of the application's window before its own
    // handling; a hook that returns true consumes the message with the
    // result it set.
    using TWindowHook = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int id);

    // The main form: the first form made the main form; closing it ends the
    // application. ShowMainForm says whether Run shows it at start.
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }
    // True from the request to end until the process ends.
    bool Terminating() const { return terminated_; }

    // Message loop.
    bool ProcessMessage();       // one message if there is one; false when none
    void ProcessMessages();      // all pending messages
    void HandleMessage();        // one message, or idle processing and a wait
    void Run();                  // until Terminate
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Runs when the queue is empty: queued main-thread calls, then OnIdle.
    std::function<void()> OnIdle;
    void Idle();

protected:
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void DispatchLoopMessage(MSG& msg);

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WindowHandle handle_;
    std::string title_;
    TForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
    struct Hook {
        int id;
        TWindowHook hook;
    };
    std::vector<Hook> hooks_;
    int nextHookId_ = 1;
};

// Runs a window procedure body; an error that escapes it goes to the central
// handler instead of crossing the Win32 frame.
template <typename Body>
LRESULT GuardedWndProc(TObject* sender, Body&& body, LRESULT onError = 0) noexcept {
    try {
        return body();
    } catch (...) {
        if (Application) Application->HandleException(sender);
        return onError;
    }
}

}  // namespace sw
