// The whole program under load, measured from outside: Startwacht.exe runs as
// a user runs it while this process plays the other programs. Prints figures;
// passes or fails nothing.
//
//   ProgramBench.exe [--hostile SECONDS] [--changes N] [--idle SECONDS]
//                    [--soak SECONDS --attempts N] [--exe PATH]
//   ProgramBench.exe --hung PATH...
//   ProgramBench.exe --pages N
//
// Default run, once for Startwacht.exe and once for StartwachtPeriodic.exe
// (the same program with its registry watch off, built with the benchmarks
// only), figures side by side at the end: restoration delay over N changes
// at random moments; CPU time and wake-ups per idle minute; a hostile writer
// rewriting "Start Page" 100 times a second with up to 10,000 log lines (the
// longest a foreign address stood, CPU share, bytes written to disk, the
// window opened from the tray icon meanwhile); the process's handles,
// threads, GDI and USER objects and working set before and after; the exe's
// size. --soak replaces the default phases by a long idle run of
// Startwacht.exe with attempts spread over it. --exe measures another build
// of the program (an earlier version, say) instead, without the periodic one.
// --hung measures each program named (Startwacht.exe of this build when none
// is) while another program's window handles no messages, so that DDE's
// connect, and with it the browser query, hangs: two foreign writes 3 s
// apart, and the window opened by a click on the icon at moments across the
// query.
// --pages measures the restoration delay of N single writes of the extra
// start pages ("Secondary Start Pages") beside N of the start page, at
// random moments and taking turns, for both programs.
//
// CPU time, wake-ups (context switches of all its threads) and bytes
// written to disk are read from Linux's /proc entry of the program's
// process when it runs under Wine, where the system keeps no such figures
// for another process.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <atomic>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/TextLines.h"
#include "tray/TrayIcon.h"
#include "tests/support/ProcessCounts.h"

