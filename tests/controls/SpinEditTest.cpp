#include <windowsx.h>

#include <climits>
#include <string>
#include <vector>

#include "ControlFixture.h"
#include "controls/SpinEdit.h"
#include "framework/Edit.h"
#include "framework/Exceptions.h"

using namespace sw;
using namespace sw::test;

namespace {

class SpinEditTest : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        spin = new TSpinEdit(form.get());
        spin->SetBounds(20, 20, 57, 26);
        spin->SetMinValue(1);
        spin->SetMaxValue(10000);
        spin->SetValue(100);
        spin->SetParent(form.get());
        other = new TEdit(form.get());
        other->SetBounds(20, 80, 120, 24);
        other->SetParent(form.get());
        spin->OnChange = [this](TObject*) { changes.push_back(spin->Text()); };
    }

    HWND Edit() { return spin->Handle(); }
    std::string Text() { return WindowText(Edit()); }
    static char DecimalSeparator() {
        char buffer[8] = {};
        ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer);
        return buffer[0];
    }
    // A mouse message to the arrow pair's window at a point of one arrow.
    void MouseOnArrow(UINT message, TControl* arrow, int dx = 0, int dy = 0) {
        const int x = arrow->Left() + arrow->Width() / 2 + dx;
        const int y = arrow->Top() + arrow->Height() / 2 + dy;
        const WPARAM keys = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
        ::SendMessageA(spin->Arrows()->Handle(), message, keys, MAKELPARAM(x, y));
    }
    void Tick(TTimer* timer) { ::SendMessageA(timer->Handle(), WM_TIMER, timer->TimerId(), 0); }

    TSpinEdit* spin = nullptr;
    TEdit* other = nullptr;
    std::vector<std::string> changes;
};

}  // namespace

