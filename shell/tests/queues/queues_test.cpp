// The shell's queues and registered messages: the exact bytes that reach each
// queue, read back through a reading end of the same queue; guards that
// write nothing; failed opens that say so and are tried again; the fifteen
// registered names.
#include "shell/queues.h"

#include "zt/platform.h"
#include "zt/sys/msgqueue.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

// ----- registrations on their way to the platform ------------------------------
// The platform's registration hook shows every registration the library
// asks for on its way to the platform; a test can also have the platform
// refuse.

namespace {
std::vector<std::u16string> g_asked;
bool g_refuseRegistration = false;

bool WatchRegistration(LPCWSTR name) {
    g_asked.emplace_back(name != nullptr ? name : u"(null)");
    return !g_refuseRegistration;
}
} // namespace

// ----- heap use ------------------------------------------------------------------

namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<int> g_allocations{0};
} // namespace

// GCC pairs the replaced operators' malloc and free as if they were
// mismatched.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (g_countAllocations.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
const std::string g_prefix = "test-" + std::to_string(getpid()) + "-";

// The queues of this binary live under its own prefix, and are removed when
// it ends.
class QueueEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv(zt::sys::kMsgQueuePrefixVariable, g_prefix.c_str(), 1); }
    void TearDown() override {
        for (LPCWSTR name : {SHELL_NOTIFY_QUEUE_NAME, APPS_ASK_QUEUE_NAME, USER_NOTIFICATION_QUEUE_NAME})
            zt::sys::remove_msgqueue(name);
    }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QueueEnvironment);

// While it lives, no queue can be opened: the prefix makes every name too
// long for the system.
class UnopenableQueues {
  public:
    UnopenableQueues() { setenv(zt::sys::kMsgQueuePrefixVariable, std::string(300, 'x').c_str(), 1); }
    ~UnopenableQueues() { setenv(zt::sys::kMsgQueuePrefixVariable, g_prefix.c_str(), 1); }
    UnopenableQueues(const UnopenableQueues&) = delete;
    UnopenableQueues& operator=(const UnopenableQueues&) = delete;
};

UINT* const g_cells[] = {
    &g_uShellMsgClickMKey,     &g_uShellMsgClickTaskbar,  &g_uShellMsgEntryLockphone, &g_uShellMsgLeaveLockPhone,
    &g_uShellMsgEntryShutDown, &g_uShellMsgLeaveShutDown, &g_uShellMsgReadyPowerOFF,  &g_uShellMsgBatteryLow,
    &g_uShellMsgEntryMusic,    &g_uShellMsgAllKeyEvent,   &g_uShellMsgEndSyncEvent,   &g_uShellMsgBeginSyncEvent,
    &g_uShellMsgNectConnect,   &g_uShellMsgNetDisconnect, &g_uShellMsgShowNotifyWnd,
};

// Puts the library's process-wide state back as it is at process start.
void ResetLibrary() {
    for (HANDLE* h : {&g_hShellNotifyQueue, &g_hAppsAskQueue, &g_hUserNotificationQueue}) {
        if (*h != nullptr)
            CloseMsgQueue(*h);
        *h = nullptr;
    }
    if (g_bShellNotifyLockReady)
        DeleteCriticalSection(&g_csShellNotify);
    g_csShellNotify = {};
    g_bShellNotifyLockReady = 0;
    for (UINT* cell : g_cells)
        *cell = 0;
    g_asked.clear();
    g_refuseRegistration = false;
    zt::testhost::set_register_message_hook(WatchRegistration);
}

HANDLE OpenReader(LPCWSTR name, DWORD recordSize) {
    MSGQUEUEOPTIONS options = {20, MSGQUEUE_ALLOW_BROKEN, 16, recordSize, TRUE};
    return CreateMsgQueue(name, &options);
}

// One record from a reading end, or an empty vector when none waits.
std::vector<BYTE> Next(HANDLE reader) {
    std::vector<BYTE> buffer(8192);
    DWORD got = 0;
    DWORD flags = 0;
    if (!ReadMsgQueue(reader, buffer.data(), static_cast<DWORD>(buffer.size()), &got, 0, &flags))
        return {};
    buffer.resize(got);
    return buffer;
}

