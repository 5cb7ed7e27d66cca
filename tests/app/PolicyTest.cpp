// Policies that set or lock the start page: what the guard says of them and
// when; it never writes them.
#include "GuardFixture.h"
#include "app/Policy.h"
#include "app/PolicyText.h"

using namespace sw;
using namespace sw::guard;
using namespace sw::test;

namespace {

const TPolicyValue kUserPage{false, "Software\\Policies\\Microsoft\\Internet Explorer\\Main", "Start Page", false,
                             "http://firma/"};
const TPolicyValue kMachineLock{true, "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "HomePage",
                                true, "1"};

}  // namespace

TEST(PolicyText, SaysWhatThePolicyDoesWhereAndWhoCanRemoveIt) {
    EXPECT_EQ(PolicyOffender(kUserPage), "Eine Richtlinie (HKEY_CURRENT_USER)");
    EXPECT_EQ(PolicyOffender(kMachineLock), "Eine Richtlinie (HKEY_LOCAL_MACHINE)");
    EXPECT_EQ(PolicyShown(kUserPage, Cp1252()), "http://firma/");
    EXPECT_EQ(PolicyShown(kMachineLock, Cp1252()), "Sperre der Startseite (HomePage = 1)");
    TPolicyValue lookAlike = kUserPage;
    lookAlike.data = "\xEF\xBB\xBFhttp://g\xC5\x8Dgle/";
    EXPECT_EQ(PolicyShown(lookAlike, Cp1252()), "http://g%C5%8Dgle/");
    const std::string admin = "\rNur ein Administrator kann diese Richtlinie entfernen; Startwacht \xE4ndert sie nicht.";
    EXPECT_EQ(PolicyReport(kUserPage, Cp1252()),
              "Eine Richtlinie setzt die Startseite des Internet Explorers auf:\rhttp://firma/\rWert \"Start Page\" "
              "unter HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Internet Explorer\\Main" + admin);
    EXPECT_EQ(PolicyReport(kMachineLock, Cp1252()),
              "Eine Richtlinie sperrt die Startseite des Internet Explorers:\rWert \"HomePage\" = 1 unter "
              "HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel" + admin);

    const std::string tail = " die Startseite. Nur ein Administrator kann sie entfernen.";
    EXPECT_EQ(PolicyWarning({}), "");
    EXPECT_EQ(PolicyWarning({kUserPage}), "Achtung: Eine Richtlinie setzt" + tail);
    EXPECT_EQ(PolicyWarning({kMachineLock}), "Achtung: Eine Richtlinie sperrt" + tail);
    EXPECT_EQ(PolicyWarning({kMachineLock, kMachineLock}), "Achtung: Richtlinien sperren" + tail);
    EXPECT_EQ(PolicyWarning({kUserPage, kMachineLock}), "Achtung: Richtlinien setzen und sperren" + tail);
}

namespace {

class PolicyCheck : public GuardFixture {
protected:
    void SetUp() override {
        GuardFixture::SetUp();
        WriteFileBytes(SettingsPath(), "about:blank\r\n11100\r\n" + std::string(kNoPagesBlock));
        guard.LoadAtStart();
        view.Messages.clear();
        guard.ReadPolicies = [this] { return standing; };
        view.Warning = "unset";
    }
    std::vector<TPolicyValue> standing;
};

}  // namespace

TEST_F(PolicyCheck, EachPolicyThatAppearsOrChangesIsNotedOnceAndTheWarningFollowsWhatStands) {
    guard.CheckPolicies();
    EXPECT_EQ(view.LogList.Count(), 0);
    EXPECT_EQ(view.Warning, "");

    standing = {kUserPage};
    guard.CheckPolicies();
    guard.CheckPolicies();  // still the same: nothing new
    EXPECT_EQ(view.LogList.Lines(), std::vector<std::string>{"08.12.2026 21:40:05>>Eine Richtlinie (HKEY_CURRENT_USER) "
                                                             ">>Startpage:http://firma/"});
    EXPECT_EQ(view.Messages, std::vector<std::string>{PolicyReport(kUserPage, Cp1252())});
    EXPECT_EQ(view.Warning, PolicyWarning({kUserPage}));
    EXPECT_EQ(ReadFileBytes(LogPath()), view.LogList.ToText());

    standing = {kUserPage, kMachineLock};
    standing[0].data = "http://andere/";
    guard.CheckPolicies();
    EXPECT_EQ(view.LogList.Count(), 3) << "the changed address and the new lock";
    EXPECT_EQ(view.LogList[1], "08.12.2026 21:40:05>>Eine Richtlinie (HKEY_CURRENT_USER) >>Startpage:http://andere/");
    EXPECT_EQ(view.Warning, PolicyWarning(standing));

    standing.clear();
    guard.CheckPolicies();
    EXPECT_EQ(view.Warning, "");
    EXPECT_EQ(view.LogList.Count(), 3) << "a policy that goes is no attempt";
    standing = {kMachineLock};
    guard.CheckPolicies();
    EXPECT_EQ(view.LogList.Count(), 4) << "one that comes back is said again";
    EXPECT_EQ(StartPageText(), "about:blank") << "the user's value is not touched";
}

// The real reader: the values as a program of an administrator writes them
// under both hives; read only, never changed.
TEST_F(PolicyCheck, TheReaderFindsTheValuesThatSetOrLockAndOnlyThose) {
    const std::string ie = "Software\\Policies\\Microsoft\\Internet Explorer";
    const auto dword = [](DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); };
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(hive, ie);
    EXPECT_TRUE(ReadPolicies().empty());
    EnsureKey(HKEY_CURRENT_USER, ie + "\\Main");
    EnsureKey(HKEY_CURRENT_USER, ie + "\\Control Panel");
    EnsureKey(HKEY_LOCAL_MACHINE, ie + "\\Restrictions");
    EnsureKey(HKEY_LOCAL_MACHINE, ie + "\\Main");
    WriteWideString(HKEY_CURRENT_USER, ie + "\\Main", "Start Page", u"http://\u4F8B/");
    WriteRawValue(HKEY_CURRENT_USER, ie + "\\Control Panel", "HomePage", REG_DWORD, dword(0));
    WriteRawValue(HKEY_LOCAL_MACHINE, ie + "\\Restrictions", "NoSetHomePage", REG_DWORD, dword(1));
    WriteRawValue(HKEY_LOCAL_MACHINE, ie + "\\Main", "Start Page", REG_SZ, std::string(1, '\0'));
    const std::vector<TPolicyValue> expected = {
        {false, ie + "\\Main", "Start Page", false, "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/"},
        {true, ie + "\\Restrictions", "NoSetHomePage", true, "1"},
    };
    EXPECT_EQ(ReadPolicies(), expected) << "a lock of 0 and an empty address stand for nothing";
    guard.ReadPolicies = ReadPolicies;
    guard.CheckPolicies();
    EXPECT_EQ(view.LogList.Count(), 2);
    EXPECT_EQ(ReadWideString(HKEY_CURRENT_USER, ie + "\\Main", "Start Page"), u"http://\u4F8B/");
    EXPECT_EQ(ReadRawValue(HKEY_LOCAL_MACHINE, ie + "\\Restrictions", "NoSetHomePage")->data, dword(1));
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(hive, ie);
}
