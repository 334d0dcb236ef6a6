// Elements on a window: what each paints, where, and in which order.
#include "framework_test.h"
#include "image.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using fwtest::clear_window;
using fwtest::kUnpainted;
using fwtest::RecordingWnd;
using fwtest::repaint;
using zt::gfx::Surface;

namespace {

// A shown 480x720 window with nothing attached yet.
struct Screen {
    Screen() {
        EXPECT_TRUE(wnd.Create(0, 0, 480, 720));
        wnd.Show(true, true);
    }
    // Paints everything over the sentinel and returns the frame.
    std::shared_ptr<Surface> paint() {
        auto surface = clear_window(wnd.m_hWnd);
        repaint(wnd);
        return surface;
    }
    RecordingWnd wnd;
};

std::size_t count_unpainted(const Surface& s) {
    std::size_t n = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            n += s.at(x, y) == kUnpainted ? 1 : 0;
    return n;
}

bool dark(std::uint32_t p) {
    return fwtest::red(p) < 64 && fwtest::green(p) < 64 && fwtest::blue(p) < 64;
}

// A canvas of `w` x `h` filled with `color` (0x00BBGGRR).
void fill_canvas(UiCanvas& canvas, int w, int h, COLORREF color) {
    ASSERT_TRUE(canvas.m_dcCanvas.Create(w, h));
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, w, h};
    FillRect(canvas.m_dcCanvas.GetDC(), &all, brush);
    DeleteObject(brush);
}

} // namespace

TEST(Pictures, AScaledFeltFillsTheWholeWindow) {
    Screen screen;
    UiPicture felt;
    felt.SetPos(0, 0, screen.wnd.GetWidth(), screen.wnd.GetHeight(), 0);
    felt.SetPaintMode(1);
    ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
    EXPECT_EQ(felt.GetImageWidth(), 320);
    EXPECT_EQ(felt.GetImageHeight(), 480);
    screen.wnd.AddUiWin(&felt);
    auto frame = screen.paint();
    ASSERT_EQ(frame->width(), 480);
    ASSERT_EQ(frame->height(), 720);
    EXPECT_EQ(count_unpainted(*frame), 0u);
    // Green cloth, opaque, at the corners as in the middle.
    for (auto [x, y] : {std::pair{0, 0}, {479, 0}, {0, 719}, {479, 719}, {240, 360}}) {
        const std::uint32_t p = frame->at(x, y);
        EXPECT_EQ(p >> 24, 0xFFu) << x << "," << y;
        EXPECT_GT(fwtest::green(p), fwtest::red(p)) << x << "," << y;
        EXPECT_GT(fwtest::green(p), fwtest::blue(p)) << x << "," << y;
    }
}

TEST(Pictures, AnElementOfSizeZeroPaintsNothing) {
    Screen screen;
    UiPicture spare, natural, negative;
    for (UiPicture* p : {&spare, &natural, &negative})
        ASSERT_TRUE(p->LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));
    spare.SetPos(0, 0, 0, 0, 0);
    spare.SetPaintMode(1);
    natural.SetPos(100, 100, 0, 0, 0); // own size would be 304x463, but the element is hidden
    negative.SetPos(10, 10, -20, -30, 0);
    EXPECT_EQ(negative.GetWidth(), 0);
    for (UiPicture* p : {&spare, &natural, &negative})
        screen.wnd.AddUiWin(p);
    auto frame = screen.paint();
    EXPECT_EQ(count_unpainted(*frame), static_cast<std::size_t>(480 * 720));
}

TEST(Pictures, AnEmptyPictureAttachedPaintsNothing) {
    Screen screen;
    UiPicture spare;
    spare.SetPos(0, 0, 480, 720, 0);
    spare.SetPaintMode(1);
    screen.wnd.AddUiWin(&spare);
    auto frame = screen.paint();
    EXPECT_EQ(count_unpainted(*frame), static_cast<std::size_t>(480 * 720));
}