void Put32(std::vector<BYTE>& bytes, std::size_t offset, DWORD value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<BYTE>(value >> (8 * i));
}

void PutText(std::vector<BYTE>& bytes, std::size_t offset, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.at(offset + 2 * i) = static_cast<BYTE>(text[i] & 0xFF);
        bytes.at(offset + 2 * i + 1) = static_cast<BYTE>(text[i] >> 8);
    }
}

std::vector<BYTE> Payload() {
    std::vector<BYTE> payload(USER_NOTIFICATION_PAYLOAD_SIZE);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<BYTE>(i * 13 + 5);
    return payload;
}

DWORD HandleBits(HANDLE h) {
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(h));
}

// Whether any event was made while `body` ran: handle numbers only grow, so
// an event made before and after tell.
bool MakesAnEvent(const std::function<void()>& body) {
    auto make = [] { return CreateEventW(nullptr, FALSE, FALSE, nullptr); };
    HANDLE a = make();
    HANDLE b = make();
    body();
    HANDLE c = make();
    const auto step = HandleBits(b) - HandleBits(a);
    const bool made = HandleBits(c) - HandleBits(b) != step;
    for (HANDLE h : {a, b, c})
        CloseHandle(h);
    return made;
}

// Each test starts from the library's process-start state, with reading ends
// on the three queues, all empty.
class ShellQueues : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLibrary();
        m_hNotify = OpenReader(SHELL_NOTIFY_QUEUE_NAME, 12);
        m_hApps = OpenReader(APPS_ASK_QUEUE_NAME, 232);
        m_hUser = OpenReader(USER_NOTIFICATION_QUEUE_NAME, 5080);
        ASSERT_NE(m_hNotify, nullptr);
        ASSERT_NE(m_hApps, nullptr);
        ASSERT_NE(m_hUser, nullptr);
        Drain();
    }
    void TearDown() override {
        Drain();
        for (HANDLE h : {m_hNotify, m_hApps, m_hUser})
            CloseMsgQueue(h);
        ResetLibrary();
    }
    void Drain() {
        for (HANDLE h : {m_hNotify, m_hApps, m_hUser})
            while (!Next(h).empty()) {
            }
    }
    bool AllEmpty() { return Next(m_hNotify).empty() && Next(m_hApps).empty() && Next(m_hUser).empty(); }

    HANDLE m_hNotify = nullptr;
    HANDLE m_hApps = nullptr;
    HANDLE m_hUser = nullptr;
};

using ShellNotify = ShellQueues;
using AppsAsk = ShellQueues;
using UserNotification = ShellQueues;
using FailedOpen = ShellQueues;

} // namespace

// ----- shell-notify queue -------------------------------------------------------

TEST_F(ShellNotify, KindsWriteTwelveLittleEndianBytes) {
    EXPECT_EQ(ShellNotifyKind1(7, 9), 1);
    EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{1, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0}));
    EXPECT_EQ(ShellNotifyKind2(7, 9), 1);
    EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{2, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0}));
    EXPECT_EQ(ShellNotifyKind1(0x12345678, 0xFFFFFFFF), 1);
    EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(Next(m_hNotify).empty());
}

TEST_F(ShellNotify, WriteShellNotifyIsNotGuardedAndAnyNonzeroFlagIsKind1) {
    EXPECT_NE(WriteShellNotify(0, 9, 5), 0);
    EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{1, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0}));
    EXPECT_NE(WriteShellNotify(3, 4, 0), 0);
    EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}));
}

TEST_F(ShellNotify, AZeroFirstValueTouchesNeitherTheQueueNorTheLock) {
    zt::testhost::DebugCapture capture;
    EXPECT_EQ(ShellNotifyKind1(0, 9), 0);
    EXPECT_EQ(ShellNotifyKind2(0, 9), 0);
    EXPECT_EQ(g_hShellNotifyQueue, nullptr);
    EXPECT_EQ(g_bShellNotifyLockReady, 0);
    EXPECT_EQ(g_csShellNotify.impl, nullptr);
    EXPECT_TRUE(Next(m_hNotify).empty());
    EXPECT_EQ(capture.text(), "");
}

