// Wide text: formatted print, the debug print, string copies.
#include "zt/platform.h"
#include "zt/sys/debug_output.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zt::sys {

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

// The variadic arguments, read in order by the conversions that take them.
class Arguments {
  public:
    explicit Arguments(std::va_list args) { va_copy(m_list, args); }
    ~Arguments() { va_end(m_list); }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    template <typename T> T next() { return va_arg(m_list, T); }

  private:
    std::va_list m_list;
};

enum class Size { Int, Short, Char, Long, LongLong, Wide, Narrow };

// One conversion's flags, width, precision and size. `cFormat` holds the
// flags, width and precision as the C library's printf wants them.
struct Placeholder {
    std::string cFormat = "%";
    bool left = false;
    int width = -1;
    int precision = -1;
    Size size = Size::Int;
};

// Reads the digits at p into `value`, copying them to `cFormat` too.
void parse_number(LPCWSTR& p, int& value, std::string& cFormat) {
    while (*p >= u'0' && *p <= u'9') {
        value = (value < 0 ? 0 : value * 10) + (*p - u'0');
        cFormat += static_cast<char>(*p++);
    }
}

void parse_width(LPCWSTR& p, Arguments& args, Placeholder& placeholder) {
    if (*p != u'*') {
        parse_number(p, placeholder.width, placeholder.cFormat);
        return;
    }
    placeholder.width = args.next<int>();
    if (placeholder.width < 0) {
        placeholder.left = true;
        placeholder.cFormat += '-';
        placeholder.width = -placeholder.width;
    }
    placeholder.cFormat += std::to_string(placeholder.width);
    ++p;
}

void parse_precision(LPCWSTR& p, Arguments& args, Placeholder& placeholder) {
    if (*p != u'.')
        return;
    placeholder.cFormat += '.';
    ++p;
    placeholder.precision = 0;
    if (*p == u'*') {
        placeholder.precision = args.next<int>();
        placeholder.cFormat += std::to_string(placeholder.precision < 0 ? 0 : placeholder.precision);
        ++p;
    } else {
        parse_number(p, placeholder.precision, placeholder.cFormat);
    }
}

Size parse_size(LPCWSTR& p) {
    if (*p == u'h') {
        ++p;
        if (*p != u'h')
            return Size::Short;
        ++p;
        return Size::Char;
    }
    if (*p == u'l') {
        ++p;
        if (*p != u'l')
            return Size::Long;
        ++p;
        return Size::LongLong;
    }
    if (*p == u'w') {
        ++p;
        return Size::Wide;
    }
    if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
        p += 3;
        return Size::LongLong;
    }
    if (*p == u'z') {
        ++p;
        return Size::LongLong;
    }
    return Size::Int;
}

// Reads what follows a '%' up to the conversion letter, taking '*' widths
// and precisions from the arguments; p is left on the letter.
Placeholder parse_placeholder(LPCWSTR& p, Arguments& args) {
    Placeholder placeholder;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
        placeholder.left = placeholder.left || *p == u'-';
        placeholder.cFormat += static_cast<char>(*p++);
    }
    parse_width(p, args, placeholder);
    parse_precision(p, args, placeholder);
    placeholder.size = parse_size(p);
    return placeholder;
}

void format_signed(std::u16string& out, const Placeholder& placeholder, Arguments& args) {
    long long v = placeholder.size == Size::LongLong ? args.next<long long>() : args.next<int>();
    if (placeholder.size == Size::Short)
        v = static_cast<short>(v);
    if (placeholder.size == Size::Char)
        v = static_cast<signed char>(v);
    char buf[128];
    std::snprintf(buf, sizeof buf, (placeholder.cFormat + "lld").c_str(), v);
    append_ascii(out, buf);
}

void format_unsigned(std::u16string& out, const Placeholder& placeholder, char conversion, Arguments& args) {
    unsigned long long v =
        placeholder.size == Size::LongLong ? args.next<unsigned long long>() : args.next<unsigned int>();
    if (placeholder.size == Size::Short)
        v = static_cast<unsigned short>(v);
    if (placeholder.size == Size::Char)
        v = static_cast<unsigned char>(v);
    char buf[128];
    std::snprintf(buf, sizeof buf, (placeholder.cFormat + "ll" + conversion).c_str(), v);
    append_ascii(out, buf);
}

void format_pointer(std::u16string& out, const Placeholder& placeholder, Arguments& args) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(args.next<void*>())));
    append_padded(out, to_utf16(buf), placeholder.left, placeholder.width, -1);
}

