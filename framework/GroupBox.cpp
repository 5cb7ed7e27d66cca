#include "GroupBox.h"

namespace sw {

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 185, 105);
    SetParentColor(true);
}

void TGroupBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TGroupBox";
    params.Style |= WS_CLIPCHILDREN;
}

void TGroupBox::FontChanged() {
    captionHeight_ = 0;
    TCustomControl::FontChanged();
    AlignControls();
}

int TGroupBox::CaptionHeight() const {
    if (captionHeight_ == 0) {
        WindowDC screen(nullptr);
        TEXTMETRICA metrics{};
        SelectedObject font(screen.Get(), const_cast<TGroupBox*>(this)->Font().Handle());
        ::GetTextMetricsA(screen.Get(), &metrics);
        captionHeight_ = metrics.tmHeight;
    }
    return captionHeight_;
}

void TGroupBox::AdjustClientRect(RECT& rect) const {
    // Inside the two-pixel etched frame; the caption's line is the top edge.
    rect.top += CaptionHeight();
    ::InflateRect(&rect, -2, -2);
}

void TGroupBox::Paint() {
    HDC dc = Canvas().Handle();
    RECT r{0, 0, ClientWidth(), ClientHeight()};
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(r);
    const int lineHeight = CaptionHeight();
    RECT frame{0, lineHeight / 2 - 1, r.right, r.bottom};
    ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    const std::string caption = Caption();
    if (caption.empty()) return;
    SelectedObject font(dc, Font().Handle());
    SIZE extent{};
    ::GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    // The caption interrupts the frame's top line.
    RECT text{8, 0, 8 + extent.cx, lineHeight};
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, ColorToRGB(Color()));
    ::SetTextColor(dc, ColorToRGB(Enabled() ? Font().Color() : clGrayText));
    ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_SINGLELINE | DT_LEFT | DT_TOP);
}

}  // namespace sw
