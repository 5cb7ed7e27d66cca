// The tray icon against the real shell of the test desktop: the shell's
// callbacks are posted to the shared hidden window as the shell would send
// them, and the events, the menu and the tray entry are checked.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TrayFixture.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "tray/TrayIcon.h"

using namespace sw;
using namespace sw::test;
using Log = std::vector<std::string>;

namespace {

std::string ButtonName(TMouseButton button, TShiftState shift) {
    const TShiftState flag = button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle;
    std::string name = button == mbLeft ? "L" : button == mbRight ? "R" : "M";
    if (!(shift & flag)) name += "(no button flag)";
    return name;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TForm(nullptr);
        icon = new TTrayIcon(form);
        icon->OnClick = [this](TObject* sender) { Note(sender, "click"); };
        icon->OnMouseDown = [this](TObject* sender, TMouseButton b, TShiftState s, int, int) {
            Note(sender, "down " + ButtonName(b, s));
        };
        icon->OnMouseUp = [this](TObject* sender, TMouseButton b, TShiftState s, int, int) {
            Note(sender, "up " + ButtonName(b, s));
        };
        icon->OnMouseMove = [this](TObject* sender, TShiftState, int, int) { Note(sender, "move"); };
    }
    void TearDown() override {
        delete form;  // and the icon with it
        EXPECT_TRUE(ReportedErrors().empty());
    }

    void Note(TObject* sender, const std::string& what) {
        EXPECT_EQ(sender, icon) << what;
        log.push_back(what);
    }
    void Post(UINT event) { PostCallback(icon->TrayId(), event); }
    bool Clicked() const { return std::find(log.begin(), log.end(), "click") != log.end(); }

    TForm* form = nullptr;
    TTrayIcon* icon = nullptr;
    Log log;
};

// A popup menu of three items whose clicks are noted by caption.
TPopupMenu* MakeMenu(TComponent* owner, Log& log) {
    auto* menu = new TPopupMenu(owner);
    for (const char* caption : {"Eins", "Zwei", "Drei"}) {
        auto* item = new TMenuItem(menu);
        item->SetCaption(caption);
        item->OnClick = [&log, caption](TObject*) { log.push_back(caption); };
        menu->Items()->Add(item);
    }
    return menu;
}

}  // namespace

TEST_F(TrayIconTest, WithoutADoubleClickHandlerEveryReleaseClicksBeforeMouseUp) {
    Post(WM_LBUTTONDOWN);
    Post(WM_LBUTTONUP);
    EXPECT_EQ(log, (Log{"down L", "click", "up L"}));

    // The shell's double click: press, release, double click, release.
    log.clear();
    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Post(event);
    EXPECT_EQ(log, (Log{"down L", "click", "up L", "up L"})) << "one click per double click";
}

TEST_F(TrayIconTest, WithADoubleClickHandlerAClickWaitsOneDoubleClickTime) {
    icon->OnDblClick = [this](TObject* sender) { Note(sender, "double"); };
    const auto doubleClickTime = std::chrono::milliseconds(::GetDoubleClickTime());

    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Post(event);
    PumpFor(doubleClickTime * 2);
    EXPECT_EQ(log, (Log{"down L", "up L", "double", "up L"})) << "no click for a double click";

    log.clear();
    Post(WM_LBUTTONDOWN);
    Post(WM_LBUTTONUP);
    EXPECT_EQ(log, (Log{"down L", "up L"})) << "the click is held back at the release";
    EXPECT_TRUE(WaitFor([&] { return Clicked(); })) << "and comes when the double-click time is over";
    EXPECT_EQ(log, (Log{"down L", "up L", "click"}));

    // A press held longer than the double-click time clicks at its release.
    log.clear();
    Post(WM_LBUTTONDOWN);
    PumpFor(doubleClickTime * 2);
    EXPECT_EQ(log, (Log{"down L"}));
    Post(WM_LBUTTONUP);
    EXPECT_EQ(log, (Log{"down L", "click", "up L"}));
}

