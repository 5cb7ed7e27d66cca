#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Buttons.h"
#include "framework/Edit.h"
#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/ListBox.h"
#include "framework/Timer.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

// Notes the pointer's coming and going.
class WatchedButton : public TSpeedButton {
public:
    WatchedButton(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TSpeedButton(owner), name_(std::move(name)), log_(log) {}

protected:
    void MouseEnter() override { log_.push_back("enter " + name_); }
    void MouseLeave() override { log_.push_back("leave " + name_); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class WindowLayer : public testing::Test {
protected:
    void SetUp() override {
        ReportedErrors().clear();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(30, 30, 400, 300);
        form->Show();
    }
    void TearDown() override { form.reset(); }
    std::unique_ptr<TForm> form;
};

}  // namespace

TEST(Timer, ATickQueuedBeforeTheTimerStoppedOrWentReachesNothing) {
    int ticks = 0;
    auto timer = std::make_unique<TTimer>(nullptr);
    timer->SetInterval(60000);
    timer->OnTimer = [&](TObject*) { ++ticks; };
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    const HWND window = timer->Handle();
    const UINT_PTR first = timer->TimerId();
    ASSERT_NE(first, 0u);

    ::SendMessageA(window, WM_TIMER, first, 0);
    EXPECT_EQ(ticks, 1);

    // Stopped and started again: the old timer's tick is stale.
    ::PostMessageA(window, WM_TIMER, first, 0);
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    EXPECT_NE(timer->TimerId(), first);
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);

    // Gone with a tick still queued.
    ::PostMessageA(window, WM_TIMER, timer->TimerId(), 0);
    timer.reset();
    Application->ProcessMessages();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(::IsWindow(window));
}

TEST(Timer, AnErrorInTheHandlerReachesTheCentralHandler) {
    ReportedErrors().clear();
    TTimer timer(nullptr);
    timer.OnTimer = [](TObject*) { throw Exception("Fehler im Zeitgeber"); };
    timer.SetInterval(60000);
    ::SendMessageA(timer.Handle(), WM_TIMER, timer.TimerId(), 0);
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], "Fehler im Zeitgeber");
}

TEST_F(WindowLayer, ScalingFromTheDesignResolutionScalesBoundsAndFonts) {
    auto* list = new TListBox(form.get());
    list->SetBounds(336, 91, 57, 26);
    list->SetParent(form.get());
    auto* own = new TListBox(form.get());
    own->SetParentFont(false);
    own->Font().SetHeight(-20);
    own->SetParent(form.get());
    form->Font().SetHeight(-13);
    form->ScaleBy(96, 120);
    EXPECT_EQ(list->Left(), 269);  // 268.8
    EXPECT_EQ(list->Top(), 73);    // 72.8
    EXPECT_EQ(list->Width(), 45);  // right edge 314.4 - 269
    EXPECT_EQ(list->Height(), 21);  // bottom 93.6 - 73
    EXPECT_EQ(form->Font().Height(), -10);
    EXPECT_EQ(list->Font().Height(), -10) << "an inherited font follows the form's";
    EXPECT_EQ(own->Font().Height(), -16) << "an own font scales by itself";
}

TEST_F(WindowLayer, ChildNotificationsAreRaisedOnTheChildsWrapper) {
    auto* edit = new TEdit(form.get());
    edit->SetParent(form.get());
    std::vector<std::string> changes;
    edit->OnChange = [&](TObject*) { changes.push_back(edit->Text()); };
    ::SendMessageA(edit->Handle(), WM_CHAR, 'a', 1);
    ::SendMessageA(edit->Handle(), WM_CHAR, '\xE4', 1);  // an umlaut arrives as its CP1252 byte
    EXPECT_EQ(changes, (std::vector<std::string>{"a", "a\xE4"}));

    auto* list = new TListBox(form.get());
    list->SetParent(form.get());
    list->Items().Add("eins");
    list->Items().Add("zwei");
    int clicks = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    ::SendMessageA(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3));
    ::SendMessageA(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_GE(clicks, 1);
}

TEST_F(WindowLayer, AnErrorInAnEventHandlerReachesTheCentralHandlerAndTheProgramGoesOn) {
    auto* edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->OnChange = [](TObject*) { throw Exception("Fehler im Handler"); };
    ::SendMessageA(edit->Handle(), WM_CHAR, '1', 1);
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], "Fehler im Handler");
    edit->OnChange = nullptr;
    ::SendMessageA(edit->Handle(), WM_CHAR, '2', 1);
    EXPECT_EQ(edit->Text(), "12");
}

