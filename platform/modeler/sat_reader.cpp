// SAT records into Open CASCADE shapes; see sat_reader.h and sat_model.h.
#include "modeler/sat_reader.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include <BRepBuilderAPI_GTransform.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRepLib.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <GeomAPI_ProjectPointOnCurve.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_Circle.hxx>
#include <Geom_ConicalSurface.hxx>
#include <Geom_CylindricalSurface.hxx>
#include <Geom_Ellipse.hxx>
#include <Geom_Line.hxx>
#include <Geom_Plane.hxx>
#include <Geom_SphericalSurface.hxx>
#include <Geom_ToroidalSurface.hxx>
#include <ShapeAnalysis_Surface.hxx>
#include <ShapeFix_Face.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <TopoDS_Vertex.hxx>
#include <TopoDS_Wire.hxx>
#include <gp_Ax2.hxx>
#include <gp_Ax3.hxx>
#include <gp_GTrsf.hxx>
#include <gp_Pln.hxx>
#include <gp_Trsf.hxx>

#include "modeler/sat_model.h"

namespace kv::modeler::sat {

namespace {

// The shape itself when there is one, else a compound of them all.
TopoDS_Shape oneShape(const std::vector<TopoDS_Shape>& shapes) {
  if (shapes.size() == 1) return shapes.front();
  BRep_Builder builder;
  TopoDS_Compound comp;
  builder.MakeCompound(comp);
  for (const TopoDS_Shape& s : shapes) builder.Add(comp, s);
  return comp;
}

// Thrown inside this file only; read() turns it into its error text.
struct ReadError {
  std::string message;
};

[[noreturn]] void fail(const Record& r, const std::string& what) {
  throw ReadError{"record " + std::to_string(r.number) + " (" + std::string(r.type) + "): " + what};
}

std::string_view family(std::string_view type) {
  std::size_t dash = type.rfind('-');
  return dash == std::string_view::npos ? type : type.substr(dash + 1);
}

// The class just above the family: "plane" in "plane-surface".
std::string_view kindOf(std::string_view type) {
  std::size_t dash = type.rfind('-');
  if (dash == std::string_view::npos) return {};
  std::string_view head = type.substr(0, dash);
  std::size_t prev = head.rfind('-');
  return prev == std::string_view::npos ? head : head.substr(prev + 1);
}

constexpr int kMaxDegree = 25;  // the modeller's limit for B-splines

struct Surface {
  Handle(Geom_Surface) geom;
  bool flip = false;  // the file's surface normal is opposite to the modeller's
  bool infinite = false;
};

struct FaceInfo {
  std::int64_t next = -1, loop = -1, shell = -1, surface = -1;
  bool reversed = false;
  bool doubleSided = false;
};

class Reader {
public:
  explicit Reader(const Model& model) : m_(model), version_(model.header.version) {}

  std::vector<ReadBody> run() {
    findIdWidth();
    measure();
    indexFaces();
    std::vector<ReadBody> bodies;
    for (const Record& r : m_.records)
      if (r.type == "body") bodies.push_back(body(r));
    return bodies;
  }

private:
  const Model& m_;
  int version_;
  int idInts_ = 0;      // integers between the attribute pointer and the pattern pointer
  double scale_ = 1;    // size of the model, for tolerances
  double gap_ = 1e-6;   // largest distance between a vertex and its curve that we repair
  std::unordered_map<std::int64_t, std::vector<const Record*>> facesOfShell_;
  std::unordered_map<const Record*, TopoDS_Vertex> vertices_;
  std::unordered_map<const Record*, TopoDS_Edge> edges_;  // oriented from start to end vertex

  // --- records ---------------------------------------------------------------------------

  const Record& need(std::int64_t pointer, std::string_view fam, const Record& from) {
    const Record* r = m_.at(pointer);
    if (!r) fail(from, "points at missing record $" + std::to_string(pointer));
    if (family(r->type) != fam)
      fail(from, "$" + std::to_string(pointer) + " is a " + std::string(r->type) + ", not a " + std::string(fam));
    return *r;
  }

  // A cursor behind the common prefix: "$attrib" before 7.0, "$attrib id [int] $pattern" from 7.0.
  Cursor fields(const Record& r) {
    Cursor c(m_, r);
    std::int64_t p;
    if (!c.pointer(p)) fail(r, "no attribute pointer");
    for (int i = 0; i < idInts_ && c.nextIsInteger(); ++i) c.skip();
    if (version_ >= 700 && c.peek() && c.peek()->kind == TokenKind::Pointer) c.skip();
    return c;
  }

