// The real Startwacht.exe as a child process of a test, with the files and
// the registry value it keeps, its windows and the messages that reach them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/PagesBlock.h"
#include "support/TestSupport.h"

namespace sw::test {

using namespace std::chrono_literals;

constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

inline std::string SettingsPath() { return SystemDir() + "\\spurl.vxd"; }
inline std::string LogPath() { return SystemDir() + "\\tburl.vxd"; }

// Both files gone, also when a test left them read-only.
inline void ClearStartwachtFiles() {
    for (const std::string& path : {SettingsPath(), LogPath()}) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveFile(path);
    }
}

// A log file of numbered lines ("Zeile 1", "Zeile 2", ...).
inline std::string LogFile(int lines) {
    std::string file;
    for (int i = 1; i <= lines; ++i) file += "Zeile " + std::to_string(i) + "\r\n";
    return file;
}

inline std::string StartPage() {
    const auto value = ReadRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page");
    if (!value) return "<missing>";
    std::string data = value->data;
    if (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

inline void SetStartPage(const std::string& url) {
    WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", REG_SZ, url + '\0');
}

// "Secondary Start Pages" as the system holds it, in UTF-16; nothing when
// missing. `type` receives its type.
inline std::optional<std::u16string> ReadWideMulti(DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD kind = 0, size = 0;
    std::optional<std::u16string> data;
    if (::RegQueryValueExW(key, L"Secondary Start Pages", nullptr, &kind, nullptr, &size) == ERROR_SUCCESS) {
        data.emplace(size / 2, u'\0');
        ::RegQueryValueExW(key, L"Secondary Start Pages", nullptr, &kind, reinterpret_cast<BYTE*>(data->data()),
                           &size);
    }
    ::RegCloseKey(key);
    if (type) *type = kind;
    return data;
}

// "Secondary Start Pages" written directly in UTF-16 with the given type.
inline void SetPagesRaw(const std::u16string& data, DWORD type = REG_MULTI_SZ) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    ::RegSetValueExW(key, L"Secondary Start Pages", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * 2));
    ::RegCloseKey(key);
}

// Another program changes the extra start pages with the reg tool: `pages`
// separated by "\0" as a list, or any other type; or deletes the value.
inline void ForeignPagesWrite(const std::string& pages, const std::string& type = "REG_MULTI_SZ") {
    ChildProcess reg("reg add \"HKCU\\" + std::string(kMainKey) + "\" /v \"Secondary Start Pages\" /t " + type +
                     " /d \"" + pages + "\" /f");
    ASSERT_EQ(reg.Wait(30s), std::optional<DWORD>(0)) << "reg add failed";
}
inline void ForeignPagesDelete() {
    ChildProcess reg("reg delete \"HKCU\\" + std::string(kMainKey) + "\" /v \"Secondary Start Pages\" /f");
    ASSERT_EQ(reg.Wait(30s), std::optional<DWORD>(0)) << "reg delete failed";
}

// Another program changes the start page: the reg tool of the system.
inline void ForeignWrite(const std::string& url) {
    ChildProcess reg("reg add \"HKCU\\" + std::string(kMainKey) + "\" /v \"Start Page\" /d " + url + " /f");
    ASSERT_EQ(reg.Wait(30s), std::optional<DWORD>(0)) << "reg add failed";
}

// Each test starts with the start page about:test and neither file, and
// leaves about:blank and neither file behind.
class StartwachtState : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        DeleteValue(HKEY_CURRENT_USER, kMainKey, "Secondary Start Pages");
        ClearStartwachtFiles();
    }
    void TearDown() override {
        ClearStartwachtFiles();
        SetStartPage("about:blank");
        DeleteValue(HKEY_CURRENT_USER, kMainKey, "Secondary Start Pages");
    }
};

// A message to another process's window, with a deadline instead of a hang.
inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    EXPECT_NE(::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 30000, &result), 0)
        << "no answer to message " << message;
    return static_cast<LRESULT>(result);
}

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

inline std::string TextOf(HWND window) {
    char text[1024] = {};
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

inline BOOL CALLBACK CollectWindow(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

inline std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Where and how a copy of the program starts: its file, the current folder
// it gets, and environment variables set for it alone.
struct StartwachtCopy {
    std::string exe;
    std::string directory;
    std::vector<std::pair<std::string, std::string>> environment;
};

// This process's environment with some variables set otherwise, as a block
// for CreateProcessA.
inline std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::string block;
    if (char* strings = ::GetEnvironmentStringsA()) {
        for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1) {
            const std::string text = entry;
            const size_t equals = text.find('=', 1);
            bool changed = false;
            for (const auto& [name, value] : changes)
                changed = changed || (equals == name.size() && _strnicmp(text.c_str(), name.c_str(), equals) == 0);
            if (!changed) block += text + '\0';
        }
        ::FreeEnvironmentStringsA(strings);
    }
    for (const auto& [name, value] : changes) block += name + "=" + value + '\0';
    return block + '\0';
}

