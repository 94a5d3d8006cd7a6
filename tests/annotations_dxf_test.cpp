// Texts, hatches, multilines and block references through DXF: every value written and read
// back, damaged and truncated files, and ezdxf, an independent reader, on both sides.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <sstream>

#include "dxf/dxf.h"
#include "host/annotation_access.h"
#include "host/annotations.h"
#include "host/kept.h"
#include "host_fixture.h"
#include "test_annotations.h"
#include "test_files.h"

using namespace kv::test;
using kv::AnnotationAccess;
using kv::dxf::readDrawing;
using kv::dxf::writeDrawing;

namespace {

using Record = std::vector<std::string>;

std::vector<Record> records(const std::string& text) {
  std::vector<Record> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    Record r;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) r.push_back(field);
    if (!r.empty()) out.push_back(r);
  }
  return out;
}

double num(const Record& r, size_t i) { return i < r.size() ? std::stod(r[i]) : NAN; }
AcGePoint3d point(const Record& r, size_t i) { return AcGePoint3d(num(r, i), num(r, i + 1), num(r, i + 2)); }
double degrees(double radians) { return radians * 180 / kPi; }

// The ezdxf listing's records of one kind, each with the records that follow it up to the next
// entity.
struct Listed {
  Record head;
  std::vector<Record> parts;
};

std::vector<Listed> listed(const std::vector<Record>& all, const std::string& kind) {
  std::vector<Listed> out;
  bool inside = false;
  for (const Record& r : all) {
    bool entity = r[0] == "TEXT" || r[0] == "HATCH" || r[0] == "MLINE" || r[0] == "INSERT" || r[0] == "BLOCK" ||
                  r[0] == "other";
    if (entity) inside = r[0] == kind;
    if (entity && inside) out.push_back({r, {}});
    else if (inside) out.back().parts.push_back(r);
  }
  return out;
}

std::vector<Seg> segmentsOf(const Listed& l, const std::string& kind) {
  std::vector<Seg> out;
  for (const Record& r : l.parts)
    if (r[0] == kind) out.push_back({point(r, 1), point(r, 4)});
  return out;
}

class annotationsDxf : public HostTest {
protected:
  std::string path(const std::string& name) { return (dir_ / name).string(); }

  std::unique_ptr<AcDbDatabase> writeAndRead(kv::dxf::ReadReport* report = nullptr) {
    EXPECT_EQ(writeDrawing(db(), path("out.dxf")), Acad::eOk);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    EXPECT_EQ(readDrawing(path("out.dxf"), back, error, report), Acad::eOk) << error;
    return back;
  }

  static std::vector<AcDbObjectId> idsIn(AcDbObjectId space) {
    AcDbBlockTableRecord* record = nullptr;
    EXPECT_EQ(acdbOpenObject(record, space, AcDb::kForRead), Acad::eOk);
    std::vector<AcDbObjectId> ids = record ? record->entityIds() : std::vector<AcDbObjectId>();
    if (record) record->close();
    return ids;
  }

  // Runs check on the entity of id opened for read, as a T.
  template <class T, class Check>
  static void with(AcDbObjectId id, Check check) {
    T* e = nullptr;
    ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
    check(*e);
    e->close();
  }

  std::vector<Record> ezdxf(const std::string& mode, const std::string& file) {
    int status = 0;
    std::string out = runProcess(
        "/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_annotations.py " + mode + " " + file + " 2>&1", status);
    EXPECT_EQ(status, 0) << out;
    return records(out);
  }

  ScratchFolder dir_;
};

// ---------------------------------------------------------------------------------------------
// What the drawing holds, and comparisons of every value.

AcDbText* tiltedText() {
  auto* text = new AcDbText(AcGePoint3d(1, 2, 3), " Fit ^ text ", AcDbObjectId::kNull, 2.5, 0.3);
  text->setAlignmentPoint(AcGePoint3d(4, 5, 6));
  text->setWidthFactor(0.8);
  text->setOblique(0.2);
  text->setThickness(0.5);
  text->setHorizontalMode(AcDb::kTextFit);
  text->setVerticalMode(AcDb::kTextTop);
  text->setNormal(AcGeVector3d(0.6, 0, 0.8));
  return text;
}

AcDbHatch* fullHatch() {
  auto* hatch = new AcDbHatch;
  AcDbHatch::Data& d = AnnotationAccess::data(*hatch);
  hatch->setNormal(AcGeVector3d(0, -0.6, 0.8));
  hatch->setElevation(1.5);
  hatch->setAssociative(true);
  AcGePoint2dArray outline;
  AcGeDoubleArray bulges;
  for (auto [x, y, b] : {std::tuple{0.0, 0.0, 0.25}, {20.0, 0.0, 0.0}, {20.0, 10.0, -0.5}, {0.0, 10.0, 0.0}}) {
    outline.append(AcGePoint2d(x, y));
    bulges.append(b);
  }
  hatch->appendLoop(AcDbHatch::kExternal, outline, bulges);
  // A hole: along the bottom, round the right, a clockwise dip at the top, round the left.
  AcGeLineSeg2d bottom(AcGePoint2d(4, 4), AcGePoint2d(8, 4)), top(AcGePoint2d(6, 8), AcGePoint2d(4, 8));
  AcGeCircArc2d right(AcGePoint2d(8, 6), 2, 1.5 * kPi, 2.5 * kPi);
  AcGeCircArc2d dip(AcGePoint2d(7, 8), 1, 0, kPi, AcGeVector2d::kXAxis, true);
  AcGeEllipArc2d left(AcGePoint2d(4, 6), AcGeVector2d(0, 1), AcGeVector2d(-1, 0), 2, 1, 0, kPi);
  AcGeVoidPointerArray edges;
  AcGeIntArray types;
  for (auto [edge, type] : {std::pair<AcGeCurve2d*, int>{&bottom, AcDbHatch::kLine}, {&right, AcDbHatch::kCirArc},
                            {&dip, AcDbHatch::kCirArc}, {&top, AcDbHatch::kLine}, {&left, AcDbHatch::kEllArc}}) {
    edges.append(edge);
    types.append(type);
  }
  hatch->appendLoop(AcDbHatch::kOutermost, edges, types);
  // An island of a rational spline with fit data, closed by a line; and a clockwise ellipse.
  AcGeDoubleArray knots, weights;
  for (double k : {0.0, 0.0, 0.0, 0.0, 0.5, 1.0, 1.0, 1.0, 1.0}) knots.append(k);
  AcGePoint2dArray points, fit;
  for (auto [x, y] : {std::pair{12.0, 2.0}, {12.5, 6.0}, {14.0, 7.0}, {15.5, 6.0}, {16.0, 2.0}}) points.append(AcGePoint2d(x, y));
  for (double w : {1.0, 0.5, 2.0, 0.5, 1.0}) weights.append(w);
  fit.append(AcGePoint2d(12, 2));
  fit.append(AcGePoint2d(16, 2));
  AcGeNurbCurve2d spline(3, knots, points, weights);
  spline.setFitData(fit, AcGeVector2d(1, 1), std::nullopt);
  AcGeLineSeg2d close(AcGePoint2d(16, 2), AcGePoint2d(12, 2));
  AcGeVoidPointerArray island;
  AcGeIntArray islandTypes;
  island.append(&spline);
  island.append(&close);
  islandTypes.append(AcDbHatch::kSpline);
  islandTypes.append(AcDbHatch::kLine);
  hatch->appendLoop(AcDbHatch::kDefault, island, islandTypes);
  AcGeEllipArc2d ring(AcGePoint2d(2, 7), AcGeVector2d(1, 0), AcGeVector2d(0, -1), 1, 0.5, 0, 2 * kPi);
  AcGeVoidPointerArray ringEdge;
  ringEdge.append(&ring);
  AcGeIntArray ringType;
  ringType.append(AcDbHatch::kEllArc);
  hatch->appendLoop(AcDbHatch::kDefault, ringEdge, ringType);
  d.loops[1].sourceHandles = {0x2A, 0x1F3};
  d.patternType = AcDbHatch::kCustomDefined;
  d.patternName = "MINE";
  d.patternAngle = 0.25;
  d.patternScale = 0.5;
  d.lines = {{0.25, AcGePoint2d(0.5, -1), AcGeVector2d(-0.3, 1.2), {1.5, -0.5, 0, -0.5}},
             {1.3, AcGePoint2d(0, 0), AcGeVector2d(2, 0.1), {}}};
  return hatch;
}

