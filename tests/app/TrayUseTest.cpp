// Startwacht as a user meets it: parked in the notification area of Wine's
// desktop, opened, minimised, hidden and ended with the real mouse. The
// clicks come from xdotool on the X display that shows the desktop, so they
// travel the whole way a user's click does (X server, Wine's desktop and
// taskbar, the shell's callback to the program). The tests find the icon by
// its picture on the screen and read back the windows, the files and the
// registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "StartwachtProcess.h"
#include "TrayPicture.h"
#include "framework/Handles.h"
#include "support/TestSupport.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

// The Unix name of a file of the prefix, for the Linux side.
std::string UnixPath(const std::string& windowsPath) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return {};
    std::wstring wide(windowsPath.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(),
                                                         static_cast<int>(wide.size()))));
    char* unix = convert(wide.c_str());
    if (!unix) return {};
    std::string result = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

// Runs xdotool with the arguments and waits until it is done. Wine starts a
// Linux program without a process handle, so the shell that runs it writes
// xdotool's exit status into a file last, and that file is awaited.
bool Xdo(const std::string& arguments) {
    const std::string done = ProgramDir() + "\\xdotool-done.txt";
    RemoveFile(done);
    const std::string unixDone = UnixPath(done);
    if (unixDone.empty()) return false;
    std::string line = "/bin/sh -c \"/usr/bin/xdotool " + arguments + "; echo $? >'" + unixDone + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // Wine gives none for a Linux program; whatever comes is let go at once.
    const sw::KernelHandle thread(pi.hThread), process(pi.hProcess);
    std::optional<std::string> status;
    const bool ended = WaitFor(
        [&] {
            status = ReadFileBytes(done);
            return status && !status->empty() && status->back() == '\n';
        },
        20s);
    RemoveFile(done);
    return ended && *status == "0\n";
}

bool ClickAt(POINT at, int button = 1) {
    // The pointer first, then a moment for the desktop to see it arrive
    // before the button goes down.
    return Xdo("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " sleep 0.3 click " +
               std::to_string(button));
}

RECT WindowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

BOOL CALLBACK CountButton(HWND child, LPARAM count) {
    char name[32] = {};
    ::GetClassNameA(child, name, sizeof name);
    if (_stricmp(name, "Button") == 0 && ::IsWindowVisible(child)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The buttons of running programs in the taskbar (its start button aside).
int TaskbarButtons() {
    int count = 0;
    ::EnumChildWindows(Taskbar(), CountButton, reinterpret_cast<LPARAM>(&count));
    return count - 1;
}

// The taskbar, a program of its own, follows a window's showing and hiding
// a moment later: waits until it shows this many buttons.
bool TaskbarShows(int buttons) {
    return WaitFor([&] { return TaskbarButtons() == buttons; }, 10s);
}

// The tip that the shell shows over an icon, when one is shown.
std::string ShownTip() {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
        // Asked with the message itself: the text of another process's
        // window as the system keeps it is not the tip's.
        if (!::IsWindowVisible(w)) continue;
        char text[256] = {};
        Send(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        if (text[0]) return text;
    }
    return {};
}

// The title-bar button of a window that answers a hit test with the code.
std::optional<POINT> CaptionButton(HWND window, LRESULT hit) {
    const RECT r = WindowRect(window);
    const int y = r.top + ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    for (int x = r.right - 1; x > r.left; --x)
        if (Send(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == hit) return POINT{x - 4, y};
    return std::nullopt;
}

class TrayUse : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Taskbar()) << "the test session's desktop shows no taskbar";
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        ClearStartwachtFiles();
        WriteFileBytes(SettingsPath(), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    }
    void TearDown() override {
        // The pointer leaves the taskbar, so no tip is left over.
        Xdo("mousemove 300 300");
        ClearStartwachtFiles();
        SetStartPage("about:blank");
    }

    // Starts the program and waits for its icon.
    POINT StartParked(Startwacht& program) {
        EXPECT_TRUE(program.WaitUntilStarted());
        std::optional<POINT> icon;
        EXPECT_TRUE(WaitFor([&] { return (icon = FindTrayIcon()).has_value(); }, 30s)) << "no icon in the tray";
        return icon.value_or(POINT{});
    }

    static bool Opened(Startwacht& program) {
        return WaitFor(
            [&] {
                return ::IsWindowVisible(program.Form()) && !::IsIconic(program.Form()) &&
                       ::IsWindowVisible(program.Application());
            },
            30s);
    }
    static bool Parked(Startwacht& program) {
        return WaitFor([&] { return !::IsWindowVisible(program.Form()) && !::IsWindowVisible(program.Application()); },
                       30s);
    }
};

TEST_F(TrayUse, AtStartOnlyTheIconShowsWithItsTipAndALeftClickOpensTheWindow) {
    Startwacht program;
    const POINT icon = StartParked(program);
    // Parked as soon as the application has minimised itself at start.
    EXPECT_TRUE(Parked(program)) << "a window or the taskbar button is visible";
    EXPECT_TRUE(TaskbarShows(0)) << TaskbarButtons();

    // Resting on the icon: the pointer arrives and moves a little.
    ASSERT_TRUE(Xdo("mousemove " + std::to_string(icon.x - 2) + " " + std::to_string(icon.y) + " sleep 0.2 mousemove " +
                    std::to_string(icon.x) + " " + std::to_string(icon.y)));
    EXPECT_TRUE(WaitFor([] { return ShownTip() == "Startwacht"; }, 10s)) << "tip: " << ShownTip();

    ASSERT_TRUE(ClickAt(icon));
    ASSERT_TRUE(Opened(program));
    EXPECT_TRUE(TaskbarShows(1)) << TaskbarButtons();
    EXPECT_TRUE(FindTrayIcon()) << "the icon stays while the window is open";
}

TEST_F(TrayUse, TheTitleBarsMinimiseButtonParksTheWindowAndTheTypedAddressIsProtected) {
    Startwacht program;
    const POINT icon = StartParked(program);
    ASSERT_TRUE(ClickAt(icon));
    ASSERT_TRUE(Opened(program));

    // Typed with the keyboard into the address field.
    ASSERT_TRUE(ClickAt(Centre(WindowRect(program.Edit1()))));
    ASSERT_TRUE(Xdo("key End shift+Home"));
    ASSERT_TRUE(Xdo("type --delay 50 neu"));
    ASSERT_TRUE(WaitFor([&] { return TextOf(program.Edit1()) == "neu"; }, 10s)) << TextOf(program.Edit1());

    const std::optional<POINT> minimise = CaptionButton(program.Form(), HTMINBUTTON);
    ASSERT_TRUE(minimise);
    ASSERT_TRUE(ClickAt(*minimise));
    ASSERT_TRUE(Parked(program));
    EXPECT_FALSE(::IsIconic(program.Form())) << "parked, not minimised in the ordinary way";
    EXPECT_TRUE(TaskbarShows(0)) << TaskbarButtons();
    EXPECT_TRUE(FindTrayIcon());

    ForeignWrite("about:fremd");
    EXPECT_TRUE(WaitFor([] { return StartPage() == "neu"; }, 10s)) << StartPage();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "neu\r\n10100\r\n" + std::string(kNoPagesBlock));
}

