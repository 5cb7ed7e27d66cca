// The extra start pages ("Secondary Start Pages"): how the settings keep
// them, how the registry's list is read and made, and the guard cycle that
// undoes a foreign change of them.
#include "GuardFixture.h"
#include "app/SecondaryPages.h"
#include "app/StartPage.h"
#include "app/Switches.h"

using namespace sw;
using namespace sw::guard;
using namespace sw::test;
using Lines = std::vector<std::string>;

namespace {

const std::string kOffline = "Ein Offline-B\xF6sewicht";
constexpr const char* kPagesValue = "Secondary Start Pages";
constexpr const char* kGuardedKey = "Software\\Microsoft\\Internet Explorer\\Main";

// A REG_MULTI_SZ (or any type) written in UTF-16, as a program using the
// wide calls writes it.
void SetPagesValue(const std::u16string& data, DWORD type = REG_MULTI_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kGuardedKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    ::RegSetValueExW(key, L"Secondary Start Pages", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * 2));
    ::RegCloseKey(key);
}

// The value's type and data as UTF-16; nothing when missing.
std::optional<std::pair<DWORD, std::u16string>> PagesValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kGuardedKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::pair<DWORD, std::u16string>> result;
    if (::RegQueryValueExW(key, L"Secondary Start Pages", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::u16string data(size / 2, u'\0');
        ::RegQueryValueExW(key, L"Secondary Start Pages", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        result.emplace(type, data);
    }
    ::RegCloseKey(key);
    return result;
}

std::u16string Multi(std::initializer_list<std::u16string> pages) { return MultiStringOf(pages); }

}  // namespace

TEST(SecondaryPages, TheSettingsBlockIsFoundPutAndKeepsTheLinesBesideIt) {
    EXPECT_EQ(PagesOfSettings({"x", "11100"}), std::nullopt) << "a file of an earlier version";
    EXPECT_EQ(PagesOfSettings({"x", "11100", "fremd"}), std::nullopt);
    EXPECT_EQ(PagesOfSettings({"x", "11100", "[Weitere Startseiten] 0"}), TPages{});
    EXPECT_EQ(PagesOfSettings({"x", "11100", "fremd", "[Weitere Startseiten] 2", "a", "b", "danach"}),
              (TPages{"a", "b"}));
    // A block cut short holds the lines that are there.
    EXPECT_EQ(PagesOfSettings({"x", "11100", "[Weitere Startseiten] 3", "a"}), TPages{"a"});
    // The marker counts only from the third line and only with a number.
    EXPECT_EQ(PagesOfSettings({"[Weitere Startseiten] 1", "11100", "a"}), std::nullopt);
    EXPECT_EQ(PagesOfSettings({"x", "11100", "[Weitere Startseiten] zwei", "a"}), std::nullopt);
    EXPECT_EQ(PagesOfSettings({"x", "11100", "[Weitere Startseiten]", "a"}), std::nullopt);

    const struct {
        Lines in;
        TPages pages;
        Lines out;
    } cases[] = {
        {{"x", "11100"}, {"a", "b"}, {"x", "11100", "[Weitere Startseiten] 2", "a", "b"}},
        {{"x", "11100", "fremd"}, {}, {"x", "11100", "fremd", "[Weitere Startseiten] 0"}},
        {{"x", "11100", "vor", "[Weitere Startseiten] 2", "a", "b", "nach"},
         {"c"},
         {"x", "11100", "vor", "[Weitere Startseiten] 1", "c", "nach"}},
        {{"x", "11100", "[Weitere Startseiten] 0", "nach"},
         {"a", "b"},
         {"x", "11100", "[Weitere Startseiten] 2", "a", "b", "nach"}},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        PutPagesIntoSettings(lines, c.pages);
        EXPECT_EQ(lines, c.out);
        EXPECT_EQ(PagesOfSettings(lines), c.pages);
    }
}

