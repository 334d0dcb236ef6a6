#include "zt/host/app_window.h"

#include "zt/sys/kernel.h"
#include "zt/sys/windows.h"

namespace zt::host {

HWND application_window() {
    return sys::first_top_level_window(sys::Kernel::get().this_thread().id);
}

} // namespace zt::host
