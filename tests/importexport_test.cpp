// Drawing import and export: one DXF file or the family of them beside a path into the drawing,
// entities to a SAT file and back into model space, and points along curves.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "dbutil/errortext.h"
#include "dbutil/importexport.h"
#include "host/curves.h"
#include "host/entities.h"
#include "host/polylines.h"
#include "host_fixture.h"
#include "modeler/solids.h"
#include "win/crt.h"
#include "test_files.h"

namespace fs = std::filesystem;
using kv::fault::Call;
using std::numbers::pi;

namespace {

// A drawing of one line from (x, 0) to (x + 1, 1), as an R12 file without header.
std::string lineDxf(double x) {
  return "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n" + std::to_string(x) + "\n20\n0\n30\n0\n11\n" +
         std::to_string(x + 1) + "\n21\n1\n31\n0\n0\nENDSEC\n0\nEOF\n";
}

std::vector<AcDbObjectId> modelSpace(AcDbDatabase& db) {
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) return {};
  std::vector<AcDbObjectId> ids;
  for (const AcDbObjectId& id : space->entityIds())
    if (!id.isErased()) ids.push_back(id);
  space->close();
  return ids;
}

// The start x of every line in model space, sorted: which of the files came in.
std::vector<double> lineStarts(AcDbDatabase& db) {
  std::vector<double> xs;
  for (const AcDbObjectId& id : modelSpace(db)) {
    AcDbLine* line = nullptr;
    if (acdbOpenObject(line, id, AcDb::kForRead) != Acad::eOk) continue;
    xs.push_back(line->startPoint().x);
    line->close();
  }
  std::sort(xs.begin(), xs.end());
  return xs;
}

