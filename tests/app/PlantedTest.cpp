// Startwacht is unpacked and started where it lands, often in a download
// folder, where anyone may have put files of their own. A copy of the real
// program starts beside such files: a library under the name of a system
// library, or a program under the name of the browser its fallback command
// runs. None of them may run, and the program guards as usual.
#include <gtest/gtest.h>

#include <cwchar>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "PlantedFiles.h"
#include "framework/Handles.h"
#include "framework/SystemLibraries.h"
#include "StartwachtProcess.h"
#include "support/TestSupport.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

class Planted : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        ClearStartwachtFiles();
        // Logging on, no report: an attempt ends with the log written.
        WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    }
    void TearDown() override {
        ClearStartwachtFiles();
        SetStartPage("about:blank");
    }

    // A copy of the program (or of another build of it) in a folder of its
    // own, as Startwacht.exe.
    static StartwachtCopy CopyInto(const ScopedFolder& folder, const char* program = "Startwacht.exe") {
        EXPECT_TRUE(::CopyFileA((ProgramDir() + "\\" + program).c_str(), (folder / "Startwacht.exe").c_str(), FALSE));
        return {folder / "Startwacht.exe", folder.Path(), {}};
    }

    // The program starts, restores a foreign write, logs the attempt (which
    // asks whether the machine is online and runs the fallback command, as
    // no browser answers) and ends when its window is closed.
    static void GuardsAsUsual(Startwacht& program, const std::string& foreign) {
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitUntilStarted());
        ForeignWrite(foreign);
        EXPECT_TRUE(WaitFor([] { return StartPage() == "about:test"; }, 30s)) << StartPage();
        EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(LogPath()).value_or("").find(foreign) != std::string::npos; },
                            30s))
            << "the attempt was not logged";
    }
    static void Ends(Startwacht& program) {
        Send(program.Form(), WM_CLOSE);
        EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    }

    // Each library that the program, or a system library it loads, would
    // take from the program's folder when the loader searches there first,
    // planted in turn beside a copy of `build`.
    static void NoPlantedLibraryRuns(const char* build) {
        const char* libraries[] = {"version", "winmm", "wininet", "comctl32", "uxtheme", "imm32",
                                   "mpr",     "shlwapi", "msacm32", "ole32",   "ws2_32",  "rpcrt4",
                                   "nsi",     "iphlpapi", "dnsapi", "sechost", "combase", "shcore"};
        for (const char* library : libraries) {
            SCOPED_TRACE(library);
            ScopedFolder folder(ProgramDir() + "\\planted-" + library);
            StartwachtCopy copy = CopyInto(folder, build);
            const std::string planted = folder / (std::string(library) + ".dll");
            ASSERT_TRUE(
                ::CopyFileA((ProgramDir() + "\\markers\\" + library + ".dll").c_str(), planted.c_str(), FALSE));
            // Windows' search order for this library: the program's folder first.
            ScopedWineNativeFirst nativeFirst("Startwacht.exe", library);
            {
                Startwacht program(copy);
                GuardsAsUsual(program, std::string("about:fremd-") + library);
                EXPECT_FALSE(ReadFileBytes(planted + ".ran")) << "the planted library ran";
                Ends(program);
            }
            EXPECT_FALSE(ReadFileBytes(planted + ".ran")) << "the planted library ran";
            ClearStartwachtFiles();
            WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
        }
    }
};

TEST_F(Planted, ALibraryBesideTheProgramNeverRuns) { NoPlantedLibraryRuns("Startwacht.exe"); }

// The same on a Windows without SetDefaultDllDirectories (XP; Vista and 7
// without their update), which the program's build for the tests plays.
TEST_F(Planted, ALibraryBesideTheProgramNeverRunsWhereTheSearchCantBeRestricted) {
    NoPlantedLibraryRuns("StartwachtOnOlderWindows.exe");
}

