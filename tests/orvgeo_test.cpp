// The maker's bilinear surfaces, and the four shape questions asked of curves of every class.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "opennurbs/opennurbs.h"
#include "orvgeo/orvgeo.h"
#include "orvgeo_shapes.h"

namespace {

using Points = std::vector<ON_3dPoint>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ON_NurbsCurve nurbs(int degree, const Points& cvs, const std::vector<double>& knots,
                    const std::vector<double>& weights = {}) {
  ON_NurbsCurve c;
  EXPECT_TRUE(c.Create(3, !weights.empty(), degree + 1, int(cvs.size())));
  EXPECT_EQ(c.KnotCount(), int(knots.size()));
  for (int i = 0; i < int(knots.size()); ++i) c.SetKnot(i, knots[size_t(i)]);
  for (int i = 0; i < int(cvs.size()); ++i) {
    c.SetCV(i, cvs[size_t(i)]);
    if (!weights.empty()) c.SetWeight(i, weights[size_t(i)]);
  }
  return c;
}

// Clamped, inner knots 1, 2, ... as our knot convention stores them.
ON_NurbsCurve clamped(int degree, const Points& cvs, const std::vector<double>& weights = {}) {
  std::vector<double> knots;
  const int spans = int(cvs.size()) - degree;
  for (int i = 0; i < degree; ++i) knots.push_back(0);
  for (int i = 1; i < spans; ++i) knots.push_back(i);
  for (int i = 0; i < degree; ++i) knots.push_back(spans);
  return nurbs(degree, cvs, knots, weights);
}

// The same curve run the other way.
ON_NurbsCurve reversed(const ON_NurbsCurve& c) {
  Points cvs;
  std::vector<double> knots, weights;
  for (int i = c.CVCount() - 1; i >= 0; --i) {
    ON_3dPoint p;
    c.GetCV(i, p);
    cvs.push_back(p);
    weights.push_back(c.Weight(i));
  }
  for (int i = c.KnotCount() - 1; i >= 0; --i) knots.push_back(-c.Knot(i));
  return nurbs(c.Degree(), cvs, knots, c.IsRational() ? weights : std::vector<double>{});
}

ON_NurbsCurve formOf(const ON_Circle& circle) {
  ON_NurbsCurve c;
  EXPECT_EQ(circle.GetNurbForm(c), 3);
  return c;
}

ON_NurbsCurve formOf(const ON_Arc& arc) {
  ON_NurbsCurve c;
  EXPECT_EQ(arc.GetNurbForm(c), 3);
  return c;
}

ON_Plane tilted(const ON_3dPoint& origin) {
  ON_3dVector normal(1, -2, 3);
  normal.Unitize();
  return ON_Plane(origin, normal);
}

double distance(const ON_3dVector& a, const ON_3dVector& b) { return (a - b).Length(); }

// Each question answers 0 and leaves its value as it was.
void expectNoShape(const ON_Curve* curve, bool polyline = false) {
  const ON_Line line0(ON_3dPoint(7, 7, 7), ON_3dPoint(8, 8, 8));
  const ON_Circle circle0(ON_3dPoint(5, 5, 5), 3);
  const ON_Arc arc0(circle0, 1.0);
  ON_Line line = line0;
  ON_Circle circle = circle0;
  ON_Arc arc = arc0;
  ON_Polyline pl;
  pl.Append(ON_3dPoint(9, 9, 9));
  EXPECT_EQ(ORVCurve::IsLine(curve, line), 0);
  EXPECT_EQ(ORVCurve::IsCircle(curve, circle), 0);
  EXPECT_EQ(ORVCurve::IsArc(curve, arc), 0);
  if (!polyline) {
    EXPECT_EQ(ORVCurve::IsPolyline(curve, pl), 0);
  }
  EXPECT_TRUE(line.from == line0.from && line.to == line0.to);
  EXPECT_TRUE(circle.Center() == circle0.Center() && circle.Radius() == circle0.Radius());
  EXPECT_TRUE(arc.Center() == arc0.Center() && arc.m_angle == arc0.m_angle);
  if (!polyline) {
    EXPECT_TRUE(pl.Count() == 1 && pl[0] == ON_3dPoint(9, 9, 9));
  }
}

void expectCorners(const ON_Curve& curve, const Points& expected, double eps = 1e-12) {
  ON_Polyline pl;
  ASSERT_EQ(ORVCurve::IsPolyline(&curve, pl), 1);
  ASSERT_EQ(pl.Count(), int(expected.size()));
  for (int i = 0; i < pl.Count(); ++i) EXPECT_LE(pl[i].DistanceTo(expected[size_t(i)]), eps) << "corner " << i;
  EXPECT_EQ(pl[0], curve.PointAtStart());
  EXPECT_EQ(pl[pl.Count() - 1], curve.PointAtEnd());
}

// The circle as filled: its centre, radius and normal (within eps relative), starting where
// the curve starts and heading where the curve heads.
void expectCircle(const ON_Circle& got, const ON_Curve& curve, const ON_3dPoint& centre, double radius,
                  const ON_3dVector& normal, double eps = 1e-12) {
  EXPECT_LE(got.Center().DistanceTo(centre), eps * radius);
  EXPECT_NEAR(got.Radius(), radius, eps * radius);
  EXPECT_LE(distance(got.Normal(), normal), eps);
  EXPECT_LE(got.PointAt(0).DistanceTo(curve.PointAtStart()), 1e-12 * radius);
  EXPECT_GT(ON_DotProduct(got.TangentAt(0), curve.TangentAt(curve.Domain()[0])), 0.999);
}

}  // namespace