TEST_F(ShellNotify, TheLockIsSetUpOnTheFirstCallEvenWhenTheQueueDoesNotOpen) {
    UnopenableQueues unopenable;
    zt::testhost::DebugCapture capture;
    EXPECT_EQ(WriteShellNotify(1, 2, 1), 0);
    EXPECT_EQ(g_bShellNotifyLockReady, 1);
    void* const lock = g_csShellNotify.impl;
    EXPECT_NE(lock, nullptr);
    EXPECT_EQ(WriteShellNotify(1, 2, 1), 0);
    EXPECT_EQ(g_csShellNotify.impl, lock); // set up once
    EXPECT_EQ(capture.text(), "Cannot open Shell Notify message queue!\nCannot open Shell Notify message queue!\n");
}

TEST_F(ShellNotify, AFullQueueRefusesTheNextWriteAtOnce) {
    ASSERT_EQ(ShellNotifyKind1(1, 0), 1);
    zt::sys::MsgQueueLimits limits;
    ASSERT_TRUE(zt::sys::msgqueue_limits(g_hShellNotifyQueue, limits));
    EXPECT_EQ(limits.maxMessages, 16u);
    // Sixteen where the system allows it; an unprivileged user's default
    // may hold fewer, and the queue is full there.
    const DWORD capacity = limits.systemMaxMessages;
    ASSERT_LE(capacity, 16u);
    for (DWORD i = 2; i <= capacity; ++i)
        ASSERT_EQ(ShellNotifyKind1(i, 0), 1) << i;

    const DWORD before = GetTickCount();
    const auto start = std::chrono::steady_clock::now();
    SetLastError(kSentinel);
    EXPECT_EQ(ShellNotifyKind1(capacity + 1, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(GetTickCount(), before);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    for (DWORD i = 1; i <= capacity; ++i)
        EXPECT_EQ(Next(m_hNotify), (std::vector<BYTE>{1, 0, 0, 0, static_cast<BYTE>(i), 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Next(m_hNotify).empty());  // the refused record is not kept
    EXPECT_EQ(ShellNotifyKind1(99, 0), 1); // room again
}

// ----- apps-ask queue -------------------------------------------------------------

TEST_F(AppsAsk, Command5IsItsNumberAnd228ZeroBytes) {
    EXPECT_EQ(AppsAskCmd5(), 1);
    std::vector<BYTE> expected(232, 0);
    expected[0] = 5;
    EXPECT_EQ(Next(m_hApps), expected);
}

TEST_F(AppsAsk, EachCommandCarriesItsValuesAndNothingElse) {
    struct Case {
        std::function<BOOL()> call;
        DWORD command, first, second;
    } cases[] = {
        {[] { return AppsAskCmd1(11); }, 1, 11, 0},  {[] { return AppsAskCmd2(0x01020304); }, 2, 0x01020304, 0},
        {[] { return AppsAskCmd3(4, 0); }, 3, 4, 0}, {[] { return AppsAskCmd3(4, 0xFFFFFFFF); }, 3, 4, 0xFFFFFFFF},
        {[] { return AppsAskCmd4(6, 7); }, 4, 6, 7}, {[] { return AppsAskCmd5(); }, 5, 0, 0},
        {[] { return AppsAskCmd6(); }, 6, 0, 0},     {[] { return AppsAskCmd7(); }, 7, 0, 0},
        {[] { return AppsAskCmd8(); }, 8, 0, 0},     {[] { return AppsAskCmd9(); }, 9, 0, 0},
        {[] { return AppsAskCmd10(8); }, 10, 8, 0},  {[] { return AppsAskCmd11(); }, 11, 0, 0},
        {[] { return AppsAskCmd13(); }, 13, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), 1) << "command " << c.command;
        std::vector<BYTE> expected(232, 0);
        Put32(expected, 0, c.command);
        Put32(expected, 4, c.first);
        Put32(expected, 8, c.second);
        EXPECT_EQ(Next(m_hApps), expected) << "command " << c.command;
    }
}

TEST_F(AppsAsk, Command12WithValuesPlacesTextVariantAndValues) {
    EXPECT_EQ(AppsAskCmd12Values(u"ab", 5, 6), 1);
    std::vector<BYTE> expected(232, 0);
    expected[0] = 12;
    expected[12] = 'a';
    expected[14] = 'b';
    expected[140] = 1;
    expected[208] = 5;
    expected[212] = 6;
    EXPECT_EQ(Next(m_hApps), expected);
}

TEST_F(AppsAsk, Command12WithTextsPlacesBothTextsAndTheBlockUnchanged) {
    const BYTE block[16] = {0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24,
                            0x31, 0x32, 0x33, 0x34, 0xF1, 0xF2, 0xF3, 0xF4};
    EXPECT_EQ(AppsAskCmd12Texts(u"ab\u00e9", u"cd", block), 1);
    std::vector<BYTE> expected(232, 0);
    expected[0] = 12;
    PutText(expected, 12, u"ab\u00e9");
    PutText(expected, 144, u"cd");
    std::memcpy(expected.data() + 216, block, 16);
    EXPECT_EQ(Next(m_hApps), expected); // 140 (variant 0) and 208..215 stay zero

    EXPECT_EQ(AppsAskCmd12Texts(u"x", u"", block), 1); // the second text may be empty
    std::vector<BYTE> second(232, 0);
    second[0] = 12;
    second[12] = 'x';
    std::memcpy(second.data() + 216, block, 16);
    EXPECT_EQ(Next(m_hApps), second);
}

TEST_F(AppsAsk, TextsTooLongForTheirFieldsAreCutEndingInNul) {
    const std::u16string longText(100, u'x');
    const std::u16string longText2(40, u'y');
    const BYTE block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

    EXPECT_EQ(AppsAskCmd12Values(longText.c_str(), 5, 6), 1);
    std::vector<BYTE> values(232, 0);
    values[0] = 12;
    PutText(values, 12, longText.substr(0, 63)); // unit 63 (offset 138) stays NUL
    values[140] = 1;
    values[208] = 5;
    values[212] = 6;
    EXPECT_EQ(Next(m_hApps), values);

    EXPECT_EQ(AppsAskCmd12Texts(longText.c_str(), longText2.c_str(), block), 1);
    std::vector<BYTE> texts(232, 0);
    texts[0] = 12;
    PutText(texts, 12, longText.substr(0, 63));
    PutText(texts, 144, longText2.substr(0, 31)); // unit 31 (offset 206) stays NUL
    std::memcpy(texts.data() + 216, block, 16);
    EXPECT_EQ(Next(m_hApps), texts);

    // 63 and 31 characters just fit.
    EXPECT_EQ(AppsAskCmd12Texts(std::u16string(63, u'p').c_str(), std::u16string(31, u'q').c_str(), block), 1);
    std::vector<BYTE> fit(232, 0);
    fit[0] = 12;
    PutText(fit, 12, std::u16string(63, u'p'));
    PutText(fit, 144, std::u16string(31, u'q'));
    std::memcpy(fit.data() + 216, block, 16);
    EXPECT_EQ(Next(m_hApps), fit);
}

TEST_F(AppsAsk, GuardsReturn0BeforeTheQueueIsTouched) {
    const BYTE block[16] = {};
    zt::testhost::DebugCapture capture;
    struct Case {
        const char* what;
        std::function<BOOL()> call;
    } cases[] = {
        {"1 with 0", [] { return AppsAskCmd1(0); }},
        {"2 with 0", [] { return AppsAskCmd2(0); }},
        {"3 with first 0", [] { return AppsAskCmd3(0, 4); }},
        {"4 with first 0", [] { return AppsAskCmd4(0, 4); }},
        {"10 with 0", [] { return AppsAskCmd10(0); }},
        {"12 values, null text", [] { return AppsAskCmd12Values(nullptr, 5, 6); }},
        {"12 values, empty text", [] { return AppsAskCmd12Values(u"", 5, 6); }},
        {"12 texts, null text", [&] { return AppsAskCmd12Texts(nullptr, u"b", block); }},
        {"12 texts, empty text", [&] { return AppsAskCmd12Texts(u"", u"b", block); }},
        {"12 texts, null second text", [&] { return AppsAskCmd12Texts(u"a", nullptr, block); }},
        {"12 texts, null block", [] { return AppsAskCmd12Texts(u"a", u"b", nullptr); }},
        {"null record", [] { return WriteAppsAsk(nullptr); }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_EQ(g_hAppsAskQueue, nullptr) << c.what;
    }
    EXPECT_TRUE(Next(m_hApps).empty());
    EXPECT_EQ(capture.text(), "");
}

TEST_F(AppsAsk, WriteAppsAskSendsTheRecordAsGiven) {
    AppsAskRecord record;
    std::memset(&record, 0xA5, sizeof record);
    EXPECT_NE(WriteAppsAsk(&record), 0);
    EXPECT_EQ(Next(m_hApps), std::vector<BYTE>(232, 0xA5));
}

// ----- user-notification queue -----------------------------------------------------

TEST_F(UserNotification, WithoutAnEventANewAutoResetUnsignalledOneGoesWithKind1) {
    const auto payload = Payload();
    HANDLE event = SendUserNotification(nullptr, payload.data());
    ASSERT_NE(event, nullptr);
    std::vector<BYTE> expected(5080, 0);
    Put32(expected, 0, HandleBits(event));
    Put32(expected, 4, 1);
    std::memcpy(expected.data() + 8, payload.data(), payload.size());
    const auto record = Next(m_hUser);
    EXPECT_EQ(record, expected);

    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT); // not signalled
    // The 4 bytes give the handle back to a reader.
    DWORD bits = 0;
    std::memcpy(&bits, record.data(), 4);
    HANDLE recovered = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(bits));
    EXPECT_TRUE(SetEvent(recovered));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT); // auto-reset
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(UserNotification, WithTheCallersEventItIsReturnedAndGoesWithKind2) {
    const auto payload = Payload();
    HANDLE mine = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(SendUserNotification(mine, payload.data()), mine);
    std::vector<BYTE> expected(5080, 0);
    Put32(expected, 0, HandleBits(mine));
    Put32(expected, 4, 2);
    std::memcpy(expected.data() + 8, payload.data(), payload.size());
    EXPECT_EQ(Next(m_hUser), expected);
    EXPECT_TRUE(CloseHandle(mine));
}

TEST_F(UserNotification, WithoutAPayloadNothingIsMadeOrWritten) {
    HANDLE mine = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_FALSE(MakesAnEvent([&] {
        EXPECT_EQ(SendUserNotification(nullptr, nullptr), nullptr);
        EXPECT_EQ(SendUserNotification(mine, nullptr), nullptr);
    }));
    EXPECT_EQ(g_hUserNotificationQueue, nullptr);
    EXPECT_TRUE(Next(m_hUser).empty());
    EXPECT_TRUE(CloseHandle(mine)); // the caller's event is untouched
}

TEST_F(UserNotification, ClosingNullReturns0AndTouchesNothing) {
    EXPECT_EQ(CloseUserNotification(nullptr), 0);
    EXPECT_EQ(g_hUserNotificationQueue, nullptr);
    EXPECT_TRUE(Next(m_hUser).empty());
}

TEST_F(UserNotification, ClosingClosesTheHandleAndWritesKind3WithAZeroPayload) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(CloseUserNotification(event), 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    std::vector<BYTE> expected(5080, 0);
    Put32(expected, 0, HandleBits(event));
    Put32(expected, 4, 3);
    EXPECT_EQ(Next(m_hUser), expected);
}

TEST_F(UserNotification, WriteUserNotificationSendsAll5080BytesAsGiven) {
    UserNotificationRecord record;
    std::memset(&record, 0x5A, sizeof record);
    record.abPayload[USER_NOTIFICATION_PAYLOAD_SIZE - 1] = 0x01;
    EXPECT_NE(WriteUserNotification(&record), 0);
    std::vector<BYTE> expected(5080, 0x5A);
    expected[5079] = 0x01;
    EXPECT_EQ(Next(m_hUser), expected);
    EXPECT_EQ(WriteUserNotification(nullptr), 0);
    EXPECT_TRUE(Next(m_hUser).empty());
}

// ----- failed opens -------------------------------------------------------------------

TEST_F(FailedOpen, EachQueuePrintsItsTextOnEveryFailureAndOpensOnALaterCall) {
    const BYTE block[16] = {};
    const auto payload = Payload();
    struct Case {
        const char* text;
        std::function<BOOL()> call;
        HANDLE* handle;
        HANDLE* reader;
    } cases[] = {
        {"Cannot open Shell Notify message queue!\n", [] { return ShellNotifyKind2(7, 9); }, &g_hShellNotifyQueue,
         &m_hNotify},
        {"Cannot open Apps Ask Shell Event message queue!\n", [] { return AppsAskCmd5(); }, &g_hAppsAskQueue, &m_hApps},
        {"Cannot open Apps Ask Shell Event message queue!\n", [&] { return AppsAskCmd12Texts(u"a", u"b", block); },
         &g_hAppsAskQueue, &m_hApps},
        {"Cannot open user notification queue!\n",
         [&] {
             UserNotificationRecord record = {};
             return WriteUserNotification(&record);
         },
         &g_hUserNotificationQueue, &m_hUser},
    };
    for (const auto& c : cases) {
        if (*c.handle != nullptr)
            CloseMsgQueue(*c.handle);
        *c.handle = nullptr; // as at process start
        zt::testhost::DebugCapture capture;
        {
            UnopenableQueues unopenable;
            EXPECT_EQ(c.call(), 0) << c.text;
            EXPECT_EQ(c.call(), 0) << c.text;
            EXPECT_EQ(*c.handle, nullptr) << c.text;
        }
        EXPECT_EQ(capture.text(), std::string(c.text) + c.text);
        EXPECT_TRUE(AllEmpty());
        EXPECT_EQ(c.call(), 1) << c.text;
        EXPECT_NE(*c.handle, nullptr) << c.text;
        EXPECT_EQ(Next(*c.reader).empty(), false) << c.text;
        EXPECT_EQ(capture.text(), std::string(c.text) + c.text); // nothing more said
    }
}

TEST_F(FailedOpen, SendUserNotificationStillReturnsItsEvent) {
    const auto payload = Payload();
    zt::testhost::DebugCapture capture;
    UnopenableQueues unopenable;
    HANDLE made = SendUserNotification(nullptr, payload.data());
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_TIMEOUT);
    HANDLE mine = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(SendUserNotification(mine, payload.data()), mine);
    EXPECT_EQ(capture.text(), "Cannot open user notification queue!\nCannot open user notification queue!\n");
    EXPECT_TRUE(CloseHandle(made));
    EXPECT_TRUE(CloseHandle(mine));
}

TEST_F(FailedOpen, CloseUserNotificationClosesTheHandleAllTheSame) {
    zt::testhost::DebugCapture capture;
    UnopenableQueues unopenable;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(CloseUserNotification(event), 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(capture.text(), "Cannot open user notification queue!\n");
}

// ----- options and heap -----------------------------------------------------------

TEST_F(ShellQueues, EachQueueIsOpenedForWritingWithTheShellsOptions) {
    std::string lines;
    zt::trace::set_sink([&](std::string_view l) { lines += l; });
    zt::trace::enable(zt::trace::kQueue);
    ShellNotifyKind1(1, 1);
    AppsAskCmd5();
    CloseUserNotification(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    zt::trace::enable(0);
    zt::trace::set_sink(nullptr);
    for (const char* opened : {
             "CreateMsgQueue(\"QueueNameOfShellNotifyMessage\", {20, 0x2, 16, 12, 0}) = ",
             "CreateMsgQueue(\"QueueNameOffAppsAskShellEvent\", {20, 0x2, 16, 232, 0}) = ",
             "CreateMsgQueue(\"NameOfMzUserNotification\", {20, 0x2, 16, 5080, 0}) = ",
         })
        EXPECT_NE(lines.find(opened), std::string::npos) << opened << "\n" << lines;
    for (HANDLE h : {g_hShellNotifyQueue, g_hAppsAskQueue, g_hUserNotificationQueue}) {
        zt::sys::MsgQueueLimits limits;
        ASSERT_TRUE(zt::sys::msgqueue_limits(h, limits));
        EXPECT_FALSE(limits.readAccess);
    }
}

TEST_F(ShellQueues, OpenQueuesAreWrittenWithoutTouchingTheHeap) {
    const auto payload = Payload();
    const BYTE block[16] = {};
    // The first calls open the queues and register.
    ShellNotifyKind1(1, 1);
    AppsAskCmd5();
    HANDLE event = SendUserNotification(nullptr, payload.data());
    ShellMsgBatteryLow();
    Drain();

    g_allocations = 0;
    g_countAllocations = true;
    ShellNotifyKind2(2, 2);
    AppsAskCmd12Texts(u"a", u"b", block);
    SendUserNotification(event, payload.data());
    CloseUserNotification(event);
    ShellMsgBatteryLow();
    g_countAllocations = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_FALSE(Next(m_hUser).empty());
}

// ----- registered messages ---------------------------------------------------------

namespace {

struct Accessor {
    UINT (*get)();
    UINT* cell;
    const char16_t* name;
};
const Accessor kAccessors[] = {
    {ShellMsgClickMKey, &g_uShellMsgClickMKey, u"ShellNotifyMsg/ClickMKey"},
    {ShellMsgClickTaskbar, &g_uShellMsgClickTaskbar, u"ShellNotifyMsg/ClickTaskbar"},
    {ShellMsgEntryLockphone, &g_uShellMsgEntryLockphone, u"ShellNotifyMsg/EntryLockphone"},
    {ShellMsgLeaveLockPhone, &g_uShellMsgLeaveLockPhone, u"ShellNotifyMsg/LeaveLockPhone"},
    {ShellMsgEntryShutDown, &g_uShellMsgEntryShutDown, u"ShellNotifyMsg/EntryShutDown"},
    {ShellMsgLeaveShutDown, &g_uShellMsgLeaveShutDown, u"ShellNotifyMsg/LeaveShutDown"},
    {ShellMsgReadyPowerOFF, &g_uShellMsgReadyPowerOFF, u"ShellNotifyMsg/ReadyPowerOFF"},
    {ShellMsgBatteryLow, &g_uShellMsgBatteryLow, u"ShellNotifyMsg/BatteryLow"},
    {ShellMsgEntryMusic, &g_uShellMsgEntryMusic, u"ShellNotifyMsg/EntryMusic"},
    {ShellMsgAllKeyEvent, &g_uShellMsgAllKeyEvent, u"ShellNotifyMsg/AllKeyEvent"},
    {ShellMsgEndSyncEvent, &g_uShellMsgEndSyncEvent, u"ShellNotifyMsg/EndSyncEvent"},
    {ShellMsgBeginSyncEvent, &g_uShellMsgBeginSyncEvent, u"ShellNotifyMsg/BeginSyncEvent"},
    {ShellMsgNectConnect, &g_uShellMsgNectConnect, u"ShellNotifyMsg/NectConnect"},
    {ShellMsgNetDisconnect, &g_uShellMsgNetDisconnect, u"ShellNotifyMsg/NetDisconnect"},
    {ShellMsgShowNotifyWnd, &g_uShellMsgShowNotifyWnd, u"ShellNotifyMsg/ShowNotifyWnd"},
};

} // namespace

TEST_F(ShellQueues, EachMessageIsRegisteredUnderItsExactNameOnce) {
    std::set<UINT> numbers;
    for (const auto& a : kAccessors) {
        g_asked.clear();
        const UINT number = a.get();
        EXPECT_NE(number, 0u) << std::string(a.name, a.name + std::char_traits<char16_t>::length(a.name));
        EXPECT_EQ(g_asked, std::vector<std::u16string>{a.name});
        EXPECT_EQ(*a.cell, number);
        EXPECT_EQ(a.get(), number);
        EXPECT_EQ(a.get(), number);
        EXPECT_EQ(g_asked.size(), 1u);                     // served from the cell afterwards
        EXPECT_EQ(RegisterWindowMessageW(a.name), number); // the platform's own answer
        numbers.insert(number);
    }
    EXPECT_EQ(numbers.size(), 15u);
}

TEST_F(ShellQueues, ARefusedRegistrationReturns0AndIsTriedAgain) {
    for (const auto& a : kAccessors) {
        g_asked.clear();
        g_refuseRegistration = true;
        EXPECT_EQ(a.get(), 0u);
        EXPECT_EQ(*a.cell, 0u);
        EXPECT_EQ(a.get(), 0u);
        g_refuseRegistration = false;
        const UINT number = a.get();
        EXPECT_NE(number, 0u);
        EXPECT_EQ(a.get(), number);
        EXPECT_EQ(g_asked, (std::vector<std::u16string>(3, a.name)));
    }
}
