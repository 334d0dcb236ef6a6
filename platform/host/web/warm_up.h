// The page's warm-up after its first frame (WebHost::after_first_frame).
#pragma once

namespace zt::web {

// One step; false once there is nothing left to do.
bool warm_up_step();

} // namespace zt::web
