#include "opennurbs/on_curve.h"

#include <cmath>
#include <limits>

#include "opennurbs/breakpoints.h"
#include "opennurbs/curve_values.h"

using kv::curve::put;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

ON_3dVector at(const double* v) { return {v[0], v[1], v[2]}; }

}  // namespace

ON_3dPoint ON_Curve::PointAt(double t) const {
  double v[3];
  return Evaluate(t, 0, v) ? ON_3dPoint(v[0], v[1], v[2]) : ON_3dPoint(kNaN, kNaN, kNaN);
}

ON_3dVector ON_Curve::DerivativeAt(double t) const {
  double v[6];
  return Evaluate(t, 1, v) ? at(v + 3) : ON_3dVector(kNaN, kNaN, kNaN);
}

ON_3dVector ON_Curve::TangentAt(double t) const {
  ON_3dVector d = DerivativeAt(t);
  return d.Unitize() ? d : ON_3dVector(0, 0, 0);
}

bool ON_Curve::IsClosed() const {
  const ON_Interval d = Domain();
  const ON_3dPoint start = PointAt(d[0]);
  if (!start.IsValid() || start != PointAt(d[1])) return false;
  // A curve that is one point is not closed: some inner point must lie elsewhere.
  for (double s : {1.0 / 3, 0.5, 2.0 / 3}) {
    const ON_3dPoint p = PointAt(d.ParameterAt(s));
    if (p.IsValid() && p != start) return true;
  }
  return false;
}

// Lines.

bool ON_LineCurve::IsValid(ON_TextLog*) const { return m_line.IsValid() && kv::curve::usable(m_t); }

bool ON_LineCurve::Transform(const ON_Xform& xform) {
  const ON_Line moved(xform * m_line.from, xform * m_line.to);
  if (!moved.from.IsValid() || !moved.to.IsValid()) return false;
  m_line = moved;
  return true;
}

bool ON_LineCurve::SetDomain(double t0, double t1) {
  if (!kv::curve::usable(ON_Interval(t0, t1))) return false;
  m_t = ON_Interval(t0, t1);
  return true;
}

bool ON_LineCurve::Evaluate(double t, int derCount, double* v, int) const {
  if (derCount < 0 || !v || !kv::curve::usable(m_t) || !m_t.Includes(t)) return false;
  put(v, m_line.PointAt(m_t.NormalizedParameterAt(t)));
  if (derCount >= 1) put(v + 3, m_line.Direction() * (1.0 / m_t.Length()));
  kv::curve::zero(v, 2, derCount);
  return true;
}

int ON_LineCurve::GetNurbForm(ON_NurbsCurve& nurbs) const {
  if (!kv::curve::usable(m_t) || !m_line.from.IsValid() || !m_line.to.IsValid()) return 0;
  ON_NurbsCurve form;
  form.Create(3, false, 2, 2);
  form.SetCV(0, m_line.from);
  form.SetCV(1, m_line.to);
  form.SetKnot(0, m_t[0]);
  form.SetKnot(1, m_t[1]);
  nurbs = form;
  return 1;
}

bool ON_LineCurve::Trim(const ON_Interval& interval) {
  if (!kv::curve::usable(m_t) || !kv::curve::within(m_t, interval)) return false;
  m_line = ON_Line(PointAt(interval[0]), PointAt(interval[1]));
  m_t = interval;
  return true;
}

bool ON_LineCurve::SetStartPoint(const ON_3dPoint& p) {
  m_line.from = p;
  return true;
}

bool ON_LineCurve::SetEndPoint(const ON_3dPoint& p) {
  m_line.to = p;
  return true;
}

// Arcs.

namespace {

// The angle at parameter t: t itself while the domain is the angle interval.
double angleAt(const ON_ArcCurve& c, double t) {
  if (c.m_t == c.m_arc.m_angle) return t;
  return c.m_arc.m_angle.ParameterAt(c.m_t.NormalizedParameterAt(t));
}

// The angle congruent to a that lies strictly between base and base + 2 pi (dir > 0) or
// base - 2 pi and base (dir < 0); false where a is base itself, turn for turn.
bool angleBeside(double a, double base, int dir, double* out) {
  const double turn = 2 * ON_PI;
  double moved = a + std::floor((base - a) / turn) * turn;
  if (dir > 0 && moved <= base) moved += turn;
  if (dir < 0 && moved >= base) moved -= turn;
  const double gap = dir > 0 ? moved - base : base - moved;
  // An end on the other end, give or take a rounding, leaves no arc or a whole turn.
  if (!(gap > ON_ZERO_TOLERANCE) || !(gap < turn - ON_ZERO_TOLERANCE)) return false;
  *out = moved;
  return true;
}

}  // namespace

bool ON_ArcCurve::IsValid(ON_TextLog*) const { return m_arc.IsValid() && kv::curve::usable(m_t); }

bool ON_ArcCurve::Transform(const ON_Xform& xform) {
  ON_Arc moved = m_arc;
  if (!moved.ON_Circle::Transform(xform)) return false;
  m_arc = moved;
  return true;
}

bool ON_ArcCurve::SetDomain(double t0, double t1) {
  if (!kv::curve::usable(ON_Interval(t0, t1))) return false;
  m_t = ON_Interval(t0, t1);
  return true;
}

