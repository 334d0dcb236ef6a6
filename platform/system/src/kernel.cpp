// The kernel's state: boot, the clock and its waits, threads and handles.
#include "zt/sys/kernel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace zt::sys {

namespace {

std::atomic<int> g_bootState{0}; // 0 not booted, 1 booting, 2 booted
std::atomic<std::thread::id> g_bootingThread{};
std::atomic<DWORD> g_nextThreadId{1};
// Set on threads started through Thread. The host's boot hook may start one
// (the shell's) and wait for it; the kernel is ready by then, so such a thread
// goes on at once instead of waiting for the boot to end.
thread_local bool t_platformThread = false;

// Virtual-clock bookkeeping, guarded by the kernel lock (the functions that
// touch it take its Locked proof). Every wake-up is a
// new generation; a waiter records the generation it last looked at its
// condition in. Time may jump only when every waiter has looked since the
// last wake-up: one that was handed work but has not run yet is not idle.
// Plain and never destroyed, like the kernel itself: platform threads may
// still wait while the process runs its exit handlers.
std::uint64_t g_generation = 0;
struct WaitRecord {
    std::uint64_t seen = UINT64_MAX;
};
std::vector<WaitRecord*>& wait_records() {
    static auto* const records = new std::vector<WaitRecord*>();
    return *records;
}

Tick real_now() {
    using namespace std::chrono;
    return static_cast<Tick>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

// ----- handles --------------------------------------------------------------

HANDLE HandleTable::insert(std::shared_ptr<KernelObject> object) {
    return m_entries.with([&](Entries& e) {
        const std::uint32_t value = e.next;
        e.next += 4;
        e.objects.emplace(value, std::move(object));
        return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
    });
}

std::shared_ptr<KernelObject> HandleTable::find(HANDLE handle) {
    const auto raw = reinterpret_cast<std::uintptr_t>(handle);
    if (raw == 0 || raw > 0xFFFFFFFFu)
        return nullptr;
    return m_entries.with([&](Entries& e) -> std::shared_ptr<KernelObject> {
        auto it = e.objects.find(static_cast<std::uint32_t>(raw));
        return it == e.objects.end() ? nullptr : it->second;
    });
}

std::shared_ptr<KernelObject> HandleTable::remove(HANDLE handle) {
    const auto raw = reinterpret_cast<std::uintptr_t>(handle);
    if (raw == 0 || raw > 0xFFFFFFFFu)
        return nullptr;
    return m_entries.with([&](Entries& e) -> std::shared_ptr<KernelObject> {
        auto it = e.objects.find(static_cast<std::uint32_t>(raw));
        if (it == e.objects.end())
            return nullptr;
        auto object = std::move(it->second);
        e.objects.erase(it);
        return object;
    });
}

// ----- boot -----------------------------------------------------------------

Kernel::Kernel() = default;

Kernel& Kernel::get() {
    // Never destroyed: static objects of the application use the platform
    // until the very end of the process.
    static Kernel* const instance = new Kernel();
    if (g_bootState.load(std::memory_order_acquire) == 2)
        return *instance;
    int expected = 0;
    if (g_bootState.compare_exchange_strong(expected, 1)) {
        g_bootingThread.store(std::this_thread::get_id());
        instance->boot();
        g_bootState.store(2, std::memory_order_release);
    } else if (g_bootingThread.load() != std::this_thread::get_id() && !t_platformThread) {
        while (g_bootState.load(std::memory_order_acquire) != 2)
            std::this_thread::yield();
    }
    return *instance;
}

void Kernel::boot() {
    host::Host& host = host::current();
    m_bootThread = std::this_thread::get_id();
    m_clockKind = host.clock_kind();
    m_startTick = m_clockKind == host::ClockKind::Virtual ? host.start_tick() : 0;
    host.boot();
}

// ----- clock ----------------------------------------------------------------

Tick Kernel::now() {
    if (m_clockKind == host::ClockKind::Real)
        return real_now();
    return now(lock());
}

Tick Kernel::now(const Locked& locked) const {
    return m_clockKind == host::ClockKind::Real ? real_now() : locked->virtualNow;
}

DWORD Kernel::tick_count() {
    return static_cast<DWORD>(m_startTick + now());
}

void Kernel::maybe_advance(Locked& locked) {
    if (m_clockKind != host::ClockKind::Virtual || locked->starting > 0)
        return;
    if (locked->waiting < static_cast<int>(locked->threads.size()) || locked->deadlines.empty())
        return;
    for (const WaitRecord* record : wait_records())
        if (record->seen != g_generation)
            return; // it will look and call again
    const Tick earliest = *locked->deadlines.begin();
    if (earliest > locked->virtualNow)
        locked->virtualNow = earliest;
    notify_all(locked);
}

void Kernel::notify_all(const Locked&) {
    ++g_generation;
    m_changed.notify_all();
}

bool Kernel::wait_until(Locked& locked, Tick deadline, const std::function<bool()>& ready) {
    if (ready())
        return true;
    if (deadline != kForever && now(locked) >= deadline)
        return false;
    std::unique_lock<std::mutex>& lock = locked.unique_lock();
    if (m_clockKind == host::ClockKind::Real) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
        // The browser's one thread: a condition variable returns at once
        // there, so this would spin and freeze the page. Only time and the
        // host's input can make `ready` true; the host waits for both.
        while (!ready()) {
            const Tick now = now_locked();
            if (deadline != kForever && now >= deadline)
                return false;
            const DWORD timeout =
                deadline == kForever ? INFINITE : static_cast<DWORD>(std::min<Tick>(deadline - now, INFINITE - 1));
            lock.unlock();
            (void)host::current().idle(timeout);
            lock.lock();
        }
        return true;
#endif
        const auto when = std::chrono::steady_clock::time_point(std::chrono::milliseconds(deadline));
        while (!ready()) {
            if (deadline == kForever) {
                m_changed.wait(lock);
            } else if (m_changed.wait_until(lock, when) == std::cv_status::timeout) {
                return ready();
            }
        }
        return true;
    }
    ++locked->waiting;
    auto slot = deadline == kForever ? locked->deadlines.end() : locked->deadlines.insert(deadline);
    WaitRecord record;
    wait_records().push_back(&record);
    bool result = false;
    for (;;) {
        if ((result = ready()))
            break;
        if (deadline != kForever && locked->virtualNow >= deadline)
            break;
        if (record.seen != g_generation) {
            // Looked after the latest wake-up and still idle: time may move.
            record.seen = g_generation;
            maybe_advance(locked);
            continue;
        }
        m_changed.wait(lock);
    }
    std::erase(wait_records(), &record);
    if (slot != locked->deadlines.end())
        locked->deadlines.erase(slot);
    --locked->waiting;
    return result;
}

void Kernel::count_external_wait(int delta) {
    Locked locked = lock();
    locked->waiting += delta;
    if (delta > 0)
        maybe_advance(locked);
}

Kernel::ExternalWait::ExternalWait() {
    Kernel& k = Kernel::get();
    (void)k.this_thread();
    k.count_external_wait(1);
}

Kernel::ExternalWait::~ExternalWait() {
    Kernel::get().count_external_wait(-1);
}

void Kernel::count_starting(int delta) {
    lock()->starting += delta;
}

// ----- threads --------------------------------------------------------------

ThreadRecord::ThreadRecord() : id(g_nextThreadId.fetch_add(1)) {
    Kernel::get().register_thread(this);
}

ThreadRecord::~ThreadRecord() {
    on_thread_exit(*this);
    Kernel::get().unregister_thread(this);
}

void Kernel::register_thread(ThreadRecord* record) {
    lock()->threads[record->id] = record;
}

void Kernel::unregister_thread(ThreadRecord* record) {
    Locked locked = lock();
    locked->threads.erase(record->id);
    // One fewer thread to wait for: the others may now be the whole set.
    maybe_advance(locked);
    notify_all(locked);
}

namespace {

thread_local ThreadRecord* t_record = nullptr;

// Ends a thread's record as the thread ends.
struct RecordOwner {
    ~RecordOwner() {
        delete t_record;
        t_record = nullptr;
    }
};

} // namespace

ThreadRecord& Kernel::this_thread() {
    if (t_record != nullptr)
        return *t_record;
    t_record = new ThreadRecord();
    if (std::this_thread::get_id() == m_bootThread)
        m_bootThreadId.store(t_record->id, std::memory_order_relaxed);
    // The boot thread keeps its record to the end: it runs the exit handlers
    // (the application object's destructor among them), which still use the
    // platform after the thread's own thread_local objects are gone.
    if (std::this_thread::get_id() != m_bootThread) {
        thread_local RecordOwner owner;
        (void)owner;
    }
    return *t_record;
}

ThreadRecord* Kernel::find_thread(const Locked& locked, DWORD id) {
    auto it = locked->threads.find(id);
    return it == locked->threads.end() ? nullptr : it->second;
}

Thread::Thread(std::function<void()> body) {
    Kernel& k = Kernel::get();
    k.count_starting(1);
    m_thread = std::thread([body = std::move(body)] {
        t_platformThread = true;
        Kernel& kernel = Kernel::get();
        (void)kernel.this_thread();
        kernel.count_starting(-1);
        body();
    });
}

Thread::~Thread() {
    if (m_thread.joinable())
        join();
}

void Thread::join() {
    Kernel::ExternalWait wait;
    m_thread.join();
}

} // namespace zt::sys
