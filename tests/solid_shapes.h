// Closed and open meshes with their signed volumes, the mesh entities made of them, and solids,
// for the tests of meshes into solids and of the solid Booleans.
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

namespace shapes {

inline int addVertex(ON_Mesh& m, double x, double y, double z) {
  const int i = m.VertexCount();
  m.SetVertex(i, ON_3dPoint(x, y, z));
  return i;
}
inline void addTriangle(ON_Mesh& m, int a, int b, int c) { m.SetTriangle(m.FaceCount(), a, b, c); }

// The box from lo to hi: 8 shared corners and 12 triangles, wound outward.
inline ON_Mesh boxMesh(const ON_3dPoint& lo, const ON_3dPoint& hi) {
  ON_Mesh m;
  for (int k = 0; k < 8; ++k) addVertex(m, k & 1 ? hi.x : lo.x, k & 2 ? hi.y : lo.y, k & 4 ? hi.z : lo.z);
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    addTriangle(m, q[0], q[1], q[2]);
    addTriangle(m, q[0], q[2], q[3]);
  }
  return m;
}

// A sphere of segments around and stacks from pole to pole: 2 * segments * (stacks - 1)
// triangles, wound outward.
inline ON_Mesh sphereMesh(const ON_3dPoint& centre, double radius, int segments, int stacks) {
  using std::numbers::pi;
  ON_Mesh m;
  const int north = addVertex(m, centre.x, centre.y, centre.z + radius);
  for (int i = 1; i < stacks; ++i) {
    const double theta = pi * i / stacks;
    for (int j = 0; j < segments; ++j) {
      const double phi = 2 * pi * j / segments;
      addVertex(m, centre.x + radius * std::sin(theta) * std::cos(phi),
                centre.y + radius * std::sin(theta) * std::sin(phi), centre.z + radius * std::cos(theta));
    }
  }
  const int south = addVertex(m, centre.x, centre.y, centre.z - radius);
  auto ring = [&](int i, int j) { return 1 + (i - 1) * segments + (j % segments); };
  for (int j = 0; j < segments; ++j) {
    addTriangle(m, north, ring(1, j), ring(1, j + 1));
    for (int i = 1; i + 1 < stacks; ++i) {
      addTriangle(m, ring(i, j), ring(i + 1, j), ring(i + 1, j + 1));
      addTriangle(m, ring(i, j), ring(i + 1, j + 1), ring(i, j + 1));
    }
    addTriangle(m, ring(stacks - 1, j), south, ring(stacks - 1, j + 1));
  }
  return m;
}

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

// The corners of one face: three for a triangle, else four.
inline std::vector<int> cornersOf(const ON_MeshFace& f) {
  if (f.IsTriangle()) return {f.vi[0], f.vi[1], f.vi[2]};
  return {f.vi[0], f.vi[1], f.vi[2], f.vi[3]};
}

// The volume the faces enclose, positive when they wind outward; quads as two triangles.
inline double signedVolume(const ON_Mesh& m) {
  double six = 0;
  auto at = [&](int i) { return ON_3dPoint(m.m_V[i].x, m.m_V[i].y, m.m_V[i].z); };
  for (const ON_MeshFace& f : m.m_F) {
    std::vector<int> c = cornersOf(f);
    for (size_t k = 1; k + 1 < c.size(); ++k) {
      ON_3dPoint a = at(c[0]), b = at(c[k]), d = at(c[k + 1]);
      six += a.x * (b.y * d.z - b.z * d.y) - a.y * (b.x * d.z - b.z * d.x) + a.z * (b.x * d.y - b.y * d.x);
    }
  }
  return six / 6;
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