TEST_F(TrayIconTest, ADoubleClickBeforeTheDoubleClickHandlerCameSwallowsNoLaterClick) {
    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Post(event);
    icon->OnDblClick = [this](TObject* sender) { Note(sender, "double"); };
    log.clear();
    Post(WM_LBUTTONDOWN);
    Post(WM_LBUTTONUP);
    EXPECT_TRUE(WaitFor([&] { return Clicked(); }));
}

TEST_F(TrayIconTest, DisabledIgnoresTheMouseButNotTheBalloonNotifications) {
    Log menuLog;
    bool menuOpened = false;
    TPopupMenu* menu = MakeMenu(form, menuLog);
    menu->Items()->Items(0)->SetDefault(true);
    menu->OnPopup = [&](TObject*) {
        menuOpened = true;
        ::PostMessageA(Application->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    icon->SetPopupMenu(menu);
    icon->OnDblClick = [this](TObject* sender) { Note(sender, "double"); };
    icon->OnMouseEnter = [this](TObject* sender) { Note(sender, "enter"); };
    icon->SetWantEnterExitEvents(true);
    icon->SetEnabled(false);

    for (UINT event : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
                       WM_MBUTTONDOWN, WM_MBUTTONUP})
        Post(event);
    icon->SetLeftPopup(true);
    Post(WM_LBUTTONDOWN);
    PumpFor(std::chrono::milliseconds(::GetDoubleClickTime() + 200));
    EXPECT_EQ(log, Log{});
    EXPECT_FALSE(menuOpened);
    EXPECT_EQ(menuLog, Log{}) << "no default item chosen";

    icon->OnBalloonHintShow = [this](TObject* sender) { Note(sender, "shown"); };
    icon->OnBalloonHintHide = [this](TObject* sender) { Note(sender, "hidden"); };
    icon->OnBalloonHintTimeout = [this](TObject* sender) { Note(sender, "timed out"); };
    icon->OnBalloonHintClick = [this](TObject* sender) { Note(sender, "clicked"); };
    for (UINT event : {NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT, NIN_BALLOONUSERCLICK}) Post(event);
    EXPECT_EQ(log, (Log{"shown", "hidden", "timed out", "clicked"}));
}

TEST_F(TrayIconTest, ADoubleClickChoosesTheMenusDefaultItemOnlyWhenTheMenuPopsUpByItself) {
    struct Case {
        const char* what;
        int defaultItem;  // -1: none
        bool autoPopup;
        bool leftPopup;
        Log chosen;
    };
    const Case cases[] = {
        {"second item Default", 1, true, false, {"Zwei"}},
        {"LeftPopup", 1, true, true, {}},
        {"AutoPopup off", 1, false, false, {}},
        {"no Default item", -1, true, false, {}},
    };
    for (const Case& c : cases) {
        Log chosen;
        TPopupMenu* menu = MakeMenu(form, chosen);
        if (c.defaultItem >= 0) menu->Items()->Items(c.defaultItem)->SetDefault(true);
        menu->SetAutoPopup(c.autoPopup);
        icon->SetPopupMenu(menu);
        icon->SetLeftPopup(c.leftPopup);
        Post(WM_LBUTTONDBLCLK);
        EXPECT_EQ(chosen, c.chosen) << c.what;
        delete menu;
        EXPECT_EQ(icon->PopupMenu(), nullptr) << "a removed menu is forgotten";
    }
}

TEST_F(TrayIconTest, ARightPressOpensTheMenuAtOnceAndItsChoiceRuns) {
    Log chosen;
    TPopupMenu* menu = MakeMenu(form, chosen);
    menu->OnPopup = [&](TObject*) {
        log.push_back("menu");
        // The menu's own loop takes these keys: the second item is chosen.
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) ::PostMessageA(Application->Handle(), WM_KEYDOWN, key, 0);
    };
    icon->SetPopupMenu(menu);

    Post(WM_RBUTTONDOWN);
    EXPECT_EQ(log, (Log{"down R", "menu"})) << "the menu opens during the press";
    EXPECT_EQ(chosen, Log{"Zwei"});
    EXPECT_EQ(menu->PopupComponent(), icon);
    Post(WM_RBUTTONUP);
    EXPECT_EQ(log, (Log{"down R", "menu", "up R"}));
}

