// Startwacht's start and its guard tick, measured inside the program's own
// run (the same start-up as Startwacht.exe):
//   - the time from the process's creation to the main window and to the
//     first guard tick (the guarded key's first opening once the window is
//     made: from then on a change is answered), each start in a fresh
//     process of its own, with logs of 0, 100 and 10,000 lines; and how long
//     loading that log into the list of the (hidden) main window takes;
//   - what one idle tick costs (the value matches): registry calls, file
//     operations and bytes, window updates and sent messages, and its time;
//   - the same for one tick that sees an attempt (logging on, reporting
//     off, offline, so no browser is asked), with 100 and with 10,000 lines
//     in the log, and of that the list's insert and trim and the log file's
//     write on their own;
//   - single foreign writes at random moments, offline, answered through the
//     registry watch and by the timer alone: write to restored value;
//   - a hostile writer: another process rewrites the value 100 times a
//     second while the guard runs on its own timer; afterwards the log file
//     is compared with the log list, and the process's handles, threads and
//     working set before and after are printed.
//
//   StartwachtBench.exe [hostile-seconds]      (default 30)
//   StartwachtBench.exe --only start|ticks|hostile|single [hostile-seconds]
//                                              (one part alone)
// The calls are counted by redirecting this program's imports of the
// Windows functions to counting wrappers. Settings, log and the registry
// value are put back as they were. Figures only; nothing passes or fails.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <psapi.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>
#include <algorithm>
#include <atomic>
#include <mutex>

#include "app/BrowserQuery.h"
#include "tests/app/AskBrowser.h"
#include "app/Program.h"
#include "app/StartPage.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Synchronize.h"
#include "framework/TextLines.h"
#include "tests/support/ProcessCounts.h"

using namespace sw;

namespace {

constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

// ------------------------------------------------------------ counted calls

struct Counts {
    long regOpen = 0, regQuery = 0, regClose = 0, regSet = 0;
    long fileOpen = 0, fileRead = 0, fileWrite = 0;
    unsigned long long bytesRead = 0, bytesWritten = 0;
    long invalidate = 0, redraw = 0, update = 0, sent = 0;
    long Registry() const { return regOpen + regQuery + regClose + regSet; }
    Counts& operator+=(const Counts& o) {
        regOpen += o.regOpen, regQuery += o.regQuery, regClose += o.regClose, regSet += o.regSet;
        fileOpen += o.fileOpen, fileRead += o.fileRead, fileWrite += o.fileWrite;
        bytesRead += o.bytesRead, bytesWritten += o.bytesWritten;
        invalidate += o.invalidate, redraw += o.redraw, update += o.update, sent += o.sent;
        return *this;
    }
    long WindowUpdates() const { return invalidate + redraw + update; }
};
Counts counts;
bool counting = false;

// Set once the main window exists: the next opening of the guarded key is
// the first tick's.
bool awaitingFirstTick = false;
std::chrono::steady_clock::time_point firstTick;

// A trace of what the guard did around single writes: each foreign write
// and its restoration, the start and end of each cycle (through the watch or
// the timer), and each write-back; for the slow writes' causes.
struct TraceEvent {
    double at;  // ms since the trace began
    char kind;  // W write, R restored, w/x watch cycle start/end, t/u timer cycle start/end, b write-back
};
std::mutex traceLock;
std::vector<TraceEvent> trace;
std::atomic<bool> tracing{false};
std::chrono::steady_clock::time_point traceStart;
void Trace(char kind) {
    if (!tracing) return;
    const double at = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - traceStart).count();
    std::lock_guard<std::mutex> hold(traceLock);
    trace.push_back({at, kind});
}

decltype(&::RegOpenKeyExA) realRegOpenKeyExA;
decltype(&::RegQueryValueExA) realRegQueryValueExA;
decltype(&::RegCloseKey) realRegCloseKey;
decltype(&::RegSetValueExA) realRegSetValueExA;
decltype(&::RegQueryValueExW) realRegQueryValueExW;
decltype(&::RegSetValueExW) realRegSetValueExW;
decltype(&::CreateFileA) realCreateFileA;
decltype(&::ReadFile) realReadFile;
decltype(&::WriteFile) realWriteFile;
decltype(&::InvalidateRect) realInvalidateRect;
decltype(&::RedrawWindow) realRedrawWindow;
decltype(&::UpdateWindow) realUpdateWindow;
decltype(&::SendMessageA) realSendMessageA;