  std::int64_t ptr(Cursor& c, const Record& r, const char* what) {
    std::int64_t p;
    if (!c.pointer(p)) fail(r, std::string("no ") + what + " pointer");
    return p;
  }
  double real(Cursor& c, const Record& r, const char* what) {
    double v;
    if (!c.real(v)) fail(r, std::string("no ") + what);
    return v;
  }
  long long integer(Cursor& c, const Record& r, const char* what) {
    long long v;
    if (!c.integer(v)) fail(r, std::string("no ") + what);
    return v;
  }
  gp_XYZ xyz(Cursor& c, const Record& r, const char* what) {
    double x = real(c, r, what), y = real(c, r, what), z = real(c, r, what);
    return gp_XYZ(x, y, z);
  }
  gp_Dir dir(Cursor& c, const Record& r, const char* what) {
    gp_XYZ v = xyz(c, r, what);
    if (v.Modulus() < 1e-12) fail(r, std::string(what) + " is a zero vector");
    return gp_Dir(v);
  }
  bool choice(Cursor& c, const Record& r, std::string_view yes, std::string_view no) {
    bool v;
    if (!c.choice(yes, no, v)) fail(r, "expected " + std::string(yes) + " or " + std::string(no));
    return v;
  }

  void measure() {
    Bnd b;
    for (const Record& r : m_.records) {
      if (r.type != "point") continue;
      Cursor c = fields(r);
      double x, y, z;
      if (c.real(x) && c.real(y) && c.real(z)) b.add(x, y, z);
    }
    scale_ = b.empty ? 1.0 : std::max(1e-3, b.diagonal());
    gap_ = std::max(1e-6, 1e-5 * scale_);
  }

  struct Bnd {
    bool empty = true;
    double lo[3] = {}, hi[3] = {};
    void add(double x, double y, double z) {
      double p[3] = {x, y, z};
      for (int i = 0; i < 3; ++i) {
        lo[i] = empty ? p[i] : std::min(lo[i], p[i]);
        hi[i] = empty ? p[i] : std::max(hi[i], p[i]);
      }
      empty = false;
    }
    double diagonal() const {
      double s = 0;
      for (int i = 0; i < 3; ++i) s += (hi[i] - lo[i]) * (hi[i] - lo[i]);
      return std::sqrt(s);
    }
  };

  // 7.0 writes one id integer, later versions two; the first body tells which.
  void findIdWidth() {
    idInts_ = version_ >= 700 ? 1 : 0;
    if (version_ < 700) return;
    for (const Record& r : m_.records) {
      if (r.type != "body") continue;
      Cursor c(m_, r);
      std::int64_t p;
      if (!c.pointer(p)) return;
      int n = 0;
      while (n < 2 && c.nextIsInteger()) {
        c.skip();
        ++n;
      }
      idInts_ = std::max(1, n);
      return;
    }
  }

  FaceInfo faceInfo(const Record& r) {
    Cursor c = fields(r);
    FaceInfo f;
    f.next = ptr(c, r, "next face");
    f.loop = ptr(c, r, "loop");
    f.shell = ptr(c, r, "shell");
    ptr(c, r, "subshell");
    f.surface = ptr(c, r, "surface");
    f.reversed = !choice(c, r, "forward", "reversed");
    std::string_view side;
    f.doubleSided = c.word(side) && side == "double";
    return f;
  }

  // Faces parked under subshells are found by their shell pointer.
  void indexFaces() {
    for (const Record& r : m_.records) {
      if (family(r.type) != "face") continue;
      // A face no shell claims may be malformed without harm; one that is used fails later.
      try {
        facesOfShell_[faceInfo(r).shell].push_back(&r);
      } catch (const ReadError&) {
      }
    }
  }

  // A chain of records linked by their first pointer field after `skipBefore` pointers, cut
  // at a repeat so that a cycle ends the walk.
  template <class Next>
  std::vector<const Record*> chain(std::int64_t head, std::string_view fam, const Record& owner, Next next) {
    std::vector<const Record*> out;
    std::unordered_set<const Record*> seen;
    for (std::int64_t p = head; p >= 0;) {
      const Record& r = need(p, fam, owner);
      if (!seen.insert(&r).second) break;
      out.push_back(&r);
      p = next(r);
    }
    return out;
  }

  // --- geometry --------------------------------------------------------------------------

  // Jumps into a subtype: "{ name ... }" or "{ ref n }" for an earlier definition.
  Cursor subtype(Cursor& c, const Record& r) {
    if (!c.open()) fail(r, "no '{' for the spline data");
    Cursor inner = c;
    if (!c.skipToClose()) fail(r, "unbalanced braces");
    if (inner.isWord("ref")) {
      inner.skip();
      long long n = integer(inner, r, "subtype reference");
      if (n < 0 || std::size_t(n) >= m_.subtypes.size()) fail(r, "ref " + std::to_string(n) + " names no subtype");
      return Cursor(m_, m_.subtypes[std::size_t(n)] + 1, std::uint32_t(m_.tokens.size()));
    }
    return inner;
  }

  static bool isApproxWord(const Cursor& c) { return c.isWord("full") || c.isWord("none") || c.isWord("summary"); }

