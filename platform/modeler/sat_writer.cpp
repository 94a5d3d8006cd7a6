// Open CASCADE shapes into SAT 7.0 text; see sat_writer.h and sat_records.h.
#include "modeler/sat_writer.h"

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>

#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepTools.hxx>
#include <BRepTools_WireExplorer.hxx>
#include <BRep_Tool.hxx>
#include <GeomAdaptor_Curve.hxx>
#include <GeomConvert.hxx>
#include <GeomConvert_ApproxCurve.hxx>
#include <GeomConvert_ApproxSurface.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_RectangularTrimmedSurface.hxx>
#include <Geom_TrimmedCurve.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Iterator.hxx>
#include <TopoDS_Vertex.hxx>
#include <TopoDS_Wire.hxx>
#include <gp_Cone.hxx>
#include <gp_Cylinder.hxx>
#include <gp_Elips.hxx>
#include <gp_Lin.hxx>
#include <gp_Pln.hxx>
#include <gp_Sphere.hxx>
#include <gp_Torus.hxx>

#include "modeler/sat_records.h"
#include "modeler/sat_text.h"

namespace kv::modeler::sat {

namespace {

struct WFace {
  TopoDS_Face face;
  long long shell;
  long long firstLoop = -1;
  bool doubleSided;
};
struct WLoop {
  long long face;
  long long firstCoedge;
};
struct WCoedge {
  long long loop, edge, next, prev, partner = -1;
  bool reversed;
};
struct WShell {
  long long lump, firstFace = -1;
};
struct WLump {
  long long body, firstShell = -1;
};

// The item after `i` when it has the same owner; -1 where the owner's chain ends.
template <class T>
long long nextSibling(const std::vector<T>& items, long long i, long long T::*owner) {
  std::size_t j = std::size_t(i) + 1;
  return j < items.size() && items[j].*owner == items[std::size_t(i)].*owner ? i + 1 : -1;
}

// The ACIS knot list: the modeller's full knot sequence without its outermost knot at
// either end, as (value, multiplicity) pairs.
std::vector<rec::Knot> acisKnots(const TColStd_Array1OfReal& flat) {
  std::vector<rec::Knot> out;
  for (int i = flat.Lower() + 1; i <= flat.Upper() - 1; ++i) {
    if (!out.empty() && flat(i) == out.back().value) ++out.back().multiplicity;
    else out.push_back({flat(i), 1});
  }
  return out;
}

rec::BSplineCurve splineRecord(const Geom_BSplineCurve& bs) {
  rec::BSplineCurve x;
  x.rational = bs.IsRational();
  x.degree = bs.Degree();
  TColStd_Array1OfReal flat(1, bs.NbPoles() + bs.Degree() + 1);
  bs.KnotSequence(flat);
  x.knots = acisKnots(flat);
  for (int i = 1; i <= bs.NbPoles(); ++i) x.poles.push_back({bs.Pole(i).XYZ(), bs.Weight(i)});
  return x;
}

rec::BSplineSurface splineRecord(const Geom_BSplineSurface& bs) {
  rec::BSplineSurface x;
  x.rational = bs.IsURational() || bs.IsVRational();
  x.uDegree = bs.UDegree();
  x.vDegree = bs.VDegree();
  TColStd_Array1OfReal uflat(1, bs.NbUPoles() + bs.UDegree() + 1), vflat(1, bs.NbVPoles() + bs.VDegree() + 1);
  bs.UKnotSequence(uflat);
  bs.VKnotSequence(vflat);
  x.uKnots = acisKnots(uflat);
  x.vKnots = acisKnots(vflat);
  x.poles.reserve(std::size_t(bs.NbUPoles()) * std::size_t(bs.NbVPoles()));
  for (int j = 1; j <= bs.NbVPoles(); ++j)
    for (int i = 1; i <= bs.NbUPoles(); ++i) x.poles.push_back({bs.Pole(i, j).XYZ(), bs.Weight(i, j)});
  return x;
}

// The face's surface as the B-spline it is or converts to.
Handle(Geom_BSplineSurface) bsplineOf(const TopoDS_Face& face, const BRepAdaptor_Surface& s) {
  Handle(Geom_BSplineSurface) bs;
  if (s.GetType() == GeomAbs_BSplineSurface) {
    bs = Handle(Geom_BSplineSurface)::DownCast(s.BSpline()->Copy());
  } else {
    double u0, u1, v0, v1;
    BRepTools::UVBounds(face, u0, u1, v0, v1);
    Handle(Geom_Surface) g = new Geom_RectangularTrimmedSurface(BRep_Tool::Surface(face), u0, u1, v0, v1);
    try {
      bs = GeomConvert::SurfaceToBSplineSurface(g);
    } catch (const Standard_Failure&) {
      GeomConvert_ApproxSurface approx(g, 1e-7, GeomAbs_C1, GeomAbs_C1, 9, 9, 200, 0);
      if (!approx.HasResult()) throw WriteError{"surface cannot be written as a B-spline"};
      bs = approx.Surface();
    }
  }
  if (bs.IsNull()) throw WriteError{"surface cannot be written as a B-spline"};
  if (bs->IsUPeriodic()) bs->SetUNotPeriodic();
  if (bs->IsVPeriodic()) bs->SetVNotPeriodic();
  return bs;
}

// The edge's curve as the B-spline it is or converts to, on [a, b]; a and b become the
// B-spline's own range when it had to be converted.
Handle(Geom_BSplineCurve) bsplineOf(const TopoDS_Edge& edge, const BRepAdaptor_Curve& c, double& a, double& b) {
  Handle(Geom_BSplineCurve) bs;
  if (c.GetType() == GeomAbs_BSplineCurve) {
    bs = Handle(Geom_BSplineCurve)::DownCast(c.BSpline()->Copy());
    if (bs->IsPeriodic()) bs->SetNotPeriodic();
    if (a < bs->FirstParameter() - 1e-12 || b > bs->LastParameter() + 1e-12) bs.Nullify();
  }
  if (!bs.IsNull()) return bs;
  double f, t;
  Handle(Geom_Curve) g = BRep_Tool::Curve(edge, f, t);
  Handle(Geom_Curve) trimmed = new Geom_TrimmedCurve(g, a, b);
  try {
    bs = GeomConvert::CurveToBSplineCurve(trimmed);
  } catch (const Standard_Failure&) {
    GeomConvert_ApproxCurve approx(trimmed, 1e-7, GeomAbs_C2, 200, 9);
    if (!approx.HasResult()) throw WriteError{"curve cannot be written as a B-spline"};
    bs = approx.Curve();
  }
  a = bs->FirstParameter();
  b = bs->LastParameter();
  return bs;
}

// --- surfaces: each writes its record and answers whether the SAT surface normal is the
// modeller's.

bool plane(Line& l, long long number, const gp_Pln& p) {
  gp_Ax3 a = p.Position();
  rec::PlaneSurface x;
  x.root = a.Location().XYZ();
  x.normal = a.XDirection().XYZ().Crossed(a.YDirection().XYZ());
  x.uDirection = a.XDirection().XYZ();
  put(l, number, x);
  return true;
}

bool cylinder(Line& l, long long number, const gp_Cylinder& c) {
  gp_Ax3 a = c.Position();
  rec::ConeSurface x;
  x.centre = a.Location().XYZ();
  x.axis = a.Direction().XYZ();
  x.majorAxis = a.XDirection().XYZ() * c.Radius();
  x.sine = 0;
  x.cosine = 1;
  x.uScale = c.Radius();
  put(l, number, x);
  return a.Direct();
}

bool cone(Line& l, long long number, const gp_Cone& c) {
  gp_Ax3 a = c.Position();
  double angle = c.SemiAngle(), radius = c.RefRadius();
  gp_Pnt base = a.Location();
  // SAT measures the cone from a base circle of non-zero radius.
  if (radius < 1e-9) {
    double h = 1.0 / std::tan(angle);
    base = base.Translated(gp_Vec(a.Direction()) * h);
    radius = h * std::tan(angle);
  }
  rec::ConeSurface x;
  x.centre = base.XYZ();
  x.axis = a.Direction().XYZ();
  x.majorAxis = a.XDirection().XYZ() * radius;
  x.sine = std::sin(angle);
  x.cosine = std::cos(angle);
  x.uScale = radius;
  put(l, number, x);
  return a.Direct();
}

bool sphere(Line& l, long long number, const gp_Sphere& s) {
  gp_Ax3 a = s.Position();
  rec::SphereSurface x;
  x.centre = a.Location().XYZ();
  x.radius = s.Radius();
  x.uvOrigin = a.XDirection().XYZ();
  x.pole = a.Direction().XYZ();
  put(l, number, x);
  return a.Direct();
}

bool torus(Line& l, long long number, const gp_Torus& t) {
  gp_Ax3 a = t.Position();
  rec::TorusSurface x;
  x.centre = a.Location().XYZ();
  x.normal = a.Direction().XYZ();
  x.major = t.MajorRadius();
  x.minor = t.MinorRadius();
  x.uvOrigin = a.XDirection().XYZ();
  put(l, number, x);
  return a.Direct();
}

bool spline(Line& l, long long number, const Geom_BSplineSurface& bs) {
  rec::SplineSurface x;
  x.data.spline = splineRecord(bs);
  double u0, u1, v0, v1;
  bs.Bounds(u0, u1, v0, v1);
  x.data.uRange = {u0, u1};
  x.data.vRange = {v0, v1};
  put(l, number, x);
  return true;
}

// Writes the face's surface; true when the SAT surface normal is the modeller's.
bool surface(Line& l, long long number, const TopoDS_Face& face) {
  BRepAdaptor_Surface s(face, Standard_False);
  switch (s.GetType()) {
    case GeomAbs_Plane:
      return plane(l, number, s.Plane());
    case GeomAbs_Cylinder:
      return cylinder(l, number, s.Cylinder());
    case GeomAbs_Cone:
      return cone(l, number, s.Cone());
    case GeomAbs_Sphere:
      return sphere(l, number, s.Sphere());
    case GeomAbs_Torus:
      return torus(l, number, s.Torus());
    default:
      return spline(l, number, *bsplineOf(face, s));
  }
}

// --- curves

void straight(Line& l, long long number, const gp_Lin& line) {
  rec::StraightCurve x;
  x.root = line.Location().XYZ();
  x.direction = line.Direction().XYZ();
  put(l, number, x);
}

void ellipse(Line& l, long long number, const gp_Ax2& ax, double major, double ratio) {
  rec::EllipseCurve x;
  x.centre = ax.Location().XYZ();
  x.normal = ax.Direction().XYZ();
  x.majorAxis = ax.XDirection().XYZ() * major;
  x.ratio = ratio;
  put(l, number, x);
}

void intcurve(Line& l, long long number, const Geom_BSplineCurve& bs) {
  rec::IntCurve x;
  x.data.spline = splineRecord(bs);
  x.data.safeRange = x.data.range = {bs.FirstParameter(), bs.LastParameter()};
  put(l, number, x);
}

// Writes the edge's curve, parameterised so that [a, b] is the edge.
void curve(Line& l, long long number, const TopoDS_Edge& edge, double& a, double& b) {
  if (!BRep_Tool::IsGeometric(edge)) throw WriteError{"edge without a 3D curve"};
  BRepAdaptor_Curve c(edge);
  a = c.FirstParameter();
  b = c.LastParameter();
  switch (c.GetType()) {
    case GeomAbs_Line:
      return straight(l, number, c.Line());
    case GeomAbs_Circle:
      return ellipse(l, number, c.Circle().Position(), c.Circle().Radius(), 1);
    case GeomAbs_Ellipse: {
      gp_Elips e = c.Ellipse();
      return ellipse(l, number, e.Position(), e.MajorRadius(), e.MinorRadius() / e.MajorRadius());
    }
    default:
      return intcurve(l, number, *bsplineOf(edge, c, a, b));
  }
}

class Writer {
public:
  std::string run(const std::vector<WriteBody>& bodies) {
    for (std::size_t b = 0; b < bodies.size(); ++b) collect(bodies[b], (long long)b);
    numberVertices();
    link();
    Numbering n({(long long)bodies.size(), (long long)lumps_.size(), (long long)shells_.size(),
                 (long long)faces_.size(), (long long)loops_.size(), (long long)coedges_.size(), edgeMap_.Extent(),
                 vertexMap_.Extent(), vertexMap_.Extent(), (long long)faces_.size(), edgeMap_.Extent()});
    std::string out;
    header(out, bodies.size(), "Kavlor platform");
    // Surfaces and curves are numbered last but written with their faces and edges.
    std::string surfaces, curves;
    Line l(out), ls(surfaces), lc(curves);
    writeShells(l, n, (long long)bodies.size());
    writeFaces(l, ls, n);
    writeLoops(l, n);
    writeEdges(l, lc, n);
    out += surfaces;
    out += curves;
    out += "End-of-ACIS-data\n";
    return out;
  }

private:
  std::vector<long long> bodyLump_;
  std::vector<WLump> lumps_;
  std::vector<WShell> shells_;
  std::vector<WFace> faces_;
  std::vector<WLoop> loops_;
  std::vector<WCoedge> coedges_;
  TopTools_IndexedMapOfShape edgeMap_, vertexMap_;  // across all bodies, 1-based
  std::vector<std::vector<long long>> coedgesOfEdge_;
  std::vector<std::pair<int, int>> edgeVertices_;  // of each edge, 0-based
  std::vector<long long> vertexEdge_;              // one edge at each vertex

