// A stand-in for the main window's controls and a fixture that puts the
// registry value and the two files into a known state.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "app/Guard.h"
#include "app/GuardTexts.h"
#include "framework/StrUtils.h"
#include "support/PagesBlock.h"
#include "support/TestSupport.h"

namespace sw::test {

// Controls as plain values; changes run the guard's handlers as the real
// controls do.
class FakeView : public guard::IGuardView {
public:
    guard::TGuard* Guard = nullptr;
    std::vector<std::string> Messages;
    std::vector<bool> TimerSwitches;
    TStringList LogList;
    std::string Address = "about:blank";
    bool LogOn = false;
    bool ReportOn = false;
    std::string MaximumText = "100";
    int MaximumHandlerRuns = 0;

    std::string AddressText() const override { return Address; }
    void SetAddressText(const std::string& text) override {
        if (text == Address) return;
        Address = text;
        Guard->AddressChanged();
    }
    bool LogSwitch() const override { return LogOn; }
    void SetLogSwitch(bool on) override {
        if (on == LogOn) return;
        LogOn = on;
        Guard->LogSwitchChanged();
    }
    bool ReportSwitch() const override { return ReportOn; }
    void SetReportSwitch(bool on) override {
        if (on == ReportOn) return;
        ReportOn = on;
        Guard->ReportSwitchChanged();
    }
    int32_t MaxEntries() const override { return TryStrToInt(MaximumText).value_or(1); }
    void SetMaxEntries(int32_t value) override { SetMaximumText(IntToStr(std::clamp<int32_t>(value, 1, 10000))); }
    // As if typed or pasted into the spin edit.
    void SetMaximumText(const std::string& text) {
        if (text == MaximumText) return;
        MaximumText = text;
        ++MaximumHandlerRuns;
        Guard->MaximumChanged();
    }
    TStrings& Log() override { return LogList; }
    void LogLinesRemoved() override {}
    void SetGuardTimer(bool on) override { TimerSwitches.push_back(on); }
    void ShowMessage(const std::string& text) override {
        Messages.push_back(text);
        if (ShowMessageHook) ShowMessageHook();
    }
    std::function<void()> ShowMessageHook;
    // The field of the extra pages.
    guard::TPages Pages;
    int PagesHandlerRuns = 0;
    std::string Warning;
    void ShowPolicyWarning(const std::string& text) override { Warning = text; }
    guard::TPages PagesText() const override { return Pages; }
    void SetPagesText(const guard::TPages& pages) override {
        if (pages == Pages) return;
        Pages = pages;
        ++PagesHandlerRuns;
        Guard->PagesChanged();
    }
};

class GuardFixture : public testing::Test {
protected:
    static constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:blank");
        DeleteValue(HKEY_CURRENT_USER, kMainKey, "Secondary Start Pages");
        RemoveFile(SettingsPath());
        RemoveFile(LogPath());
        ReportedErrors().clear();
        view.Guard = &guard;
        guard.IsOnline = [] { return false; };
        guard.CurrentDateTime = [] { return std::string("08.12.2026 21:40:05"); };
    }
    void TearDown() override {
        RemoveFile(SettingsPath());
        RemoveFile(LogPath());
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:blank");
        DeleteValue(HKEY_CURRENT_USER, kMainKey, "Secondary Start Pages");
    }

    static std::string SettingsPath() { return SystemDir() + "\\spurl.vxd"; }
    static std::string LogPath() { return SystemDir() + "\\tburl.vxd"; }
    static void SetStartPage(const std::string& url, DWORD type = REG_SZ) {
        WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", type, url + '\0');
    }
    static std::optional<RawValue> StartPage() { return ReadRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page"); }
    static std::string StartPageText() {
        auto v = StartPage();
        return v ? std::string(v->data.c_str()) : std::string("<missing>");
    }

    // Online, and the browser answers each query at once with `reply`.
    void BrowserAnswersAtOnce(const std::string& reply) {
        guard.IsOnline = [] { return true; };
        guard.StartQuery = [this, reply](const std::string&) {
            guard.OffenderAnswered(reply);
            return true;
        };
    }

    FakeView view;
    guard::TGuard guard{view};
};

}  // namespace sw::test
