// TEXT, HATCH, MLINE and INSERT. Points of texts, hatches and block references are in the
// entity's object coordinate system in the file (MLINE's in world coordinates, as the format
// has them); angles are in degrees in the file, radians in the host.
#include <cmath>
#include <initializer_list>
#include <map>
#include <numbers>

#include "dxf/dxf_entities.h"
#include "host/access.h"
#include "host/annotation_access.h"
#include "host/annotations.h"
#include "host/ocs.h"
#include "host/stub.h"
#include "core/numbers.h"

namespace kv::dxf {
namespace {

using kv::AnnotationAccess;

bool contains(std::initializer_list<int> codes, int code) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}

// An entity's own pairs with one pair of look-ahead, and room to hand pairs back.
class Pairs {
public:
  explicit Pairs(EntityIn& in) : in_(in) {}
  // The next pair, left unread; null at the entity's end or after an error.
  const Tag* peek() {
    if (!back_.empty()) return &back_.back();
    if (!has_ && !end_) {
      has_ = in_.next(cur_);
      end_ = !has_;
    }
    return has_ ? &cur_ : nullptr;
  }
  Tag take() {
    peek();
    if (!back_.empty()) {
      Tag t = back_.back();
      back_.pop_back();
      return t;
    }
    has_ = false;
    return cur_;
  }
  void putBack(const Tag& t) { back_.push_back(t); }
  bool nextIs(int code) {
    const Tag* t = peek();
    return t && t->code == code;
  }
  bool nextIn(std::initializer_list<int> codes) {
    const Tag* t = peek();
    return t && contains(codes, t->code);
  }
  bool ok() const { return in_.ok(); }
  bool real(double& v) { return in_.real(take(), v); }
  bool integer(std::int64_t& v) { return in_.integer(take(), v); }
  // x from code and y from code + 10, each when it comes next.
  bool xy(int code, AcGePoint2d& p) {
    if (nextIs(code) && !real(p.x)) return false;
    return !nextIs(code + 10) || real(p.y);
  }
  bool handle(std::uint64_t& h) {
    Tag t = take();
    return kv::toNumber(kv::trimBlanks(t.value), h, 16) || in_.fail(t, "handle '" + t.value + "' is not hexadecimal");
  }
  EntityIn& in() { return in_; }

private:
  EntityIn& in_;
  std::vector<Tag> back_;
  Tag cur_;
  bool has_ = false, end_ = false;
};

// The entity's normal from its extrusion (210), which must have a length.
bool normalOf(EntityIn& in, const AcGePoint3d& extrusion, const Tag& where, AcGeVector3d& normal) {
  normal = extrusion.asVector();
  if (normal.isZeroLength()) return in.fail(where, "extrusion direction has no length");
  normal.normalize();
  return true;
}

template <class Enum>
bool enumIn(EntityIn& in, const Tag& t, int last, Enum& out) {
  std::int64_t v = 0;
  if (!in.integer(t, v)) return false;
  if (v < 0 || v > last) return in.fail(t, "group " + std::to_string(t.code) + " value " + std::to_string(v) + " is out of range");
  out = Enum(v);
  return true;
}

AcGePoint3d pointOf(const AcGeVector3d& v) { return AcGePoint3d(v.x, v.y, v.z); }

// =============================================================================================
// TEXT

bool textPair(EntityIn& in, const Tag& t, AcDbText::Data& d) {
  double v = 0;
  switch (t.code) {
    case 1: d.text = t.value; return true;
    case 39: return in.real(t, d.thickness);
    case 40: return in.real(t, d.height);
    case 41: return in.real(t, d.widthFactor);
    case 50: return in.real(t, v) && (d.rotation = radiansOf(v), true);
    case 51: return in.real(t, v) && (d.oblique = radiansOf(v), true);
    case 72: return enumIn(in, t, AcDb::kTextFit, d.horizontal);
    case 73: return enumIn(in, t, AcDb::kTextTop, d.vertical);
    default: in.keep(t); return true;
  }
}

}  // namespace