TEST(Pictures, LaterElementsCoverEarlierOnes) {
    Screen screen;
    UiPicture felt, back;
    felt.SetPos(0, 0, 480, 720, 0);
    felt.SetPaintMode(1);
    back.SetPos(12, 13, 456, 694, 0);
    back.SetPaintMode(1);
    ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
    ASSERT_TRUE(back.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));

    screen.wnd.AddUiWin(&felt);
    const Surface feltOnly = *screen.paint();
    screen.wnd.AddUiWin(&back);
    const Surface feltThenBack = *screen.paint();
    // The card back covers the felt inside its rectangle and leaves it alone
    // outside.
    EXPECT_NE(feltThenBack.at(240, 360), feltOnly.at(240, 360));
    EXPECT_GT(fwtest::red(feltThenBack.at(240, 360)), fwtest::green(feltThenBack.at(240, 360)));
    for (auto [x, y] : {std::pair{5, 5}, {11, 360}, {468, 360}, {240, 12}, {240, 707}})
        EXPECT_EQ(feltThenBack.at(x, y), feltOnly.at(x, y)) << x << "," << y;

    // Attached the other way round, the felt hides the card completely.
    screen.wnd.RemoveUiWin(&felt);
    screen.wnd.AddUiWin(&felt);
    const Surface backThenFelt = *screen.paint();
    std::size_t differing = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 480; ++x)
            differing += backThenFelt.at(x, y) != feltOnly.at(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0u);
}

TEST(Pictures, ImagesWithTransparencyAreBlendedOverWhatIsBelow) {
    Screen screen;
    UiCanvas ground;
    fill_canvas(ground, 150, 150, 0x0000FF00); // green
    ground.SetPos(100, 100, 150, 150, 0);
    UiPicture spade;
    ASSERT_TRUE(spade.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_SUIT_SPADE, true));
    spade.SetPos(100, 100, 150, 150, 0); // own size: pixel for pixel
    screen.wnd.AddUiWin(&ground);
    screen.wnd.AddUiWin(&spade);
    const Surface frame = *screen.paint();

    EXPECT_EQ(frame.at(100, 100), 0xFF00FF00u); // transparent corner: the green shows
    EXPECT_TRUE(dark(frame.at(175, 175)));      // the symbol's middle

    // Partly transparent edge pixels land between the symbol and the ground.
    MemoryDC raw;
    ImagingHelper source;
    ASSERT_TRUE(source.LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_SUIT_SPADE, true, false, true));
    auto pixels = zt::gfx::surface_of(source.GetDC());
    ASSERT_TRUE(pixels);
    int edges = 0;
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 150; ++x) {
            const std::uint32_t s = pixels->at(x, y);
            const std::uint32_t a = s >> 24;
            const std::uint32_t out = frame.at(100 + x, 100 + y);
            EXPECT_EQ(out >> 24, 0xFFu);
            if (a == 0 || a == 0xFF)
                continue;
            ++edges;
            const int green = fwtest::green(out);
            EXPECT_GE(green, std::min(fwtest::green(s), 0xFF) - 1) << x << "," << y;
            EXPECT_LE(green, std::max(fwtest::green(s), 0xFF) + 1) << x << "," << y;
            EXPECT_LE(fwtest::red(out), fwtest::red(s) + 1) << x << "," << y;
        }
    }
    EXPECT_GT(edges, 0); // the symbol has soft edges to test
}

TEST(Pictures, PaintModeZeroDrawsTheImageAtItsOwnSizeInsideTheElement) {
    Screen screen;
    UiPicture back;
    ASSERT_TRUE(back.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));
    back.SetPos(20, 30, 400, 200, 0); // narrower than the image is tall
    screen.wnd.AddUiWin(&back);
    const Surface frame = *screen.paint();
    std::size_t inside = 0;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 480; ++x) {
            const bool inElement = x >= 20 && x < 420 && y >= 30 && y < 230;
            const bool inImage = x >= 20 && x < 324 && y >= 30 && y < 493;
            if (!(inElement && inImage)) {
                ASSERT_EQ(frame.at(x, y), kUnpainted) << x << "," << y;
            } else if (frame.at(x, y) != kUnpainted) {
                ++inside;
            }
        }
    }
    EXPECT_GT(inside, static_cast<std::size_t>(304 * 200 * 9 / 10));
}

TEST(Pictures, AFailedLoadKeepsThePreviousImageAndSaysWhy) {
    UiPicture picture;
    ASSERT_TRUE(picture.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, false));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(picture.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, 113, true));
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(picture.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, 0x10072, true));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(picture.GetImageWidth(), 320);
}

