#include "GuardFixture.h"
#include "framework/Application.h"

using namespace sw;
using namespace sw::test;

namespace {

const std::string kOffline = "Ein Offline-B\xF6sewicht";
const std::string kUnknown = "Ein unbekanntes Subjekt...";

class GuardTick : public GuardFixture {
protected:
    void Start(const std::string& protectedUrl, const std::string& switches = "11100") {
        WriteFileBytes(SettingsPath(), protectedUrl + "\r\n" + switches + "\r\n" + std::string(kNoPagesBlock));
        guard.LoadAtStart();
        view.TimerSwitches.clear();
        view.Messages.clear();
    }
    static std::string Line(const std::string& offender, const std::string& rejected) {
        return "08.12.2026 21:40:05>>" + offender + " >>Startpage:" + rejected;
    }
};

}  // namespace

TEST_F(GuardTick, RegistryStatesThatAreAndAreNotAttempts) {
    const struct {
        const char* name;
        std::string protectedUrl;
        std::function<void()> arrange;
        bool attempt;
        std::string rejected;
    } cases[] = {
        {"same text", "about:blank", [] { SetStartPage("about:blank"); }, false, ""},
        {"case differs", "about:blank", [] { SetStartPage("About:blank"); }, true, "About:blank"},
        {"trailing blank", "about:blank", [] { SetStartPage("about:blank "); }, true, "about:blank "},
        {"value missing", "about:blank", [] { DeleteValue(HKEY_CURRENT_USER, kMainKey, "Start Page"); }, true, ""},
        {"expandable, same text", "about:blank", [] { SetStartPage("about:blank", REG_EXPAND_SZ); }, false, ""},
        {"binary data", "about:blank",
         [] { WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", REG_BINARY, "about:blank"); }, true, ""},
        {"empty protected, value missing", "",
         [] { DeleteValue(HKEY_CURRENT_USER, kMainKey, "Start Page"); }, false, ""},
        {"value without NUL", "about:blank",
         [] { WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", REG_SZ, "about:blank"); }, false, ""},
    };
    Start("about:blank", "10100");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveFile(LogPath());
        view.LogList.Clear();
        guard.ProtectedUrl = c.protectedUrl;
        c.arrange();
        const auto before = StartPage();
        guard.Tick();
        if (c.attempt) {
            ASSERT_EQ(view.LogList.Count(), 1);
            EXPECT_EQ(view.LogList[0], Line(kOffline, c.rejected));
            EXPECT_EQ(StartPage()->type, DWORD(REG_SZ));
            EXPECT_EQ(StartPage()->data, c.protectedUrl + '\0');
            EXPECT_EQ(ReadFileBytes(LogPath()), view.LogList[0] + "\r\n");
        } else {
            EXPECT_EQ(view.LogList.Count(), 0);
            EXPECT_EQ(ReadFileBytes(LogPath()), std::nullopt) << "an idle tick touches no file";
            if (before) {
                EXPECT_EQ(StartPage()->type, before->type) << "an idle tick writes nothing";
            }
        }
    }
}

TEST_F(GuardTick, AnAttemptIsLoggedRestoredReportedAndSavedInThatOrder) {
    Start("about:blank");
    SetStartPage("about:test");
    std::string registryDuringReport;
    bool logFileDuringReport = true;
    // Observe the registry and the log file at the moment the report shows.
    guard.IsOnline = [] { return false; };
    view.ShowMessageHook = [&] {
        registryDuringReport = StartPageText();
        logFileDuringReport = ReadFileBytes(LogPath()).has_value();
    };
    guard.Tick();
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true}));
    EXPECT_EQ(view.LogList.Lines(), std::vector<std::string>{Line(kOffline, "about:test")});
    EXPECT_EQ(guard.RejectedUrl, "about:test");
    EXPECT_EQ(view.Messages, std::vector<std::string>{kOffline +
                                                      "\rhat versucht, folgende Start-URL einzutragen:\rabout:test"
                                                      "\r...URL korrigiert"});
    EXPECT_EQ(registryDuringReport, "about:blank") << "the value is restored before the report shows";
    EXPECT_FALSE(logFileDuringReport) << "the log file is written after the report closes";
    EXPECT_EQ(ReadFileBytes(LogPath()), Line(kOffline, "about:test") + "\r\n");
}