  // For procedural subtypes, the approximating B-spline sits behind the last "full" at this
  // brace level.
  void findApproximation(Cursor& c, const Record& r, std::string_view name) {
    Cursor scan = c;
    std::int64_t found = -1;
    int depth = 0;
    while (!scan.atEnd()) {
      const Token* t = scan.peek();
      if (t->kind == TokenKind::Open) ++depth;
      if (t->kind == TokenKind::Close) {
        if (depth == 0) break;
        --depth;
      }
      if (depth == 0 && t->kind == TokenKind::Word && t->text == "full") {
        Cursor after = scan;
        after.skip();
        if (after.isWord("nubs") || after.isWord("nurbs")) found = scan.position();
      }
      scan.skip();
    }
    if (found < 0) fail(r, "spline subtype '" + std::string(name) + "' holds no B-spline");
    c = Cursor(m_, std::uint32_t(found) + 1, std::uint32_t(m_.tokens.size()));
  }

  // Distinct knots with multiplicities as the file counts them (end knots once short).
  void knots(Cursor& c, const Record& r, long long n, TColStd_Array1OfReal& values, TColStd_Array1OfInteger& mults,
             int degree, int& sum) {
    sum = 0;
    for (int i = 1; i <= int(n); ++i) {
      values(i) = real(c, r, "knot");
      long long m = integer(c, r, "knot multiplicity");
      if (m < 1 || m > degree + 1) fail(r, "knot multiplicity " + std::to_string(m) + " out of range");
      if (i > 1 && values(i) <= values(i - 1)) fail(r, "knots do not increase");
      mults(i) = int(m);
      sum += int(m);
    }
    // The file leaves out the outermost knot at each end.
    mults(1) += 1;
    mults(int(n)) += 1;
    if (mults(1) > degree + 1 || mults(int(n)) > degree + 1) fail(r, "end knot multiplicity too high");
  }

  long long knotCount(Cursor& c, const Record& r) {
    long long n = integer(c, r, "knot count");
    long long left = static_cast<long long>(m_.tokens.size() - c.position());
    if (n < 2 || n > left / 2) fail(r, "knot count " + std::to_string(n) + " out of range");
    return n;
  }

  int degreeOf(Cursor& c, const Record& r) {
    long long d = integer(c, r, "degree");
    if (d < 1 || d > kMaxDegree) fail(r, "B-spline degree " + std::to_string(d) + " out of range");
    return int(d);
  }

  Handle(Geom_BSplineCurve) bsCurve(Cursor& c, const Record& r) {
    std::string_view kind;
    if (!c.word(kind) || (kind != "nubs" && kind != "nurbs")) fail(r, "no B-spline curve stored");
    bool rational = kind == "nurbs";
    int degree = degreeOf(c, r);
    std::string_view closure;
    c.word(closure);
    long long n = knotCount(c, r);
    TColStd_Array1OfReal kv(1, int(n));
    TColStd_Array1OfInteger km(1, int(n));
    int sum = 0;
    knots(c, r, n, kv, km, degree, sum);
    long long poles = sum - degree + 1;
    int dim = rational ? 4 : 3;
    if (poles < 2 || poles * dim > static_cast<long long>(m_.tokens.size() - c.position())) fail(r, "bad control point count");
    TColgp_Array1OfPnt p(1, int(poles));
    TColStd_Array1OfReal w(1, int(poles));
    for (int i = 1; i <= int(poles); ++i) {
      p(i) = gp_Pnt(xyz(c, r, "control point"));
      w(i) = rational ? real(c, r, "weight") : 1.0;
      if (w(i) <= 0) fail(r, "weight not positive");
    }
    try {
      return rational ? new Geom_BSplineCurve(p, w, kv, km, degree) : new Geom_BSplineCurve(p, kv, km, degree);
    } catch (const Standard_Failure& e) {
      fail(r, std::string("B-spline curve refused: ") + e.GetMessageString());
    }
  }

  Handle(Geom_BSplineSurface) bsSurface(Cursor& c, const Record& r) {
    std::string_view kind;
    if (!c.word(kind) || (kind != "nubs" && kind != "nurbs")) fail(r, "no B-spline surface stored");
    bool rational = kind == "nurbs";
    int du = degreeOf(c, r), dv = degreeOf(c, r);
    if (rational && (c.isWord("u") || c.isWord("v") || c.isWord("both"))) c.skip();
    std::string_view w;
    for (int i = 0; i < 4; ++i) c.word(w);  // closures and singularities
    long long nu = knotCount(c, r), nv = knotCount(c, r);
    TColStd_Array1OfReal ku(1, int(nu)), kv(1, int(nv));
    TColStd_Array1OfInteger mu(1, int(nu)), mv(1, int(nv));
    int su = 0, sv = 0;
    knots(c, r, nu, ku, mu, du, su);
    knots(c, r, nv, kv, mv, dv, sv);
    long long pu = su - du + 1, pv = sv - dv + 1;
    int dim = rational ? 4 : 3;
    long long left = static_cast<long long>(m_.tokens.size() - c.position());
    if (pu < 2 || pv < 2 || pu > left || pv > left || pu * pv * dim > left) fail(r, "bad control point count");
    TColgp_Array2OfPnt p(1, int(pu), 1, int(pv));
    TColStd_Array2OfReal wt(1, int(pu), 1, int(pv));
    for (int j = 1; j <= int(pv); ++j) {
      for (int i = 1; i <= int(pu); ++i) {
        p(i, j) = gp_Pnt(xyz(c, r, "control point"));
        wt(i, j) = rational ? real(c, r, "weight") : 1.0;
        if (wt(i, j) <= 0) fail(r, "weight not positive");
      }
    }
    try {
      if (rational) return new Geom_BSplineSurface(p, wt, ku, kv, mu, mv, du, dv);
      return new Geom_BSplineSurface(p, ku, kv, mu, mv, du, dv);
    } catch (const Standard_Failure& e) {
      fail(r, std::string("B-spline surface refused: ") + e.GetMessageString());
    }
  }

