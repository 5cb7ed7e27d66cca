// Startwacht with its registry watch switched off: the guard answers only on
// its twice-a-second cycle, as it did before the watch. Built with the
// benchmarks alone, so that ProgramBench can show both side by side from one
// run; no package and no installation contains it, and nothing in
// Startwacht.exe reads a switch that would turn the watch off.
#include <windows.h>

#include "app/Program.h"
#include "app/Unit1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return sw::RunStartwacht([](sw::TForm1& form) { form.RegistryWatch1->SetEnabled(false); });
}
