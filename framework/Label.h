// The label: a text without a window of its own, drawn on its parent. It
// breaks its text at CR LF, and with WordWrap also between words to fit
// its width. With AutoSize (the default) it takes the size of its text in
// its font: the width of the widest line and the height of all lines, or,
// with WordWrap, only the height for its width.
#pragma once

#include "Alignment.h"
#include "Controls.h"

namespace sw {

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    // Draws only the text, leaving the parent's picture around it.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // An "&" underlines the next character instead of being shown.
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);

    void Loaded() override;

protected:
    void Paint() override;
    void TextChanged() override;
    void FontChanged() override;
    void BoundsChanged() override;
    void ChangeScale(int m, int d) override;

private:
    void AdjustBounds();
    UINT TextFormat() const;

    bool autoSize_ = true;
    bool adjusting_ = false;
    bool wordWrap_ = false;
    bool transparent_ = false;
    TAlignment alignment_ = taLeftJustify;
    bool showAccelChar_ = true;
};

}  // namespace sw
