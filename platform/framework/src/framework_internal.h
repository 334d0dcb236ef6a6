// Shared state of the framework's own files.
#pragma once

#include "zt/framework.h"

namespace zt::fw {

// The application's main window: the first top-level window created while
// an application object exists. Its end ends the message loop.
HWND main_window();
void set_main_window(HWND hwnd);

// Win32's virtual key of the Home key.
constexpr WPARAM kVirtualKeyHome = 0x24;
// Win32's ERROR_BAD_FORMAT: resource data that is not a readable image.
constexpr DWORD kErrorBadFormat = 11;

} // namespace zt::fw
