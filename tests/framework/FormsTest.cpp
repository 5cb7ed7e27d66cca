// Forms and the standard controls: what the main window relies on. Events
// come once per change, containers place their children inside their edges,
// Tab follows the keyboard order, and the application minimises and restores
// as a whole with the messages that a tray icon watches for.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Button.h"
#include "framework/CheckBox.h"
#include "framework/Edit.h"
#include "framework/Forms.h"
#include "framework/GroupBox.h"
#include "framework/Label.h"
#include "framework/ListBox.h"
#include "framework/Panel.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

class Forms : public testing::Test {
protected:
    void SetUp() override {
        ReportedErrors().clear();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(30, 30, 400, 300);
    }
    void TearDown() override {
        form.reset();
        EXPECT_TRUE(ReportedErrors().empty()) << ReportedErrors().front();
    }

    template <typename T>
    T* Add(TWinControl* parent, int left, int top, int width, int height) {
        auto* control = new T(form.get());
        control->SetBounds(left, top, width, height);
        control->SetParent(parent);
        return control;
    }

    std::unique_ptr<TForm> form;
};

int LineHeight(TFont& font) {
    WindowDC screen(nullptr);
    SelectedObject selected(screen.Get(), font.Handle());
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(screen.Get(), &metrics);
    return metrics.tmHeight;
}

