// Device contexts and GDI objects: selection, freeing, bad handles, window
// and screen DCs, painting, device capabilities and the display escapes.
#include "canvas.h"
#include "zt/sys/trace.h"
#include "zt/testhost.h"

#include <string>

using gditest::Canvas;
using gditest::kSentinelError;
using zt::testhost::OwnWindow;

namespace {

// Calls `call`, which must fail; returns the last error it left.
template <typename F> DWORD error_of(F call) {
    SetLastError(kSentinelError);
    call();
    return GetLastError();
}

} // namespace

TEST(SelectObject, ReturnsThePreviousObjectOfThatKind) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HBITMAP first = CreateCompatibleBitmap(dc, 4, 4);
    HBITMAP second = CreateCompatibleBitmap(dc, 8, 2);
    HBRUSH brush = CreateSolidBrush(0x00FF00);
    LOGFONTW logfont{};
    logfont.lfHeight = 20;
    HFONT font = CreateFontIndirectW(&logfont);

    // A new DC starts with defaults: a 1x1 bitmap, a brush and a font.
    HGDIOBJ defaultBitmap = SelectObject(dc, first);
    ASSERT_NE(defaultBitmap, nullptr);
    EXPECT_NE(defaultBitmap, first);
    EXPECT_EQ(zt::gfx::bitmap_surface(static_cast<HBITMAP>(defaultBitmap))->width(), 1);
    EXPECT_EQ(SelectObject(dc, second), first);
    EXPECT_EQ(zt::gfx::surface_of(dc)->width(), 8);
    EXPECT_EQ(zt::gfx::surface_of(dc)->height(), 2);
    EXPECT_EQ(SelectObject(dc, second), second); // already there
    EXPECT_EQ(SelectObject(dc, defaultBitmap), second);
    EXPECT_EQ(zt::gfx::surface_of(dc)->width(), 1);

    HGDIOBJ defaultBrush = SelectObject(dc, brush);
    HGDIOBJ defaultFont = SelectObject(dc, font);
    EXPECT_NE(defaultBrush, nullptr);
    EXPECT_NE(defaultFont, nullptr);
    EXPECT_NE(defaultBrush, defaultFont);
    EXPECT_EQ(SelectObject(dc, defaultBrush), brush);
    EXPECT_EQ(SelectObject(dc, defaultFont), font);

    EXPECT_TRUE(DeleteObject(first));
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(SelectObject, ABitmapGoesIntoOneMemoryDcAtATime) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(a, 3, 3);
    HGDIOBJ original = SelectObject(a, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(error_of([&] { EXPECT_EQ(SelectObject(b, bitmap), nullptr); }), ERROR_INVALID_PARAMETER);
    SelectObject(a, original);
    EXPECT_NE(SelectObject(b, bitmap), nullptr); // free again
    DeleteDC(b);
    EXPECT_NE(SelectObject(a, bitmap), nullptr); // a deleted DC lets go
    DeleteDC(a);
    DeleteObject(bitmap);
}

TEST(GdiObjects, ASelectedBitmapOutlivesDeleteObjectUntilItsDcLetsGo) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 5, 5);
    HGDIOBJ original = SelectObject(dc, bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    // The handle is gone, but the DC still draws on the bitmap safely.
    EXPECT_EQ(zt::gfx::bitmap_surface(bitmap), nullptr);
    gditest::fill(dc, {0, 0, 5, 5}, 0x0000FF);
    EXPECT_EQ(zt::gfx::surface_of(dc)->at(4, 4), 0xFFFF0000u);
    EXPECT_EQ(SelectObject(dc, original), bitmap);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjects, NewBitmapsAreBlackAndEmptySizesGiveOnePixel) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 3, 2);
    auto surface = zt::gfx::bitmap_surface(bitmap);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width(), 3);
    EXPECT_EQ(surface->height(), 2);
    EXPECT_EQ(surface->at(2, 1) & 0x00FFFFFFu, 0u);
    HBITMAP empty = CreateCompatibleBitmap(dc, 0, 7);
    EXPECT_EQ(zt::gfx::bitmap_surface(empty)->width(), 1);
    EXPECT_EQ(zt::gfx::bitmap_surface(empty)->height(), 1);
    DeleteObject(bitmap);
    DeleteObject(empty);
    DeleteDC(dc);
}

