// The phone every host shows: which window is the application's, what its
// input reaches, and when the overlays over its screen are out of date.
#include "zt/host/phone.h"

#include "zt/acc_protocol.h"
#include "zt/host.h"
#include "zt/host/overlay.h"
#include "zt/sys/devices.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using zt::gfx::Surface;
using zt::host::Phone;
using zt::host::WindowMessage;
using zt::testhost::brightness;
using zt::testhost::OwnWindow;

namespace {

constexpr std::uint32_t kCard = 0xFFFFFFFFu;

int g_minute = 9 * 60 + 41;
int test_minute() {
    return g_minute;
}

// A phone whose shell shares the test's thread, as in the browser: the
// hardest case for telling the application's window from the shell's.
struct PhoneTest : ::testing::Test {
    void SetUp() override { start(false); }
    void TearDown() override { phone.stop(); }
    void start(bool rehearse) {
        phone.stop();
        Phone::Options options;
        options.shell.ownThread = false;
        options.rehearse = rehearse;
        options.guides = guides;
        options.minuteOfDay = test_minute;
        phone.start(options);
    }
    HWND taskbar() const { return phone.shell()->window(u"CTaskBar"); }

    Phone phone;
    const Surface card{SCREEN_WIDTH, SCREEN_HEIGHT, kCard};
    // The rehearsal overlay's lines, as a program hands them over.
    const zt::host::RehearsalGuides guides{{100, 250}, {300}};
};

bool same(const Surface& a, const Surface& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + static_cast<std::size_t>(a.width()) * a.height(), b.data());
}

// What the thread's queue holds for `hwnd`, in order; the rest (the
// shell's paints) is dispatched.
std::vector<WindowMessage> queued(HWND hwnd) {
    std::vector<WindowMessage> out;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == hwnd)
            out.push_back({msg.message, msg.wParam, msg.lParam});
        else
            DispatchMessageW(&msg);
    }
    return out;
}

} // namespace

TEST_F(PhoneTest, TheTaskbarIsStaleWhenItComesGoesOrItsClockTicks) {
    EXPECT_FALSE(phone.taskbar_stale()); // nothing shown yet
    OwnWindow app({.className = u"PhoneApp", .style = WS_VISIBLE, .width = SCREEN_WIDTH, .height = SCREEN_HEIGHT});
    ASSERT_TRUE(phone.present(app.get(), card));
    struct Step {
        const char* name;
        std::function<void()> change;
        bool stale;
        bool strip; // drawn by the compose() that follows
    } steps[] = {
        {"first frame", [] {}, true, true},
        {"nothing changed", [] {}, false, true},
        {"the clock ticks", [] { g_minute += 1; }, true, true},
        {"hidden", [&] { ShowWindow(taskbar(), SW_HIDE); }, true, false},
        {"the clock ticks while hidden", [] { g_minute += 1; }, false, false},
        {"shown again", [&] { ShowWindow(taskbar(), SW_SHOW); }, true, true},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(phone.taskbar_stale(), step.stale) << step.name;
        const Surface& screen = phone.compose();
        EXPECT_FALSE(phone.taskbar_stale()) << step.name;
        EXPECT_EQ(phone.taskbar_drawn(), step.strip) << step.name;
        // Asleep, a host wakes for the shown clock's next look; else never.
        EXPECT_EQ(phone.overlay_wait(), step.strip ? 1000 : -1) << step.name;
        EXPECT_EQ(brightness(screen.at(100, TASKBAR_HEIGHT - 2)) < 150, step.strip) << step.name;
        EXPECT_EQ(screen.at(100, TASKBAR_HEIGHT), kCard) << step.name;
    }
}

TEST_F(PhoneTest, TheClockShowsTheMinuteOfItsClock) {
    OwnWindow app({.className = u"PhoneApp", .style = WS_VISIBLE, .width = SCREEN_WIDTH, .height = SCREEN_HEIGHT});
    phone.present(app.get(), card);
    g_minute = 12 * 60;
    const Surface noon = phone.compose();
    Surface expected = card;
    zt::host::draw_taskbar(expected, 12, 0, TASKBAR_HEIGHT);
    EXPECT_TRUE(same(noon, expected));
    g_minute = 23 * 60 + 59;
    EXPECT_FALSE(same(phone.compose(), noon));
}

