// The simulator as a performer uses it: whole processes, checked by their
// exit status, their trace and the pixels of their snapshots.
#include "zt/gfx/png.h"
#include "zt/testhost.h"
#include "zt/testhost/other_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs zentrick-sim with `args` in a fresh directory, feeding `script` on
// standard input.
class SimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("zt-sim-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // `environment`: assignments put before the command, e.g. "ZT_DEBUG_ALL=1".
    Outcome run(const std::string& args, const std::string& script, const std::string& environment = "") {
        const fs::path in = m_dir / "script.zts", out = m_dir / "stdout", err = m_dir / "stderr";
        std::ofstream(in) << script;
        const std::string command = "cd '" + m_dir.string() + "' && " + environment + " '" ZT_SIM_PATH "' " + args +
                                    " < '" + in.string() + "' > '" + out.string() + "' 2> '" + err.string() + "'";
        Outcome r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    zt::gfx::Surface snapshot(const std::string& name) {
        const std::string bytes = slurp(m_dir / name);
        auto surface = zt::gfx::decode_png(bytes.data(), bytes.size());
        EXPECT_TRUE(surface.has_value()) << name;
        return surface ? *surface : zt::gfx::Surface();
    }

    std::string bytes_of(const std::string& name) { return slurp(m_dir / name); }

    // Starts zentrick-sim on `script` with every snapshot held just before
    // its rename (hold_rename.cpp), the termination signals at their
    // defaults whatever this test inherited. Returns its pid.
    pid_t spawn_holding_snapshots(const fs::path& script) {
        std::vector<std::string> environment;
        std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("ASAN_OPTIONS=", 0) == 0)
                asan += ":" + entry.substr(13);
            else if (entry.rfind("LD_PRELOAD=", 0) != 0)
                environment.push_back(entry);
        }
        environment.push_back(asan);
        environment.push_back("LD_PRELOAD=" ZT_HOLD_RENAME_PATH);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = ZT_SIM_PATH, path = script.string();
        char* argv[] = {program.data(), path.data(), nullptr};

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, (m_dir / "stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (m_dir / "stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, signal);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), &files, &attributes, argv, envp.data()) != 0)
            pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }

    static std::string slurp(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    fs::path m_dir;
};

using zt::testhost::blue;
using zt::testhost::green;
using zt::testhost::red;

bool is_white(std::uint32_t p) {
    return red(p) > 245 && green(p) > 245 && blue(p) > 245;
}
bool is_red_ink(std::uint32_t p) {
    return red(p) > 150 && green(p) < 90 && blue(p) < 90;
}
bool is_black_ink(std::uint32_t p) {
    return red(p) < 70 && green(p) < 70 && blue(p) < 70;
}

// Counts pixels of a kind in a rectangle of the screen.
template <typename Pred> int count(const zt::gfx::Surface& s, int left, int top, int right, int bottom, Pred pred) {
    return zt::testhost::count_pixels(s, RECT{left, top, right, bottom}, pred);
}

// The face canvas sits at (12, 13): the rank's first box is (32, 213)-(312, 313)
// on the screen, the symbol at (177, 298)-(327, 448).
constexpr int kFaceX = 12, kFaceY = 13;

std::vector<std::string> draw_text_lines(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string l; std::getline(in, l);)
        if (l.rfind("trace:gdi: DrawTextW(", 0) == 0)
            lines.push_back(l);
    return lines;
}

// What each traced call named in `calls` returned: the text after ") = "
// up to the next blank ("0x10028", "NULL").
std::vector<std::string> results_of(const std::string& err, std::initializer_list<std::string_view> calls) {
    std::vector<std::string> results;
    std::istringstream in(err);
    for (std::string l; std::getline(in, l);) {
        const bool wanted = std::any_of(calls.begin(), calls.end(), [&](std::string_view c) {
            return l.find(std::string(": ") + std::string(c) + "(") != std::string::npos;
        });
        const auto at = l.find(") = ");
        if (wanted && at != std::string::npos)
            results.push_back(l.substr(at + 4, l.find(' ', at + 4) - at - 4));
    }
    return results;
}

} // namespace

