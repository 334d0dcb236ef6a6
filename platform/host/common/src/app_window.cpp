#include "zt/host/app_window.h"

#include "zt/sys/kernel.h"
#include "zt/sys/windows.h"

namespace zt::host {

HWND application_window() {
    sys::Kernel& k = sys::Kernel::get();
    const DWORD self = k.this_thread().id;
    std::lock_guard guard(k.lock());
    for (auto& w : sys::windows_locked())
        if (w->threadId == self && w->parent == nullptr)
            return w->hwnd;
    return nullptr;
}

} // namespace zt::host