TEST(Pictures, AnElementDestroyedBeforeItsWindowLeavesIt) {
    Screen screen;
    {
        UiPicture felt;
        felt.SetPos(0, 0, 480, 720, 0);
        felt.SetPaintMode(1);
        ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
        screen.wnd.AddUiWin(&felt);
        EXPECT_EQ(felt.GetParentWnd(), &screen.wnd);
    }
    auto frame = screen.paint();
    EXPECT_EQ(count_unpainted(*frame), static_cast<std::size_t>(480 * 720));
}

TEST(Canvas, ItsSurfaceIsPaintedAtTheCanvasPositionAsItIs) {
    Screen screen;
    UiCanvas canvas;
    fill_canvas(canvas, 50, 40, 0x000000FF); // red
    RECT blue{10, 5, 20, 15};
    HBRUSH brush = CreateSolidBrush(0x00FF0000);
    FillRect(canvas.m_dcCanvas.GetDC(), &blue, brush);
    DeleteObject(brush);
    canvas.SetPos(100, 200, 80, 80, 0); // larger than its surface
    screen.wnd.AddUiWin(&canvas);
    const Surface frame = *screen.paint();
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 480; ++x) {
            std::uint32_t expected = kUnpainted;
            if (x >= 100 && x < 150 && y >= 200 && y < 240)
                expected = (x >= 110 && x < 120 && y >= 205 && y < 215) ? 0xFF0000FFu : 0xFFFF0000u;
            ASSERT_EQ(frame.at(x, y), expected) << x << "," << y;
        }
    }
}

TEST(Canvas, ACanvasPartlyOffTheWindowIsClipped) {
    Screen screen;
    UiCanvas canvas;
    fill_canvas(canvas, 40, 40, 0x000000FF);
    RECT corner{30, 30, 40, 40};
    HBRUSH brush = CreateSolidBrush(0x00FF0000);
    FillRect(canvas.m_dcCanvas.GetDC(), &corner, brush);
    DeleteObject(brush);
    canvas.SetPos(-30, -30, 40, 40, 0);
    screen.wnd.AddUiWin(&canvas);
    const Surface frame = *screen.paint();
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(frame.at(x, y), x < 10 && y < 10 ? 0xFF0000FFu : kUnpainted) << x << "," << y;
}

TEST(Canvas, WithoutASurfaceItPaintsNothing) {
    Screen screen;
    UiCanvas canvas;
    EXPECT_EQ(canvas.m_dcCanvas.GetDC(), nullptr);
    canvas.SetPos(12, 13, 456, 694, 0);
    screen.wnd.AddUiWin(&canvas);
    auto frame = screen.paint();
    EXPECT_EQ(count_unpainted(*frame), static_cast<std::size_t>(480 * 720));
}

TEST(MemoryDC, HasNoDCUntilCreatedAndRefusesAnEmptySize) {
    MemoryDC dc;
    EXPECT_EQ(dc.GetDC(), nullptr);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(dc.Create(0, 10));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(dc.GetDC(), nullptr);
    ASSERT_TRUE(dc.Create(456, 694));
    ASSERT_NE(dc.GetDC(), nullptr);
    auto surface = zt::gfx::surface_of(dc.GetDC());
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->width(), 456);
    EXPECT_EQ(surface->height(), 694);
    HDC first = dc.GetDC();
    ASSERT_TRUE(dc.Create(20, 10));
    EXPECT_EQ(zt::gfx::surface_of(dc.GetDC())->width(), 20);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(DeleteDC(first)); // the old one is gone
}

TEST(ImagingHelper, RendersASpadeOverWhitePixelForPixel) {
    ImagingHelper* imaging = new ImagingHelper();
    EXPECT_EQ(imaging->GetDC(), nullptr);
    ASSERT_TRUE(imaging->LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_SUIT_SPADE, true, true, true));
    ASSERT_NE(imaging->GetDC(), nullptr);
    auto surface = zt::gfx::surface_of(imaging->GetDC());
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->width(), 150);
    EXPECT_EQ(surface->height(), 150);
    EXPECT_TRUE(dark(surface->at(75, 75)));
    EXPECT_EQ(surface->at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(surface->at(149, 149), 0xFFFFFFFFu);

    // Copied with BitBlt as a card face does: the same pixels land there.
    MemoryDC face;
    ASSERT_TRUE(face.Create(456, 694));
    ASSERT_TRUE(BitBlt(face.GetDC(), 165, 285, 150, 150, imaging->GetDC(), 0, 0, SRCCOPY));
    auto faceSurface = zt::gfx::surface_of(face.GetDC());
    EXPECT_EQ(faceSurface->at(165, 285), 0xFFFFFFFFu);
    EXPECT_EQ(faceSurface->at(165 + 75, 285 + 75), surface->at(75, 75));
    delete static_cast<ImagingHelper*>(imaging); // through the virtual destructor
}

