// Faceting at FACETRES and STL output of a 3D solid.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_Copy.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <Poly_Triangulation.hxx>
#include <Standard_Failure.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>

#include "core/faults.h"
#include "core/files.h"
#include "host/host.h"
#include "modeler/occ_shape.h"

static_assert(std::endian::native == std::endian::little, "binary STL is written little-endian in place");

namespace {

constexpr double kDefaultFacetres = 0.5;

double currentFacetres() {
  const kv::Host* host = kv::Host::current();
  const kv::SysVar* var = host ? const_cast<kv::Host*>(host)->sysvars().find("FACETRES") : nullptr;
  double f = var ? var->real : kDefaultFacetres;
  if (!std::isfinite(f)) f = kDefaultFacetres;
  return std::clamp(f, 0.01, 10.0);
}

struct Facet {
  float n[3];
  float v[3][3];
};

void setNormal(Facet& f) {
  double a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = double(f.v[1][i]) - f.v[0][i];
    b[i] = double(f.v[2][i]) - f.v[0][i];
  }
  double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (int i = 0; i < 3; ++i) f.n[i] = len > 0 ? float(n[i] / len) : 0.0f;
}

// Every triangle of every face, outward, in single precision as STL holds it. Degenerate
// triangles (the modeller makes them at the poles of spheres) are written as they come.
std::vector<Facet> facets(const TopoDS_Shape& shape) {
  std::vector<Facet> out;
  for (TopExp_Explorer ex(shape, TopAbs_FACE); ex.More(); ex.Next()) {
    const TopoDS_Face& face = TopoDS::Face(ex.Current());
    TopLoc_Location loc;
    Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
    if (tri.IsNull()) continue;
    const gp_Trsf& trsf = loc.Transformation();
    bool reversed = face.Orientation() == TopAbs_REVERSED;
    for (int t = 1; t <= tri->NbTriangles(); ++t) {
      int idx[3];
      tri->Triangle(t).Get(idx[0], idx[1], idx[2]);
      if (reversed) std::swap(idx[1], idx[2]);
      Facet f;
      for (int c = 0; c < 3; ++c) {
        gp_Pnt p = tri->Node(idx[c]).Transformed(trsf);
        f.v[c][0] = float(p.X());
        f.v[c][1] = float(p.Y());
        f.v[c][2] = float(p.Z());
      }
      setNormal(f);
      out.push_back(f);
    }
  }
  return out;
}

void appendBinary(std::string& out, const std::vector<Facet>& list) {
  char header[80] = {};
  std::snprintf(header, sizeof header, "binary STL of a 3D solid");
  out.append(header, sizeof header);
  auto count = std::uint32_t(list.size());
  out.append(reinterpret_cast<const char*>(&count), 4);
  for (const Facet& f : list) {
    out.append(reinterpret_cast<const char*>(&f), sizeof f);
    out.append(2, '\0');
  }
}

// %.9g gives back every float exactly, so ASCII and binary files read to the same points.
void appendAscii(std::string& out, const std::vector<Facet>& list) {
  char line[160];
  out += "solid AcDb3dSolid\n";
  for (const Facet& f : list) {
    std::snprintf(line, sizeof line, "  facet normal %.9g %.9g %.9g\n    outer loop\n", f.n[0], f.n[1], f.n[2]);
    out += line;
    for (const auto& v : f.v) {
      std::snprintf(line, sizeof line, "      vertex %.9g %.9g %.9g\n", v[0], v[1], v[2]);
      out += line;
    }
    out += "    endloop\n  endfacet\n";
  }
  out += "endsolid AcDb3dSolid\n";
}

}  // namespace

namespace kv::modeler {

// FACETRES f (0.01 to 10) to the mesher's tolerances:
//   angular  a = min(1, 0.4 / f^0.4) radians: the angle a facet may turn on a curved face;
//   chordal  d = diagonal of the shape's box x 0.01 / f: the distance a facet may leave it.
// Both shrink as f grows, so facets never get fewer; planar faces are meshed from their
// boundary alone at any f. The angle rules small features and the chord large ones, so counts
// do not depend on the model's units.
//
// Triangles written (degenerate pole triangles included) at FACETRES:
//                          0.01   0.5      1      5     10
//   unit sphere              82    304    528   1846   3244
//   torus R=2, r=0.5        130   1152   2048   7200  12482
FacetTolerances facetTolerances(const TopoDS_Shape& shape, double facetres) {
  double f = std::clamp(facetres, 0.01, 10.0);
  Bnd_Box box;
  BRepBndLib::Add(shape, box);
  double size = box.IsVoid() ? 1.0 : std::sqrt(box.SquareExtent());
  return {size * 0.01 / f, std::min(1.0, 0.4 / std::pow(f, 0.4))};
}

}  // namespace kv::modeler

Acad::ErrorStatus AcDb3dSolid::stlOut(const char* fileName, bool asciiFormat) const {
  if (int st = kv::fault::check(kv::fault::Call::stlOut, Acad::eFileAccessErr)) return Acad::ErrorStatus(st);
  if (!isReadEnabled()) return Acad::eNotOpenForRead;
  if (!fileName) return Acad::eInvalidInput;
  if (isNull()) return Acad::eNullExtents;

  std::string bytes;
  try {
    // A copy carries the faceting, so the solid keeps no mesh of an earlier FACETRES.
    TopoDS_Shape work = BRepBuilderAPI_Copy(kv::modeler::shapeOf(*this), Standard_True, Standard_False).Shape();
    kv::modeler::FacetTolerances tol = kv::modeler::facetTolerances(work, currentFacetres());
    BRepMesh_IncrementalMesh mesher(work, tol.linear, Standard_False, tol.angular, Standard_False);
    if (!mesher.IsDone()) return Acad::eGeneralModelingFailure;
    std::vector<Facet> list = facets(work);
    if (asciiFormat) appendAscii(bytes, list);
    else appendBinary(bytes, list);
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  // A scratch file for the caller to read back: no flush to the disk.
  return kv::file::replace(fileName, bytes, true) == 0 ? Acad::eOk : Acad::eFileAccessErr;
}
