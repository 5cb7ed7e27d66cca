// Start page addresses as the guard holds them: in the form the settings
// file stores them. The registry holds UTF-16; the settings file, the log and
// the window's "A" calls hold ANSI bytes. So that no character is ever lost
// or folded into a look-alike, an address has one stored form:
// - an address that the ANSI code page holds exactly: its ANSI bytes, as
//   the settings file has always held it;
// - any other address: the UTF-8 byte-order mark (EF BB BF) followed by the
//   address in UTF-8. An address whose ANSI bytes would begin with those
//   three bytes is stored this way as well, so the two forms never meet.
// Equal stored forms mean equal addresses, character for character.
// No Windows dependency.
#pragma once

#include <string>
#include <string_view>

#include "framework/CodePage.h"

namespace sw::guard {

std::string StoredAddress(std::u16string_view address, const AnsiCodePage& codePage);

// The address that a stored form stands for. Bytes that are not the second
// form exactly as StoredAddress makes it are ANSI bytes, as in every settings
// file written before the second form existed.
std::u16string AddressOfStored(std::string_view stored, const AnsiCodePage& codePage);

// True when the stored form is the address's ANSI bytes.
bool IsAnsiStored(std::string_view stored, const AnsiCodePage& codePage);

// The address as a log line and a report show it, in ANSI bytes: an ANSI
// address as it is; in any other, each character that the code page can't
// hold and each "%" is percent-encoded in UTF-8 ("ō" becomes "%C5%8D"), so
// that a look-alike can never pass for the protected address.
std::string DisplayedAddress(std::string_view stored, const AnsiCodePage& codePage);

// True when the text holds a control character (a byte below 0x20): no
// address does, but a damaged settings file may.
bool HoldsControlCharacters(std::string_view text);

}  // namespace sw::guard
