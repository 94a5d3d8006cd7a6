// Texts, hatches, multilines and block references in the host: their values and protocol,
// transforms, extents and explode, checked against hand-worked figures.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/annotation_access.h"
#include "host/annotations.h"
#include "host_fixture.h"
#include "test_annotations.h"
#include "testing/faults.h"

using namespace kv::test;

namespace {

class annotations : public HostTest {
protected:
  // Opens an entity of the drawing for read; the caller closes it.
  template <class T>
  T* openForRead(AcDbObjectId id) {
    T* e = nullptr;
    EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
    return e;
  }
};

::testing::AssertionResult sameMatrix(const AcGeMatrix3d& got, const double (&want)[3][4], double tol = 1e-12) {
  for (unsigned r = 0; r < 3; ++r)
    for (unsigned c = 0; c < 4; ++c)
      if (std::fabs(got(r, c) - want[r][c]) > tol)
        return ::testing::AssertionFailure() << "entry (" << r << ", " << c << ") is " << got(r, c) << ", not "
                                             << want[r][c];
  for (unsigned c = 0; c < 4; ++c)
    if (got(3, c) != (c == 3 ? 1 : 0)) return ::testing::AssertionFailure() << "bottom row is not 0 0 0 1";
  return ::testing::AssertionSuccess();
}

AcDbHatch* squareHatch(double size) {
  auto* hatch = new AcDbHatch;
  AcGePoint2dArray square;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {size, 0.0}, {size, size}, {0.0, size}}) square.append(AcGePoint2d(x, y));
  EXPECT_EQ(hatch->appendLoop(AcDbHatch::kExternal, square, AcGeDoubleArray()), Acad::eOk);
  return hatch;
}

void setLines(AcDbHatch& hatch, std::vector<AcDbHatch::PatternLine> lines) {
  AcDbHatch::Data& d = kv::AnnotationAccess::data(hatch);
  d.patternType = AcDbHatch::kCustomDefined;
  d.patternName = "TEST";
  d.lines = std::move(lines);
}

