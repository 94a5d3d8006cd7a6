// Lightweight, 2D and 3D polylines as curves, their segments, transforms and explode, and the
// explode of polyface and polygon meshes.
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "host/access.h"
#include "host/curves.h"
#include "host/polylines.h"
#include "host_fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;
const double kRoot2 = std::sqrt(2.0);

// Open: a half circle counter-clockwise from (0, 0) to (2, 0) about (1, 0), a line up to
// (2, 3), a quarter circle clockwise to (4, 5) about (4, 3). Length 2 pi + 3; closed, the line
// back to the start adds sqrt(41).
const double kBulges[] = {1, 0, -std::tan(kPi / 8), 0};
const AcGePoint2d kCorners[] = {{0, 0}, {2, 0}, {2, 3}, {4, 5}};

std::unique_ptr<AcDbPolyline> samplePolyline() {
  auto pl = std::make_unique<AcDbPolyline>(4u);
  for (unsigned i = 0; i < 4; ++i) pl->addVertexAt(i, kCorners[i], kBulges[i]);
  return pl;
}

AcDb2dPolyline* sample2dPolyline(double elevation) {
  AcGePoint3dArray points;
  AcGeDoubleArray bulges;
  for (int i = 0; i < 4; ++i) {
    points.append(AcGePoint3d(kCorners[i].x, kCorners[i].y, 0));
    bulges.append(kBulges[i]);
  }
  return new AcDb2dPolyline(AcDb::k2dSimplePoly, points, elevation, false, 0, 0, &bulges);
}

void expectNear(const AcGePoint3d& got, const AcGePoint3d& want, double tol = 1e-12) {
  EXPECT_NEAR(got.x, want.x, tol) << "x";
  EXPECT_NEAR(got.y, want.y, tol) << "y";
  EXPECT_NEAR(got.z, want.z, tol) << "z";
}

AcGePoint3d pointAt(const AcDbCurve& curve, double param) {
  AcGePoint3d p(1e300, 1e300, 1e300);
  EXPECT_EQ(curve.getPointAtParam(param, p), Acad::eOk) << param;
  return p;
}

double distAt(const AcDbCurve& curve, double param) {
  double d = -1;
  EXPECT_EQ(curve.getDistAtParam(param, d), Acad::eOk) << param;
  return d;
}

double endParam(const AcDbCurve& curve) {
  double end = -1;
  EXPECT_EQ(curve.getEndParam(end), Acad::eOk);
  return end;
}

// The sample's points at parameters, in its own plane, worked out by hand.
struct Known {
  double param;
  AcGePoint3d point;
  double dist;
};
const Known kKnown[] = {
    {0, {0, 0, 0}, 0},
    {0.5, {1, -1, 0}, kPi / 2},
    {1, {2, 0, 0}, kPi},
    {1.5, {2, 1.5, 0}, kPi + 1.5},
    {2, {2, 3, 0}, kPi + 3},
    {2.5, {4 - kRoot2, 3 + kRoot2, 0}, kPi + 3 + kPi / 2},
    {3, {4, 5, 0}, 2 * kPi + 3},
};

class Polylines : public HostTest {
protected:
  // Deletes what an explode handed over.
  static void release(AcDbVoidPtrArray& pieces) {
    for (void* p : pieces) delete static_cast<AcDbEntity*>(p);
    pieces.removeAll();
  }
};

}  // namespace