TEST_F(TrayIconTest, TheRightReleaseFollowsTheCallbackStyle) {
    struct Case {
        TCallbackStyle style;
        UINT event;
        bool released;
    };
    const Case cases[] = {
        {ClassicCallbacks, WM_RBUTTONUP, true},       {ClassicCallbacks, WM_CONTEXTMENU, false},
        {ClassicCallbacks, NIN_SELECT, false},        {Version3Callbacks, WM_RBUTTONUP, false},
        {Version3Callbacks, WM_CONTEXTMENU, true},    {Version3Callbacks, NIN_SELECT, true},
        {Version3Callbacks, NIN_KEYSELECT, true},
    };
    for (const Case& c : cases) {
        icon->SetCallbackStyle(c.style);
        log.clear();
        Post(c.event);
        EXPECT_EQ(log, c.released ? Log{"up R"} : Log{}) << "style " << c.style << ", event 0x" << std::hex << c.event;
    }
    log.clear();
    for (UINT event : {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK}) Post(event);
    EXPECT_EQ(log, (Log{"down M", "up M"}));
}

TEST_F(TrayIconTest, TheTipIsTheHintsFirst127CharactersUnlessHintsAreOff) {
    std::string longHint;
    for (int i = 0; i < 200; ++i) longHint += static_cast<char>('a' + i % 26);
    struct Case {
        std::string hint;
        bool showHint;
        std::string tip;
    };
    const Case cases[] = {
        {longHint, true, longHint.substr(0, 127)},
        {std::string(127, 'x'), true, std::string(127, 'x')},
        {"Startwacht", false, ""},
        {"", true, ""},
    };
    ShellWatch watch;
    for (const Case& c : cases) {
        icon->SetShowHint(c.showHint);
        icon->SetHint(c.hint);
        ASSERT_FALSE(watch.calls.empty());
        const NOTIFYICONDATAA& sent = watch.calls.back().record;
        EXPECT_EQ(watch.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
        const std::string tip(sent.szTip, sizeof sent.szTip);
        EXPECT_EQ(tip, c.tip + std::string(128 - c.tip.size(), '\0')) << "hint of " << c.hint.size();
    }
}

TEST_F(TrayIconTest, TheRecordNamesTheHiddenWindowAndANumberThatLeadsBackToTheIcon) {
    const NOTIFYICONDATAA& record = icon->TrayRecord();
#if !defined(_WIN64)
    EXPECT_EQ(record.cbSize, 488u);
#else
    EXPECT_EQ(record.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
#endif
    EXPECT_EQ(record.hWnd, TTrayIconHandler::Window());
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x0800u);
    EXPECT_EQ(record.uID, icon->TrayId());

    // Two icons share the window; each number reaches its own icon, and the
    // number of a destroyed icon reaches nothing.
    auto* other = new TTrayIcon(form);
    Log otherLog;
    other->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, other);
        otherLog.push_back("click");
    };
    EXPECT_EQ(other->TrayRecord().hWnd, record.hWnd);
    EXPECT_NE(other->TrayId(), icon->TrayId());
    const uint32_t otherId = other->TrayId();
    PostCallback(otherId, WM_LBUTTONDOWN);
    PostCallback(otherId, WM_LBUTTONUP);
    EXPECT_EQ(otherLog, Log{"click"});
    EXPECT_EQ(log, Log{});

    delete other;
    PostCallback(otherId, WM_LBUTTONDOWN);
    PostCallback(otherId, WM_LBUTTONUP);
    EXPECT_EQ(otherLog, Log{"click"});
    Post(WM_LBUTTONDOWN);
    Post(WM_LBUTTONUP);
    EXPECT_EQ(log, (Log{"down L", "click", "up L"}));
}