TEST_F(PhoneTest, AFrameIsPlacedWhereItsWindowIsAndOnlyTheLoopThreadsCount) {
    OwnWindow app({.className = u"PhoneApp", .style = WS_VISIBLE, .width = 30, .height = 20});
    MoveWindow(app.get(), 100, 300, 30, 20, FALSE);
    const Surface red(30, 20, 0xFFFF0000u);
    ASSERT_TRUE(phone.present(app.get(), red));
    const Surface& screen = phone.compose();
    EXPECT_EQ(screen.at(100, 300), 0xFFFF0000u);
    EXPECT_EQ(screen.at(129, 319), 0xFFFF0000u);
    EXPECT_EQ(screen.at(99, 300), zt::gfx::kOpaqueBlack);
    EXPECT_EQ(screen.at(130, 319), zt::gfx::kOpaqueBlack);

    bool taken = true;
    zt::host::Thread other([&] { taken = phone.present(app.get(), card); });
    other.join();
    EXPECT_FALSE(taken);
    EXPECT_EQ(phone.compose().at(100, 300), 0xFFFF0000u);
    EXPECT_FALSE(phone.present(reinterpret_cast<HWND>(0x7FFFFFF0), card));
}

// A window presenting its surface again hands over only what it wrote in
// between, and the screen's record of writes says where; anything that may
// have covered its pixels meanwhile makes the copy whole again.
TEST_F(PhoneTest, AFramePresentedAgainCopiesOnlyWhatWasWrittenInBetween) {
    OwnWindow app({.className = u"PhoneApp", .style = WS_VISIBLE, .width = 40, .height = 30});
    OwnWindow other({.className = u"PhoneOther", .style = WS_VISIBLE, .width = 40, .height = 30});
    MoveWindow(app.get(), 100, 300, 40, 30, FALSE);
    MoveWindow(other.get(), 100, 300, 40, 30, FALSE);
    Surface frame(40, 30, 0xFF0000FFu);
    const Surface green(40, 30, 0xFF00FF00u);
    const auto paint = [&](const Surface::Area& area, std::uint32_t pixel) {
        frame.note_write(area);
        for (int y = area.top; y < area.bottom; ++y)
            std::fill(frame.written_row(y) + area.left, frame.written_row(y) + area.right, pixel);
    };
    // With no overlay over it, compose() is the screen itself.
    ShowWindow(taskbar(), SW_HIDE);
    ASSERT_TRUE(phone.present(app.get(), frame));
    const Surface& screen = phone.compose();
    ASSERT_EQ(&screen, &phone.compose());
    const std::uint64_t placed = screen.version();

    paint({5, 6, 9, 8}, 0xFFFF0000u);
    // Behind the phone's back: presented again, this pixel is not copied.
    frame.written_row(20)[30] = 0xFF123456u;
    phone.present(app.get(), frame);
    const Surface::Area written = screen.written_bounds_since(placed);
    EXPECT_EQ(std::vector<int>({written.left, written.top, written.right, written.bottom}),
              std::vector<int>({105, 306, 109, 308}));
    EXPECT_EQ(screen.at(105, 306), 0xFFFF0000u);
    EXPECT_EQ(screen.at(130, 320), 0xFF0000FFu);
    EXPECT_EQ(screen.written_bounds_since(screen.version()).right, 0); // nothing since

    // Another window over the same place, a move, a resized surface: whole.
    const std::vector<std::function<void()>> between = {
        [&] { phone.present(other.get(), green); },
        [&] { MoveWindow(app.get(), 101, 300, 40, 30, FALSE); },
        [&] { frame.resize(40, 30, 0xFF0000FFu); },
    };
    for (std::size_t i = 0; i < between.size(); ++i) {
        SCOPED_TRACE(i);
        between[i]();
        frame.written_row(20)[30] = 0xFF000000u + static_cast<std::uint32_t>(i);
        phone.present(app.get(), frame);
        RECT at{};
        GetWindowRect(app.get(), &at);
        EXPECT_EQ(screen.at(at.left + 30, at.top + 20), 0xFF000000u + i);
        EXPECT_EQ(screen.at(at.left, at.top), frame.at(0, 0));
    }
}

