// A host for tests that is nothing but the primitives a host writes
// (zt/host/core.h): an output in memory built only from the rectangles the
// core says changed, a list of timed events as the event source, and the
// platform's own wait; its core runs on the virtual clock.
#pragma once

#include "zt/host/core.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace zt::testing {

class MemoryHost final : public host::WaitingDriver {
  public:
    struct Event {
        std::uint64_t at; // now()'s clock
        std::function<void(host::Core&)> happen;
    };

    // What the output holds, and the offsets it was shown at.
    std::vector<std::uint32_t> output = std::vector<std::uint32_t>(SCREEN_WIDTH * SCREEN_HEIGHT);
    std::vector<int> lowered;
    std::deque<Event> events_to_come;

    void show(const gfx::Surface& screen, const gfx::Surface::Area& changed, int offset) override {
        for (int y = changed.top; y < changed.bottom; ++y)
            std::copy(screen.row(y) + changed.left, screen.row(y) + changed.right,
                      output.begin() + static_cast<std::ptrdiff_t>(y) * SCREEN_WIDTH + changed.left);
        lowered.push_back(offset);
    }

    void events(host::Core& core) override {
        while (!events_to_come.empty() && events_to_come.front().at <= host::now()) {
            const Event event = events_to_come.front();
            events_to_come.pop_front();
            event.happen(core);
        }
    }

    void wait(std::uint64_t deadline) override {
        const std::uint64_t next = events_to_come.empty() ? host::kNoDeadline : events_to_come.front().at;
        host::wait_for_loop(std::min(deadline, next));
    }
    // The platform's own wait ends on another thread's post by itself.
    void wake() override {}
};

} // namespace zt::testing