TEST(SecondaryPages, TheRegistrysListIsSplitAsTheSystemReadsIt) {
    using W = std::vector<std::u16string>;
    const struct {
        std::u16string data;
        W pages;
    } cases[] = {
        {u"", {}},
        {std::u16string(1, u'\0'), {}},
        {std::u16string(u"a\0\0", 3), {u"a"}},
        {std::u16string(u"a\0b\0\0", 5), {u"a", u"b"}},
        {std::u16string(u"a\0b", 3), {u"a", u"b"}},  // the last NULs missing
        {std::u16string(u"a\0\0b\0\0", 6), {u"a"}},  // the list ends at the empty string
    };
    for (const auto& c : cases) EXPECT_EQ(SplitMultiString(c.data), c.pages);
    EXPECT_EQ(MultiStringOf({u"a", u"b"}), std::u16string(u"a\0b\0\0", 5));
    EXPECT_EQ(MultiStringOf({}), std::u16string(1, u'\0'));

    EXPECT_EQ(PagesOfFieldText(u"a\r\nb\nc\rd"), (W{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(PagesOfFieldText(u"\r\n a \r\n\r\n"), W{u" a "}) << "empty lines are no page; blanks are kept";
    EXPECT_EQ(PagesOfFieldText(u""), W{});
    EXPECT_EQ(FieldTextOfPages({u"a", u"b"}), u"a\r\nb");
}

TEST(SecondaryPages, ShownJoinedWithEachPageShownAsARejectedAddress) {
    EXPECT_EQ(ShownPages({}, Cp1252()), "Weitere Startseiten: (keine)");
    EXPECT_EQ(ShownPages({"http://a/"}, Cp1252()), "Weitere Startseiten: http://a/");
    EXPECT_EQ(ShownPages({"http://a/", "\xEF\xBB\xBFhttp://g\xC5\x8Dgle/", "file:///C|/x.html"}, Cp1252()),
              "Weitere Startseiten: http://a/ | http://g%C5%8Dgle/ | file:///C|/x.html");
}

namespace {

class PagesTick : public GuardFixture {
protected:
    // Settings of this version with the protected pages `pages`.
    void Start(const TPages& pages, const std::string& switches = "10100") {
        Lines lines = {"about:blank", switches};
        PutPagesIntoSettings(lines, pages);
        std::string file;
        for (const std::string& line : lines) file += line + "\r\n";
        WriteFileBytes(SettingsPath(), file);
        // The registry holds them, as the start page holds its address.
        if (!pages.empty()) SetPagesValue(MultiStringOf(PagesOfStored(pages, Cp1252())));
        guard.LoadAtStart();
        view.TimerSwitches.clear();
        view.Messages.clear();
    }
    static std::string Line(const std::string& shown) { return "08.12.2026 21:40:05>>" + kOffline + " >>Startpage:" + shown; }
};

}  // namespace

TEST_F(PagesTick, EveryForeignChangeOfTheListIsUndoneAndLoggedOnce) {
    const std::u16string protectedList = Multi({u"http://a/", u"http://b/"});
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::string shown;
    } cases[] = {
        {"a page added", [] { SetPagesValue(Multi({u"http://a/", u"http://b/", u"http://evil/"})); },
         "Weitere Startseiten: http://a/ | http://b/ | http://evil/"},
        {"a page removed", [] { SetPagesValue(Multi({u"http://a/"})); }, "Weitere Startseiten: http://a/"},
        {"a page changed", [] { SetPagesValue(Multi({u"http://a/", u"http://B/"})); },
         "Weitere Startseiten: http://a/ | http://B/"},
        {"the order changed", [] { SetPagesValue(Multi({u"http://b/", u"http://a/"})); },
         "Weitere Startseiten: http://b/ | http://a/"},
        {"a look-alike", [] { SetPagesValue(Multi({u"http://\u0430/", u"http://b/"})); },
         "Weitere Startseiten: http://%D0%B0/ | http://b/"},
        {"the value deleted", [] { DeleteValue(HKEY_CURRENT_USER, kMainKey, kPagesValue); },
         "Weitere Startseiten: (keine)"},
        {"emptied", [] { SetPagesValue(Multi({})); }, "Weitere Startseiten: (keine)"},
        {"the same text as a string", [] { SetPagesValue(std::u16string(u"http://a/\0", 10), REG_SZ); },
         "Weitere Startseiten: http://a/"},
        {"binary", [&] { SetPagesValue(protectedList, REG_BINARY); }, "Weitere Startseiten: (keine)"},
    };
    Start({"http://a/", "http://b/"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.LogList.Clear();
        c.arrange();
        guard.Tick();
        EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), protectedList));
        EXPECT_EQ(view.LogList.Lines(), Lines{Line(c.shown)});
        EXPECT_EQ(ReadFileBytes(LogPath()), Line(c.shown) + "\r\n");
        EXPECT_EQ(StartPageText(), "about:blank");
        guard.Tick();
        EXPECT_EQ(view.LogList.Count(), 1) << "once each";
    }
}

