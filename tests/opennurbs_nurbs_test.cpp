// The vocabulary's NURBS curves: their storage conventions, knot insertion and trimming (the
// curve unchanged where it is kept), periodic and closed curves, transforms, and the rational
// forms of circles, arcs and ellipses. Evaluation itself is checked against Open CASCADE in
// nurbs_occ_test.cpp.
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

// Point and derivatives up to the third agree at t, each relative to its own size. Rounding
// in the control points grows by a short span's reciprocal length with each derivative, so
// their tolerance grows with the order.
void expectSameCurveAt(const ON_Curve& a, const ON_Curve& b, double t, int side, double tol) {
  double va[12], vb[12];
  ASSERT_TRUE(a.Evaluate(t, 3, va, side)) << t;
  ASSERT_TRUE(b.Evaluate(t, 3, vb, side)) << t;
  for (int k = 0; k < 4; ++k) {
    const ON_3dVector x(va[3 * k], va[3 * k + 1], va[3 * k + 2]), y(vb[3 * k], vb[3 * k + 1], vb[3 * k + 2]);
    EXPECT_LE((x - y).Length(), tol * std::pow(30.0, k) * std::max(1.0, x.Length()))
        << "t " << t << " derivative " << k;
  }
}

std::vector<ON_3dPoint> squarePoints() { return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 2, 1}}; }

// A periodic cubic: six free points and the first three again, uniform knots.
ON_NurbsCurve periodicCubic() {
  ON_NurbsCurve c;
  c.Create(3, false, 4, 9);
  const ON_3dPoint free[6] = {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {2, 3, 1}, {0, 3, 0}, {-1, 1, 0}};
  for (int i = 0; i < 9; ++i) c.SetCV(i, free[i % 6]);
  for (int i = 0; i < c.KnotCount(); ++i) c.SetKnot(i, i - 2.0);
  return c;
}

}  // namespace

TEST(OnNurbsCurve, CreateClampedUniformKnots) {
  const std::vector<ON_3dPoint> pts = squarePoints();
  ON_NurbsCurve c;
  ASSERT_TRUE(c.CreateClampedUniformNurbs(3, 4, 4, pts.data()));
  ASSERT_EQ(c.KnotCount(), 6);
  const double cubic[] = {0, 0, 0, 1, 1, 1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.Knot(i), cubic[i]);
  ASSERT_TRUE(c.CreateClampedUniformNurbs(3, 3, 5, pts.data(), 2.0));
  const double quadratic[] = {0, 0, 2, 4, 6, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.Knot(i), quadratic[i]);
  EXPECT_EQ(c.Domain(), ON_Interval(0, 6));
  EXPECT_TRUE(c.IsClamped());
  EXPECT_FALSE(c.IsRational());
  EXPECT_EQ(c.PointAtEnd(), pts[4]);
  // Refusals leave the curve as it was.
  EXPECT_FALSE(c.CreateClampedUniformNurbs(3, 4, 3, pts.data()));
  EXPECT_FALSE(c.CreateClampedUniformNurbs(2, 2, 3, pts.data()));
  EXPECT_FALSE(c.CreateClampedUniformNurbs(3, 1, 3, pts.data()));
  EXPECT_FALSE(c.CreateClampedUniformNurbs(3, 2, 3, pts.data(), 0.0));
  EXPECT_FALSE(c.CreateClampedUniformNurbs(3, 2, 3, nullptr));
  EXPECT_EQ(c.Order(), 3);
  EXPECT_EQ(c.CVCount(), 5);
}