std::vector<Seg> explodeLines(const AcDbEntity& e, Acad::ErrorStatus want = Acad::eOk) {
  AcDbVoidPtrArray pieces;
  EXPECT_EQ(e.explode(pieces), want);
  return takeLines(pieces);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Block references

TEST_F(annotations, BlockTransformMatchesHandWorkedMatrices) {
  AcDbObjectId block = addBlock(db(), "B", AcGePoint3d(1, 1, 0), {new AcDbPoint(AcGePoint3d(1, 1, 0))});

  // Scale, then a quarter turn, then the move: p -> (10 + 3 - 3y, 20 - 2 + 2x, 30 + 4z).
  AcDbBlockReference ref(AcGePoint3d(10, 20, 30), block);
  ASSERT_EQ(ref.setScaleFactors(AcGeScale3d(2, 3, 4)), Acad::eOk);
  ASSERT_EQ(ref.setRotation(kPi / 2), Acad::eOk);
  EXPECT_TRUE(sameMatrix(ref.blockTransform(), {{0, -3, 0, 13}, {2, 0, 0, 18}, {0, 0, 4, 30}}));

  // Normal along X: the arbitrary-axis rule takes x to (0, 1, 0) and y to (0, 0, 1).
  AcDbBlockReference side(AcGePoint3d(5, 0, 0), block);
  ASSERT_EQ(side.setNormal(AcGeVector3d(2, 0, 0)), Acad::eOk);
  EXPECT_TRUE(near(side.normal(), AcGeVector3d(1, 0, 0)));
  EXPECT_TRUE(sameMatrix(side.blockTransform(), {{0, 0, 1, 5}, {1, 0, 0, -1}, {0, 1, 0, -1}}));

  // Normal -Z: x becomes (-1, 0, 0), y stays; a turn of 90 degrees then takes the block's x
  // to the plane's y, (0, 1, 0), and its y to the plane's -x, (1, 0, 0).
  AcDbBlockReference below(AcGePoint3d(0, 0, 0), block);
  ASSERT_EQ(below.setNormal(AcGeVector3d(0, 0, -1)), Acad::eOk);
  EXPECT_TRUE(sameMatrix(below.blockTransform(), {{-1, 0, 0, 1}, {0, 1, 0, -1}, {0, 0, -1, 0}}));
  ASSERT_EQ(below.setRotation(kPi / 2), Acad::eOk);
  EXPECT_TRUE(sameMatrix(below.blockTransform(), {{0, 1, 0, -1}, {1, 0, 0, -1}, {0, 0, -1, 0}}));

  // A reference whose block is gone leaves the origin where it is.
  AcDbBlockReference orphan(AcGePoint3d(1, 2, 3), AcDbObjectId());
  EXPECT_TRUE(sameMatrix(orphan.blockTransform(), {{1, 0, 0, 1}, {0, 1, 0, 2}, {0, 0, 1, 3}}));
}

TEST_F(annotations, ExplodedBlockReferencePutsCopiesInPlace) {
  auto* line = new AcDbLine(AcGePoint3d(1, 0, 0), AcGePoint3d(3, 0, 0));
  line->setColorIndex(3);
  auto* text = new AcDbText(AcGePoint3d(1, 1, 0), "A", AcDbObjectId::kNull, 0.5);
  AcDbObjectId block = addBlock(db(), "Frame", AcGePoint3d(1, 0, 0), {line, text});
  auto* ref = new AcDbBlockReference(AcGePoint3d(10, 10, 0), block);
  ref->setScaleFactors(AcGeScale3d(2));
  ref->setRotation(kPi / 2);
  AcDbObjectId refId = append(ref);

  auto* open = openForRead<AcDbBlockReference>(refId);
  AcDbVoidPtrArray pieces;
  pieces.append(nullptr);  // what the array held stays in front
  ASSERT_EQ(open->explode(pieces), Acad::eOk);
  AcDbExtents box;
  EXPECT_EQ(open->getGeomExtents(box), Acad::eOk);
  open->close();
  ASSERT_EQ(pieces.length(), 3);
  EXPECT_EQ(pieces[0], nullptr);
  auto* movedLine = AcDbLine::cast(static_cast<AcDbEntity*>(pieces[1]));
  auto* movedText = AcDbText::cast(static_cast<AcDbEntity*>(pieces[2]));
  ASSERT_TRUE(movedLine && movedText);
  // (3, 0) is 2 from the origin (1, 0): doubled to 4 and turned onto +y.
  EXPECT_TRUE(near(movedLine->startPoint(), AcGePoint3d(10, 10, 0)));
  EXPECT_TRUE(near(movedLine->endPoint(), AcGePoint3d(10, 14, 0)));
  EXPECT_TRUE(movedLine->isNewObject());
  EXPECT_EQ(movedLine->colorIndex(), 3);
  EXPECT_TRUE(near(movedText->position(), AcGePoint3d(8, 10, 0)));
  EXPECT_DOUBLE_EQ(movedText->height(), 1.0);
  EXPECT_NEAR(movedText->rotation(), kPi / 2, 1e-12);
  // The line's box through the transform, with the text's one-character square (side 1).
  EXPECT_TRUE(near(box.minPoint(), AcGePoint3d(7, 10, 0)));
  EXPECT_TRUE(near(box.maxPoint(), AcGePoint3d(10, 14, 0)));
  for (int i = 1; i < 3; ++i) delete static_cast<AcDbEntity*>(pieces[i]);

  // The block's own entities did not move.
  auto* record = openForRead<AcDbBlockTableRecord>(block);
  auto* original = openForRead<AcDbLine>(record->entityIds()[0]);
  EXPECT_TRUE(near(original->endPoint(), AcGePoint3d(3, 0, 0)));
  original->close();
  record->close();
}

TEST_F(annotations, BlockReferenceExplodeFailsWholeAndReportsWhy) {
  AcDbObjectId block = addBlock(db(), "T", AcGePoint3d(), {new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)),
                                                          new AcDbText(AcGePoint3d(), "x")});
  AcDbBlockReference ref(AcGePoint3d(), block);
  ref.setScaleFactors(AcGeScale3d(1, 2, 1));
  // Text cannot take a non-uniform scale: nothing is handed out, not even the line.
  explodeLines(ref, Acad::eCannotScaleNonUniformly);

  ref.setScaleFactors(AcGeScale3d(1));
  kv::fault::arm(kv::fault::Call::clone, 2);
  AcDbVoidPtrArray pieces;
  EXPECT_EQ(ref.explode(pieces), Acad::eOutOfMemory);
  EXPECT_EQ(pieces.length(), 0);
  kv::fault::disarmAll();

  AcDbBlockTableRecord* record = nullptr;
  ASSERT_EQ(acdbOpenObject(record, block, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(record->erase(), Acad::eOk);
  record->close();
  explodeLines(ref, Acad::eNullBlockName);
  AcDbExtents box;
  EXPECT_EQ(ref.getGeomExtents(box), Acad::eInvalidExtents);
}

TEST_F(annotations, TransformedReferenceComposesItsBlockTransform) {
  AcDbObjectId block = addBlock(db(), "B", AcGePoint3d(2, 1, 0), {new AcDbPoint(AcGePoint3d())});
  const AcGeMatrix3d moves[] = {
      AcGeMatrix3d::translation(AcGeVector3d(3, -4, 5)),
      AcGeMatrix3d::rotation(0.7, AcGeVector3d(0, 0, 1), AcGePoint3d(1, 2, 3)),
      AcGeMatrix3d::rotation(1.1, AcGeVector3d(1, 2, 3)),
      AcGeMatrix3d::scaling(2.5, AcGePoint3d(1, 1, 1)),
      // A mirror in the plane x = 0.
      [] {
        AcGeMatrix3d m;
        m(0, 0) = -1;
        return m;
      }(),
  };
  for (const AcGeMatrix3d& m : moves) {
    AcDbBlockReference ref(AcGePoint3d(1, 2, 3), block);
    ref.setScaleFactors(AcGeScale3d(1.5, -2, 0.5));
    ref.setRotation(0.3);
    ref.setNormal(AcGeVector3d(0.2, -0.3, 1));
    AcGeMatrix3d want = m * ref.blockTransform();
    ASSERT_EQ(ref.transformBy(m), Acad::eOk);
    EXPECT_TRUE(ref.blockTransform().isEqualTo(want, AcGeTol())) << "after " << m(0, 0) << " " << m(0, 1);
  }

  // Scaling along the block's own axes is taken; across them it would shear the block.
  AcDbBlockReference square(AcGePoint3d(), block);
  AcGeMatrix3d stretch;
  stretch(0, 0) = 3;
  ASSERT_EQ(square.transformBy(stretch), Acad::eOk);
  EXPECT_NEAR(square.scaleFactors().sx, 3, 1e-12);
  EXPECT_NEAR(square.scaleFactors().sy, 1, 1e-12);
  square.setRotation(kPi / 4);
  EXPECT_EQ(square.transformBy(stretch), Acad::eCannotScaleNonUniformly);
}

// ---------------------------------------------------------------------------------------------
// Hatches

TEST_F(annotations, FortyFiveDegreePatternOnASquareGivesTheHandWorkedLines) {
  // Lines at 45 degrees through (-k, k): y = x + 2k. Inside the 10 x 10 square k runs from -4
  // to 4; k = -5 and 5 only touch a corner.
  std::unique_ptr<AcDbHatch> hatch(squareHatch(10));
  setLines(*hatch, {{kPi / 4, AcGePoint2d(0, 0), AcGeVector2d(-1, 1), {}}});
  std::vector<Seg> want;
  for (int k = -4; k <= 4; ++k) {
    double c = 2 * k;
    if (c >= 0) want.push_back({AcGePoint3d(0, c, 0), AcGePoint3d(10 - c, 10, 0)});
    else want.push_back({AcGePoint3d(-c, 0, 0), AcGePoint3d(10, 10 + c, 0)});
  }
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), want));

  // Dash 2, gap 1 along the diagonal from its start: dashes up to 14 of its 14.14.
  setLines(*hatch, {{kPi / 4, AcGePoint2d(0, 0), AcGeVector2d(-20, 20), {2, -1}}});
  const double r = std::sqrt(0.5);
  want.clear();
  for (double s = 0; s < 14; s += 3) want.push_back({AcGePoint3d(s * r, s * r, 0), AcGePoint3d((s + 2) * r, (s + 2) * r, 0)});
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), want));

  // A dot is a line of no length.
  setLines(*hatch, {{0, AcGePoint2d(0, 5), AcGeVector2d(0, 20), {0, -4}}});
  want.clear();
  for (double x : {0.0, 4.0, 8.0}) want.push_back({AcGePoint3d(x, 5, 0), AcGePoint3d(x, 5, 0)});
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), want));
}