bool ON_ArcCurve::Evaluate(double t, int derCount, double* v, int) const {
  if (derCount < 0 || !v || !IsValid() || !m_t.Includes(t)) return false;
  const double a = angleAt(*this, t), scale = m_arc.AngleRadians() / m_t.Length();
  const ON_3dVector x = m_arc.plane.xaxis * m_arc.radius, y = m_arc.plane.yaxis * m_arc.radius;
  const double c = std::cos(a), s = std::sin(a);
  // Each derivative turns the radius vector a quarter further on.
  ON_3dVector turned[4] = {x * c + y * s, y * c - x * s, ON_3dVector(), ON_3dVector()};
  turned[2] = -turned[0];
  turned[3] = -turned[1];
  put(v, m_arc.PointAt(a));
  double factor = 1;
  for (int k = 1; k <= derCount; ++k) {
    factor *= scale;
    put(v + 3 * k, turned[k % 4] * factor);
  }
  return true;
}

int ON_ArcCurve::GetNurbForm(ON_NurbsCurve& nurbs) const {
  if (!IsValid()) return 0;
  ON_NurbsCurve form;
  if (!m_arc.GetNurbForm(form)) return 0;
  if (!(m_t == m_arc.m_angle) && !form.SetDomain(m_t[0], m_t[1])) return 0;
  nurbs = form;
  return 2;
}

bool ON_ArcCurve::Trim(const ON_Interval& interval) {
  if (!IsValid() || !kv::curve::within(m_t, interval)) return false;
  const ON_Interval angles(angleAt(*this, interval[0]), angleAt(*this, interval[1]));
  if (!angles.IsIncreasing()) return false;
  m_arc.m_angle = angles;
  m_t = interval;
  return true;
}

bool ON_ArcCurve::SetStartPoint(const ON_3dPoint& p) {
  double a = 0, start = 0;
  if (!IsValid() || IsCircle() || !m_arc.ClosestPointTo(p, &a)) return false;
  if (!angleBeside(a, m_arc.m_angle[1], -1, &start)) return false;
  m_arc.m_angle[0] = start;
  return true;
}

bool ON_ArcCurve::SetEndPoint(const ON_3dPoint& p) {
  double a = 0, end = 0;
  if (!IsValid() || IsCircle() || !m_arc.ClosestPointTo(p, &a)) return false;
  if (!angleBeside(a, m_arc.m_angle[0], 1, &end)) return false;
  m_arc.m_angle[1] = end;
  return true;
}

// Polylines.

ON_PolylineCurve::ON_PolylineCurve(const ON_3dPointArray& points) : m_pline(points) {
  for (int i = 0; i < points.Count(); ++i) m_t.Append(double(i));
}

bool ON_PolylineCurve::IsValid(ON_TextLog*) const {
  if (m_pline.Count() < 2 || m_t.Count() != m_pline.Count() || !kv::breakpointsValid(m_t)) return false;
  for (const ON_3dPoint& p : m_pline)
    if (!p.IsValid()) return false;
  return true;
}

bool ON_PolylineCurve::Transform(const ON_Xform& xform) {
  ON_Polyline moved = m_pline;
  for (ON_3dPoint& p : moved) {
    p = xform * p;
    if (!p.IsValid()) return false;
  }
  m_pline = moved;
  return true;
}

ON_Interval ON_PolylineCurve::Domain() const {
  return m_t.Count() > 0 ? ON_Interval(m_t[0], m_t[m_t.Count() - 1]) : ON_Interval();
}

bool ON_PolylineCurve::SetDomain(double t0, double t1) {
  if (!kv::curve::usable(ON_Interval(t0, t1)) || !kv::breakpointsValid(m_t)) return false;
  kv::rescale(m_t, t0, t1);
  return true;
}

bool ON_PolylineCurve::Evaluate(double t, int derCount, double* v, int side) const {
  if (derCount < 0 || !v || m_t.Count() != m_pline.Count() || m_t.Count() < 2) return false;
  const int i = kv::pieceAt(m_t, t, side);
  if (i < 0) return false;
  const ON_Line piece(m_pline[i], m_pline[i + 1]);
  const ON_Interval span(m_t[i], m_t[i + 1]);
  if (!span.IsIncreasing()) return false;
  put(v, piece.PointAt(span.NormalizedParameterAt(t)));
  if (derCount >= 1) put(v + 3, piece.Direction() * (1.0 / span.Length()));
  kv::curve::zero(v, 2, derCount);
  return true;
}

int ON_PolylineCurve::GetNurbForm(ON_NurbsCurve& nurbs) const {
  if (!IsValid()) return 0;
  const int n = m_pline.Count();
  ON_NurbsCurve form;
  form.Create(3, false, 2, n);
  for (int i = 0; i < n; ++i) {
    form.SetCV(i, m_pline[i]);
    form.SetKnot(i, m_t[i]);
  }
  nurbs = form;
  return 1;
}

bool ON_PolylineCurve::Trim(const ON_Interval& interval) {
  if (!IsValid() || !kv::curve::within(Domain(), interval)) return false;
  ON_Polyline points;
  ON_SimpleArray<double> params;
  points.Append(PointAt(interval[0]));
  params.Append(interval[0]);
  for (int i = 0; i < m_t.Count(); ++i) {
    if (m_t[i] <= interval[0] || m_t[i] >= interval[1]) continue;
    points.Append(m_pline[i]);
    params.Append(m_t[i]);
  }
  points.Append(PointAt(interval[1]));
  params.Append(interval[1]);
  m_pline = points;
  m_t = params;
  return true;
}

bool ON_PolylineCurve::SetStartPoint(const ON_3dPoint& p) {
  if (m_pline.Count() < 1) return false;
  m_pline[0] = p;
  return true;
}

bool ON_PolylineCurve::SetEndPoint(const ON_3dPoint& p) {
  if (m_pline.Count() < 1) return false;
  m_pline[m_pline.Count() - 1] = p;
  return true;
}
