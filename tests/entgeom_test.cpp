// Values and curves between the host's entities and the geometry vocabulary: bit-exact values,
// curves that start, end and run where their entities do, spline data of any length, polyline
// vertices that do not open, and the setters back into entities.
#include "convert/entgeom.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "host_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRel = 1e-12;

double deg(double d) { return d * kPi / 180; }

std::uint64_t bitsOf(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

double fromBits(std::uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

// Negative zero, infinities, huge and subnormal values, and NaNs with payloads (one signalling).
const std::vector<double>& oddValues() {
  static const std::vector<double> values = {-0.0, INFINITY, -INFINITY, 1.7e308, 5e-324, -1.5,
                                             fromBits(0x7FF0000000000123), fromBits(0xFFF8000000ABCDEF)};
  return values;
}

void expectAt(const ON_3dPoint& got, const AcGePoint3d& want, const char* what = "") {
  const double tol = kRel * std::max({1.0, std::fabs(want.x), std::fabs(want.y), std::fabs(want.z)});
  EXPECT_NEAR(got.x, want.x, tol) << what;
  EXPECT_NEAR(got.y, want.y, tol) << what;
  EXPECT_NEAR(got.z, want.z, tol) << what;
}

void expectAt(const AcGePoint3d& got, const ON_3dPoint& want, const char* what = "") {
  expectAt(ON_3dPoint(got.x, got.y, got.z), AcGePoint3d(want.x, want.y, want.z), what);
}

AcGePoint3d hostAt(const AcDbCurve& c, double param) {
  AcGePoint3d p;
  EXPECT_EQ(c.getPointAtParam(param, p), Acad::eOk) << param;
  return p;
}

AcGePoint3d hostStart(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getStartPoint(p), Acad::eOk);
  return p;
}

AcGePoint3d hostEnd(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getEndPoint(p), Acad::eOk);
  return p;
}

AcGeVector3d unit(double x, double y, double z) { return AcGeVector3d(x, y, z).normal(); }

// Normals on both sides of the arbitrary-axis limit, reversed and tilted.
const std::vector<AcGeVector3d>& normals() {
  static const std::vector<AcGeVector3d> list = {AcGeVector3d::kZAxis, -AcGeVector3d::kZAxis, unit(0.6, 0, 0.8),
                                                 unit(0.0156, -0.0156, 1), unit(1, 2, 2), unit(0, -1, 0)};
  return list;
}

template <class T>
struct Closer {
  void operator()(T* object) const { object->close(); }
};
template <class T>
using Opened = std::unique_ptr<T, Closer<T>>;

template <class T>
Opened<T> openFor(AcDbObjectId id, AcDb::OpenMode mode = AcDb::kForRead) {
  T* object = nullptr;
  EXPECT_EQ(acdbOpenObject(object, id, mode), Acad::eOk);
  return Opened<T>(object);
}

std::vector<ON_3dPoint> pointsOf(const ON_PolylineCurve& curve) {
  return std::vector<ON_3dPoint>(curve.m_pline.begin(), curve.m_pline.end());
}

AcGePoint3dArray pointArray(std::initializer_list<AcGePoint3d> list) {
  AcGePoint3dArray out;
  for (const AcGePoint3d& p : list) out.append(p);
  return out;
}

AcGeDoubleArray doubles(std::initializer_list<double> list) {
  AcGeDoubleArray out;
  for (double d : list) out.append(d);
  return out;
}

// Entities are made in a fresh host with an empty drawing, as the host makes them.
class EntGeomCurves : public HostTest {};
class EntGeomSplines : public HostTest {};
class EntGeomPolylines : public HostTest {};

// ---- values ---------------------------------------------------------------------------------

template <class Got, class Want>
void expectSameBits(const Got& got, const Want& want) {
  EXPECT_EQ(bitsOf(got.x), bitsOf(want.x)) << want.x;
  EXPECT_EQ(bitsOf(got.y), bitsOf(want.y)) << want.y;
  EXPECT_EQ(bitsOf(got.z), bitsOf(want.z)) << want.z;
}

