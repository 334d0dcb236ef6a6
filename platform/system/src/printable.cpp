// Escaping for terminals, shared by the simulator and the queue listener.
#include "zt/sys/printable.h"

#include "zt/sys/unicode.h"

#include <cstdio>

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
        const auto [c, length] = decode_utf8(utf8, i);
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
