// How fast the guard on its 500 ms timer undoes a change of the start page
// made by another process, and whether the process's handles and threads
// stay level while it runs. Prints figures; passes or fails nothing.
//
// The program starts a copy of itself as the "changer": that process writes a
// foreign address into "Start Page" at irregular moments and polls the value
// every millisecond until the guard has restored it, measuring the delay. The
// guard runs here exactly as in the program (cmThread, synchronised, 500 ms,
// WaitForTerminate), but offline, so no browser query is part of the figure,
// and with its log file in a folder of its own.
//
//   GuardTimerBench.exe [changes]     (default 200 changes)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/Guard.h"
#include "app/StartPage.h"
#include "framework/Application.h"
#include "framework/Strings.h"
#include "tests/support/ProcessCounts.h"
#include "timer/HiResTimer.h"

namespace {

using namespace sw;

constexpr char kMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr char kValue[] = "Start Page";
constexpr char kProtected[] = "about:bench-protected";
constexpr int kMinTicks = 200;

std::string ReadValue(HKEY key) {
    char data[512] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    if (::RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return {};
    return std::string(data);
}

// The changer: writes, then measures until the protected address is back.
int RunChanger(int changes, const std::string& resultPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 2;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::ofstream out(resultPath);
    std::srand(::GetCurrentProcessId());
    for (int i = 0; i < changes; ++i) {
        // An irregular moment, so the changes fall on every phase of the period.
        ::Sleep(100 + std::rand() % 500);
        const std::string foreign = "about:bench-foreign-" + std::to_string(i);
        LARGE_INTEGER start, now;
        ::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                         static_cast<DWORD>(foreign.size() + 1));
        ::QueryPerformanceCounter(&start);
        double delayMs = -1;
        for (;;) {
            ::QueryPerformanceCounter(&now);
            const double elapsed = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                                   static_cast<double>(frequency.QuadPart);
            if (ReadValue(key) == kProtected) {
                delayMs = elapsed;
                break;
            }
            if (elapsed > 10000) break;  // not restored: reported as a miss
            ::Sleep(1);
        }
        out << delayMs << '\n';
    }
    ::RegCloseKey(key);
    return 0;
}

class BenchView final : public guard::IGuardView {
public:
    THiResTimer* Timer = nullptr;
    std::string AddressText() const override { return kProtected; }
    void SetAddressText(const std::string&) override {}
    bool LogSwitch() const override { return true; }
    void SetLogSwitch(bool) override {}
    bool ReportSwitch() const override { return false; }
    void SetReportSwitch(bool) override {}
    int32_t MaxEntries() const override { return 100; }
    void SetMaxEntries(int32_t) override {}
    TStrings& Log() override { return lines_; }
    void LogLinesRemoved() override {}
    void SetGuardTimer(bool on) override {
        if (Timer) Timer->SetEnabled(on);
    }
    void ShowMessage(const std::string& text) override { std::printf("Meldung: %s\n", text.c_str()); }

private:
    TStringList lines_;
};

std::string ProgramPath() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string TempFolder() {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "GuardTimerBench." + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

int RunGuard(int changes) {
    TApplication application;
    application.SetTitle("Startwacht");
    application.OnException = [](TObject*, const std::string& message) {
        std::printf("Fehler: %s\n", message.c_str());
    };

    HKEY key = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const std::string original = ReadValue(key);

    const std::string folder = TempFolder();
    BenchView view;
    guard::TGuard guard(view);
    guard.SystemDir = folder;
    guard.ProtectedUrl = kProtected;
    guard.IsOnline = [] { return false; };
    guard::WriteStartPage(kProtected);

    int ticks = 0;
    auto timer = std::make_unique<THiResTimer>(nullptr);
    timer->SetCallBackMode(cmThread);
    timer->SetEnabled(false);
    timer->SetInterval(500);
    timer->SetOnTimer([&](TObject*) {
        ++ticks;
        guard.Tick();
    });
    timer->SetWaitForTerminate(true);
    view.Timer = timer.get();
    timer->SetEnabled(true);

    // Figures at the start are taken once the timer has ticked.
    while (ticks < 1) application.HandleMessage();
    const DWORD handlesAtStart = sw::test::ProcessHandleCount();
    const DWORD threadsAtStart = sw::test::ProcessThreadCount();

    const std::string results = folder + "\\delays.txt";
    std::string command = '"' + ProgramPath() + "\" --changer " + std::to_string(changes) + " \"" + results + '"';
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("Der Änderer startet nicht.\n");
        return 1;
    }
    ::CloseHandle(pi.hThread);
    for (;;) {
        application.ProcessMessages();
        if (::MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    }
    ::CloseHandle(pi.hProcess);
    while (ticks < kMinTicks) application.HandleMessage();

    const DWORD handlesAtEnd = sw::test::ProcessHandleCount();
    const DWORD threadsAtEnd = sw::test::ProcessThreadCount();
    view.Timer = nullptr;
    timer.reset();

    std::vector<double> delays;
    int misses = 0;
    std::ifstream in(results);
    for (double d; in >> d;) {
        if (d < 0)
            ++misses;
        else
            delays.push_back(d);
    }
    const double mean = delays.empty() ? 0 : std::accumulate(delays.begin(), delays.end(), 0.0) / delays.size();
    const double worst = delays.empty() ? 0 : *std::max_element(delays.begin(), delays.end());

    std::printf("guard timer (%d bit): %d ticks, %zu changes restored, %d not restored within 10 s\n",
                static_cast<int>(sizeof(void*) * 8), ticks, delays.size(), misses);
    std::printf("  delay change -> restored: mean %.1f ms, worst %.1f ms\n", mean, worst);
    std::printf("  handles: %lu at start, %lu at end\n", static_cast<unsigned long>(handlesAtStart),
                static_cast<unsigned long>(handlesAtEnd));
    std::printf("  threads: %lu at start, %lu at end\n", static_cast<unsigned long>(threadsAtStart),
                static_cast<unsigned long>(threadsAtEnd));

    ::DeleteFileA(results.c_str());
    ::DeleteFileA((folder + "\\tburl.vxd").c_str());
    ::RemoveDirectoryA(folder.c_str());
    if (original.empty())
        ::RegDeleteValueA(key, kValue);
    else
        ::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(original.c_str()),
                         static_cast<DWORD>(original.size() + 1));
    ::RegCloseKey(key);
    return misses == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--changer") return RunChanger(std::atoi(argv[2]), argv[3]);
    const int changes = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 200;
    return RunGuard(changes);
}
