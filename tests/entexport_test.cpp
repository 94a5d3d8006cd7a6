// Drawing entities exported into objects of the vocabulary: each class its object, exact class
// names only, exploded pieces through the same rows and always released, the lines of hatches
// and multilines, the 2D-solid surface, block references by definition name, and every entity
// of an outside drawing.
#include "convert/entgeom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "convert/meshread.h"
#include "dbutil/errortext.h"
#include "dxf/dxf.h"
#include "host_fixture.h"
#include "test_annotations.h"
#include "test_files.h"

using kv::test::Seg;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The caller's side of the contract: every object appended is ours to delete.
struct Exported {
  ON_SimpleArray<ON_Object*> objects;
  ON_ClassArray<ON_InstanceDefinition> definitions;
  Exported() = default;
  Exported(const Exported&) = delete;
  Exported& operator=(const Exported&) = delete;
  ~Exported() {
    for (ON_Object* object : objects) delete object;
  }
  BOOL from(AcDbEntity* entity) { return OpenNurbsObjectFromEntity(entity, objects, definitions); }
  template <class T>
  const T* at(int i) const {
    return i < objects.Count() ? dynamic_cast<const T*>(objects[i]) : nullptr;
  }
};

ON_3dPoint on(const AcGePoint3d& p) { return ON_3dPoint(p.x, p.y, p.z); }

::testing::AssertionResult near(const ON_3dPoint& got, const ON_3dPoint& want, double tol = 1e-9) {
  if (got.DistanceTo(want) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << got.x << ", " << got.y << ", " << got.z << ") is not (" << want.x
                                       << ", " << want.y << ", " << want.z << ")";
}

// Pieces that count themselves, to see that every piece an explode gave is released.
int gLivePieces = 0;
template <class Base>
class Counted : public Base {
public:
  template <class... Args>
  explicit Counted(Args&&... args) : Base(std::forward<Args>(args)...) {
    ++gLivePieces;
  }
  ~Counted() override { --gLivePieces; }
};

// An entity of Base's class whose explode hands out the given pieces with the given status.
template <class Base>
class Scripted : public Base {
public:
  Scripted(std::vector<AcDbEntity*> pieces, Acad::ErrorStatus status = Acad::eOk)
      : pieces_(std::move(pieces)), status_(status) {}

protected:
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& set) const override {
    for (AcDbEntity* piece : pieces_) set.append(piece);
    pieces_.clear();
    return status_;
  }

private:
  mutable std::vector<AcDbEntity*> pieces_;
  Acad::ErrorStatus status_;
};

// Classes derived from a listed one that report names of their own.
class AcDbline : public AcDbLine {
public:
  KV_RX_DECLARE_MEMBERS(AcDbline)
  using AcDbLine::AcDbLine;
};
KV_RX_DEFINE_MEMBERS(AcDbline, AcDbLine, nullptr)

class AcDbLineTagged : public AcDbLine {
public:
  KV_RX_DECLARE_MEMBERS(AcDbLineTagged)
  using AcDbLine::AcDbLine;
};
KV_RX_DEFINE_MEMBERS(AcDbLineTagged, AcDbLine, nullptr)

ON_UUID uuidOf(unsigned n) {
  ON_UUID id;
  id.Data1 = n;
  id.Data4[7] = 0x5A;
  return id;
}

ON_InstanceDefinition definition(const std::wstring& name, unsigned n) {
  ON_InstanceDefinition d;
  d.SetName(name.c_str());
  d.SetUuid(uuidOf(n));
  return d;
}

void expectLines(const Exported& out, int first, const std::vector<Seg>& want) {
  ASSERT_EQ(out.objects.Count(), first + int(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    const ON_LineCurve* line = out.at<ON_LineCurve>(first + int(i));
    ASSERT_NE(line, nullptr) << i;
    EXPECT_TRUE(near(line->m_line.from, on(want[i].a))) << i;
    EXPECT_TRUE(near(line->m_line.to, on(want[i].b))) << i;
  }
}

void expectSameNurbs(const ON_NurbsCurve& got, const ON_NurbsCurve& want) {
  ASSERT_EQ(got.Order(), want.Order());
  ASSERT_EQ(got.CVCount(), want.CVCount());
  EXPECT_EQ(got.IsRational(), want.IsRational());
  for (int i = 0; i < want.KnotCount(); ++i) EXPECT_EQ(got.Knot(i), want.Knot(i)) << i;
  for (int i = 0; i < want.CVCount(); ++i) {
    ON_4dPoint a, b;
    got.GetCV(i, a);
    want.GetCV(i, b);
    EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w) << i;
  }
}

void expectSameMesh(const ON_Mesh& got, const ON_Mesh& want) {
  ASSERT_EQ(got.VertexCount(), want.VertexCount());
  ASSERT_EQ(got.FaceCount(), want.FaceCount());
  EXPECT_GT(want.FaceCount(), 0);
  for (int i = 0; i < want.VertexCount(); ++i) EXPECT_EQ(got.m_V[i], want.m_V[i]) << i;
  for (int f = 0; f < want.FaceCount(); ++f)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(got.m_F[f].vi[k], want.m_F[f].vi[k]) << f;
}

class EntExport : public HostTest {
protected:
  void SetUp() override { gLivePieces = 0; }
  void TearDown() override { EXPECT_EQ(gLivePieces, 0) << "pieces of an explode left unreleased"; }

  // A block record of that name holding one line.
  AcDbObjectId block(const char* name) {
    return kv::test::addBlock(db(), name, AcGePoint3d(), {new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0))});
  }
};

// ---- single objects -------------------------------------------------------------------------

