// The guard working on the real controls: the log list is a TTextListBox's
// items and the maximum a TSpinEdit held within 1..10000, reached through
// the guard's view of the main window.
#include <string>
#include <vector>

#include "ControlFixture.h"
#include "app/Guard.h"
#include "controls/SpinEdit.h"
#include "controls/TextListBox.h"
#include "framework/StrUtils.h"
#include "support/PagesBlock.h"

using namespace sw;
using namespace sw::test;

namespace {

constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

// The part of the main window that the guard sees, on real controls.
class ControlsView : public guard::IGuardView {
public:
    ControlsView(TForm& form, guard::TGuard*& guard) : guard_(guard) {
        TextListBox1 = new TTextListBox(&form);
        TextListBox1->SetBounds(8, 60, 300, 150);
        TextListBox1->SetParent(&form);
        SpinEdit1 = new TSpinEdit(&form);
        SpinEdit1->SetBounds(8, 8, 57, 26);
        SpinEdit1->SetMaxValue(10000);
        SpinEdit1->SetMinValue(1);
        SpinEdit1->SetValue(100);
        SpinEdit1->SetParent(&form);
        SpinEdit1->OnChange = [this](TObject*) {
            ++maximumHandlerRuns;
            if (guard_) guard_->MaximumChanged();
        };
    }

    std::string AddressText() const override { return address_; }
    void SetAddressText(const std::string& text) override { address_ = text; }
    bool LogSwitch() const override { return true; }
    void SetLogSwitch(bool) override {}
    bool ReportSwitch() const override { return false; }
    void SetReportSwitch(bool) override {}
    int32_t MaxEntries() const override { return SpinEdit1->Value(); }
    void SetMaxEntries(int32_t value) override { SpinEdit1->SetValue(value); }
    TStrings& Log() override { return TextListBox1->Items(); }
    void LogLinesRemoved() override {}
    void SetGuardTimer(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    TTextListBox* TextListBox1;
    TSpinEdit* SpinEdit1;
    int maximumHandlerRuns = 0;
    std::vector<std::string> messages;

private:
    guard::TGuard*& guard_;
    std::string address_ = "about:blank";
};

class GuardControls : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        EnsureKey(HKEY_CURRENT_USER, kMainKey);
        SetStartPage("about:blank");
        DeleteValue(HKEY_CURRENT_USER, kMainKey, "Secondary Start Pages");
        RemoveFile(SettingsPath());
        RemoveFile(LogPath());
        view = std::make_unique<ControlsView>(*form, guardPointer);
        guard = std::make_unique<guard::TGuard>(*view);
        guardPointer = guard.get();
        guard->IsOnline = [] { return false; };
        guard->CurrentDateTime = [] { return std::string("09.12.2026 10:00:00"); };
    }
    void TearDown() override {
        guardPointer = nullptr;
        RemoveFile(SettingsPath());
        RemoveFile(LogPath());
        SetStartPage("about:blank");
        ControlFixture::TearDown();
    }

    static std::string SettingsPath() { return SystemDir() + "\\spurl.vxd"; }
    static std::string LogPath() { return SystemDir() + "\\tburl.vxd"; }
    static void SetStartPage(const std::string& url) {
        WriteRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page", REG_SZ, url + '\0');
    }
    // Log lines of growing width, the widest the oldest (at the bottom).
    static std::string LogFile(int lines) {
        std::string file;
        for (int i = 0; i < lines; ++i) file += "Zeile " + std::to_string(i) + std::string(static_cast<size_t>(i), '#') + "\r\n";
        return file;
    }
    void Start(const std::string& switches, int logLines) {
        WriteFileBytes(SettingsPath(), "about:blank\r\n" + switches + "\r\n" + std::string(kNoPagesBlock));
        WriteFileBytes(LogPath(), LogFile(logLines));
        guard->LoadAtStart();
    }
    int Extent() {
        return static_cast<int>(::SendMessageA(view->TextListBox1->Handle(), LB_GETHORIZONTALEXTENT, 0, 0));
    }
    int Widest() {
        int widest = 0;
        for (int i = 0; i < view->TextListBox1->Items().Count(); ++i)
            widest = std::max(widest, view->TextListBox1->ItemTextWidth(i));
        return widest;
    }
    void Paste(const std::string& text) {
        PutOnClipboard(text);
        HWND edit = view->SpinEdit1->Handle();
        ::SendMessageA(edit, EM_SETSEL, 0, -1);
        ::SendMessageA(edit, WM_PASTE, 0, 0);
    }

    guard::TGuard* guardPointer = nullptr;
    std::unique_ptr<ControlsView> view;
    std::unique_ptr<guard::TGuard> guard;
};

}  // namespace

TEST_F(GuardControls, TheStartFillsTheControlsAndAChangedMaximumTrimsTheListBox) {
    Start("11250", 300);
    EXPECT_EQ(WindowText(view->SpinEdit1->Handle()), "250");
    EXPECT_EQ(view->TextListBox1->Items().Count(), 300) << "the log is trimmed at the next change, not at start";
    EXPECT_EQ(Extent(), Widest());

    Paste("20");
    EXPECT_EQ(view->TextListBox1->Items().Count(), 20);
    EXPECT_EQ(view->TextListBox1->Items().Get(19), "Zeile 19" + std::string(19, '#'));
    EXPECT_EQ(Extent(), Widest()) << "the widest lines went: the extent follows the remaining ones";
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:blank\r\n1120\r\n" + std::string(kNoPagesBlock));
    EXPECT_EQ(ReadFileBytes(LogPath()), LogFile(20));
}

TEST_F(GuardControls, TheSpinEditKeepsTheMaximumWithinItsRange) {
    Start("11100", 30);
    const struct {
        const char* pasted;
        const char* shown;
        int lines;
    } cases[] = {
        {"-5", "5", 5},
        {"20000", "10000", 5},
        {"Buchstaben", "1", 1},
        {"$10", "16", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted);
        Paste(c.pasted);
        EXPECT_EQ(WindowText(view->SpinEdit1->Handle()), c.shown);
        EXPECT_EQ(view->TextListBox1->Items().Count(), c.lines);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), std::string("about:blank\r\n11") + c.shown + "\r\n" + std::string(kNoPagesBlock));
    }
    // Typing 0 over the text: 0 is clamped to the minimum.
    ::SendMessageA(view->SpinEdit1->Handle(), EM_SETSEL, 0, -1);
    Type(view->SpinEdit1->Handle(), "0");
    EXPECT_EQ(WindowText(view->SpinEdit1->Handle()), "1");
}

TEST_F(GuardControls, AnAttemptGoesToTheTopOfTheListBoxWhichStaysWithinTheMaximum) {
    Start("1103", 3);
    SetStartPage("about:" + std::string(120, 'z'));
    guard->Tick();
    const std::string line = "09.12.2026 10:00:00>>Ein Offline-B\xF6sewicht >>Startpage:about:" + std::string(120, 'z');
    ASSERT_EQ(view->TextListBox1->Items().Count(), 3);
    EXPECT_EQ(view->TextListBox1->Items().Get(0), line);
    EXPECT_EQ(view->TextListBox1->Items().Get(2), "Zeile 1#");
    EXPECT_EQ(Extent(), view->TextListBox1->ItemTextWidth(0)) << "the new line is the widest";
    EXPECT_EQ(ReadFileBytes(LogPath()), line + "\r\nZeile 0\r\nZeile 1#\r\n");
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kMainKey, "Start Page")->data, std::string("about:blank") + '\0');
}
