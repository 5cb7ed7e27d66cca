#include "TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "framework/Application.h"
#include "framework/Bitmap.h"
#include "framework/Handles.h"

namespace sw {

#if !defined(_WIN64)
static_assert(TrayRecordSize == 488, "the tray record's ANSI layout with balloon fields");
#endif
static_assert(TrayRecordSize <= sizeof(NOTIFYICONDATAA));

namespace {

constexpr char kWindowClass[] = "TTrayIconHandler";
constexpr uint32_t kVersion471 = 0x00040047;

// ---- Module start-up: the comctl32 version and the taskbar's re-creation message.

uint32_t ReadComctlVersion() {
    char name[] = "comctl32.dll";
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(name, &ignored);
    if (size == 0) return 0;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(name, 0, size, data.data())) return 0;
    void* value = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!::VerQueryValueA(data.data(), root, &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return static_cast<const VS_FIXEDFILEINFO*>(value)->dwFileVersionMS;
}

uint32_t g_comctlVersion = 0;
UINT g_taskbarRestartMessage = 0;

// Runs once per process, before main and so before any form exists.
struct TrayModuleStartup {
    TrayModuleStartup() {
        if (ComctlVersion() >= kVersion471) g_taskbarRestartMessage = ::RegisterWindowMessageA("TaskbarCreated");
    }
};
const TrayModuleStartup g_trayModuleStartup;

// ---- The shell call, with its seam for tests.

TShellNotifyIcon& ShellCall() {
    static TShellNotifyIcon call;
    return call;
}

BOOL ShellNotify(DWORD message, NOTIFYICONDATAA& record) {
    if (const TShellNotifyIcon& call = ShellCall()) return call(message, record);
    return ShellNotifyIconDirect(message, record);
}

// ---- The shared handler. Icons are known to the shell by numbers handed out
// here, not by addresses: a callback still queued for a destroyed icon finds
// no entry and reaches nothing, and the numbers fit the record's 32-bit uID
// on every build.
struct HandlerState {
    uint32_t userCount = 0;
    WindowHandle window;
    std::unordered_map<uint32_t, TTrayIcon*> live;
    uint32_t nextId = 1;

    ~HandlerState() {
        // The module shuts down: a handler that still exists goes now.
        live.clear();
        window.Close();
    }
};

HandlerState& State() {
    static HandlerState state;
    return state;
}

TSetForegroundWindow& ForegroundCall() {
    static TSetForegroundWindow call;
    return call;
}

POINT CursorNow() {
    POINT point{0, 0};
    if (!::GetCursorPos(&point)) point = POINT{0, 0};
    return point;
}

TShiftState AsyncShiftState() {
    TShiftState shift = 0;
    if (::GetAsyncKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (::GetAsyncKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (::GetAsyncKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

// Calls an event through a copy, so a handler may reassign its own event.
template <typename Event, typename... Args>
void Raise(const Event& event, Args&&... args) {
    if (!event) return;
    const Event handler = event;
    handler(std::forward<Args>(args)...);
}

}  // namespace

void SetShellNotifyIcon(TShellNotifyIcon call) { ShellCall() = std::move(call); }

BOOL ShellNotifyIconDirect(DWORD message, NOTIFYICONDATAA& record) { return ::Shell_NotifyIconA(message, &record); }

void SetForegroundWindowCall(TSetForegroundWindow call) { ForegroundCall() = std::move(call); }

BOOL BringToForeground(HWND window) {
    if (const TSetForegroundWindow& call = ForegroundCall()) return call(window);
    return ::SetForegroundWindow(window);
}

uint32_t ComctlVersion() {
    if (g_comctlVersion == 0) g_comctlVersion = ReadComctlVersion();  // kept once read
    return g_comctlVersion;
}

UINT TaskbarRestartMessage() { return g_taskbarRestartMessage; }

// ================================================================ TTrayIconHandler

HWND TTrayIconHandler::Window() { return State().window.Get(); }

uint32_t TTrayIconHandler::UserCount() { return State().userCount; }

uint32_t TTrayIconHandler::AcquireTrayHandler(TTrayIcon* icon) {
    auto& state = State();
    if (!state.window) {
        const HINSTANCE instance = ::GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DispatchTrayMessage;
        wc.hInstance = instance;
        wc.lpszClassName = kWindowClass;
        ::RegisterClassA(&wc);  // already registered by an earlier handler: fine
        state.window.Attach(::CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                              nullptr, instance, nullptr));
    }
    ++state.userCount;
    uint32_t id = state.nextId;
    while (id == 0 || state.live.count(id)) ++id;  // after a wrap-around, skip numbers in use
    state.nextId = id + 1;
    state.live[id] = icon;
    return id;
}

void TTrayIconHandler::ReleaseTrayHandler(uint32_t trayId) {
    auto& state = State();
    state.live.erase(trayId);
    if (state.userCount > 0) --state.userCount;
    if (state.userCount == 0) state.window.Close();
}

TTrayIcon* TTrayIconHandler::LiveIcon(uint32_t trayId) {
    auto& live = State().live;
    const auto found = live.find(trayId);
    return found == live.end() ? nullptr : found->second;
}

LRESULT CALLBACK TTrayIconHandler::DispatchTrayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case TrayCallbackMessage: {
            TTrayIcon* icon = LiveIcon(static_cast<uint32_t>(wParam));
            if (!icon) return 0;
            return GuardedWndProc(icon, [&]() -> LRESULT {
                icon->TrayCallback(static_cast<UINT>(lParam));
                return 0;
            });
        }
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            return 1;
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUIT:
        case WM_NCDESTROY:
            // Only the handler itself destroys this window; a WM_CLOSE from
            // outside must not.
            return 1;
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

// ====================================================================== TTrayIcon

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner), icon_(std::make_unique<TIcon>()) {
    trayId_ = TTrayIconHandler::AcquireTrayHandler(this);
    try {
        awaitMdiCheck_ = true;
        enabled_ = true;
        showHint_ = true;
        icon_->OnChange = [this](TObject*) { IconChanged(); };

        std::memset(&trayRecord_, 0, sizeof trayRecord_);
        trayRecord_.cbSize = TrayRecordSize;
        trayRecord_.hWnd = TTrayIconHandler::Window();
        trayRecord_.uID = trayId_;
        trayRecord_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        trayRecord_.uCallbackMessage = TrayCallbackMessage;

        iconCycleTimer_ = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { IconCycleTick(); });
        clickDelayTimer_ = std::make_unique<TSimpleTimer>(1000, [this](TObject*) { ClickDelayElapsed(); });
        leaveWatchTimer_ = std::make_unique<TSimpleTimer>(20, [this](TObject*) { LeaveWatchTick(); });
        addRetryTimer_ = std::make_unique<TSimpleTimer>(kAddRetryInterval, [this](TObject*) { AddRetryTick(); });
        pointerOutside_ = true;

        if (Application) {
            // The hook finds the icon by its number: a copy of the hook list
            // may still call it after the icon has gone.
            const uint32_t id = trayId_;
            applicationHookId_ = Application->HookMainWindow([id](UINT message, WPARAM wParam, LPARAM lParam,
                                                                 LRESULT&) {
                if (TTrayIcon* icon = TTrayIconHandler::LiveIcon(id)) {
                    try {
                        icon->ApplicationWindowHook(message, wParam, lParam);
                    } catch (...) {
                        // Reported here, so the application's window still
                        // handles the message as usual.
                        Application->HandleException(icon);
                    }
                }
                return false;
            });
        }
        if (auto* form = dynamic_cast<TWinControl*>(owner)) SubclassOwnerWindow(form);
    } catch (...) {
        if (Application && applicationHookId_) Application->UnhookMainWindow(applicationHookId_);
        TTrayIconHandler::ReleaseTrayHandler(trayId_);
        throw;
    }
}

TTrayIcon::~TTrayIcon() {
    try {
        RemoveFromTray();
        SetDesignPreview(false);
        iconCycleTimer_.reset();
        clickDelayTimer_.reset();
        leaveWatchTimer_.reset();
        addRetryTimer_.reset();
        icon_->OnChange = nullptr;
        icon_.reset();
    } catch (...) {
        // Destruction goes on: the hook, the subclassing and the shared
        // handler must be released whatever happened above.
    }
    if (Application && applicationHookId_) Application->UnhookMainWindow(applicationHookId_);
    RestoreOwnerWindow();
    TTrayIconHandler::ReleaseTrayHandler(trayId_);
}

// ---- Properties

void TTrayIcon::SetDesignPreview(bool value) {
    designPreview_ = value;
    // Only a design environment shows a preview; at run time this is a store.
    if (!InState(csDesigning) || InState(csLoading)) return;
    inPreviewChange_ = true;
    try {
        if (value)
            AddToTray();
        else
            RemoveFromTray();
    } catch (...) {
        inPreviewChange_ = false;
        throw;
    }
    inPreviewChange_ = false;
}

void TTrayIcon::SetIconList(TImageList* list) {
    if (iconList_ != list) {
        if (iconList_) RemoveFreeNotification(iconList_);
        iconList_ = list;
        if (list) FreeNotification(list);
    }
    SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value) {
    cycleIcons_ = value;
    if (value) {
        SetIconIndex(0);
        iconCycleTimer_->SetInterval(cycleInterval_);
        iconCycleTimer_->Start();
    } else {
        iconCycleTimer_->Stop(true);
    }
}

void TTrayIcon::SetCycleInterval(uint32_t value) {
    cycleInterval_ = value;
    SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetHint(const std::string& value) {
    hint_ = value;
    RefreshTrayEntry();
}

void TTrayIcon::SetShowHint(bool value) {
    showHint_ = value;
    RefreshTrayEntry();
}

void TTrayIcon::SetIcon(const TIcon& value) {
    // One refresh for the whole change, not one from the icon's own
    // notification as well.
    TNotifyEvent handler = std::move(icon_->OnChange);
    icon_->OnChange = nullptr;
    try {
        icon_->Assign(value);
    } catch (...) {
        icon_->OnChange = std::move(handler);
        throw;
    }
    icon_->OnChange = std::move(handler);
    RefreshTrayEntry();
}

void TTrayIcon::SetIconVisible(bool value) {
    if (value)
        AddToTray();
    else
        RemoveFromTray();
}

void TTrayIcon::SetIconIndex(int value) {
    const int count = iconList_ ? iconList_->Count() : 0;
    if (count > 0) {
        // Beyond the last image shows the last one; below the first, the first.
        iconIndex_ = std::clamp(value, 0, count - 1);
        iconList_->GetIcon(iconIndex_, *icon_);
    } else {
        iconIndex_ = 0;
    }
    RefreshTrayEntry();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* menu) {
    if (popupMenu_ == menu) return;
    if (popupMenu_) RemoveFreeNotification(popupMenu_);
    popupMenu_ = menu;
    if (menu) FreeNotification(menu);
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
    wantEnterExitEvents_ = value;
    leaveWatchTimer_->SetRunning(value);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == iconList_) {
        iconList_ = nullptr;
        SetIconIndex(0);
    }
    if (component == popupMenu_) popupMenu_ = nullptr;
}

// ---- The shell entry

void TTrayIcon::FillTrayRecord() {
    HICON icon = icon_ ? icon_->Handle() : nullptr;
    if (!icon && InState(csDesigning) && UsesDefaultDesignIcon()) icon = ::LoadIconA(nullptr, IDI_WINLOGO);
    trayRecord_.hIcon = icon;
    std::memset(trayRecord_.szTip, 0, sizeof trayRecord_.szTip);
    if (!hint_.empty() && showHint_) {
        const size_t length = std::min(hint_.size(), sizeof trayRecord_.szTip - 1);  // 127 and a NUL
        std::memcpy(trayRecord_.szTip, hint_.data(), length);
    }
}

bool TTrayIcon::AddToTray() {
    if (!inPreviewChange_) iconVisible_ = true;
    FillTrayRecord();
    const bool added = ShellNotify(NIM_ADD, trayRecord_) != FALSE;
    AddAnswered(added);
    return added;
}

bool TTrayIcon::RemoveFromTray() {
    if (!inPreviewChange_) iconVisible_ = false;
    FillTrayRecord();
    inTray_ = false;
    if (!iconVisible_) addRetryTimer_->Stop(true);
    return ShellNotify(NIM_DELETE, trayRecord_) != FALSE;
}

bool TTrayIcon::RefreshTrayEntry() {
    // Sent also while the icon is not in the tray; the shell then refuses it.
    FillTrayRecord();
    if (ShellNotify(NIM_MODIFY, trayRecord_) != FALSE) {
        inTray_ = true;
        return true;
    }
    // The shell has lost the entry it held: Explorer was restarted and its
    // "TaskbarCreated" never reached us. The icon goes in again.
    if (inTray_ && iconVisible_) {
        inTray_ = false;
        return AddToTray();
    }
    return false;
}

void TTrayIcon::AddAnswered(bool added) {
    if (added) {
        inTray_ = true;
        addRetryTimer_->Stop(true);  // nothing periodic while the icon is in place
        return;
    }
    // A second add of a present icon is refused: nothing to try again.
    if (inTray_ || !iconVisible_ || addRetryTimer_->Running()) return;
    addRetryStart_ = ::GetTickCount();
    addRetryTimer_->Start();
}

void TTrayIcon::AddRetryTick() {
    if (inTray_ || !iconVisible_) {
        addRetryTimer_->Stop(true);
        return;
    }
    FillTrayRecord();
    // A busy shell may have taken a refused add all the same: an entry that
    // takes a change is there, and a second add would only be refused.
    if (ShellNotify(NIM_MODIFY, trayRecord_) != FALSE || ShellNotify(NIM_ADD, trayRecord_) != FALSE) {
        AddAnswered(true);
        return;
    }
    if (::GetTickCount() - addRetryStart_ >= addRetrySpan_) addRetryTimer_->Stop(true);
}

bool TTrayIcon::AddRetryPending() const { return addRetryTimer_ && addRetryTimer_->Running(); }

void TTrayIcon::SetAddRetryTiming(uint32_t interval, uint32_t span) {
    addRetryTimer_->SetInterval(interval);
    addRetrySpan_ = span;
}

void TTrayIcon::SetCallbackStyle(TCallbackStyle style) {
    callbackStyle_ = style;
    trayRecord_.uVersion = style == Version3Callbacks ? 3 : 0;
    ShellNotify(NIM_SETVERSION, trayRecord_);
}

void TTrayIcon::IconChanged() { RefreshTrayEntry(); }

bool TTrayIcon::MaskedBitmapToIcon(TBitmap& bitmap, TIcon& icon, TColor maskColour) {
    TImageList list(nullptr, bitmap.Width(), bitmap.Height());
    bitmap.ReleaseCanvasHandle();  // the list selects the bitmap itself
    const COLORREF mask = maskColour == clNone ? TImageList::kNoMask : ColorToRGB(maskColour);
    const int index = list.AddMasked(bitmap.Handle(), mask);
    return index >= 0 && list.GetIcon(index, icon) && !icon.Empty();
}

void TTrayIcon::Loaded() {
    TComponent::Loaded();
    RunStartupCallback();
    RefreshTrayEntry();
    SetIconVisible(iconVisible_);  // a second NIM_ADD for a present icon fails without effect
    SetCycleIcons(cycleIcons_);
    SetWantEnterExitEvents(wantEnterExitEvents_);
    SetCallbackStyle(callbackStyle_);
}

// ---- Event raisers

void TTrayIcon::RaiseClick() { Raise(OnClick, this); }
void TTrayIcon::RaiseDblClick() { Raise(OnDblClick, this); }
void TTrayIcon::RaiseCycle(int nextIndex) { Raise(OnCycle, this, nextIndex); }
void TTrayIcon::RaiseMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    Raise(OnMouseDown, this, button, shift, x, y);
}
void TTrayIcon::RaiseMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    Raise(OnMouseUp, this, button, shift, x, y);
}
void TTrayIcon::RaiseMouseMove(TShiftState shift, int x, int y) { Raise(OnMouseMove, this, shift, x, y); }
void TTrayIcon::RaiseMouseEnter() { Raise(OnMouseEnter, this); }
void TTrayIcon::RaiseMouseExit() { Raise(OnMouseExit, this); }

// ---- The shell's callbacks

void TTrayIcon::TrayCallback(UINT event) {
    // A handler may destroy the icon; nothing of it is touched after that.
    const uint32_t id = trayId_;
    const auto gone = [id, this] { return TTrayIconHandler::LiveIcon(id) != this; };

    switch (event) {
        case NIN_BALLOONSHOW:
            return Raise(OnBalloonHintShow, this);
        case NIN_BALLOONHIDE:
            return Raise(OnBalloonHintHide, this);
        case NIN_BALLOONTIMEOUT:
            return Raise(OnBalloonHintTimeout, this);
        case NIN_BALLOONUSERCLICK:
            return Raise(OnBalloonHintClick, this);
        default:
            break;
    }
    if (!enabled_) return;

    const POINT at = CursorNow();
    const TShiftState shift = AsyncShiftState();
    switch (event) {
        case WM_MOUSEMOVE:
            if (wantEnterExitEvents_ && pointerOutside_) {
                RaiseMouseEnter();
                if (gone()) return;
                pointerOutside_ = false;
            }
            RaiseMouseMove(shift, at.x, at.y);
            if (gone()) return;
            lastPointerX_ = at.x;
            lastPointerY_ = at.y;
            return;

        case WM_LBUTTONDOWN:
            if (OnDblClick) {
                // A double click seen while no click was waiting (before
                // OnDblClick was assigned) has no say in this press; one seen
                // while the delay runs swallows the click of a triple click.
                if (!clickDelayTimer_->Running()) doubleClickSeen_ = false;
                clickDelayTimer_->SetInterval(::GetDoubleClickTime());
                clickDelayTimer_->Start();
            }
            RaiseMouseDown(mbLeft, shift | ssLeft, at.x, at.y);
            if (gone()) return;
            leftPressPending_ = true;
            if (leftPopup_) ShowMenuAtCursor();
            return;

        case WM_LBUTTONUP:
            if (leftPressPending_) {
                clickPending_ = true;
                if (!clickDelayTimer_->Running()) {
                    leftPressPending_ = false;
                    clickPending_ = false;
                    RaiseClick();
                    if (gone()) return;
                }
            }
            leftPressPending_ = false;
            RaiseMouseUp(mbLeft, shift | ssLeft, at.x, at.y);
            return;

        case WM_LBUTTONDBLCLK:
            clickPending_ = false;
            doubleClickSeen_ = true;
            RaiseDblClick();
            if (gone()) return;
            if (popupMenu_ && popupMenu_->AutoPopup() && !leftPopup_)
                if (TMenuItem* item = popupMenu_->DefaultItem()) item->Click();
            return;

        case WM_RBUTTONDOWN:
            RaiseMouseDown(mbRight, shift | ssRight, at.x, at.y);
            if (gone()) return;
            ShowMenuAtCursor();
            return;

        case WM_RBUTTONUP:
            if (callbackStyle_ == ClassicCallbacks) RaiseMouseUp(mbRight, shift | ssRight, at.x, at.y);
            return;

        case WM_CONTEXTMENU:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            if (callbackStyle_ == Version3Callbacks) RaiseMouseUp(mbRight, shift | ssRight, at.x, at.y);
            return;

        case WM_MBUTTONDOWN:
            RaiseMouseDown(mbMiddle, shift | ssMiddle, at.x, at.y);
            return;

        case WM_MBUTTONUP:
            RaiseMouseUp(mbMiddle, shift | ssMiddle, at.x, at.y);
            return;

        default:
            return;  // right and middle double clicks among them
    }
}

void TTrayIcon::ShowMenuAtCursor() {
    if (!popupMenu_ || !popupMenu_->AutoPopup()) return;
    POINT at{};
    if (!::GetCursorPos(&at)) return;
    const uint32_t id = trayId_;
    const auto gone = [id, this] { return TTrayIconHandler::LiveIcon(id) != this; };

    // The menu closes properly when clicked beside it only if the
    // application is in the foreground while it is tracked.
    if (Application) {
        BringToForeground(Application->Handle());
        Application->ProcessMessages();
        if (gone() || !popupMenu_) return;  // the pending messages may have changed everything
    }
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(at.x, at.y);
    if (gone()) return;
    if (auto* owner = dynamic_cast<TWinControl*>(Owner()); owner && owner->HandleAllocated())
        ::PostMessageA(owner->Handle(), WM_NULL, 0, 0);
}

// ---- Timers

void TTrayIcon::IconCycleTick() {
    const int count = iconList_ ? iconList_->Count() : 0;
    if (count == 0) return;
    const uint32_t id = trayId_;
    iconList_->GetIcon(std::clamp(iconIndex_, 0, count - 1), *icon_);
    const int next = iconIndex_ < count - 1 ? iconIndex_ + 1 : 0;
    RaiseCycle(next);
    if (TTrayIconHandler::LiveIcon(id) != this) return;
    SetIconIndex(next);
}

void TTrayIcon::ClickDelayElapsed() {
    clickDelayTimer_->Stop(true);
    const bool raise = !doubleClickSeen_ && clickPending_;
    doubleClickSeen_ = false;
    if (raise) {
        clickPending_ = false;
        RaiseClick();
    }
}

void TTrayIcon::LeaveWatchTick() {
    if (pointerOutside_) return;
    POINT at{};
    if (!::GetCursorPos(&at)) return;
    if (at.x == lastPointerX_ && at.y == lastPointerY_) return;
    pointerOutside_ = true;
    RaiseMouseExit();
}

}  // namespace sw
