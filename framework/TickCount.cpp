#include "TickCount.h"

namespace sw {

namespace {

// One count for the process; constant-initialised, so it is ready before
// any constructor runs.
constinit TTickCount64 widened;

}  // namespace

TickCount64Function ChooseTickCount64(TickCount64Function (*lookUp)()) {
    if (const TickCount64Function kernel = lookUp()) return kernel;
    return &TickCount64FromTickCount;
}

ULONGLONG WINAPI TickCount64FromTickCount() {
    return widened.Now([]() -> uint32_t { return ::GetTickCount(); });
}

}  // namespace sw

namespace {

sw::TickCount64Function KernelTickCount64() {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<sw::TickCount64Function>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "GetTickCount64")));
}

ULONGLONG WINAPI FirstTickCount64();

}  // namespace

// The import pointer of GetTickCount64, under the name that the import
// library would give it: the link takes this one, and the image's import
// table never names the function (the framework's link options make every
// program that uses the framework take it). It leads to the lookup below
// first, and from then on to the function chosen there.
#if defined(_WIN64)
#define SW_TICKCOUNT64_IMPORT "__imp_GetTickCount64"
#else
#define SW_TICKCOUNT64_IMPORT "__imp__GetTickCount64@0"
#endif
extern "C" {
__attribute__((used)) sw::TickCount64Function tickCount64Import asm(SW_TICKCOUNT64_IMPORT) = &FirstTickCount64;
}

namespace {

ULONGLONG WINAPI FirstTickCount64() {
    const sw::TickCount64Function chosen = sw::ChooseTickCount64(&KernelTickCount64);
    ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&tickCount64Import),
                                 reinterpret_cast<void*>(chosen));
    return chosen();
}

}  // namespace
