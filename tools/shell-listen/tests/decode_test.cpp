// The listener's decoder: one record, one line, whatever the record holds.
#include "decode.h"

#include "shell/queues.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using zt::listen::Queue;

void put_word(std::vector<BYTE>& r, std::size_t offset, DWORD value) {
    for (int i = 0; i < 4; ++i)
        r[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

void put_text(std::vector<BYTE>& r, std::size_t offset, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        r[offset + 2 * i] = static_cast<BYTE>(text[i]);
        r[offset + 2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
    }
}

// An apps-ask record of command 12, texts variant, carrying two texts.
std::string decode_texts(const std::u16string& text, const std::u16string& text2 = u"") {
    std::vector<BYTE> r(APPS_ASK_RECORD_SIZE, 0);
    put_word(r, 0, 12);
    put_text(r, 12, text);
    put_word(r, 140, APPS_ASK_VARIANT_TEXTS);
    put_text(r, 144, text2);
    return zt::listen::decode(Queue::Apps, r.data(), r.size());
}

// The decoded form of the first text field.
std::string first_text(const std::u16string& text) {
    const std::string line = decode_texts(text);
    const auto start = line.find("text=\"");
    const auto end = line.find("\" text2=");
    return start == std::string::npos || end == std::string::npos ? line : line.substr(start + 6, end - start - 6);
}

} // namespace

TEST(DecodeText, EscapesEveryCharacterThatWouldMoveOrReorderTheLine) {
    struct Case {
        char16_t unit;
        const char* escaped;
    } cases[] = {
        {u'\x01', "\\x01"},     {u'\n', "\\x0a"},       {u'\x1b', "\\x1b"},     {u'\x7f', "\\x7f"},
        {u'\x80', "\\u0080"},   {u'\x85', "\\u0085"},   {u'\x9b', "\\u009b"},   {u'\x9f', "\\u009f"},
        {u'\u2028', "\\u2028"}, {u'\u2029', "\\u2029"}, {u'\u202a', "\\u202a"}, {u'\u202b', "\\u202b"},
        {u'\u202c', "\\u202c"}, {u'\u202d', "\\u202d"}, {u'\u202e', "\\u202e"}, {u'\u2066', "\\u2066"},
        {u'\u2067', "\\u2067"}, {u'\u2068', "\\u2068"}, {u'\u2069', "\\u2069"}, {u'\u200e', "\\u200e"},
        {u'\u200f', "\\u200f"}, {u'\u061c', "\\u061c"},
    };
    for (const Case& c : cases) {
        const std::u16string text = std::u16string(u"a") + c.unit + u"b";
        EXPECT_EQ(first_text(text), std::string("a") + c.escaped + "b") << "U+" << std::hex << int(c.unit);
    }
}

TEST(DecodeText, KeepsPrintableNeighboursOfTheEscapedRangesAsTheyAre) {
    // Each just outside a range that is escaped, and ordinary accented text.
    const std::u16string kept = u"\u00a0\u00e9\u2027\u202f\u2065\u206a\u200d\u061b\u061d\u20ac";
    std::u16string text = u"x";
    text += kept;
    EXPECT_EQ(first_text(text), "x\xc2\xa0\xc3\xa9\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa\xe2\x80\x8d"
                                "\xd8\x9b\xd8\x9d\xe2\x82\xac");
    EXPECT_EQ(first_text(u"say \"hi\" \\ bye"), "say \\\"hi\\\" \\\\ bye");
}

TEST(DecodeText, TheSecondTextIsEscapedTooAndTheLineHasNoRawControl) {
    const std::string line = decode_texts(u"\u202eevil", u"next\u2028line\u0085");
    EXPECT_NE(line.find("text=\"\\u202eevil\""), std::string::npos) << line;
    EXPECT_NE(line.find("text2=\"next\\u2028line\\u0085\""), std::string::npos) << line;
    for (const char* raw : {"\xe2\x80\xae", "\xe2\x80\xa8", "\xc2\x85", "\n", "\r"})
        EXPECT_EQ(line.find(raw), std::string::npos) << line;
}

TEST(DecodeRecords, ShowsEachQueuesFieldsAndAWrongSize) {
    std::vector<BYTE> notify(SHELL_NOTIFY_RECORD_SIZE, 0);
    put_word(notify, 0, 2);
    put_word(notify, 4, 7);
    put_word(notify, 8, 0xFFFFFFFF);
    EXPECT_EQ(zt::listen::decode(Queue::Notify, notify.data(), notify.size()),
              "notify kind=2 first=7 second=4294967295");
    EXPECT_EQ(zt::listen::decode(Queue::Notify, notify.data(), 5), "notify size=5 (not 12) bytes=02000000 07");
}