AcDbHatch* userHatch() {
  auto* hatch = new AcDbHatch;
  AcGePoint2dArray tri;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {3.0, 0.0}, {0.0, 3.0}}) tri.append(AcGePoint2d(x, y));
  hatch->appendLoop(AcDbHatch::kExternal, tri, AcGeDoubleArray());
  hatch->setPatternAngle(0.5);
  hatch->setPatternSpace(0.7);
  hatch->setPatternDouble(true);
  hatch->setPattern(AcDbHatch::kUserDefined, "_USER");
  hatch->setHatchStyle(AcDbHatch::kIgnore);
  return hatch;
}

AcDbHatch* solidHatch() {
  auto* hatch = new AcDbHatch;
  AcGePoint2dArray tri;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {0.0, 1.0}}) tri.append(AcGePoint2d(x, y));
  hatch->appendLoop(AcDbHatch::kExternal, tri, AcGeDoubleArray());
  hatch->setNormal(AcGeVector3d(0, 0, -1));
  hatch->setElevation(-2);
  hatch->setPattern(AcDbHatch::kPreDefined, "SOLID");
  return hatch;
}

// With breaks in an element and a style of the file's own, or plainly in the "Standard" style.
AcDbMline* fullMline(bool own = true) {
  auto* mline = new AcDbMline;
  mline->setJustification(Mline::kBottom);
  mline->setScale(1.5);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 5.0}}) mline->appendSeg(AcGePoint3d(x, y, 2));
  mline->setClosedMline(true);
  mline->setSupressStartCaps(true);
  AcDbMline::Data& d = AnnotationAccess::data(*mline);
  if (!own) return mline;
  d.styleName = "Custom";
  d.styleHandle = 0x2F;
  d.vertices[1].params[0].insert(d.vertices[1].params[0].end(), {1.0, 2.5});
  d.vertices[1].fills[1] = {0.25, 0.75};
  return mline;
}

void sameText(const AcDbText& a, const AcDbText& b, double tol) {
  EXPECT_TRUE(near(a.position(), b.position(), tol));
  EXPECT_TRUE(near(a.alignmentPoint(), b.alignmentPoint(), tol));
  EXPECT_TRUE(near(a.normal(), b.normal(), tol));
  EXPECT_STREQ(a.textStringConst(), b.textStringConst());
  EXPECT_DOUBLE_EQ(a.height(), b.height());
  EXPECT_NEAR(a.rotation(), b.rotation(), 1e-12);
  EXPECT_DOUBLE_EQ(a.widthFactor(), b.widthFactor());
  EXPECT_NEAR(a.oblique(), b.oblique(), 1e-12);
  EXPECT_DOUBLE_EQ(a.thickness(), b.thickness());
  EXPECT_EQ(a.horizontalMode(), b.horizontalMode());
  EXPECT_EQ(a.verticalMode(), b.verticalMode());
}

void sameEdge(const AcGeCurve2d& a, const AcGeCurve2d& b) {
  EXPECT_EQ(typeid(a), typeid(b));
  EXPECT_TRUE(a.startPoint().isEqualTo(b.startPoint(), AcGeTol())) << a.startPoint().x << " " << b.startPoint().x;
  EXPECT_TRUE(a.endPoint().isEqualTo(b.endPoint(), AcGeTol()));
  auto* sa = dynamic_cast<const AcGeNurbCurve2d*>(&a);
  auto* sb = dynamic_cast<const AcGeNurbCurve2d*>(&b);
  if (sa && sb) {
    EXPECT_EQ(sa->degree(), sb->degree());
    EXPECT_EQ(sa->numKnots(), sb->numKnots());
    EXPECT_EQ(sa->numWeights(), sb->numWeights());
    EXPECT_EQ(sa->numFitPoints(), sb->numFitPoints());
    EXPECT_EQ(sa->startTangent().has_value(), sb->startTangent().has_value());
    EXPECT_EQ(sa->endTangent().has_value(), sb->endTangent().has_value());
    for (int i = 0; i < 11; ++i) EXPECT_TRUE(sa->evalPoint(i / 10.0).isEqualTo(sb->evalPoint(i / 10.0)));
  }
  auto* ea = dynamic_cast<const AcGeEllipArc2d*>(&a);
  auto* eb = dynamic_cast<const AcGeEllipArc2d*>(&b);
  if (ea && eb) {
    EXPECT_EQ(ea->isClockWise(), eb->isClockWise());
  }
}

