// Loads a system library by name the way the program does, from a folder
// where a test planted a library of that name, and exits:
//   LibraryLoadProbe --restricted NAME   after the program's first step
//                                         (LoadLibrariesFromSystemOnly), an
//                                         ordinary LoadLibraryA
//   LibraryLoadProbe --late NAME         LoadSystemLibrary alone, as a late
//                                         import loads its library
//   LibraryLoadProbe --plain NAME        an ordinary LoadLibraryA (this is
//                                         what a planted library waits for)
// Exit code 0 when the library loaded, 1 otherwise. Whether the planted one
// ran shows in its marker file. The probe itself imports only kernel32 (and
// the C runtime), so nothing else is loaded before it acts.
#include <windows.h>

#include <cstring>

#include "framework/SystemLibraries.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HMODULE module = nullptr;
    if (std::strcmp(argv[1], "--restricted") == 0) {
        sw::LoadLibrariesFromSystemOnly();
        module = ::LoadLibraryA(argv[2]);
    } else if (std::strcmp(argv[1], "--plain") == 0) {
        module = ::LoadLibraryA(argv[2]);
    } else if (std::strcmp(argv[1], "--late") == 0) {
        module = sw::LoadSystemLibrary(argv[2]);
    } else {
        return 2;
    }
    return module ? 0 : 1;
}