namespace {

constexpr char kMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr char kProtected[] = "about:bench";
constexpr double kPeriodMs = 500.0;
constexpr int kMaximum = 20;
// The hostile writer meets a log that may grow to the largest maximum.
constexpr int kHostileMaximum = 10000;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Directory(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

std::string OwnPath() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string SystemDir() {
    char dir[MAX_PATH + 1] = {};
    ::GetSystemDirectoryA(dir, sizeof dir);
    return dir;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class StartPageKey {
public:
    StartPageKey() {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~StartPageKey() {
        if (key_) ::RegCloseKey(key_);
    }
    void Write(const std::string& url) const {
        ::RegSetValueExA(key_, "Start Page", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                         static_cast<DWORD>(url.size() + 1));
    }
    // The extra start pages: one page as a list (REG_MULTI_SZ).
    void WritePages(const std::string& page) const {
        const std::string data = page + '\0' + '\0';
        ::RegSetValueExA(key_, "Secondary Start Pages", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()));
    }
    std::string ReadPages() const {
        char data[1024] = {};
        DWORD type = 0;
        DWORD size = sizeof data - 2;
        if (::RegQueryValueExA(key_, "Secondary Start Pages", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
                ERROR_SUCCESS ||
            type != REG_MULTI_SZ)
            return {};
        return data;  // the first page
    }
    std::string Read() const {
        char data[1024] = {};
        DWORD size = sizeof data - 1;
        if (::RegQueryValueExA(key_, "Start Page", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            return {};
        return data;
    }

private:
    HKEY key_ = nullptr;
};

// Figures of another process.
struct Figures {
    DWORD handles = 0;
    DWORD threads = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    // Where the system keeps no count of GDI and USER objects per process
    // (GetGuiResources reads 0 under Wine): the entries of the process's GDI
    // handle table, and the windows of the process.
    const char* gdiSource = "GetGuiResources";
    const char* userSource = "GetGuiResources";
    SIZE_T workingSetKb = 0;
    double cpuMs = 0;
};

DWORD HandlesOf(DWORD pid) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    struct Entry {
        PVOID Object;
        ULONG_PTR UniqueProcessId;
        ULONG_PTR HandleValue;
        ULONG GrantedAccess;
        USHORT CreatorBackTraceIndex;
        USHORT ObjectTypeIndex;
        ULONG HandleAttributes;
        ULONG Reserved;
    };
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<char> buffer(1 << 18);
    ULONG needed = 0;
    LONG status;
    while ((status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<LONG>(0xC0000004L))
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
    DWORD own = 0;
    for (ULONG_PTR i = 0; i < count; ++i)
        if (entries[i].UniqueProcessId == pid) ++own;
    return own;
}

DWORD ThreadsOf(DWORD pid) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    ::CloseHandle(snapshot);
    return count;
}

// The used entries of another process's GDI handle table, which the system
// keeps in the process's own memory and names in its process environment
// block; nullopt when the table can't be reached. The layout read here is
// Wine's: 24-byte entries, 65536 of them, a non-zero type marking a used one.
// Only the 64-bit build's block names the table there.
std::optional<DWORD> GdiTableEntriesOf(HANDLE process) {
    if (sizeof(void*) != 8) return std::nullopt;
    struct BasicInformation {
        LONG_PTR ExitStatus;
        PVOID PebBaseAddress;
        ULONG_PTR AffinityMask;
        LONG_PTR BasePriority;
        ULONG_PTR UniqueProcessId;
        ULONG_PTR InheritedFromUniqueProcessId;
    };
    struct TableEntry {
        uint64_t Object;
        uint32_t Owner;
        uint16_t Unique;
        uint8_t Type;
        uint8_t Flags;
        uint64_t UserPointer;
    };
    static_assert(sizeof(TableEntry) == 24);
    using Query = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    static const bool wine = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    if (!query || !wine) return std::nullopt;
    BasicInformation basic{};
    ULONG length = 0;
    if (query(process, 0, &basic, sizeof basic, &length) != 0 || !basic.PebBaseAddress) return std::nullopt;
    uint64_t table = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, static_cast<const char*>(basic.PebBaseAddress) + 0xF8, &table, sizeof table,
                             &read) ||
        read != sizeof table || !table)
        return std::nullopt;
    std::vector<TableEntry> entries(0x10000);
    if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                             entries.size() * sizeof(TableEntry), &read) ||
        read != entries.size() * sizeof(TableEntry))
        return std::nullopt;
    return static_cast<DWORD>(
        std::count_if(entries.begin(), entries.end(), [](const TableEntry& e) { return e.Type != 0; }));
}

Figures FiguresOf(HANDLE process, DWORD pid) {
    Figures f;
    f.handles = HandlesOf(pid);
    f.threads = ThreadsOf(pid);
    f.gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    f.user = ::GetGuiResources(process, GR_USEROBJECTS);
    if (f.gdi == 0) {
        const std::optional<DWORD> entries = GdiTableEntriesOf(process);
        f.gdi = entries.value_or(0);
        f.gdiSource = entries ? "the process's GDI handle table" : "nothing: not readable in this build";
    }
    if (f.user == 0) {
        f.user = sw::test::ProcessWindowCount(pid);
        f.userSource = "windows only";
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) f.workingSetKb = memory.WorkingSetSize / 1024;
    FILETIME created, exited, kernel, user;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        auto ms = [](const FILETIME& t) {
            return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
        };
        f.cpuMs = ms(kernel) + ms(user);
    }
    return f;
}

void PrintFigures(const char* title, const Figures& a, const Figures& b) {
    std::printf("%s\n", title);
    std::printf("  %-22s %10s %10s\n", "", "start", "end");
    std::printf("  %-22s %10lu %10lu\n", "handles", a.handles, b.handles);
    std::printf("  %-22s %10lu %10lu\n", "threads", a.threads, b.threads);
    std::printf("  %-22s %10lu %10lu   (counted by %s)\n", "GDI objects", a.gdi, b.gdi, b.gdiSource);
    std::printf("  %-22s %10lu %10lu   (counted by %s)\n", "USER objects", a.user, b.user, b.userSource);
    std::printf("  %-22s %10lu %10lu\n", "working set (KB)", static_cast<unsigned long>(a.workingSetKb),
                static_cast<unsigned long>(b.workingSetKb));
}

