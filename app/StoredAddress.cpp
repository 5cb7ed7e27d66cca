#include "StoredAddress.h"

namespace sw::guard {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool StartsWithMark(std::string_view bytes) { return bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark; }

bool IsSecondForm(std::string_view stored, const AnsiCodePage& codePage) {
    if (!StartsWithMark(stored)) return false;
    const auto address = Utf8ToUtf16(stored.substr(kUtf8Mark.size()));
    return address && StoredAddress(*address, codePage) == stored;
}

// One character: a code unit, or a surrogate pair.
size_t CharacterLength(std::u16string_view text, size_t at) {
    const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF && text[at + 1] >= 0xDC00 &&
                      text[at + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

}  // namespace

std::string StoredAddress(std::u16string_view address, const AnsiCodePage& codePage) {
    if (auto ansi = codePage.Encode(address); ansi && !StartsWithMark(*ansi)) return *ansi;
    return std::string(kUtf8Mark) + Utf16ToUtf8(address);
}

std::u16string AddressOfStored(std::string_view stored, const AnsiCodePage& codePage) {
    if (IsSecondForm(stored, codePage)) return *Utf8ToUtf16(stored.substr(kUtf8Mark.size()));
    return codePage.Decode(stored);
}

bool IsAnsiStored(std::string_view stored, const AnsiCodePage& codePage) { return !IsSecondForm(stored, codePage); }

std::string DisplayedAddress(std::string_view stored, const AnsiCodePage& codePage) {
    if (IsAnsiStored(stored, codePage)) return std::string(stored);
    const std::u16string address = AddressOfStored(stored, codePage);
    if (auto ansi = codePage.Encode(address)) return *ansi;  // only its form was the second one
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (size_t at = 0; at < address.size();) {
        const std::u16string_view character = std::u16string_view(address).substr(at, CharacterLength(address, at));
        at += character.size();
        const auto ansi = character == u"%" ? std::nullopt : codePage.Encode(character);
        if (ansi) {
            shown += *ansi;
            continue;
        }
        for (unsigned char byte : Utf16ToUtf8(character)) {
            shown += '%';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        }
    }
    return shown;
}

bool HoldsControlCharacters(std::string_view text) {
    for (unsigned char byte : text)
        if (byte < 0x20) return true;
    return false;
}

}  // namespace sw::guard
