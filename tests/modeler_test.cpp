// The solid modeller: primitives, extents, copies, transforms, Booleans, explode and STL output.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

#include "host_fixture.h"
#include "test_files.h"
#include "kolib/kostl.h"
#include "modeler/occ_shape.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;
using std::numbers::pi;

namespace {

double volume(const AcDbModelerEntity& e) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(kv::modeler::shapeOf(e), props);
  return props.Mass();
}

double area(const AcDbModelerEntity& e) {
  GProp_GProps props;
  BRepGProp::SurfaceProperties(kv::modeler::shapeOf(e), props);
  return props.Mass();
}

// Every edge of the mesh is used by exactly two faces, once in each direction.
bool isClosed(const ON_Mesh& mesh) {
  std::map<std::pair<int, int>, int> directed;
  for (const ON_MeshFace& f : mesh.m_F) {
    int n = f.IsTriangle() ? 3 : 4;
    for (int i = 0; i < n; ++i) ++directed[{f.vi[i], f.vi[(i + 1) % n]}];
  }
  for (const auto& [edge, uses] : directed) {
    if (uses != 1) return false;
    auto back = directed.find({edge.second, edge.first});
    if (back == directed.end() || back->second != 1) return false;
  }
  return !directed.empty();
}

// One facet of an STL file as stored: its normal, then its corners.
struct StoredFacet {
  double n[3], v[3][3];
};

// The facets of a binary STL file, read by its layout alone: 80 bytes of header, a
// little-endian 32-bit count, then 50 bytes a facet (12 floats and 2 spare bytes).
std::vector<StoredFacet> binaryFacets(const std::string& bytes) {
  std::vector<StoredFacet> out;
  if (bytes.size() < 84) return out;
  std::uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 80, 4);
  if (bytes.size() != 84 + 50 * std::size_t(count)) return out;
  for (std::uint32_t i = 0; i < count; ++i) {
    float f[12];
    std::memcpy(f, bytes.data() + 84 + 50 * std::size_t(i), sizeof f);
    StoredFacet facet{};
    for (int k = 0; k < 3; ++k) facet.n[k] = f[k];
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) facet.v[c][k] = f[3 + 3 * c + k];
    out.push_back(facet);
  }
  return out;
}

// The facets of an ASCII STL file: "facet normal" and "vertex" lines, numbers after the words.
std::vector<StoredFacet> asciiFacets(const std::string& text) {
  std::vector<StoredFacet> out;
  std::istringstream in(text);
  std::string word;
  int corner = 0;
  while (in >> word) {
    if (word == "normal") {
      out.emplace_back();
      corner = 0;
      in >> out.back().n[0] >> out.back().n[1] >> out.back().n[2];
    } else if (word == "vertex" && !out.empty() && corner < 3) {
      double* v = out.back().v[corner++];
      in >> v[0] >> v[1] >> v[2];
    }
  }
  return out;
}

// (v1 - v0) x (v2 - v0): the facet's normal by its winding, as long as twice its area.
std::array<double, 3> windingNormal(const StoredFacet& f) {
  double a[3], b[3];
  for (int k = 0; k < 3; ++k) {
    a[k] = f.v[1][k] - f.v[0][k];
    b[k] = f.v[2][k] - f.v[0][k];
  }
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Six times the signed volume the facets enclose: positive when they wind outward.
double sixVolume(const std::vector<StoredFacet>& facets) {
  double six = 0;
  for (const StoredFacet& f : facets) {
    const double* a = f.v[0];
    const double* b = f.v[1];
    const double* c = f.v[2];
    six += a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
  }
  return six;
}

void deleteAll(AcDbVoidPtrArray& pieces) {
  for (int i = 0; i < pieces.length(); ++i) delete static_cast<AcDbEntity*>(pieces[i]);
  pieces.setLogicalLength(0);
}

// What the pieces of an explode are, by class name.
std::map<std::string, int> census(const AcDbVoidPtrArray& pieces) {
  std::map<std::string, int> n;
  for (int i = 0; i < pieces.length(); ++i) ++n[static_cast<AcDbEntity*>(pieces[i])->isA()->name()];
  return n;
}

}  // namespace

