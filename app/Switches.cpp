#include "Switches.h"

#include "GuardTexts.h"
#include "StoredAddress.h"
#include "framework/StrUtils.h"

namespace sw::guard {

namespace {

std::string RestFrom(const std::string& line, size_t position) {
    return line.size() >= position ? line.substr(position - 1) : std::string();
}

}  // namespace

bool SwitchIsOn(const std::string& line, size_t position) {
    return line.size() >= position && line[position - 1] == '1';
}

std::string WithLogSwitch(const std::string& line, bool on) {
    std::string result(1, on ? '1' : '0');
    result.append(RestFrom(line, 2));
    return result;
}

std::string WithReportSwitch(const std::string& line, bool on) {
    std::string result = line.substr(0, 1);
    result.push_back(on ? '1' : '0');
    result.append(RestFrom(line, 3));
    return result;
}

std::string WithMaximum(const std::string& line, int32_t maximum) {
    std::string result = line.substr(0, 2);
    result.append(IntToStr(maximum));
    return result;
}

bool IsUsableSwitchesLine(const std::string& line) {
    return line.size() >= 3 && TryStrToInt(std::string_view(line).substr(2)).has_value();
}

bool RepairSettingsLines(std::vector<std::string>& lines, const std::function<std::string()>& registryStartPage) {
    const bool soundSwitches = lines.size() >= 2 && IsUsableSwitchesLine(lines[1]);
    bool damaged = false;
    if (lines.empty()) {
        lines.push_back(registryStartPage());
        damaged = true;
    } else if (!soundSwitches && (lines[0].empty() || HoldsControlCharacters(lines[0]))) {
        // Guarding such a line would write it over the user's start page.
        lines[0] = registryStartPage();
        damaged = true;
    }
    if (lines.size() == 1) lines.emplace_back(DefaultSwitches);
    if (!IsUsableSwitchesLine(lines[1])) {
        lines[1] = DefaultSwitches;
        damaged = true;
    }
    return damaged;
}

int LinesToTrim(int count, int32_t maximum) {
    if (maximum < 0) maximum = 0;
    return count > maximum ? count - maximum : 0;
}

}  // namespace sw::guard
