#include "GuardFixture.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/TextLines.h"

using namespace sw;
using namespace sw::test;

namespace {

const std::string kDamaged =
    "Eine Kongigurationsdatei war besch\xE4" "digt! Repariert und Grundeinstellungen auf Standardwerte gesetzt.";

class GuardStart : public GuardFixture {};

}  // namespace

TEST_F(GuardStart, FirstStartTakesTheRegistrysStartPageAndWritesDefaults) {
    SetStartPage("about:test");
    guard.LoadAtStart();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(view.Address, "about:test");
    EXPECT_EQ(guard.ProtectedUrl, "about:test");
    EXPECT_TRUE(view.LogOn);
    EXPECT_TRUE(view.ReportOn);
    EXPECT_EQ(view.MaximumText, "100");
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(ReadFileBytes(LogPath()), std::nullopt) << "no log file is created at start";
}

TEST_F(GuardStart, SettingsFilesAreLoadedAndRepaired) {
    const struct {
        std::string file;
        std::string after;  // settings file after the start
        bool log, report;
        std::string maximum;
        bool damagedMessage;
    } cases[] = {
        {"", "about:reg\r\n11100\r\n", true, true, "100", true},
        {"x\r\n00250\r\n", "x\r\n00250\r\n", false, false, "250", false},
        {"x\r\n1120000\r\n", "x\r\n1110000\r\n", true, true, "10000", false},
        {"x\r\n10100\r\nthird line\r\n", "x\r\n10100\r\nthird line\r\n", true, false, "100", false},
        {"only\r\n", "only\r\n11100\r\n", true, true, "100", false},
        {"x\n01007\n", "x\r\n017\r\n", false, true, "7", false},
        {"x\r\n1\r\n", "x\r\n11100\r\n", true, true, "100", true},
        {"x\r\n11abc\r\n", "x\r\n11100\r\n", true, true, "100", true},
        {"x\r\n11 99999999999\r\n", "x\r\n11100\r\n", true, true, "100", true},
        {"x\r\n11-0\r\n", "x\r\n111\r\n", true, true, "1", false},
        {std::string("x\r\n0\0" "05\r\n", 8), "x\r\n11100\r\n", true, true, "100", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.file));
        SetStartPage("about:reg");
        RemoveFile(LogPath());
        WriteFileBytes(SettingsPath(), c.file);
        FakeView fresh;
        guard::TGuard g(fresh);
        fresh.Guard = &g;
        g.LoadAtStart();
        EXPECT_EQ(ReadFileBytes(SettingsPath()), c.after + std::string(kNoPagesBlock));
        EXPECT_EQ(fresh.LogOn, c.log);
        EXPECT_EQ(fresh.ReportOn, c.report);
        EXPECT_EQ(fresh.MaximumText, c.maximum);
        EXPECT_EQ(fresh.Messages, c.damagedMessage ? std::vector<std::string>{kDamaged} : std::vector<std::string>{});
        const auto lines = SplitTextLines(c.file);
        EXPECT_EQ(g.ProtectedUrl, lines.empty() ? "about:reg" : lines[0]);
    }
}

