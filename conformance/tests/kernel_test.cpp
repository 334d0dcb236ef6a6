// Last error, waits, events and critical sections.
#include "conformance/harness.h"

#include <cstdint>

using conformance::elapsed_is;
using conformance::Thread;

TEST(LastError, IsKeptPerThread) {
    // Each thread sets its own while the other's is set.
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD other = 0;
    Thread t([&] {
        SetLastError(222);
        WaitForSingleObject(go, INFINITE);
        other = GetLastError();
        SetEvent(done);
    });
    SetLastError(111);
    SetEvent(go);
    WaitForSingleObject(done, INFINITE);
    EXPECT_EQ(GetLastError(), 111u);
    EXPECT_EQ(other, 222u);
    t.join();
    CloseHandle(go);
    CloseHandle(done);
}

TEST(Waits, SleepLastsItsDuration) {
    const DWORD before = GetTickCount();
    Sleep(250);
    EXPECT_TRUE(elapsed_is(before, 250));
}

TEST(Events, ResetAutomaticallyOrStaySignalled) {
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(autoEvent, nullptr);
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    const DWORD before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(autoEvent, 30), WAIT_TIMEOUT);
    EXPECT_TRUE(elapsed_is(before, 30));
    EXPECT_TRUE(CloseHandle(autoEvent));
    EXPECT_TRUE(CloseHandle(manual));
}

TEST(Events, AWaitEndsWhenAnotherThreadSetsTheEvent) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const DWORD before = GetTickCount();
    Thread setter([&] {
        Sleep(100);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(elapsed_is(before, 100));
    setter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT); // the wait used it up
    CloseHandle(event);
}

TEST(Events, ClosedAndBogusHandlesFailWithInvalidHandle) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    for (HANDLE h :
         {event, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x12344))}) {
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    }
}

TEST(Events, HandlesFitIn32Bits) {
    ZT_WIN32_DIFFERENCE("handles are small numbers from the platform's tables, so a record that carries one in 4 bytes "
                        "stays exact; Win32 makes no such promise for its handles");
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(event), 0xFFFFFFFFu);
    CloseHandle(event);
}

TEST(Events, MinusOneIsNoHandle) {
    ZT_WIN32_DIFFERENCE("INVALID_HANDLE_VALUE only marks a file that could not be opened: closing it fails, where "
                        "Win32 takes -1 for the current process's pseudo-handle and closes it harmlessly");
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
}

TEST(Events, NamedEventsAreRefused) {
    ZT_WIN32_DIFFERENCE("events are unnamed here: a name is refused rather than shared with other processes");
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, TEXT("ZtNamedEvent")), nullptr);
    EXPECT_NE(GetLastError(), 0u);
}

TEST(CriticalSections, SerialiseAndNest) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            EnterCriticalSection(&cs);
            EnterCriticalSection(&cs);
            const int seen = counter;
            if (i % 1000 == 0)
                Sleep(0);
            counter = seen + 1;
            LeaveCriticalSection(&cs);
            LeaveCriticalSection(&cs);
        }
    };
    Thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&cs);
}
