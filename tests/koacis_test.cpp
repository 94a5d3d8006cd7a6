// The closed library's SAT writer for meshes: the topology it writes (shared vertices and
// edges, partners, loops that run round their planes' normals), faces dropped and split,
// options, refusals that leave no file, and ezdxf's ACIS reader on our files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "kolib/koacis.h"
#include "modeler/solids.h"
#include "test_files.h"
#include "test_meshes.h"

namespace {

// --- our files as records ------------------------------------------------------------------

struct Record {
  long long number = -1;  // as written, -1 when the file writes none
  std::string type;
  std::vector<std::string> fields;  // after the 7.0 prefix (attribute, id, pattern)
};

struct Point {
  double x, y, z;
  bool operator<(const Point& o) const { return std::tie(x, y, z) < std::tie(o.x, o.y, o.z); }
  bool operator==(const Point& o) const { return x == o.x && y == o.y && z == o.z; }
};

Point operator-(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point cross(const Point& a, const Point& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A SAT file of ours, split into records as any reader would: three header lines, then
// records ending at '#' up to the end marker.
class Sat {
public:
  explicit Sat(const std::string& text) {
    std::istringstream in(text);
    std::string line, rest;
    for (int i = 0; i < 3 && std::getline(in, line); ++i) header_ += line + "\n";
    while (std::getline(in, line) && line != "End-of-ACIS-data") rest += line + " ";
    ended_ = line == "End-of-ACIS-data";
    std::istringstream tokens(rest);
    Record r;
    for (std::string t; tokens >> t;) {
      if (t == "#") {
        records_.push_back(r);
        r = Record();
      } else if (r.type.empty() && r.number < 0 && t[0] == '-') {
        r.number = -std::stoll(t);
      } else if (r.type.empty()) {
        r.type = t;
      } else {
        r.fields.push_back(t);
      }
    }
    for (Record& x : records_) x.fields.erase(x.fields.begin(), x.fields.begin() + 3);
  }

  const std::string& header() const { return header_; }
  bool ended() const { return ended_; }
  const std::vector<Record>& records() const { return records_; }
  int count(const std::string& type) const {
    return int(std::count_if(records_.begin(), records_.end(), [&](const Record& r) { return r.type == type; }));
  }
  // The record a pointer field names; null for $-1.
  const Record* at(const std::string& pointer) const {
    long long n = std::stoll(pointer.substr(1));
    return n < 0 ? nullptr : &records_.at(size_t(n));
  }
  long long index(const Record* r) const { return r - records_.data(); }
  Point point(const Record& vertex) const {
    const Record& p = *at(vertex.fields[1]);
    return {std::strtod(p.fields[0].c_str(), nullptr), std::strtod(p.fields[1].c_str(), nullptr),
            std::strtod(p.fields[2].c_str(), nullptr)};
  }
  // Where a coedge starts: its edge's start, or end when it runs against it.
  Point tail(const Record& coedge) const {
    const Record& edge = *at(coedge.fields[3]);
    return point(*at(edge.fields[coedge.fields[4] == "forward" ? 0 : 2]));
  }
  // A face's corners in loop order.
  std::vector<Point> corners(const Record& face) const {
    std::vector<Point> out;
    const Record* first = at(at(face.fields[1])->fields[1]);
    const Record* c = first;
    do {
      out.push_back(tail(*c));
      c = at(c->fields[0]);
    } while (c != first && out.size() < 100);
    return out;
  }

private:
  std::string header_;
  bool ended_ = false;
  std::vector<Record> records_;
};

struct Topology {
  int faces = 0, edges = 0, vertices = 0, freeEdges = 0;
  std::set<std::string> sides;  // "single", "double out", ...
};

// Every invariant a reader relies on, checked record by record: rings of coedges close and
// meet head to tail, partners ring round one edge running both ways, each loop runs round its
// plane's normal on the plane, every vertex and edge names a record that uses it.
Topology checkTopology(const Sat& s) {
  Topology t;
  for (const Record& r : s.records()) {
    if (r.type == "coedge") {
      const Record& next = *s.at(r.fields[0]);
      EXPECT_EQ(s.at(next.fields[1]), &r) << "previous of next of coedge " << s.index(&r);
      const Record& edge = *s.at(r.fields[3]);
      Point head = s.point(*s.at(edge.fields[r.fields[4] == "forward" ? 2 : 0]));
      EXPECT_TRUE(head == s.tail(next)) << "coedge " << s.index(&r) << " does not meet the next";
      const Record* partner = s.at(r.fields[2]);
      if (!partner) ++t.freeEdges;
      for (int steps = 0; partner && partner != &r && steps < 8; ++steps) {
        EXPECT_EQ(partner->fields[3], r.fields[3]) << "partner on another edge";
        partner = s.at(partner->fields[2]);
      }
      EXPECT_TRUE(!partner || partner == &r) << "partners of coedge " << s.index(&r) << " do not ring";
    } else if (r.type == "face") {
      ++t.faces;
      t.sides.insert(r.fields[6] + (r.fields.size() > 7 ? " " + r.fields[7] : ""));
      EXPECT_EQ(r.fields[5], "forward");
      const Record& plane = *s.at(r.fields[4]);
      auto num = [&](int i) { return std::strtod(plane.fields[size_t(i)].c_str(), nullptr); };
      Point root{num(0), num(1), num(2)}, normal{num(3), num(4), num(5)};
      std::vector<Point> c = s.corners(r);
      Point area{0, 0, 0};
      for (size_t i = 0; i < c.size(); ++i) {
        Point x = cross(c[i], c[(i + 1) % c.size()]);
        area = {area.x + x.x, area.y + x.y, area.z + x.z};
        EXPECT_LT(std::fabs(dot(c[i] - root, normal)), 1e-9) << "corner off the plane of face " << s.index(&r);
      }
      EXPECT_GT(dot(area, normal), 0) << "loop of face " << s.index(&r) << " runs against its normal";
    } else if (r.type == "edge") {
      ++t.edges;
      EXPECT_EQ(s.at(r.fields[4])->fields[3], "$" + std::to_string(s.index(&r)));
    } else if (r.type == "vertex") {
      ++t.vertices;
      const Record& edge = *s.at(r.fields[0]);
      std::string me = "$" + std::to_string(s.index(&r));
      EXPECT_TRUE(edge.fields[0] == me || edge.fields[2] == me) << "vertex " << s.index(&r) << "'s edge";
    }
  }
  return t;
}

// --- writing and reading back ----------------------------------------------------------------

class MeshToSat : public HostTest {
protected:
  std::string path(const std::string& name = "out.sat") const { return (dir_ / name).string(); }

  // Writes and reads our file back as records.
  Sat write(const ON_Mesh& mesh, int option = KOACIS_WELD, const std::string& name = "out.sat") {
    EXPECT_EQ(KOACISMesh::MeshToSAT(mesh, path(name).c_str(), option), 1) << KOACISMesh::GetError().GetString();
    return Sat(readFile(path(name)));
  }

  // The classes of what the host's import makes of the file, deleted afterwards.
  std::vector<std::string> import(const std::string& name = "out.sat") {
    AcDbVoidPtrArray made;
    EXPECT_EQ(AcDbBody::acisIn(path(name).c_str(), made), Acad::eOk);
    std::vector<std::string> classes;
    for (int i = 0; i < made.length(); ++i) {
      auto* e = static_cast<AcDbEntity*>(made[i]);
      classes.push_back(e->isA()->name());
      delete e;
    }
    return classes;
  }

  // Writing fails with exactly `reason` and leaves the folder as it was.
  void refused(const ON_Mesh& mesh, const std::string& target, int option, const std::string& reason) {
    std::vector<std::string> before = namesIn(dir_.path());
    EXPECT_EQ(KOACISMesh::MeshToSAT(mesh, target.c_str(), option), 0);
    EXPECT_EQ(std::string(KOACISMesh::GetError().GetString()), reason);
    EXPECT_EQ(namesIn(dir_.path()), before);
  }

  ScratchFolder dir_;
};

using Types = std::map<std::string, int>;

Types typesOf(const Sat& s) {
  Types out;
  for (const Record& r : s.records()) ++out[r.type];
  return out;
}

TEST_F(MeshToSat, ClosedBoxesAreSolidsSharingEveryVertexAndEdge) {
  Sat quads = write(boxMesh());
  EXPECT_TRUE(quads.ended());
  EXPECT_EQ(quads.header().substr(0, 9), "700 0 1 0");
  EXPECT_EQ(typesOf(quads), (Types{{"body", 1}, {"lump", 1}, {"shell", 1}, {"face", 6}, {"loop", 6},
                                   {"coedge", 24}, {"edge", 12}, {"vertex", 8}, {"point", 8},
                                   {"plane-surface", 6}, {"straight-curve", 12}}));
  Topology t = checkTopology(quads);
  EXPECT_EQ(t.vertices - t.edges + t.faces, 2);
  EXPECT_EQ(t.freeEdges, 0);
  EXPECT_EQ(t.sides, std::set<std::string>{"single"});
  EXPECT_EQ(import(), std::vector<std::string>{"AcDb3dSolid"});

  Sat triangles = write(boxTriangles());
  t = checkTopology(triangles);
  EXPECT_EQ(t.faces, 12);
  EXPECT_EQ(t.edges, 18);
  EXPECT_EQ(t.vertices, 8);
  EXPECT_EQ(t.freeEdges, 0);
  EXPECT_EQ(import(), std::vector<std::string>{"AcDb3dSolid"});

  Sat sphere = write(sphereMesh(1, 40, 20));
  t = checkTopology(sphere);
  EXPECT_EQ(t.faces, 2 * 40 * 19);
  EXPECT_EQ(t.vertices - t.edges + t.faces, 2);
  EXPECT_EQ(t.sides, std::set<std::string>{"single"});
}

TEST_F(MeshToSat, OpenMeshesAndTheSheetOptionGiveDoubleSidedBodies) {
  ON_Mesh open = boxMesh();
  open.m_F.Remove(1);  // the top
  Topology t = checkTopology(write(open));
  EXPECT_EQ(t.freeEdges, 4);
  EXPECT_EQ(t.vertices - t.edges + t.faces, 1);
  EXPECT_EQ(t.sides, std::set<std::string>{"double out"});
  EXPECT_EQ(import(), std::vector<std::string>{"AcDbBody"});

  t = checkTopology(write(boxMesh(), KOACIS_WELD | KOACIS_SHEET));
  EXPECT_EQ(t.freeEdges, 0);
  EXPECT_EQ(t.sides, std::set<std::string>{"double out"});
  EXPECT_EQ(import(), std::vector<std::string>{"AcDbBody"});
}

// The box with a vertex of its own at each corner of each face.
ON_Mesh unshared(const ON_Mesh& m) {
  ON_Mesh out;
  for (const ON_MeshFace& f : m.m_F) {
    int first = out.VertexCount();
    for (int k = 0; k < 4; ++k) out.SetVertex(first + k, m.m_V[f.vi[k]]);
    out.SetQuad(out.FaceCount(), first, first + 1, first + 2, first + 3);
  }
  return out;
}

TEST_F(MeshToSat, WeldingJoinsExactlyEqualCoordinates) {
  ON_Mesh separate = unshared(boxMesh());
  // -0 is 0.
  for (ON_3fPoint& p : separate.m_V)
    if (p.x == 0 && &p - separate.m_V.Array() >= 12) p.x = -0.0f;
  Topology welded = checkTopology(write(separate, KOACIS_WELD));
  EXPECT_EQ(welded.vertices, 8);
  EXPECT_EQ(welded.edges, 12);
  EXPECT_EQ(welded.sides, std::set<std::string>{"single"});

  Topology asIndexed = checkTopology(write(separate, 0));
  EXPECT_EQ(asIndexed.vertices, 24);
  EXPECT_EQ(asIndexed.edges, 24);
  EXPECT_EQ(asIndexed.freeEdges, 24);

  // One corner one step of single precision away stays a vertex of its own.
  separate.m_V[0].x = std::nextafter(separate.m_V[0].x, 1.0f);
  Topology nearly = checkTopology(write(separate, KOACIS_WELD));
  EXPECT_EQ(nearly.vertices, 9);
  EXPECT_EQ(nearly.sides, std::set<std::string>{"double out"});
}

TEST_F(MeshToSat, DegenerateFacesAreDroppedAndQuadsLosingACornerAreTriangles) {
  ON_Mesh m;
  const ON_3dPoint p[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {1, 0, 0}, {5, 5, 5}};
  for (int i = 0; i < 6; ++i) m.SetVertex(i, p[i]);
  m.SetTriangle(0, 0, 1, 2);     // kept
  m.SetTriangle(1, 0, 0, 2);     // a repeated vertex
  m.SetTriangle(2, 1, 4, 2);     // two vertices at one place, unwelded
  m.SetTriangle(3, 0, 1, 3);     // on one line
  m.SetQuad(4, 0, 1, 1, 5);      // a repeated corner: a triangle
  m.SetQuad(5, 0, 5, 0, 5);      // two corners, each twice
  m.SetQuad(6, 0, 1, 4, 5);      // a corner at the place of the one before: a triangle
  Sat s = write(m, 0);
  Topology t = checkTopology(s);
  EXPECT_EQ(t.faces, 3);
  EXPECT_EQ(s.count("coedge"), 9);
  // The unused vertex 3 and the dropped faces' vertices leave no record.
  EXPECT_EQ(t.vertices, 4);
}

// Whether the file has an edge between the two points.
bool hasEdge(const Sat& s, const Point& a, const Point& b) {
  for (const Record& r : s.records()) {
    if (r.type != "edge") continue;
    Point u = s.point(*s.at(r.fields[0])), v = s.point(*s.at(r.fields[2]));
    if ((u == a && v == b) || (u == b && v == a)) return true;
  }
  return false;
}

TEST_F(MeshToSat, QuadsAreOneFaceOnlyWhenPlanarAndSimple) {
  auto quad = [](std::vector<ON_3dPoint> c) {
    ON_Mesh m;
    for (int i = 0; i < 4; ++i) m.SetVertex(i, c[size_t(i)]);
    m.SetQuad(0, 0, 1, 2, 3);
    return m;
  };
  ON_Mesh square = quad({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  EXPECT_EQ(checkTopology(write(square)).faces, 1);
  EXPECT_EQ(checkTopology(write(square, KOACIS_WELD | KOACIS_TRIANGLES)).faces, 2);
  // Concave but planar: one face with a reflex corner.
  EXPECT_EQ(checkTopology(write(quad({{0, 0, 0}, {2, 1, 0}, {0, 2, 0}, {0.5, 1, 0}}))).faces, 1);
  // Crossed: two triangles along 0-2, facing opposite ways as the crossed halves do.
  Sat crossed = write(quad({{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}}));
  EXPECT_EQ(crossed.count("face"), 2);
  EXPECT_TRUE(hasEdge(crossed, {0, 0, 0}, {1, 0, 0}));
  // Bent: two triangles, along the diagonal that keeps both facing the quad's way.
  Sat bent = write(quad({{0, 0, 0}, {2, 1, 0}, {0, 2, 0}, {0.5, 1, 0.25}}));
  Topology t = checkTopology(bent);
  EXPECT_EQ(t.faces, 2);
  EXPECT_TRUE(hasEdge(bent, {2, 1, 0}, {0.5, 1, 0.25}));
  EXPECT_FALSE(hasEdge(bent, {0, 0, 0}, {0, 2, 0}));
  // A corner off the plane by far less than single precision's step is off it all the same.
  EXPECT_EQ(write(quad({{0, 0, 0}, {1, 0, 0}, {1, 1, 1e-9}, {0, 1, 0}})).count("face"), 2);
}

TEST_F(MeshToSat, InwardFacingSolidsAreTurnedOutwardsSheetsKeepTheirWay) {
  ON_Mesh inward = boxMesh();
  for (ON_MeshFace& f : inward.m_F) std::swap(f.vi[1], f.vi[3]);
  ASSERT_LT(signedVolume(inward), 0);
  Sat s = write(inward);
  checkTopology(s);
  // Every plane faces away from the box's centre.
  for (const Record& r : s.records()) {
    if (r.type != "plane-surface") continue;
    auto num = [&](int i) { return std::strtod(r.fields[size_t(i)].c_str(), nullptr); };
    EXPECT_GT(dot(Point{num(0), num(1), num(2)} - Point{0.5, 1, 1.5}, Point{num(3), num(4), num(5)}), 0);
  }
  // An open mesh is left facing the way it faces.
  inward.m_F.Remove(0);
  Sat sheet = write(inward);
  checkTopology(sheet);
  const Record& plane = *sheet.at(sheet.records()[3].fields[4]);
  EXPECT_EQ(plane.fields[3] + " " + plane.fields[4] + " " + plane.fields[5], "0 0 -1");  // the top, turned in
}

TEST_F(MeshToSat, ListFormWritesABodyPerMeshInOrder) {
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(boxMesh());
  meshes.Append(boxMesh(1, 1, 1, ON_3dPoint(10, 0, 0)));
  ON_Mesh open = boxMesh(2, 2, 2, ON_3dPoint(20, 0, 0));
  open.m_F.Remove(5);
  meshes.Append(open);
  ASSERT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, 0), 1);
  Sat s(readFile(path()));
  EXPECT_EQ(s.header().substr(0, 9), "700 0 3 0");
  EXPECT_EQ(s.count("body"), 3);
  EXPECT_EQ(s.count("lump"), 3);
  EXPECT_EQ(s.count("shell"), 3);
  Topology t = checkTopology(s);
  EXPECT_EQ(t.faces, 17);
  EXPECT_EQ(t.freeEdges, 4);
  EXPECT_EQ(t.sides, (std::set<std::string>{"single", "double out"}));
  for (const Record& r : s.records()) EXPECT_EQ(r.number, -1) << "numbered " << r.type;

  AcDbVoidPtrArray made;
  ASSERT_EQ(AcDbBody::acisIn(path().c_str(), made), Acad::eOk);
  ASSERT_EQ(made.length(), 3);
  const char* classes[] = {"AcDb3dSolid", "AcDb3dSolid", "AcDbBody"};
  for (int i = 0; i < 3; ++i) {
    auto* e = static_cast<AcDbEntity*>(made[i]);
    EXPECT_STREQ(e->isA()->name(), classes[i]);
    AcDbExtents box;
    EXPECT_EQ(e->getGeomExtents(box), Acad::eOk);
    EXPECT_NEAR(box.minPoint().x, 10.0 * i, 1e-9);
    delete e;
  }

  // Numbered, every record carries its place.
  ASSERT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, KOACIS_NUMBERED), 1);
  Sat numbered(readFile(path()));
  ASSERT_EQ(numbered.records().size(), s.records().size());
  for (size_t i = 0; i < numbered.records().size(); ++i) EXPECT_EQ(numbered.records()[i].number, (long long)i);
}

TEST_F(MeshToSat, RefusedMeshesAndOptionsLeaveNoFile) {
  refused(ON_Mesh(), path(), KOACIS_WELD, "Mesh has no faces");
  ON_Mesh bad = boxMesh();
  bad.m_F[1].vi[2] = 8;
  refused(bad, path(), KOACIS_WELD, "Mesh face 1 has a vertex index out of range");
  bad.m_F[1].vi[2] = -1;
  refused(bad, path(), KOACIS_WELD, "Mesh face 1 has a vertex index out of range");
  ON_Mesh nan = boxMesh();
  nan.m_V[2].y = std::numeric_limits<float>::quiet_NaN();
  refused(nan, path(), KOACIS_WELD, "Mesh vertex 2 is not finite");
  nan.m_V[2].y = std::numeric_limits<float>::infinity();
  refused(nan, path(), 0, "Mesh vertex 2 is not finite");
  ON_Mesh flat;
  for (int i = 0; i < 3; ++i) flat.SetVertex(i, ON_3dPoint(i, i, i));
  flat.SetTriangle(0, 0, 1, 2);
  flat.SetTriangle(1, 0, 0, 1);
  refused(flat, path(), KOACIS_WELD, "Mesh has no face left: every face is degenerate");
  refused(boxMesh(), path(), 8, "Unknown bits in mesh option 8");
  refused(boxMesh(), path(), -1, "Unknown bits in mesh option -1");
  refused(boxMesh(), "", KOACIS_WELD, "No SAT file name given");

  ON_ClassArray<ON_Mesh> meshes;
  EXPECT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, 0), 0);
  EXPECT_STREQ(KOACISMesh::GetError().GetString(), "No mesh given");
  meshes.Append(boxMesh());
  meshes.Append(ON_Mesh());
  EXPECT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, 0), 0);
  EXPECT_STREQ(KOACISMesh::GetError().GetString(), "Mesh 1 has no faces");
  EXPECT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, 4), 0);
  EXPECT_STREQ(KOACISMesh::GetError().GetString(), "Unknown bits in file option 4");
  EXPECT_TRUE(namesIn(dir_.path()).empty());

  // A success leaves the last reason as it was.
  write(boxMesh());
  EXPECT_STREQ(KOACISMesh::GetError().GetString(), "Unknown bits in file option 4");
}