LONG WINAPI CountRegOpenKeyExA(HKEY root, LPCSTR key, DWORD options, REGSAM access, PHKEY result) {
    if (awaitingFirstTick && key && std::strcmp(key, kMainKey) == 0) {
        awaitingFirstTick = false;
        firstTick = std::chrono::steady_clock::now();
        if (Application) Application->Terminate();
    }
    if (counting) ++counts.regOpen;
    return realRegOpenKeyExA(root, key, options, access, result);
}
LONG WINAPI CountRegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (counting) ++counts.regQuery;
    return realRegQueryValueExA(key, name, reserved, type, data, size);
}
LONG WINAPI CountRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (counting) ++counts.regQuery;
    Trace('r');
    return realRegQueryValueExW(key, name, reserved, type, data, size);
}
LONG WINAPI CountRegCloseKey(HKEY key) {
    if (counting) ++counts.regClose;
    return realRegCloseKey(key);
}
LONG WINAPI CountRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (counting) ++counts.regSet;
    return realRegSetValueExA(key, name, reserved, type, data, size);
}
LONG WINAPI CountRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (counting) ++counts.regSet;
    const LONG result = realRegSetValueExW(key, name, reserved, type, data, size);
    Trace('b');
    return result;
}
HANDLE WINAPI CountCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                               DWORD flags, HANDLE templateFile) {
    if (counting) ++counts.fileOpen;
    return realCreateFileA(name, access, share, security, creation, flags, templateFile);
}
BOOL WINAPI CountReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    const BOOL ok = realReadFile(file, buffer, size, read, overlapped);
    if (counting) {
        ++counts.fileRead;
        if (ok && read) counts.bytesRead += *read;
    }
    return ok;
}
BOOL WINAPI CountWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    const BOOL ok = realWriteFile(file, buffer, size, written, overlapped);
    if (counting) {
        ++counts.fileWrite;
        if (ok && written) counts.bytesWritten += *written;
    }
    return ok;
}
BOOL WINAPI CountInvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (counting) ++counts.invalidate;
    return realInvalidateRect(window, rect, erase);
}
BOOL WINAPI CountRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags) {
    if (counting) ++counts.redraw;
    return realRedrawWindow(window, rect, region, flags);
}
BOOL WINAPI CountUpdateWindow(HWND window) {
    if (counting) ++counts.update;
    return realUpdateWindow(window);
}
LRESULT WINAPI CountSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (counting) ++counts.sent;
    return realSendMessageA(window, message, wParam, lParam);
}

// Points this program's import of `name` from kernel32 (imported when the
// process starts) at `wrapper`; gives the original.
template <typename F>
bool Redirect(const char* name, F wrapper, F& original) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
            DWORD old = 0;
            ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            original = reinterpret_cast<F>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(wrapper);
            ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

// The other system libraries are imported late: each call goes through the
// function's import pointer, which first leads to the late loader and then
// to the function. Pointing it at `wrapper` counts every call; the original
// comes from the library in the system directory, where the late loader
// takes it from too.
#ifdef _WIN64
#define LATE_IMPORT(name, argumentBytes) asm("__imp_" #name)
#else
#define LATE_IMPORT(name, argumentBytes) asm("__imp__" #name "@" #argumentBytes)
#endif
extern "C" {
extern void* lateRegOpenKeyExA LATE_IMPORT(RegOpenKeyExA, 20);
extern void* lateRegQueryValueExA LATE_IMPORT(RegQueryValueExA, 24);
extern void* lateRegCloseKey LATE_IMPORT(RegCloseKey, 4);
extern void* lateRegSetValueExA LATE_IMPORT(RegSetValueExA, 24);
extern void* lateRegQueryValueExW LATE_IMPORT(RegQueryValueExW, 24);
extern void* lateRegSetValueExW LATE_IMPORT(RegSetValueExW, 24);
extern void* lateInvalidateRect LATE_IMPORT(InvalidateRect, 12);
extern void* lateRedrawWindow LATE_IMPORT(RedrawWindow, 16);
extern void* lateUpdateWindow LATE_IMPORT(UpdateWindow, 4);
extern void* lateSendMessageA LATE_IMPORT(SendMessageA, 16);
}

