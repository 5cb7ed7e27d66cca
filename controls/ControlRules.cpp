#include "ControlRules.h"

#include <algorithm>

#include "framework/StrUtils.h"

namespace sw::controls {

int32_t ClampToRange(int32_t v, int32_t min, int32_t max) {
    if (min == max) return v;
    if (v < min) return min;
    if (v > max) return max;
    return v;
}

int32_t WrappingAdd(int32_t v, int32_t step) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(step));
}

bool IsAcceptedSpinChar(char c, char decimalSeparator, bool editorEnabled) {
    const auto code = static_cast<unsigned char>(c);
    bool accepted = c == '+' || c == '-' || (c >= '0' && c <= '9') || c == decimalSeparator ||
                    (code < 32 && code != 13);
    if (accepted && !editorEnabled && (code >= 32 || code == 8)) accepted = false;
    return accepted;
}

int32_t SpinValueOf(std::string_view text, int32_t min) { return TryStrToInt(text).value_or(min); }

SelectionRange SelectionAfterRewrite(std::string_view before, std::string_view after, int32_t caret) {
    const auto beforeLength = static_cast<int32_t>(before.size());
    const auto afterLength = static_cast<int32_t>(after.size());
    caret = std::clamp<int32_t>(caret, 0, beforeLength);
    int32_t prefix = 0;
    while (prefix < beforeLength && prefix < afterLength && before[prefix] == after[prefix]) ++prefix;
    int32_t suffix = 0;
    while (suffix < beforeLength - prefix && suffix < afterLength - prefix &&
           before[beforeLength - 1 - suffix] == after[afterLength - 1 - suffix])
        ++suffix;
    if (caret < prefix) return {caret, caret};
    if (caret > beforeLength - suffix) {
        const int32_t moved = caret + afterLength - beforeLength;
        return {moved, moved};
    }
    return {prefix, afterLength - suffix};
}

int32_t TabStopPixels(int32_t zeroWidth, int32_t tabWidth) {
    const int64_t quarters = static_cast<int64_t>(zeroWidth) * tabWidth;  // the stop times 4
    int64_t whole = quarters / 4;
    int64_t rest = quarters % 4;
    if (rest < 0) {  // floor for negative products
        rest += 4;
        whole -= 1;
    }
    if (rest > 2 || (rest == 2 && (whole & 1) != 0)) ++whole;
    return static_cast<int32_t>(whole);
}

}  // namespace sw::controls
