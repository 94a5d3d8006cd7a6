// Selections and picks through the editor, answered as a user would on the command line.
#include <string>

#include "dbutil/errortext.h"
#include "dbutil/select.h"
#include "host/entities.h"
#include "host_fixture.h"

// Classes with names of their own: the filters must not take them for faces or points.
class KvDerivedFace : public AcDbFace {
public:
  KV_RX_DECLARE_MEMBERS(KvDerivedFace)
  using AcDbFace::AcDbFace;
};
KV_RX_DEFINE_MEMBERS(KvDerivedFace, AcDbFace, "3DFACE")

class KvDerivedPoint : public AcDbPoint {
public:
  KV_RX_DECLARE_MEMBERS(KvDerivedPoint)
  using AcDbPoint::AcDbPoint;
};
KV_RX_DEFINE_MEMBERS(KvDerivedPoint, AcDbPoint, "POINT")

class Select : public HostTest {
protected:
  static std::string handle(AcDbObjectId id) { return id.handle().text(); }
  static bool highlighted(AcDbObjectId id) {
    AcDbEntity* ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) return false;
    bool on = ent->isHighlighted();
    ent->close();
    return on;
  }
  AcDbObjectId addFace() {
    return append(new AcDbFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  }
  AcDbObjectId addPoint(double x) { return append(new AcDbPoint(AcGePoint3d(x, 2, 3))); }
  size_t openSets() { return host_.selectionSets().size(); }
};

TEST_F(Select, EmptyPromptUsesTheHostsPrompt) {
  AcDbObjectId a = addLine(), b = addLine(1);
  ui_.answer(handle(a) + " " + handle(b));
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjects("", TRUE, ids));
  ASSERT_EQ(ids.length(), 2);
  EXPECT_EQ(ids[0], a);
  EXPECT_EQ(ids[1], b);
  EXPECT_TRUE(highlighted(a));
  EXPECT_NE(ui_.transcript().find("Select objects: "), std::string::npos);
  EXPECT_NE(ui_.transcript().find("2 found"), std::string::npos);
  EXPECT_EQ(openSets(), 0u);
}

TEST_F(Select, OwnPromptAndHighlightFlagOfTwo) {
  AcDbObjectId a = addLine();
  ui_.answer("ALL");
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjects("Pick solids: ", 2, ids));
  EXPECT_TRUE(highlighted(a));
  EXPECT_EQ(ui_.transcript().rfind("Pick solids: ", 0), 0u);
}

TEST_F(Select, OverlongPromptIsCutSafely) {
  addLine();
  std::string prompt(300, 'p');
  ui_.answer("ALL");
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjects(prompt.c_str(), FALSE, ids));
  std::string shown = ui_.transcript().substr(0, ui_.transcript().find('\n'));
  EXPECT_EQ(shown.find_first_not_of('p'), 254u);  // 254 characters, then the answer
}

TEST_F(Select, CancelOrNothingLeavesTheListAlone) {
  AcDbObjectId a = addLine();
  AcDbObjectIdArray ids;
  ids.append(a);
  ui_.answer("*Cancel*");
  EXPECT_FALSE(SelectObjects("", TRUE, ids));
  EXPECT_EQ(GetLastErrorText(), "No entities selected");
  EXPECT_EQ(ids.length(), 1);
  EXPECT_FALSE(highlighted(a));

  ui_.answer("");  // Enter with nothing selected
  EXPECT_FALSE(SelectObjects("", TRUE, ids));
  EXPECT_EQ(ids.length(), 1);

  // A later selection appends behind earlier ids and counts them.
  ui_.answer("L");
  ui_.answer("");
  EXPECT_TRUE(SelectObjects("", FALSE, ids));
  EXPECT_EQ(ids.length(), 2);
}

TEST_F(Select, InvalidHandlesAreReportedAndSkipped) {
  AcDbObjectId a = addLine();
  ui_.answer("FFFF zz " + handle(a));
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjects("", FALSE, ids));
  EXPECT_EQ(ids.length(), 1);
  EXPECT_NE(ui_.transcript().find("*Invalid selection*"), std::string::npos);
}

TEST_F(Select, ClassFilterCountsWhatItDrops) {
  AcDbObjectId line = addLine(), face = addFace(), point = addPoint(0);
  CStringArray classes;
  classes.Add("AcDbFace");
  ui_.answer("ALL");
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjectsOfClasses("", TRUE, classes, ids));
  ASSERT_EQ(ids.length(), 1);
  EXPECT_EQ(ids[0], face);
  EXPECT_TRUE(highlighted(face));
  EXPECT_FALSE(highlighted(line));
  EXPECT_NE(ui_.printed().find("2 object(s) were filtered out\n"), std::string::npos);

  // All filtered: the count first, then the failure.
  ui_.clear();
  CStringArray none;
  none.Add("AcDb3dSolid");
  ui_.answer(handle(line) + " " + handle(point));
  ui_.answer("");
  AcDbObjectIdArray empty;
  EXPECT_FALSE(SelectObjectsOfClasses("", TRUE, none, empty));
  EXPECT_EQ(GetLastErrorText(), "No valid objects selected");
  EXPECT_NE(ui_.printed().find("2 object(s) were filtered out"), std::string::npos);
}

