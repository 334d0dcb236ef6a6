// Kernel calls: last error, time, events, critical sections, the runtime's
// generator, handles.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"

#include <atomic>
#include <mutex>

using zt::sys::Kernel;

namespace {

class Event final : public zt::sys::KernelObject {
  public:
    Event(bool manual, bool signaled) : m_manual(manual), m_signaled(signaled) {}
    const char* type_name() const override { return "event"; }
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
    return t_lastError;
}

void SetLastError(DWORD error) {
    t_lastError = error;
}

DWORD GetTickCount() {
    return Kernel::get().tick_count();
}

DWORD GetCurrentThreadId() {
    return Kernel::get().this_thread().id;
}

void Sleep(DWORD milliseconds) {
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
    if (name != nullptr) {
        // Named events are shared between processes on the phone; nothing
        // here asks for one.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return Kernel::get().handles().insert(std::make_shared<Event>(manualReset != 0, initialState != 0));
}

static BOOL change_event(HANDLE handle, bool signal) {
    Kernel& k = Kernel::get();
    auto event = k.handles().find_as<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Kernel::Locked locked = k.lock();
    if (signal)
        event->set(locked);
    else
        event->reset(locked);
    k.notify_all(locked);
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    return change_event(event, true);
}

BOOL ResetEvent(HANDLE event) {
    return change_event(event, false);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Kernel& k = Kernel::get();
    (void)k.this_thread();
    auto event = k.handles().find_as<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    Kernel::Locked locked = k.lock();
    const auto deadline = zt::sys::deadline_after(k.now(locked), milliseconds);
    return k.wait_until(locked, deadline, [&] { return event->try_take(locked); }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle) {
    Kernel& k = Kernel::get();
    if (auto found = k.handles().find(handle); found && !found->closable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto object = k.handles().remove(handle);
    const unsigned channel = object ? object->trace_channel() : 0;
    if (channel != 0)
        ZT_TRACE(static_cast<zt::trace::Channel>(channel), "CloseHandle(%s) = 1", zt::trace::handle(handle).c_str());
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object.reset(); // closes the device, the queue... here, outside any lock
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    if (section != nullptr)
        section->impl = new std::recursive_mutex();
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    if (section != nullptr && section->impl != nullptr)
        static_cast<std::recursive_mutex*>(section->impl)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    if (section != nullptr && section->impl != nullptr)
        static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    if (section != nullptr) {
        delete static_cast<std::recursive_mutex*>(section->impl);
        section->impl = nullptr;
    }
}

// The runtime's linear congruential generator, as the phone's C runtime has it.
extern "C" int rand(void) ZT_C_NOEXCEPT {
    return rand_state().with([](std::uint32_t& state) {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    });
}

extern "C" void srand(unsigned int seed) ZT_C_NOEXCEPT {
    rand_state().with([seed](std::uint32_t& state) { state = seed; });
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
    thread_local bool initialised = false;
    if (initialised)
        return S_FALSE;
    initialised = true;
    return S_OK;
}