TEST_F(EntExport, PointAndLineRowsGiveTheirGeometry) {
  Exported out;
  AcDbPoint point(AcGePoint3d(1, 2, 3));
  AcDbLine line(AcGePoint3d(1, 2, 3), AcGePoint3d(4, 5, 6));
  AcDbRay ray;
  ray.setBasePoint(AcGePoint3d(1, 1, 0));
  ray.setUnitDir(AcGeVector3d(0, 3, 0));
  AcDbXline xline;
  xline.setBasePoint(AcGePoint3d(1, 1, 0));
  xline.setUnitDir(AcGeVector3d(1, 0, 0));
  for (AcDbEntity* e : std::initializer_list<AcDbEntity*>{&point, &line, &ray, &xline})
    EXPECT_TRUE(out.from(e)) << e->isA()->name();
  ASSERT_EQ(out.objects.Count(), 4);
  ASSERT_NE(out.at<ON_Point>(0), nullptr);
  EXPECT_EQ(out.at<ON_Point>(0)->point, ON_3dPoint(1, 2, 3));
  expectLines(out, 1, {{AcGePoint3d(1, 2, 3), AcGePoint3d(4, 5, 6)},
                       {AcGePoint3d(1, 1, 0), AcGePoint3d(1, 2, 0)},
                       {AcGePoint3d(2, 1, 0), AcGePoint3d(0, 1, 0)}});
}

TEST_F(EntExport, CircleAndArcRowsGiveArcCurves) {
  Exported out;
  AcDbCircle circle(AcGePoint3d(1, 2, 3), AcGeVector3d::kZAxis, 2);
  AcDbArc arc(AcGePoint3d(0, 0, 0), 2, 0, kPi / 2);
  ASSERT_TRUE(out.from(&circle));
  ASSERT_TRUE(out.from(&arc));
  ASSERT_EQ(out.objects.Count(), 2);
  const ON_ArcCurve* whole = out.at<ON_ArcCurve>(0);
  const ON_ArcCurve* part = out.at<ON_ArcCurve>(1);
  ASSERT_TRUE(whole && part);
  EXPECT_TRUE(whole->IsCircle());
  EXPECT_EQ(whole->m_arc.Center(), ON_3dPoint(1, 2, 3));
  EXPECT_DOUBLE_EQ(whole->m_arc.Radius(), 2);
  EXPECT_FALSE(part->IsCircle());
  EXPECT_TRUE(near(part->PointAtStart(), ON_3dPoint(2, 0, 0)));
  EXPECT_TRUE(near(part->PointAtEnd(), ON_3dPoint(0, 2, 0)));
}

TEST_F(EntExport, CurveRowsGiveWhatTheirOwnConversionsGive) {
  AcDbEllipse closed(AcGePoint3d(1, 2, 0), AcGeVector3d::kZAxis, AcGeVector3d(3, 0, 0), 0.5);
  AcDbEllipse open(AcGePoint3d(1, 2, 0), AcGeVector3d::kZAxis, AcGeVector3d(0, 3, 0), 0.5, 0.3, 2.0);
  AcGePoint3dArray fit;
  for (double x : {0.0, 1.0, 3.0, 4.0}) fit.append(AcGePoint3d(x, x * x / 4, 1));
  AcDbSpline spline(fit);
  for (AcDbCurve* curve : std::initializer_list<AcDbCurve*>{&closed, &open, &spline}) {
    Exported out;
    ASSERT_TRUE(out.from(curve));
    ASSERT_EQ(out.objects.Count(), 1);
    const ON_NurbsCurve* got = out.at<ON_NurbsCurve>(0);
    ASSERT_NE(got, nullptr) << curve->isA()->name();
    ON_NurbsCurve want;
    if (auto* ellipse = AcDbEllipse::cast(curve)) NurbsCurveFromEllipse(ellipse, want);
    else NurbsCurveFromSpline(AcDbSpline::cast(curve), want);
    expectSameNurbs(*got, want);
    AcGePoint3d start, end;
    curve->getStartPoint(start);
    curve->getEndPoint(end);
    EXPECT_TRUE(near(got->PointAtStart(), on(start)));
    EXPECT_TRUE(near(got->PointAtEnd(), on(end)));
  }

  // A closed lightweight polyline, bulge ignored, and a 3D polyline of the drawing (its vertices
  // are read through the drawing).
  AcDbPolyline light;
  light.addVertexAt(0, AcGePoint2d(0, 0), 0.5);
  light.addVertexAt(1, AcGePoint2d(4, 0));
  light.addVertexAt(2, AcGePoint2d(4, 3));
  light.setClosed(true);
  AcGePoint3dArray corners;
  for (double x : {0.0, 1.0, 2.0}) corners.append(AcGePoint3d(x, 2 * x, 3 * x));
  AcDbObjectId id = append(new AcDb3dPolyline(AcDb::k3dSimplePoly, corners));
  AcDb3dPolyline* spatial = nullptr;
  ASSERT_EQ(acdbOpenObject(spatial, id, AcDb::kForRead), Acad::eOk);
  Exported out;
  EXPECT_TRUE(out.from(&light));
  EXPECT_TRUE(out.from(spatial));
  spatial->close();
  ASSERT_EQ(out.objects.Count(), 2);
  const std::vector<std::vector<ON_3dPoint>> want = {
      {ON_3dPoint(0, 0, 0), ON_3dPoint(4, 0, 0), ON_3dPoint(4, 3, 0), ON_3dPoint(0, 0, 0)},
      {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3), ON_3dPoint(2, 4, 6)}};
  for (int i = 0; i < 2; ++i) {
    const ON_PolylineCurve* got = out.at<ON_PolylineCurve>(i);
    ASSERT_NE(got, nullptr) << i;
    EXPECT_EQ(std::vector<ON_3dPoint>(got->m_pline.begin(), got->m_pline.end()), want[size_t(i)]) << i;
  }
}

