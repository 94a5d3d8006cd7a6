// Platform only: what the file reader and the curve code need of a spline beyond the host's
// interface. The module never includes this header.
#pragma once

#include <utility>
#include <vector>

#include "host/curve_math.h"
#include "host/curves.h"

namespace kv {

struct SplineAccess {
  static curve::NurbsView nurbs(const AcDbSpline& s) { return {s.degree_, s.ctrl_, s.knots_, s.weights_}; }
  // Fit data as a file holds it beside the control points, which stay as they are (the host
  // would remake them from the fit points). Zero tangents: none.
  static void setFitData(AcDbSpline& s, std::vector<AcGePoint3d> fit, const AcGeVector3d& startTangent,
                         const AcGeVector3d& endTangent, double fitTolerance) {
    s.fit_ = std::move(fit);
    s.startTangent_ = startTangent;
    s.endTangent_ = endTangent;
    s.fitTol_ = fitTolerance;
  }
  // The tolerances a file gives a spline made from its fit points.
  static void setTolerances(AcDbSpline& s, double controlPtTol, double knotTol) {
    s.ctrlTol_ = controlPtTol;
    s.knotTol_ = knotTol;
  }
};

}  // namespace kv
