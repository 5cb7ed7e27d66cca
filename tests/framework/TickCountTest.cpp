#include "framework/TickCount.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using namespace sw;

namespace {

// A fake 32-bit count: the readings given, one per call.
const uint32_t* nextReading = nullptr;
uint32_t ReadNext() { return *nextReading++; }

TEST(TickCount64, TheWidenedCountGoesOnAcrossTheWrapOfTheThirtyTwoBitCount) {
    const struct {
        uint32_t reading;
        uint64_t count;
    } steps[] = {
        {0xFFFFFF00u, 0xFFFFFF00ull},
        {0xFFFFFF00u, 0xFFFFFF00ull},    // no time passed
        {0xFFFFFFFFu, 0xFFFFFFFFull},
        {0x00000010u, 0x100000010ull},   // wrapped
        {0x80000000u, 0x180000000ull},   // half a wrap later
        {0xFFFFFFF0u, 0x1FFFFFFF0ull},
        {0x00000005u, 0x200000005ull},   // wrapped again
    };
    TTickCount64 count;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.reading);
        nextReading = &step.reading;
        EXPECT_EQ(count.Now(&ReadNext), step.count);
    }
}

// Threads that read the count at once never add an older reading to a newer
// one: that would jump the count ahead by a whole wrap (49.7 days).
// The fake count advances by one at each reading; the reader then lets the
// other threads run for a while of varying length, so that they overtake it
// and store later counts between a reading and its use.
std::atomic<uint64_t> sharedTicks;
uint32_t ReadAndAdvance() {
    const auto reading = static_cast<uint32_t>(sharedTicks.fetch_add(1) + 1);
    for (uint32_t pause = reading % 4; pause > 0; --pause) std::this_thread::yield();
    return reading;
}

TEST(TickCount64, ThreadsReadingAtOnceSeeACountThatOnlyMovesOnAndNeverJumps) {
    constexpr uint32_t start = 0xFFFFC000u;  // the wrap comes during the run
    constexpr int threads = 4;
    constexpr int readings = 5000;
    sharedTicks = start;
    TTickCount64 count;
    count.Now(&ReadAndAdvance);
    std::atomic<bool> backwards{false};
    std::atomic<uint64_t> highest{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < threads; ++t) {
        readers.emplace_back([&] {
            uint64_t last = 0;
            for (int i = 0; i < readings; ++i) {
                const uint64_t now = count.Now(&ReadAndAdvance);
                if (now < last) backwards = true;
                last = now;
            }
            uint64_t seen = highest.load();
            while (last > seen && !highest.compare_exchange_weak(seen, last)) {
            }
        });
    }
    for (auto& reader : readers) reader.join();
    EXPECT_FALSE(backwards);
    // Each reading advanced the fake count by one; the last one, widened, is
    // the highest count: no wrap was added twice, none was lost.
    EXPECT_EQ(highest.load(), sharedTicks.load());
    EXPECT_GT(highest.load(), 0xFFFFFFFFull);
}

ULONGLONG WINAPI FakeKernelTickCount64() { return 42; }
TickCount64Function Present() { return &FakeKernelTickCount64; }
TickCount64Function Missing() { return nullptr; }

// Where kernel32 has GetTickCount64, calls go there; where it lacks it (XP),
// to the count widened from GetTickCount, which runs with the system's.
TEST(TickCount64, AMissingKernelFunctionIsReplacedByTheCountWidenedFromGetTickCount) {
    EXPECT_EQ(ChooseTickCount64(&Present), &FakeKernelTickCount64);
    const TickCount64Function fallback = ChooseTickCount64(&Missing);
    ASSERT_NE(fallback, nullptr);
    // A count read between two readings of GetTickCount.
    struct Sample {
        uint32_t before;
        ULONGLONG widened;
        uint32_t after;
    };
    const auto sample = [&] { return Sample{::GetTickCount(), fallback(), ::GetTickCount()}; };
    const Sample first = sample();
    ::Sleep(50);
    const Sample later = sample();
    for (const Sample& s : {first, later})
        EXPECT_LE(static_cast<uint32_t>(static_cast<uint32_t>(s.widened) - s.before), s.after - s.before);
    EXPECT_GE(later.widened - first.widened, static_cast<uint32_t>(later.before - first.after));
    EXPECT_LE(later.widened - first.widened, static_cast<uint32_t>(later.after - first.before));
    EXPECT_GT(later.widened, first.widened);
}

// The threads library measures its timed waits with GetTickCount64, which
// the framework now provides: a timed wait still ends after its time.
TEST(TickCount64, TimedWaitsOfTheThreadsLibraryStillEndAfterTheirTime) {
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(never.wait_for(lock, std::chrono::milliseconds(100)), std::cv_status::timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace
