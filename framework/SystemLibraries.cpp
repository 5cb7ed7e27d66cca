#include "SystemLibraries.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace sw {

namespace {

FARPROC SystemKernelFunction(const char* name) {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel ? ::GetProcAddress(kernel, name) : nullptr;
}

HMODULE SystemLoadLibraryEx(const char* name, DWORD flags) { return ::LoadLibraryExA(name, nullptr, flags); }

// Constant-initialised: the program's first step runs before any
// constructor.
constinit TLibraryCalls calls = {&SystemKernelFunction, &SystemLoadLibraryEx};

template <typename Function>
Function KernelFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(calls.kernelFunction(name)));
}

// Whether LoadLibraryEx knows the LOAD_LIBRARY_SEARCH_* flags.
bool SearchFlagsKnown() { return calls.kernelFunction("SetDefaultDllDirectories") != nullptr; }

}  // namespace

TLibraryCalls SystemLibraryCalls() { return {&SystemKernelFunction, &SystemLoadLibraryEx}; }

void SetLibraryCalls(const TLibraryCalls& replacement) { calls = replacement; }

void LoadLibrariesFromSystemOnly() {
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
    // The libraries loaded here are kept for the life of the process.
    const auto loadAll = [](const auto& names) {
        for (const char* name : names) LoadSystemLibrary(name);
    };
    const auto setDefault = KernelFunction<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Only now: what these import comes from the system directory too.
        loadAll(LibrariesLoadedOnFirstUse);
        return;
    }

    // Older systems: the current folder leaves the search, and the program's
    // own libraries are loaded now by full path, their imports searched from
    // the system directory; first those that the others load by name. A
    // later load by name finds them already loaded.
    if (const auto setDirectory = KernelFunction<SetDllDirectoryProc>("SetDllDirectoryA")) setDirectory("");
    loadAll(LibrariesLoadedByNameLater);
    loadAll(LateImportedLibraries);
    loadAll(LibrariesLoadedOnFirstUse);
}

FARPROC SystemLibraryFunction(HMODULE module, const char* library, const char* name) {
    if (const FARPROC function = ::GetProcAddress(module, name)) return function;
    struct ByOrdinal {
        const char* name;
        WORD ordinal;
    };
    static constexpr ByOrdinal kSubclassFunctions[] = {
        {"SetWindowSubclass", 410}, {"GetWindowSubclass", 411}, {"RemoveWindowSubclass", 412}, {"DefSubclassProc", 413}};
    if (::lstrcmpiA(library, "comctl32.dll") != 0) return nullptr;
    for (const ByOrdinal& function : kSubclassFunctions)
        if (std::strcmp(function.name, name) == 0) return ::GetProcAddress(module, MAKEINTRESOURCEA(function.ordinal));
    return nullptr;
}

HMODULE LoadSystemLibrary(const char* name) {
    if (SearchFlagsKnown()) return calls.loadLibraryEx(name, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // No search flag here: by full path, its imports searched from its own
    // folder (the system directory) first.
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder) + "\\" + name;
    return calls.loadLibraryEx(path.c_str(), LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace sw

extern "C" void* LateImport(const char* library, void** slot, const char* name) {
    const HMODULE module = sw::LoadSystemLibrary(library);
    void* function = module ? reinterpret_cast<void*>(sw::SystemLibraryFunction(module, library, name)) : nullptr;
    if (!function) {
        // Nothing sensible can follow a call into a function that isn't there.
        const std::string text = std::string("Startwacht: ") + name + " fehlt in " + library + ".";
        ::FatalAppExitA(0, text.c_str());
    }
    ::InterlockedExchangePointer(slot, function);
    return function;
}
