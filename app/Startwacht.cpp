// Startwacht: the program's entry. It reads no command line; it ends with
// exit code 0 once the main window has asked the application to end.
#include <windows.h>

#include <exception>
#include <memory>

#include "BrowserQuery.h"
#include "Unit1.h"
#include "framework/Application.h"
#include "framework/StrUtils.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace sw;
    // The modules start before any window: the DDE instance first. Without
    // it the program can't ask the browser, and it stops here.
    std::unique_ptr<guard::TDdeInstance> dde;
    try {
        dde = std::make_unique<guard::TDdeInstance>();
    } catch (const std::exception& e) {
        ::MessageBoxA(nullptr, WithFullStop(e.what()).c_str(), "Startwacht", MB_OK | MB_ICONERROR);
        return 1;
    }

    TApplication application;
    application.SetTitle("Startwacht");
    try {
        application.CreateForm<TForm1>();
    } catch (...) {
        // The main window could not be built; there is nothing to run.
        application.HandleException(&application);
        return 1;
    }
    application.Run();
    return 0;
}
