// The main window's watch on the guarded key, inside the test's own process:
// a foreign write reaches the guard cycle through the watch while the
// timer's interval is a minute, so the timer can't be what answered. A driver
// thread plays the other programs and the user while the window's message
// loop runs; it reads the window's state through the main-thread call.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "HungWindowProcess.h"
#include "StartwachtProcess.h"
#include "app/Program.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Synchronize.h"
#include "framework/TextLines.h"
#include "support/ProcessCounts.h"
#include "support/TestSupport.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;

namespace {

// Longer than each test needs; Wine's multimedia timer takes at most 65 s.
constexpr int32_t kLongInterval = 60 * 1000;

// The program's message window (the report), if one is open.
HWND OwnMessageBox() {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", "Startwacht"); w;
         w = ::FindWindowExA(nullptr, w, "#32770", "Startwacht")) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner == ::GetCurrentProcessId() && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// Polls from the driver thread; no messages to pump there.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 30s) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        ::Sleep(10);
    }
    return condition();
}

class WatchedWindow : public StartwachtState {
protected:
    void TearDown() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        StartwachtState::TearDown();
    }

    // Runs the program with the timer's interval at a minute and counted
    // hand-overs; `drive` runs on a thread of its own while the message loop
    // runs, and the program ends when it returns.
    int Run(const std::function<void(TForm1&)>& drive) {
        return RunStartwacht([&](TForm1& form) {
            Application->OnException = [this](TObject*, const std::string& message) { errors.push_back(message); };
            form.Guard().IsOnline = [this] {
                ++cycles;  // every cycle that sees an attempt asks first
                return false;
            };
            form.HiResTimer1->SetOnTimer([this, &form](TObject* sender) {
                ++timerTicks;
                form.HiResTimer1Timer(sender);
            });
            form.HiResTimer1->SetInterval(kLongInterval);
            const TNotifyEvent original = form.RegistryWatch1->OnChange;
            form.RegistryWatch1->OnChange = [this, original](TObject* sender) {
                ++watchChanges;
                original(sender);
            };
            driver = std::thread([this, &form, drive] {
                drive(form);
                Synchronize([] { Application->Terminate(); });
            });
        });
    }
    void Join() {
        if (driver.joinable()) driver.join();
    }
    // The guard asks the browser at every attempt, and the query's bound is
    // longer than every wait of a test: only a guard that never waits for
    // the query answers in time.
    void OnlineWithAQueryLongerThanTheTest(TForm1& form) {
        OnMain<bool>([&] {
            form.Guard().IsOnline = [this] {
                ++cycles;
                return true;
            };
            form.Guard().QueryBound = 120000;
            return true;
        });
    }
    // A value of the window, read on the main thread.
    template <typename T>
    static T OnMain(const std::function<T()>& read) {
        T value{};
        Synchronize([&] { value = read(); });
        return value;
    }

    std::thread driver;
    std::atomic<int> cycles{0};
    std::atomic<int> timerTicks{0};
    std::atomic<int> watchChanges{0};
    std::vector<std::string> errors;
};

TEST_F(WatchedWindow, AForeignWriteIsAnsweredThroughTheWatchAndNotThroughTheTimer) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    const int exitCode = Run([&](TForm1& form) {
        EXPECT_TRUE(Eventually([&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); }));
        ForeignWrite("about:fremd");
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        EXPECT_TRUE(Eventually([&] { return OnMain<int>([&] { return form.TextListBox1->Items().Count(); }) == 1; }));
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(cycles, 1);
    EXPECT_GE(watchChanges, 1);
    EXPECT_EQ(timerTicks, 0) << "the timer's interval never passed";
    const std::string log = ReadFileBytes(LogPath()).value_or("");
    EXPECT_NE(log.find(">>Ein Offline-B\xF6sewicht >>Startpage:about:fremd\r\n"), std::string::npos) << log;
    EXPECT_TRUE(errors.empty());
}