TEST_F(annotations, HatchLinesFollowHolesAndTheHatchStyle) {
  // A square hole inside a square, lines y = k + 0.5: the even-odd rule splits two of them.
  std::unique_ptr<AcDbHatch> hatch(squareHatch(10));
  AcGePoint2dArray hole;
  for (auto [x, y] : {std::pair{4.0, 4.0}, {6.0, 4.0}, {6.0, 6.0}, {4.0, 6.0}}) hole.append(AcGePoint2d(x, y));
  ASSERT_EQ(hatch->appendLoop(AcDbHatch::kDefault, hole, AcGeDoubleArray()), Acad::eOk);
  setLines(*hatch, {{0, AcGePoint2d(0, 0.5), AcGeVector2d(0, 1), {}}});
  std::vector<Seg> want;
  for (int k = 0; k < 10; ++k) {
    double y = k + 0.5;
    if (y > 4 && y < 6) {
      want.push_back({AcGePoint3d(0, y, 0), AcGePoint3d(4, y, 0)});
      want.push_back({AcGePoint3d(6, y, 0), AcGePoint3d(10, y, 0)});
    } else {
      want.push_back({AcGePoint3d(0, y, 0), AcGePoint3d(10, y, 0)});
    }
  }
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), want));

  // The hatch style picks the loops: an outermost hole counts for kOuter, not for kIgnore,
  // which hatches within the external loop alone.
  kv::AnnotationAccess::data(*hatch).loops[1].type = AcDbHatch::kOutermost | AcDbHatch::kPolyline;
  ASSERT_EQ(hatch->setHatchStyle(AcDbHatch::kOuter), Acad::eOk);
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), want));
  ASSERT_EQ(hatch->setHatchStyle(AcDbHatch::kIgnore), Acad::eOk);
  std::vector<Seg> whole;
  for (int k = 0; k < 10; ++k) whole.push_back({AcGePoint3d(0, k + 0.5, 0), AcGePoint3d(10, k + 0.5, 0)});
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), whole));
  kv::AnnotationAccess::data(*hatch).loops[1].type = AcDbHatch::kPolyline;
  ASSERT_EQ(hatch->setHatchStyle(AcDbHatch::kOuter), Acad::eOk);
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), whole));
}

TEST_F(annotations, HatchLinesFollowArcsAndThePlane) {
  // A circle of radius 5 made of two half-circle bulges, lines y = k: the lines at +-5 touch.
  auto circle = std::make_unique<AcDbHatch>();
  AcGePoint2dArray ends;
  ends.append(AcGePoint2d(5, 0));
  ends.append(AcGePoint2d(-5, 0));
  AcGeDoubleArray bulges;
  bulges.append(1);
  bulges.append(1);
  ASSERT_EQ(circle->appendLoop(AcDbHatch::kExternal, ends, bulges), Acad::eOk);
  setLines(*circle, {{0, AcGePoint2d(), AcGeVector2d(0, 1), {}}});
  std::vector<Seg> want;
  for (int k = -4; k <= 4; ++k) {
    double x = std::sqrt(25.0 - k * k);
    want.push_back({AcGePoint3d(-x, k, 0), AcGePoint3d(x, k, 0)});
  }
  EXPECT_TRUE(sameSegments(explodeLines(*circle), want, 1e-9));

  // The same circle as one arc edge, on the plane below (normal -Z) at elevation 2: a point
  // (x, y) of the plane is (-x, y, -2) in the world.
  auto below = std::make_unique<AcDbHatch>();
  AcGeCircArc2d arc(AcGePoint2d(), 5, 0, 2 * kPi);
  AcGeVoidPointerArray edges;
  edges.append(&arc);
  AcGeIntArray types;
  types.append(AcDbHatch::kCirArc);
  ASSERT_EQ(below->appendLoop(AcDbHatch::kExternal, edges, types), Acad::eOk);
  below->setNormal(AcGeVector3d(0, 0, -1));
  below->setElevation(2);
  setLines(*below, {{0, AcGePoint2d(), AcGeVector2d(0, 1), {}}});
  for (Seg& s : want) {
    s.a = AcGePoint3d(-s.a.x, s.a.y, -2);
    s.b = AcGePoint3d(-s.b.x, s.b.y, -2);
  }
  EXPECT_TRUE(sameSegments(explodeLines(*below), want, 1e-9));

  // The upper half disk of an arc whose end angle lies before its start (a turn on from 2pi to
  // pi): lines y = 1 to 4; y = 0 lies along the straight edge and y = 5 touches.
  auto half = std::make_unique<AcDbHatch>();
  AcGeCircArc2d upper(AcGePoint2d(), 5, 2 * kPi, kPi);
  AcGeLineSeg2d chord(AcGePoint2d(-5, 0), AcGePoint2d(5, 0));
  AcGeVoidPointerArray halfEdges;
  halfEdges.append(&upper);
  halfEdges.append(&chord);
  AcGeIntArray halfTypes;
  halfTypes.append(AcDbHatch::kCirArc);
  halfTypes.append(AcDbHatch::kLine);
  ASSERT_EQ(half->appendLoop(AcDbHatch::kExternal, halfEdges, halfTypes), Acad::eOk);
  setLines(*half, {{0, AcGePoint2d(), AcGeVector2d(0, 1), {}}});
  want.clear();
  for (int k = 1; k <= 4; ++k) {
    double x = std::sqrt(25.0 - k * k);
    want.push_back({AcGePoint3d(-x, k, 0), AcGePoint3d(x, k, 0)});
  }
  EXPECT_TRUE(sameSegments(explodeLines(*half), want, 1e-9));
}

