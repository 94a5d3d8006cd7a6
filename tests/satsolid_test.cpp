// Meshes into solids and bodies through the temporary SAT file, and solids from drawing
// entities.
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "convert/satsolid.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"
#include "kolib/koacis.h"
#include "solid_shapes.h"
#include "test_files.h"

namespace fs = std::filesystem;
using kv::fault::Call;
using shapes::expectExtents;
using shapes::extentsOf;

class SatSolid : public HostTest {
protected:
  SatSolid() {
    // What the import found in the folder, each time it was called.
    kv::fault::watch(Call::acisIn, [this] { seen_.push_back(namesIn(temp_.string())); });
  }
  // A fault arming clears the watch: this puts it back.
  void watchImports() {
    kv::fault::watch(Call::acisIn, [this] { seen_.push_back(namesIn(temp_.string())); });
  }
  // Before each import, the file is replaced with text.
  void replaceImportedFile(const std::string& text) {
    kv::fault::watch(Call::acisIn, [this, text] {
      std::vector<std::string> names = namesIn(temp_.string());
      ASSERT_EQ(names.size(), 1u);
      writeFile(temp_ / names[0], text);
    });
  }
  // SAT text holding the given entities, in order.
  std::string satOf(std::vector<AcDbEntity*> entities) {
    AcDbVoidPtrArray list;
    for (AcDbEntity* e : entities) list.append(e);
    fs::path file = scratch_ / "made.sat";
    EXPECT_EQ(AcDbBody::acisOut(file.c_str(), list), Acad::eOk);
    for (AcDbEntity* e : entities) e->close();
    std::string text = readFile(file);
    fs::remove(file);
    return text;
  }
  // A solid the caller owns, holding a sphere: what a failure must leave standing.
  static AcDb3dSolid* sphereTarget() {
    auto* solid = new AcDb3dSolid;
    EXPECT_EQ(solid->createSphere(5), Acad::eOk);
    return solid;
  }
  std::vector<std::string> tempNames() const { return namesIn(temp_.string()); }
  // The entity can be opened for write: nobody left it open.
  static void expectClosed(const AcDbObjectId& id) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    if (e) e->close();
  }
  static std::string classOf(void* entity) { return static_cast<AcDbEntity*>(entity)->isA()->name(); }
  static void releaseAll(AcDbVoidPtrArray& list) {
    for (void* e : list) static_cast<AcDbEntity*>(e)->close();
    list.removeAll();
  }

  ScratchFolder scratch_;
  fs::path temp_ = scratch_.folder("temp");
  ScopedEnv tempVariable_{"temp", temp_.c_str()};
  std::vector<std::vector<std::string>> seen_;
  const std::vector<double> unitBox_{0, 0, 0, 1, 2, 3};
  const std::vector<double> sphere5_{-5, -5, -5, 5, 5, 5};
};

TEST_F(SatSolid, ClosedMeshReplacesTheTargetsDataThroughOneFreshFileEachCall) {
  AcDb3dSolid* solid = sphereTarget();
  ASSERT_EQ(SatSolidFromMesh(boxMesh(1, 2, 3), solid), 1);
  expectExtents(*solid, unitBox_);
  EXPECT_EQ(kv::fault::calls(Call::acisIn), 1);
  EXPECT_EQ(kv::fault::calls(Call::unlink), 1);
  ASSERT_EQ(SatSolidFromMesh(boxMesh(1, 1, 1, ON_3dPoint(1, 1, 1)), solid), 1);
  expectExtents(*solid, {1, 1, 1, 2, 2, 2});
  solid->close();

  // Each import found one file, named "ORV..." with no extension, and a new one each time.
  ASSERT_EQ(seen_.size(), 2u);
  std::set<std::string> names;
  for (const std::vector<std::string>& folder : seen_) {
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].rfind("ORV", 0), 0u) << folder[0];
    EXPECT_EQ(folder[0].find('.'), std::string::npos) << folder[0];
    names.insert(folder[0]);
  }
  EXPECT_EQ(names.size(), 2u);
  EXPECT_TRUE(tempNames().empty());
}

