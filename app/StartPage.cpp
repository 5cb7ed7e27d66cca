#include "StartPage.h"

#include <windows.h>

#include "GuardTexts.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Registry.h"
#include "framework/StrUtils.h"
#include "framework/Texts.h"

namespace sw::guard {

std::string ReadStartPage() {
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, StartPageKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return {};
    return QueryStringValue(key.Get(), StartPageValue).value_or(std::string());
}

void WriteStartPage(const std::string& url) {
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, StartPageKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS ||
        ::RegSetValueExA(key.Get(), StartPageValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                         static_cast<DWORD>(url.size() + 1)) != ERROR_SUCCESS) {
        key.Close();
        throw ERegistryException(FormatText(texts::RegSetDataFailed, StartPageValue));
    }
}

}  // namespace sw::guard
