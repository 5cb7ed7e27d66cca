// The real Startwacht.exe, started as a user starts it, with the registry
// value and both files in a known state. The tests find its windows and act
// by sending the messages that a user's actions produce (a click on the
// taskbar button, typed characters, pastes, button clicks), then read back
// the registry, the files and the windows.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FakeBrowserProcess.h"
#include "StartwachtProcess.h"
#include "framework/Handles.h"
#include "framework/TextLines.h"
#include "support/TestSupport.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kBrowserReply = "\"file:///C:/Werbung/start.html\",\"Kostenlos!\"";

void PutOnClipboard(const std::string& text) {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory);
    ::SetClipboardData(CF_TEXT, memory);
    ::CloseClipboard();
}

// The local date and time as a log line starts with it, for one moment.
std::string DateTimeText(std::time_t moment) {
    std::tm local{};
    localtime_s(&local, &moment);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.tm_year + 1900);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    char date[128] = {};
    char time[128] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
    if (st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0) return date;
    return std::string(date) + " " + time;
}


class StartwachtExe : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        ClearFiles();
    }
    void TearDown() override {
        ClearFiles();
        SetStartPage("about:blank");
    }
    static void ClearFiles() { ClearStartwachtFiles(); }
    static void Type(HWND window, const std::string& text) {
        for (char c : text) Send(window, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    static void Paste(HWND edit, const std::string& text) {
        PutOnClipboard(text);
        Send(edit, EM_SETSEL, 0, -1);
        Send(edit, WM_PASTE);
    }
};

TEST_F(StartwachtExe, AFirstStartProtectsTheCurrentStartPageAndReportsAnAttemptBeforeItIsLogged) {
    FakeBrowserProcess browser("IEXPLORE", kBrowserReply);
    ASSERT_TRUE(browser.Ready());
    Startwacht program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitUntilStarted());

    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    EXPECT_FALSE(ReadFileBytes(LogPath())) << "nothing writes the log at start";
    EXPECT_EQ(program.LogLines(), 0);
    EXPECT_FALSE(::IsWindowVisible(program.Form())) << "the window is stored minimised";
    EXPECT_FALSE(::IsWindowVisible(program.Application())) << "parked in the tray: no taskbar button";

    ForeignWrite("about:fremd");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = program.MessageBox()) != nullptr; }, 30s));
    EXPECT_EQ(MessageText(box), std::string(kBrowserReply) +
                                    "\rhat versucht, folgende Start-URL einzutragen:\rabout:fremd\r...URL korrigiert");
    // The program's message window: caption "Startwacht", no icon, one OK button.
    EXPECT_FALSE(ShowsIcon(box));
    EXPECT_EQ(ButtonTexts(box), std::vector<std::string>{"OK"});
    EXPECT_EQ(StartPage(), "about:test") << "restored before the report";
    EXPECT_FALSE(ReadFileBytes(LogPath())) << "the log is written once the report is closed";

    CloseMessage(box);
    ASSERT_TRUE(WaitFor([] { return ReadFileBytes(LogPath()).has_value(); }, 30s));
    const std::string log = *ReadFileBytes(LogPath());
    EXPECT_EQ(log.substr(log.find(">>")), std::string(">>") + kBrowserReply + " >>Startpage:about:fremd\r\n");
    EXPECT_EQ(program.LogLines(), 1);
}

TEST_F(StartwachtExe, AForeignWriteIsRestoredAndLoggedInOneLineWithoutAReport) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    FakeBrowserProcess browser("IEXPLORE", kBrowserReply);
    ASSERT_TRUE(browser.Ready());
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());

    const std::time_t before = std::time(nullptr);
    ForeignWrite("about:fremd");
    ASSERT_TRUE(WaitFor([] { return ReadFileBytes(LogPath()).has_value(); }, 30s));
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(StartPage(), "about:test");
    EXPECT_FALSE(program.MessageBox());

    // One line: the time of the attempt as the user's settings write it,
    // ">>", who did it, " >>Startpage:" and the rejected address.
    std::set<std::string> lines;
    for (std::time_t t = before; t <= after; ++t)
        lines.insert(DateTimeText(t) + ">>" + kBrowserReply + " >>Startpage:about:fremd\r\n");
    EXPECT_TRUE(lines.count(*ReadFileBytes(LogPath()))) << *ReadFileBytes(LogPath());
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
}