// The fallback command's "IEXPLORE" is what the system's search path finds
// (here a folder of PATH), never an IEXPLORE.EXE beside the program or in the
// current folder. It starts as before: minimised, not activated, once.
TEST_F(Planted, AnIexploreBesideTheProgramOrInTheCurrentFolderNeverRuns) {
    ScopedFolder system(ProgramDir() + "\\system-browser");
    ASSERT_TRUE(PlantFakeBrowser(system / "IEXPLORE.EXE"));
    const struct {
        const char* name;
        bool beside;
    } cases[] = {{"beside the program", true}, {"in the current folder", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedFolder folder(ProgramDir() + "\\planted-iexplore");
        ScopedFolder current(ProgramDir() + "\\planted-current");
        StartwachtCopy copy = CopyInto(folder);
        copy.directory = current.Path();
        const std::string planted = (c.beside ? folder : current) / "IEXPLORE.EXE";
        ASSERT_TRUE(PlantFakeBrowser(planted));
        const std::string starts = ProgramDir() + "\\planted-starts.txt";
        RemoveFile(starts);
        copy.environment = {{"FAKEBROWSER_STARTS", starts},
                            {"PATH", system.Path() + ";" + EnvironmentValue("PATH").value_or("")}};
        {
            Startwacht program(copy);
            GuardsAsUsual(program, "about:fremd-iexplore");
            ASSERT_TRUE(WaitFor([&] { return !RecordedStarts(starts).empty(); }, 30s)) << "nothing started";
            const std::vector<RecordedStart> recorded = RecordedStarts(starts);
            ASSERT_EQ(recorded.size(), 1u);
            EXPECT_TRUE(SamePath(recorded[0].program, system / "IEXPLORE.EXE")) << "started: " << recorded[0].program;
            EXPECT_EQ(recorded[0].show, std::to_string(SW_SHOWMINNOACTIVE)) << "minimised, not activated";
            EXPECT_TRUE(SamePath(recorded[0].commandLine, "\"" + system / "IEXPLORE.EXE" + "\" WWW_GetWindowInfo"))
                << recorded[0].commandLine;
            Ends(program);
        }
        RemoveFile(starts);
        ClearStartwachtFiles();
        WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n");
    }
}

namespace {

// This process's environment as a wide block, with PATH and the fake
// browser's record file set.
std::wstring WideEnvironment(const std::wstring& path, const std::wstring& starts) {
    std::wstring block;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring text = entry;
            if (_wcsnicmp(text.c_str(), L"PATH=", 5) != 0 && _wcsnicmp(text.c_str(), L"FAKEBROWSER_STARTS=", 19) != 0)
                block += text + L'\0';
        }
        ::FreeEnvironmentStringsW(strings);
    }
    return block + L"PATH=" + path + L'\0' + L"FAKEBROWSER_STARTS=" + starts + L'\0' + L'\0';
}

}  // namespace

// Installed for a user whose name the ANSI code page lacks (a Cyrillic one
// on a German Windows), the program runs from a folder under that name and
// guards as usual; the browser's program that the system's search path
// finds in such a folder is what the fallback starts, its path whole.
TEST_F(Planted, FromAFolderOutsideTheCodePageTheProgramGuardsAndStartsTheBrowserFoundThere) {
    const std::wstring home = Widened(ProgramDir()) + L"\\\x0418\x0432\x0430\x043D";
    const std::wstring programs = home + L"\\Programs";
    const std::wstring browsers = home + L"\\\x0411\x0440\x0430\x0443\x0437\x0435\x0440";
    for (const std::wstring& folder : {home, programs, browsers}) ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = programs + L"\\Startwacht.exe";
    const std::wstring browser = browsers + L"\\IEXPLORE.EXE";
    ASSERT_TRUE(::CopyFileW(Widened(ProgramDir() + "\\Startwacht.exe").c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Widened(ProgramDir() + "\\FakeBrowser.exe").c_str(), browser.c_str(), FALSE));
    const std::string starts = ProgramDir() + "\\planted-starts.txt";
    RemoveFile(starts);
    {
        Startwacht program(exe, programs,
                           WideEnvironment(browsers + L";" + Widened(EnvironmentValue("PATH").value_or("")),
                                           Widened(starts)));
        GuardsAsUsual(program, "about:fremd-kyrillisch");
        ASSERT_TRUE(WaitFor([&] { return !RecordedStarts(starts).empty(); }, 30s)) << "nothing started";
        const std::vector<RecordedStart> recorded = RecordedStarts(starts);
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].program, Utf8(browser));
        EXPECT_EQ(recorded[0].commandLine, "\"" + Utf8(browser) + "\" WWW_GetWindowInfo");
        Ends(program);
    }
    RemoveFile(starts);
    for (const std::wstring& file : {exe, browser}) ::DeleteFileW(file.c_str());
    for (const std::wstring& folder : {programs, browsers, home}) ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

namespace {

// The program's file as the loader reads it.
struct ImageHeaders {
    std::vector<std::string> imports;    // the libraries loaded before the program runs
    std::optional<uint32_t> loadFlags;   // the load configuration's DependentLoadFlags
};

ImageHeaders ReadImageHeaders(const std::string& path) {
    ImageHeaders headers;
    const std::string file = ReadFileBytes(path).value_or("");
    const auto at = [&](size_t offset, size_t size) -> uint32_t {
        if (offset + size > file.size()) return 0;
        uint32_t value = 0;
        std::memcpy(&value, file.data() + offset, size);
        return value;
    };
    const size_t pe = at(0x3C, 4);
    if (at(pe, 4) != IMAGE_NT_SIGNATURE) return headers;
    const size_t optional = pe + 24;
    const size_t sections = optional + at(pe + 20, 2);
    const bool wide = at(optional, 2) == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const size_t directories = optional + (wide ? 112 : 96);
    // A virtual address to its offset in the file.
    const auto offsetOf = [&](uint32_t rva) -> size_t {
        for (size_t i = 0, n = at(pe + 6, 2); i < n; ++i) {
            const size_t section = sections + 40 * i;
            const uint32_t start = at(section + 12, 4);
            if (rva >= start && rva < start + at(section + 16, 4)) return rva - start + at(section + 20, 4);
        }
        return file.size();
    };
    for (size_t d = offsetOf(at(directories + 8 * IMAGE_DIRECTORY_ENTRY_IMPORT, 4)); at(d + 12, 4); d += 20)
        headers.imports.push_back(file.c_str() + std::min(offsetOf(at(d + 12, 4)), file.size()));
    if (const uint32_t config = at(directories + 8 * IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, 4))
        headers.loadFlags = at(offsetOf(config) + (wide ? 0x4E : 0x36), 2);
    return headers;
}

}  // namespace

