// The notification-area icon: one entry in the taskbar's tray, kept through
// Shell_NotifyIconA. It turns the shell's mouse callbacks into events, opens a
// popup menu from the icon, can step through the images of an image list and
// parks the application in the tray when it is minimised.
//
// Three channels reach it, all on the GUI thread: the shell's callbacks go to
// one hidden window shared by all tray icons (TTrayIconHandler); the
// application's top-level window (the taskbar button's owner) is watched
// through a hook; the owner form's window procedure is replaced to catch
// minimise requests.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/Component.h"
#include "framework/Controls.h"
#include "framework/Icon.h"
#include "framework/Menus.h"
#include "tray/SimpleTimer.h"

namespace sw {

class TBitmap;
class TTrayIcon;

// The message the shell sends to the hidden window for every mouse action on
// an icon (wParam: the icon's TrayId, lParam: the mouse or notification
// message).
inline constexpr UINT TrayCallbackMessage = WM_USER + 0x400;

// The record size given to the shell: the ANSI layout that carries tip,
// state, balloon text, timeout or version, balloon title and balloon flags
// (488 bytes on the 32-bit build; the same layout's size on the 64-bit one).
inline constexpr DWORD TrayRecordSize = NOTIFYICONDATAA_V2_SIZE;

enum TCallbackStyle { ClassicCallbacks = 0, Version3Callbacks = 1 };

using TCycleEvent = std::function<void(TObject* sender, int NextIndex)>;
using TStartupEvent = std::function<void(TObject* sender, bool& ShowMainForm)>;

// Every tray icon reaches the shell through this call. Tests put a watcher in
// (which may call ShellNotifyIconDirect itself); null puts the shell back.
using TShellNotifyIcon = std::function<BOOL(DWORD message, NOTIFYICONDATAA& record)>;
void SetShellNotifyIcon(TShellNotifyIcon call);
BOOL ShellNotifyIconDirect(DWORD message, NOTIFYICONDATAA& record);

// Every request of the tray icons to bring a window to the foreground goes
// through this call. Tests put a watcher in (which may call
// ::SetForegroundWindow itself); null puts the system's call back.
using TSetForegroundWindow = std::function<BOOL(HWND window)>;
void SetForegroundWindowCall(TSetForegroundWindow call);
// Brings the window to the foreground through the call above.
BOOL BringToForeground(HWND window);

// comctl32's file version (major in the high word, minor in the low word), 0
// when it can't be read.
uint32_t ComctlVersion();
// The number of the shell's "TaskbarCreated" broadcast, registered once at
// start-up when comctl32 is 4.71 or later; 0 otherwise (a re-created taskbar
// then goes unnoticed).
UINT TaskbarRestartMessage();

// The hidden window shared by all tray icons of the process; it exists while
// at least one tray icon does.
class TTrayIconHandler {
public:
    static HWND Window();  // null while no tray icon exists
    static uint32_t UserCount();
    // The live icon with that number; null when it has gone.
    static TTrayIcon* LiveIcon(uint32_t trayId);

private:
    friend class TTrayIcon;
    static uint32_t AcquireTrayHandler(TTrayIcon* icon);
    static void ReleaseTrayHandler(uint32_t trayId);
    static LRESULT CALLBACK DispatchTrayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* owner);
    ~TTrayIcon() override;

    // Properties, in the order a stored description applies them.
    bool DesignPreview() const { return designPreview_; }
    void SetDesignPreview(bool value);
    TImageList* IconList() const { return iconList_; }
    void SetIconList(TImageList* list);
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool value);
    uint32_t CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(uint32_t value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    TIcon& Icon() { return *icon_; }
    void SetIcon(const TIcon& value);
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool value);
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);
    bool LeftPopup() const { return leftPopup_; }
    void SetLeftPopup(bool value) { leftPopup_ = value; }
    bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
    void SetWantEnterExitEvents(bool value);
    bool MinimizeToTray() const { return minimizeToTray_; }
    void SetMinimizeToTray(bool value) { minimizeToTray_ = value; }

    // Events; the sender is always the tray icon.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TCycleEvent OnCycle;
    TNotifyEvent OnBalloonHintShow;
    TNotifyEvent OnBalloonHintHide;
    TNotifyEvent OnBalloonHintTimeout;
    TNotifyEvent OnBalloonHintClick;
    TNotifyEvent OnMinimizeToTray;
    TStartupEvent OnStartup;

    // Whether an empty icon shows the stock icon while designing.
    virtual bool UsesDefaultDesignIcon() const { return true; }
    // Shell calls; each returns whether the shell accepted it. Nobody needs
    // to act on a refusal: a refused add of an icon that should show is
    // tried again by the icon itself (see AddRetryPending), and a refused
    // change of an entry the shell held puts the icon in again.
    virtual bool AddToTray();
    virtual bool RemoveFromTray();
    virtual bool RefreshTrayEntry();

    // While the icon should show and the shell has refused it (at logon the
    // notification area may not exist yet, or be too busy to answer, and
    // no "TaskbarCreated" need follow), the add is tried again every
    // kAddRetryInterval ms until kAddRetrySpan ms after the first refusal;
    // after that only the next "TaskbarCreated" puts it in (and a refusal
    // then starts the retries anew). No timer runs while the icon is in the
    // tray.
    static constexpr uint32_t kAddRetryInterval = 2000;
    static constexpr uint32_t kAddRetrySpan = 5 * 60 * 1000;
    bool AddRetryPending() const;
    // Shorter times for tests.
    void SetAddRetryTiming(uint32_t interval, uint32_t span);

    TCallbackStyle CallbackStyle() const { return callbackStyle_; }
    void SetCallbackStyle(TCallbackStyle style);

    // Hides the application's main window and its taskbar button (the icon
    // stays as it is).
    void WithdrawMainWindow();
    // Hides the application's top-level window, and with it the taskbar button.
    void WithdrawTaskbarButton();

    // The number that leads the shell's callbacks back to this icon.
    uint32_t TrayId() const { return trayId_; }
    const NOTIFYICONDATAA& TrayRecord() const { return trayRecord_; }

    void Loaded() override;

