#include <gtest/gtest.h>

#include "app/BrowserQuery.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

// Starts the fake browser for a service and waits until it takes conversations.
class FakeBrowserProcess {
public:
    FakeBrowserProcess(const std::string& service, const std::string& reply, const std::string& options = "") {
        replyFile_ = ProgramDir() + "\\reply-" + service + ".bin";
        WriteFileBytes(replyFile_, reply);
        process_ = ChildProcess(ProgramDir() + "\\FakeBrowser.exe --service " + service + " --reply \"" + replyFile_ +
                                "\" " + options);
        ready_ = WaitFor([&] { return Connectable(service); });
    }
    ~FakeBrowserProcess() { RemoveFile(replyFile_); }
    bool Ready() const { return ready_; }

private:
    static HDDEDATA CALLBACK NoCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }
    static bool Connectable(const std::string& service) {
        DWORD probe = 0;
        if (::DdeInitializeA(&probe, NoCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return false;
        HSZ s = ::DdeCreateStringHandleA(probe, service.c_str(), CP_WINANSI);
        HSZ t = ::DdeCreateStringHandleA(probe, "WWW_GetWindowInfo", CP_WINANSI);
        HCONV conv = ::DdeConnect(probe, s, t, nullptr);
        if (conv) ::DdeDisconnect(conv);
        ::DdeFreeStringHandle(probe, s);
        ::DdeFreeStringHandle(probe, t);
        ::DdeUninitialize(probe);
        return conv != nullptr;
    }

    std::string replyFile_;
    ChildProcess process_;
    bool ready_ = false;
};

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

TEST(DdeInitErrors, TextsFollowTheErrorCode) {
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_LOW_MEMORY), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04007).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_MEMORY_ERROR), "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($04008).");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_NO_CONV_ESTABLISHED), "DDE-Fehler - Konversation konnte nicht eingerichtet werden ($0400A)");
    EXPECT_EQ(guard::DdeInitErrorText(DMLERR_DLL_USAGE), "Vom DDE wurde ein Fehler zur\xFC" "ckgegeben ($04004)");
}
