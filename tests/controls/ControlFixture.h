// A shown test form to hold controls, the default beep counted instead of
// sounded, and helpers that act as a user would: typed characters, keys,
// clicks and pastes as the messages they produce.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "support/TestSupport.h"

namespace sw::test {

class ControlFixture : public testing::Test {
protected:
    void SetUp() override {
        ReportedErrors().clear();
        beeps = 0;
        SetBeepHandler([this] { ++beeps; });
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(40, 40, 480, 320);
        form->Show();
    }
    void TearDown() override {
        form.reset();
        // The pointer goes back, off where the next test's form appears.
        if (pointerMoved) ::SetCursorPos(pointerHome.x, pointerHome.y);
        SetBeepHandler(nullptr);
        EXPECT_TRUE(ReportedErrors().empty()) << ReportedErrors().front();
    }

    static void Type(HWND window, const std::string& text) {
        for (char c : text) ::SendMessageA(window, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    static void Key(HWND window, WORD key) {
        ::SendMessageA(window, WM_KEYDOWN, key, 1);
        ::SendMessageA(window, WM_KEYUP, key, 0xC0000001);
    }
    static void PutOnClipboard(const std::string& text) {
        ASSERT_TRUE(::OpenClipboard(nullptr));
        ::EmptyClipboard();
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        memcpy(::GlobalLock(memory), text.c_str(), text.size() + 1);
        ::GlobalUnlock(memory);
        ::SetClipboardData(CF_TEXT, memory);
        ::CloseClipboard();
    }
    // Puts the pointer on a client point of a window and asks the window for
    // the pointer's shape, as a move of the mouse does; true when the window
    // answered itself. The new place reaches GetCursorPos a little later,
    // and a late motion event of the display may still move the pointer
    // back: so the place must hold for a moment first.
    bool PointerAt(HWND window, int x, int y) {
        if (!pointerMoved) pointerMoved = ::GetCursorPos(&pointerHome) != 0;
        POINT p{x, y};
        ::ClientToScreen(window, &p);
        auto there = [&] {
            POINT now{};
            return ::GetCursorPos(&now) && now.x == p.x && now.y == p.y;
        };
        for (int attempt = 0; attempt < 10; ++attempt) {
            ::SetCursorPos(p.x, p.y);
            if (!WaitFor(there)) continue;
            bool held = true;
            const auto since = std::chrono::steady_clock::now();
            WaitFor([&] {
                held = there();
                return !held || std::chrono::steady_clock::now() - since >= std::chrono::milliseconds(300);
            });
            if (!held) continue;
            const LRESULT answered = ::SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                                                    MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            if (there()) return answered != 0;
        }
        ADD_FAILURE() << "the pointer does not stay at " << p.x << ", " << p.y;
        return false;
    }
    static std::string WindowText(HWND window) {
        char buffer[256] = {};
        ::GetWindowTextA(window, buffer, sizeof buffer);
        return buffer;
    }

    std::unique_ptr<TForm> form;
    int beeps = 0;
    bool pointerMoved = false;
    POINT pointerHome{};
};

}  // namespace sw::test
