// What the application's loop dispatched, as the msg trace channel says it:
// the tests of every host under the core count the same messages.
#pragma once

#include "zt/sys/guarded.h"
#include "zt/sys/trace.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zt::testing {

class DispatchLog {
  public:
    // From now on, until stop().
    void start() {
        trace::set_sink([lines = m_lines](std::string_view line) {
            if (line.find("DispatchMessageW(") != std::string_view::npos)
                lines->lock()->emplace_back(line);
        });
        trace::enable(trace::kMsg);
    }
    void stop() { trace::enable(0); }
    // Dispatches whose line holds `what` (", 0x201, ": presses).
    long count(std::string_view what) const {
        const auto lines = m_lines->lock();
        return std::count_if(lines->begin(), lines->end(),
                             [&](const std::string& line) { return line.find(what) != std::string::npos; });
    }

  private:
    // Shared with the trace sink, which may outlive the log.
    std::shared_ptr<sys::Guarded<std::vector<std::string>>> m_lines =
        std::make_shared<sys::Guarded<std::vector<std::string>>>();
};

} // namespace zt::testing
