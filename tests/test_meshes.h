// Meshes for the tests of the writers and readers of meshes, and the volume they enclose.
#pragma once

#include <cmath>
#include <numbers>

#include "opennurbs/on_mesh.h"

// The box [0, x] x [0, y] x [0, z] moved by `at`: 8 vertices, 6 quads facing outwards.
inline ON_Mesh boxMesh(double x = 1, double y = 2, double z = 3, ON_3dPoint at = ON_3dPoint(0, 0, 0)) {
  ON_Mesh m;
  for (int i = 0; i < 8; ++i) m.SetVertex(i, ON_3dPoint(at.x + (i & 1) * x, at.y + (i >> 1 & 1) * y, at.z + (i >> 2) * z));
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) m.SetQuad(m.FaceCount(), q[0], q[1], q[2], q[3]);
  return m;
}

// The same box as 12 triangles, each quad split along its 0-2 diagonal.
inline ON_Mesh boxTriangles(double x = 1, double y = 2, double z = 3) {
  ON_Mesh quads = boxMesh(x, y, z), m;
  for (int i = 0; i < quads.VertexCount(); ++i) m.SetVertex(i, quads.m_V[i]);
  for (const ON_MeshFace& f : quads.m_F) {
    m.SetTriangle(m.FaceCount(), f.vi[0], f.vi[1], f.vi[2]);
    m.SetTriangle(m.FaceCount(), f.vi[0], f.vi[2], f.vi[3]);
  }
  return m;
}

// A sphere of 2 * around * (bands - 1) triangles facing outwards: `bands` bands of latitude,
// the two at the poles fans of triangles.
inline ON_Mesh sphereMesh(double radius, int around, int bands) {
  using std::numbers::pi;
  ON_Mesh m;
  m.SetVertex(0, ON_3dPoint(0, 0, -radius));
  for (int b = 1; b < bands; ++b) {
    double lat = -pi / 2 + pi * b / bands;
    for (int a = 0; a < around; ++a) {
      double lon = 2 * pi * a / around;
      m.SetVertex(m.VertexCount(), ON_3dPoint(radius * std::cos(lat) * std::cos(lon),
                                              radius * std::cos(lat) * std::sin(lon), radius * std::sin(lat)));
    }
  }
  int top = m.VertexCount();
  m.SetVertex(top, ON_3dPoint(0, 0, radius));
  auto ring = [&](int b, int a) { return 1 + (b - 1) * around + (a % around); };
  for (int a = 0; a < around; ++a) {
    m.SetTriangle(m.FaceCount(), 0, ring(1, a + 1), ring(1, a));
    m.SetTriangle(m.FaceCount(), top, ring(bands - 1, a), ring(bands - 1, a + 1));
    for (int b = 1; b + 1 < bands; ++b) {
      m.SetTriangle(m.FaceCount(), ring(b, a), ring(b, a + 1), ring(b + 1, a + 1));
      m.SetTriangle(m.FaceCount(), ring(b, a), ring(b + 1, a + 1), ring(b + 1, a));
    }
  }
  return m;
}

// The volume the faces enclose (negative when they face inwards), quads taken as the
// triangles 0 1 2 and 0 2 3, in double precision from the single-precision vertices.
inline double signedVolume(const ON_Mesh& m) {
  auto p = [&](int i) { return ON_3dVector(m.m_V[i].x, m.m_V[i].y, m.m_V[i].z); };
  auto det = [&](int a, int b, int c) { return ON_DotProduct(p(a), ON_CrossProduct(p(b), p(c))); };
  double sum = 0;
  for (const ON_MeshFace& f : m.m_F) {
    sum += det(f.vi[0], f.vi[1], f.vi[2]);
    if (f.IsQuad()) sum += det(f.vi[0], f.vi[2], f.vi[3]);
  }
  return sum / 6;
}