template <typename F>
bool RedirectLate(void*& slot, const char* library, const char* name, F wrapper, F& original) {
    const HMODULE module = ::LoadLibraryA(library);
    original = module ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
    if (!original) return false;
    DWORD old = 0;
    ::VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &old);
    slot = reinterpret_cast<void*>(wrapper);
    ::VirtualProtect(&slot, sizeof slot, old, &old);
    return true;
}

bool RedirectAll() {
    bool ok = true;
    const char* advapi = "advapi32.dll";
    const char* user = "user32.dll";
    ok &= RedirectLate(lateRegOpenKeyExA, advapi, "RegOpenKeyExA", &CountRegOpenKeyExA, realRegOpenKeyExA);
    ok &= RedirectLate(lateRegQueryValueExA, advapi, "RegQueryValueExA", &CountRegQueryValueExA, realRegQueryValueExA);
    ok &= RedirectLate(lateRegCloseKey, advapi, "RegCloseKey", &CountRegCloseKey, realRegCloseKey);
    ok &= RedirectLate(lateRegSetValueExA, advapi, "RegSetValueExA", &CountRegSetValueExA, realRegSetValueExA);
    // The guarded value is read and written in UTF-16.
    ok &= RedirectLate(lateRegQueryValueExW, advapi, "RegQueryValueExW", &CountRegQueryValueExW, realRegQueryValueExW);
    ok &= RedirectLate(lateRegSetValueExW, advapi, "RegSetValueExW", &CountRegSetValueExW, realRegSetValueExW);
    ok &= RedirectLate(lateInvalidateRect, user, "InvalidateRect", &CountInvalidateRect, realInvalidateRect);
    ok &= RedirectLate(lateRedrawWindow, user, "RedrawWindow", &CountRedrawWindow, realRedrawWindow);
    ok &= RedirectLate(lateUpdateWindow, user, "UpdateWindow", &CountUpdateWindow, realUpdateWindow);
    ok &= RedirectLate(lateSendMessageA, user, "SendMessageA", &CountSendMessageA, realSendMessageA);
    ok &= Redirect("CreateFileA", &CountCreateFileA, realCreateFileA);
    ok &= Redirect("ReadFile", &CountReadFile, realReadFile);
    ok &= Redirect("WriteFile", &CountWriteFile, realWriteFile);
    return ok;
}

// ------------------------------------------------------------ saved state


std::optional<std::string> ReadAll(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string data(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!data.empty()) ::ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    ::CloseHandle(file);
    return data;
}

void Restore(const std::string& path, const std::optional<std::string>& data) {
    if (!data) {
        ::DeleteFileA(path.c_str());
        return;
    }
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, data->data(), static_cast<DWORD>(data->size()), &written, nullptr);
    ::CloseHandle(file);
}

// The registry value as stored (type and bytes), or nothing.
struct StoredValue {
    DWORD type = REG_NONE;
    std::string data;
};

std::optional<StoredValue> ReadValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    std::optional<StoredValue> result;
    if (::RegQueryValueExA(key, "Start Page", nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (::RegQueryValueExA(key, "Start Page", nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                               &size) == ERROR_SUCCESS)
            result = value;
    }
    ::RegCloseKey(key);
    return result;
}

void RestoreValue(const std::optional<StoredValue>& value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (value)
        ::RegSetValueExA(key, "Start Page", 0, value->type, reinterpret_cast<const BYTE*>(value->data.data()),
                         static_cast<DWORD>(value->data.size()));
    else
        ::RegDeleteValueA(key, "Start Page");
    ::RegCloseKey(key);
}

double Since(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Milliseconds from the process's creation until now.
double ProcessAgeMs() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

// CPU time of the whole process so far, in milliseconds.
double ProcessCpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

SIZE_T WorkingSetKb() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory) ? memory.WorkingSetSize / 1024 : 0;
}

