// Debug output on its way to a terminal: repeats shown once, then counted.
#include "zt/sys/debug_output.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Records each piece handed to the writer, so that "at once" can be seen.
struct Recorder {
    std::vector<std::string> pieces;
    zt::sys::RepeatCollapser collapser{[this](std::string_view t) { pieces.emplace_back(t); }};
    std::string all() const {
        std::string out;
        for (const auto& p : pieces)
            out += p;
        return out;
    }
};

} // namespace

TEST(RepeatCollapser, ANewLineIsPassedAtOnceAndItsRepeatsOnlyCounted) {
    Recorder r;
    r.collapser.write("[Acc Api] ACC0 not opened..........\n");
    EXPECT_EQ(r.all(), "[Acc Api] ACC0 not opened..........\n");
    for (int i = 0; i < 979; ++i)
        r.collapser.write("[Acc Api] ACC0 not opened..........\n");
    EXPECT_EQ(r.pieces.size(), 1u);
    r.collapser.write("[Acc Api] Close ACC0..........\n");
    EXPECT_EQ(r.all(), "[Acc Api] ACC0 not opened..........\n"
                       "last message repeated 979 times\n"
                       "[Acc Api] Close ACC0..........\n");
}

TEST(RepeatCollapser, FlushReportsTheCountOnceAndOneRepeatIsSingular) {
    Recorder r;
    r.collapser.write("a\na\n");
    r.collapser.flush();
    r.collapser.flush();
    EXPECT_EQ(r.all(), "a\nlast message repeated 1 time\n");
    // After a flush the same line counts afresh.
    r.collapser.write("a\na\na\n");
    r.collapser.flush();
    EXPECT_EQ(r.all(), "a\nlast message repeated 1 time\nlast message repeated 3 times\n");
}

TEST(RepeatCollapser, LinesArriveInAnyPiecesAndOnlyAPossibleRepeatIsHeld) {
    Recorder r;
    r.collapser.write("tick 1\ntick");
    EXPECT_EQ(r.all(), "tick 1\n"); // "tick" may still become "tick 1"
    r.collapser.write(" 1");
    EXPECT_EQ(r.all(), "tick 1\n");
    r.collapser.write("\ntick 1\nti");
    EXPECT_EQ(r.all(), "tick 1\n");
    r.collapser.write("ck 2"); // differs: shown at once, after the count
    EXPECT_EQ(r.all(), "tick 1\nlast message repeated 2 times\ntick 2");
    r.collapser.write("\ntick 2\n");
    r.collapser.write("no newline yet");
    EXPECT_EQ(r.all(), "tick 1\nlast message repeated 2 times\ntick 2\nlast message repeated 1 time\nno newline yet");
}

TEST(RepeatCollapser, TextHeldBackComesOutOnFlush) {
    Recorder r;
    r.collapser.write("abc\nab");
    r.collapser.flush();
    EXPECT_EQ(r.all(), "abc\nab");
    r.collapser.write("c\n"); // the rest of a line already begun is not held
    EXPECT_EQ(r.all(), "abc\nabc\n");
    r.collapser.write("\n\n\n");
    r.collapser.flush();
    EXPECT_EQ(r.all(), "abc\nabc\n\nlast message repeated 2 times\n");
}

TEST(RepeatCollapser, WithoutCollapsingOrAfterFinishEveryByteGoesThrough) {
    std::string out;
    zt::sys::RepeatCollapser all([&](std::string_view t) { out += t; }, false);
    all.write("x\nx\nx");
    EXPECT_EQ(out, "x\nx\nx");

    Recorder r;
    r.collapser.write("x\nx\n");
    r.collapser.finish();
    r.collapser.write("x\nx\n");
    EXPECT_EQ(r.all(), "x\nlast message repeated 1 time\nx\nx\n");
}

TEST(RepeatCollapser, LinesFromManyThreadsStayWhole) {
    std::string out;
    zt::sys::RepeatCollapser collapser([&](std::string_view t) { out += t; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&collapser, t] {
            for (int i = 0; i < 200; ++i)
                collapser.write("thread " + std::to_string(t) + " line\n");
        });
    for (auto& th : threads)
        th.join();
    collapser.flush();
    // Every line is whole: a thread's line or a count.
    std::size_t start = 0, lines = 0;
    for (auto end = out.find('\n'); end != std::string::npos; start = end + 1, end = out.find('\n', start), ++lines) {
        const std::string line = out.substr(start, end - start);
        EXPECT_TRUE(line.rfind("thread ", 0) == 0 || line.rfind("last message repeated ", 0) == 0) << line;
    }
    EXPECT_EQ(start, out.size());
    EXPECT_GE(lines, 4u);
}
