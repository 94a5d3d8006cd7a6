// The host's curves: values at parameters and lengths against closed forms, the arbitrary-axis
// rule, extents, transforms, copies, the open protocol and spline data.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/curves.h"
#include "host_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double deg(double d) { return d * kPi / 180; }

void expectPoint(const AcGePoint3d& got, const AcGePoint3d& want, double tol = 1e-12) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}

void expectBox(const AcDbEntity& e, const AcGePoint3d& lo, const AcGePoint3d& hi, double tol = 1e-12) {
  AcDbExtents box;
  ASSERT_EQ(e.getGeomExtents(box), Acad::eOk);
  expectPoint(box.minPoint(), lo, tol);
  expectPoint(box.maxPoint(), hi, tol);
}

AcGePoint3d at(const AcDbCurve& c, double param) {
  AcGePoint3d p;
  EXPECT_EQ(c.getPointAtParam(param, p), Acad::eOk) << param;
  return p;
}

double distAt(const AcDbCurve& c, double param) {
  double d = -1;
  EXPECT_EQ(c.getDistAtParam(param, d), Acad::eOk) << param;
  return d;
}

double endParam(const AcDbCurve& c) {
  double p = 0;
  EXPECT_EQ(c.getEndParam(p), Acad::eOk);
  return p;
}

double length(const AcDbCurve& c) { return distAt(c, endParam(c)); }

// The perimeter of an ellipse with semi-axes a and b by the Gauss-Kummer series.
double ellipsePerimeter(double a, double b) {
  double h = std::pow((a - b) / (a + b), 2), sum = 0, c = 1, hn = 1;
  for (int n = 0; n < 5000; ++n) {
    if (n > 0) c *= (0.5 - (n - 1)) / n;
    sum += c * c * hn;
    hn *= h;
  }
  return kPi * (a + b) * sum;
}

// A unit circle about the origin as a rational quadratic: nine control points on a square.
std::unique_ptr<AcDbSpline> rationalCircle() {
  double w = std::sqrt(0.5);
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  int xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  for (int i = 0; i < 9; ++i) {
    points.append(AcGePoint3d(xy[i][0], xy[i][1], 0));
    weights.append(i % 2 ? w : 1.0);
  }
  for (double k : {0.0, 0.0, 0.0, 0.25, 0.25, 0.5, 0.5, 0.75, 0.75, 1.0, 1.0, 1.0}) knots.append(k);
  return std::make_unique<AcDbSpline>(2, true, true, false, points, knots, weights);
}

AcGePoint3dArray pointArray(std::initializer_list<AcGePoint3d> list) {
  AcGePoint3dArray out;
  for (const AcGePoint3d& p : list) out.append(p);
  return out;
}

AcGeMatrix3d scaling(double sx, double sy, double sz) {
  AcGeMatrix3d m;
  m(0, 0) = sx;
  m(1, 1) = sy;
  m(2, 2) = sz;
  return m;
}

}  // namespace

class Curves : public HostTest {};

// ---------------------------------------------------------------------------------------------
// Rays and construction lines

TEST_F(Curves, RayRunsFromItsBasePointAndXlineRunsBothWays) {
  AcDbRay ray;
  ASSERT_EQ(ray.setBasePoint(AcGePoint3d(1, 2, 3)), Acad::eOk);
  ASSERT_EQ(ray.setUnitDir(AcGeVector3d(0, 3, 4)), Acad::eOk);
  expectPoint(AcGePoint3d::kOrigin + ray.unitDir(), AcGePoint3d(0, 0.6, 0.8));
  double p = -1;
  EXPECT_EQ(ray.getStartParam(p), Acad::eOk);
  EXPECT_EQ(p, 0);
  EXPECT_TRUE(std::isinf(endParam(ray)) && endParam(ray) > 0);
  AcGePoint3d q;
  ASSERT_EQ(ray.getStartPoint(q), Acad::eOk);
  expectPoint(q, AcGePoint3d(1, 2, 3));
  EXPECT_EQ(ray.getEndPoint(q), Acad::eNotApplicable);
  expectPoint(at(ray, 5), AcGePoint3d(1, 5, 7));
  EXPECT_EQ(distAt(ray, 5), 5);
  EXPECT_EQ(ray.getPointAtParam(-1, q), Acad::eInvalidInput);
  EXPECT_EQ(ray.getDistAtParam(-1, p), Acad::eInvalidInput);
  EXPECT_FALSE(ray.isClosed());

  AcDbXline xline;
  xline.setBasePoint(AcGePoint3d(1, 2, 3));
  xline.setUnitDir(AcGeVector3d(0, 3, 4));
  EXPECT_EQ(xline.getStartParam(p), Acad::eOk);
  EXPECT_TRUE(std::isinf(p) && p < 0);
  expectPoint(at(xline, -5), AcGePoint3d(1, -1, -1));
  EXPECT_EQ(xline.getStartPoint(q), Acad::eNotApplicable);
  EXPECT_EQ(xline.getEndPoint(q), Acad::eNotApplicable);
  EXPECT_EQ(xline.getDistAtParam(1, p), Acad::eNotApplicable);

  // Neither has a box, nor takes a direction without length.
  AcDbExtents box;
  EXPECT_EQ(ray.getGeomExtents(box), Acad::eInvalidExtents);
  EXPECT_EQ(xline.getGeomExtents(box), Acad::eInvalidExtents);
  EXPECT_EQ(xline.setUnitDir(AcGeVector3d(0, 0, 0)), Acad::eInvalidInput);
  expectPoint(AcGePoint3d::kOrigin + xline.unitDir(), AcGePoint3d(0, 0.6, 0.8));
}

