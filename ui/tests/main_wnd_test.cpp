// The main window inside one process: initialisation, activation, touches,
// ticks and card faces, against the simulated accelerometer and a taskbar on
// a shell thread.
#include "phone_fixture.h"
#include "ui/main_wnd.h"
#include "zt/gfx/gdi.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A window built for one test, with a taskbar and an accelerometer around it.
class MainWindowTest : public uitest::PhoneFixture {
  protected:
    void TearDown() override {
        m_window.reset(); // shows the taskbar again
        uitest::PhoneFixture::TearDown();
    }

    CZentrickMainWnd& create() {
        m_window = std::make_unique<CZentrickMainWnd>();
        EXPECT_TRUE(m_window->Create(0, 0, 480, 720, nullptr, 0, 0, 0));
        m_window->Show(true, true);
        return *m_window;
    }

    // Runs the window's message loop for `ms` virtual milliseconds.
    static void pump(DWORD ms) {
        const UINT_PTR stop = SetTimer(nullptr, 0, ms, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == stop)
                break;
            DispatchMessageW(&msg);
        }
        KillTimer(nullptr, stop);
    }

    std::uint32_t pixel(int x, int y) {
        auto surface = zt::gfx::window_surface(m_window->m_hWnd);
        return surface ? surface->at(x, y) : 0;
    }
    std::uint32_t face_pixel(int x, int y) {
        auto surface = zt::gfx::surface_of(m_window->m_canvasFace.m_dcCanvas.GetDC());
        return surface ? surface->at(x, y) : 0;
    }

    std::unique_ptr<CZentrickMainWnd> m_window;
};

using zt::testhost::blue;
using zt::testhost::green;
using zt::testhost::red;

// Counts ink of the text colour in a rectangle of the face.
int ink(const zt::gfx::Surface& s, RECT r, bool wantRed) {
    return zt::testhost::count_pixels(s, r, [wantRed](std::uint32_t p) {
        return wantRed ? red(p) > 150 && green(p) < 100 && blue(p) < 100 : red(p) < 80 && green(p) < 80 && blue(p) < 80;
    });
}

} // namespace

TEST_F(MainWindowTest, ConstructionHidesTheTaskbarAndDestructionShowsIt) {
    m_window = std::make_unique<CZentrickMainWnd>();
    EXPECT_FALSE(IsWindowVisible(m_taskbar));
    m_window.reset();
    EXPECT_TRUE(IsWindowVisible(m_taskbar));
}

TEST_F(MainWindowTest, InitialisationSetsTheTrickIdleAndLaysOutTheElements) {
    CZentrickMainWnd& w = create();
    EXPECT_EQ(w.m_nState, -2);
    EXPECT_EQ(w.m_nTiltSuit, 0);
    EXPECT_EQ(w.m_picBackground.GetPosX(), 0);
    EXPECT_EQ(w.m_picBackground.GetWidth(), 480);
    EXPECT_EQ(w.m_picBackground.GetHeight(), 720);
    EXPECT_EQ(w.m_picCardBack.GetPosX(), 12);
    EXPECT_EQ(w.m_picCardBack.GetPosY(), 13);
    EXPECT_EQ(w.m_picCardBack.GetWidth(), 456);
    EXPECT_EQ(w.m_picCardBack.GetHeight(), 694);
    EXPECT_EQ(w.m_canvasFace.GetWidth(), 0);
    EXPECT_EQ(w.m_canvasFace.GetHeight(), 0);
    EXPECT_EQ(w.m_picSpare.GetWidth(), 0);
    // One read at initialisation: the reading is already in the fields.
    EXPECT_EQ(w.m_cAccZ, 64);
    EXPECT_EQ(m_accelerometer->opens(), 1);
    // Felt at the edge, card back over it.
    pump(20);
    EXPECT_GT(green(pixel(4, 700)), red(pixel(4, 700)));
    EXPECT_GT(red(pixel(240, 360)), green(pixel(240, 360)));
}

TEST_F(MainWindowTest, TheTenMillisecondTimerPollsFiveTimesFaceUpAndOnceFaceDown) {
    create();
    m_accelerometer->reset_counters();
    pump(100);
    EXPECT_EQ(m_accelerometer->calls(), 10u * 5u); // ten face-up ticks
    m_accelerometer->set_reading(10, 10, -64);     // turned over
    m_accelerometer->reset_counters();
    pump(100);
    EXPECT_EQ(m_accelerometer->calls(), 10u);
    EXPECT_EQ(m_window->m_bFaceUp, 0);
}

