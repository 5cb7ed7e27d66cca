#include "StrUtils.h"

#include "Exceptions.h"
#include "Texts.h"

namespace sw {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;  // empty, lone sign or lone prefix

    uint64_t magnitude = 0;
    if (hex) {
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0) return std::nullopt;
            magnitude = magnitude * 16 + static_cast<uint64_t>(d);
            if (magnitude > 0xFFFFFFFFull) return std::nullopt;
        }
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<int32_t>(bits);
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        if (magnitude > 2147483648ull) return std::nullopt;
    }
    if (!negative && magnitude > 2147483647ull) return std::nullopt;
    const int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
    if (auto value = TryStrToInt(text)) return *value;
    throw EConvertError(FormatText(texts::InvalidInteger, text));
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string FormatText(std::string_view format, std::string_view argument) {
    std::string result(format);
    const size_t at = result.find("%s");
    if (at != std::string::npos) result.replace(at, 2, argument);
    return result;
}

std::string WithFullStop(std::string text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
    return text;
}

}  // namespace sw