TEST_F(SatSolid, WriterFailureImportsAndDeletesNothing) {
  const ON_Mesh empty;
  AcDb3dSolid* solid = sphereTarget();
  SetSolidErrorText("");
  EXPECT_EQ(SatSolidFromMesh(empty, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), KOACISMesh::GetError());
  EXPECT_FALSE(GetSolidErrorText().IsEmpty());
  expectExtents(*solid, sphere5_);
  solid->close();

  AcDbVoidPtrArray entities;
  SetSolidErrorText("");
  EXPECT_EQ(SatEntitiesFromMesh(empty, entities, 1), 0);
  EXPECT_EQ(GetSolidErrorText(), KOACISMesh::GetError());
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(empty);
  SetSolidErrorText("");
  EXPECT_EQ(SatEntitiesFromMeshes(meshes, entities, 1, 1), 0);
  EXPECT_FALSE(GetSolidErrorText().IsEmpty());
  EXPECT_TRUE(entities.isEmpty());

  EXPECT_EQ(kv::fault::calls(Call::acisIn), 0);
  EXPECT_EQ(kv::fault::calls(Call::unlink), 0);
  EXPECT_TRUE(tempNames().empty());
}

TEST_F(SatSolid, FailedImportStillDeletesTheFile) {
  const ON_Mesh box = boxMesh(1, 2, 3);
  const CString unreadable = ErrorStatusText(Acad::eCannotRestoreFromAcisFile);
  ASSERT_FALSE(unreadable.IsEmpty());
  // The host refuses the import.
  AcDb3dSolid* solid = sphereTarget();
  kv::fault::arm(Call::acisIn, 1);
  EXPECT_EQ(SatSolidFromMesh(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), unreadable);
  expectExtents(*solid, sphere5_);
  EXPECT_TRUE(tempNames().empty());

  // The file holds what no reader understands.
  kv::fault::disarmAll();
  replaceImportedFile("not a SAT file\n");
  EXPECT_EQ(SatSolidFromMesh(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), unreadable);
  expectExtents(*solid, sphere5_);
  EXPECT_TRUE(tempNames().empty());
  solid->close();

  AcDbVoidPtrArray entities;
  EXPECT_EQ(SatEntitiesFromMesh(box, entities, 1), 0);
  EXPECT_EQ(GetSolidErrorText(), unreadable);
  EXPECT_TRUE(entities.isEmpty());
  EXPECT_TRUE(tempNames().empty());
  EXPECT_EQ(kv::fault::calls(Call::unlink), 2);
}

TEST_F(SatSolid, OnlyTheFirstImportedBodyBecomesTheSolid) {
  replaceImportedFile(satOf({shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0)),
                             shapes::newCylinder(1, 2, AcGePoint3d(10, 10, 10))}));
  AcDb3dSolid* solid = sphereTarget();
  EXPECT_EQ(SatSolidFromMesh(boxMesh(1, 1, 1, ON_3dPoint(5, 5, 5)), solid), 1);
  expectExtents(*solid, unitBox_);
  solid->close();

  // The list forms hand every body over.
  AcDbVoidPtrArray entities;
  EXPECT_EQ(SatEntitiesFromMesh(boxMesh(1, 1, 1, ON_3dPoint(5, 5, 5)), entities, 1), 1);
  ASSERT_EQ(entities.length(), 2);
  expectExtents(*static_cast<AcDbEntity*>(entities[1]), {9, 9, 9, 11, 11, 11});
  releaseAll(entities);
  EXPECT_TRUE(tempNames().empty());
}

TEST_F(SatSolid, ImportWithoutSolidOrBodyFirstIsRefused) {
  const CString notSolid = "Mesh does not describe a solid object";
  const ON_Mesh box = boxMesh(1, 1, 1);
  // A flat open mesh comes back as a region.
  AcDbVoidPtrArray flat;
  ASSERT_EQ(SatEntitiesFromMesh(shapes::squareMesh(), flat, 1), 1);
  ASSERT_EQ(flat.length(), 1);
  ASSERT_EQ(classOf(flat[0]), "AcDbRegion");
  AcDb3dSolid* solid = sphereTarget();
  SetSolidErrorText("");
  EXPECT_EQ(SatSolidFromMesh(shapes::squareMesh(), solid), 0);
  EXPECT_EQ(GetSolidErrorText(), notSolid);
  expectExtents(*solid, sphere5_);
  EXPECT_TRUE(tempNames().empty());

  // A region first, a solid behind it: the solid is not looked for.
  replaceImportedFile(satOf({static_cast<AcDbEntity*>(flat[0]), shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0))}));
  SetSolidErrorText("");
  EXPECT_EQ(SatSolidFromMesh(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), notSolid);
  expectExtents(*solid, sphere5_);

  // A file of no body at all.
  replaceImportedFile(satOf({}));
  SetSolidErrorText("");
  EXPECT_EQ(SatSolidFromMesh(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), notSolid);
  expectExtents(*solid, sphere5_);
  EXPECT_TRUE(tempNames().empty());
  solid->close();
}

