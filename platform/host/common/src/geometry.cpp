#include "zt/host/geometry.h"

#include <algorithm>
#include <cmath>

namespace zt::host {

namespace {

// Room kept for a title bar and a frame, which the usable area still holds.
constexpr int kDecorationAllowance = 40;
constexpr double kMinScale = 0.25;

} // namespace

double fit_scale(int usableWidth, int usableHeight) {
    const double byWidth = static_cast<double>(usableWidth) / SCREEN_WIDTH;
    const double byHeight = static_cast<double>(usableHeight - kDecorationAllowance) / SCREEN_HEIGHT;
    double scale = std::min(byWidth, byHeight);
    if (!(scale >= kMinScale))
        return kMinScale;
    const double whole = std::floor(scale);
    if (whole >= 1 && scale <= whole * 1.1)
        return whole;
    // Two decimals are plenty and keep the window size stable.
    return std::max(kMinScale, std::floor(scale * 100) / 100);
}

Rect window_size(double scale) {
    return Rect{0, 0, std::max(1, static_cast<int>(std::lround(SCREEN_WIDTH * scale))),
                std::max(1, static_cast<int>(std::lround(SCREEN_HEIGHT * scale)))};
}

Rect viewport(int width, int height) {
    if (width <= 0 || height <= 0)
        return Rect{};
    // Compare in integers: width / 480 against height / 720.
    Rect view;
    if (static_cast<long long>(width) * SCREEN_HEIGHT <= static_cast<long long>(height) * SCREEN_WIDTH) {
        view.w = width;
        view.h = static_cast<int>(static_cast<long long>(width) * SCREEN_HEIGHT / SCREEN_WIDTH);
    } else {
        view.h = height;
        view.w = static_cast<int>(static_cast<long long>(height) * SCREEN_WIDTH / SCREEN_HEIGHT);
    }
    view.x = (width - view.w) / 2;
    view.y = (height - view.h) / 2;
    return view;
}

bool whole_scale(const Rect& view) {
    if (view.w <= 0 || view.w % SCREEN_WIDTH != 0)
        return false;
    return view.h == view.w / SCREEN_WIDTH * SCREEN_HEIGHT;
}

Point to_screen_pixel(double x, double y, int windowWidth, int windowHeight) {
    const Rect view = viewport(windowWidth, windowHeight);
    if (view.w <= 0 || view.h <= 0)
        return Point{};
    const double px = std::floor((x - view.x) * SCREEN_WIDTH / view.w);
    const double py = std::floor((y - view.y) * SCREEN_HEIGHT / view.h);
    // Far outside the window the value still has to fit a 16-bit lParam half.
    auto clamp = [](double v) { return static_cast<int>(std::clamp(v, -32768.0, 32767.0)); };
    return Point{clamp(px), clamp(py)};
}

} // namespace zt::host
