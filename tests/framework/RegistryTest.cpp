#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/Registry.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

const std::string kKey = "Software\\StartwachtTests\\Registry";

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { EnsureKey(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, "Software\\StartwachtTests"); }
};

}  // namespace

TEST_F(RegistryTest, StringValuesOfEveryShapeReadUpToTheirFirstNul) {
    const struct {
        DWORD type;
        std::string data;
        std::optional<std::string> expected;
    } cases[] = {
        {REG_SZ, std::string("about:test\0", 11), "about:test"},
        {REG_SZ, "no terminator", "no terminator"},
        {REG_SZ, std::string("cut\0rest\0", 9), "cut"},
        {REG_SZ, "", ""},
        {REG_EXPAND_SZ, std::string("%HOME%\0", 7), "%HOME%"},
        {REG_SZ, std::string(65536, 'x') + '\0', std::string(65536, 'x')},
        {REG_BINARY, "abc", std::nullopt},
        {REG_DWORD, std::string("\1\0\0\0", 4), std::nullopt},
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::nullopt},
    };
    RegKey key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_ALL_ACCESS, key.Receive()), ERROR_SUCCESS);
    for (const auto& c : cases) {
        WriteRawValue(HKEY_CURRENT_USER, kKey, "v", c.type, c.data);
        EXPECT_EQ(QueryStringValue(key.Get(), "v"), c.expected) << "type " << c.type << ", " << c.data.size() << " bytes";
    }
    EXPECT_EQ(QueryStringValue(key.Get(), "missing"), std::nullopt);
}

TEST_F(RegistryTest, AccessorReadsWritesAndReportsInGerman) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\StartwachtTests\\Missing")) << "keys are never created";
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException) << "no key open";

    ASSERT_TRUE(reg.OpenKey("\\" + kKey));
    reg.WriteString("Name", "C:\\Pfad mit Leerzeichen\\a.exe");
    EXPECT_EQ(reg.ReadString("Name"), "C:\\Pfad mit Leerzeichen\\a.exe");
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kKey, "Name")->type, DWORD(REG_SZ));
    EXPECT_EQ(reg.ReadString("Missing"), "");

    WriteRawValue(HKEY_CURRENT_USER, kKey, "Dword", REG_DWORD, std::string("\1\0\0\0", 4));
    try {
        reg.ReadString("Dword");
        FAIL() << "REG_DWORD read as text";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Ung\xFCltiger Datentyp f\xFCr 'Dword'");
    }
    EXPECT_TRUE(reg.DeleteValue("Name"));
    EXPECT_FALSE(reg.ValueExists("Name"));

    // Switching the hive closes the key; switching to the same one keeps it.
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_NE(reg.CurrentKey(), nullptr);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.CurrentKey(), nullptr);
}
