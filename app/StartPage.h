// The guarded registry values under the current user's
// "Software\Microsoft\Internet Explorer\Main": "Start Page" and the extra
// start pages, "Secondary Start Pages".
#pragma once

#include <string>

#include "SecondaryPages.h"

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

// "Secondary Start Pages" as the registry holds it, read in UTF-16.
struct TPagesValue {
    bool present = false;
    bool multiString = false;  // of the type REG_MULTI_SZ
    // The pages of a REG_MULTI_SZ; the text of a REG_SZ or REG_EXPAND_SZ as
    // one page (none when empty); none for any other type.
    TPages pages;
};
// Whether the value holds the protected pages: a REG_MULTI_SZ of exactly
// these pages in this order, or, for no pages, also no value at all.
bool HoldsPages(const TPagesValue& value, const TPages& protectedPages);

// Both values in one open of the key (one close, at most two queries each).
struct TGuardedValues {
    std::string startPage;  // as ReadStartPage gives it
    TPagesValue pages;
};
TGuardedValues ReadGuardedValues();
TPagesValue ReadSecondaryPages();

// Sets the pages as REG_MULTI_SZ, in UTF-16; no pages delete the value (a
// missing value is no failure). The key is never created. Raises
// ERegistryException "Fehler beim Setzen der Daten für 'Secondary Start
// Pages'" when the key can't be opened or the value can't be set.
void WriteSecondaryPages(const TPages& pages);

}  // namespace sw::guard