// The hostile writer, run as a process of its own: a new address 100 times a
// second for the given time.
int RunWriter(int seconds) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return 2;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (int n = 0; std::chrono::steady_clock::now() < until; ++n) {
        const std::string url = "about:hostile-" + std::to_string(n);
        ::RegSetValueExA(key, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                         static_cast<DWORD>(url.size() + 1));
        ::Sleep(10);
    }
    ::RegCloseKey(key);
    return 0;
}

// A log of `count` lines as the guard writes them, newest first.
std::string LogOf(int count) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count));
    for (int i = count; i > 0; --i)
        lines.push_back("09.12.2026 10:" + std::to_string(10 + i % 50) + ":00>>" +
                        (i % 3 ? "Ein Offline-B\xF6sewicht" : "Ein unbekanntes Subjekt...") +
                        " >>Startpage:http://www.example.com/start-" + std::to_string(i));
    return JoinTextLines(lines);
}

// Runs this program again with the given arguments on the same output and
// waits for it.
void RunSelf(const std::string& arguments) {
    char self[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = "\"" + std::string(self) + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && h != INVALID_HANDLE_VALUE) ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    PROCESS_INFORMATION pi{};
    std::fflush(stdout);
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("  could not start %s\n", arguments.c_str());
        return;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

void PrintTick(const char* what, const Counts& c, int ticks, double ms) {
    const double n = ticks;
    std::printf("%s, per tick (%d ticks):\n", what, ticks);
    std::printf("  registry calls     %.1f (open %.1f, query %.1f, set %.1f, close %.1f)\n", c.Registry() / n,
                c.regOpen / n, c.regQuery / n, c.regSet / n, c.regClose / n);
    std::printf("  file operations    %.1f opened, %.1f reads, %.1f writes; %.1f bytes read, %.1f bytes written\n",
                c.fileOpen / n, c.fileRead / n, c.fileWrite / n, c.bytesRead / n, c.bytesWritten / n);
    std::printf("  window updates     %.1f (invalidate %.1f, redraw %.1f, update %.1f); %.1f messages sent\n",
                c.WindowUpdates() / n, c.invalidate / n, c.redraw / n, c.update / n, c.sent / n);
    std::printf("  time               %.3f ms\n", ms / n);
}

// For each of the slowest writes: how long it stood, whether a cycle was
// running when it came (and how much of that cycle was still to run), which
// cycle answered it and how long after the write that cycle began, and when
// the value was written back.
void PrintSlowestWrites(const std::vector<TraceEvent>& events, size_t shown) {
    struct Write {
        double at, restored;
    };
    std::vector<Write> writes;
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == 'W') {
            double restored = -1;
            for (size_t j = i + 1; j < events.size(); ++j)
                if (events[j].kind == 'R') {
                    restored = events[j].at;
                    break;
                }
            if (restored >= 0) writes.push_back({events[i].at, restored});
        }
    std::sort(writes.begin(), writes.end(),
              [](const Write& a, const Write& b) { return a.restored - a.at > b.restored - b.at; });
    for (size_t n = 0; n < std::min(shown, writes.size()); ++n) {
        const Write& w = writes[n];
        // The cycle running at the write: the last start before it without
        // an end before it.
        std::string running = "none";
        char open = 0;
        double openedAt = 0;
        for (const TraceEvent& e : events) {
            if (e.at > w.at) break;
            if (e.kind == 'w' || e.kind == 't') {
                open = e.kind;
                openedAt = e.at;
            } else if (e.kind == 'x' || e.kind == 'u') {
                open = 0;
            }
        }
        if (open) {
            double endsAt = -1;
            for (const TraceEvent& e : events)
                if (e.at > w.at && (e.kind == 'x' || e.kind == 'u')) {
                    endsAt = e.at;
                    break;
                }
            char text[128];
            std::snprintf(text, sizeof text, "a %s cycle begun %.1f ms before, ending %.1f ms after", 
                          open == 'w' ? "watch" : "timer", w.at - openedAt, endsAt - w.at);
            running = text;
        }
        std::string answered = "?";
        double writtenBack = -1, read = -1;
        for (const TraceEvent& e : events) {
            if (e.at <= w.at) continue;
            if (e.kind == 'b' && writtenBack < 0) writtenBack = e.at - w.at;
            if (e.kind == 'r' && read < 0 && answered != "?") read = e.at - w.at;
            if ((e.kind == 'w' || e.kind == 't') && answered == "?") {
                char text[96];
                std::snprintf(text, sizeof text, "by a %s cycle begun %.1f ms after the write",
                              e.kind == 'w' ? "watch" : "timer", e.at - w.at);
                answered = text;
            }
            if (e.at > w.restored) break;
        }
        std::printf("    %.1f ms: cycle running at the write: %s; answered %s; value read after %.1f ms, "
                    "written back after %.1f ms\n",
                    w.restored - w.at, running.c_str(), answered.c_str(), read, writtenBack);
        // The parts of the cycle that was running: the online check and the
        // browser query.
        if (open) {
            double o = -1, q = -1, at = 0;
            for (const TraceEvent& e : events) {
                if (e.at < openedAt) continue;
                if (e.kind == 'o' || e.kind == 'q') at = e.at;
                if (e.kind == 'O' && o < 0) o = e.at - at;
                if (e.kind == 'Q' && q < 0) q = e.at - at;
                if (e.kind == 'x' || e.kind == 'u') break;
            }
            std::printf("      of the running cycle: online check %.1f ms, handing the browser query over %.1f ms\n", o, q);
        }
    }
}

