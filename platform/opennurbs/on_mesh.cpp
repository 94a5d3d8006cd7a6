#include "opennurbs/on_mesh.h"

#include "opennurbs/mesh_access.h"
#include "opennurbs/point_index.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

ON_Mesh::ON_Mesh() = default;
ON_Mesh::~ON_Mesh() = default;

void ON_Mesh::Changed() {
  topology_.reset();
  welding_.reset();
  welded_ = 0;
}

ON_Mesh::ON_Mesh(int faceCapacity, int vertexCapacity, bool, bool) {
  m_F.Reserve(faceCapacity);
  m_V.Reserve(vertexCapacity);
}

ON_Mesh::ON_Mesh(const ON_Mesh& other) : ON_Geometry(other), m_V(other.m_V), m_F(other.m_F) {}

ON_Mesh& ON_Mesh::operator=(const ON_Mesh& other) {
  if (this != &other) {
    m_V = other.m_V;
    m_F = other.m_F;
    Changed();
  }
  return *this;
}

// The topology names its mesh: it is rebuilt for the new owner, never carried over.
ON_Mesh::ON_Mesh(ON_Mesh&& other) noexcept : m_V(std::move(other.m_V)), m_F(std::move(other.m_F)) {
  other.Changed();
}

ON_Mesh& ON_Mesh::operator=(ON_Mesh&& other) noexcept {
  if (this != &other) {
    m_V = std::move(other.m_V);
    m_F = std::move(other.m_F);
    Changed();
    other.Changed();
  }
  return *this;
}

void ON_Mesh::Destroy() {
  m_V.Destroy();
  m_F.Destroy();
  Changed();
}

bool ON_Mesh::SetVertex(int i, const ON_3dPoint& p) {
  if (i < 0 || i > m_V.Count()) return false;
  topology_.reset();
  if (i == m_V.Count()) m_V.Append(ON_3fPoint(p));
  else m_V[i] = ON_3fPoint(p);
  return true;
}

bool ON_Mesh::SetQuad(int f, int a, int b, int c, int d) {
  if (f < 0 || f > m_F.Count()) return false;
  topology_.reset();
  ON_MeshFace face;
  face.vi[0] = a;
  face.vi[1] = b;
  face.vi[2] = c;
  face.vi[3] = d;
  if (f == m_F.Count()) m_F.Append(face);
  else m_F[f] = face;
  return true;
}

bool ON_Mesh::SetTriangle(int f, int a, int b, int c) { return SetQuad(f, a, b, c, c); }

int ON_Mesh::CullUnusedVertices() {
  const int n = m_V.Count();
  std::vector<int> remap(size_t(n), -1);
  for (const ON_MeshFace& f : m_F)
    for (int k : f.vi)
      if (k >= 0 && k < n) remap[size_t(k)] = 0;
  int kept = 0;
  for (int i = 0; i < n; ++i)
    if (remap[size_t(i)] == 0) {
      remap[size_t(i)] = kept;
      m_V[kept++] = m_V[i];
    }
  if (kept == n) return 0;
  m_V.SetCount(kept);
  for (ON_MeshFace& f : m_F)
    for (int& k : f.vi) k = (k >= 0 && k < n) ? remap[size_t(k)] : -1;
  Changed();
  return n - kept;
}

int ON_Mesh::CullDegenerateFaces() {
  const int n = m_V.Count();
  int kept = 0;
  for (int i = 0; i < m_F.Count(); ++i) {
    ON_MeshFace f = m_F[i];
    const int corners = f.IsTriangle() ? 3 : 4;
    bool inRange = true;
    for (int k = 0; k < corners; ++k) inRange = inRange && f.vi[k] >= 0 && f.vi[k] < n;
    if (!inRange) continue;
    // Drop each corner that lies on its predecessor, walking round the face.
    int vi[4], count = 0;
    for (int k = 0; k < corners; ++k) {
      int prev = f.vi[(k + corners - 1) % corners];
      if (m_V[f.vi[k]] != m_V[prev]) vi[count++] = f.vi[k];
    }
    if (count < 3) continue;
    // Opposite corners of a quad on one point fold it flat.
    if (count == 4 && (m_V[vi[0]] == m_V[vi[2]] || m_V[vi[1]] == m_V[vi[3]])) continue;
    ON_MeshFace out;
    for (int k = 0; k < 4; ++k) out.vi[k] = vi[k < count ? k : count - 1];
    m_F[kept++] = out;
  }
  int removed = m_F.Count() - kept;
  m_F.SetCount(kept);
  if (removed) Changed();
  return removed;
}

