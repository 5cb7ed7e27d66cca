#include <gtest/gtest.h>

#include "app/BrowserQuery.h"
#include "FakeBrowserProcess.h"
#include "support/ProcessCounts.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

class BrowserQuery : public testing::Test {
protected:
    guard::TDdeInstance dde;
};

}  // namespace

TEST_F(BrowserQuery, TheInstanceRegistersTheProgramsName) { EXPECT_EQ(dde.ServiceName(), "guard_tests"); }

TEST_F(BrowserQuery, RepliesAreTakenWholeAndCutOnlyAtNul) {
    const std::string longReply(100000, 'w');
    const struct {
        const char* name;
        std::string reply;
        std::string expected;
    } cases[] = {
        {"quotes and commas", "\"file:///C:/a.html\",\"Seite, mit \xC4rger\"", "\"file:///C:/a.html\",\"Seite, mit \xC4rger\""},
        {"long", longReply, longReply},
        {"embedded NUL", std::string("vorher\0nachher", 14), "vorher"},
        {"line breaks", "eins\r\nzwei\ndrei", "eins\r\nzwei\ndrei"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBrowserProcess browser("FAKEIE", c.reply);
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(guard::QueryBrowserWindow("FAKEIE"), c.expected);
    }
}

TEST_F(BrowserQuery, NoDataAndALateReplyWithinTheTimeOut) {
    {
        FakeBrowserProcess browser("FAKEIE", "ignored", "--no-reply");
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(guard::QueryBrowserWindow("FAKEIE"), "");
    }
    {
        FakeBrowserProcess browser("FAKEIE", "late", "--delay 1500");
        ASSERT_TRUE(browser.Ready());
        EXPECT_EQ(guard::QueryBrowserWindow("FAKEIE"), "late");
    }
}

TEST_F(BrowserQuery, WithoutServerTheFallbackCommandRunsOnceAndTheResultIsEmpty) {
    const std::string starts = ProgramDir() + "\\fakebrowser-starts.txt";
    RemoveFile(starts);
    ::SetEnvironmentVariableA("FAKEBROWSER_STARTS", starts.c_str());
    // "FakeBrowser WWW_GetWindowInfo" finds the fake beside this program; it
    // only records its start.
    EXPECT_EQ(guard::QueryBrowserWindow("FakeBrowser"), "");
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(starts).value_or("") == "started\n"; }));
    ::Sleep(300);
    EXPECT_EQ(ReadFileBytes(starts), "started\n") << "the command runs exactly once";
    RemoveFile(starts);

    // A command that can't be started gives an empty result as well.
    EXPECT_EQ(guard::QueryBrowserWindow("NoSuchBrowserAnywhere"), "");
}

// A guard asks at every attempt: its queries, answered or not, must leave no
// window behind (DDE makes a client window for each connect).
TEST_F(BrowserQuery, QueriesLeaveNoWindowsBehind) {
    {
        FakeBrowserProcess browser("FAKEIE", "da");
        ASSERT_TRUE(browser.Ready());
        ASSERT_EQ(guard::QueryBrowserWindow("FAKEIE"), "da");
        const int before = ProcessWindowCount(::GetCurrentProcessId());
        for (int i = 0; i < 5; ++i) EXPECT_EQ(guard::QueryBrowserWindow("FAKEIE"), "da");
        EXPECT_EQ(ProcessWindowCount(::GetCurrentProcessId()), before) << "answered queries";
    }
    const int before = ProcessWindowCount(::GetCurrentProcessId());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(guard::QueryBrowserWindow("NoSuchBrowserAnywhere"), "");
    EXPECT_EQ(ProcessWindowCount(::GetCurrentProcessId()), before) << "queries that found no browser";
}

TEST(DdeInitErrors, TextsFollowTheErrorCode) {
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_LOW_MEMORY), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04007).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_MEMORY_ERROR), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04008).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_NO_CONV_ESTABLISHED), "DDE-Fehler - Konversation konnte nicht eingerichtet werden ($0400A)");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_DLL_USAGE), "Vom DDE wurde ein Fehler zur\xFC" "ckgegeben ($04004)");
}
