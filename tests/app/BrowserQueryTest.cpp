#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

#include "app/BrowserQuery.h"
#include "app/BrowserStart.h"
#include "AskBrowser.h"
#include "FakeBrowserProcess.h"
#include "HungWindowProcess.h"
#include "PlantedFiles.h"
#include "support/ProcessCounts.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

class BrowserQuery : public testing::Test {
protected:
    guard::TDdeInstance dde;
};

}  // namespace

TEST_F(BrowserQuery, TheInstanceRegistersTheProgramsName) { EXPECT_EQ(dde.ServiceName(), "guard_tests"); }

namespace {

// Another DDE program: it hears of every service name registered.
class ServiceWatcher {
public:
    ServiceWatcher() {
        watcher_ = this;
        ::DdeInitializeA(&instance_, Callback, APPCLASS_STANDARD, 0);
    }
    ~ServiceWatcher() {
        ::DdeUninitialize(instance_);
        watcher_ = nullptr;
    }
    ServiceWatcher(const ServiceWatcher&) = delete;
    ServiceWatcher& operator=(const ServiceWatcher&) = delete;
    std::vector<std::string> registered;

private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ service, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
        if (!watcher_ || type != XTYP_REGISTER) return nullptr;
        char name[256] = {};
        ::DdeQueryStringA(watcher_->instance_, service, name, sizeof name, CP_WINANSI);
        watcher_->registered.push_back(name);
        return nullptr;
    }
    static inline ServiceWatcher* watcher_ = nullptr;
    DWORD instance_ = 0;
};

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

// Other DDE programs learn of the program's service name once its instance
// is set up. (Wine tells no one of the name's withdrawal at the end.)
TEST(DdeInstance, RegistersTheProgramsNameAsAService) {
    ServiceWatcher watcher;
    guard::TDdeInstance dde;
    EXPECT_TRUE(WaitFor([&] { return Holds(watcher.registered, "guard_tests"); }));
}

