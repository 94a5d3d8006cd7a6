// Polylines in DXF: LWPOLYLINE and 2D, 3D and polyface POLYLINEs written and read back with every
// value, files written by hand, and ezdxf on both sides.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "host/access.h"
#include "host/polylines.h"
#include "host_fixture.h"
#include "test_files.h"

namespace {

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// One record a line, tab-separated, in the format tests/interop/ezdxf_polylines.py prints.
class Listing {
public:
  explicit Listing(bool ids) : ids_(ids) {}
  template <class... T>
  void row(const T&... fields) {
    std::string line;
    ((line += (line.empty() ? "" : "\t") + text(fields)), ...);
    lines.push_back(line);
  }
  std::vector<std::string> lines;
  bool ids() const { return ids_; }

private:
  static std::string text(const std::string& s) { return s; }
  static std::string text(const char* s) { return s; }
  static std::string text(double v) { return num(v); }
  static std::string text(int v) { return std::to_string(v); }
  bool ids_;
};

void listLw(const AcDbPolyline& pl, Listing& out) {
  AcGeVector3d n = pl.normal();
  out.row("LW", pl.layer().GetString(), int(pl.isClosed()), int(pl.hasPlinegen()), pl.elevation(), pl.thickness(),
          n.x, n.y, n.z);
  for (unsigned i = 0; i < pl.numVerts(); ++i) {
    AcGePoint2d p;
    double b = 0, s = 0, e = 0;
    Adesk::Int32 id = 0;
    pl.getPointAt(i, p);
    pl.getBulgeAt(i, b);
    pl.getWidthsAt(i, s, e);
    pl.getVertexIdentifierAt(i, id);
    if (out.ids()) out.row("lwv", p.x, p.y, b, s, e, int(id));
    else out.row("lwv", p.x, p.y, b, s, e);
  }
}

// The vertex flags (70) a file gives each kind of 2D vertex.
int flagsOf(const AcDb2dVertex& v) {
  const int kinds[] = {0, 16, 8, 1};  // own, frame, spline-fitted, curve-fitted
  return kinds[v.vertexType()] | (v.isTangentUsed() ? 2 : 0);
}

void list2d(const AcDb2dPolyline& pl, Listing& out) {
  const int fit[] = {0, 2, 4, 4}, curve[] = {0, 0, 5, 6};
  AcGeVector3d n = pl.normal();
  out.row("PL2D", pl.layer().GetString(), int(pl.isClosed()), int(pl.isLinetypeGenerationOn()),
          fit[pl.polyType()], curve[pl.polyType()], pl.elevation(), pl.thickness(), pl.defaultStartWidth(),
          pl.defaultEndWidth(), n.x, n.y, n.z);
  for (const AcDbEntity* item : pl.items()) {
    const auto* v = AcDb2dVertex::cast(item);
    AcGePoint3d p = v->position();
    out.row("v2d", flagsOf(*v), p.x, p.y, p.z, v->bulge(), v->startWidth(), v->endWidth(),
            v->tangent() * 180 / std::numbers::pi, int(v->vertexIdentifier()));
  }
}

void list3d(const AcDb3dPolyline& pl, Listing& out) {
  const int curve[] = {0, 5, 6}, flags[] = {32, 48, 40};
  out.row("PL3D", int(pl.isClosed()), curve[pl.polyType()]);
  for (const AcDbEntity* item : pl.items()) {
    const auto* v = AcDb3dPolylineVertex::cast(item);
    out.row("v3d", flags[v->vertexType()], v->position().x, v->position().y, v->position().z);
  }
}

void listFace(const AcDbPolyFaceMesh& pf, Listing& out) {
  out.row("PFACE", int(pf.numVertices()), int(pf.numFaces()));
  for (const AcDbEntity* item : pf.items()) {
    if (const auto* v = AcDbVertex::cast(item)) {
      out.row("pv", v->position().x, v->position().y, v->position().z);
      continue;
    }
    Adesk::Int16 k[4] = {0, 0, 0, 0};
    for (Adesk::UInt16 c = 0; c < 4; ++c) AcDbFaceRecord::cast(item)->getVertexAt(c, k[c]);
    out.row("pf", int(k[0]), int(k[1]), int(k[2]), int(k[3]));
  }
}

std::vector<std::string> listing(AcDbDatabase& db, bool ids) {
  Listing out(ids);
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  if (!space) return out.lines;
  for (AcDbObjectId id : space->entityIds()) {
    AcDbEntity* e = nullptr;
    if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) continue;
    if (auto* lw = AcDbPolyline::cast(e)) listLw(*lw, out);
    else if (auto* p2 = AcDb2dPolyline::cast(e)) list2d(*p2, out);
    else if (auto* p3 = AcDb3dPolyline::cast(e)) list3d(*p3, out);
    else if (auto* pf = AcDbPolyFaceMesh::cast(e)) listFace(*pf, out);
    e->close();
  }
  space->close();
  return out.lines;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
  return out;
}

// Field by field: numbers within a relative 1e-12 (a tangent passes through degrees), the rest
// exactly.
void expectSameListing(const std::vector<std::string>& want, const std::vector<std::string>& got) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    auto a = fields(want[i]), b = fields(got[i]);
    ASSERT_EQ(a.size(), b.size()) << want[i] << " | " << got[i];
    for (size_t k = 0; k < a.size(); ++k) {
      char *endA = nullptr, *endB = nullptr;
      double x = std::strtod(a[k].c_str(), &endA), y = std::strtod(b[k].c_str(), &endB);
      if (k > 0 && !a[k].empty() && *endA == 0 && *endB == 0)
        EXPECT_NEAR(x, y, 1e-12 * std::max(1.0, std::fabs(x))) << want[i] << " | " << got[i] << " field " << k;
      else
        EXPECT_EQ(a[k], b[k]) << want[i] << " | " << got[i];
    }
  }
}

// The records of a listing that ezdxf_polylines.py printed.
std::vector<std::string> recordsOf(const std::string& out) {
  static const char* kinds[] = {"LW", "lwv", "PL2D", "v2d", "PL3D", "v3d", "PFACE", "pv", "pf"};
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    for (const char* k : kinds)
      if (line.substr(0, line.find('\t')) == k) lines.push_back(line);
  return lines;
}

template <class V, class T>
V* typedVertex(const AcGePoint3d& p, T type) {
  auto* v = new V(p);
  kv::HostAccess::setVertexType(*v, type);
  return v;
}

class PolylinesDxf : public HostTest {
protected:
  std::string path(const std::string& name) const { return (scratch_ / name).string(); }

  AcDbObjectId addLayer(const char* name) {
    AcDbLayerTable* layers = nullptr;
    EXPECT_EQ(db().getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(name);
    AcDbObjectId id;
    EXPECT_EQ(layers->add(id, rec), Acad::eOk);
    rec->close();
    layers->close();
    return id;
  }

  void addLightweights() {
    auto* lw = new AcDbPolyline;
    const double v[][6] = {{0, 0, 0.5, 0.1, 0.2, 11}, {2, 0, 0, 0.3, 0, 12}, {2, 3, -0.25, 0, 0, 0}};
    for (unsigned i = 0; i < 3; ++i) {
      lw->addVertexAt(i, AcGePoint2d(v[i][0], v[i][1]), v[i][2], v[i][3], v[i][4]);
      lw->setVertexIdentifierAt(i, Adesk::Int32(v[i][5]));
    }
    lw->setClosed(true);
    lw->setPlinegen(true);
    lw->setElevation(1.25);
    lw->setThickness(0.5);
    lw->setNormal(AcGeVector3d(0, 0.6, 0.8));
    lw->setLayer(addLayer("Outline"));
    lw->setColorIndex(3);
    append(lw);
    auto* constant = new AcDbPolyline;
    for (unsigned i = 0; i < 3; ++i) constant->addVertexAt(i, AcGePoint2d(i, i * i - 1.0 / 3));
    constant->setConstantWidth(0.4);
    append(constant);
  }

  void add2dPolylines() {
    auto* fit = new AcDb2dPolyline;
    fit->setPolyType(AcDb::k2dFitCurvePoly);
    fit->setNormal(AcGeVector3d(0, 0, -1));
    fit->setElevation(-3);
    fit->setThickness(2);
    fit->setDefaultStartWidth(0.1);
    fit->setDefaultEndWidth(0.2);
    fit->makeClosed();
    fit->setLinetypeGenerationOn();
    fit->appendVertex(new AcDb2dVertex(AcGePoint3d(0, 0, -3), 0.5, 0.1, 0.2, 0, 5));
    auto* tangent = typedVertex<AcDb2dVertex>(AcGePoint3d(1, 0.5, -3), AcDb::k2dCurveFitVertex);
    tangent->setTangent(std::numbers::pi / 6);
    tangent->useTangent();
    tangent->setVertexIdentifier(6);
    fit->appendVertex(tangent);
    fit->appendVertex(new AcDb2dVertex(AcGePoint3d(3, 0, -3), -1, 0, 0.4));
    append(fit);
    auto* spline = new AcDb2dPolyline;
    spline->setPolyType(AcDb::k2dCubicSplinePoly);
    for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(4, 0, 0), AcGePoint3d(4, 4, 0)})
      spline->appendVertex(typedVertex<AcDb2dVertex>(p, AcDb::k2dSplineCtlVertex));
    for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(3, 1, 0), AcGePoint3d(4, 4, 0)})
      spline->appendVertex(typedVertex<AcDb2dVertex>(p, AcDb::k2dSplineFitVertex));
    append(spline);
  }

  void add3dPolylineAndMesh() {
    auto* p3 = new AcDb3dPolyline(AcDb::k3dQuadSplinePoly, AcGePoint3dArray(), true);
    for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(4, 0, 1), AcGePoint3d(4, 4, 2)})
      p3->appendVertex(typedVertex<AcDb3dPolylineVertex>(p, AcDb::k3dControlVertex));
    for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(3, 1, 1), AcGePoint3d(4, 4, 2)})
      p3->appendVertex(typedVertex<AcDb3dPolylineVertex>(p, AcDb::k3dFitVertex));
    append(p3);
    auto* pf = new AcDbPolyFaceMesh;
    for (int i = 0; i < 4; ++i) pf->appendVertex(new AcDbPolyFaceMeshVertex(AcGePoint3d(i, i % 2, 0.5)));
    const Adesk::Int16 records[][4] = {{1, 2, 3, 0}, {1, -2, 3, 4}, {4, 0, 0, 0}, {2, -3, 0, 0}};
    for (const auto& r : records) pf->appendFaceRecord(new AcDbFaceRecord(r[0], r[1], r[2], r[3]));
    append(pf);
  }

  void buildDrawing() {
    addLightweights();
    add2dPolylines();
    add3dPolylineAndMesh();
  }

  std::unique_ptr<AcDbDatabase> readBack(const std::string& file, kv::dxf::ReadReport& report) {
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    EXPECT_EQ(kv::dxf::readDrawing(file, back, error, &report), Acad::eOk) << error;
    return back;
  }

  ScratchFolder scratch_;
};

}  // namespace

TEST_F(PolylinesDxf, EveryValueSurvivesAWriteAndARead) {
  buildDrawing();
  const std::vector<std::string> before = listing(db(), true);
  ASSERT_EQ(before.size(), 4u + 4 + 4 + 7 + 7 + 9);
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("p.dxf")), Acad::eOk);
  kv::dxf::ReadReport report;
  std::unique_ptr<AcDbDatabase> back = readBack(path("p.dxf"), report);
  ASSERT_TRUE(back);
  EXPECT_EQ(report.entitiesRead, 6);
  EXPECT_TRUE(report.unsupported.empty());
  expectSameListing(before, listing(*back, true));

  // The layer and colour came with them; and a second pass changes nothing.
  std::vector<std::string> first = fields(listing(*back, true)[0]);
  EXPECT_EQ(first[1], "Outline");
  ASSERT_EQ(kv::dxf::writeDrawing(*back, path("again.dxf")), Acad::eOk);
  std::unique_ptr<AcDbDatabase> again = readBack(path("again.dxf"), report);
  ASSERT_TRUE(again);
  expectSameListing(before, listing(*again, true));
}

