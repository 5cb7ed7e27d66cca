// The program's modal message windows.
#pragma once

#include <windows.h>

#include <string>

namespace sw {

// A message box centred on the screen instead of on its owner.
int CentredMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// The message window: the application title as caption, no icon, one OK
// button, centred on the screen, modal to the main form while that is on
// screen (so it stays above a main form that stays on top).
void ShowMessage(const std::string& text);

}  // namespace sw