TEST_F(annotations, EllipseAndSplineEdgesClipWithinTheirDrawing) {
  // An ellipse 4 by 2: the line y = 1 runs from x = -4 sqrt(3/4) to 4 sqrt(3/4).
  auto hatch = std::make_unique<AcDbHatch>();
  AcGeEllipArc2d ellipse(AcGePoint2d(), AcGeVector2d(1, 0), AcGeVector2d(0, 1), 4, 2, 0, 2 * kPi);
  AcGeVoidPointerArray edges;
  edges.append(&ellipse);
  AcGeIntArray types;
  types.append(AcDbHatch::kEllArc);
  ASSERT_EQ(hatch->appendLoop(AcDbHatch::kExternal, edges, types), Acad::eOk);
  setLines(*hatch, {{0, AcGePoint2d(0, 1), AcGeVector2d(0, 10), {}}});
  double x = 4 * std::sqrt(0.75);
  EXPECT_TRUE(sameSegments(explodeLines(*hatch), {{AcGePoint3d(-x, 1, 0), AcGePoint3d(x, 1, 0)}}, 2e-3));

  // A quadratic spline from (0, 0) over (2, 4) to (4, 0), closed by a line: its top is at
  // y = 2 where x = 2, and y = 1.5 at x = 2 -+ 1.
  auto arch = std::make_unique<AcDbHatch>();
  AcGeDoubleArray knots;
  for (double k : {0, 0, 0, 1, 1, 1}) knots.append(k);
  AcGePoint2dArray points;
  for (auto [px, py] : {std::pair{0.0, 0.0}, {2.0, 4.0}, {4.0, 0.0}}) points.append(AcGePoint2d(px, py));
  AcGeNurbCurve2d spline(2, knots, points);
  AcGeLineSeg2d base(AcGePoint2d(4, 0), AcGePoint2d(0, 0));
  AcGeVoidPointerArray archEdges;
  archEdges.append(&spline);
  archEdges.append(&base);
  AcGeIntArray archTypes;
  archTypes.append(AcDbHatch::kSpline);
  archTypes.append(AcDbHatch::kLine);
  ASSERT_EQ(arch->appendLoop(AcDbHatch::kExternal, archEdges, archTypes), Acad::eOk);
  setLines(*arch, {{0, AcGePoint2d(0, 1.5), AcGeVector2d(0, 10), {}}});
  EXPECT_TRUE(sameSegments(explodeLines(*arch), {{AcGePoint3d(1, 1.5, 0), AcGePoint3d(3, 1.5, 0)}}, 2e-3));
}

TEST_F(annotations, HatchesThatDoNotExplodeSaySo) {
  std::unique_ptr<AcDbHatch> solid(squareHatch(1));
  ASSERT_EQ(solid->setPattern(AcDbHatch::kPreDefined, "SOLID"), Acad::eOk);
  EXPECT_TRUE(solid->isSolidFill());
  explodeLines(*solid, Acad::eNotApplicable);

  // Lines 1e-4 apart over a square of 100: a million lines.
  std::unique_ptr<AcDbHatch> dense(squareHatch(100));
  setLines(*dense, {{0, AcGePoint2d(), AcGeVector2d(0, 1e-4), {}}});
  explodeLines(*dense, Acad::eHatchTooDense);
  // A dash pattern far finer than the lines is too dense as well.
  setLines(*dense, {{0, AcGePoint2d(), AcGeVector2d(0, 10), {1e-6, -1e-6}}});
  explodeLines(*dense, Acad::eHatchTooDense);

  // No loops: nothing to hatch, and nothing is an answer.
  AcDbHatch empty;
  ASSERT_EQ(empty.setPattern(AcDbHatch::kUserDefined, "_USER"), Acad::eOk);
  EXPECT_TRUE(explodeLines(empty).empty());
  AcDbExtents box;
  EXPECT_EQ(empty.getGeomExtents(box), Acad::eInvalidExtents);

  kv::fault::arm(kv::fault::Call::explode, 1);
  std::unique_ptr<AcDbHatch> square(squareHatch(1));
  square->setPattern(AcDbHatch::kUserDefined, "_USER");
  explodeLines(*square, Acad::eNotApplicable);
}

