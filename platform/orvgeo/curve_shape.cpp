// Shapes of curves. A candidate (a chord, a circle through three points) is tried against
// the curve evaluated densely: several points in every span of its NURBS form, more where the
// parametrisation runs fast, so the answer depends on the shape alone and not on the class.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "orvgeo/orvgeo.h"

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// What a sample sits on: inside a span, at a knot where the curve stays tangent-continuous in
// its parameter, or at a joint (a knot of full multiplicity, a segment's end) where it may kink.
enum class Mark { inside, knot, joint };

struct Sample {
  double t;
  ON_3dPoint p;
  Mark mark;
};

struct Samples {
  std::vector<Sample> at;
  double tolerance = 0;  // absolute
};

struct Span {
  double t0, t1;
  int degree;
  Mark mark;  // of the span's start
};

bool pointAt(const ON_Curve& curve, double t, ON_3dPoint& p, int side = 0) {
  double v[3];
  if (!curve.Evaluate(t, 0, v, side)) return false;
  p = ON_3dPoint(v[0], v[1], v[2]);
  return p.IsValid();
}

// How many knots equal the i-th (the knots do not decrease): one for a simple knot.
int multiplicity(const ON_NurbsCurve& nurbs, int i) {
  int first = i, last = i;
  while (first > 0 && nurbs.Knot(first - 1) == nurbs.Knot(i)) --first;
  while (last + 1 < nurbs.KnotCount() && nurbs.Knot(last + 1) == nurbs.Knot(i)) ++last;
  return last - first + 1;
}

// Parameters of a piece mapped onto the whole curve's: scale t + offset.
struct Map {
  double scale = 1, offset = 0;
  double operator()(double t) const { return scale * t + offset; }
};

void nurbsSpans(const ON_NurbsCurve& nurbs, const Map& map, std::vector<Span>& spans) {
  const int last = nurbs.CVCount() - 1, degree = nurbs.Degree();
  for (int i = nurbs.Order() - 2; i < last; ++i) {
    double t0 = nurbs.Knot(i), t1 = nurbs.Knot(i + 1);
    if (!(t0 < t1)) continue;
    Mark mark = multiplicity(nurbs, i) >= degree ? Mark::joint : Mark::knot;
    spans.push_back({map(t0), map(t1), degree, mark});
  }
}

// The spans of the curve over the whole curve's parameter; a polycurve's come from its
// segments, so a segment without a NURBS form still has spans of its own.
bool collectSpans(const ON_Curve& curve, const Map& map, std::vector<Span>& spans) {
  if (auto poly = dynamic_cast<const ON_PolyCurve*>(&curve)) {
    if (poly->m_t.Count() != poly->Count() + 1) return false;
    for (int i = 0; i < poly->Count(); ++i) {
      const ON_Curve* segment = poly->SegmentCurve(i);
      if (!segment) return false;
      const ON_Interval d = segment->Domain();
      const double scale = (poly->m_t[i + 1] - poly->m_t[i]) / d.Length();
      const Map inner{map.scale * scale, map(poly->m_t[i] - scale * d[0])};
      size_t first = spans.size();
      if (!collectSpans(*segment, inner, spans)) return false;
      if (spans.size() > first) spans[first].mark = Mark::joint;
    }
    return true;
  }
  if (auto nurbs = dynamic_cast<const ON_NurbsCurve*>(&curve)) {
    nurbsSpans(*nurbs, map, spans);
    return true;
  }
  ON_NurbsCurve form;
  if (curve.GetNurbForm(form) != 0) {
    nurbsSpans(form, map, spans);
    return true;
  }
  // No form to follow: even steps, assumed smooth.
  const ON_Interval d = curve.Domain();
  constexpr int kSteps = 64;
  for (int k = 0; k < kSteps; ++k)
    spans.push_back({map(d.ParameterAt(double(k) / kSteps)), map(d.ParameterAt(double(k + 1) / kSteps)), 3, Mark::knot});
  return true;
}

