// The program's run, from the start-up of its modules to the end of its
// message loop.
#pragma once

#include <functional>

namespace sw {

class TForm1;

// Starts the modules (the DDE instance first), sets up the application with
// its title, creates the main window and runs the message loop until the
// application is asked to end. Gives the process's exit code: 0, or 1 when
// the program could not start. `started` runs once the main window exists,
// just before the loop (measurements hook in there).
int RunStartwacht(const std::function<void(TForm1&)>& started = nullptr);

}  // namespace sw
