#include <gtest/gtest.h>

#include "app/LogText.h"
#include "app/Switches.h"

using namespace sw::guard;
using Lines = std::vector<std::string>;

TEST(Switches, EditsChangeOnlyTheirOwnPositions) {
    EXPECT_EQ(WithReportSwitch("11100", false), "10100");
    EXPECT_EQ(WithLogSwitch("10100", false), "00100");
    EXPECT_EQ(WithLogSwitch("00100", true), "10100");
    EXPECT_EQ(WithReportSwitch("0x250", true), "01250");
    EXPECT_EQ(WithMaximum("11100", 5), "115");
    EXPECT_EQ(WithMaximum("1120000", 10000), "1110000");
    EXPECT_EQ(WithMaximum("0", 7), "07");
    EXPECT_EQ(WithLogSwitch("", true), "1");
    EXPECT_TRUE(SwitchIsOn("10", 1));
    EXPECT_FALSE(SwitchIsOn("10", 2));
    EXPECT_FALSE(SwitchIsOn("1", 2));
}

TEST(Switches, StartupRepairOfSettingsLines) {
    const struct {
        Lines in;
        Lines out;
        bool damaged;
        bool readsRegistry;
    } cases[] = {
        {{}, {"registry", "11100"}, true, true},
        {{"x"}, {"x", "11100"}, false, false},
        {{"x", "00250"}, {"x", "00250"}, false, false},
        {{"x", "11100", "third"}, {"x", "11100", "third"}, false, false},
        {{"x", "1"}, {"x", "11100"}, true, false},
        {{"x", "11"}, {"x", "11100"}, true, false},
        {{"x", "11abc"}, {"x", "11100"}, true, false},
        {{"x", "11 99999999999"}, {"x", "11100"}, true, false},
        {{"x", "11-0"}, {"x", "11-0"}, false, false},
        {{"x", "11$10"}, {"x", "11$10"}, false, false},
        // A damaged file's empty or binary address line is no address.
        {{"", ""}, {"registry", "11100"}, true, true},
        {{""}, {"registry", "11100"}, true, true},
        {{"\x01\x02\xFFgarbage", "\x7F"}, {"registry", "11100"}, true, true},
        {{"about:x\t", "", "third"}, {"registry", "11100", "third"}, true, true},
        {{"about:\x7F\xE4", "1"}, {"about:\x7F\xE4", "11100"}, true, false},
        // With sound switches the first line is the user's, even empty.
        {{"", "00250"}, {"", "00250"}, false, false},
        {{"\x01", "11100"}, {"\x01", "11100"}, false, false},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        bool read = false;
        const auto registry = [&read] {
            read = true;
            return std::string("registry");
        };
        EXPECT_EQ(RepairSettingsLines(lines, registry), c.damaged) << testing::PrintToString(c.in);
        EXPECT_EQ(lines, c.out) << testing::PrintToString(c.in);
        EXPECT_EQ(read, c.readsRegistry) << testing::PrintToString(c.in);
    }
}

TEST(Switches, TrimKeepsTheNewestMaximumLines) {
    EXPECT_EQ(LinesToTrim(8, 5), 3);
    EXPECT_EQ(LinesToTrim(5, 5), 0);
    EXPECT_EQ(LinesToTrim(0, 1), 0);
    EXPECT_EQ(LinesToTrim(3, 0), 3);
    EXPECT_EQ(LinesToTrim(3, -4), 3);
}

TEST(LogText, LineReportAndMidnightRule) {
    EXPECT_EQ(ComposeLogLine(ComposeDateTime("08.12.2026", "21:40:05", false), "Ein Offline-B\xF6sewicht", "about:test"),
              "08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:about:test");
    EXPECT_EQ(ComposeDateTime("09.12.2026", "00:00:00", true), "09.12.2026");
    EXPECT_EQ(ComposeReport("Wer", "about:x"),
              "Wer\rhat versucht, folgende Start-URL einzutragen:\rabout:x\r...URL korrigiert");
}
