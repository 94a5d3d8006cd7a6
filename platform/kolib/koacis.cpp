// The SAT writer for meshes: one planar face per mesh face, the mesh's vertices and edges
// shared, streamed to the file record by record. See kolib/koacis.h.
//
// Linear in the mesh: vertices are welded and edges found through hash tables, the records of
// a face are numbered by arithmetic, and the text goes out in chunks as it is made.
#include "kolib/koacis.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "core/faults.h"
#include "core/files.h"
#include "modeler/sat_text.h"
#include "opennurbs/point_index.h"

namespace {

namespace sat = kv::modeler::sat;
namespace rec = kv::modeler::sat::rec;

constexpr std::uint32_t kNone = UINT32_MAX;
constexpr int kKnownOptions = KOACIS_WELD | KOACIS_SHEET | KOACIS_TRIANGLES;
constexpr int kKnownFileOptions = KOACIS_NUMBERED;
// Corners of a quad this far off the plane of the others, relative to its size, make it two
// triangles: far below single precision, so only a quad that is planar as stored is one face.
constexpr double kPlanarity = 1e-12;
constexpr std::size_t kChunk = std::size_t(1) << 20;  // bytes of text handed to the file at once

CString& lastError() {
  static CString text;
  return text;
}

// What is wrong with one mesh, thrown inside this file; the caller says which mesh.
struct MeshRefusal {
  std::string reason;
};

// The file could not be written: the errno value, or the files layer's own code.
struct FileFailure {
  int error;
};

// --- geometry -----------------------------------------------------------------------------

gp_XYZ at(const ON_Mesh& mesh, std::uint32_t v) {
  const ON_3fPoint& p = mesh.m_V[int(v)];
  return gp_XYZ(p.x, p.y, p.z);
}

// a * b - c * d to about an ulp (Kahan), so that thin faces still get their true normal and
// only corners on one line give none.
double crossTerm(double a, double b, double c, double d) {
  double w = c * d;
  return std::fma(a, b, -w) + std::fma(-c, d, w);
}

gp_XYZ cross(const gp_XYZ& u, const gp_XYZ& v) {
  return gp_XYZ(crossTerm(u.Y(), v.Z(), u.Z(), v.Y()), crossTerm(u.Z(), v.X(), u.X(), v.Z()),
                crossTerm(u.X(), v.Y(), u.Y(), v.X()));
}

// The normal of corners in order (three or four, by the right hand), not unit; zero for a
// triangle on one line. A quad's is the cross product of its diagonals.
gp_XYZ normalOf(const gp_XYZ* p, int n) {
  return n == 3 ? cross(p[1] - p[0], p[2] - p[0]) : cross(p[2] - p[0], p[3] - p[1]);
}

// The unit vector along v; v is not zero.
gp_XYZ unit(const gp_XYZ& v) { return v / v.Modulus(); }

// --- one mesh into faces, edges and vertices -------------------------------------------------

// One mesh's body as the file numbers it, each list indexed from 0 within the body. A face's
// corners are its loop's coedges: coedge j runs from corner j to the next corner of its face.
struct Body {
  struct Edge {
    std::uint32_t start, end;  // written vertices
    std::uint32_t coedge;      // the first coedge along it
  };
  const ON_Mesh* mesh = nullptr;
  std::vector<std::uint32_t> points;      // each written vertex's mesh vertex
  std::vector<std::uint32_t> corners;     // written vertices, face after face
  std::vector<std::uint32_t> faceStart;   // each face's first corner, then the end
  std::vector<std::uint32_t> coedgeEdge;  // of each coedge: edge << 1, | 1 when against it
  std::vector<std::uint32_t> partner;     // the next coedge round its edge; kNone on a free edge
  std::vector<Edge> edges;
  std::vector<std::uint32_t> vertexEdge;  // one edge at each vertex
  bool sheet = false;
  bool flip = false;  // closed but facing inwards: written turned over

  std::uint32_t faces() const { return std::uint32_t(faceStart.size() - 1); }
  gp_XYZ point(std::uint32_t vertex) const { return at(*mesh, points[vertex]); }
};

// Takes the mesh's faces as planar faces over written vertices: checks indices and
// coordinates, welds, drops degenerate faces, splits quads that are not one plane.
class FaceCollector {
public:
  FaceCollector(const ON_Mesh& mesh, int options, Body& body)
      : m_(mesh),
        weld_(options & KOACIS_WELD),
        triangles_(options & KOACIS_TRIANGLES),
        canon_(std::size_t(mesh.VertexCount()), kNone),
        written_(std::size_t(mesh.VertexCount()), kNone),
        welding_(weld_ ? std::size_t(mesh.VertexCount()) : 0),
        b_(body) {
    b_.mesh = &mesh;
    b_.faceStart.reserve(std::size_t(mesh.FaceCount()) + 1);
    b_.corners.reserve(std::size_t(mesh.FaceCount()) * 3);
    b_.faceStart.push_back(0);
  }