// Startwacht.exe, started as a user starts it, ended at the end.
class Program {
public:
    explicit Program(const std::string& exe, const std::string& arguments = "") {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        if (::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            process_ = pi.hProcess;
            pid_ = pi.dwProcessId;
        }
    }
    ~Program() {
        if (!process_) return;
        ::TerminateProcess(process_, 0);
        ::WaitForSingleObject(process_, 5000);
        ::CloseHandle(process_);
    }
    bool Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    HANDLE Handle() const { return process_; }
    DWORD Id() const { return pid_; }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Writes a foreign address and waits until the guard has put the protected
// one back; the delay in milliseconds, or a negative value on time-out.
template <typename Write, typename Restored>
double Restoration(Write write, Restored restored) {
    write();
    const auto start = Clock::now();
    while (MsSince(start) < 15000) {
        if (restored()) return MsSince(start);
        ::Sleep(1);
    }
    return -1;
}
double OneRestoration(const StartPageKey& key, const std::string& foreign) {
    return Restoration([&] { key.Write(foreign); }, [&] { return key.Read() == kProtected; });
}

// The same for the extra start pages.
constexpr char kProtectedTab[] = "about:bench-tab";
double OnePagesRestoration(const StartPageKey& key, const std::string& foreign) {
    return Restoration([&] { key.WritePages(foreign); }, [&] { return key.ReadPages() == kProtectedTab; });
}

struct Options {
    int hostileSeconds = 30;
    int changes = 100;
    int idleSeconds = 60;
    int soakSeconds = 0;
    int soakAttempts = 1000;
    std::string exe;
    bool hung = false;
    std::vector<std::string> hungExes;
    int pagesChanges = 0;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--hung") {
            o.hung = true;
            for (int k = i + 1; k < argc; ++k) o.hungExes.push_back(argv[k]);
            return o;
        }
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (arg == "--exe") o.exe = argv[i + 1];
        else if (arg == "--hostile") o.hostileSeconds = value;
        else if (arg == "--changes") o.changes = value;
        else if (arg == "--idle") o.idleSeconds = value;
        else if (arg == "--soak") o.soakSeconds = value;
        else if (arg == "--attempts") o.soakAttempts = value;
        else if (arg == "--pages") o.pagesChanges = value;
        else continue;
        ++i;
    }
    return o;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

// ------------------------------------------------------------ /proc figures

// What Linux counts for the program's process under Wine: found through the
// Z: drive by the command line it was started with and this session's
// prefix. Nothing outside Wine.
class UnixProcess {
public:
    UnixProcess() = default;
    explicit UnixProcess(const std::string& exe) {
        // Wine shows the command line as the program was started, with a
        // Windows or a Unix path: the file name is what both have.
        const std::string file = exe.substr(exe.find_last_of('\\') + 1);
        char prefix[MAX_PATH + 1] = {};
        if (!::GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix)) return;
        WIN32_FIND_DATAA found{};
        const HANDLE find = ::FindFirstFileA("Z:\\proc\\*", &found);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::string name = found.cFileName;
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string dir = "Z:\\proc\\" + name;
            std::string cmdline = ReadFile(dir + "\\cmdline");
            std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
            const size_t at = cmdline.find(file);
            if (at == std::string::npos || (at > 0 && cmdline[at - 1] != '\\' && cmdline[at - 1] != '/' &&
                                            cmdline[at - 1] != '"'))
                continue;
            if (ReadFile(dir + "\\environ").find(std::string("WINEPREFIX=") + prefix + '\0') == std::string::npos)
                continue;
            dir_ = dir;
            break;
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    bool Found() const { return !dir_.empty(); }

    struct Sample {
        double cpuMs = 0;
        unsigned long long switches = 0;  // voluntary and forced, all threads
        unsigned long long diskBytes = 0;
        Clock::time_point at = Clock::now();
    };
    Sample Take() const {
        Sample s;
        if (!Found()) return s;
        // utime and stime are fields 14 and 15, after the parenthesised name.
        const std::string stat = ReadFile(dir_ + "\\stat");
        const size_t close = stat.rfind(')');
        if (close != std::string::npos) {
            std::vector<std::string> fields;
            size_t at = close + 2;
            while (at < stat.size() && fields.size() < 13) {
                const size_t end = stat.find(' ', at);
                fields.push_back(stat.substr(at, end - at));
                if (end == std::string::npos) break;
                at = end + 1;
            }
            if (fields.size() >= 13)
                s.cpuMs = (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;  // 100 ticks/s
        }
        WIN32_FIND_DATAA found{};
        const HANDLE find = ::FindFirstFileA((dir_ + "\\task\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (found.cFileName[0] == '.') continue;
                const std::string status = ReadFile(dir_ + "\\task\\" + found.cFileName + "\\status");
                for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
                    const size_t at = status.find(key);
                    if (at != std::string::npos) s.switches += std::strtoull(status.c_str() + at + std::strlen(key), nullptr, 10);
                }
            } while (::FindNextFileA(find, &found));
            ::FindClose(find);
        }
        const std::string io = ReadFile(dir_ + "\\io");
        const size_t at = io.find("\nwrite_bytes:");
        if (at != std::string::npos) s.diskBytes = std::strtoull(io.c_str() + at + 13, nullptr, 10);
        return s;
    }

private:
    std::string dir_;
};

