// SAT records into Open CASCADE shapes; see sat_reader.h, sat_model.h and sat_records.h.
#include "modeler/sat_reader.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>
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
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Iterator.hxx>
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

#include "modeler/occ_shape.h"
#include "modeler/sat_model.h"
#include "modeler/sat_records.h"

namespace kv::modeler {

TopoDS_Shape oneShape(const std::vector<TopoDS_Shape>& shapes) {
  if (shapes.size() == 1) return shapes.front();
  BRep_Builder builder;
  TopoDS_Compound comp;
  builder.MakeCompound(comp);
  for (const TopoDS_Shape& s : shapes) builder.Add(comp, s);
  return comp;
}

namespace sat {

namespace {

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

// Takes the fields a record's describe() lists from its tokens; see sat_records.h. A field the
// record must have and has not refuses the record with the field's name.
class FieldReader {
public:
  // `idInts`: how many integers the file writes for an entity id.
  FieldReader(const Model& model, const Record& record, Cursor& cursor, int idInts)
      : m_(model), r_(record), c_(cursor), idInts_(idInts) {}

  int version() const { return m_.header.version; }
  // Ids are nothing we use.
  void ids(long long&) {
    for (int i = 0; i < idInts_ && c_.nextIsInteger(); ++i) c_.skip();
  }
  void extras(rec::Extras kind) {
    if (stopped_) return;
    if (kind == rec::Extras::integers) {
      while (c_.nextIsInteger()) c_.skip();
      return;
    }
    while (!c_.atEnd() && c_.peek()->kind != TokenKind::Pointer) c_.skip();
  }

  void pointer(const char* name, rec::Ptr& p, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    if (!c_.pointer(p) && read == rec::Read::must) fail(r_, std::string("no ") + name + " pointer");
  }
  void real(const char* name, double& v, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    if (!c_.real(v) && read == rec::Read::must) missing(name);
  }
  // A real that some versions leave out.
  void real(const char*, std::optional<double>& v) {
    double x = 0;
    if (!stopped_ && c_.real(x)) v = x;
  }
  void logical(bool& v, std::string_view no, std::string_view yes, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    if (!c_.choice(yes, no, v) && read == rec::Read::must)
      fail(r_, "expected " + std::string(no) + " or " + std::string(yes));
  }
  void word(const char* name, std::string_view& w, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    if (!c_.word(w) && read == rec::Read::must) missing(name);
  }
  void oneOf(const char* name, std::string_view& w, std::initializer_list<std::string_view> words, rec::Read read) {
    if (skipping(read)) return;
    for (std::string_view x : words)
      if (c_.isWord(x)) {
        c_.word(w);
        return;
      }
    if (read == rec::Read::must) missing(name);
  }
  void position(const char* name, gp_XYZ& p, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    Cursor start = c_;
    double x = 0, y = 0, z = 0;
    if (c_.real(x) && c_.real(y) && c_.real(z)) {
      p.SetCoord(x, y, z);
      return;
    }
    c_ = start;
    if (read == rec::Read::must) missing(name);
  }
  void vector(const char* name, gp_XYZ& v, rec::Read read = rec::Read::must) { position(name, v, read); }
  void direction(const char* name, gp_XYZ& v) {
    position(name, v);
    if (v.Modulus() < 1e-12) fail(r_, std::string(name) + " is a zero vector");
  }
  void interval(const char* name, rec::Interval& x, rec::Read read = rec::Read::must) {
    if (skipping(read)) return;
    Cursor start = c_;
    if (bound(x.low) && bound(x.high)) return;
    c_ = start;
    if (read == rec::Read::must) missing(name);
  }
  void string(const char* name, std::string_view& s, rec::Read read) {
    if (skipping(read)) return;
    if (!c_.string(s) && read == rec::Read::must) missing(name);
  }
  void list(const char* name, std::vector<double>& values, rec::Read read) {
    if (skipping(read)) return;
    count(name, values, 0, 1);
    for (double& v : values) real(name, v);
  }

  template <class T>
  void subtype(T& data) {
    assert(!stopped_);
    Cursor inner = enter();
    FieldReader io(m_, r_, inner, idInts_);
    describe(io, data);
  }
  // In front of the B-spline of a spline subtype, or for procedural surfaces behind their own data.
  void approximation(std::string_view& level, std::string_view subtype, bool inFront) {
    if (!inFront) {
      findApproximation(subtype);
      level = "full";
    } else if (c_.isWord("full") || c_.isWord("none") || c_.isWord("summary")) {
      c_.word(level);
    }
  }