  void run() {
    for (int f = 0; f < m_.FaceCount(); ++f) add(f);
  }

private:
  // The first mesh vertex at the vertex's place (the vertex itself without welding).
  std::uint32_t canonical(int face, int vi) {
    if (vi < 0 || vi >= m_.VertexCount())
      throw MeshRefusal{"face " + std::to_string(face) + " has a vertex index out of range"};
    auto v = std::uint32_t(vi);
    if (canon_[v] != kNone) return canon_[v];
    const ON_3fPoint& p = m_.m_V[vi];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
      throw MeshRefusal{"vertex " + std::to_string(vi) + " is not finite"};
    if (!weld_) return canon_[v] = v;
    std::uint32_t key[3];
    kv::pointKey(p, key);
    return canon_[v] = welding_.findOrAdd(key, kv::PointIndex::hash(key), v);
  }

  bool samePlace(std::uint32_t a, std::uint32_t b) const { return a == b || m_.m_V[int(a)] == m_.m_V[int(b)]; }

  void add(int f) {
    const ON_MeshFace& face = m_.m_F[f];
    std::uint32_t c[4];
    for (int i = 0; i < 4; ++i) c[i] = canonical(f, face.vi[i]);
    // Corners that repeat the one before them go; a triangle's fourth is its third again.
    int n = 0;
    for (int i = 0; i < 4; ++i)
      if (n == 0 || !samePlace(c[i], c[n - 1])) c[n++] = c[i];
    while (n > 1 && samePlace(c[n - 1], c[0])) --n;
    if (n == 3) triangle(c[0], c[1], c[2]);
    if (n == 4 && !samePlace(c[0], c[2]) && !samePlace(c[1], c[3])) quad(c);
  }

  void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const gp_XYZ p[3] = {at(m_, a), at(m_, b), at(m_, c)};
    if (normalOf(p, 3).SquareModulus() == 0) return;  // on one line: no plane
    const std::uint32_t corners[3] = {a, b, c};
    emit(corners, 3);
  }

  // One face when planar and simple, else two triangles along the diagonal that keeps both
  // facing the quad's way (either, convex; the one inside, concave; 0-2 for a crossed one).
  void quad(const std::uint32_t* c) {
    const gp_XYZ p[4] = {at(m_, c[0]), at(m_, c[1]), at(m_, c[2]), at(m_, c[3])};
    gp_XYZ n = normalOf(p, 4);
    auto facesAlong = [&](int i) {
      const gp_XYZ t1[3] = {p[i], p[(i + 1) % 4], p[(i + 2) % 4]}, t2[3] = {p[i], p[(i + 2) % 4], p[(i + 3) % 4]};
      return normalOf(t1, 3).Dot(n) > 0 && normalOf(t2, 3).Dot(n) > 0;
    };
    bool split02 = facesAlong(0), split13 = facesAlong(1);
    if (!triangles_ && (split02 || split13) && planar(p, n)) return emit(c, 4);
    int i = split02 || !split13 || triangles_ ? 0 : 1;
    triangle(c[i], c[(i + 1) % 4], c[(i + 2) % 4]);
    triangle(c[i], c[(i + 2) % 4], c[(i + 3) % 4]);
  }

  static bool planar(const gp_XYZ* p, const gp_XYZ& n) {
    double size = std::max((p[2] - p[0]).Modulus(), (p[3] - p[1]).Modulus());
    gp_XYZ u = unit(n);
    for (int i = 1; i < 4; ++i)
      if (std::fabs((p[i] - p[0]).Dot(u)) > kPlanarity * size) return false;
    return true;
  }

  // A kept face; its vertices are numbered as first used.
  void emit(const std::uint32_t* c, int n) {
    for (int i = 0; i < n; ++i) {
      std::uint32_t& w = written_[c[i]];
      if (w == kNone) {
        w = std::uint32_t(b_.points.size());
        b_.points.push_back(c[i]);
      }
      b_.corners.push_back(w);
    }
    b_.faceStart.push_back(std::uint32_t(b_.corners.size()));
  }

  const ON_Mesh& m_;
  bool weld_, triangles_;
  std::vector<std::uint32_t> canon_;    // of each mesh vertex once met
  std::vector<std::uint32_t> written_;  // of each canonical mesh vertex once used
  kv::PointIndex welding_;
  Body& b_;
};

