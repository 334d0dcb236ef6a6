#include "display_wait.h"

#include <SDL_syswm.h> // with Xlib.h, whose ConnectionNumber needs no libX11 link

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zt::desktop {

namespace {

std::atomic<bool> g_displayLost{false};

// Xlib's own handler says the connection broke and calls exit(); the exit
// routines then closed the window on the dead connection, which said it
// again or hung. This one says it once and marks the display lost first.
int on_display_lost(Display* display) {
    g_displayLost = true;
    std::fprintf(stderr, "zentrick: X connection to %s broken (explicit kill or server shutdown).\n",
                 DisplayString(display));
    std::exit(1);
}

// SDL loads libX11 itself: the handler is set through the library already
// loaded, so the program needs no link to it.
void watch_connection() {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (x11 == nullptr)
        return;
    using SetHandler = XIOErrorHandler (*)(XIOErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(x11, "XSetIOErrorHandler")))
        set(on_display_lost);
    dlclose(x11); // SDL still holds it
}

} // namespace

bool display_lost() {
    return g_displayLost;
}

DisplayWait::DisplayWait(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 ||
        info.info.x11.display == nullptr)
        return;
    watch_connection();
    m_displayFd = ConnectionNumber(info.info.x11.display);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // One epoll set, made once: a wait then adds and removes no wait-queue
    // entries for either descriptor, which poll() would do on every tick.
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    epoll_event display{};
    display.events = EPOLLIN;
    display.data.fd = m_displayFd;
    epoll_event woken{};
    woken.events = EPOLLIN;
    woken.data.fd = m_wakeFd;
    if (m_epollFd >= 0 && m_wakeFd >= 0 && epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_displayFd, &display) == 0 &&
        epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_wakeFd, &woken) == 0)
        return;
    if (m_epollFd >= 0)
        close(m_epollFd);
    m_epollFd = -1;
}

DisplayWait::~DisplayWait() {
    if (m_epollFd >= 0)
        close(m_epollFd);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

void DisplayWait::wake() {
    if (m_wakeFd < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter already means "woken"; nothing else can go wrong here.
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

DisplayWait::Result DisplayWait::wait(int milliseconds) {
    epoll_event ready[2];
    const int count = epoll_wait(m_epollFd, ready, 2, milliseconds);
    if (count < 0)
        return errno == EINTR ? Result::Input : Result::Timeout;
    if (count == 0)
        return Result::Timeout;
    bool display = false;
    for (int i = 0; i < count; ++i)
        display = display || ready[i].data.fd == m_displayFd;
    if (!display) {
        std::uint64_t taken = 0;
        [[maybe_unused]] const ssize_t read_ = read(m_wakeFd, &taken, sizeof taken);
        return Result::Woken;
    }
    return Result::Input;
}

} // namespace zt::desktop