TEST(OnNurbsCurve, WeightsAndEuclideanPoints) {
  ON_NurbsCurve c;
  ASSERT_TRUE(c.Create(3, false, 2, 3));
  c.SetCV(1, ON_3dPoint(1, 2, 3));
  EXPECT_EQ(c.Weight(1), 1.0);
  ASSERT_TRUE(c.SetWeight(1, 4));
  EXPECT_TRUE(c.IsRational());
  ON_3dPoint p;
  ON_4dPoint h;
  ASSERT_TRUE(c.GetCV(1, p));
  EXPECT_EQ(p, ON_3dPoint(1, 2, 3));
  c.GetCV(1, h);
  EXPECT_EQ(h.x, 4);
  EXPECT_EQ(h.w, 4);
  // Setting the point keeps the weight.
  c.SetCV(1, ON_3dPoint(2, 2, 2));
  EXPECT_EQ(c.Weight(1), 4);
  c.GetCV(1, h);
  EXPECT_EQ(h.y, 8);
  EXPECT_FALSE(c.SetWeight(1, 0));
  EXPECT_FALSE(c.SetWeight(1, -1));
  EXPECT_FALSE(c.MakeNonRational());
  // A homogeneous point of weight 1 on a plain curve keeps it plain.
  ON_NurbsCurve plain;
  plain.Create(3, false, 2, 2);
  plain.SetCV(0, ON_4dPoint(1, 1, 1, 1));
  EXPECT_FALSE(plain.IsRational());
  plain.SetCV(1, ON_4dPoint(2, 2, 2, 2));
  EXPECT_TRUE(plain.IsRational());
}

TEST(OnNurbsCurve, EqualWeightsComeOutWithoutChangingTheCurve) {
  std::mt19937 rng(5);
  ON_NurbsCurve c = kvtest::randomCurve(rng, 3, false, {});
  const ON_NurbsCurve before = c;
  ASSERT_TRUE(c.MakeRational());
  for (int i = 0; i < c.CVCount(); ++i) c.SetWeight(i, 2.5);
  const ON_Interval d = c.Domain();
  for (double s : {0.0, 0.3, 0.77, 1.0}) expectSameCurveAt(c, before, d.ParameterAt(s), 0, 1e-13);
  ASSERT_TRUE(c.MakeNonRational());
  EXPECT_FALSE(c.IsRational());
  for (int i = 0; i < c.CVCount(); ++i) {
    ON_4dPoint h;
    c.GetCV(i, h);
    EXPECT_EQ(h.w, 1.0);
  }
  for (double s : {0.0, 0.3, 0.77, 1.0}) expectSameCurveAt(c, before, d.ParameterAt(s), 0, 1e-13);
}

TEST(OnNurbsCurve, BezierDerivativesByHand) {
  // P(t) = (1-t)^3 P0 + 3t(1-t)^2 P1 + 3t^2(1-t) P2 + t^3 P3 on [2, 4], so d/dt carries 1/2.
  const ON_3dPoint p[4] = {{0, 0, 0}, {1, 3, 0}, {3, 3, 1}, {4, 0, 2}};
  ON_NurbsCurve c;
  ASSERT_TRUE(c.CreateClampedUniformNurbs(3, 4, 4, p, 2.0));
  ASSERT_EQ(c.Domain(), ON_Interval(0, 2));
  ASSERT_TRUE(c.SetDomain(2, 4));
  const double s = 0.25, t = 2.5;
  double v[15];
  ASSERT_TRUE(c.Evaluate(t, 4, v));
  for (int k = 0; k < 3; ++k) {
    const double a = p[0][k], b = p[1][k], cc = p[2][k], d = p[3][k];
    const double point = (1 - s) * (1 - s) * (1 - s) * a + 3 * s * (1 - s) * (1 - s) * b + 3 * s * s * (1 - s) * cc +
                         s * s * s * d;
    const double first = 3 * ((1 - s) * (1 - s) * (b - a) + 2 * s * (1 - s) * (cc - b) + s * s * (d - cc));
    const double second = 6 * ((1 - s) * (cc - 2 * b + a) + s * (d - 2 * cc + b));
    const double third = 6 * (d - 3 * cc + 3 * b - a);
    EXPECT_NEAR(v[k], point, 1e-14);
    EXPECT_NEAR(v[3 + k], first / 2, 1e-14);
    EXPECT_NEAR(v[6 + k], second / 4, 1e-14);
    EXPECT_NEAR(v[9 + k], third / 8, 1e-14);
    EXPECT_EQ(v[12 + k], 0.0);
  }
  EXPECT_FALSE(c.Evaluate(4.0001, 0, v));
  EXPECT_FALSE(c.Evaluate(1.9999, 0, v));
  EXPECT_FALSE(c.Evaluate(3, -1, v));
  EXPECT_FALSE(ON_NurbsCurve().Evaluate(0, 0, v));
}