double Seconds(const UnixProcess::Sample& a, const UnixProcess::Sample& b) {
    return std::chrono::duration<double>(b.at - a.at).count();
}

// ------------------------------------------------------------ the windows

HWND WindowOf(DWORD pid, const char* windowClass) {
    for (HWND parent : {static_cast<HWND>(nullptr), HWND_MESSAGE})
        for (HWND w = ::FindWindowExA(parent, nullptr, windowClass, nullptr); w;
             w = ::FindWindowExA(parent, w, windowClass, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == pid) return w;
        }
    return nullptr;
}

// A left click on the program's tray icon, as the shell hands it over: the
// icon's callback message to the tray handler's window. The program has one
// icon; its number is not known outside, so the first few are tried (a
// number of no icon reaches nothing).
void ClickTrayIcon(DWORD pid) {
    const HWND handler = WindowOf(pid, "TTrayIconHandler");
    for (WPARAM id = 0; id < 8; ++id) {
        ::PostMessageA(handler, sw::TrayCallbackMessage, id, WM_LBUTTONDOWN);
        ::PostMessageA(handler, sw::TrayCallbackMessage, id, WM_LBUTTONUP);
    }
}

// ------------------------------------------------------------ one program

struct Summary {
    bool ran = false;
    double startMs = 0;
    double median = 0, p99 = 0, worst = 0, mean = 0;
    int lost = 0;
    double idleCpuPerMinute = -1, idleWakeupsPerMinute = -1;
    int hostileWrites = 0;
    double longestStandMs = 0, holdMs = 0;
    bool held = false;
    double cpuShare = -1, diskBytesPerSecond = -1;
    double trayOpenMs = -1;
    size_t logLines = 0;
    long listCount = -1;
    bool newestFirst = false;
    Figures before, after;
};

double Percentile(const std::vector<double>& sorted, int percent) {
    if (sorted.empty()) return 0;
    return sorted[std::min(sorted.size() - 1, sorted.size() * percent / 100)];
}

