// The real Startwacht.exe with files that another program holds at start and
// with a start page that the ANSI code page can't hold: nothing the user had
// is lost or replaced.
#include <gtest/gtest.h>

#include "StartwachtProcess.h"
#include "framework/TextLines.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

// Another program holds the file open without sharing until it is ended.
class FileLock {
public:
    explicit FileLock(const std::string& path) : locker_("\"" + ProgramDir() + "\\FileLocker.exe\" \"" + path + "\"") {
        locked_ = WaitFor(
            [&] {
                HANDLE probe = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
                if (probe == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
                ::CloseHandle(probe);
                return false;
            },
            30s);
    }
    bool Locked() const { return locked_; }
    void Release() {
        locker_.Kill();
        locker_.Wait(30s);
    }

private:
    ChildProcess locker_;
    bool locked_ = false;
};

void SetStartPageW(const std::u16string& url) { WriteWideString(HKEY_CURRENT_USER, kMainKey, "Start Page", url); }

std::u16string StartPageW() { return ReadWideString(HKEY_CURRENT_USER, kMainKey, "Start Page"); }

std::u16string WideTextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 30000, &result);
    return reinterpret_cast<const char16_t*>(text);
}

// Waits for the program's message window, checks its text and closes it.
// (Only its end, when the text starts with a line break: the offender
// depends on the machine.)
void ExpectMessage(Startwacht& program, const std::string& text) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = program.MessageBox()) != nullptr; }, 30s)) << text;
    const std::string shown = MessageText(box);
    EXPECT_EQ(text[0] == '\r' ? shown.substr(std::min(shown.size(), shown.find('\r'))) : shown, text);
    CloseMessage(box);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, 30s));
}

class StartwachtData : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        ClearStartwachtFiles();
    }
    void TearDown() override {
        ClearStartwachtFiles();
        SetStartPage("about:blank");
    }
};

}  // namespace

TEST_F(StartwachtData, ASettingsFileLockedAtStartIsNotOverwrittenByTheStandIn) {
    WriteFileBytes(SettingsPath(), "about:meine\r\n00250\r\n");
    SetStartPage("about:entfuehrt");
    FileLock lock(SettingsPath());
    ASSERT_TRUE(lock.Locked());
    Startwacht program;
    ExpectMessage(program, "Zugriff auf Ihr Systemverzeichnis wurde verweigert! Startwacht kann nicht korrekt "
                           "ausgef\xFChrt werden.");
    ASSERT_TRUE(program.WaitUntilStarted());
    EXPECT_FALSE(program.MessageBox()) << "the start tries no write of the file it could not read";
    lock.Release();

    // "Beenden" once the lock is gone: the user's file stays, the log is
    // written.
    ASSERT_TRUE(program.Open());
    Send(program.Button("Beenden"), BM_CLICK);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:meine\r\n00250\r\n");
    EXPECT_EQ(ReadFileBytes(LogPath()), "");
}

TEST_F(StartwachtData, ALogLockedAtStartLosesNoLineAtTheFirstAttempt) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    SetStartPage("about:test");
    const std::string old = "alt 1\r\nalt 2\r\n";
    WriteFileBytes(LogPath(), old);
    FileLock lock(LogPath());
    ASSERT_TRUE(lock.Locked());
    Startwacht program;
    ExpectMessage(program, "Datei " + LogPath() + " kann nicht ge\xF6" "ffnet werden.");
    ASSERT_TRUE(program.WaitUntilStarted());
    lock.Release();

    ForeignWrite("about:fremd");
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(LogPath()) != old; }, 30s));
    const auto lines = sw::SplitTextLines(ReadFileBytes(LogPath()).value_or(""));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(">>Startpage:about:fremd"), std::string::npos);
    EXPECT_EQ(lines[1], "alt 1");
    EXPECT_EQ(lines[2], "alt 2");
    EXPECT_EQ(program.LogLines(), 3);
    EXPECT_EQ(StartPage(), "about:test");
}

TEST_F(StartwachtData, AStartPageTheCodePageLacksIsShownAndRestoredExactly) {
    const std::u16string page = u"http://\u4F8B\u3048.jp/\u014D\u20AC";
    SetStartPageW(page);
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              "\xEF\xBB\xBFhttp://\xE4\xBE\x8B\xE3\x81\x88.jp/\xC5\x8D\xE2\x82\xAC\r\n11100\r\n" + std::string(kNoPagesBlock));
    ASSERT_TRUE(program.Open());
    EXPECT_EQ(WideTextOf(program.Edit1()), page);

    // A look-alike of it written by another program through the wide call.
    SetStartPageW(u"http://\u4F8B\u3048.jp/o\u20AC");
    ExpectMessage(program, "\rhat versucht, folgende Start-URL einzutragen:\r"
                           "http://%E4%BE%8B%E3%81%88.jp/o\x80\r...URL korrigiert");
    EXPECT_EQ(StartPageW(), page);
    ASSERT_TRUE(WaitFor([] { return ReadFileBytes(LogPath()).has_value(); }, 30s));
    const std::string log = *ReadFileBytes(LogPath());
    EXPECT_EQ(log.substr(log.find(" >>")), " >>Startpage:http://%E4%BE%8B%E3%81%88.jp/o\x80\r\n");
}

TEST_F(StartwachtData, ATypedAddressKeepsEveryCharacter) {
    WriteFileBytes(SettingsPath(), "about:test\r\n00100\r\n" + std::string(kNoPagesBlock));
    SetStartPage("about:test");
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    HWND edit = program.Edit1();
    Send(edit, EM_SETSEL, 0, -1);
    // Typed as ANSI characters, then one that the code page lacks.
    for (char c : std::string("\xE4\x80"))
        Send(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "\xE4\x80\r\n00100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(StartPageW(), u"\u00E4\u20AC");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(edit, WM_CHAR, 0x014D, 1, SMTO_NORMAL, 30000, &result);
    EXPECT_EQ(WideTextOf(edit), u"\u00E4\u20AC\u014D");
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "\xEF\xBB\xBF\xC3\xA4\xE2\x82\xAC\xC5\x8D\r\n00100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(StartPageW(), u"\u00E4\u20AC\u014D");
}