TEST_F(StartwachtExe, TheOpenedWindowWritesTheAddressAsItIsTypedAndTheSwitchesAsTheyChange) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    HWND edit = program.Edit1();
    ASSERT_TRUE(edit);
    EXPECT_EQ(TextOf(edit), "about:test");

    Send(edit, EM_SETSEL, 0, -1);
    const std::string typed = "about:neu";
    for (size_t n = 1; n <= typed.size(); ++n) {
        Type(edit, typed.substr(n - 1, 1));
        const std::string prefix = typed.substr(0, n);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), prefix + "\r\n11100\r\n" + std::string(kNoPagesBlock));
        EXPECT_EQ(StartPage(), prefix);
    }

    Send(program.Button("Zugriff melden"), BM_CLICK);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:neu\r\n10100\r\n" + std::string(kNoPagesBlock));
    Send(program.Button("Zugriffe loggen"), BM_CLICK);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:neu\r\n00100\r\n" + std::string(kNoPagesBlock));

    // The typed address is the protected one now. The cycle ends with the
    // log file, which it writes also with logging off.
    RemoveFile(LogPath());
    ForeignWrite("about:fremd");
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:neu"; }, 30s));
    EXPECT_TRUE(WaitFor([] { return ReadFileBytes(LogPath()).has_value(); }, 30s));

    // "Beenden" writes both files again and ends the program.
    ClearFiles();
    Send(program.Button("Beenden"), BM_CLICK);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:neu\r\n00100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(ReadFileBytes(LogPath()), "") << "the attempt came with logging off";
}

TEST_F(StartwachtExe, TheSpinEditKeepsTheMaximumInRangeAndTrimsTheLog) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    WriteFileBytes(LogPath(), LogFile(30));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    EXPECT_EQ(program.LogLines(), 30);
    ASSERT_TRUE(program.Open());
    HWND spin = program.SpinEdit1();
    ASSERT_TRUE(spin);
    EXPECT_EQ(TextOf(spin), "100");

    const struct {
        const char* input;
        bool typed;
        const char* shown;
        int lines;
    } cases[] = {
        {"-5", false, "5", 5},
        {"0", true, "1", 1},
        {"20000", false, "10000", 1},
        {"Buchstaben", false, "1", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        if (c.typed) {
            Send(spin, EM_SETSEL, 0, -1);
            Type(spin, c.input);
        } else {
            Paste(spin, c.input);
        }
        EXPECT_EQ(TextOf(spin), c.shown);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), std::string("about:test\r\n11") + c.shown + "\r\n" + std::string(kNoPagesBlock));
        EXPECT_EQ(program.LogLines(), c.lines);
        EXPECT_EQ(ReadFileBytes(LogPath()), LogFile(c.lines));
    }

    Send(program.Button("Logbuch löschen"), BM_CLICK);
    EXPECT_EQ(ReadFileBytes(LogPath()), "");
    EXPECT_EQ(program.LogLines(), 0);
}

// The question writes both files and answers yes; the program ends only
// when the answer says that the session ends: the system's end of the
// session, or a program that closes this one to replace it (an installer)
// and waits for it to end.
TEST_F(StartwachtExe, TheEndOfTheSessionSavesAtTheQuestionAndEndsWithTheAnswer) {
    constexpr LPARAM kCloseApp = 0x1;  // ENDSESSION_CLOSEAPP
    for (const LPARAM reason : {LPARAM{0}, kCloseApp}) {
        SCOPED_TRACE(reason);
        WriteFileBytes(SettingsPath(), "about:test\r\n11250\r\n" + std::string(kNoPagesBlock));
        WriteFileBytes(LogPath(), LogFile(3));
        Startwacht program;
        ASSERT_TRUE(program.WaitUntilStarted());
        ClearFiles();

        EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, reason), 1);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n11250\r\n" + std::string(kNoPagesBlock));
        EXPECT_EQ(ReadFileBytes(LogPath()), LogFile(3));
        EXPECT_FALSE(program.ExitCode(1s)) << "the question alone ends nothing";
        Send(program.Form(), WM_ENDSESSION, TRUE, reason);
        EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    }
}

TEST_F(StartwachtExe, ARefusedWriteAtBeendenIsReportedAndTheProgramEndsAllTheSame) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    ASSERT_TRUE(::SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY));

    // Posted: the click's handler waits for the message window.
    ::PostMessageA(program.Button("Beenden"), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = program.MessageBox()) != nullptr; }, 30s));
    EXPECT_EQ(MessageText(box), "Ihr System verweigert Schreibzugriffe durch Startwacht!");
    // Modal to the window, which stays on top: above it, and the window
    // takes no input meanwhile.
    EXPECT_EQ(::GetWindow(box, GW_OWNER), program.Form());
    EXPECT_FALSE(::IsWindowEnabled(program.Form()));
    EXPECT_FALSE(ReadFileBytes(LogPath())) << "the log is not tried once the settings failed";
    CloseMessage(box);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
}

