#include "autostart/AutoRunner.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kName[] = "StartwachtAutoRunTest";

struct Value {
    DWORD type;
    std::string data;  // raw bytes
};

Value Sz(const std::string& text, DWORD type = REG_SZ) { return {type, text + '\0'}; }

std::string ProgramPath() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

class AutoRunner : public testing::Test {
protected:
    void SetUp() override {
        EnsureKey(HKEY_CURRENT_USER, kRunKey);
        EnsureKey(HKEY_LOCAL_MACHINE, kRunKey);
        Remove();
        ClearReportedErrors();
    }
    void TearDown() override {
        Remove();
        EXPECT_TRUE(ReportedErrorsSnapshot().empty());
    }
    static void Remove() {
        DeleteValue(HKEY_CURRENT_USER, kRunKey, kName);
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kName);
    }
    static void Put(HKEY hive, const Value& value) { WriteRawValue(hive, kRunKey, kName, value.type, value.data); }
    static std::optional<RawValue> Get(HKEY hive) { return ReadRawValue(hive, kRunKey, kName); }

    // The component as the main window's stored description builds it.
    static std::unique_ptr<TAutoRunner> Load(TRegLocation location = TRegLocation::CurrentUser,
                                             bool autoRun = false) {
        auto runner = std::make_unique<TAutoRunner>(nullptr);
        TLoadingScope loading;
        loading.Add(runner.get());
        runner->SetRegLocation(location);
        runner->SetAutoRun(autoRun);
        runner->SetAppName(kName);
        loading.Finish();
        return runner;
    }
};

void ExpectValue(const std::optional<RawValue>& value, const std::string& text) {
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->data, text + '\0');  // with its terminating zero
}

}  // namespace

TEST_F(AutoRunner, ReadsTheRegistrationBackWhileLoading) {
    const Value dword{REG_DWORD, std::string("\x01\x00\x00\x00", 4)};
    struct Case {
        const char* name;
        std::optional<Value> user, machine;
        TRegLocation stored;
        bool autoRun;
        TRegLocation location;
    };
    const auto CU = TRegLocation::CurrentUser;
    const auto LM = TRegLocation::LocalMachine;
    const Case cases[] = {
        {"under both hives", Sz("C:\\a.exe"), Sz("C:\\b.exe"), LM, true, CU},
        {"under the machine's only", {}, Sz("C:\\b.exe"), CU, true, LM},
        {"nowhere", {}, {}, LM, false, LM},
        {"an empty string", Sz(""), {}, LM, false, LM},
        {"no data at all", Value{REG_SZ, ""}, {}, LM, false, LM},
        {"a REG_DWORD", dword, {}, LM, false, LM},
        {"a REG_EXPAND_SZ", Sz("%ProgramFiles%\\x.exe", REG_EXPAND_SZ), {}, LM, true, CU},
        {"another program's unquoted path", Sz("C:\\Program Files\\Other\\other.exe"), {}, LM, true, CU},
        {"empty for the user, set for the machine", Sz(""), Sz("C:\\b.exe"), CU, true, LM},
        {"a REG_DWORD for the user, set for the machine", dword, Sz("C:\\b.exe"), CU, true, LM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Remove();
        if (c.user) Put(HKEY_CURRENT_USER, *c.user);
        if (c.machine) Put(HKEY_LOCAL_MACHINE, *c.machine);
        // The stored AutoRun means nothing: the registry decides.
        auto runner = Load(c.stored, !c.autoRun);
        EXPECT_TRUE(runner->IsRuntime());
        EXPECT_EQ(runner->AppName(), kName);
        EXPECT_EQ(runner->AutoRun(), c.autoRun);
        EXPECT_EQ(runner->RegLocation(), c.location);
        // Reading back writes nothing.
        EXPECT_EQ(Get(HKEY_CURRENT_USER).has_value(), c.user.has_value());
        EXPECT_EQ(Get(HKEY_LOCAL_MACHINE).has_value(), c.machine.has_value());
    }
}

TEST_F(AutoRunner, SwitchingOnWritesTheProgramPathUnderTheChosenHiveAlone) {
    for (TRegLocation location : {TRegLocation::CurrentUser, TRegLocation::LocalMachine}) {
        SCOPED_TRACE(location == TRegLocation::CurrentUser ? "CurrentUser" : "LocalMachine");
        Remove();
        auto runner = Load(location);
        ASSERT_FALSE(runner->AutoRun());
        // Values of the same name that appeared meanwhile, in both hives.
        Put(HKEY_CURRENT_USER, Sz("C:\\old-user.exe"));
        Put(HKEY_LOCAL_MACHINE, Sz("C:\\old-machine.exe"));

        runner->SetAutoRun(true);
        EXPECT_TRUE(runner->AutoRun());
        const HKEY chosen = location == TRegLocation::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const HKEY other = location == TRegLocation::CurrentUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        ExpectValue(Get(chosen), RunValueData(ProgramPath()));
        EXPECT_FALSE(Get(other).has_value());

        runner->SetAutoRun(false);
        EXPECT_FALSE(Get(HKEY_CURRENT_USER).has_value());
        EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE).has_value());
    }
}

