// Reading back what the entity creators put into a drawing: the live entities of model space
// in drawing order, each as a view of its class, layer, colour and geometry.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/acdb.h"
#include "host/curves.h"
#include "host/entities.h"

struct EntityView {
  std::string cls, layer;
  int colorMethod = 0, colorIndex = 0, red = 0, green = 0, blue = 0;
  // By class: a point's position; a line's ends; a circle's centre, radius and normal; an
  // arc's the same with its two angles; a 3D polyline's closed flag and vertices; a spline's
  // degree, flags, counts, control points, knots, weights and fit points.
  std::vector<double> geometry;
  int items = 0;  // vertices of a vertex-based entity
  bool operator==(const EntityView&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const EntityView& v) {
  out << v.cls << " on '" << v.layer << "' colour " << v.colorMethod << "/" << v.colorIndex << " (" << v.items
      << " items):";
  for (double g : v.geometry) out << ' ' << g;
  return out;
}

inline void appendPoint(std::vector<double>& out, const AcGePoint3d& p) { out.insert(out.end(), {p.x, p.y, p.z}); }
inline void appendVector(std::vector<double>& out, const AcGeVector3d& v) { out.insert(out.end(), {v.x, v.y, v.z}); }

inline void splineGeometry(const AcDbSpline& s, std::vector<double>& g) {
  int degree = 0;
  Adesk::Boolean rational = false, closed = false, periodic = false;
  AcGePoint3dArray points, fit;
  AcGeDoubleArray knots, weights;
  double ctrlTol = 0, knotTol = 0;
  s.getNurbsData(degree, rational, closed, periodic, points, knots, weights, ctrlTol, knotTol);
  g.insert(g.end(), {double(degree), double(rational), double(closed), double(periodic), double(points.length()),
                     double(knots.length()), double(weights.length())});
  for (const AcGePoint3d& p : points) appendPoint(g, p);
  g.insert(g.end(), knots.begin(), knots.end());
  g.insert(g.end(), weights.begin(), weights.end());
  for (int i = 0; i < s.numFitPoints(); ++i) {
    AcGePoint3d p;
    s.getFitPointAt(i, p);
    appendPoint(g, p);
  }
}

inline std::vector<double> geometryOf(const AcDbEntity& e) {
  std::vector<double> g;
  if (const auto* p = AcDbPoint::cast(&e)) {
    appendPoint(g, p->position());
  } else if (const auto* l = AcDbLine::cast(&e)) {
    appendPoint(g, l->startPoint());
    appendPoint(g, l->endPoint());
  } else if (const auto* c = AcDbCircularCurve::cast(&e)) {
    appendPoint(g, c->center());
    g.push_back(c->radius());
    appendVector(g, c->normal());
    if (const auto* a = AcDbArc::cast(&e)) g.insert(g.end(), {a->startAngle(), a->endAngle()});
  } else if (const auto* pl = AcDb3dPolyline::cast(&e)) {
    g.push_back(pl->isClosed());
    for (const AcDbEntity* item : pl->items())
      if (const auto* v = AcDb3dPolylineVertex::cast(item)) appendPoint(g, v->position());
  } else if (const auto* s = AcDbSpline::cast(&e)) {
    splineGeometry(*s, g);
  }
  return g;
}

inline EntityView viewOf(const AcDbEntity& e) {
  EntityView v;
  v.cls = e.isA()->name();
  v.layer = e.layer().GetString();
  AcCmColor c = e.color();
  v.colorMethod = c.colorMethod();
  v.colorIndex = c.colorIndex();
  v.red = c.red();
  v.green = c.green();
  v.blue = c.blue();
  v.geometry = geometryOf(e);
  if (const auto* owner = AcDbVertexOwner::cast(&e)) v.items = int(owner->items().size());
  return v;
}

// The live entities of the drawing's model space, in drawing order.
inline std::vector<AcDbObjectId> liveEntities(AcDbDatabase& db) {
  std::vector<AcDbObjectId> out;
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  if (!space) return out;
  for (const AcDbObjectId& id : space->entityIds())
    if (!id.isErased()) out.push_back(id);
  space->close();
  return out;
}

inline std::vector<EntityView> liveViews(AcDbDatabase& db) {
  std::vector<EntityView> out;
  for (const AcDbObjectId& id : liveEntities(db)) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk) << "left open: " << id.handle().text();
    if (!e) continue;
    out.push_back(viewOf(*e));
    e->close();
  }
  return out;
}