TEST_F(Select, ClassFilterHighlightsForAnyNonzeroFlag) {
  CStringArray classes;
  classes.Add("AcDbFace");
  for (BOOL flag : {0, 1, 2}) {
    AcDbObjectId face = addFace();
    ui_.answer(handle(face));
    ui_.answer("");
    AcDbObjectIdArray ids;
    ASSERT_TRUE(SelectObjectsOfClasses("", flag, classes, ids));
    ASSERT_EQ(ids.length(), 1);
    EXPECT_EQ(highlighted(face), flag != 0) << flag;
  }
}

TEST_F(Select, DerivedClassesPassNoFilter) {
  AcDbObjectId face = addFace();
  AcDbObjectId derived = append(new KvDerivedFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  CStringArray classes;
  classes.Add("AcDbFace");
  ui_.answer(handle(derived) + " " + handle(face));
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjectsOfClasses("", TRUE, classes, ids));
  ASSERT_EQ(ids.length(), 1);
  EXPECT_EQ(ids[0], face);
  EXPECT_FALSE(highlighted(derived));
  EXPECT_NE(ui_.printed().find("1 object(s) were filtered out\n"), std::string::npos);

  ui_.clear();
  ui_.answer(handle(derived));
  ui_.answer(handle(face));
  AcDbObjectId id;
  ASSERT_TRUE(PickObjectOfClasses("", FALSE, classes, id));
  EXPECT_EQ(id, face);
  EXPECT_EQ(ui_.printed(), "\nObject was filtered out\n");

  addPoint(1);
  append(new KvDerivedPoint(AcGePoint3d(9, 9, 9)));
  ui_.answer("ALL");
  ui_.answer("");
  AcGePoint3dArray points;
  ASSERT_TRUE(SelectPoints(points));
  ASSERT_EQ(points.length(), 1);
  EXPECT_EQ(points[0], AcGePoint3d(1, 2, 3));
}

TEST_F(Select, UnopenableMemberIsNeitherKeptNorCounted) {
  AcDbObjectId face = addFace(), other = addFace();
  AcDbEntity* held = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(held, other, AcDb::kForWrite), Acad::eOk);
  CStringArray classes;
  classes.Add("AcDbFace");
  ui_.answer(handle(face) + " " + handle(other));
  ui_.answer("");
  AcDbObjectIdArray ids;
  ASSERT_TRUE(SelectObjectsOfClasses("", FALSE, classes, ids));
  held->close();
  EXPECT_EQ(ids.length(), 1);
  EXPECT_EQ(ui_.printed().find("filtered out"), std::string::npos);
}

TEST_F(Select, SelectAllEmptiesTheListFirst) {
  AcDbObjectIdArray ids;
  ids.append(AcDbObjectId());
  EXPECT_FALSE(SelectAllObjects(ids));
  EXPECT_EQ(GetLastErrorText(), "Drawing empty");
  EXPECT_EQ(ids.length(), 1);
  AcDbObjectId a = addLine(), b = addPoint(1);
  ASSERT_TRUE(SelectAllObjects(ids));
  ASSERT_EQ(ids.length(), 2);
  EXPECT_EQ(ids[0], a);
  EXPECT_EQ(ids[1], b);
  EXPECT_FALSE(highlighted(a));
  EXPECT_TRUE(ui_.transcript().empty());  // no question asked
}

TEST_F(Select, SelectPointsOffersOnlyPoints) {
  addLine();
  addPoint(5);
  addPoint(7);
  ui_.answer("ALL");
  ui_.answer("");
  AcGePoint3dArray points;
  points.append(AcGePoint3d(-1, -1, -1));
  ASSERT_TRUE(SelectPoints(points));
  ASSERT_EQ(points.length(), 3);
  EXPECT_EQ(points[1], AcGePoint3d(5, 2, 3));
  EXPECT_EQ(points[2], AcGePoint3d(7, 2, 3));
  EXPECT_EQ(ui_.transcript().rfind("Select points: ", 0), 0u);
  EXPECT_NE(ui_.transcript().find("2 found"), std::string::npos);
}

TEST_F(Select, FaultedSelectionFails) {
  addLine();
  kv::fault::arm(kv::fault::Call::acedSSGet, 1);
  AcDbObjectIdArray ids;
  EXPECT_FALSE(SelectAllObjects(ids));
  EXPECT_EQ(GetLastErrorText(), "Drawing empty");
}

