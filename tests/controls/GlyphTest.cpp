#include <gtest/gtest.h>

#include "controls/SpinButton.h"
#include "framework/Bitmap.h"
#include "framework/Exceptions.h"

using namespace sw;

TEST(Glyphs, TheArrowBitmapsAreOliveTrianglesWithTransparentBackground) {
    const COLORREF olive = RGB(128, 128, 0);
    const COLORREF black = RGB(0, 0, 0);
    for (const char* name : {"SpinUp", "spindown"}) {  // names match without regard to case
        SCOPED_TRACE(name);
        TBitmap glyph;
        glyph.LoadFromResourceName(::GetModuleHandleA(nullptr), name);
        ASSERT_EQ(glyph.Width(), 9);
        ASSERT_EQ(glyph.Height(), 6);
        EXPECT_EQ(glyph.TransparentColor(), olive);
        const bool up = name[4] == 'U';
        for (int row = 0; row < 6; ++row) {
            const int black_pixels = (row == 0 || row == 5) ? 0 : (up ? 2 * row - 1 : 9 - 2 * row);
            for (int x = 0; x < 9; ++x) {
                const bool inside = black_pixels > 0 && x >= 4 - black_pixels / 2 && x <= 4 + black_pixels / 2;
                EXPECT_EQ(glyph.PixelAt(x, row), inside ? black : olive) << "x " << x << ", row " << row;
            }
        }
    }
}

TEST(Glyphs, DrawingLeavesTheBottomLeftColourOut) {
    TBitmap glyph;
    glyph.LoadFromResourceName(::GetModuleHandleA(nullptr), "SpinDown");
    glyph.SetTransparent(true);
    TBitmap target;
    target.SetSize(20, 20);
    target.Canvas().Brush().SetColor(clRed);
    target.Canvas().FillRect(RECT{0, 0, 20, 20});
    target.Canvas().Draw(5, 5, glyph);
    EXPECT_EQ(target.PixelAt(5, 5), RGB(255, 0, 0)) << "background pixel left out";
    EXPECT_EQ(target.PixelAt(5 + 4, 5 + 1), RGB(0, 0, 0)) << "triangle drawn";
    EXPECT_EQ(target.PixelAt(5 + 4, 5 + 4), RGB(0, 0, 0));
    EXPECT_EQ(target.PixelAt(5 + 3, 5 + 4), RGB(255, 0, 0));
}

TEST(Glyphs, AMissingResourceIsReported) {
    TBitmap glyph;
    EXPECT_THROW(glyph.LoadFromResourceName(::GetModuleHandleA(nullptr), "NichtDa"), EResNotFound);
}
