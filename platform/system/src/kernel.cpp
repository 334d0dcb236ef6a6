// The kernel's state: boot, the clock and its waits, threads and handles.
#include "zt/sys/kernel.h"
#include "api.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

using zt::sys::fail;

namespace zt::sys {

// A waiting thread's record, in the kernel state's list of waits while it
// waits. Each has its own condition variable, so a change wakes only the
// threads it concerns. A waiter counts as idle only once it has looked at
// its condition since it was last woken: one that was handed work but has
// not run yet keeps the clock still.
struct WaitRecord {
    DWORD threadId = 0;
    Tick deadline = kForever;
    bool looked = false;
    std::condition_variable wake;
};

namespace {

// Constant-initialised: the first platform call, which boots, may come from
// any static initialiser of the program, before or after this file's.
constinit std::atomic<int> g_bootState{0}; // 0 not booted, 1 booting, 2 booted
constinit std::atomic<const void*> g_bootingThread{nullptr};
constinit std::atomic<DWORD> g_nextThreadId{1};
// Set on threads started through Thread. The host's boot hook may start one
// (the shell's) and wait for it; the kernel is ready by then, so such a thread
// goes on at once instead of waiting for the boot to end.
thread_local bool t_platformThread = false;

void wake(WaitRecord& record) {
    record.looked = false;
    record.wake.notify_one();
}

thread_local ThreadRecord* t_record = nullptr;

Tick real_now() {
    using namespace std::chrono;
    return static_cast<Tick>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

// ----- handles --------------------------------------------------------------

namespace {

// A valid range: aligned, in order, and leaving the low numbers alone.
HandleTable::Range aligned(HandleTable::Range range) {
    range.first = std::max(range.first & ~3u, HandleTable::kFirst);
    range.last = std::max(range.last & ~3u, range.first);
    range.next = range.next & ~3u;
    if (range.next < range.first || range.next > range.last)
        range.next = range.first;
    return range;
}

} // namespace

HandleTable::HandleTable(Range range) : m_entries() {
    set_range(range);
}

HANDLE HandleTable::insert(std::shared_ptr<KernelObject> object) {
    const std::uint32_t value = m_entries.with([&](Entries& e) -> std::uint32_t {
        Range& r = e.range;
        // Tries each number of the range at most once: a full range fails
        // instead of handing out a number that is still open.
        const std::uint64_t count = (static_cast<std::uint64_t>(r.last) - r.first) / 4 + 1;
        for (std::uint64_t tried = 0; tried < count; ++tried) {
            const std::uint32_t candidate = r.next;
            r.next = candidate >= r.last ? r.first : candidate + 4;
            if (e.objects.try_emplace(candidate, object).second)
                return candidate;
        }
        return 0;
    });
    if (value == 0)
        return fail(ERROR_NO_SYSTEM_RESOURCES, nullptr);
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

HandleTable::Range HandleTable::range() {
    return m_entries.with([](Entries& e) { return e.range; });
}

void HandleTable::set_range(Range range) {
    m_entries.with([&](Entries& e) { e.range = aligned(range); });
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
        g_bootingThread.store(this_thread_mark());
        instance->boot();
        g_bootState.store(2, std::memory_order_release);
    } else if (g_bootingThread.load() != this_thread_mark() && !t_platformThread) {
        while (g_bootState.load(std::memory_order_acquire) != 2)
            std::this_thread::yield();
    }
    return *instance;
}

void Kernel::boot() {
    host::Host& host = host::current();
    m_bootThread = std::this_thread::get_id();
    m_clockKind = host.clock_kind();
    m_host = &host;
    m_startTick = m_clockKind == host::ClockKind::Virtual ? host.start_tick() : 0;
    host.boot();
}

// ----- clock ----------------------------------------------------------------

Tick Kernel::now() {
    return m_clockKind == host::ClockKind::Virtual ? now(lock()) : steady_now();
}

Tick Kernel::now(const Locked& locked) const {
    return m_clockKind == host::ClockKind::Virtual ? locked->virtualNow : steady_now();
}

Tick Kernel::steady_now() const {
    return m_clockKind == host::ClockKind::Real ? real_now() : m_host->turn_clock();
}

DWORD Kernel::tick_count() {
    return static_cast<DWORD>(m_startTick + now());
}

// Called by a waiter that has just looked and found nothing to do, and when
// a thread stops counting (it ends, or waits outside the platform). When
// every thread waits and each has looked since it was last woken, the clock
// jumps straight to the earliest deadline and only the waiters whose
// deadline has come are woken: the others' conditions cannot change until a
// notify that targets them, so they stay asleep and still count as idle.
void Kernel::maybe_advance(Locked& locked) {
    if (m_clockKind != host::ClockKind::Virtual || locked->starting > 0)
        return;
    if (locked->waiting < static_cast<int>(locked->threads.size()))
        return;
    Tick earliest = kForever;
    for (const WaitRecord* record : locked->waits) {
        if (!record->looked)
            return; // it will look and call again
        earliest = std::min(earliest, record->deadline);
    }
    if (earliest == kForever)
        return;
    if (earliest > locked->virtualNow)
        locked->virtualNow = earliest;
    for (WaitRecord* record : locked->waits)
        if (record->deadline <= locked->virtualNow)
            wake(*record);
}

void Kernel::notify_all(const Locked& locked) {
    for (WaitRecord* record : locked->waits)
        wake(*record);
}

void Kernel::notify_thread(const Locked& locked, DWORD threadId) {
    // A thread that is not waiting looks at its condition before it waits.
    for (WaitRecord* record : locked->waits)
        if (record->threadId == threadId)
            wake(*record);
}

bool Kernel::wait_until(Locked& locked, Tick deadline, const std::function<bool()>& ready) {
    if (ready())
        return true;
    if (deadline != kForever && now(locked) >= deadline)
        return false;
    WaitRecord record;
    record.threadId = t_record != nullptr ? t_record->id : 0;
    record.deadline = deadline;
    locked->waits.push_back(&record);
    bool result = false;
    // The turns' clock is the steady clock too, read less often.
    if (m_clockKind != host::ClockKind::Virtual) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
        // The browser's one thread: a condition variable returns at once
        // there, so this would spin and freeze the page. Only time and the
        // host's input can make `ready` true; the host waits for both.
        while (!(result = ready())) {
            const Tick current = now(locked);
            if (deadline != kForever && current >= deadline)
                break;
            const DWORD timeout =
                deadline == kForever ? INFINITE : static_cast<DWORD>(std::min<Tick>(deadline - current, INFINITE - 1));
            Unlocked open(locked);
            (void)host::current().idle(timeout);
        }
#else
        const auto when = std::chrono::steady_clock::time_point(std::chrono::milliseconds(deadline));
        while (!(result = ready())) {
            if (deadline == kForever) {
                locked.wait(record.wake);
            } else if (!locked.wait_until(record.wake, when)) {
                result = ready();
                break;
            }
        }
#endif
        std::erase(locked->waits, &record);
        return result;
    }
    ++locked->waiting;
    for (;;) {
        if ((result = ready()))
            break;
        if (deadline != kForever && locked->virtualNow >= deadline)
            break;
        if (!record.looked) {
            // Looked since the latest wake-up and still idle: time may move.
            record.looked = true;
            maybe_advance(locked);
            continue;
        }
        locked.wait(record.wake);
    }
    std::erase(locked->waits, &record);
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
    // The starting thread counts from now on: were it unknown, the new thread
    // alone could find every thread waiting and move the clock under it.
    (void)k.this_thread();
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
