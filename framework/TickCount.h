// The milliseconds since the system started, as a 64-bit count, also where
// kernel32 lacks GetTickCount64 (Windows XP and Server 2003).
//
// The static threads library that std::thread and the condition variables
// stand on calls GetTickCount64 through its import pointer. The framework
// provides that pointer itself (TickCount.cpp), so the program does not
// import the function when it starts: the first call looks it up, and where
// the system lacks it, the count comes from GetTickCount.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace sw {

// Widens a 32-bit millisecond count that wraps every 49.7 days (the one of
// GetTickCount) to 64 bits: each reading adds the time since the one before
// it, modulo 2^32. The count never runs backwards and is exact as long as
// two readings are less than 49.7 days apart. Safe on several threads: a
// reading is taken after the last stored one was seen, so no thread adds an
// older reading to a newer one.
class TTickCount64 {
public:
    using Reader = uint32_t (*)();

    constexpr TTickCount64() = default;

    uint64_t Now(Reader read) {
        uint64_t last = last_.load(std::memory_order_acquire);
        uint32_t now = read();
        for (;;) {
            const uint64_t next = last + static_cast<uint32_t>(now - static_cast<uint32_t>(last));
            if (last_.compare_exchange_weak(last, next, std::memory_order_acq_rel, std::memory_order_acquire))
                return next;
            // Another thread stored a count meanwhile (now in `last`), maybe
            // of a later reading than `now`: read again.
            now = read();
        }
    }

private:
    std::atomic<uint64_t> last_{0};
};

// What a call of GetTickCount64 runs: kernel32's function where the system
// has it (`lookUp` gives it, or null), else the count widened from
// GetTickCount.
using TickCount64Function = ULONGLONG(WINAPI*)();
TickCount64Function ChooseTickCount64(TickCount64Function (*lookUp)());

// The count widened from GetTickCount, as systems without GetTickCount64 get it.
ULONGLONG WINAPI TickCount64FromTickCount();

}  // namespace sw