// --- Surfaces ---------------------------------------------------------------------------------

TEST(OrvNurbsSurface, QuadIsBilinearThroughItsCorners) {
  const ON_3dPoint a(0, 0, 0), b(4, 0, 1), c(5, 3, 2), d(-1, 2, 0);
  ON_NurbsSurface s;
  ASSERT_EQ(ORVNurbsSurface::CreateQuad(s, a, b, c, d), 1);
  for (int dir = 0; dir < 2; ++dir) {
    EXPECT_EQ(s.Degree(dir), 1);
    EXPECT_EQ(s.CVCount(dir), 2);
    ASSERT_EQ(s.KnotCount(dir), 2);
    EXPECT_EQ(s.Knot(dir, 0), 0.0);
    EXPECT_EQ(s.Knot(dir, 1), 1.0);
  }
  EXPECT_FALSE(s.IsRational());
  EXPECT_TRUE(s.IsValid());
  EXPECT_EQ(s.PointAt(0, 0), a);
  EXPECT_EQ(s.PointAt(1, 0), b);
  EXPECT_EQ(s.PointAt(1, 1), c);
  EXPECT_EQ(s.PointAt(0, 1), d);
  ON_3dPoint mid = s.PointAt(0.5, 0.5);
  EXPECT_NEAR(mid.x, (a.x + b.x + c.x + d.x) / 4, 1e-15);
  EXPECT_NEAR(mid.y, (a.y + b.y + c.y + d.y) / 4, 1e-15);
  EXPECT_NEAR(mid.z, (a.z + b.z + c.z + d.z) / 4, 1e-15);
}

TEST(OrvNurbsSurface, TriangleCollapsesItsLastEdgeOntoTheThirdCorner) {
  const ON_3dPoint a(1, 1, 1), b(3, 1, 1), c(2, 4, 1);
  ON_NurbsSurface s;
  ASSERT_EQ(ORVNurbsSurface::CreateTriangle(s, a, b, c), 1);
  EXPECT_EQ(s.Degree(0), 1);
  EXPECT_EQ(s.Degree(1), 1);
  EXPECT_EQ(s.PointAt(0, 0), a);
  EXPECT_EQ(s.PointAt(1, 0), b);
  EXPECT_EQ(s.PointAt(0, 1), c);
  EXPECT_EQ(s.PointAt(1, 1), c);
  // The middle of the domain: half way from the middle of ab to c.
  ON_3dPoint mid = s.PointAt(0.5, 0.5);
  EXPECT_NEAR(mid.x, 0.25 * a.x + 0.25 * b.x + 0.5 * c.x, 1e-15);
  EXPECT_NEAR(mid.y, 0.25 * a.y + 0.25 * b.y + 0.5 * c.y, 1e-15);
}