TEST_F(Curves, RaysTakeAnyAffineTransformAndKeepAUnitDirection) {
  AcDbRay ray;
  ray.setBasePoint(AcGePoint3d(1, 0, 0));
  ray.setUnitDir(AcGeVector3d(1, 1, 0));
  ASSERT_EQ(ray.transformBy(scaling(2, 1, 1)), Acad::eOk);
  expectPoint(ray.basePoint(), AcGePoint3d(2, 0, 0));
  expectPoint(AcGePoint3d::kOrigin + ray.unitDir(), AcGePoint3d(2 / std::sqrt(5.0), 1 / std::sqrt(5.0), 0));
  // A projection along the direction leaves no direction: refused, nothing moved.
  EXPECT_EQ(ray.transformBy(scaling(0, 0, 1)), Acad::eDegenerateGeometry);
  expectPoint(ray.basePoint(), AcGePoint3d(2, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Circles and arcs

TEST_F(Curves, CircleAnglesStartAtTheArbitraryAxisOfItsNormal) {
  struct Case {
    AcGeVector3d normal;
    AcGePoint3d atZero, atQuarter;  // relative to the centre, radius 2
  } cases[] = {
      {{0, 0, 1}, {2, 0, 0}, {0, 2, 0}},
      {{0, 0, -1}, {-2, 0, 0}, {0, 2, 0}},  // (0, 1, 0) x (0, 0, -1) = (-1, 0, 0)
      {{1, 0, 0}, {0, 2, 0}, {0, 0, 2}},    // (0, 0, 1) x (1, 0, 0) = (0, 1, 0)
      // Within 1/64 of the Z axis the Y axis builds the x axis; beyond it the Z axis does.
      {{1.0 / 128, 0, 1}, {2 / std::sqrt(1 + 1.0 / 16384), 0, -2.0 / 128 / std::sqrt(1 + 1.0 / 16384)}, {0, 2, 0}},
      {{1.0 / 32, 0, 1}, {0, 2, 0}, {-2 / std::sqrt(1 + 1.0 / 1024), 0, 2.0 / 32 / std::sqrt(1 + 1.0 / 1024)}},
  };
  for (const Case& c : cases) {
    AcDbCircle circle(AcGePoint3d(5, 6, 7), c.normal, 2);
    expectPoint(at(circle, 0), AcGePoint3d(5, 6, 7) + c.atZero.asVector());
    expectPoint(at(circle, kPi / 2), AcGePoint3d(5, 6, 7) + c.atQuarter.asVector());
  }
}

TEST_F(Curves, CircleIsAClosedCurveOfOneTurn) {
  AcDbCircle circle(AcGePoint3d(1, 1, 0), AcGeVector3d(0, 0, 3), 2);
  EXPECT_TRUE(circle.isClosed());
  expectPoint(AcGePoint3d::kOrigin + circle.normal(), AcGePoint3d(0, 0, 1));
  EXPECT_DOUBLE_EQ(endParam(circle), 2 * kPi);
  EXPECT_DOUBLE_EQ(distAt(circle, kPi), 2 * kPi);
  EXPECT_DOUBLE_EQ(length(circle), 4 * kPi);
  AcGePoint3d start, end;
  ASSERT_EQ(circle.getStartPoint(start), Acad::eOk);
  ASSERT_EQ(circle.getEndPoint(end), Acad::eOk);
  expectPoint(start, AcGePoint3d(3, 1, 0));
  expectPoint(end, start);
  expectPoint(at(circle, deg(135)), AcGePoint3d(1 - std::sqrt(2.0), 1 + std::sqrt(2.0), 0));
  AcGePoint3d p;
  EXPECT_EQ(circle.getPointAtParam(2 * kPi + 0.01, p), Acad::eInvalidInput);
  EXPECT_EQ(circle.getPointAtParam(-0.01, p), Acad::eInvalidInput);
  EXPECT_EQ(circle.setRadius(-1), Acad::eInvalidInput);
  EXPECT_EQ(circle.setNormal(AcGeVector3d()), Acad::eInvalidNormal);
  EXPECT_EQ(circle.radius(), 2);
}

TEST_F(Curves, ArcAcrossZeroDegreesSpansTheShortWay) {
  AcDbArc arc(AcGePoint3d(0, 0, 1), 2, deg(350), deg(10));
  double start = 0;
  arc.getStartParam(start);
  EXPECT_DOUBLE_EQ(start, deg(350));
  EXPECT_DOUBLE_EQ(endParam(arc), deg(370));
  EXPECT_NEAR(length(arc), 2 * deg(20), 1e-14);
  EXPECT_NEAR(distAt(arc, deg(360)), 2 * deg(10), 1e-14);
  expectPoint(at(arc, deg(360)), AcGePoint3d(2, 0, 1));
  AcGePoint3d s, e;
  arc.getStartPoint(s);
  arc.getEndPoint(e);
  expectPoint(s, AcGePoint3d(2 * std::cos(deg(10)), -2 * std::sin(deg(10)), 1));
  expectPoint(e, AcGePoint3d(2 * std::cos(deg(10)), 2 * std::sin(deg(10)), 1));
  AcGePoint3d p;
  EXPECT_EQ(arc.getPointAtParam(deg(20), p), Acad::eInvalidInput);  // the long way round
  EXPECT_FALSE(arc.isClosed());

  // Angles are kept within a turn; the way round stays as given.
  ASSERT_EQ(arc.setStartAngle(deg(-30)), Acad::eOk);
  EXPECT_DOUBLE_EQ(arc.startAngle(), deg(330));
  ASSERT_EQ(arc.setEndAngle(deg(720 + 30)), Acad::eOk);
  EXPECT_NEAR(arc.endAngle(), deg(30), 1e-14);
  EXPECT_NEAR(length(arc), 2 * deg(60), 1e-14);
  EXPECT_EQ(arc.setStartAngle(NAN), Acad::eInvalidInput);
  // Equal angles leave an arc without length.
  AcDbArc none(AcGePoint3d(), 1, 1, 1);
  EXPECT_EQ(length(none), 0);
}

TEST_F(Curves, CircleAndArcExtentsAreTheCurvesOwn) {
  expectBox(AcDbCircle(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 0, 1), 2), AcGePoint3d(-1, 0, 3), AcGePoint3d(3, 4, 3));
  // Tilted by a about X: the circle reaches r cos a along Y and r sin a along Z.
  double a = deg(30);
  expectBox(AcDbCircle(AcGePoint3d(), AcGeVector3d(0, -std::sin(a), std::cos(a)), 2),
            AcGePoint3d(-2, -2 * std::cos(a), -2 * std::sin(a)), AcGePoint3d(2, 2 * std::cos(a), 2 * std::sin(a)));
  expectBox(AcDbArc(AcGePoint3d(), 2, deg(350), deg(10)), AcGePoint3d(2 * std::cos(deg(10)), -2 * std::sin(deg(10)), 0),
            AcGePoint3d(2, 2 * std::sin(deg(10)), 0));
  expectBox(AcDbArc(AcGePoint3d(), 1, deg(45), deg(225)), AcGePoint3d(-1, -std::sqrt(0.5), 0),
            AcGePoint3d(std::sqrt(0.5), 1, 0));
}

TEST_F(Curves, CirclesAndArcsMoveRigidlyAndRefuseUnevenScales) {
  AcDbCircle circle(AcGePoint3d(1, 0, 0), AcGeVector3d(0, 0, 1), 1);
  AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(0, 0, 5)) * AcGeMatrix3d::scaling(2) *
                   AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d(1, 0, 0));
  ASSERT_EQ(circle.transformBy(m), Acad::eOk);
  expectPoint(circle.center(), AcGePoint3d(2, 0, 5));
  EXPECT_DOUBLE_EQ(circle.radius(), 2);
  expectPoint(AcGePoint3d::kOrigin + circle.normal(), AcGePoint3d(0, -1, 0));
  EXPECT_EQ(circle.transformBy(scaling(1, 2, 1)), Acad::eCannotScaleNonUniformly);
  EXPECT_DOUBLE_EQ(circle.radius(), 2);

  // Whatever the motion, the arc's ends go where its old ends go, and its length scales.
  AcDbArc arc(AcGePoint3d(1, 2, 0), AcGeVector3d(0, 0, 1), 1, deg(10), deg(100));
  AcGeMatrix3d moves[] = {scaling(-1, 1, 1), AcGeMatrix3d::rotation(1.0, AcGeVector3d(1, 2, 3)) * scaling(3, 3, 3),
                          AcGeMatrix3d::rotation(kPi, AcGeVector3d(1, 0, 0), AcGePoint3d(0, 2, 0))};
  for (const AcGeMatrix3d& move : moves) {
    AcGePoint3d s0, e0, s1, e1;
    arc.getStartPoint(s0);
    arc.getEndPoint(e0);
    double before = length(arc), scale = (move * AcGeVector3d(1, 0, 0)).length();
    ASSERT_EQ(arc.transformBy(move), Acad::eOk);
    arc.getStartPoint(s1);
    arc.getEndPoint(e1);
    expectPoint(s1, move * s0, 1e-12);
    expectPoint(e1, move * e0, 1e-12);
    EXPECT_NEAR(length(arc), before * scale, 1e-12);
  }
  EXPECT_EQ(arc.transformBy(scaling(1, 1, 2)), Acad::eCannotScaleNonUniformly);
}

