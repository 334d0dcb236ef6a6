// The in-memory registry behind RegOpenKeyExW and its companions: what
// hosts seed at boot and what tests reset between cases. The application and
// the libraries see only the Win32 calls in platform.h.
#pragma once

#include "zt/platform.h"

#include <span>
#include <string_view>

namespace zt::sys::registry {

// Win32 results that platform.h does not spell.
constexpr LSTATUS kErrorBadPathname = 161; // ERROR_BAD_PATHNAME: a path that begins with or holds an empty name
constexpr LSTATUS kErrorBadKey = 1010;     // ERROR_BADKEY: no place to put the new key's handle
constexpr LSTATUS kErrorKeyDeleted = 1018; // ERROR_KEY_DELETED: the key went away under an open handle

// Longest key-name segment and value name, in UTF-16 units, as Win32 allows.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
// Deepest key, counted in names from its predefined root, as Win32 allows.
// Win32 documents the limit but not the code a deeper create fails with; the
// path is well formed (so not ERROR_BAD_PATHNAME), and like an over-long
// name it is refused as ERROR_INVALID_PARAMETER, before any key is made.
constexpr std::size_t kMaxKeyDepth = 512;

// Writes a value under one of the predefined roots, making the keys on the
// way. ERROR_SUCCESS or the Win32 error.
LSTATUS set_value(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type,
                  std::span<const BYTE> data);
LSTATUS set_dword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value);

// Removes a key with everything below it. Handles still open on it fail with
// kErrorKeyDeleted from then on. ERROR_FILE_NOT_FOUND when it was not there;
// a predefined root itself cannot be deleted (ERROR_ACCESS_DENIED).
LSTATUS delete_tree(HKEY root, std::u16string_view path);

// Empties every predefined root; open handles are left pointing at deleted keys.
void clear();

} // namespace zt::sys::registry
