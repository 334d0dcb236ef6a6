// Debug output: repeats collapsed on their way to standard error.
#include "zt/sys/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zt::sys {

namespace {

using Held = Guarded<RepeatCollapser::State>::Lock;

void pass(const Held& state, std::string_view text) {
    state->writer(text);
    state->passed += text.size();
}

void report_repeats(const Held& state) {
    if (state->repeats == 0)
        return;
    const std::string note =
        "last message repeated " + std::to_string(state->repeats) + (state->repeats == 1 ? " time\n" : " times\n");
    state->repeats = 0;
    state->writer(note);
}

void write_line_part(const Held& state, std::string_view part, bool ends) {
    state->current.append(part);
    if (state->passed > 0) {
        // This line already differs from the last one: the rest follows at once.
        pass(state, part);
    } else if (ends ? state->current == state->last
                    : state->last.compare(0, state->current.size(), state->current) == 0) {
        // A repeat, or text that may still become one.
        if (ends)
            ++state->repeats;
    } else {
        report_repeats(state);
        pass(state, state->current);
    }
    if (ends) {
        if (state->passed > 0)
            state->last = state->current;
        state->current.clear();
        state->passed = 0;
    }
}

void flush_held(const Held& state) {
    report_repeats(state);
    if (state->passed == 0 && !state->current.empty())
        pass(state, state->current);
}

} // namespace

RepeatCollapser::RepeatCollapser(Writer writer, bool collapse)
    : m_state(State{std::move(writer), collapse, {}, {}, 0, 0}) {}

void RepeatCollapser::write(std::string_view text) {
    const Held state = m_state.lock();
    if (!state->collapse) {
        state->writer(text);
        return;
    }
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const bool ends = newline != std::string_view::npos;
        const std::size_t length = ends ? newline + 1 : text.size();
        write_line_part(state, text.substr(0, length), ends);
        text.remove_prefix(length);
    }
}

void RepeatCollapser::flush() {
    flush_held(m_state.lock());
}

void RepeatCollapser::finish() {
    const Held state = m_state.lock();
    flush_held(state);
    state->collapse = false;
}

namespace {

void to_stderr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool every_line_wanted() {
    const char* value = std::getenv("ZT_DEBUG_ALL");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

// Never destroyed: threads and static objects may print until the very end.
RepeatCollapser& process_output() {
    static RepeatCollapser* const output = new RepeatCollapser(to_stderr, !every_line_wanted());
    return *output;
}

} // namespace

void write_debug_output(std::string_view utf8) {
    process_output().write(utf8);
}

void flush_debug_output() {
    process_output().flush();
}

void finish_debug_output() {
    process_output().finish();
}

} // namespace zt::sys
