// Whole-file line splitting: never reads past the data, never keeps a NUL or
// a line break inside a line, and joining then splitting again is stable.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = sw::SplitTextLines(text);
    for (const auto& line : lines)
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
    if (sw::SplitTextLines(sw::JoinTextLines(lines)) != lines) std::abort();
    return 0;
}
