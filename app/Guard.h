// The start-page guard: settings and log files, the guard cycle and the
// bodies of the main window's handlers. The guard reaches the window's
// controls only through IGuardView, so it runs with the real window as well
// as with a plain stand-in.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "PolicyText.h"
#include "SecondaryPages.h"
#include "framework/FileWriter.h"
#include "framework/Strings.h"

namespace sw::guard {

class TBrowserQuery;
struct TPagesValue;

// The controls that the guard reads and writes.
class IGuardView {
public:
    virtual ~IGuardView() = default;

    // The protected-address edit (Edit1).
    virtual std::string AddressText() const = 0;
    virtual void SetAddressText(const std::string& text) = 0;
    // The check boxes "Zugriffe loggen" (CheckBox2) and "Zugriff melden"
    // (CheckBox3); a change of state runs the box's handler.
    virtual bool LogSwitch() const = 0;
    virtual void SetLogSwitch(bool on) = 0;
    virtual bool ReportSwitch() const = 0;
    virtual void SetReportSwitch(bool on) = 0;
    // The maximum number of log entries (SpinEdit1): reading converts the
    // shown text, writing clamps to 1..10000; a change of the shown text runs
    // the spin edit's handler.
    virtual int32_t MaxEntries() const = 0;
    virtual void SetMaxEntries(int32_t value) = 0;
    // The log list (TextListBox1's items), newest first.
    virtual TStrings& Log() = 0;
    // Redraws the log list after lines were removed.
    virtual void LogLinesRemoved() = 0;
    // The guard's timer switch (HiResTimer1.Enabled).
    virtual void SetGuardTimer(bool on) = 0;
    // The modal message window.
    virtual void ShowMessage(const std::string& text) = 0;
    // The field of the extra start pages (Edit2), one page per line, in
    // stored forms; a change of its text runs its handler. A view without
    // the field holds none.
    virtual TPages PagesText() const { return {}; }
    virtual void SetPagesText(const TPages&) {}
    // The warning line of standing policies; empty text hides it.
    virtual void ShowPolicyWarning(const std::string&) {}
};

class TGuard {
public:
    explicit TGuard(IGuardView& view);
    ~TGuard();
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;

    // Loads or creates the settings, repairs them, puts them into the
    // controls and loads the log. Uncaught failures end it at that step.
    void LoadAtStart();

    std::string SettingsPath() const;
    std::string LogPath() const;
    // Addresses (ProtectedUrl, RejectedUrl, the settings' first line) are
    // held in their stored form (StoredAddress.h).
    // Writes the settings file; not while a file that could not be read at
    // start still waits for the user's first change of a setting.
    void SaveSettings();
    // Writes the log file; a log file that could not be read at start is
    // read first and its lines kept below this run's (EFOpenError while it
    // still can't be read, and then nothing is written).
    void SaveLog();
    // From now on the cycle's log file write runs on a writer thread (the
    // main window's guard): the cycle no longer waits for the disk, and a
    // write that fails is told once it has failed. Every other write waits
    // for the writer first. Off, the cycle writes the file itself.
    void WriteLogInBackground();

    // Handler bodies.
    void LogSwitchChanged();     // CheckBox2Click
    void ReportSwitchChanged();  // CheckBox3Click
    void MaximumChanged();       // SpinEdit1Change
    void AddressChanged();       // Edit1Change
    void PagesChanged();         // Edit2Change
    void ClearLog();             // Button3Click
    // "Beenden": settings, then log; on failure the message window. Returns
    // whether both files were written. Both take every attempt noted so far
    // into the log first, one still waiting for the browser with the text
    // for no answer, without report.
    bool SaveAllGuarded();
    // End of the Windows session: both files tried, failures left unreported.
    void SaveAllQuietly();

    // One guard cycle (HiResTimer1Timer). A foreign address is undone at
    // once and the attempt noted with its time; its log line, report and
    // log file write follow when the browser has said who did it (or at
    // once, offline). Attempts get their lines in the order they came.
    void Tick();
    // The browser's answer to the query under way (empty: no answer). Every
    // attempt that the query was asked for gets it; attempts that came
    // while it ran are asked for by the next query.
    void OffenderAnswered(const std::string& reply);
    // Looks at the policy values that set or lock the start page (at start
    // and when their keys change): each that appeared or changed since the
    // last look is an attempt, noted at once with a policy as its offender
    // and its own report; the window's warning line follows what stands.
    // Nothing is written to the registry.
    void CheckPolicies();
    const std::vector<TPolicyValue>& StandingPolicies() const { return standingPolicies_; }

