// Kernel calls: last error, time, events, critical sections, the runtime's
// generator, handles.
#include "api.h"
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <atomic>
#include <mutex>

using zt::sys::fail;
using zt::sys::Kernel;
using zt::trace::kKernel;

namespace {

class Event final : public zt::sys::KernelObject {
  public:
    Event(bool manual, bool signaled) : m_manual(manual), m_signaled(signaled) {}
    const char* type_name() const override { return "event"; }
    unsigned trace_channel() const override { return kKernel; }
    // The kernel lock guards the state: a wait looks at it with the clock.
    void set(const Kernel::Locked&) { m_signaled = true; }
    void reset(const Kernel::Locked&) { m_signaled = false; }
    bool try_take(const Kernel::Locked&) {
        if (!m_signaled)
            return false;
        if (!m_manual)
            m_signaled = false;
        return true;
    }

  private:
    bool m_manual;
    bool m_signaled;
};

zt::sys::Guarded<std::uint32_t>& rand_state() {
    // Never destroyed: rand() may be called from exit handlers.
    static auto* const state = new zt::sys::Guarded<std::uint32_t>(1u);
    return *state;
}

} // namespace

// The last error lives with the thread itself: setting it never registers the
// thread with the kernel, so it is safe under any lock, the kernel's included.
namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() {
    ZT_TRACE(kKernel, "GetLastError() = %u", t_lastError);
    return t_lastError;
}

void SetLastError(DWORD error) {
    ZT_TRACE(kKernel, "SetLastError(%u)", error);
    t_lastError = error;
}

DWORD GetTickCount() {
    const DWORD ticks = Kernel::get().tick_count();
    ZT_TRACE(kKernel, "GetTickCount() = %u", ticks);
    return ticks;
}

DWORD GetCurrentThreadId() {
    const DWORD id = Kernel::get().this_thread().id;
    ZT_TRACE(kKernel, "GetCurrentThreadId() = %u", id);
    return id;
}

void Sleep(DWORD milliseconds) {
    // Traced as it starts: what a thread waits in is what a trace is read for.
    ZT_TRACE(kKernel, "Sleep(%u)", milliseconds);
    Kernel& k = Kernel::get();
    (void)k.this_thread();
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    Kernel::Locked locked = k.lock();
    const auto deadline = zt::sys::deadline_after(k.now(locked), milliseconds);
    k.wait_until(locked, deadline, [] { return false; });
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    // Named events are shared between processes on the phone; nothing here
    // asks for one.
    HANDLE event = name != nullptr
                       ? fail(ERROR_NOT_SUPPORTED, nullptr)
                       : Kernel::get().handles().insert(std::make_shared<Event>(manualReset != 0, initialState != 0));
    ZT_TRACE(kKernel, "CreateEventW(%d, %d, %s) = %s", manualReset, initialState, zt::trace::quote(name).c_str(),
             zt::trace::handle(event).c_str());
    return event;
}

namespace {

BOOL change_event(HANDLE handle, bool signal) {
    Kernel& k = Kernel::get();
    auto event = k.handles().find_as<Event>(handle);
    if (!event)
        return fail(ERROR_INVALID_HANDLE, FALSE);
    Kernel::Locked locked = k.lock();
    if (signal)
        event->set(locked);
    else
        event->reset(locked);
    k.notify_all(locked);
    return TRUE;
}

DWORD wait_for(HANDLE handle, DWORD milliseconds) {
    Kernel& k = Kernel::get();
    (void)k.this_thread();
    auto event = k.handles().find_as<Event>(handle);
    if (!event)
        return fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
    Kernel::Locked locked = k.lock();
    const auto deadline = zt::sys::deadline_after(k.now(locked), milliseconds);
    return k.wait_until(locked, deadline, [&] { return event->try_take(locked); }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

} // namespace

BOOL SetEvent(HANDLE event) {
    const BOOL result = change_event(event, true);
    ZT_TRACE(kKernel, "SetEvent(%s) = %d", zt::trace::handle(event).c_str(), result);
    return result;
}

BOOL ResetEvent(HANDLE event) {
    const BOOL result = change_event(event, false);
    ZT_TRACE(kKernel, "ResetEvent(%s) = %d", zt::trace::handle(event).c_str(), result);
    return result;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    const DWORD result = wait_for(handle, milliseconds);
    ZT_TRACE(kKernel, "WaitForSingleObject(%s, %u) = %#x", zt::trace::handle(handle).c_str(), milliseconds, result);
    return result;
}

BOOL CloseHandle(HANDLE handle) {
    Kernel& k = Kernel::get();
    if (auto found = k.handles().find(handle); found && !found->closable()) {
        ZT_TRACE(kKernel, "CloseHandle(%s) = 0", zt::trace::handle(handle).c_str());
        return fail(ERROR_INVALID_HANDLE, FALSE);
    }
    auto object = k.handles().remove(handle);
    // Closing goes to the channel of what is closed (a device, a registry
    // key); anything else, or a handle that is none, to the kernel's.
    const unsigned channel = object && object->trace_channel() != 0 ? object->trace_channel() : kKernel;
    ZT_TRACE(static_cast<zt::trace::Channel>(channel), "CloseHandle(%s) = %d", zt::trace::handle(handle).c_str(),
             object ? 1 : 0);
    if (!object)
        return fail(ERROR_INVALID_HANDLE, FALSE);
    object.reset(); // closes the device, the queue... here, outside any lock
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    ZT_TRACE(kKernel, "InitializeCriticalSection(%p)", static_cast<void*>(section));
    if (section != nullptr)
        section->impl = new std::recursive_mutex();
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    // Traced as it starts, before it may wait.
    ZT_TRACE(kKernel, "EnterCriticalSection(%p)", static_cast<void*>(section));
    if (section != nullptr && section->impl != nullptr)
        static_cast<std::recursive_mutex*>(section->impl)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    ZT_TRACE(kKernel, "LeaveCriticalSection(%p)", static_cast<void*>(section));
    if (section != nullptr && section->impl != nullptr)
        static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    ZT_TRACE(kKernel, "DeleteCriticalSection(%p)", static_cast<void*>(section));
    if (section != nullptr) {
        delete static_cast<std::recursive_mutex*>(section->impl);
        section->impl = nullptr;
    }
}

// The runtime's linear congruential generator, as the phone's C runtime has it.
extern "C" int rand(void) ZT_C_NOEXCEPT {
    const int value = rand_state().with([](std::uint32_t& state) {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    });
    ZT_TRACE(kKernel, "rand() = %d", value);
    return value;
}

extern "C" void srand(unsigned int seed) ZT_C_NOEXCEPT {
    rand_state().with([seed](std::uint32_t& state) { state = seed; });
    ZT_TRACE(kKernel, "srand(%u)", seed);
}

HRESULT CoInitializeEx(LPVOID, DWORD coInit) {
    thread_local bool initialised = false;
    const HRESULT result = initialised ? S_FALSE : S_OK;
    initialised = true;
    ZT_TRACE(kKernel, "CoInitializeEx(%#x) = %d", coInit, result);
    return result;
}
