// Open CASCADE shapes into SAT 7.0 text; see sat_writer.h.
#include "modeler/sat_writer.h"

#include <charconv>
#include <cmath>
#include <ctime>

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

namespace kv::modeler::sat {

namespace {

struct WriteError {
  std::string message;
};

// Readers of SAT inside DXF split long lines badly; records wrap between tokens instead.
constexpr std::size_t kLineLength = 160;

class Line {
public:
  explicit Line(std::string& out) : out_(out) {}

  void start(long long number, std::string_view type) {
    lineStart_ = out_.size();
    out_ += '-';
    out_ += std::to_string(number);
    out_ += ' ';
    out_ += type;
  }
  void tok(std::string_view t) {
    if (out_.size() - lineStart_ + t.size() + 1 > kLineLength) {
      out_ += '\n';
      lineStart_ = out_.size();
    } else {
      out_ += ' ';
    }
    out_ += t;
  }
  void ptr(long long index) { tok("$" + std::to_string(index)); }
  void num(double v) {
    if (!std::isfinite(v)) throw WriteError{"geometry holds a value that is not finite"};
    if (v == 0) v = 0;  // no "-0"
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    tok(std::string_view(buf, std::size_t(res.ptr - buf)));
  }
  void integer(long long v) { tok(std::to_string(v)); }
  void xyz(const gp_XYZ& p) {
    num(p.X());
    num(p.Y());
    num(p.Z());
  }
  void prefix() { tok("$-1 -1 $-1"); }
  void end() { out_ += " #\n"; }

private:
  std::string& out_;
  std::size_t lineStart_ = 0;
};

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

// The ACIS knot list: the modeller's full knot sequence without its outermost knot at
// either end, as (value, multiplicity) pairs.
std::vector<std::pair<double, int>> acisKnots(const TColStd_Array1OfReal& flat) {
  std::vector<std::pair<double, int>> out;
  for (int i = flat.Lower() + 1; i <= flat.Upper() - 1; ++i) {
    if (!out.empty() && flat(i) == out.back().first) ++out.back().second;
    else out.push_back({flat(i), 1});
  }
  return out;
}

void writeKnots(Line& l, const TColStd_Array1OfReal& flat) {
  auto knots = acisKnots(flat);
  l.integer(static_cast<long long>(knots.size()));
  for (auto& [value, mult] : knots) {
    l.num(value);
    l.integer(mult);
  }
}

class Writer {
public:
  std::string run(const std::vector<WriteBody>& bodies) {
    for (std::size_t b = 0; b < bodies.size(); ++b) collect(bodies[b], (long long)b);
    std::string out;
    header(out, bodies.size());
    emit(out, bodies.size());
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
    TopoDS_Shape freeFaces;
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

  // --- output ------------------------------------------------------------------------

  static void header(std::string& out, std::size_t bodies) {
    out += "700 0 " + std::to_string(bodies) + " 0\n";
    std::time_t now = std::time(nullptr);
    char date[64] = "Thu Jan  1 00:00:00 1970";
    std::tm tm{};
    if (gmtime_r(&now, &tm)) std::strftime(date, sizeof date, "%a %b %e %H:%M:%S %Y", &tm);
    out += "15 Kavlor platform 11 ACIS 7.0 NT " + std::to_string(std::string_view(date).size()) + " " + date + "\n";
    out += "1 9.9999999999999995e-07 1e-10\n";
  }

  void emit(std::string& out, std::size_t nBodies) {
    const long long B = (long long)nBodies;
    const long long L0 = B, S0 = L0 + (long long)lumps_.size(), F0 = S0 + (long long)shells_.size();
    const long long Lp0 = F0 + (long long)faces_.size(), C0 = Lp0 + (long long)loops_.size();
    const long long E0 = C0 + (long long)coedges_.size(), V0 = E0 + edgeMap_.Extent();

    // Vertices are numbered from the edges, so collect them before any number is used.
    std::vector<std::pair<int, int>> edgeVertices(std::size_t(edgeMap_.Extent()));
    std::vector<long long> vertexEdge;
    for (int i = 1; i <= edgeMap_.Extent(); ++i) {
      TopoDS_Edge e = TopoDS::Edge(edgeMap_(i).Oriented(TopAbs_FORWARD));
      TopoDS_Vertex a = TopExp::FirstVertex(e), b = TopExp::LastVertex(e);
      if (a.IsNull() || b.IsNull()) throw WriteError{"edge without vertices"};
      int ia = vertexMap_.Add(a) - 1, ib = vertexMap_.Add(b) - 1;
      vertexEdge.resize(std::size_t(vertexMap_.Extent()), -1);
      if (vertexEdge[std::size_t(ia)] < 0) vertexEdge[std::size_t(ia)] = i - 1;
      if (vertexEdge[std::size_t(ib)] < 0) vertexEdge[std::size_t(ib)] = i - 1;
      edgeVertices[std::size_t(i - 1)] = {ia, ib};
    }
    const long long Pt0 = V0 + vertexMap_.Extent();
    const long long Su0 = Pt0 + vertexMap_.Extent(), Cu0 = Su0 + (long long)faces_.size();

    for (auto& list : coedgesOfEdge_) {
      if (list.size() < 2) continue;
      for (std::size_t i = 0; i < list.size(); ++i) coedges_[std::size_t(list[i])].partner = list[(i + 1) % list.size()];
    }

    Line l(out);
    // Links to the next record of the same owner.
    auto nextLump = [&](long long i) {
      return i + 1 < (long long)lumps_.size() && lumps_[std::size_t(i + 1)].body == lumps_[std::size_t(i)].body ? L0 + i + 1 : -1;
    };
    auto nextShell = [&](long long i) {
      return i + 1 < (long long)shells_.size() && shells_[std::size_t(i + 1)].lump == shells_[std::size_t(i)].lump ? S0 + i + 1 : -1;
    };
    auto nextFace = [&](long long i) {
      return i + 1 < (long long)faces_.size() && faces_[std::size_t(i + 1)].shell == faces_[std::size_t(i)].shell ? F0 + i + 1 : -1;
    };
    auto nextLoop = [&](long long i) {
      return i + 1 < (long long)loops_.size() && loops_[std::size_t(i + 1)].face == loops_[std::size_t(i)].face ? Lp0 + i + 1 : -1;
    };
    for (long long i = (long long)shells_.size() - 1; i >= 0; --i) lumps_[std::size_t(shells_[std::size_t(i)].lump)].firstShell = i;
    for (long long i = (long long)faces_.size() - 1; i >= 0; --i) shells_[std::size_t(faces_[std::size_t(i)].shell)].firstFace = i;
    for (long long i = (long long)loops_.size() - 1; i >= 0; --i) faces_[std::size_t(loops_[std::size_t(i)].face)].firstLoop = i;

    for (long long b = 0; b < B; ++b) {
      l.start(b, "body");
      l.prefix();
      l.ptr(L0 + bodyLump_[std::size_t(b)]);
      l.ptr(-1);
      l.ptr(-1);
      l.end();
    }
    for (long long i = 0; i < (long long)lumps_.size(); ++i) {
      const WLump& x = lumps_[std::size_t(i)];
      l.start(L0 + i, "lump");
      l.prefix();
      l.ptr(nextLump(i));
      l.ptr(x.firstShell < 0 ? -1 : S0 + x.firstShell);
      l.ptr(x.body);
      l.end();
    }
    for (long long i = 0; i < (long long)shells_.size(); ++i) {
      const WShell& x = shells_[std::size_t(i)];
      l.start(S0 + i, "shell");
      l.prefix();
      l.ptr(nextShell(i));
      l.ptr(-1);
      l.ptr(x.firstFace < 0 ? -1 : F0 + x.firstFace);
      l.ptr(-1);
      l.ptr(L0 + x.lump);
      l.end();
    }
    std::vector<bool> faceReversed(faces_.size());
    std::string surfaces;
    Line ls(surfaces);
    for (long long i = 0; i < (long long)faces_.size(); ++i) {
      bool matches = surface(ls, Su0 + i, faces_[std::size_t(i)].face);
      faceReversed[std::size_t(i)] = (faces_[std::size_t(i)].face.Orientation() == TopAbs_REVERSED) == matches;
    }
    for (long long i = 0; i < (long long)faces_.size(); ++i) {
      const WFace& x = faces_[std::size_t(i)];
      l.start(F0 + i, "face");
      l.prefix();
      l.ptr(nextFace(i));
      l.ptr(x.firstLoop < 0 ? -1 : Lp0 + x.firstLoop);
      l.ptr(S0 + x.shell);
      l.ptr(-1);
      l.ptr(Su0 + i);
      l.tok(faceReversed[std::size_t(i)] ? "reversed" : "forward");
      l.tok(x.doubleSided ? "double out" : "single");
      l.end();
    }
    for (long long i = 0; i < (long long)loops_.size(); ++i) {
      const WLoop& x = loops_[std::size_t(i)];
      l.start(Lp0 + i, "loop");
      l.prefix();
      l.ptr(nextLoop(i));
      l.ptr(C0 + x.firstCoedge);
      l.ptr(F0 + x.face);
      l.end();
    }
    for (long long i = 0; i < (long long)coedges_.size(); ++i) {
      const WCoedge& x = coedges_[std::size_t(i)];
      l.start(C0 + i, "coedge");
      l.prefix();
      l.ptr(C0 + x.next);
      l.ptr(C0 + x.prev);
      l.ptr(x.partner < 0 ? -1 : C0 + x.partner);
      l.ptr(E0 + x.edge);
      l.tok(x.reversed ? "reversed" : "forward");
      l.ptr(Lp0 + x.loop);
      l.ptr(-1);
      l.end();
    }
    std::string curves;
    Line lc(curves);
    for (int i = 1; i <= edgeMap_.Extent(); ++i) {
      TopoDS_Edge e = TopoDS::Edge(edgeMap_(i).Oriented(TopAbs_FORWARD));
      double a = 0, b = 0;
      curve(lc, Cu0 + i - 1, e, a, b);
      auto [va, vb] = edgeVertices[std::size_t(i - 1)];
      l.start(E0 + i - 1, "edge");
      l.prefix();
      l.ptr(V0 + va);
      l.num(a);
      l.ptr(V0 + vb);
      l.num(b);
      l.ptr(C0 + coedgesOfEdge_[std::size_t(i - 1)].front());
      l.ptr(Cu0 + i - 1);
      l.tok("forward @7 unknown");
      l.end();
    }
    for (int i = 1; i <= vertexMap_.Extent(); ++i) {
      l.start(V0 + i - 1, "vertex");
      l.prefix();
      l.ptr(E0 + vertexEdge[std::size_t(i - 1)]);
      l.ptr(Pt0 + i - 1);
      l.end();
    }
    for (int i = 1; i <= vertexMap_.Extent(); ++i) {
      l.start(Pt0 + i - 1, "point");
      l.prefix();
      l.xyz(BRep_Tool::Pnt(TopoDS::Vertex(vertexMap_(i))).XYZ());
      l.end();
    }
    out += surfaces;
    out += curves;
  }

  // Writes the face's surface; true when the SAT surface normal is the modeller's.
  static bool surface(Line& l, long long number, const TopoDS_Face& face) {
    BRepAdaptor_Surface s(face, Standard_False);
    switch (s.GetType()) {
      case GeomAbs_Plane: {
        gp_Ax3 a = s.Plane().Position();
        l.start(number, "plane-surface");
        l.prefix();
        l.xyz(a.Location().XYZ());
        l.xyz(a.XDirection().XYZ().Crossed(a.YDirection().XYZ()));
        l.xyz(a.XDirection().XYZ());
        l.tok("forward_v I I I I");
        l.end();
        return true;
      }
      case GeomAbs_Cylinder: {
        gp_Cylinder c = s.Cylinder();
        gp_Ax3 a = c.Position();
        l.start(number, "cone-surface");
        l.prefix();
        l.xyz(a.Location().XYZ());
        l.xyz(a.Direction().XYZ());
        l.xyz(a.XDirection().XYZ() * c.Radius());
        l.tok("1 I I 0 1");
        l.num(c.Radius());
        l.tok("forward I I I I");
        l.end();
        return a.Direct();
      }
      case GeomAbs_Cone: {
        gp_Cone c = s.Cone();
        gp_Ax3 a = c.Position();
        double angle = c.SemiAngle(), radius = c.RefRadius();
        gp_Pnt base = a.Location();
        // SAT measures the cone from a base circle of non-zero radius.
        if (radius < 1e-9) {
          double h = 1.0 / std::tan(angle);
          base = base.Translated(gp_Vec(a.Direction()) * h);
          radius = h * std::tan(angle);
        }
        l.start(number, "cone-surface");
        l.prefix();
        l.xyz(base.XYZ());
        l.xyz(a.Direction().XYZ());
        l.xyz(a.XDirection().XYZ() * radius);
        l.tok("1 I I");
        l.num(std::sin(angle));
        l.num(std::cos(angle));
        l.num(radius);
        l.tok("forward I I I I");
        l.end();
        return a.Direct();
      }
      case GeomAbs_Sphere: {
        gp_Sphere c = s.Sphere();
        gp_Ax3 a = c.Position();
        l.start(number, "sphere-surface");
        l.prefix();
        l.xyz(a.Location().XYZ());
        l.num(c.Radius());
        l.xyz(a.XDirection().XYZ());
        l.xyz(a.Direction().XYZ());
        l.tok("forward_v I I I I");
        l.end();
        return a.Direct();
      }
      case GeomAbs_Torus: {
        gp_Torus c = s.Torus();
        gp_Ax3 a = c.Position();
        l.start(number, "torus-surface");
        l.prefix();
        l.xyz(a.Location().XYZ());
        l.xyz(a.Direction().XYZ());
        l.num(c.MajorRadius());
        l.num(c.MinorRadius());
        l.xyz(a.XDirection().XYZ());
        l.tok("forward_v I I I I");
        l.end();
        return a.Direct();
      }
      default:
        break;
    }
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
    bool rational = bs->IsURational() || bs->IsVRational();
    l.start(number, "spline-surface");
    l.prefix();
    l.tok("forward { exactsur full");
    l.tok(rational ? "nurbs" : "nubs");
    l.integer(bs->UDegree());
    l.integer(bs->VDegree());
    if (rational) l.tok("both");
    l.tok("open open none none");
    TColStd_Array1OfReal uflat(1, bs->NbUPoles() + bs->UDegree() + 1), vflat(1, bs->NbVPoles() + bs->VDegree() + 1);
    bs->UKnotSequence(uflat);
    bs->VKnotSequence(vflat);
    auto uk = acisKnots(uflat), vk = acisKnots(vflat);
    l.integer((long long)uk.size());
    l.integer((long long)vk.size());
    for (auto& [value, mult] : uk) {
      l.num(value);
      l.integer(mult);
    }
    for (auto& [value, mult] : vk) {
      l.num(value);
      l.integer(mult);
    }
    for (int j = 1; j <= bs->NbVPoles(); ++j) {
      for (int i = 1; i <= bs->NbUPoles(); ++i) {
        l.xyz(bs->Pole(i, j).XYZ());
        if (rational) l.num(bs->Weight(i, j));
      }
    }
    double u0, u1, v0, v1;
    bs->Bounds(u0, u1, v0, v1);
    l.tok("0 0 0 0 0 0 0 F");
    l.num(u0);
    l.tok("F");
    l.num(u1);
    l.tok("F");
    l.num(v0);
    l.tok("F");
    l.num(v1);
    l.tok("} I I I I");
    l.end();
    return true;
  }

  // Writes the edge's curve, parameterised so that [a, b] is the edge.
  static void curve(Line& l, long long number, const TopoDS_Edge& edge, double& a, double& b) {
    if (!BRep_Tool::IsGeometric(edge)) throw WriteError{"edge without a 3D curve"};
    BRepAdaptor_Curve c(edge);
    a = c.FirstParameter();
    b = c.LastParameter();
    switch (c.GetType()) {
      case GeomAbs_Line: {
        gp_Lin x = c.Line();
        l.start(number, "straight-curve");
        l.prefix();
        l.xyz(x.Location().XYZ());
        l.xyz(x.Direction().XYZ());
        l.tok("I I");
        l.end();
        return;
      }
      case GeomAbs_Circle:
      case GeomAbs_Ellipse: {
        gp_Ax2 ax;
        double major, ratio = 1;
        if (c.GetType() == GeomAbs_Circle) {
          ax = c.Circle().Position();
          major = c.Circle().Radius();
        } else {
          ax = c.Ellipse().Position();
          major = c.Ellipse().MajorRadius();
          ratio = c.Ellipse().MinorRadius() / major;
        }
        l.start(number, "ellipse-curve");
        l.prefix();
        l.xyz(ax.Location().XYZ());
        l.xyz(ax.Direction().XYZ());
        l.xyz(ax.XDirection().XYZ() * major);
        l.num(ratio);
        l.tok("I I");
        l.end();
        return;
      }
      default:
        break;
    }
    Handle(Geom_BSplineCurve) bs;
    if (c.GetType() == GeomAbs_BSplineCurve) {
      bs = Handle(Geom_BSplineCurve)::DownCast(c.BSpline()->Copy());
      if (bs->IsPeriodic()) bs->SetNotPeriodic();
      if (a < bs->FirstParameter() - 1e-12 || b > bs->LastParameter() + 1e-12) bs.Nullify();
    }
    if (bs.IsNull()) {
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
    }
    bool rational = bs->IsRational();
    l.start(number, "intcurve-curve");
    l.prefix();
    l.tok("forward { exactcur full");
    l.tok(rational ? "nurbs" : "nubs");
    l.integer(bs->Degree());
    l.tok("open");
    TColStd_Array1OfReal flat(1, bs->NbPoles() + bs->Degree() + 1);
    bs->KnotSequence(flat);
    writeKnots(l, flat);
    for (int i = 1; i <= bs->NbPoles(); ++i) {
      l.xyz(bs->Pole(i).XYZ());
      if (rational) l.num(bs->Weight(i));
    }
    double f = bs->FirstParameter(), t = bs->LastParameter();
    l.tok("0 null_surface null_surface nullbs nullbs F");
    l.num(f);
    l.tok("F");
    l.num(t);
    l.tok("0 0 0 F");
    l.num(f);
    l.tok("F");
    l.num(t);
    l.tok("} I I");
    l.end();
  }
};

}  // namespace

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
