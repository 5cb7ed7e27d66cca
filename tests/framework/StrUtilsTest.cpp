#include <gtest/gtest.h>

#include <climits>

#include "framework/Exceptions.h"
#include "framework/StrUtils.h"

using namespace sw;

namespace {

struct Conversion {
    const char* text;
    std::optional<int32_t> expected;
};

}  // namespace

TEST(StrToInt, ConvertsThePermittedFormsAndRejectsTheRest) {
    const Conversion cases[] = {
        {"0", 0},
        {"250", 250},
        {"00250", 250},
        {"+5", 5},
        {"-5", -5},
        {" 7", 7},
        {"   -12", -12},
        {"$10", 16},
        {"x1F", 31},
        {"X1f", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"1,5", std::nullopt},
        {"1.5", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"7 ", std::nullopt},
        {"\t7", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999", std::nullopt},
        {"$100000000", std::nullopt},
        {"$G", std::nullopt},
        {"--5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.text), c.expected) << "text: \"" << c.text << "\"";
}

TEST(StrToInt, FailureRaisesTheGermanMessageInCodePage1252) {
    try {
        StrToInt("11abc");
        FAIL() << "no error raised";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'11abc' ist kein g\xFCltiger Integerwert");
    }
}

TEST(WithFullStop, AppendsOnlyAfterCharactersSortingAfterTheFullStop) {
    EXPECT_EQ(WithFullStop("Datei x kann nicht erstellt werden"), "Datei x kann nicht erstellt werden.");
    EXPECT_EQ(WithFullStop("Fertig."), "Fertig.");
    EXPECT_EQ(WithFullStop("Fehler ($0400A)"), "Fehler ($0400A)");  // ')' sorts before '.'
    EXPECT_EQ(WithFullStop("Wirklich?"), "Wirklich?.");              // '?' sorts after '.'
    EXPECT_EQ(WithFullStop("Gr\xF6\xDF"), "Gr\xF6\xDF.");            // bytes above 127 count as high
    EXPECT_EQ(WithFullStop(""), "");
}
