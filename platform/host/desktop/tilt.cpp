#include "tilt.h"

namespace zt::desktop {

host::Acceleration controller_to_phone(float x, float y, float z) {
    return host::Acceleration{static_cast<double>(x), -static_cast<double>(z), static_cast<double>(y)};
}

} // namespace zt::desktop
