// Runs the guard check twice a second from a console, with the settings of
// the main window held in plain variables: the guard's working core without
// its window.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "BrowserQuery.h"
#include "Guard.h"
#include "framework/Application.h"
#include "framework/StrUtils.h"

namespace {

using namespace sw;

class ConsoleView final : public guard::IGuardView {
public:
    guard::TGuard* Guard = nullptr;

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
    void SetGuardTimer(bool on) override { timer_ = on; }
    void ShowMessage(const std::string& text) override {
        std::string shown = text;
        std::replace(shown.begin(), shown.end(), '\r', '\n');
        std::printf("%s\n", shown.c_str());
        std::fflush(stdout);
    }
    bool TimerOn() const { return timer_; }

private:
    std::string address_ = "about:blank";
    bool log_ = false;
    bool report_ = false;
    std::string maximum_ = "100";
    TStringList lines_;
    bool timer_ = false;
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
        try {
            guard.LoadAtStart();
        } catch (...) {
            application.HandleException(nullptr);
            guard.ProtectedUrl = view.AddressText();
        }
        std::printf("Startwacht bewacht die Startseite \"%s\".\n", guard.ProtectedUrl.c_str());
        std::fflush(stdout);
        view.SetGuardTimer(true);
        for (;;) {
            const DWORD until = ::GetTickCount() + 500;
            while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
                application.ProcessMessages();
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::max<LONG>(0, until - ::GetTickCount()),
                                            QS_ALLINPUT);
            }
            try {
                if (view.TimerOn()) guard.Tick();
            } catch (...) {
                application.HandleException(nullptr);
            }
        }
    } catch (...) {
        application.HandleException(nullptr);
        return 1;
    }
}
