// The thread that runs the browser queries: it keeps a DDE instance of its
// own, takes one query at a time, and posts each answer to the window that
// asked, as soon as the reply is there (before the conversation is closed).
// The thread that asks never waits for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "DdeConversation.h"
#include "framework/Handles.h"

namespace sw::guard {

// One query, shared by the window that asked and the query's thread.
struct TQueryJob {
    uint32_t id = 0;
    std::string service;
    TConversationObserver observer;
    TDisconnectObserver disconnecting;
    // When the query was asked: the request waits only for what is left of
    // the query's time.
    DWORD started = 0;
    DWORD timeLimit = 10000;
    // The answer goes to this window as `answerMessage` with the id as WPARAM.
    HWND answerTo = nullptr;
    UINT answerMessage = 0;
    // The asking side stopped waiting: the time ran out.
    std::atomic<bool> cutShort{false};
    // The thread let go of the query (its conversation is closed).
    std::atomic<bool> finished{false};

    // The reply, once the thread has it; the first answer counts.
    bool TakeReply(std::string& reply);
    void Answer(const std::string& reply);

private:
    std::mutex lock_;
    bool answered_ = false;
    std::string reply_;
};

struct TQueryThreadState;

class TBrowserQueryThread {
public:
    TBrowserQueryThread();
    // Asks the idle thread to end and waits a little for it; a thread that
    // still runs a query is not waited for (the process ends next).
    ~TBrowserQueryThread();
    TBrowserQueryThread(const TBrowserQueryThread&) = delete;
    TBrowserQueryThread& operator=(const TBrowserQueryThread&) = delete;

    // Hands the query over and returns at once; a query handed over before
    // and not yet taken is replaced. False when the thread could not be
    // made.
    bool Put(std::shared_ptr<TQueryJob> job);
    // A query whose asker stopped waiting still holds the thread (DDE's
    // connect waits on every top-level window, also on one whose thread
    // handles no messages).
    bool HeldByQueryCutShort() const;
    // A query still holds the thread (its answer may have gone out already,
    // while the conversation is still being closed).
    bool Busy() const;

private:
    std::shared_ptr<TQueryThreadState> state_;
    KernelHandle thread_;
};

}  // namespace sw::guard
