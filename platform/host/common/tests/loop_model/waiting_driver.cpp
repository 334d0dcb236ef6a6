// A host that declares it waits (WaitingDriver) and leaves wait() out is no
// driver the core can be given: this unit compiles only with ZT_WITH_WAIT
// (the CTest entries loop_model_*, one each way).
#include "zt/host/core.h"

#include <cstdint>

namespace {

class WaitingHost final : public zt::host::WaitingDriver {
  public:
    void events(zt::host::Core&) override {}
#if defined(ZT_WITH_WAIT)
    void wait(std::uint64_t) override {}
#endif
    void wake() override {}
};

} // namespace

int loop_model_exit_code() {
    WaitingHost host;
    zt::host::Core core(host);
    return core.exit_code();
}