  void collect(const WriteBody& body, long long index) {
    if (body.shape.IsNull()) throw WriteError{"body " + std::to_string(index) + " is null"};
    bool sheet = body.kind != BodyKind::Solid;
    long long firstLump = (long long)lumps_.size();
    for (TopExp_Explorer x(body.shape, TopAbs_SOLID); x.More(); x.Next()) {
      long long lump = addLump(index);
      for (TopoDS_Iterator it(x.Current()); it.More(); it.Next())
        if (it.Value().ShapeType() == TopAbs_SHELL) addShell(lump, it.Value(), sheet);
    }
    // Shells and faces outside any solid share one more lump.
    std::vector<TopoDS_Shape> loose;
    for (TopExp_Explorer x(body.shape, TopAbs_SHELL, TopAbs_SOLID); x.More(); x.Next()) loose.push_back(x.Current());
    bool anyFree = false;
    for (TopExp_Explorer x(body.shape, TopAbs_FACE, TopAbs_SHELL); x.More(); x.Next()) anyFree = true;
    if (!loose.empty() || anyFree) {
      long long lump = addLump(index);
      for (const TopoDS_Shape& s : loose) addShell(lump, s, true);
      if (anyFree) {
        long long shell = newShell(lump);
        for (TopExp_Explorer x(body.shape, TopAbs_FACE, TopAbs_SHELL); x.More(); x.Next())
          addFace(shell, TopoDS::Face(x.Current()), true);
      }
    }
    if ((long long)lumps_.size() == firstLump) throw WriteError{"body " + std::to_string(index) + " has no faces"};
    bodyLump_.push_back(firstLump);
  }