TEST(OrvNurbsSurface, CornersNotFiniteLeaveTheSurfaceAsItWas) {
  const ON_3dPoint a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(0, 1, 0);
  const ON_3dPoint bad[] = {ON_3dPoint(kNaN, 0, 0), ON_3dPoint(0, kInf, 0), ON_3dPoint(0, 0, -kInf)};
  ON_NurbsSurface s;
  ASSERT_EQ(ORVNurbsSurface::CreateQuad(s, a, b, c, d), 1);
  for (const ON_3dPoint& x : bad) {
    EXPECT_EQ(ORVNurbsSurface::CreateQuad(s, a, b, c, x), 0);
    EXPECT_EQ(ORVNurbsSurface::CreateQuad(s, x, b, c, d), 0);
    EXPECT_EQ(ORVNurbsSurface::CreateTriangle(s, a, x, c), 0);
    EXPECT_EQ(ORVNurbsSurface::CreateTriangle(s, a, b, x), 0);
  }
  EXPECT_EQ(s.PointAt(1, 1), c);
  EXPECT_EQ(s.PointAt(0, 1), d);
  ON_NurbsSurface empty;
  EXPECT_EQ(ORVNurbsSurface::CreateTriangle(empty, a, b, bad[0]), 0);
  EXPECT_EQ(empty.CVCount(0), 0);
}

// --- Lines ------------------------------------------------------------------------------------

TEST(OrvCurveLine, StraightCurvesOfEveryClassAreLines) {
  const ON_3dPoint a(1, 2, 3), b(4, -2, 8);
  const ON_3dVector ab = b - a;
  ON_LineCurve lineCurve(a, b);
  ON_3dPointArray points;
  for (double s : {0.0, 0.1, 0.7, 1.0}) points.Append(a + ab * s);
  ON_PolylineCurve straightPolyline(points);
  ON_PolyCurve poly;
  poly.Append(new ON_LineCurve(a, a + ab * 0.25));
  poly.Append(new ON_LineCurve(a + ab * 0.25, b));
  const ON_Curve* curves[] = {&lineCurve, &straightPolyline, &poly};
  for (const ON_Curve* c : curves) {
    EXPECT_EQ(shapesOf(c), "L..P");
    ON_Line line;
    ASSERT_EQ(ORVCurve::IsLine(c, line), 1);
    EXPECT_EQ(line.from, a);
    EXPECT_EQ(line.to, b);
  }
  expectCorners(lineCurve, {a, b});
  expectCorners(straightPolyline, {points[0], points[1], points[2], points[3]});
  expectCorners(poly, {a, a + ab * 0.25, b});
}

TEST(OrvCurveLine, NurbsOfEveryDegreeWithCollinearPointsRunningOneWayAreLines) {
  const ON_3dPoint a(-3, 1, 2);
  const ON_3dVector dir(2, 1, -1);
  const std::vector<double> steps = {0, 0.05, 0.3, 0.31, 0.9, 1.7, 2.0};  // uneven, never back
  for (int degree = 1; degree <= 5; ++degree) {
    for (bool rational : {false, true}) {
      SCOPED_TRACE(testing::Message() << "degree " << degree << (rational ? " rational" : ""));
      Points cvs;
      std::vector<double> weights;
      for (size_t i = 0; i < steps.size(); ++i) {
        cvs.push_back(a + dir * steps[i]);
        if (rational) weights.push_back(0.3 + 0.4 * double(i % 3));
      }
      ON_NurbsCurve c = clamped(degree, cvs, weights);
      ON_Line line;
      ASSERT_EQ(ORVCurve::IsLine(&c, line), 1);
      EXPECT_LE(line.from.DistanceTo(cvs.front()), 1e-14);
      EXPECT_LE(line.to.DistanceTo(cvs.back()), 1e-13);
      EXPECT_EQ(shapesOf(&c), "L..P");
      // A line is also a polyline: the corners of degree 1 are its control points.
      if (degree == 1) expectCorners(c, cvs);
      else expectCorners(c, {cvs.front(), cvs.back()});
    }
  }
}

