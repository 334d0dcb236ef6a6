// The phone's accelerometer on a desktop: the "ACC0:" device fed by the
// first source that works (a Linux IIO sensor, a game controller's motion
// sensor, the arrow keys), every one converted to raw bytes alike.
#pragma once

#include "options.h"
#include "tilt.h"
#include "zt/drivers/iio_accelerometer.h"
#include "zt/drivers/simulated_accelerometer.h"
#include "zt/host/input.h"
#include "zt/host/phone.h"

#include <SDL.h>

#include <memory>
#include <optional>
#include <string>

namespace zt::desktop {

class DesktopAccelerometer {
  public:
    DesktopAccelerometer() = default;
    ~DesktopAccelerometer();
    DesktopAccelerometer(const DesktopAccelerometer&) = delete;
    DesktopAccelerometer& operator=(const DesktopAccelerometer&) = delete;

    // Registers "ACC0:" for `wanted`, at boot (before the application opens
    // it): the IIO sensor itself, or the phone's feed for the keys (which
    // `input` then tilts) and a controller. Writes a one-line note to `note`
    // when the wanted source is missing.
    void boot(AccelSource wanted, host::Phone& phone, host::Input& input, std::string& note);
    // In auto mode, looks for a game controller once the first frame is on
    // the screen, so that start-up does not wait for the device scan; one
    // found takes the tilt from the keys (`input`).
    void probe_controllers(host::Input& input);
    // Controller events: the reading follows the controller's sensor, and
    // one plugged in or pulled out is opened or let go.
    void handle(const SDL_Event& event);

    // The source feeding "ACC0:" now (None when there is no device).
    AccelSource active() const { return m_active; }
    // The current raw reading, as the application would read it now.
    std::optional<drivers::RawReading> reading() const;
    // Whether readings change without a key event (a sensor, read on demand
    // or streaming): a display of them is then refreshed by polling
    // reading() at a modest rate rather than on every change.
    bool changes_unannounced() const { return m_active == AccelSource::Iio || m_active == AccelSource::Controller; }
    // Whether SDL has to run its event pump on every wake: controllers are
    // read (and plugged in) only there.
    bool needs_event_pump() const { return m_controllerSubsystem; }

    // Stops the controller subsystem; the device stays registered.
    void shutdown();

  private:
    bool open_controller();
    void close_controller();
    void feed(const host::Acceleration& a);

    AccelSource m_wanted = AccelSource::None;
    AccelSource m_active = AccelSource::None;
    std::shared_ptr<drivers::SimulatedAccelerometer> m_feed;
    std::shared_ptr<drivers::IioAccelerometer> m_iio;
    bool m_controllerSubsystem = false;
    struct ControllerCloser {
        void operator()(SDL_GameController* controller) const { SDL_GameControllerClose(controller); }
    };
    std::unique_ptr<SDL_GameController, ControllerCloser> m_controller;
    SDL_JoystickID m_controllerId = -1;
};

} // namespace zt::desktop
