#include "TextFile.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

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

// Runs `step` until it succeeds; an access refusal or a sharing violation
// (another program holding the file for a moment) is tried again briefly,
// anything else fails at once.
template <typename Step>
bool Retried(Step&& step) {
    for (int attempt = 1;; ++attempt) {
        if (step()) return true;
        const DWORD error = ::GetLastError();
        if (attempt == kReplaceAttempts || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            return false;
        ::Sleep(kReplaceRetryMs);
    }
}

// Two writes of one file in this process take turns: they share the one
// temporary file beside it. Each file also counts its successful writes.
struct FileWrites {
    std::mutex turn;
    std::atomic<uint64_t> succeeded{0};
};

FileWrites& WritesOf(const std::string& path) {
    // Never destroyed: a write may still run while the process ends.
    static auto* guard = new std::mutex;
    static auto* files = new std::map<std::string, std::unique_ptr<FileWrites>>;
    std::lock_guard hold(*guard);
    std::unique_ptr<FileWrites>& writes = (*files)[path];
    if (!writes) writes = std::make_unique<FileWrites>();
    return *writes;
}

// The temporary file of one write, deleted unless it was moved into place.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) ::DeleteFileA(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

    // Removes what a crash between an earlier write and its rename left
    // there. Such a leftover may carry the old file's hidden or system flag
    // (set just before the rename), which would make creating it anew fail.
    bool RemoveLeftover() const {
        if (::GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileA(path_.c_str()) != 0;
    }

private:
    std::string path_;
};

}  // namespace

std::string TemporaryPathOf(const std::string& path) { return path + ".tmp"; }

void WriteWholeFile(const std::string& path, const std::string& data) {
    const auto fail = [&] { return EFCreateError(FormatText(texts::FileCreateError, path)); };

    const DWORD oldAttributes = ::GetFileAttributesA(path.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES &&
        (oldAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        throw fail();

    FileWrites& writes = WritesOf(path);
    std::lock_guard writing(writes.turn);
    TempFile temp(TemporaryPathOf(path));
    {
        FileHandle file;
        // Made anew, never opened as found: a leftover held open by another
        // program is waited for like the file itself.
        const bool created = Retried([&] {
            if (!temp.RemoveLeftover()) return false;
            file.Attach(::CreateFileA(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(file);
        });
        if (!created) {
            temp.Release();  // what is there now is not this write's
            throw fail();
        }
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
    if (!Retried([&] {
            return ::MoveFileExA(temp.Path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
                   0;
        }))
        throw fail();
    temp.Release();
    ++writes.succeeded;
}

uint64_t SuccessfulWritesOf(const std::string& path) { return WritesOf(path).succeeded; }

}  // namespace sw
