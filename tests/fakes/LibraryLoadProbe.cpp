// Loads a system library by name the way the program does, from a folder
// where a test planted a library of that name, and exits:
//   LibraryLoadProbe [--older] --restricted NAME   after the program's first
//                                         step (LoadLibrariesFromSystemOnly),
//                                         an ordinary LoadLibraryA
//   LibraryLoadProbe [--older] --late NAME  LoadSystemLibrary alone, as a
//                                         late import loads its library
//   LibraryLoadProbe [--older] --plain NAME an ordinary LoadLibraryA (this is
//                                         what a planted library waits for)
//   LibraryLoadProbe [--older] --flags NAME LoadLibraryExA with the flag that
//                                         asks for the system directory
// --older plays a Windows without SetDefaultDllDirectories (OlderWindows.h)
// through the program's library calls.
// Exit code 0 when the library loaded, 1 otherwise. Whether the planted one
// ran shows in its marker file. The probe itself imports only kernel32 (and
// the C runtime), so nothing else is loaded before it acts.
#include <windows.h>

#include <cstring>

#include "OlderWindows.h"
#include "framework/SystemLibraries.h"

int main(int argc, char** argv) {
    int first = 1;
    sw::TLibraryCalls calls = sw::SystemLibraryCalls();
    if (argc > 1 && std::strcmp(argv[1], "--older") == 0) {
        calls = sw::test::OlderWindowsLibraryCalls();
        sw::SetLibraryCalls(calls);
        first = 2;
    }
    if (argc != first + 2) return 2;
    const char* mode = argv[first];
    const char* name = argv[first + 1];
    HMODULE module = nullptr;
    if (std::strcmp(mode, "--restricted") == 0) {
        sw::LoadLibrariesFromSystemOnly();
        module = ::LoadLibraryA(name);
    } else if (std::strcmp(mode, "--plain") == 0) {
        module = ::LoadLibraryA(name);
    } else if (std::strcmp(mode, "--late") == 0) {
        module = sw::LoadSystemLibrary(name);
    } else if (std::strcmp(mode, "--flags") == 0) {
        module = calls.loadLibraryEx(name, LOAD_LIBRARY_SEARCH_SYSTEM32);
    } else {
        return 2;
    }
    return module ? 0 : 1;
}
