// Writing: the drawing's tables and entities with their own handles, framed by what a full
// R2004 reader expects (the other tables, block definitions of the layouts, the root
// dictionary with groups, layouts and plot styles) under handles from the handseed up.
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dxf/dxf.h"
#include "host/access.h"
#include "dxf/dxf_entities.h"
#include "dxf/dxf_tags.h"
#include "core/files.h"
#include "host/stub.h"

namespace kv::dxf {
namespace {

// The saved drawing is read straight from the database, not through the open protocol: the
// host saves objects whatever their open state, and a save must not count as a host call
// that a fault sweep could fail.
const AcDbObject* live(AcDbObjectId id) {
  AcDbStub* s = kv::HostAccess::stub(id);
  return s && s->object && !s->erased ? s->object : nullptr;
}

template <class T>
const T* liveAs(AcDbObjectId id) {
  return T::cast(live(id));
}

struct BlockOut {
  const AcDbBlockTableRecord* record = nullptr;  // null for a layout block the database lacks
  std::string name;
  std::uint64_t handle = 0, layout = 0, begin = 0, end = 0;
  bool paper = false;
};

class DrawingWriter {
public:
  explicit DrawingWriter(AcDbDatabase& db) : db_(db), next_(std::max<std::uint64_t>(db.handseed().value(), 1)) {}
  std::string write();

private:
  std::uint64_t fresh() { return next_++; }
  std::uint64_t handleOr(AcDbObjectId id) { return live(id) ? id.handle().value() : fresh(); }
  void plan();
  void header(TagWriter& w);
  void classes();
  void tables();
  template <class Records>
  void table(const char* name, std::uint64_t handle, int count, Records&& writeRecords);
  void recordHead(const char* type, std::uint64_t handle, std::uint64_t owner, const char* subclass,
                  std::string_view name, int flags = 0, int handleCode = 5);
  void vportTable();
  void linetypeTable();
  void layerTable();
  void layerRecord(const AcDbLayerTableRecord& layer);
  void styleTable();
  void viewTable();
  void ucsTable();
  void appidTable();
  void dimstyleTable();
  void blockRecordTable();
  template <class Record>
  std::vector<const Record*> records(AcDbObjectId tableId);
  void blocks();
  void entities();
  void entityList(const AcDbBlockTableRecord* record, bool paper);
  void objects();
  void layout(std::uint64_t handle, const char* name, int tab, std::uint64_t block, bool model);

  AcDbDatabase& db_;
  std::uint64_t next_;
  TagWriter w_;
  std::vector<BlockOut> blocks_;
  std::uint64_t vportTable_ = 0, ltypeTable_ = 0, layerTable_ = 0, styleTable_ = 0, viewTable_ = 0, ucsTable_ = 0,
                appidTable_ = 0, dimstyleTable_ = 0, blockTable_ = 0;
  std::uint64_t vportActive_ = 0, styleStandard_ = 0, appidAcad_ = 0, dimstyleStandard_ = 0;
  std::uint64_t rootDict_ = 0, groupDict_ = 0, layoutDict_ = 0, plotSettingsDict_ = 0, plotStyleDict_ = 0,
                plotStyleNormal_ = 0;
  const BlockOut* model_ = nullptr;
  const BlockOut* paper_ = nullptr;
};

template <class Record>
std::vector<const Record*> DrawingWriter::records(AcDbObjectId tableId) {
  std::vector<const Record*> out;
  if (const auto* table = liveAs<AcDbSymbolTable>(tableId))
    for (AcDbObjectId id : table->recordIds())
      if (const Record* r = liveAs<Record>(id)) out.push_back(r);
  return out;
}

// Every handle a forward reference needs is fixed before any section is written.
void DrawingWriter::plan() {
  vportTable_ = fresh();
  ltypeTable_ = handleOr(db_.linetypeTableId());
  layerTable_ = handleOr(db_.layerTableId());
  styleTable_ = fresh();
  viewTable_ = fresh();
  ucsTable_ = fresh();
  appidTable_ = fresh();
  dimstyleTable_ = fresh();
  blockTable_ = handleOr(db_.blockTableId());
  vportActive_ = fresh();
  styleStandard_ = fresh();
  appidAcad_ = fresh();
  dimstyleStandard_ = fresh();
  rootDict_ = fresh();
  groupDict_ = fresh();
  layoutDict_ = fresh();
  plotSettingsDict_ = fresh();
  plotStyleDict_ = fresh();
  plotStyleNormal_ = fresh();

  for (const AcDbBlockTableRecord* r : records<AcDbBlockTableRecord>(db_.blockTableId())) {
    BlockOut b;
    b.record = r;
    b.name = r->getName();
    b.handle = r->handle().value();
    blocks_.push_back(b);
  }
  for (const char* name : {ACDB_MODEL_SPACE, ACDB_PAPER_SPACE}) {
    bool found = false;
    for (const BlockOut& b : blocks_) found = found || strcasecmp(b.name.c_str(), name) == 0;
    if (found) continue;
    BlockOut b;
    b.name = name;
    b.handle = fresh();
    blocks_.insert(blocks_.begin() + (name == std::string(ACDB_MODEL_SPACE) ? 0 : 1), b);
  }
  for (BlockOut& b : blocks_) {
    b.begin = fresh();
    b.end = fresh();
    if (strcasecmp(b.name.c_str(), ACDB_MODEL_SPACE) == 0 && !model_) {
      b.layout = fresh();
      model_ = &b;
    } else if (strcasecmp(b.name.c_str(), ACDB_PAPER_SPACE) == 0 && !paper_) {
      b.layout = fresh();
      b.paper = true;
      paper_ = &b;
    }
  }
}

std::string DrawingWriter::write() {
  Codepage page = writingCodepage("AC1018", kv::HostAccess::codepage(db_));
  w_.setCodepage(page);
  plan();
  classes();
  tables();
  blocks();
  entities();
  objects();
  w_.str(0, "EOF");
  // The header comes last because $HANDSEED must lie above every handle given out.
  TagWriter head;
  head.setCodepage(page);
  header(head);
  return head.text() + w_.text();
}

void DrawingWriter::header(TagWriter& w) {
  w.str(0, "SECTION");
  w.str(2, "HEADER");
  w.str(9, "$ACADVER");
  w.str(1, "AC1018");
  w.str(9, "$ACADMAINTVER");
  w.integer(70, 0);
  w.str(9, "$DWGCODEPAGE");
  w.str(3, w.codepage().name());
  w.str(9, "$INSBASE");
  w.point(10, AcGePoint3d());
  // Unknown extents, as a host writes for a drawing it has not regenerated.
  w.str(9, "$EXTMIN");
  w.point(10, AcGePoint3d(1e20, 1e20, 1e20));
  w.str(9, "$EXTMAX");
  w.point(10, AcGePoint3d(-1e20, -1e20, -1e20));
  w.str(9, "$LIMMIN");
  w.real(10, 0);
  w.real(20, 0);
  w.str(9, "$LIMMAX");
  w.real(10, 420);
  w.real(20, 297);
  w.str(9, "$CLAYER");
  const auto* clayer = liveAs<AcDbLayerTableRecord>(db_.clayer());
  w.str(8, clayer ? clayer->getName() : "0");
  w.str(9, "$CELTYPE");
  w.str(6, "ByLayer");
  w.str(9, "$CECOLOR");
  w.integer(62, 256);
  w.str(9, "$HANDSEED");
  w.handle(5, next_);
  w.str(9, "$TILEMODE");
  w.integer(70, 1);
  w.str(9, "$MEASUREMENT");
  w.integer(70, 1);
  w.str(9, "$INSUNITS");
  w.integer(70, 4);
  w.str(9, "$PSTYLEMODE");
  w.integer(290, 1);
  w.str(9, "$EXTNAMES");
  w.integer(290, 1);
  w.str(0, "ENDSEC");
}

void DrawingWriter::classes() {
  w_.str(0, "SECTION");
  w_.str(2, "CLASSES");
  struct Cls {
    const char *dxf, *cpp;
    int count;
  };
  for (const Cls& c : {Cls{"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", 1},
                       Cls{"ACDBPLACEHOLDER", "AcDbPlaceHolder", 1}, Cls{"LAYOUT", "AcDbLayout", 2}}) {
    w_.str(0, "CLASS");
    w_.str(1, c.dxf);
    w_.str(2, c.cpp);
    w_.str(3, "ObjectDBX Classes");
    w_.integer(90, 0);
    w_.integer(91, c.count);
    w_.integer(280, 0);
    w_.integer(281, 0);
  }
  w_.str(0, "ENDSEC");
}

// Every table has the same frame around its records.
template <class Records>
void DrawingWriter::table(const char* name, std::uint64_t handle, int count, Records&& writeRecords) {
  w_.str(0, "TABLE");
  w_.str(2, name);
  w_.handle(5, handle);
  w_.handle(330, 0);
  w_.str(100, "AcDbSymbolTable");
  w_.integer(70, count);
  writeRecords();
  w_.str(0, "ENDTAB");
}

void DrawingWriter::recordHead(const char* type, std::uint64_t handle, std::uint64_t owner, const char* subclass,
                               std::string_view name, int flags, int handleCode) {
  w_.str(0, type);
  w_.handle(handleCode, handle);
  w_.handle(330, owner);
  w_.str(100, "AcDbSymbolTableRecord");
  w_.str(100, subclass);
  w_.str(2, name);
  w_.integer(70, flags);
}

void DrawingWriter::tables() {
  w_.str(0, "SECTION");
  w_.str(2, "TABLES");
  vportTable();
  linetypeTable();
  layerTable();
  styleTable();
  viewTable();
  ucsTable();
  appidTable();
  dimstyleTable();
  blockRecordTable();
  w_.str(0, "ENDSEC");
}

void DrawingWriter::vportTable() {
  table("VPORT", vportTable_, 1, [this] {
    recordHead("VPORT", vportActive_, vportTable_, "AcDbViewportTableRecord", "*Active");
    w_.real(10, 0);
    w_.real(20, 0);
    w_.real(11, 1);
    w_.real(21, 1);
    w_.real(12, 0);
    w_.real(22, 0);
    w_.real(13, 0);
    w_.real(23, 0);
    w_.real(14, 0.5);
    w_.real(24, 0.5);
    w_.real(15, 0.5);
    w_.real(25, 0.5);
    w_.point(16, AcGePoint3d(0, 0, 1));
    w_.point(17, AcGePoint3d());
    w_.real(40, 10);
    w_.real(41, 1.34);
    w_.real(42, 50);
    w_.real(43, 0);
    w_.real(44, 0);
    w_.real(50, 0);
    w_.real(51, 0);
    w_.integer(71, 0);
    w_.integer(72, 1000);
    w_.integer(73, 1);
    w_.integer(74, 3);
    for (int code : {75, 76, 77, 78, 281}) w_.integer(code, 0);
    w_.integer(65, 1);
  });
}

void DrawingWriter::linetypeTable() {
  auto linetypes = records<AcDbLinetypeTableRecord>(db_.linetypeTableId());
  table("LTYPE", ltypeTable_, int(linetypes.size()), [&] {
    for (const AcDbLinetypeTableRecord* lt : linetypes) {
      recordHead("LTYPE", lt->handle().value(), ltypeTable_, "AcDbLinetypeTableRecord", lt->getName());
      w_.str(3, lt->comments());
      w_.integer(72, 65);
      w_.integer(73, 0);  // the host keeps no dash pattern
      w_.real(40, 0);
    }
  });
}

void DrawingWriter::layerTable() {
  auto layers = records<AcDbLayerTableRecord>(db_.layerTableId());
  table("LAYER", layerTable_, int(layers.size()), [&] {
    for (const AcDbLayerTableRecord* layer : layers) layerRecord(*layer);
  });
}

void DrawingWriter::layerRecord(const AcDbLayerTableRecord& layer) {
  recordHead("LAYER", layer.handle().value(), layerTable_, "AcDbLayerTableRecord", layer.getName(),
             (layer.isFrozen() ? 1 : 0) | (layer.isLocked() ? 4 : 0));
  AcCmColor color = layer.color();
  int index = color.colorIndex();
  if (index < 1 || index > 255) index = 7;
  w_.integer(62, layer.isOff() ? -index : index);
  if (color.isByColor()) w_.integer(420, packTrueColor(color));
  const auto* lt = liveAs<AcDbLinetypeTableRecord>(layer.linetypeObjectId());
  w_.str(6, lt ? lt->getName() : "Continuous");
  w_.integer(370, -3);
  w_.handle(390, plotStyleNormal_);
}

void DrawingWriter::styleTable() {
  table("STYLE", styleTable_, 1, [this] {
    recordHead("STYLE", styleStandard_, styleTable_, "AcDbTextStyleTableRecord", "Standard");
    w_.real(40, 0);
    w_.real(41, 1);
    w_.real(50, 0);
    w_.integer(71, 0);
    w_.real(42, 2.5);
    w_.str(3, "txt");
    w_.str(4, "");
  });
}

// The host keeps no named views nor user coordinate systems: their tables stay empty.
void DrawingWriter::viewTable() {
  table("VIEW", viewTable_, 0, [] {});
}

void DrawingWriter::ucsTable() {
  table("UCS", ucsTable_, 0, [] {});
}

void DrawingWriter::appidTable() {
  table("APPID", appidTable_, 1,
        [this] { recordHead("APPID", appidAcad_, appidTable_, "AcDbRegAppTableRecord", "ACAD"); });
}

void DrawingWriter::dimstyleTable() {
  table("DIMSTYLE", dimstyleTable_, 1, [this] {
    w_.str(100, "AcDbDimStyleTable");
    recordHead("DIMSTYLE", dimstyleStandard_, dimstyleTable_, "AcDbDimStyleTableRecord", "Standard", 0, 105);
    w_.handle(340, styleStandard_);
  });
}

void DrawingWriter::blockRecordTable() {
  table("BLOCK_RECORD", blockTable_, int(blocks_.size()), [this] {
    for (const BlockOut& b : blocks_) {
      w_.str(0, "BLOCK_RECORD");
      w_.handle(5, b.handle);
      w_.handle(330, blockTable_);
      w_.str(100, "AcDbSymbolTableRecord");
      w_.str(100, "AcDbBlockTableRecord");
      w_.str(2, b.name);
      if (b.layout) w_.handle(340, b.layout);
      w_.integer(70, 0);
      w_.integer(280, 1);
      w_.integer(281, 0);
    }
  });
}

void DrawingWriter::blocks() {
  w_.str(0, "SECTION");
  w_.str(2, "BLOCKS");
  for (const BlockOut& b : blocks_) {
    w_.str(0, "BLOCK");
    w_.handle(5, b.begin);
    w_.handle(330, b.handle);
    w_.str(100, "AcDbEntity");
    if (b.paper) w_.integer(67, 1);
    w_.str(8, "0");
    w_.str(100, "AcDbBlockBegin");
    w_.str(2, b.name);
    w_.integer(70, 0);
    w_.point(10, b.record ? b.record->origin() : AcGePoint3d());
    w_.str(3, b.name);
    w_.str(1, "");
    // Layout entities live in ENTITIES; other blocks keep theirs inside the definition.
    if (&b != model_ && &b != paper_) entityList(b.record, false);
    w_.str(0, "ENDBLK");
    w_.handle(5, b.end);
    w_.handle(330, b.handle);
    w_.str(100, "AcDbEntity");
    if (b.paper) w_.integer(67, 1);
    w_.str(8, "0");
    w_.str(100, "AcDbBlockEnd");
  }
  w_.str(0, "ENDSEC");
}

void DrawingWriter::entityList(const AcDbBlockTableRecord* record, bool paper) {
  if (!record) return;
  EntityOut out(w_, next_, paper);
  for (AcDbObjectId id : record->entityIds()) {
    const auto* e = liveAs<AcDbEntity>(id);
    if (!e) continue;
    // A type without a codec is left out rather than written as something it is not.
    if (const EntityCodec* codec = codecForClass(e->isA())) codec->write(out, *e);
  }
}

void DrawingWriter::entities() {
  w_.str(0, "SECTION");
  w_.str(2, "ENTITIES");
  if (model_) entityList(model_->record, false);
  if (paper_) entityList(paper_->record, true);
  w_.str(0, "ENDSEC");
}

void DrawingWriter::layout(std::uint64_t handle, const char* name, int tab, std::uint64_t block, bool model) {
  w_.str(0, "LAYOUT");
  w_.handle(5, handle);
  w_.handle(330, layoutDict_);
  w_.str(100, "AcDbPlotSettings");
  w_.str(1, "");
  w_.str(2, "none_device");
  w_.str(4, "");
  w_.str(6, "");
  for (int code : {40, 41, 42, 43}) w_.real(code, 7.5);
  w_.real(44, 420);
  w_.real(45, 297);
  for (int code : {46, 47, 48, 49, 140, 141}) w_.real(code, 0);
  w_.real(142, 1);
  w_.real(143, 1);
  w_.integer(70, model ? 1024 : 0);
  w_.integer(72, 1);
  w_.integer(73, 0);
  w_.integer(74, 5);
  w_.str(7, "");
  w_.integer(75, 16);
  w_.integer(76, 0);
  w_.integer(77, 2);
  w_.integer(78, 300);
  w_.real(147, 1);
  w_.real(148, 0);
  w_.real(149, 0);
  w_.str(100, "AcDbLayout");
  w_.str(1, name);
  w_.integer(70, 1);
  w_.integer(71, tab);
  w_.real(10, 0);
  w_.real(20, 0);
  w_.real(11, 420);
  w_.real(21, 297);
  w_.point(12, AcGePoint3d());
  w_.point(14, AcGePoint3d(1e20, 1e20, 1e20));
  w_.point(15, AcGePoint3d(-1e20, -1e20, -1e20));
  w_.real(146, 0);
  w_.point(13, AcGePoint3d());
  w_.point(16, AcGePoint3d(1, 0, 0));
  w_.point(17, AcGePoint3d(0, 1, 0));
  w_.integer(76, 0);
  w_.handle(330, block);
}

void DrawingWriter::objects() {
  w_.str(0, "SECTION");
  w_.str(2, "OBJECTS");
  auto dictionary = [&](std::uint64_t handle, std::uint64_t owner) {
    w_.str(0, "DICTIONARY");
    w_.handle(5, handle);
    w_.handle(330, owner);
    w_.str(100, "AcDbDictionary");
    w_.integer(281, 1);
  };
  dictionary(rootDict_, 0);
  w_.str(3, "ACAD_GROUP");
  w_.handle(350, groupDict_);
  w_.str(3, "ACAD_LAYOUT");
  w_.handle(350, layoutDict_);
  w_.str(3, "ACAD_PLOTSETTINGS");
  w_.handle(350, plotSettingsDict_);
  w_.str(3, "ACAD_PLOTSTYLENAME");
  w_.handle(350, plotStyleDict_);
  dictionary(groupDict_, rootDict_);
  dictionary(layoutDict_, rootDict_);
  if (model_) {
    w_.str(3, "Model");
    w_.handle(350, model_->layout);
  }
  if (paper_) {
    w_.str(3, "Layout1");
    w_.handle(350, paper_->layout);
  }
  dictionary(plotSettingsDict_, rootDict_);
  w_.str(0, "ACDBDICTIONARYWDFLT");
  w_.handle(5, plotStyleDict_);
  w_.handle(330, rootDict_);
  w_.str(100, "AcDbDictionary");
  w_.integer(281, 1);
  w_.str(3, "Normal");
  w_.handle(350, plotStyleNormal_);
  w_.str(100, "AcDbDictionaryWithDefault");
  w_.handle(340, plotStyleNormal_);
  w_.str(0, "ACDBPLACEHOLDER");
  w_.handle(5, plotStyleNormal_);
  w_.handle(330, plotStyleDict_);
  if (model_) layout(model_->layout, "Model", 0, model_->handle, true);
  if (paper_) layout(paper_->layout, "Layout1", 1, paper_->handle, false);
  w_.str(0, "ENDSEC");
}

}  // namespace

Acad::ErrorStatus writeDrawing(AcDbDatabase& db, const std::string& path, std::string* error) {
  DrawingWriter writer(db);
  if (int e = file::replace(path, writer.write())) {
    if (error) *error = file::describe(e);
    return Acad::eFileAccessErr;
  }
  return Acad::eOk;
}

}  // namespace kv::dxf
