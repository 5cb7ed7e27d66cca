// The whole program under load, measured from outside: Startwacht.exe runs as
// a user runs it while this process plays the other programs. Prints figures;
// passes or fails nothing.
//
//   ProgramBench.exe [--hostile SECONDS] [--changes N] [--idle SECONDS]
//                    [--soak SECONDS --attempts N]
//
// Default run: restoration delay over N changes at random moments; CPU time
// per idle tick; a hostile writer rewriting "Start Page" 100 times a second;
// the process's handles, threads, GDI and USER objects and working set before
// and after; the exe's size. --soak replaces the default phases by a long
// idle run with attempts spread over it.
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
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/TextLines.h"
#include "tests/support/ProcessCounts.h"

namespace {

constexpr char kMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr char kProtected[] = "about:bench";
constexpr double kPeriodMs = 500.0;
constexpr int kMaximum = 20;

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
    explicit Program(const std::string& exe) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string line = "\"" + exe + "\"";
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
double OneRestoration(const StartPageKey& key, const std::string& foreign) {
    key.Write(foreign);
    const auto start = Clock::now();
    while (MsSince(start) < 15000) {
        if (key.Read() == kProtected) return MsSince(start);
        ::Sleep(1);
    }
    return -1;
}

struct Options {
    int hostileSeconds = 30;
    int changes = 100;
    int idleSeconds = 30;
    int soakSeconds = 0;
    int soakAttempts = 1000;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (arg == "--hostile") o.hostileSeconds = value;
        else if (arg == "--changes") o.changes = value;
        else if (arg == "--idle") o.idleSeconds = value;
        else if (arg == "--soak") o.soakSeconds = value;
        else if (arg == "--attempts") o.soakAttempts = value;
        else continue;
        ++i;
    }
    return o;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The lines of the program's log list box, read through its window; nothing
// when its lines can't be read from another process (Wine 8 answers
// LB_GETTEXT from another process with the length but without the text).
std::optional<std::vector<std::string>> ListBoxLines(DWORD pid) {
    std::vector<HWND> tops;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&tops));
    for (HWND top : tops) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(top, &owner);
        if (owner != pid) continue;
        std::vector<HWND> children;
        ::EnumChildWindows(top, CollectWindow, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) {
            char name[32] = {};
            ::GetClassNameA(child, name, sizeof name);
            if (_stricmp(name, "ListBox") != 0) continue;
            DWORD_PTR count = 0;
            ::SendMessageTimeoutA(child, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
            std::vector<std::string> lines;
            for (DWORD_PTR i = 0; i < count; ++i) {
                DWORD_PTR length = 0;
                ::SendMessageTimeoutA(child, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 5000, &length);
                // The guard may put a longer line at this place meanwhile,
                // and the answer is copied into our buffer whole: room to
                // spare.
                std::string text(std::max<DWORD_PTR>(length + 1, 1 << 16), '\0');
                DWORD_PTR copied = 0;
                ::SendMessageTimeoutA(child, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 5000,
                                      &copied);
                if (copied != length || std::strlen(text.c_str()) != copied) return std::nullopt;
                text.resize(copied);
                lines.push_back(text);
            }
            return lines;
        }
    }
    return {};
}

