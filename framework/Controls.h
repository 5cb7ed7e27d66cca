// The window layer: TControl (bounds, visibility, font, colour, text, mouse
// and key events, scaling), TWinControl (a control that owns a window and
// sees every message of it before the window class does), TGraphicControl
// (a control without a window, painted by and fed with mouse input through
// its parent) and TCustomControl (a windowed control that paints itself on
// a canvas). Notifications of system-class children (WM_COMMAND,
// WM_CTLCOLOR*, scroll messages) are reflected from the parent back to the
// child's wrapper as CN_* messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "Graphics.h"
#include "Handles.h"
#include "Screen.h"

namespace sw {

class TWinControl;

// One message on its way through a control's window procedure.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// Own messages: control messages (CM_*) between wrappers, and notifications
// reflected to a child (CN_BASE + the original message).
inline constexpr UINT CM_BASE = WM_APP + 0x1000;
// The pointer came onto or left a control (windowed or not).
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 1;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 2;
inline constexpr UINT CN_BASE = WM_APP + 0x2000;
inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
inline constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
inline constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
inline constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
inline constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
inline constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};
using TShiftState = unsigned;
// Shift, Alt and Ctrl as they are pressed now.
TShiftState KeyboardShiftState();

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// What a control does on its own (ControlStyle).
enum TControlStyleFlag : unsigned {
    csCaptureMouse = 1,   // a button press captures the mouse until release
    csClickEvents = 2,    // a release over the control is a click
    csDoubleClicks = 4,   // double clicks arrive as such, not as a second press
    csOpaque = 8,         // painting covers the whole area
};
// What a control is going through (ControlState).
enum TControlStateFlag : unsigned {
    csLButtonDown = 1,  // the left button went down on the control
    csClicked = 2,      // a click is pending the release
};

// The default beep (MessageBeep with 0). Tests may listen instead.
void DefaultBeep();
void SetBeepHandler(std::function<void()> handler);

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
    virtual RECT ClientRect() const { return RECT{0, 0, width_, height_}; }
    int ClientWidth() const { return ClientRect().right; }
    int ClientHeight() const { return ClientRect().bottom; }
    POINT ClientToScreen(POINT point) const;

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so is every parent.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    TFont& Font() { return font_; }
    void SetFont(const TFont& font) { font_.Assign(font); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    // The caption or text. Writing an equal text changes nothing.
    std::string Text() const { return GetText(); }
    void SetText(const std::string& text);
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& text) { SetText(text); }

    unsigned ControlStyle() const { return controlStyle_; }
    unsigned ControlState() const { return controlState_; }

    // The pointer's shape over the control, a number of the screen's cursor
    // table; crDefault leaves it to the parent and the window class.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    // Scales bounds and (unless inherited from the parent) the font by m/d;
    // forms designed at one resolution are scaled to the screen's with it.
    void ScaleBy(int m, int d) { ChangeScale(m, d); }

    // Sends a message through the control's window procedure: through the
    // window (and whoever subclassed it) when the control has one, else
    // straight to WndProc.
    LRESULT Perform(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Sees every message first; what it does not handle goes on to
    // DefaultHandler.
    virtual void WndProc(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    virtual void Invalidate();
    void Update();
    void Repaint();

    bool MouseCapture() const;
    void SetMouseCapture(bool value);
    // The control under the pointer, as the last pointer movement over one
    // of the program's windows found it.
    static TControl* MouseControl();

    virtual void Click();
    virtual void DblClick();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    virtual std::string GetText() const { return text_; }
    // Puts a new text into place; TextChanged follows.
    virtual void ApplyText(const std::string& text) { text_ = text; }
    virtual void TextChanged() {}

    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    // The pointer came onto the control or left it (CM_MOUSEENTER,
    // CM_MOUSELEAVE); also while a button is held.
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void EnabledChanged();
    virtual void VisibleChanged();
    virtual void BoundsChanged() {}
    virtual void ChangeScale(int m, int d);

    // Takes on the parent's font or colour where they are inherited.
    void ParentFontChanged();
    void ParentColorChanged();

    void SetControlStyle(unsigned style) { controlStyle_ = style; }
    void IncludeState(unsigned flags) { controlState_ |= flags; }
    void ExcludeState(unsigned flags) { controlState_ &= ~flags; }
    // Stores bounds without moving anything (the window moved already).
    void StoreBounds(int left, int top, int width, int height);
    std::string text_;

private:
    friend class TWinControl;
    void HandleMouseMessage(TMessage& message);

    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    TFont font_;
    bool parentFont_ = true;
    bool takingParentFont_ = false;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    unsigned controlStyle_ = csCaptureMouse | csClickEvents | csDoubleClicks;
    unsigned controlState_ = 0;
    TCursor cursor_ = crDefault;
};

// What a windowed control's window is made from.
struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    // Own window class: registered on first use with the framework's window
    // procedure.
    std::string WinClassName;
    UINT ClassStyle = CS_DBLCLKS;
    // Non-empty: a window of this existing class (EDIT, LISTBOX, BUTTON),
    // subclassed so that the control sees its messages first.
    std::string SystemClassName;
    // A window of a system class made with the wide-character call: its text
    // may hold characters that the ANSI code page lacks.
    bool Unicode = false;
};