TEST_F(EntExport, FaceAndMeshRowsGiveWhatTheMeshReadersGive) {
  AcDbFace triangle(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0));
  AcDbFace quad(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(1, 1, 0), AcGePoint3d(0, 1, 1));
  AcDbPolyFaceMesh polyface;
  for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(2, 2, 0), AcGePoint3d(0, 2, 1)}) {
    auto* vertex = new AcDbPolyFaceMeshVertex(p);
    ASSERT_EQ(polyface.appendVertex(vertex), Acad::eOk);
    vertex->close();
  }
  auto* record = new AcDbFaceRecord(1, 2, 3, 0);
  ASSERT_EQ(polyface.appendFaceRecord(record), Acad::eOk);
  record->close();
  record = new AcDbFaceRecord(1, 3, 4, 0);
  ASSERT_EQ(polyface.appendFaceRecord(record), Acad::eOk);
  record->close();
  AcGePoint3dArray grid;
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j) grid.append(AcGePoint3d(j, k, k * j));
  AcDbPolygonMesh polygon(AcDb::kSimpleMesh, 3, 3, grid);

  Exported out;
  for (AcDbEntity* e : std::initializer_list<AcDbEntity*>{&triangle, &quad, &polyface, &polygon})
    ASSERT_TRUE(out.from(e)) << e->isA()->name();
  ASSERT_EQ(out.objects.Count(), 4);
  ON_Mesh want[4];
  MeshFromFace(&triangle, want[0]);
  MeshFromFace(&quad, want[1]);
  MeshFromPolyFaceMesh(&polyface, want[2]);
  MeshFromPolygonMesh(&polygon, want[3]);
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(out.at<ON_Mesh>(i), nullptr) << i;
    expectSameMesh(*out.at<ON_Mesh>(i), want[i]);
  }
  EXPECT_TRUE(want[0].m_F[0].IsTriangle());
  EXPECT_TRUE(want[1].m_F[0].IsQuad());

  // A mesh the reader refuses: nothing appended, and the reader's reason stays.
  AcDbPolyFaceMesh empty;
  ConvertErrorText = "";
  EXPECT_FALSE(out.from(&empty));
  EXPECT_EQ(out.objects.Count(), 4);
  EXPECT_STREQ(ConvertErrorText, "Invalid mesh");
}

TEST_F(EntExport, TwoDSolidIsATriangleOrAQuadOverItsCorners) {
  const AcGePoint3d p0(0, 0, 0), p1(4, 0, 0), p2(0, 3, 0), p3(4, 3, 1);
  AcDbSolid quad(p0, p1, p2, p3);
  Exported out;
  ASSERT_TRUE(out.from(&quad));
  ASSERT_EQ(out.objects.Count(), 1);
  const ON_NurbsSurface* surface = out.at<ON_NurbsSurface>(0);
  ASSERT_NE(surface, nullptr);
  // Round the surface's edge: P0, P1, P3, P2.
  EXPECT_EQ(surface->PointAt(0, 0), on(p0));
  EXPECT_EQ(surface->PointAt(1, 0), on(p1));
  EXPECT_EQ(surface->PointAt(1, 1), on(p3));
  EXPECT_EQ(surface->PointAt(0, 1), on(p2));

  // Third and fourth corners equal within the host's tolerance: a triangle over P0, P1, P2.
  const AcGePoint3d nearP2(p2.x + 5e-11, p2.y, p2.z);
  AcDbSolid triangle(p0, p1, p2, nearP2);
  ON_NurbsSurface tri;
  ASSERT_TRUE(NurbsSurfaceFrom2dSolid(&triangle, tri));
  EXPECT_EQ(tri.PointAt(0, 0), on(p0));
  EXPECT_EQ(tri.PointAt(1, 0), on(p1));
  EXPECT_EQ(tri.PointAt(0, 1), on(p2));
  EXPECT_EQ(tri.PointAt(1, 1), on(p2));
  // Farther apart than the tolerance: still a quad.
  AcDbSolid narrow(p0, p1, p2, AcGePoint3d(p2.x + 1e-9, p2.y, p2.z));
  ON_NurbsSurface thin;
  ASSERT_TRUE(NurbsSurfaceFrom2dSolid(&narrow, thin));
  EXPECT_EQ(thin.PointAt(1, 1), ON_3dPoint(p2.x + 1e-9, p2.y, p2.z));

  // A corner the library refuses: the surface is not built and nothing is appended.
  AcDbSolid broken(p0, AcGePoint3d(NAN, 0, 0), p2, p3);
  EXPECT_FALSE(out.from(&broken));
  EXPECT_EQ(out.objects.Count(), 1);
}

TEST_F(EntExport, TextGivesOneEmptyTextEntity) {
  AcDbText text(AcGePoint3d(1, 2, 3), "Hello", AcDbObjectId::kNull, 2.5);
  Exported out;
  ASSERT_TRUE(out.from(&text));
  ASSERT_EQ(out.objects.Count(), 1);
  ASSERT_NE(out.at<ON_TextEntity2>(0), nullptr);
  EXPECT_STREQ(out.at<ON_TextEntity2>(0)->TextValue(), L"");
}

TEST_F(EntExport, OnlyTheExactClassNameCounts) {
  AcDbline lowerCase(AcGePoint3d(), AcGePoint3d(1, 0, 0));
  AcDbLineTagged longer(AcGePoint3d(), AcGePoint3d(1, 0, 0));
  AcGePoint3dArray corners;
  corners.append(AcGePoint3d());
  corners.append(AcGePoint3d(1, 0, 0));
  AcDb2dPolyline unlisted(AcDb::k2dSimplePoly, corners);
  AcDbPolyFaceMeshVertex vertex(AcGePoint3d(1, 1, 1));
  Exported out;
  out.objects.Append(new ON_Point);
  for (AcDbEntity* e : std::initializer_list<AcDbEntity*>{&lowerCase, &longer, &unlisted, &vertex, nullptr})
    EXPECT_FALSE(out.from(e)) << (e ? e->isA()->name() : "null");
  EXPECT_EQ(out.objects.Count(), 1);
}

// ---- hatches and multilines ---------------------------------------------------------------

