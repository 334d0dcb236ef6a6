// What every host's test of its input before the application has a window
// checks (Phone::post), whatever the host's event source: a touch on
// nothing is dropped and activation waits for the window; once it exists
// the activation arrives, once, and only the presses made since.
#pragma once

#include "dispatch_log.h"
#include "zt/host/core.h"

#include <gtest/gtest.h>

#include <vector>

namespace zt::testing {

// After a turn that handed `core` a touch and the focus, before the window.
inline void expect_waiting_for_the_window(host::Core& core) {
    EXPECT_EQ(core.phone().app_window(), nullptr);
    EXPECT_EQ(core.input().pending(), (std::vector<host::WindowMessage>{{WM_ACTIVATE, WA_ACTIVE, 0}}))
        << "the touch is dropped and the activation waits";
}

// After the run: `activations` and `presses` (each with its lift) reached
// the window.
inline void expect_dispatched(const DispatchLog& dispatched, long activations, long presses) {
    EXPECT_EQ(dispatched.count(", 0x6, 0x1, 0)"), activations);
    EXPECT_EQ(dispatched.count(", 0x201, "), presses);
    EXPECT_EQ(dispatched.count(", 0x202, "), presses);
}

} // namespace zt::testing