void sameHatch(const AcDbHatch& a, const AcDbHatch& b) {
  const AcDbHatch::Data& x = AnnotationAccess::data(a);
  const AcDbHatch::Data& y = AnnotationAccess::data(b);
  EXPECT_TRUE(near(x.normal, y.normal, 1e-15));
  EXPECT_EQ(x.elevation, y.elevation);
  EXPECT_EQ(x.patternType, y.patternType);
  EXPECT_EQ(x.patternName, y.patternName);
  EXPECT_NEAR(x.patternAngle, y.patternAngle, 1e-12);
  EXPECT_EQ(x.patternType == AcDbHatch::kUserDefined ? x.patternSpace : x.patternScale,
            y.patternType == AcDbHatch::kUserDefined ? y.patternSpace : y.patternScale);
  EXPECT_EQ(x.patternDouble, y.patternDouble);
  EXPECT_EQ(x.solidFill, y.solidFill);
  EXPECT_EQ(x.associative, y.associative);
  EXPECT_EQ(x.style, y.style);
  ASSERT_EQ(x.loops.size(), y.loops.size());
  for (size_t i = 0; i < x.loops.size(); ++i) {
    const AcDbHatch::Loop& p = x.loops[i];
    const AcDbHatch::Loop& q = y.loops[i];
    EXPECT_EQ(p.type, q.type);
    EXPECT_EQ(p.closed, q.closed);
    EXPECT_EQ(p.sourceHandles, q.sourceHandles);
    ASSERT_EQ(p.vertices.length(), q.vertices.length());
    for (int k = 0; k < p.vertices.length(); ++k) {
      EXPECT_TRUE(p.vertices[k].isEqualTo(q.vertices[k], AcGeTol()));
      EXPECT_EQ(p.bulges[k], q.bulges[k]);
    }
    EXPECT_EQ(p.edgeTypes, q.edgeTypes);
    ASSERT_EQ(p.edges.size(), q.edges.size());
    for (size_t k = 0; k < p.edges.size(); ++k) sameEdge(*p.edges[k], *q.edges[k]);
  }
  ASSERT_EQ(x.lines.size(), y.lines.size());
  for (size_t i = 0; i < x.lines.size(); ++i) {
    EXPECT_NEAR(x.lines[i].angle, y.lines[i].angle, 1e-12);
    EXPECT_TRUE(x.lines[i].base.isEqualTo(y.lines[i].base, AcGeTol()));
    EXPECT_TRUE(x.lines[i].offset.isEqualTo(y.lines[i].offset, AcGeTol()));
    EXPECT_EQ(x.lines[i].dashes, y.lines[i].dashes);
  }
}

void sameMline(const AcDbMline& a, const AcDbMline& b) {
  const AcDbMline::Data& x = AnnotationAccess::data(a);
  const AcDbMline::Data& y = AnnotationAccess::data(b);
  EXPECT_EQ(x.justification, y.justification);
  EXPECT_EQ(x.scale, y.scale);
  EXPECT_TRUE(near(x.normal, y.normal, 0));
  EXPECT_EQ(x.closed, y.closed);
  EXPECT_EQ(x.suppressStartCaps, y.suppressStartCaps);
  EXPECT_EQ(x.suppressEndCaps, y.suppressEndCaps);
  EXPECT_EQ(x.styleName, y.styleName);
  EXPECT_EQ(x.styleHandle, y.styleHandle);
  EXPECT_EQ(x.elementOffsets.size(), y.elementOffsets.size());
  ASSERT_EQ(x.vertices.size(), y.vertices.size());
  for (size_t i = 0; i < x.vertices.size(); ++i) {
    EXPECT_TRUE(near(x.vertices[i].point, y.vertices[i].point, 0));
    EXPECT_TRUE(near(x.vertices[i].direction, y.vertices[i].direction, 0));
    EXPECT_TRUE(near(x.vertices[i].miter, y.vertices[i].miter, 0));
    EXPECT_EQ(x.vertices[i].params, y.vertices[i].params);
    EXPECT_EQ(x.vertices[i].fills, y.vertices[i].fills);
  }
}

void sameReference(const AcDbBlockReference& a, const AcDbBlockReference& b) {
  EXPECT_TRUE(near(a.position(), b.position(), 1e-12));
  EXPECT_TRUE(near(a.normal(), b.normal(), 1e-15));
  EXPECT_NEAR(a.rotation(), b.rotation(), 1e-12);
  EXPECT_EQ(a.scaleFactors().sx, b.scaleFactors().sx);
  EXPECT_EQ(a.scaleFactors().sy, b.scaleFactors().sy);
  EXPECT_EQ(a.scaleFactors().sz, b.scaleFactors().sz);
}

std::string blockName(AcDbObjectId block) {
  AcDbBlockTableRecord* record = nullptr;
  if (acdbOpenObject(record, block, AcDb::kForRead) != Acad::eOk) return "(none)";
  std::string name = record->getName();
  record->close();
  return name;
}

