// Record layouts come from the shell library's header; values are read
// byte by byte, little-endian, so a record is shown as it travelled.
#include "decode.h"

#include "shell/queues.h"
#include "zt/sys/printable.h"

#include <cstdio>
#include <string_view>

namespace zt::listen {

namespace {

const QueueInfo kQueues[] = {
    {Queue::Notify, "notify", SHELL_NOTIFY_QUEUE_NAME, SHELL_NOTIFY_RECORD_SIZE},
    {Queue::Apps, "apps", APPS_ASK_QUEUE_NAME, APPS_ASK_RECORD_SIZE},
    {Queue::User, "user", USER_NOTIFICATION_QUEUE_NAME, USER_NOTIFICATION_RECORD_SIZE},
};

DWORD word_at(const BYTE* bytes, std::size_t offset) {
    return static_cast<DWORD>(bytes[offset]) | (static_cast<DWORD>(bytes[offset + 1]) << 8) |
           (static_cast<DWORD>(bytes[offset + 2]) << 16) | (static_cast<DWORD>(bytes[offset + 3]) << 24);
}

std::string number(DWORD value) {
    return std::to_string(value);
}

std::string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string hex_bytes(const BYTE* bytes, std::size_t size, std::size_t group) {
    std::string out;
    char text[4];
    for (std::size_t i = 0; i < size; ++i) {
        if (i != 0 && i % group == 0)
            out += ' ';
        std::snprintf(text, sizeof text, "%02x", bytes[i]);
        out += text;
    }
    return out;
}

// A text field of `units` UTF-16 code units, up to its NUL, quoted and
// made printable (zt/sys/printable.h), so the line stays one plain line.
std::string text_field(const BYTE* bytes, std::size_t units) {
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0)
            break;
        text += unit;
    }
    return "\"" + sys::printable(text, u"\"") + "\"";
}

// 32-bit FNV-1a: a short fingerprint that tells whether a payload arrived
// intact.
DWORD fingerprint(const BYTE* bytes, std::size_t size) {
    DWORD hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    return hash;
}

std::string payload(const BYTE* bytes, std::size_t size) {
    bool zero = true;
    for (std::size_t i = 0; i < size && zero; ++i)
        zero = bytes[i] == 0;
    if (zero)
        return "payload=zero";
    return "payload=" + hex_bytes(bytes, size < 8 ? size : 8, 8) + "... fnv1a=" + hex(fingerprint(bytes, size));
}

std::string notify(const BYTE* r) {
    return "kind=" + number(word_at(r, 0)) + " first=" + number(word_at(r, 4)) + " second=" + number(word_at(r, 8));
}

std::string apps(const BYTE* r) {
    const DWORD command = word_at(r, 0);
    std::string line = "command=" + number(command);
    if (command != 12)
        return line + " first=" + number(word_at(r, 4)) + " second=" + number(word_at(r, 8));
    const DWORD variant = word_at(r, 140);
    line += " variant=" + number(variant) + " text=" + text_field(r + 12, APPS_ASK_TEXT_CHARS);
    if (variant == APPS_ASK_VARIANT_VALUES)
        return line + " first=" + number(word_at(r, 208)) + " second=" + number(word_at(r, 212));
    return line + " text2=" + text_field(r + 144, APPS_ASK_TEXT2_CHARS) +
           " block=" + hex_bytes(r + 216, APPS_ASK_BLOCK_SIZE, 4);
}

std::string user(const BYTE* r) {
    return "kind=" + number(word_at(r, 4)) + " event=" + hex(word_at(r, 0)) + " " +
           payload(r + 8, USER_NOTIFICATION_PAYLOAD_SIZE);
}

} // namespace

const QueueInfo& queue_info(Queue queue) {
    return kQueues[static_cast<int>(queue)];
}

std::string decode(Queue queue, const BYTE* bytes, std::size_t size) {
    const QueueInfo& info = queue_info(queue);
    std::string line = info.word;
    if (size != info.recordSize)
        return line + " size=" + std::to_string(size) + " (not " + std::to_string(info.recordSize) +
               ") bytes=" + hex_bytes(bytes, size < 64 ? size : 64, 4) + (size > 64 ? "..." : "");
    switch (queue) {
    case Queue::Notify:
        return line + " " + notify(bytes);
    case Queue::Apps:
        return line + " " + apps(bytes);
    case Queue::User:
        return line + " " + user(bytes);
    }
    return line;
}

} // namespace zt::listen
