// Sent and posted messages within and across threads, time-outs, the order in
// which GetMessageW hands messages out, timers and registered messages.
#include "conformance/harness.h"

#include <vector>

using conformance::duration_is;
using conformance::elapsed_is;
using conformance::Thread;
using conformance::WindowThread;

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    DWORD tick;
};
// What the test thread's own windows received (only that thread writes it).
std::vector<Seen> g_seen;

LRESULT CALLBACK own_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER || (message >= WM_USER && message < WM_APP))
        g_seen.push_back({message, wParam, GetTickCount()});
    if (message == WM_PAINT) {
        g_seen.push_back({message, wParam, GetTickCount()});
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_USER + 1)
        return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window of the test's own thread, destroyed at the end of the test; what
// its creation left in the queue is handled first.
class OwnWindow {
  public:
    explicit OwnWindow(bool visible = false) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = own_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = TEXT("ZtOwnWindow");
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, TEXT("ZtOwnWindow"), TEXT("own"), WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 100,
                                 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        g_seen.clear();
    }
    ~OwnWindow() {
        if (IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
    }
    HWND get() const { return m_hwnd; }

  private:
    HWND m_hwnd = nullptr;
};

// Runs the calling thread's loop for `ms` (a thread timer ends it).
void pump_for(DWORD ms) {
    const DWORD start = GetTickCount();
    const UINT_PTR stop = SetTimer(nullptr, 0, ms, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == stop && GetTickCount() - start >= ms)
            break;
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, stop);
}

std::vector<UINT> messages_seen() {
    std::vector<UINT> out;
    for (const auto& s : g_seen)
        out.push_back(s.message);
    return out;
}

} // namespace

// ----- sending across threads ---------------------------------------------------------

TEST(SentMessages, ATimedSendWaitsForTheOtherThreadOrGivesUpAtTheLimit) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WindowThread shell;
    HWND quick = shell.create(TEXT("ZtQuickWindow"), true, [](HWND, UINT, WPARAM w, LPARAM) { return LRESULT(w + 1); });
    HWND slow = shell.create(TEXT("ZtSlowWindow"), true, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_USER + 0xD) {
            Sleep(300); // answers within the limit
            return 7;
        }
        if (message == WM_USER + 0xF)
            WaitForSingleObject(release, INFINITE); // answers only when told
        return 1;
    });

    DWORD_PTR reply = 0;
    EXPECT_NE(SendMessageTimeoutW(quick, WM_USER, 41, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(reply, 42u);

    DWORD start = GetTickCount();
    EXPECT_NE(SendMessageTimeoutW(slow, WM_USER + 0xD, 0, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(reply, 7u);
    EXPECT_TRUE(elapsed_is(start, 300));

    start = GetTickCount();
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutW(slow, WM_USER + 0xF, 0, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_TRUE(elapsed_is(start, 800));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    SetEvent(release);

    // The message given up on was delivered once; the window answers again.
    EXPECT_NE(SendMessageTimeoutW(slow, WM_USER + 0xD, 0, 0, SMTO_NORMAL, 800, &reply), 0);
    int hung = 0;
    for (const auto& r : shell.received(WM_USER))
        hung += r.message == WM_USER + 0xF;
    EXPECT_EQ(hung, 1);
    CloseHandle(release);
}

TEST(SentMessages, APlainSendGivesTheWindowsAnswerAndItsArguments) {
    WindowThread shell;
    HWND window = shell.create(TEXT("ZtAnsweringWindow"), false,
                               [](HWND, UINT m, WPARAM w, LPARAM l) { return LRESULT(m - WM_USER + w + l); });
    EXPECT_EQ(SendMessageW(window, WM_USER + 3, 10, 100), 113);
    EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, -1), 0);
    const auto got = shell.received(WM_USER);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, window);
    EXPECT_EQ(got[0].message, WM_USER + 3);
    EXPECT_EQ(got[0].wParam, 10u);
    EXPECT_EQ(got[0].lParam, 100);
    EXPECT_EQ(got[1].lParam, -1);
}

TEST(PostedMessages, AMessagePostedToAnotherThreadsWindowArrivesInOrderWithItsArguments) {
    HANDLE arrived = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WindowThread shell;
    HWND window = shell.create(TEXT("ZtPostedToWindow"), false, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_USER + 9)
            SetEvent(arrived);
        return 0;
    });
    EXPECT_TRUE(PostMessageW(window, WM_USER + 7, 70, -7));
    EXPECT_TRUE(PostMessageW(window, WM_USER + 8, 80, -8));
    EXPECT_TRUE(PostMessageW(window, WM_USER + 9, 90, -9));
    ASSERT_EQ(WaitForSingleObject(arrived, INFINITE), WAIT_OBJECT_0);
    const auto got = shell.received(WM_USER);
    ASSERT_EQ(got.size(), 3u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].hwnd, window);
        EXPECT_EQ(got[i].message, WM_USER + 7 + i);
        EXPECT_EQ(got[i].wParam, 70u + 10 * i);
        EXPECT_EQ(got[i].lParam, -7 - static_cast<LPARAM>(i));
    }
    CloseHandle(arrived);
}

