// Start-up repair of the settings lines: whatever a damaged file holds, the
// repaired lines have an address and a usable switches line, the start can
// read both switches and the maximum, and every switches edit keeps the line
// usable.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/Switches.h"
#include "framework/StrUtils.h"
#include "framework/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto lines = sw::SplitTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto before = lines;
    const bool damaged = sw::guard::RepairSettingsLines(lines, "about:fallback");
    if (lines.size() < 2 || !sw::guard::IsUsableSwitchesLine(lines[1])) std::abort();
    if (!damaged && before.size() >= 2 && lines != before) std::abort();
    if (before.size() > 2 && !std::equal(before.begin() + 2, before.end(), lines.begin() + 2)) std::abort();

    std::string line = lines[1];
    (void)sw::guard::SwitchIsOn(line, 1);
    (void)sw::guard::SwitchIsOn(line, 2);
    const int32_t maximum = sw::StrToInt(line.substr(2));
    line = sw::guard::WithLogSwitch(line, maximum % 2 == 0);
    line = sw::guard::WithReportSwitch(line, maximum % 3 == 0);
    line = sw::guard::WithMaximum(line, maximum);
    if (!sw::guard::IsUsableSwitchesLine(line)) std::abort();
    if (sw::guard::LinesToTrim(static_cast<int>(size), maximum) < 0) std::abort();
    return 0;
}