TEST_F(WatchedWindow, NoCycleRunsWhileTheReportIsOpenAndTheChangeMadeMeanwhileIsAnsweredAfterIt) {
    // Logging and reporting on.
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n");
    std::string firstReport, secondReport, valueWhileOpen;
    int cyclesWhileOpen = -1;
    const int exitCode = Run([&](TForm1& form) {
        EXPECT_TRUE(Eventually([&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); }));
        ForeignWrite("about:eins");
        HWND box = nullptr;
        if (!Eventually([&] { return (box = OwnMessageBox()) != nullptr; })) return;
        firstReport = MessageText(box);
        // Another write while the report stands open: the watch sees it, but
        // no cycle may start inside the open one.
        const int changesBefore = watchChanges;
        ForeignWrite("about:zwei");
        Eventually([&] { return watchChanges > changesBefore; });
        ::Sleep(500);  // room for a wrong cycle
        cyclesWhileOpen = cycles;
        valueWhileOpen = StartPage();
        CloseMessage(box);
        // The first cycle after it sees the second write.
        HWND second = nullptr;
        if (Eventually([&] { return (second = OwnMessageBox()) != nullptr && second != box; })) {
            secondReport = MessageText(second);
            CloseMessage(second);
        }
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        EXPECT_TRUE(Eventually([&] { return OnMain<int>([&] { return form.TextListBox1->Items().Count(); }) == 2; }));
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(firstReport.find("\rabout:eins\r"), std::string::npos) << firstReport;
    EXPECT_EQ(cyclesWhileOpen, 1);
    EXPECT_EQ(valueWhileOpen, "about:zwei") << "nothing restored it while the report was open";
    EXPECT_NE(secondReport.find("\rabout:zwei\r"), std::string::npos) << secondReport;
    EXPECT_EQ(cycles, 2);
    EXPECT_EQ(timerTicks, 0);
    const std::string log = ReadFileBytes(LogPath()).value_or("");
    EXPECT_LT(log.find("about:zwei"), log.find("about:eins")) << "newest first:\n" << log;
}

TEST_F(WatchedWindow, TheKeyDeletedAndMadeAnewIsWatchedAgain) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    const int exitCode = Run([&](TForm1& form) {
        const auto watching = [&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); };
        EXPECT_TRUE(Eventually(watching));
        DeleteKeyTree(HKEY_CURRENT_USER, kMainKey);
        EXPECT_TRUE(Eventually([&] { return !watching(); }));
        // Made anew by another program, with a foreign address in it.
        ForeignWrite("about:neu");
        EXPECT_TRUE(Eventually(watching));
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        // And it stays watched for the next write.
        ForeignWrite("about:danach");
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(timerTicks, 0);
    // The deletion itself is an attempt whose write-back fails once.
    for (const std::string& error : errors) EXPECT_NE(error.find("Start Page"), std::string::npos) << error;
}

TEST_F(WatchedWindow, TheWatchLeavesNoHandleBehindAndItsCountsStayFlatOverManyAttempts) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    // A first run settles what the system makes once per process.
    Run([&](TForm1&) {
        ForeignWrite("about:warm");
        Eventually([] { return StartPage() == "about:test"; });
    });
    Join();
    const DWORD handles = ProcessHandleCount();

    DWORD thread = 0;
    HWND window = nullptr;
    DWORD handlesBefore = 0, handlesAfter = 0, windowsBefore = 0, windowsAfter = 0;
    Run([&](TForm1& form) {
        OnMain<bool>([&] {
            thread = form.RegistryWatch1->ThreadID();
            window = form.RegistryWatch1->Handle();
            return true;
        });
        // Each attempt is counted once its cycle is done: the log file, the
        // cycle's last step, holds it.
        // A message box (a failed write) would stop every cycle after it:
        // shown and closed at once rather than waited out.
        const auto attempt = [](int n) {
            const std::string url = "about:runde-" + std::to_string(n);
            ForeignWrite(url);
            EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << n;
            EXPECT_TRUE(Eventually([&] {
                return OwnMessageBox() ||
                       ReadFileBytes(LogPath()).value_or("").find(">>Startpage:" + url + "\r\n") != std::string::npos;
            })) << n;
            if (HWND box = OwnMessageBox()) {
                ADD_FAILURE() << n << ": " << MessageText(box);
                CloseMessage(box);
            }
        };
        // The first attempts settle what the process makes once (Wine's
        // caches, the child processes' bookkeeping).
        for (int n = 0; n <= 10; ++n) attempt(n);
        handlesBefore = OnMain<DWORD>([] { return ProcessHandleCount(); });
        windowsBefore = OnMain<DWORD>([] { return ProcessWindowCount(::GetCurrentProcessId()); });
        for (int n = 11; n <= 30; ++n) attempt(n);
        handlesAfter = OnMain<DWORD>([] { return ProcessHandleCount(); });
        windowsAfter = OnMain<DWORD>([] { return ProcessWindowCount(::GetCurrentProcessId()); });
    });
    Join();
    EXPECT_NE(thread, 0u);
    // Twenty attempts: a leak per attempt shows as twenty handles. Wine
    // itself now and then makes one handle of its own once, late (seen in
    // the soak as a single step), which is no growth.
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_EQ(windowsAfter, windowsBefore);
    // The form is gone: so are the watch's thread and window (its keys and
    // events are counted exactly in the framework's test of the watch).
    EXPECT_FALSE(ThreadAlive(thread));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_LE(ProcessHandleCount(), handlesBefore);
    (void)handles;
}

