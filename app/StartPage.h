// The guarded registry value: "Start Page" under the current user's
// "Software\Microsoft\Internet Explorer\Main".
#pragma once

#include <string>

namespace sw::guard {

// Addresses are in their stored form (StoredAddress.h): the ANSI bytes of an
// address that the code page holds, a marked UTF-8 form of any other.

// The stored text up to its first NUL for REG_SZ and REG_EXPAND_SZ (taken as
// stored, not expanded), read in UTF-16; empty when the key or value is
// missing, the data is empty, the type is another, or reading fails. Never
// reports a failure.
// One key open, at most two value queries, one close.
std::string ReadStartPage();

// Sets the value as REG_SZ, in UTF-16. The key is never created. Raises
// ERegistryException "Fehler beim Setzen der Daten für 'Start Page'" when the
// key can't be opened or the value can't be set.
void WriteStartPage(const std::string& url);

}  // namespace sw::guard