TEST_F(WindowLayer, AWindowlessButtonIsPressedCapturedAndClickedThroughItsParent) {
    auto* button = new TSpeedButton(form.get());
    button->SetBounds(50, 40, 30, 20);
    button->SetParent(form.get());
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    const HWND window = form->Handle();

    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
    EXPECT_EQ(button->State(), bsDown);
    EXPECT_TRUE(button->MouseCapture());
    ::SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 200));
    EXPECT_EQ(button->State(), bsUp) << "drawn raised while the pointer is off it";
    ::SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(55, 45));
    EXPECT_EQ(button->State(), bsDown);
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(55, 45));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->MouseCapture());

    // Released elsewhere: no click.
    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(300, 50));
    EXPECT_EQ(clicks, 1);

    // The second press of a double click counts as a press.
    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
    ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(60, 50));
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
    EXPECT_EQ(clicks, 3);

    // A cancelled press (the central error handler cancels the capture)
    // leaves the button raised and clicks nothing.
    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
    ::SendMessageA(::GetCapture(), WM_CANCELMODE, 0, 0);
    EXPECT_EQ(button->State(), bsUp);
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
    EXPECT_EQ(clicks, 3);
}

TEST_F(WindowLayer, EnterAndExitFollowTheFocusedControlInsideTheForm) {
    auto* first = new TEdit(form.get());
    first->SetParent(form.get());
    auto* second = new TEdit(form.get());
    second->SetTop(40);
    second->SetParent(form.get());
    std::vector<std::string> events;
    first->OnEnter = [&](TObject*) { events.push_back("enter 1"); };
    first->OnExit = [&](TObject*) { events.push_back("exit 1"); };
    second->OnEnter = [&](TObject*) { events.push_back("enter 2"); };
    first->SetFocus();
    second->SetFocus();
    first->SetFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"enter 1", "exit 1", "enter 2", "enter 1"}));
}

TEST_F(WindowLayer, ListBoxLinesSurviveANewWindowAndWaitWhileThereIsNone) {
    auto* list = new TListBox(form.get());
    list->Items().Add("vor dem Fenster");  // no parent yet, so no window
    EXPECT_FALSE(list->HandleAllocated());
    list->SetParent(form.get());
    ASSERT_TRUE(list->HandleAllocated());
    list->Items().Add("zw\xF6lf");
    const HWND before = list->Handle();
    list->SetSorted(true);
    EXPECT_NE(list->Handle(), before);
    EXPECT_EQ(list->Items().ToVector(), (std::vector<std::string>{"vor dem Fenster", "zw\xF6lf"}));
    EXPECT_THROW(list->Items().Delete(5), EInvalidOperation);
    EXPECT_THROW(list->Items().Get(-1), EInvalidOperation);
}

TEST_F(WindowLayer, ThePointerEntersAndLeavesWindowlessControlsAlsoWhileAButtonIsHeld) {
    std::vector<std::string> log;
    auto* a = new WatchedButton(form.get(), "A", log);
    a->SetBounds(10, 10, 40, 20);
    a->SetParent(form.get());
    auto* b = new WatchedButton(form.get(), "B", log);
    b->SetBounds(60, 10, 40, 20);
    b->SetParent(form.get());
    const HWND window = form->Handle();
    auto move = [&](int x, int y, WPARAM keys = 0) { ::SendMessageA(window, WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); };

    move(20, 15);
    move(25, 16);  // still on A: nothing new
    move(70, 15);  // straight from A to B
    move(150, 150);
    EXPECT_EQ(log, (std::vector<std::string>{"enter A", "leave A", "enter B", "leave B"}));
    EXPECT_EQ(TControl::MouseControl(), form.get());

    log.clear();
    move(20, 15);
    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
    move(150, 150, MK_LBUTTON);  // captured, off the button
    move(20, 15, MK_LBUTTON);    // back on it
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(20, 15));
    ::SendMessageA(window, WM_MOUSELEAVE, 0, 0);  // off the window
    EXPECT_EQ(log, (std::vector<std::string>{"enter A", "leave A", "enter A", "leave A"}));
    EXPECT_EQ(TControl::MouseControl(), nullptr);

    move(70, 15);
    delete b;  // the control under the pointer goes away
    EXPECT_EQ(TControl::MouseControl(), nullptr);
    move(20, 15);
    EXPECT_EQ(log.back(), "enter A");
}
