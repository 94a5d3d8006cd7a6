// Curves in DXF: round trips that keep every value, the file's own coordinates and units,
// refused data, and ezdxf on both sides.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "host/curves.h"
#include "host/kept.h"
#include "host_fixture.h"
#include "test_files.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double deg(double d) { return d * kPi / 180; }

AcGePoint3dArray pointArray(std::initializer_list<AcGePoint3d> list) {
  AcGePoint3dArray out;
  for (const AcGePoint3d& p : list) out.append(p);
  return out;
}

std::vector<AcDbObjectId> modelIds(AcDbDatabase& db) {
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  std::vector<AcDbObjectId> ids;
  if (!ms) return ids;
  ids = ms->entityIds();
  ms->close();
  return ids;
}

void add(std::vector<double>& v, const AcGePoint3d& p) { v.insert(v.end(), {p.x, p.y, p.z}); }
void add(std::vector<double>& v, const AcGeVector3d& p) { v.insert(v.end(), {p.x, p.y, p.z}); }

void addSpline(std::vector<double>& v, const AcDbSpline& s) {
  int degree = 0;
  Adesk::Boolean rational = false, closed = false, periodic = false;
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  double ctol = 0, ktol = 0;
  EXPECT_EQ(s.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctol, ktol), Acad::eOk);
  v.insert(v.end(), {double(degree), double(rational), double(closed), double(periodic), ctol, ktol});
  for (const AcGePoint3d& p : points) add(v, p);
  v.insert(v.end(), knots.begin(), knots.end());
  v.insert(v.end(), weights.begin(), weights.end());
  AcGePoint3dArray fit;
  double ftol = 0;
  Adesk::Boolean tangents = false;
  AcGeVector3d st, et;
  if (s.getFitData(fit, degree, ftol, tangents, st, et) != Acad::eOk) return;
  v.insert(v.end(), {ftol, double(tangents)});
  add(v, st);
  add(v, et);
  for (const AcGePoint3d& p : fit) add(v, p);
}

// Every value the host models for a curve, in a fixed order.
std::vector<double> valuesOf(const AcDbEntity& e) {
  std::vector<double> v{double(e.colorIndex())};
  if (auto* line = AcDbUnboundedLine::cast(&e)) {
    add(v, line->basePoint());
    add(v, line->unitDir());
  } else if (auto* round = AcDbCircularCurve::cast(&e)) {
    add(v, round->center());
    add(v, round->normal());
    v.push_back(round->radius());
    if (auto* arc = AcDbArc::cast(&e)) v.insert(v.end(), {arc->startAngle(), arc->endAngle()});
  } else if (auto* ellipse = AcDbEllipse::cast(&e)) {
    double s = 0, t = 0;
    ellipse->getStartParam(s);
    ellipse->getEndParam(t);
    add(v, ellipse->center());
    add(v, ellipse->normal());
    add(v, ellipse->majorAxis());
    v.insert(v.end(), {ellipse->radiusRatio(), s, t});
  } else if (auto* spline = AcDbSpline::cast(&e)) {
    addSpline(v, *spline);
  }
  return v;
}

void expectSameValues(const AcDbEntity& got, const AcDbEntity& want) {
  EXPECT_STREQ(got.isA()->name(), want.isA()->name());
  std::vector<double> a = valuesOf(got), b = valuesOf(want);
  ASSERT_EQ(a.size(), b.size()) << want.isA()->name();
  // Object coordinates and degrees cost a rounding or two; nothing more may go.
  for (size_t i = 0; i < a.size(); ++i)
    EXPECT_NEAR(a[i], b[i], 4e-15 * std::max(1.0, std::fabs(b[i]))) << want.isA()->name() << " value " << i;
}

// The group pairs of a DXF file, in order.
std::vector<std::pair<int, std::string>> pairsOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::pair<int, std::string>> out;
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) out.emplace_back(std::stoi(code), value);
  return out;
}

// The pairs of the first entity of a type, its "0" pair left out.
std::vector<std::pair<int, std::string>> entityPairs(const std::string& text, const std::string& type, int nth = 0) {
  auto pairs = pairsOf(text);
  std::vector<std::pair<int, std::string>> out;
  bool in = false, entities = false;
  for (const auto& [code, value] : pairs) {
    if (code == 2 && value == "ENTITIES") entities = true;
    if (code != 0) {
      if (in) out.push_back({code, value});
      continue;
    }
    if (in) break;
    in = entities && value == type && nth-- == 0;
  }
  return out;
}

