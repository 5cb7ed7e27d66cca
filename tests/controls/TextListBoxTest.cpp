#include <string>
#include <vector>

#include "ControlFixture.h"
#include "controls/ControlRules.h"
#include "controls/TextListBox.h"
#include "framework/Application.h"

using namespace sw;
using namespace sw::test;

namespace {

class TextListBoxTest : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        box = new TTextListBox(form.get());
        box->SetBounds(10, 10, 200, 120);
        box->SetParent(form.get());
    }

    HWND Window() { return box->Handle(); }
    int Extent() { return static_cast<int>(::SendMessageA(Window(), LB_GETHORIZONTALEXTENT, 0, 0)); }
    int ScrollPosition() { return ::GetScrollPos(Window(), SB_HORZ); }
    void ScrollToRight() { ::SendMessageA(Window(), WM_HSCROLL, SB_RIGHT, 0); }
    bool HorizontalBarShown() { return (::GetWindowLongA(Window(), GWL_STYLE) & WS_HSCROLL) != 0; }
    int ClientWidth() {
        RECT r;
        ::GetClientRect(Window(), &r);
        return r.right;
    }
    // Measured here, independently of the control: the text plus one "x"
    // in the control's font.
    int Measure(const std::string& text) {
        WindowDC dc(Window());
        SelectedObject font(dc.Get(), box->Font().Handle());
        SIZE size{};
        const std::string measured = text + "x";
        ::GetTextExtentPoint32A(dc.Get(), measured.data(), static_cast<int>(measured.size()), &size);
        return size.cx;
    }
    void Fill(const std::vector<std::string>& lines) {
        box->Items().Clear();
        for (const auto& line : lines) box->Items().Add(line);
    }

    TTextListBox* box = nullptr;
    const std::string wide = std::string(60, 'W') + " breiter als die Liste";
    const std::string medium = "mittellange Zeile";
    const std::string narrow = "kurz";
};

}  // namespace

TEST_F(TextListBoxTest, AnEmptyListHasNoExtentAndNoHorizontalBar) {
    EXPECT_EQ(Extent(), 0);
    EXPECT_EQ(box->WidestItemWidth(), 0);
    EXPECT_FALSE(HorizontalBarShown());

    Fill({wide, medium});
    ScrollToRight();
    ASSERT_GT(ScrollPosition(), 0);
    box->Items().Clear();
    EXPECT_EQ(Extent(), 0);
    EXPECT_EQ(box->WidestItemWidth(), 0);
    EXPECT_EQ(ScrollPosition(), 0) << "a clear scrolls back to the left edge";
    EXPECT_FALSE(HorizontalBarShown());
}

TEST_F(TextListBoxTest, AWideLineBringsTheRangeToItsEndPlusOneX) {
    box->Items().Add(narrow);
    EXPECT_EQ(Extent(), Measure(narrow));
    EXPECT_FALSE(HorizontalBarShown()) << "a line narrower than the box needs no bar";

    box->Items().Add(wide);
    ASSERT_GT(Measure(wide), ClientWidth());
    EXPECT_EQ(Extent(), Measure(wide));
    EXPECT_EQ(box->WidestItemWidth(), Measure(wide));
    EXPECT_TRUE(HorizontalBarShown());
    ScrollToRight();
    EXPECT_EQ(ScrollPosition(), Measure(wide) - ClientWidth()) << "the user can scroll to the end of the line";
}

TEST_F(TextListBoxTest, DeletingTheWidestLineRecountsAndScrollsLeftANarrowerOneChangesNothing) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        int deleted;
        bool recounted;
        std::string widestAfter;
    } cases[] = {
        {"the widest", {narrow, wide, medium}, 1, true, medium},
        {"the widest, also the last line", {medium, wide}, 1, true, medium},
        {"one of two equally wide", {wide, narrow, wide}, 2, true, wide},
        {"a narrower line", {narrow, wide, medium}, 2, false, wide},
        {"the last line left", {wide}, 0, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fill(c.lines);
        ScrollToRight();
        const int scrolledTo = ScrollPosition();
        ASSERT_GT(scrolledTo, 0);
        box->Items().Delete(c.deleted);
        EXPECT_EQ(box->Items().Count(), static_cast<int>(c.lines.size()) - 1);
        const int expected = c.widestAfter.empty() ? 0 : Measure(c.widestAfter);
        EXPECT_EQ(Extent(), expected);
        EXPECT_EQ(box->WidestItemWidth(), expected);
        if (c.recounted)
            EXPECT_EQ(ScrollPosition(), 0) << "deleting the widest line scrolls back to the left edge";
        else
            EXPECT_EQ(ScrollPosition(), scrolledTo) << "deleting a narrower line keeps the scroll position";
    }
}