  Surface surface(const Record& face, std::int64_t pointer) {
    const Record& r = need(pointer, "surface", face);
    Cursor c = fields(r);
    std::string_view kind = kindOf(r.type);
    Surface s;
    try {
      if (kind == "plane") {
        gp_Pnt root(xyz(c, r, "root point"));
        gp_Dir normal = dir(c, r, "normal");
        gp_XYZ u = xyz(c, r, "u direction");
        gp_Ax3 ax = u.CrossMagnitude(normal.XYZ()) > 1e-12 ? gp_Ax3(root, normal, gp_Dir(u)) : gp_Ax3(root, normal);
        s.geom = new Geom_Plane(ax);
        s.infinite = true;
      } else if (kind == "cone") {
        gp_Pnt centre(xyz(c, r, "centre"));
        gp_Dir axis = dir(c, r, "axis");
        gp_XYZ major = xyz(c, r, "major axis");
        double ratio = real(c, r, "radius ratio");
        bool b;
        double v;
        if (!c.bound(b, v) || !c.bound(b, v)) fail(r, "no ellipse interval");
        double sine = real(c, r, "sine"), cosine = real(c, r, "cosine");
        double radius = major.Modulus();
        if (radius < 1e-12 || major.CrossMagnitude(axis.XYZ()) < 1e-12 * radius) fail(r, "bad major axis");
        if (std::fabs(ratio - 1) > 1e-9) fail(r, "elliptical cones and cylinders are not supported");
        if (std::fabs(cosine) < 1e-12) fail(r, "planar cone is not supported");
        gp_Ax3 ax(centre, axis, gp_Dir(major));
        if (std::fabs(sine) < 1e-12) s.geom = new Geom_CylindricalSurface(ax, radius);
        else s.geom = new Geom_ConicalSurface(ax, std::atan(sine / cosine), radius);
        s.flip = cosine < 0;
        s.infinite = true;
      } else if (kind == "sphere") {
        gp_Pnt centre(xyz(c, r, "centre"));
        double radius = real(c, r, "radius");
        gp_XYZ origin = xyz(c, r, "uv origin");
        gp_Dir pole = dir(c, r, "pole");
        if (std::fabs(radius) < 1e-12) fail(r, "zero radius");
        gp_Ax3 ax = origin.CrossMagnitude(pole.XYZ()) > 1e-12 ? gp_Ax3(centre, pole, gp_Dir(origin)) : gp_Ax3(centre, pole);
        s.geom = new Geom_SphericalSurface(ax, std::fabs(radius));
        s.flip = radius < 0;
      } else if (kind == "torus") {
        gp_Pnt centre(xyz(c, r, "centre"));
        gp_Dir normal = dir(c, r, "normal");
        double major = real(c, r, "major radius"), minor = real(c, r, "minor radius");
        gp_XYZ origin = xyz(c, r, "uv origin");
        if (major <= std::fabs(minor) || std::fabs(minor) < 1e-12) fail(r, "degenerate torus is not supported");
        gp_Ax3 ax = origin.CrossMagnitude(normal.XYZ()) > 1e-12 ? gp_Ax3(centre, normal, gp_Dir(origin)) : gp_Ax3(centre, normal);
        s.geom = new Geom_ToroidalSurface(ax, major, std::fabs(minor));
        s.flip = minor < 0;
      } else if (kind == "spline") {
        bool forward = choice(c, r, "forward", "reversed");
        Cursor d = subtype(c, r);
        std::string_view name;
        if (!d.word(name)) fail(r, "spline data has no subtype name");
        if (name == "exactsur") {
          if (isApproxWord(d)) d.skip();
        } else {
          findApproximation(d, r, name);
        }
        s.geom = bsSurface(d, r);
        s.flip = !forward;
      } else {
        fail(r, "surface type is not supported");
      }
    } catch (const Standard_Failure& e) {
      fail(r, std::string("surface refused: ") + e.GetMessageString());
    }
    return s;
  }

