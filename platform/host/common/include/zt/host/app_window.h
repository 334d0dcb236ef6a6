// Finding the application's window from a host.
#pragma once

#include "zt/platform.h"

namespace zt::host {

// The first top-level window of the calling thread: on the thread that runs
// the application's loop, the application's window (the shell's windows live
// on a thread of their own). Null when there is none.
HWND application_window();

} // namespace zt::host