  void form(const char* name, bool& rational) {
    std::string_view kind;
    if (!c_.word(kind) || (kind != "nubs" && kind != "nurbs")) fail(r_, std::string("no ") + name + " stored");
    rational = kind == "nurbs";
  }
  void degree(int& degree) {
    long long d = 0;
    if (!c_.integer(d)) missing("degree");
    if (d < 1 || d > kMaxDegree) fail(r_, "B-spline degree " + std::to_string(d) + " out of range");
    degree = int(d);
  }
  // The length of a list whose items take `tokensEach` tokens: no more than are left.
  template <class T>
  void count(const char* name, std::vector<T>& list, long long least, long long tokensEach) {
    long long n = 0;
    if (!c_.integer(n)) missing(name);
    if (n < least || n > tokensLeft() / tokensEach)
      fail(r_, std::string(name) + " " + std::to_string(n) + " out of range");
    list.resize(std::size_t(n));
  }
  void knots(std::vector<rec::Knot>& knots, int degree) {
    for (std::size_t i = 0; i < knots.size(); ++i) {
      real("knot", knots[i].value);
      long long m = 0;
      if (!c_.integer(m)) missing("knot multiplicity");
      if (m < 1 || m > degree + 1) fail(r_, "knot multiplicity " + std::to_string(m) + " out of range");
      if (i > 0 && knots[i].value <= knots[i - 1].value) fail(r_, "knots do not increase");
      knots[i].multiplicity = int(m);
    }
    // The file leaves out the outermost knot at each end, and the modeller allows degree + 1.
    if (knots.front().multiplicity > degree || knots.back().multiplicity > degree)
      fail(r_, "end knot multiplicity too high");
  }
  void poles(std::vector<rec::Pole>& poles, bool rational, long long n) {
    if (n < 2 || n * (rational ? 4 : 3) > tokensLeft()) fail(r_, "bad control point count");
    readPoles(poles, rational, n);
  }
  void poleGrid(std::vector<rec::Pole>& poles, bool rational, long long nu, long long nv) {
    long long left = tokensLeft();
    if (nu < 2 || nv < 2 || nu > left || nv > left || nu * nv * (rational ? 4 : 3) > left)
      fail(r_, "bad control point count");
    readPoles(poles, rational, nu * nv);
  }

private:
  // True from the first field the reader does not need on.
  bool skipping(rec::Read read) {
    assert(read == rec::Read::skip || !stopped_);  // what the reader needs comes first
    if (read == rec::Read::skip) stopped_ = true;
    return stopped_;
  }
  [[noreturn]] void missing(const char* name) { fail(r_, std::string("no ") + name); }
  long long tokensLeft() const { return static_cast<long long>(m_.tokens.size() - c_.position()); }

  bool bound(std::optional<double>& b) {
    bool bounded = false;
    double v = 0;
    if (!c_.bound(bounded, v)) return false;
    b = bounded ? std::optional<double>(v) : std::nullopt;
    return true;
  }

  void readPoles(std::vector<rec::Pole>& poles, bool rational, long long n) {
    poles.resize(std::size_t(n));
    for (rec::Pole& p : poles) {
      position("control point", p.point);
      if (rational) real("weight", p.weight);
      if (p.weight <= 0) fail(r_, "weight not positive");
    }
  }

  // Steps into "{ name ... }", or for "{ ref n }" into the n-th definition; this cursor moves
  // behind the '}'.
  Cursor enter() {
    if (!c_.open()) fail(r_, "no '{' for the spline data");
    Cursor inner = c_;
    if (!c_.skipToClose()) fail(r_, "unbalanced braces");
    if (!inner.isWord("ref")) return inner;
    inner.skip();
    long long n = 0;
    if (!inner.integer(n)) missing("subtype reference");
    if (n < 0 || std::size_t(n) >= m_.subtypes.size()) fail(r_, "ref " + std::to_string(n) + " names no subtype");
    return Cursor(m_, m_.subtypes[std::size_t(n)] + 1, std::uint32_t(m_.tokens.size()));
  }

