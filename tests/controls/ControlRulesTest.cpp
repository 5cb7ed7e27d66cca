#include <gtest/gtest.h>

#include <climits>

#include "controls/ControlRules.h"

using namespace sw::controls;

TEST(ControlRules, ClampToRange) {
    const struct {
        int32_t min, max, value, expected;
    } cases[] = {
        {1, 10000, 0, 1},
        {1, 10000, 1, 1},
        {1, 10000, 10000, 10000},
        {1, 10000, 20000, 10000},
        {1, 10000, -5, 1},
        // Equal bounds: no range at all.
        {0, 0, INT_MIN, INT_MIN},
        {0, 0, INT_MAX, INT_MAX},
        {7, 7, 3, 3},
        // Maximum below minimum: below the minimum gives the minimum, all
        // else the maximum.
        {10, 5, 3, 10},
        {10, 5, 9, 10},
        {10, 5, 10, 5},
        {10, 5, 7, 10},
        {10, 5, 12, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClampToRange(c.value, c.min, c.max), c.expected)
            << "range " << c.min << ".." << c.max << ", value " << c.value;
}

TEST(ControlRules, StepsWrapAroundIn32Bits) {
    EXPECT_EQ(WrappingAdd(INT_MAX, 1), INT_MIN);
    EXPECT_EQ(WrappingAdd(INT_MIN, -1), INT_MAX);
    EXPECT_EQ(WrappingAdd(5, -7), -2);
}

TEST(ControlRules, TypedCharacterFilter) {
    const struct {
        char c;
        bool editorOn, editorOff;
    } cases[] = {
        {'0', true, false}, {'9', true, false},   {'+', true, false},  {'-', true, false},
        {',', true, false},  // the decimal separator given below
        {'.', false, false}, {'a', false, false}, {' ', false, false}, {'\x80', false, false},
        {'\r', false, false},  // Enter
        {'\b', true, false},   // Backspace
        {'\x03', true, true},  // Ctrl+C
        {'\x16', true, true},  // Ctrl+V
        {'\x1b', true, true},  // Escape
        {'\x7f', false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAcceptedSpinChar(c.c, ',', true), c.editorOn) << "code " << int(static_cast<unsigned char>(c.c));
        EXPECT_EQ(IsAcceptedSpinChar(c.c, ',', false), c.editorOff)
            << "code " << int(static_cast<unsigned char>(c.c)) << " with the editor disabled";
    }
    EXPECT_TRUE(IsAcceptedSpinChar('.', '.', true));
    EXPECT_FALSE(IsAcceptedSpinChar(',', '.', true));
}

TEST(ControlRules, ValueOfTextFallsBackToTheMinimum) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"+5", 5}, {" 7", 7},  {"$10", 16}, {"0x1f", 31}, {"-3", -3}, {"20000", 20000},
        {"1,5", 1}, {"abc", 1}, {"", 1},     {"-", 1},     {"1-2", 1}, {"2147483648", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(SpinValueOf(c.text, 1), c.expected) << '"' << c.text << '"';
}

TEST(ControlRules, TabStopRoundsToNearestWithTiesToEven) {
    const struct {
        int32_t zeroWidth, tabWidth, expected;
    } cases[] = {
        {7, 8, 14},  // 7 x 8 x 0.25
        {6, 1, 2},   // 1.5 -> 2
        {5, 2, 2},   // 2.5 -> 2
        {7, 2, 4},   // 3.5 -> 4
        {5, 1, 1},   // 1.25 -> 1
        {7, 1, 2},   // 1.75 -> 2
        {2, 1, 0},   // 0.5 -> 0
        {6, 3, 4},   // 4.5 -> 4
        {8, 4, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TabStopPixels(c.zeroWidth, c.tabWidth), c.expected) << c.zeroWidth << " x " << c.tabWidth;
}

TEST(ControlRules, SelectionAfterRewrite) {
    const struct {
        const char* before;
        const char* after;
        int32_t caret;
        SelectionRange expected;
    } cases[] = {
        {"", "1", 0, {0, 1}},            // an emptied field filled again: the next digit replaces it
        {"0", "1", 1, {0, 1}},           // a refused value: the same
        {"100005", "10000", 6, {5, 5}},  // clamped at the end: the caret stays at the end
        {"20000", "10000", 5, {5, 5}},
        {"-100", "100", 1, {0, 0}},      // a sign dropped before the caret
        {"-5", "5", 0, {0, 0}},          // a caret before the rewritten part keeps its place
        {"12-5", "1", 1, {1, 1}},
        {"12-5", "1", 3, {1, 1}},        // inside it: the (empty) new part
        {"x7", "1", 9, {0, 1}},          // a caret past the end counts as at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectionAfterRewrite(c.before, c.after, c.caret), c.expected)
            << '"' << c.before << "\" -> \"" << c.after << "\" at " << c.caret;
}
