// Platform only: the layout of every SAT record we read or write, declared once.
//
// A record is a plain struct whose members are its fields by name; describe(io, record) lists
// them in file order, each with its kind. The reader (sat_reader.cpp) parses a record by running
// describe() with an io that takes tokens, the writer (sat_writer.cpp) writes one by running it
// with an io that prints them, so the two cannot disagree about a field's place. Every record
// but a transform starts with the common Prefix; a record's own describe() lists what follows.
//
// One io call per field; `name` is what a refusal calls the field:
//   pointer                 $n, -1 for null
//   real, integer           a number
//   logical(v, no, yes)     one of two words; v is true for `yes`
//   word, oneOf             any word; one of a few words
//   position, vector        three reals; direction: three reals, not all zero
//   interval                two bounds, each "I" (unbounded) or "F value"
//   string                  a counted string, "@n text"
//   list                    a count, then that many reals
//   ids, extras             the entity id (7.0 on); tokens later versions add (never written)
//   subtype                 data between braces, described by its own struct
// and for B-spline data: form (nubs, nurbs), degree, count (of the list that follows), knots,
// poles (a curve's) and poleGrid (a surface's, u varying fastest). approximation is the word
// that says how much of a spline subtype's B-spline is stored.
//
// The writer writes every field, 7.0 style. The last argument of most calls says what the
// reader does with it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <gp_XYZ.hxx>