// ---------------------------------------------------------------------------------------------
// Ellipses

TEST_F(Curves, EllipseParameterAndAngle) {
  AcDbEllipse e(AcGePoint3d(1, 1, 1), AcGeVector3d(0, 0, 1), AcGeVector3d(2, 0, 0), 0.5);
  expectPoint(AcGePoint3d::kOrigin + e.minorAxis(), AcGePoint3d(0, 1, 0));
  EXPECT_TRUE(e.isClosed());
  EXPECT_DOUBLE_EQ(endParam(e), 2 * kPi);
  expectPoint(at(e, 1.0), AcGePoint3d(1 + 2 * std::cos(1.0), 1 + std::sin(1.0), 1));
  // The point at 45 degrees lies where tan t = tan 45 / ratio.
  EXPECT_NEAR(e.paramAtAngle(deg(45)), std::atan(2.0), 1e-15);
  EXPECT_NEAR(e.paramAtAngle(deg(135)), kPi - std::atan(2.0), 1e-15);
  EXPECT_NEAR(e.paramAtAngle(deg(-45)), -std::atan(2.0), 1e-15);
  EXPECT_NEAR(e.paramAtAngle(deg(405)), 2 * kPi + std::atan(2.0), 1e-14);
  for (double a : {0.0, 0.3, 1.7, 3.2, 4.9, 6.2, 9.0})
    EXPECT_NEAR(e.angleAtParam(e.paramAtAngle(a)), a, 1e-14) << a;

  ASSERT_EQ(e.setStartAngle(deg(90)), Acad::eOk);
  ASSERT_EQ(e.setEndAngle(deg(45)), Acad::eOk);
  EXPECT_FALSE(e.isClosed());
  EXPECT_NEAR(e.startAngle(), deg(90), 1e-15);
  EXPECT_NEAR(e.endAngle(), deg(45), 1e-14);
  AcGePoint3d s, end;
  e.getStartPoint(s);
  e.getEndPoint(end);
  expectPoint(s, AcGePoint3d(1, 2, 1));
  double r = 2 / std::sqrt(5.0);  // the radius at 45 degrees: x = y, x^2/4 + y^2 = 1
  expectPoint(end, AcGePoint3d(1 + r, 1 + r, 1));
  EXPECT_NEAR(endParam(e), 2 * kPi + std::atan(2.0), 1e-14);

  EXPECT_EQ(e.setRadiusRatio(1.5), Acad::eInvalidInput);
  EXPECT_EQ(e.set(AcGePoint3d(), AcGeVector3d(0, 1, 1), AcGeVector3d(2, 0, 1), 0.5), Acad::eInvalidInput);
  EXPECT_EQ(e.radiusRatio(), 0.5);
}

