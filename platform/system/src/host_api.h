// The platform's side of the host interface that the Win32 surface calls.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/platform.h"

namespace zt::host {

// Asks the test hook (if one is set) whether RegisterWindowMessageW may go
// on with `name`. True when no hook is set.
bool registration_allowed(LPCWSTR name);

} // namespace zt::host
