// Library calls that play a Windows whose kernel32 lacks
// SetDefaultDllDirectories and whose LoadLibraryEx ignores the search flags
// it does not know, searching the ordinary way (XP; Vista and 7 without the
// update that brought the function refuse the flags instead). The program's
// library calls (SystemLibraries.h) are set to these in a test program.
#pragma once

#include <windows.h>

#include <cstring>

#include "framework/SystemLibraries.h"

namespace sw::test {

inline FARPROC OlderKernelFunction(const char* name) {
    if (std::strcmp(name, "SetDefaultDllDirectories") == 0) return nullptr;
    return SystemLibraryCalls().kernelFunction(name);
}

inline HMODULE OlderLoadLibraryEx(const char* name, DWORD flags) {
    constexpr DWORD searchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                                  LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                                  LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    return SystemLibraryCalls().loadLibraryEx(name, flags & ~searchFlags);
}

inline TLibraryCalls OlderWindowsLibraryCalls() { return {&OlderKernelFunction, &OlderLoadLibraryEx}; }

}  // namespace sw::test
