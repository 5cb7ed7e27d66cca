// The application object: its top-level window (the owner of the taskbar
// button and of every form), the forms and the main form, minimising and
// restoring the application as a whole, the central error handler, the
// message loop with idle processing, and hooks that see the window's
// messages first.
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

    // The main form: the first form made by CreateForm; closing it ends the
    // application. ShowMainForm says whether Run shows it at start.
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }
    // True from the request to end until the process ends.
    bool Terminating() const { return terminated_; }

    // Makes a form owned by the application; the first one becomes the main
    // form, with its window made at once (so that messages such as the end
    // of the Windows session reach it while it is hidden).
    template <typename T>
    T* CreateForm() {
        T* form = new T(this);
        if (!mainForm_) {
            form->HandleNeeded();
            mainForm_ = form;
        }
        return form;
    }

    // Every form registers itself while it exists.
    void AddForm(TForm* form);
    void RemoveForm(TForm* form);
    const std::vector<TForm*>& Forms() const { return forms_; }

    // How the process was asked to show its first window: STARTUPINFO's
    // wShowWindow when STARTF_USESHOWWINDOW is set, else SW_SHOWNORMAL.
    int StartupShowMode() const { return startupShowMode_; }
    void SetStartupShowMode(int mode) { startupShowMode_ = mode; }

    // Minimises the application as a whole: visible forms are hidden (each
    // sees WM_SHOWWINDOW with SW_PARENTCLOSING first) and the application's
    // window is minimised, so its taskbar button stays and the window gets
    // WM_SIZE with SIZE_MINIMIZED.
    void Minimize();
    // Undoes Minimize: the application's window is restored, the forms that
    // Minimize hid come back, and the main form is shown in the normal state.
    // The taskbar button's WM_SYSCOMMAND SC_RESTORE does this.
    void Restore();
    bool Minimized() const;
    // The main form is about to be shown: the application's window (and with
    // it the taskbar button) comes back if it was hidden or minimised.
    void MainFormShowing();

    // The owner of the program's message boxes: the main form while it is
    // visible and enabled (the box then stays above it and disables it),
    // otherwise the application's window.
    HWND DialogOwner() const;

    // Message loop. Run first shows the main form as its window state and
    // the startup show mode say (a minimised main form minimises the
    // application instead).
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
    // Tab and Shift+Tab move the focus in the form's keyboard order.
    bool IsDialogKey(const MSG& msg);
    void ShowMainFormAtStart();

    WindowHandle handle_;
    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    bool showMainForm_ = true;
    bool terminated_ = false;
    int startupShowMode_ = SW_SHOWNORMAL;
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
