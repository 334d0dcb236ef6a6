// The table is used only when nobody else can have written it: a file of the
// user's own, reached without a symlink, writable by nobody else, in a
// directory nobody else can change; and only as far as it is well formed,
// and while it stays the file that was opened, as long as it was read.
// Anything else is said once and the process numbers names on its own. A
// forked child gets a lock of its own.
#include "table_fixture.h"

#include "zt/testhost.h"
#include "zt/testhost/other_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <initializer_list>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using zt::sys::MessageNameTable;
using zt::sys::TableDirectory;
using zt::sys::testing::MessageNames;
using zt::sys::testing::name_of;
using zt::testhost::run_as;
using zt::testhost::shell_quote;

namespace {

// How many times `text` holds `part`.
int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string contents(const std::string& path) {
    std::string out;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char chunk[4096];
    for (ssize_t got; fd >= 0 && (got = read(fd, chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<std::size_t>(got));
    if (fd >= 0)
        close(fd);
    return out;
}

void write_file(const std::string& path, const std::string& bytes, mode_t mode = 0600) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(fchmod(fd, mode), 0);
    close(fd);
}

const std::string kMagic = "ZTMSGNM1";

std::string record(std::uint16_t length, std::u16string_view units) {
    std::string out(reinterpret_cast<const char*>(&length), 2);
    out.append(reinterpret_cast<const char*>(units.data()), 2 * units.size());
    return out;
}

struct Numbered {
    std::u16string_view name;
    UINT number;
};

// Registers `names` and checks that each gets its number and that the table
// numbers names on its own, said once in the debug output with the table's
// path.
void expect_private_and_said_once(MessageNameTable& table, const std::string& path, const std::string& row,
                                  std::initializer_list<Numbered> names = {
                                      {u"SafetyOne", 0xC000u}, {u"SafetyTwo", 0xC001u}, {u"safetyone", 0xC000u}}) {
    zt::testhost::DebugCapture debug;
    for (const Numbered& name : names) {
        DWORD error = 0;
        EXPECT_EQ(table.find_or_add(name.name, error), name.number) << row;
    }
    EXPECT_FALSE(table.shared()) << row;
    EXPECT_EQ(occurrences(debug.text(), path), 1) << row << ": " << debug.text();
}

struct stat lstat_of(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}

} // namespace

TEST_F(MessageNames, AFileOthersMayWriteOrReachedThroughASymlinkIsNotUsed) {
    {
        MessageNameTable made(m_dir + "/good");
        add(made, u"Planted");
    }
    const std::string good = contents(m_dir + "/good");
    struct Row {
        const char* what;
        mode_t mode; // of a table file of our own, 0 for a symlink to one
    } rows[] = {{"group-writable", 0620}, {"world-writable", 0602}, {"a symlink", 0}};
    for (const auto& row : rows) {
        unlink(m_path.c_str());
        if (row.mode != 0)
            write_file(m_path, good, row.mode);
        else
            ASSERT_EQ(symlink((m_dir + "/good").c_str(), m_path.c_str()), 0);
        MessageNameTable table(m_path);
        expect_private_and_said_once(table, m_path, row.what);
        EXPECT_EQ(contents(m_path), good) << row.what;
    }
    EXPECT_EQ(contents(m_dir + "/good"), good);
}

TEST_F(MessageNames, WhatAnotherUserPlantsWhereTheTableGoesIsNeverUsed) {
    ZT_NEED_OTHER_USER(other);
    // A shared directory like /dev/shm or /tmp: anyone may create, only the
    // owner may remove.
    const std::string shared = m_dir + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(m_dir.c_str(), 0755), 0);
    const auto location = MessageNameTable::location_for(nullptr, shared);
    ASSERT_EQ(location.directory, TableDirectory::Private);
    const std::string privateDir = location.path.substr(0, location.path.rfind('/'));
    ASSERT_EQ(privateDir.rfind(shared + "/", 0), 0u) << location.path;
    const std::string theirs = shared + "/theirs";
    struct Row {
        const char* what;
        std::string command; // run as the other user
        std::string path;    // the table's path
        TableDirectory directory;
    } rows[] = {
        {"a file as the private directory", "touch " + shell_quote(privateDir), location.path, location.directory},
        {"an open directory of theirs", "mkdir -m 777 " + shell_quote(privateDir), location.path, location.directory},
        {"a closed directory of theirs", "mkdir -m 700 " + shell_quote(privateDir), location.path, location.directory},
        {"a symlink to their directory",
         "mkdir -m 777 " + shell_quote(theirs) + " && ln -s " + shell_quote(theirs) + " " + shell_quote(privateDir),
         location.path, location.directory},
        {"their file as the table",
         "printf ZTMSGNM1 > " + shell_quote(shared + "/table") + " && chmod 666 " + shell_quote(shared + "/table"),
         shared + "/table", TableDirectory::AsFound},
        {"their symlink as the table", "ln -s /dev/null " + shell_quote(shared + "/table"), shared + "/table",
         TableDirectory::AsFound},
    };
    for (const auto& row : rows) {
        for (const auto& planted : {privateDir, theirs, shared + "/table"}) {
            std::error_code ignored;
            std::filesystem::remove_all(planted, ignored);
        }
        ASSERT_EQ(run_as(other, row.command), 0) << row.what;
        const struct stat before = lstat_of(row.path.substr(0, row.path.rfind('/')));
        {
            MessageNameTable table(row.path, row.directory);
            expect_private_and_said_once(table, row.path, row.what);
        }
        // Nothing was made or changed in what they planted.
        const struct stat after = lstat_of(row.path.substr(0, row.path.rfind('/')));
        EXPECT_EQ(after.st_uid, before.st_uid) << row.what;
        EXPECT_EQ(after.st_mode, before.st_mode) << row.what;
        EXPECT_NE(access((theirs + location.path.substr(location.path.rfind('/'))).c_str(), F_OK), 0) << row.what;
        if (row.directory == TableDirectory::AsFound) {
            EXPECT_EQ(lstat_of(row.path).st_uid, other) << row.what;
        }
    }
}

