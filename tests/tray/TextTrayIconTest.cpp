// The text icon's picture, read back from the icon it hands to the tray and
// compared with the same text drawn here by plain GDI at the expected place.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TrayFixture.h"
#include "tray/TextLayout.h"
#include "tray/TextTrayIcon.h"

using namespace sw;
using namespace sw::test;

namespace {

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct TextRun {
    int x;
    int y;
    std::string text;
};

SIZE Measure(TFont& font, const std::string& text) {
    MemoryDC dc(::CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.Get(), font.Handle());
    SIZE size{};
    ::GetTextExtentPoint32A(dc.Get(), text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// The square as it should look: the fill, the runs of text opaque in the
// fill colour, and the frame when there is one.
std::vector<COLORREF> Expected(TFont& font, COLORREF fill, const std::vector<TextRun>& runs,
                               std::optional<COLORREF> frame, int side = 16, int frameWidth = 1) {
    WindowDC screen(nullptr);
    GdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), side, side));
    {
        MemoryDC dc(::CreateCompatibleDC(nullptr));
        SelectedObject selectedBitmap(dc.Get(), bitmap.Get());
        SelectedObject selectedFont(dc.Get(), font.Handle());
        const RECT all{0, 0, side, side};
        GdiObject brush(::CreateSolidBrush(fill));
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(brush.Get()));
        ::SetTextColor(dc.Get(), ColorToRGB(font.Color()));
        ::SetBkColor(dc.Get(), fill);
        ::SetBkMode(dc.Get(), OPAQUE);
        for (const TextRun& run : runs)
            ::ExtTextOutA(dc.Get(), run.x, run.y, 0, nullptr, run.text.data(), static_cast<UINT>(run.text.size()),
                          nullptr);
        if (frame) {
            GdiObject frameBrush(::CreateSolidBrush(*frame));
            for (int ring = 0; ring < frameWidth; ++ring) {
                const RECT r{ring, ring, side - ring, side - ring};
                ::FrameRect(dc.Get(), &r, static_cast<HBRUSH>(frameBrush.Get()));
            }
        }
    }
    return BitmapPixels(static_cast<HBITMAP>(bitmap.Get()), side, side);
}

std::vector<COLORREF> Colours(const IconPixels& pixels) {
    return std::vector<COLORREF>(pixels.colour.begin(), pixels.colour.end());
}

int CountOf(const IconPixels& pixels, COLORREF colour, bool transparent) {
    int n = 0;
    for (size_t i = 0; i < 256; ++i) n += pixels.colour[i] == colour && pixels.transparent[i] == transparent;
    return n;
}

bool OnEdge(int x, int y) { return x == 0 || y == 0 || x == 15 || y == 15; }

class TextTrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The main window's text icon: "IE", yellow, 13 pixels, on blue in a black frame.
        icon = std::make_unique<TTextTrayIcon>(nullptr);
        font.SetCharset(DEFAULT_CHARSET);
        font.SetColor(clYellow);
        font.SetHeight(-13);
        font.SetName("MS Sans Serif");
        icon->SetFont(font);
    }
    void TearDown() override { EXPECT_TRUE(ReportedErrors().empty()); }

    IconPixels Shown() { return ReadIcon(icon->Icon().Handle()); }

    TFont font;
    std::unique_ptr<TTextTrayIcon> icon;
};

}  // namespace

TEST_F(TextTrayIconTest, TheMainWindowsIconIsAnOpaqueBlueSquareWithCentredYellowTextInABlackFrame) {
    icon->SetText("IE");
    icon->SetColor(clBlue);
    icon->SetBorder(true);

    const IconPixels shown = Shown();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_FALSE(shown.Clear(x, y)) << x << "," << y;
            if (OnEdge(x, y)) {
                EXPECT_EQ(shown.At(x, y), kBlack) << x << "," << y;
            }
        }
    EXPECT_GT(CountOf(shown, kYellow, false), 10) << "the glyphs are there";

    const SIZE extent = Measure(font, "IE");
    EXPECT_EQ(Colours(shown),
              Expected(font, kBlue, {{CentredStart(extent.cx), CentredStart(extent.cy), "IE"}}, kBlack));
}

