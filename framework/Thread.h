// The thread class: an object whose Execute runs on a thread of its own.
// Every thread object starts suspended, so that its body never runs inside a
// half-built object; Resume starts it, StartThread creates and starts one in
// one step. A thread with FreeOnTerminate deletes itself when its body
// returns. An error that escapes the body goes to the application's central
// handler with the thread as sender.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

#include "Component.h"
#include "Exceptions.h"
#include "Handles.h"

namespace sw {

enum TThreadPriority : uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// The Windows thread priority that a TThreadPriority stands for.
int WindowsThreadPriority(TThreadPriority priority);

// The operating system refused a thread operation.
class EThread : public Exception {
    using Exception::Exception;
};

class TThread : public TObject {
public:
    // Creates the thread suspended. Raises EThread when the system refuses.
    TThread();
    // Ends the thread as EndThread does.
    ~TThread() override;

    // Lowers the suspend count by one; the body runs once it reaches zero.
    void Resume();
    // Asks the body to end; Execute polls Terminated.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Suspended() const { return suspended_; }
    // True once the body has returned (or ended with an error).
    bool Finished() const { return finished_; }

    // Set before the body can end; a self-deleting thread must not be
    // touched once it may have ended.
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority priority);

    HANDLE Handle() const { return handle_.Get(); }
    DWORD ThreadID() const { return threadId_; }

    // Waits for the body to end. On the main thread, queued main-thread calls
    // keep running meanwhile, so a body that waits for one can finish.
    void WaitFor();

protected:
    virtual void Execute() = 0;
    // Ends a thread that is not self-deleting: a running body is terminated
    // and waited for, a body that never ran is skipped. The destructor calls
    // it, but only after the derived parts are gone: a derived class whose
    // body uses its own members calls it first in its own destructor.
    void EndThread();
    // Runs the call on the main thread and waits until it has run there; an
    // error raised by the call is raised again here.
    void Synchronize(const std::function<void()>& call);

private:
    static unsigned __stdcall ThreadProc(void* parameter);

    KernelHandle handle_;
    DWORD threadId_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> skipBody_{false};
    std::atomic<bool> freeOnTerminate_{false};
};

// Creates a thread object of type T and starts its body.
template <typename T, typename... Args>
T* StartThread(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    thread->Resume();
    return thread;
}

}  // namespace sw
