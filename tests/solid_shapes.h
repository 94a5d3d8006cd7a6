// Open meshes, the mesh entities made of meshes, and solids, for the tests of meshes into solids
// and of the solid Booleans; the closed meshes and their volumes are test_meshes.h's.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <utility>
#include <vector>

#include "host/acdb.h"
#include "host/entities.h"
#include "modeler/solids.h"
#include "opennurbs/opennurbs.h"
#include "test_meshes.h"

namespace shapes {

inline int addVertex(ON_Mesh& m, double x, double y, double z) {
  const int i = m.VertexCount();
  m.SetVertex(i, ON_3dPoint(x, y, z));
  return i;
}
inline void addTriangle(ON_Mesh& m, int a, int b, int c) { m.SetTriangle(m.FaceCount(), a, b, c); }

// Two triangles in the plane z = 0: an open, flat mesh.
inline ON_Mesh squareMesh() {
  ON_Mesh m;
  addVertex(m, 0, 0, 0);
  addVertex(m, 1, 0, 0);
  addVertex(m, 1, 1, 0);
  addVertex(m, 0, 1, 0);
  addTriangle(m, 0, 1, 2);
  addTriangle(m, 0, 2, 3);
  return m;
}

// Two triangles folded along a ridge: open and not flat.
inline ON_Mesh tentMesh() {
  ON_Mesh m;
  addVertex(m, 0, 0, 0);
  addVertex(m, 2, 0, 0);
  addVertex(m, 1, 1, 1);
  addVertex(m, 1, -1, 1);
  addTriangle(m, 0, 1, 2);
  addTriangle(m, 0, 3, 1);
  return m;
}

// One triangle two of whose corners lie on one point: no face a reader keeps.
inline ON_Mesh pinchedMesh() {
  ON_Mesh m;
  addVertex(m, 0, 0, 0);
  addVertex(m, 1, 0, 0);
  addVertex(m, 1, 0, 0);
  addTriangle(m, 0, 1, 2);
  return m;
}

// The corners of one face: three for a triangle, else four.
inline std::vector<int> cornersOf(const ON_MeshFace& f) {
  if (f.IsTriangle()) return {f.vi[0], f.vi[1], f.vi[2]};
  return {f.vi[0], f.vi[1], f.vi[2], f.vi[3]};
}

// Every edge is used by exactly two faces, once each way.
inline bool isClosed(const ON_Mesh& m) {
  std::map<std::pair<int, int>, int> directed;
  for (const ON_MeshFace& f : m.m_F) {
    std::vector<int> c = cornersOf(f);
    for (size_t k = 0; k < c.size(); ++k) ++directed[{c[k], c[(k + 1) % c.size()]}];
  }
  for (const auto& [edge, uses] : directed) {
    auto back = directed.find({edge.second, edge.first});
    if (uses != 1 || back == directed.end() || back->second != 1) return false;
  }
  return !directed.empty();
}

// A polyface mesh of the mesh's vertices and faces, in no drawing.
inline AcDbPolyFaceMesh* newPolyFace(const ON_Mesh& m) {
  auto* polyface = new AcDbPolyFaceMesh;
  for (const ON_3fPoint& p : m.m_V) {
    auto* v = new AcDbPolyFaceMeshVertex(AcGePoint3d(p.x, p.y, p.z));
    EXPECT_EQ(polyface->appendVertex(v), Acad::eOk);
    v->close();
  }
  for (const ON_MeshFace& f : m.m_F) {
    auto number = [](int i) { return Adesk::Int16(i + 1); };
    auto* r = new AcDbFaceRecord(number(f.vi[0]), number(f.vi[1]), number(f.vi[2]),
                                 f.IsTriangle() ? Adesk::Int16(0) : number(f.vi[3]));
    EXPECT_EQ(polyface->appendFaceRecord(r), Acad::eOk);
    r->close();
  }
  return polyface;
}

// A torus about the z axis as a grid closed both ways, rows around the axis and columns around
// the tube, wound outward; in no drawing.
inline AcDbPolygonMesh* newTorusGrid(const AcGePoint3d& centre, double major, double minor, int rows, int columns) {
  using std::numbers::pi;
  AcGePoint3dArray grid;
  for (int k = 0; k < rows; ++k) {
    const double u = 2 * pi * k / rows;
    for (int j = 0; j < columns; ++j) {
      const double v = -2 * pi * j / columns;  // against the tube's turn: the cells face out
      const double rho = major + minor * std::cos(v);
      grid.append(centre + AcGeVector3d(rho * std::cos(u), rho * std::sin(u), minor * std::sin(v)));
    }
  }
  return new AcDbPolygonMesh(AcDb::kSimpleMesh, Adesk::Int16(rows), Adesk::Int16(columns), grid, true, true);
}

// A box of the given size with its lowest corner at low, in no drawing.
inline AcDb3dSolid* newBox(const AcGeVector3d& size, const AcGePoint3d& low) {
  auto* solid = new AcDb3dSolid;
  EXPECT_EQ(solid->createBox(size.x, size.y, size.z), Acad::eOk);
  EXPECT_EQ(solid->transformBy(AcGeMatrix3d::translation((low + size * 0.5).asVector())), Acad::eOk);
  return solid;
}

// A cylinder along z, in no drawing.
inline AcDb3dSolid* newCylinder(double radius, double height, const AcGePoint3d& centre) {
  auto* solid = new AcDb3dSolid;
  EXPECT_EQ(solid->createFrustum(height, radius, radius, radius), Acad::eOk);
  EXPECT_EQ(solid->transformBy(AcGeMatrix3d::translation(centre.asVector())), Acad::eOk);
  return solid;
}

// The extents as six numbers, empty for an entity without them.
inline std::vector<double> extentsOf(const AcDbEntity& e) {
  AcDbExtents ext;
  if (e.getGeomExtents(ext) != Acad::eOk) return {};
  return {ext.minPoint().x, ext.minPoint().y, ext.minPoint().z, ext.maxPoint().x, ext.maxPoint().y, ext.maxPoint().z};
}

inline void expectExtents(const AcDbEntity& e, const std::vector<double>& expected, double tolerance = 1e-6) {
  std::vector<double> got = extentsOf(e);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], tolerance) << "extent " << i;
}

}  // namespace shapes
