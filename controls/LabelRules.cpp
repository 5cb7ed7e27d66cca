#include "LabelRules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sw::controls {

int32_t NormalizeAngle(int32_t degrees) {
    int32_t angle = degrees % 360;
    if (angle < 0) angle += 360;
    return angle;
}

UnitStep DirectionStep(TDirection direction) {
    switch (direction) {
        case drUp: return {0, -1};
        case drDown: return {0, 1};
        case drLeft: return {-1, 0};
        case drRight: return {1, 0};
        case drUpLeft: return {-1, -1};
        case drUpRight: return {1, -1};
        case drDownLeft: return {-1, 1};
        case drDownRight: return {1, 1};
        case drNone:
        default: return {0, 0};
    }
}

int32_t AddSaturated(int32_t a, int64_t b) {
    const int64_t sum = static_cast<int64_t>(a) + std::clamp<int64_t>(b, std::numeric_limits<int64_t>::min() / 2,
                                                                       std::numeric_limits<int64_t>::max() / 2);
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t HalfDown(int32_t v) { return static_cast<int32_t>(std::floor(static_cast<double>(v) / 2.0)); }

namespace {

// Truncation toward zero, kept within 32 bits.
int32_t Trunc(double v) {
    return static_cast<int32_t>(std::clamp(std::trunc(v), static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

int32_t Shift(TextAlign align, int32_t room) {
    switch (align) {
        case TextAlign::Center: return HalfDown(room);
        case TextAlign::Far: return room;
        case TextAlign::Near:
        default: return 0;
    }
}

}  // namespace

RotatedPlacement PlaceRotatedText(int32_t angle, double cosine, double sine, int32_t textWidth, int32_t textHeight,
                                  int32_t clientWidth, int32_t clientHeight, TextAlign horizontal,
                                  TextAlign vertical) {
    const int64_t a = Trunc(textWidth * cosine);
    const int64_t b = Trunc(textWidth * sine);
    const int64_t c = Trunc(textHeight * cosine);
    const int64_t d = Trunc(textHeight * sine);
    int64_t bw;
    int64_t bh;
    if (angle < 90) {
        bw = a + d;
        bh = b + c;
    } else if (angle < 180) {
        bw = -a + d;
        bh = b - c;
    } else if (angle < 270) {
        bw = -a - d;
        bh = -b - c;
    } else {
        bw = a - d;
        bh = -b + c;
    }
    bw = std::min<int64_t>(bw, clientWidth);
    bh = std::min<int64_t>(bh, clientHeight);

    RotatedPlacement p{};
    p.boxWidth = static_cast<int32_t>(bw);
    p.boxHeight = static_cast<int32_t>(bh);
    p.boxLeft = Shift(horizontal, AddSaturated(clientWidth, -bw));
    p.boxTop = Shift(vertical, AddSaturated(clientHeight, -bh));
    // The text's top-left corner: the box corner the rotated text starts from.
    int64_t dx;
    int64_t dy;
    if (angle < 90) {
        dx = 0;
        dy = b;
    } else if (angle < 180) {
        dx = -a;
        dy = bh;
    } else if (angle < 270) {
        dx = bw;
        dy = -c;
    } else {
        dx = -d;
        dy = 0;
    }
    p.x = AddSaturated(p.boxLeft, dx);
    p.y = AddSaturated(p.boxTop, dy);
    return p;
}

}  // namespace sw::controls