std::unique_ptr<AcDbEntity> readText(EntityIn& in) {
  AcDbText::Data d;
  AcGePoint3d first, second, extrusion(0, 0, 1);
  bool sawSecond = false;
  Tag t, extrusionTag;
  while (in.next(t)) {
    if (in.coordinate(t, 10, first) || in.coordinate(t, 210, extrusion)) {
      if (t.code >= 210) extrusionTag = t;
    } else if (in.coordinate(t, 11, second)) {
      sawSecond = true;
    } else if (!textPair(in, t, d)) {
      return nullptr;
    }
    if (!in.ok()) return nullptr;
  }
  if (!in.ok() || !normalOf(in, extrusion, extrusionTag, d.normal)) return nullptr;
  kv::Ocs ocs(d.normal);
  d.position = ocs.toWorld(first);
  d.alignment = ocs.toWorld(sawSecond ? second : first);
  auto text = std::make_unique<AcDbText>();
  AnnotationAccess::data(*text) = d;
  return text;
}

void writeText(EntityOut& out, const AcDbEntity& entity) {
  const AcDbText::Data& d = AnnotationAccess::data(static_cast<const AcDbText&>(entity));
  kv::Ocs ocs(d.normal);
  TagWriter& w = out.tags();
  out.common(AcDbText::desc()->dxfName(), entity);
  out.subclass("AcDbText");
  w.real(39, d.thickness);
  w.point(10, ocs.fromWorld(d.position));
  w.real(40, d.height);
  w.str(1, d.text);
  w.real(50, degreesOf(d.rotation));
  w.real(41, d.widthFactor);
  w.real(51, degreesOf(d.oblique));
  w.integer(72, d.horizontal);
  w.point(11, ocs.fromWorld(d.alignment));
  w.point(210, pointOf(d.normal));
  out.subclass("AcDbText");
  w.integer(73, d.vertical);
}

// =============================================================================================
// HATCH: the boundary and the pattern are nested lists, read in order.

namespace {

// Hatch ellipse edges carry angles that points make with the major axis; the host's
// elliptical arc runs by the parameter angle. Both stay in the same turn.
double paramOfAngle(double angle, double ratio) {
  double t = std::atan2(std::sin(angle) / ratio, std::cos(angle));
  return t + std::round((angle - t) / (2 * std::numbers::pi)) * 2 * std::numbers::pi;
}

double angleOfParam(double param, double ratio) {
  double a = std::atan2(ratio * std::sin(param), std::cos(param));
  return a + std::round((param - a) / (2 * std::numbers::pi)) * 2 * std::numbers::pi;
}

struct HatchReader {
  Pairs& p;
  AcDbHatch::Data& d;

  // Numbers by group code while the codes come from the list, for edges of fixed shape.
  bool fields(std::initializer_list<int> codes, std::map<int, double>& out) {
    while (p.nextIn(codes)) {
      int code = p.peek()->code;
      if (!p.real(out[code])) return false;
    }
    return true;
  }

  bool polyline(AcDbHatch::Loop& loop) {
    std::int64_t v = 0;
    while (p.nextIn({72, 73, 93})) {
      int code = p.peek()->code;
      if (!p.integer(v)) return false;
      if (code == 73) loop.closed = v != 0;
    }
    while (p.nextIs(10)) {
      AcGePoint2d vertex;
      double bulge = 0;
      if (!p.xy(10, vertex) || (p.nextIs(42) && !p.real(bulge))) return false;
      loop.vertices.append(vertex);
      loop.bulges.append(bulge);
    }
    return true;
  }

  AcGeCurve2d* arc(std::map<int, double>& f) {
    bool ccw = f.count(73) == 0 || f[73] != 0;
    double radius = f.count(40) ? f[40] : 1;
    return new AcGeCircArc2d(AcGePoint2d(f[10], f[20]), radius, radiansOf(f[50]), radiansOf(f[51]),
                             AcGeVector2d::kXAxis, !ccw);
  }