// One start in this process, with the log that the parent put in place.
int StartChild(std::chrono::steady_clock::time_point entered, double ageAtEntry, const std::string& logPath,
               int lines) {
    double windowReadyMs = 0;
    int listed = 0;
    RunStartwacht([&](TForm1& f) {
        windowReadyMs = Since(entered, std::chrono::steady_clock::now());
        listed = f.TextListBox1->Items().Count();
        awaitingFirstTick = true;
    });
    const double firstTickMs = Since(entered, firstTick);
    std::printf("  log of %5d lines: process creation to first guard tick %6.1f ms (to program entry %.1f, "
                "entry to main window %.1f, to first tick %.1f); %d lines in the list\n",
                lines, ageAtEntry + firstTickMs, ageAtEntry, windowReadyMs, firstTickMs, listed);
    // The same log put into the list of the main window once more, as the
    // start does it (the window hidden, as it is at start).
    RunStartwacht([&](TForm1& f) {
        f.RegistryWatch1->SetEnabled(false);
        f.HiResTimer1->SetEnabled(false);
        const auto read = std::chrono::steady_clock::now();
        const auto text = ReadAll(logPath);
        const std::vector<std::string> log = SplitTextLines(text.value_or(""));
        const double readMs = Since(read, std::chrono::steady_clock::now());
        f.TextListBox1->Items().Clear();
        const auto fill = std::chrono::steady_clock::now();
        f.TextListBox1->Items().Assign(log);
        const double fillMs = Since(fill, std::chrono::steady_clock::now());
        std::printf("  log of %5d lines into the list of the hidden main window: %.1f ms (reading and splitting "
                    "the file %.1f ms; the list's window %s)\n",
                    lines, fillMs, readMs, f.TextListBox1->HandleAllocated() ? "exists" : "is not made yet");
        Application->Terminate();
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--writer") == 0) return RunWriter(std::atoi(argv[2]));
    const bool startChild = argc > 2 && std::strcmp(argv[1], "--start-child") == 0;
    const char* only = argc > 2 && std::strcmp(argv[1], "--only") == 0 ? argv[2] : nullptr;
    const auto part = [&](const char* name) { return !only || std::strcmp(only, name) == 0; };
    const int secondsArgument = only ? 3 : 1;
    const int hostileSeconds = argc > secondsArgument ? std::max(1, std::atoi(argv[secondsArgument])) : 30;
    const auto entered = std::chrono::steady_clock::now();
    const double ageAtEntry = ProcessAgeMs();
    if (!RedirectAll()) {
        std::printf("Die Aufrufe lassen sich nicht umleiten.\n");
        return 1;
    }
    char directory[MAX_PATH + 1] = {};
    ::GetSystemDirectoryA(directory, sizeof directory);
    const std::string settingsPath = std::string(directory) + "\\spurl.vxd";
    const std::string logPath = std::string(directory) + "\\tburl.vxd";
    if (startChild) return StartChild(entered, ageAtEntry, logPath, std::atoi(argv[2]));
    const auto settings = ReadAll(settingsPath);
    const auto log = ReadAll(logPath);
    const auto startPage = ReadValue();

    // First: the start as it is, until the first guard tick, each in a
    // fresh process; logging on, reporting off, maximum 10,000.
    if (part("start")) std::printf("Start, each in a process of its own:\n");
    for (const int lines : {0, 100, 10000}) {
        if (!part("start")) break;
        RestoreValue(StoredValue{REG_SZ, std::string("about:bench") + '\0'});
        Restore(settingsPath, std::string("about:bench\r\n1010000\r\n"));
        Restore(logPath, LogOf(lines));
        RunSelf("--start-child " + std::to_string(lines));
    }
    Restore(settingsPath, settings);
    Restore(logPath, log);
    RestoreValue(startPage);

    // Second run: ticks called one after the other, with the guard's own
    // timer switched off in between.
    if (part("ticks")) RunStartwacht([&](TForm1& f) {
        f.HiResTimer1->SetEnabled(false);
        guard::TGuard& guard = f.Guard();
        guard.IsOnline = [] { return false; };
        const int idleTicks = 2000;
        counts = Counts{};
        counting = true;
        const double cpuBefore = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < idleTicks; ++i) f.HiResTimer1Timer(nullptr);
        const double idleMs = Since(start, std::chrono::steady_clock::now());
        const double idleCpuMs = ProcessCpuMs() - cpuBefore;
        counting = false;
        f.HiResTimer1->SetEnabled(false);
        PrintTick("Idle tick (the value matches)", counts, idleTicks, idleMs);
        std::printf("  CPU time           %.3f ms\n", idleCpuMs / idleTicks);
        // Of that, the timer's switching off and on around the check.
        const auto switching = std::chrono::steady_clock::now();
        for (int i = 0; i < idleTicks; ++i) {
            f.HiResTimer1->SetEnabled(false);
            f.HiResTimer1->SetEnabled(true);
        }
        f.HiResTimer1->SetEnabled(false);
        std::printf("  of which the timer  %.3f ms (switched off and on)\n",
                    Since(switching, std::chrono::steady_clock::now()) / idleTicks);

        // Attempts: logging on, reporting off, a log of 100 and of 10,000
        // lines kept at that maximum, so that each attempt adds one line and
        // trims one; the window hidden as it is in the notification area,
        // and the 10,000 lines once more with the window open.
        f.CheckBox3->SetChecked(false);
        f.CheckBox2->SetChecked(true);
        const std::string protectedUrl = guard.ProtectedUrl;
        const auto attemptsWith = [&](int lines, bool shown) {
            f.SpinEdit1->SetValue(lines);
            if (shown) {
                f.SetWindowState(wsNormal);
                f.SetVisible(true);
            }
            f.TextListBox1->Items().Assign(SplitTextLines(LogOf(lines)));
            const int attempts = 50;
            Counts attemptCounts;
            double attemptMs = 0;
            for (int i = 0; i < attempts; ++i) {
                HKEY key = nullptr;
                if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                    const std::string foreign = "about:fremd" + std::to_string(i);
                    ::RegSetValueExA(key, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                                     static_cast<DWORD>(foreign.size() + 1));
                    ::RegCloseKey(key);
                }
                counts = Counts{};
                counting = true;
                const auto t = std::chrono::steady_clock::now();
                f.HiResTimer1Timer(nullptr);
                attemptMs += Since(t, std::chrono::steady_clock::now());
                counting = false;
                attemptCounts += counts;
            }
            f.HiResTimer1->SetEnabled(false);
            const std::string what = "Tick with an attempt (logged, " + std::to_string(lines) +
                                     "-line log, not reported, offline, window " + (shown ? "open" : "hidden") + ")";
            PrintTick(what.c_str(), attemptCounts, attempts, attemptMs);
            // Its parts on their own: the list's insert and trim, the log
            // file's write.
            const auto list = std::chrono::steady_clock::now();
            for (int i = 0; i < attempts; ++i) {
                f.TextListBox1->Items().Insert(0, "09.12.2026 11:00:00>>Ein Offline-B\xF6sewicht >>Startpage:about:x");
                guard.TrimLog();
            }
            const double listMs = Since(list, std::chrono::steady_clock::now()) / attempts;
            const auto file = std::chrono::steady_clock::now();
            for (int i = 0; i < attempts; ++i) guard.SaveLog();
            const double fileMs = Since(file, std::chrono::steady_clock::now()) / attempts;
            std::printf("  of which list insert and trim %.3f ms, log file write %.3f ms\n", listMs, fileMs);
            if (shown) f.SetVisible(false);
        };
        // The cycle's question to the browser, as the program asks it when
        // the machine is online (no browser answers in a test prefix).
        {
            const auto online = std::chrono::steady_clock::now();
            for (int i = 0; i < 5; ++i) guard::IsOnline();
            const double onlineMs = Since(online, std::chrono::steady_clock::now()) / 5;
            const auto query = std::chrono::steady_clock::now();
            for (int i = 0; i < 5; ++i) test::AskBrowser("IEXPLORE");
            const double queryMs = Since(query, std::chrono::steady_clock::now()) / 5;
            std::printf("Offender query: online check %.1f ms, browser query without a browser %.1f ms\n", onlineMs,
                        queryMs);
        }
        attemptsWith(100, false);
        attemptsWith(10000, false);
        attemptsWith(10000, true);
        guard.ProtectedUrl = protectedUrl;
        Application->Terminate();
    });
    // Third run: the guard on its own timer against a hostile writer.
    if (part("hostile")) RunStartwacht([&](TForm1& f) {
        f.CheckBox3->SetChecked(false);
        f.CheckBox2->SetChecked(true);
        f.SpinEdit1->SetValue(20);
        f.Guard().IsOnline = [] { return false; };
        std::thread([&] {
            // Figures are taken at the same phase before and after: the
            // guard idle for two seconds.
            ::Sleep(2000);
            DWORD handlesBefore = 0, threadsBefore = 0;
            SIZE_T memoryBefore = 0;
            HANDLE process = nullptr;
            Synchronize([&] {
                handlesBefore = sw::test::ProcessHandleCount();
                threadsBefore = sw::test::ProcessThreadCount();
                memoryBefore = WorkingSetKb();
                char self[MAX_PATH + 1] = {};
                ::GetModuleFileNameA(nullptr, self, MAX_PATH);
                std::string line = "\"" + std::string(self) + "\" --writer " + std::to_string(hostileSeconds);
                STARTUPINFOA si{};
                si.cb = sizeof si;
                PROCESS_INFORMATION pi{};
                if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
                    std::printf("hostile writer could not start\n");
                    Application->Terminate();
                    return;
                }
                ::CloseHandle(pi.hThread);
                process = pi.hProcess;
            });
            if (!process) return;
            ::WaitForSingleObject(process, INFINITE);
            ::CloseHandle(process);
            // Within one period the guard has the last word; how soon is
            // measured from outside (ProgramBench). Here only whether it has.
            ::Sleep(2600);
            Synchronize([&] {
                const bool held = f.Guard().ProtectedUrl == guard::ReadStartPage();
                std::ifstream in(logPath, std::ios::binary);
                const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                const auto lines = SplitTextLines(file);
                const bool equal = lines == f.TextListBox1->Items().ToVector();
                std::printf("Hostile writer (100 writes a second for %d s, maximum 20 log lines):\n", hostileSeconds);
                std::printf("  value protected after the writer stopped: %s\n", held ? "yes" : "NO");
                std::printf("  log %zu lines, log file equals the list: %s\n", lines.size(), equal ? "yes" : "NO");
                std::printf("  handles %lu -> %lu, threads %lu -> %lu, working set %lu -> %lu KB\n", handlesBefore,
                            sw::test::ProcessHandleCount(), threadsBefore, sw::test::ProcessThreadCount(),
                            static_cast<unsigned long>(memoryBefore), static_cast<unsigned long>(WorkingSetKb()));
                Application->Terminate();
            });
        }).detach();
    });
    // Fourth to sixth run: single foreign writes at random moments, answered
    // through the watch as the program runs (online, the browser asked),
    // then offline (no browser is asked, so the cycle's own work is what is
    // measured) through the watch and by the timer alone.
    struct SingleRun {
        bool watch, online;
    };
    for (const SingleRun run : {SingleRun{true, true}, SingleRun{true, false}, SingleRun{false, false}}) {
        if (!part("single")) break;
        const bool watch = run.watch;
        const bool online = run.online;
        RunStartwacht([&](TForm1& f) {
            f.CheckBox3->SetChecked(false);
            f.CheckBox2->SetChecked(true);
            if (!online) f.Guard().IsOnline = [] { return false; };
            const auto isOnline = f.Guard().IsOnline;
            f.Guard().IsOnline = [isOnline] {
                Trace('o');
                const bool result = isOnline();
                Trace('O');
                return result;
            };
            const auto query = f.Guard().StartQuery;
            f.Guard().StartQuery = [query](const std::string& service) {
                Trace('q');
                const bool started = query(service);
                Trace('Q');
                return started;
            };
            if (!watch) f.RegistryWatch1->SetEnabled(false);
            const auto watchChange = f.RegistryWatch1->OnChange;
            f.RegistryWatch1->OnChange = [watchChange](TObject* sender) {
                Trace('w');
                watchChange(sender);
                Trace('x');
            };
            const auto timerTick = f.HiResTimer1->OnTimer();
            f.HiResTimer1->SetOnTimer([timerTick](TObject* sender) {
                Trace('t');
                timerTick(sender);
                Trace('u');
            });
            std::thread([&f, watch, online] {
                ::Sleep(2000);
                std::string protectedUrl;
                Synchronize([&] { protectedUrl = f.Guard().ProtectedUrl; });
                HKEY key = nullptr;
                ::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_ALL_ACCESS, &key);
                std::vector<double> delays;
                srand(4711);
                {
                    std::lock_guard<std::mutex> hold(traceLock);
                    trace.clear();
                }
                traceStart = std::chrono::steady_clock::now();
                tracing = true;
                for (int i = 0; i < 100 && key; ++i) {
                    ::Sleep(50 + rand() % 250);
                    const std::string url = "about:einzeln-" + std::to_string(i);
                    Trace('W');
                    ::RegSetValueExA(key, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                                     static_cast<DWORD>(url.size() + 1));
                    const auto written = std::chrono::steady_clock::now();
                    for (;;) {
                        char data[512] = {};
                        DWORD size = sizeof data - 1;
                        if (::RegQueryValueExA(key, "Start Page", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                               &size) == ERROR_SUCCESS &&
                            protectedUrl == data)
                            break;
                        if (Since(written, std::chrono::steady_clock::now()) > 5000) break;
                        ::Sleep(0);
                    }
                    Trace('R');
                    delays.push_back(Since(written, std::chrono::steady_clock::now()));
                }
                tracing = false;
                if (key) ::RegCloseKey(key);
                std::sort(delays.begin(), delays.end());
                const auto at = [&](size_t percent) {
                    return delays.empty() ? 0.0 : delays[std::min(delays.size() - 1, delays.size() * percent / 100)];
                };
                std::printf("Single writes, %s, answered by %s (%zu writes): median %.1f ms, p99 %.1f ms, "
                            "worst %.1f ms\n",
                            online ? "online" : "offline", watch ? "the watch" : "the timer alone", delays.size(),
                            at(50), at(99), delays.empty() ? 0.0 : delays.back());
                std::lock_guard<std::mutex> hold(traceLock);
                std::printf("  the slowest:\n");
                PrintSlowestWrites(trace, 5);
                Synchronize([] { Application->Terminate(); });
            }).detach();
        });
    }
    Restore(settingsPath, settings);
    RestoreValue(startPage);
    Restore(logPath, log);
    return 0;
}
