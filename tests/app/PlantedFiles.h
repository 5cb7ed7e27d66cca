// Folders with planted files, the environment a test changes for a while, and
// the starts that the fake browser records when a command starts it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace sw::test {

// A folder of the test, emptied and removed when the object goes.
class ScopedFolder {
public:
    explicit ScopedFolder(std::string path) : path_(std::move(path)) {
        RemoveTree(path_);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScopedFolder() { RemoveTree(path_); }
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found{};
        HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = folder + "\\" + name;
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
                else ::DeleteFileA(path.c_str());
            } while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(folder.c_str());
    }

    std::string path_;
};

inline std::optional<std::string> EnvironmentValue(const std::string& name) {
    const DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::string value(size, '\0');
    value.resize(::GetEnvironmentVariableA(name.c_str(), value.data(), size));
    return value;
}

// An environment variable of this process set for a while (nothing: removed).
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)), old_(EnvironmentValue(name_)) {
        ::SetEnvironmentVariableA(name_.c_str(), value ? value->c_str() : nullptr);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableA(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// This process's current folder, changed for a while.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) {
        char old[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, old);
        old_ = old;
        ::SetCurrentDirectoryA(folder.c_str());
    }
    ~ScopedCurrentFolder() { ::SetCurrentDirectoryA(old_.c_str()); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::string old_;
};

// Windows' search order for one library in the programs of one file name,
// while the object lives: Wine then takes the library from the program's
// folder first, where there is one, as Windows does with a library that it
// does not protect. (Wine reads its overrides from the registry when a
// process starts; an environment block passed to CreateProcess is not
// consulted.)
class ScopedWineNativeFirst {
public:
    ScopedWineNativeFirst(const std::string& program, const std::string& library)
        : key_("Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides"), library_(library) {
        EnsureKey(HKEY_CURRENT_USER, key_);
        WriteRawValue(HKEY_CURRENT_USER, key_, library_, REG_SZ, std::string("native,builtin") + '\0');
    }
    ~ScopedWineNativeFirst() { DeleteValue(HKEY_CURRENT_USER, key_, library_); }
    ScopedWineNativeFirst(const ScopedWineNativeFirst&) = delete;
    ScopedWineNativeFirst& operator=(const ScopedWineNativeFirst&) = delete;

private:
    std::string key_;
    std::string library_;
};

// A copy of the fake browser under another name: a program that, started by
// a command with the argument "WWW_GetWindowInfo", records its start.
inline bool PlantFakeBrowser(const std::string& path) {
    return ::CopyFileA((ProgramDir() + "\\FakeBrowser.exe").c_str(), path.c_str(), FALSE) != FALSE;
}

// One start recorded by the fake browser.
struct RecordedStart {
    std::string program;      // its own full path
    std::string show;         // the show mode it was given, "-" for none
    std::string commandLine;  // as it received it
};

inline std::vector<RecordedStart> RecordedStarts(const std::string& file) {
    std::vector<RecordedStart> starts;
    const std::string text = ReadFileBytes(file).value_or("");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t a = line.find('|');
        const size_t b = a == std::string::npos ? a : line.find('|', a + 1);
        const size_t c = b == std::string::npos ? b : line.find('|', b + 1);
        if (c == std::string::npos) continue;
        starts.push_back({line.substr(a + 1, b - a - 1), line.substr(b + 1, c - b - 1), line.substr(c + 1)});
    }
    return starts;
}

inline bool SamePath(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace sw::test
