// Formatted print, the debug print and the text helpers.
#include "zt/platform.h"
#include "zt/sys/kernel.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <gtest/gtest.h>

#include <vector>

TEST(DebugPrint, WritesTheFormattedTextExactlyWithNoPrefixOrNewline) {
    zt::testhost::DebugCapture capture;
    NKDbgPrintfW(u"[Acc Api] Open ACC0 failed err %d..........\n", 2);
    NKDbgPrintfW(u"%s=%d", u"gr\u00fc\u00df", -7);
    EXPECT_EQ(capture.text(), "[Acc Api] Open ACC0 failed err 2..........\ngr\xc3\xbc\xc3\x9f=-7");
}

TEST(DebugPrint, FormatsWidthsPrecisionsAndConversionsLikePrintf) {
    WCHAR buffer[256];
    struct Case {
        int written;
        std::u16string expected;
    } cases[] = {
        {wsprintfW(buffer, u"%d", 10), u"10"},
    };
    EXPECT_EQ(std::u16string(buffer), cases[0].expected);
    EXPECT_EQ(cases[0].written, 2);
    auto format = [&](auto... args) {
        wsprintfW(buffer, args...);
        return std::u16string(buffer);
    };
    EXPECT_EQ(format(u"[%5d|%-5d|%05d]", 42, 42, 42), u"[   42|42   |00042]");
    EXPECT_EQ(format(u"%x %X %#x %u", 255u, 255u, 255u, 4294967295u), u"ff FF 0xff 4294967295");
    EXPECT_EQ(format(u"%c%c%%", u'o', u'k'), u"ok%");
    EXPECT_EQ(format(u"%.2s|%4s|%S", u"abcdef", u"ab", "narrow"), u"ab|  ab|narrow");
    EXPECT_EQ(format(u"%s", static_cast<LPCWSTR>(nullptr)), u"(null)");
    EXPECT_EQ(format(u"100%"), u"100%");
}

TEST(Strings, BoundedCopyCutsToFitAndAlwaysEndsInNul) {
    WCHAR field[8];
    std::fill(std::begin(field), std::end(field), u'#');
    EXPECT_EQ(StringCchCopyNW(field, 4, u"abcdef", 4), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(field), u"abc");
    EXPECT_EQ(field[4], u'#'); // nothing past the field
    EXPECT_EQ(StringCchCopyNW(field, 4, u"ab", 4), S_OK);
    EXPECT_EQ(std::u16string(field), u"ab");
    EXPECT_EQ(StringCchCopyNW(field, 8, u"abcdef", 2), S_OK);
    EXPECT_EQ(std::u16string(field), u"ab");
    EXPECT_EQ(lstrlenW(u"abc"), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);
}

TEST(Strings, Utf16AndUtf8RoundTripIncludingSurrogates) {
    const std::u16string text = u"A\u00e9\u20ac\U0001F0A1";
    const std::string utf8 = zt::sys::to_utf8(text);
    EXPECT_EQ(utf8, "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x82\xa1");
    EXPECT_EQ(zt::sys::to_utf16(utf8), text);
    EXPECT_EQ(zt::sys::to_utf8(u"\xD800x"), "\xef\xbf\xbdx");
}

TEST(DebugPrint, FormatsStarWidthsSizesPointersAndOddConversions) {
    WCHAR buffer[256];
    auto format = [&](auto... args) {
        wsprintfW(buffer, args...);
        return std::u16string(buffer);
    };
    EXPECT_EQ(format(u"[%*d|%*d|%.*s]", 4, 7, -4, 7, 2, u"abc"), u"[   7|7   |ab]");
    EXPECT_EQ(format(u"%hd %hhu %I64d %lld", 70000, 300, -5LL, 1LL << 40), u"4464 44 -5 1099511627776");
    EXPECT_EQ(format(u"%p", reinterpret_cast<void*>(0x1234)), u"00001234");
    EXPECT_EQ(format(u"%C%lc%hc", 'n', u'\u00e9', 'x'), u"n\u00e9x");
    EXPECT_EQ(format(u"%hs|%ws|%-4S|", "na", u"wi", "r"), u"na|wi|r   |");
    EXPECT_EQ(format(u"%q and %"), u"%q and %");
    EXPECT_EQ(format(u"%S", static_cast<const char*>(nullptr)), u"(null)");
}

TEST(Strings, Utf16DecodingPairsSurrogatesAndLeavesLoneOnesAlone) {
    const std::u16string text = u"a\U0001F0A1\xDC00\xD800";
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();)
        points.push_back(zt::sys::decode_utf16(text, i));
    EXPECT_EQ(points, (std::vector<char32_t>{U'a', 0x1F0A1, 0xDC00, 0xD800}));
    std::string bytes;
    zt::sys::encode_utf8(bytes, 0xD800); // a lone surrogate written as a code point, for names
    zt::sys::encode_utf8(bytes, 0x10FFFF);
    EXPECT_EQ(bytes, "\xed\xa0\x80\xf4\x8f\xbf\xbf");
}

TEST(Strings, MalformedUtf8BecomesOneReplacementPerBadByte) {
    EXPECT_EQ(zt::sys::to_utf16(std::string("a\xff") + "b"), u"a\uFFFDb");
    EXPECT_EQ(zt::sys::to_utf16("\xe2\x82"), u"\uFFFD\uFFFD"); // cut short
    EXPECT_EQ(zt::sys::to_utf16("\xc3(x"), u"\uFFFD(x");       // bad continuation
    // Forms no encoder writes: an overlong "/" (which would slip past a
    // check for "/" made on the bytes), a surrogate, past U+10FFFF.
    EXPECT_EQ(zt::sys::to_utf16("\xc0\xaf"), u"\uFFFD\uFFFD");
    EXPECT_EQ(zt::sys::to_utf16("\xe0\x80\xaf"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(zt::sys::to_utf16("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(zt::sys::to_utf16("\xf4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(zt::sys::to_utf16("\xf7\xbf\xbf\xbf"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(zt::sys::view(nullptr).size(), 0u);
    EXPECT_EQ(zt::sys::view(u"abc"), u"abc");
}

TEST(Trace, ChannelsParseAndLinesCarryTheChannelName) {
    unsigned mask = 0;
    EXPECT_TRUE(zt::trace::parse_channels("msg,shell", mask));
    EXPECT_EQ(mask, zt::trace::kMsg | zt::trace::kShell);
    EXPECT_TRUE(zt::trace::parse_channels("all", mask));
    EXPECT_EQ(mask, unsigned(zt::trace::kAll));
    EXPECT_FALSE(zt::trace::parse_channels("msg,bogus", mask));

    std::string lines;
    zt::trace::set_sink([&](std::string_view l) { lines += l; });
    zt::trace::enable(zt::trace::kShell);
    FindWindowW(u"NoSuchShellWindow", nullptr);
    zt::trace::enable(0);
    FindWindowW(u"NotTraced", nullptr);
    zt::trace::set_sink(nullptr);
    EXPECT_EQ(lines, "trace:shell: FindWindowW(\"NoSuchShellWindow\", NULL) = NULL\n");
}
