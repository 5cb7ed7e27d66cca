// The rules of the spin edit and the log list box that need no window:
// clamping, the typed-character filter, reading the value and the tab stop
// of a measured line. No Windows dependency, so they also build natively.
#pragma once

#include <cstdint>
#include <string_view>

namespace sw::controls {

// Keeps v within min..max; equal bounds mean no range at all. With max below
// min, every value below min becomes min and every other value max.
int32_t ClampToRange(int32_t v, int32_t min, int32_t max);

// v + step in 32 bits with wrap-around.
int32_t WrappingAdd(int32_t v, int32_t step);

// Whether a typed character reaches the edit: "+", "-", digits, the locale's
// decimal separator and control characters other than Enter; with the
// editor disabled only control characters other than Backspace and Enter.
bool IsAcceptedSpinChar(char c, char decimalSeparator, bool editorEnabled);

// The text's integer value, or min when it is none.
int32_t SpinValueOf(std::string_view text, int32_t min);

// Where the selection goes when a text the user is typing in is written back
// in another form (a change handler clamps it, for instance): a caret before
// the rewritten part keeps its place, one after it keeps its distance from
// the end, and one inside it (or at its edge) selects the new part, so that
// the next keystroke replaces what the user did not type.
struct SelectionRange {
    int32_t start;
    int32_t end;
    bool operator==(const SelectionRange&) const = default;
};
SelectionRange SelectionAfterRewrite(std::string_view before, std::string_view after, int32_t caret);

// A list box tab stop in pixels: width of "0" × tab width (dialog units)
// × 0.25, rounded to the nearest integer with ties to even.
int32_t TabStopPixels(int32_t zeroWidth, int32_t tabWidth);

}  // namespace sw::controls
