// Stream devices: opening by name, control calls handed to the driver,
// closing, failures with their last-error codes, and the device trace.
#include "zt/platform.h"
#include "zt/sys/devices.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

std::size_t heap_allocations(); // counted by this binary's operator new

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// A driver that records what reaches it and answers from a script.
struct Script {
    DWORD openError = 0;     // nonzero: refuse the open with this error
    BOOL result = TRUE;      // what io_control returns
    DWORD failError = 0;     // set when result is FALSE
    std::vector<BYTE> reply; // copied into the output buffer
    DWORD claimed = ~0u;     // bytes reported; ~0: the reply's size
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    std::atomic<int> calls{0};
    DWORD lastAccess = 0, lastShare = 0;
    DWORD lastCode = 0, lastInSize = 0, lastOutSize = 0;
    std::vector<BYTE> lastIn;
    bool recordInput = true; // off for the allocation count
};

class ScriptedInstance final : public zt::sys::DeviceInstance {
  public:
    explicit ScriptedInstance(Script& script) : m_script(script) {}
    ~ScriptedInstance() override { ++m_script.closes; }
    BOOL io_control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
        ++m_script.calls;
        m_script.lastCode = code;
        m_script.lastInSize = inSize;
        m_script.lastOutSize = outSize;
        EXPECT_EQ(*returned, 0u);
        if (m_script.recordInput) {
            const auto* bytes = static_cast<const BYTE*>(in);
            m_script.lastIn.assign(bytes, bytes + inSize);
        }
        if (m_script.result == FALSE) {
            SetLastError(m_script.failError);
            return FALSE;
        }
        const DWORD n = std::min<DWORD>(outSize, static_cast<DWORD>(m_script.reply.size()));
        if (n > 0)
            std::memcpy(out, m_script.reply.data(), n);
        *returned = m_script.claimed == ~0u ? n : m_script.claimed;
        return m_script.result;
    }

  private:
    Script& m_script;
};

class ScriptedDriver final : public zt::sys::StreamDriver {
  public:
    explicit ScriptedDriver(Script& script) : m_script(script) {}
    std::unique_ptr<zt::sys::DeviceInstance> open(DWORD access, DWORD share) override {
        m_script.lastAccess = access;
        m_script.lastShare = share;
        if (m_script.openError != 0) {
            SetLastError(m_script.openError);
            return nullptr;
        }
        ++m_script.opens;
        return std::make_unique<ScriptedInstance>(m_script);
    }

  private:
    Script& m_script;
};

class StreamDevices : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(zt::sys::register_stream_driver(u"TST1:", std::make_shared<ScriptedDriver>(script)));
    }
    void TearDown() override {
        zt::trace::enable(0);
        zt::trace::set_sink(nullptr);
        zt::sys::unregister_stream_driver(u"TST1:");
    }
    HANDLE open(LPCWSTR name = u"TST1:") {
        return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }
    Script script;
};

