// The DXF reader on arbitrary bytes. A drawing it accepts must also survive our own writer and
// read back with the same entities: what we read, we can save, and what we save reads back
// to the same drawing (the solids' ACIS data aside, reals up to rounding).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "dxf/dxf.h"
#include "fuzz_input.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"

namespace {

// Entities the writer may leave out by its contract: solids whose shape has no SAT form.
int modellerEntities(AcDbDatabase& db) {
  AcDbBlockTable* table = nullptr;
  kv::fuzz::require(db.getBlockTable(table) == Acad::eOk, "the block table opens");
  int count = 0;
  for (AcDbObjectId record : table->recordIds()) {
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, record, AcDb::kForRead) != Acad::eOk) continue;
    for (AcDbObjectId id : space->entityIds()) {
      AcDbEntity* entity = nullptr;
      if (id.isErased() || acdbOpenObject(entity, id, AcDb::kForRead) != Acad::eOk) continue;
      if (AcDbModelerEntity::cast(entity)) ++count;
      entity->close();
    }
    space->close();
  }
  table->close();
  return count;
}

// The file's pairs, without the ACIS data of solids, bodies and regions: the SAT writer may
// order a shape's records differently after a round trip through the modeller.
std::vector<std::pair<std::string, std::string>> pairsOf(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::string code, value;
  std::size_t pos = 0;
  bool modeller = false;
  auto line = [&](std::string& into) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    into.assign(text, pos, end - pos);
    pos = end + 1;
  };
  while (pos < text.size()) {
    line(code);
    line(value);
    int group = std::atoi(code.c_str());
    if (group == 0) modeller = value == "3DSOLID" || value == "BODY" || value == "REGION";
    if (modeller && (group == 1 || group == 3)) continue;
    out.emplace_back(code, value);
  }
  return out;
}

// Reals may move by rounding (a SOLID's corners go through its coordinate system on each
// read and write); anything else must come back exactly.
bool sameValue(const std::string& a, const std::string& b) {
  if (a == b) return true;
  char *endA = nullptr, *endB = nullptr;
  double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
  if (a.empty() || b.empty() || *endA || *endB) return false;
  return std::abs(x - y) <= 1e-9 * std::max(1.0, std::abs(x));
}

bool sameDrawing(const std::string& a, const std::string& b) {
  auto pa = pairsOf(a), pb = pairsOf(b);
  if (pa.size() != pb.size()) return false;
  for (std::size_t i = 0; i < pa.size(); ++i)
    if (pa[i].first != pb[i].first || !sameValue(pa[i].second, pb[i].second)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kv::RecordingUI ui;
  static kv::Host host(ui);
  static kv::fuzz::TempFile file(".dxf");
  static kv::fuzz::TempFile saved("-saved.dxf");
  static kv::fuzz::TempFile resaved("-resaved.dxf");
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  kv::dxf::ReadReport report;
  Acad::ErrorStatus st = kv::dxf::readDrawing(file.write(data, size), db, error, &report);
  if (st != Acad::eOk) {
    kv::fuzz::require(st == Acad::eBadDxfFile || st == Acad::eDxfReadAborted, "a bad file is a DXF status");
    kv::fuzz::require(!db && !error.empty(), "a refusal leaves no drawing and gives a reason");
    return 0;
  }
  kv::fuzz::require(db != nullptr, "a read makes a drawing");
  kv::fuzz::require(kv::dxf::writeDrawing(*db, saved.path()) == Acad::eOk, "a drawing read can be written");
  std::unique_ptr<AcDbDatabase> again;
  kv::dxf::ReadReport second;
  kv::fuzz::require(kv::dxf::readDrawing(saved.path(), again, error, &second) == Acad::eOk, "what we write reads back");
  kv::fuzz::require(second.entitiesRead <= report.entitiesRead &&
                        second.entitiesRead >= report.entitiesRead - modellerEntities(*db),
                    "every entity read is written");
  kv::fuzz::require(second.unsupported == report.unsupported, "every entity kept is kept again");
  // The writer adds the tables and objects a file lacked; it drops none.
  for (const auto& [type, n] : report.keptObjects)
    kv::fuzz::require(second.keptObjects.count(type) && second.keptObjects.at(type) >= n, "every object kept is kept again");
  // Our own file is a fixed point once the reader has put it in its own order (handles, tables
  // first): a second pass through reader and writer changes nothing.
  kv::fuzz::require(kv::dxf::writeDrawing(*again, saved.path()) == Acad::eOk, "a drawing read back can be written");
  std::unique_ptr<AcDbDatabase> third;
  kv::fuzz::require(kv::dxf::readDrawing(saved.path(), third, error) == Acad::eOk, "what we write reads back");
  kv::fuzz::require(kv::dxf::writeDrawing(*third, resaved.path()) == Acad::eOk, "a drawing read back can be written");
  kv::fuzz::require(sameDrawing(kv::fuzz::slurp(saved.path()), kv::fuzz::slurp(resaved.path())),
                    "our own file reads back unchanged");
  return 0;
}
