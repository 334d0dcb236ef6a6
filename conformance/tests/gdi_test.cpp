// Device contexts, the display driver's escapes, and DrawTextW's result.
#include "conformance/harness.h"

namespace {

// A memory DC with a bitmap and a 20-pixel bold font selected.
class TextDc {
  public:
    TextDc() {
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, 200, 100);
        ReleaseDC(nullptr, screen);
        LOGFONTW lf{};
        lf.lfHeight = -20;
        lf.lfWeight = FW_BOLD;
        m_font = CreateFontIndirectW(&lf);
        m_oldBitmap = SelectObject(m_dc, m_bitmap);
        m_oldFont = SelectObject(m_dc, m_font);
    }
    ~TextDc() {
        SelectObject(m_dc, m_oldFont);
        SelectObject(m_dc, m_oldBitmap);
        DeleteObject(m_font);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC get() const { return m_dc; }
    // DrawTextW's result for "10" in 10,10-190,90, checking that the
    // rectangle comes back unchanged.
    int draw(UINT format) const {
        RECT rect{10, 10, 190, 90};
        const int result = DrawTextW(m_dc, TEXT("10"), 2, &rect, format);
        EXPECT_EQ(rect.left, 10);
        EXPECT_EQ(rect.top, 10);
        EXPECT_EQ(rect.right, 190);
        EXPECT_EQ(rect.bottom, 90);
        return result;
    }

  private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HFONT m_font = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    HGDIOBJ m_oldFont = nullptr;
};

} // namespace

TEST(DeviceContexts, TheScreensAndAWindowsDcAreGivenAndTakenBack) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);

    conformance::WindowThread shell;
    HWND window = shell.create(TEXT("ZtDcWindow"), true);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST(Escapes, AnEscapeTheDisplayDriverDoesNotKnowAnswersZero) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(ExtEscape(screen, 0x20113, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(ExtEscape(screen, 0x20114, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(TextDrawing, ALineGivesItsHeightAndLeavesTheRectangleAlone) {
    TextDc dc;
    const int height = dc.draw(DT_LEFT);
    EXPECT_GT(height, 10);
    EXPECT_LT(height, 40);
    EXPECT_EQ(dc.draw(DT_CENTER), height);
    EXPECT_EQ(dc.draw(DT_LEFT | DT_SINGLELINE), height);
}

TEST(TextDrawing, AlignedToTheBottomOrCentreItGivesTheDistanceFromTheTopToTheTextsBottom) {
    TextDc dc;
    const int height = dc.draw(DT_LEFT | DT_SINGLELINE);
    EXPECT_EQ(dc.draw(DT_CENTER | DT_BOTTOM | DT_SINGLELINE), 80);
    const int centred = dc.draw(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_GE(centred, (80 - height) / 2 + height);
    EXPECT_LE(centred, (80 - height) / 2 + height + 1) << "text height " << height;
}

TEST(TextDrawing, BottomAlignsWithoutSingleLine) {
    ZT_WIN32_DIFFERENCE("DT_BOTTOM and DT_VCENTER apply without DT_SINGLELINE (the phone's format 9, centred and "
                        "bottom-aligned, relies on it); Win32 ignores them there");
    TextDc dc;
    EXPECT_EQ(dc.draw(DT_CENTER | DT_BOTTOM), 80);
}
