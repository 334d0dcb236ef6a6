// State that is reached only under its lock: Guarded<T> holds a T and a
// mutex, and the only way to the T is a Lock, which holds the mutex for as
// long as it lives. A function that takes `const Guarded<T>::Lock&` can only
// be called with the lock held, so "touch it only under its lock" is
// checked by the compiler instead of by a naming rule.
//
// The mutex itself is never handed out: a Lock lets go of it only for a
// condition variable's wait (wait, wait_until) or for a scope (Unlocked).
// A thread that asks again for a lock it already holds would wait for
// itself forever; it stops instead, with one line on standard error.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace zt::sys {

template <typename L> class Unlocked;

// The calling thread's mark: the address of a thread-local, which no other
// live thread shares. Unlike std::thread::id, a variable holding one can be
// constant-initialised, so a Guarded<T> global needs no start-up code.
inline const void* this_thread_mark() {
    thread_local const char mark = 0;
    return &mark;
}

// Which thread holds a mutex, so that taking it twice is caught.
class LockOwner {
  public:
    void taking() const {
        if (m_owner.load(std::memory_order_relaxed) == this_thread_mark()) {
            std::fputs("zentrick: a thread took a lock it already holds; it would wait for itself forever\n", stderr);
            std::abort();
        }
    }
    void took() { m_owner.store(this_thread_mark(), std::memory_order_relaxed); }
    void letting_go() { m_owner.store(nullptr, std::memory_order_relaxed); }

  private:
    std::atomic<const void*> m_owner{nullptr};
};

// A global Guarded<T> whose T has a constexpr constructor is constant-
// initialised (declare it constinit): it is in place before any code runs.
template <typename T> class Guarded {
  public:
    template <typename... Args> constexpr explicit Guarded(Args&&... args) : m_value(std::forward<Args>(args)...) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    class Lock {
      public:
        Lock(Lock&& other) noexcept = default;
        Lock& operator=(Lock&&) = delete;
        ~Lock() {
            if (m_lock.owns_lock())
                m_owner->letting_go();
        }
        T& operator*() const { return *m_value; }
        T* operator->() const { return m_value; }

        // Waits on `condition`, letting go of the lock meanwhile.
        void wait(std::condition_variable& condition) {
            m_owner->letting_go();
            condition.wait(m_lock);
            m_owner->took();
        }
        // As wait(), until `when` at the latest; false when that time came.
        template <typename Clock, typename Duration>
        bool wait_until(std::condition_variable& condition, const std::chrono::time_point<Clock, Duration>& when) {
            m_owner->letting_go();
            const bool woken = condition.wait_until(m_lock, when) == std::cv_status::no_timeout;
            m_owner->took();
            return woken;
        }

      private:
        friend class Guarded;
        template <typename> friend class Unlocked;
        Lock(std::mutex& mutex, T& value, LockOwner& owner) : m_lock(mutex), m_value(&value), m_owner(&owner) {
            m_owner->took();
        }
        void let_go() {
            m_owner->letting_go();
            m_lock.unlock();
        }
        void take_again() {
            m_owner->taking();
            m_lock.lock();
            m_owner->took();
        }
        std::unique_lock<std::mutex> m_lock;
        T* m_value;
        LockOwner* m_owner;
    };

    Lock lock() {
        m_owner.taking();
        return Lock(m_mutex, m_value, m_owner);
    }

    // Runs f(T&) under the lock and returns its result.
    template <typename F> decltype(auto) with(F&& f) {
        Lock held = lock();
        return std::forward<F>(f)(*held);
    }

  private:
    std::mutex m_mutex;
    LockOwner m_owner;
    T m_value;
};

// Lets go of a held lock for a scope (a window procedure, the host, a
// driver must never be called with it) and takes it again on the way out.
template <typename L> class Unlocked {
  public:
    explicit Unlocked(L& held) : m_held(held) { m_held.let_go(); }
    ~Unlocked() { m_held.take_again(); }
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

  private:
    L& m_held;
};

} // namespace zt::sys
