// Damaged files, odd registry values and misbehaving browsers: each ends with
// nothing lost and a clear message or a sound repair.
#include "GuardFixture.h"

#include "FakeBrowserProcess.h"
#include "AskBrowser.h"
#include "app/BrowserQuery.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/TextLines.h"

using namespace sw;
using namespace sw::test;

namespace {

const std::string kDamaged =
    "Eine Kongigurationsdatei war besch\xE4" "digt! Repariert und Grundeinstellungen auf Standardwerte gesetzt.";

class BadInput : public GuardFixture {
protected:
    // A fresh start with the given settings file; the guard of the fixture.
    void StartWith(const std::string& settings) {
        WriteFileBytes(SettingsPath(), settings);
        guard.LoadAtStart();
    }
};

}  // namespace

TEST_F(BadInput, DamagedSettingsFilesAreRepairedAndNeverCostTheStartPage) {
    // A damaged file's empty or binary address line is no address: the
    // registry's start page is protected instead, and the first cycle finds
    // nothing to restore.
    const std::string binary("\x01\x02\xFFgarbage\r\n\x7F\0tail\r\nmore", 24);
    const struct {
        const char* name;
        std::string file;
        std::string after;
        bool damaged;
    } cases[] = {
        {"only CR", "\r\r\r", "about:meine\r\n11100\r\n\r\n", true},
        {"only LF", "\n\n", "about:meine\r\n11100\r\n", true},
        {"one empty line", "\r\n", "about:meine\r\n11100\r\n", true},
        {"binary with NUL", binary, "about:meine\r\n11100\r\n", true},
        {"switches 1", "x\r\n1\r\n", "x\r\n11100\r\n", true},
        {"switches 11abc", "x\r\n11abc\r\n", "x\r\n11100\r\n", true},
        {"switches 11-0", "x\r\n11-0\r\n", "x\r\n111\r\n", false},
        {"switches 11 99999999999", "x\r\n11 99999999999\r\n", "x\r\n11100\r\n", true},
        // Sound switches: an empty address line is the user's choice.
        {"empty address, sound switches", "\r\n10100\r\n", "\r\n10100\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetStartPage("about:meine");
        RemoveFile(LogPath());
        FakeView fresh;
        guard::TGuard g(fresh);
        fresh.Guard = &g;
        g.IsOnline = [] { return false; };
        WriteFileBytes(SettingsPath(), c.file);
        g.LoadAtStart();
        EXPECT_EQ(ReadFileBytes(SettingsPath()), c.after + std::string(kNoPagesBlock));
        EXPECT_EQ(fresh.Messages, c.damaged ? std::vector<std::string>{kDamaged} : std::vector<std::string>{});
        const std::string address = SplitTextLines(c.after)[0];
        EXPECT_EQ(g.ProtectedUrl, address);
        EXPECT_EQ(fresh.Address, address);

        fresh.Messages.clear();
        g.Tick();
        EXPECT_EQ(StartPageText(), address);
        EXPECT_EQ(fresh.LogList.Count(), address == "about:meine" ? 0 : 1) << "only a file's own address is restored";
    }
}

TEST_F(BadInput, ATenMegabyteSettingsFileSurvivesARewriteByteForByte) {
    std::string tail;
    tail.reserve(10u << 20);
    for (int i = 0; tail.size() < (10u << 20); ++i) tail += "Zeile " + std::to_string(i) + " \xE4\xF6\xFC\r\n";
    const std::string file = "about:x\r\n11100\r\n" + tail;
    StartWith(file);
    view.SetReportSwitch(false);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:x\r\n10100\r\n" + tail + std::string(kNoPagesBlock));
}

TEST_F(BadInput, AHundredThousandLineLogIsLoadedWholeAndTrimmedAtTheNextAttempt) {
    std::string log;
    for (int i = 0; i < 100000; ++i) log += "alt " + std::to_string(i) + "\r\n";
    WriteFileBytes(LogPath(), log);
    StartWith("about:blank\r\n10100\r\n");
    EXPECT_EQ(view.LogList.Count(), 100000);
    EXPECT_EQ(ReadFileBytes(LogPath()), log) << "loading leaves the file alone";

    SetStartPage("about:angriff");
    guard.Tick();
    ASSERT_EQ(view.LogList.Count(), 100);
    EXPECT_EQ(view.LogList[1], "alt 0");
    EXPECT_EQ(view.LogList[99], "alt 98");
    EXPECT_EQ(SplitTextLines(ReadFileBytes(LogPath()).value_or("")), view.LogList.Lines());
}

TEST_F(BadInput, ASettingsPathThatCannotBeWrittenStopsTheStartWithTheFileError) {
    // A directory where the settings file belongs: it does not count as the
    // file, and creating the file fails.
    ASSERT_TRUE(::CreateDirectoryA(SettingsPath().c_str(), nullptr));
    SetStartPage("about:reg");
    try {
        guard.LoadAtStart();
        FAIL() << "the start went on";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Datei " + SettingsPath() + " kann nicht erstellt werden");
    }
    EXPECT_EQ(view.Address, "about:reg") << "the address edit already holds the registry's start page";
    EXPECT_EQ(::GetFileAttributesA(SettingsPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    RemoveFile(SettingsPath());

    // A read-only settings file is read, and the first rewrite fails.
    WriteFileBytes(SettingsPath(), "about:ro\r\n11100\r\n");
    ::SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY);
    FakeView fresh;
    guard::TGuard g(fresh);
    fresh.Guard = &g;
    EXPECT_THROW(g.LoadAtStart(), EFCreateError);
    EXPECT_EQ(fresh.Address, "about:ro");
    ::SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:ro\r\n11100\r\n");
}

TEST_F(BadInput, ASettingsFileLockedAtQuitGivesTheMessageAndKeepsBothFiles) {
    StartWith("about:blank\r\n11100\r\n");
    view.LogList.Add("eintrag");
    WriteFileBytes(LogPath(), "vorher\r\n");
    FileHandle lock(::CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(guard.SaveAllGuarded());
    EXPECT_EQ(view.Messages.back(), "Ihr System verweigert Schreibzugriffe durch Startwacht!");
    lock.Close();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:blank\r\n11100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(ReadFileBytes(LogPath()), "vorher\r\n");
}

TEST_F(BadInput, ForeignValueTypesAndSizesAreAttemptsThatTheWriteReplaces) {
    StartWith("about:blank\r\n10100\r\n");
    const std::string big(65536, 'u');
    const struct {
        const char* name;
        DWORD type;
        std::string data;
        std::string rejected;
    } cases[] = {
        {"REG_DWORD", REG_DWORD, std::string("\x2A\0\0\0", 4), ""},
        {"REG_MULTI_SZ", REG_MULTI_SZ, std::string("about:a\0about:b\0\0", 17), ""},
        {"64 KB string", REG_SZ, big + '\0', big},
        {"no terminating NUL", REG_SZ, "about:ohne", "about:ohne"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.LogList.Clear();
        WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", c.type, c.data);
        guard.Tick();
        ASSERT_EQ(view.LogList.Count(), 1);
        EXPECT_EQ(view.LogList[0], "08.12.2026 21:40:05>>Ein Offline-B\xF6sewicht >>Startpage:" + c.rejected);
        EXPECT_EQ(StartPage()->type, DWORD(REG_SZ));
        EXPECT_EQ(StartPage()->data, std::string("about:blank") + '\0');
    }
    // A 64 KB value equal to the protected address is no attempt.
    guard.ProtectedUrl = big;
    SetStartPage(big);
    view.LogList.Clear();
    guard.Tick();
    EXPECT_EQ(view.LogList.Count(), 0);
}

TEST_F(BadInput, ABrowserReplyWithLineBreaksBecomesSeveralLinesOnceTheLogIsReadBack) {
    StartWith("about:blank\r\n10100\r\n");
    BrowserAnswersAtOnce("\"erste\"\r\n\"zweite\"");
    SetStartPage("about:x");
    guard.Tick();
    EXPECT_EQ(view.LogList.Count(), 1) << "in the list it is one line";
    FakeView reread;
    reread.LogList.LoadFromFile(LogPath());
    EXPECT_EQ(reread.LogList.Lines(),
              (std::vector<std::string>{"08.12.2026 21:40:05>>\"erste\"", "\"zweite\" >>Startpage:about:x"}));
}

TEST(BadBrowser, ASilentServerIsGivenUpAfterTheTimeOutAndAMegabyteReplyIsTakenWhole) {
    guard::TDdeInstance dde;
    {
        // The server takes the conversation but answers only after 15 s:
        // the request waits 10 s at most, then the query gives up empty.
        FakeBrowserProcess browser("SLOWIE", "zu spaet", "--delay 15000");
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(AskBrowser("SLOWIE"), "");
    }
    {
        const std::string big(1 << 20, 'M');
        FakeBrowserProcess browser("BIGIE", big);
        ASSERT_TRUE(browser.Ready());
        const std::string result = AskBrowser("BIGIE");
        EXPECT_EQ(result.size(), big.size());
        EXPECT_TRUE(result == big);
    }
}
