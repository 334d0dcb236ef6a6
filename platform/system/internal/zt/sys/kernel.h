// The platform's process-wide state: one lock, one clock, the handle table
// and the per-thread records. Internal to the platform; hosts and drivers
// may use it, the application never does.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/host.h"
#include "zt/platform.h"
#include "zt/sys/guarded.h"
#include "zt/sys/unicode.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace zt::sys {

// Anything a HANDLE can stand for.
class KernelObject {
  public:
    virtual ~KernelObject() = default;
    // Name for traces ("event", "device", ...).
    virtual const char* type_name() const = 0;
    // The trace channel that reports its CloseHandle, or 0.
    virtual unsigned trace_channel() const { return 0; }
    // False for objects that only their own call frees (GDI objects go with
    // DeleteObject or DeleteDC); CloseHandle refuses them.
    virtual bool closable() const { return true; }
};

// Handle numbers that fit in 32 bits: multiples of 4 from 0x40 up to just
// below 0x80000000, handed out in turn and coming around again only after the
// whole range, skipping numbers still in use. So they never equal the main
// module (0x10), resource handles (2 mod 4), the registry's predefined keys
// (0x80000000 and up) or INVALID_HANDLE_VALUE, and a live number is never
// handed out twice. Thread-safe.
class HandleTable {
  public:
    static constexpr std::uint32_t kFirst = 0x40;
    static constexpr std::uint32_t kLast = 0x7FFFFFFC;
    // The numbers a table hands out: multiples of 4 in [first, last], the
    // next one tried being `next`.
    struct Range {
        std::uint32_t first = kFirst;
        std::uint32_t last = kLast;
        std::uint32_t next = kFirst;
    };

    HandleTable() = default;
    // A table over a range of its own; tests use it to reach the wrap and a
    // full table without 2^29 creations.
    explicit HandleTable(Range range);

    // The object's new handle, or null when every number of the range is in
    // use; the calling thread's last error then says so
    // (ERROR_NO_SYSTEM_RESOURCES).
    HANDLE insert(std::shared_ptr<KernelObject> object);
    std::shared_ptr<KernelObject> find(HANDLE handle);
    template <typename T> std::shared_ptr<T> find_as(HANDLE handle) {
        if constexpr (std::is_final_v<T>) {
            // One type to match (a device on every DeviceIoControl): no
            // walk of the class tree.
            std::shared_ptr<KernelObject> object = find(handle);
            const KernelObject* raw = object.get();
            if (raw != nullptr && typeid(*raw) == typeid(T))
                return std::static_pointer_cast<T>(std::move(object));
            return nullptr;
        } else {
            return std::dynamic_pointer_cast<T>(find(handle));
        }
    }
    // Removes the entry; the object dies with its last user.
    std::shared_ptr<KernelObject> remove(HANDLE handle);

    // The range new numbers come from. Changing it leaves open handles as
    // they are; tests narrow the kernel's table to fill it through the
    // Win32 calls, and put the old range back.
    Range range();
    void set_range(Range range);

  private:
    struct Entries {
        std::unordered_map<std::uint32_t, std::shared_ptr<KernelObject>> objects;
        Range range;
    };
    Guarded<Entries> m_entries;
};

struct ThreadRecord;
struct WaitRecord;
class MessageQueue;

using Tick = std::uint64_t;
constexpr Tick kForever = UINT64_MAX;
// The deadline `timeout` ms from `now`; INFINITE stays forever.
constexpr Tick deadline_after(Tick now, DWORD timeout) {
    return timeout == INFINITE ? kForever : now + timeout;
}

// What the kernel lock guards of the kernel's own: the virtual clock, the
// known threads and the waits. Only the kernel reads it; everyone else
// holds its lock as the proof that the shared state (windows, queues,
// timers) may be touched.
class KernelState {
  private:
    friend class Kernel;
    Tick virtualNow = 0;
    std::map<DWORD, ThreadRecord*> threads;
    std::vector<WaitRecord*> waits; // each waiting thread's, while it waits
    int waiting = 0;
    int starting = 0;
};

// The one lock that guards the clock, the windows, the message queues, the
// timers and the waits (they share it because a wait looks at all of them
// at once). Window procedures and drivers are always called without it.
// lock() is the only way to it, and a Locked the only way to what it
// guards; a thread that asks for it while holding it stops at once
// (guarded.h) instead of waiting for itself.
class Kernel {
  public:
    static Kernel& get();