  AcGeCurve2d* ellipse(std::map<int, double>& f) {
    bool ccw = f.count(73) == 0 || f[73] != 0;
    AcGeVector2d major(f[11], f[21]);
    double ratio = f.count(40) ? f[40] : 1, length = major.length();
    AcGeVector2d unit = length > 0 ? major * (1 / length) : AcGeVector2d::kXAxis;
    AcGeVector2d minor = ccw ? AcGeVector2d(-unit.y, unit.x) : AcGeVector2d(unit.y, -unit.x);
    return new AcGeEllipArc2d(AcGePoint2d(f[10], f[20]), unit, minor, length, length * ratio,
                              paramOfAngle(radiansOf(f[50]), ratio), paramOfAngle(radiansOf(f[51]), ratio));
  }

  bool fitData(AcGeNurbCurve2d& spline) {
    AcGePoint2dArray fit;
    std::optional<AcGeVector2d> start, end;
    while (p.nextIs(11)) {
      AcGePoint2d point;
      if (!p.xy(11, point)) return false;
      fit.append(point);
    }
    for (int code : {12, 13}) {
      if (!p.nextIs(code)) continue;
      AcGePoint2d tangent;
      if (!p.xy(code, tangent)) return false;
      (code == 12 ? start : end) = tangent.asVector();
    }
    spline.setFitData(fit, start, end);
    return true;
  }

  // After the control points a 97 is the count of fit points (R2010), unless what follows it
  // shows it to be the loop's count of source objects, which is then handed back.
  bool splineFit(AcGeNurbCurve2d& spline) {
    if (!p.nextIs(97)) return true;
    Tag count = p.take();
    std::int64_t n = 0;
    if (!p.in().integer(count, n)) return false;
    if (p.nextIn({11, 12, 13, 97})) return fitData(spline);
    p.putBack(count);
    return true;
  }

  AcGeNurbCurve2d* spline() {
    std::int64_t degree = 3, rational = 0, periodic = 0, ignored = 0;
    while (p.nextIn({94, 73, 74, 95, 96})) {
      int code = p.peek()->code;
      if (!p.integer(code == 94 ? degree : code == 73 ? rational : code == 74 ? periodic : ignored)) return nullptr;
    }
    AcGeDoubleArray knots, weights;
    AcGePoint2dArray points;
    double v = 0;
    while (p.nextIs(40) && p.real(v)) knots.append(v);
    while (p.ok() && p.nextIn({10, 20, 42})) {
      int code = p.peek()->code;
      if (!p.real(v)) return nullptr;
      if (code == 10) points.append(AcGePoint2d(v, 0));
      else if (code == 20 && !points.isEmpty()) points[points.length() - 1].y = v;
      else if (code == 42) weights.append(v);
    }
    if (!p.ok()) return nullptr;
    auto* spline = new AcGeNurbCurve2d(int(degree), knots, points, weights, periodic != 0);
    if (!splineFit(*spline)) {
      delete spline;
      return nullptr;
    }
    return spline;
  }

  bool edge(AcDbHatch::Loop& loop) {
    Tag kind = p.take();
    std::int64_t type = 0;
    if (!p.in().integer(kind, type)) return false;
    std::map<int, double> f;
    AcGeCurve2d* curve = nullptr;
    if (type == AcDbHatch::kLine) {
      if (fields({10, 20, 11, 21}, f)) curve = new AcGeLineSeg2d(AcGePoint2d(f[10], f[20]), AcGePoint2d(f[11], f[21]));
    } else if (type == AcDbHatch::kCirArc) {
      if (fields({10, 20, 40, 50, 51, 73}, f)) curve = arc(f);
    } else if (type == AcDbHatch::kEllArc) {
      if (fields({10, 20, 11, 21, 40, 50, 51, 73}, f)) curve = ellipse(f);
    } else if (type == AcDbHatch::kSpline) {
      curve = spline();
    } else {
      return p.in().fail(kind, "boundary edge type " + std::to_string(type) + " is unknown");
    }
    if (!curve) return false;
    loop.edges.emplace_back(curve);
    loop.edgeTypes.push_back(int(type));
    return true;
  }

