// The main window inside the test's own process, where the order of its
// steps can be watched and its windowless parts read: what reaches the
// shell and when the files appear, the labels, fonts and the link.
#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <string>
#include <vector>

#include "StartwachtProcess.h"
#include "app/Program.h"
#include "app/SecondaryPages.h"
#include "app/Unit1.h"
#include "autostart/AutoRunner.h"
#include "framework/Application.h"
#include "framework/CodePage.h"
#include "support/TestSupport.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

// What the shell is asked to do with the icon, and whether the files were
// there then.
class ShellCalls {
public:
    ShellCalls() {
        SetShellNotifyIcon([this](DWORD message, NOTIFYICONDATAA& record) {
            const bool files = ReadFileBytes(SettingsPath()) || ReadFileBytes(LogPath());
            const char* name = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "other";
            calls.push_back(std::string(name) + (files ? " with files" : " without files"));
            return ShellNotifyIconDirect(message, record);
        });
    }
    ~ShellCalls() { SetShellNotifyIcon(nullptr); }
    ShellCalls(const ShellCalls&) = delete;
    ShellCalls& operator=(const ShellCalls&) = delete;
    std::vector<std::string> calls;
};

// The end of the session, asked and answered, or announced without a
// question: the files are written before the icon goes (the shell is busy
// with the logoff itself), and the program ends itself once the session
// ends.
TEST(MainWindow, TheEndOfTheSessionWritesTheFilesBeforeItTakesTheIconAwayAndEndsWithTheAnswer) {
    for (const bool asked : {true, false}) {
        SCOPED_TRACE(asked ? "asked, then ended" : "ended unasked");
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        WriteFileBytes(SettingsPath(), "about:test\r\n11250\r\n" + std::string(kNoPagesBlock));
        WriteFileBytes(LogPath(), "Zeile 1\r\n");
        ShellCalls shell;
        LRESULT answer = -1;
        std::vector<std::string> calls;
        const int exitCode = RunStartwacht([&](TForm1& form) {
            shell.calls.clear();
            ClearStartwachtFiles();
            if (asked) {
                answer = ::SendMessageA(form.Handle(), WM_QUERYENDSESSION, 0, 0);
                EXPECT_FALSE(form.HiResTimer1->Enabled());
                EXPECT_FALSE(form.RegistryWatch1->Enabled());
                EXPECT_FALSE(Application->Terminated()) << "the question alone ends nothing";
            }
            ::SendMessageA(form.Handle(), WM_ENDSESSION, TRUE, 0);
            EXPECT_TRUE(Application->Terminated());
            calls = shell.calls;
        });
        EXPECT_EQ(exitCode, 0);
        if (asked) {
            EXPECT_EQ(answer, 1);
        }
        EXPECT_EQ(calls, std::vector<std::string>{"delete with files"}) << "once, and after the writes";
        EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n11250\r\n" + std::string(kNoPagesBlock));
        EXPECT_EQ(ReadFileBytes(LogPath()), "Zeile 1\r\n");
    }
    ClearStartwachtFiles();
    SetStartPage("about:blank");
}

// The session goes on: the answer says so, or none comes in time. The icon
// comes back and the guard goes on as before the first question, also when
// the question came twice.
TEST(MainWindow, WhenTheSessionGoesOnTheIconComesBackAndTheGuardGoesOn) {
    EnsureKey(HKEY_CURRENT_USER, kMainKey);
    SetStartPage("about:test");
    WriteFileBytes(SettingsPath(), "about:test\r\n11250\r\n" + std::string(kNoPagesBlock));
    const struct {
        const char* name;
        int questions;
        bool answered;
    } cases[] = {
        {"cancelled", 1, true},
        {"asked twice, then cancelled", 2, true},
        {"left without an answer", 1, false},
    };
    ShellCalls shell;
    const int exitCode = RunStartwacht([&](TForm1& form) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            form.EndSessionWait = c.answered ? 60000 : 300;
            for (int i = 0; i < c.questions; ++i)
                EXPECT_EQ(::SendMessageA(form.Handle(), WM_QUERYENDSESSION, 0, 0), 1);
            EXPECT_TRUE(form.EndOfSessionAsked());
            EXPECT_FALSE(form.TextTrayIcon1->IconVisible());
            shell.calls.clear();
            if (c.answered) ::SendMessageA(form.Handle(), WM_ENDSESSION, FALSE, 0);
            EXPECT_TRUE(WaitFor([&] { return !form.EndOfSessionAsked(); }, 10s));
            EXPECT_TRUE(form.TextTrayIcon1->IconVisible());
            EXPECT_EQ(shell.calls, std::vector<std::string>{"add with files"});
            EXPECT_TRUE(form.HiResTimer1->Enabled());
            EXPECT_TRUE(form.RegistryWatch1->Enabled());
            EXPECT_FALSE(Application->Terminated());
        }
        Application->Terminate();
    });
    EXPECT_EQ(exitCode, 0);
    ClearStartwachtFiles();
    SetStartPage("about:blank");
}