TEST_F(EntExport, HatchAndMultilineRowsGiveTheirLinesInOrder) {
  AcDbHatch hatch;
  AcGePoint2dArray square;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {4.0, 0.0}, {4.0, 4.0}, {0.0, 4.0}}) square.append(AcGePoint2d(x, y));
  ASSERT_EQ(hatch.appendLoop(AcDbHatch::kExternal, square, AcGeDoubleArray()), Acad::eOk);
  ASSERT_EQ(hatch.setPattern(AcDbHatch::kUserDefined, "_USER"), Acad::eOk);
  ASSERT_EQ(hatch.setPatternSpace(1.5), Acad::eOk);
  AcDbMline mline;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}}) ASSERT_EQ(mline.appendSeg(AcGePoint3d(x, y, 0)), Acad::eOk);

  for (AcDbEntity* e : std::initializer_list<AcDbEntity*>{&hatch, &mline}) {
    AcDbVoidPtrArray pieces;
    ASSERT_EQ(e->explode(pieces), Acad::eOk);
    const std::vector<Seg> want = kv::test::takeLines(pieces);
    ASSERT_GT(want.size(), 1u) << e->isA()->name();
    Exported out;
    out.objects.Append(new ON_Point);
    ASSERT_TRUE(out.from(e)) << e->isA()->name();
    expectLines(out, 1, want);
  }

  // The line list keeps what it held in front.
  ON_ClassArray<ON_LineCurve> lines;
  lines.Append(ON_LineCurve(ON_3dPoint(9, 9, 9), ON_3dPoint(8, 8, 8)));
  ASSERT_TRUE(LineCurvesFromMline(&mline, lines));
  EXPECT_EQ(lines.Count(), 5);
  EXPECT_EQ(lines[0].m_line.from, ON_3dPoint(9, 9, 9));

  // Nothing to explode into: success and nothing appended.
  AcDbHatch bare;
  ASSERT_EQ(bare.setPattern(AcDbHatch::kUserDefined, "_USER"), Acad::eOk);
  AcDbMline unused;
  Exported out;
  EXPECT_TRUE(out.from(&bare));
  EXPECT_TRUE(out.from(&unused));
  EXPECT_EQ(out.objects.Count(), 0);
}

TEST_F(EntExport, FailedExplodesGiveNothingAndOnlyTheMultilineSaysWhy) {
  AcDbHatch solid;
  ASSERT_EQ(solid.setPattern(AcDbHatch::kPreDefined, "SOLID"), Acad::eOk);
  AcDbMline mline;
  ASSERT_EQ(mline.appendSeg(AcGePoint3d(0, 0, 0)), Acad::eOk);
  ASSERT_EQ(mline.appendSeg(AcGePoint3d(1, 0, 0)), Acad::eOk);
  AcDbRegion empty;
  AcDb3dSolid box;
  ASSERT_EQ(box.createBox(1, 1, 1), Acad::eOk);
  Exported out;

  ConvertErrorText = "before";
  EXPECT_FALSE(out.from(&solid));
  EXPECT_STREQ(ConvertErrorText, "before");
  kv::fault::arm(kv::fault::Call::explode, 1);
  EXPECT_FALSE(out.from(&mline));
  EXPECT_STREQ(ConvertErrorText, "Unable to explode MLINE object");
  EXPECT_FALSE(out.from(&empty));
  kv::fault::arm(kv::fault::Call::explode, 1);
  EXPECT_FALSE(out.from(&box));
  EXPECT_EQ(out.objects.Count(), 0);
}

TEST_F(EntExport, PiecesThatAreNotLinesAreSkippedAndEveryPieceReleased) {
  const AcGePoint3d a(0, 0, 0), b(1, 0, 0), c(0, 2, 0), d(3, 2, 0);
  Scripted<AcDbHatch> hatch({new Counted<AcDbCircle>(a, AcGeVector3d::kZAxis, 1.0), new Counted<AcDbLine>(a, b),
                             nullptr, new Counted<AcDbline>(c, d), new Counted<AcDbLine>(c, d)});
  ON_ClassArray<ON_LineCurve> lines;
  ASSERT_TRUE(LineCurvesFromHatch(&hatch, lines));
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[0].m_line.to, on(b));
  EXPECT_EQ(lines[1].m_line.from, on(c));
  EXPECT_EQ(gLivePieces, 0);

  // An explode that fails after handing out pieces: nothing appended, the pieces released.
  Scripted<AcDbMline> mline({new Counted<AcDbLine>(a, b)}, Acad::eInvalidInput);
  Exported out;
  EXPECT_FALSE(out.from(&mline));
  EXPECT_EQ(out.objects.Count(), 0);
  EXPECT_STREQ(ConvertErrorText, "Unable to explode MLINE object");
  Scripted<AcDb3dSolid> solid({new Counted<AcDbLine>(a, b), new Counted<AcDbRegion>}, Acad::eGeneralModelingFailure);
  EXPECT_FALSE(out.from(&solid));
  EXPECT_EQ(out.objects.Count(), 0);
  EXPECT_EQ(gLivePieces, 0);
}

// ---- solids, bodies and regions -------------------------------------------------------------

TEST_F(EntExport, PiecesExportThroughTheSameRowsWithoutBlockReferences) {
  AcDbObjectId bolt = block("Bolt");
  const AcGePoint3d a(0, 0, 0), b(1, 0, 0), c(0, 2, 0);
  auto* inner = new Counted<Scripted<AcDbRegion>>(
      std::vector<AcDbEntity*>{new Counted<AcDbArc>(a, 2.0, 0.0, kPi), new Counted<AcDbLine>(b, c)});
  auto* failing = new Counted<Scripted<AcDbBody>>(std::vector<AcDbEntity*>{new Counted<AcDbLine>(a, c)},
                                                  Acad::eGeneralModelingFailure);
  Scripted<AcDbRegion> region({new Counted<AcDbLine>(a, b), inner, new Counted<AcDbBlockReference>(c, bolt),
                               new Counted<AcDbline>(a, c), failing, new Counted<AcDbPoint>(c)});
  Exported out;
  out.definitions.Append(definition(L"Bolt", 1));
  ASSERT_TRUE(out.from(&region));
  EXPECT_EQ(gLivePieces, 0);
  ASSERT_EQ(out.objects.Count(), 4);
  ASSERT_NE(out.at<ON_LineCurve>(0), nullptr);
  EXPECT_EQ(out.at<ON_LineCurve>(0)->m_line.to, on(b));
  ASSERT_NE(out.at<ON_ArcCurve>(1), nullptr);
  EXPECT_TRUE(near(out.at<ON_ArcCurve>(1)->PointAtEnd(), ON_3dPoint(-2, 0, 0)));
  ASSERT_NE(out.at<ON_LineCurve>(2), nullptr);
  EXPECT_EQ(out.at<ON_LineCurve>(2)->m_line.from, on(b));
  ASSERT_NE(out.at<ON_Point>(3), nullptr);
  EXPECT_EQ(out.at<ON_Point>(3)->point, on(c));
}

