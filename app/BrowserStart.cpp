#include "BrowserStart.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "framework/Handles.h"

namespace sw::guard {

namespace {

// A folder for comparison: full, without a trailing backslash, in its long
// form where it exists.
std::string ComparableFolder(const std::string& folder) {
    char full[MAX_PATH] = {};
    DWORD length = ::GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return folder;
    char longForm[MAX_PATH] = {};
    const DWORD longLength = ::GetLongPathNameA(full, longForm, MAX_PATH);
    std::string result = longLength > 0 && longLength < MAX_PATH ? longForm : full;
    while (result.size() > 3 && (result.back() == '\\' || result.back() == '/')) result.pop_back();
    return result;
}

bool SameFolder(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(ComparableFolder(a).c_str(), ComparableFolder(b).c_str()) == 0;
}

// A folder given as "X:\..." or "\\server\...": not relative to anything.
bool IsAbsoluteFolder(const std::string& folder) {
    if (folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
        (folder[2] == '\\' || folder[2] == '/'))
        return true;
    return folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\';
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    const size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash);
    return folder;
}

std::string CurrentFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, path);
    return length > 0 && length <= MAX_PATH ? std::string(path) : std::string();
}

std::string EnvironmentPath() {
    const DWORD size = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    const DWORD length = ::GetEnvironmentVariableA("PATH", value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

// The folders a program of the system may come from, in the order searched:
// the system directory, the Windows directory, then the entries of PATH
// (quotes removed). Empty and relative entries are left out, and so are the
// program's own folder and the current folder, wherever they appear: a
// download folder holds what anyone put there.
std::vector<std::string> SystemProgramFolders() {
    std::vector<std::string> candidates;
    char folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    length = ::GetSystemWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) candidates.emplace_back(folder, length);
    const std::string path = EnvironmentPath();
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        std::string entry = path.substr(start, end - start);
        entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
        candidates.push_back(entry);
        start = end + 1;
    }
    const std::string own = ProgramFolder();
    const std::string current = CurrentFolder();
    std::vector<std::string> folders;
    for (const std::string& candidate : candidates) {
        if (!IsAbsoluteFolder(candidate)) continue;
        if (SameFolder(candidate, own) || (!current.empty() && SameFolder(candidate, current))) continue;
        folders.push_back(candidate);
    }
    return folders;
}

}  // namespace

std::string FindSystemProgram(const std::string& name) {
    // A bare name only: a path would be searched relative to the current folder.
    if (name.empty() || name.find_first_of("\\/:\"") != std::string::npos) return {};
    std::string list;
    for (const std::string& folder : SystemProgramFolders()) list += (list.empty() ? "" : ";") + folder;
    if (list.empty()) return {};
    char found[MAX_PATH] = {};
    const DWORD length = ::SearchPathA(list.c_str(), name.c_str(), ".EXE", MAX_PATH, found, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(found, length) : std::string();
}

bool StartBrowserProgram(const std::string& service, const std::string& topic) {
    const std::string program = FindSystemProgram(service);
    if (program.empty()) return false;
    std::string commandLine = "\"" + program + "\" " + topic;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
        return false;
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    return true;
}

}  // namespace sw::guard