TEST_F(WatchedWindow, AtTheEndOfTheSessionTheWatchStopsBeforeTheFilesAreWritten) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    bool watchOn = true;
    DWORD thread = 0;
    const int exitCode = RunStartwacht([&](TForm1& form) {
        Application->OnException = [](TObject*, const std::string&) {};
        thread = form.RegistryWatch1->ThreadID();
        EXPECT_EQ(::SendMessageA(form.Handle(), WM_QUERYENDSESSION, 0, 0), 1);
        watchOn = form.RegistryWatch1->Enabled() || form.RegistryWatch1->ThreadID() != 0;
        // A write after the files: no cycle answers it any more.
        ClearStartwachtFiles();
        ForeignWrite("about:spaet");
        Application->ProcessMessages();
        ::SendMessageA(form.Handle(), WM_ENDSESSION, TRUE, 0);
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(watchOn);
    EXPECT_NE(thread, 0u);
    EXPECT_FALSE(ThreadAlive(thread));
    EXPECT_EQ(StartPage(), "about:spaet");
    EXPECT_FALSE(ReadFileBytes(LogPath())) << "no cycle wrote the log after the session's end";
}

// Another program owns a window whose thread handles no messages: DDE's
// connect waits on it, so the browser query hangs until the window goes or
// the query's time is up. Meanwhile the guard and the window answer as
// always: a second foreign write is undone while the first query still
// hangs, the window opens, and each attempt gets its line, in order, once
// its answer (here: none) is there.
TEST_F(WatchedWindow, WhileTheBrowserQueryHangsTheGuardAndTheWindowAnswerAsAlways) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    int linesAtSecondUndo = -1;
    bool openedWhileHanging = false;
    const int exitCode = Run([&](TForm1& form) {
        OnlineWithAQueryLongerThanTheTest(form);
        EXPECT_TRUE(Eventually([&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); }));
        // Made once the program runs: its start needs no answer of it.
        HungWindowProcess hung;
        ASSERT_TRUE(hung.Ready());
        const Watchdog watchdog(hung.Handle(), 90s);
        ForeignWrite("about:eins");
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        ForeignWrite("about:zwei");
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        linesAtSecondUndo = OnMain<int>([&] { return form.TextListBox1->Items().Count(); });
        openedWhileHanging = OnMain<bool>([&] {
            form.Info1Click(nullptr);
            return form.Visible() && form.Guard().WaitingAttempts() == 2;
        });
        hung.End();
        EXPECT_TRUE(Eventually([&] { return OnMain<int>([&] { return form.TextListBox1->Items().Count(); }) == 2; }));
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(cycles, 2);
    EXPECT_EQ(linesAtSecondUndo, 0) << "the second write waited for the first query";
    EXPECT_TRUE(openedWhileHanging);
    const std::string log = ReadFileBytes(LogPath()).value_or("");
    const std::string unknown = ">>Ein unbekanntes Subjekt... >>Startpage:";
    EXPECT_LT(log.find(unknown + "about:zwei\r\n"), log.find(unknown + "about:eins\r\n")) << log;
    EXPECT_NE(log.find(unknown + "about:eins\r\n"), std::string::npos) << log;
}

// The end of the session comes while the browser query still hangs: the
// attempt's line is in the log file the moment the question is answered,
// with the text for no answer, and the program ends without waiting for the
// query.
TEST_F(WatchedWindow, TheEndOfTheSessionDuringAHangingQuerySavesTheAttempt) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    std::string logAtAnswer;
    bool hungAtEnd = false;
    LRESULT answer = 0;
    const int exitCode = Run([&](TForm1& form) {
        OnlineWithAQueryLongerThanTheTest(form);
        EXPECT_TRUE(Eventually([&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); }));
        HungWindowProcess hung;
        ASSERT_TRUE(hung.Ready());
        const Watchdog watchdog(hung.Handle(), 90s);
        ForeignWrite("about:eins");
        EXPECT_TRUE(Eventually([] { return StartPage() == "about:test"; })) << StartPage();
        answer = ::SendMessageA(form.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        logAtAnswer = ReadFileBytes(LogPath()).value_or("");
        hungAtEnd = hung.Running();
    });
    Join();
    EXPECT_TRUE(hungAtEnd) << "the answer waited until the window went";
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(answer, 1);
    EXPECT_NE(logAtAnswer.find(">>Ein unbekanntes Subjekt... >>Startpage:about:eins\r\n"), std::string::npos)
        << logAtAnswer;
}

