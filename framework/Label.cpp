#include "Label.h"

namespace sw {

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TLabel::SetAutoSize(bool value) {
    if (value == autoSize_) return;
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool value) {
    if (value == wordWrap_) return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

void TLabel::TextChanged() {
    AdjustBounds();
    Invalidate();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TLabel::BoundsChanged() {
    TGraphicControl::BoundsChanged();
    // A wrapped text needs another height for another width.
    if (wordWrap_) AdjustBounds();
}

void TLabel::ChangeScale(int m, int d) {
    TGraphicControl::ChangeScale(m, d);
    AdjustBounds();
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

UINT TLabel::TextFormat() const {
    UINT format = DT_EXPANDTABS | DT_TOP;
    if (wordWrap_) format |= DT_WORDBREAK;
    if (!showAccelChar_) format |= DT_NOPREFIX;
    return format;
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || adjusting_ || InState(csLoading)) return;
    // An empty caption still has the height of a line.
    const std::string text = Caption().empty() ? std::string(" ") : Caption();
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    {
        WindowDC screen(nullptr);
        SelectedObject font(screen.Get(), Font().Handle());
        ::DrawTextA(screen.Get(), text.c_str(), static_cast<int>(text.size()), &r, TextFormat() | DT_CALCRECT);
    }
    const int width = wordWrap_ ? Width() : static_cast<int>(r.right);
    const int height = static_cast<int>(r.bottom);
    // The edge that the alignment keeps stays in place.
    int left = Left();
    if (alignment_ == taRightJustify) left += Width() - width;
    if (alignment_ == taCenter) left += (Width() - width) / 2;
    adjusting_ = true;
    try {
        SetBounds(left, Top(), width, height);
    } catch (...) {
        adjusting_ = false;
        throw;
    }
    adjusting_ = false;
}

void TLabel::SetTransparent(bool value) {
    if (value == transparent_) return;
    transparent_ = value;
    Invalidate();
}

void TLabel::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool value) {
    if (value == showAccelChar_) return;
    showAccelChar_ = value;
    Invalidate();
}

void TLabel::Paint() {
    RECT r{0, 0, Width(), Height()};
    if (!transparent_) {
        Canvas().Brush().SetColor(Color());
        Canvas().FillRect(r);
    }
    const std::string caption = Caption();
    if (caption.empty()) return;
    HDC dc = Canvas().Handle();
    SelectedObject font(dc, Font().Handle());
    ::SetBkMode(dc, TRANSPARENT);
    UINT format = TextFormat();
    format |= alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
    if (!Enabled()) {
        // Engraved: a light copy one pixel down and right, the shadow on top.
        RECT shifted = r;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, ColorToRGB(clBtnHighlight));
        ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &shifted, format);
        ::SetTextColor(dc, ColorToRGB(clBtnShadow));
    } else {
        ::SetTextColor(dc, ColorToRGB(Font().Color()));
    }
    ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
}

}  // namespace sw