std::vector<Seg> exploded(const AcDbEntity& e) {
  AcDbVoidPtrArray pieces;
  EXPECT_EQ(e.explode(pieces), Acad::eOk);
  return takeLines(pieces);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST_F(annotationsDxf, EveryValueSurvivesAWriteAndARead) {
  AcDbObjectId block = addBlock(db(), "Frame", AcGePoint3d(1, 2, 0), {new AcDbLine(AcGePoint3d(1, 2, 0), AcGePoint3d(4, 2, 0))});
  auto* ref = new AcDbBlockReference(AcGePoint3d(5, 6, 7), block);
  ref->setScaleFactors(AcGeScale3d(2, -3, 0.5));
  ref->setRotation(1.2);
  ref->setNormal(AcGeVector3d(0.3, 0.4, 0.8));
  std::vector<AcDbEntity*> made = {tiltedText(), new AcDbText(AcGePoint3d(7, 8, 0), "Plain"), fullHatch(),
                                   userHatch(), solidHatch(), fullMline(), new AcDbMline, ref};
  std::vector<AcDbObjectId> ours;
  for (AcDbEntity* e : made) ours.push_back(append(e));

  kv::dxf::ReadReport report;
  std::unique_ptr<AcDbDatabase> back = writeAndRead(&report);
  ASSERT_TRUE(back);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<AcDbObjectId> theirs = idsIn(back->modelSpaceId());
  ASSERT_EQ(theirs.size(), ours.size());
  for (int i : {0, 1})
    with<AcDbText>(ours[size_t(i)], [&](const AcDbText& a) {
      with<AcDbText>(theirs[size_t(i)], [&](const AcDbText& b) { sameText(a, b, i == 0 ? 1e-12 : 0); });
    });
  for (int i : {2, 3, 4})
    with<AcDbHatch>(ours[size_t(i)], [&](const AcDbHatch& a) {
      with<AcDbHatch>(theirs[size_t(i)], [&](const AcDbHatch& b) { sameHatch(a, b); });
    });
  for (int i : {5, 6})
    with<AcDbMline>(ours[size_t(i)], [&](const AcDbMline& a) {
      with<AcDbMline>(theirs[size_t(i)], [&](const AcDbMline& b) { sameMline(a, b); });
    });
  with<AcDbBlockReference>(ours[7], [&](const AcDbBlockReference& a) {
    with<AcDbBlockReference>(theirs[7], [&](const AcDbBlockReference& b) {
      sameReference(a, b);
      EXPECT_EQ(blockName(b.blockTableRecord()), "Frame");
      EXPECT_EQ(b.blockTableRecord().database(), back.get());
    });
  });
}

// Needs the reader to read block definitions into their records; until it does, it says so
// through its report and this test is skipped, loudly.
TEST_F(annotationsDxf, BlockDefinitionsRoundTrip) {
  AcDbObjectId block = addBlock(db(), "Frame", AcGePoint3d(1, 2, 0),
                                {new AcDbLine(AcGePoint3d(1, 2, 0), AcGePoint3d(4, 2, 0)),
                                 new AcDbText(AcGePoint3d(2, 3, 0), "in block")});
  auto* ref = new AcDbBlockReference(AcGePoint3d(5, 6, 7), block);
  ref->setScaleFactors(AcGeScale3d(2));
  ref->setRotation(0.5);
  AcDbObjectId ours = append(ref);
  std::vector<Seg> want;
  with<AcDbBlockReference>(ours, [&](const AcDbBlockReference& r) {
    AcDbVoidPtrArray pieces;
    ASSERT_EQ(r.explode(pieces), Acad::eOk);
    ASSERT_EQ(pieces.length(), 2);
    delete static_cast<AcDbEntity*>(pieces[1]);
    pieces.removeAt(1);
    want = takeLines(pieces);
  });

  kv::dxf::ReadReport report;
  std::unique_ptr<AcDbDatabase> back = writeAndRead(&report);
  ASSERT_TRUE(back);
  EXPECT_EQ(report.skipped, 0);
  std::vector<AcDbObjectId> theirs = idsIn(back->modelSpaceId());
  ASSERT_EQ(theirs.size(), 1u);
  with<AcDbBlockReference>(theirs[0], [&](const AcDbBlockReference& r) {
    with<AcDbBlockTableRecord>(r.blockTableRecord(), [&](const AcDbBlockTableRecord& rec) {
      EXPECT_STREQ(rec.getName(), "Frame");
      EXPECT_TRUE(near(rec.origin(), AcGePoint3d(1, 2, 0)));
      EXPECT_EQ(rec.entityIds().size(), 2u);
    });
    AcDbVoidPtrArray pieces;
    ASSERT_EQ(r.explode(pieces), Acad::eOk);
    ASSERT_EQ(pieces.length(), 2);
    EXPECT_TRUE(AcDbText::cast(static_cast<AcDbEntity*>(pieces[1])));
    delete static_cast<AcDbEntity*>(pieces[1]);
    pieces.removeAt(1);
    EXPECT_TRUE(sameSegments(takeLines(pieces), want, 1e-12));
  });
}

TEST_F(annotationsDxf, AttributesAfterAnInsertStayWithIt) {
  writeFile(path("attribs.dxf"),
            "0\nSECTION\n2\nENTITIES\n"
            "0\nINSERT\n8\n0\n66\n1\n2\nB\n10\n1\n20\n2\n30\n0\n"
            "0\nATTRIB\n8\n0\n10\n1\n20\n2\n30\n0\n40\n1\n1\nvalue\n2\nTAG\n70\n0\n"
            "0\nSEQEND\n8\n0\n"
            "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n1\n31\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  // The attributes and their SEQEND go with the reference (kept as they stand, which only the
  // save shows), not counted as entities the host cannot read; the line after them is read.
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("attribs.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 2);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<AcDbObjectId> ids = idsIn(back->modelSpaceId());
  ASSERT_EQ(ids.size(), 2u);
  // The block the file lacks is made empty, as a missing layer is.
  with<AcDbBlockReference>(ids[0], [](const AcDbBlockReference& r) {
    EXPECT_EQ(blockName(r.blockTableRecord()), "B");
    with<AcDbBlockTableRecord>(r.blockTableRecord(), [](const AcDbBlockTableRecord& b) { EXPECT_TRUE(b.entityIds().empty()); });
  });
  with<AcDbLine>(ids[1], [](const AcDbLine& l) { EXPECT_TRUE(near(l.endPoint(), AcGePoint3d(1, 1, 0))); });
}

// Two references to one block the file lacks share the one block made for it.
TEST_F(annotationsDxf, ReferencesToAMissingBlockShareTheBlockMadeForIt) {
  writeFile(path("missing.dxf"), "0\nSECTION\n2\nENTITIES\n"
                                 "0\nINSERT\n8\n0\n2\nGone\n10\n1\n20\n2\n30\n0\n"
                                 "0\nINSERT\n8\n0\n2\ngone\n10\n3\n20\n4\n30\n0\n"
                                 "0\nENDSEC\n0\nEOF\n");
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("missing.dxf"), back, error), Acad::eOk) << error;
  std::vector<AcDbObjectId> ids = idsIn(back->modelSpaceId());
  ASSERT_EQ(ids.size(), 2u);
  AcDbObjectId first, second;
  with<AcDbBlockReference>(ids[0], [&](const AcDbBlockReference& r) { first = r.blockTableRecord(); });
  with<AcDbBlockReference>(ids[1], [&](const AcDbBlockReference& r) { second = r.blockTableRecord(); });
  EXPECT_FALSE(first.isNull());
  EXPECT_EQ(first, second);
  EXPECT_EQ(blockName(first), "Gone");
}

// The origin of a block read from a file is the record's: a change to it is what a save writes,
// and an unchanged one goes back spelt as it was read.
TEST_F(annotationsDxf, ABlockOriginIsSavedAsChanged) {
  AcDbObjectId block = addBlock(db(), "Frame", AcGePoint3d(1, 2, 0), {new AcDbLine(AcGePoint3d(1, 2, 0), AcGePoint3d(4, 2, 0))});
  append(new AcDbBlockReference(AcGePoint3d(5, 6, 0), block));
  std::unique_ptr<AcDbDatabase> first = writeAndRead();
  ASSERT_TRUE(first);
  ASSERT_EQ(writeDrawing(*first, path("same.dxf")), Acad::eOk);

  AcDbObjectId frame;
  with<AcDbBlockReference>(idsIn(first->modelSpaceId())[0], [&](const AcDbBlockReference& r) { frame = r.blockTableRecord(); });
  AcDbBlockTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, frame, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(rec->setOrigin(AcGePoint3d(-3, 0.25, 7)), Acad::eOk);
  rec->close();
  ASSERT_EQ(writeDrawing(*first, path("moved.dxf")), Acad::eOk);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("moved.dxf"), back, error), Acad::eOk) << error;
  std::vector<AcDbObjectId> ids = idsIn(back->modelSpaceId());
  ASSERT_EQ(ids.size(), 1u);
  with<AcDbBlockReference>(ids[0], [&](const AcDbBlockReference& r) {
    with<AcDbBlockTableRecord>(r.blockTableRecord(), [](const AcDbBlockTableRecord& b) {
      EXPECT_EQ(b.origin().x, -3);
      EXPECT_EQ(b.origin().y, 0.25);
      EXPECT_EQ(b.origin().z, 7);
    });
  });
  // Only the origin changed: the moved file is the same one but for those three values.
  std::string same = readFile(path("same.dxf"));
  const std::string was = " 10\n1.0\n 20\n2.0\n 30\n0.0\n";
  size_t at = same.find(was, same.find("AcDbBlockBegin"));
  ASSERT_NE(at, std::string::npos) << same;
  same.replace(at, was.size(), " 10\n-3.0\n 20\n0.25\n 30\n7.0\n");
  EXPECT_EQ(readFile(path("moved.dxf")), same);

  writeFile(path("spelt.dxf"), "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nB\n70\n0\n10\n1.50\n20\n2\n30\n0\n"
                               "0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
                               "0\nINSERT\n8\n0\n2\nB\n10\n0\n20\n0\n30\n0\n0\nENDSEC\n0\nEOF\n");
  ASSERT_EQ(readDrawing(path("spelt.dxf"), back, error), Acad::eOk) << error;
  with<AcDbBlockReference>(idsIn(back->modelSpaceId())[0], [&](const AcDbBlockReference& r) {
    with<AcDbBlockTableRecord>(r.blockTableRecord(), [](const AcDbBlockTableRecord& b) {
      EXPECT_TRUE(near(b.origin(), AcGePoint3d(1.5, 2, 0)));
    });
  });
  ASSERT_EQ(writeDrawing(*back, path("spelt.dxf")), Acad::eOk);
  EXPECT_NE(readFile(path("spelt.dxf")).find(" 10\n1.50\n 20\n2\n 30\n0\n"), std::string::npos);
}