  // The curve, parameterised in the direction the file's curve runs.
  Handle(Geom_Curve) curve(const Record& edge, std::int64_t pointer) {
    const Record& r = need(pointer, "curve", edge);
    Cursor c = fields(r);
    std::string_view kind = kindOf(r.type);
    try {
      if (kind == "straight") {
        gp_Pnt root(xyz(c, r, "root point"));
        gp_Dir d = dir(c, r, "direction");
        return new Geom_Line(root, d);
      }
      if (kind == "ellipse") {
        gp_Pnt centre(xyz(c, r, "centre"));
        gp_Dir normal = dir(c, r, "normal");
        gp_XYZ major = xyz(c, r, "major axis");
        double ratio = real(c, r, "radius ratio");
        double radius = major.Modulus();
        if (radius < 1e-12 || ratio <= 0 || major.CrossMagnitude(normal.XYZ()) < 1e-12 * radius)
          fail(r, "degenerate ellipse");
        gp_Ax2 ax(centre, normal, gp_Dir(major));
        if (std::fabs(ratio - 1) < 1e-12) return new Geom_Circle(ax, radius);
        if (ratio < 1) return new Geom_Ellipse(ax, radius, ratio * radius);
        // The minor axis is the longer one: swap, which shifts the parameter by a quarter turn.
        return new Geom_Ellipse(gp_Ax2(centre, normal, ax.YDirection()), ratio * radius, radius);
      }
      if (kind == "intcurve") {
        bool forward = choice(c, r, "forward", "reversed");
        Cursor d = subtype(c, r);
        std::string_view name;
        if (!d.word(name)) fail(r, "curve data has no subtype name");
        if (isApproxWord(d)) d.skip();
        Handle(Geom_BSplineCurve) bs = bsCurve(d, r);
        if (!forward) bs->Reverse();
        return bs;
      }
    } catch (const Standard_Failure& e) {
      fail(r, std::string("curve refused: ") + e.GetMessageString());
    }
    fail(r, "curve type is not supported");
  }

  // --- topology --------------------------------------------------------------------------

  TopoDS_Vertex vertex(const Record& from, std::int64_t pointer) {
    const Record& r = need(pointer, "vertex", from);
    auto found = vertices_.find(&r);
    if (found != vertices_.end()) return found->second;
    Cursor c = fields(r);
    ptr(c, r, "edge");
    while (!c.atEnd() && c.peek()->kind != TokenKind::Pointer) c.skip();
    const Record& pr = need(ptr(c, r, "point"), "point", r);
    Cursor pc = fields(pr);
    gp_Pnt p(xyz(pc, pr, "coordinates"));
    TopoDS_Vertex v;
    BRep_Builder().MakeVertex(v, p, 1e-7);
    vertices_.emplace(&r, v);
    return v;
  }

  double project(const Handle(Geom_Curve)& curve, const gp_Pnt& p, const Record& r) {
    GeomAPI_ProjectPointOnCurve proj(p, curve);
    if (proj.NbPoints() == 0) fail(r, "vertex does not project onto the curve");
    return proj.LowerDistanceParameter();
  }

  // The edge oriented from its start vertex to its end vertex; null for an edge without a
  // curve (the apex of a cone), which the modeller rebuilds as it needs.
  TopoDS_Edge edge(const Record& from, std::int64_t pointer) {
    const Record& r = need(pointer, "edge", from);
    auto found = edges_.find(&r);
    if (found != edges_.end()) return found->second;

    Cursor c = fields(r);
    std::int64_t startP = ptr(c, r, "start vertex");
    double t0 = 0, t1 = 0;
    bool hasParams = c.real(t0);
    std::int64_t endP = ptr(c, r, "end vertex");
    hasParams = c.real(t1) && hasParams;
    ptr(c, r, "coedge");
    std::int64_t curveP = ptr(c, r, "curve");
    bool reversed = !choice(c, r, "forward", "reversed");

    TopoDS_Edge e;
    if (curveP < 0) {
      edges_.emplace(&r, e);
      return e;
    }
    Handle(Geom_Curve) crv = curve(r, curveP);
    TopoDS_Vertex vs = vertex(r, startP), ve = vertex(r, endP);
    bool closed = startP == endP;
    // Along the curve the edge runs from `lo` to `hi`.
    TopoDS_Vertex lo = reversed ? ve : vs, hi = reversed ? vs : ve;
    gp_Pnt plo = BRep_Tool::Pnt(lo), phi = BRep_Tool::Pnt(hi);

    double a = 0, b = 0;
    bool found2 = false;
    if (hasParams) {
      // The file's parameters, negated for an edge against its curve, when they meet the vertices.
      double ca = reversed ? -t1 : t0, cb = reversed ? -t0 : t1;
      if (cb > ca && crv->Value(ca).Distance(plo) < gap_ && crv->Value(cb).Distance(phi) < gap_) {
        a = ca;
        b = cb;
        found2 = true;
      }
    }
    if (!found2) {
      if (closed) {
        if (crv->IsPeriodic()) {
          a = project(crv, plo, r);
          b = a + crv->Period();
        } else if (crv->IsClosed()) {
          a = crv->FirstParameter();
          b = crv->LastParameter();
        } else {
          fail(r, "closed edge on an open curve");
        }
      } else {
        a = project(crv, plo, r);
        b = project(crv, phi, r);
        if (crv->IsPeriodic()) {
          double period = crv->Period();
          while (b <= a) b += period;
          while (b - a > period) b -= period;
        }
      }
    }
    if (!(b > a)) fail(r, "edge has no length on its curve");
    double da = crv->Value(a).Distance(plo), db = crv->Value(b).Distance(phi);
    if (da > 100 * gap_ || db > 100 * gap_) fail(r, "vertices are not on the curve");
    BRep_Builder builder;
    builder.UpdateVertex(lo, std::max(BRep_Tool::Tolerance(lo), 1.001 * da));
    builder.UpdateVertex(hi, std::max(BRep_Tool::Tolerance(hi), 1.001 * db));
    BRepBuilderAPI_MakeEdge make(crv, lo, hi, a, b);
    if (!make.IsDone()) fail(r, "edge cannot be built on its curve (" + std::to_string(int(make.Error())) + ")");
    e = make.Edge();
    if (reversed) e.Reverse();
    edges_.emplace(&r, e);
    return e;
  }

