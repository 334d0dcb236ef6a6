// Debug text (NKDbgPrintfW) on its way to a terminal: a line that repeats is
// shown once and then counted, as syslog does, so a message printed on every
// timer tick cannot flood the performer's screen.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "zt/sys/guarded.h"

namespace zt::sys {

// Passes text on to a writer line by line, holding back only what may still
// turn out to be a repeat of the last line written. A new line is passed on
// at once (a partial one as soon as it differs from the last line); each
// repeat of the last line is counted instead, and the count is written as
// "last message repeated N times" before the next different text, or on
// flush(). Safe to call from any thread.
class RepeatCollapser {
  public:
    using Writer = std::function<void(std::string_view)>;

    // With `collapse` false every byte is passed on unchanged, at once.
    explicit RepeatCollapser(Writer writer, bool collapse = true);

    void write(std::string_view text);
    // Writes the count of repeats not yet reported and any text held back.
    void flush();
    // Flushes, then passes everything on at once: the process is ending and
    // nothing may stay held back.
    void finish();

    struct State {
        Writer writer;
        bool collapse = true;
        std::string last;       // the last complete line passed on, with its newline
        std::string current;    // the line being received
        std::size_t passed = 0; // how much of `current` was passed on already
        unsigned long repeats = 0;
    };

  private:
    Guarded<State> m_state;
};

// The process's debug output: standard error through one RepeatCollapser,
// finished when the application object is gone (process exit). Setting
// ZT_DEBUG_ALL (to anything but "" or "0") passes every line; it is read
// once, at the first output.
void write_debug_output(std::string_view utf8);
void flush_debug_output();
// Writes the count of repeats held back; every later line passes as it is.
void finish_debug_output();

} // namespace zt::sys
