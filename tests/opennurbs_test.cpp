// The mesh of the geometry vocabulary and the maker's face appenders.
#include <cmath>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "opennurbs/opennurbs.h"
#include "orvgeo/orvgeo.h"

namespace {

ON_Mesh quadStrip() {
  // Two quads sharing an edge, and a vertex no face uses.
  ON_Mesh m;
  for (int i = 0; i < 6; ++i) m.SetVertex(i, ON_3dPoint(i % 3, i / 3, 0));
  m.SetVertex(6, ON_3dPoint(9, 9, 9));
  m.SetQuad(0, 0, 1, 4, 3);
  m.SetQuad(1, 1, 2, 5, 4);
  return m;
}

}  // namespace

TEST(OnMesh, SetAppendsOnlyAtTheEnd) {
  ON_Mesh m;
  EXPECT_TRUE(m.SetVertex(0, ON_3dPoint(1, 2, 3)));
  EXPECT_FALSE(m.SetVertex(2, ON_3dPoint(1, 2, 3)));
  EXPECT_TRUE(m.SetVertex(0, ON_3dPoint(4, 5, 6)));
  EXPECT_EQ(m.VertexCount(), 1);
  EXPECT_EQ(m.m_V[0], ON_3fPoint(4, 5, 6));
  EXPECT_TRUE(m.SetTriangle(0, 0, 0, 0));
  EXPECT_EQ(m.m_F[0].vi[3], 0);
  EXPECT_FALSE(m.SetQuad(5, 0, 0, 0, 0));
}

TEST(OnMesh, CullUnusedRenumbersFaces) {
  ON_Mesh m;
  for (int i = 0; i < 5; ++i) m.SetVertex(i, ON_3dPoint(i, i * i, 0));
  m.SetTriangle(0, 4, 2, 3);
  EXPECT_EQ(m.CullUnusedVertices(), 2);
  ASSERT_EQ(m.VertexCount(), 3);
  EXPECT_EQ(m.m_V[0], ON_3fPoint(2, 4, 0));
  EXPECT_EQ(m.m_F[0].vi[0], 2);
  EXPECT_EQ(m.m_F[0].vi[1], 0);
  EXPECT_EQ(m.m_F[0].vi[3], 1);
  EXPECT_TRUE(m.IsValid());
}

TEST(OnMesh, CullDegenerateFacesByPosition) {
  ON_Mesh m;
  m.SetVertex(0, ON_3dPoint(0, 0, 0));
  m.SetVertex(1, ON_3dPoint(1, 0, 0));
  m.SetVertex(2, ON_3dPoint(1, 1, 0));
  m.SetVertex(3, ON_3dPoint(1, 1, 0));  // a second vertex on the same point
  m.SetVertex(4, ON_3dPoint(0, 1, 0));
  m.SetQuad(0, 0, 1, 2, 3);   // three distinct points: becomes a triangle
  m.SetTriangle(1, 2, 3, 0);  // two distinct points: dropped
  m.SetQuad(2, 0, 2, 0, 4);   // opposite corners on one point: folded flat, dropped
  m.SetQuad(3, 0, 1, 2, 4);   // a proper quad stays
  m.SetTriangle(4, 0, 1, 7);  // an index past the vertices: dropped
  EXPECT_EQ(m.CullDegenerateFaces(), 3);
  ASSERT_EQ(m.FaceCount(), 2);
  EXPECT_TRUE(m.m_F[0].IsTriangle());
  EXPECT_EQ(m.m_F[0].vi[0], 0);
  EXPECT_EQ(m.m_F[0].vi[2], 2);
  EXPECT_TRUE(m.m_F[1].IsQuad());
}

TEST(OnMesh, ValidityNeedsFacesAndDistinctCorners) {
  ON_Mesh empty;
  EXPECT_FALSE(empty.IsValid());
  ON_Mesh m = quadStrip();
  EXPECT_TRUE(m.IsValid());
  m.m_F[1].vi[3] = 1;  // a corner repeated
  EXPECT_FALSE(m.IsValid());
  m = quadStrip();
  m.m_V[2] = ON_3fPoint(NAN, 0, 0);
  EXPECT_FALSE(m.IsValid());
}