namespace kv::modeler::sat::rec {

using Ptr = std::int64_t;  // a record's number; -1 for none

enum class Read : std::uint8_t {
  must,  // a record without it is refused
  may,   // taken when the next token fits, passed over otherwise
  skip,  // not needed: the reader stops at the first such field, so only such fields follow it
};

// Tokens that versions after 7.0 put where 7.0 has none.
enum class Extras : std::uint8_t { integers, untilPointer };

struct Interval {
  std::optional<double> low, high;  // empty: unbounded on that side
};

struct Knot {
  double value = 0;
  int multiplicity = 0;  // as the file counts it: the end knots one short of the modeller's
};

struct Pole {
  gp_XYZ point;
  double weight = 1;
};

// Control points a knot list gives for a degree.
inline long long poleCount(const std::vector<Knot>& knots, int degree) {
  long long sum = 0;
  for (const Knot& k : knots) sum += k.multiplicity;
  return sum - degree + 1;
}

// --- topology ------------------------------------------------------------------------------

struct Prefix {
  Ptr attributes = -1;
  long long id = -1;
  Ptr pattern = -1;
};
template <class IO>
void describe(IO& io, Prefix& x) {
  io.pointer("attribute", x.attributes);
  if (io.version() < 700) return;
  io.ids(x.id);  // one integer in 7.0, two in later versions
  io.pointer("pattern", x.pattern, Read::may);
}

struct Body {
  static constexpr std::string_view kType = "body";
  Ptr lump = -1, wire = -1, transform = -1;
};
template <class IO>
void describe(IO& io, Body& x) {
  io.extras(Extras::integers);
  io.pointer("lump", x.lump);
  io.pointer("wire", x.wire);
  io.pointer("transform", x.transform);
}

struct Lump {
  static constexpr std::string_view kType = "lump";
  Ptr next = -1, shell = -1, body = -1;
};
template <class IO>
void describe(IO& io, Lump& x) {
  io.pointer("next lump", x.next);
  io.pointer("shell", x.shell);
  io.pointer("body", x.body, Read::skip);
}

struct Shell {
  static constexpr std::string_view kType = "shell";
  Ptr next = -1, subshell = -1, face = -1, wire = -1, lump = -1;
};
template <class IO>
void describe(IO& io, Shell& x) {
  io.pointer("next shell", x.next);
  io.pointer("subshell", x.subshell);
  io.pointer("face", x.face);
  io.pointer("wire", x.wire, Read::skip);
  io.pointer("lump", x.lump, Read::skip);
}

struct Face {
  static constexpr std::string_view kType = "face";
  Ptr next = -1, loop = -1, shell = -1, subshell = -1, surface = -1;
  bool reversed = false;     // the face's normal is opposite to its surface's
  bool doubleSided = false;  // the same on both sides: a sheet, not a solid's skin
  bool inside = false;       // of a double-sided face: material on both sides
};
template <class IO>
void describe(IO& io, Face& x) {
  io.pointer("next face", x.next);
  io.pointer("loop", x.loop);
  io.pointer("shell", x.shell);
  io.pointer("subshell", x.subshell);
  io.pointer("surface", x.surface);
  io.logical(x.reversed, "forward", "reversed");
  io.logical(x.doubleSided, "single", "double", Read::may);
  if (x.doubleSided) io.logical(x.inside, "out", "in", Read::skip);
}

struct Loop {
  static constexpr std::string_view kType = "loop";
  Ptr next = -1, coedge = -1, face = -1;
};
template <class IO>
void describe(IO& io, Loop& x) {
  io.pointer("next loop", x.next);
  io.pointer("coedge", x.coedge);
  io.pointer("face", x.face, Read::skip);
}

struct Coedge {
  static constexpr std::string_view kType = "coedge";
  Ptr next = -1, previous = -1, partner = -1, edge = -1;
  bool reversed = false;  // runs against its edge
  Ptr loop = -1, pcurve = -1;
};
template <class IO>
void describe(IO& io, Coedge& x) {
  io.pointer("next coedge", x.next);
  io.pointer("previous coedge", x.previous);
  io.pointer("partner", x.partner);
  io.pointer("edge", x.edge);
  io.logical(x.reversed, "forward", "reversed");
  io.pointer("loop", x.loop, Read::skip);
  io.pointer("pcurve", x.pcurve, Read::skip);
}

struct Edge {
  static constexpr std::string_view kType = "edge";
  Ptr start = -1;
  std::optional<double> startParameter;  // on the curve; from 5.0
  Ptr end = -1;
  std::optional<double> endParameter;
  Ptr coedge = -1, curve = -1;
  bool reversed = false;  // runs against its curve
  std::string_view convexity = "unknown";
};
template <class IO>
void describe(IO& io, Edge& x) {
  io.pointer("start vertex", x.start);
  io.real("start parameter", x.startParameter);
  io.pointer("end vertex", x.end);
  io.real("end parameter", x.endParameter);
  io.pointer("coedge", x.coedge);
  io.pointer("curve", x.curve);
  io.logical(x.reversed, "forward", "reversed");
  io.string("convexity", x.convexity, Read::skip);
}

struct Vertex {
  static constexpr std::string_view kType = "vertex";
  Ptr edge = -1, point = -1;
};
template <class IO>
void describe(IO& io, Vertex& x) {
  io.pointer("edge", x.edge);
  io.extras(Extras::untilPointer);
  io.pointer("point", x.point);
}

struct Point {
  static constexpr std::string_view kType = "point";
  gp_XYZ coordinates;
};
template <class IO>
void describe(IO& io, Point& x) {
  io.position("coordinates", x.coordinates);
}

// A body's placement: p' = scale * (p * matrix) + translation, with p a row vector, so the
// matrix's rows are the images of the axes. It has no pattern pointer, and later versions put
// more in front, so the reader takes the last kTokens tokens of the record.
struct Transform {
  static constexpr std::string_view kType = "transform";
  static constexpr std::uint32_t kTokens = 16;
  std::array<double, 9> matrix{1, 0, 0, 0, 1, 0, 0, 0, 1};  // row by row
  gp_XYZ translation;
  double scale = 1;
  bool rotate = false, reflect = false, shear = false;
};
template <class IO>
void describe(IO& io, Transform& x) {
  for (double& v : x.matrix) io.real("matrix value", v);
  io.position("translation", x.translation);
  io.real("scale", x.scale);
  io.logical(x.rotate, "no_rotate", "rotate", Read::skip);
  io.logical(x.reflect, "no_reflect", "reflect", Read::skip);
  io.logical(x.shear, "no_shear", "shear", Read::skip);
}

// --- B-spline data ---------------------------------------------------------------------------

struct BSplineCurve {
  bool rational = false;
  int degree = 0;
  std::string_view closure = "open";
  std::vector<Knot> knots;  // distinct and increasing
  std::vector<Pole> poles;
};
template <class IO>
void describe(IO& io, BSplineCurve& x) {
  io.form("B-spline curve", x.rational);
  io.degree(x.degree);
  io.word("closure", x.closure, Read::may);
  io.count("knot count", x.knots, 2, 2);
  io.knots(x.knots, x.degree);
  io.poles(x.poles, x.rational, poleCount(x.knots, x.degree));
}

struct BSplineSurface {
  bool rational = false;
  int uDegree = 0, vDegree = 0;
  std::string_view rationalIn = "both";  // of a rational one: u, v or both
  std::string_view uClosure = "open", vClosure = "open";
  std::string_view uSingularity = "none", vSingularity = "none";
  std::vector<Knot> uKnots, vKnots;
  std::vector<Pole> poles;  // u varying fastest
};
template <class IO>
void describe(IO& io, BSplineSurface& x) {
  io.form("B-spline surface", x.rational);
  io.degree(x.uDegree);
  io.degree(x.vDegree);
  if (x.rational) io.oneOf("rational direction", x.rationalIn, {"u", "v", "both"}, Read::may);
  io.word("u closure", x.uClosure, Read::may);
  io.word("v closure", x.vClosure, Read::may);
  io.word("u singularity", x.uSingularity, Read::may);
  io.word("v singularity", x.vSingularity, Read::may);
  io.count("knot count", x.uKnots, 2, 2);
  io.count("knot count", x.vKnots, 2, 2);
  io.knots(x.uKnots, x.uDegree);
  io.knots(x.vKnots, x.vDegree);
  io.poleGrid(x.poles, x.rational, poleCount(x.uKnots, x.uDegree), poleCount(x.vKnots, x.vDegree));
}

// The braces of a spline surface. "exactsur" is the B-spline itself; procedural subtypes
// (rotsur, sumsur, ...) hold their own data first and their approximating B-spline behind it.
struct SplineSurfaceData {
  std::string_view name = "exactsur";
  std::string_view level = "full";  // how much of the B-spline is stored
  BSplineSurface spline;
  double fitTolerance = 0;
  std::array<std::vector<double>, 6> discontinuities;  // C1, C2, C3 in u, then in v
  Interval uRange, vRange;
};
template <class IO>
void describe(IO& io, SplineSurfaceData& x) {
  io.word("subtype name", x.name);
  io.approximation(x.level, x.name, x.name == "exactsur");
  describe(io, x.spline);
  io.real("fit tolerance", x.fitTolerance, Read::skip);
  for (std::vector<double>& list : x.discontinuities) io.list("discontinuities", list, Read::skip);
  io.interval("u range", x.uRange, Read::skip);
  io.interval("v range", x.vRange, Read::skip);
}

// The braces of an intcurve. Every subtype starts with the same block, the approximating
// B-spline at its front; "exactcur" is that B-spline alone.
struct SplineCurveData {
  std::string_view name = "exactcur";
  std::string_view level = "full";
  BSplineCurve spline;
  double fitTolerance = 0;
  std::array<std::string_view, 2> surfaces{"null_surface", "null_surface"};  // the curve lies on
  std::array<std::string_view, 2> pcurves{"nullbs", "nullbs"};              // on those surfaces
  Interval safeRange;
  std::array<std::vector<double>, 3> discontinuities;  // C1, C2, C3
  Interval range;  // before any extension
};
template <class IO>
void describe(IO& io, SplineCurveData& x) {
  io.word("subtype name", x.name);
  io.approximation(x.level, x.name, true);
  describe(io, x.spline);
  io.real("fit tolerance", x.fitTolerance, Read::skip);
  for (std::string_view& s : x.surfaces) io.word("surface", s, Read::skip);
  for (std::string_view& p : x.pcurves) io.word("pcurve", p, Read::skip);
  io.interval("safe range", x.safeRange, Read::skip);
  for (std::vector<double>& list : x.discontinuities) io.list("discontinuities", list, Read::skip);
  io.interval("original range", x.range, Read::skip);
}

// --- surfaces ----------------------------------------------------------------------------------
// Each ends with the surface's own bounds, unbounded in all we write.

struct PlaneSurface {
  static constexpr std::string_view kType = "plane-surface";
  gp_XYZ root, normal, uDirection;
  bool reverseV = false;  // v runs along uDirection x normal instead of normal x uDirection
  Interval u, v;
};
template <class IO>
void describe(IO& io, PlaneSurface& x) {
  io.position("root point", x.root);
  io.direction("normal", x.normal);
  io.vector("u direction", x.uDirection);
  io.logical(x.reverseV, "forward_v", "reverse_v", Read::skip);
  io.interval("u range", x.u, Read::skip);
  io.interval("v range", x.v, Read::skip);
}

// Cones and cylinders: the base ellipse, then the half angle as its sine and cosine.
struct ConeSurface {
  static constexpr std::string_view kType = "cone-surface";
  gp_XYZ centre, axis, majorAxis;  // majorAxis's length is the base radius
  double ratio = 1;                // minor to major radius
  Interval ellipse;
  double sine = 0, cosine = 1;
  double uScale = 1;
  bool reversed = false;  // u runs the other way
  Interval u, v;
};
template <class IO>
void describe(IO& io, ConeSurface& x) {
  io.position("centre", x.centre);
  io.direction("axis", x.axis);
  io.vector("major axis", x.majorAxis);
  io.real("radius ratio", x.ratio);
  io.interval("ellipse interval", x.ellipse);
  io.real("sine", x.sine);
  io.real("cosine", x.cosine);
  io.real("u scale", x.uScale, Read::skip);
  io.logical(x.reversed, "forward", "reversed", Read::skip);
  io.interval("u range", x.u, Read::skip);
  io.interval("v range", x.v, Read::skip);
}

struct SphereSurface {
  static constexpr std::string_view kType = "sphere-surface";
  gp_XYZ centre;
  double radius = 1;  // negative: the normal points to the centre
  gp_XYZ uvOrigin, pole;
  bool reverseV = false;
  Interval u, v;
};
template <class IO>
void describe(IO& io, SphereSurface& x) {
  io.position("centre", x.centre);
  io.real("radius", x.radius);
  io.vector("uv origin", x.uvOrigin);
  io.direction("pole", x.pole);
  io.logical(x.reverseV, "forward_v", "reverse_v", Read::skip);
  io.interval("u range", x.u, Read::skip);
  io.interval("v range", x.v, Read::skip);
}

struct TorusSurface {
  static constexpr std::string_view kType = "torus-surface";
  gp_XYZ centre, normal;
  double major = 1, minor = 1;  // a negative minor radius turns the normal inwards
  gp_XYZ uvOrigin;
  bool reverseV = false;
  Interval u, v;
};
template <class IO>
void describe(IO& io, TorusSurface& x) {
  io.position("centre", x.centre);
  io.direction("normal", x.normal);
  io.real("major radius", x.major);
  io.real("minor radius", x.minor);
  io.vector("uv origin", x.uvOrigin);
  io.logical(x.reverseV, "forward_v", "reverse_v", Read::skip);
  io.interval("u range", x.u, Read::skip);
  io.interval("v range", x.v, Read::skip);
}

struct SplineSurface {
  static constexpr std::string_view kType = "spline-surface";
  bool reversed = false;  // the normal is opposite to the B-spline's
  SplineSurfaceData data;
  Interval u, v;
};
template <class IO>
void describe(IO& io, SplineSurface& x) {
  io.logical(x.reversed, "forward", "reversed");
  io.subtype(x.data);
  io.interval("u range", x.u, Read::skip);
  io.interval("v range", x.v, Read::skip);
}

// --- curves ------------------------------------------------------------------------------------
// Each ends with the curve's own bounds, unbounded in all we write.

struct StraightCurve {
  static constexpr std::string_view kType = "straight-curve";
  gp_XYZ root, direction;
  Interval range;
};
template <class IO>
void describe(IO& io, StraightCurve& x) {
  io.position("root point", x.root);
  io.direction("direction", x.direction);
  io.interval("range", x.range, Read::skip);
}

struct EllipseCurve {
  static constexpr std::string_view kType = "ellipse-curve";
  gp_XYZ centre, normal, majorAxis;
  double ratio = 1;
  Interval range;
};
template <class IO>
void describe(IO& io, EllipseCurve& x) {
  io.position("centre", x.centre);
  io.direction("normal", x.normal);
  io.vector("major axis", x.majorAxis);
  io.real("radius ratio", x.ratio);
  io.interval("range", x.range, Read::skip);
}

struct IntCurve {
  static constexpr std::string_view kType = "intcurve-curve";
  bool reversed = false;  // runs against its B-spline
  SplineCurveData data;
  Interval range;
};
template <class IO>
void describe(IO& io, IntCurve& x) {
  io.logical(x.reversed, "forward", "reversed");
  io.subtype(x.data);
  io.interval("range", x.range, Read::skip);
}

}  // namespace kv::modeler::sat::rec
