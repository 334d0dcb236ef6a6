// What a host may ask of the platform (zt/host.h), on the platform's own
// state, and the one place that knows which host is installed.
#include "host_api.h"
#include "messages.h"

#include "zt/host.h"
#include "zt/sys/debug_output.h"
#include "zt/sys/guarded.h"
#include "zt/sys/kernel.h"
#include "zt/sys/windows.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#ifndef __EMSCRIPTEN__
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zt::host {

namespace {

std::atomic<Host*> g_host{nullptr};
// Set by the first current(): from then on the platform runs on that host.
std::atomic<bool> g_hostTaken{false};

[[noreturn]] void fail(const char* message) {
    std::fprintf(stderr, "zentrick platform: %s\n", message);
    std::fflush(stderr);
    std::abort();
}

// Never destroyed, like the rest of the platform's state.
sys::Guarded<RegisterMessageHook>& register_hook() {
    static auto* const hook = new sys::Guarded<RegisterMessageHook>();
    return *hook;
}
std::atomic<bool> g_registerHookSet{false};

} // namespace

void install(Host& host) {
    if (g_hostTaken.load(std::memory_order_acquire))
        fail("zt::host::install() called after the platform booted; install the host before the first platform "
             "call");
    Host* expected = nullptr;
    if (!g_host.compare_exchange_strong(expected, &host) && expected != &host)
        fail("zt::host::install() called for a second host; a program has exactly one");
}

Host& current() {
    Host* host = g_host.load(std::memory_order_acquire);
    if (host == nullptr)
        fail("the platform was called before a host was installed (zt::host::install); a program installs its "
             "host before the first platform call, tests link zt_testhost_main");
    if (!g_hostTaken.load(std::memory_order_relaxed))
        g_hostTaken.store(true, std::memory_order_release);
    return *host;
}

void application_gone() {
    if (!g_hostTaken.load(std::memory_order_acquire))
        return;
    current().application_gone();
    // The process is exiting: a count of repeats held back would be lost.
    sys::finish_debug_output();
}

std::uint64_t now() {
    return sys::Kernel::get().now();
}

bool is_boot_thread() {
    return sys::is_boot_thread();
}

static_assert(kNoDeadline == sys::kForever);

std::uint64_t loop_deadline() {
    return sys::loop_deadline();
}

bool wait_for_loop(std::uint64_t deadline) {
    return sys::wait_for_loop(deadline);
}

std::vector<HWND> boot_thread_windows() {
    sys::Kernel& k = sys::Kernel::get();
    const DWORD bootThread = k.is_boot_thread() ? k.this_thread().id : k.boot_thread_id();
    return bootThread == 0 ? std::vector<HWND>() : sys::top_level_windows(bootThread);
}

HWND window_parent(HWND window) {
    return sys::window_parent(window);
}

struct Thread::Impl {
    sys::Thread thread;
};

Thread::Thread() = default;
Thread::Thread(std::function<void()> body) : m_impl(std::make_unique<Impl>(Impl{sys::Thread(std::move(body))})) {}
Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        join();
        m_impl = std::move(other.m_impl);
    }
    return *this;
}
Thread::~Thread() {
    join();
}

void Thread::join() {
    if (m_impl && m_impl->thread.joinable())
        m_impl->thread.join();
}

bool Thread::joinable() const {
    return m_impl && m_impl->thread.joinable();
}

struct ExternalWait::Impl {
    sys::Kernel::ExternalWait wait;
};

ExternalWait::ExternalWait() : m_impl(std::make_unique<Impl>()) {}
ExternalWait::~ExternalWait() = default;

void set_register_message_hook(RegisterMessageHook hook) {
    const auto held = register_hook().lock();
    g_registerHookSet.store(static_cast<bool>(hook), std::memory_order_release);
    *held = std::move(hook);
}

bool registration_allowed(LPCWSTR name) {
    if (!g_registerHookSet.load(std::memory_order_acquire))
        return true;
    const RegisterMessageHook hook = *register_hook().lock();
    return !hook || hook(name);
}

} // namespace zt::host

#ifndef __EMSCRIPTEN__
// The program's start function (ZT_HOST), when it names one.
extern "C" __attribute__((weak)) void zt_host_start(int argc, char** argv);

namespace {

// Opens /dev/null on whichever of descriptors 0, 1 and 2 is closed: a
// program started with a standard stream closed would otherwise hand that
// number to the next file it opens, and then write its messages into it.
// Every other descriptor the platform opens is close-on-exec.
void keep_standard_descriptors_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is this one, the ones below being open.
        // Left open across exec, as the standard streams are.
        if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            _exit(127); // no /dev/null: nothing safe to write to or say
    }
}

// The one piece of code of ours, the application object aside, that runs
// before main: before every other constructor of the program, it makes the
// standard streams safe, then runs the program's start function, which
// installs the host before the application object boots the platform.
void start_program(int argc, char** argv, char**) {
    keep_standard_descriptors_open();
    if (zt_host_start != nullptr)
        zt_host_start(argc, argv);
}

__attribute__((section(".init_array.00100"), used)) void (*const g_startProgram)(int, char**, char**) = start_program;

} // namespace
#endif
