// The phone's shell as the hosts simulate it: one top-level window of each
// class that the shell commands look for, owned by a thread of its own with
// its own message loop, so that timed sends to it wait and time out for real.
// Each window logs what it receives on the `shell` trace channel and answers 1.
// Where no second thread can run (the browser), the windows may instead
// belong to the thread that starts the shell: sends to them then call their
// procedure at once and posts wait for that thread's loop, with the same
// answers.
#pragma once

#include "zt/platform.h"
#include "zt/screen.h"

#include <array>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace zt::host {

class SimulatedShell {
  public:
    // Which of the shell's windows exist: all of kClassNames except those
    // named here (compared without regard to case).
    struct Options {
        std::set<std::u16string> without;
        // False: the windows belong to the thread that calls start(), whose
        // message loop dispatches what is posted to them; stop() must then be
        // called on that thread too.
        bool ownThread = true;
    };

    // The taskbar first; it is visible at start, the others hidden.
    static constexpr std::array<const char16_t*, 6> kClassNames = {u"CTaskBar",      u"DesktopExplorerWindow",
                                                                   u"CLockPhoneWnd", u"DesktopExploreWindows",
                                                                   u"CShellMainWnd", u"CStartupWnd"};
    // The taskbar strip across the top of the screen.
    static constexpr RECT kTaskbarRect = {0, 0, SCREEN_WIDTH, TASKBAR_HEIGHT};

    SimulatedShell();
    explicit SimulatedShell(const Options& options);
    ~SimulatedShell();
    SimulatedShell(const SimulatedShell&) = delete;
    SimulatedShell& operator=(const SimulatedShell&) = delete;

    // Seeds the shell's registry values, starts the thread (if it has one)
    // and returns once its windows exist. Safe to call from a host's boot hook, that is during
    // the first platform call, even from a static initialiser. A second call
    // while running does nothing.
    void start();
    // Ends the thread, or destroys the windows; safe when not running.
    void stop();
    bool running() const;

    bool taskbar_visible() const;
    // The window of one of kClassNames, or null when it was left out or the
    // shell is not running.
    HWND window(std::u16string_view className) const;

    struct State;

  private:
    HWND window_at(std::size_t index) const;

    Options m_options;
    std::unique_ptr<State> m_state;
};

} // namespace zt::host
