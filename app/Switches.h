// The settings' switches line and the start-up repair of the settings lines.
// Position 1: log switch, position 2: report switch ("1" = on), from
// position 3: the maximum number of log entries in decimal.
#pragma once

#include <cstdint>
#include <functional>
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

// The start-up repair of lines read from the settings file. With no line,
// the registry's start page becomes line 1. A file without a usable switches
// line is damaged: its switches line becomes "11100" (appended when missing),
// and an address line that is empty or holds control characters is no
// address the user chose: the registry's start page takes its place too. A
// file with a usable switches line keeps its first line as it is, empty or
// not. A file of one sound address line only gets "11100" silently. Returns
// true when the file counts as damaged. The registry is read only when a
// line needs it.
bool RepairSettingsLines(std::vector<std::string>& lines, const std::function<std::string()>& registryStartPage);

// Log trim: how many of `count` lines go so that the newest `maximum` stay.
int LinesToTrim(int count, int32_t maximum);

}  // namespace sw::guard
