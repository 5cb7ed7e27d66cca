// Layout of the text tray icon's text, free of Windows: the lines, where a
// line starts in the square, and the square's figures at another size.
#pragma once

#include <string>
#include <vector>

namespace sw {

// Only carriage returns split: "A\rB" gives A and B, a trailing carriage
// return an empty last line, and after CR LF the line feed starts the next
// line (it is measured and drawn like any character).
std::vector<std::string> SplitLines(const std::string& text);

// Where a run of `extent` pixels starts when centred in a square of `side`
// pixels: (side - 1 - extent) div 2, truncated towards zero (-11 div 2 = -5).
constexpr int CentredStart(int extent, int side = 16) { return (side - 1 - extent) / 2; }

// The icon's figures (font height, offsets, line distance) are those of the
// 16-pixel square; drawn at `side` pixels they grow in proportion, rounded
// to the nearest pixel, halves away from zero.
constexpr int ScaledToSide(int figure, int side) {
    const int scaled = figure * side;
    return (scaled >= 0 ? scaled + 8 : scaled - 8) / 16;
}

// The frame is one pixel wide on the 16-pixel square and one more for each
// further 16 pixels, so that it never looks heavier than there.
constexpr int FrameWidth(int side) { return side < 32 ? 1 : side / 16; }

}  // namespace sw