TEST(ImagingHelper, AFailedLoadKeepsThePreviousImage) {
    ImagingHelper imaging;
    ASSERT_TRUE(imaging.LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_SUIT_HEART, true, true, true));
    HDC dc = imaging.GetDC();
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(imaging.LoadImageFromRes(MzGetInstanceHandle(), RES_TYPE_IMAGE, 113, true, true, true));
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(imaging.GetDC(), dc);
    // A red heart in the middle.
    const std::uint32_t middle = zt::gfx::surface_of(dc)->at(75, 75);
    EXPECT_GT(fwtest::red(middle), 150);
    EXPECT_LT(fwtest::green(middle), 80);
}

TEST(Snapshot, GetWindowBitmapCopiesTheWindowsPixels) {
    Screen screen;
    UiCanvas canvas;
    fill_canvas(canvas, 20, 20, 0x000000FF);
    canvas.SetPos(30, 40, 20, 20, 0);
    screen.wnd.AddUiWin(&canvas);
    screen.paint();
    HBITMAP bitmap = screen.wnd.GetWindowBitmap(RECT{25, 35, 60, 70});
    ASSERT_NE(bitmap, nullptr);
    auto copy = zt::gfx::bitmap_surface(bitmap);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->width(), 35);
    EXPECT_EQ(copy->height(), 35);
    EXPECT_EQ(copy->at(0, 0), kUnpainted);
    EXPECT_EQ(copy->at(5, 5), 0xFFFF0000u);
    EXPECT_EQ(copy->at(24, 24), 0xFFFF0000u);
    EXPECT_EQ(copy->at(25, 25), kUnpainted);
    DeleteObject(bitmap);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(screen.wnd.GetWindowBitmap(RECT{500, 0, 600, 10}), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

namespace {

// An element that records where it was asked to paint.
class RecordingElement : public UiWin {
  public:
    void PaintWin(HDC, const RECT& clip) override { clips.push_back(clip); }
    std::vector<RECT> clips;
};

long long area(const std::vector<RECT>& rects) {
    long long total = 0;
    for (const RECT& r : rects)
        total += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    return total;
}

bool overlaps(const RECT& a, const RECT& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

} // namespace

TEST(Covering, WhatALaterCanvasCoversIsNotPaintedUnderneath) {
    Screen screen;
    RecordingElement under;
    under.SetPos(0, 0, 480, 720, 0);
    UiCanvas face;
    fill_canvas(face, 456, 694, 0x00FFFFFF);
    face.SetPos(12, 13, 456, 694, 0);
    screen.wnd.AddUiWin(&under);
    screen.wnd.AddUiWin(&face);
    const Surface frame = *screen.paint();
    // Asked to paint exactly the window outside the face, in pieces that do
    // not overlap it or each other.
    const RECT hidden{12, 13, 468, 707};
    for (const RECT& clip : under.clips)
        EXPECT_FALSE(overlaps(clip, hidden));
    EXPECT_EQ(area(under.clips), 480LL * 720 - 456LL * 694);
    EXPECT_EQ(frame.at(12, 13), 0xFFFFFFFFu);
    EXPECT_EQ(frame.at(11, 13), kUnpainted);

    // Shrunk to 0x0, the canvas hides nothing.
    face.SetPos(0, 0, 0, 0, 0);
    under.clips.clear();
    screen.paint();
    EXPECT_EQ(area(under.clips), 480LL * 720);
}

TEST(Covering, AnOpaqueScaledPictureCoversButOneWithTransparencyDoesNot) {
    Screen screen;
    RecordingElement under;
    under.SetPos(0, 0, 480, 720, 0);
    UiPicture felt;
    ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
    felt.SetPaintMode(1);
    felt.SetPos(0, 0, 240, 720, 0);
    UiPicture back; // rounded corners let what is below show
    ASSERT_TRUE(back.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));
    back.SetPaintMode(1);
    back.SetPos(240, 0, 240, 720, 0);
    screen.wnd.AddUiWin(&under);
    screen.wnd.AddUiWin(&felt);
    screen.wnd.AddUiWin(&back);
    screen.paint();
    EXPECT_EQ(area(under.clips), 240LL * 720);
    for (const RECT& clip : under.clips)
        EXPECT_GE(clip.left, 240);
}

TEST(Covering, TheApplicationsElementsPaintTheSameFrameAsPaintingEverything) {
    Screen screen;
    UiPicture felt, back, spare;
    UiCanvas face;
    felt.SetPos(0, 0, 480, 720, 0);
    back.SetPos(12, 13, 456, 694, 0);
    spare.SetPos(0, 0, 0, 0, 0);
    for (UiPicture* p : {&felt, &back, &spare})
        p->SetPaintMode(1);
    ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
    ASSERT_TRUE(back.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));
    fill_canvas(face, 456, 694, 0x00FFFFFF);
    face.SetPos(12, 13, 456, 694, 0);
    for (UiWin* w : std::initializer_list<UiWin*>{&felt, &back, &spare, &face})
        screen.wnd.AddUiWin(w);
    const Surface frame = *screen.paint();

    // The same elements painted one by one, each over the whole window.
    Screen reference;
    auto expected = clear_window(reference.wnd.m_hWnd);
    HDC dc = GetDC(reference.wnd.m_hWnd);
    const RECT all{0, 0, 480, 720};
    for (UiWin* w : std::initializer_list<UiWin*>{&felt, &back, &spare, &face})
        w->PaintWin(dc, all);
    ReleaseDC(reference.wnd.m_hWnd, dc);
    std::size_t differing = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 480; ++x)
            differing += frame.at(x, y) != expected->at(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0u);
}

