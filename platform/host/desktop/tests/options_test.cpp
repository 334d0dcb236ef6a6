// The command line: every option, its spellings, and clear refusals.
#include "options.h"
#include "zt/sys/trace.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using zt::desktop::AccelSource;
using zt::desktop::Options;
using zt::desktop::parse_options;
using zt::desktop::ParseResult;

namespace {

struct Parsed {
    ParseResult result;
    Options options;
    std::string error;
};

Parsed parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"zentrick"};
    argv.insert(argv.end(), args.begin(), args.end());
    Parsed p;
    p.error = "untouched";
    p.result = parse_options(static_cast<int>(argv.size()), argv.data(), p.options, p.error);
    return p;
}

} // namespace

TEST(DesktopOptions, NoArgumentsFitTheDisplayAndPickTheAccelerometerAutomatically) {
    const Parsed p = parse({});
    EXPECT_EQ(p.result, ParseResult::Run);
    EXPECT_EQ(p.options.scale, 0.0);
    EXPECT_EQ(p.options.accel, AccelSource::Auto);
    EXPECT_FALSE(p.options.rehearse);
    EXPECT_EQ(p.options.traceChannels, 0u);
}

TEST(DesktopOptions, ScaleTakesADecimalNumberInEitherSpelling) {
    EXPECT_EQ(parse({"--scale", "2"}).options.scale, 2.0);
    EXPECT_EQ(parse({"--scale=1.5"}).options.scale, 1.5);
    EXPECT_EQ(parse({"--scale", "0.25"}).options.scale, 0.25);
    EXPECT_EQ(parse({"--scale", "8"}).options.scale, 8.0);
}

TEST(DesktopOptions, ScaleOutsideItsRangeOrNotANumberIsRefused) {
    for (const char* bad : {"0", "-1", "0.2", "8.5", "two", "2x", "", "nan", "inf"}) {
        const Parsed p = parse({"--scale", bad});
        EXPECT_EQ(p.result, ParseResult::Error) << bad;
        EXPECT_NE(p.error.find("--scale"), std::string::npos) << p.error;
    }
}

TEST(DesktopOptions, EveryAccelerometerSourceHasItsName) {
    EXPECT_EQ(parse({"--accel", "auto"}).options.accel, AccelSource::Auto);
    EXPECT_EQ(parse({"--accel", "iio"}).options.accel, AccelSource::Iio);
    EXPECT_EQ(parse({"--accel", "controller"}).options.accel, AccelSource::Controller);
    EXPECT_EQ(parse({"--accel=keys"}).options.accel, AccelSource::Keys);
    EXPECT_EQ(parse({"--accel", "none"}).options.accel, AccelSource::None);
    const Parsed p = parse({"--accel", "mouse"});
    EXPECT_EQ(p.result, ParseResult::Error);
    EXPECT_NE(p.error.find("'mouse'"), std::string::npos) << p.error;
}

TEST(DesktopOptions, RehearseAndTraceAreTakenTogetherWithTheRest) {
    const Parsed p = parse({"--rehearse", "--trace", "msg,shell", "--scale", "1", "--accel", "keys"});
    ASSERT_EQ(p.result, ParseResult::Run) << p.error;
    EXPECT_TRUE(p.options.rehearse);
    EXPECT_EQ(p.options.traceChannels, zt::trace::kMsg | zt::trace::kShell);
    EXPECT_EQ(p.options.scale, 1.0);
    EXPECT_EQ(p.options.accel, AccelSource::Keys);
}

TEST(DesktopOptions, HelpWinsWhereverItStands) {
    EXPECT_EQ(parse({"--help"}).result, ParseResult::Help);
    EXPECT_EQ(parse({"--scale", "2", "-h"}).result, ParseResult::Help);
}

TEST(DesktopOptions, UnknownOptionsStrayArgumentsAndMissingValuesAreRefused) {
    Parsed p = parse({"--fullscreen"});
    EXPECT_EQ(p.result, ParseResult::Error);
    EXPECT_EQ(p.error, "unknown option --fullscreen");
    p = parse({"script.txt"});
    EXPECT_EQ(p.result, ParseResult::Error);
    EXPECT_NE(p.error.find("script.txt"), std::string::npos);
    p = parse({"--scale"});
    EXPECT_EQ(p.result, ParseResult::Error);
    EXPECT_EQ(p.error, "--scale needs a value");
    p = parse({"--trace", "gfx"});
    EXPECT_EQ(p.result, ParseResult::Error);
    p = parse({"--rehearse=yes"});
    EXPECT_EQ(p.result, ParseResult::Error);
}

TEST(DesktopOptions, UsageNamesEveryOptionAndTheKeyForEachSuit) {
    const std::string text = zt::desktop::usage();
    for (const char* needle : {"--scale", "--accel", "--rehearse", "--trace", "Up", "spades", "Down", "hearts", "Right",
                               "clubs", "Left", "diamonds", "F ", "zentrick-sim"})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
}