// A windowed control. Its child controls are deleted with it (they are
// created with new, like every component).
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();  // creates the window when it does not exist yet
    bool HandleAllocated() const { return static_cast<bool>(handle_); }
    void HandleNeeded() { Handle(); }
    // Destroys the window (after the children's) and makes it anew.
    void RecreateWnd();

    void SetBounds(int left, int top, int width, int height) override;
    RECT ClientRect() const override;

    // Child controls, windowed and windowless, in the order they were
    // placed; the last one is on top.
    const std::vector<TControl*>& Controls() const { return controls_; }
    // The topmost visible, enabled windowless child at a client point.
    TControl* ControlAtPos(POINT point) const;

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    int TabOrder() const;
    void SetTabOrder(int order);
    const std::vector<TWinControl*>& TabList() const { return tabList_; }

    bool Focused() const;
    bool CanFocus() const;
    void SetFocus();
    // In a top-level control: the control inside it that had the focus last.
    TWinControl* LastFocusedControl() const { return activeControl_; }

    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool value);

    void Invalidate() override;

    // The control whose window sees a message of this window's child.
    static TWinControl* FromHandle(HWND window);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;

    // Places the aligned children inside the client area.
    void AlignControls();

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    // The window exists and the font is set: set up what lives in it.
    virtual void CreatedWnd() {}
    // The window is about to go: keep what must survive a re-creation.
    virtual void DestroyWnd();
    void DestroyHandle();

    std::string GetText() const override;
    void ApplyText(const std::string& text) override;

    virtual void DoEnter();
    virtual void DoExit();
    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyUp(WORD& key, TShiftState shift);
    virtual void KeyPress(char& key);

    // Painting of own-class windows: the window's own picture, then the
    // windowless children on top.
    virtual void PaintWindow(HDC dc);
    void PaintControls(HDC dc);
    virtual void AdjustClientRect(RECT& rect) const { (void)rect; }

    void FontChanged() override;
    void ColorChanged() override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void ChangeScale(int m, int d) override;

    // The brush of the control's colour, for reflected WM_CTLCOLOR*.
    TBrush& Brush() { return brush_; }

private:
    friend class TControl;
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateHandle();
    void WindowGone();
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool DispatchToWindowless(TMessage& message);
    void TrackPointer(POINT point);
    bool ReflectToChild(TMessage& message);
    void UpdateBoundsFromWindow();
    void FocusArrived(TWinControl* control);
    TWinControl* FocusRoot();
    void Paint(TMessage& message);
    void EraseBackground(TMessage& message);
    bool ShowCursor();

    WindowHandle handle_;
    HWND hwnd_ = nullptr;  // also while the window is being destroyed
    bool subclassed_ = false;
    bool aligning_ = false;
    bool destroying_ = false;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    TControl* captureControl_ = nullptr;
    TWinControl* activeControl_ = nullptr;  // focus root only
    bool tabStop_ = false;
    bool ctl3D_ = true;
    TBrush brush_;
};

// A control without a window: drawn on its parent's surface when the parent
// paints, fed with the mouse messages that fall on it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);

    TCanvas& Canvas() { return canvas_; }

protected:
    virtual void Paint() {}

private:
    friend class TWinControl;
    void PaintOn(HDC dc);
    TCanvas canvas_;
};

// A windowed control of its own class that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);

    TCanvas& Canvas() { return canvas_; }

protected:
    void CreateParams(TCreateParams& params) override;
    virtual void Paint();
    void PaintWindow(HDC dc) override;

private:
    TCanvas canvas_;
};

// A canvas that borrows a control's window context when first used and
// gives it back in FreeHandle (measuring text with the control's font).
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TWinControl& control) : control_(control) {}
    ~TControlCanvas() override { FreeHandle(); }
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TWinControl& control_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace sw
