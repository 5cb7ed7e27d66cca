// Registry access: one open key at a time under a chosen hive.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "Handles.h"

namespace sw {

// Reads a string value of an open key: the data up to its first NUL. Gives
// nothing when the value is missing, has another type than REG_SZ or
// REG_EXPAND_SZ, or can't be read. At most two queries (size, then data).
std::optional<std::string> QueryStringValue(HKEY key, const char* name, DWORD* type = nullptr);
// The same in UTF-16, as the registry stores it: no conversion to the ANSI
// code page, so no character is lost or replaced.
std::optional<std::u16string> QueryWideStringValue(HKEY key, const wchar_t* name);
// A value of any type as the system holds it (strings in UTF-16): its type
// and its data bytes; nothing when it is missing or can't be read. At most
// two queries (one for data that fits a small buffer).
struct TRegValue {
    DWORD type = REG_NONE;
    std::string data;
};
std::optional<TRegValue> QueryRawValueW(HKEY key, const wchar_t* name);

class TRegistry {
public:
    // Starts on HKEY_CURRENT_USER; every open asks for the given access.
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS) : access_(access) {}

    HKEY RootKey() const { return root_; }
    // Switching to another hive closes the open key; the same hive keeps it.
    void SetRootKey(HKEY root);

    // Opens an existing key (never creates one). A leading backslash starts
    // at the hive's root. A failed open leaves no key open.
    bool OpenKey(const std::string& path);
    void CloseKey() { key_.Close(); }
    HKEY CurrentKey() const { return key_.Get(); }

    // Empty when the value is missing or has no data; raises
    // ERegistryException "Ungültiger Datentyp für '<name>'" for another type
    // than REG_SZ or REG_EXPAND_SZ.
    std::string ReadString(const std::string& name) const;
    // Raises ERegistryException "Fehler beim Setzen der Daten für '<name>'".
    void WriteString(const std::string& name, const std::string& value) const;
    bool DeleteValue(const std::string& name) const;
    bool ValueExists(const std::string& name) const;

private:
    REGSAM access_;
    HKEY root_ = HKEY_CURRENT_USER;
    RegKey key_;
};

}  // namespace sw