TEST(OnNurbsCurve, SidesAtAKinkedKnot) {
  // A quadratic with its middle knot held twice passes through the middle point with a kink.
  ON_NurbsCurve c;
  c.Create(3, false, 3, 5);
  const ON_3dPoint p[5] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {2, 2, 0}};
  for (int i = 0; i < 5; ++i) c.SetCV(i, p[i]);
  const double k[] = {0, 0, 1, 1, 2, 2};
  for (int i = 0; i < 6; ++i) c.SetKnot(i, k[i]);
  ASSERT_TRUE(c.IsValid());
  double below[6], above[6];
  ASSERT_TRUE(c.Evaluate(1, 1, below, -1));
  ASSERT_TRUE(c.Evaluate(1, 1, above, 1));
  EXPECT_EQ(ON_3dPoint(below[0], below[1], below[2]), p[2]);
  EXPECT_EQ(ON_3dPoint(above[0], above[1], above[2]), p[2]);
  EXPECT_EQ(ON_3dVector(below[3], below[4], below[5]), ON_3dVector(2, 0, 0));
  EXPECT_EQ(ON_3dVector(above[3], above[4], above[5]), ON_3dVector(0, 2, 0));
  // A knot held more than the degree times breaks the curve.
  c.SetKnot(3, 1);
  c.SetKnot(4, 1);
  EXPECT_FALSE(c.IsValid());
}

TEST(OnNurbsCurve, TrimKeepsTheCurveWhereItIsKept) {
  std::mt19937 rng(11);
  for (int degree = 1; degree <= 5; ++degree)
    for (int shape = 0; shape < 4; ++shape) {
      const ON_NurbsCurve c = kvtest::randomCurve(rng, degree, shape % 2 == 1, {shape < 2, shape % 3 == 0});
      const ON_Interval d = c.Domain();
      // A random piece, a piece between existing knots, and the whole domain.
      const std::vector<double> b = kvtest::breaks(c.Knots(), c.KnotCount(), d);
      std::uniform_real_distribution<double> at(0, 0.45);
      const ON_Interval pieces[] = {ON_Interval(d.ParameterAt(at(rng)), d.ParameterAt(1 - at(rng))),
                                    ON_Interval(b.front(), b.size() > 2 ? b[1] : b.back()), d};
      for (const ON_Interval& piece : pieces) {
        SCOPED_TRACE(testing::Message() << "degree " << degree << " shape " << shape << " [" << piece[0] << ", "
                                        << piece[1] << "]");
        ON_NurbsCurve trimmed = c;
        ASSERT_TRUE(trimmed.Trim(piece));
        EXPECT_TRUE(trimmed.IsValid());
        EXPECT_TRUE(trimmed.IsClamped());
        EXPECT_EQ(trimmed.Domain(), piece);
        EXPECT_EQ(trimmed.KnotCount(), trimmed.Order() + trimmed.CVCount() - 2);
        // At the piece's ends the original may turn a corner: compare the side kept.
        for (double s : {0.0, 0.2, 0.5, 0.9, 1.0})
          expectSameCurveAt(trimmed, c, piece.ParameterAt(s), s == 1.0 ? -1 : 1, 1e-11);
      }
    }
}

TEST(OnNurbsCurve, TrimRefusesWhatIsNotInside) {
  const std::vector<ON_3dPoint> pts = squarePoints();
  ON_NurbsCurve c;
  c.CreateClampedUniformNurbs(3, 3, 5, pts.data());
  EXPECT_FALSE(c.Trim(ON_Interval(-0.5, 1)));
  EXPECT_FALSE(c.Trim(ON_Interval(2, 1)));
  EXPECT_FALSE(c.Trim(ON_Interval(1, 1)));
  EXPECT_EQ(c.CVCount(), 5);
}

