// zentrick-sim: runs the application headless under a script.
//
// The application's global object is built by static initialisation, and its
// first platform call boots the phone (the host's boot()). So the command
// line is read, the script checked and the host installed before any other
// static object is built (ZT_HOST).
#include "sim_host.h"
#include "zt/gfx/png.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// Interrupted, terminated or hung up in the middle of a snapshot: the
// snapshot's hidden temporary file goes, then the signal ends the process as
// it would have.
void end_on_signal(int signal) {
    zt::gfx::remove_partial_pngs();
    ::raise(signal); // the handler was reset: delivered when this returns
}

void remove_partial_snapshots_on_signals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        // A signal ignored by whoever started us stays ignored.
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
            continue;
        action = {};
        action.sa_handler = end_on_signal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

void read_command_line(int argc, char** argv) {
    zt::sim::Options options;
    std::string error;
    bool help = false;
    if (!zt::sim::parse_options(argc, argv, options, error, help)) {
        std::fprintf(stderr, "zentrick-sim: %s\n%s", error.c_str(), zt::sim::usage().c_str());
        std::exit(2);
    }
    if (help) {
        std::fputs(zt::sim::usage().c_str(), stdout);
        std::exit(0);
    }
    zt::sim::Script script;
    std::string text;
    if (!zt::sim::read_script(options.scriptPath, text, error) || !zt::sim::parse_script(text, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(2);
    }
    remove_partial_snapshots_on_signals();
    zt::sim::sim_host().configure(std::move(options), std::move(script));
    zt::host::install(zt::sim::sim_host().core());
}

} // namespace

ZT_HOST(read_command_line);

int main() {
    return zt::sim::sim_host().core().run();
}
