// The closed library's STL reader: welding, dropped facets, refusals and other writers' files.
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRep_Tool.hxx>
#include <Poly_Triangulation.hxx>
#include <StlAPI_Writer.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include <gtest/gtest.h>

#include "kolib/kostl.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

using Tri = std::array<float, 9>;

std::string binaryStl(const std::vector<Tri>& tris, const char* header = "test") {
  std::string bytes(80, '\0');
  std::memcpy(bytes.data(), header, std::min<size_t>(std::strlen(header), 80));
  auto n = std::uint32_t(tris.size());
  bytes.append(reinterpret_cast<const char*>(&n), 4);
  for (const Tri& t : tris) {
    bytes.append(12, '\0');
    bytes.append(reinterpret_cast<const char*>(t.data()), 36);
    bytes.append(2, '\0');
  }
  return bytes;
}

std::string asciiStl(const std::vector<Tri>& tris) {
  std::string s = "solid test\n";
  char line[128];
  for (const Tri& t : tris) {
    s += " facet normal 0 0 0\n  outer loop\n";
    for (int c = 0; c < 3; ++c) {
      std::snprintf(line, sizeof line, "   vertex %.9g %.9g %.9g\n", t[3 * c], t[3 * c + 1], t[3 * c + 2]);
      s += line;
    }
    s += "  endloop\n endfacet\n";
  }
  return s + "endsolid test\n";
}

// A closed tetrahedron, outward.
const std::vector<Tri> kTetra = {
    Tri{0, 0, 0, 0, 1, 0, 1, 0, 0},
    Tri{0, 0, 0, 1, 0, 0, 0, 0, 1},
    Tri{0, 0, 0, 0, 0, 1, 0, 1, 0},
    Tri{1, 0, 0, 0, 1, 0, 0, 0, 1},
};

std::set<std::tuple<float, float, float>> pointSet(const ON_Mesh& mesh) {
  std::set<std::tuple<float, float, float>> s;
  for (const ON_3fPoint& p : mesh.m_V) s.insert({p.x, p.y, p.z});
  return s;
}

}  // namespace

