#include "StartPage.h"

#include <windows.h>

#include <algorithm>

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
constexpr const wchar_t* kSecondaryPagesValueW = L"Secondary Start Pages";

bool OpenGuardedKey(RegKey& key) {
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, StartPageKey, 0, KEY_ALL_ACCESS, key.Receive()) == ERROR_SUCCESS;
}

std::string StartPageOf(const RegKey& key) {
    const auto value = QueryWideStringValue(key.Get(), kStartPageValueW);
    return value ? StoredAddress(*value, SystemAnsiCodePage()) : std::string();
}

TPagesValue PagesOf(const RegKey& key) {
    TPagesValue pages;
    const auto value = QueryRawValueW(key.Get(), kSecondaryPagesValueW);
    if (!value) return pages;
    pages.present = true;
    std::u16string text(value->data.size() / 2, u'\0');
    std::copy_n(value->data.data(), text.size() * 2, reinterpret_cast<char*>(text.data()));
    if (value->type == REG_MULTI_SZ) {
        pages.multiString = true;
        pages.pages = StoredPages(SplitMultiString(text), SystemAnsiCodePage());
    } else if (value->type == REG_SZ || value->type == REG_EXPAND_SZ) {
        text.resize(std::min(text.find(u'\0'), text.size()));
        if (!text.empty()) pages.pages.push_back(StoredAddress(text, SystemAnsiCodePage()));
    }
    return pages;
}

}  // namespace

std::string ReadStartPage() {
    RegKey key;
    return OpenGuardedKey(key) ? StartPageOf(key) : std::string();
}

bool HoldsPages(const TPagesValue& value, const TPages& protectedPages) {
    if (!value.present) return protectedPages.empty();
    return value.multiString && value.pages == protectedPages;
}

TGuardedValues ReadGuardedValues() {
    TGuardedValues values;
    RegKey key;
    if (!OpenGuardedKey(key)) return values;
    values.startPage = StartPageOf(key);
    values.pages = PagesOf(key);
    return values;
}

TPagesValue ReadSecondaryPages() {
    RegKey key;
    return OpenGuardedKey(key) ? PagesOf(key) : TPagesValue();
}

void WriteSecondaryPages(const TPages& pages) {
    const std::u16string data = MultiStringOf(PagesOfStored(pages, SystemAnsiCodePage()));
    RegKey key;
    bool written = OpenGuardedKey(key);
    if (written && pages.empty()) {
        const LONG rc = ::RegDeleteValueW(key.Get(), kSecondaryPagesValueW);
        written = rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    } else if (written) {
        written = ::RegSetValueExW(key.Get(), kSecondaryPagesValueW, 0, REG_MULTI_SZ,
                                   reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() * sizeof(char16_t))) == ERROR_SUCCESS;
    }
    if (!written) {
        key.Close();
        throw ERegistryException(FormatText(texts::RegSetDataFailed, SecondaryPagesValue));
    }
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
