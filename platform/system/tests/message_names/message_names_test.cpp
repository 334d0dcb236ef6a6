// Registered message names agree across processes: separate tables on one
// file, and real second processes made with fork, each on a file of the
// test's own so parallel runs never meet.
#include "table_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using zt::sys::MessageNameTable;
using zt::sys::testing::MessageNames;
using zt::sys::testing::name_of;

TEST_F(MessageNames, AnotherProcessGetsTheSameNumbersWhateverItsOrderAndCase) {
    MessageNameTable here(m_path);
    const UINT acc = add(here, u"AccMessage");
    const UINT shell = add(here, u"ShellNotifyMsg");
    EXPECT_TRUE(here.shared());
    EXPECT_EQ(acc, 0xC000u);
    EXPECT_EQ(shell, 0xC001u);

    const auto there = in_child([&] {
        MessageNameTable table(m_path);
        return std::vector<UINT>{add(table, u"Late"), add(table, u"SHELLNOTIFYMSG"), add(table, u"accmessage")};
    });
    ASSERT_EQ(there.size(), 3u);
    EXPECT_EQ(there[0], 0xC002u);
    EXPECT_EQ(there[1], shell);
    EXPECT_EQ(there[2], acc);
    // Registered there first, known here, in the spelling first given.
    EXPECT_EQ(add(here, u"late"), 0xC002u);
}

TEST_F(MessageNames, ProcessesRegisteringAtOnceAgreeOnEveryName) {
    constexpr int kNames = 60;
    constexpr int kProcesses = 4;
    const auto results = in_children(kProcesses, [&](int p) {
        std::vector<int> order(kNames);
        for (int i = 0; i < kNames; ++i)
            order[static_cast<std::size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(p)));
        MessageNameTable table(m_path);
        std::vector<UINT> numbers(kNames);
        for (int i : order) {
            DWORD error = 0;
            numbers[static_cast<std::size_t>(i)] = table.find_or_add(name_of(i), error);
        }
        return numbers;
    });
    ASSERT_EQ(results.size(), static_cast<std::size_t>(kProcesses));
    for (const auto& numbers : results)
        ASSERT_EQ(numbers.size(), static_cast<std::size_t>(kNames));
    for (int p = 1; p < kProcesses; ++p)
        EXPECT_EQ(results[static_cast<std::size_t>(p)], results[0]) << "process " << p;
    // Every name got its own number, and no number was handed out twice.
    std::vector<UINT> sorted = results[0];
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.front(), 0xC000u);
    EXPECT_EQ(sorted.back(), 0xC000u + kNames - 1);
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    MessageNameTable late(m_path);
    EXPECT_EQ(add(late, u"AfterAll"), 0xC000u + kNames);
}

TEST_F(MessageNames, ThreadsOfOneProcessAgreeToo) {
    MessageNameTable table(m_path);
    std::vector<UINT> a(40), b(40);
    std::thread first([&] {
        for (int i = 0; i < 40; ++i)
            a[static_cast<std::size_t>(i)] = add(table, name_of(i));
    });
    std::thread second([&] {
        for (int i = 39; i >= 0; --i)
            b[static_cast<std::size_t>(i)] = add(table, name_of(i));
    });
    first.join();
    second.join();
    EXPECT_EQ(a, b);
    MessageNameTable other(m_path);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(add(other, name_of(i)), a[static_cast<std::size_t>(i)]);
}

TEST_F(MessageNames, AChildForkedWhileAnotherThreadRegistersRegistersToo) {
    constexpr int kChildren = 20;
    MessageNameTable table(m_path);
    EXPECT_EQ(add(table, u"BeforeFork"), 0xC000u);
    // Every name new, so the thread holds the table's locks most of the time.
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        for (int i = 0; !stop && i < 8000; ++i)
            add(table, name_of(10000 + i));
    });
    const auto results = in_children(kChildren, [&](int child) {
        alarm(20); // a child that hangs ends, and fails the test
        return std::vector<UINT>{add(table, name_of(child)), add(table, u"beforefork")};
    });
    stop = true;
    busy.join();
    ASSERT_EQ(results.size(), static_cast<std::size_t>(kChildren));
    MessageNameTable reader(m_path);
    int stuck = 0;
    for (int child = 0; child < kChildren; ++child) {
        const auto& numbers = results[static_cast<std::size_t>(child)];
        if (numbers.size() != 2u) {
            ++stuck;
            continue;
        }
        EXPECT_EQ(numbers[1], 0xC000u) << "child " << child;
        EXPECT_EQ(add(reader, name_of(child)), numbers[0]) << "child " << child;
    }
    EXPECT_EQ(stuck, 0) << "children that never registered, of " << kChildren;
}

