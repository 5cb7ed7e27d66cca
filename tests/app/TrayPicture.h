// The program's icons in the notification area of Wine's desktop, found by
// their picture, the blue square with the yellow "IE": the taskbar draws its
// icons itself, with no window for each.
#pragma once

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "support/TestSupport.h"

namespace sw::test {

// The taskbar of Wine's desktop (the "shell" desktop of the test session).
inline HWND Taskbar() { return ::FindWindowA("Shell_TrayWnd", nullptr); }

// The icons shown, left to right, as screen rectangles: each a run of
// taskbar columns holding the blue, with the yellow letters on it.
inline std::vector<RECT> ShownTrayIcons() {
    RECT bar{};
    ::GetWindowRect(Taskbar(), &bar);
    const int width = bar.right - bar.left;
    const int height = bar.bottom - bar.top;
    if (width <= 0 || height <= 0) return {};
    const std::vector<COLORREF> pixels = ScreenPixels(bar);
    std::vector<RECT> icons;
    RECT run{-1, height, -1, -1};
    int yellow = 0;
    const auto close = [&] {
        // A 16 x 16 square less its one-pixel frame, with the letters on it.
        if (run.left >= 0 && run.right - run.left >= 10 && run.bottom - run.top >= 10 && yellow >= 10)
            icons.push_back(RECT{bar.left + run.left, bar.top + run.top, bar.left + run.right, bar.top + run.bottom});
        run = RECT{-1, height, -1, -1};
        yellow = 0;
    };
    for (int x = 0; x < width; ++x) {
        bool blue = false;
        for (int y = 0; y < height; ++y) {
            const COLORREF pixel = pixels[static_cast<size_t>(y) * width + x];
            if (pixel == RGB(0, 0, 255)) {
                blue = true;
                if (run.left < 0) run.left = x;
                run.right = x;
                run.top = std::min<LONG>(run.top, y);
                run.bottom = std::max<LONG>(run.bottom, y);
            } else if (pixel == RGB(255, 255, 0)) {
                ++yellow;
            }
        }
        if (!blue) close();
    }
    close();
    return icons;
}

// The centre of the program's icon, when the taskbar shows one.
inline std::optional<POINT> FindTrayIcon() {
    const std::vector<RECT> icons = ShownTrayIcons();
    if (icons.empty()) return std::nullopt;
    return POINT{(icons[0].left + icons[0].right) / 2, (icons[0].top + icons[0].bottom) / 2};
}

}  // namespace sw::test