TEST_F(annotations, HatchLoopsAsTheHostHandsThemOut) {
  AcDbHatch hatch;
  AcGeLineSeg2d seg(AcGePoint2d(0, 0), AcGePoint2d(2, 0));
  AcGeCircArc2d arc(AcGePoint2d(1, 0), 1, 0, kPi);
  AcGeVoidPointerArray edges;
  edges.append(&seg);
  edges.append(&arc);
  AcGeIntArray types;
  types.append(AcDbHatch::kLine);
  types.append(AcDbHatch::kCirArc);
  ASSERT_EQ(hatch.appendLoop(AcDbHatch::kExternal, edges, types), Acad::eOk);
  AcGePoint2dArray tri;
  for (auto [x, y] : {std::pair{0.2, 0.1}, {0.4, 0.1}, {0.3, 0.3}}) tri.append(AcGePoint2d(x, y));
  ASSERT_EQ(hatch.appendLoop(AcDbHatch::kDefault, tri, AcGeDoubleArray()), Acad::eOk);
  ASSERT_EQ(hatch.numLoops(), 2);
  EXPECT_EQ(hatch.loopTypeAt(1), AcDbHatch::kPolyline);
  EXPECT_EQ(hatch.loopTypeAt(2), 0);

  Adesk::Int32 type = 0;
  AcGeVoidPointerArray got;
  AcGeIntArray gotTypes;
  ASSERT_EQ(hatch.getLoopAt(0, type, got, gotTypes), Acad::eOk);
  EXPECT_EQ(type, AcDbHatch::kExternal);
  ASSERT_EQ(got.length(), 2);
  EXPECT_NE(got[0], static_cast<void*>(&seg));  // the hatch holds its own copies
  EXPECT_TRUE(static_cast<AcGeCircArc2d*>(got[1])->endPoint().isEqualTo(AcGePoint2d(0, 0), AcGeTol()));
  AcGePoint2dArray vertices;
  AcGeDoubleArray bulges;
  EXPECT_EQ(hatch.getLoopAt(0, type, vertices, bulges), Acad::eNotApplicable);
  EXPECT_EQ(hatch.getLoopAt(1, type, got, gotTypes), Acad::eNotApplicable);
  ASSERT_EQ(hatch.getLoopAt(1, type, vertices, bulges), Acad::eOk);
  EXPECT_EQ(vertices.length(), 3);
  EXPECT_EQ(bulges.length(), 3);
  EXPECT_EQ(hatch.getLoopAt(2, type, vertices, bulges), Acad::eInvalidIndex);

  // Refusals: a polyline type with edges, a null edge, an unknown type, a lone vertex.
  AcGeVoidPointerArray nullEdge;
  nullEdge.append(nullptr);
  AcGeIntArray lineType;
  lineType.append(AcDbHatch::kLine);
  EXPECT_EQ(hatch.appendLoop(AcDbHatch::kPolyline, edges, types), Acad::eInvalidInput);
  EXPECT_EQ(hatch.appendLoop(AcDbHatch::kDefault, nullEdge, lineType), Acad::eInvalidInput);
  types[1] = 9;
  EXPECT_EQ(hatch.appendLoop(AcDbHatch::kDefault, edges, types), Acad::eInvalidInput);
  AcGePoint2dArray one;
  one.append(AcGePoint2d());
  EXPECT_EQ(hatch.appendLoop(AcDbHatch::kDefault, one, AcGeDoubleArray()), Acad::eInvalidInput);
  EXPECT_EQ(hatch.numLoops(), 2);
  EXPECT_EQ(hatch.removeLoopAt(0), Acad::eOk);
  EXPECT_EQ(hatch.loopTypeAt(0), AcDbHatch::kPolyline);
}

TEST_F(annotations, HatchPatternsTurnAndScaleTheirLines) {
  // A user-defined pattern: one family at the angle, spaced; double adds one square to it.
  AcDbHatch hatch;
  ASSERT_EQ(hatch.setPatternAngle(kPi / 6), Acad::eOk);
  ASSERT_EQ(hatch.setPatternSpace(2), Acad::eOk);
  ASSERT_EQ(hatch.setPattern(AcDbHatch::kUserDefined, "_USER"), Acad::eOk);
  ASSERT_EQ(hatch.setPatternDouble(true), Acad::eOk);
  ASSERT_EQ(hatch.numPatternDefinitions(), 2);
  double angle, bx, by, ox, oy;
  AcGeDoubleArray dashes;
  ASSERT_EQ(hatch.getPatternDefinitionAt(1, angle, bx, by, ox, oy, dashes), Acad::eOk);
  EXPECT_NEAR(angle, kPi / 6 + kPi / 2, 1e-12);
  EXPECT_NEAR(ox, -2 * std::cos(kPi / 6), 1e-12);  // (0, 2) turned by 120 degrees
  EXPECT_NEAR(oy, -2 * std::sin(kPi / 6), 1e-12);
  EXPECT_EQ(hatch.getPatternDefinitionAt(2, angle, bx, by, ox, oy, dashes), Acad::eInvalidIndex);

  // A predefined pattern's lines turn and scale with the angle and the scale.
  setLines(hatch, {{0, AcGePoint2d(1, 0), AcGeVector2d(0, 1), {0.5, -0.25}}});
  kv::AnnotationAccess::data(hatch).patternAngle = 0;
  ASSERT_EQ(hatch.setPatternAngle(kPi / 2), Acad::eOk);
  ASSERT_EQ(hatch.setPatternScale(2), Acad::eOk);
  ASSERT_EQ(hatch.getPatternDefinitionAt(0, angle, bx, by, ox, oy, dashes), Acad::eOk);
  EXPECT_NEAR(angle, kPi / 2, 1e-12);
  EXPECT_NEAR(bx, 0, 1e-12);
  EXPECT_NEAR(by, 2, 1e-12);
  EXPECT_NEAR(ox, -2, 1e-12);
  EXPECT_NEAR(oy, 0, 1e-12);
  ASSERT_EQ(dashes.length(), 2);
  EXPECT_DOUBLE_EQ(dashes[0], 1.0);
  EXPECT_DOUBLE_EQ(dashes[1], -0.5);
  EXPECT_EQ(hatch.setPatternScale(0), Acad::eInvalidInput);
  EXPECT_EQ(hatch.setPatternSpace(-1), Acad::eInvalidInput);
}