TEST(Canvas, PixelsWithAlphaLandOpaqueOnTheWindow) {
    Screen screen;
    UiCanvas canvas;
    fill_canvas(canvas, 4, 1, 0x00000000);
    auto pixels = zt::gfx::surface_of(canvas.m_dcCanvas.GetDC());
    ASSERT_TRUE(pixels);
    pixels->set(0, 0, 0x00123456u); // fully transparent
    pixels->set(1, 0, 0x80ABCDEFu);
    canvas.SetPos(0, 0, 4, 1, 0);
    screen.wnd.AddUiWin(&canvas);
    const Surface frame = *screen.paint();
    EXPECT_EQ(frame.at(0, 0), 0xFF123456u); // copied, not blended
    EXPECT_EQ(frame.at(1, 0), 0xFFABCDEFu);
    EXPECT_EQ(frame.at(2, 0), 0xFF000000u);
}

TEST(Pictures, AnImageIsScaledOncePerSizeAndSharedByItsPictures) {
    auto image = zt::fw::load_image(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true);
    ASSERT_TRUE(image);
    EXPECT_EQ(zt::fw::load_image(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true), image);
    const auto scaled = image->at_size(456, 694);
    EXPECT_EQ(scaled->pixels.width(), 456);
    Screen screen;
    UiPicture a, b;
    for (UiPicture* p : {&a, &b}) {
        ASSERT_TRUE(p->LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true));
        p->SetPaintMode(1);
        p->SetPos(12, 13, 456, 694, 0);
        screen.wnd.AddUiWin(p);
    }
    screen.paint();
    screen.paint();
    EXPECT_EQ(image->at_size(456, 694), scaled);
    // Its own size needs no copy at all.
    EXPECT_EQ(image->at_size(304, 463).get(), &image->original);
}

