#include "host/hatch_pattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/curve_math.h"

namespace kv::hatch {
namespace {

using kv::curve::kTwoPi;
// Pieces in which an ellipse's turn and a spline's knot span are drawn.
constexpr int kEllipsePieces = 256;
constexpr int kSplineSpanPieces = 256;
constexpr int kSplinePieces = 65536;  // at most, whatever the spans

void addSegment(Boundary& out, const AcGePoint2d& a, const AcGePoint2d& b) {
  if (a.x != b.x || a.y != b.y) out.segments.push_back({a, b});
}

// The arc of a polyline segment: bulge = tan(included angle / 4), counter-clockwise positive.
void addBulge(Boundary& out, const AcGePoint2d& p, const AcGePoint2d& q, double bulge) {
  if (std::fabs(bulge) < 1e-12 || p.distanceTo(q) == 0) return addSegment(out, p, q);
  kv::curve::BulgeArc a = kv::curve::bulgeArc(p.x, p.y, q.x, q.y, bulge);
  out.arcs.push_back({AcGePoint2d(a.cx, a.cy), a.radius, kv::curve::wrapAngle(a.start), a.sweep, p, q});
}

void addPolylineLoop(Boundary& out, const AcDbHatch::Loop& loop) {
  int n = loop.vertices.length();
  for (int i = 0; i < n; ++i) {
    double bulge = i < loop.bulges.length() ? loop.bulges[i] : 0;
    addBulge(out, loop.vertices[i], loop.vertices[(i + 1) % n], bulge);
  }
}

// How far an arc runs from start to end angle in its own direction: an end before the start
// comes round once more, and no arc runs more than once round.
double arcSpan(double start, double end) {
  double span = end - start;
  if (span > kTwoPi) return kTwoPi;
  if (span < 0) span = std::fmod(span, kTwoPi) + kTwoPi;
  return span;
}

void addSampled(Boundary& out, const AcGeCurve2d& curve, double t0, double t1, int pieces) {
  AcGePoint2d prev = curve.startPoint();
  for (int i = 1; i <= pieces; ++i) {
    AcGePoint2d next = i == pieces ? curve.endPoint() : curve.evalPoint(t0 + (t1 - t0) * i / pieces);
    addSegment(out, prev, next);
    prev = next;
  }
}

void addCircArc(Boundary& out, const AcGeCircArc2d& arc) {
  double dir = arc.isClockWise() ? -1 : 1;
  double sweep = dir * arcSpan(arc.startAng(), arc.endAng());
  AcGePoint2d p = arc.startPoint(), q = arc.endPoint();
  if (arc.radius() <= 0 || sweep == 0) return addSegment(out, p, q);
  out.arcs.push_back({arc.center(), arc.radius(), arc.refVec().angle() + dir * arc.startAng(), sweep, p, q});
}

// Pieces for a spline: so many per knot span, fewer for a spline of very many spans.
int splinePieces(const AcGeNurbCurve2d& spline) {
  int spans = 0;
  for (int i = spline.degree(); i < spline.numControlPoints(); ++i)
    if (spline.knotAt(i + 1) > spline.knotAt(i)) ++spans;
  spans = std::max(spans, 1);
  return spans * std::clamp(kSplinePieces / spans, 4, kSplineSpanPieces);
}

// Adds one edge; answers the edge's own start and end, which the next edge should meet.
void addEdge(Boundary& out, const AcGeCurve2d& edge) {
  if (auto* arc = dynamic_cast<const AcGeCircArc2d*>(&edge)) return addCircArc(out, *arc);
  if (auto* ell = dynamic_cast<const AcGeEllipArc2d*>(&edge)) {
    double span = arcSpan(ell->startAng(), ell->endAng());
    int pieces = std::max(8, int(std::ceil(span / kTwoPi * kEllipsePieces)));
    return addSampled(out, edge, ell->startAng(), ell->startAng() + span, pieces);
  }
  if (auto* spline = dynamic_cast<const AcGeNurbCurve2d*>(&edge)) {
    if (!spline->isWellFormed()) return;
    return addSampled(out, edge, spline->startParam(), spline->endParam(), splinePieces(*spline));
  }
  addSegment(out, edge.startPoint(), edge.endPoint());
}

void addEdgeLoop(Boundary& out, const AcDbHatch::Loop& loop) {
  bool first = true;
  AcGePoint2d start, last;
  for (const auto& edge : loop.edges) {
    if (auto* spline = dynamic_cast<const AcGeNurbCurve2d*>(edge.get()); spline && !spline->isWellFormed()) continue;
    AcGePoint2d a = edge->startPoint();
    if (first) start = a;
    else addSegment(out, last, a);
    addEdge(out, *edge);
    last = edge->endPoint();
    first = false;
  }
  if (!first) addSegment(out, last, start);
}

// A family of parallel lines: d across, s along, both from the family's base point.
struct Family {
  explicit Family(const AcDbHatch::PatternLine& line)
      : base(line.base), u(std::cos(line.angle), std::sin(line.angle)), n(-u.y, u.x),
        delta(line.offset.dotProduct(n)), along(line.offset.dotProduct(u)), offset(line.offset),
        dashes(line.dashes) {}
  double d(const AcGePoint2d& p) const { return (p - base).dotProduct(n); }
  double s(const AcGePoint2d& p) const { return (p - base).dotProduct(u); }
  AcGePoint2d base;
  AcGeVector2d u, n;
  double delta, along;
  AcGeVector2d offset;
  const std::vector<double>& dashes;
};

AcGePoint2d arcPoint(const Arc& arc, double s) {
  double a = arc.a0 + s;
  return arc.c + AcGeVector2d(std::cos(a), std::sin(a)) * arc.r;
}

// Positions along the arc (0 to sweep) where it turns back across the family's lines.
std::vector<double> turningPoints(const Arc& arc, const Family& f) {
  std::vector<double> at;
  double span = std::fabs(arc.sweep), dir = arc.sweep < 0 ? -1 : 1;
  for (double phi : {f.n.angle(), f.n.angle() + std::numbers::pi}) {
    double s0 = std::fmod(dir * (phi - arc.a0), kTwoPi);
    if (s0 < 0) s0 += kTwoPi;
    for (double s = s0; s < span; s += kTwoPi)
      if (s > 0) at.push_back(dir * s);
  }
  std::sort(at.begin(), at.end(), [dir](double a, double b) { return dir * a < dir * b; });
  return at;
}

// The arc in pieces along which d only grows or only falls; the ends keep the exact points.
std::vector<Arc> monotonePieces(const Arc& arc, const Family& f) {
  std::vector<Arc> out;
  double from = 0;
  AcGePoint2d fromPoint = arc.p;
  std::vector<double> cuts = turningPoints(arc, f);
  cuts.push_back(arc.sweep);
  for (size_t i = 0; i < cuts.size(); ++i) {
    bool last = i + 1 == cuts.size();
    AcGePoint2d toPoint = last ? arc.q : arcPoint(arc, cuts[i]);
    out.push_back({arc.c, arc.r, arc.a0 + from, cuts[i] - from, fromPoint, toPoint});
    from = cuts[i];
    fromPoint = toPoint;
  }
  return out;
}

struct Clipper {
  const Family& f;
  const std::vector<Segment>& segments;
  std::vector<Arc> arcs;  // monotone for this family
  double tol;

