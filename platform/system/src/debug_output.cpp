// Debug output: repeats collapsed on their way to standard error.
#include "zt/sys/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zt::sys {

RepeatCollapser::RepeatCollapser(Writer writer, bool collapse) : m_writer(std::move(writer)), m_collapse(collapse) {}

void RepeatCollapser::write(std::string_view text) {
    std::lock_guard guard(m_lock);
    if (!m_collapse) {
        m_writer(text);
        return;
    }
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const bool ends = newline != std::string_view::npos;
        const std::size_t length = ends ? newline + 1 : text.size();
        write_line_part_locked(text.substr(0, length), ends);
        text.remove_prefix(length);
    }
}

void RepeatCollapser::write_line_part_locked(std::string_view part, bool ends) {
    m_current.append(part);
    if (m_passed > 0) {
        // This line already differs from the last one: the rest follows at once.
        pass_locked(part);
    } else if (ends ? m_current == m_last : m_last.compare(0, m_current.size(), m_current) == 0) {
        // A repeat, or text that may still become one.
        if (ends)
            ++m_repeats;
    } else {
        report_repeats_locked();
        pass_locked(m_current);
    }
    if (ends) {
        if (m_passed > 0)
            m_last = m_current;
        m_current.clear();
        m_passed = 0;
    }
}

void RepeatCollapser::pass_locked(std::string_view text) {
    m_writer(text);
    m_passed += text.size();
}

void RepeatCollapser::report_repeats_locked() {
    if (m_repeats == 0)
        return;
    const std::string note =
        "last message repeated " + std::to_string(m_repeats) + (m_repeats == 1 ? " time\n" : " times\n");
    m_repeats = 0;
    m_writer(note);
}

void RepeatCollapser::flush() {
    std::lock_guard guard(m_lock);
    report_repeats_locked();
    if (m_passed == 0 && !m_current.empty())
        pass_locked(m_current);
}

void RepeatCollapser::finish() {
    flush();
    std::lock_guard guard(m_lock);
    m_collapse = false;
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
    static RepeatCollapser* const output = [] {
        auto* made = new RepeatCollapser(to_stderr, !every_line_wanted());
        std::atexit([] { process_output().finish(); });
        return made;
    }();
    return *output;
}

} // namespace

void write_debug_output(std::string_view utf8) {
    process_output().write(utf8);
}

void flush_debug_output() {
    process_output().flush();
}

} // namespace zt::sys