  bool sources(AcDbHatch::Loop& loop) {
    std::int64_t n = 0;
    if (p.nextIs(97) && !p.integer(n)) return false;
    while (p.nextIs(330)) {
      std::uint64_t h = 0;
      if (!p.handle(h)) return false;
      loop.sourceHandles.push_back(h);
    }
    return true;
  }

  bool loop() {
    std::int64_t type = 0, count = 0;
    if (!p.integer(type)) return false;
    AcDbHatch::Loop loop;
    loop.type = Adesk::Int32(type);
    if (loop.isPolyline()) {
      if (!polyline(loop)) return false;
    } else {
      if (p.nextIs(93) && !p.integer(count)) return false;
      while (p.nextIs(72))
        if (!edge(loop)) return false;
    }
    if (!sources(loop)) return false;
    d.loops.push_back(std::move(loop));
    return true;
  }

  bool loops() {
    std::int64_t count = 0;
    if (!p.integer(count)) return false;
    while (p.nextIs(92))
      if (!loop()) return false;
    return true;
  }

  bool pattern() {
    std::int64_t count = 0;
    if (!p.integer(count)) return false;
    double v = 0;
    while (p.nextIn({53, 43, 44, 45, 46, 79, 49})) {
      int code = p.peek()->code;
      if (!p.real(v)) return false;
      if (code == 53 || d.lines.empty()) d.lines.emplace_back();
      AcDbHatch::PatternLine& line = d.lines.back();
      if (code == 53) line.angle = radiansOf(v);
      if (code == 43) line.base.x = v;
      if (code == 44) line.base.y = v;
      if (code == 45) line.offset.x = v;
      if (code == 46) line.offset.y = v;
      if (code == 49) line.dashes.push_back(v);
    }
    return true;
  }
};

struct HatchHead {
  AcGePoint3d elevation, extrusion{0, 0, 1};
  Tag extrusionTag;
  double raw41 = 1;
  bool saw41 = false, sawBoundary = false;
};

// One pair of the hatch outside the boundary and pattern lists.
bool hatchPair(HatchReader& r, HatchHead& head) {
  EntityIn& in = r.p.in();
  Tag t = r.p.take();
  AcDbHatch::Data& d = r.d;
  std::int64_t n = 0;
  // Past the boundary, 10 and 20 are seed points, which are kept.
  if (!head.sawBoundary && in.coordinate(t, 10, head.elevation)) return in.ok();
  if (in.coordinate(t, 210, head.extrusion)) return (head.extrusionTag = t, in.ok());
  switch (t.code) {
    case 2: d.patternName = t.value; return true;
    case 70: return in.integer(t, n) && (d.solidFill = n != 0, true);
    case 71: return in.integer(t, n) && (d.associative = n != 0, true);
    case 91: head.sawBoundary = true; r.p.putBack(t); return r.loops();
    case 75: return enumIn(in, t, AcDbHatch::kIgnore, d.style);
    case 76: return enumIn(in, t, AcDbHatch::kCustomDefined, d.patternType);
    case 52: return in.real(t, d.patternAngle) && (d.patternAngle = radiansOf(d.patternAngle), true);
    case 41: return (head.saw41 = true, in.real(t, head.raw41));
    case 77: return in.integer(t, n) && (d.patternDouble = n != 0, true);
    case 78: r.p.putBack(t); return r.pattern();
    default: in.keep(t); return true;
  }
}

}  // namespace

