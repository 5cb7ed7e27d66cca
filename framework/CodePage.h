// Text in UTF-16 (as the system stores it) and in the ANSI code page (as the
// program's files and its "A" calls hold it). No Windows dependency: the
// system's own code page is reached through AnsiCodePage, which the program
// fills with the system's conversion and tests and fuzzers with code page
// 1252's table.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sw {

struct AnsiCodePage {
    // The ANSI bytes of a text when the code page holds every character of
    // it exactly; nothing when any character would be lost or replaced by a
    // look-alike.
    std::function<std::optional<std::string>(std::u16string_view)> Encode;
    // The characters that ANSI bytes stand for.
    std::function<std::u16string(std::string_view)> Decode;
};

// Code page 1252 from its table (bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand
// for the control characters of the same number, as the system maps them).
const AnsiCodePage& Cp1252();

// UTF-8 for any UTF-16 text, unpaired surrogates included (each is written
// as its own three-byte sequence), so that decoding gives back the very same
// text.
std::string Utf16ToUtf8(std::u16string_view text);
// The reverse; nothing when the bytes are not such a sequence (overlong forms,
// stray continuation bytes, code points beyond U+10FFFF, or a surrogate pair
// written as two sequences, which encoding never makes).
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

}  // namespace sw
