// Published for the program's generated resource tables: the one way a
// program puts data into its own module's resource section. Everything else
// reaches resources through the Win32 calls in zt/platform.h
// (FindResourceW, LoadResource, LockResource, SizeofResource).
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

// Adds a table to the main module; where two entries share type, identifier
// and language, the first registered is the one found. The entries must outlive the program
// (static data). Registering does not boot the platform, so a static
// initialiser may call it. Returns true so that it can initialise a static
// flag; false, adding nothing,
// for a null table with entries or when the section is full.
bool register_resources(const ResourceEntry* entries, std::size_t count);

} // namespace zt::sys