TEST_F(Polylines, LightweightPointsAndLengthsFollowTheBulges) {
  auto pl = samplePolyline();
  double start = -1;
  ASSERT_EQ(pl->getStartParam(start), Acad::eOk);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(endParam(*pl), 3);
  for (const Known& k : kKnown) {
    expectNear(pointAt(*pl, k.param), k.point);
    EXPECT_NEAR(distAt(*pl, k.param), k.dist, 1e-12) << k.param;
  }
  // Vertices come back exactly, not through an arc's sine and cosine.
  EXPECT_EQ(pointAt(*pl, 1).x, 2);
  EXPECT_EQ(pointAt(*pl, 3).y, 5);
  AcGePoint3d p;
  double d = 0;
  for (double outside : {-1e-9, 3 + 1e-9, std::nan("")}) {
    EXPECT_EQ(pl->getPointAtParam(outside, p), Acad::eInvalidInput) << outside;
    EXPECT_EQ(pl->getDistAtParam(outside, d), Acad::eInvalidInput) << outside;
  }
  EXPECT_FALSE(pl->isOnlyLines());

  ASSERT_EQ(pl->setClosed(true), Acad::eOk);
  EXPECT_TRUE(pl->isClosed());
  EXPECT_EQ(endParam(*pl), 4);
  EXPECT_NEAR(distAt(*pl, 4), 2 * kPi + 3 + std::sqrt(41.0), 1e-12);
  expectNear(pointAt(*pl, 3.5), AcGePoint3d(2, 2.5, 0));
  AcGePoint3d end;
  ASSERT_EQ(pl->getEndPoint(end), Acad::eOk);
  EXPECT_EQ(end, AcGePoint3d(0, 0, 0));
}

TEST_F(Polylines, SegmentsAsTheHostHandsThemOut) {
  auto pl = samplePolyline();
  const AcDbPolyline::SegType want[] = {AcDbPolyline::kArc, AcDbPolyline::kLine, AcDbPolyline::kArc,
                                        AcDbPolyline::kEmpty, AcDbPolyline::kEmpty};
  for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(pl->segType(i), want[i]) << i;

  AcGeCircArc3d arc;
  ASSERT_EQ(pl->getArcSegAt(2, arc), Acad::eOk);
  expectNear(arc.center(), AcGePoint3d(4, 3, 0));
  EXPECT_NEAR(arc.radius(), 2, 1e-12);
  // Clockwise about the polyline's normal: counter-clockwise about the arc's own.
  EXPECT_EQ(arc.normal(), AcGeVector3d(0, 0, -1));
  expectNear(arc.startPoint(), AcGePoint3d(2, 3, 0));
  expectNear(arc.endPoint(), AcGePoint3d(4, 5, 0));
  expectNear(arc.evalPoint((arc.startAng() + arc.endAng()) / 2), AcGePoint3d(4 - kRoot2, 3 + kRoot2, 0));
  EXPECT_NEAR(arc.length(arc.startAng(), arc.endAng()), kPi, 1e-12);

  ASSERT_EQ(pl->getArcSegAt(0, arc), Acad::eOk);
  EXPECT_EQ(arc.normal(), AcGeVector3d(0, 0, 1));
  expectNear(arc.center(), AcGePoint3d(1, 0, 0));
  expectNear(arc.evalPoint((arc.startAng() + arc.endAng()) / 2), AcGePoint3d(1, -1, 0));

  AcGeLineSeg3d line;
  ASSERT_EQ(pl->getLineSegAt(1, line), Acad::eOk);
  EXPECT_EQ(line.startPoint(), AcGePoint3d(2, 0, 0));
  EXPECT_EQ(line.endPoint(), AcGePoint3d(2, 3, 0));
  EXPECT_EQ(line.length(), 3);
  EXPECT_EQ(pl->getLineSegAt(0, line), Acad::eNotApplicable);
  EXPECT_EQ(pl->getArcSegAt(1, arc), Acad::eNotApplicable);
  EXPECT_EQ(pl->getArcSegAt(3, arc), Acad::eInvalidIndex);  // no segment leaves an open end
  ASSERT_EQ(pl->setClosed(true), Acad::eOk);
  EXPECT_EQ(pl->segType(3), AcDbPolyline::kLine);
  ASSERT_EQ(pl->getLineSegAt(3, line), Acad::eOk);
  EXPECT_EQ(line.endPoint(), AcGePoint3d(0, 0, 0));

  AcDbPolyline few;
  EXPECT_EQ(few.segType(0), AcDbPolyline::kEmpty);
  double param = 0;
  EXPECT_EQ(few.getStartParam(param), Acad::eDegenerateGeometry);
  few.addVertexAt(0, AcGePoint2d(1, 1));
  EXPECT_EQ(few.segType(0), AcDbPolyline::kPoint);
  expectNear(pointAt(few, 0), AcGePoint3d(1, 1, 0));
  few.addVertexAt(1, AcGePoint2d(1, 1), 0.5);
  EXPECT_EQ(few.segType(0), AcDbPolyline::kCoincident);
  EXPECT_EQ(few.getLineSegAt(0, line), Acad::eOk);
  EXPECT_EQ(few.addVertexAt(3, AcGePoint2d(0, 0)), Acad::eInvalidIndex);
}