TEST(SentMessages, ASendToAWindowOfTheSameThreadCallsItsProcedureDirectly) {
    OwnWindow own;
    EXPECT_EQ(SendMessageW(own.get(), WM_USER + 1, 21, 0), 42);
    DWORD_PTR reply = 0;
    EXPECT_NE(SendMessageTimeoutW(own.get(), WM_USER + 1, 5, 0, SMTO_NORMAL, 800, &reply), 0);
    EXPECT_EQ(reply, 10u);
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_USER + 1, WM_USER + 1}));
}

TEST(SentMessages, ASendToAWindowDestroyedMeanwhileFailsCleanly) {
    HWND victim = nullptr;
    {
        WindowThread shell;
        victim = shell.create(TEXT("ZtDoomedWindow"), true);
        shell.run([&] { DestroyWindow(victim); });
    }
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeoutW(victim, WM_USER, 0, 0, SMTO_NORMAL, 800, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(SentMessages, NumbersAboveFFFFReachTheWindowOfAnotherThread) {
    ZT_WIN32_DIFFERENCE("the phone's system delivers any 32-bit message number, as the shell's own 0xFFF000xx use; "
                        "desktop Win32 keeps numbers above 0xFFFF for itself (Wine answers them without calling the "
                        "window)");
    WindowThread shell;
    HWND window = shell.create(TEXT("ZtHighNumberWindow"), false, [](HWND, UINT, WPARAM, LPARAM) { return 0x55; });
    EXPECT_EQ(SendMessageW(window, 0xFFF0000D, 1, 2), 0x55);
    DWORD_PTR reply = 0;
    EXPECT_EQ(SendMessageTimeoutW(window, 0xFFF0000F, 3, 4, SMTO_NORMAL, 800, &reply), 1);
    EXPECT_EQ(reply, 0x55u);
    const auto got = shell.received(WM_USER);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, 0xFFF0000Du);
    EXPECT_EQ(got[1].message, 0xFFF0000Fu);
    EXPECT_EQ(got[1].wParam, 3u);
}

// ----- the queue ------------------------------------------------------------------------------

TEST(Queue, PostedMessagesArriveInOrderAndQuitComesLast) {
    OwnWindow own;
    PostMessageW(own.get(), WM_USER, 1, 0);
    PostMessageW(own.get(), WM_USER, 2, 0);
    PostQuitMessage(3);
    PostMessageW(own.get(), WM_USER, 4, 0);
    MSG msg;
    std::vector<WPARAM> order;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        if (msg.message == WM_USER)
            order.push_back(msg.wParam);
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 4}));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(Queue, MessagesSentFromAnotherThreadRunBeforePostedOnes) {
    OwnWindow own;
    PostMessageW(own.get(), WM_USER + 2, 1, 0);
    HANDLE sending = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND target = own.get();
    Thread sender([&] {
        SetEvent(sending);
        SendMessageW(target, WM_USER + 3, 2, 0);
    });
    WaitForSingleObject(sending, INFINITE);
    Sleep(200); // the sender is blocked in its send by now
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_USER + 2u); // what GetMessageW returns is the posted one
    DispatchMessageW(&msg);
    sender.join();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_USER + 3, WM_USER + 2}));
    CloseHandle(sending);
}

TEST(Queue, PaintComesAfterPostedMessagesAndTimersLast) {
    OwnWindow own(true);
    ASSERT_NE(SetTimer(own.get(), 7, 10, nullptr), 0u);
    Sleep(30); // the timer is due
    InvalidateRect(own.get(), nullptr, FALSE);
    PostMessageW(own.get(), WM_USER + 2, 0, 0);
    MSG msg;
    for (int i = 0; i < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0; ++i)
        DispatchMessageW(&msg);
    KillTimer(own.get(), 7);
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_USER + 2, WM_PAINT, WM_TIMER}));
}

