// Writes the samples of the README's main command with our own writers:
//   make_samples DIR   ->  DIR/solids.sat and DIR/drawing.dxf
// The shapes are fixed, so a rerun gives files that read to the same solids.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "host/entities.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"
#include "testing/colors.h"

namespace {

using kv::indexColor;
using kv::trueColor;

using P = AcGePoint3d;
using V = AcGeVector3d;

bool check(Acad::ErrorStatus es, const char* what) {
  if (es == Acad::eOk) return true;
  std::fprintf(stderr, "make_samples: %s failed with status %d\n", what, int(es));
  return false;
}

AcDb3dSolid* moved(AcDb3dSolid* s, const V& by) {
  s->transformBy(AcGeMatrix3d::translation(by));
  return s;
}

// The five solids of solids.sat; several reach below zero on some axis.
std::vector<AcDb3dSolid*> satSolids() {
  std::vector<AcDb3dSolid*> out;
  auto* box = new AcDb3dSolid;
  box->createBox(4, 3, 2);
  out.push_back(moved(box, V(-1, -0.5, 0.25)));
  auto* cylinder = new AcDb3dSolid;
  cylinder->createFrustum(4, 1, 1, 1);
  out.push_back(moved(cylinder, V(6, 0, 1)));
  auto* sphere = new AcDb3dSolid;
  sphere->createSphere(1.5);
  out.push_back(moved(sphere, V(-6, 2, -1)));
  auto* torus = new AcDb3dSolid;
  torus->createTorus(3, 0.75);
  out.push_back(moved(torus, V(0, 9, 0)));
  auto* holed = new AcDb3dSolid;
  holed->createBox(4, 4, 2);
  AcDb3dSolid drill;
  drill.createFrustum(3, 1, 1, 1);
  if (!check(holed->booleanOper(AcDb::kBoolSubtract, &drill), "the box's hole")) {
    delete holed;
  } else {
    out.push_back(moved(holed, V(3, -7, -2)));
  }
  return out;
}

AcDbObjectId addLayer(AcDbDatabase& db, const char* name, const AcCmColor& color) {
  AcDbLayerTable* table = nullptr;
  AcDbObjectId id;
  if (!check(db.getLayerTable(table, AcDb::kForWrite), "the layer table")) return id;
  auto* rec = new AcDbLayerTableRecord;
  rec->setName(name);
  rec->setColor(color);
  rec->setLinetypeObjectId(db.continuousLinetype());
  if (!check(table->add(id, rec), name)) delete rec;
  else rec->close();
  table->close();
  return id;
}

bool append(AcDbDatabase& db, AcDbEntity* e, AcDbObjectId layer, const AcCmColor& color) {
  AcDbBlockTableRecord* ms = nullptr;
  if (!check(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), "model space")) {
    delete e;
    return false;
  }
  bool ok = check(ms->appendAcDbEntity(e), "append");
  if (ok) {
    e->setLayer(layer);
    e->setColor(color);
    e->close();
  } else {
    delete e;
  }
  ms->close();
  return ok;
}

// A polyface mesh of a closed square pyramid: five vertices, a quad base and four triangles.
AcDbPolyFaceMesh* pyramid(const P& base, double side, double height) {
  auto* pf = new AcDbPolyFaceMesh;
  const P corners[] = {base, base + V(side, 0, 0), base + V(side, side, 0), base + V(0, side, 0),
                       base + V(side / 2, side / 2, height)};
  for (const P& p : corners) {
    auto* v = new AcDbPolyFaceMeshVertex(p);
    pf->appendVertex(v);
    v->close();
  }
  const Adesk::Int16 faces[][4] = {{1, 4, 3, 2}, {1, 2, 5, 0}, {2, 3, 5, 0}, {3, 4, 5, 0}, {4, 1, 5, 0}};
  for (const auto& f : faces) {
    auto* r = new AcDbFaceRecord(f[0], f[1], f[2], f[3]);
    pf->appendFaceRecord(r);
    r->close();
  }
  return pf;
}

// A polygon mesh of a wave, open in both directions.
AcDbPolygonMesh* wave(const P& origin) {
  AcGePoint3dArray grid;
  const int m = 5, n = 6;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) grid.append(origin + V(i, j, 0.5 * ((i + j) % 2) - 0.25));
  return new AcDbPolygonMesh(AcDb::kSimpleMesh, m, n, grid, false, false);
}

bool writeDrawing(const std::string& path) {
  kv::RecordingUI ui;
  kv::Host host(ui);
  AcDbDatabase& db = host.database();
  AcDbObjectId solids = addLayer(db, "Solids", indexColor(1));
  AcDbObjectId bodies = addLayer(db, "Bodies", trueColor(30, 144, 255));
  AcDbObjectId meshes = addLayer(db, "Meshes", indexColor(5));
  AcCmColor byLayer;

  bool ok = true;
  auto* box = new AcDb3dSolid;
  box->createBox(3, 2, 1.5);
  ok &= append(db, moved(box, V(-2, -2, -0.5)), solids, byLayer);
  auto* sphere = new AcDb3dSolid;
  sphere->createSphere(1.25);
  ok &= append(db, moved(sphere, V(3, 0, 0)), solids, indexColor(3));
  auto* cone = new AcDb3dSolid;
  cone->createFrustum(3, 1.5, 1.5, 0);
  ok &= append(db, moved(cone, V(0, 5, 1.5)), solids, trueColor(250, 160, 20));
  auto* holed = new AcDb3dSolid;
  holed->createBox(4, 4, 2);
  AcDb3dSolid drill;
  drill.createFrustum(3, 1.2, 1.2, 1.2);
  ok &= check(holed->booleanOper(AcDb::kBoolSubtract, &drill), "the box's hole");
  ok &= append(db, moved(holed, V(-6, 4, -1)), db.layerZero(), indexColor(6));

  // Bodies: a closed one (a wedge's shell) and a torus, in the layer's and their own colours.
  AcDb3dSolid wedge;
  wedge.createWedge(3, 2, 2);
  auto* closedBody = new AcDbBody;
  ok &= check(closedBody->setBody(wedge.body()), "the wedge body");
  closedBody->transformBy(AcGeMatrix3d::translation(V(7, -3, -1)));
  ok &= append(db, closedBody, bodies, byLayer);
  AcDb3dSolid torus;
  torus.createTorus(2, 0.5);
  auto* ringBody = new AcDbBody;
  ok &= check(ringBody->setBody(torus.body()), "the torus body");
  ringBody->transformBy(AcGeMatrix3d::translation(V(7, 4, 0)));
  ok &= append(db, ringBody, bodies, trueColor(120, 200, 80));

  ok &= append(db, pyramid(P(-4, -7, -1), 2, 3), meshes, byLayer);
  ok &= append(db, wave(P(1, -8, 0)), meshes, trueColor(200, 40, 160));
  return ok && check(kv::dxf::writeDrawing(db, path), "writing the drawing");
}

bool writeSat(const std::string& path) {
  kv::RecordingUI ui;
  kv::Host host(ui);
  std::vector<AcDb3dSolid*> solids = satSolids();
  AcDbVoidPtrArray items;
  for (AcDb3dSolid* s : solids) items.append(static_cast<AcDbEntity*>(s));
  bool ok = solids.size() == 5 && check(AcDbBody::acisOut(path.c_str(), items), "writing the SAT file");
  for (AcDb3dSolid* s : solids) delete s;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  bool ok = writeSat(dir + "/solids.sat");
  ok = writeDrawing(dir + "/drawing.dxf") && ok;
  if (ok) std::printf("make_samples: wrote %s/solids.sat and %s/drawing.dxf\n", dir.c_str(), dir.c_str());
  return ok ? 0 : 1;
}
