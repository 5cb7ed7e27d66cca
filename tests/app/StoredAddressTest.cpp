// Addresses in their stored form: exact for every character, ANSI bytes for
// every address that the code page holds, and a log form that no look-alike
// can share with the protected address.
#include <gtest/gtest.h>

#include "app/StoredAddress.h"
#include "framework/CodePage.h"

using namespace sw;
using namespace sw::guard;

namespace {

const std::string kMark = "\xEF\xBB\xBF";

}  // namespace

TEST(StoredAddress, EveryAddressComesBackExactlyAndAnsiAddressesKeepTheirBytes) {
    const struct {
        std::u16string address;
        std::string stored;
        std::string shown;
    } cases[] = {
        {u"", "", ""},
        {u"about:meine", "about:meine", "about:meine"},
        {u"http://b\u00FCcher.de/\u20AC", "http://b\xFC" "cher.de/\x80", "http://b\xFC" "cher.de/\x80"},
        // U+0081 has a byte of its own in the code page.
        {u"a\u0081", "a\x81", "a\x81"},
        {u"http://www.g\u014D\u014Dgle.com/", kMark + "http://www.g\xC5\x8D\xC5\x8Dgle.com/",
         "http://www.g%C5%8D%C5%8Dgle.com/"},
        {u"http://\u4F8B\u3048.jp/\u014D\u20AC", kMark + "http://\xE4\xBE\x8B\xE3\x81\x88.jp/\xC5\x8D\xE2\x82\xAC",
         "http://%E4%BE%8B%E3%81%88.jp/%C5%8D\x80"},
        // "%" is encoded too where the address needs the encoding, so the
        // shown text decodes to one address only.
        {u"100%\u014D", kMark + "100%\xC5\x8D", "100%25%C5%8D"},
        {u"\U0001F600", kMark + "\xF0\x9F\x98\x80", "%F0%9F%98%80"},
        {u"\xD800x", kMark + "\xED\xA0\x80x", "%ED%A0%80x"},
        // ANSI bytes that would begin with the mark take the marked form,
        // so that the forms never meet; shown, it is plain ANSI again.
        {u"\u00EF\u00BB\u00BFx", kMark + "\xC3\xAF\xC2\xBB\xC2\xBFx", "\xEF\xBB\xBFx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.stored));
        EXPECT_EQ(StoredAddress(c.address, Cp1252()), c.stored);
        EXPECT_EQ(AddressOfStored(c.stored, Cp1252()), c.address);
        EXPECT_EQ(DisplayedAddress(c.stored, Cp1252()), c.shown);
        EXPECT_EQ(IsAnsiStored(c.stored, Cp1252()), c.stored.rfind(kMark, 0) != 0);
    }
}

TEST(StoredAddress, SettingsLinesWrittenBeforeTheMarkedFormReadAsAnsi) {
    // Anything but the marked form exactly as it is made is ANSI bytes.
    const std::string lines[] = {
        kMark + "x",          // the plain address would not be marked
        kMark + "\xC3",       // no UTF-8
        kMark + "\xC0\x80",   // overlong
        kMark,                // the mark alone
        "\xC5\x8D",           // UTF-8 without the mark
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(testing::PrintToString(line));
        EXPECT_TRUE(IsAnsiStored(line, Cp1252()));
        EXPECT_EQ(AddressOfStored(line, Cp1252()), Cp1252().Decode(line));
        EXPECT_EQ(DisplayedAddress(line, Cp1252()), line);
        // Its address stored anew is the same address, never another.
        EXPECT_EQ(AddressOfStored(StoredAddress(AddressOfStored(line, Cp1252()), Cp1252()), Cp1252()),
                  Cp1252().Decode(line));
    }
}

TEST(StoredAddress, Utf8DecodingAcceptsOnlyTheOneFormThatEncodingMakes) {
    const struct {
        std::string bytes;
        std::optional<std::u16string> text;
    } cases[] = {
        {"", u""},
        {"\xC5\x8D", u"\u014D"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xED\xA0\x80", u"\xD800"},
        {"\xED\xA0\x80\xED\xB0\x80", std::nullopt},  // a pair as two sequences
        {"\xF4\x90\x80\x80", std::nullopt},          // beyond U+10FFFF
        {"\xE0\x80\x80", std::nullopt},              // overlong
        {"\x80", std::nullopt},
        {"\xE2\x82", std::nullopt},
        {"\xF8\x88\x80\x80\x80", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
    }
}

TEST(StoredAddress, ControlCharactersAreBytesBelowBlank) {
    EXPECT_FALSE(HoldsControlCharacters("about:blank \x7F\xE4"));
    EXPECT_TRUE(HoldsControlCharacters("about:\tblank"));
    EXPECT_TRUE(HoldsControlCharacters(std::string("a\0b", 3)));
}

#ifdef _WIN32
#include <windows.h>

#include "framework/SystemCodePage.h"

TEST(StoredAddress, TheSystemsCodePage1252AgreesWithTheTableAndRefusesLookAlikes) {
    if (::GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << ::GetACP();
    const AnsiCodePage& system = SystemAnsiCodePage();
    std::string every;
    for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
    EXPECT_EQ(system.Decode(every), Cp1252().Decode(every));
    EXPECT_EQ(system.Encode(Cp1252().Decode(every)), every);
    // Best fit would give "o", "?" or "A" for these.
    for (std::u16string text : {u"g\u014D", u"\u4F8B", u"\u0100", u"\xD800", u"\U0001F600"}) {
        SCOPED_TRACE(testing::PrintToString(Utf16ToUtf8(text)));
        EXPECT_EQ(system.Encode(text), std::nullopt);
    }
}
#endif
