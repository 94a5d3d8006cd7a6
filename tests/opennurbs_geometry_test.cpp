// The vocabulary's plain values (intervals, lines, planes, circles, arcs, polylines) and its
// simple curves (lines, arcs, polylines), points and placed blocks.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "host/ocs.h"
#include "opennurbs/opennurbs.h"

namespace {

void expectNear(const ON_3dPoint& a, const ON_3dPoint& b, double tol) {
  EXPECT_LE(a.DistanceTo(b), tol) << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                  << ", " << b.z << ")";
}

void expectNear(const ON_3dVector& a, const ON_3dVector& b, double tol) {
  expectNear(ON_3dPoint(a.x, a.y, a.z), ON_3dPoint(b.x, b.y, b.z), tol);
}

ON_Xform rotationZ(double angle, const ON_3dVector& shift = {0, 0, 0}) {
  ON_Xform x;
  x[0][0] = std::cos(angle);
  x[0][1] = -std::sin(angle);
  x[1][0] = std::sin(angle);
  x[1][1] = std::cos(angle);
  x[0][3] = shift.x;
  x[1][3] = shift.y;
  x[2][3] = shift.z;
  return x;
}

ON_Xform scaling(double sx, double sy, double sz) {
  ON_Xform x;
  x[0][0] = sx;
  x[1][1] = sy;
  x[2][2] = sz;
  return x;
}

ON_Circle tiltedCircle() {
  return ON_Circle(ON_Plane(ON_3dPoint(1, -2, 3), ON_3dVector(0.3, -0.5, 0.8)), 2.5);
}

}  // namespace

TEST(OnValues, IntervalParametersAreExactAtTheEnds) {
  const ON_Interval i(0.1, 0.7);
  EXPECT_EQ(i.ParameterAt(0), 0.1);
  EXPECT_EQ(i.ParameterAt(1), 0.7);
  EXPECT_DOUBLE_EQ(i.ParameterAt(0.5), 0.4);
  EXPECT_DOUBLE_EQ(i.NormalizedParameterAt(0.4), 0.5);
  EXPECT_EQ(ON_Interval(2, 2).NormalizedParameterAt(5), 0.0);
  const ON_Interval down(3, 1);
  EXPECT_TRUE(down.Includes(2));
  EXPECT_FALSE(down.IsIncreasing());
  EXPECT_EQ(down.Length(), -2);
}

TEST(OnValues, LineTangentIsUnitOrZero) {
  const ON_Line line(ON_3dPoint(1, 1, 1), ON_3dPoint(1, 4, 5));
  expectNear(line.Tangent(), ON_3dVector(0, 0.6, 0.8), 1e-15);
  expectNear(line.PointAt(0.5), ON_3dPoint(1, 2.5, 3), 0);
  const ON_Line point(ON_3dPoint(1, 1, 1), ON_3dPoint(1, 1, 1));
  EXPECT_EQ(point.Tangent(), ON_3dVector(0, 0, 0));
  EXPECT_FALSE(point.IsValid());
}

TEST(OnPlane, NormalPlaneTakesTheHostsAxesToTheBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> d(-1, 1);
  for (int i = 0; i < 200; ++i) {
    // Half of them inside the arbitrary-axis rule's near-z cone.
    const double zx = i % 2 ? d(rng) : d(rng) / 80, zy = i % 2 ? d(rng) : d(rng) / 80;
    const ON_3dVector n(zx, zy, d(rng) > 0 ? 1 : -1);
    const ON_Plane plane(ON_3dPoint(1, 2, 3), n);
    const double len = n.Length();
    const kv::Ocs ocs(AcGeVector3d(n.x, n.y, n.z) * (1.0 / len));
    EXPECT_EQ(plane.xaxis, ON_3dVector(ocs.x.x, ocs.x.y, ocs.x.z)) << i;
    EXPECT_EQ(plane.yaxis, ON_3dVector(ocs.y.x, ocs.y.y, ocs.y.z)) << i;
    EXPECT_TRUE(plane.IsValid());
  }
}

