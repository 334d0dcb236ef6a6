// What the main window and the application object find around them on the
// phone: the shell's taskbar, visible, on a thread of its own, and "ACC0:"
// lying flat face up. The ui and app tests share it.
#pragma once

#include "device/accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/sys/devices.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <memory>

namespace uitest {

class PhoneFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        m_accelerometer = std::make_shared<zt::drivers::SimulatedAccelerometer>();
        m_accelerometer->set_reading(0, 0, 64);
        ASSERT_TRUE(m_accelerometer->register_as(ACC_DEVICE_NAME));
        m_shell = std::make_unique<zt::testhost::WindowThread>();
        m_taskbar = m_shell->create(u"CTaskBar", true);
    }
    void TearDown() override {
        while (g_hAccDevice != INVALID_HANDLE_VALUE)
            AccClose();
        zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
        m_shell.reset();
    }

    std::shared_ptr<zt::drivers::SimulatedAccelerometer> m_accelerometer;
    std::unique_ptr<zt::testhost::WindowThread> m_shell;
    HWND m_taskbar = nullptr;
};

} // namespace uitest