  struct Coedge {
    const Record* record;
    std::int64_t edge;
    bool reversed;
  };

  std::vector<Coedge> ring(const Record& loop, std::int64_t head) {
    std::vector<Coedge> out;
    std::unordered_set<const Record*> seen;
    const Record* first = &need(head, "coedge", loop);
    for (const Record* r = first;;) {
      if (!seen.insert(r).second) fail(loop, "coedge ring does not come back to its first coedge");
      Cursor c = fields(*r);
      std::int64_t next = ptr(c, *r, "next coedge");
      ptr(c, *r, "previous coedge");
      ptr(c, *r, "partner");
      std::int64_t e = ptr(c, *r, "edge");
      bool reversed = !choice(c, *r, "forward", "reversed");
      out.push_back({r, e, reversed});
      if (next < 0) fail(*r, "coedge ring is open");
      r = &need(next, "coedge", *r);
      if (r == first) break;
    }
    return out;
  }

  TopoDS_Wire wire(const Record& loop, std::int64_t head, bool backwards) {
    std::vector<TopoDS_Edge> edges;
    for (const Coedge& ce : ring(loop, head)) {
      TopoDS_Edge e = edge(*ce.record, ce.edge);
      if (e.IsNull()) continue;
      edges.push_back(ce.reversed ? TopoDS::Edge(e.Reversed()) : e);
    }
    TopoDS_Wire w;
    if (edges.empty()) return w;
    BRep_Builder builder;
    builder.MakeWire(w);
    if (backwards) {
      for (auto it = edges.rbegin(); it != edges.rend(); ++it) builder.Add(w, it->Reversed());
    } else {
      for (const TopoDS_Edge& e : edges) builder.Add(w, e);
    }
    return w;
  }

  // Edges off their face's surface are a broken file; the modeller's repairs are not made
  // for them and may fail badly.
  void onSurface(const Record& r, const Handle(Geom_Surface)& surface, const std::vector<TopoDS_Wire>& wires) {
    ShapeAnalysis_Surface analysis(surface);
    double limit = 100 * gap_;
    for (const TopoDS_Wire& w : wires) {
      for (TopExp_Explorer x(w, TopAbs_EDGE); x.More(); x.Next()) {
        double a, b;
        Handle(Geom_Curve) c = BRep_Tool::Curve(TopoDS::Edge(x.Current()), a, b);
        if (c.IsNull()) continue;
        for (double t : {a, 0.5 * (a + b), b}) {
          analysis.ValueOfUV(c->Value(t), limit);
          if (analysis.Gap() > limit) fail(r, "an edge of the face is not on its surface");
        }
      }
    }
  }