double boxDiagonal(const std::vector<Sample>& at) {
  ON_3dPoint lo = at.front().p, hi = lo;
  for (const Sample& s : at)
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], s.p[i]);
      hi[i] = std::max(hi[i], s.p[i]);
    }
  return lo.DistanceTo(hi);
}

// A curve far from the origin is known no better than its coordinates' rounding.
double toleranceOf(const std::vector<Sample>& at) {
  double largest = 0;
  for (const Sample& s : at) largest = std::max({largest, std::fabs(s.p.x), std::fabs(s.p.y), std::fabs(s.p.z)});
  return std::max(ORVCurve::kTolerance * boxDiagonal(at), ORVCurve::kRounding * largest);
}

// Halves the step between a and b until each piece is short against the curve's size, so that
// a parametrisation crowding its points at one place leaves no long stretch unseen.
bool refine(const ON_Curve& curve, const Sample& a, const Sample& b, double step, int depth,
            std::vector<Sample>& out) {
  if (depth > 0 && a.p.DistanceTo(b.p) > step) {
    Sample mid{0.5 * (a.t + b.t), {}, Mark::inside};
    if (!pointAt(curve, mid.t, mid.p)) return false;
    if (!refine(curve, a, mid, step, depth - 1, out)) return false;
    return refine(curve, mid, b, step, depth - 1, out);
  }
  out.push_back(b);
  return true;
}

// A curve may break at a joint (a polycurve's segments need not meet); its two sides there
// must meet within the tolerance.
bool continuous(const ON_Curve& curve, const std::vector<Sample>& at, double tolerance) {
  for (size_t i = 1; i + 1 < at.size(); ++i) {
    if (at[i].mark != Mark::joint) continue;
    ON_3dPoint below;
    if (!pointAt(curve, at[i].t, below, -1) || below.DistanceTo(at[i].p) > tolerance) return false;
  }
  return true;
}

// Evaluates the curve densely; false for a curve that is not valid, cannot be evaluated,
// reaches a value that is not finite, or has no size.
bool sample(const ON_Curve* curve, Samples& s) {
  std::vector<Span> spans;
  if (!curve || !curve->IsValid()) return false;
  const ON_Interval domain = curve->Domain();
  if (!std::isfinite(domain[0]) || !std::isfinite(domain[1]) || !domain.IsIncreasing()) return false;
  if (!collectSpans(*curve, Map(), spans) || spans.empty()) return false;
  std::vector<Sample> coarse;
  for (const Span& span : spans) {
    // A degree-1 span is straight whatever its weights: its ends say all.
    const int steps = span.degree == 1 ? 1 : std::max(8, 4 * (span.degree + 1));
    for (int k = 0; k < steps; ++k) {
      double t = std::clamp(span.t0 + (span.t1 - span.t0) * k / steps, domain.Min(), domain.Max());
      coarse.push_back({t, {}, k == 0 ? span.mark : Mark::inside});
    }
  }
  coarse.push_back({domain[1], {}, Mark::joint});
  coarse.front().mark = Mark::joint;
  for (Sample& c : coarse)
    if (!pointAt(*curve, c.t, c.p)) return false;
  const double size = boxDiagonal(coarse);
  if (!(size > 0) || !std::isfinite(size)) return false;
  s.tolerance = toleranceOf(coarse);
  if (!continuous(*curve, coarse, s.tolerance)) return false;
  s.at.assign(1, coarse.front());
  for (size_t i = 1; i < coarse.size(); ++i)
    if (!refine(*curve, coarse[i - 1], coarse[i], size / 64, 12, s.at)) return false;
  return true;
}

// The samples first..last lie on the segment from the first to the last within the
// tolerance, running one way; a piece whose ends meet must stay at that point.
bool straight(const Samples& s, size_t first, size_t last) {
  const ON_3dPoint a = s.at[first].p;
  ON_3dVector u = s.at[last].p - a;
  const double length = u.Length(), tol = s.tolerance;
  if (length <= tol) {
    for (size_t i = first; i <= last; ++i)
      if (s.at[i].p.DistanceTo(a) > tol) return false;
    return true;
  }
  u = u * (1 / length);
  double reached = -tol;
  for (size_t i = first; i <= last; ++i) {
    ON_3dVector d = s.at[i].p - a;
    double along = ON_DotProduct(d, u);
    if ((d - u * along).Length() > tol || along < reached - tol || along > length + tol) return false;
    reached = std::max(reached, along);
  }
  return true;
}