TEST(OnPlane, ArbitraryAxisRuleAtItsBoundary) {
  EXPECT_EQ(ON_Plane(ON_3dPoint(), ON_3dVector(0, 0, 5)).xaxis, ON_3dVector(1, 0, 0));
  // (0, 1, 0) x n below 1/64; (0, 0, 1) x n from 1/64 on.
  const ON_Plane inside(ON_3dPoint(), ON_3dVector(0.015, 0, 1));
  EXPECT_GT(inside.xaxis.x, 0.99);
  const ON_3dVector edge(1.0 / 64, 0, std::sqrt(1 - 1.0 / 4096));
  const ON_Plane at(ON_3dPoint(), edge);
  ASSERT_EQ(at.zaxis.x, 1.0 / 64);
  expectNear(at.xaxis, ON_3dVector(0, 1, 0), 1e-15);
  EXPECT_GT(ON_DotProduct(ON_CrossProduct(at.xaxis, at.yaxis), at.zaxis), 0.999);
}

TEST(OnPlane, ZeroNormalOrParallelFrameIsInvalid) {
  ON_Plane p;
  EXPECT_FALSE(p.CreateFromNormal(ON_3dPoint(1, 2, 3), ON_3dVector(0, 0, 0)));
  EXPECT_FALSE(p.IsValid());
  EXPECT_EQ(p.xaxis, ON_3dVector(0, 0, 0));
  EXPECT_FALSE(ON_Plane(ON_3dPoint(), ON_3dVector(1, 1, 0), ON_3dVector(-2, -2, 0)).IsValid());
  EXPECT_FALSE(ON_Plane(ON_3dPoint(), ON_3dVector(1, 0, 0), ON_3dVector(1, 1e-13, 0)).IsValid());
  EXPECT_FALSE(ON_Plane(ON_3dPoint(), ON_3dVector(NAN, 0, 0), ON_3dVector(0, 1, 0)).IsValid());
  double u = 7;
  EXPECT_FALSE(p.ClosestPointTo(ON_3dPoint(), &u, nullptr));
  EXPECT_EQ(u, 7);
}

TEST(OnPlane, FrameKeepsXAndSquaresY) {
  const ON_Plane p(ON_3dPoint(1, 1, 1), ON_3dVector(2, 0, 0), ON_3dVector(3, 4, 0));
  EXPECT_TRUE(p.IsValid());
  expectNear(p.xaxis, ON_3dVector(1, 0, 0), 0);
  expectNear(p.yaxis, ON_3dVector(0, 1, 0), 1e-16);
  expectNear(p.zaxis, ON_3dVector(0, 0, 1), 1e-16);
  double u = 0, v = 0;
  ASSERT_TRUE(p.ClosestPointTo(ON_3dPoint(3, -1, 9), &u, &v));
  EXPECT_DOUBLE_EQ(u, 2);
  EXPECT_DOUBLE_EQ(v, -2);
  // Left-handed input still gives a right-handed plane.
  const ON_Plane flipped(ON_3dPoint(), ON_3dVector(0, 1, 0), ON_3dVector(1, 0, 0));
  expectNear(flipped.zaxis, ON_3dVector(0, 0, -1), 1e-16);
}

TEST(OnCircle, AngleOfAPointIsInOneTurn) {
  const ON_Circle c = tiltedCircle();
  for (double a : {0.0, 0.5, 3.0, 4.5, 6.2}) {
    double back = -1;
    ASSERT_TRUE(c.ClosestPointTo(c.PointAt(a), &back));
    EXPECT_NEAR(back, a, 1e-13);
    EXPECT_NEAR(ON_DotProduct(c.TangentAt(a), c.PointAt(a) - c.Center()), 0, 1e-14);
  }
  double a = 5;
  EXPECT_TRUE(c.ClosestPointTo(c.PointAt(-1e-17), &a));
  EXPECT_GE(a, 0);
  EXPECT_LT(a, 2 * ON_PI);
  EXPECT_FALSE(c.ClosestPointTo(c.Center(), &a));
  EXPECT_FALSE(ON_Circle(ON_3dPoint(), 0).IsValid());
}

