// The drawing database's hot paths: appending entities to model space and opening them again.
#include <benchmark/benchmark.h>

#include "host/acdb.h"
#include "host/host.h"
#include "testing/recording_ui.h"

namespace {

void AppendLines(benchmark::State& state) {
  const int n = int(state.range(0));
  for (auto _ : state) {
    kv::RecordingUI ui;
    kv::Host host(ui);
    AcDbBlockTableRecord* space = nullptr;
    acdbOpenObject(space, host.database().modelSpaceId(), AcDb::kForWrite);
    for (int i = 0; i < n; ++i) {
      auto* line = new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 1, 0));
      space->appendAcDbEntity(line);
      line->close();
    }
    space->close();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(AppendLines)->Arg(1000)->Arg(100000);

void OpenCloseForRead(benchmark::State& state) {
  kv::RecordingUI ui;
  kv::Host host(ui);
  AcDbObjectIdArray ids;
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, host.database().modelSpaceId(), AcDb::kForWrite);
  for (int i = 0; i < 10000; ++i) {
    auto* point = new AcDbPoint(AcGePoint3d(i, 0, 0));
    AcDbObjectId id;
    space->appendAcDbEntity(id, point);
    point->close();
    ids.append(id);
  }
  space->close();
  for (auto _ : state) {
    for (const AcDbObjectId& id : ids) {
      AcDbEntity* ent = nullptr;
      if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) == Acad::eOk) ent->close();
    }
  }
  state.SetItemsProcessed(state.iterations() * ids.length());
}
BENCHMARK(OpenCloseForRead);

}  // namespace
