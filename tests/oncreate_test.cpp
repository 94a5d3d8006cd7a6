// New drawing entities from vocabulary values: what each creator adds, where and in what
// colour, which entity a curve becomes, splines filled from NURBS curves, meshes as points and
// edge lines, and the array forms.
#include <cmath>
#include <functional>
#include <set>
#include <tuple>

#include "convert/oncreate.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "host_fixture.h"
#include "oncreate_fixture.h"

namespace {

using Triple = std::tuple<double, double, double>;

Triple triple(const AcGePoint3d& p) { return {p.x, p.y, p.z}; }
Triple triple(const ON_3dPoint& p) { return {p.x, p.y, p.z}; }

void expectNear(const AcGePoint3d& got, const ON_3dPoint& want, double tol) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}

AcCmColor aci(int index) {
  AcCmColor c;
  c.setColorIndex(Adesk::UInt16(index));
  return c;
}

ON_NurbsCurve clamped(int order, std::vector<ON_3dPoint> points) {
  ON_NurbsCurve c;
  EXPECT_TRUE(c.CreateClampedUniformNurbs(3, order, int(points.size()), points.data(), 1.0));
  return c;
}

// A cubic that is no line, circle, arc or polyline.
ON_NurbsCurve wavyCubic() { return clamped(4, {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 1}}); }

// Degree 26: a valid curve of the vocabulary that the host's spline cannot take.
ON_NurbsCurve tooHighDegree() {
  std::vector<ON_3dPoint> points;
  for (int i = 0; i < 27; ++i) points.emplace_back(std::cos(i), std::sin(i), 0.1 * i);
  return clamped(27, points);
}