// Only libraries that Windows itself protects are loaded before the program
// runs; the loader is asked to take what libraries import from the system
// directory only.
TEST(PlantedImage, TheProgramImportsOnlyProtectedLibrariesAndAsksForTheSystemDirectory) {
    const ImageHeaders headers = ReadImageHeaders(ProgramDir() + "\\Startwacht.exe");
    std::vector<std::string> imports;
    for (std::string name : headers.imports) {
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        imports.push_back(name);
    }
    std::sort(imports.begin(), imports.end());
    EXPECT_EQ(imports, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}));
    EXPECT_EQ(headers.loadFlags, std::optional<uint32_t>(LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// Each of the program's two steps alone keeps a planted library from
// running: the restricted search that the program sets up first, for every
// later load by name, and the late imports' own load from the system
// directory. So also on a Windows without SetDefaultDllDirectories, whose
// LoadLibraryEx ignores the search flags (XP): there the flag alone lets
// the planted library run, and the program passes none. An ordinary load
// shows that the planted library would run.
TEST(PlantedLibraryLoad, TheRestrictedSearchAndTheLateImportsEachTakeTheSystemsLibrary) {
    const struct {
        const char* mode;
        bool plantedRuns;
    } modes[] = {{"--restricted", false},        {"--late", false},         {"--plain", true},
                 {"--older --restricted", false}, {"--older --late", false}, {"--older --flags", true}};
    for (const auto& m : modes) {
        for (const char* library : {"version", "comctl32", "winmm", "wininet"}) {
            SCOPED_TRACE(std::string(m.mode) + " " + library);
            ScopedFolder folder(ProgramDir() + "\\planted-probe");
            ASSERT_TRUE(::CopyFileA((ProgramDir() + "\\LibraryLoadProbe.exe").c_str(),
                                    (folder / "LibraryLoadProbe.exe").c_str(), FALSE));
            const std::string planted = folder / (std::string(library) + ".dll");
            ASSERT_TRUE(::CopyFileA((ProgramDir() + "\\markers\\" + library + ".dll").c_str(), planted.c_str(), FALSE));
            ScopedWineNativeFirst nativeFirst("LibraryLoadProbe.exe", library);
            std::string line = "\"" + folder / "LibraryLoadProbe.exe" + "\" " + m.mode + " " + library + ".dll";
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION started{};
            ASSERT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                         folder.Path().c_str(), &startup, &started));
            const sw::KernelHandle process(started.hProcess);
            const sw::KernelHandle thread(started.hThread);
            ASSERT_EQ(::WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
            DWORD code = 99;
            ::GetExitCodeProcess(process.Get(), &code);
            EXPECT_EQ(code, 0u) << "the library did not load";
            EXPECT_EQ(ReadFileBytes(planted + ".ran").has_value(), m.plantedRuns);
        }
    }
}

// The late imports take each function of a system library by its name; the
// window subclass functions of a comctl32 before version 6 may be there by
// ordinal alone, and are then found by their documented ordinals.
TEST(SystemLibraryFunction, FindsTheSubclassFunctionsOfAnOlderComctl32ByTheirOrdinals) {
    const HMODULE ordinalOnly = ::LoadLibraryA((ProgramDir() + "\\OrdinalOnly.dll").c_str());
    ASSERT_NE(ordinalOnly, nullptr);
    struct Case {
        const char* library;
        const char* name;
        int ordinal;  // 0: nothing is to be found
    };
    const Case cases[] = {
        {"comctl32.dll", "SetWindowSubclass", 410},    {"comctl32.dll", "GetWindowSubclass", 411},
        {"comctl32.dll", "RemoveWindowSubclass", 412}, {"COMCTL32.DLL", "DefSubclassProc", 413},
        {"comctl32.dll", "ImageList_Create", 0},       {"user32.dll", "DefSubclassProc", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.library) + " " + c.name);
        const auto function = reinterpret_cast<int (*)()>(
            reinterpret_cast<void*>(sw::SystemLibraryFunction(ordinalOnly, c.library, c.name)));
        if (c.ordinal == 0) {
            EXPECT_EQ(function, nullptr);
        } else {
            ASSERT_NE(function, nullptr);
            EXPECT_EQ(function(), c.ordinal);
        }
    }
    ::FreeLibrary(ordinalOnly);

    // Where the name is there, the name is taken.
    const HMODULE comctl = sw::LoadSystemLibrary("comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    EXPECT_EQ(sw::SystemLibraryFunction(comctl, "comctl32.dll", "DefSubclassProc"),
              ::GetProcAddress(comctl, "DefSubclassProc"));
}
