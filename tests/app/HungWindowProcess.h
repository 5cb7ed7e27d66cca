// A program with a visible top-level window whose thread handles no
// messages (tests/fakes/HungWindow.cpp): a message sent to the window waits
// until the program ends. Ended when the object goes, or on End.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "framework/Handles.h"
#include "support/TestSupport.h"

namespace sw::test {

class HungWindowProcess {
public:
    explicit HungWindowProcess(const std::string& title = "Haengt") {
        process_ = ChildProcess("\"" + ProgramDir() + "\\HungWindow.exe\" " + title);
        ready_ = WaitFor(
            [&] {
                window_ = ::FindWindowA("HungWindow", title.c_str());
                return window_ && ::IsWindowVisible(window_);
            },
            std::chrono::seconds(30));
        // It really answers nothing.
        DWORD_PTR result = 0;
        ready_ = ready_ && ::SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) == 0;
    }
    bool Ready() const { return ready_; }
    bool Running() const { return process_.Running(); }
    HANDLE Handle() const { return process_.Handle(); }
    void End() { process_.Kill(); }

private:
    ChildProcess process_;
    HWND window_ = nullptr;
    bool ready_ = false;
};

// Ends a process if the test is still waiting after the deadline, so that a
// test of something that waits for ever fails instead of hanging.
class Watchdog {
public:
    Watchdog(HANDLE process, std::chrono::milliseconds deadline)
        : stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), process_(process),
          deadline_(static_cast<DWORD>(deadline.count())), thread_(::CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    ~Watchdog() {
        ::SetEvent(stop_.Get());
        ::WaitForSingleObject(thread_.Get(), INFINITE);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static DWORD WINAPI Run(void* self) {
        auto* watchdog = static_cast<Watchdog*>(self);
        if (::WaitForSingleObject(watchdog->stop_.Get(), watchdog->deadline_) == WAIT_TIMEOUT)
            ::TerminateProcess(watchdog->process_, 1);
        return 0;
    }
    KernelHandle stop_;
    HANDLE process_;
    DWORD deadline_;
    KernelHandle thread_;
};

}  // namespace sw::test