  TopoDS_Face face(const Record& r) {
    FaceInfo info = faceInfo(r);
    Surface s = surface(r, info.surface);
    // Built forward on the modeller's surface; its loops run the other way round when the
    // face's normal is opposite to the surface's, and the face is turned over at the end.
    bool flip = info.reversed != s.flip;
    std::vector<const Record*> loops = chain(info.loop, "loop", r, [&](const Record& l) {
      Cursor c = fields(l);
      return ptr(c, l, "next loop");
    });
    double tol = 1e-7;
    TopoDS_Face f;
    try {
      std::vector<TopoDS_Wire> wires;
      for (const Record* l : loops) {
        Cursor c = fields(*l);
        ptr(c, *l, "next loop");
        TopoDS_Wire w = wire(*l, ptr(c, *l, "coedge"), flip);
        if (!w.IsNull()) wires.push_back(w);
      }
      if (wires.empty()) {
        if (s.infinite) fail(r, "face on an unbounded surface has no loop");
        BRepBuilderAPI_MakeFace make(s.geom, tol);
        if (!make.IsDone()) fail(r, "face cannot be built on its surface");
        f = make.Face();
      } else {
        onSurface(r, s.geom, wires);
        BRep_Builder builder;
        builder.MakeFace(f, s.geom, tol);
        for (const TopoDS_Wire& w : wires) builder.Add(f, w);
        if (s.geom->IsKind(STANDARD_TYPE(Geom_Plane))) {
          // Stored once here, the plane's 2D curves are not recomputed by every check below.
          TopTools_ListOfShape edges;
          for (TopExp_Explorer x(f, TopAbs_EDGE); x.More(); x.Next()) edges.Append(x.Current());
          BRepLib::BuildPCurveForEdgesOnPlane(edges, f);
        }
        ShapeFix_Face fix(f);
        // The file says which way each loop runs; checking wires against each other costs
        // the square of their number (a plate with a thousand holes).
        fix.FixOrientationMode() = 0;
        fix.FixIntersectingWiresMode() = 0;
        fix.FixSplitFaceMode() = 0;
        fix.FixSmallAreaWireMode() = 0;
        // Dereferences a null curve on some inconsistent loops (found by mutating files).
        fix.FixPeriodicDegeneratedMode() = 0;
        fix.SetPrecision(tol);
        fix.SetMaxTolerance(std::max(gap_ * 100, 1e-4));
        fix.Perform();
        f = fix.Face();
      }
    } catch (const Standard_Failure& e) {
      fail(r, std::string("face cannot be built: ") + e.GetMessageString());
    }
    if (f.IsNull()) fail(r, "face cannot be built");
    if (flip) f.Reverse();
    return f;
  }

  static double volume(const TopoDS_Shape& s) {
    GProp_GProps props;
    BRepGProp::VolumeProperties(s, props);
    return props.Mass();
  }

  // A closed shell into a solid of positive volume.
  static TopoDS_Solid solidOf(TopoDS_Shell shell) {
    BRep_Builder builder;
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    // Classifying a point at infinity costs far less than integrating the volume.
    if (BRepLib::OrientClosedSolid(solid)) return solid;
    if (volume(solid) < 0) {
      shell.Reverse();
      builder.MakeSolid(solid);
      builder.Add(solid, shell);
    }
    return solid;
  }

  // One lump's faces into solids when every shell closes, else into shells and free faces.
  // Double-sided faces make a sheet even where it closes.
  void lump(const std::vector<TopoDS_Face>& faces, bool sheet, std::vector<TopoDS_Shape>& solids,
            std::vector<TopoDS_Shape>& open) {
    BRep_Builder builder;
    TopoDS_Shell direct;
    builder.MakeShell(direct);
    for (const TopoDS_Face& f : faces) builder.Add(direct, f);
    std::vector<TopoDS_Shell> shells;
    std::vector<TopoDS_Shape> loose;
    if (BRep_Tool::IsClosed(direct)) {
      direct.Closed(Standard_True);
      shells.push_back(direct);
    } else {
      BRepBuilderAPI_Sewing sew(std::max(1e-6, 1e-6 * scale_));
      for (const TopoDS_Face& f : faces) sew.Add(f);
      sew.Perform();
      TopoDS_Shape sewn = sew.SewedShape();
      for (TopExp_Explorer x(sewn, TopAbs_SHELL); x.More(); x.Next()) shells.push_back(TopoDS::Shell(x.Current()));
      for (TopExp_Explorer x(sewn, TopAbs_FACE, TopAbs_SHELL); x.More(); x.Next()) loose.push_back(x.Current());
    }
    std::vector<TopoDS_Solid> closed;
    for (TopoDS_Shell& sh : shells) {
      if (!sheet && BRep_Tool::IsClosed(sh)) {
        sh.Closed(Standard_True);
        closed.push_back(solidOf(sh));
      } else {
        open.push_back(sh);
      }
    }
    for (const TopoDS_Shape& f : loose) open.push_back(f);
    if (closed.empty()) return;
    // The largest shell bounds the lump; the others are its voids.
    std::sort(closed.begin(), closed.end(),
              [](const TopoDS_Solid& x, const TopoDS_Solid& y) { return volume(x) > volume(y); });
    TopoDS_Solid result = closed.front();
    for (std::size_t i = 1; i < closed.size(); ++i) {
      TopoDS_Iterator it(closed[i]);
      builder.Add(result, it.Value().Reversed());
    }
    solids.push_back(result);
  }

  static bool coplanar(const std::vector<TopoDS_Shape>& parts, double tol) {
    Handle(Geom_Plane) first;
    bool any = false;
    for (const TopoDS_Shape& part : parts) {
      for (TopExp_Explorer x(part, TopAbs_FACE); x.More(); x.Next()) {
        Handle(Geom_Plane) p = Handle(Geom_Plane)::DownCast(BRep_Tool::Surface(TopoDS::Face(x.Current())));
        if (p.IsNull()) return false;
        if (!any) {
          first = p;
          any = true;
          continue;
        }
        gp_Pln a = first->Pln(), b = p->Pln();
        if (!a.Axis().IsParallel(b.Axis(), 1e-9) || a.Distance(b.Location()) > tol) return false;
      }
    }
    return any;
  }