std::unique_ptr<AcDbEntity> readHatch(EntityIn& in) {
  auto hatch = std::make_unique<AcDbHatch>();
  AcDbHatch::Data& d = AnnotationAccess::data(*hatch);
  Pairs pairs(in);
  HatchReader reader{pairs, d};
  HatchHead head;
  while (pairs.peek())
    if (!hatchPair(reader, head)) return nullptr;
  if (!in.ok() || !normalOf(in, head.extrusion, head.extrusionTag, d.normal)) return nullptr;
  d.elevation = head.elevation.z;
  if (head.saw41) (d.patternType == AcDbHatch::kUserDefined ? d.patternSpace : d.patternScale) = head.raw41;
  return hatch;
}

namespace {

void writeEllipse(TagWriter& w, const AcGeEllipArc2d& e) {
  AcGeVector2d major = e.majorAxis() * e.majorRadius();
  double ratio = e.majorRadius() != 0 ? e.minorRadius() / e.majorRadius() : 1;
  w.real(10, e.center().x);
  w.real(20, e.center().y);
  w.real(11, major.x);
  w.real(21, major.y);
  w.real(40, ratio);
  auto forward = [ratio](double degrees) { return paramOfAngle(radiansOf(degrees), ratio); };
  for (auto [code, param] : {std::pair{50, e.startAng()}, std::pair{51, e.endAng()}})
    w.real(code, shortestInverse(param, angleOfParam(param, ratio) * (180 / std::numbers::pi), forward));
  w.integer(73, !e.isClockWise());
}

void writeSpline(TagWriter& w, const AcGeNurbCurve2d& s) {
  w.integer(94, s.degree());
  w.integer(73, s.isRational());
  w.integer(74, s.isPeriodic());
  w.integer(95, s.numKnots());
  w.integer(96, s.numControlPoints());
  for (int i = 0; i < s.numKnots(); ++i) w.real(40, s.knotAt(i));
  for (int i = 0; i < s.numControlPoints(); ++i) {
    w.real(10, s.controlPointAt(i).x);
    w.real(20, s.controlPointAt(i).y);
    if (i < s.numWeights()) w.real(42, s.weightAt(i));
  }
  if (!s.hasFitData()) return;
  w.integer(97, s.numFitPoints());
  for (int i = 0; i < s.numFitPoints(); ++i) {
    w.real(11, s.fitPointAt(i).x);
    w.real(21, s.fitPointAt(i).y);
  }
  for (auto [code, tangent] : {std::pair{12, s.startTangent()}, std::pair{13, s.endTangent()}}) {
    if (!tangent) continue;
    w.real(code, tangent->x);
    w.real(code + 10, tangent->y);
  }
}

void writeEdge(TagWriter& w, const AcGeCurve2d& edge, int type) {
  w.integer(72, type);
  if (auto* arc = dynamic_cast<const AcGeCircArc2d*>(&edge)) {
    w.real(10, arc->center().x);
    w.real(20, arc->center().y);
    w.real(40, arc->radius());
    // Angles from the reference direction: the file measures them from the x axis.
    double ref = arc->refVec().angle() * (arc->isClockWise() ? -1 : 1);
    w.real(50, degreesOf(arc->startAng() + ref));
    w.real(51, degreesOf(arc->endAng() + ref));
    w.integer(73, !arc->isClockWise());
  } else if (auto* ell = dynamic_cast<const AcGeEllipArc2d*>(&edge)) {
    writeEllipse(w, *ell);
  } else if (auto* spline = dynamic_cast<const AcGeNurbCurve2d*>(&edge)) {
    writeSpline(w, *spline);
  } else {
    AcGePoint2d a = edge.startPoint(), b = edge.endPoint();
    w.real(10, a.x);
    w.real(20, a.y);
    w.real(11, b.x);
    w.real(21, b.y);
  }
}

void writeLoop(TagWriter& w, const AcDbHatch::Loop& loop) {
  w.integer(92, loop.type);
  if (loop.isPolyline()) {
    bool bulges = false;
    for (double b : loop.bulges) bulges = bulges || b != 0;
    w.integer(72, bulges);
    w.integer(73, loop.closed);
    w.integer(93, loop.vertices.length());
    for (int i = 0; i < loop.vertices.length(); ++i) {
      w.real(10, loop.vertices[i].x);
      w.real(20, loop.vertices[i].y);
      if (bulges) w.real(42, i < loop.bulges.length() ? loop.bulges[i] : 0);
    }
  } else {
    w.integer(93, int(loop.edges.size()));
    for (size_t i = 0; i < loop.edges.size(); ++i) writeEdge(w, *loop.edges[i], loop.edgeTypes[i]);
  }
  w.integer(97, int(loop.sourceHandles.size()));
  for (std::uint64_t h : loop.sourceHandles) w.handle(330, h);
}

void writePattern(TagWriter& w, const AcDbHatch::Data& d) {
  // A solid fill has no pattern; its values go out only where they say something.
  bool lines = !d.solidFill || !d.lines.empty();
  if (lines || d.patternAngle != 0 || d.patternScale != 1 || d.patternDouble) {
    w.real(52, degreesOf(d.patternAngle));
    w.real(41, d.patternType == AcDbHatch::kUserDefined ? d.patternSpace : d.patternScale);
    w.integer(77, d.patternDouble);
  }
  if (!lines) return;
  w.integer(78, int(d.lines.size()));
  for (const AcDbHatch::PatternLine& line : d.lines) {
    w.real(53, degreesOf(line.angle));
    w.real(43, line.base.x);
    w.real(44, line.base.y);
    w.real(45, line.offset.x);
    w.real(46, line.offset.y);
    w.integer(79, int(line.dashes.size()));
    for (double dash : line.dashes) w.real(49, dash);
  }
}

}  // namespace

