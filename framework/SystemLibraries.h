// Where the process takes its libraries from.
#pragma once

#include <windows.h>

namespace sw {

// From now on every library the process loads, and every library that one
// imports, comes from the system directory only: never from the program's
// own folder (a download folder, where anyone may have put a file of the
// same name) nor from the current folder. Call it before anything loads a
// library that Windows does not protect by itself (the program imports
// those late). Where the system can't restrict the search, the program's
// libraries are loaded from the system directory by full path at once, and
// the current folder leaves the search. Either way the libraries that system
// libraries load on first use are loaded from the system directory now.
void LoadLibrariesFromSystemOnly();

// A system library, loaded from the system directory (with the libraries it
// imports); null when it isn't there.
HMODULE LoadSystemLibrary(const char* name);

// A function of the system library `library`, loaded as `module`, by its
// name. comctl32 before version 6 may export the window subclass functions
// (SetWindowSubclass, GetWindowSubclass, RemoveWindowSubclass,
// DefSubclassProc) by ordinal alone: where the name is not found, their
// documented ordinals 410 to 413 are tried. Null when neither finds it.
FARPROC SystemLibraryFunction(HMODULE module, const char* library, const char* name);

// The system's calls through which the process finds and loads its
// libraries. The search flags of LoadLibraryEx (LOAD_LIBRARY_SEARCH_*) came
// with SetDefaultDllDirectories (Windows 8, and an update of Vista and 7):
// where kernel32 lacks that function, no flag is passed at all, since XP
// ignores them (and then searches the program's folder first) and Vista and
// 7 refuse them. A test plays such a system through these calls.
struct TLibraryCalls {
    // A function of kernel32 by name; null where the system lacks it.
    FARPROC (*kernelFunction)(const char* name);
    // LoadLibraryExA without a file handle.
    HMODULE (*loadLibraryEx)(const char* name, DWORD flags);
};
// The system's own calls.
TLibraryCalls SystemLibraryCalls();
// Replaces the calls in use; before the first load, on one thread.
void SetLibraryCalls(const TLibraryCalls& calls);

// The libraries the program imports late, by file name.
inline constexpr const char* LateImportedLibraries[] = {"user32.dll",   "gdi32.dll",   "advapi32.dll",
                                                        "shell32.dll",  "comctl32.dll", "version.dll",
                                                        "winmm.dll",    "wininet.dll"};

// Libraries that system libraries load only when first used (wininet's
// network queries). Wine resolves such late loads of its own libraries the
// ordinary way, program folder first, whatever the process asked for; so the
// program loads them from the system directory at its start, and the later
// loads by name find them there.
inline constexpr const char* LibrariesLoadedOnFirstUse[] = {"iphlpapi.dll", "dnsapi.dll", "nsi.dll"};

// Libraries that the program's libraries load by name (comctl32 the theme
// library, user32 the input method library). Where the search can't be
// restricted, such a load looks in the program's folder first: there the
// program loads them from the system directory first of all, before the
// libraries that load them, which then find them loaded.
inline constexpr const char* LibrariesLoadedByNameLater[] = {"imm32.dll", "uxtheme.dll"};

}  // namespace sw

// The first call of a late-imported function of the 32-bit build comes here
// (from the stubs that the build makes): the function `name` of the system
// library `library`, put into `slot` so that later calls go there at once.
extern "C" void* LateImport(const char* library, void** slot, const char* name);