// The same page written as a string is another value than the protected
// list: it is put back as the list.
TEST_F(PagesTick, TheSamePageStoredWithAnotherTypeIsAnAttempt) {
    Start({"http://a/"});
    for (const DWORD type : {DWORD(REG_SZ), DWORD(REG_EXPAND_SZ)}) {
        SCOPED_TRACE(type);
        view.LogList.Clear();
        SetPagesValue(std::u16string(u"http://a/\0", 10), type);
        guard.Tick();
        EXPECT_EQ(view.LogList.Lines(), Lines{Line("Weitere Startseiten: http://a/")});
        EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), Multi({u"http://a/"})));
    }
}

TEST_F(PagesTick, WithNoPagesProtectedOnlyAValueThatHoldsPagesIsAnAttempt) {
    Start({});
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool attempt;
    } cases[] = {
        {"missing", [] { DeleteValue(HKEY_CURRENT_USER, kMainKey, kPagesValue); }, false},
        {"an empty list", [] { SetPagesValue(Multi({})); }, false},
        {"a page", [] { SetPagesValue(Multi({u"http://evil/"})); }, true},
        {"a string", [] { SetPagesValue(std::u16string(u"http://evil/\0", 13), REG_SZ); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.LogList.Clear();
        RemoveFile(LogPath());
        c.arrange();
        const auto before = PagesValue();
        guard.Tick();
        EXPECT_EQ(view.LogList.Count(), c.attempt ? 1 : 0);
        if (c.attempt) {
            EXPECT_EQ(PagesValue(), std::nullopt) << "no pages: the value goes";
            EXPECT_EQ(view.LogList[0], Line("Weitere Startseiten: http://evil/"));
        } else {
            EXPECT_EQ(PagesValue(), before) << "an idle tick writes nothing";
            EXPECT_EQ(ReadFileBytes(LogPath()), std::nullopt) << "an idle tick touches no file";
        }
    }
}

TEST_F(PagesTick, BothValuesChangedAreTwoAttemptsReportedAndAskedForEach) {
    Start({"http://a/"}, "11100");
    int queries = 0;
    BrowserAnswersAtOnce("\"Fenster\"");
    const auto answer = guard.StartQuery;
    guard.StartQuery = [&](const std::string& service) {
        ++queries;
        return answer(service);
    };
    SetStartPage("about:fremd");
    SetPagesValue(Multi({u"http://evil/"}));
    guard.Tick();
    EXPECT_EQ(StartPageText(), "about:blank");
    EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), Multi({u"http://a/"})));
    const std::string time = "08.12.2026 21:40:05>>\"Fenster\" >>Startpage:";
    EXPECT_EQ(view.LogList.Lines(), (Lines{time + "Weitere Startseiten: http://evil/", time + "about:fremd"}));
    ASSERT_EQ(view.Messages.size(), 2u);
    EXPECT_EQ(view.Messages[1], "\"Fenster\"\rhat versucht, folgende Start-URL einzutragen:\rWeitere Startseiten: "
                                "http://evil/\r...URL korrigiert");
    EXPECT_EQ(queries, 1) << "asked once for both";
}

