#include "ProLabel.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/Application.h"
#include "framework/SystemCodePage.h"

namespace sw {

using controls::AddSaturated;
using controls::DirectionStep;

// ================================================================== cursors

void RegisterProCursors(HINSTANCE module) {
    static constexpr struct {
        TCursor number;
        const char* resource;
    } kCursors[] = {
        {crProHandPoint, "PRO_HANDPOINT"},         {crProSmallHandPoint, "PRO_SMALLHANDPOINT"},
        {crProGrabHand, "PRO_GRABHAND"},           {crProGrabHandArrow, "PRO_GRABHANDARROW"},
        {crProDragHand, "PRO_DRAGHAND"},
    };
    for (const auto& c : kCursors) {
        // LoadCursor hands out the system's shared copy: the table keeps it
        // without destroying it.
        if (HCURSOR cursor = ::LoadCursorA(module, c.resource)) Screen().SetCursors(c.number, cursor);
    }
}

namespace {

// The label's module starts up with the program, before any window exists.
const bool g_cursorsRegistered = (RegisterProCursors(::GetModuleHandleA(nullptr)), true);

TShellExecute& ShellExecuteCall() {
    static TShellExecute call;
    return call;
}

}  // namespace

void SetShellExecute(TShellExecute call) { ShellExecuteCall() = std::move(call); }

void OpenAddress(const std::wstring& address) {
    if (address.empty()) return;
    const auto shell = [](HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                          const wchar_t* directory, int show) {
        // The shell reports its own failures to the user; the label does not.
        ::ShellExecuteW(owner, verb, file, parameters, directory, show);
    };
    const TShellExecute call = ShellExecuteCall() ? ShellExecuteCall() : TShellExecute(shell);
    call(Application ? Application->Handle() : nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

namespace {

std::wstring WidenedAnsi(const std::string& text) {
    const std::u16string wide = SystemAnsiCodePage().Decode(text);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

void TProUrlLabel::SetURL(const std::string& value) { url_ = WidenedAnsi(value); }

// ========================================================== TProCustomLabel

TProCustomLabel::TProCustomLabel(TComponent* owner)
    : TCustomLabel(owner), highlightColor_(clBtnHighlight), shadowColor_(clBtnShadow) {
    (void)g_cursorsRegistered;
}

void TProCustomLabel::SetAngle(int value) {
    const int angle = controls::NormalizeAngle(value);
    if (angle == angle_) return;
    angle_ = angle;
    const double radians = angle * std::numbers::pi / 180.0;
    cos_ = std::cos(radians);
    sin_ = std::sin(radians);
    // The caption's plain size says nothing about a rotated one.
    if (angle_ > 0) SetAutoSize(false);
    Invalidate();
}

void TProCustomLabel::SetOffsetX(int value) {
    if (value == offsetX_) return;
    offsetX_ = value;
    if (value > 0) SetAutoSize(false);
    Invalidate();
}

void TProCustomLabel::SetOffsetY(int value) {
    if (value == offsetY_) return;
    offsetY_ = value;
    if (value > 0) SetAutoSize(false);
    Invalidate();
}

void TProCustomLabel::EffectChanged() {
    if (!applyingPreset_) shadowStyle_ = ssCustom;
    Invalidate();
}

void TProCustomLabel::SetHighlightDirection(TDirection value) {
    if (value == highlightDirection_) return;
    highlightDirection_ = value;
    EffectChanged();
}

void TProCustomLabel::SetHighlightDepth(int value) {
    if (value == highlightDepth_) return;
    highlightDepth_ = value;
    EffectChanged();
}

void TProCustomLabel::SetHighlightColor(TColor value) {
    if (value == highlightColor_) return;
    highlightColor_ = value;
    EffectChanged();
}

void TProCustomLabel::SetShadowDirection(TDirection value) {
    if (value == shadowDirection_) return;
    shadowDirection_ = value;
    EffectChanged();
}

void TProCustomLabel::SetShadowDepth(int value) {
    value = std::clamp(value, 0, 1280);
    if (value == shadowDepth_) return;
    shadowDepth_ = value;
    EffectChanged();
}

void TProCustomLabel::SetShadowSize(int value) {
    value = std::clamp(value, 0, 1280);
    if (value == shadowSize_) return;
    shadowSize_ = value;
    EffectChanged();
}

void TProCustomLabel::SetShadowColor(TColor value) {
    if (value == shadowColor_) return;
    shadowColor_ = value;
    EffectChanged();
}

void TProCustomLabel::SetShadowStyle(TShadowStyle value) {
    if (value == shadowStyle_) return;
    shadowStyle_ = value;
    if (value == ssCustom) return;
    struct Preset {
        TDirection highlightDirection;
        int highlightDepth;
        TDirection shadowDirection;
        int shadowDepth;
        int shadowSize;
        bool buttonFaceFont;
    };
    static constexpr Preset kPresets[] = {
        /* ssNone */ {drNone, 0, drNone, 0, 0, false},
        /* ssCustom */ {drNone, 0, drNone, 0, 0, false},
        /* ssRaised */ {drUpLeft, 1, drNone, 0, 0, false},
        /* ssRaisedColor */ {drUpLeft, 1, drDownRight, 1, 1, true},
        /* ssRaisedShadow */ {drUpLeft, 1, drDownRight, 1, 1, false},
        /* ssRaisedThickShadow */ {drUpLeft, 1, drDownRight, 1, 4, false},
        /* ssRecessed */ {drDownRight, 1, drNone, 0, 0, false},
        /* ssRecessedColor */ {drDownRight, 1, drUpLeft, 1, 1, true},
        /* ssRecessedShadow */ {drDownRight, 1, drUpLeft, 1, 1, false},
        /* ssShadow */ {drNone, 0, drDownRight, 2, 1, false},
        /* ssThickShadow */ {drNone, 0, drDownRight, 1, 4, false},
    };
    const Preset& p = kPresets[value];
    applyingPreset_ = true;
    try {
        SetHighlightDirection(p.highlightDirection);
        SetHighlightDepth(p.highlightDepth);
        SetHighlightColor(clBtnHighlight);
        SetShadowDirection(p.shadowDirection);
        SetShadowDepth(p.shadowDepth);
        SetShadowSize(p.shadowSize);
        SetShadowColor(clBtnShadow);
        if (p.buttonFaceFont) Font().SetColor(clBtnFace);
    } catch (...) {
        applyingPreset_ = false;
        throw;
    }
    applyingPreset_ = false;
}

void TProCustomLabel::HandleMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TProCustomLabel::HandleMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TProCustomLabel::MouseEnter() {
    TCustomLabel::MouseEnter();
    HandleMouseEnter();
}

void TProCustomLabel::MouseLeave() {
    TCustomLabel::MouseLeave();
    HandleMouseLeave();
}

void TProCustomLabel::MoveSteps(RECT& r, TDirection direction, int64_t steps) const {
    const auto step = DirectionStep(direction);
    const int dx = AddSaturated(0, step.dx * steps);
    const int dy = AddSaturated(0, step.dy * steps);
    r = RECT{AddSaturated(r.left, dx), AddSaturated(r.top, dy), AddSaturated(r.right, dx), AddSaturated(r.bottom, dy)};
}

void TProCustomLabel::DrawCaption(HDC dc, const RECT& r, unsigned flags) {
    const std::string text = Caption();
    if (angle_ != 0) {
        ::TextOutA(dc, r.left, r.top, text.c_str(), static_cast<int>(text.size()));
    } else {
        RECT box = r;
        ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &box, flags);
    }
}

void TProCustomLabel::Paint() {
    HDC dc = Canvas().Handle();
    if (!dc) return;
    const unsigned flags = TextFlags();
    RECT r = ClientRect();
    if (!Transparent()) {
        Canvas().Brush().SetColor(Color());
        Canvas().FillRect(r);
    }
    // The rotated font lives until the painting is done; the context gets
    // its previous font back first.
    GdiObject rotated;
    if (angle_ != 0) {
        LOGFONTA lf{};
        ::GetObjectA(Font().Handle(), sizeof lf, &lf);
        lf.lfEscapement = angle_ * 10;
        lf.lfOrientation = angle_ * 10;
        lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        rotated.Attach(::CreateFontIndirectA(&lf));
    }
    SelectedObject font(dc, rotated ? rotated.Get() : Font().Handle());
    ::SetBkMode(dc, TRANSPARENT);
    const std::string text = Caption();

    if (angle_ != 0) {
        SIZE extent{0, 0};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        const auto align = [](int a) {
            return a == taCenter         ? controls::TextAlign::Center
                   : a == taRightJustify ? controls::TextAlign::Far
                                         : controls::TextAlign::Near;
        };
        const auto vertical = Layout() == tlCenter   ? controls::TextAlign::Center
                              : Layout() == tlBottom ? controls::TextAlign::Far
                                                     : controls::TextAlign::Near;
        const auto place = controls::PlaceRotatedText(angle_, cos_, sin_, extent.cx, extent.cy, r.right, r.bottom,
                                                      align(Alignment()), vertical);
        r = RECT{place.x, place.y, AddSaturated(place.x, place.boxWidth), AddSaturated(place.y, place.boxHeight)};
    } else if (Layout() != tlTop) {
        RECT measured = r;
        ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured, flags | DT_CALCRECT);
        const int oldBottom = r.bottom;
        r.bottom = r.top + (measured.bottom - measured.top);
        const int d = oldBottom - r.bottom;
        // A caption taller than the label moves up and overflows both ends.
        ::OffsetRect(&r, 0, Layout() == tlCenter ? controls::HalfDown(d) : d);
    }
    r = RECT{AddSaturated(r.left, offsetX_), AddSaturated(r.top, offsetY_), AddSaturated(r.right, offsetX_),
             AddSaturated(r.bottom, offsetY_)};

    if (Enabled()) {
        if (shadowStyle_ != ssNone) {
            const RECT caption = r;
            MoveSteps(r, shadowDirection_, shadowDepth_);
            ::SetTextColor(dc, ColorToRGB(shadowColor_));
            for (int i = 0; i < shadowSize_; ++i) {
                DrawCaption(dc, r, flags);
                MoveSteps(r, shadowDirection_, 1);
            }
            r = caption;
            MoveSteps(r, highlightDirection_, highlightDepth_);
            ::SetTextColor(dc, ColorToRGB(highlightColor_));
            DrawCaption(dc, r, flags);
            r = caption;
        }
        ::SetTextColor(dc, ColorToRGB(Font().Color()));
        DrawCaption(dc, r, flags);
    } else {
        // Disabled: embossed, without effects.
        ::OffsetRect(&r, 1, 1);
        ::SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawCaption(dc, r, flags);
        ::OffsetRect(&r, -1, -1);
        ::SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawCaption(dc, r, flags);
    }
}

// ============================================================= TProUrlLabel

TProUrlLabel::TProUrlLabel(TComponent* owner) : TProLabel(owner) {
    SetCursor(crProHandPoint);
    Font().SetColor(clBlue);
    Font().SetStyle(Font().Style() | fsUnderline);
}

void TProUrlLabel::FontChanged() {
    TProLabel::FontChanged();
    // Without hovering the colour of the current state follows the font.
    if (!canHover_ && !pressed_) (visited_ ? visitedColor_ : unvisitedColor_) = Font().Color();
}

void TProUrlLabel::SetUnvisitedColor(TColor value) {
    if (value == unvisitedColor_) return;
    unvisitedColor_ = value;
    if (!visited_ && ShowsStateColor()) Font().SetColor(value);
}

void TProUrlLabel::SetVisitedColor(TColor value) {
    if (value == visitedColor_) return;
    visitedColor_ = value;
    if (visited_ && ShowsStateColor()) Font().SetColor(value);
}

void TProUrlLabel::SetCanHover(bool value) {
    canHover_ = value;
    // Hovering switched off under the pointer: the hovered colour must not
    // become the state's colour through the font.
    if (!value && pointerInside_ && !pressed_) Font().SetColor(StateColor());
    const TFontStyles style = Font().Style();
    Font().SetStyle(value ? (style & ~fsUnderline) : (style | fsUnderline));
}

void TProUrlLabel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TProLabel::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    pressed_ = true;
    Font().SetColor(activatedColor_);
}

void TProUrlLabel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TProLabel::MouseUp(button, shift, x, y);
    if (button != mbLeft) return;
    // The edges count as inside.
    if (x < 0 || y < 0 || y > Height() || x > Width()) {
        Font().SetColor(StateColor());
        pressed_ = false;
        return;
    }
    if (!pressed_) return;
    visited_ = true;
    Font().SetColor(canHover_ ? hoveredColor_ : visitedColor_);
    pressed_ = false;
    OpenAddress(url_.empty() ? WidenedAnsi(Caption()) : url_);
}

void TProUrlLabel::WndProc(TMessage& message) {
    // The press ends without a release (the capture went elsewhere, a
    // dialog came up): back to the colour the label showed before it.
    if (message.Msg == WM_CANCELMODE && pressed_) {
        pressed_ = false;
        Font().SetColor(canHover_ && pointerInside_ ? hoveredColor_ : StateColor());
    }
    TProLabel::WndProc(message);
}

void TProUrlLabel::HandleMouseEnter() {
    pointerInside_ = true;
    TProLabel::HandleMouseEnter();
    if (canHover_) Font().SetStyle(Font().Style() | fsUnderline);
    if (pressed_)
        Font().SetColor(activatedColor_);
    else if (canHover_)
        Font().SetColor(hoveredColor_);
}

void TProUrlLabel::HandleMouseLeave() {
    pointerInside_ = false;
    TProLabel::HandleMouseLeave();
    if (canHover_) Font().SetStyle(Font().Style() & ~fsUnderline);
    Font().SetColor(StateColor());
}

}  // namespace sw
