// Switches autostart on under the value name given on its command line, as
// the main window does when its check box is ticked; the test runs a copy of
// it from a folder whose path has blanks.
#include <cstdio>

#include "autostart/AutoRunner.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    sw::TAutoRunner runner(nullptr);
    {
        sw::TLoadingScope loading;
        loading.Add(&runner);
        runner.SetRegLocation(sw::TRegLocation::CurrentUser);
        runner.SetAutoRun(false);
        runner.SetAppName(argv[1]);
    }
    runner.SetAutoRun(true);
    return runner.AutoRun() ? 0 : 1;
}