TEST(OrvCurveLine, CollinearCurvesDoublingBackAreNotLines) {
  const ON_3dPoint a(0, 0, 0), b(5, 0, 0);
  // On the x axis throughout, but going to 3, back to -1, then to 1.
  ON_NurbsCurve cubic = clamped(3, {a, ON_3dPoint(3, 0, 0), ON_3dPoint(-1, 0, 0), ON_3dPoint(1, 0, 0)});
  ON_PolyCurve outAndBack;
  outAndBack.Append(new ON_LineCurve(a, b));
  outAndBack.Append(new ON_LineCurve(b, ON_3dPoint(2, 0, 0)));
  EXPECT_EQ(shapesOf(&cubic), "....");
  EXPECT_EQ(shapesOf(&outAndBack), "...P");
  expectCorners(outAndBack, {a, b, ON_3dPoint(2, 0, 0)});
  // Back and forth between its ends: 0 to 3, back to 1, on to 4.
  ON_NurbsCurve within = clamped(1, {a, ON_3dPoint(3, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(4, 0, 0)});
  EXPECT_EQ(shapesOf(&within), "...P");
  expectCorners(within, {a, ON_3dPoint(3, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(4, 0, 0)});
  // A closed straight polyline has no length between its ends.
  ON_PolyCurve there(outAndBack);
  there.Append(new ON_LineCurve(ON_3dPoint(2, 0, 0), a));
  EXPECT_EQ(shapesOf(&there), "...P");
}

TEST(OrvCurveLine, TheToleranceIsRelativeToTheCurvesSize) {
  // A cubic Bezier along x whose two inner points leave the axis by h bulges by 3/4 h in the
  // middle; the size is the length. Bent by so little it is no arc either: the arc's centre
  // would lie some 4e7 lengths away.
  for (double scale : {1e-6, 1.0, 1e6}) {
    const double length = 10 * scale, tol = ORVCurve::kTolerance * length;
    for (double times : {0.3, 3.0}) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << " bulge " << times << " tol");
      const double h = times * tol / 0.75;
      ON_NurbsCurve c = clamped(3, {ON_3dPoint(0, 0, 0), ON_3dPoint(length / 3, h, 0),
                                    ON_3dPoint(2 * length / 3, h, 0), ON_3dPoint(length, 0, 0)});
      EXPECT_EQ(shapesOf(&c), times < 1 ? "L..P" : "....");
    }
  }
}

TEST(OrvCurveLine, FarFromTheOriginTheCoordinatesRoundingSetsTheTolerance) {
  // Survey coordinates: shapes a hundredth across, ten million units out. Their points are
  // rounded to about 2e-9, far more than a billionth of their size.
  const ON_3dPoint far(1e7, -1e7, 3e6);
  ON_3dVector normal(0.3, -0.2, 1);
  normal.Unitize();
  const ON_Circle circle(ON_Plane(far, normal), 0.01);
  ON_ArcCurve arcCurve(circle);
  ON_NurbsCurve form = formOf(ON_Arc(circle, ON_Interval(0.2, 1.2)));
  EXPECT_EQ(shapesOf(&arcCurve), ".CA.");
  EXPECT_EQ(shapesOf(&form), "..A.");
  // A cubic bulging by a multiple of that rounding (see TheToleranceIsRelativeToTheCurvesSize):
  // bulging more, it is no line but, within the tolerance, the arc of radius about 29 through
  // its ends and middle.
  const double rounding = ORVCurve::kRounding * 1e7, length = 0.01;
  for (double times : {0.3, 3.0}) {
    const double h = times * rounding / 0.75;
    ON_NurbsCurve c = clamped(3, {far, far + ON_3dVector(length / 3, 0, h), far + ON_3dVector(2 * length / 3, 0, h),
                                  far + ON_3dVector(length, 0, 0)});
    EXPECT_EQ(shapesOf(&c), times < 1 ? "L..P" : "..A.") << times;
  }
}

// --- Circles and arcs -------------------------------------------------------------------------

TEST(OrvCurveCircle, WholeCirclesOfEveryClassAreCirclesStartingWhereTheCurveStarts) {
  const ON_3dPoint centre(2, -1, 4);
  const ON_Circle circle(tilted(centre), 3.5);
  ON_ArcCurve arcCurve(circle);
  ON_NurbsCurve form = formOf(circle);
  ON_NurbsCurve back = reversed(form);
  ON_NurbsCurve rescaled = form;
  ASSERT_TRUE(rescaled.SetDomain(-1, 5));
  ON_PolyCurve halves;
  halves.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(0, ON_PI))));
  halves.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(ON_PI, 2 * ON_PI))));
  struct Case {
    const ON_Curve* curve;
    double sense;
  } cases[] = {{&arcCurve, 1}, {&form, 1}, {&back, -1}, {&rescaled, 1}, {&halves, 1}};
  for (const Case& k : cases) {
    EXPECT_EQ(shapesOf(k.curve), ".CA.");
    ON_Circle got;
    ASSERT_EQ(ORVCurve::IsCircle(k.curve, got), 1);
    expectCircle(got, *k.curve, centre, 3.5, circle.Normal() * k.sense);
    ON_Arc arc;
    ASSERT_EQ(ORVCurve::IsArc(k.curve, arc), 1);
    EXPECT_EQ(arc.AngleRadians(), 2 * ON_PI);
    EXPECT_TRUE(arc.IsCircle());
  }
}

