// Solids of drawings that other programs wrote, through a SAT file and back: ExportEntitiesToSat
// then ImportSatFile give solids of the same volume where the file puts them, or moved by the
// matrix given. Volumes and centres come from Open CASCADE, not from our own code.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

#include "core/numbers.h"
#include "dbutil/errortext.h"
#include "dbutil/importexport.h"
#include "dxf/dxf.h"
#include "dxf_fixture.h"
#include "host_fixture.h"
#include "modeler/occ_shape.h"
#include "modeler/solids.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDrawings = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";

// Volume and centre of mass of one or more solids together; for an entity that holds faces
// that enclose nothing (a 3DSOLID of one cone face), their area and its centre instead.
struct Mass {
  double amount = 0;
  int dimension = 3;  // 3 for a volume, 2 for an area
  AcGePoint3d centre;
};

Mass massOf(const std::vector<AcDbObjectId>& ids) {
  Mass m;
  AcGeVector3d moment;
  for (const AcDbObjectId& id : ids) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    if (!e) continue;
    const AcDbModelerEntity* solid = AcDbModelerEntity::cast(e);
    EXPECT_NE(solid, nullptr) << e->isA()->name();
    if (solid) {
      const TopoDS_Shape& shape = kv::modeler::shapeOf(*solid);
      GProp_GProps volume, area;
      BRepGProp::VolumeProperties(shape, volume);
      BRepGProp::SurfaceProperties(shape, area);
      const bool encloses = std::abs(volume.Mass()) > 1e-9 * std::pow(area.Mass(), 1.5);
      const GProp_GProps& props = encloses ? volume : area;
      const gp_Pnt c = props.CentreOfMass();
      m.dimension = encloses ? 3 : 2;
      m.amount += props.Mass();
      moment += AcGeVector3d(c.X(), c.Y(), c.Z()) * props.Mass();
    }
    e->close();
  }
  if (m.amount != 0) m.centre = AcGePoint3d::kOrigin + moment * (1 / m.amount);
  return m;
}

// Every 3D solid with a shape in the drawing's blocks, model space first.
std::vector<AcDbObjectId> solidsOf(AcDbDatabase& db) {
  std::vector<AcDbObjectId> out;
  AcDbBlockTable* table = nullptr;
  if (db.getBlockTable(table, AcDb::kForRead) != Acad::eOk) return out;
  std::vector<AcDbObjectId> blocks = table->recordIds();
  table->close();
  std::stable_partition(blocks.begin(), blocks.end(), [&](const AcDbObjectId& b) { return b == db.modelSpaceId(); });
  for (const AcDbObjectId& blockId : blocks) {
    AcDbBlockTableRecord* block = nullptr;
    if (acdbOpenObject(block, blockId, AcDb::kForRead) != Acad::eOk) continue;
    const std::vector<AcDbObjectId> ids = block->entityIds();
    block->close();
    for (const AcDbObjectId& id : ids) {
      AcDbEntity* e = nullptr;
      if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) continue;
      const AcDb3dSolid* solid = AcDb3dSolid::cast(e);
      if (solid && !solid->isNull()) out.push_back(id);
      e->close();
    }
  }
  return out;
}

// The 3DSOLID entities of a DXF file, counted from its pairs alone.
int solidsInText(const std::string& text) {
  int n = 0;
  for (const kv::test::Pair& p : kv::test::pairsOf(text))
    if (p.code == 0 && kv::trimBlanks(p.value) == "3DSOLID") ++n;
  return n;
}

std::vector<AcDbObjectId> modelSpaceIds(AcDbDatabase& db) {
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) return {};
  std::vector<AcDbObjectId> ids = space->entityIds();
  space->close();
  return ids;
}

class DrawingSolids : public HostTest, public ::testing::WithParamInterface<std::string> {
protected:
  // Imports the SAT file moved by m; the entities model space gained.
  std::vector<AcDbObjectId> importMoved(const std::string& sat, const AcGeMatrix3d& m) {
    const size_t before = modelSpaceIds(db()).size();
    EXPECT_TRUE(ImportSatFile(sat.c_str(), m, FALSE)) << LastErrorText.GetString();
    const std::vector<AcDbObjectId> all = modelSpaceIds(db());
    return std::vector<AcDbObjectId>(all.begin() + std::ptrdiff_t(before), all.end());
  }
  ScratchFolder dir_;
};

TEST_P(DrawingSolids, ComeBackFromSatWithTheirVolumeWhereTheFilePutsThemOrMoved) {
  KV_SKIP_UNLESS(fs::is_directory(kDrawings), kDrawings.string());
  const fs::path drawing = kDrawings / GetParam();
  // The whole drawing, blocks and all, as the host's drawing: DXFIN would bring only what
  // model space uses.
  std::unique_ptr<AcDbDatabase> read;
  std::string error;
  ASSERT_EQ(kv::dxf::readDrawing(drawing.string(), read, error), Acad::eOk) << error;
  host_.setDatabase(std::move(read));
  const std::vector<AcDbObjectId> solids = solidsOf(db());
  EXPECT_EQ(int(solids.size()), solidsInText(readFile(drawing))) << drawing;
  // A turn about a slanted axis off the origin, a uniform scale and a move.
  const double scale = 1.5;
  const AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(10, -20, 30)) *
                         AcGeMatrix3d::scaling(scale, AcGePoint3d(1, 1, 1)) *
                         AcGeMatrix3d::rotation(std::numbers::pi / 6, AcGeVector3d(1, 2, 3), AcGePoint3d(4, -5, 6));
  for (size_t i = 0; i < solids.size(); ++i) {
    const Mass original = massOf({solids[i]});
    ASSERT_GT(original.amount, 0) << i;
    const double size = std::pow(original.amount, 1.0 / original.dimension);
    const std::string sat = (dir_ / ("solid" + std::to_string(i) + ".sat")).string();
    AcDbObjectIdArray one;
    one.append(solids[i]);
    ASSERT_TRUE(ExportEntitiesToSat(one, sat.c_str())) << LastErrorText.GetString();
    const std::string where = GetParam() + " solid " + std::to_string(i);
    const Mass same = massOf(importMoved(sat, AcGeMatrix3d::kIdentity));
    EXPECT_EQ(same.dimension, original.dimension) << where;
    EXPECT_NEAR(same.amount, original.amount, 1e-6 * original.amount) << where;
    EXPECT_LT(same.centre.distanceTo(original.centre), 1e-6 * size) << where;
    const Mass moved = massOf(importMoved(sat, m));
    EXPECT_NEAR(moved.amount, original.amount * std::pow(scale, original.dimension), 1e-6 * original.amount) << where;
    EXPECT_LT(moved.centre.distanceTo(m * original.centre), 1e-6 * size * scale) << where;
  }
  std::printf("%s: %zu solids\n", GetParam().c_str(), solids.size());
}

INSTANTIATE_TEST_SUITE_P(SharedDrawings, DrawingSolids,
                         ::testing::Values("acadsharp_sample_AC1018_ascii.dxf", "ezdxf_3dsolids.dxf",
                                           "ezdxf_torus_r2000.dxf"),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param.substr(0, param.param.find('.'));
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
