// zentrick for the browser: the application in a web page.
//
// The application's global object boots the platform from its constructor
// during static initialisation; the host reads the page's options there.
// main() starts the application and hands its loop to the page, which runs
// it a turn at a time: the page's thread is free between events.
#include "render/card_face.h"
#include "web_host.h"
#include "zt/framework.h"
#include "zt/screen.h"
#include "zt/sys/trace.h"

#include <cstddef>
#include <memory>
#include <new>

namespace {

// The heap the first reveal takes its face canvas from (CARD_WIDTH x
// CARD_HEIGHT pixels, the largest block a visit asks for). A page of the
// wasm memory costs the browser a fault when it is first written, about a
// millisecond for the whole canvas; twice its size written once here, and
// given back, leaves the allocator's free memory ready.
void touch_free_heap() {
    constexpr std::size_t kBytes = std::size_t{2} * CARD_WIDTH * CARD_HEIGHT * 4;
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

// Faces drawn and shown off screen, out of everyone's sight, one per turn
// of the loop: the browser compiles code on its first call and runs it
// slowly until it has been busy long enough to be compiled again, well;
// each suit's image and each rank's glyphs are made on first use. Without
// this the first reveal of a visit would be the slow one. Every rank once,
// the suits in turn (no rand() draw), each face on a canvas of its own
// shown on a screen of its own, the way the window shows its face canvas,
// their trace lines held back: the app sees nothing of it. Then the free
// heap.
bool warm_face_drawing() {
    static int rank = 0;
    if (++rank > 13) {
        touch_free_heap();
        return false;
    }
    const unsigned traced = zt::trace::g_enabled.load();
    zt::trace::enable(0);
    {
        UiCanvas face;
        MemoryDC screen;
        if (face.m_dcCanvas.Create(CARD_WIDTH, CARD_HEIGHT) && screen.Create(SCREEN_WIDTH, SCREEN_HEIGHT)) {
            face.SetPos(CARD_LEFT, CARD_TOP, CARD_WIDTH, CARD_HEIGHT, 0);
            const RECT area{0, 0, CARD_WIDTH, CARD_HEIGHT};
            DrawCardFace(face.m_dcCanvas.GetDC(), area, rank % 4 + 1, rank, nullptr, nullptr);
            face.PaintWin(screen.GetDC(), RECT{0, 0, SCREEN_WIDTH, SCREEN_HEIGHT});
        }
    }
    zt::trace::enable(traced);
    return true;
}

// The page's options come from its address, not a command line.
void install_web_host(int, char**) {
    zt::host::install(zt::web::web_host());
    zt::web::web_host().after_first_frame(&warm_face_drawing);
}

} // namespace

ZT_HOST(install_web_host);

int main() {
    if (!MzStartApp())
        return MZ_EXIT_INIT_FAILED;
    zt::web::web_host().run_loop(&MzRunWaitingMessages);
    // The page goes on running the loop after main() returns.
    return 0;
}
