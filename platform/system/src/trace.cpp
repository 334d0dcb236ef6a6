// Trace channels.
#include "zt/sys/trace.h"
#include "api.h"

#include "zt/sys/kernel.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace zt::trace {

constinit std::atomic<unsigned> g_enabled{0};

namespace {
using Sink = sys::Guarded<std::function<void(std::string_view)>>;

// Called under its lock, so lines from different threads never mix. Made
// on first use and never destroyed: the host sets it while booting, which
// may be before this file's static initialisers would run, and static
// objects trace through it until the process ends.
Sink& sink() {
    static Sink* const instance = new Sink();
    return *instance;
}

constexpr struct {
    Channel channel;
    const char* name;
} kChannels[] = {{kMsg, "msg"},     {kGdi, "gdi"}, {kDevice, "device"}, {kShell, "shell"},
                 {kQueue, "queue"}, {kReg, "reg"}, {kKernel, "kernel"}, {kWin, "win"}};
} // namespace

void enable(unsigned channels) {
    g_enabled.store(channels & kEvery, std::memory_order_relaxed);
}

const char* channel_name(Channel channel) {
    for (const auto& c : kChannels)
        if (c.channel == channel)
            return c.name;
    return "?";
}

bool parse_channels(std::string_view list, unsigned& channels) {
    channels = 0;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (name == "all") {
            channels |= kAll;
            continue;
        }
        bool known = false;
        for (const auto& c : kChannels) {
            if (name == c.name) {
                channels |= c.channel;
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

void set_sink(std::function<void(std::string_view)> to) {
    sink().with([&](auto& current) { current = std::move(to); });
}

void line(Channel channel, const char* format, ...) {
    char body[1024];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(body, sizeof body, format, args);
    va_end(args);
    std::string text = std::string("trace:") + channel_name(channel) + ": " + body + "\n";
    sink().with([&](auto& current) {
        if (current) {
            current(text);
        } else {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        }
    });
}

std::string quote(LPCWSTR text) {
    if (text == nullptr)
        return "NULL";
    // A resource id or an atom passed as a name.
    if (sys::is_int_name(text))
        return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(text));
    return quote(text, static_cast<int>(sys::wide_length(text)));
}

std::string quote(LPCWSTR text, int length) {
    if (text == nullptr)
        return "NULL";
    std::string out = "\"";
    for (char c : sys::to_utf8(std::u16string_view(text, static_cast<std::size_t>(length < 0 ? 0 : length)))) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string handle(const void* h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%#lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(h)));
    return h == nullptr ? "NULL" : buf;
}

std::string rect(const RECT* r) {
    if (r == nullptr)
        return "NULL";
    char buf[96];
    std::snprintf(buf, sizeof buf, "{%d,%d,%d,%d}", r->left, r->top, r->right, r->bottom);
    return buf;
}

} // namespace zt::trace
