// A shown test form to hold controls, the default beep counted instead of
// sounded, and helpers that act as a user would: typed characters, keys,
// clicks and pastes as the messages they produce.
#pragma once

#include <gtest/gtest.h>

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
    static std::string WindowText(HWND window) {
        char buffer[256] = {};
        ::GetWindowTextA(window, buffer, sizeof buffer);
        return buffer;
    }

    std::unique_ptr<TForm> form;
    int beeps = 0;
};

}  // namespace sw::test