// The notification area shows icons at the system's small icon size; a
// picture of 16 pixels would be stretched there and its text blur. The
// square is drawn at that size, with the font, the offsets and the frame
// grown in proportion. Wine's prefix of the tests runs at 96 dpi, so the
// other sizes are set here as the system would give them.
TEST_F(TextTrayIconTest, TheSquareIsDrawnAtTheSmallIconSizeWithItsFiguresGrownInProportion) {
    EXPECT_EQ(icon->IconSize(), ::GetSystemMetrics(SM_CXSMICON)) << "the system's size unless set";
    icon->SetText("IE");
    icon->SetColor(clBlue);
    icon->SetBorder(true);
    TOffsetOptions offsets;
    offsets.SetOffsetX(1);
    icon->SetOptions(offsets);
    const struct {
        int dpi;
        int side;
        int fontHeight;  // -13 on the 16-pixel square
        int offsetX;     // 1 on the 16-pixel square
        int frame;
    } cases[] = {
        {96, 16, -13, 1, 1},
        {120, 20, -16, 1, 1},  // -16.25
        {144, 24, -20, 2, 1},  // -19.5 and 1.5, halves away from zero
        {192, 32, -26, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi");
        ShellWatch watch;
        icon->SetIconSize(c.side);
        EXPECT_EQ(watch.Count(NIM_MODIFY), 1) << "the new size is rendered and handed over";
        const Square shown = ReadSquare(icon->Icon().Handle());
        ASSERT_EQ(shown.side, c.side);
        EXPECT_EQ(std::count(shown.clear.begin(), shown.clear.end(), true), 0) << "opaque";

        TFont scaled;
        scaled.Assign(font);
        scaled.SetHeight(c.fontHeight);
        const SIZE extent = Measure(scaled, "IE");
        const std::vector<COLORREF> expected =
            Expected(scaled, kBlue, {{CentredStart(extent.cx, c.side) + c.offsetX, CentredStart(extent.cy, c.side), "IE"}},
                     kBlack, c.side, c.frame);
        EXPECT_EQ(shown.colour, expected);
        EXPECT_GT(std::count(shown.colour.begin(), shown.colour.end(), kYellow), c.side) << "the glyphs are there";
    }
    icon->SetIconSize(0);
    EXPECT_EQ(icon->IconSize(), ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(ReadSquare(icon->Icon().Handle()).side, ::GetSystemMetrics(SM_CXSMICON));

    // A background icon is laid under the text at the square's size.
    IconHandle background(SolidIcon(kRed));
    TIcon image;
    image.SetHandle(background.Detach());
    icon->SetText("");
    icon->SetBackgroundIcon(image);
    icon->SetIconSize(32);
    const Square shown = ReadSquare(icon->Icon().Handle());
    ASSERT_EQ(shown.side, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool frame = x < 2 || y < 2 || x >= 30 || y >= 30;
            EXPECT_EQ(shown.colour[static_cast<size_t>(y * 32 + x)], frame ? kBlack : kRed) << x << "," << y;
        }
}

// A program that Windows starts at 200 % is told 32 by SM_CXSMICON: its
// icon is drawn at that size, and the default font of a text icon is that
// of the 16-pixel square, grown once with it (not first to the screen's
// resolution as well).
TEST_F(TextTrayIconTest, InAProgramStartedAt192DpiTheSquareHasTheSystemsSmallIconSize) {
    if (TestResolution() == 0) {
        const auto code = RunCurrentTestAt(192);
        ASSERT_TRUE(code) << "the run at 192 dpi did not end";
        EXPECT_EQ(*code, 0U) << "the run at 192 dpi failed (its output is above)";
        return;
    }
    ASSERT_EQ(ScreenPixelsPerInch(), 192);
    ASSERT_EQ(::GetSystemMetrics(SM_CXSMICON), 32);
    TTextTrayIcon fresh(nullptr);
    EXPECT_EQ(fresh.Font().Height(), -11) << "8 points at 96 dpi";

    icon->SetText("IE");
    icon->SetColor(clBlue);
    icon->SetBorder(true);
    const Square shown = ReadSquare(icon->Icon().Handle());
    ASSERT_EQ(shown.side, 32);
    TFont scaled;
    scaled.Assign(font);
    scaled.SetHeight(-26);
    const SIZE extent = Measure(scaled, "IE");
    EXPECT_EQ(shown.colour, Expected(scaled, kBlue, {{CentredStart(extent.cx, 32), CentredStart(extent.cy, 32), "IE"}},
                                     kBlack, 32, 2));
}

TEST_F(TextTrayIconTest, TheFillIsTransparentForClNoneAndOpaqueInverseForTheFontsOwnColour) {
    struct Case {
        const char* what;
        TColor color;
        TColor borderColor;
        bool fillClear;
        bool frameClear;
    };
    const Case cases[] = {
        {"clNone", clNone, clBlack, true, false},
        {"clNone with a frame in the inverse colour", clNone, clBlue, true, true},
        {"the font's own colour", clYellow, clBlack, false, false},
        {"a real colour", clBlue, clBlack, false, false},
    };
    icon->SetText("IE");
    icon->SetBorder(true);
    for (const Case& c : cases) {
        icon->SetBorderColor(c.borderColor);
        icon->SetColor(c.color);
        EXPECT_EQ(icon->KeyColour(), c.fillClear ? clBlue : clNone) << c.what << ": the colour masked out";
        const IconPixels shown = Shown();
        int fill = 0;
        int glyph = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                if (OnEdge(x, y)) {
                    EXPECT_EQ(shown.Clear(x, y), c.frameClear) << c.what << " frame " << x << "," << y;
                    if (!c.frameClear) {
                        EXPECT_EQ(shown.At(x, y), ColorToRGB(c.borderColor)) << c.what;
                    }
                    continue;
                }
                if (shown.Clear(x, y)) {
                    ++fill;
                    EXPECT_TRUE(c.fillClear) << c.what << " " << x << "," << y;
                } else if (shown.At(x, y) == kYellow) {
                    ++glyph;
                } else {
                    ++fill;
                    EXPECT_FALSE(c.fillClear) << c.what << " " << x << "," << y;
                    EXPECT_EQ(shown.At(x, y), kBlue) << c.what << " " << x << "," << y;
                }
            }
        EXPECT_GT(glyph, 10) << c.what << ": the glyphs stay opaque";
        EXPECT_GT(fill, 100) << c.what;
    }
}

TEST_F(TextTrayIconTest, AWideTextStartsWhereTruncatedCentringPutsIt) {
    // A text wider than the square with an odd overhang: (15 - w) div 2 must
    // truncate towards zero, one pixel right of rounding down.
    std::string text = "WWW";
    while ((15 - Measure(font, text).cx) % 2 == 0 || Measure(font, text).cx <= 16) text += "i";
    const SIZE extent = Measure(font, text);
    const int x = (15 - extent.cx) / 2;
    ASSERT_LT(x, 0);
    TOffsetOptions offsets;
    offsets.SetOffsetX(1);
    offsets.SetOffsetY(-2);
    icon->SetOptions(offsets);
    icon->SetColor(clBlue);
    icon->SetText(text);

    const std::vector<COLORREF> truncated = Expected(font, kBlue, {{x + 1, CentredStart(extent.cy) - 2, text}}, {});
    const std::vector<COLORREF> roundedDown =
        Expected(font, kBlue, {{x, CentredStart(extent.cy) - 2, text}}, {});
    ASSERT_NE(truncated, roundedDown) << "the text must tell the two apart";
    EXPECT_EQ(Colours(Shown()), truncated) << text << " is " << extent.cx << " pixels wide";
}

TEST_F(TextTrayIconTest, CarriageReturnsMakeLinesThatAreCentredOneByOne) {
    icon->SetColor(clBlue);
    const int height = Measure(font, "\r").cy;
    struct Case {
        std::string text;
        int lineDistance;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"AB\r", 0, {"AB", ""}},  // a trailing carriage return is an empty last line
        {"I\rEEE", 0, {"I", "EEE"}},
        {"I\rE\rW", 1, {"I", "E", "W"}},
        {"I\r\nE", -2, {"I", "\nE"}},
    };
    for (const Case& c : cases) {
        TOffsetOptions offsets;
        offsets.SetLineDistance(c.lineDistance);
        icon->SetOptions(offsets);
        icon->SetText(c.text);
        const int lineHeight = height + c.lineDistance;
        const int top = CentredStart(static_cast<int>(c.lines.size()) * lineHeight);
        std::vector<TextRun> runs;
        for (size_t i = 0; i < c.lines.size(); ++i)
            runs.push_back({CentredStart(Measure(font, c.lines[i]).cx), top + static_cast<int>(i) * lineHeight,
                            c.lines[i]});
        EXPECT_EQ(Colours(Shown()), Expected(font, kBlue, runs, {})) << c.text;
    }
}

