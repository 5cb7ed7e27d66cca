#include "Synchronize.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace sw {

namespace {

struct PendingCall {
    const std::function<void()>* call;
    std::exception_ptr error;
    bool done = false;
};

std::mutex queueMutex;
std::condition_variable callDone;
std::deque<PendingCall*> queue;
std::function<void()> wakeMainThread;
DWORD mainThreadId = 0;

}  // namespace

void MarkMainThread() {
    if (mainThreadId == 0) mainThreadId = ::GetCurrentThreadId();
}

bool IsMainThread() { return mainThreadId == 0 || ::GetCurrentThreadId() == mainThreadId; }

void SetSynchronizeWakeup(std::function<void()> wakeup) {
    std::lock_guard lock(queueMutex);
    wakeMainThread = std::move(wakeup);
}

void Synchronize(const std::function<void()>& call) {
    if (IsMainThread()) {
        call();
        return;
    }
    PendingCall pending{&call, nullptr, false};
    std::unique_lock lock(queueMutex);
    queue.push_back(&pending);
    if (wakeMainThread) wakeMainThread();
    callDone.wait(lock, [&] { return pending.done; });
    if (pending.error) std::rethrow_exception(pending.error);
}

bool CheckSynchronize() {
    if (!IsMainThread()) return false;
    bool ran = false;
    for (;;) {
        PendingCall* pending = nullptr;
        {
            std::lock_guard lock(queueMutex);
            if (queue.empty()) break;
            pending = queue.front();
            queue.pop_front();
        }
        try {
            (*pending->call)();
        } catch (...) {
            pending->error = std::current_exception();
        }
        {
            std::lock_guard lock(queueMutex);
            pending->done = true;
        }
        callDone.notify_all();
        ran = true;
    }
    return ran;
}

}  // namespace sw
