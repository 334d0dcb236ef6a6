#include "display_wait.h"

#include <SDL_syswm.h> // with Xlib.h, whose ConnectionNumber needs no libX11 link

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zt::desktop {

DisplayWait::DisplayWait(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 ||
        info.info.x11.display == nullptr)
        return;
    m_displayFd = ConnectionNumber(info.info.x11.display);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

DisplayWait::~DisplayWait() {
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
    pollfd fds[2] = {{m_displayFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = poll(fds, 2, milliseconds);
    if (ready < 0)
        return errno == EINTR ? Result::Input : Result::Timeout;
    if (ready == 0)
        return Result::Timeout;
    if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t taken = read(m_wakeFd, &count, sizeof count);
        return Result::Woken;
    }
    return Result::Input;
}

} // namespace zt::desktop