TEST_F(PhoneTest, TheAppWindowIsTheLastPresentedElseTheFirstThatIsNotTheShells) {
    EXPECT_EQ(phone.app_window(), nullptr); // the shell's windows share this thread
    auto first = std::make_unique<OwnWindow>(OwnWindow::Shape{.className = u"PhoneFirst"});
    OwnWindow second({.className = u"PhoneSecond"});
    EXPECT_EQ(phone.app_window(), first->get());
    phone.present(second.get(), card);
    EXPECT_EQ(phone.app_window(), second.get());
    // A child's frame does not make it the application's window.
    const HWND child =
        CreateWindowExW(0, u"PhoneFirst", u"", WS_CHILD, 0, 0, 5, 5, first->get(), nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    phone.present(child, card);
    EXPECT_EQ(phone.app_window(), second.get());
    DestroyWindow(second.get());
    EXPECT_EQ(phone.app_window(), first->get());
    first.reset();
    EXPECT_EQ(phone.app_window(), nullptr);
}

TEST_F(PhoneTest, InputReachesTheAppWindowWithOneMoveOfARunAndOneClose) {
    const WindowMessage down{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)};
    const WindowMessage move1{WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(11, 10)};
    const WindowMessage move2{WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 10)};
    const WindowMessage up{WM_LBUTTONUP, 0, MAKELPARAM(12, 10)};
    const WindowMessage activate{WM_ACTIVATE, WA_ACTIVE, 0};
    const WindowMessage close{WM_CLOSE, 0, 0};

    // Before the window exists activation waits for it; touches on nothing go.
    std::vector<WindowMessage> pending{down, activate, up};
    phone.post(pending);
    EXPECT_EQ(pending, (std::vector<WindowMessage>{activate}));

    OwnWindow app({.className = u"PhoneApp"});
    pending.insert(pending.end(), {down, move1, move2, up, close, move1, close});
    phone.post(pending);
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(queued(app.get()), (std::vector<WindowMessage>{activate, down, move2, up, close, move1}));
    EXPECT_TRUE(queued(taskbar()).empty());
}

TEST_F(PhoneTest, TheRehearsalOverlayShowsTheReadingAndTheLinesItWasGiven) {
    start(true);
    ShowWindow(taskbar(), SW_HIDE);
    OwnWindow app({.className = u"PhoneApp", .style = WS_VISIBLE, .width = SCREEN_WIDTH, .height = SCREEN_HEIGHT});
    phone.present(app.get(), card);
    const Phone::Rehearsal flat{zt::drivers::RawReading{0, 0, 64}, {}};
    const Phone::Rehearsal noting{zt::drivers::RawReading{0, 0, 64}, {"MOTION ON"}};
    const Surface plain = phone.compose(flat);
    EXPECT_EQ(phone.rehearsal_drawn(), flat);
    Surface expected = card;
    zt::host::draw_rehearsal(expected, guides, 0, 0, 64);
    EXPECT_TRUE(same(plain, expected));
    const Surface noted = phone.compose(noting);
    EXPECT_EQ(phone.rehearsal_drawn(), noting);
    zt::host::draw_status_lines(expected, noting.lines);
    EXPECT_TRUE(same(noted, expected));
    // No reading shows as zeros.
    Surface zeros = card;
    zt::host::draw_rehearsal(zeros, guides, 0, 0, 0);
    EXPECT_TRUE(same(phone.compose({}), zeros));
}

TEST_F(PhoneTest, TheAccelerometerFeedIsACC0UnlessTheNameIsTaken) {
    const auto feed = phone.add_accelerometer({1, 2, 3});
    ASSERT_NE(feed, nullptr);
    EXPECT_EQ(phone.accelerometer(), feed);
    EXPECT_EQ(feed->reading(), (zt::drivers::RawReading{1, 2, 3}));
    HANDLE device = CreateFileW(ACC_DEVICE_NAME, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    Phone other;
    EXPECT_EQ(other.add_accelerometer({0, 0, 64}), nullptr);
    EXPECT_EQ(other.accelerometer(), nullptr);
    zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
}