TEST_F(SatSolid, ListFormsAppendBehindWhatTheListHolds) {
  auto* mine = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  AcDbVoidPtrArray entities;
  entities.append(mine);
  ASSERT_EQ(SatEntitiesFromMesh(shapes::tentMesh(), entities, 1), 1);
  ASSERT_EQ(entities.length(), 2);
  EXPECT_EQ(entities[0], static_cast<void*>(mine));
  EXPECT_EQ(classOf(entities[1]), "AcDbBody");  // open and not flat

  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(boxMesh(1, 2, 3));
  meshes.Append(shapes::squareMesh());
  meshes.Append(shapes::tentMesh());
  ASSERT_EQ(SatEntitiesFromMeshes(meshes, entities, 1, 1), 1);
  ASSERT_EQ(entities.length(), 5);
  EXPECT_EQ(entities[0], static_cast<void*>(mine));
  EXPECT_EQ(classOf(entities[2]), "AcDb3dSolid");
  expectExtents(*static_cast<AcDbEntity*>(entities[2]), unitBox_);
  EXPECT_EQ(classOf(entities[3]), "AcDbRegion");
  EXPECT_EQ(classOf(entities[4]), "AcDbBody");
  for (int i = 1; i < entities.length(); ++i)
    EXPECT_EQ(static_cast<AcDbEntity*>(entities[i])->database(), nullptr) << i;
  releaseAll(entities);
  EXPECT_TRUE(tempNames().empty());
}

