// The label of forms: the windowless text label, whose wrapped caption also
// takes the height that a new width needs (a label aligned to an edge gets
// its width from its parent).
#pragma once

#include "CustomLabel.h"

namespace sw {

class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;

protected:
    void BoundsChanged() override;

private:
    bool adjusting_ = false;
};

}  // namespace sw