TEST(OnNurbsCurve, InsertKnotChangesNothingButTheKnots) {
  std::mt19937 rng(13);
  for (int degree = 2; degree <= 5; ++degree) {
    const ON_NurbsCurve c = kvtest::randomCurve(rng, degree, degree % 2 == 0, {false, true});
    const ON_Interval d = c.Domain();
    ON_NurbsCurve more = c;
    const double t = d.ParameterAt(0.37);
    ASSERT_TRUE(more.InsertKnot(t, degree));
    EXPECT_EQ(more.CVCount(), c.CVCount() + degree);
    int held = 0;
    for (int i = 0; i < more.KnotCount(); ++i) held += more.Knot(i) == t;
    EXPECT_EQ(held, degree);
    for (double s : {0.0, 0.3, 0.37, 0.6, 1.0}) {
      expectSameCurveAt(more, c, d.ParameterAt(s), -1, 1e-11);
      expectSameCurveAt(more, c, d.ParameterAt(s), 1, 1e-11);
    }
    // Raising to what it holds adds nothing; beyond the degree or the domain is refused.
    ASSERT_TRUE(more.InsertKnot(t, 1));
    EXPECT_EQ(more.CVCount(), c.CVCount() + degree);
    EXPECT_FALSE(more.InsertKnot(d.ParameterAt(0.5), degree + 1));
    EXPECT_FALSE(more.InsertKnot(d[1] + 0.1, 1));
    EXPECT_FALSE(more.InsertKnot(d[1], 0));
  }
}

TEST(OnNurbsCurve, SetDomainIsAnAffineReparametrisation) {
  std::mt19937 rng(17);
  const ON_NurbsCurve c = kvtest::randomCurve(rng, 3, true, {false, false});
  const ON_Interval d = c.Domain();
  ON_NurbsCurve moved = c;
  ASSERT_TRUE(moved.SetDomain(10, 10.5));
  EXPECT_EQ(moved.Domain(), ON_Interval(10, 10.5));
  const double speed = d.Length() / 0.5;
  for (double s : {0.0, 0.4, 1.0}) {
    double a[9], b[9];
    ASSERT_TRUE(c.Evaluate(d.ParameterAt(s), 2, a));
    ASSERT_TRUE(moved.Evaluate(ON_Interval(10, 10.5).ParameterAt(s), 2, b));
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(b[i], a[i], 1e-12 * std::max(1.0, std::fabs(a[i])));
      EXPECT_NEAR(b[3 + i], a[3 + i] * speed, 1e-11 * std::max(1.0, std::fabs(b[3 + i])));
      EXPECT_NEAR(b[6 + i], a[6 + i] * speed * speed, 1e-11 * std::max(1.0, std::fabs(b[6 + i])));
    }
  }
  EXPECT_FALSE(moved.SetDomain(1, 0));
}

TEST(OnNurbsCurve, PeriodicClosedAndClamped) {
  ON_NurbsCurve c = periodicCubic();
  ASSERT_TRUE(c.IsValid());
  EXPECT_TRUE(c.IsPeriodic());
  EXPECT_TRUE(c.IsClosed());
  EXPECT_FALSE(c.IsClamped());
  expectNear(c.PointAtStart(), c.PointAtEnd(), 1e-14);
  // Uneven steps at the ends, or a repeated point moved, and it is no longer periodic.
  ON_NurbsCurve steps = c;
  steps.SetKnot(0, -2.5);
  EXPECT_FALSE(steps.IsPeriodic());
  ON_NurbsCurve moved = c;
  moved.SetCV(8, ON_3dPoint(3, 1, 1e-9));
  EXPECT_FALSE(moved.IsPeriodic());
  EXPECT_FALSE(moved.IsClosed());
  // Trimmed to its domain it is clamped and closed, no longer periodic.
  ASSERT_TRUE(c.Trim(c.Domain()));
  EXPECT_TRUE(c.IsClamped());
  EXPECT_FALSE(c.IsPeriodic());
  EXPECT_TRUE(c.IsClosed());
  // A curve of one point is not closed.
  ON_NurbsCurve point;
  const ON_3dPoint same[3] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
  point.CreateClampedUniformNurbs(3, 2, 3, same);
  EXPECT_FALSE(point.IsClosed());
}

