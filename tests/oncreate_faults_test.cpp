// Every entity creator with the host's armable calls failing in turn, any call or one kind of
// call, once and from then on: each entity is in the drawing whole (class, geometry, layer,
// colour) or not at all, a fault costs only the entity it struck, nothing else enters the
// database, every object is closed again and the layer table holds "0" and at most the
// creators' layer. The sanitizer build adds that nothing leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "convert/oncreate.h"
#include "host/host.h"
#include "oncreate_fixture.h"
#include "testing/faults.h"
#include "testing/recording_ui.h"

namespace {

using kv::fault::Call;

// A run that still fires a fault past this many host calls is stuck in a loop.
constexpr int kMaxCalls = 500;
const char kLayer[] = "Swept";

AcCmColor sweptColor() {
  AcCmColor c;
  c.setRGB(200, 100, 50);
  return c;
}

struct Creator {
  const char* name;
  std::vector<std::string> classes;  // what it adds without faults, in order
  std::function<BOOL()> run;
};

void PrintTo(const Creator& c, std::ostream* out) { *out << c.name; }

ON_Mesh twoTriangles() {
  ON_Mesh m;
  for (const ON_3dPoint& p : {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(1, 1, 0), ON_3dPoint(0, 1, 1)})
    m.SetVertex(m.VertexCount(), p);
  m.SetTriangle(0, 0, 1, 2);
  m.SetTriangle(1, 0, 2, 3);
  return m;
}

ON_Polyline square(bool closed) {
  ON_Polyline p;
  for (const ON_3dPoint& q : {ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 1), ON_3dPoint(2, 2, 2), ON_3dPoint(0, 2, 3)})
    p.Append(q);
  if (closed) p.Append(p[0]);
  return p;
}

std::vector<Creator> creators() {
  const ON_Circle circle(ON_Plane(ON_3dPoint(1, 2, 3), ON_3dVector(1, 0, 1)), 2);
  const std::string line = "AcDbLine", point = "AcDbPoint";
  return {
      {"point", {point}, [] { return AddPointFromOnPoint(ON_3dPoint(1, 2, 3), kLayer, sweptColor()); }},
      {"line", {line}, [] { return AddLineFromOnPoints(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3), kLayer, sweptColor()); }},
      {"circle", {"AcDbCircle"}, [=] { return AddCircleFromOnCircle(circle, kLayer, sweptColor()); }},
      {"arc", {"AcDbArc"}, [=] { return AddArcFromOnArc(ON_Arc(circle, ON_Interval(1, 3)), kLayer, sweptColor()); }},
      {"whole arc", {"AcDbCircle"}, [=] { return AddArcFromOnArc(ON_Arc(circle, 2 * ON_PI), kLayer, sweptColor()); }},
      {"open 3D polyline", {"AcDb3dPolyline"},
       [] { return Add3dPolylineFromOnPolyline(square(false), kLayer, sweptColor()); }},
      {"closed 3D polyline", {"AcDb3dPolyline"},
       [] { return Add3dPolylineFromOnPolyline(square(true), kLayer, sweptColor()); }},
      {"fit spline", {"AcDbSpline"},
       [] { return AddSplineFromFitPoints(square(false), kLayer, sweptColor()); }},
      {"NURBS spline", {"AcDbSpline"},
       [] {
         const ON_Polyline p = square(false);
         ON_NurbsCurve cubic;
         cubic.CreateClampedUniformNurbs(3, 4, p.Count(), p.Array());
         return AddEntityFromOnCurve(&cubic, kLayer, sweptColor());
       }},
      {"mesh points", {point, point, point, point},
       [] { return AddVertexPointsFromMesh(twoTriangles(), kLayer, sweptColor()); }},
      {"mesh edges", {line, line, line, line, line},
       [] { return AddEdgeLinesFromMesh(twoTriangles(), kLayer, sweptColor()); }},
  };
}

struct World {
  kv::RecordingUI ui;
  kv::Host host{ui};
};

}  // namespace

class CreatorFaults : public ::testing::TestWithParam<Creator> {
protected:
  CreatorFaults() { kv::fault::disarmAll(); }
  ~CreatorFaults() override {
    world_.reset();
    kv::fault::disarmAll();
  }
  AcDbDatabase& db() { return world_->host.database(); }

  // Runs the creator in a fresh drawing, with whatever arm() sets up.
  void runFresh(const std::function<void()>& arm) {
    world_.reset();  // one host at a time
    world_.emplace();
    objectsBefore_ = db().objectCount();
    kv::fault::disarmAll();
    if (arm) arm();
    answer_ = GetParam().run();
    fired_ = kv::fault::fired();
    log_ = kv::fault::callLog();
    kv::fault::disarmAll();
  }

