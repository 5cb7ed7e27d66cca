// Parking the application in the tray: the owner form's minimise requests,
// the application window's minimised state, withdrawing the main window,
// restoring it, and the icon's return after the shell re-creates its taskbar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TrayFixture.h"
#include "framework/Forms.h"
#include "framework/Synchronize.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;

namespace {

class TrayParkingTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TForm(nullptr);
        Application->SetMainForm(form);
        icon = new TTrayIcon(form);
        icon->SetHint("Startwacht");
        icon->SetMinimizeToTray(true);
        icon->OnMinimizeToTray = [this](TObject* sender) {
            EXPECT_EQ(sender, icon);
            EXPECT_TRUE(form->Visible()) << "the event comes before parking";
            ++minimizeEvents;
        };
    }
    void TearDown() override {
        Application->SetMainForm(nullptr);
        delete form;
        EXPECT_TRUE(ReportedErrors().empty());
    }

    void ShowNormally() {
        ::ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);
        form->Show();
        ASSERT_TRUE(::IsWindowVisible(Application->Handle()));
        ASSERT_TRUE(::IsWindowVisible(form->Handle()));
    }
    void ExpectParked(const std::string& how) {
        EXPECT_FALSE(form->Visible()) << how;
        EXPECT_FALSE(::IsWindowVisible(form->Handle())) << how;
        EXPECT_FALSE(::IsWindowVisible(Application->Handle())) << how << ": no taskbar button";
        EXPECT_TRUE(icon->IconVisible()) << how;
        EXPECT_TRUE(InTray(*icon)) << how;
    }

    TForm* form = nullptr;
    TTrayIcon* icon = nullptr;
    int minimizeEvents = 0;
};

}  // namespace

TEST_F(TrayParkingTest, MinimisingTheFormRaisesTheEventAndParksInsteadOfMinimising) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Case cases[] = {
        {"SC_MINIMIZE", WM_SYSCOMMAND, SC_MINIMIZE, 0},
        {"SC_MINIMIZE with the system's low bits", WM_SYSCOMMAND, SC_MINIMIZE | 2, 0},
        {"hidden as the owner minimises", WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING},
    };
    for (const Case& c : cases) {
        icon->SetIconVisible(false);
        ShowNormally();
        minimizeEvents = 0;
        EXPECT_EQ(::SendMessageA(form->Handle(), c.message, c.wParam, c.lParam), 1) << c.what;
        EXPECT_EQ(minimizeEvents, 1) << c.what;
        ExpectParked(c.what);
        EXPECT_FALSE(::IsIconic(form->Handle())) << c.what << ": the ordinary minimise did not happen";
    }
}

TEST_F(TrayParkingTest, WithoutTheEventOrTheSwitchTheMainFormMinimisesTheApplication) {
    // Without the event the form's request is not taken: the main form's
    // minimise minimises the application, whose minimised window parks it,
    // raising no event.
    icon->OnMinimizeToTray = nullptr;
    ShowNormally();
    ::SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Application->ProcessMessages();
    ExpectParked("no event");
    EXPECT_EQ(minimizeEvents, 0);

    // Switched off, the application just minimises: the taskbar button
    // stays, the form is hidden with it but not minimised itself.
    icon->SetIconVisible(false);
    icon->SetMinimizeToTray(false);
    ::ShowWindow(Application->Handle(), SW_RESTORE);
    ShowNormally();
    ::SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(::IsIconic(Application->Handle()));
    EXPECT_TRUE(::IsWindowVisible(Application->Handle()));
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_FALSE(InTray(*icon));
    EXPECT_EQ(minimizeEvents, 0);
    ::SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
}

TEST_F(TrayParkingTest, MinimisingTheApplicationWindowParksWithoutTheEvent) {
    ShowNormally();
    ::ShowWindow(Application->Handle(), SW_MINIMIZE);
    Application->ProcessMessages();
    ExpectParked("application minimised");
    EXPECT_EQ(minimizeEvents, 0);

    // Switched off, the application just minimises.
    icon->SetIconVisible(false);
    icon->SetMinimizeToTray(false);
    ::ShowWindow(Application->Handle(), SW_RESTORE);
    ShowNormally();
    ::ShowWindow(Application->Handle(), SW_MINIMIZE);
    Application->ProcessMessages();
    EXPECT_TRUE(::IsWindowVisible(Application->Handle()));
    EXPECT_FALSE(InTray(*icon));
}

TEST_F(TrayParkingTest, WithdrawingHidesWindowAndTaskbarButtonAndLeavesTheIconAlone) {
    ShowNormally();
    icon->WithdrawMainWindow();
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(::IsWindowVisible(Application->Handle()));
    EXPECT_FALSE(icon->IconVisible());
    EXPECT_FALSE(InTray(*icon)) << "withdrawing adds no icon";
    EXPECT_EQ(minimizeEvents, 0);

    // An icon owned by something other than a form withdraws nothing.
    ShowNormally();
    TComponent holder(nullptr);
    auto* loose = new TTrayIcon(&holder);
    loose->WithdrawMainWindow();
    EXPECT_TRUE(form->Visible());
}

TEST_F(TrayParkingTest, RestoringTheApplicationWindowShowsTheMainWindow) {
    ShowNormally();
    ::SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ExpectParked("parked");
    // The application window's own restoring is held off: the icon's hook,
    // which sees the message first, shows the main window by itself.
    const int held = Application->HookMainWindow([](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
        return message == WM_SYSCOMMAND && wParam == SC_RESTORE;
    });
    ::SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    Application->UnhookMainWindow(held);
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
}