TEST(OnCircle, TransformKeepsOnlyCircles) {
  ON_Circle c = tiltedCircle();
  const ON_Xform move = rotationZ(0.7, ON_3dVector(5, 6, 7)) * scaling(3, 3, 3);
  ON_Circle moved = c;
  ASSERT_TRUE(moved.Transform(move));
  EXPECT_NEAR(moved.Radius(), 7.5, 1e-13);
  for (double a : {0.0, 1.0, 2.5}) expectNear(moved.PointAt(a), move * c.PointAt(a), 1e-13);
  // A mirror keeps the points, turning the plane over.
  ON_Circle mirrored = c;
  ASSERT_TRUE(mirrored.Transform(scaling(1, -1, 1)));
  for (double a : {0.0, 1.0, 2.5}) expectNear(mirrored.PointAt(a), scaling(1, -1, 1) * c.PointAt(a), 1e-13);
  // Stretching across the plane of a flat circle leaves a circle; along it, an ellipse.
  ON_Circle flat(ON_3dPoint(1, 1, 1), 2);
  EXPECT_TRUE(flat.Transform(scaling(1, 1, 5)));
  EXPECT_FALSE(flat.Transform(scaling(2, 1, 1)));
  EXPECT_EQ(flat.Radius(), 2);
  ON_Xform perspective;
  perspective[3][2] = 0.1;
  EXPECT_FALSE(c.Transform(perspective));
}

TEST(OnArc, ValidityAndWholeTurns) {
  const ON_Circle c = tiltedCircle();
  EXPECT_TRUE(ON_Arc(c, ON_Interval(-1, 1)).IsValid());
  EXPECT_FALSE(ON_Arc(c, ON_Interval(1, -1)).IsValid());
  EXPECT_FALSE(ON_Arc(c, ON_Interval(0, 2 * ON_PI + 1e-6)).IsValid());
  EXPECT_TRUE(ON_Arc(c, 2 * ON_PI).IsCircle());
  EXPECT_FALSE(ON_Arc(c, 2 * ON_PI - 1e-6).IsCircle());
  ON_Arc arc(c, ON_Interval(5, 7));
  EXPECT_DOUBLE_EQ(arc.Length(), 5);
  expectNear(arc.StartPoint(), c.PointAt(5), 0);
  expectNear(arc.EndPoint(), c.PointAt(7), 0);
  EXPECT_FALSE(arc.SetAngleIntervalRadians(ON_Interval(0, 7)));
  EXPECT_FALSE(arc.SetAngleIntervalRadians(ON_Interval(2, 2)));
  EXPECT_EQ(arc.DomainRadians(), ON_Interval(5, 7));
}

TEST(OnPolyline, ClosedNeedsFourPointsAndTheTolerance) {
  ON_Polyline p;
  for (auto q : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(0, 0, 0)}) p.Append(q);
  EXPECT_FALSE(p.IsClosed());
  p.Insert(2, ON_3dPoint(1, 1, 0));
  EXPECT_TRUE(p.IsClosed());
  EXPECT_DOUBLE_EQ(p.Length(), 2 + std::sqrt(2.0));
  p[3] = ON_3dPoint(1e-9, 0, 0);
  EXPECT_FALSE(p.IsClosed());
  EXPECT_FALSE(p.IsClosed(1e-10));
  EXPECT_TRUE(p.IsClosed(1e-9));
}

