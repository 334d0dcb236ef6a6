// Paints a 480x720 framework window with the felt and the card back, as the
// application's window starts (or, with --face, with a card face over them),
// and writes the frame to a PNG to look at.
//   zt_framework_snapshot [--face] [output.png]   (default /tmp/zt_framework_snapshot.png)
#include "demo_window.h"
#include "zt/gfx/gdi.h"
#include "zt/gfx/png.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    bool face = false;
    std::string path = "/tmp/zt_framework_snapshot.png";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--face")
            face = true;
        else
            path = argv[i];
    }
    CDemoWnd wnd;
    if (!wnd.Create(0, 0, 480, 720) || !wnd.Show(true, true)) {
        std::fprintf(stderr, "zt_framework_snapshot: the window could not be made\n");
        return 1;
    }
    if (face) {
        wnd.DrawFace();
        wnd.UpdateWindow();
    }
    auto frame = zt::gfx::window_surface(wnd.m_hWnd);
    std::string error;
    if (!frame || !zt::gfx::write_png(*frame, path, &error)) {
        std::fprintf(stderr, "zt_framework_snapshot: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