// A quarter of the unit circle, rational quadratic.
ON_NurbsCurve quarterCircle() {
  ON_NurbsCurve c = clamped(3, {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  EXPECT_TRUE(c.SetWeight(1, std::sqrt(0.5)));
  return c;
}

ON_Circle tiltedCircle() { return ON_Circle(ON_Plane(ON_3dPoint(1, 2, 3), ON_3dVector(0, 1, 1)), 2.5); }

// A helix of a class of its own, with the NURBS form it is given, or none.
class Helix : public ON_Curve {
public:
  explicit Helix(const ON_NurbsCurve* form) : form_(form) {}
  bool IsValid(ON_TextLog* = nullptr) const override { return true; }
  bool Transform(const ON_Xform&) override { return false; }
  ON_Curve* Duplicate() const override { return new Helix(*this); }
  ON_Interval Domain() const override { return ON_Interval(0, 4); }
  bool SetDomain(double, double) override { return false; }
  bool Evaluate(double t, int derCount, double* v, int = 0) const override {
    if (t < 0 || t > 4) return false;
    for (int k = 0; k <= derCount; ++k) {
      v[3 * k] = std::cos(t + k * ON_PI / 2);
      v[3 * k + 1] = std::sin(t + k * ON_PI / 2);
      v[3 * k + 2] = k == 0 ? t / 2 : k == 1 ? 0.5 : 0;
    }
    return true;
  }
  int GetNurbForm(ON_NurbsCurve& nurbs) const override {
    if (!form_) return 0;
    nurbs = *form_;
    return 1;
  }
  bool Trim(const ON_Interval&) override { return false; }
  bool SetStartPoint(const ON_3dPoint&) override { return false; }
  bool SetEndPoint(const ON_3dPoint&) override { return false; }

private:
  const ON_NurbsCurve* form_;
};

// Two triangles over the corners a b c and a c d; with shared false every triangle has
// vertices of its own, a and c given twice.
ON_Mesh twoTriangles(bool shared) {
  const ON_3dPoint a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(0.1f, 1, 0.5);
  ON_Mesh m;
  if (shared) {
    for (const ON_3dPoint& p : {a, b, c, d}) m.SetVertex(m.VertexCount(), p);
    m.SetTriangle(0, 0, 1, 2);
    m.SetTriangle(1, 0, 2, 3);
  } else {
    for (const ON_3dPoint& p : {a, b, c, a, c, d}) m.SetVertex(m.VertexCount(), p);
    m.SetTriangle(0, 0, 1, 2);
    m.SetTriangle(1, 3, 4, 5);
  }
  return m;
}

}  // namespace

class OnCreate : public HostTest {
protected:
  std::vector<EntityView> views() { return liveViews(db()); }
  std::vector<std::string> classes() {
    std::vector<std::string> out;
    for (const EntityView& v : views()) out.push_back(v.cls);
    return out;
  }
  template <class T>
  T* open(AcDbObjectId id) {
    T* entity = nullptr;
    EXPECT_EQ(acdbOpenObject(entity, id, AcDb::kForRead), Acad::eOk);
    return entity;
  }
  template <class T>
  T* last() {
    auto ids = liveEntities(db());
    return ids.empty() ? nullptr : open<T>(ids.back());
  }
  static AcGePoint3d startOf(const AcDbCurve& c) {
    AcGePoint3d p;
    EXPECT_EQ(c.getStartPoint(p), Acad::eOk);
    return p;
  }
  static AcGePoint3d endOf(const AcDbCurve& c) {
    AcGePoint3d p;
    EXPECT_EQ(c.getEndPoint(p), Acad::eOk);
    return p;
  }
  // The spline's NURBS data as the host gives it.
  struct Nurbs {
    int degree = 0;
    Adesk::Boolean rational = false, closed = false, periodic = false;
    AcGePoint3dArray points;
    AcGeDoubleArray knots, weights;
  };
  static Nurbs nurbsOf(const AcDbSpline& s) {
    Nurbs n;
    double tol = 0;
    EXPECT_EQ(s.getNurbsData(n.degree, n.rational, n.closed, n.periodic, n.points, n.knots, n.weights, tol, tol),
              Acad::eOk);
    return n;
  }
  static std::vector<double> values(const AcGeDoubleArray& a) { return {a.begin(), a.end()}; }
};

// ---------------------------------------------------------------------------------------------
// Creators

TEST_F(OnCreate, PointsAndLinesCopyTheirValues) {
  EXPECT_TRUE(AddPointFromOnPoint(ON_3dPoint(1.5, -2.25, 1e-300), "", AcCmColor()));
  EXPECT_TRUE(AddLineFromOnLine(ON_Line(ON_3dPoint(1, 2, 3), ON_3dPoint(-4, 5, 0.1)), "", AcCmColor()));
  EXPECT_TRUE(AddLineFromOnPoints(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3), "", AcCmColor()));
  auto v = views();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].cls, "AcDbPoint");
  EXPECT_EQ(v[0].geometry, (std::vector<double>{1.5, -2.25, 1e-300}));
  EXPECT_EQ(v[1].cls, "AcDbLine");
  EXPECT_EQ(v[1].geometry, (std::vector<double>{1, 2, 3, -4, 5, 0.1}));
  EXPECT_EQ(v[2].cls, "AcDbLine");
  EXPECT_EQ(v[2].geometry, (std::vector<double>{0, 0, 0, 1, 2, 3}));
}

TEST_F(OnCreate, CirclesAndArcsKeepTheirPlaceAndEnds) {
  const ON_Circle circle = tiltedCircle();
  EXPECT_TRUE(AddCircleFromOnCircle(circle, "", AcCmColor()));
  AcDbCircle* c = last<AcDbCircle>();
  ASSERT_TRUE(c);
  expectNear(c->center(), ON_3dPoint(1, 2, 3), 0);
  EXPECT_EQ(c->radius(), 2.5);
  expectNear(AcGePoint3d::kOrigin + c->normal(), ON_3dPoint(0, std::sqrt(0.5), std::sqrt(0.5)), 1e-15);
  c->close();

  const ON_Arc arc(circle, ON_Interval(0.5, 2.0));
  EXPECT_TRUE(AddArcFromOnArc(arc, "", AcCmColor()));
  AcDbArc* a = last<AcDbArc>();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->radius(), 2.5);
  expectNear(startOf(*a), arc.StartPoint(), 1e-12);
  expectNear(endOf(*a), arc.EndPoint(), 1e-12);
  a->close();
}

TEST_F(OnCreate, ArcOfAWholeTurnBecomesACircle) {
  const ON_Circle circle = tiltedCircle();
  EXPECT_TRUE(AddArcFromOnArc(ON_Arc(circle, ON_Interval(1, 1 + 2 * ON_PI)), "", AcCmColor()));
  EXPECT_TRUE(AddArcFromOnArc(ON_Arc(circle, ON_Interval(1, 1 + 2 * ON_PI - 1e-6)), "", AcCmColor()));
  auto v = views();
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].cls, "AcDbCircle");
  EXPECT_EQ(v[1].cls, "AcDbArc");  // just short of a turn
  AcDbCircle* c = open<AcDbCircle>(liveEntities(db())[0]);
  ASSERT_TRUE(c);
  expectNear(c->center(), circle.Center(), 0);
  EXPECT_EQ(c->radius(), circle.Radius());
  c->close();
}

TEST_F(OnCreate, PolylinesKeepTheirPointsAndClosure) {
  ON_Polyline open, closed, nearlyClosed;
  for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 1), ON_3dPoint(1, 1, 2), ON_3dPoint(0, 1, 3)}) {
    open.Append(p);
    closed.Append(p);
    nearlyClosed.Append(p);
  }
  closed.Append(closed[0]);
  nearlyClosed.Append(ON_3dPoint(0, 0, 1e-9));
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(open, "", AcCmColor()));
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(closed, "", AcCmColor()));
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(nearlyClosed, "", AcCmColor()));
  const std::vector<double> corners{0, 0, 0, 1, 0, 1, 1, 1, 2, 0, 1, 3};
  auto v = views();
  ASSERT_EQ(v.size(), 3u);
  std::vector<double> want{0};
  want.insert(want.end(), corners.begin(), corners.end());
  EXPECT_EQ(v[0].geometry, want);
  want[0] = 1;
  EXPECT_EQ(v[1].geometry, want);
  want[0] = 0;
  want.insert(want.end(), {0, 0, 1e-9});
  EXPECT_EQ(v[2].geometry, want);
}

TEST_F(OnCreate, PolylineMissingAVertexStaysOutOfTheDrawing) {
  ON_Polyline polyline;
  for (int i = 0; i < 4; ++i) polyline.Append(ON_3dPoint(i, i * i, 0));
  const int objects = db().objectCount();
  kv::fault::arm(kv::fault::Call::appendVertex, 3);
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(polyline, "", AcCmColor()));
  EXPECT_EQ(kv::fault::fired(), 1);
  EXPECT_TRUE(liveEntities(db()).empty());
  EXPECT_EQ(db().objectCount(), objects);  // not one of its vertices either
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(polyline, "", AcCmColor()));
  ASSERT_EQ(views().size(), 1u);
  EXPECT_EQ(views()[0].items, 4);
}

