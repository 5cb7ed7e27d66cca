// Horizontal placement of a control's text.
#pragma once

namespace sw {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

}  // namespace sw
