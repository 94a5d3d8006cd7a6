// The vocabulary's NURBS evaluation against Open CASCADE's B-splines on the same data: points
// and derivatives up to the third, within 1e-12 relative, over random curves and surfaces of
// degree 1 to 5, rational or not, clamped or not, with repeated knots, at knots from either
// side and between them.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <gtest/gtest.h>

#include "nurbs_random.h"
#include "opennurbs/opennurbs.h"

namespace {

constexpr double kRelative = 1e-12;

// Open CASCADE's distinct knots and multiplicities for one direction: the vocabulary's knots
// with the full vector's first and last value put back (a copy of the neighbouring knot).
struct OccKnots {
  std::vector<double> values;
  std::vector<int> mults;

  OccKnots(const double* knots, int count) {
    std::vector<double> full(knots, knots + count);
    full.insert(full.begin(), knots[0]);
    full.push_back(knots[count - 1]);
    for (double k : full) {
      if (!values.empty() && values.back() == k) {
        ++mults.back();
      } else {
        values.push_back(k);
        mults.push_back(1);
      }
    }
  }
  TColStd_Array1OfReal occValues() const {
    TColStd_Array1OfReal a(1, int(values.size()));
    for (size_t i = 0; i < values.size(); ++i) a.SetValue(int(i) + 1, values[i]);
    return a;
  }
  TColStd_Array1OfInteger occMults() const {
    TColStd_Array1OfInteger a(1, int(mults.size()));
    for (size_t i = 0; i < mults.size(); ++i) a.SetValue(int(i) + 1, mults[i]);
    return a;
  }
  // Open CASCADE's (1-based) indices of the span the vocabulary evaluates at t: above a
  // knot, or below it when side < 0, inside the domain at its ends.
  std::pair<int, int> span(double t, int side, const ON_Interval& domain) const {
    const bool below = (side < 0 && t > domain[0]) || t >= domain[1];
    auto it = below ? std::lower_bound(values.begin(), values.end(), t)
                    : std::upper_bound(values.begin(), values.end(), t);
    const int upper = int(it - values.begin());  // 0-based index of the span's upper knot
    return {upper, upper + 1};
  }
};

Handle(Geom_BSplineCurve) occCurve(const ON_NurbsCurve& c) {
  TColgp_Array1OfPnt poles(1, c.CVCount());
  TColStd_Array1OfReal weights(1, c.CVCount());
  for (int i = 0; i < c.CVCount(); ++i) {
    ON_3dPoint p;
    c.GetCV(i, p);
    poles.SetValue(i + 1, gp_Pnt(p.x, p.y, p.z));
    weights.SetValue(i + 1, c.Weight(i));
  }
  const OccKnots k(c.Knots(), c.KnotCount());
  return new Geom_BSplineCurve(poles, weights, k.occValues(), k.occMults(), c.Degree());
}

Handle(Geom_BSplineSurface) occSurface(const ON_NurbsSurface& s) {
  TColgp_Array2OfPnt poles(1, s.CVCount(0), 1, s.CVCount(1));
  TColStd_Array2OfReal weights(1, s.CVCount(0), 1, s.CVCount(1));
  for (int i = 0; i < s.CVCount(0); ++i)
    for (int j = 0; j < s.CVCount(1); ++j) {
      ON_3dPoint p;
      s.GetCV(i, j, p);
      poles.SetValue(i + 1, j + 1, gp_Pnt(p.x, p.y, p.z));
      weights.SetValue(i + 1, j + 1, s.Weight(i, j));
    }
  std::vector<double> ku, kv;
  for (int i = 0; i < s.KnotCount(0); ++i) ku.push_back(s.Knot(0, i));
  for (int i = 0; i < s.KnotCount(1); ++i) kv.push_back(s.Knot(1, i));
  const OccKnots u(ku.data(), int(ku.size())), v(kv.data(), int(kv.size()));
  return new Geom_BSplineSurface(poles, weights, u.occValues(), v.occValues(), u.occMults(), v.occMults(),
                                 s.Degree(0), s.Degree(1));
}

double worst = 0;  // the largest relative difference seen, for the record

void expectClose(const double* ours, const gp_XYZ& theirs, const char* what, double t) {
  const double diff = std::sqrt(std::pow(ours[0] - theirs.X(), 2) + std::pow(ours[1] - theirs.Y(), 2) +
                                std::pow(ours[2] - theirs.Z(), 2));
  const double rel = diff / std::max(1.0, theirs.Modulus());
  worst = std::max(worst, rel);
  EXPECT_LE(rel, kRelative) << what << " at " << t << ": ours (" << ours[0] << ", " << ours[1] << ", " << ours[2]
                            << ") theirs (" << theirs.X() << ", " << theirs.Y() << ", " << theirs.Z() << ")";
}

// Every knot from both sides, the ends, and a few parameters inside each span.
std::vector<std::pair<double, int>> samples(std::mt19937& rng, const std::vector<double>& knots) {
  std::vector<std::pair<double, int>> out;
  for (size_t i = 0; i < knots.size(); ++i) {
    out.push_back({knots[i], -1});
    out.push_back({knots[i], 1});
    if (i + 1 == knots.size()) break;
    for (int k = 0; k < 3; ++k)
      out.push_back({std::uniform_real_distribution<double>(knots[i], knots[i + 1])(rng), k - 1});
  }
  return out;
}

void compareCurve(std::mt19937& rng, const ON_NurbsCurve& c) {
  Handle(Geom_BSplineCurve) occ = occCurve(c);
  const OccKnots k(c.Knots(), c.KnotCount());
  const ON_Interval domain = c.Domain();
  ASSERT_DOUBLE_EQ(occ->FirstParameter(), domain[0]);
  ASSERT_DOUBLE_EQ(occ->LastParameter(), domain[1]);
  for (auto [t, side] : samples(rng, kvtest::breaks(c.Knots(), c.KnotCount(), domain))) {
    double v[12];
    ASSERT_TRUE(c.Evaluate(t, 3, v, side));
    const auto [from, to] = k.span(t, side, domain);
    gp_Pnt p;
    occ->LocalD0(t, from, to, p);
    expectClose(v, p.XYZ(), "point", t);
    for (int n = 1; n <= 3; ++n) expectClose(v + 3 * n, occ->LocalDN(t, from, to, n).XYZ(), "derivative", t);
  }
}

// Every partial of total order up to 3, at the grid of knots (span above, last at the end)
// and at random points.
void compareSurface(std::mt19937& rng, const ON_NurbsSurface& s) {
  Handle(Geom_BSplineSurface) occ = occSurface(s);
  std::vector<double> k[2];
  std::vector<double> params[2];
  for (int d = 0; d < 2; ++d) {
    for (int i = 0; i < s.KnotCount(d); ++i) k[d].push_back(s.Knot(d, i));
    params[d] = kvtest::breaks(k[d].data(), int(k[d].size()), s.Domain(d));
    std::uniform_real_distribution<double> inside(0, 1);
    for (int n = 0; n < 3; ++n) params[d].push_back(s.Domain(d).ParameterAt(inside(rng)));
  }
  const OccKnots ku(k[0].data(), int(k[0].size())), kv(k[1].data(), int(k[1].size()));
  for (double u : params[0])
    for (double v : params[1]) {
      double ours[30];
      ASSERT_TRUE(s.Evaluate(u, v, 3, ours));
      const auto [u1, u2] = ku.span(u, 0, s.Domain(0));
      const auto [v1, v2] = kv.span(v, 0, s.Domain(1));
      gp_Pnt p;
      occ->LocalD0(u, v, u1, u2, v1, v2, p);
      expectClose(ours, p.XYZ(), "point", u);
      for (int n = 1, at = 1; n <= 3; ++n)
        for (int j = 0; j <= n; ++j, ++at)
          expectClose(ours + 3 * at, occ->LocalDN(u, v, u1, u2, v1, v2, n - j, j).XYZ(), "partial", v);
    }
}

}  // namespace