// The ENTITIES section without handles and owners.
std::vector<std::pair<int, std::string>> entitySection(const std::string& text) {
  std::vector<std::pair<int, std::string>> out;
  bool in = false;
  for (const auto& [code, value] : pairsOf(text)) {
    if (code == 2) in = in || value == "ENTITIES";
    if (in && code == 0 && value == "ENDSEC") break;
    if (in && code != 5 && code != 330) out.push_back({code, value});
  }
  return out;
}

double valueAt(const std::vector<std::pair<int, std::string>>& pairs, int code, int nth = 0) {
  for (const auto& [c, v] : pairs)
    if (c == code && nth-- == 0) return std::stod(v);
  ADD_FAILURE() << "no group " << code;
  return NAN;
}

std::vector<std::vector<std::string>> lineFields(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> f;
    for (std::string w; words >> w;) f.push_back(w);
    if (!f.empty()) out.push_back(f);
  }
  return out;
}

AcGePoint3d pointField(const std::vector<std::string>& f, size_t at) {
  return AcGePoint3d(std::stod(f.at(at)), std::stod(f.at(at + 1)), std::stod(f.at(at + 2)));
}

void expectPoint(const AcGePoint3d& got, const AcGePoint3d& want, double tol = 1e-9) {
  EXPECT_NEAR(got.distanceTo(want), 0, tol) << got.x << " " << got.y << " " << got.z << " against " << want.x << " "
                                            << want.y << " " << want.z;
}

AcGePoint3d startOf(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getStartPoint(p), Acad::eOk);
  return p;
}

AcGePoint3d endOf(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getEndPoint(p), Acad::eOk);
  return p;
}

// ezdxf lists what it reads, one entity a line, in model-space order.
const char* kEzdxfList = R"(import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
print("audit", len(auditor.errors), len(auditor.fixes))
def p(v): return " ".join(repr(float(x)) for x in v)
for e in doc.modelspace():
    t = e.dxftype()
    if t in ("RAY", "XLINE"):
        print(t, p(e.dxf.start), p(e.dxf.unit_vector))
    elif t == "CIRCLE":
        print(t, p(e.ocs().to_wcs(e.dxf.center)), e.dxf.radius)
    elif t == "ARC":
        print(t, p(e.start_point), p(e.end_point), e.dxf.radius)
    elif t == "ELLIPSE":
        print(t, p(e.start_point), p(e.end_point), e.dxf.ratio)
    elif t == "SPLINE":
        # ezdxf may rescale the knots it evaluates with; the file's own give the parameter.
        ct = e.construction_tool()
        k, raw = list(ct.knots()), list(e.knots)
        lo, hi = k[ct.degree], k[len(k) - ct.degree - 1]
        ts = [lo + (hi - lo) * i / 4 for i in range(5)]
        def filed(x): return raw[0] + (x - k[0]) * (raw[-1] - raw[0]) / (k[-1] - k[0])
        print(t, e.dxf.flags, " ".join(repr(filed(x)) + " " + p(ct.point(x)) for x in ts))
    else:
        print(t)
)";

// ezdxf writes one of each curve and lists what it means by them.
const char* kEzdxfWrite = R"(import sys, ezdxf
doc = ezdxf.new("R2010")
msp = doc.modelspace()
def p(v): return " ".join(repr(float(x)) for x in v)
msp.add_ray((1, 2, 3), (0, 3, 4))
msp.add_xline((-1, 0, 0), (1, 1, 0))
c = msp.add_circle((1, 2, 3), 2.5, dxfattribs={"extrusion": (0, 0.6, 0.8), "thickness": 2})
a = msp.add_arc((4, 5, 6), 1.5, 350, 10, dxfattribs={"extrusion": (0, 0, -1)})
e = msp.add_ellipse((1, 1, 0), (0, 3, 0), 0.5, 5.5, 0.5)
f = msp.add_spline([(0, 0, 0), (1, 2, 0), (3, 1, 1), (4, 4, 2)])
f.dxf.start_tangent = (1, 0, 0)
o = msp.add_open_spline([(0, 0, 0), (1, 1, 0), (2, 0, 1), (3, 1, 0), (5, 5, 5)], degree=3)
r = msp.add_rational_spline([(0, 0, 0), (1, 1, 0), (2, 0, 0)], [1, 2, 1], degree=2)
doc.saveas(sys.argv[1])
print("CIRCLE", p(c.ocs().to_wcs(c.dxf.center)))
print("ARC", p(a.start_point), p(a.end_point))
print("ELLIPSE", p(e.start_point), p(e.end_point))
for s in (o, r):
    ct = s.construction_tool()
    print("SPLINE", " ".join(repr(x) + " " + p(ct.point(x)) for x in (0.0, 0.3, 0.7, 1.0)))
)";

}  // namespace