TEST_F(TextTrayIconTest, AnEmptyTextLeavesOnlyTheBackgroundAndTheFrame) {
    icon->SetText("");
    icon->SetColor(clBlue);
    icon->SetBorder(true);
    const IconPixels shown = Shown();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_FALSE(shown.Clear(x, y));
            EXPECT_EQ(shown.At(x, y), OnEdge(x, y) ? kBlack : kBlue) << x << "," << y;
        }
}

TEST_F(TextTrayIconTest, EverySetterRendersExceptAnOffsetThatDidNotChange) {
    icon->SetText("IE");
    icon->SetCycleIcons(true);
    ShellWatch watch;
    const auto renders = [&] {
        const int n = watch.Count(NIM_MODIFY);
        watch.calls.clear();
        return n;
    };
    icon->Options().SetOffsetX(0);
    EXPECT_EQ(renders(), 0) << "OffsetX set to its current value";
    HICON before = icon->Icon().Handle();
    icon->SetColor(icon->Color());
    EXPECT_EQ(renders(), 1) << "Color set to its current value";
    EXPECT_NE(icon->Icon().Handle(), before) << "a new image";
    EXPECT_FALSE(icon->CycleIcons()) << "a text icon does not cycle";

    icon->Options().SetOffsetX(3);
    EXPECT_EQ(renders(), 1);
    icon->Font().SetHeight(-11);
    EXPECT_EQ(renders(), 1) << "a font attribute";
    icon->SetFont(icon->Font());
    EXPECT_EQ(renders(), 1) << "the same font";
    for (const auto& set : {std::function<void()>([&] { icon->SetText("IE"); }),
                            std::function<void()>([&] { icon->SetBorder(icon->Border()); }),
                            std::function<void()>([&] { icon->SetBorderColor(icon->BorderColor()); })})
        set();
    EXPECT_EQ(renders(), 3);
}

