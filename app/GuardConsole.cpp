// Runs the guard from a console, with the settings of the main window held in
// plain variables: the guard's working core without its window. The
// high-resolution timer drives it twice a second on the main thread, exactly
// as it drives the main window's guard.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "BrowserQuery.h"
#include "Guard.h"
#include "framework/Application.h"
#include "framework/StrUtils.h"
#include "timer/HiResTimer.h"

namespace {

using namespace sw;

class ConsoleView final : public guard::IGuardView {
public:
    guard::TGuard* Guard = nullptr;
    THiResTimer* Timer = nullptr;  // HiResTimer1

    std::string AddressText() const override { return address_; }
    void SetAddressText(const std::string& text) override {
        if (text == address_) return;
        address_ = text;
        Guard->AddressChanged();
    }
    bool LogSwitch() const override { return log_; }
    void SetLogSwitch(bool on) override {
        if (on == log_) return;
        log_ = on;
        Guard->LogSwitchChanged();
    }
    bool ReportSwitch() const override { return report_; }
    void SetReportSwitch(bool on) override {
        if (on == report_) return;
        report_ = on;
        Guard->ReportSwitchChanged();
    }
    int32_t MaxEntries() const override { return TryStrToInt(maximum_).value_or(1); }
    void SetMaxEntries(int32_t value) override {
        const std::string text = IntToStr(std::clamp<int32_t>(value, 1, 10000));
        if (text == maximum_) return;
        maximum_ = text;
        Guard->MaximumChanged();
    }
    TStrings& Log() override { return lines_; }
    void LogLinesRemoved() override {}
    void SetGuardTimer(bool on) override {
        if (Timer) Timer->SetEnabled(on);
    }
    void ShowMessage(const std::string& text) override {
        std::string shown = text;
        std::replace(shown.begin(), shown.end(), '\r', '\n');
        std::printf("%s\n", shown.c_str());
        std::fflush(stdout);
    }
private:
    std::string address_ = "about:blank";
    bool log_ = false;
    bool report_ = false;
    std::string maximum_ = "100";
    TStringList lines_;
};

}  // namespace

int main() {
    TApplication application;
    application.SetTitle("Startwacht");
    application.OnException = [](TObject*, const std::string& message) {
        std::printf("Fehler: %s\n", WithFullStop(message).c_str());
        std::fflush(stdout);
    };
    try {
        guard::TDdeInstance dde;
        ConsoleView view;
        guard::TGuard guard(view);
        view.Guard = &guard;
        // The guard's timer as the main window describes it: created off, so
        // that loading never starts it; the guard switches it on and off.
        const std::unique_ptr<THiResTimer> timer(new THiResTimer(nullptr));
        {
            TLoadingScope loading;
            loading.Add(timer.get());
            timer->SetCallBackMode(cmThread);
            timer->SetEnabled(false);
            timer->SetInterval(500);
            timer->SetOnTimer([&guard](TObject*) { guard.Tick(); });
            timer->SetWaitForTerminate(true);
        }
        view.Timer = timer.get();
        try {
            guard.LoadAtStart();
        } catch (...) {
            application.HandleException(nullptr);
            guard.ProtectedUrl = view.AddressText();
        }
        std::printf("Startwacht bewacht die Startseite \"%s\".\n", guard.ProtectedUrl.c_str());
        std::fflush(stdout);
        view.SetGuardTimer(true);
        application.Run();
        view.Timer = nullptr;
        return 0;
    } catch (...) {
        application.HandleException(nullptr);
        return 1;
    }
}