TEST_F(Curves, EllipseLengthsMatchThePerimeterSeries) {
  struct Case {
    double a, b;
  } cases[] = {{3, 1}, {1, 1}, {5, 0.05}, {1e6, 3e5}};
  for (const Case& c : cases) {
    AcDbEllipse e(AcGePoint3d(7, -3, 2), AcGeVector3d(1, 1, 1), AcGeVector3d(1, -1, 0) * (c.a / std::sqrt(2.0)),
                  c.b / c.a);
    double perimeter = ellipsePerimeter(c.a, c.b);
    EXPECT_NEAR(length(e), perimeter, 1e-12 * perimeter) << c.a << " " << c.b;
    EXPECT_NEAR(distAt(e, kPi / 2), perimeter / 4, 1e-12 * perimeter);
    EXPECT_NEAR(distAt(e, kPi), perimeter / 2, 1e-12 * perimeter);
  }
  // An arc across the start of the parameter: symmetric about the major axis.
  AcDbEllipse e(AcGePoint3d(), AcGeVector3d(0, 0, 1), AcGeVector3d(3, 0, 0), 1.0 / 3);
  double quarterOfHalf = distAt(e, 0.5);
  ASSERT_EQ(e.setStartParam(-0.5), Acad::eOk);
  ASSERT_EQ(e.setEndParam(0.5), Acad::eOk);
  double start = 0;
  e.getStartParam(start);
  EXPECT_DOUBLE_EQ(start, 2 * kPi - 0.5);
  EXPECT_NEAR(length(e), 2 * quarterOfHalf, 1e-13);
}

