// A top-level window that hosts controls. Forms are designed at 120 pixels
// per inch and scaled to the screen's resolution when they are set up. A
// form's window is owned by the application's window, so it has no taskbar
// button of its own; the application's main form stands for the program:
// minimising it minimises the application, closing it ends the application.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"
#include "Icon.h"

namespace sw {

// The application hands a dialog key (wParam: VK_TAB) to the form that holds
// the focused control; a form that used it answers non-zero.
inline constexpr UINT CM_DIALOGKEY = CM_BASE + 0x100;

enum TPosition { poDesigned, poScreenCenter };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

class TForm : public TCustomControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // The resolution the form's sizes were designed at (120 by default).
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int value) { pixelsPerInch_ = value; }
    // Scales the form's contents from the design to the screen's resolution
    // (once; scaling again does nothing).
    void ScaleToScreen();
    // A pixel figure of the design at the resolution the form was scaled to,
    // for sizes that a handler sets later (a margin, a distance).
    int ScaledFromDesign(int pixels) const { return ::MulDiv(pixels, scaledTo_, scaledFrom_); }

    // Screen centre: placed when it is first shown; later the user's place
    // stands.
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);

    // Applied when the form is shown, at once while it is visible, and
    // updated when the user minimises, maximises or restores the window.
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState state);

    // The window's icon (caption and task switcher).
    TIcon& Icon() { return icon_; }

    // Client size; the window's outer size follows from its frame (also
    // before the window exists).
    RECT ClientRect() const override;
    void SetClientSize(int width, int height);
    void SetClientWidth(int width) { SetClientSize(width, ClientHeight()); }
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }

    // The main form ends the application; another form is hidden.
    void Close();

    // Hidden by the application's minimising, to come back with its restore.
    bool HiddenByApplication() const { return hiddenByApplication_; }

    // The form's controls in keyboard order: each windowed control followed
    // by its own children's order.
    std::vector<TWinControl*> TabOrderList() const;
    // Moves the focus to the next (or previous) control in keyboard order
    // that can take it, wrapping around.
    void SelectNext(TWinControl* current, bool forward);
    // The control that had the focus last, or the first in keyboard order.
    TWinControl* ActiveControl() const;

    void Loaded() override;
    void WndProc(TMessage& message) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreatedWnd() override;
    void VisibleChanged() override;
    void ChangeScale(int m, int d) override;

    // Runs OnCreate; the most derived constructor calls it last. An error
    // escaping the handler goes to the central handler and the form stays.
    void DoCreate();
    virtual void DoShow();
    virtual void DoHide();

private:
    bool IsMainForm() const;
    void ApplyIcon();
    void FocusOnActivation();
    int ShowCommand() const;

    int pixelsPerInch_ = 120;
    bool scaled_ = false;
    // The resolutions of the scaling made: the screen's and the design's.
    int scaledTo_ = 1;
    int scaledFrom_ = 1;
    bool placed_ = false;
    bool hiddenByApplication_ = false;
    TPosition position_ = poDesigned;
    TFormStyle formStyle_ = fsNormal;
    TWindowState windowState_ = wsNormal;
    TIcon icon_;
};

}  // namespace sw