TEST(OnNurbsCurve, TransformsAsHomogeneousPoints) {
  std::mt19937 rng(19);
  const ON_NurbsCurve c = kvtest::randomCurve(rng, 3, false, {});
  ON_Xform projective;
  projective[0][1] = 0.5;
  projective[1][3] = 2;
  projective[3][0] = 0.01;
  projective[3][3] = 1.2;
  ON_NurbsCurve moved = c;
  ASSERT_TRUE(moved.Transform(projective));
  EXPECT_TRUE(moved.IsRational());
  const ON_Interval d = c.Domain();
  for (double s : {0.0, 0.25, 0.5, 1.0}) {
    const double t = d.ParameterAt(s);
    expectNear(moved.PointAt(t), projective * c.PointAt(t), 1e-12);
  }
  // Affine maps keep a plain curve plain; one weight pushed through zero is refused.
  ON_NurbsCurve shifted = c;
  ASSERT_TRUE(shifted.Translate(ON_3dVector(1, 2, 3)));
  EXPECT_FALSE(shifted.IsRational());
  ON_Xform flip;
  flip[3][0] = 1;
  ON_NurbsCurve kept = c;
  EXPECT_FALSE(kept.Transform(flip));
  expectNear(kept.PointAtStart(), c.PointAtStart(), 0);
}

TEST(OnNurbsCurve, MovingAnEndClampsFirst) {
  ON_NurbsCurve c = periodicCubic();
  const ON_3dPoint end = c.PointAtEnd(), middle = c.PointAt(c.Domain().ParameterAt(0.5));
  ASSERT_TRUE(c.SetStartPoint(ON_3dPoint(9, 9, 9)));
  EXPECT_TRUE(c.IsClamped());
  EXPECT_EQ(c.PointAtStart(), ON_3dPoint(9, 9, 9));
  expectNear(c.PointAtEnd(), end, 1e-13);
  expectNear(c.PointAt(c.Domain().ParameterAt(0.5)), middle, 1e-13);
  ASSERT_TRUE(c.SetEndPoint(ON_3dPoint(-1, -1, -1)));
  EXPECT_EQ(c.PointAtEnd(), ON_3dPoint(-1, -1, -1));
}

