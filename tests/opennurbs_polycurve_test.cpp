// Polycurves: ownership of their segments, the parameter across them, their joined NURBS form
// and trims.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "nurbs_random.h"
#include "opennurbs/opennurbs.h"

namespace {

// A line that counts its deletions, to see who deletes it.
struct CountedLine : ON_LineCurve {
  static int deleted;
  CountedLine(const ON_3dPoint& a, const ON_3dPoint& b) : ON_LineCurve(a, b) {}
  ~CountedLine() override { ++deleted; }
  ON_Curve* Duplicate() const override { return new CountedLine(*this); }
};
int CountedLine::deleted = 0;

void expectNear(const ON_3dPoint& a, const ON_3dPoint& b, double tol) {
  EXPECT_LE(a.DistanceTo(b), tol) << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                  << ", " << b.z << ")";
}

const ON_Circle kCircle(ON_3dPoint(5, 0, 0), 1);

// A line (0, 0, 0)-(4, 0, 0) over [0, 4], a half circle on to (6, 0, 0) over [4, 4 + pi], and
// a cubic from there.
ON_PolyCurve threeSegments() {
  ON_PolyCurve poly;
  poly.Append(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(4, 0, 0)));
  poly.Append(new ON_ArcCurve(ON_Arc(kCircle, ON_Interval(ON_PI, 2 * ON_PI))));
  const ON_3dPoint p[5] = {kCircle.PointAt(2 * ON_PI), {7, 1, 0}, {8, -1, 1}, {9, 0, 2}, {10, 3, 0}};
  auto* cubic = new ON_NurbsCurve;
  cubic->CreateClampedUniformNurbs(3, 4, 5, p, 0.5);
  cubic->SetWeight(2, 3.0);
  poly.Append(cubic);
  return poly;
}

}  // namespace

TEST(OnPolyCurve, AppendTakesOwnershipOrRefuses) {
  CountedLine::deleted = 0;
  {
    ON_PolyCurve poly;
    EXPECT_FALSE(poly.Append(nullptr));
    EXPECT_FALSE(poly.Append(&poly));
    auto* point = new CountedLine(ON_3dPoint(1, 1, 1), ON_3dPoint(1, 1, 1));
    EXPECT_FALSE(poly.Append(point));  // a domain of no length
    delete point;
    auto* line = new CountedLine(ON_3dPoint(0, 0, 0), ON_3dPoint(3, 4, 0));
    ASSERT_TRUE(poly.Append(line));
    EXPECT_FALSE(poly.Append(line));
    ASSERT_TRUE(poly.Append(new CountedLine(ON_3dPoint(3, 4, 0), ON_3dPoint(3, 4, 2))));
    EXPECT_EQ(poly.Count(), 2);
    EXPECT_EQ(poly[0], line);
    EXPECT_EQ(poly.SegmentCurve(2), nullptr);
    EXPECT_EQ(poly.SegmentCurve(-1), nullptr);
    ASSERT_EQ(poly.m_t.Count(), 3);
    EXPECT_EQ(poly.m_t[2], 7);
    EXPECT_EQ(CountedLine::deleted, 1);
  }
  EXPECT_EQ(CountedLine::deleted, 3);
}