class CurvesDxf : public HostTest {
protected:
  std::string path(const char* name) const { return (dir_ / name).string(); }

  AcDbObjectId add(AcDbEntity* e) { return append(e); }

  // One of each kind, with tilted planes, arcs across their starts and every spline variant.
  void buildCurves() {
    auto* ray = new AcDbRay;
    ray->setBasePoint(AcGePoint3d(1, 2, 3));
    ray->setUnitDir(AcGeVector3d(1, 1, 0));
    add(ray);
    auto* xline = new AcDbXline;
    xline->setBasePoint(AcGePoint3d(-1e6, 0.1, 1.0 / 3));
    xline->setUnitDir(AcGeVector3d(0, 0, -1));
    add(xline);
    auto* down = new AcDbCircle(AcGePoint3d(1, 2, 3), AcGeVector3d(0, 0, -1), 2.5);
    down->setColorIndex(1);
    add(down);
    add(new AcDbCircle(AcGePoint3d(0.1, 0.2, 0.3), AcGeVector3d(0.3, -0.4, std::sqrt(0.75)), 1.0 / 3));
    add(new AcDbArc(AcGePoint3d(4, 5, 6), AcGeVector3d(1, 1, 1), 2, deg(350), deg(10)));
    add(new AcDbArc(AcGePoint3d(0, 0, 0), 1, deg(30), deg(45)));
    add(new AcDbEllipse(AcGePoint3d(1, 2, 3), AcGeVector3d(1, 1, 1), AcGeVector3d(2, -2, 0), 0.25));
    auto* part = new AcDbEllipse(AcGePoint3d(), AcGeVector3d(0, 0, -1), AcGeVector3d(0, 3, 0), 0.5);
    part->setStartParam(5.5);
    part->setEndParam(0.5);
    add(part);
    AcGeDoubleArray knots, weights;
    for (double k : {0.0, 0.0, 0.0, 0.25, 0.25, 0.5, 0.5, 0.75, 0.75, 1.0, 1.0, 1.0}) knots.append(k);
    AcGePoint3dArray square = pointArray({{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0}, {-1, -1, 0},
                                          {0, -1, 0}, {1, -1, 0}, {1, 0, 0}});
    for (int i = 0; i < 9; ++i) weights.append(i % 2 ? std::sqrt(0.5) : 1.0);
    add(new AcDbSpline(2, true, true, false, square, knots, weights, 1e-9, 1e-8));
    add(new AcDbSpline(pointArray({{0, 0, 0}, {1, 2, 0}, {3, 1, 1}, {4, 4, 2}}), AcGeVector3d(1, 0, 0),
                       AcGeVector3d(0, -2, 0), 4, 0.125));
    knots.removeAll();
    for (double k : {-1.0, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0}) knots.append(k);
    add(new AcDbSpline(2, false, false, true, pointArray({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}}), knots,
                       AcGeDoubleArray()));
  }

  std::unique_ptr<AcDbDatabase> readBack(const std::string& file, kv::dxf::ReadReport* report = nullptr) {
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    EXPECT_EQ(kv::dxf::readDrawing(file, back, error, report), Acad::eOk) << error;
    return back;
  }

  ScratchFolder dir_;
};

TEST_F(CurvesDxf, CurvesRoundTripKeepingEveryValue) {
  buildCurves();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("curves.dxf")), Acad::eOk);
  kv::dxf::ReadReport report;
  auto back = readBack(path("curves.dxf"), &report);
  ASSERT_TRUE(back);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<AcDbObjectId> want = modelIds(db()), got = modelIds(*back);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    AcDbEntity *a = nullptr, *b = nullptr;
    ASSERT_EQ(acdbOpenObject(a, got[i], AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(b, want[i], AcDb::kForRead), Acad::eOk);
    expectSameValues(*a, *b);
    a->close();
    b->close();
  }
  // A second trip writes the same entities, handles aside; a point in object coordinates may
  // move by a rounding on its way through world coordinates.
  ASSERT_EQ(kv::dxf::writeDrawing(*back, path("again.dxf")), Acad::eOk);
  auto first = entitySection(readFile(path("curves.dxf"))), second = entitySection(readFile(path("again.dxf")));
  ASSERT_EQ(second.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(second[i].first, first[i].first) << "pair " << i;
    if (second[i].second == first[i].second) continue;
    double a = std::stod(second[i].second), b = std::stod(first[i].second);
    EXPECT_NEAR(a, b, 1e-14 * std::max(1.0, std::fabs(b))) << "pair " << i;
  }
}

