#include "Panel.h"

#include <algorithm>

namespace sw {

void DrawBevel(HDC dc, RECT& rect, TBevelCut cut, int width) {
    if (cut == bvNone) return;
    const COLORREF light = ColorToRGB(clBtnHighlight);
    const COLORREF dark = ColorToRGB(clBtnShadow);
    const COLORREF topLeft = cut == bvRaised ? light : dark;
    const COLORREF bottomRight = cut == bvRaised ? dark : light;
    for (int i = 0; i < width && rect.right - rect.left > 1 && rect.bottom - rect.top > 1; ++i) {
        const auto fill = [dc](int left, int top, int right, int bottom, COLORREF colour) {
            const RECT r{left, top, right, bottom};
            ::SetBkColor(dc, colour);
            ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
        };
        fill(rect.left, rect.top, rect.right - 1, rect.top + 1, topLeft);
        fill(rect.left, rect.top, rect.left + 1, rect.bottom - 1, topLeft);
        fill(rect.right - 1, rect.top, rect.right, rect.bottom, bottomRight);
        fill(rect.left, rect.bottom - 1, rect.right, rect.bottom, bottomRight);
        ::InflateRect(&rect, -1, -1);
    }
}

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 185, 41);
    SetParentColor(true);
}

void TPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TPanel";
    params.Style |= WS_CLIPCHILDREN;
}

void TPanel::Relayout() {
    Invalidate();
    AlignControls();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    if (value == bevelOuter_) return;
    bevelOuter_ = value;
    Relayout();
}

void TPanel::SetBevelInner(TBevelCut value) {
    if (value == bevelInner_) return;
    bevelInner_ = value;
    Relayout();
}

void TPanel::SetBevelWidth(int value) {
    value = std::max(1, value);
    if (value == bevelWidth_) return;
    bevelWidth_ = value;
    Relayout();
}

void TPanel::SetBorderWidth(int value) {
    value = std::max(0, value);
    if (value == borderWidth_) return;
    borderWidth_ = value;
    Relayout();
}

void TPanel::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Invalidate();
}

void TPanel::AdjustClientRect(RECT& rect) const {
    int inset = borderWidth_;
    if (bevelOuter_ != bvNone) inset += bevelWidth_;
    if (bevelInner_ != bvNone) inset += bevelWidth_;
    ::InflateRect(&rect, -inset, -inset);
}

void TPanel::Paint() {
    HDC dc = Canvas().Handle();
    RECT r{0, 0, ClientWidth(), ClientHeight()};
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
    DrawBevel(dc, r, bevelOuter_, bevelWidth_);
    ::InflateRect(&r, -borderWidth_, -borderWidth_);
    DrawBevel(dc, r, bevelInner_, bevelWidth_);
    const std::string caption = Caption();
    if (caption.empty()) return;
    SelectedObject font(dc, Font().Handle());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ColorToRGB(Font().Color()));
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    format |= alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
    ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
}

}  // namespace sw