TEST(OnPolyCurve, CopiesAreDeep) {
  CountedLine::deleted = 0;
  ON_PolyCurve a;
  a.Append(new CountedLine(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
  ON_PolyCurve b(a);
  ASSERT_NE(b[0], a[0]);
  b[0]->SetEndPoint(ON_3dPoint(2, 0, 0));
  EXPECT_EQ(a.PointAtEnd(), ON_3dPoint(1, 0, 0));
  b = a;
  EXPECT_EQ(CountedLine::deleted, 1);
  EXPECT_EQ(b.PointAtEnd(), ON_3dPoint(1, 0, 0));
  ON_PolyCurve& self = b;
  b = self;
  EXPECT_TRUE(b.IsValid());
  std::unique_ptr<ON_Curve> d(a.Duplicate());
  EXPECT_NE(static_cast<ON_PolyCurve*>(d.get())->SegmentCurve(0), a[0]);
  b.Destroy();
  EXPECT_EQ(b.Count(), 0);
  EXPECT_FALSE(b.IsValid());
  EXPECT_EQ(CountedLine::deleted, 2);
}

TEST(OnPolyCurve, ParameterRunsThroughTheSegments) {
  ON_PolyCurve poly = threeSegments();
  ASSERT_TRUE(poly.IsValid());
  EXPECT_EQ(poly.Domain(), ON_Interval(0, 4 + ON_PI + 1));
  expectNear(poly.PointAt(2), ON_3dPoint(2, 0, 0), 0);
  expectNear(poly.PointAt(4 + ON_PI / 2), ON_3dPoint(5, -1, 0), 1e-15);
  // At the line's end the two sides see the line and the arc.
  double below[6], above[6];
  ASSERT_TRUE(poly.Evaluate(4, 1, below, -1));
  ASSERT_TRUE(poly.Evaluate(4, 1, above, 1));
  EXPECT_EQ(ON_3dVector(below[3], below[4], below[5]), ON_3dVector(1, 0, 0));
  EXPECT_NEAR(above[3], 0, 1e-15);
  EXPECT_NEAR(above[4], -1, 1e-15);
  // A new domain scales every derivative.
  const double length = poly.Domain().Length();
  ASSERT_TRUE(poly.SetDomain(0, 1));
  double v[9];
  ASSERT_TRUE(poly.Evaluate(2 / length, 2, v));
  EXPECT_NEAR(v[0], 2, 1e-14);
  EXPECT_NEAR(v[3], length, 1e-13);
  ASSERT_TRUE(poly.Evaluate((4 + ON_PI / 2) / length, 2, v));
  EXPECT_NEAR(v[7], length * length, 1e-12);  // the arc's pull towards its centre
  EXPECT_FALSE(poly.Evaluate(1.01, 0, v));
  EXPECT_FALSE(poly.SetDomain(1, 1));
}

TEST(OnPolyCurve, NurbsFormJoinsAtTheHighestDegree) {
  const ON_PolyCurve poly = threeSegments();
  ON_NurbsCurve form;
  ASSERT_EQ(poly.GetNurbForm(form), 2);  // the arc's form keeps its points, not its speed
  ASSERT_TRUE(form.IsValid());
  EXPECT_EQ(form.Degree(), 3);
  EXPECT_TRUE(form.IsRational());
  EXPECT_EQ(form.Domain(), poly.Domain());
  int joint = 0;
  for (int i = 0; i < form.KnotCount(); ++i) joint += form.Knot(i) == 4;
  EXPECT_EQ(joint, 3);
  // Same points wherever the parameter is the segments' own: on the line, the cubic, and
  // the arc's span ends.
  for (double t : {0.0, 1.3, 4.0, 4 + ON_PI / 2, 4 + ON_PI, 4.2 + ON_PI, 5 + ON_PI}) {
    expectNear(form.PointAt(t), poly.PointAt(t), 1e-13);
  }
  for (int i = 0; i <= 100; ++i) {
    const ON_3dPoint p = form.PointAt(4 + ON_PI * i / 100);
    EXPECT_NEAR(p.DistanceTo(kCircle.Center()), 1, 1e-14);
  }
}

TEST(OnPolyCurve, NurbsFormOfStraightSegmentsStaysStraight) {
  ON_PolyCurve poly;
  poly.Append(new ON_LineCurve(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)));
  ON_3dPointArray pts;
  for (auto p : {ON_3dPoint(1, 0, 0), ON_3dPoint(1, 1, 0), ON_3dPoint(2, 1, 1)}) pts.Append(p);
  poly.Append(new ON_PolylineCurve(pts));
  ON_NurbsCurve form;
  ASSERT_EQ(poly.GetNurbForm(form), 1);
  EXPECT_EQ(form.Degree(), 1);
  EXPECT_FALSE(form.IsRational());
  ASSERT_EQ(form.CVCount(), 4);
  for (int i = 0; i < 4; ++i) {
    ON_3dPoint p;
    form.GetCV(i, p);
    EXPECT_EQ(p, i == 0 ? ON_3dPoint(0, 0, 0) : pts[i - 1]);
  }
  for (double t : {0.5, 1.0, 1.7, 3.0}) expectNear(form.PointAt(t), poly.PointAt(t), 1e-15);
  EXPECT_EQ(ON_PolyCurve().GetNurbForm(form), 0);
}

TEST(OnPolyCurve, RaisedSegmentsKeepTheirCurves) {
  // Random curves of degree 1 to 5 joined end to end, the lower ones raised to degree 5.
  std::mt19937 rng(23);
  ON_PolyCurve poly;
  ON_3dPoint end;
  for (int degree = 1; degree <= 5; ++degree) {
    auto* c = new ON_NurbsCurve(kvtest::randomCurve(rng, degree, degree % 2 == 0, {degree > 2, true}));
    if (degree > 1) c->SetStartPoint(end);
    end = c->PointAtEnd();
    ASSERT_TRUE(poly.Append(c));
  }
  ON_NurbsCurve form;
  ASSERT_EQ(poly.GetNurbForm(form), 1);
  EXPECT_EQ(form.Degree(), 5);
  const ON_Interval d = poly.Domain();
  for (int i = 0; i <= 300; ++i) {
    const double t = d.ParameterAt(i / 300.0);
    const ON_3dPoint p = poly.PointAt(t);
    expectNear(form.PointAt(t), p, 1e-11 * std::max(1.0, p.DistanceTo(ON_3dPoint::Origin)));
  }
}

TEST(OnPolyCurve, TrimKeepsWhatTheIntervalTouches) {
  CountedLine::deleted = 0;
  ON_PolyCurve poly;
  for (int i = 0; i < 4; ++i)
    poly.Append(new CountedLine(ON_3dPoint(i, i % 2, 0), ON_3dPoint(i + 1, (i + 1) % 2, 0)));
  const ON_PolyCurve whole = poly;
  EXPECT_FALSE(poly.Trim(ON_Interval(-1, 2)));
  EXPECT_FALSE(poly.Trim(ON_Interval(3, 2)));
  ASSERT_EQ(poly.Count(), 4);
  const double len = std::sqrt(2.0);
  ASSERT_TRUE(poly.Trim(ON_Interval(0.5 * len, 2.25 * len)));
  ASSERT_EQ(poly.Count(), 3);
  EXPECT_EQ(CountedLine::deleted, 3);  // the last segment, and the two trimmed ones replaced
  EXPECT_EQ(poly.Domain(), ON_Interval(0.5 * len, 2.25 * len));
  EXPECT_TRUE(poly.IsValid());
  for (double s : {0.5, 0.9, 1.0, 1.6, 2.25}) expectNear(poly.PointAt(s * len), whole.PointAt(s * len), 1e-14);
  // Inside one segment.
  ASSERT_TRUE(poly.Trim(ON_Interval(1.2 * len, 1.4 * len)));
  ASSERT_EQ(poly.Count(), 1);
  expectNear(poly.PointAtStart(), whole.PointAt(1.2 * len), 1e-14);
  expectNear(poly.PointAtEnd(), whole.PointAt(1.4 * len), 1e-14);
}

TEST(OnPolyCurve, TransformIsAllOrNothing) {
  ON_PolyCurve poly = threeSegments();
  const ON_PolyCurve before = poly;
  ON_Xform stretch;
  stretch[0][0] = 2;
  EXPECT_FALSE(poly.Transform(stretch));  // the arc cannot follow
  for (double t : {1.0, 5.0, 7.5}) EXPECT_EQ(poly.PointAt(t), before.PointAt(t));
  ASSERT_TRUE(poly.Translate(ON_3dVector(0, 0, 3)));
  for (double t : {1.0, 5.0, 7.5}) expectNear(poly.PointAt(t), before.PointAt(t) + ON_3dVector(0, 0, 3), 1e-14);
  ASSERT_TRUE(poly.SetStartPoint(ON_3dPoint(-1, 0, 3)));
  EXPECT_EQ(poly.PointAtStart(), ON_3dPoint(-1, 0, 3));
  ASSERT_TRUE(poly.SetEndPoint(ON_3dPoint(0, 0, 0)));
  EXPECT_EQ(poly.PointAtEnd(), ON_3dPoint(0, 0, 0));
  EXPECT_FALSE(ON_PolyCurve().SetStartPoint(ON_3dPoint()));
}