TEST(OnLineCurve, DomainScalesTheDerivative) {
  ON_LineCurve line(ON_3dPoint(1, 2, 3), ON_3dPoint(4, 6, 3));
  EXPECT_EQ(line.Domain(), ON_Interval(0, 5));
  ASSERT_TRUE(line.SetDomain(10, 20));
  double v[9];
  ASSERT_TRUE(line.Evaluate(12, 2, v));
  expectNear(ON_3dPoint(v[0], v[1], v[2]), ON_3dPoint(1.6, 2.8, 3), 1e-15);
  expectNear(ON_3dVector(v[3], v[4], v[5]), ON_3dVector(0.3, 0.4, 0), 1e-16);
  EXPECT_EQ(ON_3dVector(v[6], v[7], v[8]), ON_3dVector(0, 0, 0));
  EXPECT_EQ(line.PointAt(20), ON_3dPoint(4, 6, 3));
  EXPECT_FALSE(line.Evaluate(20.5, 0, v));
  EXPECT_FALSE(line.SetDomain(3, 3));
  EXPECT_FALSE(std::isnan(line.PointAtStart().x));
  EXPECT_TRUE(std::isnan(line.PointAt(-1).x));
}

TEST(OnLineCurve, TrimKeepsPointsAtTheirParameters) {
  ON_LineCurve line(ON_3dPoint(0, 0, 0), ON_3dPoint(8, 0, 0));
  const ON_3dPoint at3 = line.PointAt(3);
  EXPECT_FALSE(line.Trim(ON_Interval(5, 2)));
  EXPECT_FALSE(line.Trim(ON_Interval(-1, 2)));
  ASSERT_TRUE(line.Trim(ON_Interval(2, 6)));
  EXPECT_EQ(line.Domain(), ON_Interval(2, 6));
  expectNear(line.PointAt(3), at3, 1e-15);
  ON_NurbsCurve form;
  ASSERT_EQ(line.GetNurbForm(form), 1);
  EXPECT_EQ(form.Domain(), line.Domain());
  expectNear(form.PointAt(5), line.PointAt(5), 1e-15);
}

TEST(OnLineCurve, TransformMovesBothEnds) {
  ON_LineCurve line(ON_3dPoint(1, 0, 0), ON_3dPoint(2, 0, 0));
  ASSERT_TRUE(line.Transform(rotationZ(ON_PI / 2)));
  expectNear(line.m_line.to, ON_3dPoint(0, 2, 0), 1e-15);
  ASSERT_TRUE(line.Translate(ON_3dVector(0, 0, 1)));
  expectNear(line.m_line.from, ON_3dPoint(0, 1, 1), 1e-15);
  EXPECT_FALSE(line.Translate(ON_3dVector(INFINITY, 0, 0)));
}

TEST(OnArcCurve, ParameterIsTheAngleOnTheArcsInterval) {
  const ON_Arc arc(tiltedCircle(), ON_Interval(-0.5, 2));
  ON_ArcCurve curve(arc);
  for (double t : {-0.5, 0.3, 2.0}) EXPECT_EQ(curve.PointAt(t), arc.PointAt(t));
  double v[12];
  ASSERT_TRUE(curve.Evaluate(1.0, 3, v));
  const double r = arc.Radius();
  expectNear(ON_3dVector(v[3], v[4], v[5]), arc.TangentAt(1.0) * r, 1e-14);
  expectNear(ON_3dVector(v[6], v[7], v[8]), arc.Center() - arc.PointAt(1.0), 1e-14);
  expectNear(ON_3dVector(v[9], v[10], v[11]), arc.TangentAt(1.0) * -r, 1e-14);
  // On another domain the parameter runs affinely, and the speed with it.
  ASSERT_TRUE(curve.SetDomain(0, 1));
  expectNear(curve.PointAt(0.4), arc.PointAt(0.5), 1e-14);
  expectNear(curve.DerivativeAt(0.4), arc.TangentAt(0.5) * (r * 2.5), 1e-13);
  EXPECT_FALSE(curve.Evaluate(1.01, 0, v));
}