TEST_F(annotationsDxf, AReferenceToAnErasedBlockKeepsItsNameAndOneToNoBlockRefusesTheSave) {
  AcDbObjectId block = addBlock(db(), "Old", AcGePoint3d(), {});
  append(new AcDbBlockReference(AcGePoint3d(1, 1, 0), block));
  AcDbBlockTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, block, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(rec->erase(), Acad::eOk);
  rec->close();
  std::unique_ptr<AcDbDatabase> back = writeAndRead();
  ASSERT_TRUE(back);
  std::vector<AcDbObjectId> ids = idsIn(back->modelSpaceId());
  ASSERT_EQ(ids.size(), 1u);
  with<AcDbBlockReference>(ids[0], [](const AcDbBlockReference& r) { EXPECT_EQ(blockName(r.blockTableRecord()), "Old"); });

  AcDbObjectId none = append(new AcDbBlockReference(AcGePoint3d(2, 2, 0), AcDbObjectId()));
  std::string error;
  EXPECT_EQ(writeDrawing(db(), path("none.dxf"), &error), Acad::eNullBlockName);
  EXPECT_NE(error.find(none.handle().text()), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(path("none.dxf")));
}

// An entity whose values its reader cannot take is kept as read, with a note naming its line
// and the reason; the line after it is read, and a save keeps the entity.
TEST_F(annotationsDxf, DamagedAnnotationsAreKeptAndNameTheirLine) {
  struct Case {
    const char* name;
    const char* body;
    const char* says;
  };
  const Case cases[] = {
      {"TEXT", "8\n0\n10\n0\n20\n0\n72\n9\n", "line 23: group 72 value 9 is out of range"},
      {"TEXT", "8\n0\n40\nbig\n", "line 19: group 40 is not a number"},
      {"TEXT", "8\n0\n210\n0\n220\n0\n230\n0\n", "extrusion direction has no length"},
      {"HATCH", "8\n0\n100\nAcDbHatch\n91\n1\n92\n1\n93\n1\n72\n7\n", "line 27: boundary edge type 7 is unknown"},
      {"HATCH", "8\n0\n100\nAcDbHatch\n91\n1\n92\n2\n93\n1\n10\nx\n", "line 27: group 10 is not a number"},
      {"HATCH", "8\n0\n100\nAcDbHatch\n91\n1\n92\n1\n93\n0\n97\n1\n330\nZZ\n", "handle 'ZZ' is not hexadecimal"},
      {"HATCH", "8\n0\n100\nAcDbHatch\n75\n3\n", "line 21: group 75 value 3 is out of range"},
      {"MLINE", "8\n0\n100\nAcDbMline\n70\n5\n", "line 21: group 70 value 5 is out of range"},
      {"MLINE", "8\n0\n100\nAcDbMline\n11\n0\n21\n0\n31\n0\n74\n2\n41\nq\n", "line 29: group 41 is not a number"},
      {"INSERT", "8\n0\n2\nB\n41\n0\n", "line 21: INSERT has a scale factor of 0"},
      {"INSERT", "8\n0\n10\n1\n20\n2\n30\n0\n", "it names no block"},
  };
  const std::string line = "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n1\n31\n0\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    // R2000, whose saves keep subclass markers: a kept HATCH's 330 is its own pair only under
    // its marker.
    writeFile(path("bad.dxf"), "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n"
                               "0\nSECTION\n2\nENTITIES\n0\n" + std::string(c.name) + "\n" + c.body + line +
                                   "0\nENDSEC\n0\nEOF\n");
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(path("bad.dxf"), back, error, &report), Acad::eOk) << error;
    EXPECT_EQ(report.entitiesRead, 1);
    EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{c.name, 1}}));
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_EQ(report.notes[0].rfind(std::string("line 15: ") + c.name + " kept as read: ", 0), 0u) << report.notes[0];
    EXPECT_NE(report.notes[0].find(c.says), std::string::npos) << report.notes[0];
    std::vector<AcDbObjectId> ids = idsIn(back->modelSpaceId());
    ASSERT_EQ(ids.size(), 2u);
    with<kv::KeptEntity>(ids[0], [&](const kv::KeptEntity& e) { EXPECT_EQ(e.dxfName(), c.name); });
    with<AcDbLine>(ids[1], [](const AcDbLine& l) { EXPECT_TRUE(near(l.endPoint(), AcGePoint3d(1, 1, 0))); });
    // Saved and read again, it is still there as it was.
    ASSERT_EQ(writeDrawing(*back, path("again.dxf")), Acad::eOk);
    kv::dxf::ReadReport again;
    ASSERT_EQ(readDrawing(path("again.dxf"), back, error, &again), Acad::eOk) << error;
    EXPECT_EQ(again.unsupported, report.unsupported);
    ASSERT_EQ(again.notes.size(), 1u);
    EXPECT_NE(again.notes[0].find(std::string(c.says).substr(std::string(c.says).find(':') + 1)), std::string::npos)
        << again.notes[0];
  }
  // Pairs that end inside an entity's attributes are no drawing.
  writeFile(path("cut.dxf"), "0\nSECTION\n2\nENTITIES\n0\nINSERT\n8\n0\n66\n1\n2\nB\n0\nATTRIB\n8\n0\n");
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  EXPECT_EQ(readDrawing(path("cut.dxf"), back, error), Acad::eBadDxfFile);
  EXPECT_EQ(error, "line 17: file ends inside an entity");
  EXPECT_FALSE(back);
}