TEST_F(MeshToSat, TargetsThatCannotTakeTheFileAreLeftAsTheyWere) {
  std::string missing = path("no/such/folder.sat");
  refused(boxMesh(), missing, KOACIS_WELD, "Cannot write SAT file " + missing + ": No such file or directory");
  for (const std::string& node : makeNotRegularFiles(dir_.path().string())) {
    std::string before = nodeState(node);
    EXPECT_EQ(KOACISMesh::MeshToSAT(boxMesh(), node.c_str(), KOACIS_WELD), 0) << node;
    EXPECT_EQ(std::string(KOACISMesh::GetError().GetString()), "Cannot write SAT file " + node + ": not a regular file");
    EXPECT_EQ(nodeState(node), before) << node;
  }
  // A read-only file keeps its text; a writable one is replaced whole.
  writeFile(path("kept.sat"), "theirs");
  chmod(path("kept.sat").c_str(), 0444);
  refused(boxMesh(), path("kept.sat"), KOACIS_WELD, "Cannot write SAT file " + path("kept.sat") + ": Permission denied");
  EXPECT_EQ(readFile(path("kept.sat")), "theirs");
  writeFile(path("old.sat"), std::string(100000, 'x'));
  Sat replaced = write(boxMesh(), KOACIS_WELD, "old.sat");
  EXPECT_EQ(replaced.count("face"), 6);
  // Windows separators name the same file.
  std::string windows = path("win.sat");
  std::replace(windows.begin(), windows.end(), '/', '\\');
  EXPECT_EQ(KOACISMesh::MeshToSAT(boxMesh(), windows.c_str(), KOACIS_WELD), 1);
  EXPECT_EQ(Sat(readFile(path("win.sat"))).count("face"), 6);
}