TEST_F(AutoRunner, ChangingTheHiveMovesTheValueWhileOnAndRemovesItFromBothWhileOff) {
    for (bool autoRun : {true, false}) {
        SCOPED_TRACE(autoRun ? "on" : "off");
        Remove();
        auto runner = Load();
        runner->SetAutoRun(autoRun);
        // Values of the same name that appeared meanwhile, in both hives.
        Put(HKEY_CURRENT_USER, Sz("C:\\user.exe"));
        Put(HKEY_LOCAL_MACHINE, Sz("C:\\machine.exe"));
        runner->SetRegLocation(TRegLocation::LocalMachine);
        EXPECT_EQ(runner->RegLocation(), TRegLocation::LocalMachine);
        EXPECT_EQ(runner->AutoRun(), autoRun);
        EXPECT_FALSE(Get(HKEY_CURRENT_USER).has_value());
        if (autoRun)
            ExpectValue(Get(HKEY_LOCAL_MACHINE), RunValueData(ProgramPath()));
        else
            EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE).has_value());
    }
}

TEST_F(AutoRunner, SettingAPropertyToItsValueTouchesNoKey) {
    auto runner = Load();
    runner->SetAutoRun(true);
    // Changed behind the component's back: a setter that acted would undo it.
    Put(HKEY_CURRENT_USER, Sz("C:\\changed.exe"));
    Put(HKEY_LOCAL_MACHINE, Sz("C:\\machine.exe"));
    runner->SetAutoRun(true);
    runner->SetRegLocation(TRegLocation::CurrentUser);
    ExpectValue(Get(HKEY_CURRENT_USER), "C:\\changed.exe");
    ExpectValue(Get(HKEY_LOCAL_MACHINE), "C:\\machine.exe");
}

TEST_F(AutoRunner, TheNameIsFixedOnceLoaded) {
    auto runner = Load();
    runner->SetAppName("EinAndererName");
    EXPECT_EQ(runner->AppName(), kName);
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, kRunKey, "EinAndererName").has_value());
    runner->SetAutoRun(true);
    EXPECT_TRUE(Get(HKEY_CURRENT_USER).has_value());
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, kRunKey, "EinAndererName").has_value());
}

// What a hive's Run key holds, kept while the key is taken away and put back
// when the object goes.
class MissingRunKey {
public:
    explicit MissingRunKey(HKEY hive) : hive_(hive) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(hive, kRunKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char name[16384];
            for (DWORD i = 0;; ++i) {
                DWORD length = sizeof name;
                if (::RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                if (auto value = ReadRawValue(hive, kRunKey, name)) kept_.emplace_back(name, *value);
            }
            ::RegCloseKey(key);
        }
        DeleteKeyTree(hive, kRunKey);
    }
    ~MissingRunKey() {
        EnsureKey(hive_, kRunKey);
        for (const auto& [name, value] : kept_) WriteRawValue(hive_, kRunKey, name, value.type, value.data);
    }
    MissingRunKey(const MissingRunKey&) = delete;
    MissingRunKey& operator=(const MissingRunKey&) = delete;

private:
    HKEY hive_;
    std::vector<std::pair<std::string, RawValue>> kept_;
};

bool KeyExists(HKEY hive) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

TEST_F(AutoRunner, AMissingRunKeyIsNeitherCreatedNorReported) {
    const struct {
        const char* missing;
        bool userKey, machineKey;
    } cases[] = {
        {"the user's", false, true},
        {"the machine's", true, false},
        {"both", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        std::optional<MissingRunKey> user, machine;
        if (!c.userKey) user.emplace(HKEY_CURRENT_USER);
        if (!c.machineKey) machine.emplace(HKEY_LOCAL_MACHINE);

        for (const TRegLocation location : {TRegLocation::CurrentUser, TRegLocation::LocalMachine}) {
            const HKEY own = location == TRegLocation::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
            const bool ownKey = location == TRegLocation::CurrentUser ? c.userKey : c.machineKey;
            auto runner = Load(location);
            EXPECT_FALSE(runner->AutoRun()) << "nothing to read back";
            // Switched on and off again: written where the key is, nothing
            // created where it isn't, and nobody is told.
            runner->SetAutoRun(true);
            EXPECT_TRUE(runner->AutoRun());
            if (ownKey) ExpectValue(Get(own), RunValueData(ProgramPath()));
            runner->SetAutoRun(false);
            EXPECT_FALSE(Get(own).has_value());
            EXPECT_EQ(KeyExists(HKEY_CURRENT_USER), c.userKey);
            EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE), c.machineKey);
        }
        EXPECT_TRUE(ReportedErrorsSnapshot().empty());
    }
}

TEST(AutoRunValue, APathWithBlanksIsQuoted) {
    const struct {
        const char* path;
        const char* data;
    } cases[] = {
        {"C:\\Programme\\Startwacht.exe", "C:\\Programme\\Startwacht.exe"},
        {"C:\\Program Files\\Startwacht\\Startwacht.exe", "\"C:\\Program Files\\Startwacht\\Startwacht.exe\""},
        {"C:\\Start wacht.exe", "\"C:\\Start wacht.exe\""},
    };
    for (const auto& c : cases) EXPECT_EQ(RunValueData(c.path), c.data) << c.path;
}

TEST_F(AutoRunner, AProgramUnderAPathWithBlanksRegistersItselfQuoted) {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "Start wacht Test";
    const std::string copy = folder + "\\Auto Run Helper.exe";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA((ProgramDir() + "\\AutoRunHelper.exe").c_str(), copy.c_str(), FALSE));

    ChildProcess helper('"' + copy + "\" " + kName);
    const auto code = helper.Wait(60s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    ExpectValue(Get(HKEY_CURRENT_USER), '"' + copy + '"');
    // Still a registration when read back, like any non-empty value.
    EXPECT_TRUE(Load()->AutoRun());

    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(folder.c_str());
}