TEST_F(TextTrayIconTest, OverABackgroundIconOnlyTheGlyphsAndTheFrameAreLaidOn) {
    struct Case {
        const char* what;
        COLORREF background;
        bool innerClear;
    };
    const Case cases[] = {
        {"red background", kRed, false},
        {"background in the mask colour", kBlue, true},
    };
    for (const Case& c : cases) {
        // An 8 x 8 square in the middle, transparent around it.
        IconHandle background(SolidIcon(c.background, 4));
        TIcon image;
        image.SetHandle(background.Detach());
        icon->SetColor(clBlue);
        icon->SetBorder(true);
        icon->SetText("");
        icon->SetBackgroundIcon(image);

        const IconPixels shown = Shown();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool inner = x >= 4 && x < 12 && y >= 4 && y < 12;
                if (OnEdge(x, y)) {
                    EXPECT_FALSE(shown.Clear(x, y)) << c.what;
                    EXPECT_EQ(shown.At(x, y), kBlack) << c.what;
                } else if (inner) {
                    EXPECT_EQ(shown.Clear(x, y), c.innerClear) << c.what << " " << x << "," << y;
                    if (!c.innerClear) {
                        EXPECT_EQ(shown.At(x, y), c.background) << c.what;
                    }
                } else {
                    EXPECT_TRUE(shown.Clear(x, y)) << c.what << " " << x << "," << y;
                }
            }
    }

    // Text over the red square: the glyphs are opaque, the fill between them is not.
    icon->SetText("I");
    IconHandle background(SolidIcon(kRed, 4));
    TIcon image;
    image.SetHandle(background.Detach());
    icon->SetBackgroundIcon(image);
    const IconPixels shown = Shown();
    EXPECT_GT(CountOf(shown, kYellow, false), 3);
    EXPECT_EQ(CountOf(shown, kBlue, false), 0);
}
