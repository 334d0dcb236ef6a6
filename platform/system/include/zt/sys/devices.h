// Stream devices: named drivers ("ACC0:") that CreateFileW opens and
// DeviceIoControl talks to. Hosts register their drivers at boot; tests
// register their own around each case.
//
// Flow of one exchange:
//   CreateFileW("ACC0:")  -> the registry finds the driver (names compare
//                            without regard to case) -> StreamDriver::open
//                            -> the instance goes into the handle table
//   DeviceIoControl(h, ...) -> DeviceInstance::io_control on the caller's thread
//   CloseHandle(h)        -> the instance is destroyed (the driver's close)
//
// Drivers are always called without any platform lock held, so they may call
// back into the platform (SetLastError, debug output).
#pragma once

#include "zt/platform.h"

#include <memory>
#include <string>
#include <string_view>

namespace zt::sys {

// One open of a device; destroying it closes it.
class DeviceInstance {
  public:
    virtual ~DeviceInstance() = default;

    // One synchronous device-control exchange. The platform guarantees:
    // `in` is non-null whenever `inSize` > 0 and `out` whenever `outSize` > 0;
    // `returned` is never null and holds 0 on entry. The driver stores the
    // number of bytes it wrote into `out` in *returned. It returns nonzero on
    // success (the value reaches the caller unchanged) and FALSE on failure,
    // after setting the last error with SetLastError. Calls for one instance
    // may come from several threads at once; the driver guards its own state.
    // Must not allocate on the heap: it lies on polling paths.
    virtual BOOL io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) = 0;
};

// A named device that can be opened any number of times.
class StreamDriver {
  public:
    virtual ~StreamDriver() = default;

    // Opens the device with the caller's access and share modes. Returns null
    // to refuse, after setting the last error with SetLastError.
    virtual std::unique_ptr<DeviceInstance> open(DWORD access, DWORD share) = 0;
};

// Makes `driver` answer CreateFileW for `name` (e.g. u"ACC0:"). False when
// the name is empty, the driver null, or the name already taken. Does not
// boot the platform, so a host may call it from its boot hook.
bool register_stream_driver(std::u16string name, std::shared_ptr<StreamDriver> driver);

// Removes the driver of `name`; handles already open keep working until
// they are closed. False when no driver has that name.
bool unregister_stream_driver(std::u16string_view name);

} // namespace zt::sys
