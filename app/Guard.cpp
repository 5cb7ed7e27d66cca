#include "Guard.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "BrowserQuery.h"
#include "GuardTexts.h"
#include "LogText.h"
#include "Policy.h"
#include "StartPage.h"
#include "StoredAddress.h"
#include "Switches.h"
#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/StrUtils.h"
#include "framework/SystemCodePage.h"
#include "framework/TextFile.h"

namespace sw::guard {

std::string LocalDateTimeText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char date[128] = {};
    char time[128] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date);
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof time);
    return ComposeDateTime(date, time, now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0);
}

TGuard::TGuard(IGuardView& view)
    : IsOnline(guard::IsOnline), CurrentDateTime(LocalDateTimeText), ReadPolicies(guard::ReadPolicies), view_(view) {
    StartQuery = [this](const std::string& service) {
        if (!query_) {
            query_ = std::make_unique<TBrowserQuery>();
            query_->OnAnswer = [this](const std::string& reply) { OffenderAnswered(reply); };
        }
        query_->Bound = QueryBound;
        return query_->Start(service);
    };
}

TGuard::~TGuard() = default;

TGuard::TTimerHold::TTimerHold(TGuard& guard) : guard_(guard) {
    if (guard_.timerHolds_++ == 0) guard_.view_.SetGuardTimer(false);
}

TGuard::TTimerHold::~TTimerHold() {
    if (--guard_.timerHolds_ == 0) guard_.view_.SetGuardTimer(true);
}

std::string TGuard::SettingsPath() const { return SystemDir + SettingsFileName; }

std::string TGuard::LogPath() const { return SystemDir + LogFileName; }

void TGuard::SaveSettings() {
    // A settings file that could not be read at start still holds the
    // user's address and switches: the stand-in of this run never replaces
    // it unasked.
    if (settingsUnread_) return;
    SettingsLines.SaveToFile(SettingsPath());
}

void TGuard::SaveLog() {
    if (logUnread_) TakeInUnreadLog();
    // Content of an earlier cycle still waiting must not land after this.
    if (logWriter_) logWriter_->Wait();
    view_.Log().SaveToFile(LogPath());
}

// The writer rests at least this long between two writes: a flood of
// attempts rewrites the log a few times a second, not at every cycle.
constexpr uint32_t kLogWriteGapMs = 100;

void TGuard::WriteLogInBackground() {
    if (logWriter_) return;
    logWriter_ = std::make_unique<TFileWriter>();
    logWriter_->SetMinimumGap(kLogWriteGapMs);
    logWriter_->OnFailure = [this](const std::string&) { LogWriteFailedLater(); };
}

void TGuard::SaveLogOfAttempt() {
    if (!logWriter_) {
        SaveLog();
        return;
    }
    if (logUnread_) TakeInUnreadLog();
    logWriter_->Write(LogPath(), view_.Log().ToText());
}

void TGuard::LogWriteFailedLater() {
    // One message at a time: the writes of the cycles that run while it is
    // open may fail alike.
    if (tellingLogFailure_) return;
    tellingLogFailure_ = true;
    struct Told {
        bool& telling;
        ~Told() { telling = false; }
    } told{tellingLogFailure_};
    view_.ShowMessage(LogWriteFailed);
}

void TGuard::TakeInUnreadLog() {
    // The lines of this run are newer than every line of the file, which
    // still raises EFOpenError while it can't be read.
    const std::string path = LogPath();
    TStringList older;
    if (FileExists(path)) older.LoadFromFile(path);
    TStrings& log = view_.Log();
    {
        TStringsUpdate update(log);
        for (const std::string& line : older.Lines()) log.Add(line);
    }
    logUnread_ = false;
    TrimLog();  // the trim rule covers the merged lines
}

void TGuard::SettingChosen() {
    // A setting changed by the user after the start is a choice: from now on
    // the whole current state is written, also over a file not read.
    if (!starting_) settingsUnread_ = false;
}

std::string TGuard::SwitchesLine() {
    // The start leaves at least two lines; a handler run before it finds
    // them here.
    while (SettingsLines.Count() < 2) SettingsLines.Add(SettingsLines.Count() == 0 ? "" : DefaultSwitches);
    return SettingsLines[1];
}