Summary Measure(const std::string& exe, const char* label, const Options& options, const std::string& settings,
                const std::string& log) {
    Summary r;
    StartPageKey key;
    // Log on, report off (a report would wait for a user), at most 20 lines.
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << kProtected << "\r\n10" << kMaximum << "\r\n";
    ::DeleteFileA(log.c_str());
    key.Write(kProtected);

    const auto launched = Clock::now();
    auto first = std::make_unique<Program>(exe);
    Program& program = *first;
    if (!program.Running()) {
        std::printf("%s: %s did not start\n", label, exe.c_str());
        return r;
    }
    r.ran = true;
    const double firstRestore = OneRestoration(key, "about:bench-start");
    r.startMs = MsSince(launched);
    std::printf("%s: %s, %ld bytes\n", label, exe.c_str(), FileSize(exe));
    std::printf("%s: start until the first restored change: %.0f ms (restore %.0f ms)\n", label, r.startMs,
                firstRestore);
    const UnixProcess unix(exe);
    ::Sleep(1000);
    r.before = FiguresOf(program.Handle(), program.Id());

    // Restoration delay at random moments.
    std::vector<double> delays;
    std::mt19937 random(4711);
    for (int i = 0; i < options.changes; ++i) {
        ::Sleep(std::uniform_int_distribution<int>(50, 600)(random));
        const double d = OneRestoration(key, "about:bench-" + std::to_string(i));
        if (d < 0)
            ++r.lost;
        else
            delays.push_back(d);
    }
    std::sort(delays.begin(), delays.end());
    r.mean = delays.empty() ? 0 : std::accumulate(delays.begin(), delays.end(), 0.0) / delays.size();
    r.median = Percentile(delays, 50);
    r.p99 = Percentile(delays, 99);
    r.worst = delays.empty() ? 0 : delays.back();
    std::printf("%s: restoration delay over %zu changes (%d lost): median %.1f ms, mean %.1f ms (%.2f periods), "
                "p99 %.1f ms (%.2f), worst %.1f ms (%.2f)\n",
                label, delays.size(), r.lost, r.median, r.mean, r.mean / kPeriodMs, r.p99, r.p99 / kPeriodMs,
                r.worst, r.worst / kPeriodMs);

    // Idle: nothing changes the value.
    ::Sleep(1000);
    const UnixProcess::Sample idleStart = unix.Take();
    const Figures idleFrom = FiguresOf(program.Handle(), program.Id());
    ::Sleep(static_cast<DWORD>(options.idleSeconds * 1000));
    const UnixProcess::Sample idleEnd = unix.Take();
    const Figures idleTo = FiguresOf(program.Handle(), program.Id());
    const double idleMinutes = options.idleSeconds / 60.0;
    if (unix.Found()) {
        r.idleCpuPerMinute = (idleEnd.cpuMs - idleStart.cpuMs) / idleMinutes;
        r.idleWakeupsPerMinute = static_cast<double>(idleEnd.switches - idleStart.switches) / idleMinutes;
        std::printf("%s: idle: %.0f ms CPU per idle minute (%.3f %% of one core), %.0f wake-ups per idle minute "
                    "(from /proc, %d s)\n",
                    label, r.idleCpuPerMinute, r.idleCpuPerMinute / 600.0, r.idleWakeupsPerMinute,
                    options.idleSeconds);
    } else if (idleTo.cpuMs > 0) {
        r.idleCpuPerMinute = (idleTo.cpuMs - idleFrom.cpuMs) / idleMinutes;
        std::printf("%s: idle: %.0f ms CPU per idle minute (%.3f %% of one core); wake-ups not readable here\n",
                    label, r.idleCpuPerMinute, r.idleCpuPerMinute / 600.0);
    } else {
        std::printf("%s: idle: CPU time of another process not available here\n", label);
    }

    r.after = FiguresOf(program.Handle(), program.Id());
    PrintFigures((std::string(label) + ": process figures (after start, after the restorations and the idle phase)")
                     .c_str(),
                 r.before, r.after);
    first.reset();

    // A hostile writer: a new address 100 times a second, into a log that may
    // grow to 10,000 lines: the program starts anew with that maximum.
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << kProtected << "\r\n10" << kHostileMaximum
                                                                  << "\r\n";
    ::DeleteFileA(log.c_str());
    Program hostile(exe);
    if (OneRestoration(key, "about:hostile-start") < 0) std::printf("%s: hostile phase: no restore at start\n", label);
    ::Sleep(1000);
    const UnixProcess hostileUnix(exe);
    // The longest a foreign address stood: polled from a thread of its own.
    std::atomic<bool> watching{true};
    std::atomic<double> longest{0};
    std::thread watcher([&] {
        StartPageKey own;
        bool foreign = false;
        Clock::time_point since;
        while (watching) {
            const bool now = own.Read() != kProtected;
            const auto t = Clock::now();
            if (now && !foreign) since = t;
            if (!now && foreign) longest = std::max(longest.load(), std::chrono::duration<double, std::milli>(t - since).count());
            foreign = now;
            ::Sleep(1);
        }
    });
    const UnixProcess::Sample floodStart = hostileUnix.Take();
    const auto hostileStart = Clock::now();
    bool clicked = false;
    Clock::time_point clickAt;
    const HWND form = WindowOf(hostile.Id(), "TForm1");
    int written = 0;
    while (MsSince(hostileStart) < options.hostileSeconds * 1000.0) {
        key.Write("about:hostile-" + std::to_string(written++));
        if (!clicked && MsSince(hostileStart) > options.hostileSeconds * 500.0) {
            clicked = true;
            clickAt = Clock::now();
            ClickTrayIcon(hostile.Id());
        }
        if (clicked && r.trayOpenMs < 0 && form && ::IsWindowVisible(form)) r.trayOpenMs = MsSince(clickAt);
        ::Sleep(10);
    }
    const UnixProcess::Sample floodEnd = hostileUnix.Take();
    const auto stopped = Clock::now();
    while (MsSince(stopped) < 5000) {
        if (key.Read() == kProtected) {
            r.held = true;
            break;
        }
        ::Sleep(1);
    }
    r.holdMs = MsSince(stopped);
    watching = false;
    watcher.join();
    r.longestStandMs = longest;
    r.hostileWrites = written;
    if (hostileUnix.Found()) {
        const double seconds = Seconds(floodStart, floodEnd);
        r.cpuShare = (floodEnd.cpuMs - floodStart.cpuMs) / (seconds * 1000.0);
        r.diskBytesPerSecond = static_cast<double>(floodEnd.diskBytes - floodStart.diskBytes) / seconds;
    }
    ::Sleep(1500);  // the last cycle writes its log file
    const auto lines = sw::SplitTextLines(ReadFile(log));
    r.logLines = lines.size();
    r.newestFirst = true;
    int previous = written;
    for (const auto& line : lines) {
        const size_t at = line.rfind("about:hostile-");
        const int n = at == std::string::npos ? -1 : std::atoi(line.c_str() + at + 14);
        if (n < 0 || n > previous) r.newestFirst = false;
        previous = n;
    }
    if (const HWND list = [&]() -> HWND {
            std::vector<HWND> children;
            if (form) ::EnumChildWindows(form, CollectWindow, reinterpret_cast<LPARAM>(&children));
            for (HWND child : children) {
                char name[32] = {};
                ::GetClassNameA(child, name, sizeof name);
                if (_stricmp(name, "ListBox") == 0) return child;
            }
            return nullptr;
        }()) {
        DWORD_PTR count = 0;
        if (::SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) r.listCount = static_cast<long>(count);
    }
    std::printf("%s: hostile writer: %d writes in %d s, maximum %d log lines; longest a foreign address stood "
                "%.0f ms; value %s %.0f ms after the writer stopped; log %zu lines, newest first: %s, list %ld lines; "
                "program %s\n",
                label, written, options.hostileSeconds, kHostileMaximum, r.longestStandMs,
                r.held ? "protected" : "NOT protected", r.holdMs, r.logLines, r.newestFirst ? "yes" : "NO",
                r.listCount, hostile.Running() ? "running" : "GONE");
    if (r.cpuShare >= 0)
        std::printf("%s: hostile writer: CPU %.1f %% of one core, %.0f KB written to disk per second (from /proc)\n",
                    label, 100.0 * r.cpuShare, r.diskBytesPerSecond / 1024.0);
    std::printf("%s: hostile writer: window opened from the tray icon in %.0f ms\n", label, r.trayOpenMs);
    return r;
}

