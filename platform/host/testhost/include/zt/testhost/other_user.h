// A second local user, for tests of what one user's processes may do to
// another's files and queues. Only root can act as someone else (through
// setpriv); elsewhere the tests that need it skip with the reason.
#pragma once

#include <optional>
#include <string>

namespace zt::testhost {

// The user to act as (nobody, 65534), or nothing with the reason in `why`.
std::optional<unsigned> other_user(std::string& why);

// Runs the shell command `command` as `uid` (and its own group, no others);
// its exit status, or -1 when it did not end normally.
int run_as(unsigned uid, const std::string& command);

// The text of `text` quoted for the shell.
std::string shell_quote(const std::string& text);

} // namespace zt::testhost

// Skips the test, with the reason, unless a second user is at hand; `uid`
// then names it.
#define ZT_NEED_OTHER_USER(uid)                                                                                        \
    std::string uid##Why;                                                                                              \
    const auto uid##Found = zt::testhost::other_user(uid##Why);                                                        \
    if (!uid##Found) {                                                                                                 \
        GTEST_SKIP() << uid##Why;                                                                                      \
    }                                                                                                                  \
    const unsigned uid = *uid##Found