TEST_F(MessageNames, WithoutARuntimeDirectoryTheTableIsInAPrivateDirectoryOfTheUsersOwn) {
    const std::string shared = m_dir + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string open = m_dir + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    // Unset, relative (the XDG rules say to ignore it), or open to others.
    for (const char* runtime : {static_cast<const char*>(nullptr), "", "run/user", open.c_str()}) {
        const auto location = MessageNameTable::location_for(runtime, shared);
        const std::string row = runtime ? runtime : "(unset)";
        EXPECT_EQ(location.directory, TableDirectory::Private) << row;
        EXPECT_EQ(location.path.rfind(shared + "/zt-" + std::to_string(getuid()) + "/zt-message-names-", 0), 0u)
            << row << ": " << location.path;
    }
    // A runtime directory of our own is used as it is.
    const auto inRuntime = MessageNameTable::location_for(m_dir.c_str(), shared);
    EXPECT_EQ(inRuntime.directory, TableDirectory::AsFound);
    EXPECT_EQ(inRuntime.path.rfind(m_dir + "/zt-message-names-", 0), 0u) << inRuntime.path;

    const auto location = MessageNameTable::location_for(nullptr, shared);
    MessageNameTable table(location.path, location.directory);
    add(table, u"Private");
    EXPECT_TRUE(table.shared());
    const std::string privateDir = location.path.substr(0, location.path.rfind('/'));
    const struct stat dir = lstat_of(privateDir);
    EXPECT_TRUE(S_ISDIR(dir.st_mode));
    EXPECT_EQ(dir.st_mode & 07777, 0700u);
    EXPECT_EQ(dir.st_uid, geteuid());
    EXPECT_EQ(lstat_of(location.path).st_mode & 07777, 0600u);
    MessageNameTable again(location.path, location.directory);
    EXPECT_EQ(add(again, u"private"), 0xC000u);
    EXPECT_TRUE(again.shared());
}