TEST(OrvCurveCircle, ArcsOfEveryClassKeepTheirEndsAndSweep) {
  const ON_3dPoint centre(-4, 0.5, 1);
  const ON_Circle circle(tilted(centre), 0.75);
  const ON_Interval sweeps[] = {{0.2, 1.9}, {-0.5, 0.5}, {1, 1 + 1e-3}, {0.3, 0.3 + 1.9 * ON_PI}};
  for (const ON_Interval& angles : sweeps) {
    SCOPED_TRACE(testing::Message() << "angles " << angles[0] << " to " << angles[1]);
    const ON_Arc source(circle, angles);
    ON_ArcCurve arcCurve(source);
    ON_NurbsCurve form = formOf(source);
    ON_NurbsCurve back = reversed(form);
    struct Case {
      const ON_Curve* curve;
      double sense;
    } cases[] = {{&arcCurve, 1}, {&form, 1}, {&back, -1}};
    // A short arc's centre is known only to its points' rounding over the square of its sweep;
    // its ends stay exact.
    const double eps = std::max(1e-12, 1e-14 / (angles.Length() * angles.Length()));
    for (const Case& k : cases) {
      EXPECT_EQ(shapesOf(k.curve), "..A.");
      ON_Arc arc;
      ASSERT_EQ(ORVCurve::IsArc(k.curve, arc), 1);
      expectCircle(arc, *k.curve, centre, 0.75, circle.Normal() * k.sense, eps);
      EXPECT_NEAR(arc.AngleRadians(), angles.Length(), eps * angles.Length());
      EXPECT_EQ(arc.m_angle[0], 0.0);
      EXPECT_LE(arc.StartPoint().DistanceTo(k.curve->PointAtStart()), 1e-12);
      EXPECT_LE(arc.EndPoint().DistanceTo(k.curve->PointAtEnd()), 1e-12);
    }
  }
}

TEST(OrvCurveCircle, CurvesGoingRoundMoreThanOnceOrBackAreNeither) {
  const ON_Circle circle(ON_3dPoint(1, 1, 1), 2);
  // Once and a half round, then twice round exactly.
  ON_PolyCurve overlapping;
  overlapping.Append(new ON_ArcCurve(circle));
  overlapping.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(0, ON_PI))));
  ON_PolyCurve twice;
  twice.Append(new ON_ArcCurve(circle));
  twice.Append(new ON_ArcCurve(circle));
  // A quarter out, then back the way it came.
  ON_PolyCurve outAndBack;
  outAndBack.Append(new ON_NurbsCurve(formOf(ON_Arc(circle, ON_Interval(0, ON_PI / 2)))));
  outAndBack.Append(new ON_NurbsCurve(reversed(formOf(ON_Arc(circle, ON_Interval(ON_PI / 4, ON_PI / 2))))));
  for (const ON_Curve* c : {(const ON_Curve*)&overlapping, (const ON_Curve*)&twice, (const ON_Curve*)&outAndBack}) {
    EXPECT_EQ(shapesOf(c), "....");
  }
}

TEST(OrvCurveCircle, OnTheCirclesSphereButOffItsPlaneIsNoArc) {
  // Half round in the x-y plane, then a sixth of a turn up over the same sphere: every point
  // at the radius from the centre of the first half's circle.
  const double r = 3;
  ON_PolyCurve overTheTop;
  overTheTop.Append(new ON_ArcCurve(ON_Arc(ON_Circle(ON_3dPoint(0, 0, 0), r), ON_Interval(0, ON_PI))));
  const ON_Plane upright(ON_3dPoint(0, 0, 0), ON_3dVector(-1, 0, 0), ON_3dVector(0, 0, 1));
  overTheTop.Append(new ON_ArcCurve(ON_Arc(ON_Circle(upright, r), ON_Interval(0, ON_PI / 3))));
  ASSERT_LE(overTheTop.SegmentCurve(1)->PointAtStart().DistanceTo(ON_3dPoint(-r, 0, 0)), 1e-15);
  EXPECT_EQ(shapesOf(&overTheTop), "....");
}

TEST(OrvCurveCircle, ArcsTooFlatForTheirCentreToHoldThemAreNone) {
  // Arcs a unit and a half long: on a radius of ten thousand an arc, on a radius of a million
  // none, its centre so far that rounding it moves the points by about the tolerance. Both
  // bulge far more than the tolerance, so neither is a line.
  for (double radius : {1e4, 1e6}) {
    const double sweep = 1.5 / radius;
    ON_ArcCurve flat(ON_Arc(ON_Circle(ON_3dPoint(0, -radius, 0), radius), ON_Interval(ON_PI / 2, ON_PI / 2 + sweep)));
    EXPECT_EQ(shapesOf(&flat), radius < 1e5 ? "..A." : "....") << radius;
  }
}

