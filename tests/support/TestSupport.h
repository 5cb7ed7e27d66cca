// Helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sw::test {

// Errors that reached the application's central handler during the test.
// The handler may run on other threads (a timer's tick thread): while such a
// thread may still report, use the locked helpers below.
std::vector<std::string>& ReportedErrors();
void ReportError(const std::string& message);
std::vector<std::string> ReportedErrorsSnapshot();
void ClearReportedErrors();

// Polls until the condition holds or the deadline passes, pumping messages.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(10));

// The system directory as this build sees it.
std::string SystemDir();

// Files: whole content, or nothing when missing.
std::optional<std::string> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void RemoveFile(const std::string& path);

// The directory of the running test program.
std::string ProgramDir();

// A path of the tests' own folders (ASCII) widened, and a wide text as
// UTF-8: for paths under a name that the ANSI code page lacks.
std::wstring Widened(const std::string& ascii);
std::string Utf8(const std::wstring& text);

// The 32-bit top-down pixels of a bitmap, as 0x00BBGGRR.
std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int width, int height);
// The screen's pixels in a rectangle, the same way.
std::vector<COLORREF> ScreenPixels(const RECT& area);

// A registry value of HKEY_CURRENT_USER or another hive, read raw.
struct RawValue {
    DWORD type = REG_NONE;
    std::string data;
};
std::optional<RawValue> ReadRawValue(HKEY root, const std::string& key, const std::string& name);
void WriteRawValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& data);
void DeleteValue(HKEY root, const std::string& key, const std::string& name);
// A string value written and read in UTF-16, as a program using the
// wide-character calls does; empty when missing.
void WriteWideString(HKEY root, const std::string& key, const std::string& name, const std::u16string& text);
std::u16string ReadWideString(HKEY root, const std::string& key, const std::string& name);
void EnsureKey(HKEY root, const std::string& key);
void DeleteKeyTree(HKEY root, const std::string& key);

// A child process that is ended when the owner goes.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(const std::string& commandLine, bool waitForInputIdle = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    bool Running() const;
    HANDLE Handle() const { return process_; }
    DWORD Id() const { return id_; }
    // Waits for the end; nothing when the deadline passes.
    std::optional<DWORD> Wait(std::chrono::milliseconds deadline);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Runs the current test again in a child process that the system starts at
// another screen resolution (the desktop's LogPixels, which a program reads
// when it starts; set for the child's run and put back after it) and gives
// its exit code, or nothing when it did not end within a minute. The
// child's output is printed here. In the child, TestResolution() names that
// resolution; it is 0 in a test run as usual.
std::optional<DWORD> RunCurrentTestAt(int dpi);
int TestResolution();

}  // namespace sw::test
