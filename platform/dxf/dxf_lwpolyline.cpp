// LWPOLYLINE: the lightweight polyline, its vertices inline. Points are in the polyline's own
// coordinate system (210), as the host keeps them, so they pass through untouched.
#include <optional>
#include <string>
#include <vector>

#include "dxf/dxf_entities.h"
#include "host/access.h"
#include "host/polylines.h"

namespace kv::dxf {
namespace {

// LWPOLYLINE flags (70).
constexpr int kClosed = 1;
constexpr int kPlinegen = 128;

// The file gave one width for all (43) and none of the vertices its own (EntityCommon::given).
constexpr std::uint8_t kConstantWidthOnly = 1;

struct LwVertex {
  AcGePoint2d p;
  double bulge = 0;
  std::optional<double> startWidth, endWidth;
  std::int64_t id = 0;
};

struct LwIn {
  std::vector<LwVertex> vertices;
  std::int64_t flags = 0;
  std::optional<double> constantWidth;
  Tag constantTag;
  double elevation = 0, thickness = 0;
  AcGePoint3d normal = AcGePoint3d(0, 0, 1);
  Tag normalTag;
};

// A pair that belongs to the vertex last opened by 10 (40, 41, 42, 91, and 20 itself).
bool vertexPair(EntityIn& in, const Tag& t, LwVertex& v) {
  double value = 0;
  switch (t.code) {
    case 20: return in.real(t, v.p.y);
    case 40: if (!in.real(t, value)) return false; v.startWidth = value; return true;
    case 41: if (!in.real(t, value)) return false; v.endWidth = value; return true;
    case 42: return in.real(t, v.bulge);
    case 91: return in.integer(t, v.id);
    default: return true;
  }
}

bool isVertexCode(int code) { return code == 20 || code == 40 || code == 41 || code == 42 || code == 91; }

// One pair of the entity; false on a bad number.
bool lwPair(EntityIn& in, const Tag& t, LwIn& lw) {
  double value = 0;
  switch (t.code) {
    case 90: return true;  // the count: the vertices themselves say how many
    case 70: return in.integer(t, lw.flags);
    case 43:
      if (!in.real(t, value)) return false;
      lw.constantWidth = value;
      lw.constantTag = t;
      return true;
    case 38: return in.real(t, lw.elevation);
    case 39: return in.real(t, lw.thickness);
    case 10:
      lw.vertices.emplace_back();
      return in.real(t, lw.vertices.back().p.x);
    default: break;
  }
  if (isVertexCode(t.code) && !lw.vertices.empty()) return vertexPair(in, t, lw.vertices.back());
  if (in.coordinate(t, 210, lw.normal)) {
    lw.normalTag = t;
    return in.ok();
  }
  in.keep(t);  // vertex data before any vertex, and what the host does not model
  return true;
}

std::unique_ptr<AcDbEntity> buildLwPolyline(EntityIn& in, LwIn& lw) {
  AcGeVector3d normal = lw.normal.asVector();
  if (normal.isZeroLength()) {
    in.fail(lw.normalTag, "extrusion direction has no length");
    return nullptr;
  }
  // Without vertices the constant width has nothing to hold it.
  if (lw.constantWidth && lw.vertices.empty()) in.keep(lw.constantTag);
  const double constant = lw.constantWidth.value_or(0);
  bool own = false;
  for (const LwVertex& v : lw.vertices) own = own || v.startWidth || v.endWidth;
  if (lw.constantWidth && !own) in.given(kConstantWidthOnly);
  auto polyline = std::make_unique<AcDbPolyline>(unsigned(lw.vertices.size()));
  for (const LwVertex& v : lw.vertices) {
    unsigned i = polyline->numVerts();
    polyline->addVertexAt(i, v.p, v.bulge, v.startWidth.value_or(constant), v.endWidth.value_or(constant));
    polyline->setVertexIdentifierAt(i, Adesk::Int32(v.id));
  }
  polyline->setNormal(normal);
  polyline->setElevation(lw.elevation);
  polyline->setThickness(lw.thickness);
  polyline->setClosed((lw.flags & kClosed) != 0);
  polyline->setPlinegen((lw.flags & kPlinegen) != 0);
  return polyline;
}

}  // namespace

std::unique_ptr<AcDbEntity> readLwPolyline(EntityIn& in) {
  LwIn lw;
  Tag t;
  while (in.next(t))
    if (!lwPair(in, t, lw)) return nullptr;
  if (!in.ok()) return nullptr;
  return buildLwPolyline(in, lw);
}

void writeLwPolyline(EntityOut& out, const AcDbEntity& entity) {
  const auto& polyline = static_cast<const AcDbPolyline&>(entity);
  out.common(AcDbPolyline::desc()->dxfName(), polyline);
  out.subclass("AcDbPolyline");
  TagWriter& w = out.tags();
  w.integer(90, polyline.numVerts());
  w.integer(70, (polyline.isClosed() ? kClosed : 0) | (polyline.hasPlinegen() ? kPlinegen : 0));
  // One width for all, as the host writes it; each vertex's own follow all the same, for the
  // readers that take a vertex without them to have none, unless the file read gave the one
  // width alone and it still holds.
  double constant = 0;
  const bool isConstant = polyline.getConstantWidth(constant) == Acad::eOk;
  if (isConstant) w.real(43, constant);
  const kv::KeptData* kept = kv::HostAccess::kept(polyline);
  const bool vertexWidths = !isConstant || !kept || !(kept->given & kConstantWidthOnly);
  w.real(38, polyline.elevation());
  w.real(39, polyline.thickness());
  for (unsigned i = 0; i < polyline.numVerts(); ++i) {
    AcGePoint2d p;
    double bulge = 0, start = 0, end = 0;
    Adesk::Int32 id = 0;
    polyline.getPointAt(i, p);
    polyline.getBulgeAt(i, bulge);
    polyline.getWidthsAt(i, start, end);
    polyline.getVertexIdentifierAt(i, id);
    w.real(10, p.x);
    w.real(20, p.y);
    if (vertexWidths) {
      w.real(40, start);
      w.real(41, end);
    }
    if (bulge != 0) w.real(42, bulge);
    if (id != 0) w.integer(91, id);
  }
  AcGeVector3d n = polyline.normal();
  w.point(210, AcGePoint3d(n.x, n.y, n.z));
}

}  // namespace kv::dxf
