// Shows a window with the spin edit and the log list box as the main window
// holds them, scaled from the 120 dpi design to the screen: the spin edit at
// 100 with its arrows, the list box with a line wider than the box; beside
// them the hyperlink label, a raised caption with a shadow and a rotated
// one. Prints
// "ready" once the window is shown and ends after the given number of
// seconds (default 30) or when the window is closed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/ProLabel.h"
#include "controls/SpinEdit.h"
#include "controls/TextListBox.h"
#include "framework/Application.h"
#include "framework/Forms.h"

using namespace sw;

int main(int argc, char** argv) {
    TApplication application;
    application.SetTitle("Startwacht");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    try {
        TForm form(nullptr);
        form.SetText("Startwacht - Steuerelemente");
        form.SetBounds(40, 40, 500, 330);
        form.SetClientSize(492, 300);

        auto* spin = new TSpinEdit(&form);
        spin->SetName("SpinEdit1");
        spin->SetBounds(16, 16, 57, 26);
        spin->SetMaxValue(10000);
        spin->SetMinValue(1);
        spin->SetValue(100);
        spin->SetParent(&form);

        auto* list = new TTextListBox(&form);
        list->SetName("TextListBox1");
        list->SetBounds(16, 60, 460, 220);
        list->SetColor(clBackground);
        list->SetParentFont(false);
        list->Font().SetName("MS Sans Serif");
        list->Font().SetHeight(-13);
        list->Font().SetColor(clWhite);
        list->SetItemHeight(16);
        list->SetParent(&form);
        list->Items().Add("09.12.2026 10:00:00>>Ein Offline-Bösewicht >>Startpage:about:blank");
        list->Items().Insert(0, "09.12.2026 10:00:05>>Ein Offline-Bösewicht >>Startpage:http://www.eine-sehr-lange-"
                                "adresse.example/mit/einem/langen/pfad/der/breiter/ist/als/die/liste.html");
        list->Items().Add("09.12.2026 09:59:58>>Ein unbekanntes Subjekt... >>Startpage:about:test");

        auto* link = new TProUrlLabel(&form);
        link->SetName("ProUrlLabel1");
        link->SetLeft(96);
        link->SetTop(20);
        link->Font().SetName("MS Sans Serif");
        link->Font().SetHeight(-13);
        link->Font().SetColor(clRed);
        link->SetUnvisitedColor(clRed);
        link->SetCaption("Startwacht im Netz");
        link->SetURL("http://startwacht.example/");
        link->SetParent(&form);

        auto* raised = new TProLabel(&form);
        raised->SetLeft(250);
        raised->SetTop(10);
        raised->Font().SetName("Arial");
        raised->Font().SetHeight(-24);
        raised->Font().SetStyle(fsBold);
        raised->Font().SetColor(clNavy);
        raised->SetShadowStyle(ssRaisedThickShadow);
        raised->SetCaption("Startwacht");
        raised->SetParent(&form);

        auto* rotated = new TProLabel(&form);
        rotated->SetAutoSize(false);
        rotated->SetBounds(400, 0, 80, 58);
        rotated->Font().SetName("Arial");
        rotated->Font().SetHeight(-13);
        rotated->SetAlignment(taCenter);
        rotated->SetVerticalAlignment(vaCenter);
        rotated->SetAngle(30);
        rotated->SetCaption("Version 2.2");
        rotated->SetParent(&form);

        form.ScaleToScreen();
        form.Show();
        spin->SetFocus();
        ::UpdateWindow(form.Handle());
        std::printf("ready: spin edit %dx%d, list extent %d\n", spin->Width(), spin->Height(),
                    static_cast<int>(::SendMessageA(list->Handle(), LB_GETHORIZONTALEXTENT, 0, 0)));
        std::fflush(stdout);
        const DWORD until = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;
        while (form.Visible() && static_cast<LONG>(until - ::GetTickCount()) > 0) {
            application.ProcessMessages();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    } catch (...) {
        application.HandleException(nullptr);
        return 1;
    }
    return 0;
}
