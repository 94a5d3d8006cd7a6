// A hatch's pattern lines inside its boundary, in the hatch's plane. Platform use only.
//
// The boundary becomes closed chains of segments and circular arcs (elliptical and spline edges
// become segments); each family of pattern lines is clipped against them by the even-odd rule.
// A point that lies exactly on a pattern line counts on its positive side, so that a line
// through a vertex is crossed once where the boundary crosses it and not at all where the
// boundary only touches it.
#pragma once

#include <vector>

#include "host/annotations.h"

namespace kv::hatch {

struct Segment {
  AcGePoint2d a, b;
};

// Points c + r (cos(a0 + s), sin(a0 + s)) for s from 0 to sweep (negative: clockwise), from
// the exact point p to the exact point q.
struct Arc {
  AcGePoint2d c;
  double r = 0, a0 = 0, sweep = 0;
  AcGePoint2d p, q;
};

struct Boundary {
  std::vector<Segment> segments;
  std::vector<Arc> arcs;
  bool empty() const { return segments.empty() && arcs.empty(); }
};

// Every loop closed: a polyline's last vertex joins its first, an edge loop's edges are joined
// end to start where they do not meet exactly. The hatch style picks the loops, as the host
// hatches: all of them (kNormal), the external and outermost ones (kOuter), or the external
// ones only (kIgnore).
Boundary boundaryOf(const std::vector<AcDbHatch::Loop>& loops, AcDbHatch::HatchStyle style = AcDbHatch::kNormal);

// Points on the boundary, close enough together for extents.
std::vector<AcGePoint2d> outline(const Boundary& boundary);

// The dashes and dots (segments of no length) of every family inside the boundary, family by
// family, line by line, along each line. eHatchTooDense when they would pass maxPieces.
Acad::ErrorStatus patternPieces(const Boundary& boundary, const std::vector<AcDbHatch::PatternLine>& lines,
                                long maxPieces, std::vector<Segment>& pieces);

}  // namespace kv::hatch