TEST(NurbsAgainstOcc, CurvesOfEveryDegreeAndKnotShape) {
  std::mt19937 rng(20240611);
  int curves = 0;
  for (int degree = 1; degree <= 5; ++degree)
    for (int rational = 0; rational < 2; ++rational)
      for (int shape = 0; shape < 4; ++shape)
        for (int n = 0; n < 12; ++n) {
          const kvtest::KnotShape knots{(shape & 1) == 0, (shape & 2) == 0};
          const ON_NurbsCurve c = kvtest::randomCurve(rng, degree, rational != 0, knots);
          SCOPED_TRACE(testing::Message() << "degree " << degree << " rational " << rational << " shape " << shape);
          compareCurve(rng, c);
          ++curves;
          if (HasFatalFailure()) return;
        }
  RecordProperty("curves", curves);
  RecordProperty("worst", (testing::Message() << worst).GetString());
}

TEST(NurbsAgainstOcc, ArcFormsAreOpenCascadesCircles) {
  // The rational form of a circle, rebuilt by Open CASCADE, passes through the same points.
  const ON_Circle circle(ON_Plane(ON_3dPoint(3, -1, 2), ON_3dVector(1, 2, 2)), 4);
  for (double sweep : {0.3, ON_PI / 2, 2.0, 4.0, 2 * ON_PI}) {
    ON_NurbsCurve form;
    ASSERT_EQ(ON_Arc(circle, ON_Interval(-1, -1 + sweep)).GetNurbForm(form), 3);
    std::mt19937 rng(3);
    compareCurve(rng, form);
  }
}

TEST(NurbsAgainstOcc, SurfacesOfEveryDegreeAndKnotShape) {
  std::mt19937 rng(777);
  for (int du = 1; du <= 5; ++du)
    for (int dv = 1; dv <= 5; ++dv)
      for (int rational = 0; rational < 2; ++rational)
        for (int shape = 0; shape < 2; ++shape) {
          const int degree[2] = {du, dv};
          const ON_NurbsSurface s = kvtest::randomSurface(rng, degree, rational != 0, {shape == 0, shape == 0});
          SCOPED_TRACE(testing::Message() << "degrees " << du << ", " << dv << " rational " << rational << " shape "
                                          << shape);
          compareSurface(rng, s);
          if (HasFatalFailure()) return;
        }
  RecordProperty("worst", (testing::Message() << worst).GetString());
}