  long long addLump(long long body) {
    lumps_.push_back({body});
    return (long long)lumps_.size() - 1;
  }
  long long newShell(long long lump) {
    shells_.push_back({lump});
    return (long long)shells_.size() - 1;
  }
  void addShell(long long lump, const TopoDS_Shape& shell, bool doubleSided) {
    long long s = newShell(lump);
    for (TopExp_Explorer x(shell, TopAbs_FACE); x.More(); x.Next()) addFace(s, TopoDS::Face(x.Current()), doubleSided);
  }

  void addFace(long long shell, const TopoDS_Face& face, bool doubleSided) {
    long long f = (long long)faces_.size();
    faces_.push_back({face, shell, -1, doubleSided});
    for (TopExp_Explorer wx(face, TopAbs_WIRE); wx.More(); wx.Next()) {
      std::vector<std::pair<TopoDS_Edge, bool>> ring;
      for (BRepTools_WireExplorer ex(TopoDS::Wire(wx.Current()), face); ex.More(); ex.Next()) {
        const TopoDS_Edge& e = ex.Current();
        // The explorer's own Orientation() is wrong for a closed edge alone in its wire.
        TopAbs_Orientation o = e.Orientation();
        // Collapsed edges (poles, apexes) have no curve in SAT; the ring closes without them.
        if (BRep_Tool::Degenerated(e) || (o != TopAbs_FORWARD && o != TopAbs_REVERSED)) continue;
        ring.push_back({e, o == TopAbs_REVERSED});
      }
      if (ring.empty()) continue;
      long long loop = (long long)loops_.size();
      long long first = (long long)coedges_.size();
      loops_.push_back({f, first});
      long long n = (long long)ring.size();
      for (long long i = 0; i < n; ++i) {
        int edge = edgeMap_.Add(ring[std::size_t(i)].first) - 1;
        if (std::size_t(edge) >= coedgesOfEdge_.size()) coedgesOfEdge_.resize(std::size_t(edge) + 1);
        coedgesOfEdge_[std::size_t(edge)].push_back(first + i);
        coedges_.push_back({loop, edge, first + (i + 1) % n, first + (i + n - 1) % n, -1, ring[std::size_t(i)].second});
      }
    }
  }

