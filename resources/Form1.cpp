// The main window as designed, at 120 pixels per inch: every component of
// the window with its stored properties, in the order in which the
// component declares them. Each component is marked loading while its
// properties are applied through its setters; when all are made, each is
// told that loading is complete (the form then scales itself to the screen,
// the autostart component reads the Run key back).
#include "app/Unit1.h"
#include "framework/Component.h"

namespace sw {

namespace {

// Makes a component of the form, marks it loading and applies its stored
// properties.
template <typename T, typename Stored>
T* Make(TLoadingScope& loading, TForm1& form, const char* name, Stored&& stored) {
    T* component = loading.Add(new T(&form));
    component->SetName(name);
    stored(*component);
    return component;
}

// A handler of the form as an event.
TNotifyEvent On(TForm1& form, void (TForm1::*handler)(TObject*)) {
    return [&form, handler](TObject* sender) { (form.*handler)(sender); };
}

void StoredFont(TFont& font, BYTE charset, TColor color, int height, const char* name, TFontStyles style) {
    font.SetCharset(charset);
    font.SetColor(color);
    font.SetHeight(height);
    font.SetName(name);
    font.SetStyle(style);
}

// The keyboard order inside one container, first to last.
void KeyboardOrder(std::initializer_list<TWinControl*> controls) {
    int order = 0;
    for (TWinControl* control : controls) control->SetTabOrder(order++);
}

}  // namespace

void ReadForm1(TForm1& f) {
    TLoadingScope loading;
    loading.Add(&f);
    f.SetName("Form1");
    // 49 pixels higher than first drawn, for the field of the extra start
    // pages below the address field.
    f.SetClientSize(630, 463);  // 638 x 491 with the frame
    f.SetCaption("Startwacht");
    f.SetColor(clBtnFace);
    StoredFont(f.Font(), DEFAULT_CHARSET, clWindowText, -13, "MS Sans Serif", 0);
    f.SetFormStyle(fsStayOnTop);
    f.Icon().LoadFromResource("MAINICON", 32, 32);
    f.SetPosition(poScreenCenter);
    f.SetWindowState(wsMinimized);
    f.OnCreate = On(f, &TForm1::FormCreate);
    f.OnShow = On(f, &TForm1::FormShow);
    f.SetPixelsPerInch(120);

    f.Panel1 = Make<TPanel>(loading, f, "Panel1", [&](TPanel& c) {
        c.SetParent(&f);
        c.SetBounds(0, 0, 630, 206);
        c.SetAlign(alTop);
    });
    f.Label1 = Make<TLabel>(loading, f, "Label1", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(1, 1, 628, 32);
        c.SetAlign(alTop);
        c.SetCaption("Startwacht schützt Ihre Start-URL im Internet-Explorer Programme und Java-Scripts können "
                     "diese nicht mehr überschreiben, solange Startwacht läuft.");
        c.SetWordWrap(true);
    });
    f.Label2 = Make<TLabel>(loading, f, "Label2", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(262, 36, 66, 32);
        c.SetCaption("Freeware\r\nVersion 2.2");
        StoredFont(c.Font(), DEFAULT_CHARSET, clBlue, -13, "MS Sans Serif", 0);
    });
    f.ProUrlLabel1 = Make<TProUrlLabel>(loading, f, "ProUrlLabel1", [&](TProUrlLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(8, 40, 188, 16);
        c.SetCaption("Liesmich zu Startwacht");
        StoredFont(c.Font(), DEFAULT_CHARSET, clRed, -13, "MS Sans Serif", fsUnderline);
        c.SetURL(ReadMeAddress());
        c.SetUnvisitedColor(clRed);
    });
    f.Button1 = Make<TButton>(loading, f, "Button1", [&](TButton& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(490, 40, 127, 25);
        c.SetCaption("Verbergen");
        c.OnClick = On(f, &TForm1::Button1Click);
    });
    f.Button3 = Make<TButton>(loading, f, "Button3", [&](TButton& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(490, 66, 127, 25);
        c.SetCaption("Logbuch löschen");
        c.OnClick = On(f, &TForm1::Button3Click);
    });
    f.Button2 = Make<TButton>(loading, f, "Button2", [&](TButton& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(490, 92, 127, 25);
        c.SetCaption("Beenden");
        c.OnClick = On(f, &TForm1::Button2Click);
    });
    f.CheckBox1 = Make<TCheckBox>(loading, f, "CheckBox1", [&](TCheckBox& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(10, 74, 301, 17);
        c.SetCaption("Startwacht automatisch mit Windows starten");
        c.OnClick = On(f, &TForm1::CheckBox1Click);
    });
    f.CheckBox3 = Make<TCheckBox>(loading, f, "CheckBox3", [&](TCheckBox& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(10, 96, 129, 17);
        c.SetCaption("Zugriff melden");
        c.OnClick = On(f, &TForm1::CheckBox3Click);
    });
    f.CheckBox2 = Make<TCheckBox>(loading, f, "CheckBox2", [&](TCheckBox& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(154, 96, 121, 17);
        c.SetCaption("Zugriffe loggen");
        c.OnClick = On(f, &TForm1::CheckBox2Click);
    });
    f.Label4 = Make<TLabel>(loading, f, "Label4", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(298, 95, 28, 16);
        c.SetCaption("max.");
    });
    f.SpinEdit1 = Make<TSpinEdit>(loading, f, "SpinEdit1", [&](TSpinEdit& c) {
        c.SetParent(f.Panel1);
        // Wider than the 57 pixels first drawn, so that 10000 shows whole
        // beside the arrows also at 96 dpi, where the arrows keep 15 pixels.
        c.SetBounds(330, 91, 68, 26);
        c.SetMaxValue(10000);
        c.SetMinValue(1);
        c.SetValue(100);
        c.OnChange = On(f, &TForm1::SpinEdit1Change);
    });
    f.Label5 = Make<TLabel>(loading, f, "Label5", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(400, 95, 50, 16);
        c.SetCaption("Einträge");
    });
    f.Label3 = Make<TLabel>(loading, f, "Label3", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(10, 124, 66, 16);
        c.SetCaption("Start Page:");
    });
    f.Edit1 = Make<TEdit>(loading, f, "Edit1", [&](TEdit& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(84, 122, 365, 24);
        c.SetText("about:blank");
        c.OnChange = On(f, &TForm1::Edit1Change);
    });
    f.Label6 = Make<TLabel>(loading, f, "Label6", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(10, 152, 66, 32);
        c.SetCaption("Weitere\r\nSeiten:");
    });
    f.Edit2 = Make<TMemo>(loading, f, "Edit2", [&](TMemo& c) {
        c.SetParent(f.Panel1);
        c.SetBounds(84, 150, 365, 50);
        c.OnChange = On(f, &TForm1::Edit2Change);
    });
    // The warning while a policy sets or locks the start page, beside the
    // two fields; hidden while none stands.
    f.Label7 = Make<TLabel>(loading, f, "Label7", [&](TLabel& c) {
        c.SetParent(f.Panel1);
        c.SetAutoSize(false);
        c.SetBounds(460, 120, 160, 84);
        c.SetWordWrap(true);
        StoredFont(c.Font(), DEFAULT_CHARSET, clRed, -13, "MS Sans Serif", 0);
        c.SetVisible(false);
    });
    f.GroupBox1 = Make<TGroupBox>(loading, f, "GroupBox1", [&](TGroupBox& c) {
        c.SetParent(&f);
        c.SetBounds(0, 206, 630, 257);
        c.SetAlign(alClient);
        c.SetCaption("Logbuch");
    });
    f.TextListBox1 = Make<TTextListBox>(loading, f, "TextListBox1", [&](TTextListBox& c) {
        c.SetParent(f.GroupBox1);
        c.SetBounds(2, 18, 626, 237);
        c.SetAlign(alClient);
        c.SetColor(clBackground);
        StoredFont(c.Font(), DEFAULT_CHARSET, clWhite, -13, "MS Sans Serif", 0);
        c.SetItemHeight(16);
    });

    KeyboardOrder({f.Edit1, f.Edit2, f.Button1, f.Button2, f.CheckBox3, f.CheckBox2, f.CheckBox1, f.Button3, f.SpinEdit1});
    KeyboardOrder({f.GroupBox1, f.Panel1});

    f.HiResTimer1 = Make<THiResTimer>(loading, f, "HiResTimer1", [&](THiResTimer& c) {
        c.SetCallBackMode(cmThread);
        c.SetEnabled(false);
        c.SetInterval(500);
        c.SetOnTimer(On(f, &TForm1::HiResTimer1Timer));
        c.SetSynchronize(true);
        c.SetWaitForTerminate(true);
    });
    f.RegistryWatch1 = Make<TRegistryWatch>(loading, f, "RegistryWatch1", [&](TRegistryWatch& c) {
        c.SetRootKey(HKEY_CURRENT_USER);
        c.SetKey("Software\\Microsoft\\Internet Explorer\\Main");
        c.SetEnabled(false);
        c.SetCoalesceTime(20);
        c.OnChange = On(f, &TForm1::RegistryWatch1Change);
    });
    // The policy keys of both hives, with every key below them. Watched from
    // "Software\Policies", which Windows keeps in both hives: a missing key
    // would be looked for twice a second, and Internet Explorer's policy
    // keys are missing on most machines.
    f.PolicyWatch1 = Make<TRegistryWatch>(loading, f, "PolicyWatch1", [&](TRegistryWatch& c) {
        c.SetRootKey(HKEY_CURRENT_USER);
        c.SetKey("Software\\Policies");
        c.SetWatchSubtree(true);
        c.SetEnabled(false);
        c.SetCoalesceTime(20);
        c.OnChange = On(f, &TForm1::PolicyWatchChange);
    });
    f.PolicyWatch2 = Make<TRegistryWatch>(loading, f, "PolicyWatch2", [&](TRegistryWatch& c) {
        c.SetRootKey(HKEY_LOCAL_MACHINE);
        c.SetKey("Software\\Policies");
        c.SetWatchSubtree(true);
        c.SetEnabled(false);
        c.SetCoalesceTime(20);
        c.OnChange = On(f, &TForm1::PolicyWatchChange);
    });
    f.AutoRunner1 = Make<TAutoRunner>(loading, f, "AutoRunner1", [&](TAutoRunner& c) {
        c.SetRegLocation(TRegLocation::CurrentUser);
        c.SetAutoRun(false);
        c.SetAppName("Startwacht");
    });
    f.PopupMenu1 = Make<TPopupMenu>(loading, f, "PopupMenu1", [](TPopupMenu&) {});
    f.Info1 = Make<TMenuItem>(loading, f, "Info1", [&](TMenuItem& c) {
        c.SetCaption("&Info...");
        c.OnClick = On(f, &TForm1::Info1Click);
        f.PopupMenu1->Items()->Add(&c);
    });
    f.N1 = Make<TMenuItem>(loading, f, "N1", [&](TMenuItem& c) {
        c.SetCaption("-");
        f.PopupMenu1->Items()->Add(&c);
    });
    f.Beenden1 = Make<TMenuItem>(loading, f, "Beenden1", [&](TMenuItem& c) {
        c.SetCaption("&Beenden");
        c.OnClick = On(f, &TForm1::Button2Click);
        f.PopupMenu1->Items()->Add(&c);
    });
    f.TextTrayIcon1 = Make<TTextTrayIcon>(loading, f, "TextTrayIcon1", [&](TTextTrayIcon& c) {
        c.SetCycleInterval(0);
        c.SetHint("Startwacht");
        c.Icon().LoadFromResource("TRAYICON", 16, 16);
        c.SetIconVisible(true);
        c.SetIconIndex(0);
        c.SetPopupMenu(f.PopupMenu1);
        c.SetMinimizeToTray(true);
        c.OnClick = On(f, &TForm1::TextTrayIcon1Click);
        c.OnMinimizeToTray = On(f, &TForm1::TextTrayIcon1MinimizeToTray);
        c.SetText("IE");
        StoredFont(c.Font(), DEFAULT_CHARSET, clYellow, -13, "MS Sans Serif", 0);
        c.SetColor(clBlue);
        c.SetBorder(true);
    });

    loading.Finish();
}

}  // namespace sw
