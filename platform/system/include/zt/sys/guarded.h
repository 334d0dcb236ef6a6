// State that is reached only under its lock: Guarded<T> holds a T and a
// mutex, and the only way to the T is a Lock, which holds the mutex for as
// long as it lives. A function that takes `const Guarded<T>::Lock&` can only
// be called with the lock held, so "touch it only under its lock" is
// checked by the compiler instead of by a naming rule.
#pragma once

#include <mutex>
#include <utility>

namespace zt::sys {

template <typename T> class Guarded {
  public:
    template <typename... Args> explicit Guarded(Args&&... args) : m_value(std::forward<Args>(args)...) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    class Lock {
      public:
        Lock(Lock&&) noexcept = default;
        T& operator*() const { return *m_value; }
        T* operator->() const { return m_value; }
        // For condition variables, and for letting go around a callback
        // (see Unlocked).
        std::unique_lock<std::mutex>& unique_lock() { return m_lock; }

      private:
        friend class Guarded;
        Lock(std::mutex& mutex, T& value) : m_lock(mutex), m_value(&value) {}
        std::unique_lock<std::mutex> m_lock;
        T* m_value;
    };

    Lock lock() { return Lock(m_mutex, m_value); }

    // Runs f(T&) under the lock and returns its result.
    template <typename F> decltype(auto) with(F&& f) {
        Lock held = lock();
        return std::forward<F>(f)(*held);
    }

  private:
    std::mutex m_mutex;
    T m_value;
};

// Lets go of a held lock for a scope (a window procedure, the host, a
// driver must never be called with it) and takes it again on the way out.
class Unlocked {
  public:
    template <typename L> explicit Unlocked(L& held) : m_lock(held.unique_lock()) { m_lock.unlock(); }
    ~Unlocked() { m_lock.lock(); }
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

  private:
    std::unique_lock<std::mutex>& m_lock;
};

} // namespace zt::sys
