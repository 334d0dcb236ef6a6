// Resources carried inside the program, as a resource section would carry
// them: (module, type, id, language) -> bytes. Tables register themselves
// from static initialisers; registering does not boot the platform.
#pragma once

#include "zt/platform.h"

#include <cstddef>

namespace zt::sys {

struct ResourceEntry {
    WORD type;     // e.g. 10 (RT_RCDATA)
    WORD id;       // integer identifier
    WORD language; // e.g. 2052 (0x0804)
    const unsigned char* data;
    std::size_t size;
};

// The program's own module: what GetModuleHandleW(NULL) returns.
HMODULE main_module();

// Adds a table to the main module. The entries must outlive the program
// (static data). Returns true so that it can initialise a static flag.
bool register_resources(const ResourceEntry* entries, std::size_t count);

} // namespace zt::sys