int TextWidth(TFont& font, const std::string& text) {
    WindowDC screen(nullptr);
    SelectedObject selected(screen.Get(), font.Handle());
    SIZE size{};
    ::GetTextExtentPoint32A(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

TEST_F(Forms, ACheckBoxRaisesOnClickOncePerChangeByTheUserOrTheProgramButNotWhileLoading) {
    auto* box = Add<TCheckBox>(form.get(), 10, 10, 120, 17);
    std::vector<bool> seen;
    box->OnClick = [&](TObject*) { seen.push_back(box->Checked()); };
    form->Show();

    box->SetChecked(true);
    box->SetChecked(true);  // no change, no event
    ::SendMessageA(box->Handle(), BM_CLICK, 0, 0);
    ::SendMessageA(box->Handle(), BM_CLICK, 0, 0);
    box->SetChecked(false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(::SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    seen.clear();
    {
        TLoadingScope loading;
        loading.Add(box);
        box->SetChecked(true);
    }
    EXPECT_TRUE(seen.empty()) << "a stored state is no change";
    EXPECT_EQ(::SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Forms, AButtonRaisesOnClickOncePerClick) {
    auto* button = Add<TButton>(form.get(), 10, 10, 100, 25);
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    ::SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    // The mouse itself: press and release over the button.
    ::SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageA(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(clicks, 2);
}

TEST_F(Forms, ALabelTakesTheSizeOfItsTextAndAWrappedOneTheHeightForItsWidth) {
    auto* label = Add<TLabel>(form.get(), 10, 10, 20, 5);
    label->SetCaption("Freeware\r\nVersion 2.2");
    const int line = LineHeight(label->Font());
    EXPECT_EQ(label->Width(), TextWidth(label->Font(), "Version 2.2"));
    EXPECT_EQ(label->Height(), 2 * line);
    EXPECT_EQ(label->Left(), 10);

    auto* wrapped = Add<TLabel>(form.get(), 10, 60, 0, 0);
    wrapped->SetWordWrap(true);
    wrapped->SetCaption("eins zwei eins zwei");
    wrapped->SetWidth(TextWidth(wrapped->Font(), "eins zwei eins") - 1);
    EXPECT_EQ(wrapped->Height(), 2 * line);
    wrapped->SetWidth(TextWidth(wrapped->Font(), "eins zwei eins zwei") + 2);
    EXPECT_EQ(wrapped->Height(), line);

    auto* fixed = new TLabel(form.get());
    fixed->SetAutoSize(false);
    fixed->SetBounds(10, 100, 20, 5);
    fixed->SetParent(form.get());
    fixed->SetCaption("Ein langer Text");
    EXPECT_EQ(fixed->Width(), 20);
    EXPECT_EQ(fixed->Height(), 5);
}

TEST_F(Forms, ContainersPlaceAlignedChildrenInsideTheirEdges) {
    form->SetClientSize(400, 300);
    auto* panel = Add<TPanel>(form.get(), 0, 0, 400, 100);
    panel->SetAlign(alTop);
    auto* top = Add<TLabel>(panel, 1, 1, 50, 20);
    top->SetAlign(alTop);
    auto* group = Add<TGroupBox>(form.get(), 0, 100, 400, 200);
    group->SetCaption("Logbuch");
    group->SetAlign(alClient);
    auto* list = Add<TListBox>(group, 0, 0, 10, 10);
    list->SetAlign(alClient);
    form->Show();

    const RECT client = form->ClientRect();
    EXPECT_EQ(panel->Width(), client.right);
    // One pixel of raised bevel around the panel's children.
    EXPECT_EQ(top->Left(), 1);
    EXPECT_EQ(top->Top(), 1);
    EXPECT_EQ(top->Width(), client.right - 2);
    EXPECT_EQ(group->Top(), 100);
    EXPECT_EQ(group->Height(), client.bottom - 100);
    // The group box's frame takes two pixels; its caption line the top.
    const int caption = LineHeight(group->Font());
    EXPECT_EQ(list->Left(), 2);
    EXPECT_EQ(list->Top(), caption + 2);
    EXPECT_EQ(list->Width(), group->Width() - 4);
    EXPECT_EQ(list->Height(), group->Height() - caption - 4);

    form->SetClientSize(300, 250);
    EXPECT_EQ(panel->Width(), 300);
    EXPECT_EQ(list->Height(), 250 - 100 - caption - 4);
}

TEST_F(Forms, AFormDesignedAt120DotsPerInchGetsItsScaledClientSizeBeforeItsWindowExists) {
    form->SetClientSize(630, 414);
    auto* panel = Add<TPanel>(form.get(), 0, 0, 630, 157);
    panel->SetAlign(alTop);
    form->ScaleBy(96, 120);
    EXPECT_EQ(form->ClientWidth(), 504);
    EXPECT_EQ(form->ClientHeight(), 331);
    EXPECT_EQ(panel->Height(), 126);  // 125.6
    form->Show();
    EXPECT_EQ(form->ClientWidth(), 504);
    EXPECT_EQ(form->ClientHeight(), 331);
    EXPECT_EQ(panel->Width(), 504);
}

TEST_F(Forms, TabMovesTheFocusThroughTheKeyboardOrderOfNestedContainers) {
    auto* group = Add<TGroupBox>(form.get(), 0, 150, 380, 100);
    auto* list = Add<TListBox>(group, 10, 20, 100, 60);
    auto* panel = Add<TPanel>(form.get(), 0, 0, 380, 150);
    auto* edit = Add<TEdit>(panel, 10, 10, 100, 21);
    auto* first = Add<TButton>(panel, 200, 10, 75, 25);
    auto* disabled = Add<TButton>(panel, 200, 40, 75, 25);
    auto* hidden = Add<TCheckBox>(panel, 10, 70, 100, 17);
    auto* second = Add<TCheckBox>(panel, 10, 100, 100, 17);
    auto* noStop = Add<TButton>(panel, 200, 70, 75, 25);
    disabled->SetEnabled(false);
    hidden->SetVisible(false);
    noStop->SetTabStop(false);
    // Made in another order than the keyboard's.
    second->SetTabOrder(0);
    edit->SetTabOrder(0);
    panel->SetTabOrder(0);
    form->Show();
    ::SetForegroundWindow(form->Handle());

    const std::vector<TWinControl*> expected = {edit, second, first, list, edit};
    list->SetFocus();
    ASSERT_TRUE(list->Focused());
    for (size_t i = 0; i + 1 < expected.size(); ++i) {
        SCOPED_TRACE(i);
        // As a key press arrives: through the application's message loop.
        ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        Application->ProcessMessages();
        EXPECT_TRUE(expected[i]->Focused());
    }
    form->SelectNext(edit, false);
    EXPECT_TRUE(list->Focused()) << "backwards wraps around too";
}

TEST_F(Forms, TheApplicationMinimisesAndRestoresAsAWholeWithTheMessagesATrayIconWatches) {
    int shows = 0;
    form->OnShow = [&](TObject*) { ++shows; };
    form->HandleNeeded();
    Application->SetMainForm(form.get());
    const HWND app = Application->Handle();
    form->Show();
    ASSERT_EQ(shows, 1);

    // What a tray icon sees: the application window's messages through a
    // hook, the form's through a replaced window procedure.
    std::vector<std::string> seen;
    const int hook = Application->HookMainWindow([&](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
        if (message == WM_SIZE && wParam == SIZE_MINIMIZED) seen.push_back("application minimised");
        if (message == WM_SYSCOMMAND && wParam == SC_RESTORE) seen.push_back("application restore");
        return false;
    });
    static std::vector<std::string>* formSeen = nullptr;
    static WNDPROC previous = nullptr;
    formSeen = &seen;
    previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_SHOWWINDOW && !wp && lp == SW_PARENTCLOSING) formSeen->push_back("form parent closing");
            if (m == WM_SYSCOMMAND && wp == SC_MINIMIZE) formSeen->push_back("form minimise");
            return ::CallWindowProcA(previous, w, m, wp, lp);
        })));

    // The form's minimise button minimises the application instead.
    ::SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"form minimise", "form parent closing", "application minimised"}));
    EXPECT_TRUE(::IsIconic(app));
    EXPECT_TRUE(::IsWindowVisible(app)) << "the taskbar button stays";
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(form->HiddenByApplication());

    // The taskbar button restores it.
    seen.clear();
    ::SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"application restore"}));
    EXPECT_FALSE(::IsIconic(app));
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->WindowState(), wsNormal);

    // A hidden main form that is stored minimised comes back in the normal
    // state and is shown anew.
    form->Hide();
    form->SetWindowState(wsMinimized);
    Application->Minimize();
    ::SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->WindowState(), wsNormal);
    EXPECT_EQ(shows, 2);

    ::SetWindowLongPtrA(form->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    Application->UnhookMainWindow(hook);
    Application->SetMainForm(nullptr);
    ::ShowWindow(app, SW_HIDE);
}

TEST_F(Forms, AFormStaysOnTopAndShowsItsIcon) {
    form->SetFormStyle(fsStayOnTop);
    ASSERT_TRUE(form->Icon().LoadFromResource("MAINICON", 32, 32));
    form->Show();
    EXPECT_TRUE(::GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(form->Handle(), WM_GETICON, ICON_BIG, 0)), form->Icon().Handle());
}

TEST_F(Forms, AFormFollowsItsWindowStateAndAnotherFormHidesWhenClosed) {
    form->Show();
    form->SetWindowState(wsMaximized);
    EXPECT_TRUE(::IsZoomed(form->Handle()));
    ::ShowWindow(form->Handle(), SW_RESTORE);  // the user's restore button
    EXPECT_EQ(form->WindowState(), wsNormal);
    ::SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(Application->Terminated());
}