class Modeler : public HostTest {
protected:
  void setFacetres(double f) { host_.sysvars().find("FACETRES")->real = f; }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  static void expectExtents(const AcDbEntity& e, AcGePoint3d lo, AcGePoint3d hi, double tol = 1e-7) {
    AcDbExtents ext;
    ASSERT_EQ(e.getGeomExtents(ext), Acad::eOk);
    for (unsigned i = 0; i < 3; ++i) {
      EXPECT_NEAR(ext.minPoint()[i], lo[i], tol) << "min " << i;
      EXPECT_NEAR(ext.maxPoint()[i], hi[i], tol) << "max " << i;
    }
  }

  // Triangles written by stlOut at a FACETRES, read from the binary header.
  std::uint32_t trianglesAt(const AcDb3dSolid& solid, double facetres) {
    setFacetres(facetres);
    std::string file = path("count.stl");
    EXPECT_EQ(solid.stlOut(file.c_str(), false), Acad::eOk);
    std::ifstream in(file, std::ios::binary);
    char header[84] = {};
    in.read(header, 84);
    std::uint32_t n = 0;
    std::memcpy(&n, header + 80, 4);
    EXPECT_EQ(fs::file_size(file), 84u + 50u * n);
    return n;
  }

  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST_F(Modeler, PrimitivesHaveTheVolumesAndExtentsOfTheirGeometry) {
  AcDb3dSolid s;
  EXPECT_STREQ(s.isA()->name(), "AcDb3dSolid");
  EXPECT_STREQ(s.isA()->dxfName(), "3DSOLID");

  ASSERT_EQ(s.createBox(2, 3, 4), Acad::eOk);
  EXPECT_NEAR(volume(s), 24, 1e-9);
  expectExtents(s, {-1, -1.5, -2}, {1, 1.5, 2});

  ASSERT_EQ(s.createSphere(1.5), Acad::eOk);
  EXPECT_NEAR(volume(s), 4.0 / 3 * pi * 1.5 * 1.5 * 1.5, 1e-6);
  expectExtents(s, {-1.5, -1.5, -1.5}, {1.5, 1.5, 1.5}, 1e-6);

  ASSERT_EQ(s.createFrustum(2, 1, 1, 1), Acad::eOk);  // cylinder
  EXPECT_NEAR(volume(s), pi * 2, 1e-6);
  expectExtents(s, {-1, -1, -1}, {1, 1, 1}, 1e-6);

  ASSERT_EQ(s.createFrustum(3, 1, 1, 0), Acad::eOk);  // cone
  EXPECT_NEAR(volume(s), pi * 3 / 3, 1e-6);
  expectExtents(s, {-1, -1, -1.5}, {1, 1, 1.5}, 1e-6);

  ASSERT_EQ(s.createFrustum(2, 2, 2, 1), Acad::eOk);
  EXPECT_NEAR(volume(s), pi * 2 / 3 * (4 + 2 + 1), 1e-6);

  ASSERT_EQ(s.createTorus(2, 0.5), Acad::eOk);
  EXPECT_NEAR(volume(s), 2 * pi * pi * 2 * 0.25, 1e-6);
  expectExtents(s, {-2.5, -2.5, -0.5}, {2.5, 2.5, 0.5}, 1e-6);

  ASSERT_EQ(s.createWedge(2, 3, 4), Acad::eOk);
  EXPECT_NEAR(volume(s), 12, 1e-9);
  expectExtents(s, {-1, -1.5, -2}, {1, 1.5, 2});
  // The slope falls towards +x: the top edge lies at -x.
  EXPECT_NEAR(area(s), 2 * 4 + 3 * 4 + 2 * 3 + 3 * std::sqrt(2.0 * 2 + 4 * 4), 1e-9);
}

TEST_F(Modeler, PrimitiveSizesWithoutASolidAreRefusedAndLeaveTheSolid) {
  AcDb3dSolid s;
  ASSERT_EQ(s.createSphere(1), Acad::eOk);
  double before = volume(s);
  EXPECT_EQ(s.createBox(0, 1, 1), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createBox(1, -1, 1), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createBox(1, 1, NAN), Acad::eInvalidInput);
  EXPECT_EQ(s.createSphere(0), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createSphere(INFINITY), Acad::eInvalidInput);
  EXPECT_EQ(s.createFrustum(0, 1, 1, 1), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createFrustum(1, 1, 1, -0.5), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createFrustum(1, 1, 2, 1), Acad::eNotYetImplemented);
  EXPECT_EQ(s.createTorus(1, 1), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createTorus(1, 0), Acad::eGeneralModelingFailure);
  EXPECT_EQ(s.createWedge(1, 0, 1), Acad::eGeneralModelingFailure);
  EXPECT_DOUBLE_EQ(volume(s), before);
}

TEST_F(Modeler, NullSolidHasNoExtentsAndCannotBeWrittenOrExploded) {
  AcDb3dSolid s;
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.body(), nullptr);
  AcDbExtents ext;
  EXPECT_EQ(s.getGeomExtents(ext), Acad::eNullExtents);
  std::string file = path("null.stl");
  EXPECT_EQ(s.stlOut(file.c_str(), false), Acad::eNullExtents);
  EXPECT_FALSE(fs::exists(file));
  AcDbVoidPtrArray pieces;
  EXPECT_EQ(s.explode(pieces), Acad::eNullExtents);
  EXPECT_EQ(s.transformBy(AcGeMatrix3d::translation({1, 0, 0})), Acad::eOk);
  EXPECT_TRUE(s.isNull());
}

