// Text from a source nobody vouches for (a script, a record off a queue)
// made fit for a terminal: one plain line that can neither steer the
// terminal (retitle it, clear it, move the cursor) nor read the wrong way
// round. Every program that echoes such text goes through here.
#pragma once

#include <string>
#include <string_view>

namespace zt::sys {

// Whether `c` must not reach a terminal as it is: C0 and C1 controls, DEL,
// the line and paragraph separators, and the bidirectional marks,
// embeddings, overrides and isolates (which can make a text read backwards).
bool must_escape(char32_t c);

// `text` as UTF-8 for one line of a terminal: each character must_escape()
// names is written \xNN below 0x80 and \uNNNN above, a backslash as \\ and
// each character of `quotes` (those the caller puts around the text) with a
// backslash before it; the rest as it is. A lone surrogate becomes U+FFFD.
std::string printable(std::u16string_view text, std::u16string_view quotes = u"");

// The same for bytes meant as UTF-8 (a file name, a word of a script): a
// byte that is no part of a well-formed sequence is written \xNN (alone,
// 0x9b starts a control sequence on some terminals), so every byte shows.
std::string printable(std::string_view utf8, std::string_view quotes = "");

} // namespace zt::sys
