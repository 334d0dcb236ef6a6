// How a host (a front end that boots the phone) plugs into the platform.
//
// Each program links exactly one host, which defines zt::host::current().
// The platform calls the host; the host never reaches into the platform's
// state except through the Win32 surface and the few hooks below.
#pragma once

#include "zt/platform.h"

#include <cstdint>
#include <string_view>

namespace zt::gfx {
class Surface;
}

namespace zt::host {

enum class ClockKind {
    Real,    // wall time: interactive hosts
    Virtual, // moves only when every platform thread waits: tests, the simulator
};

// What the application's loop does after the host had its turn.
struct IdleAction {
    // True: the host delivered input or changed something; look again at once.
    bool again = false;
    // Otherwise the loop may block for up to this many milliseconds (INFINITE:
    // no limit), woken earlier by any message or timer that falls due.
    DWORD wait = INFINITE;
};

class Host {
  public:
    virtual ~Host() = default;

    virtual ClockKind clock_kind() const = 0;
    // Tick count at boot on the virtual clock.
    virtual DWORD start_tick() const { return 0; }

    // Called once, on the thread that first touches the platform, before that
    // call goes on. Shell windows are brought up here.
    virtual void boot() {}

    // The boot thread's loop has no message and no timer due. `timeout` is
    // the time in ms until the next timer falls due (INFINITE when none).
    virtual IdleAction idle(DWORD timeout) {
        (void)timeout;
        return {};
    }
    // Another thread queued something for the boot thread while it may be
    // blocked in idle().
    virtual void wake() {}

    // A window's finished frame, ready to be shown.
    virtual void present(HWND window, const gfx::Surface& frame) {
        (void)window;
        (void)frame;
    }

    // The window is shown with the framework's animation `type`; the host
    // may animate it (returning when done) or show it at once.
    virtual void animate_window(HWND window, int type, bool show) { (void)window, (void)type, (void)show; }

    // The display driver's private escapes; 0 means not supported.
    virtual int display_escape(int code, int inputSize, const char* input, int outputSize, char* output) {
        (void)code, (void)inputSize, (void)input, (void)outputSize, (void)output;
        return 0;
    }

    // Where NKDbgPrintfW's text goes, already in UTF-8. Default: stderr.
    virtual void debug_output(std::string_view utf8);
};

// Defined by the host linked into the program.
Host& current();

} // namespace zt::host
