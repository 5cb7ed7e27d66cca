// The hyperlink label's rules that need no window: keeping an angle within
// 0..359, the unit steps of the effect directions, saturating pixel
// arithmetic, and where a rotated caption goes inside the label. No Windows
// dependency, so they also build natively.
#pragma once

#include <cstdint>

namespace sw {

// The direction of a highlight or shadow copy.
enum TDirection { drNone, drUp, drDown, drLeft, drRight, drUpLeft, drUpRight, drDownLeft, drDownRight };

namespace controls {

// The angle modulo 360, plus 360 when negative: always 0..359.
int32_t NormalizeAngle(int32_t degrees);

// One step in a direction (y grows downwards).
struct UnitStep {
    int32_t dx;
    int32_t dy;
};
UnitStep DirectionStep(TDirection direction);

// a + b kept within the 32-bit range (depths and offsets are the user's).
int32_t AddSaturated(int32_t a, int64_t b);

// v / 2 rounded down (towards minus infinity).
int32_t HalfDown(int32_t v);

enum class TextAlign { Near, Center, Far };

// A caption of textWidth x textHeight pixels (measured along its baseline)
// rotated counter-clockwise by angle degrees (0..359) with the given cosine
// and sine: the box it covers, clipped to the client size and aligned in
// it, and the point where the text's top-left corner goes.
struct RotatedPlacement {
    int32_t boxLeft;
    int32_t boxTop;
    int32_t boxWidth;
    int32_t boxHeight;
    int32_t x;
    int32_t y;
};
RotatedPlacement PlaceRotatedText(int32_t angle, double cosine, double sine, int32_t textWidth, int32_t textHeight,
                                  int32_t clientWidth, int32_t clientHeight, TextAlign horizontal,
                                  TextAlign vertical);

}  // namespace controls
}  // namespace sw
