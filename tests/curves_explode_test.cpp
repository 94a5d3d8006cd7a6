// Explode of the modeller's entities: solids into regions and bodies, and single faces into
// the host's curves along their edges.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "host/curves.h"
#include "host_fixture.h"
#include "modeler/solids.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The pieces of an explode, owned until the end of the test.
class Pieces {
public:
  ~Pieces() {
    for (int i = 0; i < all_.length(); ++i) delete static_cast<AcDbEntity*>(all_[i]);
  }
  // Explodes through the entity interface, as callers that hold any entity do.
  Acad::ErrorStatus of(const AcDbEntity& e) {
    AcDbVoidPtrArray got;
    Acad::ErrorStatus es = e.explode(got);
    last_.clear();
    for (int i = 0; i < got.length(); ++i) {
      all_.append(got[i]);
      last_.push_back(static_cast<AcDbEntity*>(got[i]));
    }
    return es;
  }
  const std::vector<AcDbEntity*>& last() const { return last_; }
  std::map<std::string, int> census() const {
    std::map<std::string, int> n;
    for (AcDbEntity* e : last_) ++n[e->isA()->name()];
    return n;
  }
  std::vector<AcDbCurve*> curves() const {
    std::vector<AcDbCurve*> out;
    for (AcDbEntity* e : last_) out.push_back(AcDbCurve::cast(e));
    return out;
  }

private:
  AcDbVoidPtrArray all_;
  std::vector<AcDbEntity*> last_;
};

AcGePoint3d startOf(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getStartPoint(p), Acad::eOk);
  return p;
}

AcGePoint3d endOf(const AcDbCurve& c) {
  AcGePoint3d p;
  EXPECT_EQ(c.getEndPoint(p), Acad::eOk);
  return p;
}

double lengthOf(const AcDbCurve& c) {
  double end = 0, d = 0;
  c.getEndParam(end);
  EXPECT_EQ(c.getDistAtParam(end, d), Acad::eOk);
  return d;
}

// Each edge ends where exactly one edge starts: the edges run round their face one way.
void expectDirectedLoops(const std::vector<AcDbCurve*>& edges) {
  for (const AcDbCurve* a : edges) {
    int next = 0;
    for (const AcDbCurve* b : edges) next += endOf(*a).distanceTo(startOf(*b)) < 1e-7;
    EXPECT_EQ(next, 1) << a->isA()->name() << " ending at " << endOf(*a).x << " " << endOf(*a).y << " "
                       << endOf(*a).z;
  }
}

// Points along a curve, ends included.
std::vector<AcGePoint3d> samples(const AcDbCurve& c, int n = 16) {
  double s = 0, e = 0;
  c.getStartParam(s);
  c.getEndParam(e);
  std::vector<AcGePoint3d> out;
  for (int i = 0; i <= n; ++i) {
    AcGePoint3d p;
    EXPECT_EQ(c.getPointAtParam(s + (e - s) * i / n, p), Acad::eOk);
    out.push_back(p);
  }
  return out;
}

double flatZ(const AcDbEntity& e) {
  AcDbExtents box;
  EXPECT_EQ(e.getGeomExtents(box), Acad::eOk);
  return box.maxPoint().z - box.minPoint().z < 1e-9 ? box.maxPoint().z : NAN;
}

}  // namespace

class CurvesExplode : public HostTest {};

TEST_F(CurvesExplode, SolidsGiveARegionPerPlanarFaceAndABodyPerOtherFace) {
  AcDb3dSolid box, cylinder;
  ASSERT_EQ(box.createBox(1, 2, 3), Acad::eOk);
  ASSERT_EQ(cylinder.createFrustum(2, 1, 1, 1), Acad::eOk);
  box.setColorIndex(4);
  Pieces pieces;
  ASSERT_EQ(pieces.of(box), Acad::eOk);
  EXPECT_EQ(pieces.census(), (std::map<std::string, int>{{"AcDbRegion", 6}}));
  for (AcDbEntity* e : pieces.last()) {
    EXPECT_EQ(e->colorIndex(), 4);
    EXPECT_TRUE(e->isNewObject());
  }
  ASSERT_EQ(pieces.of(cylinder), Acad::eOk);
  EXPECT_EQ(pieces.census(), (std::map<std::string, int>{{"AcDbRegion", 2}, {"AcDbBody", 1}}));
  // A body holding a whole solid splits the same way.
  AcDbBody body;
  ASSERT_EQ(body.setBody(box.body()), Acad::eOk);
  ASSERT_EQ(pieces.of(body), Acad::eOk);
  EXPECT_EQ(pieces.census(), (std::map<std::string, int>{{"AcDbRegion", 6}}));
}

