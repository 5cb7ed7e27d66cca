#include "PolicyText.h"

#include "StoredAddress.h"

namespace sw::guard {

namespace {

constexpr const char* kAdministratorOnly = "Nur ein Administrator kann diese Richtlinie entfernen; Startwacht "
                                           "ändert sie nicht.";

}  // namespace

const std::vector<TPolicyPlace>& PolicyPlaces() {
    static const std::vector<TPolicyPlace> places = {
        {"Software\\Policies\\Microsoft\\Internet Explorer\\Main", "Start Page", false},
        {"Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "HomePage", true},
        {"Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", "NoSetHomePage", true},
    };
    return places;
}

std::string PolicyHive(const TPolicyValue& policy) {
    return policy.machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string PolicyOffender(const TPolicyValue& policy) { return "Eine Richtlinie (" + PolicyHive(policy) + ")"; }

std::string PolicyShown(const TPolicyValue& policy, const AnsiCodePage& codePage) {
    if (policy.lock) return "Sperre der Startseite (" + policy.value + " = " + policy.data + ")";
    return DisplayedAddress(policy.data, codePage);
}

std::string PolicyReport(const TPolicyValue& policy, const AnsiCodePage& codePage) {
    const std::string where = "Wert \"" + policy.value + "\"" + (policy.lock ? " = " + policy.data : "") +
                              " unter " + PolicyHive(policy) + "\\" + policy.key;
    if (policy.lock)
        return "Eine Richtlinie sperrt die Startseite des Internet Explorers:\r" + where + "\r" + kAdministratorOnly;
    return "Eine Richtlinie setzt die Startseite des Internet Explorers auf:\r" +
           DisplayedAddress(policy.data, codePage) + "\r" + where + "\r" + kAdministratorOnly;
}

std::string PolicyWarning(const std::vector<TPolicyValue>& standing) {
    if (standing.empty()) return {};
    bool sets = false, locks = false;
    for (const TPolicyValue& policy : standing) (policy.lock ? locks : sets) = true;
    if (standing.size() == 1)
        return std::string("Achtung: Eine Richtlinie ") + (sets ? "setzt" : "sperrt") +
               " die Startseite. Nur ein Administrator kann sie entfernen.";
    const char* verb = sets && locks ? "setzen und sperren" : sets ? "setzen" : "sperren";
    return std::string("Achtung: Richtlinien ") + verb + " die Startseite. Nur ein Administrator kann sie entfernen.";
}

}  // namespace sw::guard
