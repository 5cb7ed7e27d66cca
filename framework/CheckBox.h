// The check box: a window of the system class BUTTON whose state the control
// keeps itself. OnClick runs whenever the state changes: clicked by the
// user, or set by the program (except while the control is being loaded
// from a stored description).
#pragma once

#include "Alignment.h"
#include "Controls.h"

namespace sw {

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);

    bool Checked() const { return checked_; }
    void SetChecked(bool value);
    // The box on the left (taRightJustify, text right of it) or the right.
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreatedWnd() override;

private:
    bool checked_ = false;
    TAlignment alignment_ = taRightJustify;
};

}  // namespace sw
