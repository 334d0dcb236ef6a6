// UTF-16 and UTF-8 conversions and case-blind comparison of names.
#include "zt/sys/unicode.h"

#include <cstdint>

namespace zt::sys {

std::size_t wide_length(LPCWSTR text) {
    std::size_t n = 0;
    if (text != nullptr)
        while (text[n] != 0)
            ++n;
    return n;
}

void encode_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = decode_utf16(text, i);
        encode_utf8(out, is_surrogate(c) ? 0xFFFD : c);
    }
    return out;
}

namespace {

// The code point of the UTF-8 sequence at text[i] and its length; a
// malformed or cut sequence is U+FFFD of length 1.
std::pair<char32_t, std::size_t> decode_utf8(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::uint32_t c = 0;
    std::size_t len = 0;
    if (b < 0x80) {
        return {b, 1};
    } else if ((b & 0xE0) == 0xC0) {
        len = 2;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        c = b & 0x07;
    }
    if (len == 0 || i + len > text.size())
        return {0xFFFD, 1};
    for (std::size_t k = 1; k < len; ++k) {
        const auto cont = static_cast<unsigned char>(text[i + k]);
        if ((cont & 0xC0) != 0x80)
            return {0xFFFD, 1};
        c = (c << 6) | (cont & 0x3F);
    }
    return {c, len};
}

char16_t fold(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 0x20);
    return c;
}

} // namespace

std::u16string to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto [c, len] = decode_utf8(text, i);
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace zt::sys
