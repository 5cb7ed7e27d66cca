// The settings' switches line and the start-up repair of the settings lines.
// Position 1: log switch, position 2: report switch ("1" = on), from
// position 3: the maximum number of log entries in decimal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sw::guard {

bool SwitchIsOn(const std::string& line, size_t position);  // position counts from 1

std::string WithLogSwitch(const std::string& line, bool on);
std::string WithReportSwitch(const std::string& line, bool on);
std::string WithMaximum(const std::string& line, int32_t maximum);

// A switches line the start can use: at least three characters, the part
// from position 3 an integer.
bool IsUsableSwitchesLine(const std::string& line);

// The start-up repair of lines read from the settings file. With no line, the
// fallback address becomes line 1; a missing switches line is appended as
// "11100"; an unusable switches line is replaced by "11100". Returns true when
// the file counts as damaged (no line at all, or an unusable switches line).
bool RepairSettingsLines(std::vector<std::string>& lines, const std::string& fallbackAddress);

// Log trim: how many of `count` lines go so that the newest `maximum` stay.
int LinesToTrim(int count, int32_t maximum);

}  // namespace sw::guard
