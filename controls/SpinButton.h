// A pair of auto-repeating arrow buttons stacked vertically (up above,
// down below) in a small window of its own, with keyboard support when it
// has the focus, and two notifications, OnUpClick and OnDownClick.
#pragma once

#include "TimerSpeedButton.h"
#include "framework/Controls.h"

namespace sw {

class TSpinButton : public TWinControl {
public:
    explicit TSpinButton(TComponent* owner);
    ~TSpinButton() override;

    TTimerSpeedButton* UpArrow() const { return upArrow_; }
    TTimerSpeedButton* DownArrow() const { return downArrow_; }
    TTimerSpeedButton* ActiveArrow() const { return activeArrow_; }

    // A bitmap is copied into the arrow's glyph; none loads the default glyph
    // ("SpinUp" / "SpinDown" from the program's resources).
    void SetUpGlyph(const TBitmap* glyph);
    void SetDownGlyph(const TBitmap* glyph);
    int UpNumGlyphs() const { return upArrow_->NumGlyphs(); }
    void SetUpNumGlyphs(int value) { upArrow_->SetNumGlyphs(value); }
    int DownNumGlyphs() const { return downArrow_->NumGlyphs(); }
    void SetDownNumGlyphs(int value) { downArrow_->SetNumGlyphs(value); }

    // Takes the focus when an arrow is pressed; cleared when it goes.
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control);

    TNotifyEvent OnUpClick;
    TNotifyEvent OnDownClick;

    void SetBounds(int left, int top, int width, int height) override;
    void WndProc(TMessage& message) override;
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void PaintWindow(HDC dc) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    TTimerSpeedButton* CreateArrow();
    // Places the arrows for a proposed size; the width may grow to 15.
    void ArrangeArrows(int& width, int& height);
    void ArrowMouseDown(TTimerSpeedButton* arrow, TMouseButton button);
    void ArrowClick(TTimerSpeedButton* arrow);
    void SetActiveArrow(TTimerSpeedButton* arrow);

    TTimerSpeedButton* upArrow_ = nullptr;
    TTimerSpeedButton* downArrow_ = nullptr;
    TTimerSpeedButton* activeArrow_ = nullptr;
    TWinControl* focusControl_ = nullptr;
};

}  // namespace sw
