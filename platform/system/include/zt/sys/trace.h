// Per-channel call tracing: one line per platform call on standard error,
//   trace:<channel>: <Call>(<arguments>) = <result>
// Off by default; a disabled channel costs one relaxed load.
#pragma once

#include "zt/platform.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace zt::trace {

// Every entry point writes a line on its area's channel. "all" is what the
// program does with the phone: its messages, drawing, devices, shell
// windows, queues and registry. The routine calls made many times a second
// beneath that (the kernel's: last error, ticks, waits, events, locks,
// resources, text; the window bookkeeping of every message: the loop's own
// calls, lookups, window data, rectangles, invalidation) have channels of
// their own, which "all" leaves out and which are asked for by name.
enum Channel : unsigned {
    kMsg = 1u << 0,
    kGdi = 1u << 1,
    kDevice = 1u << 2,
    kShell = 1u << 3,
    kQueue = 1u << 4,
    kReg = 1u << 5,
    kAll = (1u << 6) - 1,
    kKernel = 1u << 6,
    kWin = 1u << 7,
    kEvery = (1u << 8) - 1,
};

extern std::atomic<unsigned> g_enabled;

inline bool on(Channel channel) {
    return (g_enabled.load(std::memory_order_relaxed) & channel) != 0;
}
void enable(unsigned channels);
// Parses "msg,gdi", "all" or "all,kernel" into a mask; false for an unknown
// name.
bool parse_channels(std::string_view list, unsigned& channels);
const char* channel_name(Channel channel);

// Writes one finished line (without "trace:<channel>: " and newline).
void line(Channel channel, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Where lines go; default standard error. Tests capture here.
void set_sink(std::function<void(std::string_view)> sink);

// Argument spellings: strings in double quotes (NULL for none), handles in hex.
std::string quote(LPCWSTR text);
std::string quote(LPCWSTR text, int length);
std::string handle(const void* h);
std::string rect(const RECT* r);

} // namespace zt::trace

#define ZT_TRACE(channel, ...)                                                                                         \
    do {                                                                                                               \
        if (::zt::trace::on(channel))                                                                                  \
            ::zt::trace::line(channel, __VA_ARGS__);                                                                   \
    } while (0)