TEST_F(CurvesExplode, RegionsGiveTheirEdgesAsLinesAndCircles) {
  AcDb3dSolid box, cylinder;
  box.createBox(1, 2, 3);
  cylinder.createFrustum(2, 1, 1, 1);
  cylinder.setColorIndex(6);
  Pieces faces, edges;
  ASSERT_EQ(faces.of(box), Acad::eOk);
  for (AcDbEntity* face : faces.last()) {
    ASSERT_EQ(edges.of(*face), Acad::eOk);
    EXPECT_EQ(edges.census(), (std::map<std::string, int>{{"AcDbLine", 4}}));
    expectDirectedLoops(edges.curves());
    double perimeter = 0;
    for (AcDbCurve* c : edges.curves()) perimeter += lengthOf(*c);
    EXPECT_TRUE(std::fabs(perimeter - 6) < 1e-9 || std::fabs(perimeter - 8) < 1e-9 || std::fabs(perimeter - 10) < 1e-9)
        << perimeter;
  }

  ASSERT_EQ(faces.of(cylinder), Acad::eOk);
  int circles = 0;
  for (AcDbEntity* face : faces.last()) {
    ASSERT_EQ(edges.of(*face), Acad::eOk);
    for (AcDbCurve* c : edges.curves()) {
      auto* circle = AcDbCircle::cast(c);
      ASSERT_NE(circle, nullptr) << c->isA()->name();  // the side's seam is no edge to draw
      ++circles;
      EXPECT_NEAR(circle->radius(), 1, 1e-12);
      EXPECT_NEAR(std::fabs(circle->center().z), 1, 1e-12);
      EXPECT_NEAR(std::fabs(circle->normal().z), 1, 1e-12);
      EXPECT_EQ(circle->colorIndex(), 6);
    }
  }
  EXPECT_EQ(circles, 4);  // top and bottom, each as a region's edge and as a side's edge

  AcDb3dSolid sphere;
  sphere.createSphere(1);
  ASSERT_EQ(faces.of(sphere), Acad::eOk);
  ASSERT_EQ(faces.last().size(), 1u);
  EXPECT_EQ(edges.of(*faces.last()[0]), Acad::eNotApplicable);  // nothing a user sees bounds it
}

TEST_F(CurvesExplode, ANotchedFaceGivesItsArcRunningWithTheOutline) {
  AcDb3dSolid plate, drill;
  plate.createBox(4, 4, 2);
  drill.createFrustum(4, 1, 1, 1);
  drill.transformBy(AcGeMatrix3d::translation(AcGeVector3d(2, 0, 0)));
  ASSERT_EQ(plate.booleanOper(AcDb::kBoolSubtract, &drill), Acad::eOk);
  Pieces faces, edges;
  ASSERT_EQ(faces.of(plate), Acad::eOk);
  int notched = 0;
  for (AcDbEntity* face : faces.last()) {
    if (!AcDbRegion::cast(face) || std::fabs(flatZ(*face)) != 1) continue;
    ASSERT_EQ(edges.of(*face), Acad::eOk);
    ++notched;
    EXPECT_EQ(edges.census(), (std::map<std::string, int>{{"AcDbLine", 5}, {"AcDbArc", 1}}));
    expectDirectedLoops(edges.curves());
    double perimeter = 0;
    for (AcDbCurve* c : edges.curves()) perimeter += lengthOf(*c);
    EXPECT_NEAR(perimeter, 14 + kPi, 1e-9);
    for (AcDbCurve* c : edges.curves()) {
      if (auto* arc = AcDbArc::cast(c)) {
        EXPECT_NEAR(arc->center().distanceTo(AcGePoint3d(2, 0, flatZ(*face))), 0, 1e-12);
        EXPECT_NEAR(arc->radius(), 1, 1e-12);
        for (const AcGePoint3d& p : samples(*arc)) EXPECT_LE(p.x, 2 + 1e-12);  // the notch goes into the plate
      }
    }
  }
  EXPECT_EQ(notched, 2);  // top and bottom
}

// A cylinder of radius 1 from z = -1 to 1, cut by the plane through the origin tilted by tilt
// about X; the edges of the tilted face of the part below the plane (subtract) or above it
// (intersect), which runs the other way round.
std::vector<AcDbCurve*> tiltedCapEdges(double tilt, AcDb::BoolOperType op, Pieces& faces, Pieces& edges) {
  AcDb3dSolid cylinder, cutter;
  cylinder.createFrustum(2, 1, 1, 1);
  cutter.createBox(10, 10, 10);
  cutter.transformBy(AcGeMatrix3d::rotation(tilt, AcGeVector3d(1, 0, 0)) *
                     AcGeMatrix3d::translation(AcGeVector3d(0, 0, 5)));
  EXPECT_EQ(cylinder.booleanOper(op, &cutter), Acad::eOk);
  EXPECT_EQ(faces.of(cylinder), Acad::eOk);
  std::vector<AcDbCurve*> out;
  for (AcDbEntity* face : faces.last()) {
    if (!AcDbRegion::cast(face) || !std::isnan(flatZ(*face))) continue;
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(edges.of(*face), Acad::eOk);
    out = edges.curves();
  }
  return out;
}

