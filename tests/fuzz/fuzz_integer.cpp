// Integer conversion: every accepted decimal text prints back to the same
// number, and the conversion never reads past its text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/StrUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto value = sw::TryStrToInt(text);
    if (value) {
        // The value of a plain decimal text (no prefix) survives a round trip.
        if (text.find_first_of("$xX") == std::string::npos && sw::TryStrToInt(sw::IntToStr(*value)) != value)
            std::abort();
        if (sw::StrToInt(text) != *value) std::abort();
    } else {
        try {
            sw::StrToInt(text);
            std::abort();
        } catch (const std::exception&) {
        }
    }
    return 0;
}
