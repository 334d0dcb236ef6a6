// PNG images to and from pixel surfaces.
#pragma once

#include "zt/gfx/surface.h"

#include <cstddef>
#include <optional>
#include <string>

namespace zt::gfx {

// Decodes any PNG (palette, grey, RGB, with or without alpha, 8 or 16 bits,
// interlaced or not) into 0xAARRGGBB pixels. Nothing for data that is not a
// valid PNG or too large.
std::optional<Surface> decode_png(const void* data, std::size_t size);

// Writes the surface as an 8-bit RGBA PNG. On failure returns false and, when
// `error` is given, says which path and why.
bool write_png(const Surface& surface, const std::string& path, std::string* error);

// Removes the hidden temporary file of every write_png still under way (up
// to eight at once). Safe in a signal handler: a program that ends on a
// signal calls it first, so that a write cut short leaves nothing behind.
void remove_partial_pngs() noexcept;

} // namespace zt::gfx
