// Preloaded into zentrick-sim by its tests: the rename that would finish a
// snapshot never returns, so a test can signal the process while the hidden
// temporary file is there, as a kill at an unlucky moment would.
#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

extern "C" int rename(const char* from, const char* to) noexcept {
    const std::size_t length = std::strlen(from);
    if (length > 4 && std::strcmp(from + length - 4, ".tmp") == 0)
        for (;;)
            ::pause();
    using Rename = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    return next(from, to);
}