TEST(OnArcForms, CircleHasNinePointsAndQuarterKnots) {
  const ON_Circle circle(ON_Plane(ON_3dPoint(1, 2, 3), ON_3dVector(-1, 2, 0.5)), 3);
  ON_NurbsCurve form;
  ASSERT_EQ(circle.GetNurbForm(form), 3);
  EXPECT_EQ(form.CVCount(), 9);
  EXPECT_EQ(form.Order(), 3);
  EXPECT_TRUE(form.IsRational());
  const double knots[] = {0, 0, ON_PI / 2, ON_PI / 2, ON_PI, ON_PI, 1.5 * ON_PI, 1.5 * ON_PI, 2 * ON_PI, 2 * ON_PI};
  ASSERT_EQ(form.KnotCount(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(form.Knot(i), knots[i]);
  EXPECT_TRUE(form.IsClosed());
  for (int i = 0; i < 10; i += 2) expectNear(form.PointAt(knots[i]), circle.PointAt(knots[i]), 1e-14 * 3);
  EXPECT_EQ(ON_Circle(ON_3dPoint(), -1).GetNurbForm(form), 0);
  EXPECT_EQ(form.CVCount(), 9);
}

TEST(OnArcForms, EveryPointLiesOnTheCircle) {
  const ON_Circle circle(ON_Plane(ON_3dPoint(-4, 2, 1), ON_3dVector(0.2, 0.1, 1)), 2.5);
  for (ON_Interval angles : {ON_Interval(0.1, 0.2), ON_Interval(0, ON_PI / 2), ON_Interval(1, 1 + ON_PI / 2 + 1e-6),
                             ON_Interval(-1, 1), ON_Interval(2, 5), ON_Interval(-3, -3 + 2 * ON_PI - 0.01)}) {
    const ON_Arc arc(circle, angles);
    ON_NurbsCurve form;
    ASSERT_EQ(arc.GetNurbForm(form), 3);
    const int spans = (form.CVCount() - 1) / 2;
    EXPECT_EQ(spans, int(std::ceil(angles.Length() / (ON_PI / 2))));
    EXPECT_EQ(form.Domain(), angles);
    expectNear(form.PointAtStart(), arc.StartPoint(), 1e-14 * 2.5);
    expectNear(form.PointAtEnd(), arc.EndPoint(), 1e-14 * 2.5);
    for (int i = 0; i < form.KnotCount(); ++i)
      expectNear(form.PointAt(form.Knot(i)), circle.PointAt(form.Knot(i)), 1e-14 * 2.5);
    for (int i = 0; i <= 200; ++i) {
      const ON_3dPoint p = form.PointAt(angles.ParameterAt(i / 200.0));
      double u = 0, v = 0;
      circle.plane.ClosestPointTo(p, &u, &v);
      EXPECT_NEAR(std::hypot(u, v), 2.5, 1e-14 * 2.5);
      EXPECT_NEAR(ON_DotProduct(p - circle.Center(), circle.Normal()), 0, 1e-14 * 2.5);
    }
  }
  ON_NurbsCurve form;
  EXPECT_EQ(ON_Arc(circle, ON_Interval(1, 0)).GetNurbForm(form), 0);
}

TEST(OnArcForms, EllipseIsTheStretchedCircle) {
  const ON_Ellipse ellipse(ON_Plane(ON_3dPoint(1, 1, 1), ON_3dVector(1, 1, 0), ON_3dVector(-1, 1, 1)), 5, 2);
  ON_NurbsCurve form;
  ASSERT_EQ(ellipse.GetNurbForm(form), 3);
  EXPECT_EQ(form.CVCount(), 9);
  EXPECT_TRUE(form.IsClosed());
  for (int i = 0; i < form.KnotCount(); ++i)
    expectNear(form.PointAt(form.Knot(i)), ellipse.PointAt(form.Knot(i)), 1e-14 * 5);
  for (int i = 0; i <= 200; ++i) {
    double u = 0, v = 0;
    ellipse.plane.ClosestPointTo(form.PointAt(form.Domain().ParameterAt(i / 200.0)), &u, &v);
    EXPECT_NEAR((u / 5) * (u / 5) + (v / 2) * (v / 2), 1, 1e-14);
  }
  EXPECT_EQ(ON_Ellipse(ON_Plane::World_xy, 1, 0).GetNurbForm(form), 0);
}

TEST(OnArcForms, ArcCurveFormFollowsItsDomain) {
  const ON_Arc arc(ON_Circle(ON_3dPoint(0, 0, 0), 2), ON_Interval(0.5, 2.5));
  ON_ArcCurve curve(arc);
  curve.SetDomain(0, 1);
  ON_NurbsCurve form;
  ASSERT_EQ(curve.GetNurbForm(form), 2);
  EXPECT_EQ(form.Domain(), ON_Interval(0, 1));
  expectNear(form.PointAtStart(), curve.PointAtStart(), 1e-14);
  expectNear(form.PointAtEnd(), curve.PointAtEnd(), 1e-14);
  ON_ArcCurve circle(ON_Circle(ON_3dPoint(0, 0, 0), 2));
  ASSERT_EQ(circle.GetNurbForm(form), 2);
  EXPECT_TRUE(form.IsClosed());
}