// Asks the end of the session on the main thread after holding it for a
// moment: a tick of a fast timer is handed over meanwhile and waits, as it
// does when the question comes while the main thread is busy.
LRESULT CALLBACK LateQuestionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP + 7) return ::DefWindowProcA(window, message, wParam, lParam);
    ::Sleep(40);
    return ::SendMessageA(reinterpret_cast<HWND>(wParam), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
}

// The question of the session's end writes both files before the icon
// leaves the notification area (the shell is busy with the logoff itself and
// may be slow to answer), and no guard cycle runs inside it: the timer goes
// off before the watch's thread is waited for, so a tick handed over and
// waiting is dropped instead of run meanwhile.
TEST_F(WatchedWindow, TheQuestionOfTheSessionsEndSavesBeforeTheIconGoesAndRunsNoCycle) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    std::atomic<int> ticksInsideQuestion{0};
    std::atomic<int> ticksBetween{0};
    std::vector<bool> filesAtIconRemoval;
    HWND asker = nullptr;
    const int exitCode = Run([&](TForm1& form) {
        OnMain<bool>([&] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = LateQuestionProc;
            windowClass.hInstance = ::GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "LateQuestion";
            ::RegisterClassA(&windowClass);
            asker = ::CreateWindowExA(0, "LateQuestion", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
            form.HiResTimer1->SetOnTimer([&](TObject* sender) {
                if (form.EndOfSessionAsked())
                    ++ticksInsideQuestion;
                else
                    ++ticksBetween;
                form.HiResTimer1Timer(sender);
            });
            form.HiResTimer1->SetInterval(2);
            SetShellNotifyIcon([&](DWORD message, NOTIFYICONDATAA& record) {
                if (message == NIM_DELETE)
                    filesAtIconRemoval.push_back(ReadFileBytes(SettingsPath()).has_value() &&
                                                 ReadFileBytes(LogPath()).has_value());
                return ShellNotifyIconDirect(message, record);
            });
            return true;
        });
        for (int round = 0; round < 10; ++round) {
            ClearStartwachtFiles();
            const int before = ticksBetween;
            Eventually([&] { return ticksBetween > before; }, 5s);
            // The watch's thread is slow to end (a loaded machine): its end
            // is waited for in steps that run the main thread's calls.
            const DWORD watchThread = OnMain<DWORD>([&] { return form.RegistryWatch1->ThreadID(); });
            const HANDLE held = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, watchThread);
            if (held) ::SuspendThread(held);
            std::thread release([held] {
                ::Sleep(150);
                if (held) ::ResumeThread(held);
            });
            EXPECT_EQ(::SendMessageA(asker, WM_APP + 7, reinterpret_cast<WPARAM>(form.Handle()), 0), 1);
            release.join();
            if (held) ::CloseHandle(held);
            ::SendMessageA(form.Handle(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
        }
        OnMain<bool>([&] {
            SetShellNotifyIcon(nullptr);
            ::DestroyWindow(asker);
            return true;
        });
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ticksInsideQuestion, 0) << "a cycle ran inside WM_QUERYENDSESSION";
    EXPECT_GE(ticksBetween, 10);
    EXPECT_EQ(filesAtIconRemoval, std::vector<bool>(10, true)) << "the icon went before the files were written";
}

// Another program changes the extra start pages: a page added, removed,
// changed, the value given another type or deleted. Each is undone through
// the watch, as a write of the start page is (the timer's interval never
// passes), and logged once.
TEST_F(WatchedWindow, EveryForeignChangeOfTheExtraPagesIsUndoneThroughTheWatchAndLoggedOnce) {
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n[Weitere Startseiten] 2\r\nhttp://a/\r\nhttp://b/\r\n");
    const std::u16string protectedList(u"http://a/\0http://b/\0\0", 21);
    const struct {
        const char* name;
        std::function<void()> write;
        std::string shown;
    } cases[] = {
        {"added", [] { ForeignPagesWrite("http://a/\\0http://b/\\0http://evil/"); },
         "Weitere Startseiten: http://a/ | http://b/ | http://evil/"},
        {"removed", [] { ForeignPagesWrite("http://a/"); }, "Weitere Startseiten: http://a/"},
        {"changed", [] { ForeignPagesWrite("http://a/\\0http://evil/"); }, "Weitere Startseiten: http://a/ | http://evil/"},
        {"another type", [] { ForeignPagesWrite("http://evil/", "REG_SZ"); }, "Weitere Startseiten: http://evil/"},
        {"deleted", [] { ForeignPagesDelete(); }, "Weitere Startseiten: (keine)"},
    };
    SetPagesRaw(protectedList);
    std::vector<std::string> logged;
    const int exitCode = Run([&](TForm1& form) {
        EXPECT_TRUE(Eventually([&] { return OnMain<bool>([&] { return form.RegistryWatch1->Watching(); }); }));
        int lines = 0;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            c.write();
            ++lines;
            EXPECT_TRUE(Eventually([&] {
                DWORD type = 0;
                return ReadWideMulti(&type) == protectedList && type == REG_MULTI_SZ;
            }));
            EXPECT_TRUE(Eventually([&] { return OnMain<int>([&] { return form.TextListBox1->Items().Count(); }) == lines; }));
        }
        ::Sleep(300);  // room for a second, wrong line
        logged = OnMain<std::vector<std::string>>([&] {
            std::vector<std::string> items;
            for (int i = 0; i < form.TextListBox1->Items().Count(); ++i) items.push_back(form.TextListBox1->Items().Get(i));
            return items;
        });
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(timerTicks, 0) << "the watch answered, not the timer";
    ASSERT_EQ(logged.size(), std::size(cases)) << "once each";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string& line = logged[std::size(cases) - 1 - i];  // newest first
        EXPECT_EQ(line.substr(line.find(">>")), ">>Ein Offline-B\xF6sewicht >>Startpage:" + cases[i].shown) << line;
    }
    EXPECT_EQ(StartPage(), "about:test");
    EXPECT_TRUE(errors.empty());
}

namespace {

constexpr const char* kPolicyMain = "Software\\Policies\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kPolicyPanel = "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
constexpr const char* kPolicyRestrictions = "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions";

void RemovePolicies() {
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        DeleteKeyTree(hive, "Software\\Policies\\Microsoft\\Internet Explorer");
}

std::string DwordBytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

}  // namespace

// A policy that sets or locks the start page: seen at start and when one is
// written while the program runs (in either hive), each noted once with the
// policy as the offender, told in its own report, shown by the window's
// warning line while it stands, and never written or deleted.
TEST_F(WatchedWindow, APolicyThatSetsOrLocksTheStartPageIsLoggedShownAndNeverTouched) {
    RemovePolicies();
    // Reporting off at start: its report would wait for a user before the
    // test's driver runs. Switched on once the program runs.
    WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n[Weitere Startseiten] 0\r\n");
    EnsureKey(HKEY_CURRENT_USER, kPolicyMain);
    WriteRawValue(HKEY_CURRENT_USER, kPolicyMain, "Start Page", REG_SZ, std::string("http://firma/\0", 13));
    std::vector<std::string> reports;
    std::string warningAtStart, warningWithLock, warningAfterRemoval;
    bool shownAtStart = false, shownAfterRemoval = true;
    int linesAtEnd = 0;
    const auto takeReport = [&] {
        HWND box = nullptr;
        if (!Eventually([&] { return (box = OwnMessageBox()) != nullptr; })) return;
        reports.push_back(MessageText(box));
        CloseMessage(box);
        Eventually([&] { return OwnMessageBox() != box; });
    };
    const int exitCode = Run([&](TForm1& form) {
        EXPECT_TRUE(Eventually([&] { return OnMain<int>([&] { return form.TextListBox1->Items().Count(); }) == 1; }));
        OnMain<bool>([&] {
            form.CheckBox3->SetChecked(true);
            return true;
        });
        const auto warning = [&] { return OnMain<std::string>([&] { return form.Label7->Caption(); }); };
        const auto shown = [&] { return OnMain<bool>([&] { return form.Label7->Visible(); }); };
        warningAtStart = warning();
        shownAtStart = shown();
        // A lock written by an administrator's program while it runs, under
        // the other hive, in a key below the watched one made a moment
        // before (so that only a watch of the whole subtree sees the value).
        EnsureKey(HKEY_LOCAL_MACHINE, kPolicyPanel);
        ::Sleep(500);
        WriteRawValue(HKEY_LOCAL_MACHINE, kPolicyPanel, "HomePage", REG_DWORD, DwordBytes(1));
        takeReport();
        EXPECT_TRUE(Eventually([&] { return warning() != warningAtStart; }));
        warningWithLock = warning();
        // A lock of 0 locks nothing.
        EnsureKey(HKEY_CURRENT_USER, kPolicyRestrictions);
        WriteRawValue(HKEY_CURRENT_USER, kPolicyRestrictions, "NoSetHomePage", REG_DWORD, DwordBytes(0));
        ::Sleep(500);
        EXPECT_EQ(OwnMessageBox(), nullptr);
        RemovePolicies();
        EXPECT_TRUE(Eventually([&] { return !shown(); }));
        shownAfterRemoval = shown();
        warningAfterRemoval = warning();
        linesAtEnd = OnMain<int>([&] { return form.TextListBox1->Items().Count(); });
        // Written again: a policy that appears anew is said anew.
        EnsureKey(HKEY_CURRENT_USER, kPolicyRestrictions);
        ::Sleep(500);
        WriteRawValue(HKEY_CURRENT_USER, kPolicyRestrictions, "NoSetHomePage", REG_DWORD, DwordBytes(1));
        takeReport();
        // Kept for the checks below; gone before the program ends.
        EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kPolicyRestrictions, "NoSetHomePage")->data, DwordBytes(1));
        RemovePolicies();
    });
    Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(shownAtStart);
    EXPECT_EQ(warningAtStart, "Achtung: Eine Richtlinie setzt die Startseite. Nur ein Administrator kann sie entfernen.");
    EXPECT_EQ(warningWithLock,
              "Achtung: Richtlinien setzen und sperren die Startseite. Nur ein Administrator kann sie entfernen.");
    EXPECT_FALSE(shownAfterRemoval);
    EXPECT_EQ(warningAfterRemoval, "");
    ASSERT_EQ(reports.size(), 2u);
    const std::string admin = "\rNur ein Administrator kann diese Richtlinie entfernen; Startwacht \xE4ndert sie nicht.";
    EXPECT_EQ(reports[0], "Eine Richtlinie sperrt die Startseite des Internet Explorers:\rWert \"HomePage\" = 1 unter "
                          "HKEY_LOCAL_MACHINE\\" + std::string(kPolicyPanel) + admin);
    EXPECT_NE(reports[1].find("\"NoSetHomePage\" = 1 unter HKEY_CURRENT_USER"), std::string::npos) << reports[1];
    EXPECT_EQ(linesAtEnd, 2);
    const std::vector<std::string> lines = sw::SplitTextLines(ReadFileBytes(LogPath()).value_or(""));
    ASSERT_EQ(lines.size(), 3u);
    const auto tail = [](const std::string& line) { return line.substr(line.find(">>")); };
    EXPECT_EQ(tail(lines[2]), ">>Eine Richtlinie (HKEY_CURRENT_USER) >>Startpage:http://firma/");
    EXPECT_EQ(tail(lines[1]), ">>Eine Richtlinie (HKEY_LOCAL_MACHINE) >>Startpage:Sperre der Startseite (HomePage = 1)");
    EXPECT_EQ(tail(lines[0]),
              ">>Eine Richtlinie (HKEY_CURRENT_USER) >>Startpage:Sperre der Startseite (NoSetHomePage = 1)");
    EXPECT_EQ(StartPage(), "about:test") << "the user's own value stays";
    EXPECT_EQ(timerTicks, 0);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
