// The icon's way into a notification area that is not ready: the shell
// refuses the first adds (at logon it may not exist yet, or be busy), or
// loses an entry it held, and the icon must still arrive and answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TrayFixture.h"
#include "framework/Forms.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

class TrayArrivalTest : public ::testing::Test {
protected:
    void SetUp() override { form = new TForm(nullptr); }
    void TearDown() override {
        delete form;
        EXPECT_TRUE(ReportedErrors().empty());
    }

    // The icon as the program's stored description makes it: tip and image
    // first, then shown, then loaded.
    TTrayIcon* LoadIcon() {
        TLoadingScope scope;
        auto* icon = scope.Add(new TTrayIcon(form));
        TIcon image;
        image.SetHandle(SolidIcon(RGB(0, 0, 255)));
        icon->SetHint("Startwacht");
        icon->SetIcon(image);
        icon->SetIconVisible(true);
        icon->OnClick = [this](TObject*) {
            form->SetWindowState(wsNormal);
            form->SetVisible(true);
        };
        scope.Finish();
        return icon;
    }

    TForm* form = nullptr;
};

}  // namespace

TEST_F(TrayArrivalTest, AnIconTheShellRefusedAtStartArrivesLaterAndAClickOpensTheWindow) {
    ShellWatch shell;
    shell.refusedAdds = 2;  // the add while loading and the one after it
    TTrayIcon* icon = LoadIcon();
    ASSERT_EQ(shell.Count(NIM_ADD), 2);
    EXPECT_FALSE(InTray(*icon));

    ASSERT_TRUE(WaitFor([&] { return InTray(*icon); }, 30s)) << "the icon never came";
    const std::vector<DWORD> adds = shell.AddTicks();
    ASSERT_EQ(adds.size(), 3u);
    EXPECT_GE(adds[2] - adds[1], 1500u) << "the shell is asked again after a pause, not at once";
    const ShellWatch::Call& arrived = shell.calls.back();
    EXPECT_EQ(arrived.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(std::string(arrived.record.szTip), "Startwacht");
    ASSERT_NE(arrived.record.hIcon, nullptr);
    EXPECT_EQ(ReadIcon(arrived.record.hIcon).At(8, 8), RGB(0, 0, 255));
    EXPECT_FALSE(icon->AddRetryPending()) << "no timer runs while the icon is in place";

    // A second add of the present icon is refused and starts nothing.
    icon->SetIconVisible(true);
    EXPECT_FALSE(icon->AddRetryPending());

    EXPECT_FALSE(form->Visible());
    PostCallback(icon->TrayId(), WM_LBUTTONDOWN);
    PostCallback(icon->TrayId(), WM_LBUTTONUP);
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->WindowState(), wsNormal);
}

TEST_F(TrayArrivalTest, AnAddTheBusyShellTookWhileRefusingItLeavesOneEntryAndNoRetries) {
    ShellWatch shell;
    shell.refusedAdds = 1;
    shell.answerLate = true;
    auto* icon = new TTrayIcon(form);
    icon->SetAddRetryTiming(50, 60000);
    icon->SetIconVisible(true);
    EXPECT_TRUE(icon->AddRetryPending()) << "the refusal is taken at its word";
    EXPECT_TRUE(WaitFor([&] { return !icon->AddRetryPending(); }, 10s));
    EXPECT_EQ(shell.Count(NIM_ADD), 1) << "the entry was found, not added twice";
    EXPECT_TRUE(InTray(*icon));
}

TEST_F(TrayArrivalTest, TheRetriesEndAfterTheirSpanAndEachNewTaskbarBringsTheIcon) {
    ShellWatch shell;
    shell.refuseAll = true;
    auto* icon = new TTrayIcon(form);
    icon->SetAddRetryTiming(50, 1000);
    icon->SetIconVisible(true);
    ASSERT_TRUE(WaitFor([&] { return !icon->AddRetryPending(); }, 10s)) << "the retries never end";
    const int adds = shell.Count(NIM_ADD);
    EXPECT_GE(adds, 3) << "tried again and again within the span";
    PumpFor(300ms);
    EXPECT_EQ(shell.Count(NIM_ADD), adds);
    EXPECT_FALSE(InTray(*icon));

    // The shell announces a new taskbar and takes the icon.
    shell.refuseAll = false;
    ::SendMessageA(Application->Handle(), TaskbarRestartMessage(), 0, 0);
    EXPECT_TRUE(InTray(*icon));

    // An icon switched off while it waits for the shell waits no more.
    icon->SetIconVisible(false);
    shell.refuseAll = true;
    icon->SetIconVisible(true);
    EXPECT_TRUE(icon->AddRetryPending());
    icon->SetIconVisible(false);
    EXPECT_FALSE(icon->AddRetryPending());
    shell.refuseAll = false;
    PumpFor(300ms);
    EXPECT_FALSE(InTray(*icon));

    // Explorer starts anew and refuses the icon at first: the retries begin
    // again, also for an icon that was in the old taskbar.
    icon->SetIconVisible(true);
    ASSERT_TRUE(InTray(*icon));
    NOTIFYICONDATAA entry = icon->TrayRecord();
    ASSERT_TRUE(ShellNotifyIconDirect(NIM_DELETE, entry));
    shell.refuseAll = true;
    ::SendMessageA(Application->Handle(), TaskbarRestartMessage(), 0, 0);
    EXPECT_TRUE(icon->AddRetryPending());
    shell.refuseAll = false;
    EXPECT_TRUE(WaitFor([&] { return InTray(*icon); }));
}

TEST_F(TrayArrivalTest, AChangeRefusedBecauseTheShellLostTheEntryPutsTheIconBack) {
    auto* icon = new TTrayIcon(form);
    icon->SetIconVisible(true);
    ASSERT_TRUE(InTray(*icon));
    // Explorer starts anew and its "TaskbarCreated" does not reach us.
    NOTIFYICONDATAA entry = icon->TrayRecord();
    ASSERT_TRUE(ShellNotifyIconDirect(NIM_DELETE, entry));

    ShellWatch watch;
    icon->SetHint("Startwacht");
    EXPECT_EQ(watch.Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD}));
    EXPECT_TRUE(InTray(*icon));
    ASSERT_FALSE(watch.calls.empty());
    EXPECT_EQ(std::string(watch.calls.back().record.szTip), "Startwacht");

    // An icon meant to be out of the tray stays out.
    icon->SetIconVisible(false);
    watch.calls.clear();
    icon->SetHint("anders");
    EXPECT_EQ(watch.Messages(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_FALSE(InTray(*icon));
}