TEST_F(OnCreate, SplineRunsThroughItsFitPoints) {
  ON_SimpleArray<ON_3dPoint> fit;
  for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 0), ON_3dPoint(2, 0, 1), ON_3dPoint(3, 2, 2)})
    fit.Append(p);
  EXPECT_TRUE(AddSplineFromFitPoints(fit, "", AcCmColor()));
  AcDbSpline* s = last<AcDbSpline>();
  ASSERT_TRUE(s);
  AcGePoint3dArray points;
  int degree = 0;
  double tolerance = -1;
  Adesk::Boolean tangents = true;
  AcGeVector3d start, end;
  ASSERT_EQ(s->getFitData(points, degree, tolerance, tangents, start, end), Acad::eOk);
  EXPECT_EQ(degree, 3);
  EXPECT_EQ(tolerance, 0.0);
  EXPECT_FALSE(tangents);
  ASSERT_EQ(points.length(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(triple(points[i]), triple(fit[i]));
  expectNear(startOf(*s), fit[0], 1e-12);
  expectNear(endOf(*s), fit[3], 1e-12);
  s->close();
}

TEST_F(OnCreate, NothingWithoutGeometryEntersTheDrawing) {
  ON_SimpleArray<ON_3dPoint> one, twice;
  one.Append(ON_3dPoint(1, 2, 3));
  twice.Append(ON_3dPoint(1, 2, 3));
  twice.Append(ON_3dPoint(1, 2, 3));
  const int objects = db().objectCount();
  EXPECT_TRUE(AddSplineFromFitPoints(one, "", AcCmColor()));
  EXPECT_TRUE(AddSplineFromFitPoints(twice, "", AcCmColor()));
  EXPECT_TRUE(AddSplineFromFitPoints(ON_SimpleArray<ON_3dPoint>(), "", AcCmColor()));
  EXPECT_TRUE(Add3dPolylineFromOnPolyline(ON_Polyline(), "", AcCmColor()));
  EXPECT_TRUE(liveEntities(db()).empty());
  EXPECT_EQ(db().objectCount(), objects);
}

// ---------------------------------------------------------------------------------------------
// Splines from NURBS curves

TEST_F(OnCreate, ClampedCubicGetsTheHostsLongerKnotVector) {
  const ON_NurbsCurve curve = wavyCubic();
  AcDbSpline spline;
  EXPECT_TRUE(SetSplineFromNurbsCurve(curve, &spline));
  Nurbs n = nurbsOf(spline);
  EXPECT_EQ(n.degree, 3);
  EXPECT_FALSE(n.rational);
  EXPECT_FALSE(n.closed);
  EXPECT_FALSE(n.periodic);
  EXPECT_EQ(values(n.knots), (std::vector<double>{0, 0, 0, 0, 1, 1, 1, 1}));
  ASSERT_EQ(n.points.length(), 4);
  for (int i = 0; i < 4; ++i) {
    ON_3dPoint cv;
    curve.GetCV(i, cv);
    EXPECT_EQ(triple(n.points[i]), triple(cv));
  }

  // Inner knots keep their places.
  ON_NurbsCurve uneven = clamped(4, {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 1}, {5, 1, 1}, {6, 3, 0}});
  const double knots[] = {0, 0, 0, 0.25, 0.75, 2, 2, 2};
  for (int i = 0; i < 8; ++i) uneven.SetKnot(i, knots[i]);
  EXPECT_TRUE(SetSplineFromNurbsCurve(uneven, &spline));
  EXPECT_EQ(values(nurbsOf(spline).knots), (std::vector<double>{0, 0, 0, 0, 0.25, 0.75, 2, 2, 2, 2}));
}

TEST_F(OnCreate, RationalCurveGivesEuclideanPointsAndItsWeights) {
  AcDbSpline spline;
  EXPECT_TRUE(SetSplineFromNurbsCurve(quarterCircle(), &spline));
  Nurbs n = nurbsOf(spline);
  EXPECT_EQ(n.degree, 2);
  EXPECT_TRUE(n.rational);
  ASSERT_EQ(n.points.length(), 3);
  EXPECT_EQ(triple(n.points[1]), Triple(1, 1, 0));
  EXPECT_EQ(values(n.weights), (std::vector<double>{1, std::sqrt(0.5), 1}));
  EXPECT_EQ(values(n.knots), (std::vector<double>{0, 0, 0, 1, 1, 1}));
  AcGePoint3d mid;
  ASSERT_EQ(spline.getPointAtParam(0.5, mid), Acad::eOk);
  EXPECT_NEAR(mid.asVector().length(), 1, 1e-12);  // on the circle

  // A whole circle's form is closed and not periodic.
  ON_NurbsCurve whole;
  ASSERT_TRUE(tiltedCircle().GetNurbForm(whole));
  EXPECT_TRUE(SetSplineFromNurbsCurve(whole, &spline));
  n = nurbsOf(spline);
  EXPECT_TRUE(n.closed);
  EXPECT_FALSE(n.periodic);
  EXPECT_EQ(n.knots.length(), whole.KnotCount() + 2);
}