// The objects from first on, all lines, against want as segments in either direction.
::testing::AssertionResult sameEdges(const Exported& out, int first, std::vector<Seg> want) {
  std::vector<Seg> got;
  for (int i = first; i < out.objects.Count(); ++i) {
    const ON_LineCurve* line = out.at<ON_LineCurve>(i);
    if (!line) return ::testing::AssertionFailure() << "object " << i << " is no line";
    const ON_Line& l = line->m_line;
    got.push_back({AcGePoint3d(l.from.x, l.from.y, l.from.z), AcGePoint3d(l.to.x, l.to.y, l.to.z)});
  }
  return kv::test::sameSegments(got, want, 1e-9, true);
}

TEST_F(EntExport, SolidsBodiesAndRegionsGiveTheCurvesOfTheirEdges) {
  AcDb3dSolid box;
  ASSERT_EQ(box.createBox(2, 4, 6), Acad::eOk);
  // Every edge of the box twice, once for each face that it bounds.
  std::vector<Seg> edges;
  for (int axis = 0; axis < 3; ++axis)
    for (double s : {-1.0, 1.0})
      for (double t : {-1.0, 1.0}) {
        AcGePoint3d from, to;
        const double half[3] = {1, 2, 3};
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        from[unsigned(axis)] = -half[axis];
        to[unsigned(axis)] = half[axis];
        from[unsigned(u)] = to[unsigned(u)] = s * half[u];
        from[unsigned(v)] = to[unsigned(v)] = t * half[v];
        edges.push_back({from, to});
        edges.push_back({from, to});
      }
  Exported out;
  out.objects.Append(new ON_Point);
  ON_Object* first = out.objects[0];
  ASSERT_TRUE(out.from(&box));
  EXPECT_EQ(out.objects[0], first);
  EXPECT_TRUE(sameEdges(out, 1, edges));

  // A region and a body given on their own: a face of the box, the side of a cylinder.
  AcDbVoidPtrArray faces;
  ASSERT_EQ(box.explode(faces), Acad::eOk);
  std::unique_ptr<AcDbEntity> face(static_cast<AcDbEntity*>(faces[0]));
  for (int i = 1; i < faces.length(); ++i) delete static_cast<AcDbEntity*>(faces[i]);
  ASSERT_STREQ(face->isA()->name(), "AcDbRegion");
  Exported one;
  ASSERT_TRUE(one.from(face.get()));
  EXPECT_EQ(one.objects.Count(), 4);
  AcDbExtents box0;
  ASSERT_EQ(face->getGeomExtents(box0), Acad::eOk);
  for (int i = 0; i < one.objects.Count(); ++i) {
    ASSERT_NE(one.at<ON_LineCurve>(i), nullptr);
    for (const ON_3dPoint& p : {one.at<ON_LineCurve>(i)->m_line.from, one.at<ON_LineCurve>(i)->m_line.to})
      for (unsigned k = 0; k < 3; ++k) {
        EXPECT_GE(p[int(k)], box0.minPoint()[k] - 1e-9);
        EXPECT_LE(p[int(k)], box0.maxPoint()[k] + 1e-9);
      }
  }

  AcDb3dSolid cylinder;
  ASSERT_EQ(cylinder.createFrustum(4, 1, 1, 1), Acad::eOk);
  Exported round;
  ASSERT_TRUE(round.from(&cylinder));
  // Two planar ends with one circle each, and the side with both circles.
  ASSERT_EQ(round.objects.Count(), 4);
  int top = 0;
  for (int i = 0; i < 4; ++i) {
    const ON_ArcCurve* arc = round.at<ON_ArcCurve>(i);
    ASSERT_NE(arc, nullptr) << i;
    EXPECT_TRUE(arc->IsCircle());
    EXPECT_NEAR(arc->m_arc.Radius(), 1, 1e-9);
    EXPECT_TRUE(near(arc->m_arc.Center(), ON_3dPoint(0, 0, arc->m_arc.Center().z)));
    EXPECT_NEAR(std::fabs(arc->m_arc.Center().z), 2, 1e-9);
    top += arc->m_arc.Center().z > 0;
  }
  EXPECT_EQ(top, 2);
}

// ---- block references -----------------------------------------------------------------------