void TGuard::LoadAtStart() {
    starting_ = true;
    struct StartEnds {
        bool& starting;
        ~StartEnds() { starting = false; }
    } startEnds{starting_};
    settingsUnread_ = false;
    logUnread_ = false;

    char directory[MAX_PATH + 1] = {};
    ::GetSystemDirectoryA(directory, sizeof directory);
    SystemDir = directory;

    const std::string settingsPath = SettingsPath();
    if (FileExists(settingsPath)) {
        std::vector<std::string> lines;
        bool damaged = false;
        try {
            SettingsLines.LoadFromFile(settingsPath);
            lines = SettingsLines.Lines();
            // The registry's start page goes through the address edit, as
            // the edit's text is what the guard protects.
            damaged = RepairSettingsLines(lines, [this] {
                view_.SetAddressText(ReadStartPage());
                return view_.AddressText();
            });
        } catch (const EFOpenError&) {
            view_.ShowMessage(SystemDirDenied);
            settingsUnread_ = true;
            lines = {ReadStartPage(), DefaultSwitches};
        }
        SettingsLines.Assign(lines);
        view_.SetAddressText(lines[0]);
        if (damaged) view_.ShowMessage(SettingsDamaged);
    } else {
        view_.SetAddressText(ReadStartPage());
        SettingsLines.Clear();
        SettingsLines.Add(view_.AddressText());
        SettingsLines.Add(DefaultSwitches);
        SaveSettings();
    }

    ProtectedUrl = view_.AddressText();
    LoadPages();

    if (SwitchIsOn(SwitchesLine(), 1)) view_.SetLogSwitch(true);
    if (SwitchIsOn(SwitchesLine(), 2)) view_.SetReportSwitch(true);
    view_.SetMaxEntries(StrToInt(SwitchesLine().substr(2)));

    const std::string logPath = LogPath();
    if (FileExists(logPath)) {
        try {
            view_.Log().LoadFromFile(logPath);
        } catch (const EFOpenError&) {
            // Shown as any failed read; the file is taken in before the log
            // is first written, so none of its lines is lost.
            logUnread_ = true;
            throw;
        }
    }
}

void TGuard::LoadPages() {
    if (const auto stored = PagesOfSettings(SettingsLines.Lines())) {
        ProtectedPages = *stored;
    } else {
        // A settings file of an earlier version, or none: the pages set now
        // are the user's, whatever the type they are stored with.
        const TPagesValue value = ReadSecondaryPages();
        ProtectedPages = value.pages;
        PutPagesIntoSettingsLines(ProtectedPages);
        // Written now, so that a page written while the program is not
        // running is never taken as the user's. A file that can't be
        // written here still holds the user's address and switches: the
        // start goes on (a later settings write tries again and says so).
        try {
            SaveSettings();
        } catch (const Exception&) {
        }
        if (!HoldsPages(value, ProtectedPages)) {
            // Another type than a list: the same pages as a list, unlogged;
            // the cycle tries again if this fails.
            try {
                WriteSecondaryPages(ProtectedPages);
            } catch (const Exception&) {
            }
        }
    }
    view_.SetPagesText(ProtectedPages);
}

void TGuard::PutPagesIntoSettingsLines(const TPages& pages) {
    std::vector<std::string> lines = SettingsLines.Lines();
    PutPagesIntoSettings(lines, pages);
    SettingsLines.Assign(lines);
}

void TGuard::LogSwitchChanged() {
    SettingChosen();
    SettingsLines.Put(1, WithLogSwitch(SwitchesLine(), view_.LogSwitch()));
    SaveSettings();
}

void TGuard::ReportSwitchChanged() {
    SettingChosen();
    SettingsLines.Put(1, WithReportSwitch(SwitchesLine(), view_.ReportSwitch()));
    SaveSettings();
}

void TGuard::MaximumChanged() {
    // Setting the absolute value may change the text and run this handler
    // again; that nested run completes first and leaves the same result.
    SettingChosen();
    const int64_t value = view_.MaxEntries();
    const int64_t magnitude = value < 0 ? -value : value;
    view_.SetMaxEntries(static_cast<int32_t>(std::min<int64_t>(magnitude, std::numeric_limits<int32_t>::max())));
    SettingsLines.Put(1, WithMaximum(SwitchesLine(), view_.MaxEntries()));
    SaveSettings();
    if (TrimLog()) SaveLog();
}

void TGuard::AddressChanged() {
    if (!WindowShown) return;
    SettingChosen();
    if (SettingsLines.Count() == 0) SettingsLines.Add("");
    SettingsLines.Put(0, view_.AddressText());
    SaveSettings();
    const TTimerHold hold(*this);
    ProtectedUrl = view_.AddressText();
    WriteStartPage(ProtectedUrl);
}