// The program while another program's window handles no messages: the
// browser query of each attempt hangs in DDE's connect until its bound.
void MeasureWithHungWindow(const std::string& exe, const std::string& hungExe, const std::string& settings,
                           const std::string& log) {
    StartPageKey key;
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << kProtected << "\r\n10" << kMaximum << "\r\n";
    ::DeleteFileA(log.c_str());
    key.Write(kProtected);
    Program program(exe);
    if (!program.Running() || OneRestoration(key, "about:hung-start") < 0) {
        std::printf("hung window: %s did not start\n", exe.c_str());
        return;
    }
    ::Sleep(1500);  // the start's own query has ended
    const HWND form = WindowOf(program.Id(), "TForm1");
    Program hung(hungExe, "Haengt");
    const auto hungSince = Clock::now();
    while (!::FindWindowA("HungWindow", nullptr) && MsSince(hungSince) < 10000) ::Sleep(10);
    const double first = OneRestoration(key, "about:hung-1");
    const auto firstAt = Clock::now();
    // The window opened from the icon at moments across the query, parked
    // again after each, beside the second write.
    std::vector<double> opens;
    std::thread opener([&] {
        for (const double at : {300.0, 1000.0, 2000.0, 4000.0, 6000.0}) {
            while (MsSince(firstAt) < at) ::Sleep(1);
            const auto clickAt = Clock::now();
            ClickTrayIcon(program.Id());
            double opened = -1;
            while (MsSince(clickAt) < 12000) {
                if (form && ::IsWindowVisible(form)) {
                    opened = MsSince(clickAt);
                    break;
                }
                ::Sleep(1);
            }
            opens.push_back(opened);
            ::PostMessageA(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            const auto parkAt = Clock::now();
            while (form && ::IsWindowVisible(form) && MsSince(parkAt) < 12000) ::Sleep(5);
        }
    });
    while (MsSince(firstAt) < 3000) ::Sleep(1);
    const double second = OneRestoration(key, "about:hung-2");
    opener.join();
    std::printf("hung window: %s: first write undone after %.1f ms, the second (3 s later) after %.1f ms\n",
                exe.c_str(), first, second);
    std::printf("hung window: %s: window opened from the icon", exe.c_str());
    for (const double ms : opens) std::printf(" %.0f", ms);
    std::printf(" ms (clicks 0.3, 1, 2, 4 and 6 s after the first write)\n");
}

}  // namespace