TEST_F(TrayIconTest, TheHiddenWindowIgnoresCloseAndLivesExactlyWhileAnIconDoes) {
    const HWND window = TTrayIconHandler::Window();
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(::SendMessageA(window, WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(::SendMessageA(window, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(TTrayIconHandler::UserCount(), 1u);

    delete form;  // the last icon goes
    form = nullptr;
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(TTrayIconHandler::Window(), nullptr);
    EXPECT_EQ(TTrayIconHandler::UserCount(), 0u);

    form = new TForm(nullptr);
    icon = new TTrayIcon(form);
    EXPECT_TRUE(::IsWindow(TTrayIconHandler::Window()));
    EXPECT_EQ(icon->TrayRecord().hWnd, TTrayIconHandler::Window());
}

TEST_F(TrayIconTest, ASecondAddLeavesOneEntryAndDestroyingTheIconRemovesIt) {
    ShellWatch watch;
    icon->SetIconVisible(true);
    icon->SetIconVisible(true);
    ASSERT_EQ(watch.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD}));
    EXPECT_TRUE(watch.calls[0].result);
    EXPECT_FALSE(watch.calls[1].result) << "the second add is refused";
    EXPECT_TRUE(icon->IconVisible());
    EXPECT_TRUE(InTray(*icon));
    icon->SetIconVisible(false);
    EXPECT_FALSE(InTray(*icon)) << "one delete leaves no entry behind";
    EXPECT_FALSE(icon->IconVisible());

    // Destroying a present icon takes it out of the tray. Another icon keeps
    // the hidden window, so the entry could still be found.
    auto* keeper = new TTrayIcon(form);
    icon->SetIconVisible(true);
    ASSERT_TRUE(InTray(*icon));
    const uint32_t id = icon->TrayId();
    delete icon;
    icon = nullptr;
    EXPECT_FALSE(InTray(TTrayIconHandler::Window(), id));
    EXPECT_EQ(watch.Messages().back(), static_cast<DWORD>(NIM_DELETE));
    delete keeper;
}

TEST_F(TrayIconTest, LoadingAddsTheIconWithWhatWasAppliedBeforeAndSettlesItAfterwards) {
    ShellWatch watch;
    TTrayIcon* loaded = nullptr;
    {
        TLoadingScope scope;
        loaded = scope.Add(new TTrayIcon(form));
        loaded->SetHint("Startwacht");
        loaded->SetIconVisible(true);
        loaded->SetIconIndex(0);
        scope.Finish();
    }
    const std::vector<DWORD> expected{NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_MODIFY, NIM_ADD, NIM_SETVERSION};
    ASSERT_EQ(watch.Messages(), expected);
    EXPECT_FALSE(watch.calls[0].result) << "no entry to modify yet";
    EXPECT_TRUE(watch.calls[1].result);
    EXPECT_EQ(std::string(watch.calls[1].record.szTip), "Startwacht");
    EXPECT_FALSE(watch.calls[4].result) << "already present";
    EXPECT_EQ(watch.calls[5].record.uVersion, 0u);
    EXPECT_TRUE(InTray(*loaded));
}

TEST_F(TrayIconTest, TheIconIndexStaysWithinTheList) {
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    auto* list = new TImageList(form);
    for (COLORREF c : colours) {
        IconHandle image(SolidIcon(c));
        ASSERT_GE(list->AddIcon(image.Get()), 0);
    }
    icon->SetIconList(list);
    EXPECT_EQ(icon->IconIndex(), 0);
    EXPECT_EQ(ReadIcon(icon->Icon().Handle()).At(8, 8), colours[0]);

    struct Case {
        int set;
        int shown;
    };
    for (const Case& c : {Case{1, 1}, Case{10, 2}, Case{3, 2}, Case{-3, 0}}) {
        icon->SetIconIndex(c.set);
        EXPECT_EQ(icon->IconIndex(), c.shown) << "set " << c.set;
        EXPECT_EQ(ReadIcon(icon->Icon().Handle()).At(8, 8), colours[c.shown]) << "set " << c.set;
    }

    icon->SetIconIndex(2);
    delete list;
    EXPECT_EQ(icon->IconList(), nullptr);
    EXPECT_EQ(icon->IconIndex(), 0);
    icon->SetIconIndex(5);
    EXPECT_EQ(icon->IconIndex(), 0) << "no list, no index";
}

TEST_F(TrayIconTest, CyclingStepsThroughTheListInOrder) {
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    auto* list = new TImageList(form);
    for (COLORREF c : colours) {
        IconHandle image(SolidIcon(c));
        list->AddIcon(image.Get());
    }
    icon->SetIconList(list);
    icon->SetIconIndex(2);

    std::vector<int> next;
    std::vector<COLORREF> shown;  // the image in the tray when a step begins
    icon->OnCycle = [&](TObject* sender, int nextIndex) {
        EXPECT_EQ(sender, icon);
        next.push_back(nextIndex);
        shown.push_back(ReadIcon(icon->Icon().Handle()).At(8, 8));
        if (next.size() == 5) icon->SetCycleIcons(false);
    };
    icon->SetCycleInterval(30);
    icon->SetCycleIcons(true);
    EXPECT_EQ(icon->IconIndex(), 0) << "cycling starts at the first image";
    ASSERT_TRUE(WaitFor([&] { return next.size() >= 5; }));
    PumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1, 2})) << "and stops when switched off";
    EXPECT_EQ(shown, (std::vector<COLORREF>{colours[0], colours[1], colours[2], colours[0], colours[1]}));
    EXPECT_EQ(icon->IconIndex(), 2);

    // An interval of 0 never steps.
    next.clear();
    icon->SetCycleInterval(0);
    icon->SetCycleIcons(true);
    PumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(next.empty());
}

