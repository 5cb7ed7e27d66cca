// The real Startwacht.exe in a user's session: the end of the session asked
// and then called off, a second start of the program, and another program
// whose window answers no messages.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "FakeBrowserProcess.h"
#include "HungWindowProcess.h"
#include "StartwachtProcess.h"
#include "TrayPicture.h"
#include "framework/Handles.h"
#include "framework/TextLines.h"
#include "support/TestSupport.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

class Session : public StartwachtState {
protected:
    static std::vector<std::string> LogLines() { return sw::SplitTextLines(ReadFileBytes(LogPath()).value_or("")); }
    // The log's newest line names the address.
    static bool Logged(const std::string& address) {
        const std::vector<std::string> lines = LogLines();
        return !lines.empty() && lines.front().ends_with(">>Startpage:" + address);
    }
    static size_t ShownIcons() { return ShownTrayIcons().size(); }
    // Starts a copy that is held up in its start by a message about an
    // unreadable log file, so that it answers no other start; true once
    // the message shows.
    static bool StartHeldUp(std::optional<Startwacht>& copy) {
        WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
        WriteFileBytes(LogPath(), LogFile(2));
        const sw::FileHandle held(::CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!held) return false;
        copy.emplace();
        return WaitFor([&] { return copy->MessageBox() != nullptr; }, 30s);
    }
};

// The question writes both files and holds the guard: the icon goes, and a
// foreign write stands while the session may still end. The answer that it
// goes on brings the icon back, and the guard undoes the write made
// meanwhile and those that come later. The files keep what the question
// wrote, below the attempts since.
TEST_F(Session, ACancelledEndOfTheSessionPutsTheIconBackAndTheGuardOn) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10250\r\n" + std::string(kNoPagesBlock));
    WriteFileBytes(LogPath(), LogFile(2));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    ASSERT_TRUE(WaitFor([] { return ShownIcons() == 1; }, 30s));
    ClearStartwachtFiles();

    EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n10250\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(ReadFileBytes(LogPath()), LogFile(2));
    EXPECT_TRUE(WaitFor([] { return ShownIcons() == 0; }, 30s)) << "the icon goes at the question";
    ForeignWrite("about:dazwischen");
    ::Sleep(2000);
    EXPECT_EQ(StartPage(), "about:dazwischen") << "the guard holds while the session may end";
    ASSERT_TRUE(program.Running());

    Send(program.Form(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 30s)) << "the write made meanwhile";
    EXPECT_TRUE(WaitFor([] { return Logged("about:dazwischen"); }, 30s));
    EXPECT_TRUE(WaitFor([] { return ShownIcons() == 1; }, 30s)) << "the icon is back";
    ForeignWrite("about:danach");
    EXPECT_TRUE(WaitFor([] { return Logged("about:danach"); }, 30s));
    EXPECT_EQ(StartPage(), "about:test");

    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n10250\r\n" + std::string(kNoPagesBlock));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Zeile 1");
    EXPECT_EQ(lines[3], "Zeile 2");
    EXPECT_TRUE(program.Running());
}

// While a cycle waits for the user to close its report, no other cycle may
// start inside it. The end of the session asked then lets that cycle end,
// then holds the guard until the answer; the answer that the session goes
// on, given while a report is open, lets the next cycle start only once the
// report is closed.
TEST_F(Session, NoCycleStartsInsideAnOpenReportWhenTheSessionsEndIsAskedAndCalledOff) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    const auto reportOf = [&](const std::string& address) {
        HWND found = nullptr;
        WaitFor(
            [&] {
                const std::vector<HWND> boxes = program.MessageBoxes();
                found = boxes.size() == 1 && MessageText(boxes[0]).find("\r" + address + "\r") != std::string::npos
                            ? boxes[0]
                            : nullptr;
                return found != nullptr;
            },
            30s);
        return found;
    };
    const auto close = [](HWND report) {
        CloseMessage(report);
        WaitFor([&] { return !::IsWindow(report); }, 30s);
    };

    ForeignWrite("about:erster");
    HWND box = reportOf("about:erster");
    ASSERT_TRUE(box);
    EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, 0), 1);
    close(box);
    EXPECT_TRUE(WaitFor([] { return Logged("about:erster"); }, 30s)) << "the cycle ends as it would";
    ForeignWrite("about:zweiter");
    ::Sleep(2000);
    EXPECT_EQ(StartPage(), "about:zweiter") << "the guard holds until the answer";
    EXPECT_TRUE(program.MessageBoxes().empty());

    Send(program.Form(), WM_ENDSESSION, FALSE, 0);
    box = reportOf("about:zweiter");
    ASSERT_TRUE(box);
    EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, 0), 1);
    Send(program.Form(), WM_ENDSESSION, FALSE, 0);
    ForeignWrite("about:dritter");
    ::Sleep(2000);
    EXPECT_EQ(program.MessageBoxes().size(), 1u) << "no cycle inside the open report";
    EXPECT_EQ(StartPage(), "about:dritter");
    close(box);
    box = reportOf("about:dritter");
    ASSERT_TRUE(box);
    EXPECT_EQ(StartPage(), "about:test");
    close(box);
}