// A canvas copies again only what changed since its last copy to the
// window; none of these may leave stale pixels on the window.
namespace {

void fill_on(HDC dc, RECT r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The window's pixels against a canvas of `w` x `h` at (x, y) whose pixel
// at (cx, cy) is `inside(cx, cy)`, with `outside` elsewhere.
void expect_frame(const Surface& frame, int x, int y, const Surface& canvas, std::uint32_t outside) {
    for (int py = 0; py < frame.height(); ++py)
        for (int px = 0; px < frame.width(); ++px) {
            const bool on = px >= x && px < x + canvas.width() && py >= y && py < y + canvas.height();
            const std::uint32_t expected = on ? (canvas.at(px - x, py - y) | 0xFF000000u) : outside;
            ASSERT_EQ(frame.at(px, py), expected) << px << "," << py;
        }
}

// A window with a 200x100 red canvas at (40, 60), painted once.
struct Shown {
    Shown() {
        fill_canvas(canvas, 200, 100, 0x000000FF);
        canvas.SetPos(40, 60, 200, 100, 0);
        screen.wnd.AddUiWin(&canvas);
        screen.paint();
    }
    HDC dc() { return canvas.m_dcCanvas.GetDC(); }
    const Surface& pixels() { return *zt::gfx::surface_of(dc()); }
    std::shared_ptr<Surface> repaint() {
        fwtest::repaint(screen.wnd);
        return zt::gfx::window_surface(screen.wnd.m_hWnd);
    }
    Screen screen;
    UiCanvas canvas;
};

} // namespace

TEST(CanvasRepaint, WhatWasDrawnOnTheCanvasSinceReachesTheWindow) {
    Shown shown;
    fill_on(shown.dc(), RECT{10, 10, 30, 20}, 0x00FF0000);
    fill_on(shown.dc(), RECT{190, 90, 260, 140}, 0x0000FF00); // partly off the canvas
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
    // And again with nothing new: still the same frame.
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
}

TEST(CanvasRepaint, TextDrawnOnTheCanvasReachesTheWindow) {
    Shown shown;
    SetBkMode(shown.dc(), TRANSPARENT);
    SetTextColor(shown.dc(), 0x00FFFFFF);
    RECT box{0, 0, 200, 100};
    DrawTextW(shown.dc(), u"K 10", 4, &box, DT_CENTER | DT_VCENTER);
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
}

TEST(CanvasRepaint, DrawingOnTheWindowUnderTheCanvasIsPaintedOver) {
    Shown shown;
    HDC windowDc = GetDC(shown.screen.wnd.m_hWnd);
    fill_on(windowDc, RECT{0, 100, 100, 120}, 0x0000FF00); // across the canvas's left edge
    ReleaseDC(shown.screen.wnd.m_hWnd, windowDc);
    const auto frame = shown.repaint();
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(frame->at(x, 110), x < 40 ? 0xFF00FF00u : 0xFFFF0000u) << x;
}

TEST(CanvasRepaint, AMovedCanvasIsCopiedAtItsNewPlace) {
    Shown shown;
    fill_on(shown.dc(), RECT{10, 10, 30, 20}, 0x00FF0000);
    shown.repaint();
    // A small move, and a paint of a part where old and new places overlap.
    shown.canvas.SetPos(45, 62, 200, 100, 0);
    RECT part{50, 65, 100, 100};
    InvalidateRect(shown.screen.wnd.m_hWnd, &part, FALSE);
    UpdateWindow(shown.screen.wnd.m_hWnd);
    const auto frame = zt::gfx::window_surface(shown.screen.wnd.m_hWnd);
    for (int y = part.top; y < part.bottom; ++y)
        for (int x = part.left; x < part.right; ++x)
            ASSERT_EQ(frame->at(x, y), shown.pixels().at(x - 45, y - 62) | 0xFF000000u) << x << "," << y;
    shown.canvas.SetPos(250, 400, 200, 100, 0);
    const auto moved = shown.repaint();
    for (int y = 400; y < 500; ++y)
        for (int x = 250; x < 450; ++x)
            ASSERT_EQ(moved->at(x, y), shown.pixels().at(x - 250, y - 400) | 0xFF000000u) << x << "," << y;
}

TEST(CanvasRepaint, ANewBitmapOfTheSameSizeIsCopiedWhole) {
    Shown shown;
    fill_canvas(shown.canvas, 200, 100, 0x00FF0000); // blue, a new bitmap
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
}

TEST(CanvasRepaint, MoreChangesThanRememberedAreAllCopied) {
    Shown shown;
    for (int i = 0; i < 40; ++i) {
        const LONG x = (i * 37) % 190, y = (i * 13) % 90;
        fill_on(shown.dc(), RECT{x, y, x + 6, y + 5}, static_cast<COLORREF>(0x00101010 * (i % 15 + 1)));
    }
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
}

TEST(CanvasRepaint, APartialPaintKeepsTheRestOfTheWindowRight) {
    Shown shown;
    // A change on the left and one on the right; only the left half of the
    // window is painted now, then the whole window.
    fill_on(shown.dc(), RECT{0, 0, 20, 20}, 0x00FF0000);
    fill_on(shown.dc(), RECT{180, 80, 200, 100}, 0x0000FF00);
    RECT left{0, 0, 140, 720};
    InvalidateRect(shown.screen.wnd.m_hWnd, &left, FALSE);
    UpdateWindow(shown.screen.wnd.m_hWnd);
    auto frame = zt::gfx::window_surface(shown.screen.wnd.m_hWnd);
    EXPECT_EQ(frame->at(45, 65), 0xFF0000FFu) << "painted half";
    EXPECT_EQ(frame->at(230, 150), 0xFFFF0000u) << "unpainted half is still old";
    expect_frame(*shown.repaint(), 40, 60, shown.pixels(), kUnpainted);
}

// An opaque picture is not drawn again where the window still holds it;
// anything that changes what it would draw, or draws over it, must not
// leave stale pixels.
namespace {

void felt_at(UiPicture& felt, int x, int y, int w, int h, int mode) {
    felt.SetPos(x, y, w, h, 0);
    felt.SetPaintMode(mode);
    ASSERT_TRUE(felt.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true));
}

// The frame a fresh window shows with the felt placed so.
Surface fresh_felt(int x, int y, int w, int h, int mode) {
    Screen screen;
    UiPicture felt;
    felt_at(felt, x, y, w, h, mode);
    screen.wnd.AddUiWin(&felt);
    return *screen.paint();
}

void expect_same_in(const Surface& got, const Surface& want, RECT r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            ASSERT_EQ(got.at(x, y), want.at(x, y)) << x << "," << y;
}

} // namespace

