// Startwacht: the program's entry. It reads no command line.
#include <windows.h>

#include "Program.h"
#include "framework/SystemLibraries.h"

// The image's load configuration, in a section of its own, at which the build
// points the image's load configuration directory (tools/SetLoadConfig.cpp).
// Its DependentLoadFlags (the header's Reserved1) make the loader take the
// imports of every library the program loads from the system directory only.
extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
// Size, time stamp, versions, global flags, time-out, the heap's thresholds,
// lock prefixes, allocation sizes, heap flags, affinity, CSD version, then
// the flags; edit list, cookie and exception handler table stay empty.
__attribute__((used, section(".ldcfg"))) constinit const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    sizeof(IMAGE_LOAD_CONFIG_DIRECTORY), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0, 0, 0};
}

namespace {

// The program's first step, before the C runtime starts, before the start-up
// of its modules (static initialisers, one of which asks version.dll) and
// before WinMain: libraries come from the system directory only. A TLS
// callback of the image runs when the process attaches to it, right after
// its few imports (kernel32, msvcrt) are loaded.
void NTAPI FirstOfAll(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH) return;
    // Keeps the load configuration in the linked image.
    asm volatile("" : : "r"(&_load_config_used));
    sw::LoadLibrariesFromSystemOnly();
}

// Listed among the image's TLS callbacks (the C runtime's TLS directory
// spans the .CRT$XL* sections).
__attribute__((used, section(".CRT$XLB"))) const PIMAGE_TLS_CALLBACK firstOfAll = FirstOfAll;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return sw::RunStartwacht(); }
