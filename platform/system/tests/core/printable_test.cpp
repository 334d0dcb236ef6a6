// Text made fit for a terminal: every control, C1 and bidirectional
// character, and every byte that is not well-formed UTF-8, shows as an
// escape; everything else as it is.
#include "zt/sys/printable.h"
#include "zt/sys/unicode.h"

#include <gtest/gtest.h>

#include <string>

using zt::sys::printable;

TEST(Printable, BytesShowAsUtf8WithEveryControlAndMalformedByteEscaped) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"plain", "shot 1.png", "shot 1.png"},
        {"letters, a sign and a card", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x82\xa1",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x82\xa1"},
        {"escape and bell", "\x1b]0;t\x07", "\\x1b]0;t\\x07"},
        {"new line, NUL, DEL", std::string("a\nb\0c\x7f", 6), "a\\x0ab\\x00c\\x7f"},
        {"a C1 control",
         "\xc2\x9b"
         "1m",
         "\\u009b1m"},
        {"a lone 0x9b",
         "\x9b"
         "1m",
         "\\x9b1m"},
        {"an override and a separator", "\xe2\x80\xae\xe2\x80\xa8", "\\u202e\\u2028"},
        {"an isolate and a mark", "\xe2\x81\xa6\xd8\x9c", "\\u2066\\u061c"},
        {"an overlong escape", "\xc0\x9b", "\\xc0\\x9b"},
        {"an overlong slash", "\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
        {"a surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"cut short at the end", "x\xe2\x82", "x\\xe2\\x82"},
        {"cut short by a letter", "\xe2\x82x", "\\xe2\\x82x"},
        {"a byte no sequence starts with", "\xff\xfe", "\\xff\\xfe"},
        {"a backslash", "a\\x1b", "a\\\\x1b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printable(c.bytes), c.shown) << c.what;
    EXPECT_EQ(printable("it's 'x'", "'"), "it\\'s \\'x\\'");
}

TEST(Printable, Utf16ShowsTheSameWayAndALoneSurrogateAsAReplacement) {
    EXPECT_EQ(printable(u"a\x1b\x85\u202e\u00e9"), "a\\x1b\\u0085\\u202e\xc3\xa9");
    EXPECT_EQ(printable(u"\U0001F0A1"), "\xf0\x9f\x82\xa1");
    EXPECT_EQ(printable(u"\xd800x"), "\xef\xbf\xbdx");
    EXPECT_EQ(printable(u"say \"hi\" \\", u"\""), "say \\\"hi\\\" \\\\");
}

TEST(Printable, NoInputOfUpToThreeBytesLeavesARawControlOrMalformedUtf8) {
    // Every string of one and two bytes, and of three where the first
    // starts a three-byte sequence: what shows is well-formed UTF-8 (it
    // survives a round trip) with nothing must_escape() names.
    int bad = 0;
    auto check = [&](const std::string& bytes) {
        const std::string shown = printable(bytes);
        const std::u16string units = zt::sys::to_utf16(shown);
        bool clean = zt::sys::to_utf8(units) == shown;
        for (const char16_t unit : units)
            clean = clean && !zt::sys::must_escape(unit);
        if (!clean && ++bad <= 5)
            ADD_FAILURE() << ::testing::PrintToString(bytes) << " shows as " << ::testing::PrintToString(shown);
    };
    for (int a = 0; a < 256; ++a) {
        check(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b) {
            check(std::string{static_cast<char>(a), static_cast<char>(b)});
            if (a >= 0xE0 && a <= 0xEF)
                for (int c = 0x80; c < 0xC0; ++c)
                    check(std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        }
    }
    EXPECT_EQ(bad, 0);
}