TEST_F(Curves, EllipseExtentsAndMotion) {
  double c = std::cos(deg(30)), s = std::sin(deg(30));
  AcDbEllipse e(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 0, 1), AcGeVector3d(2 * c, 2 * s, 0), 0.5);
  double hx = std::sqrt(4 * c * c + s * s), hy = std::sqrt(4 * s * s + c * c);
  expectBox(e, AcGePoint3d(1 - hx, 2 - hy, 3), AcGePoint3d(1 + hx, 2 + hy, 3));
  // The upper half only: from the major axis end to the other, through the top.
  e.setEndParam(kPi);
  AcDbExtents half;
  ASSERT_EQ(e.getGeomExtents(half), Acad::eOk);
  EXPECT_NEAR(half.maxPoint().y, 2 + hy, 1e-12);
  EXPECT_NEAR(half.minPoint().y, 2 - s * 2, 1e-12);  // its lowest point is the end at -major

  AcGeMatrix3d m = AcGeMatrix3d::rotation(0.7, AcGeVector3d(1, 1, 0), AcGePoint3d(1, 0, 0)) * scaling(-2, -2, -2);
  AcGePoint3d before = at(e, 1.0);
  double len = length(e);
  ASSERT_EQ(e.transformBy(m), Acad::eOk);
  expectPoint(at(e, 1.0), m * before, 1e-12);
  EXPECT_NEAR(length(e), 2 * len, 1e-12);
  EXPECT_EQ(e.transformBy(scaling(1, 2, 1)), Acad::eCannotScaleNonUniformly);
}

// ---------------------------------------------------------------------------------------------
// Splines

TEST_F(Curves, FitPointSplinePassesThroughEveryPoint) {
  AcGePoint3dArray fit = pointArray({{0, 0, 0}, {1, 2, 0}, {3, 1, 1}, {4, 4, 2}, {6, 0, 0}});
  AcDbSpline spline(fit);
  ASSERT_FALSE(spline.isNull());
  int degree = 0;
  Adesk::Boolean rational = true, closed = true, periodic = true;
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  double ctol = -1, ktol = -1;
  ASSERT_EQ(spline.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctol, ktol), Acad::eOk);
  EXPECT_EQ(degree, 3);
  EXPECT_FALSE(rational || closed || periodic);
  EXPECT_EQ(points.length(), 7);
  EXPECT_EQ(knots.length(), 11);
  EXPECT_TRUE(weights.isEmpty());
  // Each fit point sits at a knot; the knots follow the chord lengths.
  for (int k = 0; k < fit.length(); ++k) expectPoint(at(spline, knots[k + 3]), fit[k], 1e-12);
  EXPECT_NEAR(knots[4] - knots[3], std::sqrt(5.0), 1e-15);
  ASSERT_TRUE(spline.hasFitData());
  EXPECT_EQ(spline.numFitPoints(), 5);
  // No tangents given: the ends do not bend, unlike the inside.
  auto bend = [&spline](double t, double h) {
    return ((at(spline, t - h) - at(spline, t)) - (at(spline, t) - at(spline, t + h))).length();
  };
  double h = 1e-4, start = knots[3], end = knots[7], inside = 0;
  for (double t : {2.0, 4.0, 6.0}) inside = std::max(inside, bend(t, h));
  EXPECT_GT(inside, 1e-9);
  EXPECT_LT(bend(start + h, h), 1e-3 * inside);
  EXPECT_LT(bend(end - h, h), 1e-3 * inside);
}