void writeHatch(EntityOut& out, const AcDbEntity& entity) {
  const AcDbHatch::Data& d = AnnotationAccess::data(static_cast<const AcDbHatch&>(entity));
  TagWriter& w = out.tags();
  out.common(AcDbHatch::desc()->dxfName(), entity);
  out.subclass("AcDbHatch");
  w.point(10, AcGePoint3d(0, 0, d.elevation));
  w.point(210, pointOf(d.normal));
  w.str(2, d.patternName);
  w.integer(70, d.solidFill);
  w.integer(71, d.associative);
  w.integer(91, int(d.loops.size()));
  for (const AcDbHatch::Loop& loop : d.loops) writeLoop(w, loop);
  w.integer(75, d.style);
  w.integer(76, d.patternType);
  writePattern(w, d);
}

// =============================================================================================
// MLINE

namespace {

// MLINE flags (71).
constexpr int kHasVertices = 1;
constexpr int kClosedMline = 2;
constexpr int kNoStartCaps = 4;
constexpr int kNoEndCaps = 8;

// Per element: 74 and its parameters (41), 75 and its area fill parameters (42).
bool mlineElements(Pairs& p, AcDbMline::Vertex& v) {
  double x = 0;
  std::int64_t n = 0;
  while (p.nextIn({74, 41, 75, 42})) {
    int code = p.peek()->code;
    if (!(code == 74 || code == 75 ? p.integer(n) : p.real(x))) return false;
    if (code == 74 || v.params.empty()) v.params.emplace_back();
    if (code == 75 || (code == 42 && v.fills.empty())) v.fills.resize(v.params.size());
    if (code == 41) v.params.back().push_back(x);
    if (code == 42) v.fills.back().push_back(x);
  }
  v.fills.resize(v.params.size());
  return true;
}

bool mlineVertex(Pairs& p, AcDbMline::Vertex& v) {
  EntityIn& in = p.in();
  AcGePoint3d dir, miter;
  in.coordinate(p.take(), 11, v.point);
  while (in.ok() && p.nextIn({21, 31, 12, 22, 32, 13, 23, 33})) {
    Tag t = p.take();
    if (!in.coordinate(t, 11, v.point) && !in.coordinate(t, 12, dir)) in.coordinate(t, 13, miter);
  }
  v.direction = dir.asVector();
  v.miter = miter.asVector();
  return in.ok() && mlineElements(p, v);
}

struct MlineHead {
  std::int64_t flags = kHasVertices, elements = -1;
  AcGePoint3d start, extrusion{0, 0, 1};
  Tag extrusionTag;
};

bool mlinePair(EntityIn& in, const Tag& t, AcDbMline::Data& d, MlineHead& head) {
  std::int64_t n = 0;
  if (in.coordinate(t, 10, head.start)) return in.ok();  // the first vertex again
  if (in.coordinate(t, 210, head.extrusion)) return (head.extrusionTag = t, in.ok());
  switch (t.code) {
    case 2: d.styleName = std::string(kv::trimBlanks(t.value)); return true;
    case 340:
      return kv::toNumber(kv::trimBlanks(t.value), d.styleHandle, 16) || in.fail(t, "style handle is not hexadecimal");
    case 40: return in.real(t, d.scale);
    case 70: return enumIn(in, t, Mline::kBottom, d.justification);
    case 71: return in.integer(t, head.flags);
    case 72: return in.integer(t, n);  // the count of vertices, which they give themselves
    case 73: return in.integer(t, head.elements);
    default: in.keep(t); return true;
  }
}

// The style's element offsets, as far as the first vertex tells them (see AcDbMline).
void elementOffsets(AcDbMline::Data& d, std::int64_t elements) {
  size_t count = elements >= 0 ? size_t(elements) : d.vertices.empty() ? 0 : d.vertices[0].params.size();
  d.elementOffsets.assign(count, 0.0);
  if (d.vertices.empty() || d.scale == 0) return;
  const AcDbMline::Vertex& v = d.vertices[0];
  double sine = v.direction.normal().crossProduct(v.miter.normal()).length();
  double stretch = sine > 1e-12 ? d.scale / sine : d.scale;
  for (size_t e = 0; e < count && e < v.params.size(); ++e)
    if (!v.params[e].empty()) d.elementOffsets[e] = v.params[e][0] / stretch;
}

}  // namespace