TEST_F(MainWindowTest, ABaseInitialisationFailureStopsBeforeTheAccelerometerAndTimer) {
    // Without a window the framework's own initialisation fails.
    m_window = std::make_unique<CZentrickMainWnd>();
    EXPECT_EQ(m_window->OnInitDialog(), FALSE);
    EXPECT_EQ(m_accelerometer->opens(), 0);
    EXPECT_EQ(m_window->m_nState, 0);
}

TEST_F(MainWindowTest, ActivationHidesTheTaskbarDeactivationShowsItOtherValuesLeaveIt) {
    CZentrickMainWnd& w = create();
    EXPECT_FALSE(IsWindowVisible(m_taskbar));
    SendMessageW(w.m_hWnd, WM_ACTIVATE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(m_taskbar));
    SendMessageW(w.m_hWnd, WM_ACTIVATE, 2, 0);
    EXPECT_TRUE(IsWindowVisible(m_taskbar));
    SendMessageW(w.m_hWnd, WM_ACTIVATE, 1, 0);
    EXPECT_FALSE(IsWindowVisible(m_taskbar));
    SendMessageW(w.m_hWnd, WM_ACTIVATE, 2, 0);
    EXPECT_FALSE(IsWindowVisible(m_taskbar));
}

TEST_F(MainWindowTest, TiltLatchesTheSuitThatTheNextForcedCardUses) {
    CZentrickMainWnd& w = create();
    w.OnLButtonUp(0, 400, 10); // arm
    EXPECT_EQ(w.m_nState, -1);
    m_accelerometer->set_reading(0, -40, 50);
    pump(20);
    EXPECT_EQ(w.m_nTiltSuit, 2);
    m_accelerometer->set_reading(0, 0, 64); // flat again: the latch stays
    pump(20);
    EXPECT_EQ(w.m_nTiltSuit, 2);
    w.OnLButtonDown(0, 400, 200);
    EXPECT_EQ(w.m_nState, 2);
    w.OnLButtonUp(0, 10, 10);
    EXPECT_EQ(w.m_nState, -2);
    EXPECT_EQ(w.m_nTiltSuit, 0);
    EXPECT_EQ(w.m_canvasFace.GetPosX(), 12);
    EXPECT_EQ(w.m_canvasFace.GetWidth(), 456);
}

TEST_F(MainWindowTest, TiltReadingsFromTheListedCases) {
    CZentrickMainWnd& w = create();
    struct Case {
        std::int8_t x, y, z;
        int before, after;
    } cases[] = {{31, 0, 10, 0, 3},   {-31, 0, 10, 0, 4}, {0, 31, 10, 0, 1}, {0, -31, 10, 0, 2},
                 {30, -30, 10, 3, 3}, {40, -40, 5, 0, 2}, {40, 0, 0, 1, 1}};
    for (const Case& c : cases) {
        w.m_nTiltSuit = c.before;
        m_accelerometer->set_reading(c.x, c.y, c.z);
        w.OnTimer(10);
        EXPECT_EQ(w.m_nTiltSuit, c.after) << int(c.x) << "," << int(c.y) << "," << int(c.z);
    }
    m_accelerometer->reset_counters();
    w.OnTimer(11);
    EXPECT_EQ(m_accelerometer->calls(), 0u);
}