TEST_F(annotations, TransformedHatchExplodesIntoTransformedLines) {
  std::unique_ptr<AcDbHatch> hatch(squareHatch(4));
  AcGePoint2dArray cap;
  cap.append(AcGePoint2d(1, 1));
  cap.append(AcGePoint2d(3, 1));
  AcGeDoubleArray bulge;
  bulge.append(0.5);
  bulge.append(0.5);
  ASSERT_EQ(hatch->appendLoop(AcDbHatch::kDefault, cap, bulge), Acad::eOk);
  setLines(*hatch, {{0.3, AcGePoint2d(0.1, 0.2), AcGeVector2d(-0.3, 0.5), {0.4, -0.2, 0}}});
  const AcGeMatrix3d moves[] = {
      AcGeMatrix3d::rotation(0.9, AcGeVector3d(1, -2, 0.5), AcGePoint3d(1, 2, 3)),
      AcGeMatrix3d::scaling(1.5, AcGePoint3d(2, 0, 0)) * AcGeMatrix3d::rotation(kPi, AcGeVector3d(1, 0, 0)),
      [] {
        AcGeMatrix3d m;  // a mirror through the plane y = x
        m(0, 0) = 0, m(0, 1) = 1, m(1, 0) = 1, m(1, 1) = 0;
        return m;
      }(),
  };
  for (const AcGeMatrix3d& m : moves) {
    std::vector<Seg> want = explodeLines(*hatch);
    for (Seg& s : want) s = {m * s.a, m * s.b};
    std::unique_ptr<AcDbHatch> moved(static_cast<AcDbHatch*>(hatch->clone()));
    ASSERT_EQ(moved->transformBy(m), Acad::eOk);
    EXPECT_TRUE(sameSegments(explodeLines(*moved), want, 1e-9, true));
  }
  AcGeMatrix3d squash;
  squash(1, 1) = 0.5;
  EXPECT_EQ(hatch->transformBy(squash), Acad::eCannotScaleNonUniformly);

  AcDbExtents box;
  ASSERT_EQ(hatch->getGeomExtents(box), Acad::eOk);
  EXPECT_TRUE(near(box.minPoint(), AcGePoint3d(0, 0, 0)));
  EXPECT_TRUE(near(box.maxPoint(), AcGePoint3d(4, 4, 0)));
}

// ---------------------------------------------------------------------------------------------
// Multilines

TEST_F(annotations, MultilineExplodesIntoItsElementLinesAtTheMiters) {
  AcDbMline mline;
  ASSERT_EQ(mline.setJustification(Mline::kZero), Acad::eOk);
  ASSERT_EQ(mline.setScale(2), Acad::eOk);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}}) ASSERT_EQ(mline.appendSeg(AcGePoint3d(x, y, 0)), Acad::eOk);
  // Elements 1 either side; at the corner the miter runs along (-1, 1), the inner element
  // meeting it at (9, 1), the outer at (11, -1).
  EXPECT_TRUE(near(mline.miterAt(1), AcGeVector3d(-std::sqrt(0.5), std::sqrt(0.5), 0)));
  EXPECT_TRUE(near(mline.axisAt(2), AcGeVector3d(0, 1, 0)));
  EXPECT_TRUE(sameSegments(explodeLines(mline), {{AcGePoint3d(0, 1, 0), AcGePoint3d(9, 1, 0)},
                                                 {AcGePoint3d(0, -1, 0), AcGePoint3d(11, -1, 0)},
                                                 {AcGePoint3d(9, 1, 0), AcGePoint3d(9, 10, 0)},
                                                 {AcGePoint3d(11, -1, 0), AcGePoint3d(11, 10, 0)}}));

  // Top justification puts the first element on the path and the second 2 below it.
  ASSERT_EQ(mline.setJustification(Mline::kTop), Acad::eOk);
  EXPECT_TRUE(sameSegments(explodeLines(mline), {{AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)},
                                                 {AcGePoint3d(0, -2, 0), AcGePoint3d(12, -2, 0)},
                                                 {AcGePoint3d(10, 0, 0), AcGePoint3d(10, 10, 0)},
                                                 {AcGePoint3d(12, -2, 0), AcGePoint3d(12, 10, 0)}}));

  // Parameters past the first cut an element into dashes: 0 to 3, then from 5 to the end.
  AcGeVoidPointerArray params;
  ASSERT_EQ(mline.getParametersAt(0, params), Acad::eOk);
  ASSERT_EQ(params.length(), 2);
  auto* first = static_cast<AcGeDoubleArray*>(params[0]);
  ASSERT_EQ(first->length(), 2);
  EXPECT_DOUBLE_EQ((*first)[0], 0.0);
  first->append(3);
  first->append(5);
  ASSERT_EQ(mline.setParametersAt(0, params), Acad::eOk);
  for (void* p : params) delete static_cast<AcGeDoubleArray*>(p);
  std::vector<Seg> lines = explodeLines(mline);
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_TRUE(sameSegments({lines[0], lines[1]}, {{AcGePoint3d(0, 0, 0), AcGePoint3d(3, 0, 0)},
                                                  {AcGePoint3d(5, 0, 0), AcGePoint3d(10, 0, 0)}}));
  AcGeVoidPointerArray wrong;
  EXPECT_EQ(mline.setParametersAt(0, wrong), Acad::eInvalidInput);
  EXPECT_EQ(mline.getParametersAt(3, wrong), Acad::eInvalidIndex);
}

