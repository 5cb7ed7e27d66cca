// The browser's start when no browser answers the query: where the system's
// own search path finds its program, and its start, minimised and not
// activated, with the query's topic as its command line. Paths go through
// the wide calls: a folder under a user name that the ANSI code page lacks
// is found and started as it is.
#pragma once

#include <string>

namespace sw::guard {

// The full path of the program `name` (".EXE" added when it has no
// extension) in the system directory, the Windows directory or a folder of
// PATH, never in this program's own folder or the current folder; empty
// when there is none there, or when `name` holds a path.
std::wstring FindSystemProgram(const std::wstring& name);

// Runs "<program of service> <topic>" as FindSystemProgram finds the
// program, minimised and not activated (SW_SHOWMINNOACTIVE). True when it
// started; where no program is found, nothing starts.
bool StartBrowserProgram(const std::string& service, const std::string& topic);

}  // namespace sw::guard
