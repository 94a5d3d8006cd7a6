// The mesh of the geometry vocabulary and the maker's face appenders.
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
}