TEST_F(SpinEditTest, ReadingConvertsTheTextOrGivesTheMinimum) {
    const char separator = DecimalSeparator();
    const struct {
        std::string text;
        int32_t expected;
    } cases[] = {
        {"+5", 5},
        {" 7", 7},
        {"$10", 16},
        {"0x1F", 31},
        {"-3", -3},        // reading never clamps
        {"20000", 20000},  // nor does it above the maximum
        {std::string("1") + separator + "5", 1},
        {"zwölf", 1},
        {"", 1},
        {"1-2", 1},
    };
    for (const auto& c : cases) {
        spin->SetText(c.text);
        EXPECT_EQ(spin->Value(), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(SpinEditTest, PastedTextIsNotFilteredAndReadsAsAnyText) {
    const struct {
        const char* pasted;
        int32_t value;
    } cases[] = {{" 7", 7}, {"$10", 16}, {"Buchstaben", 1}};
    for (const auto& c : cases) {
        PutOnClipboard(c.pasted);
        ::SendMessageA(Edit(), EM_SETSEL, 0, -1);
        ::SendMessageA(Edit(), WM_PASTE, 0, 0);
        EXPECT_EQ(Text(), c.pasted);
        EXPECT_EQ(spin->Value(), c.value);
    }
}

TEST_F(SpinEditTest, WritingClampsToTheRange) {
    const struct {
        int32_t min, max, written;
        const char* text;
    } cases[] = {
        {1, 10000, 0, "1"},
        {1, 10000, 20000, "10000"},
        {1, 10000, -7, "1"},
        {0, 0, -2147483647 - 1, "-2147483648"},  // no range: nothing clamped
        {10, 5, 7, "10"},                         // maximum below minimum
        {10, 5, 11, "5"},
    };
    for (const auto& c : cases) {
        spin->SetMinValue(c.min);
        spin->SetMaxValue(c.max);
        spin->SetValue(c.written);
        EXPECT_EQ(Text(), c.text) << c.min << ".." << c.max << " <- " << c.written;
    }
}

TEST_F(SpinEditTest, WithoutARangeSteppingWrapsAround) {
    spin->SetMinValue(0);
    spin->SetMaxValue(0);
    spin->SetValue(INT_MAX);
    Key(Edit(), VK_UP);
    EXPECT_EQ(Text(), "-2147483648");
    Key(Edit(), VK_DOWN);
    EXPECT_EQ(Text(), "2147483647");
}

TEST_F(SpinEditTest, OnChangeFiresOncePerRealChangeOfTheText) {
    spin->SetValue(100);  // same text
    EXPECT_TRUE(changes.empty());

    spin->SetValue(250);
    EXPECT_EQ(changes, (std::vector<std::string>{"250"})) << "a program's write fires exactly once";

    spin->SetValue(10000);
    changes.clear();
    Key(Edit(), VK_UP);  // at the maximum: the same text again
    MouseOnArrow(WM_LBUTTONDOWN, spin->Arrows()->UpArrow());
    MouseOnArrow(WM_LBUTTONUP, spin->Arrows()->UpArrow());
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(Text(), "10000");

    ::SendMessageA(Edit(), EM_SETSEL, 5, 5);
    Type(Edit(), "\b");
    EXPECT_EQ(changes, (std::vector<std::string>{"1000"})) << "typed";
    ::SendMessageA(Edit(), EM_SETSEL, 0, -1);
    ::SendMessageA(Edit(), WM_CUT, 0, 0);
    EXPECT_EQ(changes.back(), "") << "cut";
    PutOnClipboard("42");
    ::SendMessageA(Edit(), WM_PASTE, 0, 0);
    EXPECT_EQ(changes, (std::vector<std::string>{"1000", "", "42"})) << "pasted";
}

TEST_F(SpinEditTest, RefusedCharactersBeepAndChangeNothing) {
    const char separator = DecimalSeparator();
    int keyPresses = 0;
    spin->OnKeyPress = [&](TObject*, char&) { ++keyPresses; };
    spin->SetText("");
    const struct {
        char c;
        bool accepted;
    } cases[] = {
        {'5', true},  {'-', true},       {'+', true},  {separator, true}, {'a', false},
        {' ', false}, {'\r', false},  // Enter
        {'\x80', false}, {'x', false},
    };
    std::string expected;
    for (const auto& c : cases) {
        const int beepsBefore = beeps;
        const int pressesBefore = keyPresses;
        Type(Edit(), std::string(1, c.c));
        if (c.accepted) expected += c.c;
        EXPECT_EQ(Text(), expected) << "code " << int(static_cast<unsigned char>(c.c));
        EXPECT_EQ(beeps - beepsBefore, c.accepted ? 0 : 1) << "code " << int(static_cast<unsigned char>(c.c));
        EXPECT_EQ(keyPresses - pressesBefore, c.accepted ? 1 : 0) << "OnKeyPress sees accepted characters only";
    }
    EXPECT_EQ(spin->Value(), 1) << "a text such as 5-+, reads as the minimum";
}

TEST_F(SpinEditTest, WithTheEditorDisabledOnlyStepsChangeTheText) {
    spin->SetEditorEnabled(false);
    spin->SetValue(50);
    const size_t changesBefore = changes.size();
    ::SendMessageA(Edit(), EM_SETSEL, 2, 2);
    Type(Edit(), "7");
    Type(Edit(), "\b");
    EXPECT_EQ(Text(), "50");
    EXPECT_EQ(beeps, 2) << "digits and Backspace are refused with a beep";

    PutOnClipboard("99");
    ::SendMessageA(Edit(), WM_PASTE, 0, 0);
    Type(Edit(), "\x16");  // Ctrl+V
    ::SendMessageA(Edit(), EM_SETSEL, 0, -1);
    ::SendMessageA(Edit(), WM_CUT, 0, 0);
    Type(Edit(), "\x18");  // Ctrl+X
    // Delete, and the context menu's "Delete" and "Undo".
    ::SendMessageA(Edit(), WM_CLEAR, 0, 0);
    ::SendMessageA(Edit(), WM_UNDO, 0, 0);
    ::SendMessageA(Edit(), EM_SETSEL, 0, 0);
    Key(Edit(), VK_DELETE);
    {
        // Shift+Insert, with Shift held in this thread's key state.
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        const BYTE shift = keys[VK_SHIFT];
        keys[VK_SHIFT] = 0x80;
        ::SetKeyboardState(keys);
        Key(Edit(), VK_INSERT);
        keys[VK_SHIFT] = shift;
        ::SetKeyboardState(keys);
    }
    EXPECT_EQ(Text(), "50");
    EXPECT_EQ(changes.size(), changesBefore);
    EXPECT_EQ(beeps, 2) << "paste, cut and delete are dropped without a sound";

    Key(Edit(), VK_UP);
    EXPECT_EQ(Text(), "51");
    MouseOnArrow(WM_LBUTTONDOWN, spin->Arrows()->DownArrow());
    MouseOnArrow(WM_LBUTTONUP, spin->Arrows()->DownArrow());
    EXPECT_EQ(Text(), "50");
}

TEST_F(SpinEditTest, ReadOnlyStepsOnlyBeep) {
    spin->SetReadOnly(true);
    Key(Edit(), VK_UP);
    MouseOnArrow(WM_LBUTTONDOWN, spin->Arrows()->UpArrow());
    MouseOnArrow(WM_LBUTTONUP, spin->Arrows()->UpArrow());
    EXPECT_EQ(Text(), "100");
    EXPECT_EQ(beeps, 2);
    PutOnClipboard("7");
    ::SendMessageA(Edit(), WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), "100");
}

TEST_F(SpinEditTest, UpAndDownKeysStepAndStillReachTheKeyEvent) {
    std::vector<WORD> keys;
    spin->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { keys.push_back(key); };
    spin->SetIncrement(5);
    Key(Edit(), VK_UP);
    Key(Edit(), VK_UP);
    Key(Edit(), VK_DOWN);
    Key(Edit(), VK_HOME);
    EXPECT_EQ(Text(), "105");
    EXPECT_EQ(keys, (std::vector<WORD>{VK_UP, VK_UP, VK_DOWN, VK_HOME}));
}

TEST_F(SpinEditTest, LeavingTheFieldClampsAfterOnExit) {
    std::vector<std::string> events;
    spin->OnChange = nullptr;
    spin->OnExit = [&](TObject*) { events.push_back("exit with " + Text()); };
    spin->SetFocus();
    spin->SetText("20000");
    EXPECT_EQ(spin->Value(), 20000) << "while the field has the focus the text stands";
    other->SetFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"exit with 20000"}));
    EXPECT_EQ(Text(), "10000");

    // An emptied text does not convert and stays as it is.
    spin->SetFocus();
    spin->SetText("");
    EXPECT_EQ(spin->Value(), 1);
    other->SetFocus();
    EXPECT_EQ(Text(), "");
}