// The family of DXF files beside a path, in a scratch folder; each valid file holds a line
// whose start x tells it apart.
class DxfFiles {
public:
  void line(const std::string& name, double x) { writeFile(dir_ / name, lineDxf(x)); }
  void text(const std::string& name, const std::string& content) { writeFile(dir_ / name, content); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  bool has(const std::string& name) const { return fs::exists(dir_ / name); }
  std::string content(const std::string& name) const { return readFile(dir_ / name); }
  const ScratchFolder& dir() const { return dir_; }

private:
  ScratchFolder dir_;
};

AcDbObjectIdArray idArray(const std::vector<AcDbObjectId>& ids) {
  AcDbObjectIdArray out;
  for (const AcDbObjectId& id : ids) out.append(id);
  return out;
}

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Import2d : public HostTest {
protected:
  DxfFiles files_;
};

TEST_F(Import2d, ImportsTheFilesBesideThePathZoomsAfterEachAndDeletesOnlyThem) {
  files_.line("part1.dxf", 10);
  files_.line("part2.dxf", 20);
  files_.line("other.dxf", 90);
  const std::string other = files_.content("other.dxf");
  // The lines in the drawing at each command: a zoom follows each import.
  std::vector<size_t> linesAtCommand;
  kv::fault::watch(Call::acedCommand, [&] { linesAtCommand.push_back(lineStarts(db()).size()); });
  int count = -1;
  EXPECT_TRUE(Import2dData(files_.path("part.sat").c_str(), count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(lineStarts(db()), (std::vector<double>{10, 20}));
  EXPECT_EQ(linesAtCommand, (std::vector<size_t>{0, 1, 1, 2}));
  EXPECT_FALSE(files_.has("part1.dxf"));
  EXPECT_FALSE(files_.has("part2.dxf"));
  EXPECT_EQ(files_.content("other.dxf"), other);
  EXPECT_TRUE(host_.viewCenter().isEqualTo(AcGePoint3d(15.5, 0.5, 0)));
  EXPECT_EQ(ui_.printed(), "");
}

TEST_F(Import2d, NamesMatchWithoutRegardToCaseAndOnlyDxfFilesCome) {
  files_.line("part1.dxf", 10);
  files_.line("PART3.DXF", 30);
  files_.line("Part2.Dxf", 20);
  files_.line("other.dxf", 90);
  files_.line("part4.dxf.bak", 40);
  files_.line("part5.dx", 50);
  files_.line("apart6.dxf", 60);
  int count = 0;
  EXPECT_TRUE(Import2dData(files_.path("PART.SAT").c_str(), count));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(lineStarts(db()), (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(namesIn(files_.dir().path().string()),
            (std::vector<std::string>{"apart6.dxf", "other.dxf", "part4.dxf.bak", "part5.dx"}));
}

TEST_F(Import2d, AFileThatCannotBeImportedIsKeptAndTheOthersStillCome) {
  files_.line("part1.dxf", 10);
  files_.text("part2.dxf", "not a drawing\n");
  files_.line("part3.dxf", 30);
  files_.line("other.dxf", 90);
  int count = -1;
  EXPECT_FALSE(Import2dData(files_.path("part.sat").c_str(), count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(lineStarts(db()), (std::vector<double>{10, 30}));
  EXPECT_EQ(namesIn(files_.dir().path().string()), (std::vector<std::string>{"other.dxf", "part2.dxf"}));
  EXPECT_EQ(files_.content("part2.dxf"), "not a drawing\n");
  // The message names the file alone and ends without a line break; nothing the valid files
  // bring prints after it.
  const std::string& printed = ui_.printed();
  EXPECT_EQ(occurrences(printed, "Unable to read 2D data from part2.dxf"), 1) << printed;
  EXPECT_EQ(occurrences(printed, "Unable to read 2D data"), 1) << printed;
  EXPECT_TRUE(printed.ends_with("Unable to read 2D data from part2.dxf")) << printed;
  // Two commands for each imported file, one for the refused one: no zoom after a refusal.
  EXPECT_EQ(kv::fault::calls(Call::acedCommand), 5);
}

TEST_F(Import2d, NothingToImportIsReportedAndCountsNothing) {
  files_.line("other.dxf", 90);
  files_.line("part.dxf.bak", 40);
  files_.dir().folder("part9.d");
  for (const std::string& path :
       {files_.path("part.sat"), files_.path("missing/part.sat"), files_.dir().path().string() + "/", files_.path(".sat")}) {
    ui_.clear();
    int count = 7;
    EXPECT_FALSE(Import2dData(path.c_str(), count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ui_.printed(), "Unable to read 2D data\n");
  }
  EXPECT_EQ(kv::fault::calls(Call::acedCommand), 0);
  EXPECT_TRUE(lineStarts(db()).empty());
  EXPECT_EQ(namesIn(files_.dir().path().string()), (std::vector<std::string>{"other.dxf", "part.dxf.bak", "part9.d"}));
}

// A folder too long for the run-time's 256-byte buffer is cut, here right after the name of
// the folder above it: a search there would import and delete that folder's files.
TEST_F(Import2d, APathTooLongForTheRunTimesBuffersSearchesNowhere) {
  const std::string root = files_.dir().path().string();
  ASSERT_LT(root.size(), 200u);
  const std::string above(_MAX_DIR - 1 - root.size() - 2, 'x');  // root/above/ fills the buffer
  const fs::path outer = files_.dir().folder(above);
  const fs::path inner = files_.dir().folder(above + "/y");
  writeFile(outer / "part1.dxf", lineDxf(10));
  writeFile(inner / "part1.dxf", lineDxf(20));
  int count = 3;
  EXPECT_FALSE(Import2dData((inner / "part.sat").c_str(), count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(ui_.printed(), "Unable to read 2D data\n");
  EXPECT_TRUE(fs::exists(outer / "part1.dxf"));
  EXPECT_TRUE(fs::exists(inner / "part1.dxf"));
  EXPECT_TRUE(lineStarts(db()).empty());
}

// Windows names hold no '*' or '?'; here they may, and the search would read them as wildcards.
TEST_F(Import2d, WildcardsInTheFileNameReachOnlyTheFilesNamedSo) {
  files_.line("a?b1.dxf", 10);
  files_.line("A?B2.DXF", 20);
  files_.line("axb1.dxf", 50);
  files_.line("x.dxf", 60);
  int count = 0;
  EXPECT_TRUE(Import2dData(files_.path("a?b.sat").c_str(), count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(lineStarts(db()), (std::vector<double>{10, 20}));
  EXPECT_FALSE(Import2dData(files_.path("*.sat").c_str(), count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(namesIn(files_.dir().path().string()), (std::vector<std::string>{"axb1.dxf", "x.dxf"}));
}

// ---------------------------------------------------------------------------------------------

class ImportOne : public HostTest {
protected:
  DxfFiles files_;
};

TEST_F(ImportOne, ReadsTheFileKeepsItAndZoomsOnlyWhenAsked) {
  files_.line("a.dxf", 40);
  files_.line("b.dxf", 60);
  const AcGePoint3d view = host_.viewCenter();
  EXPECT_TRUE(ImportDxf(files_.path("a.dxf").c_str(), FALSE));
  EXPECT_EQ(lineStarts(db()), std::vector<double>{40});
  EXPECT_TRUE(host_.viewCenter().isEqualTo(view));
  EXPECT_EQ(kv::fault::calls(Call::acedCommand), 1);
  EXPECT_TRUE(ImportDxf(files_.path("b.dxf").c_str(), TRUE));
  EXPECT_EQ(lineStarts(db()), (std::vector<double>{40, 60}));
  EXPECT_TRUE(host_.viewCenter().isEqualTo(AcGePoint3d(50.5, 0.5, 0)));
  EXPECT_TRUE(files_.has("a.dxf") && files_.has("b.dxf"));
  // A zoom that fails changes nothing of the answer.
  kv::fault::arm(Call::acedCommand, 2);
  EXPECT_TRUE(ImportDxf(files_.path("a.dxf").c_str(), TRUE));
  EXPECT_EQ(kv::fault::fired(Call::acedCommand), 1);
  EXPECT_EQ(lineStarts(db()).size(), 3u);
}

TEST_F(ImportOne, ARefusedImportAnswersZeroWithoutZooming) {
  files_.text("bad.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n");
  files_.line("good.dxf", 5);
  for (const std::string& path : {files_.path("missing.dxf"), files_.path("bad.dxf"), files_.path("good.dxf")}) {
    kv::fault::disarmAll();
    if (path == files_.path("good.dxf")) kv::fault::arm(Call::acedCommand, 1);
    EXPECT_FALSE(ImportDxf(path.c_str(), TRUE)) << path;
    EXPECT_EQ(kv::fault::calls(Call::acedCommand), 1) << path;
  }
  EXPECT_TRUE(lineStarts(db()).empty());
}

// ---------------------------------------------------------------------------------------------

// A box of the given sizes with its lowest corner at `at`, in model space.
AcDbObjectId addBox(AcDbDatabase& db, double x, double y, double z, const AcGeVector3d& at) {
  auto* solid = new AcDb3dSolid;
  EXPECT_EQ(solid->createBox(x, y, z), Acad::eOk);
  EXPECT_EQ(solid->transformBy(AcGeMatrix3d::translation(at + AcGeVector3d(x, y, z) * 0.5)), Acad::eOk);
  return appendToModelSpace(db, solid);
}

AcDbObjectId addCylinder(AcDbDatabase& db, double height, double radius, const AcGeVector3d& at) {
  auto* solid = new AcDb3dSolid;
  EXPECT_EQ(solid->createFrustum(height, radius, radius, radius), Acad::eOk);
  EXPECT_EQ(solid->transformBy(AcGeMatrix3d::translation(at)), Acad::eOk);
  return appendToModelSpace(db, solid);
}

AcDbExtents extentsOf(const AcDbObjectId& id) {
  AcDbEntity* e = nullptr;
  AcDbExtents box;
  EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
  if (!e) return box;
  EXPECT_EQ(e->getGeomExtents(box), Acad::eOk);
  e->close();
  return box;
}

// Whether nothing holds the entity open: a write open then succeeds.
bool isClosed(const AcDbObjectId& id) {
  AcDbEntity* e = nullptr;
  if (acdbOpenAcDbEntity(e, id, AcDb::kForWrite) != Acad::eOk) return false;
  e->close();
  return true;
}

class SatFiles : public HostTest {
protected:
  AcDbObjectId addBox(double x, double y, double z, const AcGeVector3d& at) { return ::addBox(db(), x, y, z, at); }
  AcDbObjectId addCylinder(double height, double radius, const AcGeVector3d& at) {
    return ::addCylinder(db(), height, radius, at);
  }
  static std::string classOf(const AcDbObjectId& id) {
    AcDbEntity* e = nullptr;
    if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) return "unopened";
    std::string name = e->isA()->name();
    e->close();
    return name;
  }
  // The entities model space gained since it held `before`.
  std::vector<AcDbObjectId> addedSince(size_t before) {
    std::vector<AcDbObjectId> ids = modelSpace(db());
    return std::vector<AcDbObjectId>(ids.begin() + std::ptrdiff_t(std::min(before, ids.size())), ids.end());
  }
  std::string sat(const std::string& name) const { return (dir_ / name).string(); }

  ScratchFolder dir_;
};

bool sameBox(const AcDbExtents& a, const AcDbExtents& b, double tol = 1e-7) {
  return a.minPoint().distanceTo(b.minPoint()) < tol && a.maxPoint().distanceTo(b.maxPoint()) < tol;
}

// The box around the transformed corners of a box.
AcDbExtents movedBox(const AcDbExtents& box, const AcGeMatrix3d& m) {
  AcDbExtents out;
  const AcGePoint3d& lo = box.minPoint();
  const AcGePoint3d& hi = box.maxPoint();
  for (int i = 0; i < 8; ++i)
    out.addPoint(m * AcGePoint3d(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z));
  return out;
}

TEST_F(SatFiles, RoundTripPutsSolidsWhereTheFileHasThemOrMovedByTheMatrix) {
  const std::vector<AcDbObjectId> solids = {addBox(1, 2, 3, AcGeVector3d(5, 0, 0)),
                                            addCylinder(4, 1, AcGeVector3d(0, 10, -2))};
  LastErrorText = "earlier";
  ASSERT_TRUE(ExportEntitiesToSat(idArray(solids), sat("two.sat").c_str()));
  for (const AcDbObjectId& id : solids) EXPECT_TRUE(isClosed(id));
  // A quarter turn about z through (1, 2, 3), then a move and a uniform scale: boxes stay boxes.
  const AcGeMatrix3d turn = AcGeMatrix3d::rotation(pi / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 2, 3));
  const AcGeMatrix3d moves[] = {AcGeMatrix3d::kIdentity, AcGeMatrix3d::translation(AcGeVector3d(100, -50, 7)) * turn,
                                AcGeMatrix3d::scaling(2.5, AcGePoint3d(3, 3, 3)) * turn};
  for (const AcGeMatrix3d& m : moves) {
    const size_t before = modelSpace(db()).size();
    EXPECT_TRUE(ImportSatFile(sat("two.sat").c_str(), m, FALSE));
    const std::vector<AcDbObjectId> added = addedSince(before);
    ASSERT_EQ(added.size(), solids.size());
    for (size_t i = 0; i < solids.size(); ++i) {
      EXPECT_EQ(classOf(added[i]), "AcDb3dSolid");
      EXPECT_TRUE(sameBox(extentsOf(added[i]), movedBox(extentsOf(solids[i]), m))) << i;
      EXPECT_TRUE(isClosed(added[i]));
    }
  }
  EXPECT_EQ(kv::fault::calls(Call::acedCommand), 0);
  EXPECT_EQ(LastErrorText, "earlier");  // a success never empties it
}

TEST_F(SatFiles, ExportLeavesOutIdsThatCannotBeOpened) {
  const AcDbObjectId first = addBox(1, 1, 1, AcGeVector3d(0, 0, 0));
  const AcDbObjectId erased = addBox(2, 2, 2, AcGeVector3d(10, 0, 0));
  const AcDbObjectId last = addBox(3, 3, 3, AcGeVector3d(20, 0, 0));
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(e, erased, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(e->erase(), Acad::eOk);
  e->close();
  AcDbObjectIdArray ids;
  for (const AcDbObjectId& id : {first, erased, AcDbObjectId(), last, first}) ids.append(id);
  ASSERT_TRUE(ExportEntitiesToSat(ids, sat("some.sat").c_str()));
  const size_t before = modelSpace(db()).size();
  ASSERT_TRUE(ImportSatFile(sat("some.sat").c_str(), AcGeMatrix3d::kIdentity, FALSE));
  const std::vector<AcDbObjectId> added = addedSince(before);
  ASSERT_EQ(added.size(), 3u);
  EXPECT_TRUE(sameBox(extentsOf(added[0]), extentsOf(first)));
  EXPECT_TRUE(sameBox(extentsOf(added[1]), extentsOf(last)));
  EXPECT_TRUE(sameBox(extentsOf(added[2]), extentsOf(first)));
  EXPECT_TRUE(isClosed(first) && isClosed(last));
}

TEST_F(SatFiles, ExportFailuresLeaveTheHostsTextAndCloseWhatWasOpened) {
  const AcDbObjectId box = addBox(1, 1, 1, AcGeVector3d(0, 0, 0));
  const AcDbObjectId line = addLine();
  struct Case {
    std::vector<AcDbObjectId> ids;
    std::string file;
    Acad::ErrorStatus status;
    std::optional<Call> fault;
  };
  const fs::path folder = dir_.folder("a folder.sat");
  writeFile(folder / "inside", "kept");
  const std::string folderState = nodeState(folder.string());
  const Case cases[] = {
      {{box, line}, sat("mixed.sat"), Acad::eInvalidInput, {}},
      {{box}, sat("missing/box.sat"), Acad::eFileAccessErr, {}},
      {{box}, folder.string(), Acad::eFileAccessErr, {}},
      {{box}, sat("armed.sat"), Acad::eFileAccessErr, Call::acisOut},
  };
  for (const Case& c : cases) {
    kv::fault::disarmAll();
    if (c.fault) kv::fault::arm(*c.fault, 1);
    LastErrorText = "";
    EXPECT_FALSE(ExportEntitiesToSat(idArray(c.ids), c.file.c_str())) << c.file;
    EXPECT_EQ(LastErrorText, ErrorStatusText(c.status)) << c.file;
    EXPECT_FALSE(LastErrorText.IsEmpty());
    for (const AcDbObjectId& id : c.ids) EXPECT_TRUE(isClosed(id)) << c.file;
  }
  EXPECT_EQ(nodeState(folder.string()), folderState);
  EXPECT_EQ(readFile(folder / "inside"), "kept");
  EXPECT_FALSE(fs::exists(sat("mixed.sat")));
  EXPECT_FALSE(fs::exists(sat("armed.sat")));
}

TEST_F(SatFiles, ImportFailuresLeaveTheHostsTextAndTheDrawingAsItWas) {
  writeFile(dir_ / "bad.sat", "this is no SAT file\n");
  addLine();
  const size_t before = modelSpace(db()).size();
  const std::pair<std::string, Acad::ErrorStatus> cases[] = {{sat("missing.sat"), Acad::eFileNotFound},
                                                             {sat("bad.sat"), Acad::eCannotRestoreFromAcisFile}};
  for (const auto& [file, status] : cases) {
    LastErrorText = "";
    EXPECT_FALSE(ImportSatFile(file.c_str(), AcGeMatrix3d::kIdentity, TRUE)) << file;
    EXPECT_EQ(LastErrorText, ErrorStatusText(status)) << file;
  }
  EXPECT_EQ(modelSpace(db()).size(), before);
  EXPECT_EQ(kv::fault::calls(Call::acedCommand), 0);  // no zoom after a file that could not be read
}

TEST_F(SatFiles, AFileWithoutBodiesImportsNothingButStillZoomsWhenAsked) {
  ASSERT_TRUE(ExportEntitiesToSat(AcDbObjectIdArray(), sat("empty.sat").c_str()));
  append(new AcDbLine(AcGePoint3d(40, 0, 0), AcGePoint3d(42, 2, 0)));
  for (BOOL zoom : {FALSE, TRUE}) {
    kv::fault::disarmAll();
    LastErrorText = "";
    EXPECT_FALSE(ImportSatFile(sat("empty.sat").c_str(), AcGeMatrix3d::kIdentity, zoom));
    EXPECT_EQ(LastErrorText, "No entites imported");
    EXPECT_EQ(kv::fault::calls(Call::acedCommand), zoom ? 1 : 0);
  }
  EXPECT_TRUE(host_.viewCenter().isEqualTo(AcGePoint3d(41, 1, 0)));
  EXPECT_EQ(modelSpace(db()).size(), 1u);
}

// Model space refusing the first entity: it stays out and is released (the sanitizer's leak
// check sees one that is not); the other still comes and the answer is the file's.
TEST_F(SatFiles, AnEntityModelSpaceRefusesIsReleasedAndTheOthersCome) {
  const AcDbObjectId a = addBox(1, 1, 1, AcGeVector3d(0, 0, 0));
  const AcDbObjectId b = addBox(2, 2, 2, AcGeVector3d(10, 0, 0));
  ASSERT_TRUE(ExportEntitiesToSat(idArray({a, b}), sat("ab.sat").c_str()));
  for (Call call : {Call::appendAcDbEntity, Call::acdbOpenObject}) {
    const size_t before = modelSpace(db()).size();
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_TRUE(ImportSatFile(sat("ab.sat").c_str(), AcGeMatrix3d::kIdentity, FALSE)) << call;
    EXPECT_EQ(kv::fault::fired(call), 1);
    const std::vector<AcDbObjectId> added = addedSince(before);
    ASSERT_EQ(added.size(), 1u) << call;
    EXPECT_TRUE(sameBox(extentsOf(added[0]), extentsOf(b)));
  }
}

// ---------------------------------------------------------------------------------------------
// Every host and file call of an import failing in turn, once and from then on, each run on a
// fresh host: a zoom opens every entity of the drawing, so a drawing that grew from run to run
// would never run out of calls to fail.

struct World {
  kv::RecordingUI ui;
  kv::Host host{ui};
};

// Runs `run(n, persistent)` for n = 1, 2, ... until it fires no fault, once and from then on;
// every call an undisturbed run (n = 0) makes must have been failed in turn.
void sweep(const std::function<int(int, bool)>& run, const std::function<int()>& lastCalls) {
  ASSERT_EQ(run(0, false), 0);
  const int undisturbed = lastCalls();
  ASSERT_GT(undisturbed, 0);
  ::testing::Test::RecordProperty("calls", undisturbed);
  std::printf("%d host and file calls, each failed in turn\n", undisturbed);
  for (bool persistent : {false, true}) {
    int n = 1;
    while (n < 500 && run(n, persistent) > 0) ++n;
    EXPECT_EQ(n - 1, undisturbed) << (persistent ? "from then on" : "once");
  }
}

// No file is lost (each is in the drawing or on the disk as it was), none comes twice, and
// count and answer tell what came.
TEST(Import2dFaults, NoFileIsLostWhateverCallFails) {
  int calls = 0;
  auto run = [&](int n, bool persistent) {
    World world;
    DxfFiles files;
    const std::map<std::string, double> parts = {{"part1.dxf", 10}, {"part2.dxf", 20}};
    std::map<std::string, std::string> content;
    for (const auto& [name, x] : parts) {
      files.line(name, x);
      content[name] = files.content(name);
    }
    files.line("other.dxf", 90);
    const std::string other = files.content("other.dxf");
    kv::fault::disarmAll();
    if (n > 0) kv::fault::armAny(n, kv::fault::kNatural, persistent);
    int count = -1;
    const BOOL ok = Import2dData(files.path("part.sat").c_str(), count);
    const int fired = kv::fault::fired();
    calls = kv::fault::calls();
    kv::fault::disarmAll();
    const std::vector<double> added = lineStarts(world.host.database());
    for (const auto& [name, x] : parts) {
      const auto copies = std::count(added.begin(), added.end(), x);
      EXPECT_LE(copies, 1) << name << " at call " << n;
      if (copies == 0) { EXPECT_TRUE(files.has(name)) << name << " lost at call " << n; }
      if (files.has(name)) { EXPECT_EQ(files.content(name), content.at(name)) << name << " at call " << n; }
    }
    EXPECT_EQ(count, int(added.size())) << n;
    EXPECT_EQ(ok != 0, count == 2) << n;
    EXPECT_EQ(files.content("other.dxf"), other);
    return fired;
  };
  sweep(run, [&] { return calls; });
}

// Each solid of the file is in model space whole (where the matrix puts it, or where the file
// has it when only its move failed) or not at all, none twice, and nothing is left open.
TEST(SatFaults, ImportAddsWholeSolidsOrNone) {
  ScratchFolder dir;
  const std::string file = (dir / "three.sat").string();
  const AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(0, 0, 100));
  std::vector<AcDbExtents> asFiled, moved;
  {
    World world;
    AcDbDatabase& db = world.host.database();
    const std::vector<AcDbObjectId> solids = {addBox(db, 1, 1, 1, AcGeVector3d(0, 0, 0)),
                                              addBox(db, 2, 2, 2, AcGeVector3d(10, 0, 0)),
                                              addCylinder(db, 3, 1, AcGeVector3d(0, 20, 0))};
    ASSERT_TRUE(ExportEntitiesToSat(idArray(solids), file.c_str()));
    for (const AcDbObjectId& id : solids) {
      asFiled.push_back(extentsOf(id));
      moved.push_back(movedBox(asFiled.back(), m));
    }
  }
  int calls = 0;
  auto run = [&](int n, bool persistent) {
    World world;
    kv::fault::disarmAll();
    if (n > 0) kv::fault::armAny(n, kv::fault::kNatural, persistent);
    const BOOL ok = ImportSatFile(file.c_str(), m, TRUE);
    const int fired = kv::fault::fired();
    calls = kv::fault::calls();
    kv::fault::disarmAll();
    const std::vector<AcDbObjectId> added = modelSpace(world.host.database());
    std::vector<bool> seen(asFiled.size(), false);
    for (const AcDbObjectId& id : added) {
      const AcDbExtents box = extentsOf(id);
      bool matched = false;
      for (size_t i = 0; i < asFiled.size() && !matched; ++i)
        if (!seen[i] && (sameBox(box, moved[i]) || (fired && sameBox(box, asFiled[i])))) matched = seen[i] = true;
      EXPECT_TRUE(matched) << "call " << n << (persistent ? " on" : " once");
      EXPECT_TRUE(isClosed(id));
    }
    if (!ok) { EXPECT_TRUE(added.empty()) << n; }
    if (fired == 0) { EXPECT_TRUE(ok && added.size() == asFiled.size()); }
    return fired;
  };
  sweep(run, [&] { return calls; });
}

// ---------------------------------------------------------------------------------------------
// Points along curves.

double distanceToSegment(const AcGePoint3d& p, const AcGePoint3d& a, const AcGePoint3d& b) {
  const AcGeVector3d ab = b - a;
  const double t = std::clamp((p - a).dotProduct(ab) / ab.lengthSqrd(), 0.0, 1.0);
  return p.distanceTo(a + ab * t);
}

TEST(SampleCurve, LinesGiveTheStepsAndTheEndOnceAfterWhatTheArrayHeld) {
  const AcGePoint3d kept(-1, -1, -1);
  struct Case {
    double length, step;
    std::vector<double> at;
  };
  const Case cases[] = {{10, 3, {0, 3, 6, 9, 10}}, {9, 3, {0, 3, 6, 9}},  {10, 20, {0, 10}},
                        {10, 10, {0, 10}},         {10, 2.5, {0, 2.5, 5, 7.5, 10}}};
  const AcGeVector3d dir(0, 1, 0);
  const AcGePoint3d start(1, 2, 3);
  for (const Case& c : cases) {
    AcDbLine line(start, start + dir * c.length);
    AcGePoint3dArray points;
    points.append(kept);
    ASSERT_TRUE(SampleCurve(&line, c.step, points)) << c.length << " by " << c.step;
    ASSERT_EQ(points.length(), int(c.at.size()) + 1) << c.length << " by " << c.step;
    EXPECT_EQ(points[0], kept);
    for (size_t i = 0; i < c.at.size(); ++i)
      EXPECT_LT(points[int(i) + 1].distanceTo(start + dir * c.at[i]), 1e-12) << c.length << " point " << i;
  }
}

TEST(SampleCurve, ArcsAndCirclesAreSampledEvenlyOnTheirCircle) {
  // A quarter arc of radius 2 is pi long: step 0.5 is a quarter radian; the last step is short.
  const AcGePoint3d c(1, 1, 0);
  AcDbArc arc(c, 2, 0, pi / 2);
  AcGePoint3dArray points;
  ASSERT_TRUE(SampleCurve(&arc, 0.5, points));
  ASSERT_EQ(points.length(), 8);
  for (int k = 0; k < 7; ++k)
    EXPECT_LT(points[k].distanceTo(c + AcGeVector3d(std::cos(0.25 * k), std::sin(0.25 * k), 0) * 2), 1e-12) << k;
  EXPECT_LT(points[7].distanceTo(AcGePoint3d(1, 3, 0)), 1e-12);

  // An arc across the x axis, from 350 to 10 degrees.
  AcDbArc across(c, 1, 350 * pi / 180, 10 * pi / 180);
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&across, 0.1, points));
  ASSERT_EQ(points.length(), 5);  // 20 degrees is 0.349 long
  AcGePoint3d end;
  across.getEndPoint(end);
  EXPECT_LT(points[4].distanceTo(end), 1e-12);
  for (int k = 0; k < 4; ++k) {
    const double angle = -10 * pi / 180 + 0.1 * k;
    EXPECT_LT(points[k].distanceTo(c + AcGeVector3d(std::cos(angle), std::sin(angle), 0)), 1e-12) << k;
  }

  // A tilted circle: every point on it, one radian apart, and the end (its start) once at the end.
  const AcGeVector3d normal = AcGeVector3d(1, 1, 1).normal();
  const AcGePoint3d centre(0, 0, 5);
  AcDbCircle circle(centre, normal, 1.5);
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&circle, 1.5, points));
  ASSERT_EQ(points.length(), 8);  // angles 0 to 6, then 2 pi
  for (int k = 0; k < 8; ++k) {
    EXPECT_NEAR(points[k].distanceTo(centre), 1.5, 1e-12) << k;
    EXPECT_NEAR((points[k] - centre).dotProduct(normal), 0, 1e-12) << k;
  }
  for (int k = 0; k + 2 < 8; ++k) EXPECT_NEAR(points[k].distanceTo(points[k + 1]), 2 * 1.5 * std::sin(0.5), 1e-12) << k;
  EXPECT_LT(points[7].distanceTo(points[0]), 1e-12);
  EXPECT_GT(points[6].distanceTo(points[7]), 0.1);
}

// Checks what every sampling gives: the curve's start first, its end last and once, each
// point in between on the curve (`onCurve`), neighbours about `step` apart along it.
void expectSampled(const AcDbCurve& curve, double step, const AcGePoint3dArray& points,
                   const std::function<double(const AcGePoint3d&)>& offCurve, double low, double high) {
  AcGePoint3d start, end;
  ASSERT_EQ(curve.getStartPoint(start), Acad::eOk);
  ASSERT_EQ(curve.getEndPoint(end), Acad::eOk);
  ASSERT_GE(points.length(), 2);
  EXPECT_LT(points[0].distanceTo(start), 1e-12);
  EXPECT_LT(points.last().distanceTo(end), 1e-12);
  EXPECT_GT(points[points.length() - 2].distanceTo(end), 1e-9);
  for (const AcGePoint3d& p : points) EXPECT_LT(offCurve(p), 1e-9) << p.x << " " << p.y << " " << p.z;
  for (int k = 0; k + 2 < points.length(); ++k) {
    const double gap = points[k].distanceTo(points[k + 1]);
    EXPECT_TRUE(gap > low * step && gap < high * step) << "gap " << k << ": " << gap;
  }
}

TEST(SampleCurve, EllipsesSplinesAndPolylinesKeepToTheCurve) {
  // An ellipse 8 by 4: its parameter runs twice as fast near the ends of the minor axis, so the
  // steps along it range between 2/3 and 4/3 of the one asked for.
  AcDbEllipse ellipse(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, AcGeVector3d(4, 0, 0), 0.5);
  auto offEllipse = [](const AcGePoint3d& p) {
    return std::abs(std::hypot(p.x / 4, p.y / 2) - 1) + std::abs(p.z);
  };
  AcGePoint3dArray points;
  ASSERT_TRUE(SampleCurve(&ellipse, 0.7, points));
  double length = 0;
  ellipse.getDistAtParam(2 * pi, length);
  EXPECT_EQ(points.length(), int(std::ceil(length / 0.7)) + 1);
  expectSampled(ellipse, 0.7, points, offEllipse, 0.6, 1.35);
  // Half of it, from the minor axis on.
  AcDbEllipse half(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, AcGeVector3d(4, 0, 0), 0.5, pi / 2, 3 * pi / 2);
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&half, 0.5, points));
  expectSampled(half, 0.5, points, offEllipse, 0.6, 1.35);

  // A spline: its parameter follows the chords between the fit points, not the length, and
  // step turns into parameter by their ratio.
  AcGePoint3dArray fit;
  for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0), AcGePoint3d(6, 0, 1), AcGePoint3d(9, 4, 2)})
    fit.append(p);
  AcDbSpline spline(fit);
  double t0 = 0, t1 = 0, splineLength = 0;
  spline.getStartParam(t0);
  spline.getEndParam(t1);
  spline.getDistAtParam(t1, splineLength);
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&spline, 1, points));
  ASSERT_EQ(points.length(), int(std::ceil(splineLength)) + 1);
  for (int k = 0; k + 1 < points.length(); ++k) {
    AcGePoint3d expected;
    ASSERT_EQ(spline.getPointAtParam(t0 + k * (t1 - t0) / splineLength, expected), Acad::eOk);
    EXPECT_LT(points[k].distanceTo(expected), 1e-9) << k;
  }
  expectSampled(spline, 1, points, [](const AcGePoint3d&) { return 0.0; }, 0.5, 1.5);

  // A polyline of a 3-long and a 5-long segment: parameter 0 to 2, one step an eighth of its
  // length, so the first segment gets its points 0.75 apart and the second 1.25 apart.
  AcDbPolyline polyline;
  for (const AcGePoint2d& p : {AcGePoint2d(0, 0), AcGePoint2d(3, 0), AcGePoint2d(3, 5)})
    polyline.addVertexAt(polyline.numVerts(), p);
  auto offPolyline = [](const AcGePoint3d& p) {
    return std::min(distanceToSegment(p, {0, 0, 0}, {3, 0, 0}), distanceToSegment(p, {3, 0, 0}, {3, 5, 0}));
  };
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&polyline, 1, points));
  EXPECT_EQ(points.length(), 9);
  expectSampled(polyline, 1, points, offPolyline, 0.74, 1.26);
  EXPECT_LT(points[1].distanceTo(AcGePoint3d(0.75, 0, 0)), 1e-12);
  EXPECT_LT(points[5].distanceTo(AcGePoint3d(3, 1.25, 0)), 1e-12);

  // A 3D polyline that closes: the end is the start, once more at the end.
  AcGePoint3dArray corners;
  for (const AcGePoint3d& p : {AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(2, 2, 2)}) corners.append(p);
  AcDb3dPolyline closed(AcDb::k3dSimplePoly, corners, true);
  points = AcGePoint3dArray();
  ASSERT_TRUE(SampleCurve(&closed, 0.5, points));
  auto offTriangle = [&](const AcGePoint3d& p) {
    return std::min({distanceToSegment(p, corners[0], corners[1]), distanceToSegment(p, corners[1], corners[2]),
                     distanceToSegment(p, corners[2], corners[0])});
  };
  EXPECT_LT(points.last().distanceTo(corners[0]), 1e-12);
  for (const AcGePoint3d& p : points) EXPECT_LT(offTriangle(p), 1e-12);
}

