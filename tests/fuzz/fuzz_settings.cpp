// Start-up repair of the settings lines. The input is the registry's start
// page, a NUL, then the settings file. Whatever a damaged file holds, the
// repaired lines have an address and a usable switches line; a damaged file's
// empty or binary address line gives way to the registry's start page; a file
// with sound switches keeps its lines; the registry is read at most once; and
// every switches edit keeps the line usable.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/StoredAddress.h"
#include "app/Switches.h"
#include "framework/StrUtils.h"
#include "framework/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string registry(nul == std::string_view::npos ? std::string_view() : input.substr(0, nul));
    const std::string_view file = nul == std::string_view::npos ? input : input.substr(nul + 1);

    auto lines = sw::SplitTextLines(file);
    const auto before = lines;
    int reads = 0;
    const bool damaged = sw::guard::RepairSettingsLines(lines, [&] {
        ++reads;
        return registry;
    });
    if (reads > 1) std::abort();
    if (lines.size() < 2 || !sw::guard::IsUsableSwitchesLine(lines[1])) std::abort();
    const bool soundSwitches = before.size() >= 2 && sw::guard::IsUsableSwitchesLine(before[1]);
    if (soundSwitches && (damaged || lines != before || reads != 0)) std::abort();
    if (!damaged && before.size() >= 2 && lines != before) std::abort();
    if (before.size() > 2 && !std::equal(before.begin() + 2, before.end(), lines.begin() + 2)) std::abort();
    // Only the user's own choice (sound switches) or the registry itself can
    // leave an empty or binary address to guard.
    const bool unsoundAddress = lines[0].empty() || sw::guard::HoldsControlCharacters(lines[0]);
    if (unsoundAddress && !soundSwitches && lines[0] != registry) std::abort();
    if (!soundSwitches && !before.empty() && lines[0] != before[0] && lines[0] != registry) std::abort();

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
