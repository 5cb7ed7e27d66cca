// The push button: a window of the system class BUTTON. OnClick runs when
// the button reports a click (mouse release over it, Space, or BM_CLICK).
#pragma once

#include "Controls.h"

namespace sw {

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);

    // Drawn as the default button of its form.
    bool Default() const { return default_; }
    void SetDefault(bool value);

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    bool default_ = false;
};

}  // namespace sw
