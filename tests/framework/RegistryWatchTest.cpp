// The registry watch: a change of a value under its key reaches OnChange on
// the main thread; a missing or deleted key is watched again once it exists;
// a flood never loses the last change; switched off or destroyed it leaves
// no thread, window message or handle behind.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "framework/RegistryWatch.h"
#include "support/ProcessCounts.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;
using namespace std::chrono_literals;

namespace {

const std::string kBase = "Software\\StartwachtTests";
const std::string kKey = kBase + "\\Watch\\Main";

class RegistryWatchTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteKeyTree(HKEY_CURRENT_USER, kBase);
        EnsureKey(HKEY_CURRENT_USER, kKey);
    }
    void TearDown() override {
        watch.reset();
        DeleteKeyTree(HKEY_CURRENT_USER, kBase);
    }

    // A watch on the test key as a stored description makes it.
    void MakeWatch() {
        watch = std::make_unique<TRegistryWatch>(nullptr);
        TLoadingScope loading;
        loading.Add(watch.get());
        watch->SetRootKey(HKEY_CURRENT_USER);
        watch->SetKey(kKey);
        watch->SetEnabled(true);
        watch->OnChange = [this](TObject* sender) {
            EXPECT_EQ(sender, watch.get());
            if (::GetCurrentThreadId() != mainThread) offMainThread = true;
            lastSeen = Value();
            ++changes;
        };
        loading.Finish();
    }
    static std::string Value() {
        const auto value = ReadRawValue(HKEY_CURRENT_USER, kKey, "v");
        if (!value) return "<missing>";
        std::string data = value->data;
        if (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    }
    static void Write(const std::string& text) { WriteRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ, text); }
    // Waits until OnChange has run at least once more than `before`.
    bool ChangeAfter(int before) {
        return WaitFor([&] { return changes > before; }, 20s);
    }

    std::unique_ptr<TRegistryWatch> watch;
    const DWORD mainThread = ::GetCurrentThreadId();
    int changes = 0;
    bool offMainThread = false;
    std::string lastSeen;
};

TEST_F(RegistryWatchTest, AValueSetOrDeletedUnderTheKeyReachesOnChangeOnTheMainThread) {
    MakeWatch();
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    EXPECT_EQ(changes, 0) << "arming is no change";

    for (const char* step : {"set", "set again", "delete"}) {
        SCOPED_TRACE(step);
        const int before = changes;
        if (std::string(step) == "delete")
            DeleteValue(HKEY_CURRENT_USER, kKey, "v");
        else
            Write(step);
        EXPECT_TRUE(ChangeAfter(before));
        EXPECT_TRUE(WaitFor([&] { return lastSeen == Value(); }, 20s)) << lastSeen;
    }
    EXPECT_FALSE(offMainThread);
    EXPECT_TRUE(ReportedErrorsSnapshot().empty());
}

TEST_F(RegistryWatchTest, AMissingKeyIsWatchedOnceItExistsAndADeletedKeyOnceItIsMadeAnew) {
    DeleteKeyTree(HKEY_CURRENT_USER, kBase + "\\Watch");
    MakeWatch();
    // Nothing to watch yet: no change and no error, and no busy waiting
    // either (the thread sleeps on the parent).
    WaitFor([] { return false; }, 300ms);
    EXPECT_FALSE(watch->Watching());
    EXPECT_EQ(changes, 0);

    // Two levels come back at once.
    int before = changes;
    EnsureKey(HKEY_CURRENT_USER, kKey);
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    EXPECT_TRUE(ChangeAfter(before)) << "the key made anew is a change";
    before = changes;
    Write("after creation");
    EXPECT_TRUE(ChangeAfter(before));
    EXPECT_TRUE(WaitFor([&] { return lastSeen == "after creation"; }, 20s));

    // Deleted: a change, and the watch waits for the key again.
    before = changes;
    DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    EXPECT_TRUE(ChangeAfter(before)) << "the deletion is a change";
    EXPECT_TRUE(WaitFor([&] { return !watch->Watching(); }, 20s));

    // Made anew with a value: watched again.
    EnsureKey(HKEY_CURRENT_USER, kKey);
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    before = changes;
    Write("made anew");
    EXPECT_TRUE(ChangeAfter(before));
    EXPECT_TRUE(WaitFor([&] { return lastSeen == "made anew"; }, 20s));
    EXPECT_TRUE(ReportedErrorsSnapshot().empty());
}

TEST_F(RegistryWatchTest, AFloodOfChangesNeverLosesTheLastOne) {
    MakeWatch();
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    // Another thread writes as fast as it can while OnChange runs slowly.
    watch->OnChange = [this](TObject*) {
        ::Sleep(5);
        lastSeen = Value();
        ++changes;
    };
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) Write("flood-" + std::to_string(i));
        done = true;
    });
    WaitFor([&] { return done.load(); }, 60s);
    writer.join();
    EXPECT_TRUE(WaitFor([&] { return lastSeen == "flood-299"; }, 20s)) << lastSeen;
}

TEST_F(RegistryWatchTest, OffOrDestroyedItLeavesNoThreadAndNoHandleAndHandsNothingOver) {
    // A first watch settles what the system makes once per process.
    MakeWatch();
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    watch.reset();
    const DWORD handles = ProcessHandleCount();
    const DWORD threads = ProcessThreadCount();

    MakeWatch();
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    const DWORD thread = watch->ThreadID();
    ASSERT_NE(thread, 0u);
    EXPECT_GT(ProcessHandleCount(), handles) << "the watch holds its key, its events and its thread";

    // Switched off while a change is on its way: the change is dropped.
    const int before = changes;
    Write("while going off");
    ::Sleep(200);
    watch->SetEnabled(false);
    EXPECT_FALSE(ThreadAlive(thread));
    EXPECT_EQ(watch->ThreadID(), 0u);
    EXPECT_FALSE(watch->Watching());
    Write("while off");
    watch->Repeat();
    WaitFor([] { return false; }, 300ms);
    EXPECT_EQ(changes, before) << "nothing reaches OnChange while the watch is off";
    EXPECT_EQ(ProcessHandleCount(), handles);

    // On again, then destroyed.
    watch->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return watch->Watching(); }, 20s));
    const DWORD second = watch->ThreadID();
    const HWND window = watch->Handle();
    watch.reset();
    EXPECT_FALSE(ThreadAlive(second));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(ProcessHandleCount(), handles);
    EXPECT_EQ(ProcessThreadCount(), threads);
}

}  // namespace
