#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>

#include "controls/LabelRules.h"

using namespace sw;
using namespace sw::controls;

TEST(LabelRules, AnglesAreKeptIn0To359) {
    const struct {
        int32_t written, stored;
    } cases[] = {
        {-90, 270}, {360, 0}, {725, 5}, {0, 0}, {359, 359}, {-720, 0}, {-1, 359}, {INT_MIN, 232}, {INT_MAX, 127},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeAngle(c.written), c.stored) << c.written;
}

TEST(LabelRules, PixelArithmeticSaturatesAndHalvesRoundDown) {
    EXPECT_EQ(AddSaturated(INT_MAX, 1), INT_MAX);
    EXPECT_EQ(AddSaturated(INT_MIN, -1), INT_MIN);
    EXPECT_EQ(AddSaturated(5, -int64_t{INT_MIN}), INT_MAX);
    EXPECT_EQ(AddSaturated(-3, 10), 7);
    EXPECT_EQ(HalfDown(5), 2);
    EXPECT_EQ(HalfDown(-5), -3);
    EXPECT_EQ(HalfDown(-4), -2);
}

// Where the top-left corner of a 40 x 10 caption goes when it is rotated:
// the box the rotated text covers starts at the label's corner (or is
// centred), and the text starts from the box corner its top-left maps to.
TEST(LabelRules, ARotatedCaptionStartsFromTheCornerItsTopLeftMapsTo) {
    using enum TextAlign;
    const struct {
        int32_t angle;
        int32_t clientWidth, clientHeight;
        TextAlign horizontal, vertical;
        RotatedPlacement expected;  // box left, top, width, height; start x, y
    } cases[] = {
        {0, 100, 100, Near, Near, {0, 0, 40, 10, 0, 0}},
        // Reading upwards: the text's top faces left, it starts bottom left.
        {90, 100, 100, Near, Near, {0, 0, 10, 40, 0, 40}},
        // Upside down: it starts bottom right and runs to the left.
        {180, 100, 100, Near, Near, {0, 0, 40, 10, 40, 10}},
        // Reading downwards: the text's top faces right, it starts top right.
        {270, 100, 100, Near, Near, {0, 0, 10, 40, 10, 0}},
        // 20 degrees: 40 cos = 37.6, 40 sin = 13.7, 10 cos = 9.4, 10 sin = 3.4
        // (products that are whole numbers in theory may truncate either
        // way in floating point, so none is used here).
        {20, 100, 100, Near, Near, {0, 0, 40, 22, 0, 13}},
        // 200 degrees: the same box, started from the opposite corner.
        {200, 100, 100, Near, Near, {0, 0, 40, 22, 40, 9}},
        // Centred and far-aligned boxes.
        {90, 100, 100, Center, Center, {45, 30, 10, 40, 45, 70}},
        {270, 100, 100, Far, Far, {90, 60, 10, 40, 100, 60}},
        {90, 101, 41, Center, Center, {45, 0, 10, 40, 45, 40}},
        // A box larger than the label is cut to it.
        {0, 20, 5, Far, Center, {0, 0, 20, 5, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        const double radians = c.angle * std::numbers::pi / 180.0;
        const RotatedPlacement p = PlaceRotatedText(c.angle, std::cos(radians), std::sin(radians), 40, 10,
                                                    c.clientWidth, c.clientHeight, c.horizontal, c.vertical);
        EXPECT_EQ(p.boxLeft, c.expected.boxLeft);
        EXPECT_EQ(p.boxTop, c.expected.boxTop);
        EXPECT_EQ(p.boxWidth, c.expected.boxWidth);
        EXPECT_EQ(p.boxHeight, c.expected.boxHeight);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}
