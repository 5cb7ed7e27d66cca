// The decision between an address's ANSI bytes and its marked UTF-8 form, and
// the form a log line shows. The input's first half is one address in UTF-16
// (little-endian code units), its second half another; the whole input is
// also taken as the bytes of a settings line. Every address comes back
// exactly; two different addresses never share a stored form; an address
// that code page 1252 holds keeps its bytes; the shown form is ANSI text that
// gives back the address; a stored line read again is stable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/StoredAddress.h"
#include "framework/CodePage.h"

namespace {

using sw::Cp1252;

std::u16string Utf16Of(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reverse of the shown form of an address that needed the encoding.
std::u16string Unshown(const std::string& shown) {
    std::u16string text;
    std::string pending;  // percent-encoded UTF-8 bytes
    auto flush = [&] {
        if (pending.empty()) return;
        const auto decoded = sw::Utf8ToUtf16(pending);
        if (!decoded) std::abort();
        text += *decoded;
        pending.clear();
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '%') {
            if (i + 2 >= shown.size() || HexValue(shown[i + 1]) < 0 || HexValue(shown[i + 2]) < 0) std::abort();
            pending.push_back(static_cast<char>(HexValue(shown[i + 1]) * 16 + HexValue(shown[i + 2])));
            i += 2;
        } else {
            flush();
            text += Cp1252().Decode(std::string(1, shown[i]));
        }
    }
    flush();
    return text;
}

void CheckAddress(const std::u16string& address) {
    const std::string stored = sw::guard::StoredAddress(address, Cp1252());
    if (sw::guard::AddressOfStored(stored, Cp1252()) != address) std::abort();
    const auto ansi = Cp1252().Encode(address);
    const bool marked = stored.rfind("\xEF\xBB\xBF", 0) == 0;
    if (ansi && !marked && stored != *ansi) std::abort();
    if (sw::guard::IsAnsiStored(stored, Cp1252()) == marked) std::abort();
    const std::string shown = sw::guard::DisplayedAddress(stored, Cp1252());
    if (ansi) {
        if (shown != *ansi) std::abort();
    } else if (Unshown(shown) != address) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t half = size / 2 & ~size_t(1);
    const std::u16string first = Utf16Of(data, half);
    const std::u16string second = Utf16Of(data + half, size - half);
    CheckAddress(first);
    CheckAddress(second);
    if (first != second &&
        sw::guard::StoredAddress(first, Cp1252()) == sw::guard::StoredAddress(second, Cp1252()))
        std::abort();

    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::u16string read = sw::guard::AddressOfStored(line, Cp1252());
    const std::string again = sw::guard::StoredAddress(read, Cp1252());
    if (sw::guard::AddressOfStored(again, Cp1252()) != read) std::abort();
    if (sw::guard::IsAnsiStored(line, Cp1252()) && sw::guard::DisplayedAddress(line, Cp1252()) != line) std::abort();
    return 0;
}
