// What the application's benchmarks share: a simulated accelerometer as the
// phone's "ACC0:" and the application's main window over it, each made on
// first use and kept for the whole run.
#pragma once

#include "ui/main_wnd.h"
#include "zt/acc_protocol.h"
#include "zt/drivers/simulated_accelerometer.h"

#include <memory>

namespace bench {

inline std::shared_ptr<zt::drivers::SimulatedAccelerometer> accelerometer() {
    static auto driver = [] {
        auto d = std::make_shared<zt::drivers::SimulatedAccelerometer>();
        d->register_as(ACC_DEVICE_NAME);
        return d;
    }();
    return driver;
}

// Shown, at the phone's size, with the accelerometer in place.
inline CZentrickMainWnd& window() {
    static CZentrickMainWnd* const wnd = [] {
        accelerometer();
        auto* w = new CZentrickMainWnd();
        w->Create(0, 0, 480, 720, nullptr, 0, 0, 0);
        w->Show(true, true);
        return w;
    }();
    return *wnd;
}

} // namespace bench