TEST(GdiObjects, CloseHandleDoesNotFreeThem) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(0);
    EXPECT_EQ(error_of([&] { EXPECT_FALSE(CloseHandle(brush)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(error_of([&] { EXPECT_FALSE(CloseHandle(dc)); }), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteDC(dc));
    // And the GDI calls free nothing else.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(error_of([&] { EXPECT_FALSE(DeleteObject(event)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(error_of([&] { EXPECT_FALSE(DeleteDC(static_cast<HDC>(event))); }), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(GdiObjects, BadHandlesAndArgumentsFailWithTheLastErrorSet) {
    Canvas canvas(4, 4, 0xFFFFFFFFu);
    HDC dc = canvas.dc();
    HDC deleted = CreateCompatibleDC(nullptr);
    DeleteDC(deleted);
    HBRUSH gone = CreateSolidBrush(0);
    DeleteObject(gone);
    HBRUSH red = CreateSolidBrush(0x0000FF);
    RECT r{0, 0, 4, 4};
    const auto bogus = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x7FFF0000u));

    struct Case {
        const char* name;
        std::function<bool()> failed; // the call, and whether its result says failure
        DWORD error;
    } cases[] = {
        {"FillRect no DC", [&] { return FillRect(nullptr, &r, red) == 0; }, ERROR_INVALID_HANDLE},
        {"FillRect deleted DC", [&] { return FillRect(deleted, &r, red) == 0; }, ERROR_INVALID_HANDLE},
        {"FillRect no rectangle", [&] { return FillRect(dc, nullptr, red) == 0; }, ERROR_INVALID_PARAMETER},
        {"FillRect deleted brush", [&] { return FillRect(dc, &r, gone) == 0; }, ERROR_INVALID_HANDLE},
        {"FillRect DC as brush", [&] { return FillRect(dc, &r, reinterpret_cast<HBRUSH>(dc)) == 0; },
         ERROR_INVALID_HANDLE},
        {"BitBlt no source", [&] { return !BitBlt(dc, 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY); }, ERROR_INVALID_HANDLE},
        {"BitBlt bogus destination", [&] { return !BitBlt(bogus, 0, 0, 4, 4, dc, 0, 0, SRCCOPY); },
         ERROR_INVALID_HANDLE},
        {"BitBlt negative width", [&] { return !BitBlt(dc, 0, 0, -4, 4, dc, 0, 0, SRCCOPY); }, ERROR_INVALID_PARAMETER},
        {"BitBlt other raster operation", [&] { return !BitBlt(dc, 0, 0, 4, 4, dc, 0, 0, 0x00EE0086); },
         ERROR_INVALID_PARAMETER},
        {"StretchBlt no source", [&] { return !StretchBlt(dc, 0, 0, 4, 4, nullptr, 0, 0, 2, 2, SRCCOPY); },
         ERROR_INVALID_HANDLE},
        {"SelectObject no DC", [&] { return SelectObject(nullptr, red) == nullptr; }, ERROR_INVALID_HANDLE},
        {"SelectObject deleted object", [&] { return SelectObject(dc, gone) == nullptr; }, ERROR_INVALID_HANDLE},
        {"SelectObject a DC", [&] { return SelectObject(dc, deleted) == nullptr; }, ERROR_INVALID_HANDLE},
        {"DeleteObject twice", [&] { return !DeleteObject(gone); }, ERROR_INVALID_HANDLE},
        {"DeleteObject of a DC", [&] { return !DeleteObject(dc); }, ERROR_INVALID_HANDLE},
        {"DeleteDC twice", [&] { return !DeleteDC(deleted); }, ERROR_INVALID_HANDLE},
        {"SetBkMode no DC", [&] { return SetBkMode(nullptr, TRANSPARENT) == 0; }, ERROR_INVALID_HANDLE},
        {"SetBkMode unknown mode", [&] { return SetBkMode(dc, 7) == 0; }, ERROR_INVALID_PARAMETER},
        {"SetTextColor no DC", [&] { return SetTextColor(nullptr, 0) == 0xFFFFFFFFu; }, ERROR_INVALID_HANDLE},
        {"SetStretchBltMode unknown mode", [&] { return SetStretchBltMode(dc, 9) == 0; }, ERROR_INVALID_PARAMETER},
        {"CreateCompatibleDC bogus", [&] { return CreateCompatibleDC(bogus) == nullptr; }, ERROR_INVALID_HANDLE},
        {"CreateCompatibleBitmap no DC", [&] { return CreateCompatibleBitmap(nullptr, 2, 2) == nullptr; },
         ERROR_INVALID_HANDLE},
        {"CreateCompatibleBitmap negative", [&] { return CreateCompatibleBitmap(dc, -2, 2) == nullptr; },
         ERROR_INVALID_PARAMETER},
        {"CreateCompatibleBitmap huge", [&] { return CreateCompatibleBitmap(dc, 1 << 20, 1 << 20) == nullptr; },
         ERROR_NOT_ENOUGH_MEMORY},
        {"CreateFontIndirectW no font", [&] { return CreateFontIndirectW(nullptr) == nullptr; },
         ERROR_INVALID_PARAMETER},
        {"GetDC bad window", [&] { return GetDC(reinterpret_cast<HWND>(bogus)) == nullptr; },
         ERROR_INVALID_WINDOW_HANDLE},
        {"ReleaseDC memory DC", [&] { return ReleaseDC(nullptr, dc) == 0; }, ERROR_INVALID_HANDLE},
        {"GetDeviceCaps no DC", [&] { return GetDeviceCaps(nullptr, HORZRES) == 0; }, ERROR_INVALID_HANDLE},
        {"ExtEscape no DC", [&] { return ExtEscape(nullptr, 0x20113, 0, nullptr, 0, nullptr) < 0; },
         ERROR_INVALID_HANDLE},
        {"ExtEscape missing input", [&] { return ExtEscape(dc, 0x20113, 4, nullptr, 0, nullptr) < 0; },
         ERROR_INVALID_PARAMETER},
        {"BeginPaint no paint record", [&] { return BeginPaint(reinterpret_cast<HWND>(bogus), nullptr) == nullptr; },
         ERROR_INVALID_PARAMETER},
        {"EndPaint bad window",
         [&] {
             PAINTSTRUCT ps{};
             return !EndPaint(reinterpret_cast<HWND>(bogus), &ps);
         },
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kSentinelError);
        EXPECT_TRUE(c.failed());
        EXPECT_EQ(GetLastError(), c.error);
    }
    // None of it touched the canvas.
    EXPECT_EQ(gditest::count_of(canvas.pixels(), [](std::uint32_t p) { return p != 0xFFFFFFFFu; }), 0);
    DeleteObject(red);
}

TEST(WindowDc, DrawsOnTheWindowsOpaqueSurfaceAtItsClientSize) {
    OwnWindow window({.className = u"GdiTestWindow", .style = WS_VISIBLE, .width = 120, .height = 90});
    ASSERT_NE(window.get(), nullptr);
    HDC dc = GetDC(window.get());
    ASSERT_NE(dc, nullptr);
    auto surface = zt::gfx::surface_of(dc);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface, zt::gfx::window_surface(window.get()));
    EXPECT_EQ(surface->width(), 120);
    EXPECT_EQ(surface->height(), 90);
    gditest::fill(dc, {0, 0, 120, 90}, 0x00FFFFFF);
    // A transparent pixel copied onto a window becomes opaque: displays have
    // no alpha.
    Canvas clear(1, 1, 0x00000000u);
    EXPECT_TRUE(BitBlt(dc, 5, 5, 1, 1, clear.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(surface->at(5, 5), 0xFF000000u);
    EXPECT_EQ(ReleaseDC(window.get(), dc), 1);
    EXPECT_EQ(ReleaseDC(window.get(), dc), 0); // gone

    // A new size gives a new surface that keeps what still fits.
    ASSERT_TRUE(MoveWindow(window.get(), 0, 0, 60, 200, FALSE));
    auto resized = zt::gfx::window_surface(window.get());
    EXPECT_EQ(resized->width(), 60);
    EXPECT_EQ(resized->height(), 200);
    EXPECT_EQ(resized->at(5, 5), 0xFF000000u);
    EXPECT_EQ(resized->at(59, 89), 0xFFFFFFFFu);

    // Drawing through a DC whose window has gone fails without harm.
    HDC late = GetDC(window.get());
    DestroyWindow(window.get());
    EXPECT_EQ(zt::gfx::surface_of(late), nullptr);
    RECT r{0, 0, 10, 10};
    HBRUSH brush = CreateSolidBrush(0);
    SetLastError(kSentinelError);
    EXPECT_EQ(FillRect(late, &r, brush), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    DeleteObject(brush);
    DeleteDC(late);
}

TEST(WindowDc, BeginPaintClipsToTheUpdateRectangleAndEndPaintPresentsTheFrame) {
    OwnWindow window({.className = u"GdiTestWindow", .style = WS_VISIBLE});
    {
        HDC dc = GetDC(window.get());
        gditest::fill(dc, {0, 0, 100, 100}, 0x000000);
        ReleaseDC(window.get(), dc);
    }
    ValidateRect(window.get(), nullptr);
    RECT dirty{10, 20, 30, 40};
    InvalidateRect(window.get(), &dirty, FALSE);
    const auto framesBefore = zt::testhost::presented_frames().size();

    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window.get(), &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ps.hdc, dc);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.top, 20);
    EXPECT_EQ(ps.rcPaint.right, 30);
    EXPECT_EQ(ps.rcPaint.bottom, 40);
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(window.get(), &update, FALSE)); // validated
    gditest::fill(dc, {0, 0, 100, 100}, 0xFFFFFF);
    EXPECT_TRUE(EndPaint(window.get(), &ps));

    auto surface = zt::gfx::window_surface(window.get());
    EXPECT_EQ(gditest::bounds_of(*surface, [](std::uint32_t p) { return p == 0xFFFFFFFFu; }).left, 10);
    EXPECT_EQ(gditest::count_of(*surface, [](std::uint32_t p) { return p == 0xFFFFFFFFu; }), 20 * 20);
    const auto frames = zt::testhost::presented_frames();
    ASSERT_EQ(frames.size(), framesBefore + 1);
    EXPECT_EQ(frames.back().window, window.get());
    EXPECT_EQ(frames.back().width, 100);
    EXPECT_EQ(frames.back().height, 100);
    SetLastError(kSentinelError);
    EXPECT_EQ(zt::gfx::surface_of(dc), nullptr); // EndPaint let the DC go
}

