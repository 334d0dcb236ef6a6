#include "sim_host.h"

#include "zt/acc_protocol.h"
#include "zt/host.h"
#include "zt/sys/trace.h"
#include "zt/sys/unicode.h"

#include <charconv>
#include <cstring>

namespace zt::sim {

std::string usage() {
    return "usage: zentrick-sim [--trace CHANNELS] [--no-accelerometer] [--no-taskbar]\n"
           "                    [--without CLASS]... [--start-tick N] SCRIPT\n"
           "\n"
           "Runs the app headless on a virtual clock, playing SCRIPT ('-': standard input).\n"
           "\n"
           "  --trace CHANNELS    trace platform calls on stderr; a comma list of\n"
           "                      msg, gdi, device, shell, queue, reg, or all (these\n"
           "                      six), and kernel, win (the routine calls beneath:\n"
           "                      last error, ticks, waits, resources; window lookups\n"
           "                      and data, the loop's own calls), which all leaves out\n"
           "  --no-accelerometer  no \"" +
           sys::to_utf8(ACC_DEVICE_NAME) +
           "\" device (the app then never latches a suit)\n"
           "  --no-taskbar        the shell has no \"CTaskBar\" window\n"
           "  --without CLASS     leave the shell window of CLASS out\n"
           "  --start-tick N      tick count at boot, and so the random seed\n"
           "\n"
           "The simulated shell owns, on its own thread, one window of each class\n"
           "\"CTaskBar\" (visible, drawn over the top of snapshots), \"DesktopExplorerWindow\",\n"
           "\"CLockPhoneWnd\", \"DesktopExploreWindows\", \"CShellMainWnd\" and \"CStartupWnd\";\n"
           "each answers every message with 1 and logs it on the shell channel.\n"
           "\n"
           "Script commands, one a line ('#' starts a comment):\n"
           "  press X Y | release X Y | tap X Y   a finger at window pixels\n"
           "  tilt X Y Z        raw accelerometer bytes, -128..127; 64 = 1 g.\n"
           "                    Flat, screen up: tilt 0 0 64. Raise the top edge: Y > 30\n"
           "                    spade; bottom edge: Y < -30 heart; right edge: X > 30\n"
           "                    club; left edge: X < -30 diamond. Y wins when both tilt.\n"
           "  accel fail | accel ok   the device's control calls fail / work\n"
           "  wait MS           advance the virtual clock, delivering every timer tick;\n"
           "                    at most 86400000 (24 hours), all waits together at\n"
           "                    most 604800000 (a week)\n"
           "  activate | deactivate | activate N   WM_ACTIVATE with wParam 1 / 0 / N\n"
           "  snapshot FILE     write the 480x720 screen as a PNG\n"
           "  quit              close the app (the end of the script does the same)\n"
           "\n"
           "A line holds at most 4096 bytes, a script at most 16 MiB. Debug text goes to\n"
           "stderr with repeated lines counted; ZT_DEBUG_ALL=1 shows every line.\n";
}

bool parse_options(int argc, char** argv, Options& options, std::string& error, bool& help) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        } else if (arg == "--trace") {
            const char* v = value("--trace");
            if (!v)
                return false;
            if (!trace::parse_channels(v, options.traceChannels)) {
                error = std::string("unknown trace channel in '") + v + "'";
                return false;
            }
        } else if (arg == "--no-accelerometer") {
            options.accelerometer = false;
        } else if (arg == "--no-taskbar") {
            options.withoutWindows.insert(u"CTaskBar");
        } else if (arg == "--without") {
            const char* v = value("--without");
            if (!v)
                return false;
            options.withoutWindows.insert(sys::to_utf16(v));
        } else if (arg == "--start-tick") {
            const char* v = value("--start-tick");
            if (!v)
                return false;
            const char* end = v + std::strlen(v);
            auto [ptr, ec] = std::from_chars(v, end, options.startTick);
            if (ec != std::errc() || ptr != end) {
                error = std::string("--start-tick needs an unsigned 32-bit number, not '") + v + "'";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg;
            return false;
        } else if (options.scriptPath.empty()) {
            options.scriptPath = arg;
        } else {
            error = "only one SCRIPT may be given";
            return false;
        }
    }
    if (options.scriptPath.empty()) {
        error = "no SCRIPT given";
        return false;
    }
    return true;
}

} // namespace zt::sim
