// Autostart of the real program from a folder whose name the ANSI code page
// can't hold (a Cyrillic user name on a German Windows): the check box in
// the main window writes a Run value that names the program exactly, and
// the next start shows the box as the value is.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "app/StartwachtProcess.h"
#include "framework/Handles.h"
#include "support/TestSupport.h"

using namespace sw::test;
using namespace std::chrono_literals;

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kValueName[] = "Startwacht";
constexpr char kCheckBox[] = "Startwacht automatisch mit Windows starten";

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// A copy of the program in a folder of its own, gone with the object.
class ProgramCopy {
public:
    explicit ProgramCopy(const std::u16string& folderName) {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = temp + Wide(folderName);
        path_ = folder_ + L"\\Startwacht.exe";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        const std::string original = ProgramDir() + "\\Startwacht.exe";
        const std::wstring source(original.begin(), original.end());  // the test folder's name is ASCII
        copied_ = ::CopyFileW(source.c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~ProgramCopy() {
        if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.Get(), 1);
            ::WaitForSingleObject(process_.Get(), 10000);
        }
        ::DeleteFileW(path_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    bool Copied() const { return copied_; }
    std::u16string Path() const { return std::u16string(path_.begin(), path_.end()); }

    // Starts the copy; its main window, once the start is done and the
    // application parked.
    HWND Start() {
        std::wstring line = L"\"" + path_ + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return nullptr;
        ::CloseHandle(pi.hThread);
        process_ = sw::KernelHandle(pi.hProcess);
        id_ = pi.dwProcessId;
        HWND form = nullptr;
        WaitFor(
            [&] {
                form = OwnWindow("TForm1");
                const HWND application = OwnWindow("TApplication");
                return form && application && ::IsIconic(application);
            },
            30s);
        if (form) Send(OwnWindow("TApplication"), WM_SYSCOMMAND, SC_RESTORE, 0);
        return form;
    }
    std::optional<DWORD> WaitForEnd() {
        if (::WaitForSingleObject(process_.Get(), 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.Get(), 1);
            return std::nullopt;
        }
        DWORD code = 1;
        ::GetExitCodeProcess(process_.Get(), &code);
        return code;
    }

private:
    HWND OwnWindow(const char* windowClass) const {
        for (HWND w = ::FindWindowExA(nullptr, nullptr, windowClass, nullptr); w;
             w = ::FindWindowExA(nullptr, w, windowClass, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == id_) return w;
        }
        return nullptr;
    }

    std::wstring folder_;
    std::wstring path_;
    bool copied_ = false;
    sw::KernelHandle process_;
    DWORD id_ = 0;
};

HWND Child(HWND form, const char* windowClass, const std::string& text) {
    for (HWND w : Descendants(form))
        if (_stricmp(ClassOf(w).c_str(), windowClass) == 0 && TextOf(w) == text) return w;
    return nullptr;
}

class AutoRunProgram : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:test");
        ClearStartwachtFiles();
        RemoveValues();
    }
    void TearDown() override {
        RemoveValues();
        ClearStartwachtFiles();
        SetStartPage("about:blank");
    }
    static void RemoveValues() {
        DeleteValue(HKEY_CURRENT_USER, kRunKey, kValueName);
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kValueName);
    }
};

}  // namespace

TEST_F(AutoRunProgram, AProgramInAFolderOutsideTheCodePageRegistersItsExactPathAndReadsItBack) {
    ProgramCopy copy(u"Стартвахт Тест");
    ASSERT_TRUE(copy.Copied());

    HWND form = copy.Start();
    ASSERT_NE(form, nullptr) << "the copy did not start";
    HWND box = Child(form, "Button", kCheckBox);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_UNCHECKED) << "no Run value yet";
    Send(box, BM_CLICK);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);
    // The path has a blank, so it is quoted; every character as it is.
    EXPECT_EQ(ReadWideString(HKEY_CURRENT_USER, kRunKey, kValueName), u"\"" + copy.Path() + u"\"");
    Send(Child(form, "Button", "Beenden"), BM_CLICK);
    ASSERT_EQ(copy.WaitForEnd(), std::optional<DWORD>(0));

    // The next start reads the value back into the box; unticking removes it.
    form = copy.Start();
    ASSERT_NE(form, nullptr);
    box = Child(form, "Button", kCheckBox);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);
    Send(box, BM_CLICK);
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, kRunKey, kValueName).has_value());
    Send(Child(form, "Button", "Beenden"), BM_CLICK);
    ASSERT_EQ(copy.WaitForEnd(), std::optional<DWORD>(0));
}