TEST_F(StreamDevices, OpenFindsTheDriverByNameWithoutRegardToCase) {
    HANDLE h = open(u"tst1:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(script.opens, 1);
    EXPECT_EQ(script.lastAccess, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(script.lastShare, FILE_SHARE_READ | FILE_SHARE_WRITE);
    // Handles are small numbers, as on the phone.
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(h), 0xFFFFFFFFu);
    HANDLE second = open();
    EXPECT_NE(second, h);
    EXPECT_EQ(script.opens, 2);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(CloseHandle(second));
}

TEST_F(StreamDevices, OpenFailuresGiveInvalidHandleValueAndAnErrorCode) {
    struct Case {
        LPCWSTR name;
        DWORD error;
    } cases[] = {
        {u"ACC9:", ERROR_FILE_NOT_FOUND},
        {u"TST1", ERROR_FILE_NOT_FOUND},
        {u"\\Windows\\file.txt", ERROR_FILE_NOT_FOUND},
        {u"", ERROR_FILE_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
        {MAKEINTRESOURCEW(5), ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(kSentinel);
        EXPECT_EQ(open(c.name), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(script.opens, 0);
}

TEST_F(StreamDevices, ADriverThatRefusesTheOpenPassesItsErrorOn) {
    script.openError = ERROR_ACCESS_DENIED;
    SetLastError(kSentinel);
    EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(StreamDevices, ControlCallsReachTheDriverWithCodeAndBuffers) {
    HANDLE h = open();
    script.result = 7; // any nonzero result reaches the caller unchanged
    script.reply = {0xE2, 0x1F, 0x40};
    const BYTE input[4] = {0x11, 0xC0, 0, 0};
    BYTE output[3] = {0, 0, 0};
    DWORD returned = kSentinel;
    EXPECT_EQ(DeviceIoControl(h, 0x4000C, const_cast<BYTE*>(input), 4, output, 3, &returned, nullptr), 7);
    EXPECT_EQ(script.lastCode, 0x4000Cu);
    EXPECT_EQ(script.lastIn, std::vector<BYTE>(input, input + 4));
    EXPECT_EQ(script.lastOutSize, 3u);
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(output[0], 0xE2);
    EXPECT_EQ(output[1], 0x1F);
    EXPECT_EQ(output[2], 0x40);
    // No buffers and no bytes-returned variable at all.
    script.reply.clear();
    EXPECT_EQ(DeviceIoControl(h, 0x40018, nullptr, 0, nullptr, 0, nullptr, nullptr), 7);
    EXPECT_EQ(script.lastCode, 0x40018u);
    EXPECT_EQ(script.calls, 2);
    CloseHandle(h);
}

TEST_F(StreamDevices, ADriverFailureReturnsFalseWithTheDriversError) {
    HANDLE h = open();
    script.result = FALSE;
    script.failError = ERROR_INVALID_PARAMETER;
    BYTE out = 0x55;
    DWORD returned = kSentinel;
    SetLastError(kSentinel);
    EXPECT_EQ(DeviceIoControl(h, 0x40000, nullptr, 0, &out, 1, &returned, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(out, 0x55);
    CloseHandle(h);
}

TEST_F(StreamDevices, BytesReturnedNeverExceedsTheOutputBuffer) {
    HANDLE h = open();
    script.reply = {1};
    script.claimed = 64;
    BYTE out = 0;
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(h, 0x40000, nullptr, 0, &out, 1, &returned, nullptr));
    EXPECT_EQ(returned, 1u);
    CloseHandle(h);
}

TEST_F(StreamDevices, BadCallsFailBeforeReachingTheDriver) {
    HANDLE h = open();
    BYTE out = 0;
    DWORD returned = kSentinel;
    alignas(8) unsigned char overlapped[64] = {};
    auto* ov = reinterpret_cast<LPOVERLAPPED>(overlapped);

    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(h, 0x40000, nullptr, 0, &out, 1, &returned, ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(returned, 0u);

    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(h, 0x40000, nullptr, 0, nullptr, 1, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(h, 0x40020, nullptr, 4, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(script.calls, 0);

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), event}) {
        SetLastError(kSentinel);
        EXPECT_FALSE(DeviceIoControl(bad, 0x40000, nullptr, 0, &out, 1, &returned, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(script.calls, 0);
    CloseHandle(event);
    CloseHandle(h);
}

TEST_F(StreamDevices, CloseHandleClosesTheInstanceOnce) {
    HANDLE h = open();
    EXPECT_EQ(script.closes, 0);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(script.closes, 1);
    BYTE out = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(h, 0x40000, nullptr, 0, &out, 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(script.closes, 1);
    EXPECT_EQ(script.calls, 0);
}

TEST_F(StreamDevices, RegistrationRefusesDuplicatesAndUnregisteringKeepsOpenHandles) {
    Script other;
    EXPECT_FALSE(zt::sys::register_stream_driver(u"tst1:", std::make_shared<ScriptedDriver>(other)));
    EXPECT_FALSE(zt::sys::register_stream_driver(u"", std::make_shared<ScriptedDriver>(other)));
    EXPECT_FALSE(zt::sys::register_stream_driver(u"TST2:", nullptr));
    EXPECT_FALSE(zt::sys::unregister_stream_driver(u"TST2:"));

    HANDLE h = open();
    ASSERT_TRUE(zt::sys::unregister_stream_driver(u"TST1:"));
    SetLastError(kSentinel);
    EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    script.reply = {9};
    BYTE out = 0;
    EXPECT_TRUE(DeviceIoControl(h, 0x40000, nullptr, 0, &out, 1, nullptr, nullptr));
    EXPECT_EQ(out, 9);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(script.closes, 1);
    // Free again for another driver.
    EXPECT_TRUE(zt::sys::register_stream_driver(u"TST1:", std::make_shared<ScriptedDriver>(other)));
    HANDLE again = open();
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(other.opens, 1);
    CloseHandle(again);
}

TEST_F(StreamDevices, TheDeviceChannelTracesOpensControlCallsAndCloses) {
    std::string lines;
    zt::trace::set_sink([&](std::string_view l) { lines += l; });
    zt::trace::enable(zt::trace::kDevice);
    HANDLE h = open(u"Tst1:");
    const std::string hs = zt::trace::handle(h);
    script.reply = {1, 2, 3};
    BYTE out[3];
    DeviceIoControl(h, 0x4000C, nullptr, 0, out, 3, nullptr, nullptr);
    script.result = FALSE;
    script.failError = ERROR_INVALID_PARAMETER;
    DeviceIoControl(h, 0x40014, nullptr, 0, nullptr, 0, nullptr, nullptr);
    CloseHandle(h);
    open(u"NONE:");
    zt::trace::enable(0);
    open(u"NONE:"); // not traced
    EXPECT_EQ(lines, "trace:device: CreateFileW(\"Tst1:\", 0xc0000000, 0x3) = " + hs +
                         "\n"
                         "trace:device: DeviceIoControl(" +
                         hs +
                         ", 0x4000c, 0, 3) = 1 (3 bytes)\n"
                         "trace:device: DeviceIoControl(" +
                         hs +
                         ", 0x40014, 0, 0) = 0 (error 87)\n"
                         "trace:device: CloseHandle(" +
                         hs +
                         ") = 1\n"
                         "trace:device: CreateFileW(\"NONE:\", 0xc0000000, 0x3) = INVALID_HANDLE_VALUE (error 2)\n");
}

TEST_F(StreamDevices, ControlCallsUseNoHeapWhileTracingIsOff) {
    HANDLE h = open();
    script.recordInput = false;
    script.reply = {1, 2, 3};
    BYTE out[3];
    DWORD returned = 0;
    DeviceIoControl(h, 0x4000C, nullptr, 0, out, 3, &returned, nullptr); // the thread's first use
    const std::size_t before = heap_allocations();
    for (int i = 0; i < 100; ++i) {
        DeviceIoControl(h, 0x4000C, nullptr, 0, out, 3, &returned, nullptr);
        DeviceIoControl(h, 0x40000, nullptr, 0, out, 1, nullptr, nullptr);
    }
    EXPECT_EQ(heap_allocations() - before, 0u);
    EXPECT_EQ(script.calls, 201);
    // The counter does see the formatting that tracing brings.
    zt::trace::set_sink([](std::string_view) {});
    zt::trace::enable(zt::trace::kDevice);
    const std::size_t traced = heap_allocations();
    DeviceIoControl(h, 0x40000, nullptr, 0, out, 1, nullptr, nullptr);
    EXPECT_GT(heap_allocations() - traced, 0u);
    CloseHandle(h);
}

} // namespace