TEST_F(SatSolid, MeshEntitiesGoThroughTheirMeshes) {
  AcDbPolyFaceMesh* polyface = shapes::newPolyFace(boxMesh(1, 2, 3));
  AcDbPolygonMesh* torus = shapes::newTorusGrid(AcGePoint3d(0, 0, 0), 4, 1, 12, 8);
  auto* solid = new AcDb3dSolid;
  ASSERT_EQ(SatSolidFromPolyFaceMesh(polyface, solid), 1);
  expectExtents(*solid, unitBox_);
  ASSERT_EQ(SatSolidFromPolygonMesh(torus, solid), 1);
  std::vector<double> ring = extentsOf(*solid);
  ASSERT_EQ(ring.size(), 6u);
  EXPECT_NEAR(ring[3], 5, 1e-6);  // the outer corner of row 0 lies on the x axis
  EXPECT_NEAR(ring[5], 1, 1e-6);

  AcDbVoidPtrArray entities;
  ASSERT_EQ(SatEntitiesFromPolyFaceMesh(polyface, entities), 1);
  ASSERT_EQ(SatEntitiesFromPolygonMesh(torus, entities), 1);
  ASSERT_EQ(entities.length(), 2);
  EXPECT_EQ(classOf(entities[0]), "AcDb3dSolid");
  EXPECT_EQ(classOf(entities[1]), "AcDb3dSolid");
  releaseAll(entities);

  // Nothing valid in the mesh: the reader's reason, and nothing written.
  AcDbPolyFaceMesh* flat = shapes::newPolyFace(shapes::pinchedMesh());
  kv::fault::disarmAll();
  seen_.clear();
  watchImports();
  EXPECT_EQ(SatSolidFromPolyFaceMesh(flat, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Invalid mesh");
  EXPECT_EQ(SatEntitiesFromPolyFaceMesh(flat, entities), 0);
  EXPECT_EQ(GetSolidErrorText(), "Invalid mesh");
  auto* empty = new AcDbPolygonMesh;
  EXPECT_EQ(SatSolidFromPolygonMesh(empty, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Invalid mesh");
  EXPECT_EQ(SatEntitiesFromPolygonMesh(empty, entities), 0);
  EXPECT_EQ(GetSolidErrorText(), "Invalid mesh");
  EXPECT_TRUE(entities.isEmpty());
  EXPECT_TRUE(seen_.empty());
  EXPECT_EQ(kv::fault::calls(Call::acisIn), 0);
  for (AcDbEntity* e : std::vector<AcDbEntity*>{polyface, torus, flat, empty, solid}) e->close();
}

TEST_F(SatSolid, SolidFromEntityIdTakesSolidsBodiesAndMeshesOnly) {
  const AcDbObjectId box = append(shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0)));
  AcDb3dSolid* cylinder = shapes::newCylinder(1, 2, AcGePoint3d(10, 0, 0));
  auto* bodyEntity = new AcDbBody;
  ASSERT_EQ(bodyEntity->setBody(cylinder->body()), Acad::eOk);
  cylinder->close();
  const AcDbObjectId body = append(bodyEntity);
  const AcDbObjectId polyface = append(shapes::newPolyFace(boxMesh(1, 1, 1, ON_3dPoint(3, 3, 3))));
  const AcDbObjectId torus = append(shapes::newTorusGrid(AcGePoint3d(0, 0, 20), 4, 1, 12, 8));

  auto* solid = new AcDb3dSolid;
  ASSERT_EQ(SolidFromEntityId(box, solid), 1);
  expectExtents(*solid, unitBox_);
  ASSERT_EQ(SolidFromEntityId(body, solid), 1);
  expectExtents(*solid, {9, -1, -1, 11, 1, 1});
  ASSERT_EQ(SolidFromEntityId(polyface, solid), 1);
  expectExtents(*solid, {3, 3, 3, 4, 4, 4});
  ASSERT_EQ(SolidFromEntityId(torus, solid), 1);
  EXPECT_NEAR(extentsOf(*solid)[3], 5, 1e-6);
  EXPECT_EQ(kv::fault::calls(Call::acisIn), 2);  // the meshes only

  // A 3D face and a 2D solid hold facets, but are no mesh.
  const AcDbObjectId face = append(new AcDbFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(1, 1, 0)));
  const AcDbObjectId flat = append(new AcDbSolid(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  const AcDbObjectId line = addLine();
  for (const AcDbObjectId& id : {face, flat, line}) {
    SetSolidErrorText("");
    EXPECT_EQ(SolidFromEntityId(id, solid), 0);
    EXPECT_EQ(GetSolidErrorText(), "Object is not a mesh or solid");
  }
  // A mesh that holds nothing valid: the reader's reason.
  const AcDbObjectId invalid = append(shapes::newPolyFace(shapes::pinchedMesh()));
  EXPECT_EQ(SolidFromEntityId(invalid, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Invalid mesh");

  EXPECT_NEAR(extentsOf(*solid)[3], 5, 1e-6);  // the failures left the torus
  for (const AcDbObjectId& id : {box, body, polyface, torus, face, flat, line, invalid}) expectClosed(id);
  AcDbEntity* erased = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(erased, box, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(erased->erase(), Acad::eOk);
  erased->close();
  EXPECT_EQ(SolidFromEntityId(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to read object");
  EXPECT_EQ(SolidFromEntityId(AcDbObjectId(), solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to read object");
  solid->close();
}

TEST_F(SatSolid, RefusedBodyCopyIsAFailureThatKeepsTheTarget) {
  const AcDbObjectId box = append(shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0)));
  AcDb3dSolid* solid = sphereTarget();
  kv::fault::arm(Call::setBody, 1);
  EXPECT_EQ(SolidFromEntityId(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), ErrorStatusText(Acad::eInvalidInput));
  expectExtents(*solid, sphere5_);
  kv::fault::arm(Call::clone, 1);
  EXPECT_EQ(SolidFromEntityId(box, solid), 0);
  EXPECT_EQ(GetSolidErrorText(), "Error processing solid");
  expectExtents(*solid, sphere5_);
  kv::fault::arm(Call::setBody, 1);
  EXPECT_EQ(SatSolidFromMesh(boxMesh(1, 1, 1), solid), 0);
  EXPECT_EQ(GetSolidErrorText(), ErrorStatusText(Acad::eInvalidInput));
  expectExtents(*solid, sphere5_);
  EXPECT_TRUE(tempNames().empty());
  expectClosed(box);
  solid->close();
}

TEST_F(SatSolid, UndeletableFileDoesNotFailTheConversion) {
  auto* solid = new AcDb3dSolid;
  kv::fault::arm(Call::unlink, 1);
  EXPECT_EQ(SatSolidFromMesh(boxMesh(1, 2, 3), solid), 1);
  expectExtents(*solid, unitBox_);
  EXPECT_EQ(tempNames().size(), 1u);
  solid->close();
}

TEST_F(SatSolid, SolidsFromEntityIdsKeepsWhatConvertsInOrder) {
  const AcDbObjectId box = append(shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0)));
  const AcDbObjectId line = addLine();
  const AcDbObjectId polyface = append(shapes::newPolyFace(boxMesh(1, 1, 1, ON_3dPoint(3, 3, 3))));
  auto* theirs = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  AcDbVoidPtrArray solids;
  solids.append(theirs);

  AcDbObjectIdArray ids;
  for (const AcDbObjectId& id : {box, line, polyface}) ids.append(id);
  ASSERT_EQ(SolidsFromEntityIds(ids, solids), 1);
  ASSERT_EQ(solids.length(), 2);
  for (void* s : solids) {
    EXPECT_EQ(classOf(s), "AcDb3dSolid");
    EXPECT_EQ(static_cast<AcDbEntity*>(s)->database(), nullptr);
  }
  expectExtents(*static_cast<AcDbEntity*>(solids[0]), unitBox_);
  expectExtents(*static_cast<AcDbEntity*>(solids[1]), {3, 3, 3, 4, 4, 4});
  releaseAll(solids);

  // Nothing converts: the list is emptied all the same, its entities left alone.
  solids.append(theirs);
  AcDbObjectIdArray none;
  EXPECT_EQ(SolidsFromEntityIds(none, solids), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to solidify objects");
  EXPECT_TRUE(solids.isEmpty());
  none.append(line);
  EXPECT_EQ(SolidsFromEntityIds(none, solids), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to solidify objects");
  EXPECT_TRUE(solids.isEmpty());
  EXPECT_EQ(theirs->endPoint(), AcGePoint3d(1, 0, 0));  // still alive
  theirs->close();
  for (const AcDbObjectId& id : {box, line, polyface}) expectClosed(id);
}

TEST_F(SatSolid, MeshesFromEntityIdsSkipsWhatDoesNotConvert) {
  const AcDbObjectId polyface = append(shapes::newPolyFace(boxMesh(1, 1, 1)));
  const AcDbObjectId line = addLine();
  const AcDbObjectId box = append(shapes::newBox(AcGeVector3d(1, 2, 3), AcGePoint3d(5, 5, 5)));
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(shapes::squareMesh());

  AcDbObjectIdArray ids;
  EXPECT_EQ(MeshesFromEntityIds(ids, meshes, nullptr), 1);
  EXPECT_EQ(meshes.Count(), 0);
  ids.append(line);
  ids.append(AcDbObjectId());
  meshes.Append(shapes::squareMesh());
  EXPECT_EQ(MeshesFromEntityIds(ids, meshes, nullptr), 1);
  EXPECT_EQ(meshes.Count(), 0);

  ids.removeAll();
  for (const AcDbObjectId& id : {polyface, line, box}) ids.append(id);
  EXPECT_EQ(MeshesFromEntityIds(ids, meshes, nullptr), 1);
  ASSERT_EQ(meshes.Count(), 2);
  EXPECT_EQ(meshes[0].FaceCount(), 6);
  EXPECT_DOUBLE_EQ(signedVolume(meshes[0]), 1);
  EXPECT_NEAR(signedVolume(meshes[1]), 6, 1e-5);
  for (const AcDbObjectId& id : {polyface, line, box}) expectClosed(id);
}

TEST_F(SatSolid, SolidFromBodyAnswersWhetherTheSolidHoldsData) {
  AcDb3dSolid* cylinder = shapes::newCylinder(1, 2, AcGePoint3d(0, 0, 0));
  auto* body = new AcDbBody;
  ASSERT_EQ(body->setBody(cylinder->body()), Acad::eOk);
  cylinder->close();
  auto* solid = new AcDb3dSolid;
  EXPECT_EQ(SolidFromBody(body, solid), 1);
  expectExtents(*solid, {-1, -1, -1, 1, 1, 1});
  expectExtents(*body, {-1, -1, -1, 1, 1, 1});
  EXPECT_EQ(kv::fault::calls(Call::clone), 1);

  auto* nothing = new AcDbBody;
  auto* empty = new AcDb3dSolid;
  EXPECT_EQ(SolidFromBody(nothing, empty), 0);
  EXPECT_TRUE(empty->isNull());
  kv::fault::arm(Call::clone, 1);
  EXPECT_EQ(SolidFromBody(body, empty), 0);
  EXPECT_EQ(GetSolidErrorText(), "Error processing solid");
  EXPECT_TRUE(empty->isNull());
  for (AcDbEntity* e : std::vector<AcDbEntity*>{body, solid, nothing, empty}) e->close();
}
