#include <algorithm>
#include <functional>
#include <vector>

#include "ControlFixture.h"
#include "controls/ProLabel.h"
#include "framework/Application.h"
#include "framework/Bitmap.h"

using namespace sw;
using namespace sw::test;

namespace {

// One DrawCaption call: where the caption went and in which colour.
struct Copy {
    RECT r;
    COLORREF color;
};

class RecordingLabel : public TProLabel {
public:
    using TProLabel::TProLabel;
    std::vector<Copy> copies;

protected:
    void DrawCaption(HDC dc, const RECT& r, unsigned flags) override {
        copies.push_back(Copy{r, ::GetTextColor(dc)});
        TProLabel::DrawCaption(dc, r, flags);
    }
};

// A picture of the form's client area as the form paints it.
class Snapshot {
public:
    Snapshot(TForm& form, int width, int height) : dc_(::CreateCompatibleDC(nullptr)) {
        WindowDC screen(nullptr);
        bitmap_.Attach(::CreateCompatibleBitmap(screen.Get(), width, height));
        SelectedObject selected(dc_.Get(), bitmap_.Get());
        const RECT all{0, 0, width, height};
        ::FillRect(dc_.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SendMessageA(form.Handle(), WM_PAINT, reinterpret_cast<WPARAM>(dc_.Get()), 0);
        pixels_.resize(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels_[static_cast<size_t>(y) * width + x] = ::GetPixel(dc_.Get(), x, y);
        width_ = width;
        height_ = height;
    }
    COLORREF At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // The smallest rectangle holding every pixel of the colour (empty when none).
    RECT BoundsOf(COLORREF color) const {
        RECT r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) == color) r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                                                std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
        return r.left == INT_MAX ? RECT{} : r;
    }

private:
    MemoryDC dc_;
    GdiObject bitmap_;
    std::vector<COLORREF> pixels_;
    int width_ = 0;
    int height_ = 0;
};

class ProLabelTest : public ControlFixture {
protected:
    template <typename T>
    T* Place(T* label, const std::string& caption) {
        label->SetCaption(caption);
        label->SetLeft(20);
        label->SetTop(20);
        label->SetParent(form.get());
        return label;
    }
    std::vector<Copy> Painted(RecordingLabel* label) {
        label->copies.clear();
        const Snapshot shot(*form, 300, 200);
        return label->copies;
    }
};

}  // namespace

// ----------------------------------------------------------------- settings

TEST_F(ProLabelTest, AngleIsKeptIn0To359AndOnlyValuesAbove0SwitchAutoSizeOff) {
    enum Property { Angle, OffsetX, OffsetY };
    const struct {
        Property property;
        int written;
        int stored;
        bool autoSizeAfter;
    } cases[] = {
        {Angle, -90, 270, false}, {Angle, 360, 0, true},   {Angle, 725, 5, false}, {Angle, -360, 0, true},
        {OffsetX, 0, 0, true},    {OffsetX, -4, -4, true}, {OffsetX, 1, 1, false}, {OffsetY, -1, -1, true},
        {OffsetY, 3, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "property " << c.property << ", value " << c.written);
        auto* label = Place(new TProLabel(form.get()), "Startwacht");
        ASSERT_TRUE(label->AutoSize());
        switch (c.property) {
            case Angle:
                label->SetAngle(c.written);
                EXPECT_EQ(label->Angle(), c.stored);
                break;
            case OffsetX:
                label->SetOffsetX(c.written);
                EXPECT_EQ(label->OffsetX(), c.stored);
                break;
            case OffsetY:
                label->SetOffsetY(c.written);
                EXPECT_EQ(label->OffsetY(), c.stored);
                break;
        }
        EXPECT_EQ(label->AutoSize(), c.autoSizeAfter);
        delete label;
    }
}

TEST_F(ProLabelTest, TheAngleKeepsItsCosineAndSine) {
    auto* label = Place(new TProLabel(form.get()), "Startwacht");
    label->SetAngle(-90);
    EXPECT_NEAR(label->AngleCos(), 0.0, 1e-9);
    EXPECT_NEAR(label->AngleSin(), -1.0, 1e-9);
    label->SetAngle(0);
    EXPECT_DOUBLE_EQ(label->AngleCos(), 1.0);
    EXPECT_DOUBLE_EQ(label->AngleSin(), 0.0);
}

