// Sleeping between timer ticks without running SDL's event pump on every
// tick: an epoll wait on the X connection and on an eventfd that other
// threads signal. The 10 ms timer wakes the loop a hundred times a second, and SDL's
// pump (a dozen reads of the connection and its own bookkeeping) would be a
// third of what each wake costs. Only for X11; elsewhere the host waits in
// SDL_WaitEventTimeout.
#pragma once

#include <SDL.h>

namespace zt::desktop {

class DisplayWait {
  public:
    enum class Result {
        Timeout, // nothing happened
        Input,   // the display has something for SDL (or a signal came)
        Woken,   // another thread called wake()
    };

    // Finds `window`'s X connection; available() is false elsewhere.
    explicit DisplayWait(SDL_Window* window);
    ~DisplayWait();
    DisplayWait(const DisplayWait&) = delete;
    DisplayWait& operator=(const DisplayWait&) = delete;

    bool available() const { return m_epollFd >= 0; }
    // Any thread.
    void wake();
    // Blocks up to `milliseconds` (>= 0).
    Result wait(int milliseconds);

  private:
    int m_displayFd = -1;
    int m_wakeFd = -1;
    int m_epollFd = -1;
};

// True once the X connection broke (the process is then exiting): nothing
// may be sent to the display any more.
bool display_lost();

} // namespace zt::desktop
