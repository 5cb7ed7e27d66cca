// Text helpers of the framework: integer conversion and message formatting.
// No Windows dependency, so they also build natively for sanitizers and fuzzing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sw {

// Integer conversion: leading blanks skipped, an optional sign, then decimal
// digits or a hexadecimal number introduced by "$", "x", "X" or "0x"; the
// text must end there. Decimal numbers must fit a signed 32-bit integer;
// hexadecimal numbers may use all 32 bits ($FFFFFFFF is -1).
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, but a failure raises EConvertError
// "'<text>' ist kein gültiger Integerwert".
int32_t StrToInt(std::string_view text);

std::string IntToStr(int64_t value);

// Replaces the first "%s" of a format with the argument.
std::string FormatText(std::string_view format, std::string_view argument);

// The text of an error as the central handler shows it: a full stop is
// appended when the last character sorts after ".".
std::string WithFullStop(std::string text);

}  // namespace sw