TEST_F(ProLabelTest, PresetsWriteAllEffectSettingsAndASingleChangeMakesTheStyleCustom) {
    const struct {
        TShadowStyle style;
        TDirection highlightDirection;
        int highlightDepth;
        TDirection shadowDirection;
        int shadowDepth, shadowSize;
        bool buttonFaceFont;
    } presets[] = {
        {ssRaised, drUpLeft, 1, drNone, 0, 0, false},
        {ssRaisedColor, drUpLeft, 1, drDownRight, 1, 1, true},
        {ssRaisedShadow, drUpLeft, 1, drDownRight, 1, 1, false},
        {ssRaisedThickShadow, drUpLeft, 1, drDownRight, 1, 4, false},
        {ssRecessed, drDownRight, 1, drNone, 0, 0, false},
        {ssRecessedColor, drDownRight, 1, drUpLeft, 1, 1, true},
        {ssRecessedShadow, drDownRight, 1, drUpLeft, 1, 1, false},
        {ssShadow, drNone, 0, drDownRight, 2, 1, false},
        {ssThickShadow, drNone, 0, drDownRight, 1, 4, false},
        {ssNone, drNone, 0, drNone, 0, 0, false},
    };
    // Each single change of an effect setting.
    const std::vector<std::function<void(TProLabel&)>> changes = {
        [](TProLabel& l) { l.SetHighlightDirection(drRight); },
        [](TProLabel& l) { l.SetHighlightDepth(7); },
        [](TProLabel& l) { l.SetHighlightColor(clYellow); },
        [](TProLabel& l) { l.SetShadowDirection(drLeft); },
        [](TProLabel& l) { l.SetShadowDepth(9); },
        [](TProLabel& l) { l.SetShadowSize(9); },
        [](TProLabel& l) { l.SetShadowColor(clYellow); },
    };
    auto* label = Place(new TProLabel(form.get()), "Startwacht");
    for (const auto& p : presets) {
        SCOPED_TRACE(testing::Message() << "preset " << p.style);
        for (size_t i = 0; i < changes.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "change " << i);
            label->Font().SetColor(clRed);
            label->SetShadowStyle(p.style);
            EXPECT_EQ(label->ShadowStyle(), p.style);
            EXPECT_EQ(label->HighlightDirection(), p.highlightDirection);
            EXPECT_EQ(label->HighlightDepth(), p.highlightDepth);
            EXPECT_EQ(label->HighlightColor(), clBtnHighlight);
            EXPECT_EQ(label->ShadowDirection(), p.shadowDirection);
            EXPECT_EQ(label->ShadowDepth(), p.shadowDepth);
            EXPECT_EQ(label->ShadowSize(), p.shadowSize);
            EXPECT_EQ(label->ShadowColor(), clBtnShadow);
            EXPECT_EQ(label->Font().Color(), p.buttonFaceFont ? clBtnFace : clRed);
            changes[i](*label);
            EXPECT_EQ(label->ShadowStyle(), ssCustom);
        }
    }
    // Choosing ssCustom itself applies nothing.
    label->SetShadowStyle(ssThickShadow);
    label->SetShadowStyle(ssCustom);
    EXPECT_EQ(label->ShadowSize(), 4);
    EXPECT_EQ(label->ShadowDirection(), drDownRight);
}

TEST_F(ProLabelTest, ShadowDepthAndSizeStayWithin0To1280) {
    auto* label = Place(new TProLabel(form.get()), "Startwacht");
    label->SetShadowDepth(5000);
    label->SetShadowSize(-3);
    EXPECT_EQ(label->ShadowDepth(), 1280);
    EXPECT_EQ(label->ShadowSize(), 0);
}

// ----------------------------------------------------------------- painting

