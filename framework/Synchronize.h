// The synchronous main-thread call: a worker queues a call, wakes the main
// thread and blocks until the main thread has run it. The main thread runs
// queued calls, oldest first, whenever it checks the queue: when the
// application's window handles WM_NULL and whenever the application goes
// idle, so also inside modal loops such as message boxes.
#pragma once

#include <functional>

namespace sw {

// The thread that owns the windows; the first caller of MarkMainThread.
void MarkMainThread();
bool IsMainThread();

// How the main thread is woken for queued calls (the application posts
// WM_NULL to its window).
void SetSynchronizeWakeup(std::function<void()> wakeup);

// Runs the call on the main thread and waits for it. Called on the main
// thread itself it runs at once. An error raised by the call is raised again
// here.
void Synchronize(const std::function<void()>& call);

// Main thread: runs every queued call; true when at least one ran.
bool CheckSynchronize();

}  // namespace sw
