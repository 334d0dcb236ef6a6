// FontHelper and CMzStringW.
#include "framework_test.h"

#include <gtest/gtest.h>

TEST(FontHelper, TheSameRequestGivesTheSameFontAndItStaysUsable) {
    HFONT a = FontHelper::GetFont(50, 800, 0, 0, 0, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(FontHelper::GetFont(50, 800, 0, 0, 0, 0), a);
    EXPECT_NE(FontHelper::GetFont(30, 800, 0, 0, 0, 0), a);
    EXPECT_NE(FontHelper::GetFont(50, 400, 0, 0, 0, 0), a);
    // Selected and put back as a caller does; it is still the same font.
    MemoryDC dc;
    ASSERT_TRUE(dc.Create(10, 10));
    HGDIOBJ previous = SelectObject(dc.GetDC(), a);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(SelectObject(dc.GetDC(), previous), a);
    EXPECT_EQ(FontHelper::GetFont(50, 800, 0, 0, 0, 0), a);
}

TEST(CMzStringW, HoldsItsCapacityAndATerminator) {
    CMzStringW text(128);
    EXPECT_EQ(text.Length(), 0);
    EXPECT_EQ(text.C_Str()[0], 0);
    for (int i = 0; i < 128; ++i)
        text.C_Str()[i] = u'a' + static_cast<WCHAR>(i % 26);
    text.C_Str()[128] = 0;
    EXPECT_EQ(text.Length(), 128);
    wsprintfW(text.C_Str(), TEXT("%d"), 10);
    EXPECT_EQ(text.Length(), 2);
    EXPECT_EQ(std::u16string(text.C_Str()), u"10");
}

TEST(CMzStringW, LengthStopsAtTheCapacityWhenTheTerminatorIsOverwritten) {
    CMzStringW text(4);
    for (int i = 0; i <= 4; ++i)
        text.C_Str()[i] = u'x';
    EXPECT_EQ(text.Length(), 4);
}

TEST(CMzStringW, ANegativeCapacityIsEmptyAndCopiesAreIndependent) {
    CMzStringW none(-3);
    EXPECT_EQ(none.GetBufferSize(), 0);
    EXPECT_EQ(none.Length(), 0);
    ASSERT_NE(none.C_Str(), nullptr);
    EXPECT_EQ(none.C_Str()[0], 0);

    CMzStringW a(8);
    wsprintfW(a.C_Str(), TEXT("K"));
    CMzStringW b(a);
    b.C_Str()[0] = u'Q';
    EXPECT_EQ(std::u16string(a.C_Str()), u"K");
    EXPECT_EQ(std::u16string(b.C_Str()), u"Q");
    a = b;
    EXPECT_EQ(std::u16string(a.C_Str()), u"Q");
}