TEST_F(Polylines, TiltedPlaneAndElevationGiveWorldPoints) {
  // Normal -Y: by the arbitrary-axis rule the plane's x is world X and its y world Z, so the
  // plane point (x, y) at elevation e is (x, -e, y) in the world.
  auto pl = samplePolyline();
  ASSERT_EQ(pl->setNormal(AcGeVector3d(0, -2, 0)), Acad::eOk);
  EXPECT_EQ(pl->normal(), AcGeVector3d(0, -1, 0));
  ASSERT_EQ(pl->setElevation(2), Acad::eOk);
  AcGePoint3d world;
  AcGePoint2d own;
  ASSERT_EQ(pl->getPointAt(3, world), Acad::eOk);
  expectNear(world, AcGePoint3d(4, -2, 5));
  ASSERT_EQ(pl->getPointAt(3, own), Acad::eOk);
  EXPECT_EQ(own, AcGePoint2d(4, 5));
  EXPECT_EQ(pl->getPointAt(4, own), Acad::eInvalidIndex);
  for (const Known& k : kKnown) {
    expectNear(pointAt(*pl, k.param), AcGePoint3d(k.point.x, -2, k.point.y));
    EXPECT_NEAR(distAt(*pl, k.param), k.dist, 1e-12) << k.param;
  }
  AcGeCircArc3d arc;
  ASSERT_EQ(pl->getArcSegAt(2, arc), Acad::eOk);
  expectNear(arc.center(), AcGePoint3d(4, -2, 3));
  EXPECT_EQ(arc.normal(), AcGeVector3d(0, 1, 0));
  EXPECT_EQ(pl->setNormal(AcGeVector3d()), Acad::eInvalidNormal);

  // The half circle reaches one below its chord; thickness extrudes along the normal.
  ASSERT_EQ(pl->setThickness(1.5), Acad::eOk);
  AcDbExtents ext;
  ASSERT_EQ(pl->getGeomExtents(ext), Acad::eOk);
  expectNear(ext.minPoint(), AcGePoint3d(0, -3.5, -1));
  expectNear(ext.maxPoint(), AcGePoint3d(4, -2, 5));
}

TEST_F(Polylines, WidthsIdentifiersAndTheirConstantWidth) {
  auto pl = samplePolyline();
  double w = -1;
  ASSERT_EQ(pl->getConstantWidth(w), Acad::eOk);
  EXPECT_EQ(w, 0);
  ASSERT_EQ(pl->setConstantWidth(0.5), Acad::eOk);
  ASSERT_EQ(pl->addVertexAt(4, AcGePoint2d(9, 9)), Acad::eOk);  // takes the constant width
  double s = 0, e = 0;
  ASSERT_EQ(pl->getWidthsAt(4, s, e), Acad::eOk);
  EXPECT_EQ(s, 0.5);
  EXPECT_EQ(e, 0.5);
  ASSERT_EQ(pl->setWidthsAt(1, 0.5, 0.75), Acad::eOk);
  EXPECT_EQ(pl->getConstantWidth(w), Acad::eNotApplicable);
  EXPECT_EQ(w, 0);
  ASSERT_EQ(pl->setVertexIdentifierAt(2, 77), Acad::eOk);
  ASSERT_EQ(pl->removeVertexAt(0), Acad::eOk);
  Adesk::Int32 id = 0;
  ASSERT_EQ(pl->getVertexIdentifierAt(1, id), Acad::eOk);
  EXPECT_EQ(id, 77);
  ASSERT_EQ(pl->getWidthsAt(0, s, e), Acad::eOk);
  EXPECT_EQ(e, 0.75);
  EXPECT_EQ(pl->removeVertexAt(4), Acad::eInvalidIndex);
  EXPECT_EQ(pl->numVerts(), 4u);
}

