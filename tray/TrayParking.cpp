// Minimise to tray: the tray icon watches the application's top-level window
// (through its hook) and its owner form (through a replaced window procedure)
// and parks the application in the notification area: main window hidden,
// taskbar button hidden, icon present.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "TrayIcon.h"
#include "framework/Application.h"
#include "framework/Forms.h"

namespace sw {

// Every form whose window procedure tray icons have replaced has one chain:
// the procedure before the first of them, and the icons in the order they
// subclassed (the last one sees a message first). The icons are kept by
// number, so a destroyed icon is simply skipped; icons may go in any order,
// and the form's own procedure comes back when the last of them goes.
struct OwnerWindowChain {
    WNDPROC PreviousOwnerProc = nullptr;
    std::vector<uint32_t> Icons;

    static std::unordered_map<HWND, OwnerWindowChain>& All() {
        static std::unordered_map<HWND, OwnerWindowChain> chains;
        return chains;
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto& all = All();
        const auto found = all.find(window);
        if (found == all.end()) return ::DefWindowProcA(window, message, wParam, lParam);
        const WNDPROC previous = found->second.PreviousOwnerProc;
        // A handler may add or remove icons while the message is on its way.
        const std::vector<uint32_t> icons = found->second.Icons;
        for (auto it = icons.rbegin(); it != icons.rend(); ++it) {
            TTrayIcon* icon = TTrayIconHandler::LiveIcon(*it);
            if (!icon) continue;
            bool handled = false;
            const LRESULT result = GuardedWndProc(icon, [&]() -> LRESULT {
                LRESULT r = 0;
                handled = icon->OwnerWindowProc(message, wParam, lParam, r);
                return r;
            });
            if (handled) return result;
        }
        const LRESULT result = ::CallWindowProcA(previous, window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            // The window is gone and its replaced procedure with it.
            for (const uint32_t id : icons)
                if (TTrayIcon* icon = TTrayIconHandler::LiveIcon(id); icon && icon->ownerWindow_ == window)
                    icon->ownerWindow_ = nullptr;
            all.erase(window);
        }
        return result;
    }
};

void TTrayIcon::SubclassOwnerWindow(TWinControl* owner) {
    const HWND window = owner->Handle();  // made now when the form has none yet
    auto& all = OwnerWindowChain::All();
    auto found = all.find(window);
    if (found == all.end()) {
        OwnerWindowChain chain;
        chain.PreviousOwnerProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC));
        found = all.emplace(window, std::move(chain)).first;
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnerWindowChain::Proc));
    }
    found->second.Icons.push_back(trayId_);
    ownerWindow_ = window;
}

void TTrayIcon::RestoreOwnerWindow() {
    if (!ownerWindow_) return;
    const HWND window = ownerWindow_;
    ownerWindow_ = nullptr;
    auto& all = OwnerWindowChain::All();
    const auto found = all.find(window);
    if (found == all.end()) return;
    auto& icons = found->second.Icons;
    icons.erase(std::remove(icons.begin(), icons.end(), trayId_), icons.end());
    if (!icons.empty()) return;
    // Put the form's procedure back only when ours is still the one
    // installed; otherwise whoever replaced it after us keeps calling ours,
    // which then passes everything on.
    if (::IsWindow(window) && reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC)) ==
                                  &OwnerWindowChain::Proc) {
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.PreviousOwnerProc));
        all.erase(found);
    }
}

bool TTrayIcon::OwnerWindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_SHOWWINDOW) {
        if (wParam == 1 && lParam == 0) {
            // Shown by a direct call: bring the application and the form forward.
            if (Application) BringToForeground(Application->Handle());
            BringToForeground(ownerWindow_);
            return false;
        }
        // Hidden because the owning top-level window is being minimised.
        if (wParam == 0 && lParam == SW_PARENTCLOSING && !(Application && Application->Terminating()))
            return TryParkInTray(result);
        return false;
    }
    // The low four bits of a system command are the system's own.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE) return TryParkInTray(result);
    return false;
}

bool TTrayIcon::TryParkInTray(LRESULT& result) {
    if (!minimizeToTray_ || !OnMinimizeToTray) return false;
    const uint32_t id = trayId_;
    const TNotifyEvent handler = OnMinimizeToTray;
    handler(this);
    if (TTrayIconHandler::LiveIcon(id) != this) return false;
    ParkInTray();
    result = 1;
    return true;
}

void TTrayIcon::ParkInTray() {
    WithdrawMainWindow();
    SetIconVisible(true);
}

void TTrayIcon::WithdrawMainWindow() {
    if (!dynamic_cast<TWinControl*>(Owner()) || !Application || !Application->MainForm()) return;
    Application->MainForm()->SetVisible(false);
    WithdrawTaskbarButton();
}

void TTrayIcon::WithdrawTaskbarButton() {
    if (!Application) return;
    const HWND window = Application->Handle();
    if (::IsWindowVisible(window)) ::ShowWindow(window, SW_HIDE);
}

bool TTrayIcon::RunStartupCallback() {
    if (!dynamic_cast<TWinControl*>(Owner())) return true;
    bool showMainForm = true;
    if (OnStartup) {
        const TStartupEvent handler = OnStartup;
        handler(this, showMainForm);
    }
    if (!showMainForm) {
        if (Application) Application->SetShowMainForm(false);
        WithdrawMainWindow();
    }
    return showMainForm;
}

void TTrayIcon::ApplicationWindowHook(UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    const uint32_t id = trayId_;
    const auto gone = [id, this] { return TTrayIconHandler::LiveIcon(id) != this; };

    if (message == WM_SIZE && wParam == SIZE_MINIMIZED && minimizeToTray_) {
        ParkInTray();
        if (gone()) return;
    }
    if (message == WM_WINDOWPOSCHANGED && awaitMdiCheck_ && Application && Application->MainForm()) {
        // Done before anything is called: withdrawing the taskbar button
        // moves this window again, and the check must not run twice.
        awaitMdiCheck_ = false;
        TForm* main = Application->MainForm();
        // An MDI frame is the window that holds the MDI client.
        if (main->HandleAllocated() && ::FindWindowExA(main->Handle(), nullptr, "MDICLIENT", nullptr)) {
            bool showMainForm = true;
            if (OnStartup) {
                const TStartupEvent handler = OnStartup;
                handler(this, showMainForm);
                if (gone()) return;
            }
            if (!showMainForm) WithdrawTaskbarButton();
        }
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE && Application && Application->MainForm()) {
        Application->MainForm()->SetVisible(true);
        if (gone()) return;
    }
    // The shell has made its taskbar anew, without the entries of the old
    // one: the icon goes back in with its current image and tip.
    if (TaskbarRestartMessage() != 0 && message == TaskbarRestartMessage()) {
        inTray_ = false;
        if (iconVisible_) AddToTray();
    }
}

}  // namespace sw