TEST_F(Modeler, CloneIsADeepCopyOfTheSameClass) {
  auto* box = new AcDb3dSolid;
  ASSERT_EQ(box->createBox(1, 1, 1), Acad::eOk);
  box->setColorIndex(3);
  auto* copy = AcDb3dSolid::cast(box->clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->colorIndex(), 3);
  ASSERT_EQ(copy->transformBy(AcGeMatrix3d::translation({10, 0, 0})), Acad::eOk);
  expectExtents(*box, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5});
  delete box;
  expectExtents(*copy, {9.5, -0.5, -0.5}, {10.5, 0.5, 0.5});
  delete copy;

  AcDbBody body;
  AcDbRegion region;
  EXPECT_STREQ(std::unique_ptr<AcRxObject>(body.clone())->isA()->name(), "AcDbBody");
  EXPECT_STREQ(std::unique_ptr<AcRxObject>(region.clone())->isA()->name(), "AcDbRegion");
  EXPECT_STREQ(body.isA()->dxfName(), "BODY");
  EXPECT_STREQ(region.isA()->dxfName(), "REGION");
  EXPECT_EQ(AcDb3dSolid::cast(&body), nullptr);
}

TEST_F(Modeler, TransformByTakesRigidMotionsAndUniformScalesOnly) {
  AcDb3dSolid s;
  ASSERT_EQ(s.createBox(1, 2, 3), Acad::eOk);
  ASSERT_EQ(s.transformBy(AcGeMatrix3d::rotation(pi / 2, AcGeVector3d::kZAxis)), Acad::eOk);
  expectExtents(s, {-1, -0.5, -1.5}, {1, 0.5, 1.5});
  ASSERT_EQ(s.transformBy(AcGeMatrix3d::scaling(2, AcGePoint3d(1, 0.5, 1.5))), Acad::eOk);
  expectExtents(s, {-3, -1.5, -4.5}, {1, 0.5, 1.5});
  EXPECT_NEAR(volume(s), 6 * 8, 1e-9);

  AcGeMatrix3d stretch;
  stretch(0, 0) = 2;
  EXPECT_EQ(s.transformBy(stretch), Acad::eCannotScaleNonUniformly);
  expectExtents(s, {-3, -1.5, -4.5}, {1, 0.5, 1.5});

  // A mirror in x: the wedge's vertical face moves from -x to +x, its volume stays positive.
  AcDb3dSolid w;
  ASSERT_EQ(w.createWedge(2, 2, 2), Acad::eOk);
  w.transformBy(AcGeMatrix3d::translation({5, 0, 0}));
  AcGeMatrix3d mirror;
  mirror(0, 0) = -1;
  ASSERT_EQ(w.transformBy(mirror), Acad::eOk);
  expectExtents(w, {-6, -1, -1}, {-4, 1, 1});
  EXPECT_NEAR(volume(w), 4, 1e-9);
  AcDbVoidPtrArray faces;
  ASSERT_EQ(w.explode(faces), Acad::eOk);
  EXPECT_EQ(faces.length(), 5);
  deleteAll(faces);
}

