// The hyperlink label. TProCustomLabel draws its caption with a highlight
// and a shadow of several copies, rotated by any whole angle, vertically
// aligned and offset, and reports the pointer's coming and going;
// TProLabel is that label as the main window uses it; TProUrlLabel adds an
// address, state colours (unvisited, pressed, visited, hovered) and hands
// its address to the shell when it is clicked.
#pragma once

#include <functional>
#include <string>

#include "controls/LabelRules.h"
#include "framework/CustomLabel.h"

namespace sw {

// The label's cursors, registered at program start from the program's
// resources.
inline constexpr TCursor crProHandPoint = 15000;
inline constexpr TCursor crProSmallHandPoint = 15001;
inline constexpr TCursor crProGrabHand = 15002;
inline constexpr TCursor crProGrabHandArrow = 15003;
inline constexpr TCursor crProDragHand = 15004;

// Loads the five cursors from the module's resources into the screen's
// cursor table. Runs by itself when the program starts; a cursor missing
// from the resources leaves its number showing the arrow.
void RegisterProCursors(HINSTANCE module);

enum TVerticalAlignment { vaTop, vaCenter, vaBottom };

// Effect presets: each writes the highlight and shadow settings at once.
enum TShadowStyle {
    ssNone,
    ssCustom,
    ssRaised,
    ssRaisedColor,
    ssRaisedShadow,
    ssRaisedThickShadow,
    ssRecessed,
    ssRecessedColor,
    ssRecessedShadow,
    ssShadow,
    ssThickShadow
};

class TProCustomLabel : public TCustomLabel {
public:
    explicit TProCustomLabel(TComponent* owner);

    // Degrees counter-clockwise, kept in 0..359. Above 0 switches AutoSize
    // off.
    int Angle() const { return angle_; }
    void SetAngle(int value);
    double AngleCos() const { return cos_; }
    double AngleSin() const { return sin_; }

    // Pixels added to the caption's position; above 0 switches AutoSize off.
    int OffsetX() const { return offsetX_; }
    void SetOffsetX(int value);
    int OffsetY() const { return offsetY_; }
    void SetOffsetY(int value);

    // The same setting as Layout under another name.
    TVerticalAlignment VerticalAlignment() const { return static_cast<TVerticalAlignment>(Layout()); }
    void SetVerticalAlignment(TVerticalAlignment value) { SetLayout(static_cast<TTextLayout>(value)); }

    TShadowStyle ShadowStyle() const { return shadowStyle_; }
    void SetShadowStyle(TShadowStyle value);

    // Effect settings. Changing one by hand makes ShadowStyle ssCustom.
    TDirection HighlightDirection() const { return highlightDirection_; }
    void SetHighlightDirection(TDirection value);
    int HighlightDepth() const { return highlightDepth_; }
    void SetHighlightDepth(int value);
    TColor HighlightColor() const { return highlightColor_; }
    void SetHighlightColor(TColor value);
    TDirection ShadowDirection() const { return shadowDirection_; }
    void SetShadowDirection(TDirection value);
    // 0..1280; values outside are brought to the nearer end.
    int ShadowDepth() const { return shadowDepth_; }
    void SetShadowDepth(int value);
    int ShadowSize() const { return shadowSize_; }
    void SetShadowSize(int value);
    TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(TColor value);

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    bool ApplyingPreset() const { return applyingPreset_; }

    // Raise OnMouseEnter and OnMouseLeave; descendants add their reaction.
    virtual void HandleMouseEnter();
    virtual void HandleMouseLeave();
    void MouseEnter() override;
    void MouseLeave() override;

    void Paint() override;
    // Draws the caption once at r in the context's text colour: rotated as
    // one line from r's top-left corner, else with DrawText and the flags.
    virtual void DrawCaption(HDC dc, const RECT& r, unsigned flags);

private:
    void EffectChanged();
    void MoveSteps(RECT& r, TDirection direction, int64_t steps) const;

    int angle_ = 0;
    double cos_ = 1.0;
    double sin_ = 0.0;
    int offsetX_ = 0;
    int offsetY_ = 0;
    TShadowStyle shadowStyle_ = ssNone;
    TDirection highlightDirection_ = drNone;
    int highlightDepth_ = 0;
    TColor highlightColor_;
    TDirection shadowDirection_ = drNone;
    int shadowDepth_ = 0;
    int shadowSize_ = 0;
    TColor shadowColor_;
    bool applyingPreset_ = false;
};

// The label with every setting offered; it behaves as TProCustomLabel.
class TProLabel : public TProCustomLabel {
public:
    using TProCustomLabel::TProCustomLabel;
};

class TProUrlLabel : public TProLabel {
public:
    // Blue and underlined, with the pointing hand as its cursor.
    explicit TProUrlLabel(TComponent* owner);

    // The address to open; when empty, the caption is opened. Set in ANSI
    // or whole (a path under any user name); opened whole.
    const std::wstring& URL() const { return url_; }
    void SetURL(const std::string& value);
    void SetURL(const std::wstring& value) { url_ = value; }

    TColor UnvisitedColor() const { return unvisitedColor_; }
    void SetUnvisitedColor(TColor value);
    TColor ActivatedColor() const { return activatedColor_; }
    void SetActivatedColor(TColor value) { activatedColor_ = value; }
    TColor VisitedColor() const { return visitedColor_; }
    void SetVisitedColor(TColor value);
    TColor HoveredColor() const { return hoveredColor_; }
    void SetHoveredColor(TColor value) { hoveredColor_ = value; }

    // With hovering the label is underlined and in HoveredColor only while
    // the pointer is over it; without, it is always underlined.
    bool CanHover() const { return canHover_; }
    void SetCanHover(bool value);

    // After the first completed click; never reset.
    bool Visited() const { return visited_; }
    // The left button went down on the label and is not released yet.
    bool Pressed() const { return pressed_; }

    void WndProc(TMessage& message) override;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void HandleMouseEnter() override;
    void HandleMouseLeave() override;
    void FontChanged() override;

private:
    TColor StateColor() const { return visited_ ? visitedColor_ : unvisitedColor_; }
    // The font shows the state colour now (not pressed, not hovered).
    bool ShowsStateColor() const { return !pressed_ && !(canHover_ && pointerInside_); }

    std::wstring url_;
    TColor unvisitedColor_ = clBlue;
    TColor activatedColor_ = clRed;
    TColor visitedColor_ = clNavy;
    TColor hoveredColor_ = clWhite;
    bool canHover_ = false;
    bool visited_ = false;
    bool pressed_ = false;
    bool pointerInside_ = false;
};

// Hands an address to the shell ("open", shown normally, owned by the
// application's window) through the wide call, so that a path that the ANSI
// code page lacks opens as it is; an empty address opens nothing, and a
// failure is not reported.
void OpenAddress(const std::wstring& address);

// The shell call that OpenAddress makes, with ShellExecuteW's arguments.
// Tests may take the call instead of the shell (null puts the shell back).
using TShellExecute = std::function<void(HWND owner, const wchar_t* verb, const wchar_t* file,
                                         const wchar_t* parameters, const wchar_t* directory, int show)>;
void SetShellExecute(TShellExecute call);

}  // namespace sw
