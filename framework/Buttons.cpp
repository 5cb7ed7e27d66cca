#include "Buttons.h"

namespace sw {

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    // The button makes its own clicks on release; double clicks count as
    // presses.
    SetControlStyle(csCaptureMouse | csOpaque);
    SetBounds(0, 0, 23, 22);
    glyph_.SetTransparent(true);
    glyph_.OnChange = [this](TObject*) { GlyphChanged(); };
}

void TSpeedButton::SetGlyph(const TBitmap& glyph) {
    glyph_.Assign(glyph);
    glyph_.SetTransparent(true);
}

void TSpeedButton::GlyphChanged() {
    const int w = glyph_.Width();
    const int h = glyph_.Height();
    if (h > 0 && w % h == 0 && w / h >= 1 && w / h <= 4) numGlyphs_ = w / h;
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int value) {
    if (value < 1) value = 1;
    if (value > 4) value = 4;
    if (value == numGlyphs_) return;
    numGlyphs_ = value;
    Invalidate();
}

void TSpeedButton::SetState(TButtonState state) {
    if (state == state_) return;
    state_ = state;
    Repaint();
}

void TSpeedButton::EnabledChanged() {
    state_ = Enabled() ? bsUp : bsDisabled;
    dragging_ = false;
    TGraphicControl::EnabledChanged();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && Enabled()) {
        dragging_ = true;
        SetState(bsDown);
    }
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!dragging_) return;
    const bool over = x >= 0 && x < Width() && y >= 0 && y < Height();
    SetState(over ? bsDown : bsUp);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (button != mbLeft || !dragging_) return;
    dragging_ = false;
    const bool over = x >= 0 && x < Width() && y >= 0 && y < Height();
    SetState(Enabled() ? bsUp : bsDisabled);
    if (over) Click();
}

void TSpeedButton::WndProc(TMessage& message) {
    if (message.Msg == WM_CANCELMODE && dragging_) {
        // The press is cancelled: no click follows.
        dragging_ = false;
        SetState(Enabled() ? bsUp : bsDisabled);
    }
    TGraphicControl::WndProc(message);
}

void TSpeedButton::Paint() {
    HDC dc = Canvas().Handle();
    RECT face{0, 0, Width(), Height()};
    UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (state_ == bsDown || state_ == bsExclusive) flags |= DFCS_PUSHED;
    ::DrawFrameControl(dc, &face, DFC_BUTTON, flags);
    if (glyph_.Empty()) return;

    const int count = numGlyphs_ > 0 ? numGlyphs_ : 1;
    const int imageWidth = glyph_.Width() / count;
    const int imageHeight = glyph_.Height();
    int index = 0;
    if (state_ == bsDisabled && count > 1) index = 1;
    if (state_ == bsDown && count > 2) index = 2;
    if (state_ == bsExclusive && count > 3) index = 3;
    const RECT source{index * imageWidth, 0, (index + 1) * imageWidth, imageHeight};
    const int shift = (state_ == bsDown || state_ == bsExclusive) ? 1 : 0;
    const int x = (Width() - imageWidth) / 2 + shift;
    const int y = (Height() - imageHeight) / 2 + shift;
    if (state_ == bsDisabled && count == 1)
        DrawDisabled(dc, x, y, glyph_, source);
    else
        DrawTransparent(dc, x, y, glyph_, source);
}

}  // namespace sw