bool ON_Mesh::Compact() {
  CullUnusedVertices();
  m_V.Shrink();
  m_F.Shrink();
  return true;
}

bool ON_Mesh::IsValid(ON_TextLog*) const {
  const int n = m_V.Count();
  if (n < 3 || m_F.Count() < 1) return false;
  for (const ON_3fPoint& p : m_V)
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
  for (const ON_MeshFace& f : m_F) {
    for (int k : f.vi)
      if (k < 0 || k >= n) return false;
    if (f.vi[0] == f.vi[1] || f.vi[1] == f.vi[2] || f.vi[0] == f.vi[2]) return false;
    if (f.IsQuad() && (f.vi[3] == f.vi[0] || f.vi[3] == f.vi[1])) return false;
  }
  return true;
}

bool ON_Mesh::Transform(const ON_Xform& xform) {
  for (ON_3fPoint& p : m_V) p = ON_3fPoint(xform * ON_3dPoint(p));
  Changed();
  return true;
}

ON_3dPoint ON_MeshTopology::TopVertexPoint(int i) const {
  return ON_3dPoint(m_mesh->m_V[m_topv[i].m_vi[0]]);
}

const ON_MeshTopology& ON_Mesh::Topology() const {
  if (topology_) return *topology_;
  auto top = std::make_unique<ON_MeshTopology>();
  top->m_mesh = this;
  const int n = m_V.Count();
  top->m_topv_map.SetCount(n);
  // Exact locations; +0 and -0 are one location.
  std::map<std::tuple<float, float, float>, int> at;
  for (int i = 0; i < n; ++i) {
    const ON_3fPoint& p = m_V[i];
    auto key = std::make_tuple(p.x + 0.0f, p.y + 0.0f, p.z + 0.0f);
    auto [it, fresh] = at.emplace(key, top->m_topv.Count());
    if (fresh) top->m_topv.AppendNew();
    top->m_topv[it->second].m_vi.Append(i);
    top->m_topv_map[i] = it->second;
  }
  std::map<std::pair<int, int>, int> edges;
  for (int fi = 0; fi < m_F.Count(); ++fi) {
    const ON_MeshFace& f = m_F[fi];
    const int corners = f.IsTriangle() ? 3 : 4;
    bool inRange = true;
    for (int k = 0; k < corners; ++k) inRange = inRange && f.vi[k] >= 0 && f.vi[k] < n;
    if (!inRange) continue;
    for (int k = 0; k < corners; ++k) {
      int a = top->m_topv_map[f.vi[k]], b = top->m_topv_map[f.vi[(k + 1) % corners]];
      if (a == b) continue;
      auto key = std::minmax(a, b);
      auto [it, fresh] = edges.emplace(key, top->m_tope.Count());
      if (fresh) {
        ON_MeshTopologyEdge& e = top->m_tope.AppendNew();
        e.m_topvi[0] = key.first;
        e.m_topvi[1] = key.second;
        top->m_topv[key.first].m_tope.Append(it->second);
        top->m_topv[key.second].m_tope.Append(it->second);
      }
      top->m_tope[it->second].m_topfi.Append(fi);
    }
  }
  topology_ = std::move(top);
  return *topology_;
}

namespace kv {

PointIndex& MeshAccess::welding(ON_Mesh& mesh) {
  const int count = mesh.m_V.Count();
  if (!mesh.welding_ || mesh.welded_ > count) {
    mesh.welding_ = std::make_unique<PointIndex>(size_t(count));
    mesh.welded_ = 0;
  }
  for (; mesh.welded_ < count; ++mesh.welded_) {
    const ON_3fPoint& p = mesh.m_V[mesh.welded_];
    if (!hasLocation(p)) continue;
    std::uint32_t key[3];
    pointKey(p, key);
    mesh.welding_->findOrAdd(key, PointIndex::hash(key), std::uint32_t(mesh.welded_));
  }
  return *mesh.welding_;
}

void MeshAccess::appendWelded(ON_Mesh& mesh, const ON_3fPoint& p) {
  mesh.m_V.Append(p);
  mesh.topology_.reset();
  mesh.welded_ = mesh.m_V.Count();
}

}  // namespace kv