TEST_F(GuardStart, ASettingsFileUnreadableAtStartIsNotReplacedByTheStandIn) {
    WriteFileBytes(SettingsPath(), "about:meine\r\n00250\r\n");
    SetStartPage("about:entfuehrt");
    FileHandle lock(::CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    guard.LoadAtStart();
    EXPECT_EQ(view.Messages, std::vector<std::string>{"Zugriff auf Ihr Systemverzeichnis wurde verweigert! "
                                                      "Startwacht kann nicht korrekt ausgef\xFChrt werden."});
    // The run guards the stand-in with the default switches.
    EXPECT_EQ(guard.ProtectedUrl, "about:entfuehrt");
    EXPECT_TRUE(view.LogOn && view.ReportOn);
    EXPECT_EQ(view.MaximumText, "100");
    lock.Close();

    // Neither "Beenden" nor the end of the session writes it over the file.
    view.LogList.Add("neu");
    EXPECT_TRUE(guard.SaveAllGuarded());
    guard.SaveAllQuietly();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:meine\r\n00250\r\n");
    EXPECT_EQ(ReadFileBytes(LogPath()), "neu\r\n");
    EXPECT_EQ(view.Messages.size(), 1u) << "nothing failed, nothing more to tell";

    // A setting the user changes is a choice: the whole state is written.
    view.SetReportSwitch(false);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:entfuehrt\r\n10100\r\n" + std::string(kNoPagesBlock));
}

TEST_F(GuardStart, ALogUnreadableAtStartLosesNoLine) {
    const std::string old = "08.12.2026 10:00:00>>alt >>Startpage:about:a\r\n08.12.2026 09:00:00>>alt >>Startpage:about:b\r\n";
    const auto oldLines = SplitTextLines(old);
    const struct {
        const char* name;
        std::string maximum;
        int attemptsWhileLocked;
        std::vector<std::string> expected;  // below the newest attempts
    } cases[] = {
        {"unlocked before the first attempt", "100", 0, oldLines},
        {"still locked at the first attempt", "100", 1, oldLines},
        {"trimmed to the maximum", "2", 0, {oldLines[0]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetStartPage("about:blank");
        WriteFileBytes(SettingsPath(), "about:blank\r\n10" + c.maximum + "\r\n" + std::string(kNoPagesBlock));
        WriteFileBytes(LogPath(), old);
        FakeView fresh;
        guard::TGuard g(fresh);
        fresh.Guard = &g;
        g.IsOnline = [] { return false; };
        g.CurrentDateTime = [] { return std::string("08.12.2026 21:40:05"); };
        FileHandle lock(::CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_THROW(g.LoadAtStart(), EFOpenError) << "the failed read is shown";
        EXPECT_EQ(fresh.LogList.Count(), 0);

        int attempts = 0;
        for (; attempts < c.attemptsWhileLocked; ++attempts) {
            SetStartPage("about:fremd" + std::to_string(attempts));
            g.Tick();
            EXPECT_EQ(fresh.Messages.back(), "Ihr System verhindert Schreibzugriffe durch Startwacht!");
        }
        lock.Close();
        EXPECT_EQ(ReadFileBytes(LogPath()), old) << "nothing is written while the file can't be read";

        SetStartPage("about:fremd");
        g.Tick();
        std::vector<std::string> expected;
        expected.push_back("08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:about:fremd");
        for (int a = attempts - 1; a >= 0; --a)
            expected.push_back("08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:about:fremd" +
                               std::to_string(a));
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.resize(std::min<size_t>(expected.size(), std::stoul(c.maximum)));
        EXPECT_EQ(fresh.LogList.Lines(), expected);
        EXPECT_EQ(SplitTextLines(ReadFileBytes(LogPath()).value_or("")), expected) << "list and file agree";

        // Later writes take nothing in twice.
        g.ClearLog();
        EXPECT_EQ(ReadFileBytes(LogPath()), "");
    }
}

TEST_F(GuardStart, EmptyingALogUnreadableAtStartIsTheUsersChoice) {
    WriteFileBytes(LogPath(), "alt\r\n");
    FileHandle lock(::CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_THROW(guard.LoadAtStart(), EFOpenError);
    lock.Close();
    guard.ClearLog();
    EXPECT_EQ(ReadFileBytes(LogPath()), "");
    EXPECT_EQ(view.LogList.Count(), 0);
}

TEST_F(GuardStart, ALongLogIsLoadedWholeAndTrimmedOnlyLater) {
    WriteFileBytes(SettingsPath(), "x\r\n115\r\n" + std::string(kNoPagesBlock));
    std::string log;
    for (int i = 0; i < 8; ++i) log += "line " + std::to_string(i) + "\n";
    WriteFileBytes(LogPath(), log);
    guard.LoadAtStart();
    EXPECT_EQ(view.LogList.Count(), 8);
    EXPECT_EQ(ReadFileBytes(LogPath()), log) << "loading writes nothing";
}

TEST_F(GuardStart, SwitchAndMaximumChangesRewriteTheSwitchesLine) {
    guard.LoadAtStart();
    view.SetReportSwitch(false);
    EXPECT_EQ(guard.SettingsLines[1], "10100");
    view.SetLogSwitch(false);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:blank\r\n00100\r\n" + std::string(kNoPagesBlock));

    const struct {
        std::string typed;
        std::string shown;
    } pasted[] = {{"-5", "5"}, {"0", "1"}, {"20000", "10000"}, {"abc", "1"}, {"$10", "16"}};
    for (const auto& p : pasted) {
        view.SetMaximumText(p.typed);
        EXPECT_EQ(view.MaximumText, p.shown) << p.typed;
        EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:blank\r\n00" + p.shown + "\r\n" + std::string(kNoPagesBlock)) << p.typed;
    }
}

TEST_F(GuardStart, LoweringTheMaximumTrimsTheOldestLinesAndWritesTheLogOnlyThen) {
    guard.LoadAtStart();
    for (int i = 8; i >= 1; --i) view.LogList.Add("line " + std::to_string(i));  // newest first: line 8
    view.SetMaximumText("5");
    EXPECT_EQ(view.LogList.Lines(), (std::vector<std::string>{"line 8", "line 7", "line 6", "line 5", "line 4"}));
    EXPECT_EQ(ReadFileBytes(LogPath()), "line 8\r\nline 7\r\nline 6\r\nline 5\r\nline 4\r\n");

    RemoveFile(LogPath());
    view.SetMaximumText("100");
    EXPECT_EQ(ReadFileBytes(LogPath()), std::nullopt) << "raising the maximum writes no log";

    // Typing 5 then 0 over 100 trims at every intermediate value.
    for (int i = 0; i < 20; ++i) view.LogList.Add("old " + std::to_string(i));
    view.SetMaximumText("5");
    view.SetMaximumText("50");
    EXPECT_EQ(view.LogList.Count(), 5);
}

TEST_F(GuardStart, AddressEditsAreWrittenThroughOnlyAfterTheWindowWasShown) {
    guard.LoadAtStart();
    view.SetAddressText("about:early");
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_EQ(guard.SettingsLines[0], "about:blank");

    guard.WindowShown = true;
    view.TimerSwitches.clear();
    std::string typed;
    for (char c : std::string("about:test")) {
        typed += c;
        view.SetAddressText(typed);
        EXPECT_EQ(StartPageText(), typed);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), typed + "\r\n11100\r\n" + std::string(kNoPagesBlock));
    }
    EXPECT_EQ(guard.ProtectedUrl, "about:test");
    EXPECT_EQ(view.TimerSwitches.size(), 20u);
    EXPECT_TRUE(view.TimerSwitches.back());
}

TEST_F(GuardStart, AFailingRegistryWriteOfTheAddressStillSwitchesTheTimerOnAgain) {
    guard.LoadAtStart();
    guard.WindowShown = true;
    DeleteKeyTree(HKEY_CURRENT_USER, kMainKey);
    view.TimerSwitches.clear();
    try {
        view.SetAddressText("about:x");
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Fehler beim Setzen der Daten f\xFCr 'Start Page'");
    }
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true}));
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:x\r\n11100\r\n" + std::string(kNoPagesBlock));
}

TEST_F(GuardStart, ClearingAndSavingTheLog) {
    guard.LoadAtStart();
    view.LogList.Add("a");
    guard.ClearLog();
    EXPECT_EQ(ReadFileBytes(LogPath()), "");

    // "Beenden": a read-only settings file stops both writes with the message.
    view.LogList.Add("b");
    ::SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(guard.SaveAllGuarded());
    EXPECT_EQ(view.Messages.back(), "Ihr System verweigert Schreibzugriffe durch Startwacht!");
    EXPECT_EQ(ReadFileBytes(LogPath()), "") << "the log is not tried after the settings failed";

    // End of session: both tried, nothing reported.
    view.Messages.clear();
    guard.SaveAllQuietly();
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(ReadFileBytes(LogPath()), "b\r\n");
    ::SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(guard.SaveAllGuarded());
}