// The last of knots[from + 1 .. to] up to which the piece from knots[from] is straight, or from
// when the very next is not. Whole stretches between joints are straight or not at once; where
// not, the end is searched by doubling steps, then halving.
size_t farthestStraight(const Samples& s, const std::vector<size_t>& knots, size_t from, size_t to) {
  if (straight(s, knots[from], knots[to])) return to;
  size_t good = from, bad = to, step = 1;
  while (good + step < bad && straight(s, knots[from], knots[good + step])) {
    good += step;
    step *= 2;
  }
  bad = std::min(bad, good + step);
  while (bad - good > 1) {
    size_t mid = good + (bad - good) / 2;
    (straight(s, knots[from], knots[mid]) ? good : bad) = mid;
  }
  return good;
}

// The sample farthest from a, or from the line through a along unit u when u is not zero.
size_t farthest(const Samples& s, const ON_3dPoint& a, const ON_3dVector& u) {
  size_t best = 0;
  double bestDistance = -1;
  for (size_t i = 0; i < s.at.size(); ++i) {
    ON_3dVector d = s.at[i].p - a;
    double distance = (d - u * ON_DotProduct(d, u)).Length();
    if (distance > bestDistance) bestDistance = distance, best = i;
  }
  return best;
}

struct Turn {
  ON_3dPoint centre, end;
  ON_3dVector x, normal;  // unit; x towards the start, the curve turning positively about normal
  double radius = 0;
  double sweep = 0;  // the turning from start to end, summed along the samples
  bool closed = false;
};

// The circle through the start and the two samples making the widest triangle with it.
bool circleThroughThree(const Samples& s, Turn& turn) {
  const ON_3dPoint a = s.at.front().p;
  const ON_3dVector u = s.at[farthest(s, a, ON_3dVector())].p - a;
  const double chord = u.Length();
  if (chord <= s.tolerance) return false;
  const ON_3dVector v = s.at[farthest(s, a, u * (1 / chord))].p - a, n = ON_CrossProduct(u, v);
  if (n.Length() <= s.tolerance * chord) return false;  // straight
  const double uu = ON_DotProduct(u, u), vv = ON_DotProduct(v, v), nn = ON_DotProduct(n, n);
  const ON_3dVector toCentre = (ON_CrossProduct(v, n) * uu + ON_CrossProduct(n, u) * vv) * (1 / (2 * nn));
  turn.centre = a + toCentre;
  turn.normal = n * (1 / std::sqrt(nn));
  turn.radius = toCentre.Length();
  turn.x = toCentre * (-1 / turn.radius);
  // A circle so large that its points lose more than a fraction of the tolerance to rounding
  // cannot hold the curve: a nearly straight curve is no arc.
  const ON_3dPoint& c = turn.centre;
  const double reach = std::max({std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)}) + turn.radius;
  return std::isfinite(reach) && turn.radius > s.tolerance && 16 * kEpsilon * reach <= s.tolerance;
}

// Every sample on the circle, and the curve turning one way about it (a step back longer than
// the tolerance is a curve doubling back).
bool followsCircle(const Samples& s, Turn& turn) {
  const double tol = s.tolerance;
  std::vector<double> steps;
  ON_3dVector previous = turn.x;
  for (const Sample& sample : s.at) {
    ON_3dVector d = sample.p - turn.centre;
    if (std::fabs(ON_DotProduct(d, turn.normal)) > tol || std::fabs(d.Length() - turn.radius) > tol) return false;
    steps.push_back(std::atan2(ON_DotProduct(ON_CrossProduct(previous, d), turn.normal), ON_DotProduct(previous, d)));
    previous = d;
  }
  double sum = 0;
  for (double step : steps) sum += step;
  const double sense = sum < 0 ? -1 : 1;
  for (double step : steps)
    if (sense * step * turn.radius < -tol) return false;
  turn.normal = turn.normal * sense;
  turn.sweep = sense * sum;
  turn.end = s.at.back().p;
  turn.closed = turn.end.DistanceTo(s.at.front().p) <= tol;
  return turn.sweep > 0;
}

