#include "Program.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "BrowserQuery.h"
#include "Unit1.h"
#include "framework/Application.h"
#include "framework/StrUtils.h"

namespace sw {

int RunStartwacht(const std::function<void(TForm1&)>& started) {
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
    TForm1* form = nullptr;
    try {
        form = application.CreateForm<TForm1>();
    } catch (...) {
        // The main window could not be built; there is nothing to run.
        application.HandleException(&application);
        return 1;
    }
    if (started) started(*form);
    application.Run();
    // The application goes before the DDE instance: the main window and its
    // components first, then the instance.
    return 0;
}

}  // namespace sw