TEST_F(Select, SuccessLeavesTheLastFailuresText) {
  AcDbObjectId face = addFace();
  addPoint(1);
  AcDbObjectIdArray ids;
  ui_.answer("*Cancel*");
  ASSERT_FALSE(SelectObjects("", FALSE, ids));
  ASSERT_EQ(GetLastErrorText(), "No entities selected");

  CStringArray classes;
  classes.Add("AcDbFace");
  for (const char* answer : {"ALL", "", "ALL", "", "ALL", ""}) ui_.answer(answer);
  ASSERT_TRUE(SelectObjects("", FALSE, ids));
  ASSERT_TRUE(SelectObjectsOfClasses("", FALSE, classes, ids));
  AcGePoint3dArray points;
  ASSERT_TRUE(SelectPoints(points));
  ASSERT_TRUE(SelectAllObjects(ids));
  AcDbObjectId id;
  ui_.answer(handle(face));
  ASSERT_TRUE(PickObject("", FALSE, id));
  ui_.answer(handle(face));
  ASSERT_TRUE(PickObjectOfClasses("", FALSE, classes, id));
  ui_.answer(handle(face));
  ASSERT_TRUE(PickObjectOfClass("", FALSE, "AcDbFace", id));
  EXPECT_EQ(GetLastErrorText(), "No entities selected");
}

class Pick : public Select {};

TEST_F(Pick, AsksAgainAfterEmptySpace) {
  AcDbObjectId a = addLine();
  ui_.answer("3,4");  // empty space
  ui_.answer("");
  ui_.answer(handle(a) + " 1.5,2.5,3.5");
  AcDbObjectId id;
  ads_point pt = {0, 0, 0};
  ASSERT_TRUE(PickObject("", 2, id, pt));
  EXPECT_EQ(id, a);
  EXPECT_EQ(pt[0], 1.5);
  EXPECT_EQ(pt[2], 3.5);
  EXPECT_FALSE(highlighted(a));  // picks highlight only for a flag of exactly 1
  EXPECT_EQ(ui_.transcript().rfind("Select an object:", 0), 0u);
  size_t first = ui_.printed().find("\nObject not selected\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(ui_.printed().find("\nObject not selected\n", first + 1), std::string::npos);
}

TEST_F(Pick, CancelLeavesTheCallersValues) {
  AcDbObjectId kept = addLine();
  AcDbObjectId id = kept;
  ads_point pt = {9, 9, 9};
  ui_.answer("*cancel*");
  EXPECT_FALSE(PickObject("", TRUE, id, pt));
  EXPECT_EQ(GetLastErrorText(), "Object selection cancelled");
  EXPECT_EQ(id, kept);
  EXPECT_EQ(pt[0], 9);
}

TEST_F(Pick, ClassFilterRejectsUntilCancelled) {
  AcDbObjectId line = addLine(), face = addFace();
  CStringArray classes;
  classes.Add("AcDbFace");
  ui_.answer(handle(line) + " 1,1");
  ui_.answer(handle(face));
  AcDbObjectId id;
  ASSERT_TRUE(PickObjectOfClasses("Face: ", TRUE, classes, id));
  EXPECT_EQ(id, face);
  EXPECT_TRUE(highlighted(face));
  EXPECT_FALSE(highlighted(line));
  EXPECT_NE(ui_.printed().find("\nObject was filtered out\n"), std::string::npos);

  // An empty list takes nothing: the last rejected pick stays in the out-arguments.
  ads_point pt = {0, 0, 0};
  ui_.answer(handle(line) + " 4,5,6");
  ui_.answer("*Cancel*");
  EXPECT_FALSE(PickObjectOfClasses("", TRUE, CStringArray(), id, pt));
  EXPECT_EQ(id, line);
  EXPECT_EQ(pt[1], 5);
  EXPECT_FALSE(highlighted(line));

  ui_.answer(handle(face));
  EXPECT_TRUE(PickObjectOfClass("", FALSE, "AcDbFace", id));
}

TEST_F(Pick, ClassPicksHighlightOnlyForAFlagOfOne) {
  CStringArray classes;
  classes.Add("AcDbFace");
  for (BOOL flag : {0, 1, 2}) {
    AcDbObjectId ofClasses = addFace(), ofClass = addFace(), ofClassAt = addFace();
    ui_.answer(handle(ofClasses));
    ui_.answer(handle(ofClass));
    ui_.answer(handle(ofClassAt));
    AcDbObjectId id;
    ads_point pt;
    ASSERT_TRUE(PickObjectOfClasses("", flag, classes, id));
    ASSERT_TRUE(PickObjectOfClass("", flag, "AcDbFace", id));
    ASSERT_TRUE(PickObjectOfClass("", flag, "AcDbFace", id, pt));
    EXPECT_EQ(id, ofClassAt);
    EXPECT_EQ(highlighted(ofClasses), flag == 1) << flag;
    EXPECT_EQ(highlighted(ofClass), flag == 1) << flag;
    EXPECT_EQ(highlighted(ofClassAt), flag == 1) << flag;
  }
}

TEST_F(Pick, HighlightEntityReportsTheOpen) {
  AcDbObjectId a = addLine();
  AcDbEntity* held = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(held, a, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(HighlightEntity(a), Acad::eWasOpenForWrite);
  EXPECT_FALSE(held->isHighlighted());
  held->close();
  EXPECT_EQ(HighlightEntity(a), Acad::eOk);
  EXPECT_TRUE(highlighted(a));
  EXPECT_EQ(NullSubentPath.objectIds().length(), 1);
  EXPECT_TRUE(NullSubentPath.objectIds()[0].isNull());
}