TEST_F(TrayIconTest, ThePointerCountsAsInsideOnlyOnThePointOfTheLastMove) {
    icon->OnMouseEnter = [this](TObject* sender) { Note(sender, "enter"); };
    icon->OnMouseExit = [this](TObject* sender) { Note(sender, "exit"); };

    ::SetCursorPos(200, 200);
    Post(WM_MOUSEMOVE);
    EXPECT_EQ(log, Log{"move"}) << "no enter and exit unless wanted";

    log.clear();
    icon->SetWantEnterExitEvents(true);
    Post(WM_MOUSEMOVE);
    Post(WM_MOUSEMOVE);
    EXPECT_EQ(log, (Log{"enter", "move", "move"}));
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log, (Log{"enter", "move", "move"})) << "the pointer stayed on its point";

    ::SetCursorPos(201, 200);
    ASSERT_TRUE(WaitFor([&] { return log.back() == "exit"; }));
    Post(WM_MOUSEMOVE);
    EXPECT_EQ(log, (Log{"enter", "move", "move", "exit", "enter", "move"}));
}

TEST_F(TrayIconTest, AHandlerMayDestroyTheIcon) {
    // The click handler frees the icon; the release's mouse-up must not reach it.
    icon->OnClick = [this](TObject*) {
        log.push_back("click");
        delete icon;
        icon = nullptr;
    };
    const uint32_t id = icon->TrayId();
    PostCallback(id, WM_LBUTTONDOWN);
    PostCallback(id, WM_LBUTTONUP);
    EXPECT_EQ(log, (Log{"down L", "click"}));
    EXPECT_EQ(icon, nullptr);
}

TEST_F(TrayIconTest, ATripleClickGivesTheDoubleClickAndNoClick) {
    icon->OnDblClick = [this](TObject* sender) { Note(sender, "double"); };
    const auto doubleClickTime = std::chrono::milliseconds(::GetDoubleClickTime());

    // The third press comes while the first one's delay still runs.
    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP})
        Post(event);
    PumpFor(doubleClickTime * 2);
    EXPECT_EQ(log, (Log{"down L", "up L", "double", "up L", "down L", "up L"}));

    // Once that delay is over, the double click is forgotten.
    log.clear();
    Post(WM_LBUTTONDOWN);
    Post(WM_LBUTTONUP);
    EXPECT_TRUE(WaitFor([&] { return Clicked(); }));
}

