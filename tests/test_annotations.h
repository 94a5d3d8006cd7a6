// Shared helpers of the annotation tests: blocks built in a drawing, exploded pieces as plain
// segments, and point comparisons with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "host/acdb.h"
#include "host/annotations.h"

namespace kv::test {

constexpr double kPi = std::numbers::pi;

struct Seg {
  AcGePoint3d a, b;
};

inline std::string show(const AcGePoint3d& p) {
  return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ", " + std::to_string(p.z) + ")";
}

inline ::testing::AssertionResult near(const AcGePoint3d& got, const AcGePoint3d& want, double tol = 1e-9) {
  if (got.distanceTo(want) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << show(got) << " is not " << show(want);
}

inline ::testing::AssertionResult near(const AcGeVector3d& got, const AcGeVector3d& want, double tol = 1e-9) {
  return near(AcGePoint3d(got.x, got.y, got.z), AcGePoint3d(want.x, want.y, want.z), tol);
}

// The pieces of an explode, which must all be lines; the pieces are deleted.
inline std::vector<Seg> takeLines(AcDbVoidPtrArray& pieces) {
  std::vector<Seg> out;
  for (void* p : pieces) {
    auto* e = static_cast<AcDbEntity*>(p);
    auto* line = AcDbLine::cast(e);
    EXPECT_NE(line, nullptr) << e->isA()->name();
    if (line) out.push_back({line->startPoint(), line->endPoint()});
    delete e;
  }
  pieces.removeAll();
  return out;
}

// Segments compared as sets: each wanted one must be found once, in either direction when
// eitherWay; the message names what is missing or left over.
inline ::testing::AssertionResult sameSegments(std::vector<Seg> got, const std::vector<Seg>& want,
                                               double tol = 1e-9, bool eitherWay = false) {
  std::string missing;
  for (const Seg& w : want) {
    auto it = std::find_if(got.begin(), got.end(), [&](const Seg& g) {
      return (g.a.distanceTo(w.a) <= tol && g.b.distanceTo(w.b) <= tol) ||
             (eitherWay && g.a.distanceTo(w.b) <= tol && g.b.distanceTo(w.a) <= tol);
    });
    if (it == got.end()) missing += " " + show(w.a) + "-" + show(w.b);
    else got.erase(it);
  }
  if (missing.empty() && got.empty()) return ::testing::AssertionSuccess();
  std::string extra;
  for (const Seg& g : got) extra += " " + show(g.a) + "-" + show(g.b);
  return ::testing::AssertionFailure() << "missing:" << missing << "; unexpected:" << extra;
}

// A block record named name with origin, holding the entities (each appended and closed).
inline AcDbObjectId addBlock(AcDbDatabase& db, const char* name, const AcGePoint3d& origin,
                             const std::vector<AcDbEntity*>& entities) {
  AcDbBlockTable* table = nullptr;
  EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
  auto* record = new AcDbBlockTableRecord;
  record->setName(name);
  record->setOrigin(origin);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, record), Acad::eOk);
  table->close();
  for (AcDbEntity* e : entities) {
    EXPECT_EQ(record->appendAcDbEntity(e), Acad::eOk);
    e->close();
  }
  record->close();
  return id;
}

}  // namespace kv::test
