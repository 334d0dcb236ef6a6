// The page's URL options: what each one sets, and what a bad one does.
#include "options.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

using namespace zt::web;

namespace {

Options parse(std::string_view query, std::vector<std::string>* problems = nullptr) {
    std::vector<std::string> own;
    Options options = parse_query(query, problems ? *problems : own);
    if (!problems) {
        EXPECT_TRUE(own.empty()) << own.front();
    }
    return options;
}

} // namespace

TEST(WebOptions, NoQueryMeansAPerformanceWithTheBestTiltSource) {
    const Options o = parse("");
    EXPECT_FALSE(o.rehearse);
    EXPECT_EQ(o.accel, AccelMode::Auto);
    EXPECT_FALSE(o.flipX || o.flipY || o.flipZ);
    EXPECT_EQ(parse("?").accel, AccelMode::Auto);
}

TEST(WebOptions, RehearseAloneOrWithAValueTurnsTheGuidesOn) {
    EXPECT_TRUE(parse("?rehearse").rehearse);
    EXPECT_TRUE(parse("rehearse=1").rehearse);
    EXPECT_TRUE(parse("?rehearse=").rehearse);
    EXPECT_FALSE(parse("?rehearse=0").rehearse);
    EXPECT_FALSE(parse("?rehearse&rehearse=off").rehearse); // the last one counts
}

TEST(WebOptions, AccelNamesEachSource) {
    EXPECT_EQ(parse("?accel=motion").accel, AccelMode::Motion);
    EXPECT_EQ(parse("?accel=keys").accel, AccelMode::Keys);
    EXPECT_EQ(parse("?accel=none").accel, AccelMode::None);
    EXPECT_EQ(parse("?accel=keys&accel=auto").accel, AccelMode::Auto);
}

TEST(WebOptions, FlipTurnsEveryAxisOrTheOnesNamed) {
    Options all = parse("?flip");
    EXPECT_TRUE(all.flipX && all.flipY && all.flipZ);
    Options xy = parse("?flip=xy");
    EXPECT_TRUE(xy.flipX && xy.flipY);
    EXPECT_FALSE(xy.flipZ);
    Options z = parse("?flip=Z");
    EXPECT_FALSE(z.flipX || z.flipY);
    EXPECT_TRUE(z.flipZ);
}

TEST(WebOptions, ValuesArePercentDecoded) {
    EXPECT_EQ(parse("?accel=%6Beys").accel, AccelMode::Keys);
    EXPECT_TRUE(parse("?re%68earse").rehearse);
}

TEST(WebOptions, ABadOptionIsReportedAndChangesNothingElse) {
    std::vector<std::string> problems;
    const Options o = parse("?accel=gyro&rehearse&flip=xw&colour=red&%zz", &problems);
    EXPECT_EQ(o.accel, AccelMode::Auto);
    EXPECT_TRUE(o.rehearse);
    EXPECT_FALSE(o.flipX || o.flipY || o.flipZ); // half a flip is no flip
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_NE(problems[0].find("accel"), std::string::npos);
    EXPECT_NE(problems[0].find("gyro"), std::string::npos);
    EXPECT_NE(problems[1].find("flip"), std::string::npos);
    EXPECT_NE(problems[2].find("colour"), std::string::npos);
    EXPECT_NE(problems[3].find("%zz"), std::string::npos); // a broken escape is kept as written
}

TEST(WebOptions, TraceNamesTheChannelsForTheConsole) {
    EXPECT_EQ(parse("?trace=msg,shell").traceChannels, zt::trace::kMsg | zt::trace::kShell);
    EXPECT_EQ(parse("?trace=all").traceChannels, static_cast<unsigned>(zt::trace::kAll));
    std::vector<std::string> problems;
    EXPECT_EQ(parse("?trace=msg,colour", &problems).traceChannels, 0u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("trace"), std::string::npos);
}