  // For procedural subtypes, the approximating B-spline sits behind the last "full" at this
  // brace level.
  void findApproximation(std::string_view name) {
    Cursor scan = c_;
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
    if (found < 0) fail(r_, "spline subtype '" + std::string(name) + "' holds no B-spline");
    c_ = Cursor(m_, std::uint32_t(found) + 1, std::uint32_t(m_.tokens.size()));
  }

  const Model& m_;
  const Record& r_;
  Cursor& c_;
  int idInts_;
  bool stopped_ = false;
};

// The file's knots as the modeller's: the end knots one more.
void modellerKnots(const std::vector<rec::Knot>& knots, TColStd_Array1OfReal& values, TColStd_Array1OfInteger& mults) {
  for (int i = 1; i <= int(knots.size()); ++i) {
    values(i) = knots[std::size_t(i - 1)].value;
    mults(i) = knots[std::size_t(i - 1)].multiplicity;
  }
  mults(1) += 1;
  mults(mults.Upper()) += 1;
}

Handle(Geom_BSplineCurve) modellerCurve(const rec::BSplineCurve& b, const Record& r) {
  int n = int(b.knots.size()), poles = int(b.poles.size());
  TColStd_Array1OfReal kv(1, n);
  TColStd_Array1OfInteger km(1, n);
  modellerKnots(b.knots, kv, km);
  TColgp_Array1OfPnt p(1, poles);
  TColStd_Array1OfReal w(1, poles);
  for (int i = 1; i <= poles; ++i) {
    p(i) = gp_Pnt(b.poles[std::size_t(i - 1)].point);
    w(i) = b.poles[std::size_t(i - 1)].weight;
  }
  try {
    return b.rational ? new Geom_BSplineCurve(p, w, kv, km, b.degree) : new Geom_BSplineCurve(p, kv, km, b.degree);
  } catch (const Standard_Failure& e) {
    fail(r, std::string("B-spline curve refused: ") + e.GetMessageString());
  }
}

Handle(Geom_BSplineSurface) modellerSurface(const rec::BSplineSurface& b, const Record& r) {
  int nu = int(b.uKnots.size()), nv = int(b.vKnots.size());
  TColStd_Array1OfReal ku(1, nu), kv(1, nv);
  TColStd_Array1OfInteger mu(1, nu), mv(1, nv);
  modellerKnots(b.uKnots, ku, mu);
  modellerKnots(b.vKnots, kv, mv);
  int pu = int(rec::poleCount(b.uKnots, b.uDegree)), pv = int(rec::poleCount(b.vKnots, b.vDegree));
  TColgp_Array2OfPnt p(1, pu, 1, pv);
  TColStd_Array2OfReal w(1, pu, 1, pv);
  for (int j = 1; j <= pv; ++j) {
    for (int i = 1; i <= pu; ++i) {
      const rec::Pole& pole = b.poles[std::size_t(j - 1) * std::size_t(pu) + std::size_t(i - 1)];
      p(i, j) = gp_Pnt(pole.point);
      w(i, j) = pole.weight;
    }
  }
  try {
    if (b.rational) return new Geom_BSplineSurface(p, w, ku, kv, mu, mv, b.uDegree, b.vDegree);
    return new Geom_BSplineSurface(p, ku, kv, mu, mv, b.uDegree, b.vDegree);
  } catch (const Standard_Failure& e) {
    fail(r, std::string("B-spline surface refused: ") + e.GetMessageString());
  }
}

struct Surface {
  Handle(Geom_Surface) geom;
  bool flip = false;  // the file's surface normal is opposite to the modeller's
  bool infinite = false;
};

// An axis system from a normal and a direction in its plane, when that is not along it.
gp_Ax3 axes(const gp_XYZ& origin, const gp_Dir& normal, const gp_XYZ& x) {
  return x.CrossMagnitude(normal.XYZ()) > 1e-12 ? gp_Ax3(gp_Pnt(origin), normal, gp_Dir(x))
                                                : gp_Ax3(gp_Pnt(origin), normal);
}

Surface plane(const rec::PlaneSurface& x) {
  return {new Geom_Plane(axes(x.root, gp_Dir(x.normal), x.uDirection)), false, true};
}

Surface cone(const rec::ConeSurface& x, const Record& r) {
  gp_Dir axis(x.axis);
  double radius = x.majorAxis.Modulus();
  if (radius < 1e-12 || x.majorAxis.CrossMagnitude(axis.XYZ()) < 1e-12 * radius) fail(r, "bad major axis");
  if (std::fabs(x.ratio - 1) > 1e-9) fail(r, "elliptical cones and cylinders are not supported");
  if (std::fabs(x.cosine) < 1e-12) fail(r, "planar cone is not supported");
  gp_Ax3 ax(gp_Pnt(x.centre), axis, gp_Dir(x.majorAxis));
  Surface s;
  if (std::fabs(x.sine) < 1e-12) s.geom = new Geom_CylindricalSurface(ax, radius);
  else s.geom = new Geom_ConicalSurface(ax, std::atan(x.sine / x.cosine), radius);
  s.flip = x.cosine < 0;
  s.infinite = true;
  return s;
}

Surface sphere(const rec::SphereSurface& x, const Record& r) {
  if (std::fabs(x.radius) < 1e-12) fail(r, "zero radius");
  gp_Ax3 ax = axes(x.centre, gp_Dir(x.pole), x.uvOrigin);
  return {new Geom_SphericalSurface(ax, std::fabs(x.radius)), x.radius < 0, false};
}

Surface torus(const rec::TorusSurface& x, const Record& r) {
  if (x.major <= std::fabs(x.minor) || std::fabs(x.minor) < 1e-12) fail(r, "degenerate torus is not supported");
  gp_Ax3 ax = axes(x.centre, gp_Dir(x.normal), x.uvOrigin);
  return {new Geom_ToroidalSurface(ax, x.major, std::fabs(x.minor)), x.minor < 0, false};
}

Handle(Geom_Curve) ellipse(const rec::EllipseCurve& x, const Record& r) {
  gp_Pnt centre(x.centre);
  gp_Dir normal(x.normal);
  double radius = x.majorAxis.Modulus();
  if (radius < 1e-12 || x.ratio <= 0 || x.majorAxis.CrossMagnitude(normal.XYZ()) < 1e-12 * radius)
    fail(r, "degenerate ellipse");
  gp_Ax2 ax(centre, normal, gp_Dir(x.majorAxis));
  if (std::fabs(x.ratio - 1) < 1e-12) return new Geom_Circle(ax, radius);
  if (x.ratio < 1) return new Geom_Ellipse(ax, radius, x.ratio * radius);
  // The minor axis is the longer one: swap, which shifts the parameter by a quarter turn.
  return new Geom_Ellipse(gp_Ax2(centre, normal, ax.YDirection()), x.ratio * radius, radius);
}

// The placement of a transform record: rows are the images of the axes (row vectors), so the
// modeller's matrix is the transpose, scaled.
gp_GTrsf placement(const rec::Transform& t) {
  gp_GTrsf g;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) g.SetValue(i + 1, j + 1, t.scale * t.matrix[std::size_t(j * 3 + i)]);
    g.SetValue(i + 1, 4, t.translation.Coord(i + 1));
  }
  return g;
}

bool isIdentity(const gp_GTrsf& g) {
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 4; ++j)
      if (std::fabs(g.Value(i, j) - (i == j ? 1.0 : 0.0)) > 1e-15) return false;
  return true;
}

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

  const Record& need(rec::Ptr pointer, std::string_view fam, const Record& from) {
    const Record* r = m_.at(pointer);
    if (!r) fail(from, "points at missing record $" + std::to_string(pointer));
    if (family(r->type) != fam)
      fail(from, "$" + std::to_string(pointer) + " is a " + std::string(r->type) + ", not a " + std::string(fam));
    return *r;
  }

  // The record's fields described by `out`, from the cursor on.
  template <class T>
  void parse(Cursor& c, const Record& r, T& out) {
    FieldReader io(m_, r, c, idInts_);
    describe(io, out);
  }

  // A cursor behind the common prefix.
  Cursor fields(const Record& r) {
    Cursor c(m_, r);
    rec::Prefix prefix;
    parse(c, r, prefix);
    return c;
  }

  template <class T>
  T load(const Record& r) {
    Cursor c = fields(r);
    T out;
    parse(c, r, out);
    return out;
  }

  void measure() {
    Bnd b;
    for (const Record& r : m_.records) {
      if (r.type != "point") continue;
      Cursor c = fields(r);
      rec::Point p;
      try {
        parse(c, r, p);
      } catch (const ReadError&) {
        continue;  // refused where it is used
      }
      b.add(p.coordinates.X(), p.coordinates.Y(), p.coordinates.Z());
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

  // Faces parked under subshells are found by their shell pointer.
  void indexFaces() {
    for (const Record& r : m_.records) {
      if (family(r.type) != "face") continue;
      // A face no shell claims may be malformed without harm; one that is used fails later.
      try {
        facesOfShell_[load<rec::Face>(r).shell].push_back(&r);
      } catch (const ReadError&) {
      }
    }
  }

  // A chain of records, each naming the next, cut at a repeat so that a cycle ends the walk.
  template <class Next>
  std::vector<const Record*> chain(rec::Ptr head, std::string_view fam, const Record& owner, Next next) {
    std::vector<const Record*> out;
    std::unordered_set<const Record*> seen;
    for (rec::Ptr p = head; p >= 0;) {
      const Record& r = need(p, fam, owner);
      if (!seen.insert(&r).second) break;
      out.push_back(&r);
      p = next(r);
    }
    return out;
  }

  // --- geometry --------------------------------------------------------------------------

  Surface surface(const Record& face, rec::Ptr pointer) {
    const Record& r = need(pointer, "surface", face);
    Cursor c = fields(r);
    std::string_view kind = kindOf(r.type);
    try {
      if (kind == "plane") return plane(parsed<rec::PlaneSurface>(c, r));
      if (kind == "cone") return cone(parsed<rec::ConeSurface>(c, r), r);
      if (kind == "sphere") return sphere(parsed<rec::SphereSurface>(c, r), r);
      if (kind == "torus") return torus(parsed<rec::TorusSurface>(c, r), r);
      if (kind == "spline") {
        auto x = parsed<rec::SplineSurface>(c, r);
        return {modellerSurface(x.data.spline, r), x.reversed, false};
      }
    } catch (const Standard_Failure& e) {
      fail(r, std::string("surface refused: ") + e.GetMessageString());
    }
    fail(r, "surface type is not supported");
  }

  // The curve, parameterised in the direction the file's curve runs.
  Handle(Geom_Curve) curve(const Record& edge, rec::Ptr pointer) {
    const Record& r = need(pointer, "curve", edge);
    Cursor c = fields(r);
    std::string_view kind = kindOf(r.type);
    try {
      if (kind == "straight") {
        auto x = parsed<rec::StraightCurve>(c, r);
        return new Geom_Line(gp_Pnt(x.root), gp_Dir(x.direction));
      }
      if (kind == "ellipse") return ellipse(parsed<rec::EllipseCurve>(c, r), r);
      if (kind == "intcurve") {
        auto x = parsed<rec::IntCurve>(c, r);
        Handle(Geom_BSplineCurve) bs = modellerCurve(x.data.spline, r);
        if (x.reversed) bs->Reverse();
        return bs;
      }
    } catch (const Standard_Failure& e) {
      fail(r, std::string("curve refused: ") + e.GetMessageString());
    }
    fail(r, "curve type is not supported");
  }

  template <class T>
  T parsed(Cursor& c, const Record& r) {
    T out;
    parse(c, r, out);
    return out;
  }

  // --- topology --------------------------------------------------------------------------

  TopoDS_Vertex vertex(const Record& from, rec::Ptr pointer) {
    const Record& r = need(pointer, "vertex", from);
    auto found = vertices_.find(&r);
    if (found != vertices_.end()) return found->second;
    const Record& pr = need(load<rec::Vertex>(r).point, "point", r);
    TopoDS_Vertex v;
    BRep_Builder().MakeVertex(v, gp_Pnt(load<rec::Point>(pr).coordinates), 1e-7);
    vertices_.emplace(&r, v);
    return v;
  }

  double project(const Handle(Geom_Curve)& curve, const gp_Pnt& p, const Record& r) {
    GeomAPI_ProjectPointOnCurve proj(p, curve);
    if (proj.NbPoints() == 0) fail(r, "vertex does not project onto the curve");
    return proj.LowerDistanceParameter();
  }

  // Where on its curve an edge runs, from `lo` to `hi`: the file's parameters (negated for an
  // edge against its curve) when they meet the vertices, else the vertices projected.
  void range(const Record& r, const rec::Edge& x, const Handle(Geom_Curve)& crv, const gp_Pnt& plo,
             const gp_Pnt& phi, double& a, double& b) {
    if (x.startParameter && x.endParameter) {
      double t0 = *x.startParameter, t1 = *x.endParameter;
      a = x.reversed ? -t1 : t0;
      b = x.reversed ? -t0 : t1;
      if (b > a && crv->Value(a).Distance(plo) < gap_ && crv->Value(b).Distance(phi) < gap_) return;
    }
    if (x.start != x.end) {
      a = project(crv, plo, r);
      b = project(crv, phi, r);
      if (crv->IsPeriodic()) {
        double period = crv->Period();
        while (b <= a) b += period;
        while (b - a > period) b -= period;
      }
    } else if (crv->IsPeriodic()) {
      a = project(crv, plo, r);
      b = a + crv->Period();
    } else if (crv->IsClosed()) {
      a = crv->FirstParameter();
      b = crv->LastParameter();
    } else {
      fail(r, "closed edge on an open curve");
    }
  }

  // The edge oriented from its start vertex to its end vertex; null for an edge without a
  // curve (the apex of a cone), which the modeller rebuilds as it needs.
  TopoDS_Edge edge(const Record& from, rec::Ptr pointer) {
    const Record& r = need(pointer, "edge", from);
    auto found = edges_.find(&r);
    if (found != edges_.end()) return found->second;
    rec::Edge x = load<rec::Edge>(r);
    TopoDS_Edge e;
    if (x.curve < 0) {
      edges_.emplace(&r, e);
      return e;
    }
    Handle(Geom_Curve) crv = curve(r, x.curve);
    TopoDS_Vertex vs = vertex(r, x.start), ve = vertex(r, x.end);
    // Along the curve the edge runs from `lo` to `hi`.
    TopoDS_Vertex lo = x.reversed ? ve : vs, hi = x.reversed ? vs : ve;
    gp_Pnt plo = BRep_Tool::Pnt(lo), phi = BRep_Tool::Pnt(hi);
    double a = 0, b = 0;
    range(r, x, crv, plo, phi, a, b);
    if (!(b > a)) fail(r, "edge has no length on its curve");
    double da = crv->Value(a).Distance(plo), db = crv->Value(b).Distance(phi);
    if (da > 100 * gap_ || db > 100 * gap_) fail(r, "vertices are not on the curve");
    BRep_Builder builder;
    builder.UpdateVertex(lo, std::max(BRep_Tool::Tolerance(lo), 1.001 * da));
    builder.UpdateVertex(hi, std::max(BRep_Tool::Tolerance(hi), 1.001 * db));
    BRepBuilderAPI_MakeEdge make(crv, lo, hi, a, b);
    if (!make.IsDone()) fail(r, "edge cannot be built on its curve (" + std::to_string(int(make.Error())) + ")");
    e = make.Edge();
    if (x.reversed) e.Reverse();
    edges_.emplace(&r, e);
    return e;
  }

  struct Coedge {
    const Record* record;
    rec::Ptr edge;
    bool reversed;
  };

  std::vector<Coedge> ring(const Record& loop, rec::Ptr head) {
    std::vector<Coedge> out;
    std::unordered_set<const Record*> seen;
    const Record* first = &need(head, "coedge", loop);
    for (const Record* r = first;;) {
      if (!seen.insert(r).second) fail(loop, "coedge ring does not come back to its first coedge");
      rec::Coedge x = load<rec::Coedge>(*r);
      out.push_back({r, x.edge, x.reversed});
      if (x.next < 0) fail(*r, "coedge ring is open");
      r = &need(x.next, "coedge", *r);
      if (r == first) break;
    }
    return out;
  }

  TopoDS_Wire wire(const Record& loop, rec::Ptr head, bool backwards) {
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

  // A plane bounded by rings of straight edges, each meeting the next at a shared vertex that
  // lies on the plane: what meshes written as SAT are made of. Such a face is sound as built,
  // and the repairs below, which cost most of a mesh's reading, are passed over.
  static bool isPolygon(const Handle(Geom_Surface)& surface, const std::vector<TopoDS_Wire>& wires, double tol) {
    Handle(Geom_Plane) plane = Handle(Geom_Plane)::DownCast(surface);
    if (plane.IsNull()) return false;
    gp_Pln pln = plane->Pln();
    for (const TopoDS_Wire& w : wires) {
      std::vector<TopoDS_Edge> ring;
      for (TopoDS_Iterator it(w); it.More(); it.Next()) ring.push_back(TopoDS::Edge(it.Value()));
      if (ring.size() < 3) return false;
      for (std::size_t i = 0; i < ring.size(); ++i) {
        double a, b;
        Handle(Geom_Curve) c = BRep_Tool::Curve(ring[i], a, b);
        if (c.IsNull() || c->DynamicType() != STANDARD_TYPE(Geom_Line)) return false;
        TopoDS_Vertex end = TopExp::LastVertex(ring[i], Standard_True);
        if (!end.IsSame(TopExp::FirstVertex(ring[(i + 1) % ring.size()], Standard_True))) return false;
        if (pln.Distance(BRep_Tool::Pnt(end)) > tol) return false;
      }
    }
    return true;
  }

  // The modeller's repairs of a face as the file gives it, within the file's gaps.
  TopoDS_Face repaired(const TopoDS_Face& f, double tol) const {
    if (BRep_Tool::Surface(f)->IsKind(STANDARD_TYPE(Geom_Plane))) {
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
    return fix.Face();
  }

  TopoDS_Face face(const Record& r, const rec::Face& info) {
    Surface s = surface(r, info.surface);
    // Built forward on the modeller's surface; its loops run the other way round when the
    // face's normal is opposite to the surface's, and the face is turned over at the end.
    bool flip = info.reversed != s.flip;
    std::vector<rec::Ptr> rings;  // of each loop, its first coedge
    std::vector<const Record*> loops = chain(info.loop, "loop", r, [&](const Record& l) {
      rec::Loop x = load<rec::Loop>(l);
      rings.push_back(x.coedge);
      return x.next;
    });
    double tol = 1e-7;
    TopoDS_Face f;
    try {
      std::vector<TopoDS_Wire> wires;
      for (std::size_t i = 0; i < loops.size(); ++i) {
        TopoDS_Wire w = wire(*loops[i], rings[i], flip);
        if (!w.IsNull()) wires.push_back(w);
      }
      if (wires.empty()) {
        if (s.infinite) fail(r, "face on an unbounded surface has no loop");
        BRepBuilderAPI_MakeFace make(s.geom, tol);
        if (!make.IsDone()) fail(r, "face cannot be built on its surface");
        f = make.Face();
      } else {
        BRep_Builder builder;
        builder.MakeFace(f, s.geom, tol);
        for (const TopoDS_Wire& w : wires) builder.Add(f, w);
        // A polygon's 2D curves are left for the modeller to make on the plane when it needs
        // them: storing them costs a fifth of reading a mesh.
        if (!isPolygon(s.geom, wires, tol)) {
          onSurface(r, s.geom, wires);
          f = repaired(f, tol);
        }
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

  // Six times the volume of a solid bounded by planar polygons, from its edges as its faces
  // run them; none for a solid with any other face or edge.
  static std::optional<double> polygonVolume(const TopoDS_Solid& solid) {
    double sum = 0, size = 0;
    for (TopExp_Explorer fx(solid, TopAbs_FACE); fx.More(); fx.Next()) {
      const TopoDS_Face& face = TopoDS::Face(fx.Current());
      if (BRep_Tool::Surface(face)->DynamicType() != STANDARD_TYPE(Geom_Plane)) return std::nullopt;
      std::optional<gp_XYZ> onFace;
      for (TopExp_Explorer ex(face, TopAbs_EDGE); ex.More(); ex.Next()) {
        const TopoDS_Edge& e = TopoDS::Edge(ex.Current());
        double t0, t1;
        Handle(Geom_Curve) c = BRep_Tool::Curve(e, t0, t1);
        if (c.IsNull() || c->DynamicType() != STANDARD_TYPE(Geom_Line)) return std::nullopt;
        gp_XYZ a = BRep_Tool::Pnt(TopExp::FirstVertex(e, Standard_True)).XYZ();
        gp_XYZ b = BRep_Tool::Pnt(TopExp::LastVertex(e, Standard_True)).XYZ();
        if (!onFace) onFace = a;
        sum += onFace->Dot(a.Crossed(b));
        size = std::max(size, a.Modulus());
      }
    }
    // Too thin to tell inside from outside by the sum.
    if (std::fabs(sum) <= 1e-9 * size * size * size) return std::nullopt;
    return sum;
  }

  // A closed shell into a solid of positive volume.
  static TopoDS_Solid solidOf(TopoDS_Shell shell) {
    BRep_Builder builder;
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    // Polygons give their volume at once; classifying a point at infinity costs far less than
    // integrating the volume of other faces.
    std::optional<double> polygonal = polygonVolume(solid);
    if (polygonal && *polygonal > 0) return solid;
    if (!polygonal && BRepLib::OrientClosedSolid(solid)) return solid;
    if (polygonal || volume(solid) < 0) {
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

  void applyTransform(const Record& body, rec::Ptr pointer, TopoDS_Shape& shape) {
    const Record& r = need(pointer, "transform", body);
    if (r.count <= rec::Transform::kTokens) fail(r, "too few fields");
    Cursor c(m_, r.first + r.count - rec::Transform::kTokens, r.first + r.count);
    rec::Transform t;
    parse(c, r, t);
    if (std::fabs(t.scale) < 1e-300) fail(r, "zero scale");
    gp_GTrsf g = placement(t);
    if (isIdentity(g)) return;
    try {
      gp_Trsf rigid;
      rigid.SetValues(g.Value(1, 1), g.Value(1, 2), g.Value(1, 3), g.Value(1, 4), g.Value(2, 1), g.Value(2, 2),
                      g.Value(2, 3), g.Value(2, 4), g.Value(3, 1), g.Value(3, 2), g.Value(3, 3), g.Value(3, 4));
      shape = BRepBuilderAPI_Transform(shape, rigid, Standard_True).Shape();
    } catch (const Standard_Failure&) {
      BRepBuilderAPI_GTransform moved(shape, g, Standard_True);
      if (!moved.IsDone()) fail(r, "transform cannot be applied");
      shape = moved.Shape();
    }
  }

  // The faces of a lump's shells, those under subshells included; `sheet` tells whether any
  // is double-sided.
  std::vector<TopoDS_Face> faces(const Record& lump, bool& sheet) {
    std::vector<rec::Ptr> heads;  // of each shell, its first face
    std::vector<const Record*> shells = chain(load<rec::Lump>(lump).shell, "shell", lump, [&](const Record& s) {
      rec::Shell x = load<rec::Shell>(s);
      heads.push_back(x.face);
      return x.next;
    });
    std::vector<TopoDS_Face> out;
    for (std::size_t i = 0; i < shells.size(); ++i) {
      std::vector<rec::Face> infos;
      std::vector<const Record*> list = chain(heads[i], "face", *shells[i], [&](const Record& f) {
        infos.push_back(load<rec::Face>(f));
        return infos.back().next;
      });
      std::unordered_set<const Record*> inList(list.begin(), list.end());
      auto found = facesOfShell_.find(shells[i]->number);
      if (found != facesOfShell_.end()) {
        for (const Record* f : found->second) {
          if (!inList.insert(f).second) continue;
          list.push_back(f);
          infos.push_back(load<rec::Face>(*f));
        }
      }
      for (std::size_t k = 0; k < list.size(); ++k) {
        out.push_back(face(*list[k], infos[k]));
        sheet = sheet || infos[k].doubleSided;
      }
    }
    return out;
  }

  ReadBody body(const Record& r) {
    vertices_.clear();
    edges_.clear();
    rec::Body x = load<rec::Body>(r);
    std::vector<const Record*> lumps =
        chain(x.lump, "lump", r, [&](const Record& l) { return load<rec::Lump>(l).next; });
    if (lumps.empty()) fail(r, "body has no lump (wire bodies are not supported)");
    std::vector<TopoDS_Shape> solids, open;
    for (const Record* l : lumps) {
      bool sheet = false;
      std::vector<TopoDS_Face> list = faces(*l, sheet);
      if (!list.empty()) lump(list, sheet, solids, open);
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
    if (x.transform >= 0) applyTransform(r, x.transform, out.shape);
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

}  // namespace sat
}  // namespace kv::modeler
