// The windowless label base and the screen's cursor table with the
// controls' Cursor property.
#include "controls/ControlFixture.h"
#include "framework/CustomLabel.h"
#include "framework/Edit.h"
#include "framework/Screen.h"

using namespace sw;
using namespace sw::test;

namespace {

class Label : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
};

class LabelTest : public ControlFixture {
protected:
    Label* NewLabel(const std::string& caption) {
        auto* label = new Label(form.get());
        label->SetBounds(100, 20, 65, 17);
        label->SetParent(form.get());
        label->SetCaption(caption);
        return label;
    }
};

}  // namespace

TEST_F(LabelTest, TheSizeFollowsTheCaptionUnlessAutoSizeIsOff) {
    auto* label = NewLabel("Start");
    const int shortWidth = label->Width();
    const int lineHeight = label->Height();
    EXPECT_GT(shortWidth, 10);
    EXPECT_GT(lineHeight, 8);

    label->SetCaption("Start Page: eine lange Adresse");
    EXPECT_GT(label->Width(), shortWidth);
    EXPECT_EQ(label->Height(), lineHeight);
    label->SetCaption("");
    EXPECT_EQ(label->Height(), lineHeight) << "an empty caption keeps one line";
    label->SetCaption("Zwei\nZeilen");
    EXPECT_GT(label->Height(), lineHeight + lineHeight / 2);

    // A right-aligned label grows to the left.
    label->SetCaption("Start");
    label->SetAlignment(taRightJustify);
    const int right = label->BoundsRect().right;
    label->SetCaption("Start Page: eine lange Adresse");
    EXPECT_EQ(label->BoundsRect().right, right);
    EXPECT_LT(label->Left(), 100);

    // Word wrap keeps the width and adds lines.
    label->SetAlignment(taLeftJustify);
    label->SetAutoSize(false);
    label->SetBounds(100, 20, 80, 17);
    label->SetCaption("Startwacht schützt die Startseite des Browsers");
    EXPECT_EQ(label->Width(), 80);
    EXPECT_EQ(label->Height(), 17);
    label->SetWordWrap(true);
    label->SetAutoSize(true);
    EXPECT_LE(label->Width(), 80);
    EXPECT_GE(label->Height(), 3 * lineHeight);
}

TEST_F(LabelTest, AfterScalingTheSizeIsThatOfTheScaledFont) {
    // Fonts come in steps: scaled bounds of the old caption are not the
    // size of the caption in the scaled font.
    auto* scaled = NewLabel("Startwacht im Netz");
    scaled->SetParentFont(false);
    scaled->Font().SetHeight(-13);
    scaled->ScaleBy(96, 120);
    auto* fresh = NewLabel("Startwacht im Netz");
    fresh->SetParentFont(false);
    fresh->Font().SetHeight(scaled->Font().Height());
    EXPECT_EQ(scaled->Width(), fresh->Width());
    EXPECT_EQ(scaled->Height(), fresh->Height());
}

TEST_F(LabelTest, WhileLoadingTheSizeWaitsForTheEnd) {
    auto* label = new Label(form.get());
    label->SetParent(form.get());
    const int emptyWidth = label->Width();
    {
        TLoadingScope loading;
        loading.Add(label);
        label->SetCaption("Maximale Anzahl der Einträge");
        EXPECT_EQ(label->Width(), emptyWidth);
    }
    EXPECT_GT(label->Width(), emptyWidth + 50);
}

TEST_F(LabelTest, TheAcceleratorFocusesTheFocusControlWhileItExists) {
    const struct {
        const char* caption;
        char accel;
    } captions[] = {{"&Start Page:", 'S'}, {"Start &Page:", 'P'}, {"Meier && &Co", 'C'}, {"A&&B", 0}, {"Ende&", 0}};
    for (const auto& c : captions) EXPECT_EQ(AccelCharOf(c.caption), c.accel) << c.caption;

    auto* edit = new TEdit(form.get());
    edit->SetBounds(10, 60, 120, 21);
    edit->SetParent(form.get());
    auto* other = new TEdit(form.get());
    other->SetBounds(10, 90, 120, 21);
    other->SetParent(form.get());
    auto* label = NewLabel("&Start Page:");
    label->SetFocusControl(edit);
    other->SetFocus();

    EXPECT_FALSE(label->DialogChar('x'));
    EXPECT_FALSE(edit->Focused());
    EXPECT_TRUE(label->DialogChar('s'));
    EXPECT_TRUE(edit->Focused());
    other->SetFocus();
    label->SetShowAccelChar(false);
    EXPECT_FALSE(label->DialogChar('s')) << "without accelerators \"&\" is a plain character";
    label->SetShowAccelChar(true);

    delete edit;
    EXPECT_EQ(label->FocusControl(), nullptr);
    EXPECT_FALSE(label->DialogChar('s'));
}

