#include "ControlFixture.h"
#include "controls/SpinButton.h"
#include "framework/Edit.h"

using namespace sw;
using namespace sw::test;

namespace {

class SpinButtonTest : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        button = new TSpinButton(form.get());
        button->SetLeft(10);
        button->SetTop(10);
        button->SetTabStop(true);
        button->SetParent(form.get());
        button->OnUpClick = [this](TObject* sender) {
            EXPECT_EQ(sender, button);
            clicks += "U";
        };
        button->OnDownClick = [this](TObject*) { clicks += "D"; };
    }
    static bool ShowsFocus(TTimerSpeedButton* arrow) { return (arrow->ButtonFlags() & ShowFocus) != 0; }

    TSpinButton* button = nullptr;
    std::string clicks;
};

}  // namespace

TEST_F(SpinButtonTest, ArrowsStackWithOneSharedRowAndTheWidthIsAtLeast15) {
    EXPECT_EQ(button->Width(), 20);
    EXPECT_EQ(button->Height(), 25);
    EXPECT_EQ(button->UpArrow()->BoundsRect().bottom, 12);
    EXPECT_EQ(button->DownArrow()->Top(), 11);
    EXPECT_EQ(button->DownArrow()->BoundsRect().bottom, 25);
    button->SetBounds(10, 10, 8, 21);
    EXPECT_EQ(button->Width(), 15);
    EXPECT_EQ(button->UpArrow()->Width(), 15);
    EXPECT_EQ(button->UpArrow()->Height(), 10);
    EXPECT_EQ(button->DownArrow()->Top(), 9);
    EXPECT_EQ(button->DownArrow()->Height(), 12);
}

TEST_F(SpinButtonTest, WithTheFocusKeysClickTheArrowsAndTheActiveOneShowsTheFocus) {
    EXPECT_EQ(::SendMessageA(button->Handle(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
    EXPECT_EQ(button->ActiveArrow(), button->UpArrow());
    button->SetFocus();
    EXPECT_TRUE(ShowsFocus(button->UpArrow()));
    int keyEvents = 0;
    button->OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++keyEvents; };

    Key(button->Handle(), VK_SPACE);
    Key(button->Handle(), VK_DOWN);
    EXPECT_EQ(button->ActiveArrow(), button->DownArrow());
    EXPECT_TRUE(ShowsFocus(button->DownArrow()));
    EXPECT_FALSE(ShowsFocus(button->UpArrow()));
    Key(button->Handle(), VK_SPACE);
    Key(button->Handle(), VK_RETURN);
    Key(button->Handle(), VK_UP);
    EXPECT_EQ(clicks, "UDDU");
    EXPECT_EQ(keyEvents, 0) << "no key event is raised";

    auto* other = new TEdit(form.get());
    other->SetTop(60);
    other->SetParent(form.get());
    other->SetFocus();
    EXPECT_FALSE(ShowsFocus(button->UpArrow()));
}

TEST_F(SpinButtonTest, PressingAnArrowFocusesTheFocusControlWhichMayGo) {
    auto* edit = new TEdit(form.get());
    edit->SetTop(60);
    edit->SetParent(form.get());
    button->SetFocusControl(edit);
    TTimerSpeedButton* down = button->DownArrow();
    const LPARAM at = MAKELPARAM(down->Left() + 3, down->Top() + 3);
    ::SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(button->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(button->ActiveArrow(), down);
    EXPECT_EQ(clicks, "D");

    delete edit;
    EXPECT_EQ(button->FocusControl(), nullptr);
    ::SendMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(button->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(button->Focused()) << "without a focus control the spin button itself takes the focus";
}

TEST_F(SpinButtonTest, AGlyphOfSeveralImagesSetsTheCountAndNoneBringsBackTheDefault) {
    TBitmap strip;
    strip.SetSize(36, 9);
    button->SetUpGlyph(&strip);
    EXPECT_EQ(button->UpNumGlyphs(), 4);
    EXPECT_EQ(button->UpArrow()->Glyph().Width(), 36);
    strip.SetSize(20, 9);  // not a whole multiple: the count stays
    button->SetUpGlyph(&strip);
    EXPECT_EQ(button->UpNumGlyphs(), 4);
    button->SetUpGlyph(nullptr);
    EXPECT_EQ(button->UpNumGlyphs(), 1);
    EXPECT_EQ(button->UpArrow()->Glyph().Width(), 9);
    EXPECT_EQ(button->UpArrow()->Glyph().Height(), 6);
}
