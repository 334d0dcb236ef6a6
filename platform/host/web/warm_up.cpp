// The browser runs a wasm function's first calls with code it compiled
// quickly, and compiles it well only once it has been busy a while; it
// also makes a page of the wasm memory on its first write. Without a
// warm-up the first reveal of a visit is the slow one. This one knows
// nothing of the application: it works the platform's drawing as any
// screen is drawn, off screen and out of everyone's sight, a step per turn
// with the trace off, so that the application sees nothing of it. Each
// step fills a canvas the screen's size, draws one of the images the
// program carries over it (decoded into the process's image cache, as a
// paint would), writes text in the program's font at one of a spread of
// sizes, and shows the canvas on a screen of its own as a window shows its
// canvas. The canvas and its place differ from step to step, and so do the
// text's placements; the text is formatted first, as a screen's numbers
// are. The last step writes one byte of every 4 KB page of a block two
// screens large, and frees it.
#include "warm_up.h"

#include "zt/framework.h"
#include "zt/resources.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace zt::web {

namespace {

// Pixel heights from small print to large figures.
constexpr LONG kTextSizes[] = {16, 24, 32, 40, 50, 64};
constexpr int kSteps = 12;
constinit int g_step = 0;

// The program's resource entries that hold a PNG image.
bool is_png(const sys::ResourceEntry& entry) {
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return entry.size >= sizeof kSignature && std::memcmp(entry.data, kSignature, sizeof kSignature) == 0;
}

const sys::ResourceEntry* nth_image(std::size_t n) {
    const sys::ResourceSection& section = zt_program_resources;
    std::size_t images = 0;
    for (std::size_t i = 0; i < section.count; ++i)
        if (is_png(section.entries[i]))
            ++images;
    if (images == 0)
        return nullptr;
    n %= images;
    for (std::size_t i = 0; i < section.count; ++i)
        if (is_png(section.entries[i]) && n-- == 0)
            return &section.entries[i];
    return nullptr;
}

void draw_off_screen(int step) {
    // From the whole screen to a canvas inset 24 pixels on every side.
    const int inset = step % 4 * 8;
    const int width = SCREEN_WIDTH - 2 * inset;
    const int height = SCREEN_HEIGHT - 2 * inset;
    UiCanvas canvas;
    MemoryDC screen;
    if (!canvas.m_dcCanvas.Create(width, height) || !screen.Create(SCREEN_WIDTH, SCREEN_HEIGHT))
        return;
    HDC dc = canvas.m_dcCanvas.GetDC();
    const RECT whole{0, 0, width, height};
    HBRUSH white = CreateSolidBrush(0x00FFFFFF);
    FillRect(dc, &whole, white);
    DeleteObject(white);

    if (const sys::ResourceEntry* image = nth_image(static_cast<std::size_t>(step))) {
        ImagingHelper imaging;
        if (imaging.LoadImageFromRes(GetModuleHandleW(nullptr), image->type, image->id, true, true, true))
            BitBlt(dc, 0, 0, imaging.GetImageWidth(), imaging.GetImageHeight(), imaging.GetDC(), 0, 0, SRCCOPY);
    }

    const LONG size = kTextSizes[static_cast<std::size_t>(step) % std::size(kTextSizes)];
    const HGDIOBJ previous = SelectObject(dc, FontHelper::GetFont(size, step % 2 == 0 ? FW_BOLD : FW_NORMAL));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, step % 2 == 0 ? 0x000000 : 0x0000FF);
    static constexpr const WCHAR* kLetters[] = {u"ABCDEFGHIJKLM", u"NOPQRSTUVWXYZ", u"abcdefghijklm", u"nopqrstuvwxyz"};
    static constexpr UINT kPlaces[] = {DT_LEFT | DT_SINGLELINE, DT_CENTER | DT_BOTTOM, DT_RIGHT | DT_VCENTER};
    CMzStringW text(64);
    LONG top = 0;
    for (int line = 0; line < 5; ++line) {
        if (line == 0)
            wsprintfW(text.C_Str(), u"%d %d%d%d%d", step, 1234, 5678, 9, 10);
        else
            wsprintfW(text.C_Str(), u"%s", kLetters[line - 1]);
        RECT box{0, top, width, top + size * 2};
        DrawTextW(dc, text.C_Str(), text.Length(), &box, kPlaces[static_cast<std::size_t>(step + line) % 3]);
        top += size * 2;
    }
    SelectObject(dc, previous);

    canvas.SetPos(inset, inset, width, height, 0);
    canvas.PaintWin(screen.GetDC(), RECT{0, 0, SCREEN_WIDTH, SCREEN_HEIGHT});
}

void touch_free_heap() {
    constexpr std::size_t kBytes = std::size_t{2} * SCREEN_WIDTH * SCREEN_HEIGHT * 4;
    constexpr std::size_t kPage = 4096;
    const std::unique_ptr<char[]> block(new (std::nothrow) char[kBytes]);
    if (!block)
        return;
    // Volatile: stores to a block about to be freed would otherwise be
    // dropped as useless.
    volatile char* bytes = block.get();
    for (std::size_t i = 0; i < kBytes; i += kPage)
        bytes[i] = 0;
}

} // namespace

bool warm_up_step() {
    if (g_step >= kSteps) {
        touch_free_heap();
        return false;
    }
    const unsigned traced = trace::g_enabled.load();
    trace::enable(0);
    draw_off_screen(g_step++);
    trace::enable(traced);
    return true;
}

} // namespace zt::web
