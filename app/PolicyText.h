// Policy values that set or lock Internet Explorer's start page over the
// user's own: "Start Page" under ...\Policies\Microsoft\Internet Explorer\Main
// sets it, "HomePage" = 1 under ...\Control Panel and "NoSetHomePage" = 1
// under ...\Restrictions lock the home page settings; each under
// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE. Only an administrator can write or
// remove them, so the guard never touches them: it says that they stand.
// What a log line, a report and the window say of them. No Windows
// dependency.
#pragma once

#include <string>
#include <vector>

#include "framework/CodePage.h"

namespace sw::guard {

struct TPolicyValue {
    bool machine = false;  // under HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER
    std::string key;       // below the hive
    std::string value;     // the value's name
    bool lock = false;     // a lock (DWORD 1); else the policy's start page
    std::string data;      // the start page's stored form; "1" for a lock

    bool operator==(const TPolicyValue&) const = default;
};

// The values that the guard looks for, in the order it reports them.
struct TPolicyPlace {
    const char* key;
    const char* value;
    bool lock;
};
const std::vector<TPolicyPlace>& PolicyPlaces();

std::string PolicyHive(const TPolicyValue& policy);
// The offender of its log line: that a policy did it, and under which hive.
std::string PolicyOffender(const TPolicyValue& policy);
// The rejected value of its log line: the policy's start page as a rejected
// address is shown, or the lock.
std::string PolicyShown(const TPolicyValue& policy, const AnsiCodePage& codePage);
// The report: what the policy does, which value where, and that only an
// administrator can remove it; lines separated by CR as the attempt's report.
std::string PolicyReport(const TPolicyValue& policy, const AnsiCodePage& codePage);
// The window's warning line while policies stand; empty for none.
std::string PolicyWarning(const std::vector<TPolicyValue>& standing);

}  // namespace sw::guard