std::unique_ptr<AcDbEntity> readMline(EntityIn& in) {
  auto mline = std::make_unique<AcDbMline>();
  AcDbMline::Data& d = AnnotationAccess::data(*mline);
  Pairs p(in);
  MlineHead head;
  while (const Tag* next = p.peek()) {
    if (next->code == 11) {
      d.vertices.emplace_back();
      if (!mlineVertex(p, d.vertices.back())) return nullptr;
    } else if (!mlinePair(in, p.take(), d, head)) {
      return nullptr;
    }
  }
  if (!in.ok() || !normalOf(in, head.extrusion, head.extrusionTag, d.normal)) return nullptr;
  d.closed = head.flags & kClosedMline;
  d.suppressStartCaps = head.flags & kNoStartCaps;
  d.suppressEndCaps = head.flags & kNoEndCaps;
  elementOffsets(d, head.elements);
  return mline;
}

void writeMline(EntityOut& out, const AcDbEntity& entity) {
  const AcDbMline::Data& d = AnnotationAccess::data(static_cast<const AcDbMline&>(entity));
  TagWriter& w = out.tags();
  out.common(AcDbMline::desc()->dxfName(), entity);
  out.subclass("AcDbMline");
  w.str(2, d.styleName);
  if (d.styleHandle) w.handle(340, d.styleHandle);
  w.real(40, d.scale);
  w.integer(70, d.justification);
  w.integer(71, (d.vertices.empty() ? 0 : kHasVertices) | (d.closed ? kClosedMline : 0) |
                    (d.suppressStartCaps ? kNoStartCaps : 0) | (d.suppressEndCaps ? kNoEndCaps : 0));
  w.integer(72, int(d.vertices.size()));
  w.integer(73, int(d.elementOffsets.size()));
  w.point(10, d.vertices.empty() ? AcGePoint3d() : d.vertices[0].point);
  w.point(210, pointOf(d.normal));
  for (const AcDbMline::Vertex& v : d.vertices) {
    w.point(11, v.point);
    w.point(12, pointOf(v.direction));
    w.point(13, pointOf(v.miter));
    for (size_t e = 0; e < v.params.size(); ++e) {
      w.integer(74, int(v.params[e].size()));
      for (double x : v.params[e]) w.real(41, x);
      const std::vector<double> none;
      const std::vector<double>& fill = e < v.fills.size() ? v.fills[e] : none;
      w.integer(75, int(fill.size()));
      for (double x : fill) w.real(42, x);
    }
  }
}