TEST(Queue, QuitComesBeforePaintAndTimers) {
    OwnWindow own(true);
    ASSERT_NE(SetTimer(own.get(), 7, 10, nullptr), 0u);
    Sleep(30); // the timer is due
    InvalidateRect(own.get(), nullptr, FALSE);
    PostQuitMessage(5);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
    KillTimer(own.get(), 7);
    EXPECT_TRUE(g_seen.empty());
}

TEST(Queue, FiltersAreAcceptedButNotApplied) {
    ZT_WIN32_DIFFERENCE("GetMessageW and PeekMessageW take every message of the thread: their window and range "
                        "filters are accepted and not applied (nothing here uses them)");
    OwnWindow own;
    PostMessageW(own.get(), WM_USER, 1, 0);
    PostMessageW(own.get(), WM_USER + 5, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5);
}

// ----- timers -------------------------------------------------------------------------------------

TEST(Timers, ATenMillisecondTimerTicksEveryTenMilliseconds) {
    OwnWindow own;
    const DWORD start = GetTickCount();
    ASSERT_NE(SetTimer(own.get(), 10, 10, nullptr), 0u);
    MSG msg;
    while (g_seen.size() < 5 && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_TRUE(KillTimer(own.get(), 10));
    ASSERT_EQ(g_seen.size(), 5u);
    for (std::size_t i = 0; i < g_seen.size(); ++i) {
        EXPECT_EQ(g_seen[i].message, WM_TIMER);
        EXPECT_EQ(g_seen[i].wParam, 10u);
        EXPECT_TRUE(duration_is(g_seen[i].tick - start, static_cast<DWORD>(10 * (i + 1)))) << "tick " << i;
    }
}

TEST(Timers, AKilledTimerStopsAndADestroyedWindowTakesItsTimersAlong) {
    {
        OwnWindow own;
        ASSERT_NE(SetTimer(own.get(), 1, 10, nullptr), 0u);
        EXPECT_TRUE(KillTimer(own.get(), 1));
        EXPECT_FALSE(KillTimer(own.get(), 1));
        ASSERT_NE(SetTimer(own.get(), 2, 10, nullptr), 0u);
    }
    g_seen.clear();
    pump_for(100);
    EXPECT_TRUE(g_seen.empty());
}

// ----- registered messages -----------------------------------------------------------------------

TEST(RegisteredMessages, ANameHasOneNumberInTheRegisteredRangeWhateverItsCase) {
    const UINT a = RegisterWindowMessageW(TEXT("ZtAccMessage-conformance"));
    const UINT b = RegisterWindowMessageW(TEXT("ZtShellNotifyMsg/conformance"));
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_GE(b, 0xC000u);
    EXPECT_LE(b, 0xFFFFu);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessageW(TEXT("ZtAccMessage-conformance")), a);
    EXPECT_EQ(RegisterWindowMessageW(TEXT("ztaccmessage-CONFORMANCE")), a);
}

TEST(RegisteredMessages, AnEmptyNameIsRefused) {
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageW(TEXT("")), 0u);
    EXPECT_NE(GetLastError(), 0u);
}

TEST(RegisteredMessages, ANameOfUpTo255UnitsIsAcceptedAndALongerOneRefused) {
    const conformance::WString longest(255, WCHAR('m'));
    const UINT number = RegisterWindowMessageW(longest.c_str());
    EXPECT_GE(number, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(longest.c_str()), number);
    const conformance::WString tooLong(256, WCHAR('m'));
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageW(tooLong.c_str()), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(RegisteredMessages, AnotherProcessGetsTheSameNumbers) {
    std::vector<conformance::WString> names;
    for (const char* stem : {"ZtFirst", "ZtSecond", "ZtThird"})
        names.push_back(conformance::unique_name(stem));
    // Registered here first and there in the opposite order, and in another case.
    const UINT first = RegisterWindowMessageW(names[0].c_str());
    const UINT second = RegisterWindowMessageW(names[1].c_str());
    conformance::WString third = names[2];
    for (auto& c : third)
        c = (c >= 'a' && c <= 'z') ? static_cast<WCHAR>(c - 'a' + 'A') : c;
    const auto there = conformance::register_in_other_process({third, names[1], names[0]});
    ASSERT_EQ(there.size(), 3u) << "the second process did not run";
    EXPECT_EQ(there[2], first);
    EXPECT_EQ(there[1], second);
    EXPECT_NE(there[0], first);
    EXPECT_NE(there[0], second);
    EXPECT_EQ(RegisterWindowMessageW(names[2].c_str()), there[0]); // registered there first, found here
}