TEST_F(Modeler, SetBodyCopiesTheDataOfAnyModellerEntity) {
  auto* source = new AcDb3dSolid;
  ASSERT_EQ(source->createTorus(2, 0.5), Acad::eOk);
  AcDb3dSolid target;
  ASSERT_NE(source->body(), nullptr);
  ASSERT_EQ(target.setBody(source->body()), Acad::eOk);
  source->transformBy(AcGeMatrix3d::translation({0, 0, 7}));
  delete source;
  EXPECT_FALSE(target.isNull());
  expectExtents(target, {-2.5, -2.5, -0.5}, {2.5, 2.5, 0.5}, 1e-6);

  // A body (one curved face of a sphere) becomes a solid's data and can be written.
  AcDb3dSolid sphere;
  sphere.createSphere(1);
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(sphere.explode(pieces), Acad::eOk);
  ASSERT_EQ(pieces.length(), 1);
  auto* body = AcDbBody::cast(static_cast<AcDbEntity*>(pieces[0]));
  ASSERT_NE(body, nullptr);
  AcDb3dSolid fromBody;
  ASSERT_EQ(fromBody.setBody(body->body()), Acad::eOk);
  deleteAll(pieces);
  std::string file = path("body.stl");
  ASSERT_EQ(fromBody.stlOut(file.c_str(), false), Acad::eOk);
  ON_Mesh mesh;
  ASSERT_NE(KOSTL::STLToMesh(file.c_str(), mesh), 0) << KOSTL::GetError().GetString();
  EXPECT_TRUE(isClosed(mesh));

  int notABody[8] = {};
  EXPECT_EQ(target.setBody(nullptr), Acad::eInvalidInput);
  EXPECT_EQ(target.setBody(notABody), Acad::eInvalidInput);
  AcDb3dSolid empty;
  EXPECT_EQ(target.setBody(empty.body()), Acad::eInvalidInput);
  EXPECT_FALSE(target.isNull());

  kv::fault::arm(kv::fault::Call::setBody, 1);
  EXPECT_EQ(empty.setBody(target.body()), Acad::eInvalidInput);
  EXPECT_TRUE(empty.isNull());
}

