#include "sim_host.h"

#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/png.h"
#include "zt/sys/printable.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace zt::sim {

struct SimHost::State {
    Options options;
    Script script;
    std::size_t next = 0;
    bool waiting = false;
    std::uint64_t waitUntil = 0;
    bool finished = false;
};

SimHost::SimHost() : m_state(std::make_unique<State>()) {}
SimHost::~SimHost() = default;

namespace {

// The phone's clock stands still in snapshots: the same script gives the
// same picture.
int noon() {
    return 12 * 60;
}

// Touch panels report 16-bit positions; farther values are held at the edge
// of that range, which keeps them in the same row and column.
int clamp16(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -32768, 32767));
}

} // namespace

void SimHost::configure(Options options, Script script) {
    m_state->options = std::move(options);
    m_state->script = std::move(script);
    host::Core::Options core;
    core.clock = host::ClockKind::Virtual;
    core.startTick = m_state->options.startTick;
    core.traceChannels = m_state->options.traceChannels;
    // The run's trace ends with the application's own last call.
    core.stopPhoneAtExit = false;
    core.phone.shell.without = m_state->options.withoutWindows;
    core.phone.minuteOfDay = noon;
    // Lying flat, screen up, until the script tilts it.
    if (m_state->options.accelerometer)
        core.accelerometer = drivers::RawReading{0, 0, 64};
    m_core.configure(core);
}

void SimHost::wait(std::uint64_t deadline) {
    const State& s = *m_state;
    // The next line is due now: the loop is idle, so it plays at once.
    if (!s.waiting || s.finished)
        return;
    host::wait_for_loop(std::min(deadline, s.waitUntil));
}

void SimHost::events(host::Core& core) {
    State& s = *m_state;
    // The script plays only while the loop is idle, as a performer acts on
    // what the screen shows: what is waiting runs first.
    const std::uint64_t now = host::now();
    if (host::loop_deadline() <= now)
        return;
    if (s.waiting) {
        if (now < s.waitUntil)
            return;
        s.waiting = false;
    }
    if (s.finished) {
        // The window did not close: end the loop all the same.
        PostQuitMessage(0);
        return;
    }
    HWND app = core.phone().app_window();
    while (s.next < s.script.commands.size())
        if (play(s.script.commands[s.next++], app))
            return;
    // The script is over: close the window; the loop ends with it.
    s.finished = true;
    if (app != nullptr)
        core.input().close();
    else
        PostQuitMessage(0);
}

bool SimHost::play(const Command& cmd, HWND app) {
    State& s = *m_state;
    host::Phone& phone = m_core.phone();
    host::Input& input = m_core.input();
    switch (cmd.kind) {
    case Command::kPress:
    case Command::kRelease:
    case Command::kTap: {
        // Window pixels as they are: the script is the finger itself, so no
        // single-touch rule stands between it and the window.
        const LPARAM pos = MAKELPARAM(clamp16(cmd.a), clamp16(cmd.b));
        if (cmd.kind != Command::kRelease)
            input.message({WM_LBUTTONDOWN, MK_LBUTTON, pos});
        if (cmd.kind != Command::kPress)
            input.message({WM_LBUTTONUP, 0, pos});
        return true;
    }
    case Command::kTilt:
        if (const auto& accelerometer = phone.accelerometer())
            accelerometer->set_reading(static_cast<signed char>(cmd.a), static_cast<signed char>(cmd.b),
                                       static_cast<signed char>(cmd.c));
        return false;
    case Command::kAccelFail:
    case Command::kAccelOk:
        if (const auto& accelerometer = phone.accelerometer())
            accelerometer->set_failing(cmd.kind == Command::kAccelFail);
        return false;
    case Command::kWait:
        if (cmd.a == 0)
            return false;
        s.waiting = true;
        s.waitUntil = host::now() + static_cast<std::uint64_t>(cmd.a);
        return true;
    case Command::kActivate:
        input.message({WM_ACTIVATE, static_cast<WPARAM>(cmd.a), 0});
        return true;
    case Command::kSnapshot: {
        std::string error;
        phone.capture(app);
        if (!gfx::write_png(phone.compose(), cmd.path, &error)) {
            // The path is the script's: shown with its controls escaped.
            std::fprintf(stderr, "zentrick-sim: %s\n", sys::printable(error).c_str());
            s.finished = true;
            PostQuitMessage(1);
            return true;
        }
        std::printf("zentrick-sim: wrote %s\n", sys::printable(cmd.path).c_str());
        std::fflush(stdout);
        return false;
    }
    case Command::kQuit:
        s.next = s.script.commands.size();
        return false;
    }
    return false;
}

SimHost& sim_host() {
    // Never destroyed: the platform may call its host until the very end.
    static SimHost* const host = new SimHost();
    return *host;
}

} // namespace zt::sim