  void applyTransform(const Record& body, std::int64_t pointer, TopoDS_Shape& shape) {
    const Record& r = need(pointer, "transform", body);
    if (r.count < 17) fail(r, "too few fields");
    // The 13 reals and 3 words are the record's tail; ids and attributes sit in front.
    Cursor c(m_, r.first + r.count - 16, r.first + r.count);
    double v[13];
    for (double& x : v) x = real(c, r, "matrix value");
    double s = v[12];
    if (std::fabs(s) < 1e-300) fail(r, "zero scale");
    // Rows are the images of the axes (row vectors), so the modeller's matrix is the transpose.
    double a[3][4];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) a[i][j] = s * v[j * 3 + i];
      a[i][3] = v[9 + i];
    }
    bool identity = true;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 4; ++j)
        if (std::fabs(a[i][j] - (i == j ? 1.0 : 0.0)) > 1e-15) identity = false;
    if (identity) return;
    try {
      gp_Trsf t;
      t.SetValues(a[0][0], a[0][1], a[0][2], a[0][3], a[1][0], a[1][1], a[1][2], a[1][3], a[2][0], a[2][1], a[2][2],
                  a[2][3]);
      BRepBuilderAPI_Transform moved(shape, t, Standard_True);
      shape = moved.Shape();
    } catch (const Standard_Failure&) {
      gp_GTrsf g;
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) g.SetValue(i + 1, j + 1, a[i][j]);
        g.SetValue(i + 1, 4, a[i][3]);
      }
      BRepBuilderAPI_GTransform moved(shape, g, Standard_True);
      if (!moved.IsDone()) fail(r, "transform cannot be applied");
      shape = moved.Shape();
    }
  }

  ReadBody body(const Record& r) {
    vertices_.clear();
    edges_.clear();
    Cursor c = fields(r);
    while (c.nextIsInteger()) c.skip();
    std::int64_t lumpP = ptr(c, r, "lump");
    ptr(c, r, "wire");
    std::int64_t transformP = ptr(c, r, "transform");

    std::vector<TopoDS_Shape> solids, open;
    std::vector<const Record*> lumps = chain(lumpP, "lump", r, [&](const Record& l) {
      Cursor lc = fields(l);
      return ptr(lc, l, "next lump");
    });
    if (lumps.empty()) fail(r, "body has no lump (wire bodies are not supported)");
    for (const Record* l : lumps) {
      Cursor lc = fields(*l);
      ptr(lc, *l, "next lump");
      std::int64_t shellP = ptr(lc, *l, "shell");
      std::vector<const Record*> shells = chain(shellP, "shell", *l, [&](const Record& s) {
        Cursor sc = fields(s);
        return ptr(sc, s, "next shell");
      });
      std::vector<TopoDS_Face> faces;
      bool sheet = false;
      for (const Record* s : shells) {
        Cursor sc = fields(*s);
        ptr(sc, *s, "next shell");
        ptr(sc, *s, "subshell");
        std::int64_t faceP = ptr(sc, *s, "face");
        std::vector<const Record*> list = chain(faceP, "face", *s, [&](const Record& f) { return faceInfo(f).next; });
        std::unordered_set<const Record*> inList(list.begin(), list.end());
        auto found = facesOfShell_.find(s->number);
        if (found != facesOfShell_.end())
          for (const Record* f : found->second)
            if (inList.insert(f).second) list.push_back(f);
        for (const Record* f : list) {
          faces.push_back(face(*f));
          sheet = sheet || faceInfo(*f).doubleSided;
        }
      }
      if (faces.empty()) continue;
      lump(faces, sheet, solids, open);
    }
    if (solids.empty() && open.empty()) fail(r, "body has no faces");

    ReadBody out;
    if (open.empty()) {
      out.kind = BodyKind::Solid;
      out.shape = oneShape(solids);
    } else {
      std::vector<TopoDS_Shape> parts = open;
      parts.insert(parts.end(), solids.begin(), solids.end());
      out.kind = solids.empty() && coplanar(parts, gap_) ? BodyKind::Region : BodyKind::Body;
      out.shape = oneShape(parts);
    }
    if (transformP >= 0) applyTransform(r, transformP, out.shape);
    return out;
  }
};

}  // namespace

bool read(std::string text, std::vector<ReadBody>& bodies, std::string& error) {
  Model model;
  if (!parse(std::move(text), model, error)) return false;
  try {
    Reader reader(model);
    std::vector<ReadBody> result = reader.run();
    bodies = std::move(result);
    return true;
  } catch (const ReadError& e) {
    error = e.message;
  } catch (const Standard_Failure& e) {
    error = std::string("modeller failure: ") + e.GetMessageString();
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  return false;
}

}  // namespace kv::modeler::sat