TEST_F(CurvesDxf, FileHoldsPlanarCentresInObjectCoordinatesAndAnglesInDegrees) {
  buildCurves();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("curves.dxf")), Acad::eOk);
  std::string text = readFile(path("curves.dxf"));
  // Normal -Z: the object x axis is -X, so the world centre (1, 2, 3) is (-1, 2, -3).
  auto circle = entityPairs(text, "CIRCLE");
  EXPECT_EQ(valueAt(circle, 10), -1);
  EXPECT_EQ(valueAt(circle, 20), 2);
  EXPECT_EQ(valueAt(circle, 30), -3);
  EXPECT_EQ(valueAt(circle, 40), 2.5);
  EXPECT_EQ(valueAt(circle, 230), -1);
  auto arc = entityPairs(text, "ARC", 1);
  EXPECT_EQ(valueAt(arc, 50), 30);
  EXPECT_EQ(valueAt(arc, 51), 45);
  auto across = entityPairs(text, "ARC", 0);
  EXPECT_NEAR(valueAt(across, 50), 350, 1e-12);
  EXPECT_NEAR(valueAt(across, 51), 10, 1e-12);
  // Parameters, within a turn; a whole ellipse from 0 to a full turn.
  auto whole = entityPairs(text, "ELLIPSE", 0), part = entityPairs(text, "ELLIPSE", 1);
  EXPECT_EQ(valueAt(whole, 41), 0);
  EXPECT_EQ(valueAt(whole, 42), 2 * kPi);
  EXPECT_EQ(valueAt(part, 41), 5.5);
  EXPECT_NEAR(valueAt(part, 42), 0.5, 1e-15);
  EXPECT_EQ(valueAt(part, 230), -1);
  // Closed, rational and planar; counts as the lists hold them.
  auto rational = entityPairs(text, "SPLINE", 0);
  EXPECT_EQ(valueAt(rational, 70), 1 + 4 + 8);
  EXPECT_EQ(valueAt(rational, 71), 2);
  EXPECT_EQ(valueAt(rational, 72), 12);
  EXPECT_EQ(valueAt(rational, 73), 9);
  EXPECT_EQ(valueAt(rational, 74), 0);
  EXPECT_EQ(valueAt(rational, 41, 1), std::sqrt(0.5));
  auto fitted = entityPairs(text, "SPLINE", 1);
  EXPECT_EQ(valueAt(fitted, 70), 0);  // not planar
  EXPECT_EQ(valueAt(fitted, 74), 4);
  EXPECT_EQ(valueAt(fitted, 44), 0.125);
  EXPECT_EQ(valueAt(fitted, 23), -2);
  auto periodic = entityPairs(text, "SPLINE", 2);
  EXPECT_EQ(valueAt(periodic, 70), 2 + 8);
  EXPECT_EQ(valueAt(periodic, 40), -1);
}

// A curve the host refuses is kept as read, with a note of its line and the reason; the rest
// of the drawing is read.
TEST_F(CurvesDxf, CurvesTheHostRefusesAreKeptAndNoted) {
  writeFile(path("bad.dxf"),
            "0\nSECTION\n2\nENTITIES\n"
            "0\nSPLINE\n8\n0\n71\n3\n40\n0\n40\n1\n10\n0\n20\n0\n30\n0\n10\n1\n20\n0\n30\n0\n"
            "0\nELLIPSE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n40\n2\n"
            "0\nCIRCLE\n8\n0\n10\n0\n20\n0\n30\n0\n40\n-1\n"
            "0\nARC\n8\n0\n10\n0\n20\n0\n30\n0\n40\n1\n210\n0\n220\n0\n230\n0\n"
            "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  kv::dxf::ReadReport report;
  auto back = readBack(path("bad.dxf"), &report);
  ASSERT_TRUE(back);
  EXPECT_EQ(report.entitiesRead, 1);
  EXPECT_EQ(report.unsupported,
            (std::map<std::string, int>{{"SPLINE", 1}, {"ELLIPSE", 1}, {"CIRCLE", 1}, {"ARC", 1}}));
  const std::vector<std::string> notes = {
      "line 5: SPLINE kept as read: its NURBS data is not a curve: degree 3, 2 control points, 2 knots, 0 weights",
      "line 27: ELLIPSE kept as read: its axes, ratio or parameters make no ellipse",
      "line 45: CIRCLE kept as read: its radius is negative",
      "line 57: ARC kept as read: its extrusion direction has no length"};
  EXPECT_EQ(report.notes, notes);
  std::vector<AcDbObjectId> ids = modelIds(*back);
  ASSERT_EQ(ids.size(), 5u);
  const char* names[] = {"SPLINE", "ELLIPSE", "CIRCLE", "ARC"};
  for (size_t i = 0; i < 4; ++i) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenObject(e, ids[i], AcDb::kForRead), Acad::eOk);
    const auto* kept = kv::KeptEntity::cast(e);
    EXPECT_TRUE(kept && kept->dxfName() == names[i]) << names[i];
    e->close();
  }
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, ids[4], AcDb::kForRead), Acad::eOk);
  expectPoint(line->endPoint(), AcGePoint3d(1, 0, 0), 0);
  line->close();

  // A y before its x is a value the reader cannot take, not a broken file.
  writeFile(path("broken.dxf"), "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n20\n1\n10\n0\n0\nENDSEC\n0\nEOF\n");
  report = {};
  back = readBack(path("broken.dxf"), &report);
  ASSERT_TRUE(back);
  EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"SPLINE", 1}}));
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_EQ(report.notes[0].rfind("line 5: SPLINE kept as read: ", 0), 0u) << report.notes[0];
  EXPECT_NE(report.notes[0].find("comes before its x"), std::string::npos) << report.notes[0];
}

TEST_F(CurvesDxf, SplineOfFitPointsAloneIsMadeThroughThem) {
  writeFile(path("fit.dxf"),
            "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n8\n0\n100\nAcDbSpline\n70\n0\n71\n3\n74\n3\n13\n0\n23\n1\n33\n0\n"
            "11\n0\n21\n0\n31\n0\n11\n1\n21\n2\n31\n0\n11\n3\n21\n1\n31\n0\n"
            "0\nSPLINE\n8\n0\n70\n1\n71\n3\n11\n0\n21\n0\n31\n0\n11\n1\n21\n0\n31\n0\n11\n1\n21\n1\n31\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  kv::dxf::ReadReport report;
  auto back = readBack(path("fit.dxf"), &report);
  ASSERT_TRUE(back);
  // The closed one is no open cubic through its points: it is kept as read, after the other.
  EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"SPLINE", 1}}));
  EXPECT_EQ(report.notes,
            std::vector<std::string>{"line 41: SPLINE kept as read: only open cubics are made from fit points alone"});
  std::vector<AcDbObjectId> ids = modelIds(*back);
  ASSERT_EQ(ids.size(), 2u);
  AcDbEntity* closed = nullptr;
  ASSERT_EQ(acdbOpenObject(closed, ids[1], AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(kv::KeptEntity::cast(closed));
  closed->close();
  AcDbSpline* spline = nullptr;
  ASSERT_EQ(acdbOpenObject(spline, ids[0], AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(spline->degree(), 3);
  EXPECT_EQ(spline->numFitPoints(), 3);
  EXPECT_EQ(spline->numControlPoints(), 5);
  expectPoint(startOf(*spline), AcGePoint3d(0, 0, 0), 1e-12);
  expectPoint(endOf(*spline), AcGePoint3d(3, 1, 0), 1e-12);
  AcGePoint3d middle;
  ASSERT_EQ(spline->getPointAtParam(std::sqrt(5.0), middle), Acad::eOk);
  expectPoint(middle, AcGePoint3d(1, 2, 0), 1e-12);
  AcGePoint3dArray fit;
  int degree = 0;
  double tol = 0;
  Adesk::Boolean tangents = false;
  AcGeVector3d st, et;
  ASSERT_EQ(spline->getFitData(fit, degree, tol, tangents, st, et), Acad::eOk);
  EXPECT_EQ(tol, 1e-10);
  EXPECT_TRUE(st.isZeroLength());
  EXPECT_EQ(et.y, 1);
  spline->close();
}

// ---------------------------------------------------------------------------------------------
// ezdxf

TEST_F(CurvesDxf, EzdxfReadsOurCurvesAsWeMeanThem) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  buildCurves();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("ours.dxf")), Acad::eOk);
  writeFile(path("list.py"), kEzdxfList);
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " + path("list.py") + " " + path("ours.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  auto lines = lineFields(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], (std::vector<std::string>{"audit", "0", "0"})) << out;
  std::vector<AcDbObjectId> ids = modelIds(db());
  ASSERT_EQ(lines.size(), ids.size() + 1) << out;
  for (size_t i = 0; i < ids.size(); ++i) {
    const std::vector<std::string>& f = lines[i + 1];
    AcDbCurve* c = nullptr;
    ASSERT_EQ(acdbOpenObject(c, ids[i], AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(f[0], c->isA()->dxfName());
    if (auto* line = AcDbUnboundedLine::cast(c)) {
      expectPoint(pointField(f, 1), line->basePoint());
      expectPoint(pointField(f, 4), AcGePoint3d::kOrigin + line->unitDir());
    } else if (auto* circle = AcDbCircle::cast(c)) {
      expectPoint(pointField(f, 1), circle->center());
      EXPECT_EQ(std::stod(f.at(4)), circle->radius());
    } else if (AcDbArc::cast(c) || AcDbEllipse::cast(c)) {
      expectPoint(pointField(f, 1), startOf(*c));
      expectPoint(pointField(f, 4), endOf(*c));
    } else if (AcDbSpline::cast(c)) {
      for (size_t k = 2; k + 3 < f.size(); k += 4) {
        AcGePoint3d ours;
        ASSERT_EQ(c->getPointAtParam(std::stod(f[k]), ours), Acad::eOk) << f[k];
        expectPoint(pointField(f, k + 1), ours);
      }
    }
    c->close();
  }
}

TEST_F(CurvesDxf, ReadsTheCurvesEzdxfWrites) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  writeFile(path("write.py"), kEzdxfWrite);
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " + path("write.py") + " " + path("theirs.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  kv::dxf::ReadReport report;
  auto back = readBack(path("theirs.dxf"), &report);
  ASSERT_TRUE(back);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<AcDbObjectId> ids = modelIds(*back);
  ASSERT_EQ(ids.size(), 8u);
  std::vector<AcDbCurve*> c(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(acdbOpenObject(c[i], ids[i], AcDb::kForRead), Acad::eOk);
  auto theirs = lineFields(out);
  ASSERT_EQ(theirs.size(), 5u) << out;

  auto* ray = AcDbRay::cast(c[0]);
  ASSERT_NE(ray, nullptr);
  expectPoint(AcGePoint3d::kOrigin + ray->unitDir(), AcGePoint3d(0, 0.6, 0.8), 1e-15);
  ASSERT_NE(AcDbXline::cast(c[1]), nullptr);
  auto* circle = AcDbCircle::cast(c[2]);
  ASSERT_NE(circle, nullptr);
  expectPoint(circle->center(), pointField(theirs[0], 1));
  expectPoint(AcGePoint3d::kOrigin + circle->normal(), AcGePoint3d(0, 0.6, 0.8), 1e-15);
  auto* arc = AcDbArc::cast(c[3]);
  ASSERT_NE(arc, nullptr);
  expectPoint(startOf(*arc), pointField(theirs[1], 1));
  expectPoint(endOf(*arc), pointField(theirs[1], 4));
  ASSERT_NE(AcDbEllipse::cast(c[4]), nullptr);
  expectPoint(startOf(*c[4]), pointField(theirs[2], 1));
  expectPoint(endOf(*c[4]), pointField(theirs[2], 4));
  // Fit points alone: our cubic passes through them.
  auto* fitted = AcDbSpline::cast(c[5]);
  ASSERT_NE(fitted, nullptr);
  ASSERT_EQ(fitted->numFitPoints(), 4);
  expectPoint(startOf(*fitted), AcGePoint3d(0, 0, 0), 1e-12);
  expectPoint(endOf(*fitted), AcGePoint3d(4, 4, 2), 1e-12);
  for (int k = 6; k <= 7; ++k) {
    ASSERT_NE(AcDbSpline::cast(c[size_t(k)]), nullptr);
    const std::vector<std::string>& f = theirs[size_t(k - 3)];
    for (size_t i = 1; i + 3 < f.size(); i += 4) {
      AcGePoint3d ours;
      ASSERT_EQ(c[size_t(k)]->getPointAtParam(std::stod(f[i]), ours), Acad::eOk);
      expectPoint(ours, pointField(f, i + 1), 1e-12);
    }
  }
  EXPECT_TRUE(AcDbSpline::cast(c[7])->isRational());
  for (AcDbCurve* curve : c) curve->close();
}