std::uint32_t nextCorner(const Body& b, std::uint32_t face, std::uint32_t j) {
  return j + 1 < b.faceStart[face + 1] ? j + 1 : b.faceStart[face];
}

// Edges by their two vertices (lower first), through the welding table's hashing of three
// words. Partners ring round each edge in the order the faces come.
void linkEdges(Body& b) {
  std::size_t n = b.corners.size();
  kv::PointIndex byEnds(n / 2 + 16);
  b.coedgeEdge.resize(n);
  b.partner.assign(n, kNone);
  b.vertexEdge.assign(b.points.size(), kNone);
  std::vector<std::uint32_t> last;  // of each edge, the coedge that joined its ring last
  std::vector<int> balance;         // of each edge, uses along it less uses against it
  for (std::uint32_t f = 0; f < b.faces(); ++f) {
    for (std::uint32_t j = b.faceStart[f]; j < b.faceStart[f + 1]; ++j) {
      std::uint32_t u = b.corners[j], v = b.corners[nextCorner(b, f, j)];
      const std::uint32_t key[3] = {std::min(u, v), std::max(u, v), 0};
      auto fresh = std::uint32_t(b.edges.size());
      std::uint32_t e = byEnds.findOrAdd(key, kv::PointIndex::hash(key), fresh);
      if (e == fresh) {
        b.edges.push_back({u, v, j});
        last.push_back(j);
        balance.push_back(0);
        for (std::uint32_t w : {u, v})
          if (b.vertexEdge[w] == kNone) b.vertexEdge[w] = e;
      } else {
        b.partner[j] = b.edges[e].coedge;
        b.partner[last[e]] = j;
        last[e] = j;
      }
      bool against = b.edges[e].start != u;
      b.coedgeEdge[j] = e << 1 | std::uint32_t(against);
      balance[e] += against ? -1 : 1;
    }
  }
  b.sheet = b.sheet || std::any_of(balance.begin(), balance.end(), [](int x) { return x != 0; });
}

// Six times the volume the faces enclose, by the divergence theorem over their fans.
double volume6(const Body& b) {
  double sum = 0;
  for (std::uint32_t f = 0; f < b.faces(); ++f) {
    std::uint32_t s = b.faceStart[f], e = b.faceStart[f + 1];
    gp_XYZ p0 = b.point(b.corners[s]);
    for (std::uint32_t j = s + 1; j + 1 < e; ++j)
      sum += p0.Dot(b.point(b.corners[j]).Crossed(b.point(b.corners[j + 1])));
  }
  return sum;
}

void build(const ON_Mesh& mesh, int options, Body& b) {
  if (mesh.FaceCount() == 0) throw MeshRefusal{"has no faces"};
  // Coedges are numbered in 32 bits, four at most to a face.
  if (mesh.FaceCount() > int(kNone / 8)) throw MeshRefusal{"has too many faces"};
  FaceCollector(mesh, options, b).run();
  if (b.faces() == 0) throw MeshRefusal{"has no face left: every face is degenerate"};
  b.sheet = options & KOACIS_SHEET;
  linkEdges(b);
  b.flip = !b.sheet && volume6(b) < 0;
}

// --- the file --------------------------------------------------------------------------------

// Record text into the file, a chunk at a time.
class Output {
public:
  Output(kv::file::Replacement& file, bool numbered) : file_(file), line_(text_, numbered) { text_.reserve(2 * kChunk); }

  template <class T>
  void put(long long number, T record) {
    sat::put(line_, number, record);
    if (text_.size() >= kChunk) flush();
  }
  void raw(std::string_view s) { text_ += s; }
  void flush() {
    if (int e = file_.write(text_)) throw FileFailure{e};
    text_.clear();
    line_.restart();
  }

private:
  kv::file::Replacement& file_;
  std::string text_;
  sat::Line line_;
};

// Where each body's items start in their blocks: the bodies' lists one after another.
struct Offsets {
  long long faces = 0, coedges = 0, edges = 0, vertices = 0;
};

class Writer {
public:
  Writer(const std::vector<Body>& bodies, Output& out) : bodies_(bodies), out_(out), n_(sizes()) {
    Offsets o;
    for (const Body& b : bodies_) {
      offsets_.push_back(o);
      o.faces += b.faces();
      o.coedges += (long long)b.corners.size();
      o.edges += (long long)b.edges.size();
      o.vertices += (long long)b.points.size();
    }
  }

