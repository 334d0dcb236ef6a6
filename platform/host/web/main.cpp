// zentrick for the browser: the application in a web page.
//
// The application's global object boots the platform from its constructor
// during static initialisation; the host reads the page's options there.
// main() runs the application's loop, which sleeps in the host's idle()
// through Asyncify: the page's thread is free between events.
#include "web_host.h"
#include "zt/framework.h"

// The host goes in before the application's global object boots the
// platform from its static initialiser.
__attribute__((constructor(101))) static void install_web_host() {
    zt::host::install(zt::web::web_host());
}

int main() {
    return WinMain(GetModuleHandleW(nullptr), nullptr, const_cast<LPWSTR>(u""), SW_SHOW);
}