TEST_F(Curves, FitPointSplineLeavesAlongItsTangents) {
  AcGePoint3dArray fit = pointArray({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}});
  AcDbSpline spline(fit, AcGeVector3d(0, 5, 0), AcGeVector3d(0, -1, 0), 4, 0.25);
  ASSERT_FALSE(spline.isNull());
  double start = 0, end = endParam(spline), h = 1e-6;
  spline.getStartParam(start);
  AcGeVector3d away = (at(spline, start + h) - at(spline, start)).normal();
  AcGeVector3d in = (at(spline, end) - at(spline, end - h)).normal();
  expectPoint(AcGePoint3d::kOrigin + away, AcGePoint3d(0, 1, 0), 1e-5);
  expectPoint(AcGePoint3d::kOrigin + in, AcGePoint3d(0, -1, 0), 1e-5);
  AcGePoint3dArray back;
  int degree = 0;
  double tol = 0;
  Adesk::Boolean tangents = false;
  AcGeVector3d st, et;
  ASSERT_EQ(spline.getFitData(back, degree, tol, tangents, st, et), Acad::eOk);
  EXPECT_EQ(back.length(), 3);
  EXPECT_EQ(tol, 0.25);
  EXPECT_TRUE(tangents);
  expectPoint(AcGePoint3d::kOrigin + st, AcGePoint3d(0, 5, 0));
}

TEST_F(Curves, StraightSplinesHaveTheirLinesLength) {
  AcDbSpline fitted(pointArray({{0, 0, 0}, {1, 1, 1}, {3, 3, 3}, {4, 4, 4}}));
  EXPECT_NEAR(length(fitted), 4 * std::sqrt(3.0), 1e-12);
  expectPoint(at(fitted, 2 * std::sqrt(3.0)), AcGePoint3d(2, 2, 2), 1e-12);
  // Control points crowded at one end: the speed varies, the length does not.
  AcGeDoubleArray knots, none;
  for (double k : {0.0, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 1.0}) knots.append(k);
  AcDbSpline cubic(3, false, false, false, pointArray({{0, 0, 0}, {0.1, 0, 0}, {0.2, 0, 0}, {5, 0, 0}}), knots, none);
  EXPECT_NEAR(length(cubic), 5, 1e-12);
  EXPECT_NEAR(distAt(cubic, 0.5), at(cubic, 0.5).x, 1e-12);
  EXPECT_FALSE(cubic.isClosed());
}

TEST_F(Curves, RationalSplineCircleMeasuresAndBoxesAsACircle) {
  auto circle = rationalCircle();
  ASSERT_FALSE(circle->isNull());
  EXPECT_TRUE(circle->isClosed());
  EXPECT_NEAR(length(*circle), 2 * kPi, 1e-12);
  for (double t : {0.1, 0.3, 0.55, 0.9}) EXPECT_NEAR(at(*circle, t).distanceTo(AcGePoint3d()), 1, 1e-14) << t;
  // Turned by 45 degrees its control points reach sqrt 2 out; the circle still reaches 1.
  ASSERT_EQ(circle->transformBy(AcGeMatrix3d::rotation(kPi / 4, AcGeVector3d(0, 0, 1))), Acad::eOk);
  expectBox(*circle, AcGePoint3d(-1, -1, 0), AcGePoint3d(1, 1, 0), 1e-8);
  // Stretched it becomes an ellipse, with the ellipse's perimeter and box.
  ASSERT_EQ(circle->transformBy(scaling(2, 1, 1)), Acad::eOk);
  EXPECT_NEAR(length(*circle), ellipsePerimeter(2, 1), 1e-11);
  expectBox(*circle, AcGePoint3d(-2, -1, 0), AcGePoint3d(2, 1, 0), 1e-8);
  AcGeMatrix3d perspective;
  perspective(3, 0) = 1;
  EXPECT_EQ(circle->transformBy(perspective), Acad::eCannotScaleNonUniformly);
}