TEST_F(EntExport, BlockReferenceNamesTheFirstDefinitionOfItsName) {
  AcDbObjectId bolt = block("Bolt");
  AcDbBlockReference reference(AcGePoint3d(1, 2, 3), bolt);
  ASSERT_EQ(reference.setRotation(kPi / 2), Acad::eOk);
  ASSERT_EQ(reference.setScaleFactors(AcGeScale3d(2)), Acad::eOk);
  ON_ClassArray<ON_InstanceDefinition> definitions;
  std::wstring lone(L"Bolt");
  lone[1] = wchar_t(0xD800);
  for (const std::wstring& name : {std::wstring(L"Nut"), std::wstring(L"Bolt"), std::wstring(L"bolt"), lone,
                                   std::wstring(L"Bolt")})
    definitions.Append(definition(name, unsigned(definitions.Count() + 1)));

  ON_InstanceRef instance;
  ASSERT_TRUE(InstanceRefFromBlockReference(&reference, instance, definitions));
  EXPECT_EQ(instance.m_instance_definition_uuid, uuidOf(2));
  // Turned a quarter, doubled, moved: the block's (1, 0, 0) lands at (1, 4, 3).
  EXPECT_TRUE(near(instance.m_xform * ON_3dPoint(1, 0, 0), ON_3dPoint(1, 4, 3), 1e-12));
  const ON_Xform want = XformFromGeMatrix(reference.blockTransform());
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(instance.m_xform[i][j], want[i][j]);

  // No definition of the name: 0, the transform set, the id left as it was.
  definitions.Remove(4);
  definitions.Remove(1);
  ON_InstanceRef unmatched;
  unmatched.m_instance_definition_uuid = uuidOf(99);
  EXPECT_FALSE(InstanceRefFromBlockReference(&reference, unmatched, definitions));
  EXPECT_EQ(unmatched.m_instance_definition_uuid, uuidOf(99));
  EXPECT_TRUE(near(unmatched.m_xform * ON_3dPoint(1, 0, 0), ON_3dPoint(1, 4, 3), 1e-12));

  // A block name that cannot be read leaves the reference as it was.
  AcDbBlockReference nameless;
  ON_InstanceRef untouched;
  untouched.m_xform.Translation(ON_3dVector(7, 7, 7));
  EXPECT_FALSE(InstanceRefFromBlockReference(&nameless, untouched, definitions));
  EXPECT_EQ(untouched.m_instance_definition_uuid, ON_nil_uuid);
  EXPECT_EQ(untouched.m_xform * ON_3dPoint(), ON_3dPoint(7, 7, 7));

  // Through the row: the reference is appended only when a definition names its block.
  Exported out;
  EXPECT_FALSE(OpenNurbsObjectFromEntity(&reference, out.objects, definitions));
  EXPECT_FALSE(out.from(&nameless));
  EXPECT_EQ(out.objects.Count(), 0);
  out.definitions.Append(definition(L"Bolt", 5));
  ASSERT_TRUE(out.from(&reference));
  ASSERT_EQ(out.objects.Count(), 1);
  ASSERT_NE(out.at<ON_InstanceRef>(0), nullptr);
  EXPECT_EQ(out.at<ON_InstanceRef>(0)->m_instance_definition_uuid, uuidOf(5));
}

TEST_F(EntExport, BlockNamesBeyondAsciiCompareAsUtf8) {
  // The host holds names in UTF-8: "Écrou" and a name beyond the basic plane.
  AcDbObjectId nut = block("\xC3\x89" "crou");
  AcDbObjectId clef = block("\xF0\x9D\x84\x9E");
  ON_ClassArray<ON_InstanceDefinition> definitions;
  definitions.Append(definition(L"Ecrou", 1));
  definitions.Append(definition(L"\u00C9crou", 2));
  definitions.Append(definition(L"\U0001D11E", 3));
  AcDbBlockReference first(AcGePoint3d(), nut), second(AcGePoint3d(), clef);
  ON_InstanceRef a, b;
  ASSERT_TRUE(InstanceRefFromBlockReference(&first, a, definitions));
  ASSERT_TRUE(InstanceRefFromBlockReference(&second, b, definitions));
  EXPECT_EQ(a.m_instance_definition_uuid, uuidOf(2));
  EXPECT_EQ(b.m_instance_definition_uuid, uuidOf(3));
}

// ---- every entity of an outside drawing ----------------------------------------------------

using PointAt = std::function<ON_3dPoint(double)>;

// The distance from p to the curve over [t0, t1]: the nearest of a dense sampling, refined
// on the samples either side of it.
double distanceTo(const ON_3dPoint& p, const PointAt& curve, double t0, double t1) {
  constexpr int kSamples = 256;
  auto param = [&](int i) { return t0 + (t1 - t0) * i / kSamples; };
  auto dist = [&](double t) { return curve(t).DistanceTo(p); };
  int best = 0;
  for (int i = 1; i <= kSamples; ++i)
    if (dist(param(i)) < dist(param(best))) best = i;
  double lo = param(std::max(best - 1, 0)), hi = param(std::min(best + 1, kSamples));
  for (int k = 0; k < 80; ++k) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    (dist(m1) < dist(m2) ? hi : lo) = dist(m1) < dist(m2) ? m2 : m1;
  }
  return std::min(dist(param(best)), dist((lo + hi) / 2));
}

// Each curve within tol of the other at points sampled along it.
::testing::AssertionResult sameTrace(const AcDbCurve& entity, const ON_Curve& curve, double tol) {
  double s0 = 0, s1 = 0;
  entity.getStartParam(s0);
  entity.getEndParam(s1);
  const ON_Interval domain = curve.Domain();
  const PointAt host = [&](double t) {
    AcGePoint3d p;
    entity.getPointAtParam(std::clamp(t, std::min(s0, s1), std::max(s0, s1)), p);
    return on(p);
  };
  const PointAt ours = [&](double t) { return curve.PointAt(t); };
  for (int i = 0; i <= 24; ++i) {
    const double hostAt = s0 + (s1 - s0) * i / 24, oursAt = domain.ParameterAt(i / 24.0);
    if (double d = distanceTo(ours(oursAt), host, s0, s1); !(d <= tol))
      return ::testing::AssertionFailure() << "our point at " << oursAt << " is " << d << " off the entity";
    if (double d = distanceTo(host(hostAt), ours, domain[0], domain[1]); !(d <= tol))
      return ::testing::AssertionFailure() << "the entity's point at " << hostAt << " is " << d << " off our curve";
  }
  return ::testing::AssertionSuccess();
}

