// The main window inside the test's own process, where the order of its
// steps can be watched: what reaches the shell and when the files appear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StartwachtProcess.h"
#include "app/Program.h"
#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;

namespace {

TEST(MainWindow, TheEndOfTheSessionTakesTheIconAwayBeforeItWritesTheFiles) {
    EnsureKey(HKEY_CURRENT_USER, kMainKey);
    SetStartPage("about:test");
    WriteFileBytes(SettingsPath(), "about:test\r\n11250\r\n");
    WriteFileBytes(LogPath(), "Zeile 1\r\n");

    // What the shell is asked to do, and whether the files were there then.
    std::vector<std::string> calls;
    SetShellNotifyIcon([&](DWORD message, NOTIFYICONDATAA& record) {
        const bool files = ReadFileBytes(SettingsPath()) || ReadFileBytes(LogPath());
        const char* name = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "other";
        calls.push_back(std::string(name) + (files ? " with files" : " without files"));
        return ShellNotifyIconDirect(message, record);
    });
    LRESULT answer = -1;
    const int exitCode = RunStartwacht([&](TForm1& form) {
        calls.clear();
        ClearStartwachtFiles();
        answer = ::SendMessageA(form.Handle(), WM_QUERYENDSESSION, 0, 0);
        EXPECT_EQ(form.TextTrayIcon1, nullptr);
    });
    SetShellNotifyIcon(nullptr);

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(calls, std::vector<std::string>{"delete without files"}) << "once, and before the writes";
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n11250\r\n");
    EXPECT_EQ(ReadFileBytes(LogPath()), "Zeile 1\r\n");
    ClearStartwachtFiles();
    SetStartPage("about:blank");
}

}  // namespace