TEST_F(annotationsDxf, EveryTruncatedDrawingIsRefused) {
  AcDbObjectId block = addBlock(db(), "B", AcGePoint3d(), {});
  for (AcDbEntity* e : std::vector<AcDbEntity*>{tiltedText(), fullHatch(), fullMline(),
                                                new AcDbBlockReference(AcGePoint3d(1, 1, 1), block)})
    append(e);
  ASSERT_EQ(writeDrawing(db(), path("whole.dxf")), Acad::eOk);
  std::string whole = readFile(path("whole.dxf"));
  size_t start = whole.find("ENTITIES");
  ASSERT_NE(start, std::string::npos);
  int refused = 0;
  for (size_t cut = whole.find('\n', start); cut < whole.size() - 5; cut = whole.find('\n', cut + 1)) {
    writeFile(path("cut.dxf"), whole.substr(0, cut + 1));
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    ASSERT_EQ(readDrawing(path("cut.dxf"), back, error), Acad::eBadDxfFile) << "cut at " << cut;
    EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    ++refused;
  }
  EXPECT_GT(refused, 300);
}

// ---------------------------------------------------------------------------------------------
// ezdxf on both sides

// Our drawing of texts, hatches, multilines and references, read by ezdxf.
class annotationsToEzdxf : public annotationsDxf {
protected:
  void SetUp() override {
    KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
    AcDbObjectId block = addBlock(db(), "Frame", AcGePoint3d(1, 2, 0),
                                  {new AcDbLine(AcGePoint3d(1, 2, 0), AcGePoint3d(4, 2, 0)),
                                   new AcDbLine(AcGePoint3d(1, 2, 0), AcGePoint3d(1, 5, 1))});
    auto* ref = new AcDbBlockReference(AcGePoint3d(5, 6, 7), block);
    ref->setScaleFactors(AcGeScale3d(2, -3, 0.5));
    ref->setRotation(1.2);
    ref->setNormal(AcGeVector3d(0.3, 0.4, 0.8));
    auto* plainHatch = fullHatch();
    // ezdxf 0.18 lists the lines of a tilted hatch twice and puts them at elevation 0.
    plainHatch->setNormal(AcGeVector3d::kZAxis);
    plainHatch->setElevation(0);
    std::vector<AcDbEntity*> made = {tiltedText(), plainHatch, userHatch(), solidHatch(), fullMline(false), ref};
    for (AcDbEntity* e : made) ours.push_back(append(e));
    ASSERT_EQ(writeDrawing(db(), path("ours.dxf")), Acad::eOk);
    all = ezdxf("read", path("ours.dxf"));
    ASSERT_FALSE(all.empty());
    texts = listed(all, "TEXT");
    hatches = listed(all, "HATCH");
    mlines = listed(all, "MLINE");
    inserts = listed(all, "INSERT");
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(hatches.size(), 3u);
    ASSERT_EQ(mlines.size(), 1u);
    ASSERT_EQ(inserts.size(), 1u);
  }

  std::vector<AcDbObjectId> ours;
  std::vector<Record> all;
  std::vector<Listed> texts, hatches, mlines, inserts;
};

