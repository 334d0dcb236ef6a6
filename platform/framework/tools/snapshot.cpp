// Paints a 480x720 framework window with the felt and the card back, as the
// application's window starts, and writes the frame to a PNG to look at.
//   zt_framework_snapshot [output.png]     (default /tmp/zt_framework_snapshot.png)
#include "res/resource.h"
#include "zt/framework.h"
#include "zt/gfx/gdi.h"
#include "zt/gfx/png.h"

#include <cstdio>
#include <string>

namespace {

class SnapshotWnd : public CMzWndEx {
  public:
    LPCWSTR GetWindowClassName() override { return TEXT("SnapshotWnd"); }
    BOOL OnInitDialog() override {
        m_picBackground.SetPos(0, 0, GetWidth(), GetHeight(), 0);
        m_picBackground.SetPaintMode(1);
        m_picBackground.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_FELT, true);
        AddUiWin(&m_picBackground);
        m_picCardBack.SetPos(12, 13, 456, 694, 0);
        m_picCardBack.SetPaintMode(1);
        m_picCardBack.LoadImageW(MzGetInstanceHandle(), RES_TYPE_IMAGE, IDR_CARD_BACK, true);
        AddUiWin(&m_picCardBack);
        return TRUE;
    }
    UiPicture m_picBackground;
    UiPicture m_picCardBack;
};

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/zt_framework_snapshot.png";
    SnapshotWnd wnd;
    if (!wnd.Create(0, 0, 480, 720) || !wnd.Show(true, true)) {
        std::fprintf(stderr, "zt_framework_snapshot: the window could not be made\n");
        return 1;
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
