// The group box: a windowed container framed by an etched line with its
// caption set into the top edge. Its children are placed inside the frame,
// below the caption.
#pragma once

#include "Controls.h"

namespace sw {

class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
    void AdjustClientRect(RECT& rect) const override;
    void Paint() override;
    void TextChanged() override { Invalidate(); }
    void FontChanged() override;

private:
    // Height of a line of the caption in the control's font.
    int CaptionHeight() const;
    mutable int captionHeight_ = 0;  // measured on demand, forgotten on a font change
};

}  // namespace sw
