// The system's ANSI code page, the one that the program's "A" calls use.
#pragma once

#include "CodePage.h"

namespace sw {

// Encode gives bytes only when decoding them gives back exactly the same
// characters: no best-fit look-alike ("o" for "ō") and no "?" ever stand in
// for a character.
const AnsiCodePage& SystemAnsiCodePage();

}  // namespace sw