  // Vertices are numbered from the edges, in the order the edges first reach them.
  void numberVertices() {
    edgeVertices_.resize(std::size_t(edgeMap_.Extent()));
    for (int i = 1; i <= edgeMap_.Extent(); ++i) {
      TopoDS_Edge e = TopoDS::Edge(edgeMap_(i).Oriented(TopAbs_FORWARD));
      TopoDS_Vertex a = TopExp::FirstVertex(e), b = TopExp::LastVertex(e);
      if (a.IsNull() || b.IsNull()) throw WriteError{"edge without vertices"};
      int ia = vertexMap_.Add(a) - 1, ib = vertexMap_.Add(b) - 1;
      vertexEdge_.resize(std::size_t(vertexMap_.Extent()), -1);
      if (vertexEdge_[std::size_t(ia)] < 0) vertexEdge_[std::size_t(ia)] = i - 1;
      if (vertexEdge_[std::size_t(ib)] < 0) vertexEdge_[std::size_t(ib)] = i - 1;
      edgeVertices_[std::size_t(i - 1)] = {ia, ib};
    }
  }

  // Partners in a ring around each edge, and each owner's first item.
  void link() {
    for (auto& list : coedgesOfEdge_) {
      if (list.size() < 2) continue;
      for (std::size_t i = 0; i < list.size(); ++i)
        coedges_[std::size_t(list[i])].partner = list[(i + 1) % list.size()];
    }
    for (long long i = (long long)shells_.size() - 1; i >= 0; --i)
      lumps_[std::size_t(shells_[std::size_t(i)].lump)].firstShell = i;
    for (long long i = (long long)faces_.size() - 1; i >= 0; --i)
      shells_[std::size_t(faces_[std::size_t(i)].shell)].firstFace = i;
    for (long long i = (long long)loops_.size() - 1; i >= 0; --i)
      faces_[std::size_t(loops_[std::size_t(i)].face)].firstLoop = i;
  }

