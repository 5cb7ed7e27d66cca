#include "Thread.h"

#include <process.h>

#include "Application.h"
#include "StrUtils.h"
#include "Synchronize.h"

namespace sw {

namespace {

constexpr const char* kCreateFailed = "Thread kann nicht erstellt werden (Fehler %s)";
constexpr const char* kResumeFailed = "Thread kann nicht fortgesetzt werden (Fehler %s)";

[[noreturn]] void RaiseThreadError(const char* format) {
    throw EThread(FormatText(format, IntToStr(::GetLastError())));
}

constexpr int kWindowsPriorities[] = {
    THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};

}  // namespace

int WindowsThreadPriority(TThreadPriority priority) {
    return priority <= tpTimeCritical ? kWindowsPriorities[priority] : THREAD_PRIORITY_NORMAL;
}

TThread::TThread() {
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id);
    if (handle == 0) RaiseThreadError(kCreateFailed);
    handle_.Attach(reinterpret_cast<HANDLE>(handle));
    threadId_ = id;
}

TThread::~TThread() { EndThread(); }

void TThread::EndThread() {
    // A self-deleting thread comes here on its own thread, after its body.
    if (::GetCurrentThreadId() == threadId_ || finished_) return;
    Terminate();
    if (!started_) skipBody_ = true;
    while (suspended_) {
        const DWORD previous = ::ResumeThread(handle_.Get());
        if (previous == static_cast<DWORD>(-1)) return;  // nothing left to resume; the handle still closes
        if (previous <= 1) suspended_ = false;
    }
    WaitFor();
}

void TThread::Resume() {
    const DWORD previous = ::ResumeThread(handle_.Get());
    if (previous == static_cast<DWORD>(-1)) RaiseThreadError(kResumeFailed);
    if (previous <= 1) {
        started_ = true;
        suspended_ = false;
    }
}

TThreadPriority TThread::Priority() const {
    const int value = ::GetThreadPriority(handle_.Get());
    for (int p = tpIdle; p <= tpTimeCritical; ++p)
        if (kWindowsPriorities[p] == value) return static_cast<TThreadPriority>(p);
    return tpNormal;
}

void TThread::SetPriority(TThreadPriority priority) {
    ::SetThreadPriority(handle_.Get(), WindowsThreadPriority(priority));
}

void TThread::WaitFor() {
    if (!IsMainThread()) {
        ::WaitForSingleObject(handle_.Get(), INFINITE);
        return;
    }
    while (::WaitForSingleObject(handle_.Get(), 10) == WAIT_TIMEOUT) CheckSynchronize();
}

void TThread::Synchronize(const std::function<void()>& call) { sw::Synchronize(call); }

unsigned __stdcall TThread::ThreadProc(void* parameter) {
    auto* thread = static_cast<TThread*>(parameter);
    if (!thread->skipBody_) {
        try {
            thread->Execute();
        } catch (...) {
            if (Application) Application->HandleException(thread);
        }
    }
    const bool freeIt = thread->freeOnTerminate_;
    thread->finished_ = true;
    if (freeIt) delete thread;
    return 0;
}

}  // namespace sw