TEST_F(Modeler, ModellerEntitiesInADrawingNeedTheRightOpenMode) {
  auto* s = new AcDb3dSolid;
  s->createBox(1, 1, 1);
  AcDbObjectId id = append(s);
  AcDb3dSolid* opened = nullptr;
  ASSERT_EQ(acdbOpenObject(opened, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(opened->createSphere(1), Acad::eNotOpenForWrite);
  AcDb3dSolid other;
  other.createBox(1, 1, 1);
  EXPECT_EQ(other.booleanOper(AcDb::kBoolUnite, opened), Acad::eNotOpenForWrite);
  EXPECT_FALSE(other.isNull());
  EXPECT_FALSE(opened->isNull());
  std::string file = path("read.stl");
  EXPECT_EQ(opened->stlOut(file.c_str(), false), Acad::eOk);
  opened->close();
}

TEST_F(Modeler, BooleansGiveTheVolumesGeometryPredicts) {
  AcDb3dSolid a, b;
  auto twoBoxes = [&] {
    a.createBox(1, 1, 1);
    b.createBox(1, 1, 1);
    b.transformBy(AcGeMatrix3d::translation({0.5, 0, 0}));
  };
  twoBoxes();
  ASSERT_EQ(a.booleanOper(AcDb::kBoolUnite, &b), Acad::eOk);
  EXPECT_NEAR(volume(a), 1.5, 1e-9);
  EXPECT_TRUE(b.isNull());
  expectExtents(a, {-0.5, -0.5, -0.5}, {1, 0.5, 0.5});
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(a.explode(pieces), Acad::eOk);
  EXPECT_EQ(census(pieces), (std::map<std::string, int>{{"AcDbRegion", 6}}));  // one box again
  deleteAll(pieces);

  twoBoxes();
  ASSERT_EQ(a.booleanOper(AcDb::kBoolIntersect, &b), Acad::eOk);
  EXPECT_NEAR(volume(a), 0.5, 1e-9);
  twoBoxes();
  ASSERT_EQ(a.booleanOper(AcDb::kBoolSubtract, &b), Acad::eOk);
  EXPECT_NEAR(volume(a), 0.5, 1e-9);
  expectExtents(a, {-0.5, -0.5, -0.5}, {0, 0.5, 0.5});

  // A sphere drilled through by a cylinder: 4/3 pi (R^2 - a^2)^(3/2).
  a.createSphere(2);
  b.createFrustum(10, 1, 1, 1);
  ASSERT_EQ(a.booleanOper(AcDb::kBoolSubtract, &b), Acad::eOk);
  EXPECT_NEAR(volume(a), 4.0 / 3 * pi * std::pow(3.0, 1.5), 1e-5);
  ASSERT_EQ(a.explode(pieces), Acad::eOk);
  EXPECT_EQ(census(pieces), (std::map<std::string, int>{{"AcDbBody", 2}}));  // the sphere's zone and the bore
  deleteAll(pieces);
}

TEST_F(Modeler, BooleanWithoutVolumeLeavesTheSolidNull) {
  AcDb3dSolid a, b;
  a.createBox(1, 1, 1);
  b.createBox(1, 1, 1);
  b.transformBy(AcGeMatrix3d::translation({5, 0, 0}));
  ASSERT_EQ(a.booleanOper(AcDb::kBoolIntersect, &b), Acad::eOk);
  EXPECT_TRUE(a.isNull());
  EXPECT_TRUE(b.isNull());

  a.createBox(1, 1, 1);
  b.createBox(1, 1, 1);
  b.transformBy(AcGeMatrix3d::translation({1, 0, 0}));  // touching faces only
  ASSERT_EQ(a.booleanOper(AcDb::kBoolIntersect, &b), Acad::eOk);
  EXPECT_TRUE(a.isNull());

  a.createBox(1, 1, 1);
  b.createBox(2, 2, 2);
  ASSERT_EQ(a.booleanOper(AcDb::kBoolSubtract, &b), Acad::eOk);
  EXPECT_TRUE(a.isNull());

  // Disjoint solids unite into one solid of two lumps.
  a.createSphere(1);
  b.createSphere(1);
  b.transformBy(AcGeMatrix3d::translation({5, 0, 0}));
  ASSERT_EQ(a.booleanOper(AcDb::kBoolUnite, &b), Acad::eOk);
  EXPECT_NEAR(volume(a), 2 * 4.0 / 3 * pi, 1e-5);
}

TEST_F(Modeler, BooleanRefusalsLeaveBothSolids) {
  AcDb3dSolid a, b;
  a.createBox(1, 1, 1);
  b.createSphere(0.7);
  EXPECT_EQ(a.booleanOper(AcDb::kBoolUnite, nullptr), Acad::eInvalidInput);
  EXPECT_EQ(a.booleanOper(AcDb::kBoolUnite, &a), Acad::eInvalidInput);
  EXPECT_EQ(a.booleanOper(AcDb::BoolOperType(7), &b), Acad::eInvalidInput);
  kv::fault::arm(kv::fault::Call::booleanOper, 1);
  EXPECT_EQ(a.booleanOper(AcDb::kBoolSubtract, &b), Acad::eGeneralModelingFailure);
  EXPECT_NEAR(volume(a), 1, 1e-9);
  EXPECT_NEAR(volume(b), 4.0 / 3 * pi * 0.343, 1e-6);

  // An empty operand is the empty set.
  AcDb3dSolid empty;
  ASSERT_EQ(empty.booleanOper(AcDb::kBoolUnite, &a), Acad::eOk);
  EXPECT_NEAR(volume(empty), 1, 1e-9);
  EXPECT_TRUE(a.isNull());
  ASSERT_EQ(b.booleanOper(AcDb::kBoolIntersect, &a), Acad::eOk);
  EXPECT_TRUE(b.isNull());
}

TEST_F(Modeler, SolidsExplodeIntoRegionsForPlanarFacesAndBodiesForCurvedOnes) {
  struct Case {
    const char* what;
    std::function<Acad::ErrorStatus(AcDb3dSolid&)> make;
    int regions, bodies;
  } cases[] = {
      {"box", [](AcDb3dSolid& s) { return s.createBox(1, 2, 3); }, 6, 0},
      {"wedge", [](AcDb3dSolid& s) { return s.createWedge(1, 2, 3); }, 5, 0},
      {"cylinder", [](AcDb3dSolid& s) { return s.createFrustum(2, 1, 1, 1); }, 2, 1},
      {"cone", [](AcDb3dSolid& s) { return s.createFrustum(2, 1, 1, 0); }, 1, 1},
      {"sphere", [](AcDb3dSolid& s) { return s.createSphere(1); }, 0, 1},
      {"torus", [](AcDb3dSolid& s) { return s.createTorus(2, 1); }, 0, 1},
  };
  for (const Case& c : cases) {
    AcDb3dSolid s;
    ASSERT_EQ(c.make(s), Acad::eOk) << c.what;
    s.setColorIndex(5);
    AcDbVoidPtrArray pieces;
    pieces.append(nullptr);  // pieces go behind what the list holds
    ASSERT_EQ(s.explode(pieces), Acad::eOk) << c.what;
    ASSERT_EQ(pieces.length(), 1 + c.regions + c.bodies) << c.what;
    EXPECT_EQ(pieces[0], nullptr);
    pieces.removeAt(0);
    auto n = census(pieces);
    EXPECT_EQ(n["AcDbRegion"], c.regions) << c.what;
    EXPECT_EQ(n["AcDbBody"], c.bodies) << c.what;
    for (int i = 0; i < pieces.length(); ++i) {
      auto* piece = static_cast<AcDbEntity*>(pieces[i]);
      EXPECT_TRUE(piece->isNewObject());
      EXPECT_EQ(piece->colorIndex(), 5);
    }
    deleteAll(pieces);
    EXPECT_FALSE(s.isNull()) << c.what;
  }
}

TEST_F(Modeler, OneFaceExplodesIntoItsEdges) {
  AcDb3dSolid wedge;
  wedge.createWedge(3, 1, 4);
  AcDbVoidPtrArray faces;
  ASSERT_EQ(wedge.explode(faces), Acad::eOk);
  std::map<int, int> byEdgeCount;
  double perimeter = 0;
  for (int i = 0; i < faces.length(); ++i) {
    auto* region = AcDbRegion::cast(static_cast<AcDbEntity*>(faces[i]));
    ASSERT_NE(region, nullptr);
    AcDbVoidPtrArray lines;
    ASSERT_EQ(region->explode(lines), Acad::eOk);
    ++byEdgeCount[lines.length()];
    for (int k = 0; k < lines.length(); ++k) {
      auto* line = AcDbLine::cast(static_cast<AcDbEntity*>(lines[k]));
      ASSERT_NE(line, nullptr);
      perimeter += line->startPoint().distanceTo(line->endPoint());
    }
    deleteAll(lines);
  }
  deleteAll(faces);
  EXPECT_EQ(byEdgeCount, (std::map<int, int>{{3, 2}, {4, 3}}));
  // Each of the wedge's nine edges (3, 4 and 5 twice, the three of length 1) bounds two faces.
  EXPECT_NEAR(perimeter, 2 * (2 * 3 + 2 * 4 + 2 * 5 + 3 * 1), 1e-9);
}

TEST_F(Modeler, ExplodeCanBeMadeToFail) {
  AcDb3dSolid s;
  s.createBox(1, 1, 1);
  kv::fault::arm(kv::fault::Call::explode, 1);
  AcDbVoidPtrArray pieces;
  EXPECT_EQ(s.explode(pieces), Acad::eNotApplicable);
  EXPECT_EQ(pieces.length(), 0);
}

TEST_F(Modeler, StlOutOfABoxReadsBackToEightSharedVerticesInBothFormats) {
  AcDb3dSolid box;
  box.createBox(2, 3, 4);
  box.transformBy(AcGeMatrix3d::translation({1, 1.5, 2}));  // corners at 0: -0 must weld too
  ON_Mesh binary, ascii;
  for (bool asText : {false, true}) {
    ON_Mesh& mesh = asText ? ascii : binary;
    // Windows separators, as the module builds paths.
    std::string file = dir_.string() + (asText ? "\\box-ascii.stl" : "\\box.stl");
    ASSERT_EQ(box.stlOut(file.c_str(), asText), Acad::eOk);
    std::string written = path(asText ? "box-ascii.stl" : "box.stl");
    ASSERT_TRUE(fs::exists(written));
    std::ifstream in(written, std::ios::binary);
    std::string start(5, '\0');
    in.read(start.data(), 5);
    EXPECT_EQ(start == "solid", asText);
    ASSERT_NE(KOSTL::STLToMesh(written.c_str(), mesh), 0) << KOSTL::GetError().GetString();
    EXPECT_EQ(mesh.VertexCount(), 8);
    EXPECT_EQ(mesh.FaceCount(), 12);
    EXPECT_TRUE(isClosed(mesh));
  }
  ASSERT_EQ(binary.VertexCount(), ascii.VertexCount());
  for (int i = 0; i < binary.VertexCount(); ++i) EXPECT_EQ(binary.m_V[i], ascii.m_V[i]);
  for (int i = 0; i < binary.FaceCount(); ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(binary.m_F[i].vi[k], ascii.m_F[i].vi[k]);
}

// The box [0, 2] x [0, 3] x [0, 4] in both formats: twelve facets enclosing +24, each on a
// side of the box with the side's outward axis as its normal, and that normal also the
// winding's (v1 - v0) x (v2 - v0) normalised.
TEST_F(Modeler, StlOutOfABoxWindsEveryFacetOutwardWithItsNormal) {
  AcDb3dSolid box;
  box.createBox(2, 3, 4);
  box.transformBy(AcGeMatrix3d::translation({1, 1.5, 2}));
  const double size[3] = {2, 3, 4};
  for (bool asText : {false, true}) {
    SCOPED_TRACE(asText ? "ASCII" : "binary");
    std::string file = path("golden.stl");
    ASSERT_EQ(box.stlOut(file.c_str(), asText), Acad::eOk);
    std::vector<StoredFacet> facets = asText ? asciiFacets(readFile(file)) : binaryFacets(readFile(file));
    ASSERT_EQ(facets.size(), 12u);
    EXPECT_NEAR(sixVolume(facets) / 6, 24, 1e-5);
    std::map<std::string, int> sides;
    for (const StoredFacet& f : facets) {
      std::array<double, 3> w = windingNormal(f);
      double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
      ASSERT_GT(length, 0);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(f.n[k], w[k] / length, 1e-6);
      // The side the facet lies on: the axis on which its three corners agree, at 0 or the far end.
      for (int k = 0; k < 3; ++k) {
        if (f.v[0][k] != f.v[1][k] || f.v[0][k] != f.v[2][k]) continue;
        bool far = f.v[0][k] == size[k];
        ASSERT_TRUE(far || f.v[0][k] == 0) << f.v[0][k];
        double want[3] = {0, 0, 0};
        want[k] = far ? 1 : -1;
        for (int j = 0; j < 3; ++j) EXPECT_EQ(f.n[j], want[j]) << "side " << k << (far ? "+" : "-");
        ++sides[std::string(1, char('x' + k)) + (far ? "+" : "-")];
      }
    }
    EXPECT_EQ(sides, (std::map<std::string, int>{{"x+", 2}, {"x-", 2}, {"y+", 2}, {"y-", 2}, {"z+", 2}, {"z-", 2}}));
  }
}

TEST_F(Modeler, StlOutOfCurvedSolidsReadsBackClosed) {
  AcDb3dSolid s;
  for (int kind = 0; kind < 4; ++kind) {
    if (kind == 0) s.createSphere(1);
    if (kind == 1) s.createTorus(2, 0.5);
    if (kind == 2) s.createFrustum(2, 1, 1, 0);
    if (kind == 3) {
      s.createSphere(2);
      AcDb3dSolid bore;
      bore.createFrustum(10, 1, 1, 1);
      s.booleanOper(AcDb::kBoolSubtract, &bore);
    }
    std::string file = path("curved.stl");
    ASSERT_EQ(s.stlOut(file.c_str(), false), Acad::eOk);
    ON_Mesh mesh;
    ASSERT_NE(KOSTL::STLToMesh(file.c_str(), mesh), 0) << KOSTL::GetError().GetString();
    EXPECT_TRUE(isClosed(mesh)) << kind;
    EXPECT_TRUE(mesh.IsValid()) << kind;
    // Wound outward: the facets enclose the solid's own volume, less what the chords cut off.
    double enclosed = sixVolume(binaryFacets(readFile(file))) / 6;
    EXPECT_LT(enclosed, volume(s) * 1.001) << kind;
    EXPECT_GT(enclosed, volume(s) * 0.9) << kind;
    if (kind == 0) {
      EXPECT_LT(std::uint32_t(mesh.FaceCount()), trianglesAt(s, 0.5)) << "pole facets are dropped";
    }
  }
}

TEST_F(Modeler, StlOutAnswersAStatusWhenItCannotWrite) {
  AcDb3dSolid s;
  s.createBox(1, 1, 1);
  std::string missingFolder = path("no/such/folder/x.stl");
  EXPECT_EQ(s.stlOut(missingFolder.c_str(), false), Acad::eFileAccessErr);
  EXPECT_EQ(s.stlOut(nullptr, false), Acad::eInvalidInput);

  std::string file = path("armed.stl");
  kv::fault::arm(kv::fault::Call::stlOut, 1);
  EXPECT_EQ(s.stlOut(file.c_str(), false), Acad::eFileAccessErr);
  EXPECT_FALSE(fs::exists(file));
  kv::fault::arm(kv::fault::Call::stlOut, 2, Acad::eOutOfMemory);
  EXPECT_EQ(s.stlOut(file.c_str(), false), Acad::eOk);
  EXPECT_EQ(s.stlOut(file.c_str(), false), Acad::eOutOfMemory);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::stlOut), 2);
}

// The figures written beside the mapping in stl_out.cpp.
TEST_F(Modeler, FacetresMapsToTheTriangleCountsWrittenDown) {
  const double levels[] = {0.01, 0.5, 1, 5, 10};
  const std::uint32_t sphere[] = {82, 304, 528, 1846, 3244};
  const std::uint32_t torus[] = {130, 1152, 2048, 7200, 12482};
  AcDb3dSolid s, t, box;
  s.createSphere(1);
  t.createTorus(2, 0.5);
  box.createBox(1, 2, 3);
  std::uint32_t lastS = 0, lastT = 0;
  for (int i = 0; i < 5; ++i) {
    std::uint32_t ns = trianglesAt(s, levels[i]), nt = trianglesAt(t, levels[i]);
    EXPECT_EQ(ns, sphere[i]) << "sphere at " << levels[i];
    EXPECT_EQ(nt, torus[i]) << "torus at " << levels[i];
    EXPECT_GE(ns, lastS);
    EXPECT_GE(nt, lastT);
    lastS = ns;
    lastT = nt;
    EXPECT_EQ(trianglesAt(box, levels[i]), 12u) << "planar faces are never refined";
  }
}

TEST_F(Modeler, FacetCountsDependNeitherOnUnitsNorOnEarlierExports) {
  AcDb3dSolid small, large;
  small.createSphere(1);
  large.createSphere(1000);
  std::uint32_t n = trianglesAt(small, 0.5);
  EXPECT_EQ(trianglesAt(large, 0.5), n);
  trianglesAt(small, 10);
  EXPECT_EQ(trianglesAt(small, 0.5), n);
  // Out-of-range values count as the nearest end of FACETRES's range.
  EXPECT_EQ(trianglesAt(small, 100), trianglesAt(small, 10));
}
