#include "framework/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "framework/Application.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

// A thread whose body is given, and which tells when it is deleted.
class TestThread : public TThread {
public:
    explicit TestThread(std::function<void(TestThread&)> body, std::atomic<bool>* deleted = nullptr)
        : body_(std::move(body)), deleted_(deleted) {}
    ~TestThread() override {
        EndThread();  // the body uses body_
        if (deleted_) *deleted_ = true;
    }
    using TThread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(TestThread&)> body_;
    std::atomic<bool>* deleted_;
};

}  // namespace

TEST(Thread, StartsSuspendedRunsOnResumeAndDeletesItselfWhenAsked) {
    std::atomic<bool> ran{false}, deleted{false};
    DWORD ranOn = 0;
    auto* thread = new TestThread(
        [&](TestThread&) {
            ranOn = ::GetCurrentThreadId();
            ran = true;
        },
        &deleted);
    EXPECT_TRUE(thread->Suspended());
    EXPECT_FALSE(thread->Finished());
    const DWORD id = thread->ThreadID();
    thread->SetFreeOnTerminate(true);
    thread->Resume();  // from here on the object may be gone
    EXPECT_TRUE(WaitFor([&] { return deleted.load(); }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, id);
}

TEST(Thread, DestroyingAThreadEndsItsBodyOrSkipsABodyThatNeverRan) {
    // Running: the destructor terminates it and waits for the body.
    std::atomic<bool> bodyEnded{false};
    auto* running = StartThread<TestThread>([&](TestThread& self) {
        while (!self.Terminated()) ::Sleep(1);
        bodyEnded = true;
    });
    EXPECT_FALSE(running->Suspended());
    delete running;
    EXPECT_TRUE(bodyEnded);

    // Never resumed: the body does not run at all, and nothing hangs.
    std::atomic<bool> ran{false};
    auto* suspended = new TestThread([&](TestThread&) { ran = true; });
    const HANDLE handle = suspended->Handle();
    HANDLE watch = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &watch, SYNCHRONIZE, FALSE, 0);
    delete suspended;
    EXPECT_EQ(::WaitForSingleObject(watch, 0), WAIT_OBJECT_0);  // the system thread has ended
    ::CloseHandle(watch);
    EXPECT_FALSE(ran);
}

TEST(Thread, SynchronizeRunsOnTheMainThreadAndRaisesItsErrorInTheThread) {
    const DWORD mainThread = ::GetCurrentThreadId();
    DWORD ranOn = 0;
    std::string error;
    auto* thread = StartThread<TestThread>([&](TestThread& self) {
        self.Synchronize([&] { ranOn = ::GetCurrentThreadId(); });
        try {
            self.Synchronize([] { throw Exception("im Hauptthread"); });
        } catch (const Exception& e) {
            error = e.Message();
        }
    });
    // WaitFor on the main thread keeps running the queued calls.
    thread->WaitFor();
    EXPECT_TRUE(thread->Finished());
    delete thread;
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(error, "im Hauptthread");
}

TEST(Thread, AnErrorEscapingTheBodyReachesTheCentralHandlerWithTheThreadAsSender) {
    std::mutex lock;
    TObject* sender = nullptr;
    std::string message;
    const auto saved = Application->OnException;
    Application->OnException = [&](TObject* s, const std::string& m) {
        std::lock_guard guard(lock);
        sender = s;
        message = m;
    };
    auto* thread = StartThread<TestThread>([](TestThread&) { throw Exception("im Thread"); });
    thread->WaitFor();
    Application->OnException = saved;
    std::lock_guard guard(lock);
    EXPECT_EQ(sender, thread);
    EXPECT_EQ(message, "im Thread");
    delete thread;
}

TEST(Thread, PrioritiesMapOntoTheWindowsPriorities) {
    const struct {
        TThreadPriority priority;
        int windows;
    } cases[] = {
        {tpIdle, THREAD_PRIORITY_IDLE},         {tpLowest, THREAD_PRIORITY_LOWEST},
        {tpLower, THREAD_PRIORITY_BELOW_NORMAL}, {tpNormal, THREAD_PRIORITY_NORMAL},
        {tpHigher, THREAD_PRIORITY_ABOVE_NORMAL}, {tpHighest, THREAD_PRIORITY_HIGHEST},
        {tpTimeCritical, THREAD_PRIORITY_TIME_CRITICAL},
    };
    TestThread thread([](TestThread&) {});
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsThreadPriority(c.priority), c.windows);
        thread.SetPriority(c.priority);
        EXPECT_EQ(::GetThreadPriority(thread.Handle()), c.windows);
        EXPECT_EQ(thread.Priority(), c.priority);
    }
}