long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const std::string buildDir = Directory(Directory(OwnPath()));
    const std::string exe = buildDir + "\\app\\Startwacht.exe";
    if (::GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("Startwacht.exe not found at %s\n", exe.c_str());
        return 1;
    }
    const std::string settings = SystemDir() + "\\spurl.vxd";
    const std::string log = SystemDir() + "\\tburl.vxd";
    // Log on, report off (a report would wait for a user), at most 20 lines.
    std::ofstream(settings, std::ios::binary | std::ios::trunc) << kProtected << "\r\n10" << kMaximum << "\r\n";
    ::DeleteFileA(log.c_str());
    StartPageKey key;
    key.Write(kProtected);

    const auto launched = Clock::now();
    Program program(exe);
    if (!program.Running()) {
        std::printf("Startwacht.exe did not start\n");
        return 1;
    }
    // The guard runs once it undoes a change.
    const double firstRestore = OneRestoration(key, "about:bench-start");
    const double startMs = MsSince(launched);
    std::printf("Startwacht.exe %s, %ld bytes\n", sizeof(void*) == 8 ? "x86_64" : "i686", FileSize(exe));
    std::printf("start until the first restored change: %.0f ms (restore %.0f ms)\n", startMs, firstRestore);
    ::Sleep(1000);
    const Figures before = FiguresOf(program.Handle(), program.Id());

    if (options.soakSeconds > 0) {
        // Long idle run with attempts spread over it.
        const auto start = Clock::now();
        std::mt19937 random(12345);
        const double gapMs = options.soakSeconds * 1000.0 / std::max(1, options.soakAttempts);
        int done = 0;
        int lost = 0;
        // A row of figures after every quarter of the attempts: growth shows
        // as a rising column, a cache filled once as a single step.
        std::printf("soak progress     %8s %8s %8s %8s %10s\n", "attempts", "handles", "threads", "GDI", "WS (KB)");
        const auto row = [&](int attempts, const Figures& f) {
            std::printf("                  %8d %8lu %8lu %8lu %10lu\n", attempts, f.handles, f.threads, f.gdi,
                        static_cast<unsigned long>(f.workingSetKb));
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

    // Restoration delay at random moments.
    std::vector<double> delays;
    std::mt19937 random(4711);
    int lost = 0;
    for (int i = 0; i < options.changes; ++i) {
        ::Sleep(std::uniform_int_distribution<int>(50, 600)(random));
        const double d = OneRestoration(key, "about:bench-" + std::to_string(i));
        if (d < 0)
            ++lost;
        else
            delays.push_back(d);
    }
    std::sort(delays.begin(), delays.end());
    const double mean = delays.empty() ? 0 : std::accumulate(delays.begin(), delays.end(), 0.0) / delays.size();
    const double p99 = delays.empty() ? 0 : delays[std::min(delays.size() - 1, delays.size() * 99 / 100)];
    const double worst = delays.empty() ? 0 : delays.back();
    std::printf("restoration delay over %zu changes (%d lost): mean %.1f ms (%.2f periods), p99 %.1f ms (%.2f), "
                "worst %.1f ms (%.2f)\n",
                delays.size(), lost, mean, mean / kPeriodMs, p99, p99 / kPeriodMs, worst, worst / kPeriodMs);

    // CPU time of idle ticks.
    ::Sleep(1000);
    const Figures idleStart = FiguresOf(program.Handle(), program.Id());
    ::Sleep(static_cast<DWORD>(options.idleSeconds * 1000));
    const Figures idleEnd = FiguresOf(program.Handle(), program.Id());
    const double ticks = options.idleSeconds * 1000.0 / kPeriodMs;
    if (idleEnd.cpuMs > 0)
        std::printf("idle: %.2f ms CPU per tick over %.0f ticks (%.3f %% of one core)\n",
                    (idleEnd.cpuMs - idleStart.cpuMs) / ticks, ticks,
                    100.0 * (idleEnd.cpuMs - idleStart.cpuMs) / (options.idleSeconds * 1000.0));
    else
        std::printf("idle: CPU time of another process not available here (measured in-process by "
                    "StartwachtBench)\n");

    // A hostile writer: a new address 100 times a second.
    const auto hostileStart = Clock::now();
    int written = 0;
    while (MsSince(hostileStart) < options.hostileSeconds * 1000.0) {
        key.Write("about:hostile-" + std::to_string(written++));
        ::Sleep(10);
    }
    const auto stopped = Clock::now();
    bool held = false;
    while (MsSince(stopped) < 5000) {
        if (key.Read() == kProtected) {
            held = true;
            break;
        }
        ::Sleep(1);
    }
    const double holdMs = MsSince(stopped);
    ::Sleep(1500);  // the last cycle writes its log file
    const auto lines = sw::SplitTextLines(ReadFile(log));
    bool newestFirst = true;
    int previous = written;
    for (const auto& line : lines) {
        const size_t at = line.rfind("about:hostile-");
        const int n = at == std::string::npos ? -1 : std::atoi(line.c_str() + at + 14);
        if (n < 0 || n > previous) newestFirst = false;
        previous = n;
    }
    const auto listed = ListBoxLines(program.Id());
    const char* fileMatchesList = !listed ? "(list not readable from outside)" : *listed == lines ? "yes" : "NO";
    std::printf("hostile writer: %d writes in %d s; value %s %.0f ms after the writer stopped (%.2f periods); "
                "log %zu lines (maximum %d), newest first: %s, file equals list: %s; program %s\n",
                written, options.hostileSeconds, held ? "protected" : "NOT protected", holdMs, holdMs / kPeriodMs,
                lines.size(), kMaximum, newestFirst ? "yes" : "NO", fileMatchesList,
                program.Running() ? "running" : "GONE");

    ::Sleep(2000);
    const Figures after = FiguresOf(program.Handle(), program.Id());
    PrintFigures("process figures (after start, after all phases)", before, after);
    return 0;
}
