#include <gtest/gtest.h>

#include "tray/TextLayout.h"

using sw::SplitLines;

TEST(TextLayout, OnlyCarriageReturnsSplitLines) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"IE", {"IE"}},
        {"A\rB", {"A", "B"}},
        {"AB\r", {"AB", ""}},
        {"\r", {"", ""}},
        {"A\r\rB", {"A", "", "B"}},
        {"A\r\nB", {"A", "\nB"}},  // the line feed stays and is drawn as a character
        {"A\nB", {"A\nB"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << "text: " << c.text;
}

TEST(TextLayout, CentringTruncatesTowardsZero) {
    EXPECT_EQ(sw::CentredStart(26), -5);  // (15 - 26) div 2, not -6
    EXPECT_EQ(sw::CentredStart(16), 0);   // -1 div 2
    EXPECT_EQ(sw::CentredStart(13), 1);
    EXPECT_EQ(sw::CentredStart(0), 7);
}