// A second start in the session opens the running copy's window, as a click
// on its icon does, and ends with code 0 without a window or an icon of its
// own and without touching either file (both are gone here; a start would
// write the settings anew).
TEST_F(Session, ASecondStartOpensTheRunningCopysWindowAndTouchesNoFile) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht first;
    ASSERT_TRUE(first.WaitUntilStarted());
    ASSERT_TRUE(WaitFor([] { return ShownIcons() == 1; }, 30s));
    ClearStartwachtFiles();

    Startwacht second;
    EXPECT_EQ(second.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(first.Form()) != 0; }, 30s)) << "the first copy's window";
    EXPECT_TRUE(first.Running());
    EXPECT_FALSE(ReadFileBytes(SettingsPath()));
    EXPECT_FALSE(ReadFileBytes(LogPath()));
    EXPECT_EQ(ShownIcons(), 1u);

    // The first copy still guards.
    ForeignWrite("about:fremd");
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 30s));
}

// Two starts at once (the second finds the first still starting, with no
// window yet): one copy remains, with its window opened.
TEST_F(Session, TwoStartsAtOnceLeaveOneCopyWithItsWindowOpen) {
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    Startwacht a;
    Startwacht b;
    ASSERT_TRUE(WaitFor([&] { return !a.Running() || !b.Running(); }, 30s));
    Startwacht& ended = a.Running() ? b : a;
    Startwacht& running = a.Running() ? a : b;
    EXPECT_EQ(ended.ExitCode(0ms), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitFor([&] { return running.Form() && ::IsWindowVisible(running.Form()); }, 30s));
    ::Sleep(1000);
    EXPECT_TRUE(::IsWindowVisible(running.Form())) << "the start parks it no more once it is opened";
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(ShownIcons(), 1u);
}

// A start that finds a copy still starting (held up by a message about an
// unreadable log file) waits for it; when that copy ends instead, the
// waiting start guards in its place.
TEST_F(Session, AStartWaitingForACopyThatEndsGuardsInItsPlace) {
    std::optional<Startwacht> first;
    ASSERT_TRUE(StartHeldUp(first));

    Startwacht second;
    ::Sleep(2000);
    EXPECT_TRUE(second.Running());
    EXPECT_FALSE(second.Form()) << "no window while the first copy runs";
    first.reset();
    EXPECT_TRUE(second.WaitUntilStarted());
    ForeignWrite("about:fremd");
    EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 30s));
}

// The session's mark of the running copy, by the name every start of the
// program looks for.
constexpr const char* kMarkName = "Local\\Startwacht-4014747b-d2f5-4e23-bc07-5f81ef6b899c";

// A DACL that lets no one in: a mark made by a copy with other rights, as
// far as a start that may not open it can tell.
struct ClosedDacl {
    ClosedDacl() { ::InitializeAcl(&acl, sizeof acl, ACL_REVISION); }
    ACL acl{};
};

// A start that finds the copy still starting and never answered within the
// wait (held up by a message about an unreadable log file) says that
// Startwacht runs, and ends once that is read: no window or icon of its
// own, and the running copy goes on.
TEST_F(Session, ASecondStartThatGetsNoAnswerSaysSoAndEnds) {
    std::optional<Startwacht> first;
    ASSERT_TRUE(StartHeldUp(first));

    Startwacht second;
    HWND box = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (box = second.MessageBox()) != nullptr; }, 60s)) << "the second start is silent";
    ASSERT_TRUE(box);
    EXPECT_NE(MessageText(box).find("Startwacht läuft bereits"), std::string::npos) << MessageText(box);
    EXPECT_TRUE(second.Running()) << "it waits for the message to be read";
    EXPECT_FALSE(second.Form());
    CloseMessage(box);
    EXPECT_EQ(second.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_TRUE(first->Running());
}