class StlReader : public ::testing::Test {
protected:
  std::string write(const std::string& bytes, const char* name = "t.stl") {
    std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  // Reads bytes; on failure the mesh must be empty and the reason one line holding `reason`.
  int read(const std::string& bytes, ON_Mesh& mesh, const char* reason = nullptr) {
    int ok = KOSTL::STLToMesh(write(bytes).c_str(), mesh);
    if (!ok) {
      std::string text = KOSTL::GetError().GetString();
      EXPECT_FALSE(text.empty());
      EXPECT_EQ(text.find('\n'), std::string::npos) << text;
      if (reason) {
        EXPECT_NE(text.find(reason), std::string::npos) << text;
      }
      EXPECT_TRUE(mesh.IsEmpty());
    }
    return ok;
  }

  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST_F(StlReader, BinaryAndAsciiWeldCornersIntoSharedVertices) {
  for (const std::string& bytes : {binaryStl(kTetra), asciiStl(kTetra)}) {
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(9, 9, 9));  // emptied first
    ASSERT_EQ(read(bytes, mesh), 1) << KOSTL::GetError().GetString();
    ASSERT_EQ(mesh.VertexCount(), 4);
    ASSERT_EQ(mesh.FaceCount(), 4);
    for (const ON_MeshFace& f : mesh.m_F) EXPECT_TRUE(f.IsTriangle());
    // The first facet's corners, in file order.
    EXPECT_EQ(mesh.m_V[mesh.m_F[0].vi[0]], ON_3fPoint(0, 0, 0));
    EXPECT_EQ(mesh.m_V[mesh.m_F[0].vi[1]], ON_3fPoint(0, 1, 0));
    EXPECT_EQ(mesh.m_V[mesh.m_F[0].vi[2]], ON_3fPoint(1, 0, 0));
    EXPECT_TRUE(mesh.IsValid());
  }
}

TEST_F(StlReader, MinusZeroWeldsWithZeroAndNearlyEqualPointsStayApart) {
  std::vector<Tri> tris = kTetra;
  tris[1][0] = -0.0f;  // the shared origin, written as -0
  tris[2][2] = -0.0f;
  tris[3][0] = std::nextafter(1.0f, 2.0f);  // one ulp off: a vertex of its own
  ON_Mesh mesh;
  ASSERT_EQ(read(binaryStl(tris), mesh), 1);
  EXPECT_EQ(mesh.VertexCount(), 5);
  for (const ON_3fPoint& p : mesh.m_V) EXPECT_FALSE(std::signbit(p.x) || std::signbit(p.y) || std::signbit(p.z));
}

TEST_F(StlReader, FacetsWithFewerThanThreeDistinctCornersAreDroppedWithoutTraces) {
  std::vector<Tri> tris = kTetra;
  tris.insert(tris.begin() + 1, Tri{0, 0, 0, 0, 0, 0, 5, 5, 5});  // a pole facet
  tris.push_back(Tri{7, 7, 7, 7, 7, 7, 7, 7, 7});
  tris.push_back(Tri{0, 0, -0.0f, 3, 3, 3, 0, -0.0f, 0});  // collapses only once -0 is 0
  for (const std::string& bytes : {binaryStl(tris), asciiStl(tris)}) {
    ON_Mesh mesh;
    ASSERT_EQ(read(bytes, mesh), 1);
    EXPECT_EQ(mesh.FaceCount(), 4);
    EXPECT_EQ(mesh.VertexCount(), 4) << "no vertex is left over from a dropped facet";
  }
  ON_Mesh mesh;
  EXPECT_EQ(read(binaryStl({Tri{1, 2, 3, 1, 2, 3, 4, 5, 6}}), mesh, "no facets"), 0);
  EXPECT_EQ(read(binaryStl({}), mesh, "no facets"), 0);
}

// Far more distinct corners than either form's first guess at the vertex count (half the
// facet count, or one vertex per 500 bytes of text): the welding table grows three times or
// more, up to sizes mapped straight from the system. Half of the facets reuse a corner from
// anywhere before, written with -0 for its zeros. Every corner must still answer with the
// first vertex at its place.
TEST_F(StlReader, WeldingStaysExactWhileItsTableGrows) {
  auto point = [](std::uint32_t j) { return std::array<float, 3>{float(j % 181), float(j / 181 % 181), float(j) * 0.5f}; };
  const std::uint32_t facets = 32768;
  std::vector<Tri> tris;
  std::uint32_t made = 0;
  for (std::uint32_t i = 0; i < facets; ++i) {
    std::array<float, 3> c[3] = {point(made), point(made + 1), {}};
    made += 2;
    if (i % 2 == 0) {
      c[2] = point(made++);
    } else {
      c[2] = point(std::uint32_t(i * 2654435761u % (made - 2)));
      for (float& x : c[2]) x = x == 0 ? -0.0f : x;
    }
    tris.push_back(Tri{c[0][0], c[0][1], c[0][2], c[1][0], c[1][1], c[1][2], c[2][0], c[2][1], c[2][2]});
  }
  // The independent answer: vertices numbered in order of first appearance.
  std::map<std::tuple<float, float, float>, int> first;
  std::vector<int> expected;
  for (const Tri& t : tris)
    for (int c = 0; c < 3; ++c) {
      auto key = std::make_tuple(t[3 * c] + 0.0f, t[3 * c + 1] + 0.0f, t[3 * c + 2] + 0.0f);
      expected.push_back(first.emplace(key, int(first.size())).first->second);
    }
  ASSERT_EQ(first.size(), size_t(made));

  for (const std::string& bytes : {binaryStl(tris), asciiStl(tris)}) {
    ON_Mesh mesh;
    ASSERT_EQ(read(bytes, mesh), 1) << KOSTL::GetError().GetString();
    ASSERT_EQ(mesh.VertexCount(), int(made));
    ASSERT_EQ(mesh.FaceCount(), int(facets));
    int wrong = 0;
    for (std::uint32_t f = 0; f < facets; ++f) {
      const ON_MeshFace& face = mesh.m_F[int(f)];
      wrong += face.vi[3] != face.vi[2];
      for (int c = 0; c < 3; ++c) {
        const float* at = &tris[f][size_t(3 * c)];
        wrong += face.vi[c] != expected[3 * f + size_t(c)] || mesh.m_V[face.vi[c]] != ON_3fPoint(at[0], at[1], at[2]);
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(StlReader, BrokenBinaryFilesAreRefusedWithTheirReason) {
  ON_Mesh mesh;
  EXPECT_EQ(KOSTL::STLToMesh((dir_ / "missing.stl").c_str(), mesh), 0);
  EXPECT_NE(std::string(KOSTL::GetError().GetString()).find("Cannot open"), std::string::npos);
  EXPECT_EQ(KOSTL::STLToMesh(dir_.c_str(), mesh), 0);  // a folder
  EXPECT_EQ(KOSTL::STLToMesh(nullptr, mesh), 0);

  std::string good = binaryStl(kTetra);
  EXPECT_EQ(read("", mesh, "empty"), 0);
  EXPECT_EQ(read(good.substr(0, 40), mesh, "shorter than the 84-byte"), 0);
  EXPECT_EQ(read(good.substr(0, good.size() - 1), mesh, "Truncated"), 0);
  EXPECT_EQ(read(good + "xx", mesh, "disagrees"), 0);

  std::string huge = good;
  std::uint32_t claim = 0xFFFFFFFFu;  // never believed before the size is checked
  std::memcpy(huge.data() + 80, &claim, 4);
  EXPECT_EQ(read(huge, mesh, "Truncated"), 0);

  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    std::vector<Tri> tris = kTetra;
    tris[2][4] = bad;
    EXPECT_EQ(read(binaryStl(tris), mesh, "facet 3"), 0) << bad;
  }
  // A non-finite normal is not a coordinate: normals are not read.
  std::string odd = good;
  float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(odd.data() + 84, &nan, 4);
  EXPECT_EQ(read(odd, mesh), 1);
  EXPECT_EQ(mesh.FaceCount(), 4);
}

TEST_F(StlReader, EveryTruncatedLengthOfABinaryFileIsRefused) {
  std::string good = binaryStl(kTetra);
  ON_Mesh mesh;
  for (size_t n = 0; n < good.size(); ++n) {
    mesh.SetVertex(0, ON_3dPoint(1, 2, 3));
    EXPECT_EQ(read(good.substr(0, n), mesh), 0) << n;
  }
  EXPECT_EQ(read(good, mesh), 1);
}

TEST_F(StlReader, EveryTruncatedLengthOfAnAsciiFileIsRefused) {
  std::string good = asciiStl(kTetra);
  size_t last = good.rfind("endsolid") + std::strlen("endsolid");
  ON_Mesh mesh;
  for (size_t n = 0; n < last; ++n) EXPECT_EQ(read(good.substr(0, n), mesh), 0) << n << ": " << good.substr(0, n);
  EXPECT_EQ(read(good.substr(0, last), mesh), 1);
}

TEST_F(StlReader, BrokenAsciiFilesAreRefusedWithTheirLine) {
  const std::string good = asciiStl(kTetra);
  auto broken = [&](const char* from, const char* to) {
    std::string s = good;
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, std::strlen(from), to);
  };
  ON_Mesh mesh;
  EXPECT_EQ(read(broken("endloop", "endlop"), mesh, "line 7: expected 'endloop'"), 0);
  EXPECT_EQ(read(broken("vertex 0 1 0", "vertex 0 1"), mesh, "line 6: expected a number"), 0);
  EXPECT_EQ(read(broken("vertex 0 1 0", "vertex 0 nan 0"), mesh, "coordinate not finite"), 0);
  EXPECT_EQ(read(broken("vertex 0 1 0", "vertex 0 1e39 0"), mesh, "coordinate not finite"), 0);
  EXPECT_EQ(read(broken("vertex 0 1 0", "vertex 0 -inf 0"), mesh, "coordinate not finite"), 0);
  EXPECT_EQ(read(broken("outer loop", "outer"), mesh, "expected 'outer loop'"), 0);
  EXPECT_EQ(read(broken("endsolid test", "solid again"), mesh, "expected 'facet' or 'endsolid'"), 0);
  EXPECT_EQ(read("solid x\n", mesh, "before its first facet"), 0);
  EXPECT_EQ(read(good.substr(0, good.rfind("endsolid")), mesh, "ends before 'endsolid'"), 0);
}

TEST_F(StlReader, AsciiReadsWhatOtherWritersWrite) {
  // Upper-case keywords, CRLF line ends, tabs, '+' signs, two solids in one file.
  std::string text =
      "SOLID first\r\n\tFACET NORMAL 0 0 -1\r\n\t\tOUTER LOOP\r\n\t\t\tVERTEX 0 0 0\r\n\t\t\tVERTEX +0 1 0\r\n"
      "\t\t\tVERTEX 1.0e0 0 0\r\n\t\tENDLOOP\r\n\tENDFACET\r\nENDSOLID first\r\n";
  text += asciiStl({kTetra[1], kTetra[2], kTetra[3]});
  ON_Mesh mesh;
  ASSERT_EQ(read(text, mesh), 1) << KOSTL::GetError().GetString();
  EXPECT_EQ(mesh.FaceCount(), 4);
  EXPECT_EQ(mesh.VertexCount(), 4);
}

TEST_F(StlReader, BinaryHeaderStartingWithSolidIsStillBinary) {
  ON_Mesh mesh;
  ASSERT_EQ(read(binaryStl(kTetra, "solid written by a careless exporter"), mesh), 1) << KOSTL::GetError().GetString();
  EXPECT_EQ(mesh.FaceCount(), 4);
}

TEST_F(StlReader, PathsTakeWindowsSeparators) {
  write(binaryStl(kTetra), "win.stl");
  std::string path = dir_.string() + "\\win.stl";
  ON_Mesh mesh;
  EXPECT_EQ(KOSTL::STLToMesh(path.c_str(), mesh), 1) << KOSTL::GetError().GetString();
}

TEST_F(StlReader, AFailedReadLeavesTheReasonUntilTheNextFailure) {
  ON_Mesh mesh;
  ASSERT_EQ(read("", mesh), 0);
  CString reason = KOSTL::GetError();
  ASSERT_EQ(read(binaryStl(kTetra), mesh), 1);
  EXPECT_EQ(KOSTL::GetError(), reason);
}

// Open CASCADE's own writer, binary and ASCII, read to the distinct points of its faceting.
TEST_F(StlReader, ReadsOpenCascadeWriterOutputToTheSameSharedVertices) {
  TopoDS_Shape shapes[] = {BRepPrimAPI_MakeBox(2, 3, 4).Shape(), BRepPrimAPI_MakeSphere(1).Shape()};
  for (const TopoDS_Shape& shape : shapes) {
    BRepMesh_IncrementalMesh(shape, 0.05, Standard_False, 0.3, Standard_False);
    // The points that facets with three distinct corners use, in single precision.
    std::set<std::tuple<float, float, float>> expected;
    size_t kept = 0;
    for (TopExp_Explorer ex(shape, TopAbs_FACE); ex.More(); ex.Next()) {
      TopLoc_Location loc;
      Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(ex.Current()), loc);
      for (int t = 1; t <= tri->NbTriangles(); ++t) {
        int idx[3];
        tri->Triangle(t).Get(idx[0], idx[1], idx[2]);
        std::tuple<float, float, float> p[3];
        for (int c = 0; c < 3; ++c) {
          gp_Pnt q = tri->Node(idx[c]).Transformed(loc.Transformation());
          p[c] = {float(q.X()) + 0.0f, float(q.Y()) + 0.0f, float(q.Z()) + 0.0f};
        }
        if (p[0] == p[1] || p[1] == p[2] || p[0] == p[2]) continue;
        ++kept;
        expected.insert(p, p + 3);
      }
    }
    for (bool ascii : {false, true}) {
      StlAPI_Writer writer;
      writer.ASCIIMode() = ascii;
      std::string file = (dir_ / "occt.stl").string();
      ASSERT_TRUE(writer.Write(shape, file.c_str()));
      ON_Mesh mesh;
      ASSERT_EQ(KOSTL::STLToMesh(file.c_str(), mesh), 1) << KOSTL::GetError().GetString();
      EXPECT_EQ(size_t(mesh.FaceCount()), kept);
      EXPECT_EQ(size_t(mesh.VertexCount()), expected.size());
      // Its ASCII form keeps six digits, so only the binary form gives back the very points.
      if (!ascii) {
        EXPECT_EQ(pointSet(mesh), expected);
      }
    }
  }
}