TEST(OrvCurveCircle, ControlPointsMovedJustPastTheToleranceSpoilTheCircle) {
  // Moving the corner control point of the first quarter outwards by h bulges the curve's
  // middle of that quarter by h w / (1 + w), w = sqrt(1/2). The size of a circle in the x-y
  // plane is the diagonal of its box, 2 sqrt(2) r.
  const double r = 2, tol = ORVCurve::kTolerance * 2 * std::sqrt(2.0) * r, w = std::sqrt(0.5);
  const ON_3dVector out(std::sqrt(0.5), std::sqrt(0.5), 0);
  for (double times : {0.3, 3.0}) {
    SCOPED_TRACE(testing::Message() << times << " tol");
    ON_NurbsCurve c = formOf(ON_Circle(ON_3dPoint(0, 0, 0), r));
    ON_3dPoint corner;
    c.GetCV(1, corner);
    c.SetCV(1, corner + out * (times * tol * (1 + w) / w));
    EXPECT_EQ(shapesOf(&c), times < 1 ? ".CA." : "....");
  }
  // Weights scaled by 1, s, s^2 keep a rational quadratic span's points but crowd its
  // parameter at one end (the second span's scaled alike keeps its points): the first quarter
  // of a half circle bulging at its middle is still seen. The half circle's box is 2r by r.
  const double halfTol = ORVCurve::kTolerance * std::sqrt(5.0) * r;
  for (double crowd : {1.0, 1e3}) {
    SCOPED_TRACE(testing::Message() << "crowded by " << crowd);
    ON_NurbsCurve half = formOf(ON_Arc(ON_Circle(ON_3dPoint(0, 0, 0), r), ON_Interval(0, ON_PI)));
    ASSERT_EQ(half.CVCount(), 5);
    ON_3dPoint corner;
    half.GetCV(1, corner);
    for (double times : {0.3, 3.0}) {
      ON_NurbsCurve c = half;
      c.SetCV(1, corner + out * (times * halfTol * (1 + w) / w));
      for (int i = 1; i < 5; ++i) c.SetWeight(i, c.Weight(i) * (i == 1 ? crowd : crowd * crowd));
      EXPECT_EQ(shapesOf(&c), times < 1 ? "..A." : "....") << times;
    }
  }
  // A gap between the ends makes an arc of a nearly whole circle.
  ON_NurbsCurve open = formOf(ON_Arc(ON_Circle(ON_3dPoint(0, 0, 0), r), ON_Interval(0, 2 * ON_PI - 1e-6)));
  EXPECT_EQ(shapesOf(&open), "..A.");
  ON_Arc arc;
  ASSERT_EQ(ORVCurve::IsArc(&open, arc), 1);
  EXPECT_NEAR(arc.AngleRadians(), 2 * ON_PI - 1e-6, 1e-12);
}

TEST(OrvCurveCircle, EllipsesAreCirclesOnlyWithinTheTolerance) {
  // The circle through three points of an ellipse of radii r and r (1 + e) misses it by about
  // 2 e r; the size is 2 sqrt(2) r.
  for (double e : {1e-11, 1e-8}) {
    ON_Ellipse ellipse(ON_Plane::World_xy, 1, 1 + e);
    ON_NurbsCurve c;
    ASSERT_EQ(ellipse.GetNurbForm(c), 3);
    EXPECT_EQ(shapesOf(&c), e < 1e-9 ? ".CA." : "....") << e;
  }
  ON_Ellipse flat(tilted(ON_3dPoint(1, 2, 3)), 3, 1);
  ON_NurbsCurve c;
  ASSERT_EQ(flat.GetNurbForm(c), 3);
  expectNoShape(&c);
}

// --- Polylines --------------------------------------------------------------------------------

TEST(OrvCurvePolyline, CornersOfPolylineCurvesAndDegreeOneNurbs) {
  const Points square = {{0, 0, 0}, {2, 0, 0}, {2, 2, 1}, {0, 2, 1}, {0, 0, 0}};
  ON_3dPointArray points;
  for (const ON_3dPoint& p : square) points.Append(p);
  ON_PolylineCurve closed(points);
  expectCorners(closed, square);
  expectNoShape(&closed, true);
  // Repeated control points: duplicates are left out, the end kept.
  ON_NurbsCurve repeated = clamped(1, {square[0], square[1], square[1], square[2], square[3], square[3]});
  expectCorners(repeated, {square[0], square[1], square[2], square[3]});
  // Weights move the parameter along each side, not the sides.
  ON_NurbsCurve weighted = clamped(1, square, {1, 3, 0.5, 2, 1});
  expectCorners(weighted, square);
  EXPECT_EQ(shapesOf(&weighted), "...P");
}

