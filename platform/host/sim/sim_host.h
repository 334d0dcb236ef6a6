// The headless host: a virtual clock, the simulated shell and accelerometer,
// and a script that plays the performer.
#pragma once

#include "script.h"
#include "zt/host.h"

#include <memory>
#include <optional>
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

class SimHost final : public host::Host {
  public:
    SimHost();
    ~SimHost() override;
    void configure(Options options, Script script);

    host::ClockKind clock_kind() const override { return host::ClockKind::Virtual; }
    DWORD start_tick() const override;
    void boot() override;
    host::IdleAction idle(DWORD timeout) override;

  private:
    struct State;
    // Plays one script line; an action when the loop must look again or
    // wait, none when the next line may follow at once.
    std::optional<host::IdleAction> play(const Command& cmd, HWND app);
    std::unique_ptr<State> m_state;
};

SimHost& sim_host();

} // namespace zt::sim