TEST_F(MeshToSat, FailuresWhileWritingLeaveNoPartOfTheFile) {
  ON_Mesh sphere = sphereMesh(1, 100, 50);  // several chunks of text
  kv::fault::arm(kv::fault::Call::fileWrite, 3);
  refused(sphere, path(), KOACIS_WELD, "Cannot write SAT file " + path() + ": No space left on device");
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::fileWrite), 1);
  kv::fault::arm(kv::fault::Call::fileRename, 1);
  refused(sphere, path(), KOACIS_WELD, "Cannot write SAT file " + path() + ": Permission denied");
  kv::fault::arm(kv::fault::Call::MeshToSAT, 1);
  refused(sphere, path(), KOACIS_WELD, "Cannot write SAT file " + path() + ": Input/output error");
  kv::fault::arm(kv::fault::Call::MeshToSAT, 1, ENOSPC);
  refused(sphere, path(), KOACIS_WELD, "Cannot write SAT file " + path() + ": No space left on device");
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::MeshToSAT), 2);
  // Asked once a call, and not again by its own file writing.
  EXPECT_EQ(KOACISMesh::MeshToSAT(sphere, path().c_str(), KOACIS_WELD), 1);
  EXPECT_EQ(kv::fault::calls(kv::fault::Call::MeshToSAT), 5);
}