class EntExportDrawing : public HostTest {
protected:
  // One definition per block of the drawing with a name of plain ASCII, numbered in table order.
  void defineBlocks(AcDbDatabase& drawing) {
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(drawing.getBlockTable(table), Acad::eOk);
    for (AcDbObjectId id : table->recordIds()) {
      AcDbBlockTableRecord* record = nullptr;
      if (acdbOpenObject(record, id, AcDb::kForRead) != Acad::eOk) continue;
      const std::string name = record->getName();
      record->close();
      if (std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; })) continue;
      definitions_.Append(definition(std::wstring(name.begin(), name.end()), unsigned(definitions_.Count() + 1)));
      uuids_[name] = uuidOf(unsigned(definitions_.Count()));
    }
    table->close();
  }

  // Exports the entity after one object already in the array, and checks what it appended.
  void check(AcDbEntity* e) {
    const std::string cls = e->isA()->name();
    SCOPED_TRACE(cls + " " + e->handle().text());
    Exported out;
    out.definitions = definitions_;
    out.objects.Append(new ON_Point);
    ON_Object* first = out.objects[0];
    const BOOL ok = out.from(e);
    ASSERT_EQ(out.objects[0], first);
    const int made = out.objects.Count() - 1;
    ++seen_[cls];
    auto* light = AcDbPolyline::cast(e);
    if (light && !light->isOnlyLines()) {
      // Bulges are not read: the corners alone, the first again at the end of a closed one.
      ASSERT_TRUE(ok && made == 1);
      const ON_PolylineCurve* ours = out.at<ON_PolylineCurve>(1);
      ASSERT_NE(ours, nullptr);
      const unsigned n = light->numVerts();
      ASSERT_EQ(ours->PointCount(), int(n + (light->isClosed() ? 1 : 0)));
      for (int i = 0; i < ours->PointCount(); ++i) {
        AcGePoint3d p;
        light->getPointAt(unsigned(i) % n, p);
        EXPECT_EQ(ours->m_pline[i], on(p)) << i;
      }
    } else if (auto* curve = AcDbCurve::cast(e); curve && kCurves.count(cls)) {
      ASSERT_TRUE(ok && made == 1);
      const ON_Curve* ours = out.at<ON_Curve>(1);
      ASSERT_NE(ours, nullptr);
      AcDbExtents box;
      e->getGeomExtents(box);
      const double size = std::max(1.0, box.minPoint().asVector().length() + box.maxPoint().asVector().length());
      EXPECT_TRUE(sameTrace(*curve, *ours, 1e-9 * size));
    } else if (cls == "AcDbRay" || cls == "AcDbXline") {
      ASSERT_TRUE(ok && made == 1);
      auto* line = AcDbUnboundedLine::cast(e);
      const double from = cls == "AcDbRay" ? 0 : 1, to = cls == "AcDbRay" ? 1 : -1;
      EXPECT_TRUE(near(out.at<ON_LineCurve>(1)->m_line.from, on(line->basePoint() + line->unitDir() * from)));
      EXPECT_TRUE(near(out.at<ON_LineCurve>(1)->m_line.to, on(line->basePoint() + line->unitDir() * to)));
    } else if (cls == "AcDbPoint") {
      ASSERT_TRUE(ok && made == 1);
      EXPECT_EQ(out.at<ON_Point>(1)->point, on(AcDbPoint::cast(e)->position()));
    } else if (cls == "AcDbFace" || cls == "AcDbPolyFaceMesh" || cls == "AcDbPolygonMesh") {
      ON_Mesh want;
      ASSERT_TRUE(ok && made == 1 && MeshFromFacetEntity(e, want));
      expectSameMesh(*out.at<ON_Mesh>(1), want);
    } else if (cls == "AcDbSolid") {
      checkSolid(*AcDbSolid::cast(e), ok, out);
    } else if (cls == "AcDbHatch" || cls == "AcDbMline") {
      AcDbVoidPtrArray pieces;
      const bool exploded = e->explode(pieces) == Acad::eOk;
      const std::vector<Seg> lines = kv::test::takeLines(pieces);
      EXPECT_EQ(ok, exploded);
      expectLines(out, 1, exploded ? lines : std::vector<Seg>());
    } else if (cls == "AcDb3dSolid" || cls == "AcDbBody" || cls == "AcDbRegion") {
      checkPieces(*e, ok, out);
    } else if (cls == "AcDbBlockReference") {
      checkReference(*AcDbBlockReference::cast(e), ok, out);
    } else if (cls == "AcDbText") {
      ASSERT_TRUE(ok && made == 1);
      EXPECT_NE(out.at<ON_TextEntity2>(1), nullptr);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(made, 0);
    }
  }

  void checkSolid(const AcDbSolid& solid, BOOL ok, const Exported& out) {
    ASSERT_TRUE(ok && out.objects.Count() == 2);
    AcGePoint3d p[4];
    for (Adesk::UInt16 i = 0; i < 4; ++i) solid.getPointAt(i, p[i]);
    const ON_NurbsSurface* surface = out.at<ON_NurbsSurface>(1);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->PointAt(0, 0), on(p[0]));
    EXPECT_EQ(surface->PointAt(1, 0), on(p[1]));
    EXPECT_EQ(surface->PointAt(0, 1), on(p[2]));
    EXPECT_EQ(surface->PointAt(1, 1), on(p[2] == p[3] ? p[2] : p[3]));
  }

  // Curves of the edges, inside the entity's box.
  void checkPieces(const AcDbEntity& e, BOOL ok, const Exported& out) {
    ASSERT_TRUE(ok);
    ASSERT_GT(out.objects.Count(), 1);
    AcDbExtents box;
    ASSERT_EQ(e.getGeomExtents(box), Acad::eOk);
    const double tol = 1e-9 * std::max(1.0, box.minPoint().distanceTo(box.maxPoint()));
    for (int i = 1; i < out.objects.Count(); ++i) {
      const ON_Curve* curve = out.at<ON_Curve>(i);
      ASSERT_NE(curve, nullptr) << i;
      for (int k = 0; k <= 8; ++k) {
        const ON_3dPoint p = curve->PointAt(curve->Domain().ParameterAt(k / 8.0));
        for (int j = 0; j < 3; ++j) {
          EXPECT_GE(p[j], box.minPoint()[unsigned(j)] - tol) << i;
          EXPECT_LE(p[j], box.maxPoint()[unsigned(j)] + tol) << i;
        }
      }
    }
  }

  void checkReference(const AcDbBlockReference& reference, BOOL ok, const Exported& out) {
    AcDbBlockTableRecord* record = nullptr;
    ASSERT_EQ(acdbOpenObject(record, reference.blockTableRecord(), AcDb::kForRead), Acad::eOk);
    const std::string name = record->getName();
    record->close();
    auto it = uuids_.find(name);
    ASSERT_EQ(ok, it != uuids_.end());
    if (!ok) return;
    const ON_InstanceRef* instance = out.at<ON_InstanceRef>(1);
    ASSERT_TRUE(instance && out.objects.Count() == 2);
    EXPECT_EQ(instance->m_instance_definition_uuid, it->second);
    const ON_Xform want = XformFromGeMatrix(reference.blockTransform());
    EXPECT_EQ(std::memcmp(instance->m_xform.m_xform, want.m_xform, sizeof want.m_xform), 0);
  }

  void sweep(const std::string& file) {
    std::unique_ptr<AcDbDatabase> drawing;
    std::string error;
    ASSERT_EQ(kv::dxf::readDrawing(file, drawing, error), Acad::eOk) << error;
    defineBlocks(*drawing);
    AcDbBlockTableRecord* space = nullptr;
    ASSERT_EQ(acdbOpenObject(space, drawing->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    const std::vector<AcDbObjectId> ids = space->entityIds();
    space->close();
    for (AcDbObjectId id : ids) {
      AcDbEntity* e = nullptr;
      ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
      check(e);
      e->close();
    }
  }

  const std::set<std::string> kCurves = {"AcDbLine", "AcDbCircle", "AcDbArc", "AcDbEllipse",
                                         "AcDbSpline", "AcDbPolyline", "AcDb3dPolyline"};
  ON_ClassArray<ON_InstanceDefinition> definitions_;
  std::map<std::string, ON_UUID> uuids_;
  std::map<std::string, int> seen_;
};

TEST_F(EntExportDrawing, EveryEntityOfAnOutsideDrawing) {
  const std::filesystem::path file =
      std::filesystem::path(KV_SHARED_DIR) / "testdata" / "dxf" / "acadsharp_sample_AC1018_ascii.dxf";
  KV_SKIP_UNLESS(std::filesystem::exists(file), "the shared test data");
  sweep(file.string());
  // The kinds the file is known to hold went through their rows.
  for (const char* cls : {"AcDbPoint", "AcDbLine", "AcDbRay", "AcDbXline", "AcDbMline", "AcDbCircle", "AcDbArc",
                          "AcDbEllipse", "AcDbPolyline", "AcDbSpline", "AcDbFace", "AcDbSolid", "AcDbHatch",
                          "AcDb3dSolid", "AcDbRegion", "AcDbBlockReference", "AcDbText"})
    EXPECT_GT(seen_[cls], 0) << cls;
}

// One entity of each listed kind that ezdxf writes, a few twice, and one it does not list.
const char* kEzdxfWrite = R"(import sys, ezdxf
doc = ezdxf.new("R2010")
msp = doc.modelspace()
msp.add_point((1, 2, 3))
msp.add_line((0, 0, 0), (3, 4, 5))
msp.add_ray((1, 2, 3), (0, 3, 4))
msp.add_xline((-1, 0, 0), (1, 1, 0))
msp.add_circle((1, 2, 3), 2.5, dxfattribs={"extrusion": (0, 0.6, 0.8)})
msp.add_arc((4, 5, 6), 1.5, 350, 10, dxfattribs={"extrusion": (0, 0, -1)})
msp.add_ellipse((1, 1, 0), (0, 3, 0), 0.5)
msp.add_ellipse((1, 1, 0), (0, 3, 0), 0.5, 5.5, 0.5)
msp.add_spline([(0, 0, 0), (1, 2, 0), (3, 1, 1), (4, 4, 2)])
msp.add_rational_spline([(0, 0, 0), (1, 1, 0), (2, 0, 0)], [1, 2, 1], degree=2)
msp.add_lwpolyline([(0, 0), (4, 0), (4, 3)], close=True)
msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (2, 0, 1)])
pf = msp.add_polyface()
pf.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 1)])
pf.append_face([(1, 0, 0), (2, 0, 0), (1, 1, 0)])
mesh = msp.add_polymesh(size=(3, 3))
for m in range(3):
    for n in range(3):
        mesh.set_mesh_vertex((m, n), (n, m, m * n))
msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 0)])
msp.add_solid([(0, 0), (4, 0), (0, 3), (4, 3)])
msp.add_solid([(0, 0), (4, 0), (0, 3)])
h = msp.add_hatch()
h.set_pattern_fill("ANSI31", scale=0.5)
h.paths.add_polyline_path([(0, 0), (4, 0), (4, 4), (0, 4)], is_closed=True)
s = msp.add_hatch(color=2)
s.paths.add_polyline_path([(0, 0), (1, 0), (1, 1)], is_closed=True)
msp.add_mline([(0, 0), (10, 0), (10, 10)])
b = doc.blocks.new("Bolt")
b.add_line((0, 0), (1, 0))
msp.add_blockref("Bolt", (1, 2, 3), dxfattribs={"rotation": 30, "xscale": 2, "yscale": 2, "zscale": 2})
u = doc.blocks.new("\u00c9crou")
u.add_circle((0, 0), 1)
msp.add_blockref("\u00c9crou", (5, 5, 0))
msp.add_text("Hello", dxfattribs={"insert": (1, 1, 0), "height": 2})
msp.add_mtext("Not listed")
doc.saveas(sys.argv[1])
)";

TEST_F(EntExportDrawing, EveryEntityOfADrawingEzdxfWrote) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  ScratchFolder dir;
  const std::string script = (dir.path() / "write.py").string(), file = (dir.path() / "theirs.dxf").string();
  writeFile(script, kEzdxfWrite);
  int status = 0;
  const std::string said = runProcess("/usr/bin/python3 " + script + " " + file + " 2>&1", status);
  ASSERT_EQ(status, 0) << said;
  sweep(file);
  for (const char* cls : {"AcDbPoint", "AcDbLine", "AcDbRay", "AcDbXline", "AcDbMline", "AcDbCircle", "AcDbArc",
                          "AcDbEllipse", "AcDbPolyline", "AcDb3dPolyline", "AcDbSpline", "AcDbFace",
                          "AcDbPolyFaceMesh", "AcDbPolygonMesh", "AcDbSolid", "AcDbHatch", "AcDbBlockReference",
                          "AcDbText"})
    EXPECT_GT(seen_[cls], 0) << cls;
}

}  // namespace