TEST_F(OnCreate, PeriodicCurveSaysSo) {
  ON_NurbsCurve curve;
  ASSERT_TRUE(curve.Create(3, false, 4, 7));
  const ON_3dPoint ring[4] = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
  for (int i = 0; i < 7; ++i) curve.SetCV(i, ring[i % 4]);
  for (int k = 0; k < curve.KnotCount(); ++k) curve.SetKnot(k, k);
  ASSERT_TRUE(curve.IsPeriodic());
  AcDbSpline spline;
  EXPECT_TRUE(SetSplineFromNurbsCurve(curve, &spline));
  Nurbs n = nurbsOf(spline);
  EXPECT_TRUE(n.periodic);
  EXPECT_EQ(values(n.knots), (std::vector<double>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 8}));
}

TEST_F(OnCreate, SplineTheHostRefusesIsReported) {
  ConvertErrorText = "earlier";
  AcDbSpline spline;
  EXPECT_FALSE(SetSplineFromNurbsCurve(ON_NurbsCurve(), &spline));
  EXPECT_EQ(GetConvertErrorText(), "Enable to create Spline");
  EXPECT_TRUE(spline.isNull());

  // A spline that held a curve keeps it, and does not pass for holding the refused one.
  ConvertErrorText = "earlier";
  ASSERT_TRUE(SetSplineFromNurbsCurve(wavyCubic(), &spline));
  EXPECT_EQ(GetConvertErrorText(), "earlier");  // success leaves the text alone
  EXPECT_FALSE(SetSplineFromNurbsCurve(tooHighDegree(), &spline));
  EXPECT_EQ(GetConvertErrorText(), "Enable to create Spline");
  EXPECT_EQ(nurbsOf(spline).degree, 3);

  ConvertErrorText = "earlier";
  const ON_NurbsCurve refused = tooHighDegree();
  EXPECT_FALSE(AddEntityFromOnCurve(&refused, "Curves", aci(1)));
  EXPECT_EQ(GetConvertErrorText(), "Enable to create Spline");
  EXPECT_TRUE(liveEntities(db()).empty());
}

// ---------------------------------------------------------------------------------------------
// Curves as the simplest entity

TEST_F(OnCreate, CurveBecomesTheFirstShapeItHas) {
  const ON_LineCurve line(ON_3dPoint(1, 2, 3), ON_3dPoint(4, 6, 3));
  // Collinear control points: a line, not a polyline or a spline.
  const ON_NurbsCurve straightCubic = clamped(4, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  const ON_NurbsCurve straightCorners = clamped(2, {{0, 0, 0}, {1, 2, 0}, {3, 6, 0}});
  const ON_ArcCurve circle(tiltedCircle());
  ON_NurbsCurve rationalCircle;
  ASSERT_TRUE(tiltedCircle().GetNurbForm(rationalCircle));
  const ON_Arc arc(tiltedCircle(), ON_Interval(0.5, 2.0));
  const ON_ArcCurve arcCurve(arc);
  ON_3dPointArray corners;
  for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(1, 1, 1), ON_3dPoint(0, 1, 2)})
    corners.Append(p);
  const ON_PolylineCurve polylineCurve(corners);
  const ON_NurbsCurve degreeOne = clamped(2, {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 2}});
  const ON_NurbsCurve cubic = wavyCubic();

  const std::vector<const ON_Curve*> curves{&line,     &straightCubic, &straightCorners, &circle, &rationalCircle,
                                            &arcCurve, &polylineCurve, &degreeOne,       &cubic};
  for (const ON_Curve* c : curves) EXPECT_TRUE(AddEntityFromOnCurve(c, "", AcCmColor()));
  EXPECT_EQ(classes(), (std::vector<std::string>{"AcDbLine", "AcDbLine", "AcDbLine", "AcDbCircle", "AcDbCircle",
                                                 "AcDbArc", "AcDb3dPolyline", "AcDb3dPolyline", "AcDbSpline"}));

  auto ids = liveEntities(db());
  ASSERT_EQ(ids.size(), 9u);
  auto* l = open<AcDbLine>(ids[1]);
  ASSERT_TRUE(l);
  expectNear(l->startPoint(), ON_3dPoint(0, 0, 0), 1e-12);
  expectNear(l->endPoint(), ON_3dPoint(3, 3, 3), 1e-12);
  l->close();
  auto* c = open<AcDbCircle>(ids[4]);
  ASSERT_TRUE(c);
  expectNear(c->center(), ON_3dPoint(1, 2, 3), 1e-9);
  EXPECT_NEAR(c->radius(), 2.5, 1e-9);
  c->close();
  auto* a = open<AcDbArc>(ids[5]);
  ASSERT_TRUE(a);
  expectNear(startOf(*a), arc.StartPoint(), 1e-9);
  expectNear(endOf(*a), arc.EndPoint(), 1e-9);
  a->close();
  EXPECT_EQ(views()[7].geometry, (std::vector<double>{0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1, 2}));
  AcDbSpline spline;
  ASSERT_TRUE(SetSplineFromNurbsCurve(cubic, &spline));
  EXPECT_EQ(views()[8].geometry, geometryOf(spline));
}