// =============================================================================================
// INSERT

namespace {

void linkInsert(AcDbEntity& entity, AcDbObjectId block) {
  static_cast<AcDbBlockReference&>(entity).setBlockTableRecord(block);
}

struct InsertIn {
  AcGePoint3d position, extrusion{0, 0, 1};
  AcGeScale3d scale;
  double rotation = 0;
  Tag extrusionTag, scaleTag;
};

bool insertPair(EntityIn& in, const Tag& t, InsertIn& r) {
  if (in.coordinate(t, 10, r.position)) return in.ok();
  if (in.coordinate(t, 210, r.extrusion)) return (r.extrusionTag = t, in.ok());
  switch (t.code) {
    case 2: in.linkBlock(std::string(kv::trimBlanks(t.value)), linkInsert); return true;
    case 41: return (r.scaleTag = t, in.real(t, r.scale.sx));
    case 42: return (r.scaleTag = t, in.real(t, r.scale.sy));
    case 43: return (r.scaleTag = t, in.real(t, r.scale.sz));
    case 50: return in.real(t, r.rotation) && (r.rotation = radiansOf(r.rotation), true);
    default: in.keep(t); return true;
  }
}

}  // namespace

std::unique_ptr<AcDbEntity> readInsert(EntityIn& in) {
  InsertIn r;
  Tag t;
  while (in.next(t))
    if (!insertPair(in, t, r)) return nullptr;
  AcGeVector3d normal;
  if (!in.ok() || !normalOf(in, r.extrusion, r.extrusionTag, normal)) return nullptr;
  // Without a name there is nothing to link it to, and nothing a save could write it with.
  if (in.common().blockName.empty()) {
    in.markUnsupported("it names no block");
    return nullptr;
  }
  auto ref = std::make_unique<AcDbBlockReference>();
  ref->setNormal(normal);
  ref->setPosition(kv::Ocs(ref->normal()).toWorld(r.position));
  ref->setRotation(r.rotation);
  if (ref->setScaleFactors(r.scale) != Acad::eOk) {
    in.fail(r.scaleTag, "INSERT has a scale factor of 0");
    return nullptr;
  }
  return ref;
}

void writeInsert(EntityOut& out, const AcDbEntity& entity) {
  const auto& ref = static_cast<const AcDbBlockReference&>(entity);
  // An erased block still has its name, which a read makes an empty block of. A reference
  // made without any block has no name to be written with.
  AcDbStub* s = kv::HostAccess::stub(ref.blockTableRecord());
  const AcDbBlockTableRecord* block = s && s->object ? AcDbBlockTableRecord::cast(s->object) : nullptr;
  if (!block) return out.refuse(Acad::eNullBlockName, "block reference " + entity.objectId().handle().text() + " names no block");
  kv::Ocs ocs(ref.normal());
  TagWriter& w = out.tags();
  out.common(AcDbBlockReference::desc()->dxfName(), entity);
  out.subclass("AcDbBlockReference");
  w.str(2, block->getName());
  w.point(10, ocs.fromWorld(ref.position()));
  w.real(41, ref.scaleFactors().sx);
  w.real(42, ref.scaleFactors().sy);
  w.real(43, ref.scaleFactors().sz);
  w.real(50, degreesOf(ref.rotation()));
  w.point(210, pointOf(ref.normal()));
}

}  // namespace kv::dxf