bool turnOf(const ON_Curve* curve, Turn& turn) {
  Samples s;
  return sample(curve, s) && circleThroughThree(s, turn) && followsCircle(s, turn);
}

bool oneWholeTurn(const Turn& turn) { return turn.closed && std::fabs(turn.sweep - 2 * ON_PI) < ON_PI; }

// The circle of the turn, angle 0 at the curve's start.
bool circleOf(const Turn& turn, ON_Circle& circle) {
  ON_Plane plane(turn.centre, turn.x, ON_CrossProduct(turn.normal, turn.x));
  ON_Circle made(plane, turn.radius);
  if (!made.IsValid()) return false;
  circle = made;
  return true;
}

// The arc's angle at the curve's end, from the end point itself for accuracy; the summed
// turning only tells which turn it is on.
bool endAngle(const Turn& turn, const ON_Circle& circle, double& angle) {
  if (oneWholeTurn(turn)) {
    angle = 2 * ON_PI;
    return true;
  }
  if (turn.closed || !circle.ClosestPointTo(turn.end, &angle)) return false;
  if (angle <= 0) angle += 2 * ON_PI;
  return std::fabs(angle - turn.sweep) < 1;  // more than one turn otherwise
}

}  // namespace

int ORVCurve::IsLine(const ON_Curve* curve, ON_Line& line) {
  Samples s;
  if (!sample(curve, s)) return 0;
  const size_t last = s.at.size() - 1;
  if (s.at[last].p.DistanceTo(s.at[0].p) <= s.tolerance || !straight(s, 0, last)) return 0;
  line = ON_Line(s.at[0].p, s.at[last].p);
  return 1;
}

int ORVCurve::IsCircle(const ON_Curve* curve, ON_Circle& circle) {
  Turn turn;
  if (!turnOf(curve, turn) || !oneWholeTurn(turn)) return 0;
  return circleOf(turn, circle) ? 1 : 0;
}

int ORVCurve::IsArc(const ON_Curve* curve, ON_Arc& arc) {
  Turn turn;
  ON_Circle circle;
  double angle = 0;
  if (!turnOf(curve, turn) || !circleOf(turn, circle) || !endAngle(turn, circle, angle))
    return 0;
  ON_Arc made(circle, ON_Interval(0, angle));
  if (!made.IsValid()) return 0;
  arc = made;
  return 1;
}

int ORVCurve::IsPolyline(const ON_Curve* curve, ON_Polyline& polyline) {
  Samples s;
  if (!sample(curve, s)) return 0;
  std::vector<size_t> knots;  // the samples at knots and joints, the ends included
  for (size_t i = 0; i < s.at.size(); ++i)
    if (s.at[i].mark != Mark::inside) knots.push_back(i);
  std::vector<size_t> nextJoint(knots.size(), knots.size() - 1);
  for (size_t k = knots.size() - 1; k-- > 0;)
    nextJoint[k] = s.at[knots[k + 1]].mark == Mark::joint ? k + 1 : nextJoint[k + 1];
  // From each corner the piece reaches as far towards the next joint as it stays straight;
  // where it ends short of the joint the curve kinks at a smooth knot. A piece of no length
  // adds no corner.
  ON_Polyline corners;
  corners.Append(s.at[0].p);
  for (size_t from = 0; from + 1 < knots.size();) {
    const size_t to = farthestStraight(s, knots, from, nextJoint[from]);
    if (to == from) return 0;
    if (s.at[knots[to]].p.DistanceTo(*corners.Last()) > s.tolerance) corners.Append(s.at[knots[to]].p);
    from = to;
  }
  if (corners.Count() < 2) return 0;
  *corners.Last() = s.at.back().p;  // the end exactly, though a last piece of no length ended short of it
  polyline = corners;
  return 1;
}
