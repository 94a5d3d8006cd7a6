// Shared fixture: every test gets a fresh host with an empty drawing, a recording user
// interface, and no armed faults.
#pragma once

#include <gtest/gtest.h>

#include "host/acdb.h"
#include "host/aced.h"
#include "testing/faults.h"
#include "host/host.h"
#include "testing/recording_ui.h"

// Appends an entity to db's model space and closes it; the id, or null on failure.
inline AcDbObjectId appendToModelSpace(AcDbDatabase& db, AcDbEntity* entity) {
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  if (space) {
    EXPECT_EQ(space->appendAcDbEntity(id, entity), Acad::eOk);
    space->close();
  }
  entity->close();
  return id;
}

class HostTest : public ::testing::Test {
protected:
  explicit HostTest(const std::string& release = "2011") : host_(ui_, release) { kv::fault::disarmAll(); }
  ~HostTest() override { kv::fault::disarmAll(); }

  AcDbDatabase& db() { return host_.database(); }

  AcDbObjectId append(AcDbEntity* entity) { return appendToModelSpace(db(), entity); }

  AcDbObjectId addLine(double x = 0) { return append(new AcDbLine(AcGePoint3d(x, 0, 0), AcGePoint3d(x + 1, 1, 0))); }

  kv::RecordingUI ui_;
  kv::Host host_;
};