TEST_F(PolylinesDxf, FaceRecordsNameOnlyTheVerticesTheyHave) {
  add3dPolylineAndMesh();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("f.dxf")), Acad::eOk);
  // Pair by pair, the codes 71 to 74 of each face record (flag 128 alone).
  std::istringstream in(readFile(path("f.dxf")));
  std::vector<std::string> records;
  std::string code, value, current;
  bool face = false;
  while (std::getline(in, code) && std::getline(in, value)) {
    int c = std::atoi(code.c_str());
    if (c == 0) {
      if (face) records.push_back(current);
      face = false;
      current.clear();
    } else if (c == 70 && std::atoi(value.c_str()) == 128) {
      face = true;
    } else if (c >= 71 && c <= 74) {
      current += std::to_string(c) + "=" + std::to_string(std::atoi(value.c_str())) + " ";
    }
  }
  EXPECT_EQ(records, (std::vector<std::string>{"71=1 72=2 73=3 ", "71=1 72=-2 73=3 74=4 ", "71=4 ", "71=2 72=-3 "}));
}

TEST_F(PolylinesDxf, HandWrittenPolylinesReadWithTheirDefaults) {
  // R12 style, no markers: a LWPOLYLINE whose 43 gives the widths its vertices leave out; a 2D
  // POLYLINE whose vertices without 40/41 take its default widths, with a tangent in degrees.
  const std::string text =
      "0\nSECTION\n2\nENTITIES\n"
      "0\nLWPOLYLINE\n8\n0\n90\n2\n70\n1\n43\n0.5\n10\n1\n20\n2\n10\n3\n20\n4\n40\n0.25\n42\n-1\n"
      "0\nPOLYLINE\n8\n0\n66\n1\n10\n0\n20\n0\n30\n7\n70\n2\n40\n0.3\n41\n0.6\n"
      "0\nVERTEX\n8\n0\n10\n0\n20\n0\n30\n7\n70\n0\n"
      "0\nVERTEX\n8\n0\n10\n5\n20\n0\n30\n7\n40\n1\n42\n0.5\n50\n90\n70\n3\n"
      "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
  writeFile(path("hand.dxf"), text);
  kv::dxf::ReadReport report;
  std::unique_ptr<AcDbDatabase> back = readBack(path("hand.dxf"), report);
  ASSERT_TRUE(back);
  EXPECT_TRUE(report.unsupported.empty());
  expectSameListing({"LW\t0\t1\t0\t0\t0\t0\t0\t1",
                     "lwv\t1\t2\t0\t0.5\t0.5\t0",
                     "lwv\t3\t4\t-1\t0.25\t0.5\t0",
                     "PL2D\t0\t0\t0\t2\t0\t7\t0\t0.3\t0.6\t0\t0\t1",
                     "v2d\t0\t0\t0\t7\t0\t0.3\t0.6\t0\t0",
                     "v2d\t3\t5\t0\t7\t0.5\t1\t0.6\t90\t0"},
                    listing(*back, true));
}

TEST_F(PolylinesDxf, EzdxfReadsOurPolylinesWithoutComplaint) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  buildDrawing();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), path("ours.dxf")), Acad::eOk);
  int status = 0;
  std::string out = runProcess(
      "/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_polylines.py read " + path("ours.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("audit\t0\t0\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("problem"), std::string::npos) << out;
  expectSameListing(listing(db(), false), recordsOf(out));
}

TEST_F(PolylinesDxf, WeReadThePolylinesEzdxfWrites) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  int status = 0;
  std::string out = runProcess(
      "/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_polylines.py write " + path("theirs.dxf") + " 2>&1",
      status);
  ASSERT_EQ(status, 0) << out;
  const std::vector<std::string> theirs = recordsOf(out);
  ASSERT_EQ(theirs.size(), 4u + 4 + 4 + 7 + 9) << out;
  kv::dxf::ReadReport report;
  std::unique_ptr<AcDbDatabase> back = readBack(path("theirs.dxf"), report);
  ASSERT_TRUE(back);
  EXPECT_TRUE(report.unsupported.empty());
  expectSameListing(theirs, listing(*back, false));
}