// A second start lets the running copy come to the front (Windows lets only
// the program that the user just started do so, and it hands that on only
// when it says so) and asks it to open its window.
TEST(SecondStart, LetsTheRunningCopyComeToTheFrontAndOpenItsWindow) {
    EnsureKey(HKEY_CURRENT_USER, kMainKey);
    SetStartPage("about:test");
    WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    {
        Startwacht running;
        ASSERT_TRUE(running.WaitUntilStarted());
        std::vector<DWORD> allowed;
        SetAllowSetForegroundWindowCall([&](DWORD processId) {
            allowed.push_back(processId);
            return TRUE;
        });
        EXPECT_TRUE(AskRunningCopyToOpen());
        SetAllowSetForegroundWindowCall(nullptr);
        EXPECT_EQ(allowed, std::vector<DWORD>{running.Id()});
        EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(running.Form()) != 0; }, 30s));
    }
    ClearStartwachtFiles();
    SetStartPage("about:blank");
}

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The window as the program builds it, with the files and the start page in
// a known state; `use` runs once it exists, then the program ends.
class MainWindowForm : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        ClearStartwachtFiles();
        WriteFileBytes(SettingsPath(), "about:test\r\n11100\r\n" + std::string(kNoPagesBlock));
    }
    void TearDown() override {
        ClearStartwachtFiles();
        SetStartPage("about:blank");
        DeleteValue(HKEY_CURRENT_USER, kRunKey, "Startwacht");
    }
    static void Run(const std::function<void(TForm1&)>& use) {
        const int exitCode = RunStartwacht([&](TForm1& form) {
            use(form);
            Application->Terminate();
        });
        EXPECT_EQ(exitCode, 0);
    }
    // Opened as a click on the tray icon opens it.
    static void Open(TForm1& form) {
        form.TextTrayIcon1Click(nullptr);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(form.Handle()) != 0; }));
    }
    static int Scaled(int designed) { return ::MulDiv(designed, ScreenPixelsPerInch(), 120); }
    static void CheckLayout(TForm1& f);
};

