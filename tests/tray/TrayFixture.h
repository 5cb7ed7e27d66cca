// Helpers for the tray tests: a watch on the shell calls, a look into the
// notification area, the shell's callbacks, and an icon's pixels.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "support/TestSupport.h"
#include "tray/TrayIcon.h"

namespace sw::test {

// Records every shell call of the tray icons, with its time, and passes it
// on to the shell. It can also play a shell that is not ready: refusedAdds
// refuses the first adds without passing them on, refuseAll refuses every
// add, and answerLate passes a refused add on all the same, as a busy shell
// does whose answer comes after the caller has stopped waiting.
class ShellWatch {
public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA record;
        BOOL result;
        DWORD tick;
    };

    ShellWatch() {
        SetShellNotifyIcon([this](DWORD message, NOTIFYICONDATAA& record) {
            const bool refused = message == NIM_ADD && (refuseAll || Count(NIM_ADD) < refusedAdds);
            BOOL result = FALSE;
            if (!refused || answerLate) result = ShellNotifyIconDirect(message, record);
            if (refused) result = FALSE;
            calls.push_back({message, record, result, ::GetTickCount()});
            return result;
        });
    }
    ~ShellWatch() { SetShellNotifyIcon(nullptr); }
    ShellWatch(const ShellWatch&) = delete;
    ShellWatch& operator=(const ShellWatch&) = delete;

    std::vector<DWORD> Messages() const {
        std::vector<DWORD> messages;
        for (const Call& c : calls) messages.push_back(c.message);
        return messages;
    }
    int Count(DWORD message) const {
        int n = 0;
        for (const Call& c : calls) n += c.message == message;
        return n;
    }
    std::vector<DWORD> AddTicks() const {
        std::vector<DWORD> ticks;
        for (const Call& c : calls)
            if (c.message == NIM_ADD) ticks.push_back(c.tick);
        return ticks;
    }

    std::vector<Call> calls;
    int refusedAdds = 0;
    bool refuseAll = false;
    bool answerLate = false;
};

// Records every foreground request of the tray icons and passes it on.
class ForegroundWatch {
public:
    ForegroundWatch() {
        SetForegroundWindowCall([this](HWND window) {
            calls.push_back(window);
            return ::SetForegroundWindow(window);
        });
    }
    ~ForegroundWatch() { SetForegroundWindowCall(nullptr); }
    ForegroundWatch(const ForegroundWatch&) = delete;
    ForegroundWatch& operator=(const ForegroundWatch&) = delete;

    std::vector<HWND> calls;
};

// Whether the shell holds an entry for the window and number: only a present
// entry can be modified.
inline bool InTray(HWND window, uint32_t id) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = TrayRecordSize;
    probe.hWnd = window;
    probe.uID = id;
    return ShellNotifyIconDirect(NIM_MODIFY, probe) != FALSE;
}
inline bool InTray(const TTrayIcon& icon) { return InTray(TTrayIconHandler::Window(), icon.TrayId()); }

// Posts one of the shell's callbacks for the icon and lets it arrive.
inline void PostCallback(uint32_t trayId, UINT event) {
    ::PostMessageA(TTrayIconHandler::Window(), TrayCallbackMessage, trayId, event);
    Application->ProcessMessages();
}

// Takes the posted messages of one window out of the queue; true when one of
// them was the given message.
inline bool TakePosted(HWND window, UINT message) {
    bool found = false;
    MSG msg;
    for (int i = 0; i < 1000 && ::PeekMessageA(&msg, window, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE); ++i)
        found = found || msg.message == message;
    return found;
}

// Pauses while the message loop runs.
inline void PumpFor(std::chrono::milliseconds span) {
    WaitFor([] { return false; }, span);
}

// An icon of any size read back: its side, colours and transparent pixels.
struct Square {
    int side = 0;
    std::vector<COLORREF> colour;
    std::vector<bool> clear;
};

inline Square ReadSquare(HICON icon) {
    Square square;
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) {
        ADD_FAILURE() << "no icon to read";
        return square;
    }
    GdiObject colour(info.hbmColor);
    GdiObject mask(info.hbmMask);
    BITMAP bits{};
    ::GetObjectA(info.hbmColor, sizeof bits, &bits);
    EXPECT_EQ(bits.bmWidth, bits.bmHeight) << "square";
    square.side = bits.bmWidth;
    square.colour = BitmapPixels(info.hbmColor, square.side, square.side);
    for (COLORREF m : BitmapPixels(info.hbmMask, square.side, square.side)) square.clear.push_back(m != RGB(0, 0, 0));
    return square;
}

// An icon's 16 x 16 pixels read back: colour and transparency.
struct IconPixels {
    std::array<COLORREF, 256> colour{};
    std::array<bool, 256> transparent{};
    COLORREF At(int x, int y) const { return colour[static_cast<size_t>(y * 16 + x)]; }
    bool Clear(int x, int y) const { return transparent[static_cast<size_t>(y * 16 + x)]; }
};

inline IconPixels ReadIcon(HICON icon) {
    IconPixels pixels;
    const Square square = ReadSquare(icon);
    if (square.side != 16) {
        ADD_FAILURE() << "an icon of " << square.side << " pixels, not 16";
        return pixels;
    }
    std::copy(square.colour.begin(), square.colour.end(), pixels.colour.begin());
    std::copy(square.clear.begin(), square.clear.end(), pixels.transparent.begin());
    return pixels;
}

// A 16 x 16 icon of one colour (opaque), or with a transparent frame of the
// given width.
inline HICON SolidIcon(COLORREF colour, int clearFrame = 0) {
    WindowDC screen(nullptr);
    GdiObject image(::CreateCompatibleBitmap(screen.Get(), 16, 16));
    GdiObject mask(::CreateBitmap(16, 16, 1, 1, nullptr));
    {
        MemoryDC dc(::CreateCompatibleDC(nullptr));
        SelectedObject selected(dc.Get(), image.Get());
        // Transparent pixels of an icon are black in its colour image.
        const RECT all{0, 0, 16, 16};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        GdiObject brush(::CreateSolidBrush(colour));
        const RECT inner{clearFrame, clearFrame, 16 - clearFrame, 16 - clearFrame};
        ::FillRect(dc.Get(), &inner, static_cast<HBRUSH>(brush.Get()));
    }
    {
        MemoryDC dc(::CreateCompatibleDC(nullptr));
        SelectedObject selected(dc.Get(), mask.Get());
        const RECT all{0, 0, 16, 16};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        const RECT inner{clearFrame, clearFrame, 16 - clearFrame, 16 - clearFrame};
        ::FillRect(dc.Get(), &inner, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = static_cast<HBITMAP>(image.Get());
    info.hbmMask = static_cast<HBITMAP>(mask.Get());
    return ::CreateIconIndirect(&info);
}

}  // namespace sw::test
