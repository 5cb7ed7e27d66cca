// Startwacht as it runs on a Windows without SetDefaultDllDirectories: the
// program's first step goes through library calls that play such a system
// (OlderWindows.h), and the image asks the loader for nothing (such a
// Windows reads no load flags from it). Built for the tests alone.
#include <windows.h>

#include "OlderWindows.h"
#include "app/Program.h"
#include "framework/SystemLibraries.h"

namespace {

// As the program's own first step, right after kernel32 and msvcrt are
// loaded.
void NTAPI FirstOfAll(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH) return;
    sw::SetLibraryCalls(sw::test::OlderWindowsLibraryCalls());
    sw::LoadLibrariesFromSystemOnly();
}

__attribute__((used, section(".CRT$XLB"))) const PIMAGE_TLS_CALLBACK firstOfAll = FirstOfAll;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return sw::RunStartwacht(); }