TEST(SampleCurve, StepsThatCannotBeTakenAndCurvesWithoutLengthAddNoPoint) {
  const AcGePoint3d kept(7, 7, 7);
  auto refused = [&](AcDbCurve* curve, double step) {
    AcGePoint3dArray points;
    points.append(kept);
    const BOOL ok = SampleCurve(curve, step, points);
    return !ok && points.length() == 1 && points[0] == kept;
  };
  AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
  const double inf = std::numeric_limits<double>::infinity();
  for (double step : {0.0, -0.0, -3.0, std::nan(""), inf, -inf, 1e-300, 10.0 / 3e9})
    EXPECT_TRUE(refused(&line, step)) << step;
  EXPECT_FALSE(refused(&line, 10.0 / 1e6));  // a million points are fine

  AcDbLine point(AcGePoint3d(1, 1, 1), AcGePoint3d(1, 1, 1));
  AcDbArc noSweep(AcGePoint3d(0, 0, 0), 1, 1, 1);
  AcDbCircle noRadius(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 0);
  AcDbPolyline oneVertex;
  oneVertex.addVertexAt(0, AcGePoint2d(1, 1));
  AcDbSpline noData;
  AcDbRay ray;
  AcDbXline xline;
  for (AcDbCurve* curve : std::vector<AcDbCurve*>{&point, &noSweep, &noRadius, &oneVertex, &noData, &ray, &xline})
    EXPECT_TRUE(refused(curve, 1)) << curve->isA()->name();
  EXPECT_TRUE(refused(nullptr, 1));
}

}  // namespace