TEST_F(annotations, ClosedMultilineMitersEveryCornerAndMovesWithTransforms) {
  AcDbMline mline;
  mline.setJustification(Mline::kZero);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}, {0.0, 10.0}}) mline.appendSeg(AcGePoint3d(x, y, 0));
  ASSERT_EQ(mline.setClosedMline(true), Acad::eOk);
  std::vector<Seg> want;
  AcGePoint3d inner[] = {{0.5, 0.5, 0}, {9.5, 0.5, 0}, {9.5, 9.5, 0}, {0.5, 9.5, 0}};
  AcGePoint3d outer[] = {{-0.5, -0.5, 0}, {10.5, -0.5, 0}, {10.5, 10.5, 0}, {-0.5, 10.5, 0}};
  for (int i = 0; i < 4; ++i) {
    want.push_back({inner[i], inner[(i + 1) % 4]});
    want.push_back({outer[i], outer[(i + 1) % 4]});
  }
  EXPECT_TRUE(sameSegments(explodeLines(mline), want));

  AcGeMatrix3d m = AcGeMatrix3d::rotation(0.4, AcGeVector3d(1, 1, 1), AcGePoint3d(3, 0, 1)) *
                   AcGeMatrix3d::scaling(2);
  for (Seg& s : want) s = {m * s.a, m * s.b};
  ASSERT_EQ(mline.transformBy(m), Acad::eOk);
  EXPECT_TRUE(sameSegments(explodeLines(mline), want, 1e-9));
  EXPECT_NEAR(mline.scale(), 2, 1e-12);
  AcGeMatrix3d squash;
  squash(0, 0) = 2;
  EXPECT_EQ(mline.transformBy(squash), Acad::eCannotScaleNonUniformly);

  // Removing and moving vertices redraws the miters; an empty one explodes into nothing.
  AcGePoint3d last;
  ASSERT_EQ(mline.removeLastSeg(last), Acad::eOk);
  EXPECT_TRUE(near(last, m * AcGePoint3d(0, 10, 0)));
  EXPECT_EQ(mline.moveVertexAt(5, last), Acad::eInvalidIndex);
  AcDbMline empty;
  EXPECT_TRUE(explodeLines(empty).empty());
  EXPECT_EQ(empty.removeLastSeg(last), Acad::eInvalidIndex);
}

// ---------------------------------------------------------------------------------------------
// Texts and the protocol all four share

TEST_F(annotations, TextKeepsItsValuesAndTransformsAsAWhole) {
  AcDbText text(AcGePoint3d(1, 2, 3), "Hello", AcDbObjectId::kNull, 2.5, 0.25);
  EXPECT_STREQ(text.textStringConst(), "Hello");
  std::unique_ptr<char[]> copy(text.textString());
  EXPECT_STREQ(copy.get(), "Hello");
  EXPECT_TRUE(text.isDefaultAlignment());
  ASSERT_EQ(text.setHorizontalMode(AcDb::kTextMid), Acad::eOk);
  EXPECT_FALSE(text.isDefaultAlignment());
  EXPECT_EQ(text.setHeight(0), Acad::eInvalidInput);
  EXPECT_EQ(text.setWidthFactor(-1), Acad::eInvalidInput);
  EXPECT_EQ(text.setOblique(kPi / 2), Acad::eInvalidInput);
  EXPECT_EQ(text.setNormal(AcGeVector3d()), Acad::eInvalidNormal);
  EXPECT_EQ(text.setTextString(nullptr), Acad::eInvalidInput);
  EXPECT_DOUBLE_EQ(text.height(), 2.5);

  // A quarter turn about Z at (1, 2, 3), doubled: the text turns with it and grows.
  ASSERT_EQ(text.setAlignmentPoint(AcGePoint3d(4, 2, 3)), Acad::eOk);
  AcGeMatrix3d m = AcGeMatrix3d::scaling(2, AcGePoint3d(1, 2, 3)) * AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 2, 3));
  ASSERT_EQ(text.transformBy(m), Acad::eOk);
  EXPECT_TRUE(near(text.position(), AcGePoint3d(1, 2, 3)));
  EXPECT_TRUE(near(text.alignmentPoint(), AcGePoint3d(1, 8, 3)));
  EXPECT_NEAR(text.rotation(), 0.25 + kPi / 2, 1e-12);
  EXPECT_DOUBLE_EQ(text.height(), 5.0);
  AcGeMatrix3d squash;
  squash(2, 2) = 3;
  EXPECT_EQ(text.transformBy(squash), Acad::eCannotScaleNonUniformly);

  // Turned onto the plane x = 0 about Y: the normal follows, the direction stays in the plane.
  AcDbText standing(AcGePoint3d(), "ab");
  ASSERT_EQ(standing.transformBy(AcGeMatrix3d::rotation(-kPi / 2, AcGeVector3d::kYAxis)), Acad::eOk);
  EXPECT_TRUE(near(standing.normal(), AcGeVector3d(-1, 0, 0)));

  // Two characters of height 1 and width factor 2: a box 4 long, 1 high, turned by 90 degrees.
  AcDbText box(AcGePoint3d(1, 1, 0), "ab", AcDbObjectId::kNull, 1, kPi / 2);
  box.setWidthFactor(2);
  box.setThickness(0.5);
  AcDbExtents extents;
  ASSERT_EQ(box.getGeomExtents(extents), Acad::eOk);
  EXPECT_TRUE(near(extents.minPoint(), AcGePoint3d(0, 1, 0)));
  EXPECT_TRUE(near(extents.maxPoint(), AcGePoint3d(1, 5, 0.5)));
  explodeLines(box, Acad::eNotApplicable);

  std::unique_ptr<AcDbText> clone(static_cast<AcDbText*>(box.clone()));
  EXPECT_STREQ(clone->textStringConst(), "ab");
  EXPECT_DOUBLE_EQ(clone->widthFactor(), 2.0);
  EXPECT_DOUBLE_EQ(clone->thickness(), 0.5);
}

