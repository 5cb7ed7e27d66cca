// The speed button: a push button without a window of its own, drawn on its
// parent with a bitmap glyph centred on a raised face. Its glyph may hold up
// to four images side by side (normal, disabled, pressed, latched).
#pragma once

#include "Bitmap.h"
#include "Controls.h"

namespace sw {

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* owner);

    TBitmap& Glyph() { return glyph_; }
    // Copies the bitmap; a width that is 1 to 4 times the height sets the
    // glyph count to that multiple.
    void SetGlyph(const TBitmap& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int value);

    // Drawn pressed (while held over it) or raised.
    TButtonState State() const { return state_; }

    void WndProc(TMessage& message) override;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Paint() override;
    void EnabledChanged() override;

    bool Dragging() const { return dragging_; }

private:
    void GlyphChanged();
    void SetState(TButtonState state);

    TBitmap glyph_;
    int numGlyphs_ = 1;
    TButtonState state_ = bsUp;
    bool dragging_ = false;
};

}  // namespace sw