    // Proof that the kernel lock is held.
    using Locked = Guarded<KernelState>::Lock;
    Locked lock() { return m_state.lock(); }
    host::ClockKind clock_kind() const { return m_clockKind; }

    // Milliseconds since boot on the platform clock; GetTickCount adds the
    // host's start tick and keeps the low 32 bits.
    Tick now();
    Tick now(const Locked& locked) const;
    DWORD tick_count();
    DWORD tick_count(const Locked& locked) const { return tick_count_at(now(locked)); }
    // The tick count at the clock reading `now` (a read of now()).
    DWORD tick_count_at(Tick now) const { return static_cast<DWORD>(m_startTick + now); }

    // Blocks the calling thread until `ready()` holds or the time `deadline`
    // (kForever: none) has come. Returns ready()'s last value. On the
    // virtual clock a thread that waits counts as idle; when every platform
    // thread is idle, the clock jumps to the earliest deadline among them.
    bool wait_until(Locked& locked, Tick deadline, const std::function<bool()>& ready);
    // Wakes every waiter to look again: for changes that any thread may be
    // waiting for (an event, a window going).
    void notify_all(const Locked& locked);
    // Wakes only the given thread's waiter: for changes to what that thread
    // alone waits for (its queue, its windows' paint and timers). Threads
    // left asleep keep counting as idle.
    void notify_thread(const Locked& locked, DWORD threadId);

    HandleTable& handles() { return m_handles; }

    // The record of the calling thread, made on first use.
    ThreadRecord& this_thread();
    // The record of a thread by id, or null.
    ThreadRecord* find_thread(const Locked& locked, DWORD id);
    bool is_boot_thread() const { return std::this_thread::get_id() == m_bootThread; }
    // The boot thread's id as GetCurrentThreadId gives it (0 until it is known).
    DWORD boot_thread_id() const { return m_bootThreadId.load(std::memory_order_relaxed); }

    // Marks the calling thread as waiting outside the platform (a join, a
    // read from another process) so that the virtual clock may move.
    class ExternalWait {
      public:
        ExternalWait();
        ~ExternalWait();
        ExternalWait(const ExternalWait&) = delete;
        ExternalWait& operator=(const ExternalWait&) = delete;
    };

  private:
    friend struct ThreadRecord;
    friend class Thread;
    Kernel();
    void boot();
    void register_thread(ThreadRecord* record);
    void unregister_thread(ThreadRecord* record);
    void maybe_advance(Locked& locked);
    // Threads waiting outside the platform, and threads started but not yet
    // running: the virtual clock stands still for the latter.
    void count_external_wait(int delta);
    void count_starting(int delta);
    // The real or the turns' clock: both the steady clock, needing no lock.
    Tick steady_now() const;

    Guarded<KernelState> m_state;
    host::ClockKind m_clockKind = host::ClockKind::Virtual;
    const host::Host* m_host = nullptr;
    HandleTable m_handles;
    std::thread::id m_bootThread;
    std::atomic<DWORD> m_bootThreadId{0};
    DWORD m_startTick = 0;
};

// Per-thread message queue state lives in the windowing code; the kernel
// only knows that a thread exists and how to wake it.
struct ThreadRecord {
    ThreadRecord();
    ~ThreadRecord();
    DWORD id = 0;
    // The thread's message queue (message_queue.h: queue_of makes it on
    // first use); other threads post to it, so only under the kernel lock.
    std::shared_ptr<MessageQueue>& queue(const Kernel::Locked&) { return m_queue; }

  private:
    std::shared_ptr<MessageQueue> m_queue;
};

// A thread that the platform knows about from its first instruction, so the
// virtual clock waits for it; join() lets the clock move while waiting.
class Thread {
  public:
    Thread() = default;
    explicit Thread(std::function<void()> body);
    Thread(Thread&&) = default;
    Thread& operator=(Thread&&) = default;
    ~Thread();
    void join();
    bool joinable() const { return m_thread.joinable(); }

  private:
    std::thread m_thread;
};

// Called by a thread's record as the thread ends: its windows go, and
// senders waiting on it are answered with a failure.
void on_thread_exit(ThreadRecord& record);

} // namespace zt::sys