TEST_F(MessageNames, ARecordCutShortByADeadWriterIsDroppedAndWrittenOver) {
    {
        MessageNameTable table(m_path);
        add(table, u"Whole");
    }
    // A writer died after the length and one unit of "Broken".
    {
        const int fd = open(m_path.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        const unsigned char torn[] = {6, 0, 'B', 0};
        ASSERT_EQ(write(fd, torn, sizeof torn), static_cast<ssize_t>(sizeof torn));
        close(fd);
    }
    MessageNameTable table(m_path);
    EXPECT_EQ(add(table, u"Next"), 0xC001u);
    MessageNameTable reader(m_path);
    EXPECT_EQ(add(reader, u"whole"), 0xC000u);
    EXPECT_EQ(add(reader, u"next"), 0xC001u);
}

TEST_F(MessageNames, AFileThatIsNotATableLeavesTheProcessWithItsOwnNumbers) {
    {
        const int fd = open(m_path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "not a table of names", 20), 20);
        close(fd);
    }
    MessageNameTable table(m_path);
    EXPECT_EQ(add(table, u"One"), 0xC000u);
    EXPECT_EQ(add(table, u"Two"), 0xC001u);
    EXPECT_EQ(add(table, u"ONE"), 0xC000u);
    EXPECT_FALSE(table.shared());
    // The file was left as it was.
    char text[32] = {};
    const int fd = open(m_path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(read(fd, text, sizeof text), 20);
    close(fd);
}

TEST_F(MessageNames, EmptyAndOverlongNamesAreRefusedAndAFullTableSaysSo) {
    MessageNameTable table(m_path);
    DWORD error = 0;
    EXPECT_EQ(table.find_or_add(u"", error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    error = 0;
    EXPECT_EQ(table.find_or_add(std::u16string(256, u'n'), error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(add(table, std::u16string(255, u'n')), 0xC000u);

    for (std::size_t i = 1; i < MessageNameTable::kCapacity; ++i)
        ASSERT_EQ(add(table, name_of(static_cast<int>(i))), 0xC000u + i);
    error = 0;
    EXPECT_EQ(table.find_or_add(u"OneTooMany", error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(add(table, u"ZtName1"), 0xC001u); // known names still answer
}

TEST_F(MessageNames, WithoutAFileTheNumbersAreThisProcesssOwn) {
    MessageNameTable table("");
    EXPECT_EQ(add(table, u"Alone"), 0xC000u);
    EXPECT_EQ(add(table, u"alone"), 0xC000u);
    EXPECT_FALSE(table.shared());
}

TEST(DefaultMessageNames, TheFileIsTheUsersForThisBootUnlessTheEnvironmentNamesOne) {
    const char* saved = std::getenv("ZT_MESSAGE_NAMES");
    const std::string keep = saved ? saved : "";
    unsetenv("ZT_MESSAGE_NAMES");
    const std::string path = MessageNameTable::default_path();
    EXPECT_NE(path.find("/zt-message-names-" + std::to_string(getuid()) + "-"), std::string::npos) << path;
    EXPECT_EQ(path.find("unknown"), std::string::npos) << path; // the boot id was read
    // The login session's own directory comes first.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string keepRuntime = runtime ? runtime : "";
    char dir[] = "/tmp/zt-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("XDG_RUNTIME_DIR", dir, 1);
    EXPECT_EQ(MessageNameTable::default_path().rfind(std::string(dir) + "/zt-message-names-", 0), 0u);
    if (runtime)
        setenv("XDG_RUNTIME_DIR", keepRuntime.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    rmdir(dir);

    setenv("ZT_MESSAGE_NAMES", "/tmp/chosen-table", 1);
    EXPECT_EQ(MessageNameTable::default_path(), "/tmp/chosen-table");
    if (saved)
        setenv("ZT_MESSAGE_NAMES", keep.c_str(), 1);
    else
        unsetenv("ZT_MESSAGE_NAMES");
}
