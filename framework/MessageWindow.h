#pragma once

#include <windows.h>

#include "Handles.h"

namespace sw {

// A hidden message-only window of the class `className` (registered with
// `windowProc` on first use) whose GWLP_USERDATA holds `owner`: the way a
// component that is no control receives its own messages on the main thread.
WindowHandle NewMessageWindow(const char* className, WNDPROC windowProc, void* owner);

}  // namespace sw