TEST_F(LabelTest, AnOpaqueLabelFillsItsAreaWithItsColourAndATransparentOneDoesNot) {
    auto* label = NewLabel("Start");
    label->SetParentColor(false);
    label->SetColor(clYellow);
    auto paintedCorner = [&] {
        MemoryDC dc(::CreateCompatibleDC(nullptr));
        WindowDC screen(nullptr);
        GdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), 200, 60));
        SelectedObject selected(dc.Get(), bitmap.Get());
        const RECT all{0, 0, 200, 60};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SendMessageA(form->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(dc.Get()), 0);
        return ::GetPixel(dc.Get(), label->BoundsRect().right - 1, label->BoundsRect().bottom - 1);
    };
    EXPECT_EQ(paintedCorner(), RGB(255, 255, 0));
    EXPECT_TRUE(label->ControlStyle() & csOpaque);
    label->SetTransparent(true);
    EXPECT_EQ(paintedCorner(), RGB(255, 255, 255));
    EXPECT_FALSE(label->ControlStyle() & csOpaque);
}

TEST(ScreenCursors, NumbersMapToSystemCursorsOrRegisteredOnesAndOwnedOnesAreDestroyed) {
    TScreen screen;
    EXPECT_EQ(screen.Cursors(crIBeam), ::LoadCursorA(nullptr, IDC_IBEAM));
    EXPECT_EQ(screen.Cursors(crHourGlass), ::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(screen.Cursors(crNone), nullptr);
    EXPECT_EQ(screen.Cursors(4711), ::LoadCursorA(nullptr, IDC_ARROW)) << "unknown numbers show the arrow";
    EXPECT_FALSE(screen.HasCursor(4711));

    const BYTE andMask[128] = {};
    const BYTE xorMask[128] = {};
    HCURSOR own = ::CreateCursor(::GetModuleHandleA(nullptr), 1, 2, 32, 32, andMask, xorMask);
    ASSERT_NE(own, nullptr);
    screen.SetCursors(4711, own, true);
    EXPECT_TRUE(screen.HasCursor(4711));
    EXPECT_EQ(screen.Cursors(4711), own);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(own, &info));
    ::DeleteObject(info.hbmMask);

    // Replacing an owned cursor destroys it; a shared one is only forgotten.
    screen.SetCursors(4711, ::LoadCursorA(nullptr, IDC_CROSS));
    EXPECT_EQ(screen.Cursors(4711), ::LoadCursorA(nullptr, IDC_CROSS));
    EXPECT_FALSE(::GetIconInfo(own, &info)) << "the owned cursor is gone";
    screen.SetCursors(4711, nullptr);
    EXPECT_FALSE(screen.HasCursor(4711));
    EXPECT_NE(::LoadCursorA(nullptr, IDC_CROSS), nullptr);
}

TEST_F(LabelTest, ThePointerShowsTheCursorOfTheControlUnderIt) {
    const HWND window = form->Handle();
    auto* label = NewLabel("Start");
    label->SetCursor(crHandPoint);
    auto* edit = new TEdit(form.get());
    edit->SetBounds(10, 60, 120, 21);
    edit->SetParent(form.get());

    EXPECT_TRUE(PointerAt(window, label->Left() + 2, label->Top() + 2));
    EXPECT_EQ(::GetCursor(), Screen().Cursors(crHandPoint));
    EXPECT_FALSE(PointerAt(window, 5, 5));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));

    // The form's own cursor shows where no child has one, but not over a
    // windowed child, which keeps its class's cursor.
    form->SetCursor(crCross);
    EXPECT_TRUE(PointerAt(window, 5, 5));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_CROSS));
    EXPECT_TRUE(PointerAt(window, label->Left() + 2, label->Top() + 2));
    EXPECT_EQ(::GetCursor(), Screen().Cursors(crHandPoint));
    PointerAt(edit->Handle(), 5, 5);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_IBEAM));
    edit->SetCursor(crHourGlass);
    EXPECT_TRUE(PointerAt(edit->Handle(), 5, 5));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_WAIT));
}
