// The main window: the protected-address edit, the switches, the maximum
// number of log entries, the log list, the buttons, the tray icon with its
// menu, the hyperlink label, the guard's timer, the watch on the guarded
// registry key and the autostart component.
// Its creation runs the start sequence; its handlers turn the user's actions
// into settings, log and registry writes through the guard.
#pragma once

#include "Guard.h"
#include "autostart/AutoRunner.h"
#include "controls/ProLabel.h"
#include "controls/SpinEdit.h"
#include "controls/TextListBox.h"
#include "framework/Button.h"
#include "framework/CheckBox.h"
#include "framework/Edit.h"
#include "framework/Forms.h"
#include "framework/GroupBox.h"
#include "framework/Label.h"
#include "framework/Menus.h"
#include "framework/Panel.h"
#include "framework/RegistryWatch.h"
#include "timer/HiResTimer.h"
#include "tray/TextTrayIcon.h"

namespace sw {

class TForm1 : public TForm, public guard::IGuardView {
public:
    // Builds the window from its stored description, then runs FormCreate.
    explicit TForm1(TComponent* owner);
    ~TForm1() override;

    // The components, as the stored description makes them.
    TPanel* Panel1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TProUrlLabel* ProUrlLabel1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button3 = nullptr;
    TButton* Button2 = nullptr;
    TCheckBox* CheckBox1 = nullptr;
    TCheckBox* CheckBox3 = nullptr;
    TCheckBox* CheckBox2 = nullptr;
    TLabel* Label4 = nullptr;
    TSpinEdit* SpinEdit1 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label3 = nullptr;
    TEdit* Edit1 = nullptr;
    TLabel* Label6 = nullptr;
    TMemo* Edit2 = nullptr;
    TLabel* Label7 = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TTextListBox* TextListBox1 = nullptr;
    THiResTimer* HiResTimer1 = nullptr;
    TRegistryWatch* RegistryWatch1 = nullptr;
    // The policy keys of both hives.
    TRegistryWatch* PolicyWatch1 = nullptr;
    TRegistryWatch* PolicyWatch2 = nullptr;
    TAutoRunner* AutoRunner1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem* Info1 = nullptr;
    TMenuItem* N1 = nullptr;
    TMenuItem* Beenden1 = nullptr;
    TTextTrayIcon* TextTrayIcon1 = nullptr;

    // Handlers.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void Button3Click(TObject* Sender);
    void CheckBox1Click(TObject* Sender);
    void CheckBox2Click(TObject* Sender);
    void CheckBox3Click(TObject* Sender);
    void Edit1Change(TObject* Sender);
    void Edit2Change(TObject* Sender);
    void SpinEdit1Change(TObject* Sender);
    void HiResTimer1Timer(TObject* Sender);
    // A value under the guarded key changed: the guard cycle at once, unless
    // the timer is off (a cycle, a message window of the guard or the address
    // edit's write is running); the change is then answered when the timer
    // is switched on again.
    void RegistryWatch1Change(TObject* Sender);
    // A policy key changed: the guard looks at the policy values (not while
    // the end of the session is asked; then once it goes on).
    void PolicyWatchChange(TObject* Sender);
    void TextTrayIcon1Click(TObject* Sender);
    void Info1Click(TObject* Sender);
    void TextTrayIcon1MinimizeToTray(TObject* Sender);
    // The end of the Windows session. The question (WM_QUERYENDSESSION)
    // holds the guard (timer and watch off), writes both files with every
    // attempt noted so far, takes the icon away and answers yes; the program
    // keeps running. The answer
    // (WM_ENDSESSION): the session ends (TRUE, also a program's own request
    // to close, ENDSESSION_CLOSEAPP) and the program ends itself; it goes on
    // (FALSE) and the icon comes back and the guard goes on, looking at the
    // start page at once. A question left without an answer for
    // EndSessionWait milliseconds counts as one whose session went on.
    void WMQueryEndSession(TMessage& message);
    void WMEndSession(TMessage& message);
    UINT EndSessionWait = 60000;
    // True between the question and its answer.
    bool EndOfSessionAsked() const { return sessionAsked_; }

    // Another start of the program in this session asks this one to open
    // its window (OpenRequestMessage, Program.h); it is answered only once
    // the program runs its message loop, and the window opens as a click on
    // the icon opens it. A start with lower rights than this copy's may ask
    // too.
    void AcceptOpenRequests();

    // The guard with the module's state (settings lines, protected address).
    guard::TGuard& Guard() { return guard_; }

    // The guard's view of the controls.
    std::string AddressText() const override;
    void SetAddressText(const std::string& text) override;
    bool LogSwitch() const override;
    void SetLogSwitch(bool on) override;
    bool ReportSwitch() const override;
    void SetReportSwitch(bool on) override;
    int32_t MaxEntries() const override;
    void SetMaxEntries(int32_t value) override;
    TStrings& Log() override;
    void LogLinesRemoved() override;
    void SetGuardTimer(bool on) override;
    void ShowMessage(const std::string& text) override;
    guard::TPages PagesText() const override;
    void SetPagesText(const guard::TPages& pages) override;
    void ShowPolicyWarning(const std::string& text) override;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void ResumeAfterEndOfSession();

    guard::TGuard guard_;
    // A change that came while the guard's timer was off.
    bool changeWaiting_ = false;
    // The end of the session was asked and not yet answered: the guard's
    // timer and watch stay off. timerWanted_ is the state that the guard's
    // own steps gave the timer meanwhile, watchWanted_ the watch's state at
    // the question.
    bool sessionAsked_ = false;
    bool timerWanted_ = false;
    bool watchWanted_ = false;
    bool acceptOpenRequests_ = false;
    bool policyChangeWaiting_ = false;
};

// The program's own path, whole.
std::wstring ProgramPath();
// What the window's link opens: the read-me that the package puts beside the
// program (LIESMICH.txt), or the program's folder when there is none.
std::wstring ReadMeAddress(const std::wstring& programPath = ProgramPath());

// The main window's stored description: makes every component of the form,
// applies its stored properties in their stored order while the components
// are loading, then completes their loading (resources/Form1.cpp).
void ReadForm1(TForm1& form);

}  // namespace sw