TEST_F(MessageNames, ARuntimeDirectoryGivenAsASymlinkIsUsedWhereItLeadsWhenThatIsTheUsersOwn) {
    const std::string shared = m_dir + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string mine = m_dir + "/mine", open = m_dir + "/open";
    ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    write_file(m_dir + "/file", "");
    const std::string fallback = shared + "/zt-" + std::to_string(getuid()) + "/zt-message-names-";
    struct Row {
        const char* what;
        std::string target; // what the link holds
        std::string table;  // where the table must go
    } rows[] = {
        {"a link to a private directory", mine, mine + "/zt-message-names-"},
        {"a relative link", "mine", mine + "/zt-message-names-"},
        {"a link to that link", m_dir + "/link-mine", mine + "/zt-message-names-"},
        {"a link to an open directory", open, fallback},
        {"a link to a file", m_dir + "/file", fallback},
        {"a dangling link", m_dir + "/nothing", fallback},
    };
    ASSERT_EQ(symlink(mine.c_str(), (m_dir + "/link-mine").c_str()), 0);
    for (const auto& row : rows) {
        const std::string link = m_dir + "/runtime";
        unlink(link.c_str());
        ASSERT_EQ(symlink(row.target.c_str(), link.c_str()), 0) << row.what;
        const auto location = MessageNameTable::location_for(link.c_str(), shared);
        EXPECT_EQ(location.path.rfind(row.table, 0), 0u) << row.what << ": " << location.path;
        // The table opens where the location says it is.
        MessageNameTable table(location.path, location.directory);
        zt::testhost::DebugCapture debug;
        add(table, u"Linked");
        EXPECT_TRUE(table.shared()) << row.what << ": " << debug.text();
    }
}

TEST_F(MessageNames, AHugeFileIsReadNoFurtherThanTheTablesCapacity) {
    // A sparse file of 200 GB that begins like a table.
    write_file(m_path, kMagic + record(5, u"Whole"));
    ASSERT_EQ(truncate(m_path.c_str(), 200LL << 30), 0);
    MessageNameTable table(m_path);
    expect_private_and_said_once(table, m_path, "huge");
    EXPECT_EQ(lstat_of(m_path).st_size, 200LL << 30);
}

TEST_F(MessageNames, AMalformedTableIsSaidOnceAndNotTrustedPastWhatIsWellFormed) {
    const std::u16string longName(300, u'x');
    struct Row {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"a record of no units", kMagic + record(5, u"Whole") + record(0, u"") + record(4, u"Late")},
        {"a record longer than a name", kMagic + record(5, u"Whole") + record(300, longName) + record(4, u"Late")},
        {"zeros", kMagic + record(5, u"Whole") + std::string(4096, '\0')},
    };
    for (const auto& row : rows) {
        write_file(m_path, row.bytes);
        MessageNameTable table(m_path);
        // What came before the fault keeps its number; nothing after it is
        // read, and nothing is written.
        expect_private_and_said_once(table, m_path, row.what,
                                     {{u"whole", 0xC000u}, {u"Next", 0xC001u}, {u"Late", 0xC002u}});
        EXPECT_EQ(contents(m_path), row.bytes) << row.what;
    }
}

