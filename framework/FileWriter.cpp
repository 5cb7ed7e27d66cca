#include "FileWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

#include "Application.h"
#include "Exceptions.h"
#include "MessageWindow.h"
#include "TextFile.h"
#include "Thread.h"

namespace sw {

namespace {

constexpr char kWindowClass[] = "TFileWriterWindow";
// The writing thread's word that a write failed.
constexpr UINT WM_FILEWRITEFAILED = WM_APP + 1;

using Clock = std::chrono::steady_clock;

struct FileJob {
    std::string path;
    std::string data;
};

// A failed write, with the count of the file's successful writes right
// after it.
struct FileFailure {
    std::string path;
    std::string message;
    uint64_t writesBefore;
};

}  // namespace

// Waits for content, writes it, rests, and posts each failure to the
// writer's window. It never waits for the thread that owns the window. Its
// events are made with it, so that its handles stay the same from the start.
class TFileWriterThread : public TThread {
public:
    explicit TFileWriterThread(HWND window)
        : window_(window),
          changed_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          idle_(::CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
        if (!changed_ || !idle_) throw EOutOfResources("Ereignis kann nicht erzeugt werden");
    }
    ~TFileWriterThread() override {
        {
            std::lock_guard hold(lock_);
            stopping_ = true;
        }
        ::SetEvent(changed_.Get());
        EndThread();
        ::WaitForSingleObject(Handle(), INFINITE);
    }

    void Put(const std::string& path, std::string data) {
        {
            std::lock_guard hold(lock_);
            const auto same = std::find_if(jobs_.begin(), jobs_.end(), [&](const FileJob& j) { return j.path == path; });
            if (same != jobs_.end())
                same->data = std::move(data);
            else
                jobs_.push_back(FileJob{path, std::move(data)});
            ::ResetEvent(idle_.Get());
        }
        ::SetEvent(changed_.Get());
    }

    void Drain() {
        {
            std::lock_guard hold(lock_);
            hurry_ = true;
        }
        ::SetEvent(changed_.Get());
        ::WaitForSingleObject(idle_.Get(), INFINITE);
        std::lock_guard hold(lock_);
        hurry_ = false;
    }

    // The failures that no later write put right. One whose file has newer
    // content waiting, or being written, is kept until that write ends: a
    // success then puts it right, a failure takes its place.
    std::vector<std::string> TakeFailures() {
        std::lock_guard hold(lock_);
        std::vector<std::string> told;
        std::erase_if(failures_, [&](FileFailure& failure) {
            if (SuccessfulWritesOf(failure.path) != failure.writesBefore) return true;
            const bool waiting = failure.path == writing_ ||
                                 std::any_of(jobs_.begin(), jobs_.end(),
                                             [&](const FileJob& job) { return job.path == failure.path; });
            if (waiting) return false;
            told.push_back(std::move(failure.message));
            return true;
        });
        return told;
    }

    std::atomic<uint32_t> minimumGap{0};

protected:
    void Execute() override {
        for (;;) {
            ::WaitForSingleObject(changed_.Get(), INFINITE);
            for (;;) {
                std::unique_lock hold(lock_);
                if (jobs_.empty()) {
                    ::SetEvent(idle_.Get());
                    if (stopping_) return;
                    break;
                }
                // The rest after the last write; what waits meanwhile may
                // still be replaced by newer content.
                const auto now = Clock::now();
                if (!stopping_ && !hurry_ && now < restUntil_) {
                    const auto left = std::chrono::ceil<std::chrono::milliseconds>(restUntil_ - now);
                    hold.unlock();
                    ::WaitForSingleObject(changed_.Get(), static_cast<DWORD>(left.count()));
                    continue;
                }
                const FileJob job = std::move(jobs_.front());
                jobs_.erase(jobs_.begin());
                writing_ = job.path;
                hold.unlock();
                const auto start = Clock::now();
                std::string failure;
                try {
                    WriteWholeFile(job.path, job.data);
                } catch (const std::exception& e) {
                    failure = e.what();
                } catch (...) {
                    failure = job.path;
                }
                const auto end = Clock::now();
                hold.lock();
                writing_.clear();
                restUntil_ =
                    end + std::max<Clock::duration>(end - start, std::chrono::milliseconds(minimumGap.load()));
                // One failure per file: the newest stands for the older.
                std::erase_if(failures_, [&](const FileFailure& f) { return f.path == job.path; });
                if (!failure.empty()) {
                    failures_.push_back(FileFailure{job.path, std::move(failure), SuccessfulWritesOf(job.path)});
                    ::PostMessageA(window_, WM_FILEWRITEFAILED, 0, 0);
                }
            }
        }
    }

private:
    const HWND window_;
    std::mutex lock_;
    // Signalled when content comes, to hurry or to stop.
    KernelHandle changed_;
    // Set while nothing waits and nothing is being written.
    KernelHandle idle_;
    std::vector<FileJob> jobs_;
    // The path being written at this moment, empty between writes.
    std::string writing_;
    std::vector<FileFailure> failures_;
    bool stopping_ = false;
    bool hurry_ = false;
    Clock::time_point restUntil_{};
};

TFileWriter::TFileWriter() : window_(NewMessageWindow(kWindowClass, StaticWndProc, this)) {
    thread_ = std::make_unique<TFileWriterThread>(window_.Get());
    thread_->Resume();
}

TFileWriter::~TFileWriter() {
    thread_.reset();
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
}

void TFileWriter::Write(const std::string& path, std::string data) { thread_->Put(path, std::move(data)); }

void TFileWriter::Wait() { thread_->Drain(); }

uint32_t TFileWriter::MinimumGap() const { return thread_->minimumGap; }

void TFileWriter::SetMinimumGap(uint32_t milliseconds) { thread_->minimumGap = milliseconds; }

void TFileWriter::TellFailures() {
    for (const std::string& failure : thread_->TakeFailures())
        if (OnFailure) OnFailure(failure);
}

LRESULT CALLBACK TFileWriter::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TFileWriter*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_FILEWRITEFAILED || !self) return ::DefWindowProcA(window, message, wParam, lParam);
    return GuardedWndProc(nullptr, [&]() -> LRESULT {
        self->TellFailures();
        return 0;
    });
}

}  // namespace sw
