#include "Registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Exceptions.h"
#include "StrUtils.h"
#include "Texts.h"

namespace sw {

namespace {

std::string UpToNul(const char* data, size_t size) {
    size_t length = 0;
    while (length < size && data[length] != '\0') ++length;
    return std::string(data, length);
}

std::u16string UpToWideNul(const BYTE* data, size_t size) {
    // An odd last byte is no whole character.
    std::u16string text(size / 2, u'\0');
    memcpy(text.data(), data, text.size() * 2);
    return text.substr(0, text.find(u'\0'));
}

}  // namespace

std::optional<std::string> QueryStringValue(HKEY key, const char* name, DWORD* typeOut) {
    // Most values fit the stack buffer, so an ordinary read is one query.
    char small[512];
    DWORD type = 0;
    DWORD size = sizeof small;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(small), &size);
    if (typeOut) *typeOut = type;
    if (rc == ERROR_SUCCESS) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        return UpToNul(small, size);
    }
    if (rc != ERROR_MORE_DATA || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    std::vector<char> large(size);
    rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(large.data()), &size);
    if (typeOut) *typeOut = type;
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return UpToNul(large.data(), std::min<size_t>(size, large.size()));
}

std::optional<std::u16string> QueryWideStringValue(HKEY key, const wchar_t* name) {
    BYTE small[1024];
    DWORD type = 0;
    DWORD size = sizeof small;
    LONG rc = ::RegQueryValueExW(key, name, nullptr, &type, small, &size);
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (rc == ERROR_SUCCESS) return UpToWideNul(small, size);
    if (rc != ERROR_MORE_DATA) return std::nullopt;
    std::vector<BYTE> large(size);
    rc = ::RegQueryValueExW(key, name, nullptr, &type, large.data(), &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return UpToWideNul(large.data(), std::min<size_t>(size, large.size()));
}

std::optional<TRegValue> QueryRawValueW(HKEY key, const wchar_t* name) {
    TRegValue value;
    value.data.resize(1024);
    DWORD size = static_cast<DWORD>(value.data.size());
    LONG rc = ::RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()), &size);
    if (rc == ERROR_MORE_DATA) {
        value.data.resize(size);
        rc = ::RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()), &size);
    }
    if (rc != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(std::min<size_t>(size, value.data.size()));
    return value;
}

void TRegistry::SetRootKey(HKEY root) {
    if (root == root_) return;
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::string& path) {
    CloseKey();
    const char* relative = path.c_str();
    if (*relative == '\\') ++relative;
    return ::RegOpenKeyExA(root_, relative, 0, access_, key_.Receive()) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (!key_ || ::RegQueryValueExA(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (size == 0) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(FormatText(texts::RegInvalidDataType, name));
    return QueryStringValue(key_.Get(), name.c_str()).value_or(std::string());
}

void TRegistry::WriteString(const std::string& name, const std::string& value) const {
    if (!key_ || ::RegSetValueExA(key_.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException(FormatText(texts::RegSetDataFailed, name));
}

bool TRegistry::DeleteValue(const std::string& name) const {
    return key_ && ::RegDeleteValueA(key_.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& name) const {
    return key_ && ::RegQueryValueExA(key_.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace sw