    // Attempts noted whose line is not in the log yet.
    size_t WaitingAttempts() const { return attempts_.size(); }

    // Removes the oldest lines beyond the maximum; true when any went.
    bool TrimLog();

    // Module state.
    std::string SystemDir;
    TStringList SettingsLines;
    std::string ProtectedUrl;
    std::string RejectedUrl;
    std::string OffenderText;
    bool WindowShown = false;
    // The extra start pages that the guard enforces (stored forms), and the
    // value found by the latest cycle that saw them changed.
    TPages ProtectedPages;
    TPages RejectedPages;

    // Platform seams; the defaults are the real ones. StartQuery asks the
    // browser of `service` who is there; the answer comes back through
    // OffenderAnswered, later, on this thread. False when no query can
    // start now: then no answer comes.
    std::function<bool()> IsOnline;
    std::function<bool(const std::string& service)> StartQuery;
    // The real query's time in milliseconds, connect and fallback included.
    uint32_t QueryBound = 10000;
    std::function<std::string()> CurrentDateTime;
    std::function<std::vector<TPolicyValue>()> ReadPolicies;

private:
    // One attempt from the moment it was undone until its line is noted.
    struct TAttempt {
        std::string time;
        // The rejected value as the log line and the report show it.
        std::string shown;
        std::string offender;
        bool answered = false;
        // The query under way was asked for it.
        bool asked = false;
        bool restored = true;
        // The report in place of the usual one (a policy's).
        std::string report;
        // The failed restoring write, told when the line is noted (once per
        // run of failures).
        std::exception_ptr writeError;
    };
    // The guard's timer stays off while a message window of the guard is
    // open; holds nest.
    class TTimerHold {
    public:
        explicit TTimerHold(TGuard& guard);
        ~TTimerHold();
        TTimerHold(const TTimerHold&) = delete;
        TTimerHold& operator=(const TTimerHold&) = delete;

    private:
        TGuard& guard_;
    };

    void TickBody();
    void CheckStartPage(const std::string& current);
    void CheckPages(const TPagesValue& current);
    // Notes a foreign value undone by `writeBack` (its failure told once per
    // run of failures, tracked in `failing`).
    void NoteUndone(std::string shown, const std::function<void()>& writeBack, bool& failing);
    // At the first start of a version that guards the extra pages, the
    // pages then set become the protected ones.
    void LoadPages();
    void PutPagesIntoSettingsLines(const TPages& pages);
    void AskForWaitingAttempts();
    void NoteAnsweredAttempts();
    // The attempt's line, its write failure, its report and the log file;
    // `quietly` only the line.
    void NoteAttempt(const TAttempt& attempt, bool quietly);
    void NoteAllAttempts();
    // The cycle's log file write.
    void SaveLogOfAttempt();
    void LogWriteFailedLater();
    std::string SwitchesLine();
    void SettingChosen();
    void TakeInUnreadLog();
    // A rejected address as the log line and the report show it.
    static std::string Shown(const std::string& address);

    IGuardView& view_;
    std::unique_ptr<TFileWriter> logWriter_;
    std::unique_ptr<TBrowserQuery> query_;
    // Undone attempts whose lines are not noted yet, oldest first.
    std::deque<TAttempt> attempts_;
    bool queryRunning_ = false;
    // Answered attempts are being noted (a report may be open meanwhile).
    bool noting_ = false;
    int timerHolds_ = 0;
    std::vector<TPolicyValue> standingPolicies_;
    // The message of a failed background write is open.
    bool tellingLogFailure_ = false;
    // The restoring write failed and the same attempt is still unresolved.
    bool writeFailing_ = false;
    // The same for the extra pages; with RejectedPages, the kind of value
    // that the failing write met.
    bool pagesWriteFailing_ = false;
    bool rejectedPagesPresent_ = false;
    bool rejectedPagesMulti_ = false;
    // The start sequence runs: handlers are not the user's doing.
    bool starting_ = false;
    // The settings file existed at start but could not be read: it is not
    // written until the user changes a setting.
    bool settingsUnread_ = false;
    // The log file existed at start but could not be read: it is read and
    // merged below the newer lines before it is written.
    bool logUnread_ = false;
};

// The current local date and time as a log line starts with them: the user's
// short date format, a blank and the user's long time format; only the date
// at exactly 00:00:00.
std::string LocalDateTimeText();

}  // namespace sw::guard
