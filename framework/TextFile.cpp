#include "TextFile.h"

#include <windows.h>

#include "Exceptions.h"
#include "Handles.h"
#include "StrUtils.h"
#include "Texts.h"

namespace sw {

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ReadWholeFile(const std::string& path) {
    const auto fail = [&] { return EFOpenError(FormatText(texts::FileOpenError, path)); };
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw fail();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) throw fail();
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < data.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), data.data() + done, static_cast<DWORD>(data.size() - done), &read, nullptr))
            throw fail();
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    data.resize(done);
    return data;
}

namespace {

// A file held open by another program is tried again for about 200 ms.
constexpr int kReplaceAttempts = 11;
constexpr DWORD kReplaceRetryMs = 20;

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || path[slash - 1] == ':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// A temporary file that is deleted unless it was moved into place.
class TempFile {
public:
    explicit TempFile(const std::string& directory) {
        char name[MAX_PATH + 1] = {};
        if (::GetTempFileNameA(directory.c_str(), "stw", 0, name) != 0) path_ = name;
    }
    ~TempFile() {
        if (!path_.empty()) ::DeleteFileA(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

}  // namespace

void WriteWholeFile(const std::string& path, const std::string& data) {
    const auto fail = [&] { return EFCreateError(FormatText(texts::FileCreateError, path)); };

    const DWORD oldAttributes = ::GetFileAttributesA(path.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES &&
        (oldAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        throw fail();

    TempFile temp(DirectoryOf(path));
    if (temp.Path().empty()) throw fail();
    {
        FileHandle file(::CreateFileA(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw fail();
        size_t done = 0;
        while (done < data.size()) {
            DWORD written = 0;
            if (!::WriteFile(file.Get(), data.data() + done, static_cast<DWORD>(data.size() - done), &written,
                             nullptr) ||
                written == 0)
                throw fail();
            done += written;
        }
        if (!::FlushFileBuffers(file.Get())) throw fail();
    }
    // Keep the old file's hidden, system and archive flags.
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        if (kept != 0) ::SetFileAttributesA(temp.Path().c_str(), kept);
    }
    // Another program that reads the file at this moment (a virus scanner, a
    // backup, a viewer) can make the replacement fail for as long as it holds
    // the file open: Wine refuses to replace a file open anywhere. Such a
    // reader lets go within moments; only a lasting refusal is an error.
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(temp.Path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = ::GetLastError();
        if (attempt == kReplaceAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            throw fail();
        ::Sleep(kReplaceRetryMs);
    }
    temp.Release();
}

}  // namespace sw
