#include "zt/testhost/other_user.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace zt::testhost {

namespace {

constexpr unsigned kNobody = 65534;
constexpr const char* kSetpriv = "/usr/bin/setpriv";

} // namespace

std::optional<unsigned> other_user(std::string& why) {
    if (geteuid() != 0) {
        why = "acting as a second user needs root (setpriv --reuid)";
        return std::nullopt;
    }
    if (access(kSetpriv, X_OK) != 0) {
        why = std::string(kSetpriv) + " is missing (util-linux)";
        return std::nullopt;
    }
    return kNobody;
}

std::string shell_quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int run_as(unsigned uid, const std::string& command) {
    const std::string id = std::to_string(uid);
    const std::string line =
        std::string(kSetpriv) + " --reuid=" + id + " --regid=" + id + " --clear-groups sh -c " + shell_quote(command);
    const int raw = std::system(line.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace zt::testhost