// The tilted face's edges: lines where it meets the caps, the rest arcs of one ellipse.
void expectTiltedCap(double tilt, int lines, bool whole, AcDb::BoolOperType op) {
  Pieces faces, edges;
  std::vector<AcDbCurve*> cap = tiltedCapEdges(tilt, op, faces, edges);
  auto census = edges.census();
  EXPECT_EQ(census.size(), lines ? 2u : 1u) << tilt;
  EXPECT_EQ(census["AcDbLine"], lines) << tilt;
  EXPECT_GE(census["AcDbEllipse"], whole ? 1 : 2) << tilt;
  expectDirectedLoops(cap);
  AcGeVector3d plane(0, -std::sin(tilt), std::cos(tilt));
  for (AcDbCurve* curve : cap) {
    auto* ellipse = AcDbEllipse::cast(curve);
    if (!ellipse) continue;
    EXPECT_EQ(ellipse->isClosed(), whole);
    EXPECT_NEAR(ellipse->radiusRatio(), std::cos(tilt), 1e-9);
    EXPECT_NEAR(ellipse->majorAxis().length(), 1 / std::cos(tilt), 1e-9);
    for (const AcGePoint3d& p : samples(*ellipse)) {
      EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-9);
      EXPECT_NEAR(p.asVector().dotProduct(plane), 0, 1e-9);
      EXPECT_LE(std::fabs(p.z), 1 + 1e-9);
    }
  }
}

TEST_F(CurvesExplode, TiltedCutsOfACylinderGiveEllipses) {
  for (AcDb::BoolOperType op : {AcDb::kBoolSubtract, AcDb::kBoolIntersect}) {
    expectTiltedCap(kPi / 6, 0, true, op);   // inside the side: a whole ellipse
    expectTiltedCap(kPi / 3, 2, false, op);  // through both caps: arcs (the side's seam may split one)
  }
}

TEST_F(CurvesExplode, CrossingCylindersMeetAlongSplines) {
  AcDb3dSolid upright, across;
  upright.createFrustum(4, 1, 1, 1);
  across.createFrustum(4, 0.6, 0.6, 0.6);
  across.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d(0, 1, 0)));
  ASSERT_EQ(upright.booleanOper(AcDb::kBoolUnite, &across), Acad::eOk);
  Pieces faces, edges;
  ASSERT_EQ(faces.of(upright), Acad::eOk);
  int splines = 0;
  for (AcDbEntity* face : faces.last()) {
    if (!AcDbBody::cast(face)) continue;
    ASSERT_EQ(edges.of(*face), Acad::eOk);
    for (AcDbCurve* c : edges.curves()) {
      if (!AcDbSpline::cast(c)) continue;
      ++splines;
      // On both cylinders: one unit from the Z axis and 0.6 from the X axis.
      for (const AcGePoint3d& p : samples(*c)) {
        EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-5);
        EXPECT_NEAR(std::hypot(p.y, p.z), 0.6, 1e-5);
      }
    }
  }
  EXPECT_GE(splines, 4);  // two closed curves, each bounding the side of both cylinders
}

TEST_F(CurvesExplode, ATiltedCutOfATorusIsBoundedBySplinesRunningRound) {
  AcDb3dSolid torus, cutter;
  ASSERT_EQ(torus.createTorus(2, 1), Acad::eOk);
  cutter.createBox(10, 10, 10);
  double tilt = 0.3;
  cutter.transformBy(AcGeMatrix3d::rotation(tilt, AcGeVector3d(0, 1, 0)) *
                     AcGeMatrix3d::translation(AcGeVector3d(0, 0, 5)));
  ASSERT_EQ(torus.booleanOper(AcDb::kBoolSubtract, &cutter), Acad::eOk);
  Pieces faces, edges;
  ASSERT_EQ(faces.of(torus), Acad::eOk);
  int caps = 0;
  for (AcDbEntity* face : faces.last()) {
    if (!AcDbRegion::cast(face)) continue;
    ++caps;
    ASSERT_EQ(edges.of(*face), Acad::eOk);
    std::map<std::string, int> census = edges.census();
    EXPECT_GE(census["AcDbSpline"], 2) << census.size();
    expectDirectedLoops(edges.curves());
    AcGeVector3d plane(std::sin(tilt), 0, std::cos(tilt));
    // On the torus: a point's distance from the axis circle of radius 2 is 1.
    for (AcDbCurve* c : edges.curves())
      for (const AcGePoint3d& p : samples(*c)) {
        EXPECT_NEAR(std::hypot(std::hypot(p.x, p.y) - 2, p.z), 1, 1e-5);
        EXPECT_NEAR(p.asVector().dotProduct(plane), 0, 1e-7);
      }
  }
  EXPECT_EQ(caps, 1);
}

TEST_F(CurvesExplode, ExplodeOfANullModellerEntityIsRefused) {
  AcDbRegion region;
  Pieces pieces;
  EXPECT_EQ(pieces.of(region), Acad::eNullExtents);
  EXPECT_TRUE(pieces.last().empty());
}