TEST_F(annotationsToEzdxf, AuditFindsNothingButTheStyleOfAMultilineAndTextsAndBlocksRead) {
  std::string problems;
  for (const Record& r : all)
    if (r[0] == "problem") problems += r[1] + "\n";
  ASSERT_EQ(all[0][0], "audit");
  EXPECT_EQ(all[0][1], "0") << problems;
  // The one thing ezdxf mends: the drawing has no multiline style objects for the multiline's
  // style to name, so ezdxf looks the style up by its name.
  for (const Record& r : all) {
    if (r[0] != "problem") continue;
    EXPECT_NE(r[1].find("Fixed invalid style handle in MLINE"), std::string::npos) << r[1];
  }

  with<AcDbText>(ours[0], [&](const AcDbText& t) {
    const Record& r = texts[0].head;
    EXPECT_EQ(r[1], t.textStringConst());
    EXPECT_DOUBLE_EQ(num(r, 2), t.height());
    EXPECT_NEAR(num(r, 3), degrees(t.rotation()), 1e-12);
    EXPECT_NEAR(num(r, 5), degrees(t.oblique()), 1e-12);
    EXPECT_EQ(r[6], "5");
    EXPECT_EQ(r[7], "3");
    EXPECT_TRUE(near(point(r, 9), t.position(), 1e-12));
    EXPECT_TRUE(near(point(r, 12), t.alignmentPoint(), 1e-12));
    EXPECT_TRUE(near(point(r, 15), AcGePoint3d(0.6, 0, 0.8), 1e-15));
  });
  bool frame = false;
  for (const Listed& b : listed(all, "BLOCK"))
    if (b.head[1] == "Frame") {
      frame = true;
      EXPECT_TRUE(near(point(b.head, 2), AcGePoint3d(1, 2, 0)));
      EXPECT_EQ(b.head.size(), 7u);  // two lines
    }
  EXPECT_TRUE(frame);
}

TEST_F(annotationsToEzdxf, EzdxfDrawsOurHatchPatternsAsWe) {
  // ezdxf's own pattern lines are ours; it draws none for a solid fill.
  for (size_t i = 0; i < 3; ++i)
    with<AcDbHatch>(ours[i + 1], [&](const AcDbHatch& h) {
      EXPECT_EQ(hatches[i].head[1], h.patternName());
      if (h.isSolidFill()) {
        EXPECT_TRUE(segmentsOf(hatches[i], "hatchline").empty());
        return;
      }
      std::vector<Seg> mine = exploded(h);
      EXPECT_GE(mine.size(), 5u);
      EXPECT_TRUE(sameSegments(segmentsOf(hatches[i], "hatchline"), mine, 2e-3, true));
    });
}

TEST_F(annotationsToEzdxf, EzdxfExplodesOurMultilinesAndReferencesAsWe) {
  with<AcDbMline>(ours[4], [&](const AcDbMline& m) {
    EXPECT_EQ(mlines[0].head[1], "Standard");
    EXPECT_EQ(mlines[0].head[4], "7");  // vertices, closed, no start caps
    EXPECT_TRUE(sameSegments(segmentsOf(mlines[0], "mlineline"), exploded(m), 1e-12));
  });
  with<AcDbBlockReference>(ours[5], [&](const AcDbBlockReference& b) {
    const Record& r = inserts[0].head;
    EXPECT_EQ(r[1], "Frame");
    EXPECT_TRUE(near(point(r, 2), b.position(), 1e-12));
    EXPECT_EQ(num(r, 6), -3);
    EXPECT_NEAR(num(r, 8), degrees(1.2), 1e-12);
    EXPECT_TRUE(sameSegments(segmentsOf(inserts[0], "insertline"), exploded(b), 1e-12));
  });
}

// ezdxf's drawing of texts, hatches, multilines and references, read by us.
class annotationsFromEzdxf : public annotationsDxf {
protected:
  void SetUp() override {
    KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
    std::vector<Record> all = ezdxf("write", path("theirs.dxf"));
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(path("theirs.dxf"), back, error, &report), Acad::eOk) << error;
    // The attributes after a reference go with it, not counted as entities the host lacks.
    // Besides the nine in model space, block BLK holds a line and a circle, which the host
    // models, and the definition of its attribute, which it keeps; the layouts hold nothing.
    EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"ATTDEF", 1}}));
    EXPECT_EQ(report.entitiesRead, 11);
    EXPECT_TRUE(report.notes.empty());
    ids = idsIn(back->modelSpaceId());
    ASSERT_EQ(ids.size(), 9u);
    texts = listed(all, "TEXT");
    hatches = listed(all, "HATCH");
    mlines = listed(all, "MLINE");
    inserts = listed(all, "INSERT");
    blocks = listed(all, "BLOCK");
  }

  std::unique_ptr<AcDbDatabase> back;
  std::vector<AcDbObjectId> ids;
  std::vector<Listed> texts, hatches, mlines, inserts, blocks;
};

TEST_F(annotationsFromEzdxf, TextsAsEzdxfSeesThem) {
  ASSERT_EQ(texts.size(), 2u);
  for (size_t i = 0; i < 2; ++i)
    with<AcDbText>(ids[i], [&](const AcDbText& t) {
      const Record& r = texts[i].head;
      EXPECT_EQ(t.textStringConst(), r[1]);
      EXPECT_EQ(t.height(), num(r, 2));
      EXPECT_NEAR(degrees(t.rotation()), num(r, 3), 1e-12);
      EXPECT_EQ(t.widthFactor(), num(r, 4));
      EXPECT_EQ(int(t.horizontalMode()), std::stoi(r[6]));
      EXPECT_TRUE(near(t.position(), point(r, 9), 1e-12));
      if (r[12] != "-") {
        EXPECT_TRUE(near(t.alignmentPoint(), point(r, 12), 1e-12));
      }
      EXPECT_TRUE(near(t.normal(), point(r, 15).asVector(), 1e-15));
    });
}