TEST_F(SimTest, TheIdleScreenShowsFeltCardBackAndTheTaskbarOnlyWhileItIsVisible) {
    const Outcome r = run("--start-tick 5 -", "snapshot idle.png\ndeactivate\nsnapshot shell.png\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto idle = snapshot("idle.png");
    ASSERT_EQ(idle.width(), 480);
    ASSERT_EQ(idle.height(), 720);
    // The taskbar was hidden by the app: the felt shows at the very top.
    const auto corner = idle.at(4, 4);
    EXPECT_GT(green(corner), red(corner)) << std::hex << corner;
    EXPECT_GT(green(corner), blue(corner));
    // Card back in the middle: a red design.
    EXPECT_GT(count(idle, 100, 200, 380, 520, [](auto p) { return red(p) > green(p) + 60; }), 20000);
    // Deactivated: the shell's taskbar comes back over the top.
    const auto shell = snapshot("shell.png");
    EXPECT_LT(green(shell.at(240, 2)), 60);
    EXPECT_NE(shell.at(240, 2), idle.at(240, 2));
    EXPECT_EQ(shell.at(240, 500), idle.at(240, 500));
}

TEST_F(SimTest, ForcingTheTwoOfHeartsPaintsARedTwoTwiceAndAHeart) {
    const Outcome r = run("--trace gdi -", "tap 400 300\ntilt 0 -40 50\nwait 30\npress 400 200\nrelease 10 10\n"
                                           "snapshot two.png\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = draw_text_lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_NE(lines[0].find("\"2\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("{20,200,300,300}"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("{200,200,450,450}"), std::string::npos) << lines[1];
    const auto s = snapshot("two.png");
    EXPECT_TRUE(is_white(s.at(kFaceX + 20, kFaceY + 20)));
    EXPECT_GT(count(s, kFaceX + 165, kFaceY + 285, kFaceX + 315, kFaceY + 435, is_red_ink), 5000); // the heart
    EXPECT_GT(count(s, kFaceX + 20, kFaceY + 200, kFaceX + 300, kFaceY + 300, is_red_ink), 100);   // first "2"
    EXPECT_EQ(count(s, kFaceX, kFaceY, kFaceX + 456, kFaceY + 694, is_black_ink), 0);
}

TEST_F(SimTest, AMiddlePressReleasedOnTheRightIsAKingAndAt320AQueen) {
    const std::string arm = "tap 400 300\ntilt 0 40 50\nwait 30\n";
    Outcome r = run("--trace gdi -", arm + "press 200 600\nrelease 400 600\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = draw_text_lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_NE(lines[0].find("\"K\""), std::string::npos) << lines[0];
    r = run("--trace gdi -", arm + "press 200 600\nrelease 320 600\nsnapshot queen.png\n");
    lines = draw_text_lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_NE(lines[0].find("\"Q\""), std::string::npos) << lines[0];
    const auto s = snapshot("queen.png");
    EXPECT_GT(count(s, kFaceX + 165, kFaceY + 285, kFaceX + 315, kFaceY + 435, is_black_ink), 5000); // spade
    EXPECT_EQ(count(s, kFaceX, kFaceY, kFaceX + 456, kFaceY + 694, is_red_ink), 0);
}

TEST_F(SimTest, TheSameScriptAndStartTickGiveTheSameSnapshotsByteForByte) {
    const std::string script = "tap 100 100\nsnapshot a.png\ntap 100 100\nsnapshot b.png\n";
    ASSERT_EQ(run("--start-tick 777 -", script).status, 0);
    const std::string a1 = bytes_of("a.png"), b1 = bytes_of("b.png");
    ASSERT_EQ(run("--start-tick 777 -", script).status, 0);
    EXPECT_EQ(bytes_of("a.png"), a1);
    EXPECT_EQ(bytes_of("b.png"), b1);
    EXPECT_NE(a1, b1); // two random cards in a row differ (for this seed)
}

TEST_F(SimTest, ReArmingShowsTheCardBackAgainAndKeepsTheTrickGoing) {
    const Outcome r = run("-", "snapshot idle.png\ntap 100 100\nsnapshot card.png\ntap 400 100\nsnapshot back.png\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto idle = snapshot("idle.png"), card = snapshot("card.png"), back = snapshot("back.png");
    EXPECT_TRUE(is_white(card.at(kFaceX + 30, kFaceY + 30)));
    for (int y = 0; y < 720; y += 7)
        for (int x = 0; x < 480; x += 7)
            ASSERT_EQ(back.at(x, y), idle.at(x, y)) << x << "," << y;
}

TEST_F(SimTest, TheTaskbarIsHiddenBeforeAnyWindowAndShownAfterTheLoopEnds) {
    const Outcome r = run("--trace shell,msg -", "wait 20\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto firstHide = r.err.find("ShowWindow(");
    const auto firstCreate = r.err.find("CreateWindowExW(\"CZentrickMainWnd\"");
    ASSERT_NE(firstHide, std::string::npos) << r.err;
    ASSERT_NE(firstCreate, std::string::npos) << r.err;
    EXPECT_LT(firstHide, firstCreate);
    EXPECT_NE(r.err.find("SW_HIDE", firstHide), std::string::npos);
    const auto lastShow = r.err.rfind("ShowWindow(");
    EXPECT_NE(r.err.find("\"CTaskBar\", SW_SHOW)", lastShow), std::string::npos) << r.err.substr(lastShow);
    // After the app's last message: the loop has ended.
    const std::string created = "CreateWindowExW(\"CZentrickMainWnd\", 0, 0, 480, 720) = ";
    const auto at = r.err.find(created);
    ASSERT_NE(at, std::string::npos);
    const std::string hwnd = r.err.substr(at + created.size(), r.err.find('\n', at) - at - created.size());
    EXPECT_GT(lastShow, r.err.rfind("DispatchMessageW(" + hwnd + ","));
}

TEST_F(SimTest, BadScriptsAndOptionsStopBeforeAnythingRuns) {
    Outcome r = run("--trace shell -", "tap 1 2\nwait -5\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:2: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";
    r = run("-", "tilt 0 0 200\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:1: "), std::string::npos) << r.err;
    r = run("-", "\n# only a comment\nfrobnicate\n");
    EXPECT_NE(r.err.find("script:3: unknown command 'frobnicate'"), std::string::npos) << r.err;
    r = run("--bogus -", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
    r = run("--trace nonsense -", "");
    EXPECT_EQ(r.status, 2);
}

TEST_F(SimTest, AScriptThatCannotBeReadWholeStopsBeforeAnythingRuns) {
    // A directory: opening works, reading fails.
    Outcome r = run("--trace shell '" + m_dir.string() + "'", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script: cannot read " + m_dir.string() + ": Is a directory"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";
    r = run("--trace shell no-such-script.zts", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script: cannot read no-such-script.zts: No such file or directory"), std::string::npos)
        << r.err;
    // An endless file is refused at its first line, without reading it all.
    r = run("--trace shell /dev/zero", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:1: the line is longer than 4096 bytes"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";
}

TEST_F(SimTest, AClosedStandardStreamNeverBecomesTheMessageTable) {
    // The app registers its messages, so the table is opened; the snapshot
    // then says "wrote" on standard output.
    std::ofstream(m_dir / "script.zts") << "snapshot closed.png\n";
    struct Row {
        const char* stream;
        const char* redirections;
    } rows[] = {{"stdin", "script.zts <&-"}, {"stdout", "- <script.zts >&-"}, {"stderr", "- <script.zts 2>&-"}};
    for (const auto& row : rows) {
        const fs::path names = m_dir / (std::string("names-") + row.stream);
        fs::remove(m_dir / "closed.png");
        const std::string command = "cd '" + m_dir.string() + "' && ZT_MESSAGE_NAMES='" + names.string() + "' '" +
                                    ZT_SIM_PATH "' --start-tick 5 " + row.redirections;
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << row.stream;
        EXPECT_TRUE(fs::exists(m_dir / "closed.png")) << row.stream;
        // The table is whole and shared: nothing meant for the terminal
        // went into it.
        EXPECT_EQ(bytes_of(names.filename()).substr(0, 8), "ZTMSGNM1") << row.stream;
        // A record: the name's length in 16-bit units, then the units, both
        // little-endian.
        std::string record("\x0a\x00", 2);
        for (char c : std::string("AccMessage"))
            record += std::string{c, '\0'};
        EXPECT_NE(bytes_of(names.filename()).find(record), std::string::npos) << row.stream;
    }
}

TEST_F(SimTest, LinesAndScriptsPastTheirLimitsAreRefusedByLine) {
    const std::string longest = "#" + std::string(4095, 'x') + "\n"; // 4096 bytes and its line end
    Outcome r = run("-", longest + "frobnicate\n");
    EXPECT_NE(r.err.find("script:2: unknown command 'frobnicate'"), std::string::npos) << r.err;
    r = run("--trace shell -", "tap 1 2\n#" + std::string(4096, 'x') + "\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:2: the line is longer than 4096 bytes"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";

    // 4095 such lines are 16 MiB less one byte; the 4096th crosses the limit.
    std::string big;
    for (int i = 0; i < 4095; ++i)
        big += longest;
    r = run("-", big + longest);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:4096: the script is longer than 16 MiB"), std::string::npos) << r.err.substr(0, 200);
    r = run("-", big + "\n");
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 200);
}

TEST_F(SimTest, AWaitLongerThanADayIsRefused) {
    Outcome r = run("--trace shell -", "wait 86400001\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:1: wait: MS must be a number of milliseconds from 0 to 86400000"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";
    r = run("-", "wait 4294967294\n");
    EXPECT_EQ(r.status, 2);
    // A whole day is allowed: only the next line is wrong.
    r = run("-", "wait 86400000\nfrobnicate\n");
    EXPECT_NE(r.err.find("script:2: unknown command"), std::string::npos) << r.err;
}

TEST_F(SimTest, AScriptWhoseWaitsAddUpPastAWeekIsRefusedAtTheLineThatCrossesIt) {
    std::string week;
    for (int i = 0; i < 7; ++i)
        week += "wait 86400000\ntap 1 2\n";
    Outcome r = run("--trace shell -", week + "wait 1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:15: wait: the waits add up to more than 604800000 ms (a week)"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("trace:"), std::string::npos) << "nothing ran";
    // A week exactly is allowed: only the next line is wrong.
    r = run("-", week + "wait 0\nfrobnicate\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:16: unknown command"), std::string::npos) << r.err;
}

TEST_F(SimTest, ASnapshotNameLosesEveryKindOfBlankAroundIt) {
    Outcome r = run("-", "snapshot\f\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script:1: expected 'snapshot FILE'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(m_dir / "\f"));
    r = run("-", "snapshot out.png\r\r\n\vsnapshot\tsecond shot.png \f\v\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(m_dir / "out.png"));
    EXPECT_FALSE(fs::exists(m_dir / "out.png\r"));
    EXPECT_TRUE(fs::exists(m_dir / "second shot.png"));
    EXPECT_EQ(snapshot("out.png").width(), 480);
}

TEST_F(SimTest, ASnapshotThatCannotBeWrittenIsAnErrorWithThePath) {
    const Outcome r = run("-", "snapshot /nonexistent-dir/x.png\ntap 100 100\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent-dir/x.png"), std::string::npos) << r.err;
}

TEST_F(SimTest, ASnapshotWritesWhereAPlainWriteWouldAndNowhereElse) {
    // Root may write anything: the snapshots are taken as another user.
    ZT_NEED_OTHER_USER(other);
    using zt::testhost::shell_quote;
    const fs::path folder = m_dir / "theirs", names = m_dir / "names", logs = m_dir / "logs";
    fs::permissions(m_dir, fs::perms(0755));
    for (const fs::path& dir : {folder, names, logs}) {
        fs::create_directories(dir);
        ASSERT_EQ(::chown(dir.c_str(), other, other), 0);
    }
    ASSERT_EQ(::chmod(names.c_str(), 0700), 0);
    std::ofstream(m_dir / "shot.zts") << "snapshot shot.png\n";
    const fs::path target = folder / "shot.png";
    struct Row {
        const char* what;
        mode_t folderMode;
        mode_t fileMode; // 0: no file there yet
        bool written;
    } rows[] = {
        {"a file they may write", 0755, 0644, true},
        {"a file they may not write", 0755, 0444, false},
        {"a file they may write, in a folder they may not", 0555, 0644, true},
        {"a file they may not write, in a folder they may not", 0555, 0444, false},
        {"a new file in a folder they may not write", 0555, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        fs::remove(target);
        if (row.fileMode != 0) {
            std::ofstream(target) << "precious";
            ASSERT_EQ(::chown(target.c_str(), other, other), 0);
            ASSERT_EQ(::chmod(target.c_str(), row.fileMode), 0);
        }
        ASSERT_EQ(::chmod(folder.c_str(), row.folderMode), 0);
        const int status = zt::testhost::run_as(
            other, "cd " + shell_quote(folder.string()) +
                       " && ZT_MESSAGE_NAMES=" + shell_quote((names / "t").string()) + " " + shell_quote(ZT_SIM_PATH) +
                       " --start-tick 5 " + shell_quote((m_dir / "shot.zts").string()) + " >" +
                       shell_quote((logs / "out").string()) + " 2>" + shell_quote((logs / "err").string()));
        const std::string err = slurp(logs / "err");
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder))
            left.push_back(entry.path().filename().string());
        struct stat st {};
        const bool there = ::stat(target.c_str(), &st) == 0;
        if (row.written) {
            EXPECT_EQ(status, 0) << err;
            EXPECT_EQ(slurp(logs / "out"), "zentrick-sim: wrote shot.png\n");
            const std::string bytes = slurp(target);
            const auto image = zt::gfx::decode_png(bytes.data(), bytes.size());
            EXPECT_TRUE(image.has_value() && image->width() == 480);
        } else {
            EXPECT_EQ(status, 1) << err;
            EXPECT_NE(err.find("cannot write shot.png: Permission denied"), std::string::npos) << err;
            EXPECT_TRUE(there ? slurp(target) == "precious" : row.fileMode == 0) << "what was there changed";
        }
        // Nothing else was made, and what was there keeps its owner and mode.
        EXPECT_EQ(left, there ? std::vector<std::string>{"shot.png"} : std::vector<std::string>{});
        if (row.fileMode != 0) {
            EXPECT_EQ(st.st_mode & 07777, row.fileMode);
            EXPECT_EQ(st.st_uid, other);
        }
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
}

TEST_F(SimTest, WhatAScriptSaysReachesTheTerminalWithEveryControlEscaped) {
    // Bytes that would retitle the terminal, clear it, start a control
    // sequence on their own (0x9b) or turn the rest of the line around.
    const std::string title = "\x1b]0;owned\x07", clear = "\x1b[2J", turn = "\xe2\x80\xae";
    struct Row {
        const char* what;
        std::string script;
        int status;
        std::string out, err; // each must hold this
    } rows[] = {
        {"an unknown command", "tap 1 2\n" + title + "\xff\x9b\\\n", 2, "",
         "script:2: unknown command '\\x1b]0;owned\\x07\\xff\\x9b\\\\'"},
        {"a snapshot's name", "snapshot " + clear + "shot" + turn + ".png\n", 0,
         "zentrick-sim: wrote \\x1b[2Jshot\\u202e.png\n", ""},
        {"a snapshot that fails", "snapshot no" + clear + "/x" + turn + ".png\n", 1, "",
         "cannot write no\\x1b[2J/x\\u202e.png: No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome r = run("-", row.script);
        // Shown quoted here too, should the test fail.
        const std::string out = ::testing::PrintToString(r.out), err = ::testing::PrintToString(r.err);
        EXPECT_EQ(r.status, row.status) << err;
        EXPECT_NE(r.out.find(row.out), std::string::npos) << out;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << err;
        for (const std::string raw : {"\x1b", "\x07", "\x9b", "\xff", "\xe2\x80\xae"}) {
            EXPECT_EQ(r.out.find(raw), std::string::npos) << out;
            EXPECT_EQ(r.err.find(raw), std::string::npos) << err;
        }
    }
    // The file itself has the name the script gave.
    EXPECT_TRUE(fs::exists(m_dir / (clear + "shot" + turn + ".png")));
}

TEST_F(SimTest, WithoutTheAccelerometerNoSuitIsLatchedAndTheOpenFailureIsPrinted) {
    const Outcome r = run("--no-accelerometer --trace gdi -", "tap 400 300\ntilt 0 40 50\nwait 30\npress 400 200\n"
                                                              "release 400 200\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("[Acc Api] Open ACC0 failed err 2..........\n"), std::string::npos) << r.err;
    // No latch: DrawCard picks suit and rank itself; a card is still drawn.
    EXPECT_EQ(draw_text_lines(r.err).size(), 2u);
}

namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

} // namespace

TEST_F(SimTest, ARepeatedDebugLineShowsOnceAndIsCountedAtTheEnd) {
    const std::string notOpened = "[Acc Api] ACC0 not opened..........\n";
    // Every 10 ms tick asks the missing accelerometer: about 100 times.
    Outcome r = run("--no-accelerometer -", "wait 1000\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(r.err, notOpened), 1u) << r.err.substr(0, 400);
    const std::string repeated = "last message repeated ";
    const auto at = r.err.find(notOpened + repeated);
    ASSERT_NE(at, std::string::npos) << r.err.substr(0, 400);
    const int times = std::atoi(r.err.c_str() + at + notOpened.size() + repeated.size());
    EXPECT_GE(times, 90);
    EXPECT_LE(times, 110);

    // For tests and for looking closely: every line.
    r = run("--no-accelerometer -", "wait 1000\n", "ZT_DEBUG_ALL=1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(r.err, notOpened), static_cast<std::size_t>(times) + 1);
    EXPECT_EQ(r.err.find(repeated), std::string::npos);
}

TEST_F(SimTest, ThousandsOfRevealsNeverHandAWindowsNumberToADrawingObject) {
    // Each reveal makes a few DCs, brushes and fonts: 3,500 of them take the
    // handle counter well past the first 16,000 numbers.
    std::string script;
    for (int i = 0; i < 3500; ++i)
        script += "tap 400 300\npress 400 200\nrelease 400 200\n";
    const Outcome r = run("--trace gdi,msg -", script);
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 400);
    EXPECT_EQ(draw_text_lines(r.err).size(), 7000u);
    const auto windows = results_of(r.err, {"CreateWindowExW"});
    ASSERT_EQ(windows.size(), 7u) << "the shell's six and the app's";
    const std::set<std::string> live(windows.begin(), windows.end());
    const auto drawing = results_of(r.err, {"GetDC", "BeginPaint", "CreateCompatibleDC", "CreateCompatibleBitmap",
                                            "CreateSolidBrush", "CreateFontIndirectW"});
    EXPECT_GT(drawing.size(), 16000u);
    std::size_t clashes = 0;
    for (const std::string& h : drawing)
        if (live.contains(h) && ++clashes == 1)
            ADD_FAILURE() << "a drawing object got the live window number " << h;
    EXPECT_EQ(clashes, 0u);
}

TEST_F(SimTest, KilledDuringASnapshotLeavesNoTemporaryFileBehind) {
    const fs::path script = m_dir / "shot.zts";
    std::ofstream(script) << "snapshot " << (m_dir / "shot.png").string() << "\n";
    const auto temporaries = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            if (entry.path().extension() == ".tmp")
                names.push_back(entry.path().filename().string());
        return names;
    };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        const pid_t pid = spawn_holding_snapshots(script);
        ASSERT_GT(pid, 0);
        bool held = false;
        for (int i = 0; i < 3000 && !held; ++i) {
            held = !temporaries().empty();
            if (!held)
                ::usleep(10'000);
        }
        ::kill(pid, held ? signal : SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(held) << "the snapshot never started: " << slurp(m_dir / "stderr");
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(temporaries(), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(m_dir / "shot.png"));
        for (const std::string& name : temporaries())
            fs::remove(m_dir / name); // so that the next signal is tried on its own
    }
}

TEST_F(SimTest, TheExampleScriptsForceTheirCards) {
    struct Example {
        const char* script;
        const char* snapshot;
        const char* rank;
        bool red;
    } examples[] = {
        {"two-of-hearts.zts", "two-of-hearts.png", "\"2\"", true},
        {"king-of-spades.zts", "king-of-spades.png", "\"K\"", false},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.script);
        const std::string script = slurp(fs::path(ZT_EXAMPLES_DIR) / e.script);
        ASSERT_FALSE(script.empty());
        const Outcome r = run("--trace gdi -", script);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto lines = draw_text_lines(r.err);
        ASSERT_EQ(lines.size(), 2u) << r.err;
        EXPECT_NE(lines[0].find(e.rank), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find(e.rank), std::string::npos) << lines[1];
        const auto s = snapshot(e.snapshot);
        const int symbolRed = count(s, kFaceX + 165, kFaceY + 285, kFaceX + 315, kFaceY + 435, is_red_ink);
        const int symbolBlack = count(s, kFaceX + 165, kFaceY + 285, kFaceX + 315, kFaceY + 435, is_black_ink);
        EXPECT_GT(e.red ? symbolRed : symbolBlack, 5000);
        EXPECT_EQ(e.red ? symbolBlack : symbolRed, 0);
    }
}
