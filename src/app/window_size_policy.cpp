#include "app/window_size_policy.h"

#include <algorithm>
#include <cmath>

namespace tessaravolt::app {

namespace {
constexpr int kDesignWidth = 1440;
constexpr int kDesignHeight = 1080;
constexpr int kFullSizeWidth = 1800;
constexpr int kFullSizeHeight = 1350;
constexpr double kScale = 0.7;
// Above this a ratio is nonsense from a broken screen report; it would overflow the pixel maths.
constexpr double kMaxRatio = 64.0;

// Screens beyond this size all get the full design size, so clamping changes no result.
constexpr double kMaxPixels = 1.0e6;

int roundToInt(double x)
{
    return static_cast<int>(std::lround(std::clamp(x, -kMaxPixels, kMaxPixels)));
}
} // namespace

QSize recommendedWindowSize(int w, int h)
{
    if (w >= kFullSizeWidth && h >= kFullSizeHeight)
        return {kDesignWidth, kDesignHeight};
    w = std::max(w, 1);
    h = std::max(h, 1);
    const double s = kScale * std::min(double(h) / kDesignHeight, double(w) / kDesignWidth);
    return {std::max(roundToInt(kDesignWidth * s), 1), std::max(roundToInt(kDesignHeight * s), 1)};
}

QSize recommendedLogicalWindowSize(int w, int h, double ratio)
{
    if (!(ratio >= 1.0) || !std::isfinite(ratio) || ratio > kMaxRatio)
        ratio = 1.0;
    const QSize physical =
        recommendedWindowSize(roundToInt(std::max(w, 1) * ratio), roundToInt(std::max(h, 1) * ratio));
    return {std::max(roundToInt(physical.width() / ratio), 1), std::max(roundToInt(physical.height() / ratio), 1)};
}

} // namespace tessaravolt::app
