// Escaping for terminals, shared by the simulator and the queue listener.
#include "zt/sys/printable.h"

#include "zt/sys/unicode.h"

#include <cstdio>
#include <utility>

namespace zt::sys {

namespace {

// A character below 0x80, or a byte, as \xNN; any other as \uNNNN.
void append_escaped(std::string& out, unsigned value, bool byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, byte || value < 0x80 ? "\\x%02x" : "\\u%04x", value);
    out += escaped;
}

// Appends `c` as it should show; `quoted` when the caller quotes with it.
void append_shown(std::string& out, char32_t c, bool quoted) {
    if (c == U'\\' || quoted) {
        out += '\\';
        out += static_cast<char>(c);
    } else if (must_escape(c)) {
        append_escaped(out, static_cast<unsigned>(c), false);
    } else {
        encode_utf8(out, c);
    }
}

// The code point of the well-formed UTF-8 sequence at text[i] and its
// length; a length of 0 when there is none there (a stray or missing
// continuation byte, an overlong form, a surrogate, past U+10FFFF).
std::pair<char32_t, std::size_t> next_code_point(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size())
        return {0, 0};
    char32_t c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return {0, 0};
        c = (c << 6) | (next & 0x3F);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (c < least || is_surrogate(c) || c > 0x10FFFF)
        return {0, 0};
    return {c, length};
}

} // namespace

bool must_escape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string printable(std::u16string_view text, std::u16string_view quotes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = decode_utf16(text, i);
        const bool quoted = c < 0x80 && quotes.find(static_cast<char16_t>(c)) != std::u16string_view::npos;
        append_shown(out, is_surrogate(c) ? 0xFFFD : c, quoted);
    }
    return out;
}

std::string printable(std::string_view utf8, std::string_view quotes) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, length] = next_code_point(utf8, i);
        if (length == 0) {
            append_escaped(out, static_cast<unsigned char>(utf8[i++]), true);
            continue;
        }
        const bool quoted = c < 0x80 && quotes.find(static_cast<char>(c)) != std::string_view::npos;
        append_shown(out, c, quoted);
        i += length;
    }
    return out;
}

} // namespace zt::sys
