// zentrick for the browser: the application in a web page.
//
// The application's global object boots the platform from its constructor
// during static initialisation; the host reads the page's options before
// that (ZT_HOST). main() starts the application and hands its loop to the
// page, which runs it a turn at a time: the page's thread is free between
// events.
#include "app/rehearsal.h"
#include "warm_up.h"
#include "web_host.h"

#include <iterator>

namespace {

// The page's options come from its address, not a command line.
void install_web_host(int, char**) {
    zt::web::web_host().configure({{std::begin(REHEARSAL_GUIDE_COLUMNS), std::end(REHEARSAL_GUIDE_COLUMNS)},
                                   {std::begin(REHEARSAL_GUIDE_ROWS), std::end(REHEARSAL_GUIDE_ROWS)}});
    zt::host::install(zt::web::web_host().core());
    zt::web::web_host().after_first_frame(&zt::web::warm_up_step);
}

} // namespace

ZT_HOST(install_web_host);

int main() {
    if (!zt::web::web_host().run())
        return zt::web::web_host().core().exit_code();
    // The page goes on running the loop after main() returns.
    return 0;
}
