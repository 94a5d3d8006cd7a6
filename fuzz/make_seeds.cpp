// Writes the seed corpora with our own writers: STL from the modeller (binary and ASCII), SAT
// from acisOut, DXF from writeDrawing. Usage: make_seeds <fuzz/corpus folder>. Hand-written
// seeds sit beside these. Names say the outcome the regression test expects ("x.read.stl").
#include <array>
#include <cstdio>
#include <filesystem>

#include "dxf/dxf.h"
#include "host/curves.h"
#include "host/entities.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;

namespace {

bool ok(Acad::ErrorStatus st, const char* what) {
  if (st != Acad::eOk) std::fprintf(stderr, "make_seeds: %s failed (%d)\n", what, int(st));
  return st == Acad::eOk;
}

void append(AcDbDatabase& db, AcDbEntity* entity) {
  AcDbBlockTableRecord* space = nullptr;
  if (!ok(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite), "open model space")) return;
  AcDbObjectId id;
  if (ok(space->appendAcDbEntity(id, entity), "append")) entity->close();
  space->close();
}

// The same drawing with one curve of each kind beside the entities above.
bool writeCurves(AcDbDatabase& db, const std::string& file) {
  using P = AcGePoint3d;
  auto* ray = new AcDbRay;
  ray->setUnitDir(AcGeVector3d(1, 1, 0));
  append(db, ray);
  auto* xline = new AcDbXline;
  xline->setBasePoint(P(1, 2, 3));
  append(db, xline);
  append(db, new AcDbCircle(P(1, 2, 3), AcGeVector3d(0, 0, -1), 2));
  append(db, new AcDbArc(P(0, 0, 0), AcGeVector3d(1, 1, 1), 1, 6, 0.5));
  append(db, new AcDbEllipse(P(0, 0, 0), AcGeVector3d(0, 0, 1), AcGeVector3d(2, 0, 0), 0.5, 5, 1));
  AcGePoint3dArray fit;
  for (P p : {P(0, 0, 0), P(1, 2, 0), P(3, 1, 1)}) fit.append(p);
  append(db, new AcDbSpline(fit, AcGeVector3d(1, 0, 0), AcGeVector3d(), 4, 0.0));
  return ok(kv::dxf::writeDrawing(db, file), "writeDrawing");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  for (const char* t : {"fuzz_stl", "fuzz_sat", "fuzz_dxf"}) fs::create_directories(root / t);
  kv::RecordingUI ui;
  kv::Host host(ui);
  bool good = true;

  // Small shapes keep the seeds short: the coarsest facets the modeller makes.
  AcDb3dSolid box, wedge, sphere, torus;
  good &= ok(box.createBox(1, 2, 3), "box") && ok(wedge.createWedge(2, 1, 1), "wedge") &&
          ok(sphere.createSphere(1), "sphere") && ok(torus.createTorus(3, 1), "torus");
  std::string stl = (root / "fuzz_stl").string();
  good &= ok(box.stlOut((stl + "/box-binary.read.stl").c_str(), false), "stlOut") &&
          ok(box.stlOut((stl + "/box-ascii.read.stl").c_str(), true), "stlOut") &&
          ok(wedge.stlOut((stl + "/wedge-ascii.read.stl").c_str(), true), "stlOut") &&
          ok(wedge.stlOut((stl + "/wedge-binary.read.stl").c_str(), false), "stlOut");

  std::string sat = (root / "fuzz_sat").string();
  AcDbVoidPtrArray one, several;
  one.append(static_cast<AcDbEntity*>(&box));
  for (AcDb3dSolid* s : {&wedge, &sphere, &torus}) several.append(static_cast<AcDbEntity*>(s));
  good &= ok(AcDbBody::acisOut((sat + "/box.read.sat").c_str(), one), "acisOut") &&
          ok(AcDbBody::acisOut((sat + "/wedge-sphere-torus.read.sat").c_str(), several), "acisOut");

  using P = AcGePoint3d;
  AcDbDatabase& db = host.database();
  append(db, new AcDbLine(P(0, 0, 0), P(1, 2, 3)));
  append(db, new AcDbPoint(P(-1, 0.5, 2)));
  append(db, new AcDbFace(P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0.5), true, false, true, false));
  auto* solid = new AcDbSolid(P(0, 0, 1), P(1, 0, 1), P(0, 1, 1));
  ok(solid->setNormal(AcGeVector3d(0, 0, -1)), "setNormal");
  append(db, solid);
  auto* pf = new AcDbPolyFaceMesh;
  for (P p : {P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 1)}) {
    auto* v = new AcDbPolyFaceMeshVertex(p);
    ok(pf->appendVertex(v), "appendVertex");
    v->close();
  }
  for (auto f : {std::array<Adesk::Int16, 4>{1, 2, -3, 0}, {1, 3, 4, 0}}) {
    auto* r = new AcDbFaceRecord(f[0], f[1], f[2], f[3]);
    ok(pf->appendFaceRecord(r), "appendFaceRecord");
    r->close();
  }
  append(db, pf);
  AcGePoint3dArray grid, path;
  for (P p : {P(0, 0, 0), P(1, 0, 0), P(0, 1, 0), P(1, 1, 1)}) grid.append(p);
  for (P p : {P(0, 0, 0), P(1, 2, 3), P(4, 5, 6)}) path.append(p);
  append(db, new AcDbPolygonMesh(AcDb::kSimpleMesh, 2, 2, grid, true, false));
  append(db, new AcDb3dPolyline(AcDb::k3dSimplePoly, path, false));
  auto* cube = new AcDb3dSolid;
  good &= ok(cube->createBox(1, 1, 1), "box");
  append(db, cube);
  good &= ok(kv::dxf::writeDrawing(db, (root / "fuzz_dxf" / "entities.read.dxf").string()), "writeDrawing");
  good &= writeCurves(db, (root / "fuzz_dxf" / "curves.read.dxf").string());
  return good ? 0 : 1;
}