void TGuard::PagesChanged() {
    if (!WindowShown) return;
    SettingChosen();
    const TPages pages = view_.PagesText();
    PutPagesIntoSettingsLines(pages);
    SaveSettings();
    const TTimerHold hold(*this);
    ProtectedPages = pages;
    WriteSecondaryPages(ProtectedPages);
}

void TGuard::ClearLog() {
    logUnread_ = false;  // emptying the log is the user's choice, also over a file not read
    view_.Log().Clear();
    SaveLog();
}

bool TGuard::SaveAllGuarded() {
    NoteAllAttempts();
    try {
        SaveSettings();
        SaveLog();
        return true;
    } catch (const Exception&) {
        view_.ShowMessage(SaveAllFailed);
        return false;
    }
}

void TGuard::SaveAllQuietly() {
    // The session is ending: there is nobody left to tell of a failure.
    NoteAllAttempts();
    try {
        SaveSettings();
    } catch (const Exception&) {
    }
    try {
        SaveLog();
    } catch (const Exception&) {
    }
}

bool TGuard::TrimLog() {
    TStrings& log = view_.Log();
    const int count = log.Count();
    const int excess = LinesToTrim(count, view_.MaxEntries());
    if (excess == 0) return false;
    // Removing from the bottom leaves the same newest lines as removing the
    // first line past the maximum again and again, without moving the rest.
    // One update bracket: a list on screen redraws and re-measures once.
    // When most of the lines go, the few that stay are put in anew instead:
    // each line of a list on screen costs the same to add as to delete, and
    // a long log read at start may hold a hundred times the maximum.
    {
        TStringsUpdate update(log);
        const int keep = count - excess;
        if (excess > keep) {
            std::vector<std::string> kept;
            kept.reserve(static_cast<size_t>(keep));
            for (int index = 0; index < keep; ++index) kept.push_back(log.Get(index));
            log.Assign(kept);
        } else {
            for (int index = count - 1; index >= keep; --index) log.Delete(index);
        }
    }
    view_.LogLinesRemoved();
    return true;
}

std::string TGuard::Shown(const std::string& address) { return DisplayedAddress(address, SystemAnsiCodePage()); }

void TGuard::Tick() {
    const TTimerHold hold(*this);
    TickBody();
}

void TGuard::TickBody() {
    // Both values in one open of the key; a foreign change of each is an
    // attempt of its own, the start page's first.
    const TGuardedValues current = ReadGuardedValues();
    CheckStartPage(current.startPage);
    CheckPages(current.pages);
    AskForWaitingAttempts();
    NoteAnsweredAttempts();
}

void TGuard::CheckStartPage(const std::string& current) {
    if (current == ProtectedUrl) {
        writeFailing_ = false;
        return;
    }
    if (writeFailing_ && current == RejectedUrl) {
        // The attempt was logged and reported when the write first failed;
        // until the write succeeds, each tick only tries it again.
        try {
            WriteStartPage(ProtectedUrl);
            writeFailing_ = false;
        } catch (const Exception&) {
        }
        return;
    }
    RejectedUrl = current;
    NoteUndone(Shown(current), [this] { WriteStartPage(ProtectedUrl); }, writeFailing_);
}

void TGuard::CheckPages(const TPagesValue& current) {
    if (HoldsPages(current, ProtectedPages)) {
        pagesWriteFailing_ = false;
        return;
    }
    if (pagesWriteFailing_ && current.pages == RejectedPages && current.present == rejectedPagesPresent_ &&
        current.multiString == rejectedPagesMulti_) {
        try {
            WriteSecondaryPages(ProtectedPages);
            pagesWriteFailing_ = false;
        } catch (const Exception&) {
        }
        return;
    }
    RejectedPages = current.pages;
    rejectedPagesPresent_ = current.present;
    rejectedPagesMulti_ = current.multiString;
    NoteUndone(ShownPages(current.pages, SystemAnsiCodePage()), [this] { WriteSecondaryPages(ProtectedPages); },
               pagesWriteFailing_);
}

