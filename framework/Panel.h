// The panel: a windowed container with a bevelled edge and an optional
// caption in its middle. Its children are placed inside the bevels.
#pragma once

#include "Alignment.h"
#include "Controls.h"

namespace sw {

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* owner);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);
    // Room between the outer and the inner bevel.
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

protected:
    void CreateParams(TCreateParams& params) override;
    void AdjustClientRect(RECT& rect) const override;
    void Paint() override;
    void TextChanged() override { Invalidate(); }

private:
    void Relayout();

    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TAlignment alignment_ = taCenter;
};

// Draws a bevel of the given width inside rect and shrinks rect by it.
void DrawBevel(HDC dc, RECT& rect, TBevelCut cut, int width);

}  // namespace sw
