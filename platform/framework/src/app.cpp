// The process entry and the application object.
#include "framework_internal.h"

namespace {

// The one application object; constant-initialised, so a global application
// object can register itself from any static initialiser.
constinit CMzApp* g_pApp = nullptr;

} // namespace

CMzApp::CMzApp() {
    if (g_pApp == nullptr)
        g_pApp = this;
}

CMzApp::~CMzApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

CMzApp* CMzApp::GetApp() {
    return g_pApp;
}

BOOL CMzApp::Init() {
    return TRUE;
}

int CMzApp::Run() {
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return MZ_EXIT_INIT_FAILED;
        if (PreTranslateMessage(&msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void CMzApp::Done() {}

BOOL CMzApp::PreTranslateMessage(MSG*) {
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    CMzApp* app = CMzApp::GetApp();
    if (app == nullptr)
        return MZ_EXIT_INIT_FAILED;
    // An application that could not start has no window to end its loop:
    // running the loop anyway would wait forever.
    if (!app->Init()) {
        app->Done();
        return MZ_EXIT_INIT_FAILED;
    }
    const int code = app->Run();
    app->Done();
    return code;
}