  // Bodies, lumps and shells.
  void writeShells(Line& l, const Numbering& n, long long bodies) {
    for (long long b = 0; b < bodies; ++b) {
      rec::Body x;
      x.lump = n(kLumps, bodyLump_[std::size_t(b)]);
      put(l, n(kBodies, b), x);
    }
    for (long long i = 0; i < (long long)lumps_.size(); ++i) {
      const WLump& w = lumps_[std::size_t(i)];
      rec::Lump x{n(kLumps, nextSibling(lumps_, i, &WLump::body)), n(kShells, w.firstShell), n(kBodies, w.body)};
      put(l, n(kLumps, i), x);
    }
    for (long long i = 0; i < (long long)shells_.size(); ++i) {
      const WShell& w = shells_[std::size_t(i)];
      rec::Shell x;
      x.next = n(kShells, nextSibling(shells_, i, &WShell::lump));
      x.face = n(kFaces, w.firstFace);
      x.lump = n(kLumps, w.lump);
      put(l, n(kShells, i), x);
    }
  }

  // Faces, their surfaces into `ls`.
  void writeFaces(Line& l, Line& ls, const Numbering& n) {
    std::vector<bool> reversed(faces_.size());
    for (long long i = 0; i < (long long)faces_.size(); ++i) {
      const TopoDS_Face& face = faces_[std::size_t(i)].face;
      bool matches = surface(ls, n(kSurfaces, i), face);
      reversed[std::size_t(i)] = (face.Orientation() == TopAbs_REVERSED) == matches;
    }
    for (long long i = 0; i < (long long)faces_.size(); ++i) {
      const WFace& w = faces_[std::size_t(i)];
      rec::Face x;
      x.next = n(kFaces, nextSibling(faces_, i, &WFace::shell));
      x.loop = n(kLoops, w.firstLoop);
      x.shell = n(kShells, w.shell);
      x.surface = n(kSurfaces, i);
      x.reversed = reversed[std::size_t(i)];
      x.doubleSided = w.doubleSided;
      put(l, n(kFaces, i), x);
    }
  }