TEST(EntGeomValues, PointsAndVectorsPassBitForBit) {
  const std::vector<double>& v = oddValues();
  for (size_t i = 0; i < v.size(); ++i) {
    const double a = v[i], b = v[(i + 3) % v.size()], c = -v[(i + 5) % v.size()];
    expectSameBits(GePointFromOnPoint(ON_3dPoint(a, b, c)), ON_3dPoint(a, b, c));
    expectSameBits(GeVectorFromOnVector(ON_3dVector(a, b, c)), ON_3dVector(a, b, c));
    expectSameBits(OnPointFromGePoint(AcGePoint3d(a, b, c)), AcGePoint3d(a, b, c));
    expectSameBits(OnVectorFromGeVector(AcGeVector3d(a, b, c)), AcGeVector3d(a, b, c));
  }
}

TEST(EntGeomValues, MatricesCopyEveryElementInPlace) {
  ON_Xform x;
  for (int i = 0; i < 16; ++i) x.m_xform[i / 4][i % 4] = i < 8 ? oddValues()[size_t(i)] : 10.0 * i + 0.25;
  const AcGeMatrix3d m = GeMatrixFromXform(x);
  AcGeMatrix3d g;
  for (int i = 0; i < 16; ++i) g.entry[i / 4][i % 4] = i >= 8 ? oddValues()[size_t(i - 8)] : -3.0 * i - 0.5;
  const ON_Xform back = XformFromGeMatrix(g);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(bitsOf(m.entry[i][j]), bitsOf(x.m_xform[i][j])) << i << j;
      EXPECT_EQ(bitsOf(back.m_xform[i][j]), bitsOf(g.entry[i][j])) << i << j;
    }
  // The translation column of a real transform lands where each form reads it.
  ON_Xform move;
  move.Translation(ON_3dVector(4, -5, 6));
  const AcGePoint3d moved = AcGePoint3d(1, 1, 1).transformBy(GeMatrixFromXform(move));
  EXPECT_EQ(moved.x, 5.0);
  EXPECT_EQ(moved.y, -4.0);
  EXPECT_EQ(moved.z, 7.0);
}

TEST(EntGeomValues, ColourFollowsItsSource) {
  ON_3dmObjectAttributes attributes;
  attributes.m_color = ON_Color(64, 128, 255, 0x9A);
  attributes.SetColorSource(ON::color_from_object);
  AcCmColor c = ColorFromAttributes(attributes);
  EXPECT_TRUE(c.isByColor());
  EXPECT_EQ(c.red(), 64);
  EXPECT_EQ(c.green(), 128);
  EXPECT_EQ(c.blue(), 255);
  for (auto source : {ON::color_from_layer, ON::color_from_material}) {
    attributes.SetColorSource(source);
    EXPECT_TRUE(ColorFromAttributes(attributes).isByLayer()) << int(source);
  }
  for (int source : {3, 4, -1, 200}) {
    attributes.SetColorSource(ON::object_color_source(source));
    EXPECT_EQ(ColorFromAttributes(attributes), AcCmColor()) << source;
  }
}

// ---- lines, points, circles and arcs ----------------------------------------------------------

TEST_F(EntGeomCurves, PointsLinesRaysAndXlines) {
  AcDbPoint point(AcGePoint3d(1, -2, 3));
  ON_Point object(ON_3dPoint(9, 9, 9));
  EXPECT_EQ(PointObjectFromPoint(&point, object), TRUE);
  EXPECT_EQ(object.point, ON_3dPoint(1, -2, 3));
  AcDbPoint back;
  SetPointFromPointObject(object, &back);
  expectSameBits(back.position(), object.point);

  AcDbLine line(AcGePoint3d(1, 2, 3), AcGePoint3d(-4, 5, 6.5));
  ON_LineCurve curve(ON_3dPoint(7, 7, 7), ON_3dPoint(8, 8, 8));
  LineCurveFromLine(&line, curve);
  EXPECT_EQ(curve.m_line.from, ON_3dPoint(1, 2, 3));
  EXPECT_EQ(curve.m_line.to, ON_3dPoint(-4, 5, 6.5));
  AcDbLine copy;
  SetLineFromOnLine(curve.m_line, &copy);
  expectSameBits(copy.startPoint(), line.startPoint());
  expectSameBits(copy.endPoint(), line.endPoint());

  AcDbRay ray;
  ray.setBasePoint(AcGePoint3d(1, 2, 3));
  ray.setUnitDir(AcGeVector3d(3, 4, 0));
  LineCurveFromRay(&ray, curve);
  expectAt(curve.m_line.from, AcGePoint3d(1, 2, 3));
  expectAt(curve.m_line.to, AcGePoint3d(1.6, 2.8, 3));

  AcDbXline xline;
  xline.setBasePoint(AcGePoint3d(1, 2, 3));
  xline.setUnitDir(AcGeVector3d(0, 0, -2));
  LineCurveFromXline(&xline, curve);
  expectAt(curve.m_line.from, AcGePoint3d(1, 2, 2));
  expectAt(curve.m_line.to, AcGePoint3d(1, 2, 4));
}

