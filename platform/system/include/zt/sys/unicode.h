// UTF-16 as the Win32 calls carry it, and UTF-8 as hosts, traces and the
// file system want it: one decoder, one encoder, for the whole platform.
#pragma once

#include "zt/platform.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace zt::sys {

constexpr bool is_surrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The code point at text[i], moving i past it. A surrogate without its pair
// stands for itself.
constexpr char32_t decode_utf16(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    return unit;
}

// Appends one code point as UTF-8; surrogates are written like any other
// code point below 0x10000.
void encode_utf8(std::string& out, char32_t c);

// The code point of the well-formed UTF-8 sequence at text[i] (i below
// text.size()) and its length; a length of 0 when there is none there (a
// stray or missing continuation byte, an overlong form, a surrogate, past
// U+10FFFF).
std::pair<char32_t, std::size_t> decode_utf8(std::string_view text, std::size_t i);

// UTF-16 <-> UTF-8 at the host boundary. A lone surrogate becomes U+FFFD,
// as does each byte of what is not well-formed UTF-8.
std::string to_utf8(std::u16string_view text);
std::u16string to_utf16(std::string_view text);

// Length of a NUL-terminated wide string (0 for null).
std::size_t wide_length(LPCWSTR text);
// A NUL-terminated wide string as a view; null gives an empty view.
inline std::u16string_view view(LPCWSTR text) {
    return text ? std::u16string_view(text, wide_length(text)) : std::u16string_view();
}

// Win32 compares class and key names without regard to case (ASCII and Latin).
bool equal_ignore_case(std::u16string_view a, std::u16string_view b);
// `text` with the letters equal_ignore_case matches folded alike: a key under
// which names that match share one place in an index.
std::u16string fold_case(std::u16string_view text);

} // namespace zt::sys
