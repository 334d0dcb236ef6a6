// wsprintfW and lstrlenW.
#include "conformance/harness.h"

using conformance::WString;

TEST(FormattedPrint, FormatsWidthsPrecisionsAndConversionsLikePrintf) {
    WCHAR buffer[256];
    EXPECT_EQ(wsprintfW(buffer, TEXT("%d"), 10), 2);
    EXPECT_EQ(WString(buffer), TEXT("10"));
    auto format = [&](auto... args) {
        wsprintfW(buffer, args...);
        return WString(buffer);
    };
    EXPECT_EQ(format(TEXT("[%5d|%-5d|%05d]"), 42, 42, 42), TEXT("[   42|42   |00042]"));
    EXPECT_EQ(format(TEXT("%d %i"), -7, -2147483647 - 1), TEXT("-7 -2147483648"));
    EXPECT_EQ(format(TEXT("%x %X %#x %u"), 255u, 255u, 255u, 4294967295u), TEXT("ff FF 0xff 4294967295"));
    EXPECT_EQ(format(TEXT("%c%c%%"), WCHAR('o'), WCHAR('k')), TEXT("ok%"));
    EXPECT_EQ(format(TEXT("%.2s|%4s|%S"), TEXT("abcdef"), TEXT("ab"), "narrow"), TEXT("ab|  ab|narrow"));
    EXPECT_EQ(format(TEXT("%ls"), TEXT("wide")), TEXT("wide"));
    EXPECT_EQ(format(TEXT("[Acc Api] Open ACC0 failed err %d..........\n"), 2),
              TEXT("[Acc Api] Open ACC0 failed err 2..........\n"));
}

TEST(FormattedPrint, ANullStringPrintsAsNull) {
    WCHAR buffer[32];
    EXPECT_EQ(wsprintfW(buffer, TEXT("%s"), static_cast<const WCHAR*>(nullptr)), 6);
    EXPECT_EQ(WString(buffer), TEXT("(null)"));
}

TEST(Strings, LengthCountsUtf16UnitsAndANullStringIsEmpty) {
    EXPECT_EQ(lstrlenW(TEXT("abc")), 3);
    EXPECT_EQ(lstrlenW(TEXT("")), 0);
    const WCHAR pair[] = {0xD83C, 0xDCA1, 0}; // one character, two units
    EXPECT_EQ(lstrlenW(pair), 2);
    EXPECT_EQ(lstrlenW(nullptr), 0);
}