TEST_F(StartwachtExe, ClosingTheWindowEndsTheProgramWithoutSaving) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    ClearFiles();
    Send(program.Form(), WM_CLOSE);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_FALSE(ReadFileBytes(SettingsPath()));
    EXPECT_FALSE(ReadFileBytes(LogPath()));
}

TEST_F(StartwachtExe, StartedMaximisedTheWindowShowsAtOnceAndTakesTypedAddresses) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    // Arguments are ignored.
    Startwacht program(SW_SHOWMAXIMIZED, " /egal --was");
    ASSERT_TRUE(WaitFor([&] { return program.Form() && ::IsWindowVisible(program.Form()); }, 30s));
    EXPECT_TRUE(::IsZoomed(program.Form()));
    // The window was shown, so the address is written through.
    HWND edit = program.Edit1();
    Send(edit, EM_SETSEL, 0, -1);
    Type(edit, "x");
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "x\r\n11100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(StartPage(), "x");
}

TEST_F(StartwachtExe, AStartStoppedByAnUnreadableLogIsReportedAndTheGuardRunsAllTheSame) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    WriteFileBytes(LogPath(), LogFile(2));
    // Held open without sharing: the program can't read it.
    HANDLE held = ::CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Startwacht program;
    HWND box = nullptr;
    const bool shown = WaitFor([&] { return (box = program.MessageBox()) != nullptr; }, 30s);
    ::CloseHandle(held);
    ASSERT_TRUE(shown);
    EXPECT_EQ(MessageText(box), "Datei " + LogPath() + " kann nicht geöffnet werden.");
    CloseMessage(box);
    ASSERT_TRUE(program.WaitUntilStarted());

    ForeignWrite("about:fremd");
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 30s));
}

TEST_F(StartwachtExe, TheWindowIsLaidOutAsDesignedAtTheScreensResolution) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    HWND form = program.Form();
    EXPECT_TRUE(::GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_TOPMOST) << "stays on top";

    const int ppi = [] {
        HDC screen = ::GetDC(nullptr);
        const int value = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        return value;
    }();
    const auto scaled = [ppi](int designed) { return ::MulDiv(designed, ppi, 120); };
    // Left, top, right and bottom as designed, inside the top panel (whose
    // client area starts at the window's client area).
    const struct {
        const char* windowClass;
        const char* text;
        int left, top, right, bottom;
    } designed[] = {
        {"Button", "Verbergen", 490, 40, 617, 65},
        {"Button", "Logbuch löschen", 490, 66, 617, 91},
        {"Button", "Beenden", 490, 92, 617, 117},
        {"Button", "Startwacht automatisch mit Windows starten", 10, 74, 311, 91},
        {"Button", "Zugriff melden", 10, 96, 139, 113},
        {"Button", "Zugriffe loggen", 154, 96, 275, 113},
    };
    for (const auto& d : designed) {
        SCOPED_TRACE(d.text);
        HWND control = program.Control(d.windowClass, d.text);
        ASSERT_TRUE(control);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, scaled(d.left));
        EXPECT_EQ(r.top, scaled(d.top));
        EXPECT_EQ(r.right, scaled(d.right));
        EXPECT_EQ(r.bottom, scaled(d.bottom));
    }
    // The window's width is the right edge of "Beenden" plus the design's
    // margin of 20, both at the screen's resolution, on every show.
    RECT window{};
    ::GetWindowRect(form, &window);
    EXPECT_EQ(window.right - window.left, scaled(617) + scaled(20));
    // The log list fills the group box below the panel, which fills the rest.
    RECT client{};
    RECT list{};
    ::GetClientRect(form, &client);
    ::GetWindowRect(program.TextListBox1(), &list);
    ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_GT(list.top, scaled(157));
    EXPECT_EQ(list.bottom, client.bottom - 2);
    EXPECT_EQ(list.right, client.right - 2);
}

