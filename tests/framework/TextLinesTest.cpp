#include <gtest/gtest.h>

#include "framework/TextLines.h"

using namespace sw;
using Lines = std::vector<std::string>;

TEST(SplitTextLines, FollowsTheLineRules) {
    const struct {
        std::string data;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then a lone CR: two line ends
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"\n\n\n", {"", "", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("ab\0cd\r\nef", 9), {"ab"}},
        {std::string("\0abc", 4), {}},
        {"x\r\n00250\r\nthird\r\n", {"x", "00250", "third"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitTextLines(c.data), c.lines) << "data: " << testing::PrintToString(c.data);
}

TEST(JoinTextLines, EndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinTextLines({}), "");
    EXPECT_EQ(JoinTextLines({""}), "\r\n");
    EXPECT_EQ(JoinTextLines({"about:test", "11100"}), "about:test\r\n11100\r\n");
}

TEST(TextLines, ReadingBackWrittenLinesGivesTheSameLines) {
    const Lines lines = {"a", "", "b c", "\xF6"};
    EXPECT_EQ(SplitTextLines(JoinTextLines(lines)), lines);
}
