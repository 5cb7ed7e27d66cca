#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

#include "framework/Application.h"
#include "framework/Handles.h"

namespace sw::test {

std::vector<std::string>& ReportedErrors() {
    static std::vector<std::string> errors;
    return errors;
}

namespace {
std::mutex reportedErrorsLock;
}  // namespace

void ReportError(const std::string& message) {
    std::lock_guard lock(reportedErrorsLock);
    ReportedErrors().push_back(message);
}

std::vector<std::string> ReportedErrorsSnapshot() {
    std::lock_guard lock(reportedErrorsLock);
    return ReportedErrors();
}

void ClearReportedErrors() {
    std::lock_guard lock(reportedErrorsLock);
    ReportedErrors().clear();
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= until) return condition();
        if (Application) Application->ProcessMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string SystemDir() {
    char dir[MAX_PATH + 1] = {};
    ::GetSystemDirectoryA(dir, sizeof dir);
    return dir;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    // Shared for reading, writing and deleting, and open only for the read:
    // under Wine a file open anywhere can't be replaced, and the program
    // tries its replacement again only for a moment.
    const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0) return bytes;
        bytes.append(buffer, read);
    }
    return std::nullopt;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void RemoveFile(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    ::RemoveDirectoryA(path.c_str());
}

std::string ProgramDir() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\'));
}

std::wstring Widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

std::optional<RawValue> ReadRawValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    std::optional<RawValue> result;
    if (::RegQueryValueExA(handle, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (::RegQueryValueExA(handle, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                               &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            result = value;
        }
    }
    ::RegCloseKey(handle);
    return result;
}

void EnsureKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(handle);
}

void WriteRawValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& data) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    ::RegSetValueExA(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
    ::RegCloseKey(handle);
}

void WriteWideString(HKEY root, const std::string& key, const std::string& name, const std::u16string& text) {
    const std::u16string value(name.begin(), name.end());
    EnsureKey(root, key);
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
    ::RegSetValueExW(handle, reinterpret_cast<const wchar_t*>(value.c_str()), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * 2));
    ::RegCloseKey(handle);
}

std::u16string ReadWideString(HKEY root, const std::string& key, const std::string& name) {
    const std::u16string wideKey(key.begin(), key.end());
    const std::u16string value(name.begin(), name.end());
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    ::RegGetValueW(root, reinterpret_cast<const wchar_t*>(wideKey.c_str()),
                   reinterpret_cast<const wchar_t*>(value.c_str()), RRF_RT_REG_SZ, nullptr, data, &size);
    return reinterpret_cast<const char16_t*>(data);
}

void DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(handle, name.c_str());
    ::RegCloseKey(handle);
}

void DeleteKeyTree(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    char sub[256];
    DWORD size = sizeof sub;
    while (::RegEnumKeyExA(handle, 0, sub, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteKeyTree(handle, sub);
        size = sizeof sub;
    }
    ::RegCloseKey(handle);
    ::RegDeleteKeyA(root, key.c_str());
}

ChildProcess::ChildProcess(const std::string& commandLine, bool waitForInputIdle) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        id_ = pi.dwProcessId;
        if (waitForInputIdle) ::WaitForInputIdle(process_, 10000);
    }
}

ChildProcess::~ChildProcess() { Kill(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::exchange(other.process_, nullptr);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

bool ChildProcess::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> ChildProcess::Wait(std::chrono::milliseconds deadline) {
    if (!process_) return std::nullopt;
    if (::WaitForSingleObject(process_, static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::Kill() {
    if (!process_) return;
    if (Running()) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(process_);
    process_ = nullptr;
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int width, int height) {
    std::vector<RGBQUAD> raw(static_cast<size_t>(width * height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    WindowDC screen(nullptr);
    ::GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(height), raw.data(), &info, DIB_RGB_COLORS);
    std::vector<COLORREF> pixels;
    pixels.reserve(raw.size());
    for (const RGBQUAD& q : raw) pixels.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    return pixels;
}

std::vector<COLORREF> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    WindowDC screen(nullptr);
    GdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    {
        MemoryDC memory(::CreateCompatibleDC(screen.Get()));
        const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY);
        ::SelectObject(memory.Get(), old);
    }
    return BitmapPixels(static_cast<HBITMAP>(bitmap.Get()), width, height);
}

namespace {

constexpr char kResolutionVariable[] = "SW_TEST_RESOLUTION";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";

// Puts the desktop's LogPixels back as it was, also when the test fails.
class LogPixelsSet {
public:
    explicit LogPixelsSet(int dpi) : before_(ReadRawValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels")) {
        const DWORD value = static_cast<DWORD>(dpi);
        WriteRawValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD,
                      std::string(reinterpret_cast<const char*>(&value), sizeof value));
    }
    ~LogPixelsSet() {
        if (before_)
            WriteRawValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", before_->type, before_->data);
        else
            DeleteValue(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    }
    LogPixelsSet(const LogPixelsSet&) = delete;
    LogPixelsSet& operator=(const LogPixelsSet&) = delete;

private:
    std::optional<RawValue> before_;
};

}  // namespace

int TestResolution() {
    char value[16] = {};
    if (::GetEnvironmentVariableA(kResolutionVariable, value, sizeof value) == 0) return 0;
    return std::atoi(value);
}

std::optional<DWORD> RunCurrentTestAt(int dpi) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string outputPath =
        std::string(temp) + "sw-at-" + std::to_string(dpi) + "-" + std::to_string(::GetCurrentProcessId()) + ".txt";

    std::optional<DWORD> exitCode;
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE output = ::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) return std::nullopt;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = output;
        si.hStdError = output;
        std::string line = std::string("\"") + self + "\" --gtest_filter=" + test->test_suite_name() + "." +
                           test->name();
        LogPixelsSet resolution(dpi);
        ::SetEnvironmentVariableA(kResolutionVariable, std::to_string(dpi).c_str());
        PROCESS_INFORMATION pi{};
        const BOOL started =
            ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        ::SetEnvironmentVariableA(kResolutionVariable, nullptr);
        ::CloseHandle(output);
        if (started) {
            ::CloseHandle(pi.hThread);
            if (::WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
                DWORD code = 0;
                ::GetExitCodeProcess(pi.hProcess, &code);
                exitCode = code;
            } else {
                ::TerminateProcess(pi.hProcess, 1);
                ::WaitForSingleObject(pi.hProcess, 5000);
            }
            ::CloseHandle(pi.hProcess);
        }
    }
    if (const auto printed = ReadFileBytes(outputPath))
        std::printf("---- at %d dpi ----\n%s---- end of the run at %d dpi ----\n", dpi, printed->c_str(), dpi);
    RemoveFile(outputPath);
    return exitCode;
}

}  // namespace sw::test