TEST(OrvCurvePolyline, PolycurvesOfStraightPiecesJoinTheirCorners) {
  const ON_3dPoint a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(1, 1, 1), e(3, 1, 1);
  ON_3dPointArray bcd;
  bcd.Append(b);
  bcd.Append(c);
  bcd.Append(d);
  ON_PolyCurve poly;
  poly.Append(new ON_LineCurve(a, b));
  poly.Append(new ON_PolylineCurve(bcd));
  poly.Append(new ON_NurbsCurve(clamped(3, {d, d + (e - d) * 0.2, d + (e - d) * 0.5, e})));
  expectCorners(poly, {a, b, c, d, e});
  expectNoShape(&poly, true);
  // One round piece spoils it.
  ON_PolyCurve rounded(poly);
  rounded.Append(new ON_ArcCurve(ON_Arc(ON_Circle(e + ON_3dVector(0, 1, 0), 1), ON_Interval(1.5 * ON_PI, 2 * ON_PI))));
  ASSERT_LE(rounded.SegmentCurve(3)->PointAtStart().DistanceTo(e), 1e-15);
  expectNoShape(&rounded);
}

TEST(OrvCurvePolyline, PolycurvesAreShapesOverAnyDomainButNotAcrossAGap) {
  const ON_3dPoint a(0, 0, 0), b(1, 0, 0), c(1, 2, 0), d(4, 2, 0);
  ON_PolyCurve bent;
  bent.Append(new ON_LineCurve(a, b));
  bent.Append(new ON_LineCurve(b, c));
  bent.Append(new ON_LineCurve(c, d));
  ASSERT_TRUE(bent.SetDomain(10, 10.5));  // the segments keep their own domains
  expectCorners(bent, {a, b, c, d});
  // A segment's own joint lands where the polycurve's parameter maps it.
  ON_PolyCurve jointed;
  jointed.Append(new ON_LineCurve(ON_3dPoint(0, -1, 0), a));
  jointed.Append(new ON_NurbsCurve(nurbs(3, {a, {0.5, 0, 0}, {0.7, 0, 0}, b, {1, 1, 0}, {1, 1.5, 0}, c},
                                         {0, 0, 0, 1, 1, 1, 2, 2, 2})));
  ASSERT_TRUE(jointed.SetDomain(0, 100));
  expectCorners(jointed, {ON_3dPoint(0, -1, 0), a, b, c});
  const ON_Circle circle(ON_3dPoint(0, 0, 1), 2);
  ON_PolyCurve round;
  round.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(0, 1))));
  round.Append(new ON_NurbsCurve(formOf(ON_Arc(circle, ON_Interval(1, 2.5)))));
  ASSERT_TRUE(round.SetDomain(-3, 7));
  ON_Arc arc;
  ASSERT_EQ(ORVCurve::IsArc(&round, arc), 1);
  EXPECT_NEAR(arc.AngleRadians(), 2.5, 1e-12);
  // The same pieces with a gap between them, straight or round, are no shape at all.
  ON_PolyCurve gappedLine;
  gappedLine.Append(new ON_LineCurve(a, b));
  gappedLine.Append(new ON_LineCurve(ON_3dPoint(2, 0, 0), ON_3dPoint(3, 0, 0)));
  expectNoShape(&gappedLine);
  ON_PolyCurve gappedArc;
  gappedArc.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(0, 1))));
  gappedArc.Append(new ON_ArcCurve(ON_Arc(circle, ON_Interval(1.5, 2.5))));
  expectNoShape(&gappedArc);
}

