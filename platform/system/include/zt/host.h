// How a host (a front end that boots the phone) plugs into the platform.
//
// A program installs exactly one host with install() before its first
// platform call; the platform then calls the host through the Host class.
// What a host may use of the platform is published here and nowhere else:
// the Win32 surface (zt/platform.h), the functions below, and the headers
// through which a host sets up the phone's devices and data: zt/sys/trace.h
// (trace channels), zt/sys/devices.h (stream drivers), zt/sys/registry.h
// (seeding values), zt/sys/resources.h, zt/sys/msgqueue.h (queue names and
// poll descriptors), zt/sys/unicode.h and zt/sys/guarded.h (helpers), and
// zt/gfx/ (the frames it is handed). The platform's own headers (the
// kernel, windows, GDI objects, fonts, the message-name table, the debug
// output) sit in platform/system/internal, which the build hands only to
// the platform and its tests: a host or tool that includes one does not
// compile, and none takes the kernel's lock.
#pragma once

#include "zt/platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zt::gfx {
class Surface;
}

namespace zt::host {

enum class ClockKind {
    Real,    // wall time: interactive hosts
    Virtual, // moves only when every platform thread waits: tests, the simulator
    // Wall time (the steady clock Real reads) as the host read it for the
    // turn of the loop it is running (Host::turn_clock()): a host that runs
    // the loop a turn at a time, knows when a timer's turn falls without
    // asking, and for which asking is a costly call out (a web page). Like
    // GetTickCount's own coarse tick, it stands still within a turn.
    Turns,
};

class Host {
  public:
    virtual ~Host() = default;

    virtual ClockKind clock_kind() const = 0;
    // ClockKind::Turns: the steady clock's ms for the turn the host is
    // running; never decreasing, and cheap: the platform asks often.
    virtual std::uint64_t turn_clock() const { return 0; }
    // Tick count at boot on the virtual clock.
    virtual DWORD start_tick() const { return 0; }

    // Called once, on the thread that first touches the platform, before that
    // call goes on. Shell windows are brought up here.
    virtual void boot() {}

    // The boot thread's loop has no message and no timer due. `timeout` is
    // the time in ms until the next timer falls due (INFINITE when none).
    // True: the host delivered input or changed something, and the loop
    // looks again at once; false: the loop waits for a message or its timer.
    virtual bool idle(DWORD timeout) {
        (void)timeout;
        return false;
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

    // The process's application object was destroyed: the process is
    // exiting, and nothing of the application calls the platform again. The
    // host takes down what it started (the shell's thread, the display).
    virtual void application_gone() {}
};

// ----- installing the host ----------------------------------------------------

// Makes `host` the program's host. Call it once, before the first platform
// call: from the start function a program names with ZT_HOST (below), or
// from main in a program without the application's global object (tests,
// benchmarks). The host is never uninstalled and must outlive every
// platform call. Installing after the platform has booted, or a second host,
// stops the process with a message on standard error: the platform would
// otherwise run half on one host and half on another.
void install(Host& host);

// How a program starts. The application's global object is built by static
// initialisation, and its constructor already makes platform calls (its
// main window hides the taskbar before main runs), so the host must be in
// before static initialisation reaches any object of the program. A program
// names its start function once, at namespace scope:
//
//   ZT_HOST(start);   // void start(int argc, char** argv)
//
// `start` reads the command line and calls install(). It runs before every
// other constructor of the program, right after the platform's own first
// step (a closed standard descriptor gets /dev/null, so that no file opened
// later takes a standard stream's number). Where the C library hands early
// functions no command line (the browser), argc is 0 and argv null.
#if defined(__EMSCRIPTEN__)
#define ZT_HOST(start)                                                                                                 \
    __attribute__((constructor(101))) static void zt_host_start() {                                                    \
        start(0, nullptr);                                                                                             \
    }                                                                                                                  \
    static_assert(true)
#else
// The program runs no start-up code of its own: the platform's one early
// step (an .init_array.00100 entry, which glibc calls with argc, argv and
// envp before every constructor of plain priority) calls this function when
// the program defines it. Two hosts in one program do not link.
extern "C" void zt_host_start(int argc, char** argv);
#define ZT_HOST(start)                                                                                                 \
    extern "C" void zt_host_start(int argc, char** argv) {                                                             \
        start(argc, argv);                                                                                             \
    }                                                                                                                  \
    static_assert(true)
#endif

// The installed host. The platform boots on its first call, so a platform
// call made before install() ends here: it stops the process with a message
// on standard error naming the fault, rather than run without a clock.
Host& current();

// ----- what a host may ask the platform -----------------------------------------

// Milliseconds since boot on the platform clock (the virtual one moves only
// when every platform thread waits). GetTickCount is this plus start_tick().
std::uint64_t now();

// True on the thread that booted the platform, the one that runs the
// application's loop and calls idle().
bool is_boot_thread();

// For a host that runs the loop itself, a turn at a time, because its thread
// cannot block (a web page): when, on now()'s clock, the calling thread's
// loop must run again once PeekMessageW found nothing. 0 when a message is
// already waiting, otherwise when the thread's next timer falls due (a time
// already past when it is due now), or kNoDeadline when it has none. It
// reads no clock: for a page, reading one is a call out to the browser.
std::uint64_t loop_deadline();
constexpr std::uint64_t kNoDeadline = UINT64_MAX;

// For a host that runs the loop itself and has no wait of its own (the
// simulator, a test's host): the calling thread waits as its loop would,
// until a message, a paint or a timer is waiting for it, another thread
// sets it an earlier timer, or `deadline` (now()'s clock; kNoDeadline:
// none) comes. On the virtual clock the time moves meanwhile. Calls no
// idle(). True when the loop has work.
bool wait_for_loop(std::uint64_t deadline);

// Every top-level window of the boot thread, in the order they were made,
// from any thread: the application's window is among them (a host's phone
// tells it from the shell's, zt/host/phone.h).
std::vector<HWND> boot_thread_windows();

// A window's parent, or null for a top-level window or a handle that is no
// window.
HWND window_parent(HWND window);

// A thread that the platform knows about from its first instruction, so the
// virtual clock waits for it while it starts; join() (or the destructor) lets
// the clock move while it waits.
class Thread {
  public:
    Thread();
    explicit Thread(std::function<void()> body);
    Thread(Thread&&) noexcept;
    Thread& operator=(Thread&&) noexcept;
    ~Thread();
    void join();
    bool joinable() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// While one lives, the calling thread counts as waiting outside the platform
// (on a condition of its own, a join, a read from another process), so that
// the virtual clock may move.
class ExternalWait {
  public:
    ExternalWait();
    ~ExternalWait();
    ExternalWait(const ExternalWait&) = delete;
    ExternalWait& operator=(const ExternalWait&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// ----- for the framework ----------------------------------------------------------

// The process's application object is gone (CMzApp's destructor): tells the
// host (Host::application_gone), once the platform has booted.
void application_gone();

// ----- for tests ----------------------------------------------------------------

// Called with the name of every RegisterWindowMessageW (null included) before
// the platform looks at it, on the caller's thread; false makes the call fail
// with 0. An empty function removes the hook.
using RegisterMessageHook = std::function<bool(LPCWSTR name)>;
void set_register_message_hook(RegisterMessageHook hook);

} // namespace zt::host
