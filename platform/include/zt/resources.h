// Published for the program's generated resource table: how a program puts
// data into its own module's resource section. Everything else reaches
// resources through the Win32 calls in zt/platform.h (FindResourceW,
// LoadResource, LockResource, SizeofResource).
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

// A table of entries, as the program's resource section.
struct ResourceSection {
    const ResourceEntry* entries;
    std::size_t count;
};

// Adds a table to the main module after the program's own section; where
// two entries share type, identifier and language, the first registered is
// the one found. The entries must outlive the program (static data).
// Registering does not boot the platform. Returns false, adding nothing,
// for a null table with entries or when the section is full.
bool register_resources(const ResourceEntry* entries, std::size_t count);

} // namespace zt::sys

// The program's own resource section, which the build's generated table
// defines (constinit): constant data, there before any code runs, so a
// lookup from any static initialiser finds it, whatever the order in which
// the program's files are initialised. A program without resources defines
// none and has an empty section.
extern "C" const zt::sys::ResourceSection zt_program_resources;