TEST_F(OnCreate, CurveOfAnotherClassGoesByItsNurbsForm) {
  // A line and an arc joined: none of the four shapes.
  ON_PolyCurve joined;
  joined.Append(new ON_LineCurve(ON_3dPoint(1, -1, 0), ON_3dPoint(1, 0, 0)));
  joined.Append(new ON_ArcCurve(ON_Arc(ON_Circle(ON_3dPoint(0, 0, 0), 1), ON_Interval(0, ON_PI / 2))));
  EXPECT_TRUE(AddEntityFromOnCurve(&joined, "", AcCmColor()));
  AcDbSpline* s = last<AcDbSpline>();
  ASSERT_TRUE(s);
  expectNear(startOf(*s), ON_3dPoint(1, -1, 0), 1e-12);
  expectNear(endOf(*s), ON_3dPoint(0, 1, 0), 1e-12);
  s->close();

  const ON_NurbsCurve form = wavyCubic();
  const Helix withForm(&form);
  EXPECT_TRUE(AddEntityFromOnCurve(&withForm, "", AcCmColor()));
  AcDbSpline expected;
  ASSERT_TRUE(SetSplineFromNurbsCurve(form, &expected));
  ASSERT_EQ(views().size(), 2u);
  EXPECT_EQ(views()[1].geometry, geometryOf(expected));

  ConvertErrorText = "earlier";
  const Helix withoutForm(nullptr);
  EXPECT_FALSE(AddEntityFromOnCurve(&withoutForm, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Enable to create Spline");
  ConvertErrorText = "earlier";
  EXPECT_FALSE(AddEntityFromOnCurve(nullptr, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Enable to create Spline");
  EXPECT_EQ(views().size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Meshes

TEST_F(OnCreate, MeshGivesOnePointPerCornerAndOneLinePerEdge) {
  const Triple a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(double(0.1f), 1, 0.5);
  const std::set<Triple> cornerSet{a, b, c, d};
  auto edge = [](const Triple& p, const Triple& q) { return p < q ? std::pair(p, q) : std::pair(q, p); };
  const std::set<std::pair<Triple, Triple>> edgeSet{edge(a, b), edge(b, c), edge(a, c), edge(c, d), edge(a, d)};
  for (bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared vertices" : "coincident vertices");
    const int before = int(liveEntities(db()).size());
    const ON_Mesh mesh = twoTriangles(shared);
    EXPECT_TRUE(AddVertexPointsFromMesh(mesh, "", AcCmColor()));
    EXPECT_TRUE(AddEdgeLinesFromMesh(mesh, "", AcCmColor()));
    auto v = views();
    ASSERT_EQ(int(v.size()), before + 9);
    std::set<Triple> points;
    std::set<std::pair<Triple, Triple>> edges;
    for (size_t i = size_t(before); i < v.size(); ++i) {
      const auto& g = v[i].geometry;
      if (i < size_t(before) + 4) {
        EXPECT_EQ(v[i].cls, "AcDbPoint");
        points.insert({g[0], g[1], g[2]});
      } else {
        EXPECT_EQ(v[i].cls, "AcDbLine");
        edges.insert(edge({g[0], g[1], g[2]}, {g[3], g[4], g[5]}));
      }
    }
    EXPECT_EQ(points, cornerSet);
    EXPECT_EQ(edges, edgeSet);
  }
}

// ---------------------------------------------------------------------------------------------
// Layers, colours and array forms

TEST_F(OnCreate, EveryCreatorGivesItsLayerAndColour) {
  ON_Polyline polyline;
  polyline.Append(ON_3dPoint(0, 0, 0));
  polyline.Append(ON_3dPoint(1, 1, 1));
  ON_SimpleArray<ON_3dPoint> fit;
  fit.Append(ON_3dPoint(0, 0, 0));
  fit.Append(ON_3dPoint(1, 2, 0));
  fit.Append(ON_3dPoint(2, 0, 1));
  const ON_NurbsCurve cubic = wavyCubic();
  const ON_Mesh mesh = twoTriangles(true);
  const std::vector<std::function<BOOL(const CString&, const AcCmColor&)>> creators{
      [](auto& l, auto& c) { return AddPointFromOnPoint(ON_3dPoint(1, 2, 3), l, c); },
      [](auto& l, auto& c) { return AddLineFromOnPoints(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3), l, c); },
      [](auto& l, auto& c) { return AddCircleFromOnCircle(tiltedCircle(), l, c); },
      [](auto& l, auto& c) { return AddArcFromOnArc(ON_Arc(tiltedCircle(), 1.0), l, c); },
      [](auto& l, auto& c) { return AddArcFromOnArc(ON_Arc(tiltedCircle(), 2 * ON_PI), l, c); },
      [&](auto& l, auto& c) { return Add3dPolylineFromOnPolyline(polyline, l, c); },
      [&](auto& l, auto& c) { return AddSplineFromFitPoints(fit, l, c); },
      [&](auto& l, auto& c) { return AddEntityFromOnCurve(&cubic, l, c); },
      [&](auto& l, auto& c) { return AddVertexPointsFromMesh(mesh, l, c); },
      [&](auto& l, auto& c) { return AddEdgeLinesFromMesh(mesh, l, c); },
  };
  AcCmColor rgb;
  rgb.setRGB(10, 20, 30);
  for (auto& create : creators) EXPECT_TRUE(create("Curves", rgb));
  const size_t named = views().size();
  EXPECT_EQ(named, 8u + 4u + 5u);
  // "" keeps the drawing's current layer.
  ASSERT_EQ(db().setClayer(GetOrCreateLayer("Other", TRUE)), Acad::eOk);
  for (auto& create : creators) EXPECT_TRUE(create("", aci(5)));
  auto v = views();
  ASSERT_EQ(v.size(), 2 * named);
  for (size_t i = 0; i < v.size(); ++i) {
    SCOPED_TRACE(v[i]);
    EXPECT_EQ(v[i].layer, i < named ? "Curves" : "Other");
    if (i < named) {
      EXPECT_TRUE(v[i].colorMethod == AcCmEntityColor::kByColor && v[i].red == 10 && v[i].green == 20 &&
                  v[i].blue == 30);
    } else {
      EXPECT_TRUE(v[i].colorMethod == AcCmEntityColor::kByACI && v[i].colorIndex == 5);
    }
  }
}

TEST_F(OnCreate, ArrayFormsRunEveryElementInOrder) {
  // Empty arrays add nothing.
  EXPECT_TRUE(AddPointsFromOnPoints({}, "", AcCmColor()));
  EXPECT_TRUE(AddLinesFromOnLines({}, "", AcCmColor()));
  EXPECT_TRUE(AddCirclesFromOnCircles({}, "", AcCmColor()));
  EXPECT_TRUE(AddArcsFromOnArcs({}, "", AcCmColor()));
  EXPECT_TRUE(Add3dPolylinesFromOnPolylines({}, "", AcCmColor()));
  EXPECT_TRUE(AddEntitiesFromOnCurves({}, "", AcCmColor()));
  EXPECT_TRUE(AddVertexPointsFromMeshes({}, "", AcCmColor()));
  EXPECT_TRUE(AddEdgeLinesFromMeshes({}, "", AcCmColor()));
  EXPECT_TRUE(AddVertexPointsFromMesh(ON_Mesh(), "", AcCmColor()));
  EXPECT_TRUE(AddEdgeLinesFromMesh(ON_Mesh(), "", AcCmColor()));
  EXPECT_TRUE(liveEntities(db()).empty());

  ON_SimpleArray<ON_3dPoint> points;
  points.Append(ON_3dPoint(1, 0, 0));
  points.Append(ON_3dPoint(2, 0, 0));
  ON_SimpleArray<ON_Line> lines;
  lines.Append(ON_Line(ON_3dPoint(0, 0, 0), ON_3dPoint(0, 1, 0)));
  ON_SimpleArray<ON_Circle> circles;
  circles.Append(tiltedCircle());
  ON_SimpleArray<ON_Arc> arcs;
  arcs.Append(ON_Arc(tiltedCircle(), 1.0));
  arcs.Append(ON_Arc(tiltedCircle(), 2 * ON_PI));
  ON_ClassArray<ON_Polyline> polylines;
  polylines.AppendNew().Append(ON_3dPoint(0, 0, 0));
  polylines[0].Append(ON_3dPoint(1, 1, 1));
  // The refused curve in the middle stops nothing.
  ON_ClassArray<ON_NurbsCurve> curves;
  curves.Append(wavyCubic());
  curves.Append(tooHighDegree());
  curves.Append(clamped(2, {{0, 0, 0}, {5, 0, 0}}));
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(twoTriangles(true));
  meshes.Append(ON_Mesh());
  meshes.Append(twoTriangles(false));

  EXPECT_TRUE(AddPointsFromOnPoints(points, "", AcCmColor()));
  EXPECT_TRUE(AddLinesFromOnLines(lines, "", AcCmColor()));
  EXPECT_TRUE(AddCirclesFromOnCircles(circles, "", AcCmColor()));
  EXPECT_TRUE(AddArcsFromOnArcs(arcs, "", AcCmColor()));
  EXPECT_TRUE(Add3dPolylinesFromOnPolylines(polylines, "", AcCmColor()));
  EXPECT_TRUE(AddEntitiesFromOnCurves(curves, "", AcCmColor()));
  auto v = views();
  EXPECT_EQ(classes(), (std::vector<std::string>{"AcDbPoint", "AcDbPoint", "AcDbLine", "AcDbCircle", "AcDbArc",
                                                 "AcDbCircle", "AcDb3dPolyline", "AcDbSpline", "AcDbLine"}));
  ASSERT_EQ(v.size(), 9u);
  EXPECT_EQ(v[1].geometry, (std::vector<double>{2, 0, 0}));
  EXPECT_EQ(v[8].geometry, (std::vector<double>{0, 0, 0, 5, 0, 0}));

  EXPECT_TRUE(AddVertexPointsFromMeshes(meshes, "", AcCmColor()));
  EXPECT_TRUE(AddEdgeLinesFromMeshes(meshes, "", AcCmColor()));
  EXPECT_EQ(liveEntities(db()).size(), 9u + 2 * 4 + 2 * 5);
}