TEST_F(Curves, SplineDataIsCheckedAndGivenBackAsSet) {
  AcDbSpline spline;
  EXPECT_TRUE(spline.isNull());
  int degree = 0;
  Adesk::Boolean rational = false, closed = false, periodic = false;
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  double ctol = 0, ktol = 0, p = 0;
  EXPECT_EQ(spline.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctol, ktol),
            Acad::eDegenerateGeometry);
  EXPECT_EQ(spline.getStartParam(p), Acad::eDegenerateGeometry);
  AcDbExtents box;
  EXPECT_EQ(spline.getGeomExtents(box), Acad::eNullExtents);

  AcGePoint3dArray three = pointArray({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}});
  AcGeDoubleArray good, ones, bad;
  for (double k : {0.0, 0.0, 0.0, 2.0, 2.0, 2.0}) good.append(k);
  for (int i = 0; i < 3; ++i) ones.append(1.0);
  bad = good;
  bad.setAt(3, -1.0);
  EXPECT_EQ(spline.setNurbsData(2, false, false, false, three, bad, ones), Acad::eInvalidInput);  // decreasing
  bad = good;
  bad.append(2.0);
  EXPECT_EQ(spline.setNurbsData(2, false, false, false, three, bad, ones), Acad::eInvalidInput);  // one too many
  EXPECT_EQ(spline.setNurbsData(3, false, false, false, three, good, ones), Acad::eInvalidInput);  // too few points
  AcGeDoubleArray zeroWeight = ones;
  zeroWeight.setAt(1, 0.0);
  EXPECT_EQ(spline.setNurbsData(2, true, false, false, three, good, zeroWeight), Acad::eInvalidInput);
  EXPECT_TRUE(spline.isNull());

  ASSERT_EQ(spline.setNurbsData(2, true, false, true, three, good, ones, 1e-9, 1e-8), Acad::eOk);
  ASSERT_EQ(spline.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctol, ktol), Acad::eOk);
  EXPECT_EQ(degree, 2);
  EXPECT_TRUE(rational && periodic && !closed);
  EXPECT_EQ(points.length(), 3);
  EXPECT_EQ(knots.length(), 6);
  EXPECT_EQ(knots[3], 2.0);
  EXPECT_EQ(weights.length(), 3);
  EXPECT_EQ(ctol, 1e-9);
  EXPECT_EQ(ktol, 1e-8);
  EXPECT_EQ(spline.getStartParam(p), Acad::eOk);
  EXPECT_EQ(p, 0);
  EXPECT_EQ(endParam(spline), 2);
  expectPoint(at(spline, 1), AcGePoint3d(1, 0.5, 0));
  // Without weights a non-rational spline answers none; setting NURBS data drops fit data.
  AcDbSpline fitted(three);
  ASSERT_TRUE(fitted.hasFitData());
  ASSERT_EQ(fitted.setNurbsData(2, false, false, false, three, good, AcGeDoubleArray()), Acad::eOk);
  EXPECT_FALSE(fitted.hasFitData());
  ASSERT_EQ(fitted.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctol, ktol), Acad::eOk);
  EXPECT_TRUE(weights.isEmpty());
  EXPECT_FALSE(rational);
}

TEST_F(Curves, FitPointsTheHostCannotFitLeaveANullSpline) {
  EXPECT_TRUE(AcDbSpline(pointArray({{1, 2, 3}})).isNull());
  EXPECT_TRUE(AcDbSpline(pointArray({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}})).isNull());
  EXPECT_TRUE(AcDbSpline(pointArray({{0, 0, 0}, {1, 0, 0}, {2, 1, 0}}), 3).isNull());
  AcDbSpline two(pointArray({{0, 0, 0}, {3, 4, 0}}));
  ASSERT_FALSE(two.isNull());
  EXPECT_NEAR(length(two), 5, 1e-12);
  EXPECT_EQ(two.setFitData(pointArray({{0, 0, 0}}), 3, 0, AcGeVector3d(), AcGeVector3d()), Acad::eInvalidInput);
  EXPECT_EQ(two.numFitPoints(), 2);
}

// ---------------------------------------------------------------------------------------------
// Every kind

