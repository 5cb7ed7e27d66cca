#include "CustomLabel.h"

#include <cctype>

namespace sw {

char AccelCharOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;  // "&&" is a plain "&"
    }
    return 0;
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetParentColor(true);
    SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
    if (value == autoSize_) return;
    autoSize_ = value;
    AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout value) {
    if (value == layout_) return;
    layout_ = value;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
    if (value == wordWrap_) return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (value == showAccelChar_) return;
    showAccelChar_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
    if (value == transparent_) return;
    transparent_ = value;
    // Only an opaque label may be painted over without erasing first.
    SetControlStyle(value ? (ControlStyle() & ~csOpaque) : (ControlStyle() | csOpaque));
    Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* control) {
    if (control == focusControl_) return;
    if (focusControl_) RemoveFreeNotification(focusControl_);
    focusControl_ = control;
    if (control) FreeNotification(control);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
    TGraphicControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

bool TCustomLabel::DialogChar(char key) {
    if (!showAccelChar_ || !focusControl_ || !Showing() || !Enabled()) return false;
    const char accel = AccelCharOf(Caption());
    if (!accel || std::toupper(static_cast<unsigned char>(accel)) != std::toupper(static_cast<unsigned char>(key)))
        return false;
    if (!focusControl_->CanFocus()) return false;
    focusControl_->SetFocus();
    return true;
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

unsigned TCustomLabel::TextFlags() const {
    unsigned flags = DT_EXPANDTABS;
    switch (alignment_) {
        case taRightJustify: flags |= DT_RIGHT; break;
        case taCenter: flags |= DT_CENTER; break;
        case taLeftJustify:
        default: flags |= DT_LEFT; break;
    }
    if (wordWrap_) flags |= DT_WORDBREAK;
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    return flags;
}

void TCustomLabel::DoDrawText(HDC dc, RECT& rect, unsigned flags) {
    std::string text = Caption();
    // An empty caption (or a lone accelerator mark) still measures one line.
    if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    SelectedObject font(dc, Font().Handle());
    ::SetBkMode(dc, TRANSPARENT);
    const int length = static_cast<int>(text.size());
    if ((flags & DT_CALCRECT) || Enabled()) {
        ::SetTextColor(dc, ColorToRGB(Font().Color()));
        ::DrawTextA(dc, text.c_str(), length, &rect, flags);
        return;
    }
    // Disabled: embossed.
    ::OffsetRect(&rect, 1, 1);
    ::SetTextColor(dc, ColorToRGB(clBtnHighlight));
    ::DrawTextA(dc, text.c_str(), length, &rect, flags);
    ::OffsetRect(&rect, -1, -1);
    ::SetTextColor(dc, ColorToRGB(clBtnShadow));
    ::DrawTextA(dc, text.c_str(), length, &rect, flags);
}

void TCustomLabel::Paint() {
    HDC dc = Canvas().Handle();
    if (!dc) return;
    RECT r = ClientRect();
    if (!transparent_) {
        Canvas().Brush().SetColor(Color());
        Canvas().FillRect(r);
    }
    const unsigned flags = TextFlags();
    if (layout_ != tlTop) {
        RECT measured = r;
        DoDrawText(dc, measured, flags | DT_CALCRECT);
        const int room = r.bottom - (r.top + (measured.bottom - measured.top));
        // Rounded down: a caption taller than the label overflows it at
        // both ends.
        const int shift = layout_ == tlCenter ? (room >= 0 ? room / 2 : -((1 - room) / 2)) : room;
        r.bottom = r.top + (measured.bottom - measured.top);
        ::OffsetRect(&r, 0, shift);
    }
    DoDrawText(dc, r, flags);
}

void TCustomLabel::AdjustBounds() {
    if (InState(csLoading) || !autoSize_) return;
    RECT r = ClientRect();
    WindowDC screen(nullptr);
    if (!screen) return;
    DoDrawText(screen.Get(), r, (TextFlags() & ~(DT_RIGHT | DT_CENTER)) | DT_CALCRECT);
    int left = Left();
    // A right-aligned label keeps its right edge.
    if (alignment_ == taRightJustify) left += Width() - r.right;
    SetBounds(left, Top(), r.right, r.bottom);
}

void TCustomLabel::TextChanged() {
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::ChangeScale(int m, int d) {
    TGraphicControl::ChangeScale(m, d);
    // Scaled bounds are the old caption's; the scaled font's caption may
    // need a different size (fonts come in steps).
    AdjustBounds();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

}  // namespace sw
