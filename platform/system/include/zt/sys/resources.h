// Resources carried inside the program, as a resource section would carry
// them: (module, type, id, language) -> bytes. Tables register themselves
// through the published zt/resources.h; this adds what the platform itself
// and its tests use.
#pragma once

#include "zt/platform.h"
#include "zt/resources.h"

namespace zt::sys {

// The program's own module: what GetModuleHandleW(NULL) returns.
HMODULE main_module();

} // namespace zt::sys
