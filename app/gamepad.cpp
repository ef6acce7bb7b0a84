#include "app/gamepad.h"

#include <algorithm>
#include <cmath>


StickSteps MapStick(double x, double y, const PadSettings& s) {
  if (!std::isfinite(x) || !std::isfinite(y)) return {};
  x = std::clamp(x, -1.0, 1.0);
  y = std::clamp(y, -1.0, 1.0);
  const double m = std::hypot(x, y);
  const double dz = std::clamp(s.deadzone, 0.0, 0.95);
  if (m <= dz) return {};
  // From 0 at the dead zone's edge to 1 at full deflection, then the curve.
  const double t = (std::min(m, 1.0) - dz) / (1.0 - dz);
  const double e = std::clamp(s.expo, 0.0, 1.0);
  const double curved = e * t * t * t + (1.0 - e) * t;
  const int maxStep = std::max(1, s.maxStep);
  // Never a jump at the edge: the smallest step there, whatever maxStep is.
  const double magnitude = std::max(1.0, std::round(curved * maxStep));
  const auto axis = [&](double v, bool invert) {
    const int step = static_cast<int>(std::lround(v / m * magnitude));
    return invert ? -step : step;
  };
  StickSteps out{axis(x, s.invertX), axis(y, s.invertY)};
  if (out.Zero()) {  // rounding took both axes to 0: the larger one moves by one
    if (std::fabs(x) >= std::fabs(y)) out.x = (x > 0) != s.invertX ? 1 : -1;
    else out.y = (y > 0) != s.invertY ? 1 : -1;
  }
  return out;
}

StickSteps ShapeStick(const StickSteps& steps, const PadSettings& s, int zoomLevel, unsigned frame,
                      unsigned periodMs) {
  const double zoom = 1.0 - (1.0 - std::clamp(s.zoomScale, 0.05, 1.0)) * (std::clamp(zoomLevel, 1, 30) - 1) / 29.0;
  const double ramp =
      s.rampMs ? std::min(1.0, static_cast<double>(frame + 1) * std::max(1u, periodMs) / s.rampMs) : 1.0;
  const auto axis = [&](int v) {
    if (v == 0) return 0;
    const int shaped = static_cast<int>(std::lround(v * zoom * ramp));
    return shaped != 0 ? shaped : (v > 0 ? 1 : -1);
  };
  return {axis(steps.x), axis(steps.y)};
}