// The mark of a running copy made under a security descriptor that a start
// may not open (a copy with other rights made it): the start never guards
// beside it. Where the copy answers, its window opens; where it does not
// (held up in its start), the start says so. The same where the name is
// held by something that is no mutex.
TEST_F(Session, AStartThatMayNotOpenTheMarkNeverGuardsBesideTheCopy) {
    // The running copy's mark gets a DACL that lets no one in.
    const auto closeMark = [] {
        ClosedDacl closed;
        HANDLE mark = ::OpenMutexA(WRITE_DAC, FALSE, kMarkName);
        if (!mark) return false;
        const DWORD set = ::SetSecurityInfo(mark, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            &closed.acl, nullptr);
        ::CloseHandle(mark);
        HANDLE again = ::CreateMutexA(nullptr, FALSE, kMarkName);
        if (again) ::CloseHandle(again);
        return set == ERROR_SUCCESS && !again;
    };
    // A start that must say that Startwacht runs, and end once that is read
    // without a window or an icon of its own.
    const auto startSaysSo = [] {
        Startwacht start;
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = start.MessageBox()) != nullptr; }, 60s)) << "the start is silent";
        EXPECT_FALSE(start.Form()) << "it guards beside the copy";
        EXPECT_FALSE(start.Application()) << "it started as a program of its own";
        if (box) CloseMessage(box);
        EXPECT_EQ(start.ExitCode(30s), std::optional<DWORD>(0));
    };
    {
        SCOPED_TRACE("a copy runs and answers");
        WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n");
        Startwacht first;
        ASSERT_TRUE(first.WaitUntilStarted());
        ASSERT_TRUE(WaitFor([] { return ShownIcons() == 1; }, 30s));
        ASSERT_TRUE(closeMark());

        Startwacht second;
        EXPECT_EQ(second.ExitCode(30s), std::optional<DWORD>(0));
        EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(first.Form()) != 0; }, 30s)) << "the first copy's window";
        EXPECT_FALSE(second.Form());
        EXPECT_EQ(ShownIcons(), 1u);
    }
    {
        SCOPED_TRACE("a copy runs and does not answer");
        std::optional<Startwacht> first;
        ASSERT_TRUE(StartHeldUp(first));
        ASSERT_TRUE(closeMark());
        startSaysSo();
        EXPECT_TRUE(first->Running());
    }
    ClearStartwachtFiles();
    {
        SCOPED_TRACE("the name is held by an event");
        HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, kMarkName);
        ASSERT_TRUE(event);
        startSaysSo();
        EXPECT_FALSE(ReadFileBytes(SettingsPath()));
        ::CloseHandle(event);
    }
}

// The mark lets in the user who started the copy and the Administrators
// group, whatever the rights of that copy: an explicit DACL of those two.
TEST_F(Session, TheMarkOpensForTheUserAndAdministrators) {
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    HANDLE mark = ::OpenMutexA(READ_CONTROL, FALSE, kMarkName);
    ASSERT_TRUE(mark);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetSecurityInfo(mark, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ::CloseHandle(mark);

    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<BYTE> user(256);
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size));
    ::CloseHandle(token);
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    size = sizeof administrators;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    const PSID expected[] = {reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, administrators};

    ASSERT_TRUE(dacl);
    ASSERT_EQ(dacl->AceCount, 2u);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        SCOPED_TRACE(i);
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Mask & MUTEX_ALL_ACCESS, static_cast<DWORD>(MUTEX_ALL_ACCESS));
        EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart), expected[i]));
    }
    ::LocalFree(descriptor);
}

// A top-level window whose thread handles no messages holds DDE's connect,
// which waits on every top-level window. The browser query is cut short, so
// each attempt is undone and logged with the text for no reply; and the
// program still ends at once when asked, while the query's thread waits.
TEST_F(Session, AWindowThatAnswersNoMessagesDoesNotStopTheGuard) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    FakeBrowserProcess browser("IEXPLORE", "\"file:///C:/Werbung/start.html\",\"Kostenlos!\"");
    ASSERT_TRUE(browser.Ready());
    Startwacht program;
    ASSERT_TRUE(program.WaitUntilStarted());
    HungWindowProcess hung;
    ASSERT_TRUE(hung.Ready());
    const Watchdog watchdog(hung.Handle(), 150s);

    for (const std::string address : {"about:erster", "about:zweiter"}) {
        SCOPED_TRACE(address);
        ForeignWrite(address);
        EXPECT_TRUE(WaitFor([&] { return Logged(address); }, 60s));
        EXPECT_EQ(StartPage(), "about:test");
    }
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines)
        EXPECT_NE(line.find(">>Ein unbekanntes Subjekt... >>Startpage:about:"), std::string::npos) << line;

    EXPECT_EQ(Send(program.Form(), WM_QUERYENDSESSION, 0, 0), 1);
    Send(program.Form(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_TRUE(hung.Running()) << "all that while the window answered nothing";
}

}  // namespace
