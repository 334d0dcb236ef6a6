// The headless host: a virtual clock, the simulated shell and accelerometer,
// and a script that plays the performer. Its primitives (zt/host/core.h):
// no output of its own (a snapshot reads the screen afresh), the script as
// the event source, and the platform's own wait; the core runs on the
// virtual clock.
#pragma once

#include "script.h"
#include "zt/host/core.h"

#include <memory>
#include <set>
#include <string>

namespace zt::sim {

struct Options {
    unsigned traceChannels = 0;
    bool accelerometer = true;
    std::set<std::u16string> withoutWindows; // shell window classes left out
    DWORD startTick = 0;
    std::string scriptPath;
};

// Parses the command line; on error sets `error` (exit 2), on --help sets
// `help`.
bool parse_options(int argc, char** argv, Options& options, std::string& error, bool& help);
std::string usage();

class SimHost final : public host::WaitingDriver {
  public:
    SimHost();
    ~SimHost() override;
    // Before the platform boots; the core it configures is core().
    void configure(Options options, Script script);
    host::Core& core() { return m_core; }

    bool shows_frames() const override { return false; }
    void events(host::Core& core) override;
    void wait(std::uint64_t deadline) override;
    // The platform's own wait (wait_for_loop) ends on another thread's post
    // by itself.
    void wake() override {}

  private:
    struct State;
    // Plays one script line; true when the loop must run before the next
    // one (input went, or a wait began).
    bool play(const Command& cmd, HWND app);
    std::unique_ptr<State> m_state;
    host::Core m_core{*this};
};

SimHost& sim_host();

} // namespace zt::sim