TEST_F(MessageNames, ForkedChildrenOfAProcessThatUsedTheTableNeverShareANumber) {
    constexpr int kChildren = 8;
    constexpr int kNames = 300;
    MessageNameTable table(m_path);
    add(table, u"BeforeFork");
    ASSERT_TRUE(table.shared());
    // Each child registers its own run of names from a common pool, so
    // children meet on some names and not on others.
    const auto results = in_children(kChildren, [&](int child) {
        std::vector<UINT> numbers;
        for (int i = 0; i < kNames; ++i) {
            DWORD error = 0;
            numbers.push_back(table.find_or_add(name_of(child * 100 + i), error));
        }
        return numbers;
    });
    ASSERT_EQ(results.size(), static_cast<std::size_t>(kChildren));
    std::map<int, UINT> byName;
    std::map<UINT, int> byNumber;
    int conflicts = 0;
    for (int child = 0; child < kChildren; ++child) {
        ASSERT_EQ(results[static_cast<std::size_t>(child)].size(), static_cast<std::size_t>(kNames));
        for (int i = 0; i < kNames; ++i) {
            const int name = child * 100 + i;
            const UINT number = results[static_cast<std::size_t>(child)][static_cast<std::size_t>(i)];
            const auto known = byName.emplace(name, number);
            const auto owner = byNumber.emplace(number, name);
            conflicts += known.first->second != number || owner.first->second != name;
        }
    }
    EXPECT_EQ(conflicts, 0);
    EXPECT_EQ(byName.size(), byNumber.size());
    // The file holds every name once, at the number the children gave it.
    MessageNameTable reader(m_path);
    EXPECT_EQ(add(reader, u"beforefork"), 0xC000u);
    int lost = 0;
    for (const auto& [name, number] : byName)
        lost += add(reader, name_of(name)) != number;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(add(reader, u"AfterAll"), 0xC000u + 1 + byName.size());
}

TEST_F(MessageNames, ATableRemovedOrCutShortWhileInUseIsSaidOnceAndNeverWrittenAgain) {
    struct Row {
        const char* what;
        std::function<void()> damage;
        std::vector<std::u16string> after; // the names the file then holds, in order
    } rows[] = {
        {"removed", [&] { unlink(m_path.c_str()); }, {}},
        {"replaced",
         [&] {
             unlink(m_path.c_str());
             MessageNameTable other(m_path);
             add(other, u"Other");
         },
         {u"Other"}},
        {"cut to its header", [&] { ASSERT_EQ(truncate(m_path.c_str(), 8), 0); }, {}},
        {"emptied", [&] { ASSERT_EQ(truncate(m_path.c_str(), 0), 0); }, {}},
    };
    for (const auto& row : rows) {
        unlink(m_path.c_str());
        MessageNameTable table(m_path);
        EXPECT_EQ(add(table, u"First"), 0xC000u) << row.what;
        EXPECT_EQ(add(table, u"Second"), 0xC001u) << row.what;
        row.damage();
        const bool exists = access(m_path.c_str(), F_OK) == 0;
        const std::string before = contents(m_path);
        // What it had read keeps its number; the rest is its own.
        expect_private_and_said_once(table, m_path, row.what,
                                     {{u"Third", 0xC002u}, {u"Fourth", 0xC003u}, {u"first", 0xC000u}});
        EXPECT_EQ(access(m_path.c_str(), F_OK) == 0, exists) << row.what;
        EXPECT_EQ(contents(m_path), before) << row.what;
        // Whoever comes next finds a well-formed table without this
        // process's names.
        MessageNameTable next(m_path);
        for (std::size_t i = 0; i < row.after.size(); ++i)
            EXPECT_EQ(add(next, row.after[i]), 0xC000u + i) << row.what;
        EXPECT_EQ(add(next, u"Third"), 0xC000u + row.after.size()) << row.what;
        EXPECT_TRUE(next.shared()) << row.what;
    }

    // A child forked before the file went looks for it and never makes it.
    unlink(m_path.c_str());
    MessageNameTable table(m_path);
    add(table, u"First");
    unlink(m_path.c_str());
    const auto there = in_child([&] { return std::vector<UINT>{add(table, u"InChild")}; });
    EXPECT_EQ(there, std::vector<UINT>{0xC001u});
    EXPECT_NE(access(m_path.c_str(), F_OK), 0) << "the child made the file again";

    // One replaced meanwhile by a file others may write is said to be that,
    // whatever an earlier call left in errno.
    write_file(m_path, kMagic, 0666);
    const auto said = in_child([&] {
        zt::testhost::DebugCapture debug;
        errno = ENOENT;
        add(table, u"InChild");
        return std::vector<UINT>{debug.text().find("others may write it") != std::string::npos,
                                 debug.text().find("removed") != std::string::npos};
    });
    EXPECT_EQ(said, (std::vector<UINT>{1, 0}));
}
