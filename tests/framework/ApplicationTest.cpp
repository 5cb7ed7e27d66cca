#include <gtest/gtest.h>

#include <thread>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/Synchronize.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

TEST(Application, CentralHandlerReceivesTheErrorText) {
    ReportedErrors().clear();
    try {
        throw EFCreateError("Datei C:\\x kann nicht erstellt werden");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], "Datei C:\\x kann nicht erstellt werden");
}

TEST(Application, AnErrorEscapingAWindowProcedureReachesTheHandler) {
    ReportedErrors().clear();
    const int id = Application->HookMainWindow([](UINT message, WPARAM, LPARAM, LRESULT&) -> bool {
        if (message == WM_APP + 77) throw Exception("aus dem Fenster");
        return false;
    });
    ::SendMessageA(Application->Handle(), WM_APP + 77, 0, 0);
    Application->UnhookMainWindow(id);
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], "aus dem Fenster");
}

TEST(Synchronize, RunsQueuedCallsOnTheMainThreadInOrderAndRaisesErrorsInTheCaller) {
    const DWORD mainThread = ::GetCurrentThreadId();
    std::vector<int> order;
    DWORD ranOn = 0;
    std::string errorInWorker;
    bool done = false;
    std::thread worker([&] {
        Synchronize([&] {
            ranOn = ::GetCurrentThreadId();
            order.push_back(1);
        });
        Synchronize([&] { order.push_back(2); });
        try {
            Synchronize([] { throw Exception("im Hauptthread"); });
        } catch (const Exception& e) {
            errorInWorker = e.Message();
        }
        done = true;
    });
    // Calls run from the application window's WM_NULL and from idle processing.
    EXPECT_TRUE(WaitFor([&] { return done; }));
    worker.join();
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(errorInWorker, "im Hauptthread");
}

TEST(Synchronize, QueuedCallsRunInsideAModalMessageBox) {
    bool ran = false;
    std::thread worker([&] {
        Synchronize([&] { ran = true; });
        // Close the box that the main thread shows meanwhile.
        for (int i = 0; i < 500; ++i) {
            if (HWND box = ::FindWindowA("#32770", "SyncTest")) {
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
    });
    ::MessageBoxA(nullptr, "waiting", "SyncTest", MB_OK);
    worker.join();
    EXPECT_TRUE(ran);
}
