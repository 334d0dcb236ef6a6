// The platform's side of the host interface that the Win32 surface calls.
#pragma once

#include "zt/platform.h"

namespace zt::host {

// Asks the test hook (if one is set) whether RegisterWindowMessageW may go
// on with `name`. True when no hook is set.
bool registration_allowed(LPCWSTR name);

} // namespace zt::host
