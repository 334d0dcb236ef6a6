// The process entry and the application object.
#include "framework_internal.h"

#include "zt/host.h"

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
    if (g_pApp != this)
        return;
    g_pApp = nullptr;
    // Its members (the main window, which shows the taskbar again) are gone
    // by now: the host may take the phone down.
    zt::host::application_gone();
}

CMzApp* CMzApp::GetApp() {
    return g_pApp;
}

BOOL CMzApp::Init() {
    return TRUE;
}

namespace {

// The loop's work on one message other than WM_QUIT.
void HandleMessage(CMzApp& app, MSG& msg) {
    if (app.PreTranslateMessage(&msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

} // namespace

int CMzApp::Run() {
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return MZ_EXIT_INIT_FAILED;
        HandleMessage(*this, msg);
    }
}

void CMzApp::Done() {}

BOOL CMzApp::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL MzStartApp() {
    CMzApp* app = CMzApp::GetApp();
    if (app == nullptr)
        return FALSE;
    // An application that could not start has no window to end its loop:
    // running the loop anyway would wait forever.
    if (!app->Init()) {
        app->Done();
        return FALSE;
    }
    return TRUE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    if (!MzStartApp())
        return MZ_EXIT_INIT_FAILED;
    CMzApp* app = CMzApp::GetApp();
    const int code = app->Run();
    app->Done();
    return code;
}

BOOL MzRunWaitingMessages(int* exitCode) {
    CMzApp* app = CMzApp::GetApp();
    if (app == nullptr) {
        if (exitCode != nullptr)
            *exitCode = MZ_EXIT_INIT_FAILED;
        return FALSE;
    }
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (exitCode != nullptr)
                *exitCode = static_cast<int>(msg.wParam);
            app->Done();
            return FALSE;
        }
        HandleMessage(*app, msg);
    }
    return TRUE;
}