TEST_F(GuardTick, OffenderComesFromTheBrowserOnlyWhenOnline) {
    Start("about:blank", "10100");
    int queries = 0;
    std::string askedService;
    std::string valueWhileAsking;
    std::string reply = "\"file:///C:/x.html\",\"Titel, mit Komma\"";
    guard.IsOnline = [] { return true; };
    guard.StartQuery = [&](const std::string& service) {
        ++queries;
        askedService = service;
        if (valueWhileAsking.empty()) valueWhileAsking = StartPageText();
        guard.OffenderAnswered(reply);
        return true;
    };
    SetStartPage("about:one");
    guard.Tick();
    EXPECT_EQ(askedService, "IEXPLORE");
    EXPECT_EQ(valueWhileAsking, "about:blank") << "restored before the browser is asked";
    EXPECT_EQ(view.LogList[0], Line("\"file:///C:/x.html\",\"Titel, mit Komma\"", "about:one"));

    reply.clear();
    SetStartPage("about:two");
    guard.Tick();
    EXPECT_EQ(view.LogList[0], Line(kUnknown, "about:two"));

    // A query that cannot start is no answer either.
    guard.StartQuery = [&](const std::string&) {
        ++queries;
        return false;
    };
    SetStartPage("about:three");
    guard.Tick();
    EXPECT_EQ(view.LogList[0], Line(kUnknown, "about:three"));

    guard.IsOnline = [] { return false; };
    SetStartPage("about:four");
    guard.Tick();
    EXPECT_EQ(view.LogList[0], Line(kOffline, "about:four"));
    EXPECT_EQ(queries, 3) << "no DDE conversation while offline";
    EXPECT_EQ(guard.WaitingAttempts(), 0u);
}

// The browser's answer comes later, as a message: every attempt is undone at
// once, and each gets its own line in the order of the attempts, named with
// what the browser said at or after it. One query at a time: attempts that
// come while it runs are asked for together by the next one.
TEST_F(GuardTick, AttemptsDuringAQueryAreUndoneAtOnceAndEachLoggedOnceInOrder) {
    Start("about:blank", "10100");
    std::vector<std::string> times = {"08.12.2026 21:40:01", "08.12.2026 21:40:02", "08.12.2026 21:40:03",
                                      "08.12.2026 21:40:04"};
    size_t next = 0;
    guard.CurrentDateTime = [&] { return times[next++]; };
    bool online = true;
    guard.IsOnline = [&] { return online; };
    int queries = 0;
    guard.StartQuery = [&](const std::string&) {
        ++queries;
        return true;
    };
    const auto attempt = [&](const std::string& url) {
        SetStartPage(url);
        guard.Tick();
        EXPECT_EQ(StartPageText(), "about:blank") << url << " stands";
    };
    attempt("about:eins");
    attempt("about:zwei");
    online = false;  // seen offline, but behind the two that wait
    attempt("about:drei");
    online = true;
    attempt("about:vier");
    EXPECT_EQ(queries, 1) << "one query at a time";
    EXPECT_EQ(view.LogList.Count(), 0) << "no line before its answer";
    EXPECT_EQ(guard.WaitingAttempts(), 4u);

    guard.OffenderAnswered("\"erste Antwort\"");
    EXPECT_EQ(queries, 2) << "the attempts that came meanwhile are asked for next";
    EXPECT_EQ(view.LogList.Lines(), std::vector<std::string>{"08.12.2026 21:40:01>>\"erste Antwort\" >>Startpage:about:eins"});

    guard.OffenderAnswered("");
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(view.LogList.Lines(), (std::vector<std::string>{
                                        "08.12.2026 21:40:04>>" + kUnknown + " >>Startpage:about:vier",
                                        "08.12.2026 21:40:03>>" + kOffline + " >>Startpage:about:drei",
                                        "08.12.2026 21:40:02>>" + kUnknown + " >>Startpage:about:zwei",
                                        "08.12.2026 21:40:01>>\"erste Antwort\" >>Startpage:about:eins",
                                    }));
    EXPECT_EQ(ReadFileBytes(LogPath()), view.LogList.ToText());
    // An answer that nobody waits for adds nothing.
    guard.OffenderAnswered("\"zu spaet\"");
    EXPECT_EQ(view.LogList.Count(), 4);
    EXPECT_EQ(guard.WaitingAttempts(), 0u);
}

// The report of an attempt comes with its line; while it is open no cycle
// runs (the timer is off), and an answer that comes meanwhile is noted after
// it, in order.
TEST_F(GuardTick, TheReportComesWithTheAnswerAndHoldsTheCycleWhileOpen) {
    Start("about:blank", "11100");
    guard.IsOnline = [] { return true; };
    guard.StartQuery = [](const std::string&) { return true; };
    SetStartPage("about:eins");
    guard.Tick();
    SetStartPage("about:zwei");
    guard.Tick();
    EXPECT_TRUE(view.Messages.empty());
    view.TimerSwitches.clear();
    std::vector<int> linesAtReport;
    view.ShowMessageHook = [&] {
        linesAtReport.push_back(view.LogList.Count());
        // The next query's answer arrives while the first report is open.
        if (linesAtReport.size() == 1) guard.OffenderAnswered("\"B\"");
    };
    guard.OffenderAnswered("\"A\"");
    EXPECT_EQ(linesAtReport, (std::vector<int>{1, 2}));
    ASSERT_EQ(view.Messages.size(), 2u);
    EXPECT_EQ(view.Messages[0].find("\"A\"\rhat versucht"), 0u) << view.Messages[0];
    EXPECT_EQ(view.Messages[1].find("\"B\"\rhat versucht"), 0u) << view.Messages[1];
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true})) << "off while the reports were open";
    EXPECT_EQ(view.LogList[0], Line("\"B\"", "about:zwei"));
}