TEST_F(SpinEditTest, ArrivingFocusSelectsAllUnlessByAPressOnTheField) {
    spin->SetValue(1234);
    other->SetFocus();
    spin->SetFocus();
    EXPECT_EQ(spin->SelStart(), 0);
    EXPECT_EQ(spin->SelLength(), 4);

    other->SetFocus();
    ::SendMessageA(Edit(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 5));
    ::SendMessageA(Edit(), WM_LBUTTONUP, 0, MAKELPARAM(3, 5));
    ASSERT_TRUE(spin->Focused());
    EXPECT_EQ(spin->SelLength(), 0);
}

TEST_F(SpinEditTest, TheFieldIsAtLeastAsHighAsItsMinimumAndTheArrowsFitInside) {
    // The minimum from the screen's metrics, computed here on its own.
    WindowDC screen(nullptr);
    TEXTMETRICA system{};
    TEXTMETRICA own{};
    ::GetTextMetricsA(screen.Get(), &system);
    {
        SelectedObject font(screen.Get(), spin->Font().Handle());
        ::GetTextMetricsA(screen.Get(), &own);
    }
    const int minimum = own.tmHeight + std::min(system.tmHeight, own.tmHeight) / 4 +
                        4 * ::GetSystemMetrics(SM_CYBORDER) + 2;
    EXPECT_EQ(spin->MinimumHeight(), minimum);

    spin->SetHeight(minimum - 6);
    EXPECT_EQ(spin->Height(), minimum) << "a lower field grows to the minimum";

    spin->SetBounds(20, 20, 57, std::max(26, minimum));
    const int h = spin->Height();
    TSpinButton* arrows = spin->Arrows();
    EXPECT_EQ(arrows->Left(), 57 - 15 - 5);
    EXPECT_EQ(arrows->Top(), 0);
    EXPECT_EQ(arrows->Width(), 15);
    EXPECT_EQ(arrows->Height(), h - 5);
    EXPECT_EQ(arrows->UpArrow()->Height(), (h - 5) / 2);
    EXPECT_EQ(arrows->DownArrow()->Top(), (h - 5) / 2 - 1) << "the arrows overlap by one row";
    EXPECT_EQ(arrows->DownArrow()->Top() + arrows->DownArrow()->Height(), h - 5);

    RECT text{};
    ::SendMessageA(Edit(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
    RECT client{};
    ::GetClientRect(Edit(), &client);
    EXPECT_LE(text.right, client.right - 15 - 2) << "the text never runs under the arrows";
}

TEST_F(SpinEditTest, ScalingTheLiveFieldKeepsTheArrowsInsideItsRightEdge) {
    ASSERT_TRUE(spin->HandleAllocated());
    spin->SetAutoSize(false);  // only the scaling moves things here
    spin->SetHeight(40);
    form->ScaleBy(96, 120);
    TSpinButton* arrows = spin->Arrows();
    EXPECT_EQ(spin->Width(), 46);  // 57 at 120 dpi, from 20 to 77
    EXPECT_EQ(spin->Height(), 32);
    EXPECT_EQ(arrows->Width(), 15) << "the arrow pair is never narrower than 15";
    EXPECT_EQ(arrows->Left(), spin->Width() - 15 - 5);
    EXPECT_EQ(arrows->Height(), spin->Height() - 5);
}

TEST_F(SpinEditTest, AHeldArrowRepeatsAfter400MsThenEvery100Ms) {
    spin->SetValue(10);
    TTimerSpeedButton* up = spin->Arrows()->UpArrow();
    MouseOnArrow(WM_LBUTTONDOWN, up);
    EXPECT_EQ(Text(), "10") << "a press alone does not step";
    EXPECT_TRUE(spin->Focused()) << "pressing an arrow moves the focus to the field";
    TTimer* timer = up->RepeatTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 400u);

    // About one second held: seven repeats from 400 ms on, one at release.
    for (int i = 0; i < 7; ++i) {
        Tick(timer);
        EXPECT_EQ(timer->Interval(), 100u);
    }
    EXPECT_EQ(Text(), "17");

    // Off the arrow the timer runs but nothing repeats; back on, it goes on.
    MouseOnArrow(WM_MOUSEMOVE, up, 0, -40);
    Tick(timer);
    EXPECT_EQ(Text(), "17");
    MouseOnArrow(WM_MOUSEMOVE, up);
    Tick(timer);
    EXPECT_EQ(Text(), "18");

    const UINT_PTR stale = timer->TimerId();
    MouseOnArrow(WM_LBUTTONUP, up);
    EXPECT_EQ(Text(), "19") << "the release over the arrow is one more click";
    EXPECT_FALSE(timer->Enabled());
    ::SendMessageA(timer->Handle(), WM_TIMER, stale, 0);
    EXPECT_EQ(Text(), "19") << "a tick queued before the release steps nothing";

    // A short press: only the click at release.
    MouseOnArrow(WM_LBUTTONDOWN, spin->Arrows()->DownArrow());
    MouseOnArrow(WM_LBUTTONUP, spin->Arrows()->DownArrow());
    EXPECT_EQ(Text(), "18");
}

TEST_F(SpinEditTest, AnErrorInARepeatedClickStopsTheRepeatAndReachesTheHandler) {
    spin->OnChange = [](TObject*) { throw Exception("Fehler im Änderungsereignis"); };
    TTimerSpeedButton* up = spin->Arrows()->UpArrow();
    MouseOnArrow(WM_LBUTTONDOWN, up);
    Tick(up->RepeatTimer());
    ASSERT_EQ(ReportedErrors().size(), 1u);
    EXPECT_EQ(ReportedErrors()[0], "Fehler im Änderungsereignis");
    EXPECT_FALSE(up->RepeatTimer()->Enabled());
    ReportedErrors().clear();
    spin->OnChange = nullptr;
    MouseOnArrow(WM_LBUTTONUP, up);
}

// The main window's field as designed at 120 dpi (its left edge moved by a
// multiple of 60, which keeps the rounding), in its window's font, scaled to
// the screen: its widest value shows whole beside the arrows, with a pixel
// to spare for the caret.
TEST_F(SpinEditTest, TheWidestValueShowsWholeBesideTheArrowsAtEveryResolution) {
    for (const int ppi : {96, 120, 144}) {
        SCOPED_TRACE(std::to_string(ppi) + " dpi");
        TForm window(nullptr);
        window.SetBounds(40, 40, 200, 100);
        window.Font().SetName("MS Sans Serif");
        window.Font().SetHeight(-13);
        auto* field = new TSpinEdit(&window);
        field->SetBounds(330 - 300, 91 - 60, 68, 26);
        field->SetMaxValue(10000);
        field->SetMinValue(1);
        field->SetValue(10000);
        field->SetParent(&window);
        window.Show();
        window.ScaleBy(ppi, 120);

        SIZE text{};
        {
            WindowDC dc(field->Handle());
            SelectedObject font(dc.Get(), field->Font().Handle());
            ::GetTextExtentPoint32A(dc.Get(), "10000", 5, &text);
        }
        RECT area{};
        ::SendMessageA(field->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
        EXPECT_LT(text.cx, area.right - area.left) << "the text area holds 10000";
        EXPECT_LE(area.right, field->Arrows()->Left()) << "and ends before the arrows";
        // The edit shows it from its first digit.
        EXPECT_EQ(LOWORD(::SendMessageA(field->Handle(), EM_POSFROMCHAR, 0, 0)), area.left);
    }
}