TEST_F(annotations, SettersNeedTheEntityOpenForWrite) {
  AcDbObjectId block = addBlock(db(), "P", AcGePoint3d(), {});
  AcDbObjectId ids[] = {append(new AcDbText(AcGePoint3d(), "t")), append(new AcDbHatch), append(new AcDbMline),
                        append(new AcDbBlockReference(AcGePoint3d(), block))};
  auto* text = openForRead<AcDbText>(ids[0]);
  EXPECT_EQ(text->setTextString("u"), Acad::eNotOpenForWrite);
  EXPECT_EQ(text->setHeight(2), Acad::eNotOpenForWrite);
  EXPECT_EQ(text->setNormal(AcGeVector3d::kXAxis), Acad::eNotOpenForWrite);
  text->close();
  auto* hatch = openForRead<AcDbHatch>(ids[1]);
  EXPECT_EQ(hatch->setPattern(AcDbHatch::kPreDefined, "SOLID"), Acad::eNotOpenForWrite);
  EXPECT_EQ(hatch->appendLoop(0, AcGePoint2dArray(), AcGeDoubleArray()), Acad::eNotOpenForWrite);
  EXPECT_EQ(hatch->setElevation(1), Acad::eNotOpenForWrite);
  hatch->close();
  auto* mline = openForRead<AcDbMline>(ids[2]);
  EXPECT_EQ(mline->appendSeg(AcGePoint3d()), Acad::eNotOpenForWrite);
  EXPECT_EQ(mline->setScale(3), Acad::eNotOpenForWrite);
  EXPECT_EQ(mline->numVertices(), 0);
  mline->close();
  auto* ref = openForRead<AcDbBlockReference>(ids[3]);
  EXPECT_EQ(ref->setRotation(1), Acad::eNotOpenForWrite);
  EXPECT_EQ(ref->setBlockTableRecord(block), Acad::eNotOpenForWrite);
  EXPECT_EQ(ref->blockTableRecord(), block);
  ref->close();

  AcDbBlockReference loose;
  EXPECT_EQ(loose.setBlockTableRecord(ids[0]), Acad::eInvalidInput);  // a text is no block
  EXPECT_EQ(loose.setScaleFactors(AcGeScale3d(1, 0, 1)), Acad::eInvalidInput);
  EXPECT_EQ(loose.setNormal(AcGeVector3d()), Acad::eInvalidNormal);
}

TEST_F(annotations, ClonesAreDeepAndIndependent) {
  AcDbHatch hatch;
  AcGeLineSeg2d a(AcGePoint2d(0, 0), AcGePoint2d(1, 0)), b(AcGePoint2d(1, 0), AcGePoint2d(0, 1)),
      c(AcGePoint2d(0, 1), AcGePoint2d(0, 0));
  AcGeVoidPointerArray edges;
  AcGeIntArray types;
  for (AcGeLineSeg2d* e : {&a, &b, &c}) {
    edges.append(e);
    types.append(AcDbHatch::kLine);
  }
  hatch.appendLoop(AcDbHatch::kExternal, edges, types);
  hatch.setAssociative(true);
  hatch.setColorIndex(5);
  std::unique_ptr<AcDbHatch> copy(static_cast<AcDbHatch*>(hatch.clone()));
  ASSERT_EQ(copy->numLoops(), 1);
  EXPECT_TRUE(copy->associative());
  EXPECT_EQ(copy->colorIndex(), 5);
  Adesk::Int32 type;
  AcGeVoidPointerArray mine, theirs;
  AcGeIntArray t1, t2;
  hatch.getLoopAt(0, type, mine, t1);
  copy->getLoopAt(0, type, theirs, t2);
  EXPECT_NE(mine[0], theirs[0]);
  copy->transformBy(AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0)));
  EXPECT_TRUE(static_cast<AcGeLineSeg2d*>(mine[0])->startPoint().isEqualTo(AcGePoint2d(0, 0)));

  AcDbMline mline;
  mline.appendSeg(AcGePoint3d());
  mline.appendSeg(AcGePoint3d(1, 0, 0));
  mline.setSupressEndCaps(true);
  std::unique_ptr<AcDbMline> mcopy(static_cast<AcDbMline*>(mline.clone()));
  EXPECT_EQ(mcopy->numVertices(), 2);
  EXPECT_TRUE(mcopy->supressEndCaps());
  mcopy->moveVertexAt(1, AcGePoint3d(0, 5, 0));
  EXPECT_TRUE(near(mline.vertexAt(1), AcGePoint3d(1, 0, 0)));

  AcDbBlockReference ref(AcGePoint3d(1, 2, 3), AcDbObjectId());
  ref.setRotation(0.5);
  ref.setScaleFactors(AcGeScale3d(2, 3, 4));
  std::unique_ptr<AcDbBlockReference> rcopy(static_cast<AcDbBlockReference*>(ref.clone()));
  EXPECT_TRUE(rcopy->blockTransform().isEqualTo(ref.blockTransform()));
}