TEST(OnArcCurve, WholeCircleEndsCannotMove) {
  ON_ArcCurve circle(tiltedCircle());
  EXPECT_TRUE(circle.IsCircle());
  EXPECT_TRUE(circle.IsClosed());
  EXPECT_FALSE(circle.SetStartPoint(ON_3dPoint(0, 0, 0)));
  EXPECT_FALSE(circle.SetEndPoint(ON_3dPoint(0, 0, 0)));
  EXPECT_EQ(circle.m_arc.m_angle, ON_Interval(0, 2 * ON_PI));
  ON_ArcCurve part(ON_Arc(tiltedCircle(), ON_Interval(1, 2)));
  EXPECT_FALSE(part.IsClosed());
}

TEST(OnArcCurve, EndsMoveAlongTheCircle) {
  const ON_Circle c = tiltedCircle();
  ON_ArcCurve curve(ON_Arc(c, ON_Interval(1, 2)));
  // Across the zero angle: a start at 300 degrees lies before the end.
  ASSERT_TRUE(curve.SetStartPoint(c.Center() + (c.PointAt(-1) - c.Center()) * 3));
  EXPECT_NEAR(curve.m_arc.m_angle[0], -1, 1e-13);
  EXPECT_EQ(curve.m_arc.m_angle[1], 2);
  ASSERT_TRUE(curve.SetEndPoint(c.PointAt(0.5)));
  EXPECT_NEAR(curve.m_arc.m_angle[1], 0.5, 1e-13);
  expectNear(curve.PointAtEnd(), c.PointAt(0.5), 1e-13);
  // The end may not fall on the start: the arc would vanish.
  EXPECT_FALSE(curve.SetEndPoint(c.PointAt(curve.m_arc.m_angle[0])));
  EXPECT_FALSE(curve.SetStartPoint(c.Center()));
  EXPECT_TRUE(curve.IsValid());
}

TEST(OnArcCurve, TrimAndTransform) {
  const ON_Circle c = tiltedCircle();
  ON_ArcCurve curve(ON_Arc(c, ON_Interval(0, 3)));
  curve.SetDomain(0, 6);
  const ON_3dPoint at2 = curve.PointAt(2);
  EXPECT_FALSE(curve.Trim(ON_Interval(1, 7)));
  ASSERT_TRUE(curve.Trim(ON_Interval(1, 5)));
  expectNear(curve.PointAt(2), at2, 1e-14);
  EXPECT_NEAR(curve.m_arc.m_angle[0], 0.5, 1e-15);
  EXPECT_NEAR(curve.m_arc.m_angle[1], 2.5, 1e-15);
  const ON_ArcCurve before = curve;
  const ON_Xform move = rotationZ(2, ON_3dVector(1, 1, 1));
  ASSERT_TRUE(curve.Transform(move));
  for (double t : {1.0, 3.0, 5.0}) expectNear(curve.PointAt(t), move * before.PointAt(t), 1e-13);
  EXPECT_FALSE(curve.Transform(scaling(1, 2, 3)));
  expectNear(curve.PointAt(3), move * before.PointAt(3), 1e-13);
}

