// The rational quadratic form that circles, arcs and ellipses share: the image of the unit
// circle's form under centre + cos(a) x + sin(a) y, one span per quarter turn or less.
#pragma once

#include "opennurbs/on_geometry.h"

namespace kv {

struct ArcFrame {
  ON_3dPoint center;
  ON_3dVector x, y;  // scaled by the radii
  ON_3dPoint pointAt(double angle) const;
};

// Knots at the span ends are the angles there, each held twice. A whole turn ends on its
// first control point exactly, so the form is closed. False for angles that are not an
// increasing interval of at most a turn; the curve is then untouched.
bool arcNurbForm(const ArcFrame& frame, const ON_Interval& angles, bool wholeTurn, ON_NurbsCurve& curve);

}  // namespace kv
