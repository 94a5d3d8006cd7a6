#include "host/curve_math.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace kv::curve {

BulgeArc bulgeArc(double x0, double y0, double x1, double y1, double bulge) {
  const double dx = x1 - x0, dy = y1 - y0;
  // The centre lies off the chord's midpoint, to the left for a positive bulge, by
  // chord * (1 - b^2) / (4b); the included angle is 4 atan(b).
  const double k = (1 - bulge * bulge) / (4 * bulge);
  BulgeArc a;
  a.cx = x0 + dx / 2 - dy * k;
  a.cy = y0 + dy / 2 + dx * k;
  a.radius = std::hypot(dx, dy) * (1 + bulge * bulge) / (4 * std::fabs(bulge));
  a.start = std::atan2(y0 - a.cy, x0 - a.cx);
  a.sweep = 4 * std::atan(bulge);
  return a;
}

double wrapAngle(double x) {
  double r = std::fmod(x, kTwoPi);
  if (r < 0) r += kTwoPi;
  return r >= kTwoPi ? 0.0 : r;  // fmod of a value just below a turn can round up to one
}

// ---------------------------------------------------------------------------------------------
// Integration

namespace {

// Gauss-Kronrod 7-15 on [-1, 1]: the Kronrod nodes (every second one is a Gauss node), their
// weights, and the Gauss weights of nodes 1, 3, 5 and 7.
constexpr double kNode[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                             0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                             0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                             0.207784955007898467600689403773245, 0.0};
constexpr double kKronrod[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
constexpr double kGauss[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                              0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

struct Estimate {
  double kronrod, gauss;
};

Estimate gaussKronrod(const std::function<double(double)>& f, double a, double b) {
  double c = 0.5 * (a + b), h = 0.5 * (b - a);
  double fc = f(c);
  double k = kKronrod[7] * fc, g = kGauss[3] * fc;
  for (int i = 0; i < 7; ++i) {
    double s = f(c - h * kNode[i]) + f(c + h * kNode[i]);
    k += kKronrod[i] * s;
    if (i % 2 == 1) g += kGauss[i / 2] * s;
  }
  return {k * h, g * h};
}

// The Gauss rule's distance from Kronrod's bounds the error of the Gauss rule; Kronrod's own
// is far below it, so halving until they agree leaves the sum well inside the tolerance. The
// budget of halvings ends the work on an integrand that never settles.
double adapt(const std::function<double(double)>& f, double a, double b, double tol, int& budget) {
  Estimate e = gaussKronrod(f, a, b);
  if (std::fabs(e.kronrod - e.gauss) <= tol || budget <= 0) return e.kronrod;
  --budget;
  double m = 0.5 * (a + b);
  return adapt(f, a, m, tol / 2, budget) + adapt(f, m, b, tol / 2, budget);
}

}  // namespace

double integrate(const std::function<double(double)>& f, double a, double b) {
  if (!(b > a)) return 0;
  Estimate first = gaussKronrod(f, a, b);
  double tol = std::max(1e-13 * std::fabs(first.kronrod), 1e-300);
  int budget = 4000;
  return adapt(f, a, b, tol, budget);
}

// ---------------------------------------------------------------------------------------------
// NURBS

namespace {

constexpr int kMaxDegree = 25;
using Basis = std::array<double, kMaxDegree + 1>;

// The span k (degree <= k < point count) with knots[k] <= u < knots[k + 1]; the last non-empty
// span for the domain's end.
size_t findSpan(const NurbsView& n, double u) {
  auto first = n.knots.begin() + n.degree, last = n.knots.begin() + std::ptrdiff_t(n.points.size());
  size_t k = size_t(std::upper_bound(first, last, u) - n.knots.begin());
  k = std::max(k, size_t(n.degree) + 1) - 1;
  while (k > size_t(n.degree) && n.knots[k] == n.knots[k + 1]) --k;
  return k;
}

// The deg + 1 basis functions of degree deg that do not vanish on span k, at u.
void basisFunctions(const std::vector<double>& knots, size_t k, double u, int deg, Basis& N) {
  Basis left{}, right{};
  N[0] = 1;
  for (int j = 1; j <= deg; ++j) {
    left[size_t(j)] = u - knots[k + 1 - size_t(j)];
    right[size_t(j)] = knots[k + size_t(j)] - u;
    double saved = 0;
    for (int r = 0; r < j; ++r) {
      double t = N[size_t(r)] / (right[size_t(r + 1)] + left[size_t(j - r)]);
      N[size_t(r)] = saved + right[size_t(r + 1)] * t;
      saved = left[size_t(j - r)] * t;
    }
    N[size_t(j)] = saved;
  }
}

// The derivatives of the basis functions of span k, from those of one degree lower.
void basisDerivatives(const std::vector<double>& knots, size_t k, double u, int p, Basis& dN) {
  Basis lower{};
  basisFunctions(knots, k, u, p - 1, lower);
  for (int j = 0; j <= p; ++j) {
    size_t i = k - size_t(p) + size_t(j);
    double a = knots[i + size_t(p)] - knots[i], b = knots[i + size_t(p) + 1] - knots[i + 1];
    double left = j >= 1 && a > 0 ? lower[size_t(j - 1)] / a : 0;
    double right = j < p && b > 0 ? lower[size_t(j)] / b : 0;
    dN[size_t(j)] = p * (left - right);
  }
}

double weightOf(const NurbsView& n, size_t i) { return n.weights.empty() ? 1.0 : n.weights[i]; }

bool finite(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

bool isValid(const NurbsView& n) {
  if (n.degree < 1 || n.degree > kMaxDegree) return false;
  size_t count = n.points.size();
  if (count < size_t(n.degree) + 1 || n.knots.size() != count + size_t(n.degree) + 1) return false;
  if (!n.weights.empty() && n.weights.size() != count) return false;
  for (size_t i = 0; i < n.knots.size(); ++i)
    if (!std::isfinite(n.knots[i]) || (i > 0 && n.knots[i] < n.knots[i - 1])) return false;
  for (double w : n.weights)
    if (!(w > 0) || !std::isfinite(w)) return false;
  if (!std::all_of(n.points.begin(), n.points.end(), finite)) return false;
  return startParam(n) < endParam(n);
}

AcGePoint3d pointAt(const NurbsView& n, double u, AcGeVector3d* derivative) {
  assert(isValid(n));
  size_t k = findSpan(n, u);
  int p = n.degree;
  Basis N{}, dN{};
  basisFunctions(n.knots, k, u, p, N);
  if (derivative) basisDerivatives(n.knots, k, u, p, dN);
  AcGeVector3d a, da;
  double w = 0, dw = 0;
  for (int j = 0; j <= p; ++j) {
    size_t i = k - size_t(p) + size_t(j);
    double wi = weightOf(n, i);
    AcGeVector3d pi = n.points[i].asVector() * wi;
    a += pi * N[size_t(j)];
    w += wi * N[size_t(j)];
    da += pi * dN[size_t(j)];
    dw += wi * dN[size_t(j)];
  }
  AcGeVector3d c = a * (1.0 / w);
  if (derivative) *derivative = (da - c * dw) * (1.0 / w);
  return AcGePoint3d(c.x, c.y, c.z);
}

double length(const NurbsView& n, double u0, double u1) {
  auto speed = [&n](double u) {
    AcGeVector3d d;
    pointAt(n, u, &d);
    return d.length();
  };
  double sum = 0;
  // Inside a span the curve is smooth; across knots it need not be.
  for (size_t k = size_t(n.degree); k < n.points.size(); ++k) {
    double a = std::max(u0, n.knots[k]), b = std::min(u1, n.knots[k + 1]);
    if (b > a) sum += integrate(speed, a, b);
  }
  return sum;
}

// ---------------------------------------------------------------------------------------------
// Boxes: each span as a rational Bezier curve, whose control points' hull holds it, split where
// their box pokes out beyond the points found on the curve.

namespace {

struct Homogeneous {
  double x = 0, y = 0, z = 0, w = 0;
  AcGePoint3d point() const { return AcGePoint3d(x / w, y / w, z / w); }
};

Homogeneous mix(const Homogeneous& a, const Homogeneous& b, double t) {
  double s = 1 - t;
  return {s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z, s * a.w + t * b.w};
}

using Bezier = std::vector<Homogeneous>;

// The blossom of span k at the degree arguments given: de Boor's scheme with one argument a level.
Homogeneous blossom(const NurbsView& n, size_t k, const std::vector<double>& args) {
  size_t p = size_t(n.degree);
  Bezier d(p + 1);
  for (size_t i = 0; i <= p; ++i) {
    double w = weightOf(n, k - p + i);
    const AcGePoint3d& q = n.points[k - p + i];
    d[i] = {q.x * w, q.y * w, q.z * w, w};
  }
  for (size_t r = 1; r <= p; ++r)
    for (size_t i = p; i >= r; --i) {
      double lo = n.knots[k - p + i], hi = n.knots[k + i + 1 - r];
      d[i] = mix(d[i - 1], d[i], (args[r - 1] - lo) / (hi - lo));
    }
  return d[p];
}

Bezier spanBezier(const NurbsView& n, size_t k) {
  size_t p = size_t(n.degree);
  Bezier out;
  for (size_t j = 0; j <= p; ++j) {
    std::vector<double> args(p, n.knots[k]);
    std::fill(args.begin() + std::ptrdiff_t(p - j), args.end(), n.knots[k + 1]);
    out.push_back(blossom(n, k, args));
  }
  return out;
}

void split(const Bezier& b, Bezier& left, Bezier& right) {
  Bezier level = b;
  left.assign(1, level.front());
  right.assign(1, level.back());
  while (level.size() > 1) {
    for (size_t i = 0; i + 1 < level.size(); ++i) level[i] = mix(level[i], level[i + 1], 0.5);
    level.pop_back();
    left.push_back(level.front());
    right.insert(right.begin(), level.back());
  }
}

AcDbExtents controlBox(const Bezier& b) {
  AcDbExtents box;
  for (const Homogeneous& h : b) box.addPoint(h.point());
  return box;
}

bool within(const AcDbExtents& box, const AcDbExtents& inner, double tol) {
  for (unsigned i = 0; i < 3; ++i)
    if (box.minPoint()[i] < inner.minPoint()[i] - tol || box.maxPoint()[i] > inner.maxPoint()[i] + tol) return false;
  return true;
}

}  // namespace

AcDbExtents extents(const NurbsView& n) {
  assert(isValid(n));
  std::vector<Bezier> todo;
  AcDbExtents inner, hull;  // points on the curve; the control points' box
  for (size_t k = size_t(n.degree); k < n.points.size(); ++k) {
    if (n.knots[k] == n.knots[k + 1]) continue;
    Bezier b = spanBezier(n, k);
    inner.addPoint(b.front().point());
    inner.addPoint(b.back().point());
    hull.addExt(controlBox(b));
    todo.push_back(std::move(b));
  }
  // Measured against the size and the place, so that roundings of a curve far from the origin
  // or of no size stay inside.
  double reach = 0;
  for (unsigned i = 0; i < 3; ++i)
    reach = std::max({reach, std::fabs(hull.minPoint()[i]), std::fabs(hull.maxPoint()[i])});
  double tol = 1e-9 * std::max(hull.minPoint().distanceTo(hull.maxPoint()), 1e-6 * reach);
  AcDbExtents outer;
  int budget = 20000;  // splits; past it every piece's control box is taken whole
  while (!todo.empty()) {
    Bezier piece = std::move(todo.back());
    todo.pop_back();
    AcDbExtents box = controlBox(piece);
    if (budget <= 0 || within(box, inner, tol)) {
      outer.addExt(box);
      continue;
    }
    --budget;
    Bezier left, right;
    split(piece, left, right);
    inner.addPoint(left.back().point());
    todo.push_back(std::move(left));
    todo.push_back(std::move(right));
  }
  return outer;
}

// ---------------------------------------------------------------------------------------------
// Interpolation: the clamped cubic with a knot at each fit point's parameter has two control
// points more than fit points; the end conditions fix them. Every equation ties at most three
// neighbouring control points, so the system is tridiagonal.

namespace {

struct Row {
  double below = 0, diagonal = 1, above = 0;
  AcGeVector3d rhs;
};

bool solveTridiagonal(std::vector<Row>& rows, std::vector<AcGePoint3d>& out) {
  for (size_t i = 1; i < rows.size(); ++i) {
    if (std::fabs(rows[i - 1].diagonal) < 1e-300) return false;
    double w = rows[i].below / rows[i - 1].diagonal;
    rows[i].diagonal -= w * rows[i - 1].above;
    rows[i].rhs -= rows[i - 1].rhs * w;
  }
  out.assign(rows.size(), AcGePoint3d());
  AcGeVector3d next;
  for (size_t i = rows.size(); i-- > 0;) {
    if (std::fabs(rows[i].diagonal) < 1e-300) return false;
    AcGeVector3d x = (rows[i].rhs - next * rows[i].above) * (1.0 / rows[i].diagonal);
    out[i] = AcGePoint3d(x.x, x.y, x.z);
    next = x;
  }
  return std::all_of(out.begin(), out.end(), finite);
}

// The equation at an end: the tangent there, or no second derivative. near and far are the
// parameter distances from the end to the first and second knots inside. At the end the row's
// unknowns run toward the end, so its coefficients are the start's mirrored.
Row endRow(const AcGeVector3d& tangent, double near, double far, bool atStart) {
  if (tangent.isZeroLength()) {
    double a = 1 / near, b = 1 / far;
    return atStart ? Row{a, -(a + b), b, {}} : Row{b, -(a + b), a, {}};
  }
  // A clamped cubic's end derivative is 3 (P1 - P0) / near; chord-length parameters give about
  // unit speed, so the tangent is taken with unit length.
  AcGeVector3d rhs = tangent.normal() * (near / 3);
  return atStart ? Row{-1, 1, 0, rhs} : Row{0, -1, 1, rhs};
}

}  // namespace

bool interpolate(const std::vector<AcGePoint3d>& fit, const AcGeVector3d& startTangent,
                 const AcGeVector3d& endTangent, Nurbs& out) {
  if (fit.size() < 2 || !std::all_of(fit.begin(), fit.end(), finite)) return false;
  size_t m = fit.size() - 1;
  std::vector<double> t(fit.size(), 0.0);
  for (size_t k = 1; k <= m; ++k) {
    double d = fit[k].distanceTo(fit[k - 1]);
    if (!(d > 0)) return false;
    t[k] = t[k - 1] + d;
  }
  Nurbs n;
  n.degree = 3;
  n.knots.assign(4, t[0]);
  n.knots.insert(n.knots.end(), t.begin() + 1, t.end() - 1);
  n.knots.insert(n.knots.end(), 4, t[m]);

  std::vector<Row> rows(m + 3);
  rows[0].rhs = fit[0].asVector();
  rows[1] = endRow(startTangent, n.knots[4] - t[0], n.knots[5] - t[0], true);
  for (size_t k = 1; k < m; ++k) {
    Basis N{};
    basisFunctions(n.knots, k + 3, t[k], 3, N);
    rows[k + 1] = {N[0], N[1], N[2], fit[k].asVector()};
  }
  rows[m + 1] = endRow(endTangent, t[m] - n.knots[m + 2], t[m] - n.knots[m + 1], false);
  rows[m + 2].rhs = fit[m].asVector();
  if (!solveTridiagonal(rows, n.points)) return false;
  out = std::move(n);
  return true;
}

}  // namespace kv::curve
