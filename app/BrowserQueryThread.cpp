#include "BrowserQueryThread.h"

#include <process.h>

#include <utility>

#include "BrowserStart.h"
#include "GuardTexts.h"

namespace sw::guard {

bool TQueryJob::TakeReply(std::string& reply) {
    const std::lock_guard hold(lock_);
    if (!answered_) return false;
    reply = reply_;
    return true;
}

void TQueryJob::Answer(const std::string& reply) {
    {
        const std::lock_guard hold(lock_);
        if (answered_) return;
        answered_ = true;
        reply_ = reply;
    }
    ::PostMessageA(answerTo, answerMessage, id, 0);
}

// What the asking side and the query's thread share: the next query, the
// one running and the request to end. Shared too, so that a thread left
// waiting at the program's end still finds it.
struct TQueryThreadState {
    std::mutex lock;
    std::shared_ptr<TQueryJob> next;
    std::shared_ptr<TQueryJob> running;
    bool quit = false;
    KernelHandle wake{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
};

namespace {

// What is left of a time limit that started at `started`.
DWORD RemainingTime(DWORD started, DWORD limit) {
    const DWORD elapsed = ::GetTickCount() - started;
    return elapsed < limit ? limit - elapsed : 0;
}

std::string RunQuery(DWORD instance, TQueryJob& job) {
    const TDdeConversation conversation(
        instance, job.service, WindowInfoTopic,
        [&job] { return StartBrowserProgram(job.service, WindowInfoTopic); }, job.observer, job.disconnecting);
    const std::string reply = conversation.Request(WindowInfoItem, RemainingTime(job.started, job.timeLimit));
    // The reply goes out before the conversation is closed: a server slow to
    // end the conversation must not turn a reply into none.
    job.Answer(reply);
    return reply;
}

unsigned __stdcall QueryThreadBody(void* parameter) {
    std::shared_ptr<TQueryThreadState> state;
    {
        const std::unique_ptr<std::shared_ptr<TQueryThreadState>> handedOver(
            static_cast<std::shared_ptr<TQueryThreadState>*>(parameter));
        state = std::move(*handedOver);
    }
    const TDdeClientInstance instance;
    const HANDLE wake = state->wake.Get();
    for (;;) {
        // The thread's DDE windows answer while it waits: another program's
        // connect sends to every top-level window and waits for each.
        if (::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
            continue;
        }
        std::shared_ptr<TQueryJob> job;
        {
            const std::lock_guard hold(state->lock);
            if (state->quit) break;
            job = std::move(state->next);
            state->running = job;
        }
        if (!job) continue;
        std::string reply;
        try {
            if (instance.Id()) reply = RunQuery(instance.Id(), *job);
        } catch (...) {
            // Out of memory on the query's thread: the same as no reply.
        }
        job->Answer(reply);  // unless answered already
        job->finished = true;
        const std::lock_guard hold(state->lock);
        state->running.reset();
    }
    return 0;
}

// Waits for the object for at most `limit` milliseconds, handling meanwhile
// the messages that other threads send to this one (the query's connect
// sends one to every top-level window, this thread's too).
void WaitServingSentMessages(HANDLE object, DWORD limit) {
    const DWORD started = ::GetTickCount();
    for (;;) {
        const DWORD remaining = RemainingTime(started, limit);
        if (remaining == 0) return;
        if (::MsgWaitForMultipleObjects(1, &object, FALSE, remaining, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) return;
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// How long the program's end waits for the idle thread to end.
constexpr DWORD kEndWait = 5000;

}  // namespace

TBrowserQueryThread::TBrowserQueryThread() : state_(std::make_shared<TQueryThreadState>()) {
    if (!state_->wake) return;
    auto handOver = std::make_unique<std::shared_ptr<TQueryThreadState>>(state_);
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, QueryThreadBody, handOver.get(), 0, nullptr);
    if (thread == 0) return;
    handOver.release();  // the thread owns it now
    thread_.Attach(reinterpret_cast<HANDLE>(thread));
}

TBrowserQueryThread::~TBrowserQueryThread() {
    {
        const std::lock_guard hold(state_->lock);
        state_->quit = true;
        state_->next.reset();
    }
    ::SetEvent(state_->wake.Get());
    if (Busy() || !thread_) return;
    WaitServingSentMessages(thread_.Get(), kEndWait);
}

bool TBrowserQueryThread::Put(std::shared_ptr<TQueryJob> job) {
    if (!thread_) return false;
    {
        const std::lock_guard hold(state_->lock);
        state_->next = std::move(job);
    }
    ::SetEvent(state_->wake.Get());
    return true;
}

bool TBrowserQueryThread::Busy() const {
    const std::lock_guard hold(state_->lock);
    return state_->running && !state_->running->finished;
}

bool TBrowserQueryThread::HeldByQueryCutShort() const {
    const std::lock_guard hold(state_->lock);
    return state_->running && state_->running->cutShort && !state_->running->finished;
}

}  // namespace sw::guard
