#include "accel.h"

#include "zt/acc_protocol.h"
#include "zt/host.h"
#include "zt/sys/unicode.h"

namespace zt::desktop {

DesktopAccelerometer::~DesktopAccelerometer() {
    shutdown();
}

void DesktopAccelerometer::boot(AccelSource wanted, host::Phone& phone, host::Input& input, std::string& note) {
    m_wanted = wanted;
    if (wanted == AccelSource::None)
        return;
    if (wanted == AccelSource::Iio || wanted == AccelSource::Auto) {
        m_iio = drivers::IioAccelerometer::find();
        if (m_iio && m_iio->register_as(ACC_DEVICE_NAME)) {
            m_active = AccelSource::Iio;
            return;
        }
        m_iio.reset();
        if (wanted == AccelSource::Iio) {
            note = "no IIO accelerometer under " + std::string(drivers::kIioRoot) + "; running without one";
            return;
        }
    }
    // The keyboard and the controller both set the readings of one device;
    // it starts lying flat, face up.
    m_feed = phone.add_accelerometer({0, 0, 64});
    if (!m_feed) {
        note =
            "\"" + sys::to_utf8(ACC_DEVICE_NAME) + "\" is already taken; running without the desktop's accelerometer";
        return;
    }
    if (wanted == AccelSource::Controller) {
        m_active = AccelSource::Controller;
        m_controllerSubsystem = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        if (!m_controllerSubsystem || !open_controller())
            note = "no game controller with an accelerometer yet; plug one in";
        return;
    }
    m_active = AccelSource::Keys;
    input.keys_tilt(m_feed);
}

void DesktopAccelerometer::probe_controllers(host::Input& input) {
    if (m_wanted != AccelSource::Auto || m_active != AccelSource::Keys || m_controllerSubsystem)
        return;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return;
    m_controllerSubsystem = true;
    if (open_controller()) {
        m_active = AccelSource::Controller;
        input.keys_tilt(nullptr);
        return;
    }
    // Nothing there: let go of the subsystem, which would otherwise keep
    // SDL polling for devices while the app waits.
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    m_controllerSubsystem = false;
}

bool DesktopAccelerometer::open_controller() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i))
            continue;
        std::unique_ptr<SDL_GameController, ControllerCloser> controller(SDL_GameControllerOpen(i));
        if (!controller)
            continue;
        if (SDL_GameControllerHasSensor(controller.get(), SDL_SENSOR_ACCEL) &&
            SDL_GameControllerSetSensorEnabled(controller.get(), SDL_SENSOR_ACCEL, SDL_TRUE) == 0) {
            m_controllerId = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller.get()));
            m_controller = std::move(controller);
            return true;
        }
    }
    return false;
}

void DesktopAccelerometer::close_controller() {
    m_controller.reset();
    m_controllerId = -1;
}

void DesktopAccelerometer::shutdown() {
    close_controller();
    if (m_controllerSubsystem)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    m_controllerSubsystem = false;
}

void DesktopAccelerometer::feed(const host::Acceleration& a) {
    if (m_feed)
        m_feed->set_reading(drivers::to_raw_reading(a.x, a.y, a.z));
}

void DesktopAccelerometer::handle(const SDL_Event& event) {
    if (m_active != AccelSource::Controller)
        return;
    switch (event.type) {
    case SDL_CONTROLLERSENSORUPDATE:
        if (event.csensor.which == m_controllerId && event.csensor.sensor == SDL_SENSOR_ACCEL)
            feed(controller_to_phone(event.csensor.data[0], event.csensor.data[1], event.csensor.data[2]));
        break;
    case SDL_CONTROLLERDEVICEADDED:
        if (!m_controller)
            open_controller();
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        if (event.cdevice.which != m_controllerId)
            break;
        close_controller();
        // Put down: flat, until another controller turns up.
        feed(host::Acceleration{0, 0, host::kGravity});
        open_controller();
        break;
    default:
        break;
    }
}

std::optional<drivers::RawReading> DesktopAccelerometer::reading() const {
    if (m_iio) {
        const auto sample = m_iio->sample();
        if (!sample)
            return std::nullopt;
        return drivers::to_raw_reading((*sample)[0], (*sample)[1], (*sample)[2]);
    }
    if (m_feed)
        return m_feed->reading();
    return std::nullopt;
}

} // namespace zt::desktop
