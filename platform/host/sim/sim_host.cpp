#include "sim_host.h"

#include "zt/drivers/simulated_accelerometer.h"
#include "zt/gfx/png.h"
#include "zt/host/phone.h"
#include "zt/sys/printable.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>

namespace zt::sim {

struct SimHost::State {
    Options options;
    Script script;
    std::size_t next = 0;
    bool waiting = false;
    std::uint64_t waitUntil = 0;
    bool finished = false;
    host::Phone phone;
};

SimHost::SimHost() : m_state(std::make_unique<State>()) {}
SimHost::~SimHost() = default;

void SimHost::configure(Options options, Script script) {
    m_state->options = std::move(options);
    m_state->script = std::move(script);
    trace::enable(m_state->options.traceChannels);
}

DWORD SimHost::start_tick() const {
    return m_state->options.startTick;
}

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

void SimHost::boot() {
    host::Phone::Options phone;
    phone.shell.without = m_state->options.withoutWindows;
    phone.minuteOfDay = noon;
    m_state->phone.start(phone);
    // Lying flat, screen up, until the script tilts it.
    if (m_state->options.accelerometer)
        m_state->phone.add_accelerometer({0, 0, 64});
}

host::IdleAction SimHost::idle(DWORD) {
    State& s = *m_state;
    if (s.waiting) {
        const std::uint64_t now = host::now();
        if (now < s.waitUntil)
            return {false, static_cast<DWORD>(std::min<std::uint64_t>(s.waitUntil - now, INFINITE - 1))};
        s.waiting = false;
    }
    if (s.finished) {
        // The window did not close: end the loop all the same.
        PostQuitMessage(0);
        return {true, 0};
    }
    HWND app = s.phone.app_window();
    while (s.next < s.script.commands.size())
        if (const auto action = play(s.script.commands[s.next++], app))
            return *action;
    // The script is over: close the window; the loop ends with WinMain.
    s.finished = true;
    if (app != nullptr)
        PostMessageW(app, WM_CLOSE, 0, 0);
    else
        PostQuitMessage(0);
    return {true, 0};
}

std::optional<host::IdleAction> SimHost::play(const Command& cmd, HWND app) {
    State& s = *m_state;
    switch (cmd.kind) {
    case Command::kPress:
    case Command::kRelease:
    case Command::kTap: {
        const LPARAM pos = MAKELPARAM(clamp16(cmd.a), clamp16(cmd.b));
        if (cmd.kind != Command::kRelease)
            PostMessageW(app, WM_LBUTTONDOWN, MK_LBUTTON, pos);
        if (cmd.kind != Command::kPress)
            PostMessageW(app, WM_LBUTTONUP, 0, pos);
        return host::IdleAction{true, 0};
    }
    case Command::kTilt:
        if (const auto& accelerometer = s.phone.accelerometer())
            accelerometer->set_reading(static_cast<signed char>(cmd.a), static_cast<signed char>(cmd.b),
                                       static_cast<signed char>(cmd.c));
        return std::nullopt;
    case Command::kAccelFail:
    case Command::kAccelOk:
        if (const auto& accelerometer = s.phone.accelerometer())
            accelerometer->set_failing(cmd.kind == Command::kAccelFail);
        return std::nullopt;
    case Command::kWait:
        if (cmd.a == 0)
            return std::nullopt;
        s.waiting = true;
        s.waitUntil = host::now() + static_cast<std::uint64_t>(cmd.a);
        return host::IdleAction{false, static_cast<DWORD>(cmd.a)};
    case Command::kActivate:
        PostMessageW(app, WM_ACTIVATE, static_cast<WPARAM>(cmd.a), 0);
        return host::IdleAction{true, 0};
    case Command::kSnapshot: {
        std::string error;
        s.phone.capture(app);
        if (!gfx::write_png(s.phone.compose(), cmd.path, &error)) {
            // The path is the script's: shown with its controls escaped.
            std::cerr << "zentrick-sim: " << sys::printable(error) << "\n";
            s.finished = true;
            PostQuitMessage(1);
            return host::IdleAction{true, 0};
        }
        std::cout << "zentrick-sim: wrote " << sys::printable(cmd.path) << std::endl;
        return std::nullopt;
    }
    case Command::kQuit:
        s.next = s.script.commands.size();
        return std::nullopt;
    }
    return std::nullopt;
}

SimHost& sim_host() {
    static SimHost* const host = new SimHost();
    return *host;
}

} // namespace zt::sim
