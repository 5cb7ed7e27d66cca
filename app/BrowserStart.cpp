#include "BrowserStart.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "framework/Handles.h"
#include "framework/SystemCodePage.h"

namespace sw::guard {

namespace {

constexpr DWORD kLongPath = 32768;

// A folder for comparison: full, without a trailing backslash, in its long
// form where it exists.
std::wstring ComparableFolder(const std::wstring& folder) {
    std::wstring full(kLongPath, L'\0');
    DWORD length = ::GetFullPathNameW(folder.c_str(), kLongPath, full.data(), nullptr);
    if (length == 0 || length >= kLongPath) return folder;
    full.resize(length);
    std::wstring longForm(kLongPath, L'\0');
    const DWORD longLength = ::GetLongPathNameW(full.c_str(), longForm.data(), kLongPath);
    std::wstring result = longLength > 0 && longLength < kLongPath ? longForm.substr(0, longLength) : full;
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/')) result.pop_back();
    return result;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(ComparableFolder(a).c_str(), ComparableFolder(b).c_str()) == 0;
}

// A folder given as "X:\..." or "\\server\...": not relative to anything.
bool IsAbsoluteFolder(const std::wstring& folder) {
    if (folder.size() >= 3 && ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z')) &&
        folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/'))
        return true;
    return folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\';
}

std::wstring ProgramFolder() {
    std::wstring folder(kLongPath, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, folder.data(), kLongPath);
    folder.resize(length < kLongPath ? length : 0);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.erase(slash == std::wstring::npos ? 0 : slash);
    return folder;
}

std::wstring CurrentFolder() {
    std::wstring folder(kLongPath, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(kLongPath, folder.data());
    folder.resize(length > 0 && length < kLongPath ? length : 0);
    return folder;
}

std::wstring EnvironmentPath() {
    const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"PATH", value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

// The folders a program of the system may come from, in the order searched:
// the system directory, the Windows directory, then the entries of PATH
// (quotes removed). Empty and relative entries are left out, and so are the
// program's own folder and the current folder, wherever they appear: a
// download folder holds what anyone put there.
std::vector<std::wstring> SystemProgramFolders() {
    std::vector<std::wstring> candidates;
    wchar_t folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    const std::wstring path = EnvironmentPath();
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring entry = path.substr(start, end - start);
        entry.erase(std::remove(entry.begin(), entry.end(), L'"'), entry.end());
        candidates.push_back(entry);
        start = end + 1;
    }
    const std::wstring own = ProgramFolder();
    const std::wstring current = CurrentFolder();
    std::vector<std::wstring> folders;
    for (const std::wstring& candidate : candidates) {
        if (!IsAbsoluteFolder(candidate)) continue;
        if (SameFolder(candidate, own) || (!current.empty() && SameFolder(candidate, current))) continue;
        folders.push_back(candidate);
    }
    return folders;
}

std::wstring Widened(const std::string& ansi) {
    const std::u16string wide = SystemAnsiCodePage().Decode(ansi);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

std::wstring FindSystemProgram(const std::wstring& name) {
    // A bare name only: a path would be searched relative to the current folder.
    if (name.empty() || name.find_first_of(L"\\/:\"") != std::wstring::npos) return {};
    std::wstring list;
    for (const std::wstring& folder : SystemProgramFolders()) list += (list.empty() ? L"" : L";") + folder;
    if (list.empty()) return {};
    std::wstring found(kLongPath, L'\0');
    const DWORD length = ::SearchPathW(list.c_str(), name.c_str(), L".EXE", kLongPath, found.data(), nullptr);
    return length > 0 && length < kLongPath ? found.substr(0, length) : std::wstring();
}

bool StartBrowserProgram(const std::string& service, const std::string& topic) {
    const std::wstring program = FindSystemProgram(Widened(service));
    if (program.empty()) return false;
    std::wstring commandLine = L"\"" + program + L"\" " + Widened(topic);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
        return false;
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    return true;
}

}  // namespace sw::guard