TEST_F(TextListBoxTest, EquallyWideLinesDeletedOneAfterTheOtherShrinkTheExtentWithTheLastOfThem) {
    // As the log's trim does: equally wide lines go from the bottom, and
    // the range follows the lines that are left, with the bracket and
    // without it.
    const std::string other = std::string(60, 'W') + " die Liste als breiter";  // the same letters
    ASSERT_EQ(Measure(other), Measure(wide)) << "the fixture needs two different, equally wide lines";
    for (const bool bracket : {false, true}) {
        SCOPED_TRACE(bracket ? "inside an update" : "line by line");
        Fill({medium, wide, narrow, other, wide});
        const auto remove = [&](int index) {
            if (bracket) box->Items().BeginUpdate();
            box->Items().Delete(index);
            if (bracket) box->Items().EndUpdate();
        };
        remove(4);
        EXPECT_EQ(Extent(), Measure(wide));
        remove(3);
        EXPECT_EQ(Extent(), Measure(wide));
        ScrollToRight();
        ASSERT_GT(ScrollPosition(), 0);
        remove(1);
        EXPECT_EQ(Extent(), Measure(medium)) << "the last of the widest lines went";
        EXPECT_EQ(box->WidestItemWidth(), Measure(medium));
        EXPECT_EQ(ScrollPosition(), 0);
        // Lines added afterwards count anew.
        box->Items().Add(wide);
        box->Items().Add(other);
        remove(3);
        EXPECT_EQ(Extent(), Measure(wide));
        remove(2);
        EXPECT_EQ(Extent(), Measure(medium));
    }
}

TEST_F(TextListBoxTest, AListFilledWholeIsDrawnWithItsLinesAndItsScrollBar) {
    // Shown and painted empty first: whatever shows afterwards was drawn
    // after the fill.
    ::UpdateWindow(Window());
    const auto textPixels = [&] {
        RECT client{};
        ::GetClientRect(Window(), &client);
        ::MapWindowPoints(Window(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        int dark = 0;
        for (const COLORREF pixel : ScreenPixels(client))
            if (GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 96) ++dark;
        return dark;
    };
    ASSERT_EQ(textPixels(), 0) << "the empty list shows no text";

    std::vector<std::string> lines(30, medium);
    lines[3] = wide;
    box->Items().Assign(lines);
    ::UpdateWindow(Window());
    Application->ProcessMessages();
    EXPECT_GT(textPixels(), 200) << "the lines are drawn once the fill is done";
    EXPECT_TRUE(HorizontalBarShown());
    EXPECT_EQ(Extent(), Measure(wide));
    EXPECT_EQ(box->Items().Count(), 30);

    // Filled with nothing: the clear inside the fill takes the range along.
    box->Items().Assign({});
    EXPECT_EQ(Extent(), 0);
    EXPECT_EQ(box->WidestItemWidth(), 0);
    EXPECT_FALSE(HorizontalBarShown());
}

TEST_F(TextListBoxTest, AnInsertedOrAddedLineIsMeasuredWhereItLanded) {
    // Inserting at 0 must measure the new line, not the one that moved to 1.
    Fill({narrow});
    box->Items().Insert(0, wide);
    EXPECT_EQ(Extent(), Measure(wide));

    // In a sorted list an added line lands at the position the list box
    // chose, which is not the end.
    box->SetSorted(true);
    Fill({"zz"});
    box->Items().Add("aaa " + wide);
    ASSERT_EQ(box->Items().Get(0), "aaa " + wide);
    EXPECT_EQ(Extent(), Measure("aaa " + wide));
}

TEST_F(TextListBoxTest, AFontChangeMeasuresEveryLineAgain) {
    Fill({medium, wide, narrow});
    const int before = Extent();
    box->Font().SetHeight(box->Font().Height() * 2);
    EXPECT_EQ(Extent(), Measure(wide));
    EXPECT_GT(Extent(), before);
    EXPECT_EQ(box->WidestItemWidth(), Extent());
}

TEST_F(TextListBoxTest, WithTabWidthALineIsMeasuredWithTheRoundedTabStop) {
    Fill({"\tA", narrow});
    box->SetTabWidth(8);  // makes the window anew; the lines stay
    ASSERT_EQ(box->Items().Count(), 2);
    EXPECT_EQ(box->Items().Get(0), "\tA");

    WindowDC dc(Window());
    SelectedObject font(dc.Get(), box->Font().Handle());
    SIZE zero{};
    ::GetTextExtentPoint32A(dc.Get(), "0", 1, &zero);
    SIZE ax{};
    ::GetTextExtentPoint32A(dc.Get(), "Ax", 2, &ax);
    const int stop = controls::TabStopPixels(zero.cx, 8);
    EXPECT_EQ(box->ItemTextWidth(0), stop + ax.cx) << "one tab stop of " << stop << " pixels";
    EXPECT_EQ(Extent(), std::max<int>(stop + ax.cx, Measure(narrow)));

    box->SetTabWidth(-3);
    EXPECT_EQ(box->TabWidth(), 0) << "a negative tab width is stored as 0";
}

TEST_F(TextListBoxTest, InsideAnUpdateTheRecountWaitsForTheEnd) {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) lines.push_back(std::string(static_cast<size_t>(i + 1), 'm'));
    Fill(lines);  // the widest line is the last one
    box->Items().BeginUpdate();
    for (int i = 49; i >= 10; --i) box->Items().Delete(i);  // the guard's trim: from the bottom
    EXPECT_EQ(box->WidestItemWidth(), Measure(lines[49])) << "no recount inside the bracket";
    box->Items().EndUpdate();
    EXPECT_EQ(box->WidestItemWidth(), Measure(lines[9]));
    EXPECT_EQ(Extent(), Measure(lines[9]));
    EXPECT_EQ(box->Items().Count(), 10);
}