// Startwacht.exe of this build, as a child process with its windows.
class Startwacht {
public:
    explicit Startwacht(std::optional<WORD> showMode = std::nullopt, const std::string& arguments = "") {
        Start("\"" + ProgramDir() + "\\Startwacht.exe\"" + arguments, showMode, nullptr, nullptr);
    }
    // A copy in a folder that the ANSI code page may lack, started through
    // the wide call with a wide environment block (CREATE_UNICODE_ENVIRONMENT).
    Startwacht(const std::wstring& exe, const std::wstring& directory, std::wstring environment) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring line = L"\"" + exe + L"\"";
        if (::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                             environment.data(), directory.c_str(), &si, &pi)) {
            ::CloseHandle(pi.hThread);
            process_ = pi.hProcess;
            id_ = pi.dwProcessId;
        }
    }
    explicit Startwacht(const StartwachtCopy& copy) {
        std::string environment = EnvironmentBlock(copy.environment);
        Start("\"" + copy.exe + "\"", std::nullopt, copy.directory.empty() ? nullptr : copy.directory.c_str(),
              environment.data());
    }
    ~Startwacht() {
        if (!process_) return;
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_, 1);
            ::WaitForSingleObject(process_, 10000);
        }
        ::CloseHandle(process_);
    }
    Startwacht(const Startwacht&) = delete;
    Startwacht& operator=(const Startwacht&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    std::optional<DWORD> ExitCode(std::chrono::milliseconds deadline) {
        if (::WaitForSingleObject(process_, static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(process_, &code);
        return code;
    }
    bool Running() const { return ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // The top-level windows of the program by class (and caption), and the
    // first of them.
    std::vector<HWND> TopLevels(const std::string& windowClass, const char* caption = nullptr) const {
        std::vector<HWND> found;
        for (HWND w = ::FindWindowExA(nullptr, nullptr, windowClass.c_str(), caption); w;
             w = ::FindWindowExA(nullptr, w, windowClass.c_str(), caption)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == id_) found.push_back(w);
        }
        return found;
    }
    HWND TopLevel(const std::string& windowClass, const char* caption = nullptr) const {
        const std::vector<HWND> found = TopLevels(windowClass, caption);
        return found.empty() ? nullptr : found.front();
    }
    HWND Application() const { return TopLevel("TApplication"); }
    HWND Form() const { return TopLevel("TForm1"); }
    // The program's message window ("Startwacht", an OK button).
    HWND MessageBox() const { return TopLevel("#32770", "Startwacht"); }
    // All of its message windows open at once.
    std::vector<HWND> MessageBoxes() const { return TopLevels("#32770", "Startwacht"); }

    // Waits until the start sequence is done and the application minimised.
    // A 32-bit start under the emulation on a busy machine can take half a
    // minute by itself; a start that never comes still fails.
    bool WaitUntilStarted() {
        return WaitFor([&] { return Application() && Form() && ::IsIconic(Application()); }, 120s);
    }
    // Opens the main window with the application's restore command.
    bool Open() {
        Send(Application(), WM_SYSCOMMAND, SC_RESTORE, 0);
        return WaitFor([&] { return ::IsWindowVisible(Form()); }, 30s);
    }

    HWND Control(const char* windowClass, const std::string& text) const {
        for (HWND w : Descendants(Form()))
            if (_stricmp(ClassOf(w).c_str(), windowClass) == 0 && TextOf(w) == text) return w;
        return nullptr;
    }
    HWND Button(const std::string& caption) const { return Control("Button", caption); }
    // The address edit and the spin edit's text: both edits, the spin
    // edit's one multi-line.
    HWND Edit1() const { return Edit(0); }
    HWND SpinEdit1() const { return Edit(ES_MULTILINE); }
    // The field of the extra start pages: several lines with a scroll bar.
    HWND Edit2() const { return Edit(ES_MULTILINE | WS_VSCROLL); }
    HWND TextListBox1() const {
        for (HWND w : Descendants(Form()))
            if (_stricmp(ClassOf(w).c_str(), "ListBox") == 0) return w;
        return nullptr;
    }
    int LogLines() const { return static_cast<int>(Send(TextListBox1(), LB_GETCOUNT)); }

private:
    void Start(std::string line, std::optional<WORD> showMode, const char* directory, char* environment) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (showMode) {
            si.dwFlags = STARTF_USESHOWWINDOW;
            si.wShowWindow = *showMode;
        }
        PROCESS_INFORMATION pi{};
        if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, environment, directory, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            process_ = pi.hProcess;
            id_ = pi.dwProcessId;
        }
    }
    // The edit whose style has exactly these of ES_MULTILINE and WS_VSCROLL.
    HWND Edit(LONG style) const {
        for (HWND w : Descendants(Form()))
            if (_stricmp(ClassOf(w).c_str(), "Edit") == 0 &&
                (::GetWindowLongA(w, GWL_STYLE) & (ES_MULTILINE | WS_VSCROLL)) == style)
                return w;
        return nullptr;
    }

    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The text of a message window, and a click on its OK button.
inline std::string MessageText(HWND box) {
    for (HWND w : Descendants(box))
        if (_stricmp(ClassOf(w).c_str(), "Static") == 0)
            if (std::string text = TextOf(w); !text.empty()) return text;
    return {};
}

inline void CloseMessage(HWND box) { ::PostMessageA(box, WM_COMMAND, IDOK, 0); }

// The icon a message window shows, if any: a shown icon control holding one.
inline bool ShowsIcon(HWND box) {
    for (HWND w : Descendants(box))
        if (_stricmp(ClassOf(w).c_str(), "Static") == 0 &&
            (::GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ::IsWindowVisible(w) &&
            Send(w, STM_GETICON) != 0)
            return true;
    return false;
}

// The captions of a message window's buttons.
inline std::vector<std::string> ButtonTexts(HWND box) {
    std::vector<std::string> texts;
    for (HWND w : Descendants(box))
        if (_stricmp(ClassOf(w).c_str(), "Button") == 0 && ::IsWindowVisible(w)) texts.push_back(TextOf(w));
    return texts;
}

}  // namespace sw::test