  // Where line k crosses the boundary, as distances from its start point, in order.
  std::vector<double> crossings(long k) const {
    double dk = double(k) * f.delta, shift = double(k) * f.along;
    std::vector<double> t;
    for (const Segment& seg : segments) {
      double dp = f.d(seg.a) - dk, dq = f.d(seg.b) - dk;
      if ((dp >= 0) == (dq >= 0)) continue;
      double sp = f.s(seg.a), sq = f.s(seg.b);
      t.push_back(sp + (sq - sp) * (dp / (dp - dq)) - shift);
    }
    for (const Arc& arc : arcs) {
      if ((f.d(arc.p) - dk >= 0) == (f.d(arc.q) - dk >= 0)) continue;
      double h = f.d(arc.c) - dk;
      // Near a tangent the square root would blow rounding up into a stretch of line.
      double root = arc.r - std::fabs(h) <= tol ? 0 : std::sqrt(arc.r * arc.r - h * h);
      double side = (arcPoint(arc, arc.sweep / 2) - arc.c).dotProduct(f.u) < 0 ? -1 : 1;
      t.push_back(f.s(arc.c) + side * root - shift);
    }
    std::sort(t.begin(), t.end());
    return t;
  }
};

struct PieceSink {
  std::vector<Segment>& out;
  long max;
  bool tooMany = false;
  void add(const AcGePoint2d& origin, const AcGeVector2d& u, double a, double b) {
    if (long(out.size()) >= max) {
      tooMany = true;
      return;
    }
    out.push_back({origin + u * a, origin + u * b});
  }
};

// The dashes of one inside stretch [a, b] of a line whose dash sequence starts at 0.
void dashPieces(const Family& f, const AcGePoint2d& origin, double a, double b, double tol, PieceSink& sink) {
  double period = 0;
  bool draws = false;
  for (double len : f.dashes) {
    period += std::fabs(len);
    draws = draws || len >= 0;
  }
  if (f.dashes.empty() || period <= tol) return sink.add(origin, f.u, a, b);
  if (!draws) return;
  if ((b - a) / period > double(sink.max)) {
    sink.tooMany = true;
    return;
  }
  // Counted, not summed: far from the origin a step of one period may not move a double.
  double first = std::floor(a / period);
  long periods = long(std::ceil(b / period - first));
  for (long k = 0; k <= periods && !sink.tooMany; ++k) {
    double at = (first + double(k)) * period;
    for (double len : f.dashes) {
      if (len == 0 && at >= a - tol && at <= b + tol) sink.add(origin, f.u, at, at);
      double from = std::max(at, a), to = std::min(at + len, b);
      if (len > 0 && to - from > tol) sink.add(origin, f.u, from, to);
      at += std::fabs(len);
    }
  }
}

void boundaryRange(const Clipper& clip, double& lo, double& hi) {
  lo = HUGE_VAL;
  hi = -HUGE_VAL;
  auto take = [&](const AcGePoint2d& p) {
    lo = std::min(lo, clip.f.d(p));
    hi = std::max(hi, clip.f.d(p));
  };
  for (const Segment& s : clip.segments) {
    take(s.a);
    take(s.b);
  }
  for (const Arc& a : clip.arcs) {
    take(a.p);
    take(a.q);
  }
}

// The line numbers k whose lines can meet the boundary, as whole numbers held in doubles (a
// dense pattern's count may pass what a long holds); first > last for none.
void lineRange(const Clipper& clip, double& first, double& last) {
  double lo = 0, hi = 0;
  boundaryRange(clip, lo, hi);
  first = 1;
  last = 0;
  if (lo > hi) return;
  if (std::fabs(clip.f.delta) <= clip.tol) {
    if (lo <= 0 && hi >= 0) first = last = 0;
    return;
  }
  double a = lo / clip.f.delta, b = hi / clip.f.delta;
  first = std::ceil(std::min(a, b));
  last = std::floor(std::max(a, b));
}

double boundarySize(const Boundary& boundary) {
  double size = 1;
  for (const Segment& s : boundary.segments)
    size = std::max({size, std::fabs(s.a.x), std::fabs(s.a.y), std::fabs(s.b.x), std::fabs(s.b.y)});
  for (const Arc& a : boundary.arcs) size = std::max({size, std::fabs(a.c.x) + a.r, std::fabs(a.c.y) + a.r});
  return size;
}

}  // namespace

Boundary boundaryOf(const std::vector<AcDbHatch::Loop>& loops, AcDbHatch::HatchStyle style) {
  Boundary out;
  for (const AcDbHatch::Loop& loop : loops) {
    bool outer = loop.type & (AcDbHatch::kExternal | AcDbHatch::kOutermost);
    if ((style == AcDbHatch::kOuter && !outer) || (style == AcDbHatch::kIgnore && !(loop.type & AcDbHatch::kExternal)))
      continue;
    if (loop.isPolyline()) addPolylineLoop(out, loop);
    else addEdgeLoop(out, loop);
  }
  return out;
}

std::vector<AcGePoint2d> outline(const Boundary& boundary) {
  std::vector<AcGePoint2d> points;
  for (const Segment& s : boundary.segments) {
    points.push_back(s.a);
    points.push_back(s.b);
  }
  for (const Arc& a : boundary.arcs) {
    int pieces = std::max(4, int(std::ceil(std::fabs(a.sweep) / kTwoPi * 64)));
    for (int i = 0; i <= pieces; ++i) points.push_back(arcPoint(a, a.sweep * i / pieces));
  }
  return points;
}

Acad::ErrorStatus patternPieces(const Boundary& boundary, const std::vector<AcDbHatch::PatternLine>& lines,
                                long maxPieces, std::vector<Segment>& pieces) {
  double tol = 1e-10 * boundarySize(boundary);
  std::vector<Family> families(lines.begin(), lines.end());
  std::vector<Clipper> clippers;
  double total = 0;
  for (const Family& f : families) {
    Clipper clip{f, boundary.segments, {}, tol};
    for (const Arc& arc : boundary.arcs)
      for (const Arc& piece : monotonePieces(arc, f)) clip.arcs.push_back(piece);
    double first = 0, last = 0;
    lineRange(clip, first, last);
    if (first <= last) total += last - first + 1;
    if (total > double(maxPieces)) return Acad::eHatchTooDense;
    clippers.push_back(std::move(clip));
  }
  PieceSink sink{pieces, maxPieces};
  for (const Clipper& clip : clippers) {
    double first = 0, last = 0;
    lineRange(clip, first, last);
    for (long k = long(first); k <= long(last) && first <= last && !sink.tooMany; ++k) {
      std::vector<double> t = clip.crossings(k);
      AcGePoint2d origin = clip.f.base + clip.f.offset * double(k);
      for (size_t i = 0; i + 1 < t.size(); i += 2)
        if (t[i + 1] - t[i] > tol) dashPieces(clip.f, origin, t[i], t[i + 1], tol, sink);
    }
  }
  return sink.tooMany ? Acad::eHatchTooDense : Acad::eOk;
}

}  // namespace kv::hatch