protected:
    void Notification(TComponent* component, TOperation operation) override;

    // Puts a square bitmap into icon at the bitmap's own size (16 x 16 at
    // 96 dpi); pixels of maskColour become transparent (clNone masks none).
    // False when the image can't be made.
    bool MaskedBitmapToIcon(TBitmap& bitmap, TIcon& icon, TColor maskColour);

    void FillTrayRecord();
    void IconChanged();

    // Event raisers.
    virtual void RaiseClick();
    virtual void RaiseDblClick();
    virtual void RaiseCycle(int nextIndex);
    virtual void RaiseMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void RaiseMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void RaiseMouseMove(TShiftState shift, int x, int y);
    virtual void RaiseMouseEnter();
    virtual void RaiseMouseExit();
    // Withdraws the main window, then puts the icon into the tray.
    virtual void ParkInTray();

private:
    friend class TTrayIconHandler;
    friend struct OwnerWindowChain;

    void TrayCallback(UINT event);
    void ShowMenuAtCursor();
    void IconCycleTick();
    void ClickDelayElapsed();
    void LeaveWatchTick();
    // After an add: the entry is in, or the retries begin.
    void AddAnswered(bool added);
    void AddRetryTick();

    // Minimise to tray.
    void ApplicationWindowHook(UINT message, WPARAM wParam, LPARAM lParam);
    bool OwnerWindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool TryParkInTray(LRESULT& result);
    bool RunStartupCallback();
    void SubclassOwnerWindow(TWinControl* owner);
    void RestoreOwnerWindow();

    bool designPreview_ = false;
    TImageList* iconList_ = nullptr;
    bool cycleIcons_ = false;
    uint32_t cycleInterval_ = 0;
    bool enabled_ = true;
    std::string hint_;
    bool showHint_ = true;
    std::unique_ptr<TIcon> icon_;
    bool iconVisible_ = false;
    int iconIndex_ = 0;
    TPopupMenu* popupMenu_ = nullptr;
    bool leftPopup_ = false;
    bool wantEnterExitEvents_ = false;
    bool minimizeToTray_ = false;

    uint32_t trayId_ = 0;
    bool leftPressPending_ = false;
    bool clickPending_ = false;
    std::unique_ptr<TSimpleTimer> iconCycleTimer_;
    std::unique_ptr<TSimpleTimer> clickDelayTimer_;
    std::unique_ptr<TSimpleTimer> leaveWatchTimer_;
    std::unique_ptr<TSimpleTimer> addRetryTimer_;
    uint32_t addRetrySpan_ = kAddRetrySpan;
    DWORD addRetryStart_ = 0;  // GetTickCount of the first refusal
    // The shell holds the entry, as far as its answers tell: a successful
    // add or change, and no delete or re-created taskbar since.
    bool inTray_ = false;
    int lastPointerX_ = 0;
    int lastPointerY_ = 0;
    bool pointerOutside_ = true;
    TCallbackStyle callbackStyle_ = ClassicCallbacks;
    bool doubleClickSeen_ = false;
    bool inPreviewChange_ = false;
    bool awaitMdiCheck_ = true;
    int applicationHookId_ = 0;
    HWND ownerWindow_ = nullptr;  // the subclassed owner form's window
    NOTIFYICONDATAA trayRecord_;
};

}  // namespace sw
