// The guarded registry value: "Start Page" under the current user's
// "Software\Microsoft\Internet Explorer\Main".
#pragma once

#include <string>

namespace sw::guard {

// The stored text up to its first NUL for REG_SZ and REG_EXPAND_SZ (taken as
// stored, not expanded); empty when the key or value is missing, the data is
// empty, the type is another, or reading fails. Never reports a failure.
// One key open, at most two value queries, one close.
std::string ReadStartPage();

// Sets the value as REG_SZ. The key is never created. Raises
// ERegistryException "Fehler beim Setzen der Daten für 'Start Page'" when the
// key can't be opened or the value can't be set.
void WriteStartPage(const std::string& url);

}  // namespace sw::guard
