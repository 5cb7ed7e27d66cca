#include "Unit1.h"

#include "Program.h"
#include "SecondaryPages.h"
#include "StoredAddress.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/SystemCodePage.h"

namespace sw {

TForm1::TForm1(TComponent* owner) : TForm(owner), guard_(*this) {
    // The cycle hands its log file to a writer thread: a slow disk never
    // holds back the answer to the next change.
    guard_.WriteLogInBackground();
    ReadForm1(*this);
    DoCreate();
}

TForm1::~TForm1() {
    // The timer and the watch stop first: no tick and no change may reach
    // the guard while the window goes. The timer goes before the watch: a
    // tick handed over while the watch's thread is waited for would run a
    // whole cycle here. Then no control may call a handler of this
    // half-destroyed form (a spin edit clamps its value when it loses the
    // focus, for instance).
    delete HiResTimer1;
    HiResTimer1 = nullptr;
    delete RegistryWatch1;
    RegistryWatch1 = nullptr;
    delete PolicyWatch1;
    PolicyWatch1 = nullptr;
    delete PolicyWatch2;
    PolicyWatch2 = nullptr;
    OnCreate = nullptr;
    OnShow = nullptr;
    for (TButton* button : {Button1, Button2, Button3})
        if (button) button->OnClick = nullptr;
    for (TMenuItem* item : {Info1, Beenden1})
        if (item) item->OnClick = nullptr;
    if (TextTrayIcon1) {
        TextTrayIcon1->OnClick = nullptr;
        TextTrayIcon1->OnMinimizeToTray = nullptr;
    }
    for (TCheckBox* box : {CheckBox1, CheckBox2, CheckBox3})
        if (box) box->OnClick = nullptr;
    if (Edit1) Edit1->OnChange = nullptr;
    if (Edit2) Edit2->OnChange = nullptr;
    if (SpinEdit1) SpinEdit1->OnChange = nullptr;
}

std::wstring ProgramPath() {
    // The wide call: the program may live under a user name that the ANSI
    // code page lacks, and GetModuleFileNameA would give "?" for it.
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

std::wstring ReadMeAddress(const std::wstring& programPath) {
    std::wstring folder = programPath;
    folder.erase(folder.find_last_of(L'\\') + 1);
    const std::wstring readMe = folder + L"LIESMICH.txt";
    if (::GetFileAttributesW(readMe.c_str()) != INVALID_FILE_ATTRIBUTES) return readMe;
    return folder;
}

void TForm1::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    params.WinClassName = "TForm1";
}

void TForm1::FormCreate(TObject*) {
    guard_.WindowShown = false;
    guard_.SettingsLines.Clear();
    try {
        CheckBox1->SetChecked(AutoRunner1->AutoRun());
        guard_.LoadAtStart();
    } catch (...) {
        // The start stopped early: the error is shown, and the guard runs
        // all the same with the address that the field holds, so that the
        // program never sits there unguarded.
        Application->HandleException(this);
        guard_.ProtectedUrl = AddressText();
        guard_.ProtectedPages = PagesText();
    }
    HiResTimer1->SetEnabled(true);
    // From here a change of the guarded key is answered at once; the timer
    // stays as the safety net for a change that the watch could not see.
    RegistryWatch1->SetEnabled(true);
    // The policies that stand at start are said once the guard runs (their
    // report waits for the user); a failure to say them stops nothing.
    for (TRegistryWatch* watch : {PolicyWatch1, PolicyWatch2}) watch->SetEnabled(true);
    try {
        guard_.CheckPolicies();
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm1::FormShow(TObject*) {
    guard_.WindowShown = true;
    SetWidth(Button2->Left() + Button2->Width() + ScaledFromDesign(20));
}

void TForm1::Button1Click(TObject*) {
    if (TextTrayIcon1) TextTrayIcon1->WithdrawMainWindow();
}

void TForm1::Button2Click(TObject*) {
    guard_.SaveAllGuarded();
    Application->Terminate();
}

void TForm1::Button3Click(TObject*) { guard_.ClearLog(); }

void TForm1::CheckBox1Click(TObject*) { AutoRunner1->SetAutoRun(CheckBox1->Checked()); }

void TForm1::CheckBox2Click(TObject*) { guard_.LogSwitchChanged(); }

void TForm1::CheckBox3Click(TObject*) { guard_.ReportSwitchChanged(); }

void TForm1::Edit1Change(TObject*) { guard_.AddressChanged(); }

void TForm1::Edit2Change(TObject*) { guard_.PagesChanged(); }

void TForm1::SpinEdit1Change(TObject*) { guard_.MaximumChanged(); }

void TForm1::HiResTimer1Timer(TObject*) {
    guard_.Tick();
    // A watch that the system refused is tried again; nothing while it runs.
    for (TRegistryWatch* watch : {RegistryWatch1, PolicyWatch1, PolicyWatch2})
        if (watch) watch->Retry();
}

void TForm1::PolicyWatchChange(TObject*) {
    if (sessionAsked_) {
        policyChangeWaiting_ = true;
        return;
    }
    guard_.CheckPolicies();
}

void TForm1::RegistryWatch1Change(TObject*) {
    // The timer is off while a cycle runs (its report open, its browser
    // query waiting) and while the address edit writes: no cycle may start
    // inside another, so the change waits until the timer is on again.
    if (!HiResTimer1 || !HiResTimer1->Enabled()) {
        changeWaiting_ = true;
        return;
    }
    guard_.Tick();
}

void TForm1::TextTrayIcon1Click(TObject*) {
    SetWindowState(wsNormal);
    SetVisible(true);
}

void TForm1::Info1Click(TObject* Sender) { TextTrayIcon1Click(Sender); }

void TForm1::TextTrayIcon1MinimizeToTray(TObject*) {
    guard_.ProtectedUrl = AddressText();
    guard_.ProtectedPages = PagesText();
}

namespace {

// The form's timer that ends the wait for the session's answer, and the
// message that opens the window once another start asked for it.
constexpr UINT_PTR kEndSessionTimer = 0x5357;
constexpr UINT kOpenWindow = WM_APP + 0x53;

}  // namespace

void TForm1::WMQueryEndSession(TMessage& message) {
    // A second question finds the guard held already and keeps the state
    // that the first one found.
    if (!sessionAsked_) {
        timerWanted_ = HiResTimer1->Enabled();
        watchWanted_ = RegistryWatch1->Enabled();
        sessionAsked_ = true;
    }
    try {
        // The timer first: a tick handed over while the watch's thread is
        // waited for would run a whole cycle inside WM_QUERYENDSESSION.
        HiResTimer1->SetEnabled(false);
        RegistryWatch1->SetEnabled(false);
    } catch (...) {
        // The session may end whatever the timer says; the writes matter more.
    }
    // The files first, with every attempt noted so far: the shell that takes
    // the icon away is busy with the logoff itself and may be slow to answer.
    guard_.SaveAllQuietly();
    if (TextTrayIcon1) TextTrayIcon1->SetIconVisible(false);
    ::SetTimer(Handle(), kEndSessionTimer, EndSessionWait, nullptr);
    message.Result = 1;
}

void TForm1::WMEndSession(TMessage& message) {
    message.Result = 0;
    if (!message.WParam) {
        ResumeAfterEndOfSession();
        return;
    }
    // An end that was never asked saves as the question does. The system
    // need not end the process (a program closing this one to replace it
    // doesn't): it ends itself, and nothing switches the guard on again.
    if (!EndOfSessionAsked()) {
        TMessage question{WM_QUERYENDSESSION, 0, message.LParam, 0};
        WMQueryEndSession(question);
    }
    ::KillTimer(Handle(), kEndSessionTimer);
    Application->Terminate();
}

void TForm1::ResumeAfterEndOfSession() {
    if (!sessionAsked_ || Application->Terminated()) return;
    ::KillTimer(Handle(), kEndSessionTimer);
    sessionAsked_ = false;
    if (TextTrayIcon1) TextTrayIcon1->SetIconVisible(true);
    RegistryWatch1->SetEnabled(watchWanted_);
    // A change made meanwhile was seen by nobody: the guard looks at once,
    // or, while a cycle still runs (a report open), once that cycle ends.
    changeWaiting_ = true;
    if (timerWanted_) SetGuardTimer(true);
    if (policyChangeWaiting_) {
        policyChangeWaiting_ = false;
        guard_.CheckPolicies();
    }
}

void TForm1::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_QUERYENDSESSION:
            WMQueryEndSession(message);
            return;
        case WM_ENDSESSION:
            WMEndSession(message);
            return;
        case WM_TIMER:
            if (message.WParam != kEndSessionTimer) break;
            ResumeAfterEndOfSession();
            return;
        case kOpenWindow:
            TextTrayIcon1Click(this);
            BringToForeground(Handle());
            return;
        default:
            if (message.Msg != OpenRequestMessage() || message.Msg == 0) break;
            // Posted: the window opens from the message loop, never inside
            // a step of the start that happens to take sent messages.
            if (!acceptOpenRequests_) {
                message.Result = 0;
                return;
            }
            ::PostMessageA(Handle(), kOpenWindow, 0, 0);
            message.Result = OpenRequestAnswer;
            return;
    }
    TForm::WndProc(message);
}

void TForm1::AcceptOpenRequests() {
    acceptOpenRequests_ = true;
    // Where the filter refuses, only starts with this copy's rights reach
    // it; a start that is not answered says so to the user.
    LetLowerRightsSend(Handle(), OpenRequestMessage());
}

// The field holds the address in UTF-16, so that an address that the ANSI
// code page lacks shows as it is and comes back unchanged.
std::string TForm1::AddressText() const { return guard::StoredAddress(Edit1->WideText(), SystemAnsiCodePage()); }

void TForm1::SetAddressText(const std::string& text) {
    Edit1->SetWideText(guard::AddressOfStored(text, SystemAnsiCodePage()));
}

bool TForm1::LogSwitch() const { return CheckBox2->Checked(); }

void TForm1::SetLogSwitch(bool on) { CheckBox2->SetChecked(on); }

bool TForm1::ReportSwitch() const { return CheckBox3->Checked(); }

void TForm1::SetReportSwitch(bool on) { CheckBox3->SetChecked(on); }

int32_t TForm1::MaxEntries() const { return SpinEdit1->Value(); }

void TForm1::SetMaxEntries(int32_t value) { SpinEdit1->SetValue(value); }

TStrings& TForm1::Log() { return TextListBox1->Items(); }

void TForm1::LogLinesRemoved() { TextListBox1->Update(); }

void TForm1::SetGuardTimer(bool on) {
    // While the end of the session is asked the guard stays off; the answer
    // that the session goes on sets the state asked for meanwhile.
    timerWanted_ = on;
    if (sessionAsked_) return;
    HiResTimer1->SetEnabled(on);
    // A change that came meanwhile is handed over again and answered once
    // the running handler has returned.
    if (on && changeWaiting_) {
        changeWaiting_ = false;
        RegistryWatch1->Repeat();
    }
}

void TForm1::ShowMessage(const std::string& text) { sw::ShowMessage(text); }

// One page per line of the field, held in UTF-16 as the address field is.
guard::TPages TForm1::PagesText() const {
    return guard::StoredPages(guard::PagesOfFieldText(Edit2->WideText()), SystemAnsiCodePage());
}

void TForm1::SetPagesText(const guard::TPages& pages) {
    Edit2->SetWideText(guard::FieldTextOfPages(guard::PagesOfStored(pages, SystemAnsiCodePage())));
}

void TForm1::ShowPolicyWarning(const std::string& text) {
    Label7->SetCaption(text);
    Label7->SetVisible(!text.empty());
}

}  // namespace sw