TEST(OrvCurvePolyline, HigherDegreesAreStraightBetweenJointsAndKinks) {
  const ON_3dPoint a(0, 0, 0), b(2, 0, 0), c(2, 3, 0);
  // Cubic, the middle knot of full multiplicity: a joint.
  ON_NurbsCurve jointed = nurbs(3, {a, {0.5, 0, 0}, {1.5, 0, 0}, b, {2, 1, 0}, {2, 2.5, 0}, c},
                                {0, 0, 0, 1, 1, 1, 2, 2, 2});
  expectCorners(jointed, {a, b, c});
  // A joint on the way straight on stays a corner, as a polycurve's joints do.
  ON_NurbsCurve straightOn = nurbs(3, {a, {0.5, 0, 0}, {1.5, 0, 0}, b, {3, 0, 0}, {3.5, 0, 0}, {5, 0, 0}},
                                   {0, 0, 0, 1, 1, 1, 2, 2, 2});
  expectCorners(straightOn, {a, b, {5, 0, 0}});
  // Quadratic with a simple knot where the control polygon stops: the curve halts there and
  // turns, a kink though the parameter is smooth.
  ON_NurbsCurve kinked = nurbs(2, {a, b, b, c}, {0, 0, 1, 2, 2});
  expectCorners(kinked, {a, b, c});
  // Long straight runs with kinks at simple knots: each kink found exactly.
  Points staircase;
  for (int i = 0; i <= 40; ++i) staircase.push_back(ON_3dPoint(i, 0, 0));
  for (int i = 0; i <= 25; ++i) staircase.push_back(ON_3dPoint(40, i, 0));
  for (int i = 0; i <= 3; ++i) staircase.push_back(ON_3dPoint(40, 25, i));
  expectCorners(clamped(2, staircase), {a, {40, 0, 0}, {40, 25, 0}, {40, 25, 3}});
  // Straight on through simple knots: no corner in between.
  ON_NurbsCurve through = clamped(2, {a, {0.5, 0, 0}, {1, 0, 0}, {1.2, 0, 0}, b});
  expectCorners(through, {a, b});
  // The same cubic with its joint bent round: no polyline.
  ON_NurbsCurve bent = nurbs(3, {a, {0.5, 0, 0}, {1.5, 0.5, 0}, b, {2, 1, 0}, {2, 2.5, 0}, c},
                             {0, 0, 0, 1, 1, 1, 2, 2, 2});
  expectNoShape(&bent);
}

// --- Curves of every degree that are no shape, and curves that are no curve --------------------

TEST(OrvCurveNone, WavyCurvesOfEveryDegreeAreNoShapeButDegreeOneIsAPolyline) {
  Points zigzag;
  for (int i = 0; i < 8; ++i) zigzag.push_back(ON_3dPoint(i, i % 2, 0.1 * i * i));
  for (int degree = 1; degree <= 5; ++degree) {
    for (bool rational : {false, true}) {
      SCOPED_TRACE(testing::Message() << "degree " << degree << (rational ? " rational" : ""));
      std::vector<double> weights;
      if (rational)
        for (int i = 0; i < 8; ++i) weights.push_back(1 + 0.25 * i);
      ON_NurbsCurve c = clamped(degree, zigzag, weights);
      expectNoShape(&c, degree == 1);
      if (degree == 1) expectCorners(c, zigzag);
    }
  }
}

TEST(OrvCurveNone, NullEmptyPointlikeAndNonFiniteCurvesAreNoShape) {
  expectNoShape(nullptr);
  ON_NurbsCurve empty;
  expectNoShape(&empty);
  const ON_3dPoint p(1, 2, 3);
  ON_LineCurve point(p, p);
  expectNoShape(&point);
  ON_NurbsCurve pointlike = clamped(3, {p, p, p, p});
  expectNoShape(&pointlike);
  ON_3dPointArray same;
  same.Append(p);
  same.Append(p);
  ON_PolylineCurve stuck(same);
  expectNoShape(&stuck);
  // Values that are not finite reach a curve only through its public members; a curve too
  // large to measure counts with them.
  for (double bad : {kNaN, kInf}) {
    ON_LineCurve line(p, ON_3dPoint(4, 5, 6));
    line.m_line.to.y = bad;
    expectNoShape(&line);
    ON_3dPointArray points;
    points.Append(p);
    points.Append(ON_3dPoint(bad, 0, 0));
    points.Append(ON_3dPoint(4, 5, 6));
    ON_PolylineCurve polyline(points);
    expectNoShape(&polyline);
    ON_ArcCurve arc(ON_Circle(p, 2));
    arc.m_arc.radius = bad;
    expectNoShape(&arc);
  }
  ON_NurbsCurve huge = clamped(3, {{-1.5e308, 0, 0}, {-0.5e308, 0, 0}, {0.5e308, 0, 0}, {1.5e308, 0, 0}});
  ASSERT_TRUE(huge.PointAtStart().IsValid());
  expectNoShape(&huge);
}