void TGuard::NoteUndone(std::string shown, const std::function<void()>& writeBack, bool& failing) {
    TAttempt attempt;
    attempt.time = CurrentDateTime();
    attempt.shown = std::move(shown);
    // The protected value goes back before anybody is asked who did it:
    // the browser may take up to ten seconds to answer, and the foreign
    // value must not stand meanwhile.
    try {
        writeBack();
    } catch (const Exception&) {
        attempt.restored = false;
        // A failed write is told once per run of failures, not twice a
        // second.
        if (!failing) attempt.writeError = std::current_exception();
    }
    failing = !attempt.restored;
    if (!IsOnline()) {
        attempt.offender = OfflineOffender;
        attempt.answered = true;
    }
    attempts_.push_back(std::move(attempt));
}

void TGuard::CheckPolicies() {
    std::vector<TPolicyValue> standing = ReadPolicies();
    for (const TPolicyValue& policy : standing) {
        if (std::find(standingPolicies_.begin(), standingPolicies_.end(), policy) != standingPolicies_.end()) continue;
        // Nothing to undo and nobody to ask: the policy is the offender.
        TAttempt attempt;
        attempt.time = CurrentDateTime();
        attempt.shown = PolicyShown(policy, SystemAnsiCodePage());
        attempt.offender = PolicyOffender(policy);
        attempt.report = PolicyReport(policy, SystemAnsiCodePage());
        attempt.answered = true;
        attempts_.push_back(std::move(attempt));
    }
    standingPolicies_ = std::move(standing);
    view_.ShowPolicyWarning(PolicyWarning(standingPolicies_));
    NoteAnsweredAttempts();
}

void TGuard::AskForWaitingAttempts() {
    // One query at a time: what comes while it runs is asked for next, so
    // each line names what the browser said at or after its attempt.
    if (queryRunning_) return;
    bool waiting = false;
    for (TAttempt& attempt : attempts_)
        if (!attempt.answered && !attempt.asked) attempt.asked = waiting = true;
    if (!waiting) return;
    queryRunning_ = true;
    if (StartQuery(BrowserService)) return;
    // No query can start: the same as no answer.
    queryRunning_ = false;
    for (TAttempt& attempt : attempts_)
        if (!attempt.answered) {
            attempt.offender = UnknownOffender;
            attempt.answered = true;
        }
}

void TGuard::OffenderAnswered(const std::string& reply) {
    // An answer that nobody waits for any more (the end noted its attempts).
    if (!queryRunning_) return;
    queryRunning_ = false;
    for (TAttempt& attempt : attempts_)
        if (attempt.asked && !attempt.answered) {
            attempt.offender = reply.empty() ? std::string(UnknownOffender) : reply;
            attempt.answered = true;
        }
    AskForWaitingAttempts();
    NoteAnsweredAttempts();
}

void TGuard::NoteAnsweredAttempts() {
    // While a report is open, answers that come are noted by the loop that
    // opened it, once it is closed, in their order.
    if (noting_ || attempts_.empty() || !attempts_.front().answered) return;
    noting_ = true;
    // No cycle runs while a message window of the guard waits for the user.
    const TTimerHold noCycleMeanwhile(*this);
    struct Noted {
        bool& noting;
        ~Noted() { noting = false; }
    } noted{noting_};
    while (!attempts_.empty() && attempts_.front().answered) {
        const TAttempt attempt = std::move(attempts_.front());
        attempts_.pop_front();
        NoteAttempt(attempt, false);
    }
}

void TGuard::NoteAttempt(const TAttempt& attempt, bool quietly) {
    OffenderText = attempt.offender;
    if (view_.LogSwitch()) {
        view_.Log().Insert(0, ComposeLogLine(attempt.time, OffenderText, attempt.shown));
        TrimLog();
    }
    if (quietly) return;
    if (attempt.writeError && Application) {
        try {
            std::rethrow_exception(attempt.writeError);
        } catch (const Exception&) {
            Application->HandleException(nullptr);
        }
    }
    if (attempt.restored && view_.ReportSwitch())
        view_.ShowMessage(attempt.report.empty() ? ComposeReport(OffenderText, attempt.shown) : attempt.report);
    try {
        SaveLogOfAttempt();
    } catch (const Exception&) {
        view_.ShowMessage(LogWriteFailed);
    }
}

void TGuard::NoteAllAttempts() {
    // The program or the session ends: no answer is waited for any more.
    if (query_) query_->Abandon();
    queryRunning_ = false;
    for (TAttempt& attempt : attempts_) {
        if (!attempt.answered) attempt.offender = UnknownOffender;
        NoteAttempt(attempt, true);
    }
    attempts_.clear();
}

}  // namespace sw::guard