TEST_F(EntGeomCurves, CircleIsWholeAndStartsWhereTheHostsDoes) {
  for (const AcGeVector3d& n : normals()) {
    AcDbCircle circle(AcGePoint3d(10, -20, 5), n, 3);
    ON_ArcCurve curve;
    ArcCurveFromCircle(&circle, curve);
    EXPECT_TRUE(curve.IsCircle());
    AcDbCircle back;
    SetCircleFromOnCircle(curve.m_arc, &back);
    for (double t : {0.0, 1.0, 2.5, 4.0, 2 * kPi}) {
      expectAt(curve.PointAt(curve.Domain()[0] + t), hostAt(circle, t), "vocabulary");
      expectAt(hostAt(back, t), curve.PointAt(curve.Domain()[0] + t), "back");
    }
  }
}

TEST_F(EntGeomCurves, ArcRunsFromItsStartToItsEndAndBack) {
  struct Case {
    double start, end;
  };
  for (const AcGeVector3d& n : normals())
    for (Case c : {Case{30, 120}, Case{350, 10}, Case{10, 200}, Case{45, 44}}) {
      AcDbArc arc(AcGePoint3d(1e3, 2, -3), n, 2.5, deg(c.start), deg(c.end));
      ON_ArcCurve curve;
      ArcCurveFromArc(&arc, curve);
      double p0 = 0, p1 = 0;
      arc.getStartParam(p0);
      arc.getEndParam(p1);
      const ON_Interval d = curve.Domain();
      EXPECT_FALSE(curve.IsCircle());
      expectAt(curve.PointAtStart(), hostStart(arc), "start");
      expectAt(curve.PointAtEnd(), hostEnd(arc), "end");
      expectAt(curve.PointAt(d.ParameterAt(0.5)), hostAt(arc, 0.5 * (p0 + p1)), "middle");

      AcDbArc back;
      SetArcFromOnArc(curve.m_arc, &back);
      expectAt(hostStart(back), curve.m_arc.StartPoint(), "back start");
      expectAt(hostEnd(back), curve.m_arc.EndPoint(), "back end");
      expectAt(hostAt(back, back.startAngle() + 0.5 * curve.m_arc.AngleRadians()), curve.m_arc.MidPoint(),
               "back middle");
    }
}

TEST_F(EntGeomCurves, ArcOfNoLengthStaysNoLength) {
  AcDbArc arc(AcGePoint3d(0, 0, 0), 2, deg(40), deg(40));
  ON_ArcCurve curve;
  ArcCurveFromArc(&arc, curve);
  EXPECT_FALSE(curve.IsCircle());
  EXPECT_EQ(curve.m_arc.AngleRadians(), 0.0);
}

// The start angle is measured from the host's own reference direction, which changes rule at
// |x| and |y| below 1/64: its start and end points show which reference was taken.
TEST_F(EntGeomCurves, ArcSetterMeasuresFromTheArbitraryAxis) {
  AcDbArc flat;
  SetArcFromOnArc(ON_Arc(ON_Circle(ON_3dPoint(1, 1, 0), 2), ON_Interval(0.5, 2.0)), &flat);
  EXPECT_NEAR(flat.startAngle(), 0.5, kRel);
  EXPECT_NEAR(flat.endAngle(), 2.0, kRel);

  // A unit normal whose x is exactly 1/64 in both forms.
  AcGeVector3d n(1.0 / 64, 0, std::sqrt(1 - 1.0 / 4096));
  for (int k = 0; k < 8 && AcGeVector3d(n).normalize().x != 1.0 / 64; ++k) n.z = std::nextafter(n.z, 2.0);
  ON_Plane plane;
  plane.origin = ON_3dPoint(3, 4, 5);
  plane.zaxis = OnVectorFromGeVector(n);
  plane.xaxis = ON_CrossProduct(ON_3dVector(0, 0, 1), plane.zaxis);
  plane.xaxis.Unitize();
  plane.yaxis = ON_CrossProduct(plane.zaxis, plane.xaxis);
  for (ON_Interval angles : {ON_Interval(0.25, 1.0), ON_Interval(5.5, 7.0)}) {
    const ON_Arc arc(ON_Circle(plane, 1.5), angles);
    ASSERT_EQ(arc.Normal().x, 1.0 / 64);
    AcDbArc entity;
    SetArcFromOnArc(arc, &entity);
    ASSERT_EQ(entity.normal().x, 1.0 / 64);
    expectAt(hostStart(entity), arc.StartPoint(), "start");
    expectAt(hostEnd(entity), arc.EndPoint(), "end");
  }
}