// Single writes of the start page and of the extra pages, taking turns at
// random moments: the restoration delay of each, side by side.
void MeasurePages(const std::string& exe, const char* label, int changes, const std::string& settings,
                  const std::string& log) {
    StartPageKey key;
    std::ofstream(settings, std::ios::binary | std::ios::trunc)
        << kProtected << "\r\n10" << kMaximum << "\r\n[Weitere Startseiten] 1\r\n" << kProtectedTab << "\r\n";
    ::DeleteFileA(log.c_str());
    key.Write(kProtected);
    key.WritePages(kProtectedTab);
    Program program(exe);
    if (!program.Running()) {
        std::printf("%s: %s did not start\n", label, exe.c_str());
        return;
    }
    OneRestoration(key, "about:bench-start");
    ::Sleep(1000);
    std::vector<double> page, pages;
    int lost = 0;
    std::mt19937 random(4711);
    for (int i = 0; i < changes; ++i) {
        ::Sleep(std::uniform_int_distribution<int>(50, 600)(random));
        const double d = OneRestoration(key, "about:bench-" + std::to_string(i));
        if (d < 0) ++lost; else page.push_back(d);
        ::Sleep(std::uniform_int_distribution<int>(50, 600)(random));
        const double e = OnePagesRestoration(key, "about:bench-tab-" + std::to_string(i));
        if (e < 0) ++lost; else pages.push_back(e);
    }
    for (auto* list : {&page, &pages}) std::sort(list->begin(), list->end());
    const auto line = [&](const char* what, const std::vector<double>& d) {
        std::printf("%s: %s: restoration delay over %zu changes: median %.1f ms, p99 %.1f ms, worst %.1f ms\n", label,
                    what, d.size(), Percentile(d, 50), Percentile(d, 99), d.empty() ? 0.0 : d.back());
    };
    line("start page", page);
    line("extra pages", pages);
    std::printf("%s: %d lost\n", label, lost);
}

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const std::string buildDir = Directory(Directory(OwnPath()));
    const std::string exe = options.exe.empty() ? buildDir + "\\app\\Startwacht.exe" : options.exe;
    const std::string periodic = options.exe.empty() ? buildDir + "\\bench\\StartwachtPeriodic.exe" : "";
    if (::GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("Startwacht.exe not found at %s\n", exe.c_str());
        return 1;
    }
    const std::string settings = SystemDir() + "\\spurl.vxd";
    const std::string log = SystemDir() + "\\tburl.vxd";

    if (options.hung) {
        const std::string hungExe = buildDir + "\\tests\\bin\\HungWindow.exe";
        const std::vector<std::string> exes = options.hungExes.empty() ? std::vector<std::string>{exe} : options.hungExes;
        for (const std::string& one : exes) MeasureWithHungWindow(one, hungExe, settings, log);
        return 0;
    }

    if (options.pagesChanges > 0) {
        MeasurePages(exe, "watch", options.pagesChanges, settings, log);
        if (!periodic.empty()) MeasurePages(periodic, "periodic", options.pagesChanges, settings, log);
        return 0;
    }

    if (options.soakSeconds > 0) {
        std::ofstream(settings, std::ios::binary | std::ios::trunc) << kProtected << "\r\n10" << kMaximum << "\r\n";
        ::DeleteFileA(log.c_str());
        StartPageKey key;
        key.Write(kProtected);
        Program program(exe);
        if (!program.Running()) {
            std::printf("Startwacht.exe did not start\n");
            return 1;
        }
        OneRestoration(key, "about:bench-start");
        ::Sleep(1000);
        const Figures before = FiguresOf(program.Handle(), program.Id());
        // Long idle run with attempts spread over it.
        const auto start = Clock::now();
        std::mt19937 random(12345);
        const double gapMs = options.soakSeconds * 1000.0 / std::max(1, options.soakAttempts);
        int done = 0;
        int lost = 0;
        // A row of figures after every quarter of the attempts: growth shows
        // as a rising column, a cache filled once as a single step.
        std::printf("soak progress     %8s %8s %8s %8s %8s %10s\n", "attempts", "handles", "threads", "GDI", "windows",
                    "WS (KB)");
        const auto row = [&](int attempts, const Figures& f) {
            std::printf("                  %8d %8lu %8lu %8lu %8lu %10lu\n", attempts, f.handles, f.threads, f.gdi,
                        f.user, static_cast<unsigned long>(f.workingSetKb));
            std::fflush(stdout);
        };
        row(0, before);
        const int quarter = std::max(1, options.soakAttempts / 4);
        while (done < options.soakAttempts && program.Running()) {
            const double wait = gapMs * std::uniform_real_distribution<double>(0.5, 1.5)(random);
            ::Sleep(static_cast<DWORD>(wait));
            if (OneRestoration(key, "about:soak-" + std::to_string(done)) < 0) ++lost;
            ++done;
            if (done % quarter == 0 && done < options.soakAttempts) {
                ::Sleep(1000);
                row(done, FiguresOf(program.Handle(), program.Id()));
            }
        }
        while (MsSince(start) < options.soakSeconds * 1000.0 && program.Running()) ::Sleep(1000);
        ::Sleep(1000);
        const Figures after = FiguresOf(program.Handle(), program.Id());
        std::printf("soak: %.0f s, %d attempts, %d not restored, program %s\n", MsSince(start) / 1000.0, done, lost,
                    program.Running() ? "running" : "GONE");
        PrintFigures("soak figures", before, after);
        return 0;
    }

    std::printf("Startwacht.exe %s, %ld bytes\n", sizeof(void*) == 8 ? "x86_64" : "i686", FileSize(exe));
    const Summary w = Measure(exe, "watch", options, settings, log);
    const Summary p = !periodic.empty() && ::GetFileAttributesA(periodic.c_str()) != INVALID_FILE_ATTRIBUTES
                          ? Measure(periodic, "periodic", options, settings, log)
                          : Summary{};

    const auto ms = [](double v) { return v < 0 ? std::string("n/a") : std::to_string(static_cast<long>(v + 0.5)) + " ms"; };
    const auto num = [](double v) { return v < 0 ? std::string("n/a") : std::to_string(static_cast<long>(v + 0.5)); };
    std::printf("\nside by side              %-28s %-28s\n", "watch and cycle", "cycle only (500 ms)");
    const auto line = [](const char* name, const std::string& a, const std::string& b) {
        std::printf("%-26s %-28s %-28s\n", name, a.c_str(), b.c_str());
    };
    line("delay median", ms(w.median), ms(p.median));
    line("delay 99th percentile", ms(w.p99), ms(p.p99));
    line("delay worst", ms(w.worst), ms(p.worst));
    line("delay mean", ms(w.mean), ms(p.mean));
    line("idle CPU per minute", ms(w.idleCpuPerMinute), ms(p.idleCpuPerMinute));
    line("idle wake-ups per minute", num(w.idleWakeupsPerMinute), num(p.idleWakeupsPerMinute));
    line("flood: longest stand", ms(w.longestStandMs), ms(p.longestStandMs));
    line("flood: protected after", ms(w.holdMs), ms(p.holdMs));
    line("flood: CPU % of a core", w.cpuShare < 0 ? "n/a" : std::to_string(w.cpuShare * 100.0).substr(0, 5),
         p.cpuShare < 0 ? "n/a" : std::to_string(p.cpuShare * 100.0).substr(0, 5));
    line("flood: KB/s to disk", num(w.diskBytesPerSecond / 1024.0), num(p.diskBytesPerSecond / 1024.0));
    line("flood: log lines / list", std::to_string(w.logLines) + " / " + std::to_string(w.listCount),
         std::to_string(p.logLines) + " / " + std::to_string(p.listCount));
    line("flood: tray opens window", ms(w.trayOpenMs), ms(p.trayOpenMs));
    line("handles start -> end", std::to_string(w.before.handles) + " -> " + std::to_string(w.after.handles),
         std::to_string(p.before.handles) + " -> " + std::to_string(p.after.handles));
    line("threads start -> end", std::to_string(w.before.threads) + " -> " + std::to_string(w.after.threads),
         std::to_string(p.before.threads) + " -> " + std::to_string(p.after.threads));
    line("windows start -> end", std::to_string(w.before.user) + " -> " + std::to_string(w.after.user),
         std::to_string(p.before.user) + " -> " + std::to_string(p.after.user));
    return 0;
}