// On the phone %s and %c in a wide format are wide; %S, %C and the h size
// are narrow, l and w wide.
bool is_narrow(const Placeholder& placeholder, char16_t conversion) {
    return placeholder.size == Size::Short || ((conversion == u'S' || conversion == u'C') &&
                                               placeholder.size != Size::Long && placeholder.size != Size::Wide);
}

void format_char(std::u16string& out, const Placeholder& placeholder, char16_t conversion, Arguments& args) {
    const int v = args.next<int>();
    const char16_t ch = is_narrow(placeholder, conversion) ? static_cast<char16_t>(static_cast<unsigned char>(v))
                                                           : static_cast<char16_t>(v);
    append_padded(out, std::u16string_view(&ch, 1), placeholder.left, placeholder.width, -1);
}

void format_string(std::u16string& out, const Placeholder& placeholder, char16_t conversion, Arguments& args) {
    if (is_narrow(placeholder, conversion)) {
        const char* s = args.next<const char*>();
        append_padded(out, to_utf16(s != nullptr ? s : "(null)"), placeholder.left, placeholder.width,
                      placeholder.precision);
    } else {
        LPCWSTR s = args.next<LPCWSTR>();
        append_padded(out, s != nullptr ? view(s) : u"(null)", placeholder.left, placeholder.width,
                      placeholder.precision);
    }
}

// Formats the conversion at `percent`; returns where the format goes on,
// or null at the end of the format.
LPCWSTR format_one(std::u16string& out, LPCWSTR percent, Arguments& args) {
    LPCWSTR p = percent + 1;
    const Placeholder placeholder = parse_placeholder(p, args);
    const char16_t conversion = *p;
    switch (conversion) {
    case u'd':
    case u'i':
        format_signed(out, placeholder, args);
        break;
    case u'u':
    case u'x':
    case u'X':
    case u'o':
        format_unsigned(out, placeholder, static_cast<char>(conversion), args);
        break;
    case u'p':
        format_pointer(out, placeholder, args);
        break;
    case u'c':
    case u'C':
        format_char(out, placeholder, conversion, args);
        break;
    case u's':
    case u'S':
        format_string(out, placeholder, conversion, args);
        break;
    case u'%':
        out += u'%';
        break;
    case 0:
        // A lone '%' at the end: print what was there.
        out.append(percent, p);
        return nullptr;
    default:
        out.append(percent, p + 1);
        break;
    }
    return p + 1;
}

// Formats like wsprintfW into a growable string; the va_list is consumed.
std::u16string format_wide(LPCWSTR format, std::va_list list) {
    std::u16string out;
    if (format == nullptr)
        return out;
    Arguments args(list);
    for (LPCWSTR p = format; p != nullptr && *p != 0;) {
        if (*p == u'%')
            p = format_one(out, p, args);
        else
            out += *p++;
    }
    return out;
}

} // namespace
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
    ZT_TRACE(zt::trace::kKernel, "wsprintfW(%s) = %zu", zt::trace::quote(buffer).c_str(), text.size());
    return static_cast<int>(text.size());
}

void NKDbgPrintfW(LPCWSTR format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::u16string text = zt::sys::format_wide(format, args);
    va_end(args);
    ZT_TRACE(zt::trace::kKernel, "NKDbgPrintfW(%s)", zt::trace::quote(text.c_str()).c_str());
    zt::host::current().debug_output(zt::sys::to_utf8(text));
}

int lstrlenW(LPCWSTR text) {
    const int length = static_cast<int>(zt::sys::wide_length(text));
    ZT_TRACE(zt::trace::kKernel, "lstrlenW(%s) = %d", zt::trace::quote(text).c_str(), length);
    return length;
}

namespace {

HRESULT copy_string(LPWSTR dest, std::size_t destUnits, LPCWSTR source, std::size_t toCopy) {
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

} // namespace

HRESULT StringCchCopyNW(LPWSTR dest, std::size_t destUnits, LPCWSTR source, std::size_t toCopy) {
    const HRESULT result = copy_string(dest, destUnits, source, toCopy);
    ZT_TRACE(zt::trace::kKernel, "StringCchCopyNW(%zu, %zu) = %#x %s", destUnits, toCopy, static_cast<unsigned>(result),
             zt::trace::quote(dest != nullptr && destUnits > 0 ? dest : nullptr).c_str());
    return result;
}

void zt::host::Host::debug_output(std::string_view utf8) {
    zt::sys::write_debug_output(utf8);
}