TEST(OnPolylineCurve, DomainAndSidesAtCorners) {
  ON_3dPointArray pts;
  for (auto p : {ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 0), ON_3dPoint(2, 3, 0)}) pts.Append(p);
  ON_PolylineCurve curve(pts);
  EXPECT_EQ(curve.Domain(), ON_Interval(0, 2));
  ASSERT_TRUE(curve.SetDomain(10, 14));
  EXPECT_EQ(curve.m_t[1], 12);
  double below[6], above[6];
  ASSERT_TRUE(curve.Evaluate(12, 1, below, -1));
  ASSERT_TRUE(curve.Evaluate(12, 1, above, 1));
  EXPECT_EQ(ON_3dPoint(below[0], below[1], below[2]), ON_3dPoint(2, 0, 0));
  EXPECT_EQ(ON_3dVector(below[3], below[4], below[5]), ON_3dVector(1, 0, 0));
  EXPECT_EQ(ON_3dVector(above[3], above[4], above[5]), ON_3dVector(0, 1.5, 0));
  // At the domain's ends each side takes the piece inside.
  ASSERT_TRUE(curve.Evaluate(10, 1, above, -1));
  EXPECT_EQ(above[3], 1);
  ASSERT_TRUE(curve.Evaluate(14, 1, below, 1));
  EXPECT_EQ(below[4], 1.5);
  EXPECT_FALSE(curve.Evaluate(14.5, 0, below));
  EXPECT_FALSE(curve.IsClosed());
}

TEST(OnPolylineCurve, TrimKeepsInnerCornersAndNurbsFormAgrees) {
  ON_3dPointArray pts;
  for (int i = 0; i < 5; ++i) pts.Append(ON_3dPoint(i, i * i, 1));
  ON_PolylineCurve curve(pts);
  const ON_PolylineCurve whole = curve;
  ASSERT_TRUE(curve.Trim(ON_Interval(0.5, 3)));
  ASSERT_EQ(curve.PointCount(), 4);
  EXPECT_EQ(curve.m_t[3], 3);
  EXPECT_EQ(curve.m_pline[3], whole.m_pline[3]);
  for (double t : {0.5, 1.2, 2.9}) expectNear(curve.PointAt(t), whole.PointAt(t), 1e-15);
  ON_NurbsCurve form;
  ASSERT_EQ(whole.GetNurbForm(form), 1);
  EXPECT_EQ(form.Degree(), 1);
  EXPECT_EQ(form.KnotCount(), 5);
  for (double t : {0.0, 1.5, 3.25, 4.0}) expectNear(form.PointAt(t), whole.PointAt(t), 1e-15);
  EXPECT_FALSE(ON_PolylineCurve().IsValid());
  EXPECT_EQ(ON_PolylineCurve().GetNurbForm(form), 0);
}

TEST(OnPolylineCurve, ClosedOnlyWhenItLeavesItsStart) {
  ON_3dPointArray loop;
  for (auto p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(0, 0, 0)}) loop.Append(p);
  EXPECT_TRUE(ON_PolylineCurve(loop).IsClosed());
  loop[1] = loop[0];
  EXPECT_FALSE(ON_PolylineCurve(loop).IsClosed());
  ON_PolylineCurve moved(loop);
  EXPECT_TRUE(moved.SetEndPoint(ON_3dPoint(5, 5, 5)));
  EXPECT_EQ(moved.PointAtEnd(), ON_3dPoint(5, 5, 5));
}

TEST(OnObjects, PointAndPlacementTransform) {
  ON_Point p(ON_3dPoint(1, 2, 3));
  ASSERT_TRUE(p.Translate(ON_3dVector(1, 1, 1)));
  EXPECT_EQ(p.point, ON_3dPoint(2, 3, 4));
  // A placed block moved after its placement: the placement applies first.
  ON_InstanceRef ref;
  ref.m_xform.Translation(ON_3dVector(1, 0, 0));
  ASSERT_TRUE(ref.Transform(rotationZ(ON_PI / 2)));
  expectNear(ref.m_xform * ON_3dPoint(0, 0, 0), ON_3dPoint(0, 1, 0), 1e-15);
  EXPECT_FALSE(ref.IsValid());
  ON_UUID id;
  id.Data4[7] = 1;
  ref.m_instance_definition_uuid = id;
  EXPECT_TRUE(ref.IsValid());
  ON_3dmObjectAttributes attributes;
  attributes.SetColorSource(static_cast<ON::object_color_source>(7));
  EXPECT_EQ(int(attributes.ColorSource()), 7);
}