// The window as designed, at the screen's resolution.
void MainWindowForm::CheckLayout(TForm1& f) {
    Open(f);
    // Left, top, width and height as designed, in the control's parent;
    // a label's size follows its text, an edit's height its font. The
    // top-aligned caption sits inside the panel's bevel, a line of one
    // pixel at any resolution.
    enum Sized { Bevel, Place, Width, All };
    const struct {
        TControl* control;
        int left, top, width, height;
        Sized sized;
    } designed[] = {
        {f.Label1, 1, 1, 628, 32, Bevel},       {f.Label2, 262, 36, 66, 32, Place},
        {f.ProUrlLabel1, 8, 40, 188, 16, Place}, {f.Label4, 298, 95, 28, 16, Place},
        {f.Label5, 400, 95, 50, 16, Place},     {f.Label3, 10, 124, 66, 16, Place},
        {f.Edit1, 84, 122, 365, 24, Width},     {f.SpinEdit1, 330, 91, 68, 26, Width},
        {f.Button1, 490, 40, 127, 25, All},     {f.Label6, 10, 152, 66, 32, Place},
        {f.Edit2, 84, 150, 365, 50, All},       {f.Label7, 460, 120, 160, 84, All},
    };
    for (const auto& d : designed) {
        SCOPED_TRACE(d.control->Name());
        EXPECT_EQ(d.control->Left(), d.sized == Bevel ? d.left : Scaled(d.left));
        EXPECT_EQ(d.control->Top(), d.sized == Bevel ? d.top : Scaled(d.top));
        if (d.sized == Width || d.sized == All) {
            EXPECT_EQ(d.control->Width(), Scaled(d.left + d.width) - Scaled(d.left));
        }
        if (d.sized == All) {
            EXPECT_EQ(d.control->Height(), Scaled(d.top + d.height) - Scaled(d.top));
        }
    }
    // The field holds its widest value whole beside its arrows.
    SIZE text{};
    {
        WindowDC dc(f.SpinEdit1->Handle());
        SelectedObject font(dc.Get(), f.SpinEdit1->Font().Handle());
        ::GetTextExtentPoint32A(dc.Get(), "10000", 5, &text);
    }
    RECT area{};
    ::SendMessageA(f.SpinEdit1->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    EXPECT_LT(text.cx, area.right - area.left);
    EXPECT_LT(f.SpinEdit1->Left() + f.SpinEdit1->Width(), f.Label5->Left()) << "left of \"Einträge\"";

    // Captions and fonts.
    EXPECT_EQ(f.Label1->Caption(), "Startwacht schützt Ihre Start-URL im Internet-Explorer Programme und "
                                   "Java-Scripts können diese nicht mehr überschreiben, solange Startwacht läuft.");
    EXPECT_TRUE(f.Label1->WordWrap());
    EXPECT_EQ(f.Label2->Caption(), "Freeware\r\nVersion 2.2");
    EXPECT_EQ(f.Label4->Caption(), "max.");
    EXPECT_EQ(f.Label5->Caption(), "Einträge");
    EXPECT_EQ(f.Label3->Caption(), "Start Page:");
    EXPECT_EQ(f.Label6->Caption(), "Weitere\r\nSeiten:");
    EXPECT_FALSE(f.Label7->Visible()) << "no policy stands";
    EXPECT_EQ(f.Label2->Font().Color(), clBlue);
    EXPECT_EQ(f.ProUrlLabel1->Font().Color(), clRed);
    EXPECT_EQ(f.ProUrlLabel1->UnvisitedColor(), clRed) << "red also after a font change";
    EXPECT_EQ(f.ProUrlLabel1->Font().Style(), fsUnderline);
    EXPECT_EQ(f.TextListBox1->Color(), clBackground);
    EXPECT_EQ(f.TextListBox1->Font().Color(), clWhite);
    for (TControl* c : std::initializer_list<TControl*>{&f, f.Label2, f.ProUrlLabel1, f.TextListBox1, f.Edit1}) {
        SCOPED_TRACE(c->Name());
        EXPECT_EQ(c->Font().Name(), "MS Sans Serif");
        EXPECT_EQ(c->Font().Height(), ::MulDiv(-13, ScreenPixelsPerInch(), 120));
    }
    // Its lines are as high as its text at least.
    TEXTMETRICA metrics{};
    {
        WindowDC dc(f.TextListBox1->Handle());
        SelectedObject font(dc.Get(), f.TextListBox1->Font().Handle());
        ::GetTextMetricsA(dc.Get(), &metrics);
    }
    // The design's 16 pixels at the screen's resolution, or the font's line
    // where rounding left that a pixel short.
    const int lineHeight = std::max<int>(Scaled(16), metrics.tmHeight);
    EXPECT_EQ(f.TextListBox1->ItemHeight(), lineHeight);
    EXPECT_EQ(::SendMessageA(f.TextListBox1->Handle(), LB_GETITEMHEIGHT, 0, 0), lineHeight);

    // 491 high (442 as first drawn, and the field of the extra pages),
    // centred on the screen.
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongA(f.Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(f.Handle(), GWL_EXSTYLE)));
    // A window taller than the system lets a window be (the test's screen of
    // 1024 x 768 at 192 dpi) is as tall as it may be (SM_CYMAXTRACK).
    EXPECT_EQ(f.Height(), std::min<int>(Scaled(463) + (frame.bottom - frame.top), ::GetSystemMetrics(SM_CYMAXTRACK)));
    EXPECT_NEAR(f.Left() + f.Width() / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR(f.Top() + f.Height() / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    // Every showing sets the width again, also after the user resized
    // the window: the right edge of "Beenden" and the design's margin of
    // 20, both at the screen's resolution.
    const int width = Scaled(617) + Scaled(20);
    EXPECT_EQ(f.Width(), width);
    for (int i = 0; i < 2; ++i) {
        ::SetWindowPos(f.Handle(), nullptr, 0, 0, 900, f.Height(), SWP_NOMOVE | SWP_NOZORDER);
        ASSERT_EQ(f.Width(), 900);
        f.Button1Click(nullptr);  // "Verbergen"
        ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(f.Handle()); }));
        Open(f);
        EXPECT_EQ(f.Width(), width);
    }
}