TEST_F(MainWindowTest, DrawCardColoursTheRankBySuitAndReplacesThePreviousFace) {
    CZentrickMainWnd& w = create();
    const RECT first{20, 200, 300, 300};
    w.DrawCard(2, 10);
    auto face = zt::gfx::surface_of(w.m_canvasFace.m_dcCanvas.GetDC());
    ASSERT_TRUE(face);
    ASSERT_EQ(face->width(), 456);
    ASSERT_EQ(face->height(), 694);
    EXPECT_GT(ink(*face, first, true), 200);
    EXPECT_EQ(ink(*face, first, false), 0);
    const zt::gfx::Surface heartTen = *face;

    w.DrawCard(1, 13);
    EXPECT_EQ(ink(*face, first, true), 0);
    EXPECT_GT(ink(*face, first, false), 200);
    EXPECT_EQ(ink(*face, RECT{165, 285, 315, 435}, true), 0); // no trace of the heart
    w.DrawCard(2, 10);
    for (int y = 0; y < 694; y += 3)
        for (int x = 0; x < 456; x += 3)
            ASSERT_EQ(face->at(x, y), heartTen.at(x, y)) << x << "," << y;
    // The white fill covers the whole face.
    EXPECT_EQ(face->at(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(face->at(455, 693) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(MainWindowTest, DrawCardWritesEachRanksTextTwice) {
    CZentrickMainWnd& w = create();
    const char* expected[] = {"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    for (int rank = 1; rank <= 13; ++rank) {
        zt::testhost::TraceCapture trace(zt::trace::kGdi);
        w.DrawCard(3, rank);
        const auto lines = trace.starting("trace:gdi: DrawTextW(");
        ASSERT_EQ(lines.size(), 2u);
        const std::string quoted = std::string("\"") + expected[rank - 1] + "\"";
        EXPECT_NE(lines[0].find(quoted), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find(quoted), std::string::npos) << lines[1];
    }
}

namespace {

// Hands out readings in order, one per device read: what a phone turned
// over in the middle of a tick would report.
class SequenceAccelerometer final : public zt::drivers::AccelerometerDriver {
  public:
    std::vector<zt::drivers::RawReading> readings;
    std::size_t next = 0;

  protected:
    bool read(zt::drivers::RawReading& reading) override {
        reading = readings[std::min(next, readings.size() - 1)];
        ++next;
        return true;
    }
};

} // namespace

TEST_F(MainWindowTest, APhoneTurnedOverDuringTheTickLatchesNothing) {
    CZentrickMainWnd& w = create();
    while (g_hAccDevice != INVALID_HANDLE_VALUE)
        AccClose();
    zt::sys::unregister_stream_driver(ACC_DEVICE_NAME);
    auto sequence = std::make_shared<SequenceAccelerometer>();
    ASSERT_TRUE(sequence->register_as(ACC_DEVICE_NAME));
    ASSERT_EQ(AccOpen(), 1);
    sequence->reset_counters();
    // Three-axis, three-axis, X, Y: tilted for clubs, face up; then Z: face down.
    sequence->readings = {{40, 0, 5}, {40, 0, 5}, {40, 0, 5}, {40, 0, 5}, {40, 0, -1}};
    w.m_nTiltSuit = 0;
    w.OnTimer(10);
    EXPECT_EQ(sequence->calls(), 5u);
    EXPECT_EQ(w.m_nTiltSuit, 0);
    EXPECT_EQ(w.m_cAccZ, -1);
    EXPECT_EQ(w.m_bFaceUp, 1);
}

TEST_F(MainWindowTest, AFailingDeviceReadsAsFaceDownAndLatchesNothing) {
    CZentrickMainWnd& w = create();
    m_accelerometer->set_reading(40, 0, 50);
    m_accelerometer->set_failing(true);
    m_accelerometer->reset_counters();
    w.OnTimer(10);
    EXPECT_EQ(m_accelerometer->calls(), 1u);
    EXPECT_EQ(w.m_cAccX, 0);
    EXPECT_EQ(w.m_bFaceUp, 0);
    EXPECT_EQ(w.m_nTiltSuit, 0);
}

TEST_F(MainWindowTest, AnIdleReleaseOnTheLeftShowsARandomCardFromTwoDraws) {
    CZentrickMainWnd& w = create();
    std::string lines;
    srand(99);
    const int first = rand(), second = rand();
    srand(99);
    w.OnLButtonDown(0, 400, 400); // idle: a press changes nothing
    EXPECT_EQ(w.m_nState, -2);
    {
        zt::testhost::TraceCapture trace(zt::trace::kGdi);
        w.OnLButtonUp(0, 10, 10);
        for (const auto& line : trace.lines())
            lines += line;
    }
    EXPECT_EQ(w.m_nState, -2);
    const char* ranks[] = {"A", "2", "3", "4", "5", "6", "7", "8", "9", "10", "J", "Q", "K"};
    const std::string rank = std::string("\"") + ranks[first % 13] + "\"";
    EXPECT_NE(lines.find(rank), std::string::npos) << lines;
    const bool red = second % 4 + 1 == 2 || second % 4 + 1 == 4;
    EXPECT_NE(lines.find(red ? ",0x0000ff) = " : ",0x000000) = "), std::string::npos) << lines; // the text colour
    EXPECT_EQ(w.m_canvasFace.GetWidth(), 456);
}