TEST_F(Polylines, SettersNeedTheWriteOpenAndCloneCopiesEverything) {
  auto* made = samplePolyline().release();
  made->setWidthsAt(1, 0.25, 0.5);
  made->setVertexIdentifierAt(3, 9);
  made->setElevation(-1);
  made->setThickness(2);
  made->setNormal(AcGeVector3d(0.6, 0, 0.8));
  made->setClosed(true);
  made->setPlinegen(true);
  made->setColorIndex(4);
  AcDbObjectId id = append(made);
  AcDbPolyline* pl = nullptr;
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(pl->setBulgeAt(0, 0), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->setPointAt(0, AcGePoint2d(7, 7)), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->addVertexAt(0, AcGePoint2d(7, 7)), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->setClosed(false), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->setElevation(5), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->setNormal(AcGeVector3d(1, 0, 0)), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->setConstantWidth(1), Acad::eNotOpenForWrite);
  EXPECT_EQ(pl->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eNotOpenForWrite);

  std::unique_ptr<AcDbPolyline> copy(AcDbPolyline::cast(pl->clone()));
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->numVerts(), pl->numVerts());
  for (unsigned i = 0; i < pl->numVerts(); ++i) {
    AcGePoint2d a, b;
    double ba = 0, bb = 0, sa = 0, sb = 0, ea = 0, eb = 0;
    Adesk::Int32 ia = 0, ib = 0;
    pl->getPointAt(i, a);
    copy->getPointAt(i, b);
    pl->getBulgeAt(i, ba);
    copy->getBulgeAt(i, bb);
    pl->getWidthsAt(i, sa, ea);
    copy->getWidthsAt(i, sb, eb);
    pl->getVertexIdentifierAt(i, ia);
    copy->getVertexIdentifierAt(i, ib);
    EXPECT_EQ(a, b);
    EXPECT_EQ(ba, bb);
    EXPECT_EQ(sa, sb);
    EXPECT_EQ(ea, eb);
    EXPECT_EQ(ia, ib);
  }
  EXPECT_EQ(copy->elevation(), -1);
  EXPECT_EQ(copy->thickness(), 2);
  EXPECT_EQ(copy->normal(), AcGeVector3d(0.6, 0, 0.8));
  EXPECT_TRUE(copy->isClosed());
  EXPECT_TRUE(copy->hasPlinegen());
  EXPECT_EQ(copy->colorIndex(), 4);
  EXPECT_EQ(copy->layerId(), pl->layerId());
  pl->close();
}

TEST_F(Polylines, TransformsCarryEveryPointOfTheCurve) {
  AcGeMatrix3d turn = AcGeMatrix3d::rotation(kPi / 3, AcGeVector3d(1, 1, 0)) * AcGeMatrix3d::scaling(2);
  turn.preMultBy(AcGeMatrix3d::translation(AcGeVector3d(1, -2, 3)));
  AcGeMatrix3d mirror;
  mirror(0, 0) = -1;
  for (const AcGeMatrix3d& m : {turn, mirror}) {
    auto pl = samplePolyline();
    pl->setClosed(true);
    pl->setElevation(0.5);
    pl->setWidthsAt(0, 1, 2);
    std::vector<AcGePoint3d> before;
    for (int k = 0; k <= 16; ++k) before.push_back(pointAt(*pl, k / 4.0));
    const double length = distAt(*pl, 4);
    ASSERT_EQ(pl->transformBy(m), Acad::eOk);
    for (int k = 0; k <= 16; ++k) expectNear(pointAt(*pl, k / 4.0), m * before[size_t(k)], 1e-9);
    const double scale = (m * AcGeVector3d(1, 0, 0)).length();
    EXPECT_NEAR(distAt(*pl, 4), scale * length, 1e-9);
    double s = 0, e = 0;
    pl->getWidthsAt(0, s, e);
    EXPECT_NEAR(e, 2 * scale, 1e-12);
  }
  auto pl = samplePolyline();
  AcGeMatrix3d squash;
  squash(1, 1) = 0.5;
  EXPECT_EQ(pl->transformBy(squash), Acad::eCannotScaleNonUniformly);
  expectNear(pointAt(*pl, 3), AcGePoint3d(4, 5, 0));
}