TEST(PictureRepaint, WhatWasDrawnOverAnOpaquePictureIsPaintedOver) {
    Screen screen;
    UiPicture felt;
    felt_at(felt, 0, 0, 480, 720, 1);
    screen.wnd.AddUiWin(&felt);
    const Surface first = *screen.paint();
    HDC dc = GetDC(screen.wnd.m_hWnd);
    fill_on(dc, RECT{100, 100, 200, 130}, 0x0000FF00);
    ReleaseDC(screen.wnd.m_hWnd, dc);
    // Only part of the window is painted: the felt's part there is redrawn.
    RECT part{0, 90, 480, 140};
    InvalidateRect(screen.wnd.m_hWnd, &part, FALSE);
    UpdateWindow(screen.wnd.m_hWnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), first, RECT{0, 0, 480, 720});
    fwtest::repaint(screen.wnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), first, RECT{0, 0, 480, 720});
}

TEST(PictureRepaint, AMovedResizedOrUnscaledPictureIsDrawnAnew) {
    Screen screen;
    UiPicture felt;
    felt_at(felt, 0, 0, 240, 360, 1);
    screen.wnd.AddUiWin(&felt);
    screen.paint();
    felt.SetPos(7, 9, 240, 360, 0);
    // First a part where the old and the new places overlap.
    RECT part{20, 20, 100, 100};
    InvalidateRect(screen.wnd.m_hWnd, &part, FALSE);
    UpdateWindow(screen.wnd.m_hWnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), fresh_felt(7, 9, 240, 360, 1), part);
    fwtest::repaint(screen.wnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), fresh_felt(7, 9, 240, 360, 1), RECT{7, 9, 247, 369});
    felt.SetPos(7, 9, 300, 400, 0);
    fwtest::repaint(screen.wnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), fresh_felt(7, 9, 300, 400, 1), RECT{7, 9, 307, 409});
    felt.SetPaintMode(0); // its own 320x480 pixels
    fwtest::repaint(screen.wnd);
    expect_same_in(*zt::gfx::window_surface(screen.wnd.m_hWnd), fresh_felt(7, 9, 300, 400, 0), RECT{7, 9, 307, 409});
}
