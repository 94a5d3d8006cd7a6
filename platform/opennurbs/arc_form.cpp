#include "opennurbs/arc_form.h"

#include <algorithm>
#include <cmath>

#include "opennurbs/on_curve.h"

namespace kv {

ON_3dPoint ArcFrame::pointAt(double angle) const { return center + x * std::cos(angle) + y * std::sin(angle); }

namespace {

ON_4dPoint homogeneous(const ON_3dPoint& p, double w) { return {p.x * w, p.y * w, p.z * w, w}; }

}  // namespace

bool arcNurbForm(const ArcFrame& frame, const ON_Interval& angles, bool wholeTurn, ON_NurbsCurve& curve) {
  const double sweep = angles.Length();
  if (!std::isfinite(angles[0]) || !std::isfinite(angles[1]) || !(sweep > 0) ||
      sweep > 2 * ON_PI + ON_ZERO_TOLERANCE)
    return false;
  // A sweep a rounding above a whole number of quarters keeps that number of spans.
  const int spans = std::max(1, int(std::ceil(sweep / (0.5 * ON_PI) - 1e-9)));
  ON_NurbsCurve form;
  if (!form.Create(3, true, 3, 2 * spans + 1)) return false;
  double a0 = angles[0];
  form.SetKnot(0, a0);
  form.SetKnot(1, a0);
  form.SetCV(0, homogeneous(frame.pointAt(a0), 1.0));
  for (int i = 1; i <= spans; ++i) {
    const double a1 = i == spans ? angles[1] : angles.ParameterAt(double(i) / spans);
    const double half = 0.5 * (a1 - a0), mid = a0 + half, w = std::cos(half);
    const ON_3dVector toMid = frame.x * std::cos(mid) + frame.y * std::sin(mid);
    form.SetCV(2 * i - 1, ON_4dPoint(frame.center.x * w + toMid.x, frame.center.y * w + toMid.y,
                                     frame.center.z * w + toMid.z, w));
    form.SetCV(2 * i, homogeneous(frame.pointAt(a1), 1.0));
    form.SetKnot(2 * i, a1);
    form.SetKnot(2 * i + 1, a1);
    a0 = a1;
  }
  if (wholeTurn) form.SetCV(2 * spans, homogeneous(frame.pointAt(angles[0]), 1.0));
  curve = form;
  return true;
}

}  // namespace kv