TEST(OnMesh, TopologyJoinsVerticesAtOnePlace) {
  ON_Mesh m = quadStrip();
  m.SetVertex(7, ON_3dPoint(1, 0, -0.0));  // the same place as vertex 1
  m.m_F[1].vi[0] = 7;
  const ON_MeshTopology& top = m.Topology();
  EXPECT_EQ(top.TopVertexCount(), 7);  // eight vertices, two at one place
  EXPECT_EQ(top.m_topv[top.m_topv_map[7]].m_vi.Count(), 2);
  EXPECT_EQ(top.TopEdgeCount(), 7);  // two quads sharing one edge
  int shared = 0;
  for (const ON_MeshTopologyEdge& e : top.m_tope) shared += e.m_topfi.Count() == 2;
  EXPECT_EQ(shared, 1);
  EXPECT_EQ(top.TopVertexPoint(top.m_topv_map[6]), ON_3dPoint(9, 9, 9));
}

TEST(OnMesh, CopiesAndTranslation) {
  ON_Mesh a = quadStrip();
  ON_Mesh b = a;
  ASSERT_TRUE(b.Translate(ON_3dVector(1, 2, 3)));
  EXPECT_EQ(b.m_V[0], ON_3fPoint(1, 2, 3));
  EXPECT_EQ(a.m_V[0], ON_3fPoint(0, 0, 0));
  EXPECT_TRUE(b.Translate(ON_3dVector(0, 0, 0)));
  EXPECT_FALSE(b.Translate(ON_3dVector(INFINITY, 0, 0)));
  ON_ClassArray<ON_Mesh> list;
  list.Append(a);
  a.m_V[0] = ON_3fPoint(7, 7, 7);
  EXPECT_EQ(list[0].m_V[0], ON_3fPoint(0, 0, 0));
}

TEST(OrvMesh, EqualCornersShareOneVertex) {
  ON_Mesh m;
  ORVMesh::AddQuad(m, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
  ORVMesh::AddQuad(m, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0});
  ORVMesh::AddTriangle(m, {0, 0, -0.0}, {2, 0, 0}, {5, 5, 5});
  EXPECT_EQ(m.VertexCount(), 7);
  EXPECT_EQ(m.FaceCount(), 3);
  EXPECT_EQ(m.m_F[1].vi[0], m.m_F[0].vi[1]);
  EXPECT_EQ(m.m_F[2].vi[0], 0);  // -0 is 0
  EXPECT_TRUE(m.m_F[2].IsTriangle());

  // A vertex edited behind the appender's back is never reused for its old place.
  m.m_V[0] = ON_3fPoint(8, 8, 8);
  ORVMesh::AddTriangle(m, {0, 0, 0}, {8, 8, 8}, {1, 0, 0});
  EXPECT_NE(m.m_F[3].vi[0], 0);
  EXPECT_EQ(m.m_V[m.m_F[3].vi[0]], ON_3fPoint(0, 0, 0));
  EXPECT_EQ(m.m_V[m.m_F[3].vi[1]], ON_3fPoint(8, 8, 8));
  EXPECT_TRUE(m.IsValid());
  // The vertex that took the old place answers for it from then on.
  const int count = m.VertexCount();
  ORVMesh::AddTriangle(m, {0, 0, 0}, {1, 0, 0}, {2, 0, 0});
  EXPECT_EQ(m.VertexCount(), count);
  EXPECT_EQ(m.m_F[4].vi[0], m.m_F[3].vi[0]);
}

// A grid of quads row by row, some thousands of vertices: the appender's welding table grows
// many times while later rows keep reusing the row before.
TEST(OrvMesh, GridStaysSharedWhileTheTableGrows) {
  const int n = 60;
  ON_Mesh m;
  auto at = [](int i, int j) { return ON_3dPoint(i, j, (i * j) % 7); };
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) ASSERT_EQ(ORVMesh::AddQuad(m, at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)), 1);
  ASSERT_EQ(m.VertexCount(), (n + 1) * (n + 1));
  ASSERT_EQ(m.FaceCount(), n * n);
  // Numbered in order of first appearance, found independently.
  std::map<std::tuple<double, double, double>, int> first;
  int wrong = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const ON_MeshFace& f = m.m_F[i * n + j];
      const ON_3dPoint corners[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      for (int k = 0; k < 4; ++k) {
        int expected = first.emplace(std::make_tuple(corners[k].x, corners[k].y, corners[k].z), int(first.size())).first->second;
        wrong += f.vi[k] != expected || m.m_V[f.vi[k]] != ON_3fPoint(corners[k]);
      }
    }
  EXPECT_EQ(wrong, 0);
}

