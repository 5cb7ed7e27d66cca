#include "SystemLibraries.h"

#include <windows.h>

#include <string>

namespace sw {

namespace {

template <typename Function>
Function KernelFunction(HMODULE kernel, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

}  // namespace

void LoadLibrariesFromSystemOnly() {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
    const auto setDefault = KernelFunction<SetDefaultDllDirectoriesProc>(kernel, "SetDefaultDllDirectories");
    // The libraries loaded here are kept for the life of the process.
    const auto loadAll = [](const auto& names) {
        for (const char* name : names) LoadSystemLibrary(name);
    };
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Only now: what these import comes from the system directory too.
        loadAll(LibrariesLoadedOnFirstUse);
        return;
    }

    // Older systems: the current folder leaves the search, and the program's
    // own libraries are loaded now by full path, their imports searched from
    // the system directory. A later load by name finds them already loaded.
    if (const auto setDirectory = KernelFunction<SetDllDirectoryProc>(kernel, "SetDllDirectoryA"))
        setDirectory("");
    loadAll(LateImportedLibraries);
    loadAll(LibrariesLoadedOnFirstUse);
}

HMODULE LoadSystemLibrary(const char* name) {
    if (HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    // A system that doesn't know the flag: by full path, its imports searched
    // from the system directory.
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder) + "\\" + name;
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace sw

extern "C" void* LateImport(const char* library, void** slot, const char* name) {
    const HMODULE module = sw::LoadSystemLibrary(library);
    void* function = module ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
    if (!function) {
        // Nothing sensible can follow a call into a function that isn't there.
        const std::string text = std::string("Startwacht: ") + name + " fehlt in " + library + ".";
        ::FatalAppExitA(0, text.c_str());
    }
    ::InterlockedExchangePointer(slot, function);
    return function;
}
