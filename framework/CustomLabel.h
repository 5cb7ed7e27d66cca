// A windowless text label: its caption drawn with DrawText on the parent's
// surface, aligned left, right or centred and top, middle or bottom, with
// the size following the caption (AutoSize), optional word wrap, "&" as the
// accelerator mark, and a control that the accelerator focuses.
#pragma once

#include <string>

#include "Alignment.h"
#include "Controls.h"

namespace sw {

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* owner);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // On by default: the label takes the size of its caption whenever the
    // caption, the font, the word wrap or the accelerator setting changes.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    // On by default: "&" underlines the next character ("&&" shows one "&").
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    // Off by default: the label fills its area with its colour first.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);

    // The control that the label's accelerator focuses.
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control);
    // A typed accelerator character (from Alt + key): when it is the
    // caption's, the focus control takes the focus. True when it did.
    bool DialogChar(char key);

    void Loaded() override;

protected:
    // DrawText flags of the label's settings: alignment, DT_EXPANDTABS,
    // DT_WORDBREAK, DT_NOPREFIX.
    unsigned TextFlags() const;
    // Draws (or with DT_CALCRECT measures) the caption in rect with the
    // label's font; a disabled label is drawn embossed.
    virtual void DoDrawText(HDC dc, RECT& rect, unsigned flags);
    // Takes the caption's size when AutoSize is on (not while loading).
    virtual void AdjustBounds();
    void Paint() override;

    void TextChanged() override;
    void FontChanged() override;
    void ChangeScale(int m, int d) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    TTextLayout layout_ = tlTop;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
    bool transparent_ = false;
    TWinControl* focusControl_ = nullptr;
};

// The character after the first single "&" of a caption ("&&" is a plain
// "&"), or 0 when it has none.
char AccelCharOf(const std::string& caption);

}  // namespace sw
