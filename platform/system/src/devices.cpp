// Stream devices: the driver registry and CreateFileW / DeviceIoControl over
// it. CloseHandle (kernel calls) destroys the open instance.
#include "zt/sys/devices.h"
#include "api.h"
#include "zt/sys/guarded.h"

#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <utility>
#include <vector>

using zt::sys::fail;

namespace zt::sys {

namespace {

using Drivers = std::vector<std::pair<std::u16string, std::shared_ptr<StreamDriver>>>;

// Never destroyed: static objects may close their devices at process exit.
Guarded<Drivers>& registry() {
    static Guarded<Drivers>* const instance = new Guarded<Drivers>();
    return *instance;
}

std::shared_ptr<StreamDriver> find_driver(std::u16string_view name) {
    const auto drivers = registry().lock();
    for (const auto& [registered, driver] : *drivers)
        if (equal_ignore_case(registered, name))
            return driver;
    return nullptr;
}

// What a device handle stands for.
class DeviceHandle final : public KernelObject {
  public:
    explicit DeviceHandle(std::unique_ptr<DeviceInstance> instance) : m_instance(std::move(instance)) {}
    const char* type_name() const override { return "device"; }
    unsigned trace_channel() const override { return trace::kDevice; }
    DeviceInstance& instance() { return *m_instance; }

  private:
    std::unique_ptr<DeviceInstance> m_instance;
};

} // namespace

bool register_stream_driver(std::u16string name, std::shared_ptr<StreamDriver> driver) {
    if (name.empty() || !driver)
        return false;
    const auto drivers = registry().lock();
    for (const auto& entry : *drivers)
        if (equal_ignore_case(entry.first, name))
            return false;
    drivers->emplace_back(std::move(name), std::move(driver));
    return true;
}

bool unregister_stream_driver(std::u16string_view name) {
    std::shared_ptr<StreamDriver> removed; // released outside the lock
    const auto drivers = registry().lock();
    for (auto it = drivers->begin(); it != drivers->end(); ++it) {
        if (equal_ignore_case(it->first, name)) {
            removed = std::move(it->second);
            drivers->erase(it);
            return true;
        }
    }
    return false;
}

} // namespace zt::sys

using zt::sys::Kernel;

// Only device names are known here: the phone's files do not exist on the
// host, and nothing above the platform opens one.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    Kernel& k = Kernel::get();
    HANDLE result = INVALID_HANDLE_VALUE;
    if (zt::sys::is_int_name(name)) {
        result = fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    } else if (auto driver = zt::sys::find_driver(std::u16string_view(name, zt::sys::wide_length(name)))) {
        if (auto instance = driver->open(access, shareMode)) {
            // Null when every handle number is in use (the table set the error).
            if (HANDLE inserted = k.handles().insert(std::make_shared<zt::sys::DeviceHandle>(std::move(instance))))
                result = inserted;
        }
    } else {
        result = fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    if (zt::trace::on(zt::trace::kDevice)) {
        const std::string shown = zt::trace::quote(name);
        if (result == INVALID_HANDLE_VALUE)
            zt::trace::line(zt::trace::kDevice, "CreateFileW(%s, %#x, %#x) = INVALID_HANDLE_VALUE (error %u)",
                            shown.c_str(), access, shareMode, GetLastError());
        else
            zt::trace::line(zt::trace::kDevice, "CreateFileW(%s, %#x, %#x) = %s", shown.c_str(), access, shareMode,
                            zt::trace::handle(result).c_str());
    }
    return result;
}

// Synchronous only. Kept free of heap use and of formatting while the
// device channel is off: the accelerometer is polled through here every tick.
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    Kernel& k = Kernel::get();
    DWORD returned = 0;
    BOOL result = FALSE;
    if (overlapped != nullptr || (in == nullptr && inSize != 0) || (out == nullptr && outSize != 0)) {
        result = fail(ERROR_INVALID_PARAMETER, FALSE);
    } else if (auto handle = k.handles().find_as<zt::sys::DeviceHandle>(device)) {
        result = handle->instance().io_control(code, in, inSize, out, outSize, &returned);
        // A driver that claims more than the buffer holds is not believed.
        if (returned > outSize)
            returned = outSize;
    } else {
        result = fail(ERROR_INVALID_HANDLE, FALSE);
    }
    if (bytesReturned != nullptr)
        *bytesReturned = returned;
    if (zt::trace::on(zt::trace::kDevice)) {
        if (result != FALSE)
            zt::trace::line(zt::trace::kDevice, "DeviceIoControl(%s, %#x, %u, %u) = %d (%u bytes)",
                            zt::trace::handle(device).c_str(), code, inSize, outSize, result, returned);
        else
            zt::trace::line(zt::trace::kDevice, "DeviceIoControl(%s, %#x, %u, %u) = 0 (error %u)",
                            zt::trace::handle(device).c_str(), code, inSize, outSize, GetLastError());
    }
    return result;
}