TEST_F(TrayUse, VerbergenHidesTheWindowAndAClickOnTheIconBringsItBack) {
    Startwacht program;
    const POINT icon = StartParked(program);
    ASSERT_TRUE(ClickAt(icon));
    ASSERT_TRUE(Opened(program));

    ASSERT_TRUE(ClickAt(Centre(WindowRect(program.Button("Verbergen")))));
    ASSERT_TRUE(Parked(program));
    EXPECT_TRUE(TaskbarShows(0)) << TaskbarButtons();
    EXPECT_TRUE(FindTrayIcon());

    ASSERT_TRUE(ClickAt(icon));
    ASSERT_TRUE(Opened(program));
    EXPECT_FALSE(::IsZoomed(program.Form()));
}

TEST_F(TrayUse, TheRightButtonOpensTheMenuWhoseInfoOpensTheWindowAndWhoseBeendenSavesAndEnds) {
    WriteFileBytes(LogPath(), "Zeile 1\r\nZeile 2\r\n");
    Startwacht program;
    const POINT icon = StartParked(program);
    ClearStartwachtFiles();

    HWND menu = nullptr;
    const auto openMenu = [&] {
        return ClickAt(icon, 3) &&
               WaitFor([&] { return (menu = program.TopLevel("#32768")) && ::IsWindowVisible(menu); }, 10s);
    };
    ASSERT_TRUE(openMenu());
    RECT r = WindowRect(menu);
    // Three rows: an item at the top, a separator in the middle that takes
    // no click, an item at the bottom.
    ASSERT_TRUE(ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    ::Sleep(500);
    EXPECT_TRUE(::IsWindowVisible(menu)) << "the middle row is a separator";
    EXPECT_FALSE(::IsWindowVisible(program.Form()));

    // "&Info..." opens the window as a click on the icon does, and nothing else.
    ASSERT_TRUE(ClickAt(POINT{(r.left + r.right) / 2, r.top + 8}));
    ASSERT_TRUE(Opened(program));
    EXPECT_FALSE(program.MessageBox());
    EXPECT_FALSE(program.TopLevel("#32770"));

    // "&Beenden" writes both files and ends the program.
    ASSERT_TRUE(openMenu());
    r = WindowRect(menu);
    ASSERT_TRUE(ClickAt(POINT{(r.left + r.right) / 2, r.bottom - 8}));
    EXPECT_EQ(program.ExitCode(30s), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n10100\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(ReadFileBytes(LogPath()), "Zeile 1\r\nZeile 2\r\n");
    // The taskbar repaints a moment after the program has gone.
    EXPECT_TRUE(WaitFor([] { return !FindTrayIcon(); }, 30s)) << "the icon leaves with the program";
}

}  // namespace