  void run() {
    std::string head;
    sat::header(head, bodies_.size(), "Kavlor KOLib");
    out_.raw(head);
    topology();
    for (std::size_t i = 0; i < bodies_.size(); ++i) faces(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) loops(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) coedges(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) edges(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) vertices(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) points(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) planes(i);
    for (std::size_t i = 0; i < bodies_.size(); ++i) lines(i);
    out_.raw("End-of-ACIS-data\n");
    out_.flush();
  }

private:
  std::array<long long, sat::kBlocks> sizes() const {
    std::array<long long, sat::kBlocks> s{};
    for (const Body& b : bodies_) {
      for (sat::Block k : {sat::kBodies, sat::kLumps, sat::kShells}) s[k] += 1;
      for (sat::Block k : {sat::kFaces, sat::kLoops, sat::kSurfaces}) s[k] += b.faces();
      s[sat::kCoedges] += (long long)b.corners.size();
      for (sat::Block k : {sat::kEdges, sat::kCurves}) s[k] += (long long)b.edges.size();
      for (sat::Block k : {sat::kVertices, sat::kPoints}) s[k] += (long long)b.points.size();
    }
    return s;
  }

  // Bodies, lumps and shells: one each per mesh.
  void topology() {
    for (long long i = 0; i < (long long)bodies_.size(); ++i) {
      rec::Body x;
      x.lump = n_(sat::kLumps, i);
      out_.put(n_(sat::kBodies, i), x);
    }
    for (long long i = 0; i < (long long)bodies_.size(); ++i)
      out_.put(n_(sat::kLumps, i), rec::Lump{-1, n_(sat::kShells, i), n_(sat::kBodies, i)});
    for (long long i = 0; i < (long long)bodies_.size(); ++i) {
      rec::Shell x;
      x.face = n_(sat::kFaces, offsets_[std::size_t(i)].faces);
      x.lump = n_(sat::kLumps, i);
      out_.put(n_(sat::kShells, i), x);
    }
  }

  void faces(std::size_t i) {
    const Body& b = bodies_[i];
    long long first = offsets_[i].faces, count = b.faces();
    for (long long f = first; f < first + count; ++f) {
      rec::Face x;
      x.next = f + 1 < first + count ? n_(sat::kFaces, f + 1) : -1;
      x.loop = n_(sat::kLoops, f);
      x.shell = n_(sat::kShells, (long long)i);
      x.surface = n_(sat::kSurfaces, f);
      x.doubleSided = b.sheet;
      out_.put(n_(sat::kFaces, f), x);
    }
  }

  void loops(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t f = 0; f < b.faces(); ++f)
      out_.put(n_(sat::kLoops, o.faces + f),
               rec::Loop{-1, n_(sat::kCoedges, o.coedges + b.faceStart[f]), n_(sat::kFaces, o.faces + f)});
  }

  // A body turned over runs each loop the other way: next and previous swap, and every
  // coedge runs against the way it ran.
  void coedges(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t f = 0; f < b.faces(); ++f) {
      std::uint32_t s = b.faceStart[f], e = b.faceStart[f + 1];
      for (std::uint32_t j = s; j < e; ++j) {
        std::uint32_t next = nextCorner(b, f, j), prev = j > s ? j - 1 : e - 1;
        if (b.flip) std::swap(next, prev);
        rec::Coedge x;
        x.next = n_(sat::kCoedges, o.coedges + next);
        x.previous = n_(sat::kCoedges, o.coedges + prev);
        x.partner = b.partner[j] == kNone ? -1 : n_(sat::kCoedges, o.coedges + b.partner[j]);
        x.edge = n_(sat::kEdges, o.edges + (b.coedgeEdge[j] >> 1));
        x.reversed = bool(b.coedgeEdge[j] & 1) != b.flip;
        x.loop = n_(sat::kLoops, o.faces + f);
        out_.put(n_(sat::kCoedges, o.coedges + j), x);
      }
    }
  }

  // Each edge runs from its start vertex, parameter 0, to its end, parameter its length.
  void edges(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t e = 0; e < b.edges.size(); ++e) {
      const Body::Edge& edge = b.edges[e];
      rec::Edge x;
      x.start = n_(sat::kVertices, o.vertices + edge.start);
      x.startParameter = 0.0;
      x.end = n_(sat::kVertices, o.vertices + edge.end);
      x.endParameter = (b.point(edge.end) - b.point(edge.start)).Modulus();
      x.coedge = n_(sat::kCoedges, o.coedges + edge.coedge);
      x.curve = n_(sat::kCurves, o.edges + e);
      out_.put(n_(sat::kEdges, o.edges + e), x);
    }
  }

  void vertices(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t v = 0; v < b.points.size(); ++v)
      out_.put(n_(sat::kVertices, o.vertices + v),
               rec::Vertex{n_(sat::kEdges, o.edges + b.vertexEdge[v]), n_(sat::kPoints, o.vertices + v)});
  }

  void points(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t v = 0; v < b.points.size(); ++v) out_.put(n_(sat::kPoints, o.vertices + v), rec::Point{b.point(v)});
  }

  // Each face's plane through its first corner, the normal by the right hand over its corners
  // (against it when turned over), u along its first side.
  void planes(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t f = 0; f < b.faces(); ++f) {
      std::uint32_t s = b.faceStart[f];
      int count = int(b.faceStart[f + 1] - s);
      gp_XYZ p[4];
      for (int k = 0; k < count; ++k) p[k] = b.point(b.corners[s + std::uint32_t(k)]);
      rec::PlaneSurface x;
      x.root = p[0];
      x.normal = unit(normalOf(p, count));
      gp_XYZ side = p[1] - p[0];
      x.uDirection = unit(side - x.normal * side.Dot(x.normal));
      if (b.flip) x.normal.Reverse();
      out_.put(n_(sat::kSurfaces, o.faces + f), x);
    }
  }

  void lines(std::size_t i) {
    const Body& b = bodies_[i];
    const Offsets& o = offsets_[i];
    for (std::uint32_t e = 0; e < b.edges.size(); ++e) {
      rec::StraightCurve x;
      x.root = b.point(b.edges[e].start);
      x.direction = unit(b.point(b.edges[e].end) - x.root);
      out_.put(n_(sat::kCurves, o.edges + e), x);
    }
  }

  const std::vector<Body>& bodies_;
  Output& out_;
  sat::Numbering n_;
  std::vector<Offsets> offsets_;
};

