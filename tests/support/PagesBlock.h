// The settings file's block of the extra start pages when none are
// protected: what the program writes below the switches line of every
// settings file it writes.
#pragma once

namespace sw::test {

inline constexpr const char* kNoPagesBlock = "[Weitere Startseiten] 0\r\n";

}  // namespace sw::test