TEST(OrvMesh, VerticesAlreadyThereAreReusedTheFirstAnswering) {
  ON_Mesh m;
  m.SetVertex(0, ON_3dPoint(1, 0, 0));
  m.SetVertex(1, ON_3dPoint(1, 0, 0));  // a second vertex at the same place
  m.SetVertex(2, ON_3dPoint(0, 1, -0.0));
  ASSERT_EQ(ORVMesh::AddTriangle(m, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}), 1);
  EXPECT_EQ(m.VertexCount(), 4);
  EXPECT_EQ(m.m_F[0].vi[0], 2);
  EXPECT_EQ(m.m_F[0].vi[1], 0);
  // Set between two appends: found too.
  m.SetVertex(4, ON_3dPoint(5, 5, 5));
  ORVMesh::AddTriangle(m, {5, 5, 5}, {0, 0, 1}, {1, 0, 0});
  EXPECT_EQ(m.VertexCount(), 5);
  EXPECT_EQ(m.m_F[1].vi[0], 4);
  EXPECT_EQ(m.m_F[1].vi[1], 3);
}

TEST(OrvMesh, NaNCornersNeverShareButInfinitiesDo) {
  const double nan = std::nan(""), inf = INFINITY;
  ON_Mesh m;
  ORVMesh::AddTriangle(m, {nan, 0, 0}, {inf, 0, 0}, {0, 0, 0});
  ORVMesh::AddTriangle(m, {nan, 0, 0}, {inf, 0, 0}, {0, 0, 0});
  EXPECT_EQ(m.VertexCount(), 4);
  EXPECT_NE(m.m_F[0].vi[0], m.m_F[1].vi[0]);
  EXPECT_EQ(m.m_F[0].vi[1], m.m_F[1].vi[1]);
  EXPECT_EQ(m.m_F[0].vi[2], m.m_F[1].vi[2]);
}

// Each mesh welds to its own vertices only, and a mesh whose vertex list was moved, replaced or
// cut short is welded to what it now holds.
TEST(OrvMesh, EachMeshWeldsToWhatItHoldsNow) {
  ON_Mesh a, b;
  ORVMesh::AddQuad(a, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
  ORVMesh::AddTriangle(b, {7, 7, 7}, {1, 0, 0}, {0, 0, 0});
  ORVMesh::AddTriangle(a, {1, 1, 0}, {0, 0, 0}, {2, 2, 2});
  EXPECT_EQ(a.VertexCount(), 5);
  EXPECT_EQ(a.m_F[1].vi[0], 2);
  EXPECT_EQ(a.m_F[1].vi[1], 0);
  EXPECT_EQ(b.VertexCount(), 3);
  EXPECT_EQ(b.m_F[0].vi[2], 2);

  // Moved away, then filled with other points past its old count.
  ON_Mesh kept = std::move(a);
  for (int i = 0; i < 6; ++i) a.SetVertex(i, ON_3dPoint(10 + i, 0, 0));
  ORVMesh::AddTriangle(a, {10, 0, 0}, {15, 0, 0}, {0, 0, 0});
  EXPECT_EQ(a.VertexCount(), 7);
  EXPECT_EQ(a.m_F[0].vi[0], 0);
  EXPECT_EQ(a.m_F[0].vi[1], 5);
  EXPECT_EQ(a.m_F[0].vi[2], 6);

  // Cut short in place, then one new vertex where a dropped one was.
  a.m_V.SetCount(2);
  a.m_F.Empty();
  a.SetVertex(2, ON_3dPoint(3, 3, 3));
  ORVMesh::AddTriangle(a, {3, 3, 3}, {11, 0, 0}, {15, 0, 0});
  EXPECT_EQ(a.VertexCount(), 4);
  EXPECT_EQ(a.m_F[0].vi[0], 2);
  EXPECT_EQ(a.m_F[0].vi[1], 1);
  EXPECT_EQ(a.m_F[0].vi[2], 3);
  EXPECT_EQ(kept.VertexCount(), 5);

  // Moved through its own function: new faces find the vertices at their new places.
  ASSERT_TRUE(kept.Translate(ON_3dVector(0, 0, 10)));
  ORVMesh::AddTriangle(kept, {0, 0, 10}, {1, 1, 10}, {0, 0, 0});
  EXPECT_EQ(kept.VertexCount(), 6);
  EXPECT_EQ(kept.m_F[2].vi[0], 0);
  EXPECT_EQ(kept.m_F[2].vi[1], 2);
  EXPECT_EQ(kept.m_F[2].vi[2], 5);
}
