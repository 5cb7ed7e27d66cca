#include "StartPage.h"

#include <windows.h>

#include "GuardTexts.h"
#include "StoredAddress.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Registry.h"
#include "framework/StrUtils.h"
#include "framework/SystemCodePage.h"
#include "framework/Texts.h"

namespace sw::guard {

namespace {

// The value is read and written in UTF-16: the ANSI calls would fold a
// character that the code page lacks into a look-alike or a "?".
constexpr const wchar_t* kStartPageValueW = L"Start Page";

}  // namespace

std::string ReadStartPage() {
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, StartPageKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return {};
    const auto value = QueryWideStringValue(key.Get(), kStartPageValueW);
    return value ? StoredAddress(*value, SystemAnsiCodePage()) : std::string();
}

void WriteStartPage(const std::string& url) {
    const std::u16string value = AddressOfStored(url, SystemAnsiCodePage());
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, StartPageKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS ||
        ::RegSetValueExW(key.Get(), kStartPageValueW, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(char16_t))) != ERROR_SUCCESS) {
        key.Close();
        throw ERegistryException(FormatText(texts::RegSetDataFailed, StartPageValue));
    }
}

}  // namespace sw::guard
