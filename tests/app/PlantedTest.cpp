// Startwacht is unpacked and started where it lands, often in a download
// folder, where anyone may have put files of their own. A copy of the real
// program starts beside such files: a library under the name of a system
// library, or a program under the name of the browser its fallback command
// runs. None of them may run, and the program guards as usual.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "PlantedFiles.h"
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

    // A copy of the program in a folder of its own.
    static StartwachtCopy CopyInto(const ScopedFolder& folder) {
        EXPECT_TRUE(::CopyFileA((ProgramDir() + "\\Startwacht.exe").c_str(), (folder / "Startwacht.exe").c_str(),
                                FALSE));
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

    static std::string WineOverrides(const std::string& library) {
        const std::string current = EnvironmentValue("WINEDLLOVERRIDES").value_or("");
        return (current.empty() ? "" : current + ";") + library + "=n,b";
    }
};

// Each library that the program, or a system library it loads, would take
// from the program's folder when the loader searches there first.
TEST_F(Planted, ALibraryBesideTheProgramNeverRuns) {
    const char* libraries[] = {"version", "winmm", "wininet", "comctl32", "uxtheme", "imm32",
                               "mpr",     "shlwapi", "msacm32", "ole32",   "ws2_32",  "rpcrt4",
                               "nsi",     "iphlpapi", "dnsapi", "sechost", "combase", "shcore"};
    for (const char* library : libraries) {
        SCOPED_TRACE(library);
        ScopedFolder folder(ProgramDir() + "\\planted-" + library);
        StartwachtCopy copy = CopyInto(folder);
        const std::string planted = folder / (std::string(library) + ".dll");
        ASSERT_TRUE(::CopyFileA((ProgramDir() + "\\markers\\" + library + ".dll").c_str(), planted.c_str(), FALSE));
        // Windows' search order for this library: the program's folder first.
        copy.environment = {{"WINEDLLOVERRIDES", WineOverrides(library)}};
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

}  // namespace