// One of each curve kind, with its properties set, for the checks every kind must pass.
std::vector<std::unique_ptr<AcDbCurve>> everyKind() {
  std::vector<std::unique_ptr<AcDbCurve>> out;
  auto ray = std::make_unique<AcDbRay>();
  ray->setBasePoint(AcGePoint3d(1, 2, 3));
  out.push_back(std::move(ray));
  auto xline = std::make_unique<AcDbXline>();
  xline->setUnitDir(AcGeVector3d(0, 1, 1));
  out.push_back(std::move(xline));
  out.push_back(std::make_unique<AcDbCircle>(AcGePoint3d(1, 2, 3), AcGeVector3d(1, 0, 1), 4));
  out.push_back(std::make_unique<AcDbArc>(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 1, 1), 4, 1, 2));
  out.push_back(std::make_unique<AcDbEllipse>(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 0, 1), AcGeVector3d(0, 3, 0), 0.25,
                                              0.5, 2));
  out.push_back(std::make_unique<AcDbSpline>(pointArray({{0, 0, 0}, {1, 2, 0}, {3, 1, 1}}), AcGeVector3d(1, 0, 0),
                                             AcGeVector3d(), 4, 0.5));
  for (auto& c : out) c->setColorIndex(3);
  return out;
}

// The values a curve answers at a few places, for comparing copies.
std::vector<double> signature(const AcDbCurve& c) {
  std::vector<double> out;
  double s = 0, e = 0;
  c.getStartParam(s);
  c.getEndParam(e);
  if (std::isinf(s)) s = -3;
  if (std::isinf(e)) e = 3;
  for (double t : {s, (2 * s + e) / 3, e}) {
    AcGePoint3d p;
    EXPECT_EQ(c.getPointAtParam(t, p), Acad::eOk) << c.isA()->name();
    out.insert(out.end(), {p.x, p.y, p.z});
  }
  double d = 0;
  if (c.getDistAtParam(e, d) == Acad::eOk) out.push_back(d);
  out.push_back(c.isClosed());
  return out;
}

TEST_F(Curves, ClonesAnswerAsTheirSources) {
  for (auto& curve : everyKind()) {
    std::unique_ptr<AcDbCurve> copy(static_cast<AcDbCurve*>(curve->clone()));
    ASSERT_NE(copy, nullptr) << curve->isA()->name();
    EXPECT_EQ(copy->isA(), curve->isA());
    EXPECT_EQ(copy->colorIndex(), 3);
    EXPECT_EQ(signature(*copy), signature(*curve)) << curve->isA()->name();
    // The copy shares nothing: moving it leaves the source.
    std::vector<double> before = signature(*curve);
    ASSERT_EQ(copy->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eOk);
    EXPECT_EQ(signature(*curve), before);
    EXPECT_NE(signature(*copy), before);
  }
  AcDbSpline fitted(pointArray({{0, 0, 0}, {1, 2, 0}, {3, 1, 1}}), AcGeVector3d(1, 0, 0), AcGeVector3d(), 4, 0.5);
  std::unique_ptr<AcDbSpline> copy(static_cast<AcDbSpline*>(fitted.clone()));
  EXPECT_EQ(copy->numFitPoints(), 3);
}

TEST_F(Curves, CurvesDoNotExplode) {
  for (auto& curve : everyKind()) {
    AcDbVoidPtrArray pieces;
    EXPECT_EQ(curve->explode(pieces), Acad::eNotApplicable) << curve->isA()->name();
    EXPECT_TRUE(pieces.isEmpty());
  }
}

TEST_F(Curves, SettersNeedTheEntityOpenForWrite) {
  for (auto& curve : everyKind()) {
    const char* name = curve->isA()->name();
    std::vector<double> before = signature(*curve);
    AcDbObjectId id = append(curve.release());
    AcDbCurve* c = nullptr;
    ASSERT_EQ(acdbOpenObject(c, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(c->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eNotOpenForWrite) << name;
    Acad::ErrorStatus set = Acad::eOk;
    if (auto* line = AcDbUnboundedLine::cast(c)) set = line->setUnitDir(AcGeVector3d(1, 0, 0));
    if (auto* round = AcDbCircularCurve::cast(c)) set = round->setRadius(1);
    if (auto* e = AcDbEllipse::cast(c)) set = e->setStartParam(1);
    if (auto* s = AcDbSpline::cast(c)) set = s->purgeFitData();
    EXPECT_EQ(set, Acad::eNotOpenForWrite) << name;
    if (auto* arc = AcDbArc::cast(c)) {
      EXPECT_EQ(arc->setEndAngle(1), Acad::eNotOpenForWrite);
    }
    EXPECT_EQ(signature(*c), before) << name;
    c->close();
    ASSERT_EQ(acdbOpenObject(c, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(c->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eOk) << name;
    c->close();
  }
}