// --- ezdxf's ACIS reader ------------------------------------------------------------------------

using Face = std::vector<Point>;

// Each face from its lowest corner on, so that where a loop starts does not count.
Face rotated(Face f) {
  std::rotate(f.begin(), std::min_element(f.begin(), f.end()), f.end());
  return f;
}

// The faces ezdxf reads from the file, body after body.
std::vector<std::vector<Face>> ezdxfFaces(const std::string& file) {
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_sat_mesh.py read " + file, status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::vector<Face>> bodies;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "body") bodies.emplace_back();
    if (kind != "face" || bodies.empty()) continue;
    Face f;
    for (std::string x, y, z; words >> x >> y >> z;)
      f.push_back({std::strtod(x.c_str(), nullptr), std::strtod(y.c_str(), nullptr), std::strtod(z.c_str(), nullptr)});
    bodies.back().push_back(rotated(f));
  }
  for (auto& b : bodies) std::sort(b.begin(), b.end());
  return bodies;
}

// The mesh's faces as corner points, sorted as ezdxfFaces sorts them.
std::vector<Face> meshFaces(const ON_Mesh& m) {
  std::vector<Face> out;
  for (const ON_MeshFace& f : m.m_F) {
    Face face;
    for (int k = 0; k < (f.IsQuad() ? 4 : 3); ++k) face.push_back({m.m_V[f.vi[k]].x, m.m_V[f.vi[k]].y, m.m_V[f.vi[k]].z});
    out.push_back(rotated(face));
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(MeshToSat, EzdxfReadsOurFilesBackToTheSameMeshes) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  ON_Mesh sphere = sphereMesh(2.5, 30, 15);
  for (ON_3fPoint& p : sphere.m_V) p = ON_3fPoint(p.x + 0.1f, p.y - 7.3f, p.z + 1e-3f);
  ON_Mesh open = boxMesh(3, 2, 1, ON_3dPoint(-1, -2, 0.5));
  open.m_F.Remove(3);
  ON_ClassArray<ON_Mesh> meshes;
  for (const ON_Mesh* m : {&sphere, &open}) meshes.Append(*m);
  for (int numbered : {0, KOACIS_NUMBERED}) {
    ASSERT_EQ(KOACISMesh::MeshToSAT(meshes, path().c_str(), KOACIS_WELD, numbered), 1);
    std::vector<std::vector<Face>> bodies = ezdxfFaces(path());
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], meshFaces(sphere));
    EXPECT_EQ(bodies[1], meshFaces(open));
  }
}

}  // namespace