TEST_F(BrowserQuery, RepliesAreTakenWholeAndCutOnlyAtNul) {
    const std::string longReply(100000, 'w');
    const struct {
        const char* name;
        std::string reply;
        std::string expected;
    } cases[] = {
        {"quotes and commas", "\"file:///C:/a.html\",\"Seite, mit \xC4rger\"", "\"file:///C:/a.html\",\"Seite, mit \xC4rger\""},
        {"long", longReply, longReply},
        {"embedded NUL", std::string("vorher\0nachher", 14), "vorher"},
        {"line breaks", "eins\r\nzwei\ndrei", "eins\r\nzwei\ndrei"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBrowserProcess browser("FAKEIE", c.reply);
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(AskBrowser("FAKEIE"), c.expected);
    }
}

TEST_F(BrowserQuery, NoDataAndALateReplyWithinTheTimeOut) {
    {
        FakeBrowserProcess browser("FAKEIE", "ignored", "--no-reply");
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(AskBrowser("FAKEIE"), "");
    }
    {
        FakeBrowserProcess browser("FAKEIE", "late", "--delay 1500");
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(AskBrowser("FAKEIE"), "late");
    }
}

namespace {

// An ASCII path as the A calls take it.
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

// A user name that the ANSI code page lacks (a Cyrillic one on a German
// Windows) is an everyday folder: the browser's program in such a folder of
// PATH is found and started there, its path and command line whole.
TEST_F(BrowserQuery, TheFallbackFindsAndStartsTheBrowserInAFolderOutsideTheCodePage) {
    const std::wstring folder = Widened(ProgramDir()) + L"\\\x041F\x0440\x043E\x0432\x0435\x0440\x043A\x0430";
    const std::wstring program = folder + L"\\CyrBrowser.EXE";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring fake = Widened(ProgramDir()) + L"\\FakeBrowser.exe";
    ASSERT_TRUE(::CopyFileW(fake.c_str(), program.c_str(), FALSE));
    wchar_t oldPath[32768] = {};
    const DWORD oldLength = ::GetEnvironmentVariableW(L"PATH", oldPath, 32768);
    ::SetEnvironmentVariableW(L"PATH", (folder + L";" + oldPath).c_str());
    const std::string starts = ProgramDir() + "\\fakebrowser-starts.txt";
    RemoveFile(starts);
    ScopedEnvironment record("FAKEBROWSER_STARTS", starts);

    const std::wstring found = guard::FindSystemProgram(L"CyrBrowser");
    EXPECT_EQ(::lstrcmpiW(found.c_str(), program.c_str()), 0) << Utf8(found);
    EXPECT_EQ(AskBrowser("CyrBrowser"), "");
    EXPECT_TRUE(WaitFor([&] { return !RecordedStarts(starts).empty(); }));
    const std::vector<RecordedStart> recorded = RecordedStarts(starts);
    ::SetEnvironmentVariableW(L"PATH", oldLength ? oldPath : nullptr);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].program, Utf8(program));
    EXPECT_EQ(recorded[0].commandLine, "\"" + Utf8(program) + "\" WWW_GetWindowInfo");
    RemoveFile(starts);
    ::Sleep(300);  // the fake's start has ended before its file goes
    ::DeleteFileW(program.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// The reply is answered as soon as it is there: a browser that is slow to
// end the conversation afterwards (on Windows DdeDisconnect waits up to 10 s
// for its answer; here the query's thread is held as it is about to close)
// costs the answer nothing. The next query is taken once the thread is free.
TEST_F(BrowserQuery, AReplyIsUsedEvenWhenTheEndOfTheConversationIsSlow) {
    {
        FakeBrowserProcess browser("FAKEIE", "da");
        ASSERT_TRUE(browser.Ready());
        guard::SetDisconnectObserver([] { ::Sleep(12000); });
        EXPECT_EQ(AskBrowser("FAKEIE"), "da");
        guard::SetDisconnectObserver(nullptr);
    }
    FakeBrowserProcess browser("OTHERIE", "auch da");
    ASSERT_TRUE(browser.Ready());
    EXPECT_EQ(AskBrowser("OTHERIE"), "auch da");
}

// The asking thread never waits: Start returns at once, the answer comes
// through its message loop, and a query whose answer is not waited for any
// more (abandoned) reaches nobody.
TEST_F(BrowserQuery, TheAnswerComesAsAMessageAndAnAbandonedQueryReachesNobody) {
    FakeBrowserProcess browser("FAKEIE", "da", "--delay 1500");
    ASSERT_TRUE(browser.Ready());
    guard::TBrowserQuery query;
    std::vector<std::string> answers;
    query.OnAnswer = [&](const std::string& reply) { answers.push_back(reply); };
    ASSERT_TRUE(query.Start("FAKEIE"));
    EXPECT_TRUE(query.Running());
    EXPECT_TRUE(answers.empty()) << "no answer inside Start";
    query.Abandon();
    EXPECT_FALSE(query.Running());
    ::Sleep(2500);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    EXPECT_TRUE(answers.empty()) << "the abandoned query's answer reached the asker";
    EXPECT_EQ(AskBrowserOnce(query, "FAKEIE"), std::optional<std::string>("da"));
}

// The fallback command's program where the system's own search finds it: a
// folder of PATH here. It runs once, minimised without activation, as
// "<its full path>" WWW_GetWindowInfo.
TEST_F(BrowserQuery, WithoutServerTheFallbackCommandRunsOnceMinimisedWithoutActivation) {
    ScopedFolder onPath(ProgramDir() + "\\on-path");
    ASSERT_TRUE(PlantFakeBrowser(onPath / "PathBrowser.exe"));
    ScopedEnvironment path("PATH", onPath.Path() + ";" + EnvironmentValue("PATH").value_or(""));
    const std::string starts = ProgramDir() + "\\fakebrowser-starts.txt";
    RemoveFile(starts);
    ScopedEnvironment record("FAKEBROWSER_STARTS", starts);

    EXPECT_EQ(AskBrowser("PathBrowser"), "");
    ASSERT_TRUE(WaitFor([&] { return !RecordedStarts(starts).empty(); }));
    ::Sleep(300);
    const std::vector<RecordedStart> recorded = RecordedStarts(starts);
    ASSERT_EQ(recorded.size(), 1u) << "the command runs exactly once";
    EXPECT_TRUE(SamePath(recorded[0].program, onPath / "PathBrowser.exe")) << recorded[0].program;
    EXPECT_EQ(recorded[0].show, std::to_string(SW_SHOWMINNOACTIVE)) << "minimised, not activated";
    EXPECT_TRUE(SamePath(recorded[0].commandLine, "\"" + onPath / "PathBrowser.exe" + "\" WWW_GetWindowInfo"))
        << recorded[0].commandLine;
    RemoveFile(starts);

    // A command that can't be started gives an empty result as well.
    EXPECT_EQ(AskBrowser("NoSuchBrowserAnywhere"), "");
}

// A program of the command's name beside this program or in the current
// folder (a download folder) is never what the command runs: only the
// system's own search path counts, and only absolute folders of it.
TEST_F(BrowserQuery, TheFallbackCommandNeverRunsAProgramFromThisProgramsFolderOrTheCurrentFolder) {
    ScopedFolder legit(ProgramDir() + "\\legit");
    ScopedFolder current(ProgramDir() + "\\downloads");
    ScopedFolder relative(current / "sub");
    ASSERT_TRUE(PlantFakeBrowser(legit / "Planted.exe"));
    const std::string beside = ProgramDir() + "\\Planted.exe";
    ASSERT_TRUE(PlantFakeBrowser(beside));
    ASSERT_TRUE(PlantFakeBrowser(current / "Planted.exe"));
    ASSERT_TRUE(PlantFakeBrowser(relative / "Planted.exe"));
    ScopedCurrentFolder inDownloads(current.Path());
    const std::string starts = ProgramDir() + "\\fakebrowser-starts.txt";
    ScopedEnvironment record("FAKEBROWSER_STARTS", starts);

    const struct {
        const char* name;
        std::string path;
        bool found;  // then it is the one in `legit`
    } cases[] = {
        {"found on PATH", legit.Path(), true},
        {"quoted entry", "\"" + legit.Path() + "\"", true},
        {"this program's folder first", ProgramDir() + ";" + legit.Path(), true},
        {"the current folder first", current.Path() + "\\;" + legit.Path(), true},
        {"'.' and a relative entry first", ".;sub;;" + legit.Path(), true},
        {"only this program's folder", ProgramDir(), false},
        {"only the current folder", current.Path(), false},
        {"only '.' and relative entries", ".;sub;.\\sub", false},
        {"nothing", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment path("PATH", c.path);
        const std::string program = Narrow(guard::FindSystemProgram(L"Planted"));
        if (!c.found) {
            EXPECT_EQ(program, "");
            continue;
        }
        EXPECT_TRUE(SamePath(program, legit / "Planted.EXE")) << program;
        // And the command starts that one, not the one beside this program
        // or in the current folder.
        RemoveFile(starts);
        EXPECT_EQ(AskBrowser("Planted"), "");
        ASSERT_TRUE(WaitFor([&] { return !RecordedStarts(starts).empty(); }));
        EXPECT_TRUE(SamePath(RecordedStarts(starts)[0].program, legit / "Planted.exe")) << RecordedStarts(starts)[0].program;
    }
    // A name with a path is refused: it would be taken relative to the
    // current folder.
    ScopedEnvironment path("PATH", legit.Path());
    for (const wchar_t* name : {L"sub\\Planted", L".\\Planted", L"C:Planted", L"\"Planted\""}) {
        SCOPED_TRACE(Narrow(name));
        EXPECT_EQ(guard::FindSystemProgram(name), L"");
    }
    RemoveFile(starts);
    ::Sleep(300);  // the fake's last start has ended before its file goes
    RemoveFile(beside);
}

// The conversation asks for the Windows ANSI code page: the server sees it
// where the system passes the context on, and the conversation holds it.
TEST_F(BrowserQuery, TheConversationContextAsksForTheAnsiCodePage) {
    FakeBrowserProcess browser("FAKEIE", "", "--tell-code-page");
    ASSERT_TRUE(browser.Ready());
    std::vector<int> codePages;
    guard::SetConversationObserver([&](const CONVINFO& info) { codePages.push_back(info.ConvCtxt.iCodePage); });
    EXPECT_EQ(AskBrowser("FAKEIE"), std::to_string(CP_WINANSI));
    guard::SetConversationObserver(nullptr);
    EXPECT_EQ(codePages, std::vector<int>{CP_WINANSI});
}

namespace {

// The process's window count once the query's thread has closed its last
// conversation (the answer goes out before the conversation is closed).
int SettledWindowCount() {
    int count = ProcessWindowCount(::GetCurrentProcessId());
    WaitFor([&] {
        ::Sleep(100);
        const int now = ProcessWindowCount(::GetCurrentProcessId());
        return std::exchange(count, now) == now;
    });
    return count;
}

}  // namespace

// A guard asks at every attempt: its queries, answered or not, must leave no
// window behind (DDE makes a client window for each connect).
TEST_F(BrowserQuery, QueriesLeaveNoWindowsBehind) {
    {
        FakeBrowserProcess browser("FAKEIE", "da");
        ASSERT_TRUE(browser.Ready());
        ASSERT_EQ(AskBrowser("FAKEIE"), "da");
        const int before = SettledWindowCount();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(AskBrowser("FAKEIE"), "da");
        EXPECT_EQ(SettledWindowCount(), before) << "answered queries";
    }
    const int before = SettledWindowCount();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(AskBrowser("NoSuchBrowserAnywhere"), "");
    EXPECT_EQ(SettledWindowCount(), before) << "queries that found no browser";
}

namespace {

// Handles the messages that other threads send to this one (a query's
// connect sends one to every top-level window, this test's DDE windows too)
// while it waits for the condition.
bool WaitServing(const std::function<bool()>& condition) {
    return WaitFor([&] {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
        return condition();
    }, 30s);
}

}  // namespace

// DDE's connect waits on every top-level window, also on one whose thread
// handles no messages. The query is cut short and gives nothing, as no reply
// does; a query asked while the first one still waits does not start, and no
// thread is added for it. Once the window goes, the browser is heard
// again, and nothing of the queries is left behind.
TEST_F(BrowserQuery, AWindowThatAnswersNoMessagesCutsTheQueryShortUntilItGoes) {
    FakeBrowserProcess browser("FAKEIE", "da");
    ASSERT_TRUE(browser.Ready());
    ASSERT_EQ(AskBrowser("FAKEIE"), "da");
    const DWORD threads = ProcessThreadCount();
    const DWORD handles = ProcessHandleCount();
    const DWORD windows = ProcessWindowCount(::GetCurrentProcessId());

    HungWindowProcess hung;
    ASSERT_TRUE(hung.Ready());
    {
        // A query that waited for ever would end only when this ends the
        // hung window.
        const Watchdog watchdog(hung.Handle(), 90s);
        const DWORD watching = ProcessThreadCount();
        EXPECT_EQ(AskBrowser("FAKEIE"), "");
        // Asked while the first one still waits: none starts, so none waits
        // out the query's time again.
        guard::TBrowserQuery second;
        EXPECT_EQ(AskBrowserOnce(second, "FAKEIE"), std::nullopt) << "asked while the first one still waits";
        EXPECT_EQ(ProcessThreadCount(), watching);
    }
    ASSERT_TRUE(hung.Running()) << "the queries waited until the window went";

    hung.End();
    EXPECT_TRUE(WaitServing([] { return AskBrowser("FAKEIE") == "da"; }));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(AskBrowser("FAKEIE"), "da");
    EXPECT_EQ(ProcessThreadCount(), threads);
    EXPECT_EQ(ProcessHandleCount(), handles);
    EXPECT_EQ(ProcessWindowCount(::GetCurrentProcessId()), windows);
}

TEST(DdeInitErrors, TextsFollowTheErrorCode) {
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_LOW_MEMORY), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04007).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_MEMORY_ERROR), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04008).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_NO_CONV_ESTABLISHED), "DDE-Fehler - Konversation konnte nicht eingerichtet werden ($0400A)");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_DLL_USAGE), "Vom DDE wurde ein Fehler zur\xFC" "ckgegeben ($04004)");
}