// "Beenden" and the end of the session note every attempt so far: one still
// waiting for the browser with the text for no answer, without a report; the
// answer that comes after it adds nothing.
TEST_F(GuardTick, TheEndNotesTheAttemptsStillWaitingForTheBrowser) {
    for (const bool quietly : {true, false}) {
        SCOPED_TRACE(quietly ? "end of the session" : "Beenden");
        Start("about:blank", "11100");
        view.LogList.Clear();
        guard.IsOnline = [] { return true; };
        guard.StartQuery = [](const std::string&) { return true; };
        SetStartPage("about:offen");
        guard.Tick();
        ASSERT_EQ(guard.WaitingAttempts(), 1u);
        if (quietly)
            guard.SaveAllQuietly();
        else
            EXPECT_TRUE(guard.SaveAllGuarded());
        EXPECT_EQ(ReadFileBytes(LogPath()), Line(kUnknown, "about:offen") + "\r\n");
        EXPECT_TRUE(view.Messages.empty()) << "no report at the end";
        guard.OffenderAnswered("\"spaet\"");
        EXPECT_EQ(view.LogList.Count(), 1);
        EXPECT_EQ(guard.WaitingAttempts(), 0u);
    }
}

TEST_F(GuardTick, LoggingAndReportingOffStillRestoreAndWriteTheLogFile) {
    Start("about:blank", "00100");
    view.LogList.Add("older line");
    SetStartPage("about:test");
    guard.Tick();
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_EQ(view.LogList.Lines(), std::vector<std::string>{"older line"});
    EXPECT_EQ(ReadFileBytes(LogPath()), "older line\r\n");
}

TEST_F(GuardTick, MaximumOneKeepsOnlyTheNewestLine) {
    Start("about:blank", "101");
    for (const char* url : {"about:1", "about:2", "about:3"}) {
        SetStartPage(url);
        guard.Tick();
        EXPECT_EQ(view.LogList.Lines(), std::vector<std::string>{Line(kOffline, url)});
    }
}

TEST_F(GuardTick, AMissingKeyIsReportedOncePerRunAndTheGuardKeepsGoing) {
    Start("about:blank", "10100");
    DeleteKeyTree(HKEY_CURRENT_USER, kMainKey);
    // The failure is told once the attempt is noted: its message waits for
    // the user, and the attempt's time and offender must not.
    const TApplication::TExceptionEvent report = Application->OnException;
    int linesWhenTold = -1;
    Application->OnException = [&](TObject* sender, const std::string& message) {
        linesWhenTold = view.LogList.Count();
        report(sender, message);
    };
    for (int i = 0; i < 4; ++i) guard.Tick();
    Application->OnException = report;
    EXPECT_EQ(ReportedErrors(), std::vector<std::string>{"Fehler beim Setzen der Daten f\xFCr 'Start Page'"});
    EXPECT_EQ(linesWhenTold, 1);
    EXPECT_EQ(view.LogList.Count(), 1) << "one unresolved attempt, one line";
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true, false, true, false, true, false, true}));

    // The key comes back: the next tick restores the value.
    EnsureKey(HKEY_CURRENT_USER, kMainKey);
    guard.Tick();
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_EQ(view.LogList.Count(), 1);

    // A new run of failures is reported again.
    DeleteKeyTree(HKEY_CURRENT_USER, kMainKey);
    guard.Tick();
    EXPECT_EQ(ReportedErrors().size(), 2u);
    EnsureKey(HKEY_CURRENT_USER, kMainKey);
}

TEST_F(GuardTick, AnUnwritableLogFileShowsTheMessageAndTheTimerRunsOn) {
    Start("about:blank", "10100");
    WriteFileBytes(LogPath(), "");
    ::SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_READONLY);
    SetStartPage("about:test");
    guard.Tick();
    ::SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(view.Messages, std::vector<std::string>{"Ihr System verhindert Schreibzugriffe durch Startwacht!"});
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true}));
}