TEST_F(MainWindowForm, IsLaidOutAsDesignedAtTheScreensResolution) { Run(CheckLayout); }

// Started by Windows at 150 % and 200 %, the program lays out the same
// design at those resolutions (Wine's prefix of the tests runs at 96 dpi).
TEST_F(MainWindowForm, IsLaidOutAsDesignedAt144And192Dpi) {
    if (const int dpi = TestResolution()) {
        ASSERT_EQ(ScreenPixelsPerInch(), dpi);
        Run(CheckLayout);
        return;
    }
    for (const int dpi : {144, 192}) {
        const auto code = RunCurrentTestAt(dpi);
        ASSERT_TRUE(code) << "the run at " << dpi << " dpi did not end";
        EXPECT_EQ(*code, 0U) << "the run at " << dpi << " dpi failed (its output is above)";
    }
}

TEST_F(MainWindowForm, TheAutostartBoxShowsTheRunValueAndWritesOrRemovesIt) {
    for (const bool registered : {true, false}) {
        SCOPED_TRACE(registered ? "registered" : "not registered");
        if (registered)
            WriteRawValue(HKEY_CURRENT_USER, kRunKey, "Startwacht", REG_SZ, "C:\\alt\\Startwacht.exe" + std::string(1, '\0'));
        else
            DeleteValue(HKEY_CURRENT_USER, kRunKey, "Startwacht");
        Run([&](TForm1& f) {
            EXPECT_EQ(f.CheckBox1->Checked(), registered) << "ticked at start exactly when the value is there";
            EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunKey, "Startwacht").has_value(), registered)
                << "the start leaves the value as it was";
            Open(f);
            for (int click = 0; click < 2; ++click) {
                ::SendMessageA(f.CheckBox1->Handle(), BM_CLICK, 0, 0);
                const bool on = f.CheckBox1->Checked();
                EXPECT_EQ(on, click == 0 ? !registered : registered) << "click " << click;
                const auto value = ReadRawValue(HKEY_CURRENT_USER, kRunKey, "Startwacht");
                if (on) {
                    ASSERT_TRUE(value);
                    char path[MAX_PATH] = {};
                    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
                    EXPECT_EQ(value->data, RunValueData(path) + '\0') << "this program";
                } else {
                    EXPECT_FALSE(value) << "removed";
                }
            }
        });
    }
}

// A click on the link hands the read-me beside the program to the shell,
// or the program's folder when there is none.
TEST_F(MainWindowForm, TheLinkOpensTheReadMeBesideTheProgram) {
    struct Call {
        HWND owner;
        std::wstring verb, file;
        bool parameters, directory;
        int show;
    };
    const std::string readMe = ProgramDir() + "\\LIESMICH.txt";
    for (const bool there : {true, false}) {
        SCOPED_TRACE(there ? "with the read-me" : "without it");
        if (there)
            WriteFileBytes(readMe, "Startwacht\r\n");
        else
            RemoveFile(readMe);
        std::vector<Call> calls;
        SetShellExecute([&](HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* directory, int show) {
            calls.push_back(Call{owner, verb, file, parameters != nullptr, directory != nullptr, show});
        });
        HWND application = nullptr;
        Run([&](TForm1& f) {
            application = Application->Handle();
            Open(f);
            TProUrlLabel* link = f.ProUrlLabel1;
            EXPECT_EQ(link->Caption(), "Liesmich zu Startwacht");
            EXPECT_EQ(link->Font().Color(), clRed) << "unvisited";
            const LPARAM at = MAKELPARAM(link->Left() + 4, link->Top() + 4);
            ::SendMessageA(f.Panel1->Handle(), WM_MOUSEMOVE, 0, at);
            ::SendMessageA(f.Panel1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
            ::SendMessageA(f.Panel1->Handle(), WM_LBUTTONUP, 0, at);
        });
        SetShellExecute(nullptr);
        RemoveFile(readMe);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].owner, application) << "owned by the application's window";
        EXPECT_EQ(calls[0].verb, L"open");
        const std::string expected = there ? readMe : ProgramDir() + "\\";
        EXPECT_EQ(calls[0].file, std::wstring(expected.begin(), expected.end()));
        EXPECT_FALSE(calls[0].parameters);
        EXPECT_FALSE(calls[0].directory);
        EXPECT_EQ(calls[0].show, SW_SHOW);
    }
}