TEST_F(TrayParkingTest, AFormShownByACallBringsTheApplicationAndThenTheFormToTheFront) {
    ShowNormally();
    form->SetVisible(false);
    ForegroundWatch foreground;
    form->Show();
    EXPECT_EQ(foreground.calls, (std::vector<HWND>{Application->Handle(), form->Handle()}));
    EXPECT_EQ(::GetForegroundWindow(), form->Handle());

    // Shown again as its owner comes back: no request.
    foreground.calls.clear();
    ::SendMessageA(form->Handle(), WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
    EXPECT_EQ(foreground.calls, std::vector<HWND>{});
}

TEST_F(TrayParkingTest, AnApplicationThatIsEndingIsNotParkedWhenItsFormsAreHidden) {
    // An application object of its own is asked to end; the tests' one goes on.
    TApplication* const running = Application;
    {
        TApplication ending;
        auto* main = new TForm(nullptr);
        ending.SetMainForm(main);
        auto* own = new TTrayIcon(main);
        own->SetMinimizeToTray(true);
        int events = 0;
        own->OnMinimizeToTray = [&](TObject*) { ++events; };
        for (bool terminating : {false, true}) {
            SCOPED_TRACE(terminating ? "ending" : "running");
            own->SetIconVisible(false);
            main->Show();
            if (terminating) ending.Terminate();
            EXPECT_EQ(::SendMessageA(main->Handle(), WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING), terminating ? 0 : 1);
            EXPECT_EQ(events, 1);
            EXPECT_EQ(InTray(*own), !terminating);
        }
        ending.SetMainForm(nullptr);
        delete main;
        MSG quit;
        while (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    Application = running;
    const HWND window = running->Handle();
    SetSynchronizeWakeup([window] { ::PostMessageA(window, WM_NULL, 0, 0); });
}

TEST_F(TrayParkingTest, TheIconReturnsWhenTheShellMakesItsTaskbarAnew) {
    const UINT restart = TaskbarRestartMessage();
    ASSERT_NE(ComctlVersion(), 0u);
    ASSERT_GE(ComctlVersion(), 0x00040047u);
    ASSERT_EQ(restart, ::RegisterWindowMessageA("TaskbarCreated"));

    icon->SetIconVisible(true);
    ASSERT_TRUE(InTray(*icon));
    // The shell loses its entries as when Explorer restarts.
    NOTIFYICONDATAA entry = icon->TrayRecord();
    ASSERT_TRUE(ShellNotifyIconDirect(NIM_DELETE, entry));
    ASSERT_FALSE(InTray(*icon));

    ShellWatch watch;
    ::SendMessageA(Application->Handle(), restart, 0, 0);
    EXPECT_TRUE(InTray(*icon));
    ASSERT_EQ(watch.Messages(), std::vector<DWORD>{NIM_ADD}) << "the callback style is not sent again";
    EXPECT_EQ(std::string(watch.calls[0].record.szTip), "Startwacht");

    // An icon meant to be out of the tray stays out.
    icon->SetIconVisible(false);
    ::SendMessageA(Application->Handle(), restart, 0, 0);
    EXPECT_FALSE(InTray(*icon));
}

TEST_F(TrayParkingTest, AStartupHandlerCanKeepTheMainWindowHidden) {
    struct Case {
        bool show;
    };
    for (const Case& c : {Case{true}, Case{false}}) {
        Application->SetShowMainForm(true);
        ShowNormally();
        int calls = 0;
        TLoadingScope scope;
        auto* loaded = scope.Add(new TTrayIcon(form));
        loaded->OnStartup = [&](TObject* sender, bool& showMainForm) {
            EXPECT_EQ(sender, loaded);
            EXPECT_TRUE(showMainForm);
            showMainForm = c.show;
            ++calls;
        };
        scope.Finish();
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(Application->ShowMainForm(), c.show);
        EXPECT_EQ(form->Visible(), c.show);
        EXPECT_EQ(::IsWindowVisible(Application->Handle()) != FALSE, c.show);
        delete loaded;
    }
}

TEST_F(TrayParkingTest, AnMdiMainWindowGetsTheStartupCallOnceMore) {
    CLIENTCREATESTRUCT client{};
    const HWND mdiClient = ::CreateWindowExA(0, "MDICLIENT", "", WS_CHILD, 0, 0, 10, 10, form->Handle(), nullptr,
                                             ::GetModuleHandleA(nullptr), &client);
    ASSERT_NE(mdiClient, nullptr);
    int calls = 0;
    icon->OnStartup = [&](TObject*, bool& showMainForm) {
        showMainForm = false;
        ++calls;
    };
    ::ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);  // its first move after start-up
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(::IsWindowVisible(Application->Handle())) << "the taskbar button goes";
    ::ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);
    ::SetWindowPos(Application->Handle(), nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(calls, 1) << "the check runs once";
}

TEST_F(TrayParkingTest, TheFormsOwnProcedureComesBackWhenItsLastIconGoes) {
    auto* other = new TForm(nullptr);
    const LONG_PTR original = ::GetWindowLongPtrA(other->Handle(), GWLP_WNDPROC);
    auto* first = new TTrayIcon(other);
    auto* second = new TTrayIcon(other);
    EXPECT_NE(::GetWindowLongPtrA(other->Handle(), GWLP_WNDPROC), original);

    // The first icon goes first; the second still parks.
    int parked = 0;
    second->SetMinimizeToTray(true);
    second->OnMinimizeToTray = [&](TObject*) { ++parked; };
    delete first;
    other->Show();
    EXPECT_EQ(::SendMessageA(other->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
    EXPECT_EQ(parked, 1);

    delete second;
    EXPECT_EQ(::GetWindowLongPtrA(other->Handle(), GWLP_WNDPROC), original);
    other->Show();
    ::SendMessageA(other->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(other->Handle())) << "the form minimises as usual again";
    delete other;
}