TEST_F(PagesTick, TheUsersOwnPagesAreWrittenAtOnceAndKept) {
    Start({"http://a/"});
    view.SetPagesText({"http://frueh/"});
    EXPECT_EQ(guard.ProtectedPages, TPages{"http://a/"});
    EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), Multi({u"http://a/"}))) << "not before the first show";

    guard.WindowShown = true;
    view.SetPagesText({"http://x/", "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/"});
    EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), Multi({u"http://x/", u"http://\u4F8B/"})));
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              "about:blank\r\n10100\r\n[Weitere Startseiten] 2\r\nhttp://x/\r\n\xEF\xBB\xBFhttp://\xE4\xBE\x8B/\r\n");
    EXPECT_EQ(view.TimerSwitches, (std::vector<bool>{false, true})) << "no cycle between the write and the pages";
    guard.Tick();
    EXPECT_EQ(view.LogList.Count(), 0) << "the user's change is no attempt";

    view.SetPagesText({});
    EXPECT_EQ(PagesValue(), std::nullopt);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:blank\r\n10100\r\n[Weitere Startseiten] 0\r\n");
}

// The first start of this version over a settings file of the earlier one:
// the pages then set are taken as protected, whatever type holds them, and
// kept below the lines the file had.
TEST_F(PagesTick, AtTheFirstStartOfThisVersionThePagesThenSetAreProtected) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        TPages pages;
    } cases[] = {
        {"a list", [] { SetPagesValue(Multi({u"http://a/", u"http://\u4F8B/"})); },
         {"http://a/", "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/"}},
        {"none", [] {}, {}},
        {"a string", [] { SetPagesValue(std::u16string(u"http://a/\0", 10), REG_SZ); }, {"http://a/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteValue(HKEY_CURRENT_USER, kMainKey, kPagesValue);
        c.arrange();
        WriteFileBytes(SettingsPath(), "about:blank\r\n00100\r\nfremde Zeile\r\n");
        FakeView fresh;
        TGuard started(fresh);
        fresh.Guard = &started;
        started.IsOnline = [] { return false; };
        started.LoadAtStart();
        EXPECT_EQ(started.ProtectedPages, c.pages);
        EXPECT_EQ(fresh.Pages, c.pages) << "the field shows them";
        Lines expected = {"about:blank", "00100", "fremde Zeile"};
        PutPagesIntoSettings(expected, c.pages);
        EXPECT_EQ(ReadFileBytes(SettingsPath()), TStringList(expected).ToText());
        started.Tick();
        EXPECT_EQ(fresh.LogList.Count(), 0) << "nothing foreign at the start";
        if (!c.pages.empty()) {
            EXPECT_EQ(PagesValue(), std::make_pair(DWORD(REG_MULTI_SZ), MultiStringOf(PagesOfStored(c.pages, Cp1252()))));
        }
    }
}

// A settings file written by this version in the earlier one: that version
// repairs the lines it reads (keeping every line from the third on), edits
// only its first two lines and writes the whole list back. Its own steps,
// applied here, leave the block as it was, and this version reads it again.
TEST_F(PagesTick, ASettingsFileOfThisVersionLosesNothingInTheEarlierOneAndBack) {
    Start({"http://a/", "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/"});
    const std::string written = ReadFileBytes(SettingsPath()).value();

    TStringList earlier;
    earlier.LoadFromFile(SettingsPath());
    std::vector<std::string> lines = earlier.Lines();
    EXPECT_FALSE(RepairSettingsLines(lines, [] { return std::string("registry"); })) << "no damage to repair";
    lines[0] = "about:andere";
    lines[1] = WithMaximum(WithReportSwitch(WithLogSwitch(lines[1], true), true), 5);
    TStringList(lines).SaveToFile(SettingsPath());

    EXPECT_EQ(ReadFileBytes(SettingsPath()), "about:andere\r\n115\r\n" + written.substr(written.find("[Weitere")));
    FakeView later;
    TGuard again(later);
    later.Guard = &again;
    again.LoadAtStart();
    EXPECT_EQ(again.ProtectedUrl, "about:andere");
    EXPECT_EQ(again.ProtectedPages, (TPages{"http://a/", "\xEF\xBB\xBFhttp://\xE4\xBE\x8B/"}));
}