TEST(ScreenDc, IsTheWholeScreenAndReportsItsSize) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 720);
    auto surface = zt::gfx::surface_of(screen);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width(), 480);
    EXPECT_EQ(surface->height(), 720);
    HDC again = GetDC(nullptr);
    EXPECT_EQ(zt::gfx::surface_of(again), surface); // one screen
    HDC memory = CreateCompatibleDC(screen);
    EXPECT_EQ(GetDeviceCaps(memory, HORZRES), 480); // compatible DCs report the display
    DeleteDC(memory);
    EXPECT_EQ(ReleaseDC(nullptr, again), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(ExtEscape, GoesToTheDisplayDriverWhichAnswersTheCodesItKnows) {
    std::vector<int> asked;
    zt::testhost::set_display_escape([&](int code) {
        asked.push_back(code);
        return code == 0x20113 ? 5 : 0;
    });
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(ExtEscape(screen, 0x20113, 0, nullptr, 0, nullptr), 5);
    EXPECT_EQ(ExtEscape(screen, 0x20114, 0, nullptr, 0, nullptr), 0); // unknown to this driver
    ReleaseDC(nullptr, screen);
    zt::testhost::set_display_escape(nullptr);
    HDC plain = GetDC(nullptr);
    EXPECT_EQ(ExtEscape(plain, 0x20113, 0, nullptr, 0, nullptr), 0); // no driver escapes at all
    ReleaseDC(nullptr, plain);
    EXPECT_EQ(asked, (std::vector<int>{0x20113, 0x20114}));
}

TEST(GdiTrace, EveryDrawingCallWritesOneLine) {
    std::string lines;
    zt::trace::set_sink([&](std::string_view line) { lines += line; });
    zt::trace::enable(zt::trace::kGdi);
    {
        Canvas canvas(4, 4);
        gditest::fill(canvas.dc(), {0, 0, 2, 2}, 0x0000FF);
        BitBlt(canvas.dc(), 2, 2, 2, 2, canvas.dc(), 0, 0, SRCCOPY);
    }
    zt::trace::enable(0);
    zt::trace::set_sink(nullptr);
    for (const char* call : {"CreateCompatibleDC(", "SelectObject(", "CreateSolidBrush(0x0000ff)", "FillRect(",
                             "{0,0,2,2}", "BitBlt(", "DeleteObject(", "DeleteDC("})
        EXPECT_NE(lines.find(call), std::string::npos) << call << " in\n" << lines;
    // Nine calls above (the bitmap is wrapped internally, without a call):
    // nine lines, each on the gdi channel.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 9) << lines;
    std::size_t start = 0;
    while (start < lines.size()) {
        EXPECT_EQ(lines.compare(start, 11, "trace:gdi: "), 0) << lines.substr(start);
        start = lines.find('\n', start) + 1;
    }
}
