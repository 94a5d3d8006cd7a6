// NURBS surfaces of the vocabulary: storage, the order of the partials, validity and
// transforms. Evaluation itself is checked against Open CASCADE in nurbs_occ_test.cpp.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "nurbs_random.h"
#include "opennurbs/opennurbs.h"

namespace {

void expectNear(const ON_3dPoint& a, const ON_3dPoint& b, double tol) {
  EXPECT_LE(a.DistanceTo(b), tol) << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                  << ", " << b.z << ")";
}

ON_3dVector at(const double* v, int i) { return {v[3 * i], v[3 * i + 1], v[3 * i + 2]}; }

// Degree 1 by 2 over [0, 2] x [1, 3]: S(s, t) = (s, t, s * t) exactly.
ON_NurbsSurface saddle() {
  ON_NurbsSurface s;
  s.Create(3, false, 2, 3, 2, 3);
  s.SetKnot(0, 0, 0);
  s.SetKnot(0, 1, 2);
  for (int i = 0; i < 4; ++i) s.SetKnot(1, i, i < 2 ? 1 : 3);
  // z = s t is bilinear; along t a quadratic Bezier with the middle point at t = 2.
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) {
      const double u = 2.0 * i, v = 1.0 + j;
      s.SetCV(i, j, ON_3dPoint(u, v, u * v));
    }
  return s;
}

}  // namespace

TEST(OnNurbsSurface, CreateAndStorage) {
  ON_NurbsSurface s;
  EXPECT_FALSE(s.Create(2, false, 2, 2, 2, 2));
  EXPECT_FALSE(s.Create(3, false, 1, 2, 2, 2));
  EXPECT_FALSE(s.Create(3, false, 2, 3, 2, 2));
  EXPECT_EQ(s.KnotCount(0), 0);
  ASSERT_TRUE(s.Create(3, false, 3, 2, 4, 5));
  EXPECT_EQ(s.KnotCount(0), 5);
  EXPECT_EQ(s.KnotCount(1), 5);
  EXPECT_EQ(s.Order(0), 3);
  EXPECT_EQ(s.Degree(1), 1);
  EXPECT_EQ(s.CVCount(1), 5);
  EXPECT_FALSE(s.IsValid());  // knots all zero: no domain
  s.SetCV(3, 4, ON_3dPoint(1, 2, 3));
  ASSERT_TRUE(s.SetWeight(3, 4, 2));
  EXPECT_TRUE(s.IsRational());
  ON_3dPoint p;
  ON_4dPoint h;
  ASSERT_TRUE(s.GetCV(3, 4, p));
  EXPECT_EQ(p, ON_3dPoint(1, 2, 3));
  s.GetCV(3, 4, h);
  EXPECT_EQ(h.z, 6);
  // The neighbour along v is another point.
  s.GetCV(3, 3, p);
  EXPECT_EQ(p, ON_3dPoint(0, 0, 0));
  EXPECT_EQ(s.Weight(3, 3), 1);
  EXPECT_FALSE(s.SetWeight(0, 0, 0));
  EXPECT_FALSE(s.SetCV(0, 0, ON_4dPoint(1, 1, 1, -1)));
}

TEST(OnNurbsSurface, PartialsComeInTotalOrder) {
  const ON_NurbsSurface s = saddle();
  ASSERT_TRUE(s.IsValid());
  EXPECT_EQ(s.Domain(0), ON_Interval(0, 2));
  EXPECT_EQ(s.Domain(1), ON_Interval(1, 3));
  double v[30];
  ASSERT_TRUE(s.Evaluate(0.5, 2.5, 3, v));
  const double u = 0.5, w = 2.5;
  expectNear(ON_3dPoint(v[0], v[1], v[2]), ON_3dPoint(u, w, u * w), 1e-15);
  expectNear(ON_3dPoint() + at(v, 1), ON_3dPoint(1, 0, w), 1e-15);   // Ds
  expectNear(ON_3dPoint() + at(v, 2), ON_3dPoint(0, 1, u), 1e-15);   // Dt
  expectNear(ON_3dPoint() + at(v, 3), ON_3dPoint(0, 0, 0), 1e-15);   // Dss
  expectNear(ON_3dPoint() + at(v, 4), ON_3dPoint(0, 0, 1), 1e-15);   // Dst
  expectNear(ON_3dPoint() + at(v, 5), ON_3dPoint(0, 0, 0), 1e-15);   // Dtt
  for (int i = 6; i < 10; ++i) expectNear(ON_3dPoint() + at(v, i), ON_3dPoint(0, 0, 0), 1e-15);
  expectNear(s.PointAt(2, 3), ON_3dPoint(2, 3, 6), 0);
  EXPECT_FALSE(s.Evaluate(2.1, 2, 0, v));
  EXPECT_FALSE(s.Evaluate(1, 0.9, 0, v));
  EXPECT_TRUE(std::isnan(s.PointAt(-1, 2).x));
}

TEST(OnNurbsSurface, RationalWeightsPullAndKnotsMustRise) {
  ON_NurbsSurface s = saddle();
  const ON_3dPoint before = s.PointAt(1, 2);
  ASSERT_TRUE(s.SetWeight(1, 1, 5));
  const ON_3dPoint after = s.PointAt(1, 2);
  ON_3dPoint pull;
  s.GetCV(1, 1, pull);
  EXPECT_LT(after.DistanceTo(pull), before.DistanceTo(pull));
  s.SetKnot(1, 2, 0.5);
  EXPECT_FALSE(s.IsValid());
  s.SetKnot(1, 2, 3);
  EXPECT_TRUE(s.IsValid());
}

TEST(OnNurbsSurface, TransformsAsHomogeneousPoints) {
  std::mt19937 rng(29);
  const int degree[2] = {3, 2};
  const ON_NurbsSurface s = kvtest::randomSurface(rng, degree, true, {true, true});
  ON_Xform projective;
  projective[0][2] = 0.3;
  projective[2][3] = -1;
  projective[3][1] = 0.02;
  ON_NurbsSurface moved = s;
  ASSERT_TRUE(moved.Transform(projective));
  for (double a : {0.0, 0.3, 1.0})
    for (double b : {0.0, 0.6, 1.0}) {
      const double u = s.Domain(0).ParameterAt(a), v = s.Domain(1).ParameterAt(b);
      expectNear(moved.PointAt(u, v), projective * s.PointAt(u, v), 1e-12);
    }
  ON_Xform collapse;
  collapse[3][3] = 0;
  ON_NurbsSurface kept = s;
  EXPECT_FALSE(kept.Transform(collapse));
  EXPECT_EQ(kept.PointAt(s.Domain(0)[0], s.Domain(1)[0]), s.PointAt(s.Domain(0)[0], s.Domain(1)[0]));
  ON_NurbsSurface plain = saddle();
  ASSERT_TRUE(plain.Translate(ON_3dVector(1, 1, 1)));
  EXPECT_FALSE(plain.IsRational());
  expectNear(plain.PointAt(2, 3), ON_3dPoint(3, 4, 7), 1e-15);
}
