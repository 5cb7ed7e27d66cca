// The extra start pages that Internet Explorer opens as tabs beside the start
// page: the value "Secondary Start Pages" (REG_MULTI_SZ) beside "Start Page".
// How the settings file keeps the protected ones, how the registry's data is
// split into pages and made from them, and how they are shown. No Windows
// dependency.
//
// In the settings file the pages follow the two lines that every version
// reads (address, switches) as a block: a marker line with their number,
// then one line per page in the stored form of an address (StoredAddress.h).
//   [Weitere Startseiten] 2
//   http://www.example.com/
//   http://www.example.org/
// Earlier versions keep every line from the third on as they read it, so the
// block survives them; lines that this version does not know (before or
// after the block) are kept as well.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/CodePage.h"

namespace sw::guard {

using TPages = std::vector<std::string>;  // stored forms, in their order

// The protected pages that the settings lines hold; nothing when they hold no
// block (a file of an earlier version). A block whose number promises more
// lines than follow holds the lines that are there.
std::optional<TPages> PagesOfSettings(const std::vector<std::string>& lines);
// Puts the block in place of the one there, or after the last line when
// there is none. Lines beside it stay as they are.
void PutPagesIntoSettings(std::vector<std::string>& lines, const TPages& pages);

// The pages of a REG_MULTI_SZ's data: strings ended by NUL, the list ended by
// an empty one (as the system reads it; what follows is not part of it). A
// last string without its NUL still counts.
std::vector<std::u16string> SplitMultiString(std::u16string_view data);
// The data of a REG_MULTI_SZ for the pages: each with its NUL, then one more.
// No pages give the single NUL of an empty list.
std::u16string MultiStringOf(const std::vector<std::u16string>& pages);

// The field of the window holds one page per line; empty lines are no page
// (the registry's list can't hold an empty page).
std::vector<std::u16string> PagesOfFieldText(std::u16string_view text);
std::u16string FieldTextOfPages(const std::vector<std::u16string>& pages);

TPages StoredPages(const std::vector<std::u16string>& pages, const AnsiCodePage& codePage);
std::vector<std::u16string> PagesOfStored(const TPages& stored, const AnsiCodePage& codePage);

// The pages as a log line and a report show them in place of a rejected
// address: "Weitere Startseiten: " and the pages, each shown as a rejected
// address is (DisplayedAddress), joined by " | "; "(keine)" for none.
std::string ShownPages(const TPages& stored, const AnsiCodePage& codePage);

}  // namespace sw::guard