TEST_F(Polylines, TwoDPolylineKeepsPlanePositionsAndItsElevation) {
  AcDb2dPolyline* made = sample2dPolyline(2);
  ASSERT_EQ(made->setNormal(AcGeVector3d(0, -1, 0)), Acad::eOk);
  made->setThickness(1.5);
  AcDbObjectId id = append(made);
  AcDb2dPolyline* pl = nullptr;
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(pl->elevation(), 2);
  EXPECT_EQ(endParam(*pl), 3);
  for (const Known& k : kKnown) {
    expectNear(pointAt(*pl, k.param), AcGePoint3d(k.point.x, -2, k.point.y));
    EXPECT_NEAR(distAt(*pl, k.param), k.dist, 1e-12) << k.param;
  }
  AcDbObjectIterator* it = pl->vertexIterator();
  int n = 0;
  for (; !it->done(); it->step(), ++n) {
    AcDb2dVertex* v = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(v, it->objectId(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(v->position(), AcGePoint3d(kCorners[n].x, kCorners[n].y, 2));  // the plane's own coordinates
    expectNear(pl->vertexPosition(*v), AcGePoint3d(kCorners[n].x, -2, kCorners[n].y));
    EXPECT_EQ(v->bulge(), kBulges[n]);
    EXPECT_EQ(v->setBulge(0), Acad::eNotOpenForWrite);
    v->close();
  }
  delete it;
  EXPECT_EQ(n, 4);
  EXPECT_EQ(pl->makeClosed(), Acad::eNotOpenForWrite);
  AcDbExtents ext;
  ASSERT_EQ(pl->getGeomExtents(ext), Acad::eOk);
  expectNear(ext.minPoint(), AcGePoint3d(0, -3.5, -1));
  pl->close();

  // A mirrored copy draws the mirror image.
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  std::unique_ptr<AcDb2dPolyline> copy(AcDb2dPolyline::cast(pl->clone()));
  pl->close();
  ASSERT_TRUE(copy);
  AcGeMatrix3d mirror;
  mirror(2, 2) = -1;
  ASSERT_EQ(copy->transformBy(mirror), Acad::eOk);
  for (const Known& k : kKnown) expectNear(pointAt(*copy, k.param), AcGePoint3d(k.point.x, -2, -k.point.y), 1e-9);
}

TEST_F(Polylines, SplineFitPolylinesRunThroughTheirFittedVertices) {
  // A frame of three control vertices and the four vertices fitted to it.
  const AcGePoint3d frame[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
  const AcGePoint3d fitted[] = {{0, 0, 0}, {6, 1, 0}, {9, 4, 0}, {10, 10, 0}};
  AcDb3dPolyline pl3(AcDb::k3dCubicSplinePoly, AcGePoint3dArray());
  AcDb2dPolyline pl2;
  pl2.setPolyType(AcDb::k2dCubicSplinePoly);
  for (const AcGePoint3d& p : frame) {
    auto* v3 = new AcDb3dPolylineVertex(p);
    kv::HostAccess::setVertexType(*v3, AcDb::k3dControlVertex);
    ASSERT_EQ(pl3.appendVertex(v3), Acad::eOk);
    auto* v2 = new AcDb2dVertex(p);
    kv::HostAccess::setVertexType(*v2, AcDb::k2dSplineCtlVertex);
    ASSERT_EQ(pl2.appendVertex(v2), Acad::eOk);
  }
  // The frame alone is the curve while nothing is fitted.
  EXPECT_EQ(endParam(pl3), 2);
  EXPECT_EQ(endParam(pl2), 2);
  for (const AcGePoint3d& p : fitted) {
    auto* v3 = new AcDb3dPolylineVertex(p);
    kv::HostAccess::setVertexType(*v3, AcDb::k3dFitVertex);
    ASSERT_EQ(pl3.appendVertex(v3), Acad::eOk);
    auto* v2 = new AcDb2dVertex(p);
    kv::HostAccess::setVertexType(*v2, AcDb::k2dSplineFitVertex);
    ASSERT_EQ(pl2.appendVertex(v2), Acad::eOk);
  }
  const double length = std::sqrt(37.0) + std::sqrt(18.0) + std::sqrt(37.0);
  for (const AcDbCurve* c : {static_cast<const AcDbCurve*>(&pl3), static_cast<const AcDbCurve*>(&pl2)}) {
    EXPECT_EQ(endParam(*c), 3);
    expectNear(pointAt(*c, 1.5), AcGePoint3d(7.5, 2.5, 0));
    EXPECT_NEAR(distAt(*c, 3), length, 1e-12);
    AcDbExtents ext;
    ASSERT_EQ(c->getGeomExtents(ext), Acad::eOk);
    EXPECT_EQ(ext.maxPoint(), AcGePoint3d(10, 10, 0));
    EXPECT_EQ(ext.minPoint(), AcGePoint3d(0, 0, 0));
  }
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(pl3.explode(pieces), Acad::eOk);
  ASSERT_EQ(pieces.length(), 3);
  EXPECT_EQ(static_cast<AcDbLine*>(pieces[1])->startPoint(), AcGePoint3d(6, 1, 0));
  release(pieces);
}

TEST_F(Polylines, MeshesAreNotCurvesButOwnTheirVerticesAsPolylinesDo) {
  AcDbPolyFaceMesh face;
  AcDbPolygonMesh grid;
  AcGePoint3dArray pts;
  pts.append(AcGePoint3d(1, 2, 3));
  AcDb3dPolyline pl3(AcDb::k3dSimplePoly, pts);
  AcDb2dPolyline pl2(AcDb::k2dSimplePoly, pts);
  AcDbPolyline lw;
  for (AcDbEntity* mesh : {static_cast<AcDbEntity*>(&face), static_cast<AcDbEntity*>(&grid)}) {
    EXPECT_FALSE(mesh->isKindOf(AcDbCurve::desc())) << mesh->isA()->name();
    EXPECT_EQ(AcDbCurve::cast(mesh), nullptr);
    EXPECT_NE(AcDbVertexOwner::cast(mesh), nullptr);
  }
  for (AcDbEntity* curve : {static_cast<AcDbEntity*>(&pl3), static_cast<AcDbEntity*>(&pl2)}) {
    EXPECT_TRUE(curve->isKindOf(AcDbCurve::desc())) << curve->isA()->name();
    const AcDbVertexOwner* owner = AcDbVertexOwner::cast(curve);
    ASSERT_NE(owner, nullptr);
    ASSERT_EQ(owner->items().size(), 1u);
    EXPECT_EQ(AcDbVertex::cast(owner->items()[0])->position().x, 1);
  }
  EXPECT_TRUE(lw.isKindOf(AcDbCurve::desc()));
  EXPECT_EQ(AcDbVertexOwner::cast(&lw), nullptr);  // holds its vertices itself
}

TEST_F(Polylines, ExplodeGivesLinesAndArcsInTheWorldWithTheProperties) {
  AcDbLinetypeTable* types = nullptr;
  ASSERT_EQ(db().getLinetypeTable(types, AcDb::kForWrite), Acad::eOk);
  auto* dashed = new AcDbLinetypeTableRecord;
  dashed->setName("DASHED");
  AcDbObjectId dashedId;
  ASSERT_EQ(types->add(dashedId, dashed), Acad::eOk);
  dashed->close();
  types->close();

  auto* made = samplePolyline().release();
  made->setClosed(true);
  made->setNormal(AcGeVector3d(0, -1, 0));
  made->setElevation(2);
  made->setColorIndex(3);
  made->setLinetype(dashedId);
  made->addVertexAt(2, AcGePoint2d(2, 0));  // a segment of no length: nothing comes of it
  AcDbObjectId id = append(made);
  AcDbPolyline* pl = nullptr;
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(pl->explode(pieces), Acad::eOk);
  ASSERT_EQ(pieces.length(), 4);
  auto world = [](const AcGePoint2d& p) { return AcGePoint3d(p.x, -2, p.y); };
  // Each piece from one vertex to the next; the clockwise arc runs back, from its end.
  const AcGePoint3d from[] = {world(kCorners[0]), world(kCorners[1]), world(kCorners[3]), world(kCorners[3])};
  const AcGePoint3d to[] = {world(kCorners[1]), world(kCorners[2]), world(kCorners[2]), world(kCorners[0])};
  const bool arcs[] = {true, false, true, false};
  for (int i = 0; i < 4; ++i) {
    auto* e = static_cast<AcDbCurve*>(pieces[i]);
    ASSERT_EQ(AcDbArc::cast(e) != nullptr, arcs[i]) << i;
    EXPECT_EQ(AcDbLine::cast(e) != nullptr, !arcs[i]) << i;
    AcGePoint3d a, b;
    ASSERT_EQ(e->getStartPoint(a), Acad::eOk);
    ASSERT_EQ(e->getEndPoint(b), Acad::eOk);
    expectNear(a, from[i], 1e-12);
    expectNear(b, to[i], 1e-12);
    EXPECT_TRUE(e->objectId().isNull());
    EXPECT_EQ(e->colorIndex(), 3);
    EXPECT_EQ(e->layerId(), pl->layerId());
    EXPECT_EQ(e->linetypeId(), dashedId);
  }
  const auto* quarter = AcDbArc::cast(static_cast<AcDbEntity*>(pieces[2]));
  expectNear(quarter->center(), AcGePoint3d(4, -2, 3));
  EXPECT_NEAR(quarter->radius(), 2, 1e-12);
  EXPECT_EQ(quarter->normal(), AcGeVector3d(0, -1, 0));
  double d = 0, end = 0;
  quarter->getEndParam(end);
  quarter->getDistAtParam(end, d);
  EXPECT_NEAR(d, kPi, 1e-12);
  release(pieces);
  pl->close();

  // The 2D polyline of the same vertices explodes alike.
  std::unique_ptr<AcDb2dPolyline> pl2(sample2dPolyline(0));
  ASSERT_EQ(pl2->explode(pieces), Acad::eOk);
  ASSERT_EQ(pieces.length(), 3);
  EXPECT_NE(AcDbArc::cast(static_cast<AcDbEntity*>(pieces[0])), nullptr);
  AcGePoint3d a;
  static_cast<AcDbCurve*>(pieces[2])->getStartPoint(a);
  expectNear(a, AcGePoint3d(4, 5, 0));
  release(pieces);
}

TEST_F(Polylines, MeshesExplodeIntoFacesLinesAndPoints) {
  auto* mesh = new AcDbPolyFaceMesh;
  for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(1, 1, 0), AcGePoint3d(0, 1, 0),
                               AcGePoint3d(2, 2, 2)}) {
    auto* v = new AcDbPolyFaceMeshVertex(p);
    ASSERT_EQ(mesh->appendVertex(v), Acad::eOk);
    v->close();
  }
  const Adesk::Int16 records[][4] = {{1, 2, 3, 4}, {1, -2, 3, 0}, {5, 0, 0, 0}, {2, -5, 0, 0}, {-3, 4, 1, 0}};
  for (const auto& r : records) {
    auto* f = new AcDbFaceRecord(r[0], r[1], r[2], r[3]);
    ASSERT_EQ(mesh->appendFaceRecord(f), Acad::eOk) << r[0];
    f->close();
  }
  mesh->setColorIndex(6);
  AcDbObjectId id = append(mesh);
  AcDbPolyFaceMesh* pf = nullptr;
  ASSERT_EQ(acdbOpenObject(pf, id, AcDb::kForRead), Acad::eOk);
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(pf->explode(pieces), Acad::eOk);
  pf->close();
  ASSERT_EQ(pieces.length(), 5);
  auto edges = [](const AcDbFace* f) {
    std::vector<bool> v(4);
    for (Adesk::UInt16 k = 0; k < 4; ++k) {
      bool b = false;
      f->isEdgeVisibleAt(k, b);
      v[k] = b;
    }
    return v;
  };
  const auto* quad = AcDbFace::cast(static_cast<AcDbEntity*>(pieces[0]));
  const auto* tri = AcDbFace::cast(static_cast<AcDbEntity*>(pieces[1]));
  const auto* point = AcDbPoint::cast(static_cast<AcDbEntity*>(pieces[2]));
  const auto* line = AcDbLine::cast(static_cast<AcDbEntity*>(pieces[3]));
  const auto* hidden = AcDbFace::cast(static_cast<AcDbEntity*>(pieces[4]));
  ASSERT_TRUE(quad && tri && point && line && hidden);
  AcGePoint3d c;
  quad->getVertexAt(3, c);
  EXPECT_EQ(c, AcGePoint3d(0, 1, 0));
  EXPECT_EQ(edges(quad), (std::vector<bool>{true, true, true, true}));
  tri->getVertexAt(3, c);
  EXPECT_EQ(c, AcGePoint3d(1, 1, 0));  // a triangle repeats its third corner
  EXPECT_EQ(edges(tri), (std::vector<bool>{true, false, true, true}));
  // The edge that closes a triangle starts at its third corner.
  EXPECT_EQ(edges(hidden), (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(point->position(), AcGePoint3d(2, 2, 2));
  EXPECT_EQ(line->startPoint(), AcGePoint3d(1, 0, 0));
  EXPECT_EQ(line->endPoint(), AcGePoint3d(2, 2, 2));
  EXPECT_EQ(quad->colorIndex(), 6);
  release(pieces);

  // A 3 x 4 grid: 6 cells open, 2 more closed in N, 3 more closed in M, 12 closed both ways.
  AcGePoint3dArray pts;
  for (int r = 0; r < 3; ++r)
    for (int k = 0; k < 4; ++k) pts.append(AcGePoint3d(k, r, r * k));
  const struct {
    bool m, n;
    int faces;
  } grids[] = {{false, false, 6}, {false, true, 8}, {true, false, 9}, {true, true, 12}};
  for (const auto& g : grids) {
    AcDbPolygonMesh grid(AcDb::kSimpleMesh, 3, 4, pts, g.m, g.n);
    ASSERT_EQ(grid.explode(pieces), Acad::eOk);
    EXPECT_EQ(pieces.length(), g.faces) << g.m << g.n;
    if (g.m && g.n) {
      // The last cell joins the last row and column to the first ones.
      const auto* corner = AcDbFace::cast(static_cast<AcDbEntity*>(pieces[11]));
      AcGePoint3d p[4];
      for (Adesk::UInt16 k = 0; k < 4; ++k) corner->getVertexAt(k, p[k]);
      EXPECT_EQ(p[0], pts[11]);
      EXPECT_EQ(p[1], pts[8]);
      EXPECT_EQ(p[2], pts[0]);
      EXPECT_EQ(p[3], pts[3]);
    }
    release(pieces);
  }
  pts.removeAt(11);
  AcDbPolygonMesh holed(AcDb::kSimpleMesh, 3, 4, pts);
  EXPECT_EQ(holed.explode(pieces), Acad::eDegenerateGeometry);
  EXPECT_EQ(pieces.length(), 0);
}

TEST_F(Polylines, FaceRecordsOfOneOrTwoVerticesAreTakenOthersRefused) {
  AcDbPolyFaceMesh mesh;
  for (int i = 0; i < 4; ++i) {
    auto* v = new AcDbPolyFaceMeshVertex(AcGePoint3d(i, 0, 0));
    ASSERT_EQ(mesh.appendVertex(v), Acad::eOk);
    v->close();
  }
  const struct {
    Adesk::Int16 v[4];
    Acad::ErrorStatus want;
  } cases[] = {
      {{4, 0, 0, 0}, Acad::eOk},
      {{-1, 3, 0, 0}, Acad::eOk},
      {{0, 1, 2, 3}, Acad::eInvalidFaceVertexIndex},
      {{0, 0, 0, 0}, Acad::eInvalidFaceVertexIndex},
      {{1, 2, 0, 3}, Acad::eInvalidFaceVertexIndex},
      {{1, 0, 0, 4}, Acad::eInvalidFaceVertexIndex},
      {{5, 0, 0, 0}, Acad::eInvalidFaceVertexIndex},
  };
  for (const auto& c : cases) {
    auto* f = new AcDbFaceRecord(c.v[0], c.v[1], c.v[2], c.v[3]);
    EXPECT_EQ(mesh.appendFaceRecord(f), c.want) << c.v[0] << " " << c.v[1] << " " << c.v[2] << " " << c.v[3];
    f->close();
  }
  EXPECT_EQ(mesh.numFaces(), 2);
}