  // Loops and coedges.
  void writeLoops(Line& l, const Numbering& n) {
    for (long long i = 0; i < (long long)loops_.size(); ++i) {
      const WLoop& w = loops_[std::size_t(i)];
      rec::Loop x{n(kLoops, nextSibling(loops_, i, &WLoop::face)), n(kCoedges, w.firstCoedge), n(kFaces, w.face)};
      put(l, n(kLoops, i), x);
    }
    for (long long i = 0; i < (long long)coedges_.size(); ++i) {
      const WCoedge& w = coedges_[std::size_t(i)];
      rec::Coedge x;
      x.next = n(kCoedges, w.next);
      x.previous = n(kCoedges, w.prev);
      x.partner = n(kCoedges, w.partner);
      x.edge = n(kEdges, w.edge);
      x.reversed = w.reversed;
      x.loop = n(kLoops, w.loop);
      put(l, n(kCoedges, i), x);
    }
  }

  // Edges with their curves into `lc`, vertices and points.
  void writeEdges(Line& l, Line& lc, const Numbering& n) {
    for (int i = 0; i < edgeMap_.Extent(); ++i) {
      TopoDS_Edge e = TopoDS::Edge(edgeMap_(i + 1).Oriented(TopAbs_FORWARD));
      double a = 0, b = 0;
      curve(lc, n(kCurves, i), e, a, b);
      rec::Edge x;
      x.start = n(kVertices, edgeVertices_[std::size_t(i)].first);
      x.startParameter = a;
      x.end = n(kVertices, edgeVertices_[std::size_t(i)].second);
      x.endParameter = b;
      x.coedge = n(kCoedges, coedgesOfEdge_[std::size_t(i)].front());
      x.curve = n(kCurves, i);
      put(l, n(kEdges, i), x);
    }
    for (int i = 0; i < vertexMap_.Extent(); ++i) {
      rec::Vertex x{n(kEdges, vertexEdge_[std::size_t(i)]), n(kPoints, i)};
      put(l, n(kVertices, i), x);
    }
    for (int i = 0; i < vertexMap_.Extent(); ++i) {
      rec::Point x{BRep_Tool::Pnt(TopoDS::Vertex(vertexMap_(i + 1))).XYZ()};
      put(l, n(kPoints, i), x);
    }
  }
};

}  // namespace

void header(std::string& out, std::size_t bodies, std::string_view product) {
  out += "700 0 " + std::to_string(bodies) + " 0\n";
  std::time_t now = std::time(nullptr);
  char date[64] = "Thu Jan  1 00:00:00 1970";
  std::tm tm{};
  if (gmtime_r(&now, &tm)) std::strftime(date, sizeof date, "%a %b %e %H:%M:%S %Y", &tm);
  out += std::to_string(product.size()) + " " + std::string(product) + " 11 ACIS 7.0 NT " +
         std::to_string(std::string_view(date).size()) + " " + date + "\n";
  out += "1 9.9999999999999995e-07 1e-10\n";
}

bool write(const std::vector<WriteBody>& bodies, std::string& text, std::string& error) {
  try {
    Writer writer;
    std::string out = writer.run(bodies);
    text = std::move(out);
    return true;
  } catch (const WriteError& e) {
    error = e.message;
  } catch (const Standard_Failure& e) {
    error = std::string("modeller failure: ") + e.GetMessageString();
  }
  return false;
}

}  // namespace kv::modeler::sat
