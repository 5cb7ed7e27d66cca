// The process's open handles and threads, to show that nothing leaks.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

namespace sw::test {

// Counted in the system's handle list: under Wine GetProcessHandleCount
// reports success with a count of 0.
inline DWORD ProcessHandleCount() {
    using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
        PVOID Object;
        ULONG_PTR UniqueProcessId;
        ULONG_PTR HandleValue;
        ULONG GrantedAccess;
        USHORT CreatorBackTraceIndex;
        USHORT ObjectTypeIndex;
        ULONG HandleAttributes;
        ULONG Reserved;
    };
    constexpr ULONG kSystemExtendedHandleInformation = 64;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004L);
    // Looked up once: the loader's lock is better not taken while threads end.
    static const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query) {
        std::vector<char> buffer(1 << 16);
        ULONG needed = 0;
        LONG status;
        while ((status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                               &needed)) == kInfoLengthMismatch)
            buffer.resize(buffer.size() * 2);
        if (status == 0) {
            const ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
            const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
            DWORD own = 0;
            for (ULONG_PTR i = 0; i < count; ++i)
                if (entries[i].UniqueProcessId == ::GetCurrentProcessId()) ++own;
            return own;
        }
    }
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return count;
}

inline DWORD ProcessThreadCount() {
    const DWORD self = ::GetCurrentProcessId();
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self) ++count;
    ::CloseHandle(snapshot);
    return count;
}

inline BOOL CALLBACK CountChildWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// The windows of a process: its top-level and message-only windows with all
// their children (under Wine the system keeps no count of USER objects).
inline DWORD ProcessWindowCount(DWORD pid) {
    DWORD count = 0;
    for (HWND parent : {static_cast<HWND>(nullptr), HWND_MESSAGE})
        for (HWND w = ::FindWindowExA(parent, nullptr, nullptr, nullptr); w;
             w = ::FindWindowExA(parent, w, nullptr, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner != pid) continue;
            ++count;
            ::EnumChildWindows(w, CountChildWindow, reinterpret_cast<LPARAM>(&count));
        }
    return count;
}

// Whether a thread of this process still runs.
inline bool ThreadAlive(DWORD id) {
    const HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread) return false;
    const bool alive = ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    ::CloseHandle(thread);
    return alive;
}

}  // namespace sw::test
