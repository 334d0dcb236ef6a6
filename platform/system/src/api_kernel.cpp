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
    // All three run with the kernel lock held.
    void set() { m_signaled = true; }
    void reset() { m_signaled = false; }
    bool try_take() {
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

std::mutex g_randLock;
std::uint32_t g_randState = 1;

} // namespace

DWORD GetLastError() {
    return Kernel::get().this_thread().lastError;
}

void SetLastError(DWORD error) {
    Kernel::get().this_thread().lastError = error;
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
    std::unique_lock lock(k.lock());
    const auto deadline = zt::sys::deadline_after(k.now_locked(), milliseconds);
    if (milliseconds == 0) {
        lock.unlock();
        std::this_thread::yield();
        return;
    }
    k.wait_until(lock, deadline, [] { return false; });
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
    std::lock_guard guard(k.lock());
    if (signal)
        event->set();
    else
        event->reset();
    k.notify_all();
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
    std::unique_lock lock(k.lock());
    const auto deadline = zt::sys::deadline_after(k.now_locked(), milliseconds);
    return k.wait_until(lock, deadline, [&] { return event->try_take(); }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
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
    std::lock_guard guard(g_randLock);
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFF);
}

extern "C" void srand(unsigned int seed) ZT_C_NOEXCEPT {
    std::lock_guard guard(g_randLock);
    g_randState = seed;
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
    thread_local bool initialised = false;
    if (initialised)
        return S_FALSE;
    initialised = true;
    return S_OK;
}