// ---- ellipses ---------------------------------------------------------------------------------

struct EllipseFrame {
  explicit EllipseFrame(const AcDbEllipse& e)
      : c(e.center()), x(e.majorAxis().normal()), y(e.minorAxis().normal()), n(e.normal()),
        a(e.majorAxis().length()), b(e.minorAxis().length()) {}
  // The ellipse parameter of p, after checking that p lies on the ellipse.
  double paramOf(const ON_3dPoint& p) const {
    const AcGeVector3d v = GePointFromOnPoint(p) - c;
    const double t = std::atan2(v.dotProduct(y) / b, v.dotProduct(x) / a);
    const AcGePoint3d on = c + x * (a * std::cos(t)) + y * (b * std::sin(t));
    const double scale = std::max({a, std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)});
    EXPECT_LE(on.distanceTo(GePointFromOnPoint(p)), kRel * scale);
    return t;
  }
  AcGePoint3d c;
  AcGeVector3d x, y, n;
  double a, b;
};

TEST_F(EntGeomCurves, ClosedEllipseIsTheWholeForm) {
  AcDbEllipse e(AcGePoint3d(5, 6, 7), unit(1, 2, 2), AcGeVector3d(6, -3, 0), 0.4, deg(45), deg(45));
  ASSERT_TRUE(e.isClosed());
  ON_NurbsCurve curve;
  NurbsCurveFromEllipse(&e, curve);
  EXPECT_TRUE(curve.IsRational());
  EXPECT_TRUE(curve.IsClosed());
  EllipseFrame frame(e);
  const ON_Interval d = curve.Domain();
  // The host's parameters start at its start angle; the form's at the major axis.
  for (int k = 0; k <= 4; ++k)
    expectAt(curve.PointAt(d.ParameterAt(k / 4.0)), hostAt(e, k * kPi / 2 + (k == 0 ? 2 * kPi : 0)));
  for (int i = 0; i < 64; ++i) frame.paramOf(curve.PointAt(d.ParameterAt(i / 64.0)));
}

// Every sample lies on the ellipse and inside the host's arc, in order: the curve traces the
// entity's part, not the rest of the ellipse.
TEST_F(EntGeomCurves, EllipticalArcTracesOnlyItsOwnPart) {
  struct Case {
    AcGeVector3d normal, major;
    double ratio, start, end;
  };
  const Case cases[] = {{AcGeVector3d::kZAxis, AcGeVector3d(4, 0, 0), 0.5, 30, 150},
                        {AcGeVector3d::kZAxis, AcGeVector3d(0, 3, 0), 0.5, 300, 60},
                        {unit(1, 2, 2), AcGeVector3d(6, -3, 0), 0.25, 200, 190},
                        {-AcGeVector3d::kZAxis, AcGeVector3d(2e3, 1e3, 0), 1.0, 0, 90},
                        {unit(0, 1, 0), AcGeVector3d(0, 0, 5), 0.01, 100, 80}};
  for (const Case& c : cases) {
    AcDbEllipse e(AcGePoint3d(1e4, -2e4, 5e3), c.normal, c.major, c.ratio, deg(c.start), deg(c.end));
    ASSERT_FALSE(e.isClosed());
    ON_NurbsCurve curve;
    NurbsCurveFromEllipse(&e, curve);
    expectAt(curve.PointAtStart(), hostStart(e), "start");
    expectAt(curve.PointAtEnd(), hostEnd(e), "end");
    double t0 = 0, t1 = 0, last = -1;
    e.getStartParam(t0);
    e.getEndParam(t1);
    EllipseFrame frame(e);
    for (int i = 0; i <= 64; ++i) {
      double t = frame.paramOf(curve.PointAt(curve.Domain().ParameterAt(i / 64.0)));
      t -= 2 * kPi * std::floor((t - t0 + 1e-9) / (2 * kPi));
      EXPECT_GT(t, last - 1e-9) << c.start << " " << i;
      EXPECT_LE(t, t1 + 1e-9) << c.start << " " << i;
      last = t;
    }
  }
}

// ---- splines ----------------------------------------------------------------------------------

void expectSameCurve(const AcDbSpline& spline, const ON_NurbsCurve& curve) {
  double p0 = 0, p1 = 0;
  spline.getStartParam(p0);
  spline.getEndParam(p1);
  EXPECT_EQ(curve.Domain(), ON_Interval(p0, p1));
  for (int i = 0; i <= 10; ++i) {
    const double t = p0 + (p1 - p0) * i / 10;
    expectAt(curve.PointAt(t), hostAt(spline, t));
  }
}

TEST_F(EntGeomSplines, KnotsLoseTheirEndsAndTheCurveStays) {
  const AcGePoint3dArray points = pointArray({{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {4, 0, 2}, {6, -1, 2}, {7, 1, 0}, {9, 0, 0}});
  const AcGeDoubleArray clamped = doubles({0, 0, 0, 0, 0.5, 1.5, 2, 3, 3, 3, 3});
  const AcGeDoubleArray open = doubles({-3, -2, -1, 0, 1, 2.5, 3, 4, 5, 6, 7});
  for (const AcGeDoubleArray& knots : {clamped, open}) {
    AcDbSpline spline(3, false, false, false, points, knots, AcGeDoubleArray());
    ON_NurbsCurve curve;
    NurbsCurveFromSpline(&spline, curve);
    ASSERT_EQ(curve.KnotCount(), knots.length() - 2);
    for (int i = 0; i < curve.KnotCount(); ++i) EXPECT_EQ(curve.Knot(i), knots[i + 1]) << i;
    EXPECT_FALSE(curve.IsRational());
    EXPECT_EQ(curve.Degree(), 3);
    expectSameCurve(spline, curve);
  }
}

TEST_F(EntGeomSplines, RationalSplineKeepsItsWeights) {
  const double w = std::sqrt(0.5);
  AcGePoint3dArray points;
  AcGeDoubleArray weights;
  const int xy[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
  for (int i = 0; i < 9; ++i) {
    points.append(AcGePoint3d(xy[i][0], xy[i][1], 0));
    weights.append(i % 2 ? w : 1.0);
  }
  AcDbSpline spline(2, true, true, false, points, doubles({0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}), weights);
  ON_NurbsCurve curve;
  NurbsCurveFromSpline(&spline, curve);
  ASSERT_TRUE(curve.IsRational());
  ASSERT_EQ(curve.CVCount(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(curve.Weight(i), weights[i]) << i;
    ON_3dPoint cv;
    curve.GetCV(i, cv);
    expectAt(cv, points[i]);
  }
  expectSameCurve(spline, curve);
}

TEST_F(EntGeomSplines, DataOfAnyLengthStaysInsideTheCurve) {
  const AcGePoint3dArray points = pointArray({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}});
  ON_NurbsCurve reference;
  std::vector<ON_3dPoint> on = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
  ASSERT_TRUE(reference.CreateClampedUniformNurbs(3, 3, 4, on.data(), 1.0));

  ON_NurbsCurve longer;
  NurbsCurveFromSplineData(2, false, points, doubles({0, 0, 0, 1, 2, 2, 2, 99, 99, 99}), AcGeDoubleArray(), longer);
  const double inner[5] = {0, 0, 1, 2, 2};
  ASSERT_EQ(longer.KnotCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(longer.Knot(i), inner[i]) << i;

  ON_NurbsCurve shorter;
  NurbsCurveFromSplineData(2, true, points, doubles({-1, 0.5, 7}), doubles({2, 3, 4, 5, 6, 7}), shorter);
  ASSERT_EQ(shorter.KnotCount(), 5);
  EXPECT_EQ(shorter.Knot(0), 0.5);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(shorter.Knot(i), reference.Knot(i)) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(shorter.Weight(i), 2.0 + i) << i;

  ON_NurbsCurve fewWeights;
  NurbsCurveFromSplineData(2, true, points, AcGeDoubleArray(), doubles({2, 3}), fewWeights);
  EXPECT_TRUE(fewWeights.IsRational());
  EXPECT_EQ(fewWeights.Weight(1), 3.0);
  EXPECT_EQ(fewWeights.Weight(3), 1.0);
  ON_3dPoint cv;
  fewWeights.GetCV(1, cv);
  EXPECT_EQ(cv, ON_3dPoint(1, 1, 0));
  ON_NurbsCurve noWeights;
  NurbsCurveFromSplineData(2, true, points, AcGeDoubleArray(), AcGeDoubleArray(), noWeights);
  EXPECT_TRUE(noWeights.IsRational());
}

TEST_F(EntGeomSplines, DataNoCurveCanHoldLeavesAnEmptyCurve) {
  const AcGePoint3dArray points = pointArray({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}});
  const AcGeDoubleArray knots = doubles({0, 0, 0, 0, 1, 1, 1, 1});
  for (int degree : {0, -1, 4, 9, INT_MAX, INT_MIN}) {
    ON_NurbsCurve curve;
    NurbsCurveFromSplineData(3, false, points, knots, AcGeDoubleArray(), curve);
    ASSERT_EQ(curve.CVCount(), 4);
    NurbsCurveFromSplineData(degree, true, points, knots, doubles({1, 2, 3, 4}), curve);
    EXPECT_EQ(curve.CVCount(), 0) << degree;
    EXPECT_FALSE(curve.IsValid()) << degree;
  }
  AcDbSpline null;
  ON_NurbsCurve curve;
  NurbsCurveFromSplineData(3, false, points, knots, AcGeDoubleArray(), curve);
  NurbsCurveFromSpline(&null, curve);
  EXPECT_EQ(curve.CVCount(), 0);
}

// ---- polylines --------------------------------------------------------------------------------

AcDbPolyline* bulgedPolyline(bool closed) {
  auto* p = new AcDbPolyline;
  const double xyb[5][3] = {{0, 0, 0}, {2, 0, 0.5}, {4, 1, 0}, {4, 1, -0.7}, {1, 3, 0.3}};
  for (unsigned i = 0; i < 5; ++i) p->addVertexAt(i, AcGePoint2d(xyb[i][0], xyb[i][1]), xyb[i][2]);
  p->setNormal(unit(0, 0.6, 0.8));
  p->setElevation(1.5);
  p->setClosed(closed);
  return p;
}

TEST_F(EntGeomPolylines, LightweightGivesItsVerticesStraight) {
  for (bool closed : {false, true}) {
    std::unique_ptr<AcDbPolyline> p(bulgedPolyline(closed));
    ON_3dPointArray before;
    before.Append(ON_3dPoint(9, 9, 9));
    ON_PolylineCurve curve(before);
    PolylineCurveFromPolyline(p.get(), curve);
    const std::vector<ON_3dPoint> got = pointsOf(curve);
    ASSERT_EQ(got.size(), closed ? 6u : 5u);
    for (unsigned i = 0; i < 5; ++i) {
      AcGePoint3d world;
      p->getPointAt(i, world);
      expectAt(got[i], world);
    }
    EXPECT_EQ(got.back(), got[closed ? 0 : 4]);
  }
}

TEST_F(EntGeomPolylines, PolycurveAppendsLinesAndArcsWhereTheSegmentsRun) {
  std::unique_ptr<AcDbPolyline> p(bulgedPolyline(true));
  ON_PolyCurve curve;
  curve.Append(new ON_LineCurve(ON_3dPoint(-9, 0, 0), ON_3dPoint(-8, 0, 0)));
  PolyCurveFromPolyline(p.get(), curve);
  ASSERT_EQ(curve.Count(), 5);  // the coincident segment gives nothing
  EXPECT_EQ(curve[0]->PointAtStart(), ON_3dPoint(-9, 0, 0));
  const unsigned hostIndex[4] = {0, 1, 3, 4};
  for (int k = 0; k < 4; ++k) {
    const unsigned i = hostIndex[k];
    const ON_Curve* segment = curve[k + 1];
    const bool arc = p->segType(i) == AcDbPolyline::kArc;
    EXPECT_EQ(dynamic_cast<const ON_ArcCurve*>(segment) != nullptr, arc) << i;
    expectAt(segment->PointAtStart(), hostAt(*p, i), "start");
    expectAt(segment->PointAtEnd(), hostAt(*p, i + 1), "end");
    expectAt(segment->PointAt(segment->Domain().ParameterAt(0.5)), hostAt(*p, i + 0.5), "middle");
  }
  AcDbPolyline single;
  single.addVertexAt(0, AcGePoint2d(1, 1));
  PolyCurveFromPolyline(&single, curve);
  EXPECT_EQ(curve.Count(), 5);
}

TEST_F(EntGeomPolylines, TwoDimensionalPolylineTakesItsElevation) {
  const AcGePoint3dArray xy = pointArray({{0, 0, 0}, {2, 1, 0}, {3, -1, 0}});
  for (bool closed : {false, true}) {
    auto* entity = new AcDb2dPolyline(AcDb::k2dSimplePoly, xy, 0.0, closed);
    entity->setNormal(unit(1, 0, 1));
    entity->setElevation(2.5);
    auto p = openFor<AcDb2dPolyline>(append(entity));
    ON_PolylineCurve curve;
    PolylineCurveFrom2dPolyline(p.get(), curve);
    const std::vector<ON_3dPoint> got = pointsOf(curve);
    ASSERT_EQ(got.size(), closed ? 4u : 3u);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], ON_3dPoint(xy[int(i % 3)].x, xy[int(i % 3)].y, 2.5));
  }
}