// Our explode against ezdxf's pattern lines, which also draw the spline hatch's line lying on
// its straight edge, where ours draws none.
TEST_F(annotationsFromEzdxf, HatchesAndTheirPatternLinesAsEzdxfSeesThem) {
  ASSERT_EQ(hatches.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    with<AcDbHatch>(ids[2 + i], [&](const AcDbHatch& h) {
      const Record& r = hatches[i].head;
      EXPECT_EQ(h.patternName(), r[1]);
      EXPECT_EQ(h.isSolidFill(), r[2] == "1");
      EXPECT_EQ(int(h.patternType()), std::stoi(r[5]));
      EXPECT_NEAR(degrees(h.patternAngle()), num(r, 6), 1e-12);
      EXPECT_EQ(h.elevation(), num(r, 9));
      EXPECT_EQ(h.numLoops(), std::stoi(r[13]));
      EXPECT_EQ(h.numPatternDefinitions(), int(std::count_if(hatches[i].parts.begin(), hatches[i].parts.end(),
                                                              [](const Record& p) { return p[0] == "patternline"; })));
      if (h.isSolidFill()) return;
      std::vector<Seg> theirs;
      for (const Seg& s : segmentsOf(hatches[i], "hatchline"))
        if (!(std::fabs(s.a.y) < 1e-9 && std::fabs(s.b.y) < 1e-9)) theirs.push_back(s);
      // ezdxf draws the rational spline through Bezier pieces, up to 2.3e-3 off the curve.
      EXPECT_TRUE(sameSegments(theirs, exploded(h), i == 1 ? 3e-3 : 2e-3, true));
    });
}

TEST_F(annotationsFromEzdxf, HatchEdgesRunAsTheFileDrawsThem) {
  with<AcDbHatch>(ids[2], [&](const AcDbHatch& h) {
    Adesk::Int32 type = 0;
    AcGePoint2dArray vertices;
    AcGeDoubleArray bulges;
    ASSERT_EQ(h.getLoopAt(0, type, vertices, bulges), Acad::eOk);
    EXPECT_EQ(bulges[1], 0.5);
    AcGeVoidPointerArray edges;
    AcGeIntArray types;
    ASSERT_EQ(h.getLoopAt(1, type, edges, types), Acad::eOk);
    ASSERT_EQ(types.length(), 4);
    // From the top of the ellipse round its left to its bottom; the island runs clockwise
    // from its right end down.
    auto* left = static_cast<const AcGeEllipArc2d*>(edges[3]);
    EXPECT_FALSE(left->isClockWise());
    EXPECT_TRUE(left->startPoint().isEqualTo(AcGePoint2d(4, 8), AcGeTol()));
    EXPECT_TRUE(left->endPoint().isEqualTo(AcGePoint2d(4, 4), AcGeTol()));
    EXPECT_TRUE(left->evalPoint(kPi / 2).isEqualTo(AcGePoint2d(3, 6), AcGeTol()));
    AcGeVoidPointerArray ring;
    ASSERT_EQ(h.getLoopAt(2, type, ring, types), Acad::eOk);
    auto* island = static_cast<const AcGeEllipArc2d*>(ring[0]);
    EXPECT_TRUE(island->isClockWise());
    EXPECT_TRUE(island->startPoint().isEqualTo(AcGePoint2d(17, 5), AcGeTol()));
    EXPECT_TRUE(island->evalPoint(kPi / 2).isEqualTo(AcGePoint2d(15, 4), AcGeTol()));
  });
  with<AcDbHatch>(ids[3], [&](const AcDbHatch& h) {
    Adesk::Int32 type = 0;
    AcGeVoidPointerArray edges;
    AcGeIntArray types;
    ASSERT_EQ(h.getLoopAt(0, type, edges, types), Acad::eOk);
    auto* spline = static_cast<const AcGeNurbCurve2d*>(edges[0]);
    EXPECT_EQ(spline->numWeights(), 4);
    EXPECT_EQ(spline->numFitPoints(), 3);
    ASSERT_TRUE(spline->endTangent().has_value());
    EXPECT_EQ(spline->endTangent()->y, -2);
    EXPECT_EQ(h.patternSpace(), 0.75);
    // The line x = 6 ends on the curve: the rational Bezier of points (0, 0), (2, 6), (6, 6),
    // (8, 0) with weights 1, 0.5, 0.5, 1 at the t where its x is 6.
    auto curve = [](double t) {
      double b[4] = {(1 - t) * (1 - t) * (1 - t), 3 * t * (1 - t) * (1 - t) * 0.5, 3 * t * t * (1 - t) * 0.5, t * t * t};
      double w = b[0] + b[1] + b[2] + b[3];
      return AcGePoint2d((2 * b[1] + 6 * b[2] + 8 * b[3]) / w, (6 * b[1] + 6 * b[2]) / w);
    };
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; ++i) (curve((lo + hi) / 2).x < 6 ? lo : hi) = (lo + hi) / 2;
    bool found = false;
    for (const Seg& s : exploded(h))
      if (std::fabs(s.a.x - 6) < 1e-12 && std::fabs(s.b.x - 6) < 1e-12) {
        found = true;
        EXPECT_NEAR(std::max(s.a.y, s.b.y), curve(lo).y, 1e-4);
      }
    EXPECT_TRUE(found);
  });

}

TEST_F(annotationsFromEzdxf, MultilinesAndReferencesAsEzdxfSeesThem) {
  ASSERT_EQ(mlines.size(), 2u);
  for (size_t i = 0; i < 2; ++i)
    with<AcDbMline>(ids[5 + i], [&](const AcDbMline& m) {
      EXPECT_EQ(m.numVertices(), std::stoi(mlines[i].head[5]));
      EXPECT_EQ(m.closedMline(), i == 1);
      EXPECT_TRUE(sameSegments(exploded(m), segmentsOf(mlines[i], "mlineline"), 1e-12));
    });

  ASSERT_EQ(inserts.size(), 2u);
  for (size_t i = 0; i < 2; ++i)
    with<AcDbBlockReference>(ids[7 + i], [&](const AcDbBlockReference& b) {
      const Record& r = inserts[i].head;
      EXPECT_EQ(blockName(b.blockTableRecord()), r[1]);
      EXPECT_TRUE(near(b.position(), point(r, 2), 1e-12));
      EXPECT_EQ(b.scaleFactors().sx, num(r, 5));
      EXPECT_EQ(b.scaleFactors().sy, num(r, 6));
      EXPECT_NEAR(degrees(b.rotation()), num(r, 8), 1e-12);
      EXPECT_TRUE(near(b.normal(), point(r, 9).asVector(), 1e-15));
    });
  // The block they show, with its base point and its entities in their order.
  ASSERT_EQ(blocks.size(), 1u);
  const Record& def = blocks[0].head;
  with<AcDbBlockReference>(ids[7], [&](const AcDbBlockReference& b) {
    with<AcDbBlockTableRecord>(b.blockTableRecord(), [&](const AcDbBlockTableRecord& rec) {
      EXPECT_TRUE(near(rec.origin(), point(def, 2), 1e-12));
      std::vector<std::string> kinds;
      for (AcDbObjectId id : rec.entityIds())
        with<AcDbEntity>(id, [&](const AcDbEntity& e) {
          const auto* kept = kv::KeptEntity::cast(&e);
          kinds.push_back(kept ? kept->dxfName() : e.isA()->dxfName());
        });
      EXPECT_EQ(kinds, std::vector<std::string>(def.begin() + 5, def.end()));
    });
  });
}