TEST_F(ProLabelTest, ShadowCopiesGoStepByStepThenTheHighlightThenTheCaptionOnTop) {
    const COLORREF text = RGB(255, 0, 0);
    const COLORREF highlight = ColorToRGB(clBtnHighlight);
    const COLORREF shadow = ColorToRGB(clBtnShadow);
    struct Expected {
        int x, y;
        COLORREF color;
    };
    const struct {
        const char* name;
        std::function<void(TProLabel&)> set;
        std::vector<Expected> copies;
    } cases[] = {
        {"none", [](TProLabel&) {}, {{0, 0, text}}},
        {"raised: the highlight only", [](TProLabel& l) { l.SetShadowStyle(ssRaised); },
         {{-1, -1, highlight}, {0, 0, text}}},
        {"recessed: the highlight only", [](TProLabel& l) { l.SetShadowStyle(ssRecessed); },
         {{1, 1, highlight}, {0, 0, text}}},
        {"thick shadow: four copies from one step away", [](TProLabel& l) { l.SetShadowStyle(ssThickShadow); },
         {{1, 1, shadow}, {2, 2, shadow}, {3, 3, shadow}, {4, 4, shadow}, {0, 0, highlight}, {0, 0, text}}},
        {"shadow: one copy two steps away", [](TProLabel& l) { l.SetShadowStyle(ssShadow); },
         {{2, 2, shadow}, {0, 0, highlight}, {0, 0, text}}},
        {"custom directions, depths and colours, moved by the offsets",
         [](TProLabel& l) {
             l.SetShadowDirection(drUp);
             l.SetShadowDepth(3);
             l.SetShadowSize(2);
             l.SetShadowColor(clBlue);
             l.SetHighlightDirection(drRight);
             l.SetHighlightDepth(2);
             l.SetHighlightColor(clYellow);
             l.SetOffsetX(5);
             l.SetOffsetY(-2);
         },
         {{5, -5, RGB(0, 0, 255)}, {5, -6, RGB(0, 0, 255)}, {7, -2, RGB(255, 255, 0)}, {5, -2, text}}},
        {"disabled: embossed, without effects",
         [](TProLabel& l) {
             l.SetShadowStyle(ssRaisedShadow);
             l.SetEnabled(false);
         },
         {{1, 1, highlight}, {0, 0, shadow}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* label = Place(new RecordingLabel(form.get()), "Startwacht");
        label->Font().SetColor(clRed);
        c.set(*label);
        const std::vector<Copy> copies = Painted(label);
        ASSERT_EQ(copies.size(), c.copies.size());
        for (size_t i = 0; i < copies.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "copy " << i);
            EXPECT_EQ(copies[i].r.left, c.copies[i].x);
            EXPECT_EQ(copies[i].r.top, c.copies[i].y);
            EXPECT_EQ(copies[i].color, c.copies[i].color);
        }
        delete label;
    }
}

TEST_F(ProLabelTest, AVerticallyAlignedCaptionIsPlacedByItsMeasuredHeight) {
    const std::string tall = "Eins\nZwei\nDrei\nVier";
    const struct {
        TVerticalAlignment alignment;
        int height;
        std::string caption;
    } cases[] = {
        {vaCenter, 21, tall},          // taller than the label by an odd number of pixels
        {vaCenter, 20, tall},          // and by an even number
        {vaCenter, 120, "Startwacht"},  // shorter than the label
        {vaBottom, 21, tall},
        {vaBottom, 120, "Startwacht"},
        {vaTop, 21, tall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "alignment " << c.alignment << ", height " << c.height);
        auto* label = Place(new RecordingLabel(form.get()), c.caption);
        label->SetAutoSize(false);
        label->SetHeight(c.height);
        label->SetVerticalAlignment(c.alignment);
        EXPECT_EQ(label->Layout(), static_cast<TTextLayout>(c.alignment));
        const std::vector<Copy> copies = Painted(label);
        ASSERT_EQ(copies.size(), 1u);
        const RECT r = copies[0].r;
        const int above = r.top;                 // room above the text (negative: overflow)
        const int below = c.height - r.bottom;   // room below it
        ASSERT_GT(r.bottom - r.top, 0);
        switch (c.alignment) {
            case vaCenter:
                // Equal at both ends; an odd pixel goes below (the shift is rounded down).
                EXPECT_TRUE(below == above || below == above + 1) << above << " above, " << below << " below";
                if (c.caption == tall) {
                    EXPECT_LT(above, 0) << "a tall caption moves up";
                }
                break;
            case vaBottom:
                EXPECT_EQ(below, 0);
                break;
            case vaTop:
                EXPECT_EQ(above, 0);
                break;
        }
        delete label;
    }
}

TEST_F(ProLabelTest, TheShadowIsPaintedBelowRightOfTheCaptionAndTheCaptionOnTop) {
    auto* label = Place(new TProLabel(form.get()), "Startwacht");
    label->SetParentColor(false);
    label->SetColor(clWhite);
    label->Font().SetColor(clRed);
    label->SetShadowStyle(ssThickShadow);
    label->SetShadowColor(clBlue);
    label->SetHighlightColor(clYellow);  // drawn under the caption, so hidden by it
    label->SetWidth(label->Width() + 10);
    label->SetHeight(label->Height() + 10);
    const Snapshot shot(*form, 300, 200);
    const RECT red = shot.BoundsOf(RGB(255, 0, 0));
    const RECT blue = shot.BoundsOf(RGB(0, 0, 255));
    ASSERT_FALSE(::IsRectEmpty(&red)) << "the caption is painted";
    ASSERT_FALSE(::IsRectEmpty(&blue)) << "the shadow is painted";
    // Four copies, the first one step away: the shadow reaches four pixels
    // beyond the caption and never above or left of it.
    EXPECT_EQ(blue.right, red.right + 4);
    EXPECT_EQ(blue.bottom, red.bottom + 4);
    EXPECT_GT(blue.left, red.left);
    EXPECT_GT(blue.top, red.top);
    const RECT yellow = shot.BoundsOf(RGB(255, 255, 0));
    EXPECT_TRUE(::IsRectEmpty(&yellow)) << "the highlight lies exactly under the caption";
    EXPECT_GE(red.left, label->Left());
    EXPECT_GE(red.top, label->Top());
}

TEST_F(ProLabelTest, RotatedCaptionsStayInsideTheLabelAndTurnWithTheAngle) {
    const struct {
        int angle;
        bool upright;  // taller than wide
    } cases[] = {{0, false}, {90, true}, {180, false}, {270, true}, {45, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "angle " << c.angle);
        auto* label = Place(new TProLabel(form.get()), "Startwacht");
        label->SetParentColor(false);
        label->SetColor(clWhite);
        label->Font().SetColor(clRed);
        label->Font().SetName("Arial");
        label->Font().SetHeight(-16);
        label->SetAutoSize(false);
        label->SetBounds(20, 20, 150, 150);
        label->SetAlignment(taCenter);
        label->SetVerticalAlignment(vaCenter);
        label->SetAngle(c.angle);
        const Snapshot shot(*form, 300, 200);
        const RECT ink = shot.BoundsOf(RGB(255, 0, 0));
        ASSERT_FALSE(::IsRectEmpty(&ink)) << "the caption is painted inside the label";
        EXPECT_GE(ink.left, 20);
        EXPECT_GE(ink.top, 20);
        EXPECT_LE(ink.right, 170);
        EXPECT_LE(ink.bottom, 170);
        const int width = ink.right - ink.left;
        const int height = ink.bottom - ink.top;
        if (c.angle % 90 == 0) {
            EXPECT_EQ(height > width, c.upright) << width << " x " << height;
        } else {
            EXPECT_GT(height, 30) << "a slanted caption rises";
            EXPECT_GT(width, 30);
        }
        // Centred in the label, give or take the cell's leading and descent.
        EXPECT_NEAR((ink.left + ink.right) / 2, 95, 10);
        EXPECT_NEAR((ink.top + ink.bottom) / 2, 95, 10);
        delete label;
    }
}

// ---------------------------------------------------------------- hyperlink

namespace {

constexpr TColor kGreen = 0x008000;

class UrlLabelTest : public ProLabelTest {
protected:
    void SetUp() override {
        ProLabelTest::SetUp();
        SetShellExecute([this](HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                               const wchar_t* directory, int show) {
            // The addresses of these tests are ASCII.
            opened.push_back(std::string(file, file + std::wcslen(file)));
            colorWhenOpened = link->Font().Color();
            // Everything but the address is the same for every call.
            EXPECT_EQ(owner, Application->Handle()) << "owned by the application's window";
            EXPECT_STREQ(verb, L"open");
            EXPECT_EQ(parameters, nullptr);
            EXPECT_EQ(directory, nullptr);
            EXPECT_EQ(show, SW_SHOW);
        });
        link = NewLink();
    }
    void TearDown() override {
        SetShellExecute(nullptr);
        ProLabelTest::TearDown();
    }
    TProUrlLabel* NewLink() {
        auto* label = Place(new TProUrlLabel(form.get()), "Startwacht im Netz");
        label->SetURL("http://startwacht.example/");
        return label;
    }
    // Pointer and buttons as the user's mouse delivers them to the form,
    // in the label's coordinates.
    LPARAM At(int x, int y) const { return MAKELPARAM(link->Left() + x, link->Top() + y); }
    void Move(int x, int y, WPARAM keys = 0) { ::SendMessageA(form->Handle(), WM_MOUSEMOVE, keys, At(x, y)); }
    void Press(int x, int y) {
        Move(x, y);
        ::SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    }
    void Release(int x, int y) {
        Move(x, y, MK_LBUTTON);
        ::SendMessageA(form->Handle(), WM_LBUTTONUP, 0, At(x, y));
    }
    void Click() {
        Press(3, 3);
        Release(3, 3);
    }
    void LeaveForm() {
        Move(-15, -15);
        ::SendMessageA(form->Handle(), WM_MOUSELEAVE, 0, 0);
    }
    bool Underlined() { return (link->Font().Style() & fsUnderline) != 0; }

    TProUrlLabel* link = nullptr;
    std::vector<std::string> opened;
    TColor colorWhenOpened = clNone;
};

}  // namespace

TEST_F(UrlLabelTest, StartsBlueUnderlinedWithThePointingHand) {
    EXPECT_EQ(link->Font().Color(), clBlue);
    EXPECT_TRUE(Underlined());
    EXPECT_EQ(link->Cursor(), crProHandPoint);
    EXPECT_FALSE(link->Visited());
    EXPECT_FALSE(link->Pressed());
}

TEST_F(UrlLabelTest, OnlyAReleaseInsideOpensTheEdgesCountingAsInside) {
    enum From { Left, Right, Top = Left, Bottom = Right };
    const struct {
        const char* where;
        From fromX;
        int x;
        From fromY;
        int y;
        bool opens;
    } cases[] = {
        {"inside", Left, 5, Top, 5, true},
        {"top left corner", Left, 0, Top, 0, true},
        {"right edge", Right, 0, Top, 4, true},
        {"bottom edge", Left, 4, Bottom, 0, true},
        {"bottom right corner", Right, 0, Bottom, 0, true},
        {"left of it", Left, -1, Top, 4, false},
        {"above it", Left, 4, Top, -1, false},
        {"right of it", Right, 1, Top, 4, false},
        {"below it", Left, 4, Bottom, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        delete link;
        link = NewLink();
        opened.clear();
        Press(5, 5);
        EXPECT_TRUE(link->Pressed());
        EXPECT_EQ(link->Font().Color(), clRed) << "activated while pressed";
        Release((c.fromX == Right ? link->Width() : 0) + c.x, (c.fromY == Bottom ? link->Height() : 0) + c.y);
        EXPECT_FALSE(link->Pressed());
        if (c.opens) {
            EXPECT_EQ(opened, std::vector<std::string>{"http://startwacht.example/"});
            EXPECT_TRUE(link->Visited());
            EXPECT_EQ(link->Font().Color(), clNavy);
        } else {
            EXPECT_TRUE(opened.empty());
            EXPECT_FALSE(link->Visited());
            EXPECT_EQ(link->Font().Color(), clBlue) << "back to the colour before the press";
        }
    }
}

TEST_F(UrlLabelTest, TheAddressIsTheUrlOrTheCaptionAndTheLinkIsVisitedBeforeItOpens) {
    const struct {
        std::string url, caption;
        std::vector<std::string> opened;
    } cases[] = {
        {"http://startwacht.example/", "Startwacht im Netz", {"http://startwacht.example/"}},
        {"", "http://startwacht.example/hilfe", {"http://startwacht.example/hilfe"}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        delete link;
        link = NewLink();
        link->SetAutoSize(false);
        link->SetBounds(20, 20, 120, 16);
        link->SetURL(c.url);
        link->SetCaption(c.caption);
        opened.clear();
        colorWhenOpened = clNone;
        Click();
        EXPECT_EQ(opened, c.opened);
        EXPECT_TRUE(link->Visited());
        EXPECT_EQ(link->Font().Color(), clNavy);
        if (!c.opened.empty()) {
            EXPECT_EQ(colorWhenOpened, clNavy) << "visited before the shell has it";
        }
    }
}

TEST_F(UrlLabelTest, LaterClicksOpenAgainAndOtherButtonsChangeNothing) {
    Click();
    ::SendMessageA(form->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, At(3, 3));
    EXPECT_EQ(link->Font().Color(), clNavy);
    EXPECT_FALSE(link->Pressed());
    ::SendMessageA(form->Handle(), WM_RBUTTONUP, 0, At(3, 3));
    EXPECT_EQ(opened.size(), 1u);
    Press(3, 3);
    EXPECT_EQ(link->Font().Color(), clRed);
    Release(3, 3);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(link->Font().Color(), clNavy);
    // A double click is a press, a release, a press and a release.
    ::SendMessageA(form->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(3, 3));
    EXPECT_EQ(link->Font().Color(), clRed);
    Release(3, 3);
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(UrlLabelTest, LeavingWhilePressedShowsTheStateColourAndComingBackTheActivatedOne) {
    Press(3, 3);
    Move(link->Width() + 30, 3, MK_LBUTTON);
    EXPECT_EQ(link->Font().Color(), clBlue);
    EXPECT_TRUE(link->Pressed());
    Move(4, 4, MK_LBUTTON);
    EXPECT_EQ(link->Font().Color(), clRed);
    Release(4, 4);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(link->Font().Color(), clNavy);
}

TEST_F(UrlLabelTest, ALostCaptureEndsThePressWithoutOpening) {
    Press(3, 3);
    ::SendMessageA(form->Handle(), WM_CANCELMODE, 0, 0);
    EXPECT_FALSE(link->Pressed());
    EXPECT_EQ(link->Font().Color(), clBlue);
    ::SendMessageA(form->Handle(), WM_LBUTTONUP, 0, At(3, 3));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(link->UnvisitedColor(), clBlue);
    link->Font().SetColor(kGreen);
    EXPECT_EQ(link->UnvisitedColor(), kGreen) << "the state colour follows the font again";
}

TEST_F(UrlLabelTest, WithHoveringTheUnderlineAndHoveredColourShowOnlyUnderThePointer) {
    std::vector<std::string> events;
    link->OnMouseEnter = [&](TObject* sender) {
        EXPECT_EQ(sender, link);
        events.push_back("enter");
    };
    link->OnMouseLeave = [&](TObject*) { events.push_back("leave"); };
    link->SetCanHover(true);
    EXPECT_FALSE(Underlined());
    EXPECT_EQ(link->Font().Color(), clBlue);

    Move(3, 3);
    EXPECT_TRUE(Underlined());
    EXPECT_EQ(link->Font().Color(), clWhite);
    LeaveForm();
    EXPECT_FALSE(Underlined());
    EXPECT_EQ(link->Font().Color(), clBlue);

    Click();
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(link->Font().Color(), clWhite) << "hovered until the pointer leaves";
    LeaveForm();
    EXPECT_EQ(link->Font().Color(), clNavy);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));

    // Hovering switched off under the pointer: the state colour shows and
    // keeps its value; the label is underlined for good.
    Move(3, 3);
    link->SetCanHover(false);
    EXPECT_TRUE(Underlined());
    EXPECT_EQ(link->Font().Color(), clNavy);
    EXPECT_EQ(link->VisitedColor(), clNavy);
    LeaveForm();
    EXPECT_TRUE(Underlined());
}

TEST_F(UrlLabelTest, WithoutHoveringTheStateColourFollowsTheFont) {
    link->Font().SetColor(clRed);
    EXPECT_EQ(link->UnvisitedColor(), clRed);
    Click();
    EXPECT_EQ(link->Font().Color(), clNavy);
    link->Font().SetColor(clOlive);
    EXPECT_EQ(link->VisitedColor(), clOlive);
    EXPECT_EQ(link->UnvisitedColor(), clRed);

    // Visited: the unvisited colour is only kept, the visited one shown.
    link->SetUnvisitedColor(clYellow);
    EXPECT_EQ(link->UnvisitedColor(), clYellow);
    EXPECT_EQ(link->Font().Color(), clOlive);
    link->SetVisitedColor(clBlue);
    EXPECT_EQ(link->Font().Color(), clBlue);

    // With hovering the font's colour is not a state colour; a written
    // state colour is kept and shown when it is the state's.
    auto* hovering = NewLink();
    hovering->SetCanHover(true);
    hovering->Font().SetColor(clRed);
    EXPECT_EQ(hovering->UnvisitedColor(), clBlue);
    hovering->SetUnvisitedColor(clOlive);
    EXPECT_EQ(hovering->UnvisitedColor(), clOlive);
    EXPECT_EQ(hovering->Font().Color(), clOlive);
}

// ------------------------------------------------------------------ cursors

TEST(ProCursors, TheFiveCursorsAreRegisteredWithTheirHotSpots) {
    const struct {
        TCursor number;
        DWORD x, y;
        bool onThePicture;  // the hot spot is a drawn pixel (a finger tip, the arrow's point)
    } cursors[] = {
        {crProHandPoint, 6, 0, true}, {crProSmallHandPoint, 13, 9, true}, {crProGrabHand, 4, 2, true},
        {crProGrabHandArrow, 0, 0, true}, {crProDragHand, 0, 0, false},
    };
    std::vector<HCURSOR> seen;
    for (const auto& c : cursors) {
        SCOPED_TRACE(c.number);
        ASSERT_TRUE(Screen().HasCursor(c.number));
        HCURSOR cursor = Screen().Cursors(c.number);
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(cursor, &info));
        GdiObject mask(info.hbmMask);
        GdiObject color(info.hbmColor);
        EXPECT_FALSE(info.fIcon);
        EXPECT_EQ(info.xHotspot, c.x);
        EXPECT_EQ(info.yHotspot, c.y);
        EXPECT_FALSE(color) << "monochrome";
        BITMAP bm{};
        ::GetObjectA(mask.Get(), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 32);
        EXPECT_EQ(bm.bmHeight, 64) << "AND and XOR masks of 32 rows each";
        if (c.onThePicture) {
            BYTE bits[4 * 64] = {};  // rows of 32 pixels, the AND mask first
            ASSERT_EQ(::GetBitmapBits(static_cast<HBITMAP>(mask.Get()), sizeof bits, bits), LONG{sizeof bits});
            const bool transparent = (bits[c.y * 4 + c.x / 8] >> (7 - c.x % 8)) & 1;
            EXPECT_FALSE(transparent) << "the hot spot lies on the picture";
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), cursor), 0) << "a picture of its own";
        seen.push_back(cursor);
    }
}

TEST_F(UrlLabelTest, ThePointerOverTheLinkShowsTheHandAndElsewhereTheArrow) {
    const HWND window = form->Handle();
    auto setCursor = [&](int x, int y) { return PointerAt(window, link->Left() + x, link->Top() + y); };
    ASSERT_TRUE(setCursor(3, 3));
    EXPECT_EQ(::GetCursor(), Screen().Cursors(crProHandPoint));
    setCursor(link->Width() + 40, 3);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW)) << "the form's class cursor";

    // A new cursor shows at once while the pointer is over the label.
    setCursor(3, 3);
    Move(3, 3);
    link->SetCursor(crProDragHand);
    EXPECT_EQ(::GetCursor(), Screen().Cursors(crProDragHand));
    // A disabled label shows its parent's cursor.
    link->SetEnabled(false);
    setCursor(3, 3);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
}
