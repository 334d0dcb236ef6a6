// Wide text: formatted print, the debug print, UTF conversions.
#include "zt/platform.h"
#include "zt/sys/debug_output.h"
#include "zt/sys/kernel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zt::sys {

std::size_t wide_length(LPCWSTR text) {
    std::size_t n = 0;
    if (text != nullptr)
        while (text[n] != 0)
            ++n;
    return n;
}

std::string to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate
        }
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
    return out;
}

std::u16string to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            c = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            c = b & 0x07;
        } else {
            len = 0;
        }
        if (len == 0 || i + len > text.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80)
                ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        i += ok ? len : 1;
        if (!ok)
            c = 0xFFFD;
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

static char16_t fold(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 0x20);
    return c;
}

bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

namespace {

void append_ascii(std::u16string& out, const char* text) {
    while (*text != 0)
        out += static_cast<char16_t>(static_cast<unsigned char>(*text++));
}

// Pads a converted string field as printf would for %s with width and
// precision (the precision cuts, the width pads with spaces).
void append_padded(std::u16string& out, std::u16string_view text, bool left, int width, int precision) {
    if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
        text = text.substr(0, static_cast<std::size_t>(precision));
    const int pad = width > static_cast<int>(text.size()) ? width - static_cast<int>(text.size()) : 0;
    if (!left)
        out.append(static_cast<std::size_t>(pad), u' ');
    out.append(text);
    if (left)
        out.append(static_cast<std::size_t>(pad), u' ');
}

} // namespace

std::u16string format_wide(LPCWSTR format, std::va_list args) {
    std::u16string out;
    if (format == nullptr)
        return out;
    for (LPCWSTR p = format; *p != 0; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        LPCWSTR start = p++;
        std::string conversion = "%";
        bool left = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            left = left || *p == u'-';
            conversion += static_cast<char>(*p++);
        }
        int width = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            if (width < 0) {
                left = true;
                conversion += '-';
                width = -width;
            }
            conversion += std::to_string(width);
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9') {
                width = (width < 0 ? 0 : width * 10) + (*p - u'0');
                conversion += static_cast<char>(*p++);
            }
        }
        int precision = -1;
        if (*p == u'.') {
            conversion += '.';
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                conversion += std::to_string(precision < 0 ? 0 : precision);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') {
                    precision = precision * 10 + (*p - u'0');
                    conversion += static_cast<char>(*p++);
                }
            }
        }
        enum class Size { Int, Short, Char, Long, LongLong, Wide, Narrow } size = Size::Int;
        if (*p == u'h') {
            ++p;
            size = Size::Short;
            if (*p == u'h') {
                ++p;
                size = Size::Char;
            }
        } else if (*p == u'l') {
            ++p;
            size = Size::Long;
            if (*p == u'l') {
                ++p;
                size = Size::LongLong;
            }
        } else if (*p == u'w') {
            ++p;
            size = Size::Wide;
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            p += 3;
            size = Size::LongLong;
        } else if (*p == u'z') {
            ++p;
            size = Size::LongLong;
        }
        const char16_t conv = *p;
        char buf[128];
        switch (conv) {
        case u'd':
        case u'i': {
            long long v = size == Size::LongLong ? va_arg(args, long long) : va_arg(args, int);
            if (size == Size::Short)
                v = static_cast<short>(v);
            if (size == Size::Char)
                v = static_cast<signed char>(v);
            std::snprintf(buf, sizeof buf, (conversion + "lld").c_str(), v);
            append_ascii(out, buf);
            break;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            unsigned long long v =
                size == Size::LongLong ? va_arg(args, unsigned long long) : va_arg(args, unsigned int);
            if (size == Size::Short)
                v = static_cast<unsigned short>(v);
            if (size == Size::Char)
                v = static_cast<unsigned char>(v);
            std::snprintf(buf, sizeof buf, (conversion + "ll" + static_cast<char>(conv)).c_str(), v);
            append_ascii(out, buf);
            break;
        }
        case u'p': {
            std::snprintf(buf, sizeof buf, "%08lX",
                          static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
            append_padded(out, to_utf16(buf), left, width, -1);
            break;
        }
        case u'c':
        case u'C': {
            const int v = va_arg(args, int);
            const bool narrow = size == Size::Short || (conv == u'C' && size != Size::Long && size != Size::Wide);
            const char16_t ch =
                narrow ? static_cast<char16_t>(static_cast<unsigned char>(v)) : static_cast<char16_t>(v);
            append_padded(out, std::u16string_view(&ch, 1), left, width, -1);
            break;
        }
        case u's':
        case u'S': {
            // On the phone %s in a wide format is a wide string; %S and %hs
            // are narrow, %ls and %ws wide.
            const bool narrow = size == Size::Short || (conv == u'S' && size != Size::Long && size != Size::Wide);
            if (narrow) {
                const char* s = va_arg(args, const char*);
                append_padded(out, to_utf16(s != nullptr ? s : "(null)"), left, width, precision);
            } else {
                LPCWSTR s = va_arg(args, LPCWSTR);
                append_padded(out, s != nullptr ? std::u16string_view(s, wide_length(s)) : u"(null)", left, width,
                              precision);
            }
            break;
        }
        case u'%':
            out += u'%';
            break;
        case 0:
            // A lone '%' at the end: print what was there.
            out.append(start, p);
            return out;
        default:
            out.append(start, p + 1);
            break;
        }
    }
    return out;
}

} // namespace zt::sys

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (buffer == nullptr)
        return 0;
    std::va_list args;
    va_start(args, format);
    std::u16string text = zt::sys::format_wide(format, args);
    va_end(args);
    // wsprintf writes at most 1024 units, terminator included.
    constexpr std::size_t kLimit = 1023;
    if (text.size() > kLimit)
        text.resize(kLimit);
    std::memcpy(buffer, text.data(), text.size() * sizeof(WCHAR));
    buffer[text.size()] = 0;
    return static_cast<int>(text.size());
}

void NKDbgPrintfW(LPCWSTR format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::u16string text = zt::sys::format_wide(format, args);
    va_end(args);
    zt::host::current().debug_output(zt::sys::to_utf8(text));
}

int lstrlenW(LPCWSTR text) {
    return static_cast<int>(zt::sys::wide_length(text));
}

HRESULT StringCchCopyNW(LPWSTR dest, std::size_t destUnits, LPCWSTR source, std::size_t toCopy) {
    if (dest == nullptr || destUnits == 0)
        return STRSAFE_E_INVALID_PARAMETER;
    if (source == nullptr) {
        dest[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    std::size_t n = 0;
    while (n < toCopy && source[n] != 0 && n + 1 < destUnits) {
        dest[n] = source[n];
        ++n;
    }
    dest[n] = 0;
    const bool cut = n + 1 >= destUnits && n < toCopy && source[n] != 0;
    return cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

void zt::host::Host::debug_output(std::string_view utf8) {
    zt::sys::write_debug_output(utf8);
}
