// Helpers of the Win32-named entry points.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/platform.h"

#include <cstdint>

namespace zt::sys {

// Sets the calling thread's last error (the one way the platform sets it)
// and returns the call's failure value.
template <typename T> T fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

// A "name" below 0x10000 is an integer in a name's place, never a string:
// an atom (MAKEINTATOM), a resource id (MAKEINTRESOURCE), or null.
inline bool is_int_name(LPCWSTR name) {
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

} // namespace zt::sys