TEST_F(GuardTick, InTheBackgroundTheCyclesLogReachesTheFileAndNoLaterWriteIsOverwrittenByIt) {
    Start("about:blank", "10100");
    guard.WriteLogInBackground();
    SetStartPage("about:eins");
    guard.Tick();
    EXPECT_EQ(StartPageText(), "about:blank");
    // The second cycle's content waits for the writer's rest after the
    // first: the user's clear that follows must stay the last word.
    SetStartPage("about:zwei");
    guard.Tick();
    guard.ClearLog();
    EXPECT_EQ(ReadFileBytes(LogPath()), "");
    ::Sleep(400);
    EXPECT_EQ(ReadFileBytes(LogPath()), "") << "an older content landed after the clear";

    SetStartPage("about:drei");
    guard.Tick();
    guard.SaveAllQuietly();
    EXPECT_EQ(ReadFileBytes(LogPath()), Line(kOffline, "about:drei") + "\r\n");
}

TEST_F(GuardTick, InTheBackgroundAFailedLogWriteIsToldOnceItFailed) {
    Start("about:blank", "10100");
    guard.WriteLogInBackground();
    WriteFileBytes(LogPath(), "");
    ::SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_READONLY);
    SetStartPage("about:test");
    guard.Tick();
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true}));
    const DWORD until = ::GetTickCount() + 5000;
    while (view.Messages.empty() && ::GetTickCount() < until) {
        Application->ProcessMessages();
        ::Sleep(5);
    }
    ::SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(view.Messages, std::vector<std::string>{"Ihr System verhindert Schreibzugriffe durch Startwacht!"});
    EXPECT_EQ(ReadFileBytes(LogPath()), "");
}

TEST_F(GuardTick, LogTimeUsesTheUsersGermanFormats) {
    if (PRIMARYLANGID(::GetUserDefaultLangID()) != LANG_GERMAN) GTEST_SKIP() << "needs a German user locale";
    const std::string text = guard::LocalDateTimeText();
    // dd.mm.yyyy hh:mm:ss, or only the date at midnight.
    ASSERT_TRUE(text.size() == 19 || text.size() == 10) << text;
    EXPECT_EQ(text[2], '.');
    EXPECT_EQ(text[5], '.');
    if (text.size() == 19) {
        EXPECT_EQ(text[10], ' ');
        EXPECT_EQ(text[13], ':');
        EXPECT_EQ(text[16], ':');
    }
}

namespace {

// The value written and read as the system stores it, in UTF-16, as a
// program using the wide-character calls does.
constexpr const char* kGuardedKey = "Software\\Microsoft\\Internet Explorer\\Main";

void SetStartPageW(const std::u16string& url) { WriteWideString(HKEY_CURRENT_USER, kGuardedKey, "Start Page", url); }

std::u16string StartPageW() { return ReadWideString(HKEY_CURRENT_USER, kGuardedKey, "Start Page"); }

const std::u16string kForeignPage = u"http://\u4F8B\u3048.jp/\u014D\u20AC";
const std::string kForeignStored = "\xEF\xBB\xBFhttp://\xE4\xBE\x8B\xE3\x81\x88.jp/\xC5\x8D\xE2\x82\xAC";

}  // namespace

TEST_F(GuardTick, ALookAlikeWrittenInUtf16IsAnAttemptAndShownEncoded) {
    Start("http://www.google.com/", "10100");
    const struct {
        std::u16string written;
        std::string shown;
    } cases[] = {
        {u"http://www.g\u014D\u014Dgle.com/", "http://www.g%C5%8D%C5%8Dgle.com/"},
        {u"http://www.google.com/\u200B", "http://www.google.com/%E2%80%8B"},
        {u"http://www.\u0261oogle.com/", "http://www.%C9%A1oogle.com/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        view.LogList.Clear();
        SetStartPageW(c.written);
        guard.Tick();
        ASSERT_EQ(view.LogList.Count(), 1) << "no conversion may fold it into the protected address";
        EXPECT_EQ(view.LogList[0], Line(kOffline, c.shown));
        EXPECT_EQ(StartPageW(), u"http://www.google.com/");
    }
}

TEST_F(GuardTick, AStartPageTheCodePageLacksIsProtectedExactlyAcrossARestart) {
    SetStartPageW(kForeignPage);
    guard.LoadAtStart();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), kForeignStored + "\r\n11100\r\n" + std::string(kNoPagesBlock));
    view.ReportOn = false;
    guard.Tick();
    EXPECT_EQ(view.LogList.Count(), 0) << "its own start page is no attempt";

    // The lossy ANSI copy of it is another address.
    SetStartPage("http://??.jp/o\x80");
    guard.Tick();
    ASSERT_EQ(view.LogList.Count(), 1);
    EXPECT_EQ(StartPageW(), kForeignPage);

    FakeView restarted;
    guard::TGuard again(restarted);
    restarted.Guard = &again;
    again.LoadAtStart();
    EXPECT_EQ(again.ProtectedUrl, kForeignStored);
    const int logged = restarted.LogList.Count();
    again.Tick();
    EXPECT_EQ(restarted.LogList.Count(), logged) << "no attempt after the restart";
    EXPECT_EQ(StartPageW(), kForeignPage);
}