// The program may live under a user name that the ANSI code page lacks (a
// Cyrillic one on a German Windows): the read-me beside it is named whole.
TEST(ReadMe, TheReadMeIsFoundInAFolderOutsideTheCodePage) {
    const std::wstring folder = Widened(ProgramDir()) + L"\\\x0418\x0432\x0430\x043D";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"\\Startwacht.exe";
    const std::wstring readMe = folder + L"\\LIESMICH.txt";
    ::DeleteFileW(readMe.c_str());
    EXPECT_EQ(ReadMeAddress(program), folder + L"\\") << "without the read-me: the folder";
    const HANDLE file = ::CreateFileW(readMe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    EXPECT_EQ(ReadMeAddress(program), readMe);
    ::DeleteFileW(readMe.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(MainWindowForm, TheTrayMenuHoldsInfoASeparatorAndBeenden) {
    Run([](TForm1& f) {
        ASSERT_EQ(f.TextTrayIcon1->PopupMenu(), f.PopupMenu1);
        TMenuItem* items = f.PopupMenu1->Items();
        ASSERT_EQ(items->Count(), 3);
        EXPECT_EQ(items->Items(0)->Caption(), "&Info...");
        EXPECT_EQ(items->Items(1)->Caption(), "-");
        EXPECT_EQ(items->Items(2)->Caption(), "&Beenden");
    });
}

// What the message filter of Windows' integrity levels was asked to let
// through: per call the function ("Ex" for ChangeWindowMessageFilterEx),
// window, message and action.
struct FilterCall {
    std::string function;
    HWND window;
    UINT message;
    DWORD action;
    bool operator==(const FilterCall&) const = default;
};
std::vector<FilterCall> filterCalls;
BOOL WINAPI FakeFilterForWindow(HWND window, UINT message, DWORD action, void*) {
    filterCalls.push_back({"Ex", window, message, action});
    return TRUE;
}
BOOL WINAPI FakeFilterForProcess(UINT message, DWORD action) {
    filterCalls.push_back({"", nullptr, message, action});
    return TRUE;
}

// Once the window takes another start's request to open, a start with
// lower rights may send it: for this window alone where Windows has
// ChangeWindowMessageFilterEx (7 and later), for the process where it has
// only ChangeWindowMessageFilter (Vista), and nothing on XP, which has
// neither. Each Windows is played by what user32 offers.
TEST_F(MainWindowForm, TheOpenRequestPassesTheFilterOfLowerRights) {
    struct System {
        const char* name;
        bool forWindow;
        bool forProcess;
    };
    for (const System system : {System{"7", true, true}, System{"Vista", false, true}, System{"XP", false, false}}) {
        SCOPED_TRACE(system.name);
        filterCalls.clear();
        SetUser32FunctionLookup([&](const char* name) -> FARPROC {
            if (system.forWindow && std::string(name) == "ChangeWindowMessageFilterEx")
                return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeFilterForWindow));
            if (system.forProcess && std::string(name) == "ChangeWindowMessageFilter")
                return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeFilterForProcess));
            return nullptr;
        });
        HWND window = nullptr;
        Run([&](TForm1& f) {
            window = f.Handle();
            EXPECT_TRUE(filterCalls.empty()) << "before the window takes requests";
        });
        SetUser32FunctionLookup(nullptr);
        std::vector<FilterCall> expected;
        if (system.forWindow)
            expected.push_back({"Ex", window, OpenRequestMessage(), 1});
        else if (system.forProcess)
            expected.push_back({"", nullptr, OpenRequestMessage(), 1});
        EXPECT_EQ(filterCalls, expected);
    }
}

