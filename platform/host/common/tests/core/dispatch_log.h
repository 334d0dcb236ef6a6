// What the application's loop dispatched, as the msg trace channel says it:
// the tests of every host under the core count the same messages.
#pragma once

#include "zt/sys/trace.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zt::testing {

class DispatchLog {
  public:
    // From now on, until stop().
    void start() {
        trace::set_sink([state = m_state](std::string_view line) {
            const std::lock_guard lock(state->lock);
            if (line.find("DispatchMessageW(") != std::string_view::npos)
                state->lines.emplace_back(line);
        });
        trace::enable(trace::kMsg);
    }
    void stop() { trace::enable(0); }
    // Dispatches whose line holds `what` (", 0x201, ": presses).
    long count(std::string_view what) const {
        const std::lock_guard lock(m_state->lock);
        return std::count_if(m_state->lines.begin(), m_state->lines.end(),
                             [&](const std::string& line) { return line.find(what) != std::string::npos; });
    }

  private:
    struct State {
        std::mutex lock;
        std::vector<std::string> lines;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace zt::testing