TEST_F(EntGeomPolylines, ThreeDimensionalPolylineRoundTrips) {
  ON_Polyline ring;
  for (ON_3dPoint q : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 2), ON_3dPoint(1, 1, -1), ON_3dPoint(0, 1, 3)}) ring.Append(q);
  ring.Append(ring[0]);
  ON_Polyline open = ring;
  open[4].x = std::nextafter(0.0, 1.0);
  for (const ON_Polyline* source : {&ring, &open}) {
    auto* entity = new AcDb3dPolyline;
    Set3dPolylineFromOnPolyline(*source, entity);
    const bool closed = source == &ring;
    EXPECT_EQ(entity->items().size(), closed ? 4u : 5u);
    EXPECT_EQ(entity->isClosed(), closed);
    auto p = openFor<AcDb3dPolyline>(append(entity));
    ON_PolylineCurve curve;
    PolylineCurveFrom3dPolyline(p.get(), curve);
    EXPECT_EQ(pointsOf(curve), std::vector<ON_3dPoint>(source->begin(), source->end()));
  }
}

// A vertex that does not open is left out; the rest keep their order, and a closed polyline
// repeats the first point it could read.
TEST_F(EntGeomPolylines, VertexThatDoesNotOpenIsSkipped) {
  const AcGePoint3dArray points = pointArray({{0, 0, 0}, {1, 0, 1}, {2, 1, 2}, {3, 3, 3}});
  for (int failing : {1, 2}) {
    auto three = openFor<AcDb3dPolyline>(append(new AcDb3dPolyline(AcDb::k3dSimplePoly, points, true)));
    auto two = openFor<AcDb2dPolyline>(append(new AcDb2dPolyline(AcDb::k2dSimplePoly, points, 0.0, true)));
    kv::fault::arm(kv::fault::Call::acdbOpenObject, failing);
    ON_PolylineCurve curve3;
    PolylineCurveFrom3dPolyline(three.get(), curve3);
    kv::fault::arm(kv::fault::Call::acdbOpenObject, failing);
    ON_PolylineCurve curve2;
    PolylineCurveFrom2dPolyline(two.get(), curve2);
    EXPECT_EQ(kv::fault::fired(kv::fault::Call::acdbOpenObject), 2);
    std::vector<ON_3dPoint> want;
    for (int i = 0; i < 4; ++i)
      if (i != failing - 1) want.push_back(OnPointFromGePoint(points[i]));
    want.push_back(want.front());
    EXPECT_EQ(pointsOf(curve3), want) << failing;
    for (ON_3dPoint& q : want) q.z = 0;
    EXPECT_EQ(pointsOf(curve2), want) << failing;
    kv::fault::disarmAll();
  }
}

// A vertex the host refuses is released, not kept or leaked (the sanitizers watch).
TEST_F(EntGeomPolylines, RefusedVertexIsReleased) {
  ON_Polyline line;
  for (double x : {0.0, 1.0, 2.0}) line.Append(ON_3dPoint(x, x, 0));
  auto p = openFor<AcDb3dPolyline>(append(new AcDb3dPolyline));
  EXPECT_EQ(Set3dPolylineFromOnPolyline(line, p.get()), TRUE);  // open for read: every vertex refused
  EXPECT_TRUE(p->items().empty());
}

}  // namespace
