#include "SystemCodePage.h"

#include <windows.h>

namespace sw {

namespace {

std::u16string DecodeAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::u16string text(static_cast<size_t>(length), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

std::optional<std::string> EncodeAnsiExactly(std::u16string_view text) {
    if (text.empty()) return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    BOOL usedDefault = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length, nullptr, &usedDefault);
    // The way back decides: whatever the conversion folded or replaced does
    // not come back as it was.
    if (usedDefault || DecodeAnsi(bytes) != text) return std::nullopt;
    return bytes;
}

}  // namespace

const AnsiCodePage& SystemAnsiCodePage() {
    static const AnsiCodePage system{EncodeAnsiExactly, DecodeAnsi};
    return system;
}

}  // namespace sw