TEST_F(StartwachtExe, TabMovesTheFocusInTheDesignedKeyboardOrder) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(program.Open());
    const DWORD thread = ::GetWindowThreadProcessId(program.Form(), nullptr);
    const auto focused = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(thread, &info);
        return info.hwndFocus;
    };
    const std::vector<HWND> order = {
        program.TextListBox1(),        program.Edit1(),               program.Edit2(),
        program.Button("Verbergen"),   program.Button("Beenden"),
        program.Button("Zugriff melden"), program.Button("Zugriffe loggen"),
        program.Button("Startwacht automatisch mit Windows starten"),
        program.Button("Logbuch löschen"), program.SpinEdit1(),
        program.TextListBox1(),
    };
    ASSERT_TRUE(WaitFor([&] { return focused() == order[0]; }, 10s)) << "the first control takes the focus";
    for (size_t i = 1; i < order.size(); ++i) {
        SCOPED_TRACE(i);
        ::PostMessageA(focused(), WM_KEYDOWN, VK_TAB, 1);
        EXPECT_TRUE(WaitFor([&] { return focused() == order[i]; }, 10s));
    }
}

// A short run of the benchmark's hostile writer: another program rewrites the
// start page a hundred times a second. The guard outlasts it, and its log
// keeps exactly the newest attempts up to the maximum, in the file as in the
// list.
TEST_F(StartwachtExe, AHostileWriterIsOutlastedAndTheLogKeepsTheNewestAttempts) {
    WriteFileBytes(SettingsPath(), "about:test\r\n105\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());

    // The number of the address each logged attempt names; newest first.
    const auto attempts = [](const std::string& log) {
        std::vector<int> numbers;
        for (const std::string& line : sw::SplitTextLines(log)) {
            const size_t at = line.find(">>Startpage:about:feind-");
            numbers.push_back(at == std::string::npos ? -1 : std::stoi(line.substr(at + 24)));
        }
        return numbers;
    };

    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread writer([&] {
        sw::RegKey key;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_SET_VALUE, key.Receive()) != ERROR_SUCCESS) return;
        while (!stop) {
            const std::string url = "about:feind-" + std::to_string(written.load());
            ::RegSetValueExA(key.Get(), "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                             static_cast<DWORD>(url.size() + 1));
            ++written;
            ::Sleep(10);
        }
    });
    // The log as last written, read only when its time or size changed, so
    // that the test's reads do not keep meeting the program's replacement of
    // the file.
    WIN32_FILE_ATTRIBUTE_DATA seen{};
    std::vector<int> logged;
    const auto current = [&] {
        WIN32_FILE_ATTRIBUTE_DATA now{};
        if (::GetFileAttributesExA(LogPath().c_str(), GetFileExInfoStandard, &now) &&
            (::CompareFileTime(&now.ftLastWriteTime, &seen.ftLastWriteTime) != 0 ||
             now.nFileSizeLow != seen.nFileSizeLow)) {
            seen = now;
            logged = attempts(ReadFileBytes(LogPath()).value_or(""));
        }
        return logged;
    };
    // Until the log is full, then until one more attempt came: the oldest
    // line must have gone for it.
    std::vector<int> whenFull;
    const bool full = WaitFor([&] { return (whenFull = current()).size() >= 5; }, 60s);
    const bool more = full && WaitFor(
                                  [&] {
                                      const std::vector<int> now = current();
                                      return !now.empty() && now.front() > whenFull.front();
                                  },
                                  60s);
    stop = true;
    writer.join();
    const HWND box = program.MessageBox();
    ASSERT_TRUE(full && more) << "five attempts and one more were never logged (" << written << " writes, "
                              << logged.size() << " lines, message: " << (box ? MessageText(box) : "none") << ")";
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 10s)) << StartPage();
    EXPECT_TRUE(program.Running());
    // The cycle that restored the last write logs it after the write: the
    // newest line is that write once the cycle is done. (A write that came
    // between a cycle's read and its write-back is undone unseen: then the
    // log just stops changing.)
    const int last = written - 1;
    std::vector<int> previous = current();
    auto unchangedSince = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitFor(
        [&] {
            const std::vector<int> now = current();
            if (now != previous) {
                previous = now;
                unchangedSince = std::chrono::steady_clock::now();
            }
            return (!now.empty() && now.front() == last) || std::chrono::steady_clock::now() - unchangedSince > 5s;
        },
        60s));

    const std::string log = ReadFileBytes(LogPath()).value_or("");
    const std::vector<int> numbers = attempts(log);
    ASSERT_EQ(numbers.size(), 5u) << log;
    EXPECT_TRUE(std::is_sorted(numbers.rbegin(), numbers.rend()) && numbers.back() >= 0) << log;
    EXPECT_GT(numbers.front(), whenFull.front()) << log;
    EXPECT_GT(numbers.back(), whenFull.back()) << "the oldest line is gone:\n" << log;
    EXPECT_EQ(program.LogLines(), 5);

    // The file written at the end holds the same lines.
    EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, 0), 1);
    Send(program.Form(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFileBytes(LogPath()), log);
}

}  // namespace