  std::vector<std::string> layerNames() {
    std::vector<std::string> names;
    AcDbLayerTable* table = nullptr;
    EXPECT_EQ(db().getLayerTable(table, AcDb::kForRead), Acad::eOk);
    if (!table) return names;
    for (const AcDbObjectId& id : table->recordIds()) {
      AcDbLayerTableRecord* r = nullptr;
      EXPECT_EQ(acdbOpenObject(r, id, AcDb::kForRead, true), Acad::eOk);
      if (!r) continue;
      EXPECT_FALSE(r->isErased()) << r->getName();
      names.push_back(r->getName());
      r->close();
    }
    table->close();
    return names;
  }

  // Every object of the drawing can be opened for write: none was left open.
  void expectAllClosed() {
    for (std::uint64_t h = 1; h < db().handseed().value(); ++h) {
      AcDbObjectId id;
      if (db().getAcDbObjectId(id, false, AcDbHandle(h)) != Acad::eOk) continue;
      AcDbObject* obj = nullptr;
      EXPECT_EQ(acdbOpenObject(obj, id, AcDb::kForWrite, true), Acad::eOk) << "handle " << AcDbHandle(h).text();
      if (obj) obj->close();
    }
  }

  // What the drawing holds after a run that fired faults_ faults.
  void checkRun(const std::vector<EntityView>& whole, bool persistent) {
    EXPECT_TRUE(answer_);
    const std::vector<EntityView> got = liveViews(db());
    // Each entity there is one of the whole run's, in the same order.
    std::vector<size_t> matched;
    size_t j = 0;
    for (const EntityView& v : got) {
      while (j < whole.size() && !(whole[j] == v)) ++j;
      EXPECT_LT(j, whole.size()) << "not whole, or out of order: " << v;
      matched.push_back(j++);
    }
    if (fired_ == 0) {
      EXPECT_EQ(got.size(), whole.size());
    } else if (!persistent) {
      EXPECT_EQ(got.size() + 1, whole.size()) << "a fault cost more than its entity";
    }
    for (size_t k = 0; persistent && k < matched.size(); ++k) EXPECT_EQ(matched[k], k) << "a gap before the fault";

    const std::vector<std::string> layers = layerNames();
    const bool made = layers.size() == 2 && layers[1] == kLayer;
    EXPECT_TRUE(layers == std::vector<std::string>{"0"} || made);
    if (!got.empty()) {
      EXPECT_TRUE(made);
    }
    EXPECT_EQ(db().clayer(), db().layerZero());
    // Nothing half-made entered the database: only the entities there, their vertices and the layer.
    int objects = objectsBefore_ + (made ? 1 : 0);
    for (const EntityView& v : got) objects += 1 + v.items;
    EXPECT_EQ(db().objectCount(), objects);
    expectAllClosed();
  }

  std::optional<World> world_;
  int objectsBefore_ = 0;
  BOOL answer_ = FALSE;
  int fired_ = 0;
  std::vector<kv::fault::LoggedCall> log_;
};

TEST_P(CreatorFaults, EachEntityIsWholeOrAbsent) {
  runFresh(nullptr);
  ASSERT_TRUE(answer_);
  const std::vector<EntityView> whole = liveViews(db());
  std::vector<std::string> classes;
  for (const EntityView& v : whole) {
    classes.push_back(v.cls);
    EXPECT_EQ(v.layer, kLayer);
    EXPECT_TRUE(v.colorMethod == AcCmEntityColor::kByColor && v.red == 200 && v.green == 100 && v.blue == 50) << v;
  }
  ASSERT_EQ(classes, GetParam().classes);
  ASSERT_FALSE(log_.empty());

  // Any call, then each kind of call the creator makes.
  std::vector<std::optional<Call>> targets{std::nullopt};
  for (const kv::fault::LoggedCall& c : log_)
    if (std::find(targets.begin(), targets.end(), std::optional<Call>(c.call)) == targets.end())
      targets.emplace_back(c.call);
  int faults = 0;
  for (const std::optional<Call>& target : targets) {
    for (bool persistent : {false, true}) {
      for (int n = 1;; ++n) {
        ASSERT_LE(n, kMaxCalls) << "still failing";
        runFresh([&] {
          if (target) kv::fault::arm(*target, n, kv::fault::kNatural, persistent);
          else kv::fault::armAny(n, kv::fault::kNatural, persistent);
        });
        SCOPED_TRACE((target ? std::string(kv::fault::name(*target)) : std::string("any call")) + " " +
                     std::to_string(n) + (persistent ? " and on" : " once"));
        checkRun(whole, persistent);
        if (fired_ == 0) break;
        faults += fired_;
      }
    }
  }
  EXPECT_GT(faults, 0);
}

INSTANTIATE_TEST_SUITE_P(Creators, CreatorFaults, ::testing::ValuesIn(creators()),
                         [](const ::testing::TestParamInfo<Creator>& param) {
                           std::string name = param.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });
