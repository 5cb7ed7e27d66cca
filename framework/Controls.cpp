#include "Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "Application.h"
#include "Exceptions.h"

namespace sw {

namespace {

std::wstring WideOf(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                             static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(std::max(0, length)));
    return wide;
}

WPARAM WideCharOf(char ansi) {
    wchar_t wide = 0;
    ::MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &wide, 1);
    return wide;
}

std::optional<char> AnsiCharOf(wchar_t wide) {
    char ansi = 0;
    BOOL lost = FALSE;
    if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, &ansi, 1, nullptr, &lost) != 1 || lost ||
        static_cast<wchar_t>(WideCharOf(ansi)) != wide)
        return std::nullopt;
    return ansi;
}

constexpr char kControlProperty[] = "Startwacht.Control";
constexpr UINT_PTR kSubclassId = 1;

// The control under the pointer (main thread only).
TControl* g_mouseControl = nullptr;

void SetMouseControl(TControl* control) {
    if (control == g_mouseControl) return;
    TControl* previous = std::exchange(g_mouseControl, control);
    if (previous) previous->Perform(CM_MOUSELEAVE);
    // The leave handler may have moved on already.
    if (control && g_mouseControl == control) control->Perform(CM_MOUSEENTER);
}

std::function<void()>& BeepHandler() {
    static std::function<void()> handler;
    return handler;
}

bool IsMouseMessage(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            return true;
        default:
            return false;
    }
}

TShiftState MouseShiftState(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= ssShift;
    if (keys & MK_CONTROL) shift |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (keys & MK_LBUTTON) shift |= ssLeft;
    if (keys & MK_RBUTTON) shift |= ssRight;
    if (keys & MK_MBUTTON) shift |= ssMiddle;
    return shift;
}

}  // namespace

TShiftState KeyboardShiftState() {
    TShiftState shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (::GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

void DefaultBeep() {
    if (BeepHandler())
        BeepHandler()();
    else
        ::MessageBeep(0);
}

void SetBeepHandler(std::function<void()> handler) { BeepHandler() = std::move(handler); }

// ===================================================================== TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this](TObject*) {
        if (!takingParentFont_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (g_mouseControl == this) g_mouseControl = nullptr;
    if (parent_) parent_->RemoveControl(this);
}

TControl* TControl::MouseControl() { return g_mouseControl; }

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw EInvalidOperation("Ein Steuerelement kann nicht sein eigenes übergeordnetes sein");
    if (parent_) parent_->RemoveControl(this);
    parent_ = parent;
    if (parent_) {
        parent_->InsertControl(this);
        ParentFontChanged();
        ParentColorChanged();
    }
}

void TControl::StoreBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    StoreBounds(left, top, width, height);
    Invalidate();
    BoundsChanged();
    if (parent_ && align_ != alNone) parent_->AlignControls();
}

POINT TControl::ClientToScreen(POINT point) const {
    if (!parent_) return point;
    point.x += left_;
    point.y += top_;
    return parent_->ClientToScreen(point);
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    VisibleChanged();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::SetParentFont(bool value) {
    parentFont_ = value;
    if (value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parentFont_ || !parent_) return;
    takingParentFont_ = true;
    try {
        font_.Assign(parent_->Font());
    } catch (...) {
        takingParentFont_ = false;
        throw;
    }
    takingParentFont_ = false;
}

void TControl::SetColor(TColor color) {
    parentColor_ = false;
    if (color == color_) return;
    color_ = color;
    ColorChanged();
}

void TControl::SetParentColor(bool value) {
    parentColor_ = value;
    if (value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!parentColor_ || !parent_ || parent_->Color() == color_) return;
    color_ = parent_->Color();
    ColorChanged();
}

void TControl::SetText(const std::string& text) {
    if (GetText() == text) return;
    ApplyText(text);
    TextChanged();
}

void TControl::FontChanged() { Invalidate(); }

void TControl::ColorChanged() { Invalidate(); }

void TControl::EnabledChanged() { Invalidate(); }

void TControl::VisibleChanged() {
    // A windowless control appears or vanishes with its parent's next paint.
    if (parent_ && parent_->HandleAllocated()) {
        const RECT r = BoundsRect();
        ::InvalidateRect(parent_->Handle(), &r, TRUE);
    }
    if (parent_ && align_ != alNone) parent_->AlignControls();
}

void TControl::ChangeScale(int m, int d) {
    const int left = ::MulDiv(left_, m, d);
    const int top = ::MulDiv(top_, m, d);
    const int width = ::MulDiv(left_ + width_, m, d) - left;
    const int height = ::MulDiv(top_ + height_, m, d) - top;
    if (!parentFont_) font_.SetHeight(::MulDiv(font_.Height(), m, d));
    SetBounds(left, top, width, height);
}

void TControl::SetCursor(TCursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    // Under the pointer already: the new shape shows without waiting for a move.
    if (g_mouseControl != this) return;
    auto* windowed = dynamic_cast<TWinControl*>(this);
    TWinControl* owner = windowed ? windowed : parent_;
    if (owner && owner->HandleAllocated())
        ::SendMessageA(owner->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(owner->Handle()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* windowed = dynamic_cast<TWinControl*>(this); windowed && windowed->HandleAllocated())
        return ::SendMessageA(windowed->Handle(), message, wParam, lParam);
    TMessage m{message, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& message) {
    if (IsMouseMessage(message.Msg)) {
        HandleMouseMessage(message);
        return;
    }
    switch (message.Msg) {
        case WM_CANCELMODE:
            ExcludeState(csClicked | csLButtonDown);
            break;
        case CM_MOUSEENTER:
            MouseEnter();
            return;
        case CM_MOUSELEAVE:
            MouseLeave();
            return;
        default:
            break;
    }
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& message) { message.Result = 0; }

void TControl::HandleMouseMessage(TMessage& message) {
    const int x = GET_X_LPARAM(message.LParam);
    const int y = GET_Y_LPARAM(message.LParam);
    const TShiftState shift = MouseShiftState(message.WParam);
    switch (message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const bool twice = message.Msg == WM_LBUTTONDBLCLK && (controlStyle_ & csDoubleClicks);
            IncludeState(csLButtonDown);
            DefaultHandler(message);
            if (controlStyle_ & csCaptureMouse) SetMouseCapture(true);
            if (controlStyle_ & csClickEvents) IncludeState(csClicked);
            if (twice) DblClick();
            MouseDown(mbLeft, twice ? (shift | ssDouble) : shift, x, y);
            return;
        }
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: {
            DefaultHandler(message);
            if (controlStyle_ & csCaptureMouse) SetMouseCapture(true);
            const bool right = message.Msg == WM_RBUTTONDOWN || message.Msg == WM_RBUTTONDBLCLK;
            MouseDown(right ? mbRight : mbMiddle, shift, x, y);
            return;
        }
        case WM_LBUTTONUP: {
            DefaultHandler(message);
            if (controlStyle_ & csCaptureMouse) SetMouseCapture(false);
            const bool clicked = (controlState_ & csClicked) != 0;
            ExcludeState(csClicked | csLButtonDown);
            const RECT client = ClientRect();
            if (clicked && x >= client.left && x < client.right && y >= client.top && y < client.bottom) Click();
            MouseUp(mbLeft, shift, x, y);
            return;
        }
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            DefaultHandler(message);
            if (controlStyle_ & csCaptureMouse) SetMouseCapture(false);
            MouseUp(message.Msg == WM_RBUTTONUP ? mbRight : mbMiddle, shift, x, y);
            return;
        case WM_MOUSEMOVE:
            DefaultHandler(message);
            MouseMove(shift, x, y);
            return;
        default:
            DefaultHandler(message);
    }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::Invalidate() {
    if (parent_ && parent_->HandleAllocated() && visible_) {
        const RECT r = BoundsRect();
        ::InvalidateRect(parent_->Handle(), &r, (controlStyle_ & csOpaque) ? FALSE : TRUE);
    }
}

void TControl::Update() {
    if (auto* windowed = dynamic_cast<TWinControl*>(this)) {
        if (windowed->HandleAllocated()) ::UpdateWindow(windowed->Handle());
    } else if (parent_ && parent_->HandleAllocated()) {
        ::UpdateWindow(parent_->Handle());
    }
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

bool TControl::MouseCapture() const {
    if (auto* windowed = dynamic_cast<const TWinControl*>(this))
        return windowed->HandleAllocated() && ::GetCapture() == windowed->handle_.Get();
    return parent_ && parent_->captureControl_ == this && parent_->HandleAllocated() &&
           ::GetCapture() == parent_->handle_.Get();
}

void TControl::SetMouseCapture(bool value) {
    if (auto* windowed = dynamic_cast<TWinControl*>(this)) {
        if (value)
            ::SetCapture(windowed->Handle());
        else if (windowed->HandleAllocated() && ::GetCapture() == windowed->handle_.Get())
            ::ReleaseCapture();
        return;
    }
    if (!parent_) return;
    if (value) {
        parent_->captureControl_ = this;
        ::SetCapture(parent_->Handle());
    } else if (parent_->captureControl_ == this) {
        parent_->captureControl_ = nullptr;
        if (parent_->HandleAllocated() && ::GetCapture() == parent_->handle_.Get()) ::ReleaseCapture();
    }
}

// ================================================================== TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { brush_.SetColor(Color()); }

TWinControl::~TWinControl() {
    destroying_ = true;
    // No notification of this window reaches the wrapper from here on.
    if (hwnd_) ::RemovePropA(hwnd_, kControlProperty);
    // Children go first, while this window still exists.
    while (!controls_.empty()) delete controls_.back();
    for (TWinControl* p = Parent(); p; p = p->Parent())
        if (p->activeControl_ == this) p->activeControl_ = nullptr;
    handle_.Close();
}

TWinControl* TWinControl::FromHandle(HWND window) {
    if (!window) return nullptr;
    auto* control = static_cast<TWinControl*>(::GetPropA(window, kControlProperty));
    return control && !control->destroying_ ? control : nullptr;
}

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_.Get();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = text_;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (Visible()) params.Style |= WS_VISIBLE;
    if (tabStop_) params.Style |= WS_TABSTOP;
    if (!Enabled()) params.Style |= WS_DISABLED;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.WndParent = Parent() ? Parent()->Handle() : nullptr;
    params.WinClassName = "TWinControl";
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation("Steuerelement '" + Name() + "' hat kein übergeordnetes Fenster");
    if (!params.SystemClassName.empty()) {
        HWND window = params.Unicode
                          ? ::CreateWindowExW(params.ExStyle, WideOf(params.SystemClassName).c_str(),
                                              WideOf(params.Caption).c_str(), params.Style, params.X, params.Y,
                                              params.Width, params.Height, params.WndParent, nullptr, instance, nullptr)
                          : ::CreateWindowExA(params.ExStyle, params.SystemClassName.c_str(), params.Caption.c_str(),
                                              params.Style, params.X, params.Y, params.Width, params.Height,
                                              params.WndParent, nullptr, instance, nullptr);
        if (!window) throw EOutOfResources("Fenster kann nicht erzeugt werden");
        handle_.Attach(window);
        hwnd_ = window;
        subclassed_ = ::SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) != 0;
        if (!subclassed_) {
            handle_.Close();
            hwnd_ = nullptr;
            throw EOutOfResources("Fenster kann nicht erzeugt werden");
        }
    } else {
        WNDCLASSA existing{};
        if (!::GetClassInfoA(instance, params.WinClassName.c_str(), &existing)) {
            WNDCLASSA wc{};
            wc.style = params.ClassStyle;
            wc.lpfnWndProc = StaticWndProc;
            wc.hInstance = instance;
            wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
            wc.lpszClassName = params.WinClassName.c_str();
            if (!::RegisterClassA(&wc)) throw EOutOfResources("Fensterklasse kann nicht registriert werden");
        }
        HWND window = ::CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                                        params.Style, params.X, params.Y, params.Width, params.Height,
                                        params.WndParent, nullptr, instance, this);
        if (!window) {
            handle_.Detach();
            hwnd_ = nullptr;
            throw EOutOfResources("Fenster kann nicht erzeugt werden");
        }
    }
    ::SetPropA(hwnd_, kControlProperty, this);
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    CreateWnd();
    UpdateBoundsFromWindow();
    // The window takes the control's font at once; a control that measures
    // with its font sees this message first.
    ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
    for (TControl* child : std::vector<TControl*>(controls_))
        if (auto* windowed = dynamic_cast<TWinControl*>(child)) windowed->CreateHandle();
    CreatedWnd();
    AlignControls();
}

void TWinControl::DestroyWnd() {
    text_ = GetText();
    handle_.Close();
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    for (TControl* child : controls_)
        if (auto* windowed = dynamic_cast<TWinControl*>(child)) windowed->DestroyHandle();
    DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    DestroyHandle();
    CreateHandle();
}

void TWinControl::WindowGone() {
    if (!hwnd_) return;
    ::RemovePropA(hwnd_, kControlProperty);
    if (subclassed_)
        ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    else
        ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    subclassed_ = false;
    handle_.Detach();
    hwnd_ = nullptr;
    captureControl_ = nullptr;
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created->handle_.Attach(window);  // CreateWindowEx has not returned yet
        created->hwnd_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<TWinControl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
    const LRESULT result =
        GuardedWndProc(self, [&] { return self->MainWndProc(window, message, wParam, lParam); });
    if (message == WM_NCDESTROY) self->WindowGone();
    return result;
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR refData) {
    auto* self = reinterpret_cast<TWinControl*>(refData);
    const LRESULT result =
        GuardedWndProc(self, [&] { return self->MainWndProc(window, message, wParam, lParam); });
    if (message == WM_NCDESTROY) self->WindowGone();
    return result;
}

LRESULT TWinControl::MainWndProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    TMessage m{message, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TWinControl::DefaultHandler(TMessage& message) {
    if (!hwnd_) {
        message.Result = 0;
    } else if (subclassed_) {
        message.Result = ::DefSubclassProc(hwnd_, message.Msg, message.WParam, message.LParam);
    } else {
        message.Result = ::DefWindowProcA(hwnd_, message.Msg, message.WParam, message.LParam);
    }
}

void TWinControl::WndProc(TMessage& message) {
    if (message.Msg == WM_MOUSEMOVE)
        TrackPointer(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
    if (message.Msg == WM_MOUSELEAVE) {
        // Off this window: unless another of ours has taken over already.
        if (g_mouseControl == this || (g_mouseControl && g_mouseControl->Parent() == this &&
                                       !dynamic_cast<TWinControl*>(g_mouseControl)))
            SetMouseControl(nullptr);
        DefaultHandler(message);
        return;
    }
    if (IsMouseMessage(message.Msg) && DispatchToWindowless(message)) return;
    if (ReflectToChild(message)) return;
    switch (message.Msg) {
        case WM_WINDOWPOSCHANGED:
            // The stored bounds are right before WM_SIZE comes out of this.
            UpdateBoundsFromWindow();
            DefaultHandler(message);
            return;
        case WM_SIZE:
            DefaultHandler(message);
            AlignControls();
            return;
        case WM_PAINT:
            if (subclassed_)
                DefaultHandler(message);
            else
                Paint(message);
            return;
        case WM_ERASEBKGND:
            if (subclassed_)
                DefaultHandler(message);
            else
                EraseBackground(message);
            return;
        case WM_SETFOCUS:
            DefaultHandler(message);
            if (TWinControl* root = FocusRoot(); root != this) root->FocusArrived(this);
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(message.WParam);
            KeyDown(key, KeyboardShiftState());
            if (key == 0) return;
            message.WParam = key;
            DefaultHandler(message);
            return;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            WORD key = static_cast<WORD>(message.WParam);
            KeyUp(key, KeyboardShiftState());
            if (key == 0) return;
            message.WParam = key;
            DefaultHandler(message);
            return;
        }
        case WM_CHAR: {
            // A wide window's character is one of UTF-16: the handlers see
            // its ANSI byte, and one that the code page lacks goes on as it
            // came.
            const bool wide = ::IsWindowUnicode(hwnd_) != FALSE;
            const std::optional<char> ansi = wide ? AnsiCharOf(static_cast<wchar_t>(message.WParam))
                                                  : std::optional<char>(static_cast<char>(message.WParam));
            if (!ansi) {
                DefaultHandler(message);
                return;
            }
            char key = *ansi;
            KeyPress(key);
            if (key == 0) return;
            if (key != *ansi || !wide) message.WParam = wide ? WideCharOf(key) : static_cast<unsigned char>(key);
            DefaultHandler(message);
            return;
        }
        case WM_SETCURSOR:
            // Only for the pointer over this window's client area; a child's
            // request passed up by DefWindowProc goes on unanswered.
            if (reinterpret_cast<HWND>(message.WParam) == hwnd_ && LOWORD(message.LParam) == HTCLIENT &&
                ShowCursor()) {
                message.Result = TRUE;
                return;
            }
            break;
        case WM_CANCELMODE:
            if (TControl* captured = std::exchange(captureControl_, nullptr)) {
                captured->Perform(WM_CANCELMODE);
                if (::GetCapture() == hwnd_) ::ReleaseCapture();
            }
            break;
        case WM_CAPTURECHANGED:
            // Whoever took the capture ends a windowless child's drag.
            if (reinterpret_cast<HWND>(message.LParam) != hwnd_)
                if (TControl* captured = std::exchange(captureControl_, nullptr)) captured->Perform(WM_CANCELMODE);
            break;
        case CN_CTLCOLOREDIT:
        case CN_CTLCOLORLISTBOX:
        case CN_CTLCOLORBTN:
        case CN_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(message.WParam);
            ::SetTextColor(dc, ColorToRGB(Font().Color()));
            ::SetBkColor(dc, ColorToRGB(Color()));
            message.Result = reinterpret_cast<LRESULT>(brush_.Handle());
            return;
        }
        default:
            break;
    }
    TControl::WndProc(message);
}

bool TWinControl::ShowCursor() {
    // The shape of the windowless child under the pointer, else this
    // control's own; crDefault leaves it to the window class.
    POINT point{};
    if (!::GetCursorPos(&point) || !::ScreenToClient(hwnd_, &point)) return false;
    TCursor shape = crDefault;
    if (TControl* child = ControlAtPos(point)) shape = child->Cursor();
    if (shape == crDefault) shape = Cursor();
    if (shape == crDefault) return false;
    ::SetCursor(Screen().Cursors(shape));
    return true;
}

bool TWinControl::DispatchToWindowless(TMessage& message) {
    TControl* target = nullptr;
    if (captureControl_ && ::GetCapture() == hwnd_) {
        target = captureControl_;
    } else {
        target = ControlAtPos(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
    }
    if (!target) return false;
    const LPARAM local = MAKELPARAM(GET_X_LPARAM(message.LParam) - target->Left(),
                                    GET_Y_LPARAM(message.LParam) - target->Top());
    target->Perform(message.Msg, message.WParam, local);
    message.Result = 0;
    return true;
}

bool TWinControl::ReflectToChild(TMessage& message) {
    switch (message.Msg) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            break;
        default:
            return false;
    }
    TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam));
    if (!child || child == this) return false;
    message.Result = child->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
    return true;
}

void TWinControl::TrackPointer(POINT point) {
    const RECT client = ClientRect();
    const bool inside =
        point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom;
    TControl* under = nullptr;
    if (inside) {
        under = ControlAtPos(point);
        if (!under) under = this;
        // Windows report the pointer's leaving only when asked each time.
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
        ::TrackMouseEvent(&track);
    }
    // Outside while the capture holds the pointer: it left whatever it was on.
    if (inside || g_mouseControl == this || (g_mouseControl && g_mouseControl->Parent() == this))
        SetMouseControl(under);
}

TControl* TWinControl::ControlAtPos(POINT point) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c)) continue;
        if (!c->Visible() || !c->Enabled()) continue;
        if (point.x >= c->Left() && point.x < c->Left() + c->Width() && point.y >= c->Top() &&
            point.y < c->Top() + c->Height())
            return c;
    }
    return nullptr;
}

void TWinControl::UpdateBoundsFromWindow() {
    if (!hwnd_) return;
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    if (::GetWindowLongA(hwnd_, GWL_STYLE) & WS_CHILD)
        ::MapWindowPoints(nullptr, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    StoreBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == Left() && top == Top() && width == Width() && height == Height()) return;
    if (hwnd_) {
        ::SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateBoundsFromWindow();
    } else {
        StoreBounds(left, top, width, height);
    }
    BoundsChanged();
    if (Parent() && Align() != alNone) Parent()->AlignControls();
}

RECT TWinControl::ClientRect() const {
    RECT r{0, 0, Width(), Height()};
    if (hwnd_) ::GetClientRect(hwnd_, &r);
    return r;
}

void TWinControl::AlignControls() {
    if (aligning_) return;
    bool any = false;
    for (TControl* c : controls_) any = any || (c->Align() != alNone && c->Visible());
    if (!any) return;
    aligning_ = true;
    try {
        RECT r = ClientRect();
        AdjustClientRect(r);
        for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
            for (TControl* c : std::vector<TControl*>(controls_)) {
                if (c->Align() != align || !c->Visible()) continue;
                switch (align) {
                    case alTop:
                        c->SetBounds(r.left, r.top, r.right - r.left, c->Height());
                        r.top += c->Height();
                        break;
                    case alBottom:
                        c->SetBounds(r.left, r.bottom - c->Height(), r.right - r.left, c->Height());
                        r.bottom -= c->Height();
                        break;
                    case alLeft:
                        c->SetBounds(r.left, r.top, c->Width(), r.bottom - r.top);
                        r.left += c->Width();
                        break;
                    case alRight:
                        c->SetBounds(r.right - c->Width(), r.top, c->Width(), r.bottom - r.top);
                        r.right -= c->Width();
                        break;
                    default:
                        c->SetBounds(r.left, r.top, std::max(0L, r.right - r.left), std::max(0L, r.bottom - r.top));
                        break;
                }
            }
        }
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (!windowed) {
        control->Invalidate();
        return;
    }
    tabList_.push_back(windowed);
    if (hwnd_) {
        if (windowed->hwnd_)
            ::SetParent(windowed->hwnd_, hwnd_);
        else
            windowed->CreateHandle();
    }
    if (control->Align() != alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
    control->Invalidate();
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
    if (captureControl_ == control) {
        captureControl_ = nullptr;
        if (hwnd_ && ::GetCapture() == hwnd_) ::ReleaseCapture();
    }
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (windowed && !windowed->destroying_ && !destroying_) windowed->DestroyHandle();
}

void TWinControl::SetTabStop(bool value) {
    if (value == tabStop_) return;
    tabStop_ = value;
    if (hwnd_) {
        LONG style = ::GetWindowLongA(hwnd_, GWL_STYLE);
        style = value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
        ::SetWindowLongA(hwnd_, GWL_STYLE, style);
    }
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto& list = Parent()->tabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (!Parent()) return;
    auto& list = Parent()->tabList_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

bool TWinControl::Focused() const { return hwnd_ && ::GetFocus() == hwnd_; }

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::SetCtl3D(bool value) {
    if (value == ctl3D_) return;
    ctl3D_ = value;
    RecreateWnd();
}

TWinControl* TWinControl::FocusRoot() {
    TWinControl* root = this;
    while (root->Parent()) root = root->Parent();
    return root;
}

void TWinControl::FocusArrived(TWinControl* control) {
    // Enter and exit follow the focused control inside the window, not the
    // window's activation: focus that leaves for another program and comes
    // back to the same control raises neither.
    if (control == activeControl_) return;
    TWinControl* previous = std::exchange(activeControl_, control);
    if (previous) previous->DoExit();
    control->DoEnter();
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

std::string TWinControl::GetText() const {
    if (!hwnd_) return text_;
    const int length = ::GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(hwnd_, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, copied)));
    return text;
}

void TWinControl::ApplyText(const std::string& text) {
    text_ = text;
    if (hwnd_) ::SetWindowTextA(hwnd_, text.c_str());
}

void TWinControl::Paint(TMessage& message) {
    if (message.WParam) {
        PaintWindow(reinterpret_cast<HDC>(message.WParam));
        PaintControls(reinterpret_cast<HDC>(message.WParam));
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    try {
        PaintWindow(dc);
        PaintControls(dc);
    } catch (...) {
        ::EndPaint(hwnd_, &ps);
        throw;
    }
    ::EndPaint(hwnd_, &ps);
}

void TWinControl::EraseBackground(TMessage& message) {
    if (!(ControlStyle() & csOpaque)) {
        RECT r;
        ::GetClientRect(hwnd_, &r);
        ::FillRect(reinterpret_cast<HDC>(message.WParam), &r, brush_.Handle());
    }
    message.Result = 1;
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        auto* graphic = dynamic_cast<TGraphicControl*>(c);
        if (!graphic || !graphic->Visible()) continue;
        RECT r = graphic->BoundsRect();
        if (!::RectVisible(dc, &r)) continue;
        const int saved = ::SaveDC(dc);
        ::OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
        ::IntersectClipRect(dc, 0, 0, graphic->Width(), graphic->Height());
        try {
            graphic->PaintOn(dc);
        } catch (...) {
            ::RestoreDC(dc, saved);
            throw;
        }
        ::RestoreDC(dc, saved);
    }
}

void TWinControl::Invalidate() {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, (ControlStyle() & csOpaque) ? FALSE : TRUE);
}

void TWinControl::FontChanged() {
    if (hwnd_) ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    for (TControl* c : std::vector<TControl*>(controls_)) c->ParentFontChanged();
    Invalidate();
}

void TWinControl::ColorChanged() {
    brush_.SetColor(Color());
    for (TControl* c : std::vector<TControl*>(controls_)) c->ParentColorChanged();
    Invalidate();
}

void TWinControl::EnabledChanged() {
    if (hwnd_) ::EnableWindow(hwnd_, Enabled());
    Invalidate();
}

void TWinControl::VisibleChanged() {
    if (hwnd_) ::ShowWindow(hwnd_, Visible() ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (Parent() && Align() != alNone) Parent()->AlignControls();
}

void TWinControl::ChangeScale(int m, int d) {
    // Children first: the control's own resizing comes last, so the layout
    // it makes on WM_SIZE stands.
    for (TControl* c : std::vector<TControl*>(controls_)) c->ChangeScale(m, d);
    TControl::ChangeScale(m, d);
}

// ============================================================== TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::PaintOn(HDC dc) {
    canvas_.SetHandle(dc);
    try {
        Paint();
    } catch (...) {
        canvas_.SetHandle(nullptr);
        throw;
    }
    canvas_.SetHandle(nullptr);
}

// =============================================================== TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TCustomControl";
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC dc) {
    canvas_.SetHandle(dc);
    try {
        Paint();
    } catch (...) {
        canvas_.SetHandle(nullptr);
        throw;
    }
    canvas_.SetHandle(nullptr);
}

// =============================================================== TControlCanvas

void TControlCanvas::CreateHandle() {
    if (!control_.HandleAllocated()) return;
    window_ = control_.Handle();
    dc_ = ::GetDC(window_);
    SetHandle(dc_);
}

void TControlCanvas::FreeHandle() {
    if (!dc_) return;
    DeselectHandles();
    ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
}

}  // namespace sw
