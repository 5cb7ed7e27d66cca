// Layout of the text tray icon's text, free of Windows: the lines and where a
// line starts in the 16 x 16 square.
#pragma once

#include <string>
#include <vector>

namespace sw {

// Only carriage returns split: "A\rB" gives A and B, a trailing carriage
// return an empty last line, and after CR LF the line feed starts the next
// line (it is measured and drawn like any character).
std::vector<std::string> SplitLines(const std::string& text);

// Where a run of `extent` pixels starts when centred in the square:
// (15 - extent) div 2, truncated towards zero (-11 div 2 = -5).
constexpr int CentredStart(int extent) { return (15 - extent) / 2; }

}  // namespace sw
