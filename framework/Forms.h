// A top-level window that hosts controls. Forms are designed at 120 pixels
// per inch and scaled to the screen's resolution when they are set up.
// Stay-on-top, the minimised state, the application's main form and the
// keyboard order build on this.
#pragma once

#include <string>

#include "Controls.h"

namespace sw {

enum TPosition { poDesigned, poScreenCenter };

class TForm : public TCustomControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // The resolution the form's sizes were designed at (120 by default).
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int value) { pixelsPerInch_ = value; }
    // Scales the form's contents from the design to the screen's resolution
    // (once; scaling again does nothing).
    void ScaleToScreen();

    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

    // Client size; the window's outer size follows from its frame.
    void SetClientSize(int width, int height);

    void Loaded() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void VisibleChanged() override;
    void ChangeScale(int m, int d) override;
    void WndProc(TMessage& message) override;

private:
    int pixelsPerInch_ = 120;
    bool scaled_ = false;
    TPosition position_ = poDesigned;
};

}  // namespace sw