// Loading the maximum into the field runs its change handler, which writes
// the settings file back exactly when the shown number changed.
TEST_F(MainWindowForm, LoadingADifferentMaximumWritesTheSettingsBack) {
    const struct {
        const char* settings;
        bool written;
    } cases[] = {{"x\r\n00250\r\n[Weitere Startseiten] 0\r\n", true},
                 {"x\r\n00100\r\n[Weitere Startseiten] 0\r\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        WriteFileBytes(SettingsPath(), c.settings);
        // A time long past, which any write replaces.
        {
            HANDLE file = ::CreateFileA(SettingsPath().c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            FILETIME old{};
            SYSTEMTIME y2k{2000, 1, 6, 1, 12, 0, 0, 0};
            ::SystemTimeToFileTime(&y2k, &old);
            EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &old));
            ::CloseHandle(file);
        }
        Run([&](TForm1& f) {
            const auto written = [] {
                WIN32_FILE_ATTRIBUTE_DATA data{};
                ::GetFileAttributesExA(SettingsPath().c_str(), GetFileExInfoStandard, &data);
                SYSTEMTIME at{};
                ::FileTimeToSystemTime(&data.ftLastWriteTime, &at);
                return at.wYear > 2000;
            };
            EXPECT_EQ(written(), c.written);
            EXPECT_EQ(ReadFileBytes(SettingsPath()), c.settings);
            EXPECT_EQ(f.SpinEdit1->Text(), std::string(c.settings).substr(5, 3));
        });
    }
}

// The number typed is the number shown: after the field is emptied (the
// handler writes the minimum 1 back) the next digits replace that 1.
TEST_F(MainWindowForm, TypingANewMaximumGivesTheNumberTyped) {
    Run([](TForm1& f) {
        Open(f);
        HWND spin = f.SpinEdit1->Handle();
        f.SpinEdit1->SetFocus();
        const auto type = [&](const std::string& keys) {
            for (char c : keys) ::SendMessageA(spin, WM_CHAR, static_cast<unsigned char>(c), 1);
        };
        const struct {
            const char* keys;
            const char* shown;
        } cases[] = {
            {"\b\b\b50", "50"},       // emptied by Backspace, then typed
            {"0", "500"},             // typed at the end
            {"\b\b\b\b", "1"},        // emptied: the minimum, written back
            {"7", "7"},
            {"9999", "10000"},        // clamped to the maximum, and selected:
            {"3", "3"},               // the next digit starts anew
            {"\b2", "2"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.keys);
            type(c.keys);
            EXPECT_EQ(f.SpinEdit1->Text(), c.shown);
            EXPECT_EQ(ReadFileBytes(SettingsPath()), std::string("about:test\r\n11") + c.shown + "\r\n" + std::string(kNoPagesBlock));
        }
    });
}

// The field of the extra start pages shows the protected ones, one a line,
// as the registry holds them, and what the user types there is protected
// and written at once, keystroke by keystroke, as the address field's text.
TEST_F(MainWindowForm, TheExtraPagesFieldShowsThePagesAndWritesWhatIsTypedAtOnce) {
    const std::string foreign = "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/";  // http://例/
    WriteFileBytes(SettingsPath(), "about:test\r\n00100\r\n[Weitere Startseiten] 2\r\nhttp://a/\r\n" + foreign + "\r\n");
    Run([&](TForm1& f) {
        EXPECT_EQ(f.Edit2->WideText(), u"http://a/\r\nhttp://\u4F8B/");
        Open(f);
        HWND edit = f.Edit2->Handle();
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        std::u16string typed;
        for (const char16_t c : std::u16string(u"a\rb\u014D")) {
            ::SendMessageW(edit, WM_CHAR, c, 1);
            typed += c == u'\r' ? u"\r\n" : std::u16string(1, c);
            SCOPED_TRACE(testing::PrintToString(typed));
            EXPECT_EQ(f.Edit2->WideText(), typed);
            const auto pages = guard::PagesOfFieldText(typed);
            EXPECT_EQ(ReadWideMulti(), guard::MultiStringOf(pages));
            EXPECT_EQ(f.Guard().ProtectedPages, guard::StoredPages(pages, Cp1252()));
        }
        EXPECT_EQ(ReadFileBytes(SettingsPath()),
                  "about:test\r\n00100\r\n[Weitere Startseiten] 2\r\na\r\n\xEF\xBB\xBF" "b\xC5\x8D\r\n");
        // Emptied: no pages, no value.
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        ::SendMessageW(edit, WM_CHAR, VK_BACK, 1);
        EXPECT_EQ(ReadWideMulti(), std::nullopt);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:test\r\n00100\r\n[Weitere Startseiten] 0\r\n");
    });
}

}  // namespace
