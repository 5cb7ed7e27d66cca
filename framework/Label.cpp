#include "Label.h"

namespace sw {

void TLabel::BoundsChanged() {
    TCustomLabel::BoundsChanged();
    if (!WordWrap() || !AutoSize() || adjusting_) return;
    adjusting_ = true;
    try {
        AdjustBounds();
    } catch (...) {
        adjusting_ = false;
        throw;
    }
    adjusting_ = false;
}

}  // namespace sw
