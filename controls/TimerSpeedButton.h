// A speed button that can repeat its click while it is held down: the first
// repeat 400 ms after the press, then one every 100 ms while the button is
// drawn pressed and holds the mouse capture.
#pragma once

#include "framework/Buttons.h"
#include "framework/Timer.h"

namespace sw {

enum TTimerSpeedButtonFlag : unsigned {
    ShowFocus = 1,   // draw a focus rectangle on the face
    AutoRepeat = 2,  // repeat the click while held
};
using TButtonFlags = unsigned;

class TTimerSpeedButton : public TSpeedButton {
public:
    static constexpr unsigned kFirstRepeatDelay = 400;
    static constexpr unsigned kRepeatInterval = 100;

    explicit TTimerSpeedButton(TComponent* owner);
    ~TTimerSpeedButton() override;

    TButtonFlags ButtonFlags() const { return flags_; }
    void SetButtonFlags(TButtonFlags flags);

    // Absent until the first press that needs it.
    TTimer* RepeatTimer() const { return repeatTimer_; }

    void WndProc(TMessage& message) override;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Paint() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    void RepeatTick(TObject* sender);

    TButtonFlags flags_ = 0;
    TTimer* repeatTimer_ = nullptr;
};

}  // namespace sw
