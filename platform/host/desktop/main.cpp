// zentrick: the application in a desktop window.
//
// The application's global object is built by static initialisation, and its
// first platform call boots the phone (the host's boot()). So the command
// line is read, the display opened and the host installed before any other
// static object is built (ZT_HOST).
#include "app/rehearsal.h"
#include "desktop_host.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

void read_command_line(int argc, char** argv) {
    zt::desktop::Options options;
    std::string error;
    switch (zt::desktop::parse_options(argc, argv, options, error)) {
    case zt::desktop::ParseResult::Help:
        std::fputs(zt::desktop::usage().c_str(), stdout);
        std::exit(0);
    case zt::desktop::ParseResult::Error:
        std::fprintf(stderr, "zentrick: %s\n%s", error.c_str(), zt::desktop::usage().c_str());
        std::exit(2);
    case zt::desktop::ParseResult::Run:
        break;
    }
    const zt::host::RehearsalGuides guides{{std::begin(REHEARSAL_GUIDE_COLUMNS), std::end(REHEARSAL_GUIDE_COLUMNS)},
                                           {std::begin(REHEARSAL_GUIDE_ROWS), std::end(REHEARSAL_GUIDE_ROWS)}};
    if (!zt::desktop::desktop_host().open_display(options, guides, error)) {
        std::fprintf(stderr, "zentrick: %s\n", error.c_str());
        std::exit(1);
    }
    zt::host::install(zt::desktop::desktop_host().core());
}

} // namespace

ZT_HOST(read_command_line);

int main() {
    return zt::desktop::desktop_host().core().run();
}