// --- the calls -------------------------------------------------------------------------------

int fail(const std::string& reason) {
  lastError() = CString(reason);
  return 0;
}

std::string fileFailure(const std::string& path, int error) {
  return "Cannot write SAT file " + path + ": " + kv::file::describe(error);
}

// Bodies into the file at path through a replacement, so that a failure leaves no part of it.
int writeFile(const std::vector<Body>& bodies, const std::string& path, bool numbered) {
  kv::file::Replacement file;
  try {
    if (int e = file.open(path)) throw FileFailure{e};
    Output out(file, numbered);
    Writer(bodies, out).run();
    if (int e = file.commit()) throw FileFailure{e};
  } catch (const FileFailure& f) {
    return fail(fileFailure(path, f.error));
  } catch (const sat::WriteError& e) {
    return fail("Cannot write SAT file " + path + ": " + e.message);
  }
  return 1;
}

// Both forms: meshes named in reasons by their index unless there is only the one.
int meshesToSat(const std::vector<const ON_Mesh*>& meshes, bool named, const std::string& path, int options,
                int fileOptions) {
  if (int e = kv::fault::check(kv::fault::Call::MeshToSAT, EIO)) return fail(fileFailure(path, e));
  if ((options & ~kKnownOptions) != 0) return fail("Unknown bits in mesh option " + std::to_string(options));
  if ((fileOptions & ~kKnownFileOptions) != 0) return fail("Unknown bits in file option " + std::to_string(fileOptions));
  if (path.empty()) return fail("No SAT file name given");
  if (meshes.empty()) return fail("No mesh given");
  // A target that cannot take the file is refused before the work.
  if (int e = kv::file::checkReplace(path)) return fail(fileFailure(path, e));
  try {
    std::vector<Body> bodies(meshes.size());
    for (std::size_t i = 0; i < meshes.size(); ++i) {
      try {
        build(*meshes[i], options, bodies[i]);
      } catch (const MeshRefusal& r) {
        return fail((named ? "Mesh " + std::to_string(i) : std::string("Mesh")) + " " + r.reason);
      }
    }
    return writeFile(bodies, path, fileOptions & KOACIS_NUMBERED);
  } catch (const std::bad_alloc&) {
    return fail("Out of memory writing SAT file " + path);
  }
}

}  // namespace

int KOACISMesh::MeshToSAT(const ON_Mesh& mesh, CString path, int option) {
  return meshesToSat({&mesh}, false, path.str(), option, 0);
}

int KOACISMesh::MeshToSAT(const ON_ClassArray<ON_Mesh>& meshes, CString path, int option1, int option2) {
  std::vector<const ON_Mesh*> list;
  for (const ON_Mesh& m : meshes) list.push_back(&m);
  return meshesToSat(list, true, path.str(), option1, option2);
}

CString KOACISMesh::GetError() { return lastError(); }