TEST_F(TrayIconTest, TheModifierKeysAndThePointerAreReadWhenTheCallbackIsHandled) {
    TShiftState shift = 0;
    POINT at{};
    icon->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int x, int y) {
        shift = s;
        at = POINT{x, y};
    };
    const auto key = [](WORD vk, bool down) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        ::SendInput(1, &input, sizeof input);
    };
    struct Case {
        const char* what;
        WORD key;
        TShiftState flag;
    };
    const Case cases[] = {
        {"no key", 0, 0},
        {"Shift", VK_SHIFT, ssShift},
        {"Ctrl", VK_CONTROL, ssCtrl},
        {"Alt", VK_MENU, ssAlt},
    };
    const HWND hidden = TTrayIconHandler::Window();
    int x = 300;
    for (const Case& c : cases) {
        ::SetCursorPos(100, 100);
        // The shell's message waits while the key goes down and the pointer moves.
        ::PostMessageA(hidden, TrayCallbackMessage, icon->TrayId(), WM_MBUTTONDOWN);
        if (c.key) key(c.key, true);
        ::SetCursorPos(++x, 200);
        // No early return while a key is down: it would stay down for later tests.
        EXPECT_TRUE(WaitFor([&] { return !c.key || ::GetAsyncKeyState(c.key) < 0; })) << c.what;
        MSG msg;
        while (::PeekMessageA(&msg, hidden, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        if (c.key) key(c.key, false);
        EXPECT_TRUE(WaitFor([&] { return !c.key || ::GetAsyncKeyState(c.key) >= 0; })) << c.what;
        // The keys' own messages are nobody's business here.
        while (::PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
        EXPECT_EQ(shift, c.flag | ssMiddle) << c.what;
        EXPECT_EQ(at.x, x) << c.what;
        EXPECT_EQ(at.y, 200) << c.what;
    }
}

TEST_F(TrayIconTest, TheMenuOpensAfterWhatWaitedWithTheApplicationInFrontAndANullMessageFollowsIt) {
    ForegroundWatch foreground;
    Log chosen;
    TPopupMenu* menu = MakeMenu(form, chosen);
    std::vector<HWND> requestedBeforeMenu;
    menu->OnPopup = [&](TObject*) {
        log.push_back("menu");
        requestedBeforeMenu = foreground.calls;
        ::PostMessageA(Application->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    icon->SetPopupMenu(menu);
    TakePosted(form->Handle(), WM_NULL);

    // The right press is taken out of the queue alone; a move waits behind it.
    const HWND hidden = TTrayIconHandler::Window();
    ::PostMessageA(hidden, TrayCallbackMessage, icon->TrayId(), WM_RBUTTONDOWN);
    ::PostMessageA(hidden, TrayCallbackMessage, icon->TrayId(), WM_MOUSEMOVE);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, hidden, TrayCallbackMessage, TrayCallbackMessage, PM_REMOVE));
    ::DispatchMessageA(&msg);
    EXPECT_EQ(log, (Log{"down R", "move", "menu"})) << "what waited is handled before the menu opens";
    EXPECT_EQ(requestedBeforeMenu, std::vector<HWND>{Application->Handle()});
    EXPECT_EQ(chosen, Log{});
    EXPECT_TRUE(TakePosted(form->Handle(), WM_NULL)) << "the form hears of the menu's end";
}

TEST_F(TrayIconTest, SettingTheIconRefreshesTheEntryOnce) {
    icon->SetIconVisible(true);
    TIcon image;
    image.SetHandle(SolidIcon(RGB(255, 0, 0)));
    ShellWatch watch;
    icon->SetIcon(image);
    ASSERT_EQ(watch.Messages(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_TRUE(watch.calls[0].result);
    ASSERT_NE(watch.calls[0].record.hIcon, nullptr);
    EXPECT_EQ(ReadIcon(watch.calls[0].record.hIcon).At(8, 8), RGB(255, 0, 0));
}
