// Meshes of the geometry vocabulary.
//
// Conventions: m_V holds single-precision vertices; each face in m_F holds four 0-based
// indices into m_V, and a triangle repeats its third index in the fourth place.
#pragma once

#include <memory>

#include "opennurbs/on_base.h"

struct KV_PLATFORM_API ON_MeshFace {
  int vi[4] = {0, 0, 0, 0};
  bool IsTriangle() const { return vi[2] == vi[3]; }
  bool IsQuad() const { return vi[2] != vi[3]; }
};

// The mesh's topology: mesh vertices at the same location form one topology vertex; each edge
// joins two topology vertices and lists the faces that use it.
struct KV_PLATFORM_API ON_MeshTopologyVertex {
  ON_SimpleArray<int> m_vi;    // mesh vertices at this location, ascending
  ON_SimpleArray<int> m_tope;  // topology edges that end here
};

struct KV_PLATFORM_API ON_MeshTopologyEdge {
  int m_topvi[2] = {-1, -1};   // the two topology vertices, m_topvi[0] < m_topvi[1]
  ON_SimpleArray<int> m_topfi; // faces using the edge
};

class ON_Mesh;

namespace kv {
class PointIndex;
struct MeshAccess;
}  // namespace kv

class KV_PLATFORM_API ON_MeshTopology {
public:
  int TopVertexCount() const { return m_topv.Count(); }
  int TopEdgeCount() const { return m_tope.Count(); }
  // The location of topology vertex i.
  ON_3dPoint TopVertexPoint(int i) const;

  const ON_Mesh* m_mesh = nullptr;
  ON_SimpleArray<int> m_topv_map;  // mesh vertex -> topology vertex
  ON_SimpleArray<ON_MeshTopologyVertex> m_topv;
  ON_SimpleArray<ON_MeshTopologyEdge> m_tope;
};

class KV_PLATFORM_API ON_Mesh : public ON_Geometry {
public:
  ON_Mesh();
  // Room reserved for the counts; normals and texture coordinates are not kept here.
  ON_Mesh(int faceCapacity, int vertexCapacity, bool hasVertexNormals, bool hasTextureCoordinates);
  ON_Mesh(const ON_Mesh& other);
  ON_Mesh& operator=(const ON_Mesh& other);
  ON_Mesh(ON_Mesh&& other) noexcept;
  ON_Mesh& operator=(ON_Mesh&& other) noexcept;
  ~ON_Mesh() override;

  int VertexCount() const { return m_V.Count(); }
  int FaceCount() const { return m_F.Count(); }
  bool IsEmpty() const { return m_V.Count() == 0 && m_F.Count() == 0; }
  void Destroy();

  // Sets vertex i; i equal to the count appends. False for any other index.
  bool SetVertex(int i, const ON_3dPoint& p);
  // Sets face f (triangle: the third index repeated); f equal to the count appends.
  bool SetTriangle(int f, int a, int b, int c);
  bool SetQuad(int f, int a, int b, int c, int d);

  // Removes vertices no face uses and renumbers the faces; the count removed.
  int CullUnusedVertices();
  // Removes faces with an index outside the vertex list or whose corners fall on fewer than
  // three distinct points; a quad with only three distinct corners becomes a triangle.
  // The count of faces removed.
  int CullDegenerateFaces();
  // Drops unused vertices and spare capacity.
  bool Compact();
  // At least one face and three vertices, every index inside the vertex list, every vertex
  // finite, every face with three distinct indices.
  bool IsValid(ON_TextLog* log = nullptr) const override;
  bool Transform(const ON_Xform& xform) override;

  // Built on first use and kept until the mesh changes through its own functions; a caller
  // that edits m_V or m_F directly calls DestroyTopology.
  const ON_MeshTopology& Topology() const;
  void DestroyTopology() { topology_.reset(); }

  ON_SimpleArray<ON_3fPoint> m_V;
  ON_SimpleArray<ON_MeshFace> m_F;

private:
  friend struct kv::MeshAccess;
  void Changed();
  mutable std::unique_ptr<ON_MeshTopology> topology_;
  // The welding table of the maker's face appenders, holding m_V[0 .. welded_); dropped
  // whenever the mesh changes through its own functions.
  std::unique_ptr<kv::PointIndex> welding_;
  int welded_ = 0;
};
