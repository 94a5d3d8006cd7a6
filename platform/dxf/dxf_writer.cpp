// Writing: the drawing's tables, blocks and entities with their own handles, what its file gave
// beyond the host's model (host/kept.h) in its place, and around them what a full reader
// expects and the file did not give (the other tables, block definitions of the layouts, the
// root dictionary with groups, layouts and plot styles) under handles from the handseed up.
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_set>
#include <vector>

#include "core/files.h"
#include "dxf/dxf.h"
#include "dxf/dxf_entities.h"
#include "dxf/dxf_kept.h"
#include "dxf/dxf_tags.h"
#include "host/access.h"
#include "host/kept.h"
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

const KeptData* keptOf(const AcDbObject* object) { return object ? HostAccess::kept(*object) : nullptr; }


// Whether a file held what R12 has no place for: objects, classes, block records.
bool beyondR12(const KeptDrawing& kept) {
  bool records = false;
  for (const KeptTable& t : kept.tables) records = records || t.name == "BLOCK_RECORD";
  for (const KeptSection& s : kept.sections) records = records || s.name == "CLASSES";
  return records || kept.hadObjects;
}

// The version a drawing is written in: the one it was read in (a file without $ACADVER is
// R12), R13 and R14 made R2000; a new drawing R2004. An R12 file that held what R12 has no
// place for is written in the version that has.
std::string outputVersion(const KeptDrawing* kept) {
  if (!kept) return "AC1018";
  long number = kept->version.size() < 3 ? 0 : std::atol(kept->version.c_str() + 2);
  if (number <= 1009 && beyondR12(*kept)) return number > 0 ? "AC1015" : "AC1018";
  if (number <= 1009) return "AC1009";
  if (number < 1015) return "AC1015";
  return kept->version;
}

// A block's BLOCK and ENDBLK as read: the packed pairs before and from the second "0" pair.
void splitBlock(std::string_view extra, std::string_view& begin, std::string_view& end) {
  PackedReader r(extra);
  int code = 0, zeros = 0;
  std::string_view value;
  for (size_t at = 0; r.next(code, value); at = r.at())
    if (code == 0 && ++zeros == 2) {
      begin = extra.substr(0, at);
      end = extra.substr(at);
      return;
    }
}

struct BlockOut {
  const AcDbBlockTableRecord* record = nullptr;  // null for a layout block the database lacks
  std::string name;
  std::uint64_t handle = 0, layout = 0, begin = 0, end = 0;
  bool paper = false;   // a paper layout's block
  bool layoutBlock = false;
};

class DrawingWriter {
public:
  explicit DrawingWriter(AcDbDatabase& db);
  // Writes the drawing into file; 0 or the reason it could not.
  int write(file::Replacement& file);
  // Not eOk when an entity could not be written, with why.
  Acad::ErrorStatus refused() const { return refused_; }
  const std::string& why() const { return why_; }

private:
  std::uint64_t fresh() { return next_++; }
  // The handle written for an object: none where its R12 file gave none.
  std::uint64_t handleOf(std::uint64_t handle, const KeptData* kept) const {
    return r12_ && kept && kept->unhandled ? 0 : handle;
  }
  std::uint64_t handleOr(AcDbObjectId id) { return live(id) ? id.handle().value() : fresh(); }
  void plan();
  // Hands the text written so far to the file once it is a chunk long (or whatever there is,
  // with all); only between entities and objects.
  void flush(bool all = false);
  static constexpr size_t kChunk = size_t(1) << 22;
  static constexpr size_t kSeedWidth = 16;
  void planBlocks();
  void header(TagWriter& w);
  void keptHeader(TagWriter& w);
  void variable(TagWriter& w, std::string_view name);
  void newHeader(TagWriter& w);
  std::uint64_t seed() const;
  void classes();
  void tables();
  void keptTable(const KeptTable& table);
  void keptObject(AcDbObjectId id);
  void keptRecords(const KeptTable* table);
  template <class Records>
  void table(const char* name, std::uint64_t handle, const KeptData* kept, int count, Records&& writeRecords);
  void standardTable(const std::string& name, const KeptTable* kept);
  bool needed(const std::string& name);
  void recordHead(const char* type, std::uint64_t handle, std::uint64_t owner, const char* subclass,
                  std::string_view name, int flags = 0, int handleCode = 5);
  void vportTable();
  void linetypeTable(const KeptTable* kept);
  void linetypeRecord(const AcDbLinetypeTableRecord& lt);
  void layerTable(const KeptTable* kept);
  void layerRecord(const AcDbLayerTableRecord& layer);
  void styleTable();
  void viewTable();
  void ucsTable();
  void appidTable();
  void dimstyleTable();
  void blockRecordTable(const KeptTable* kept);
  void blockRecord(const BlockOut& b);
  template <class Record>
  std::vector<const Record*> records(AcDbObjectId tableId);
  void blocks();
  void blockEdge(const BlockOut& b, bool begin);
  void entities();
  void entityList(const AcDbBlockTableRecord* record, bool paper);
  void objects();
  void keptObjects();
  void newObjects();
  void otherSections();
  void layout(std::uint64_t handle, const char* name, int tab, std::uint64_t block, bool model);

  AcDbDatabase& db_;
  const KeptDrawing* kept_;
  std::string version_;
  bool r12_, makeObjects_, handles_;
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
  // Where the values of $HANDSEED stand in the file (a file may have two headers).
  std::vector<std::uint64_t> seedAt_;
  file::Replacement* file_ = nullptr;
  std::uint64_t flushed_ = 0;  // bytes of the text already in the file
  int error_ = 0;
  Acad::ErrorStatus refused_ = Acad::eOk;
  std::string why_;
};

DrawingWriter::DrawingWriter(AcDbDatabase& db)
    : db_(db),
      kept_(HostAccess::kept(db)),
      version_(outputVersion(kept_)),
      r12_(version_ == "AC1009"),
      // The dictionaries and layouts of a new drawing, for a drawing whose file had none.
      makeObjects_(!r12_ && !(kept_ && kept_->hadObjects)),
      handles_(!(r12_ && kept_ && !kept_->handled)),
      next_(std::max<std::uint64_t>(db.handseed().value(), 1)) {}

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
  planBlocks();
}

void DrawingWriter::planBlocks() {
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
    b.paper = strncasecmp(b.name.c_str(), ACDB_PAPER_SPACE, 12) == 0;
    b.layoutBlock = b.paper || strcasecmp(b.name.c_str(), ACDB_MODEL_SPACE) == 0;
    if (strcasecmp(b.name.c_str(), ACDB_MODEL_SPACE) == 0 && !model_) {
      b.layout = fresh();
      model_ = &b;
    } else if (strcasecmp(b.name.c_str(), ACDB_PAPER_SPACE) == 0 && !paper_) {
      b.layout = fresh();
      paper_ = &b;
    }
  }
}

// The text goes to the file a piece at a time, so that a large drawing never stands in memory
// twice: once as objects and once as text.
int DrawingWriter::write(file::Replacement& file) {
  file_ = &file;
  plan();
  w_.setCodepage(writingCodepage(version_, kept_ ? kept_->codepage : std::string()));
  w_.text().reserve(kChunk + kChunk / 4);
  header(w_);
  if (!r12_) classes();
  tables();
  blocks();
  entities();
  objects();
  otherSections();
  w_.str(0, "EOF");
  flush(true);
  // $HANDSEED must lie above every handle given out: known only now, patched into its place.
  char seedText[kSeedWidth + 1];
  std::snprintf(seedText, sizeof seedText, "%0*llX", int(kSeedWidth), static_cast<unsigned long long>(seed()));
  for (std::uint64_t at : seedAt_)
    if (!error_) error_ = file.writeAt(at, std::string_view(seedText, kSeedWidth));
  return error_;
}

void DrawingWriter::flush(bool all) {
  if (error_ || (!all && w_.text().size() < kChunk)) return;
  error_ = file_->write(w_.text());
  flushed_ += w_.text().size();
  w_.text().clear();
}

// ---------------------------------------------------------------------------------------------
// The header

void DrawingWriter::header(TagWriter& w) {
  w.str(0, "SECTION");
  w.str(2, "HEADER");
  if (kept_ && kept_->hadHeader) keptHeader(w);
  else newHeader(w);
  w.str(0, "ENDSEC");
}

// Above every handle written, and above every handle of the file the drawing was read from.
std::uint64_t DrawingWriter::seed() const {
  if (!kept_) return next_;
  return std::max(kept_->seed, w_.maxHandle() + 1);
}

// The variables as read, in their order, those the host models with the host's values.
void DrawingWriter::keptHeader(TagWriter& w) {
  bool version = false, seeded = false, layer = false;
  PackedReader r(kept_->header);
  int code = 0;
  std::string_view value;
  while (r.next(code, value)) {
    std::string_view var = code == 9 ? kv::trimBlanks(value) : std::string_view();
    version = version || var == "$ACADVER";
    seeded = seeded || var == "$HANDSEED";
    layer = layer || var == "$CLAYER";
  }
  // A file without a version is R12, and stays one without it.
  if (!version && !r12_) variable(w, "$ACADVER");
  for (r.seek(0); r.next(code, value);) {
    std::string_view var = code == 9 ? kv::trimBlanks(value) : std::string_view();
    if (var == "$ACADVER" || var == "$HANDSEED" || var == "$CLAYER" || var == "$DWGCODEPAGE") variable(w, var);
    else w.verbatim(code, value);
  }
  if (!seeded && handles_) variable(w, "$HANDSEED");
  const auto* clayer = liveAs<AcDbLayerTableRecord>(db_.clayer());
  if (!layer && clayer && std::strcmp(clayer->getName(), "0") != 0) variable(w, "$CLAYER");
}

void DrawingWriter::variable(TagWriter& w, std::string_view name) {
  w.str(9, name);
  if (name == "$ACADVER") {
    w.str(1, version_);
  } else if (name == "$HANDSEED") {
    // Known only at the end: a placeholder of fixed width, patched then (hexadecimal with
    // leading zeros reads as the same handle).
    w.str(5, std::string(kSeedWidth, '0'));
    seedAt_.push_back(flushed_ + w.text().size() - 1 - kSeedWidth);
  } else if (name == "$CLAYER") {
    const auto* clayer = liveAs<AcDbLayerTableRecord>(db_.clayer());
    w.str(8, clayer ? clayer->getName() : "0");
  } else if (name == "$DWGCODEPAGE") {
    // Files from AC1021 on are UTF-8 whatever they declare: the declaration stays as read.
    bool unicode = w.codepage().isUtf8();
    w.str(3, unicode && kept_ && !kept_->codepage.empty() ? kept_->codepage
             : unicode                                   ? std::string("ANSI_1252")
                                                         : std::string(w.codepage().name()));
  }
}

void DrawingWriter::newHeader(TagWriter& w) {
  variable(w, "$ACADVER");
  w.str(9, "$ACADMAINTVER");
  w.integer(70, 0);
  variable(w, "$DWGCODEPAGE");
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
  variable(w, "$CLAYER");
  w.str(9, "$CELTYPE");
  w.str(6, "ByLayer");
  w.str(9, "$CECOLOR");
  w.integer(62, 256);
  variable(w, "$HANDSEED");
  w.str(9, "$TILEMODE");
  w.integer(70, 1);
  w.str(9, "$MEASUREMENT");
  w.integer(70, 1);
  w.str(9, "$INSUNITS");
  w.integer(70, 4);
  if (r12_) return;
  w.str(9, "$PSTYLEMODE");
  w.integer(290, 1);
  w.str(9, "$EXTNAMES");
  w.integer(290, 1);
}

void DrawingWriter::classes() {
  if (kept_)
    for (const KeptSection& s : kept_->sections)
      if (s.name == "CLASSES") {
        w_.str(0, "SECTION");
        w_.str(2, "CLASSES");
        writeVerbatim(w_, s.pairs);
        w_.str(0, "ENDSEC");
        return;
      }
  if (!makeObjects_) return;  // the file had objects but no classes
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

// ---------------------------------------------------------------------------------------------
// Tables

// The file's tables in its order, then the tables a full reader needs that it lacked.
void DrawingWriter::tables() {
  w_.str(0, "SECTION");
  w_.str(2, "TABLES");
  std::set<std::string> done;
  if (kept_)
    for (const KeptTable& t : kept_->tables) {
      if (t.modelled && r12_ && t.name == "BLOCK_RECORD") continue;
      if (t.modelled) standardTable(t.name, &t);
      else keptTable(t);
      done.insert(t.name);
    }
  for (const char* name : {"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE", "BLOCK_RECORD"})
    if (!done.count(name) && needed(name)) standardTable(name, nullptr);
  w_.str(0, "ENDSEC");
}

// A table the file lacked: later versions need them all; R12 needs none, so that a drawing
// read from R12 gets only those that hold what the host added (a layer an entity named).
bool DrawingWriter::needed(const std::string& name) {
  if (!r12_) return true;
  bool added = false;
  if (name == "LAYER")
    for (const auto* r : records<AcDbLayerTableRecord>(db_.layerTableId()))
      added = added || (!HostAccess::kept(*r) && r->objectId() != db_.layerZero());
  if (name == "LTYPE")
    for (const auto* r : records<AcDbLinetypeTableRecord>(db_.linetypeTableId())) {
      AcDbObjectId id = r->objectId();
      bool standard = id == db_.byBlockLinetype() || id == db_.byLayerLinetype() || id == db_.continuousLinetype();
      added = added || (!HostAccess::kept(*r) && !standard);
    }
  return added;
}

void DrawingWriter::standardTable(const std::string& name, const KeptTable* kept) {
  if (name == "LTYPE") linetypeTable(kept);
  else if (name == "LAYER") layerTable(kept);
  else if (name == "BLOCK_RECORD") blockRecordTable(kept);
  else if (name == "VPORT") vportTable();
  else if (name == "STYLE") styleTable();
  else if (name == "VIEW") viewTable();
  else if (name == "UCS") ucsTable();
  else if (name == "APPID") appidTable();
  else if (name == "DIMSTYLE") dimstyleTable();
}

void DrawingWriter::keptTable(const KeptTable& kt) {
  const auto* head = liveAs<kv::KeptObject>(kt.head);
  if (!head) return;
  w_.str(0, "TABLE");
  const KeptData* kept = HostAccess::kept(*head);
  writeVerbatim(w_, kept->pairs, kept->unhandled ? 0 : kt.head.handle().value());
  for (AcDbObjectId id : kt.records) keptObject(id);
  w_.str(0, "ENDTAB");
}

void DrawingWriter::keptObject(AcDbObjectId id) {
  const auto* object = liveAs<kv::KeptObject>(id);
  if (!object) return;
  w_.verbatim(0, object->dxfName());
  const KeptData* kept = HostAccess::kept(*object);
  writeVerbatim(w_, kept->pairs, kept->unhandled ? 0 : id.handle().value());
}

// Records of other kinds that a modelled table held.
void DrawingWriter::keptRecords(const KeptTable* kt) {
  if (kt)
    for (AcDbObjectId id : kt->records) keptObject(id);
}

// Every table has the same frame around its records.
template <class Records>
void DrawingWriter::table(const char* name, std::uint64_t handle, const KeptData* kept, int count,
                          Records&& writeRecords) {
  ObjectOut head(w_, r12_, handles_);
  head.start("TABLE", handleOf(handle, kept), 0, kept, 5, name);
  head.subclass("AcDbSymbolTable");
  w_.integer(70, count);
  head.end();
  writeRecords();
  w_.str(0, "ENDTAB");
}

void DrawingWriter::recordHead(const char* type, std::uint64_t handle, std::uint64_t owner, const char* subclass,
                               std::string_view name, int flags, int handleCode) {
  w_.str(0, type);
  if (handles_) w_.handle(handleCode, handle);
  if (!r12_) {
    w_.handle(330, owner);
    w_.str(100, "AcDbSymbolTableRecord");
    w_.str(100, subclass);
  }
  w_.str(2, name);
  w_.integer(70, flags);
}

void DrawingWriter::vportTable() {
  table("VPORT", vportTable_, nullptr, 1, [this] {
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

void DrawingWriter::linetypeTable(const KeptTable* kt) {
  auto linetypes = records<AcDbLinetypeTableRecord>(db_.linetypeTableId());
  int count = int(linetypes.size() + (kt ? kt->records.size() : 0));
  table("LTYPE", ltypeTable_, keptOf(live(db_.linetypeTableId())), count, [&] {
    for (const AcDbLinetypeTableRecord* lt : linetypes) linetypeRecord(*lt);
    keptRecords(kt);
  });
}

// A linetype read from a file keeps its flags and dash pattern as read; the host keeps none.
void DrawingWriter::linetypeRecord(const AcDbLinetypeTableRecord& lt) {
  const KeptData* kept = HostAccess::kept(lt);
  ObjectOut out(w_, r12_, handles_);
  out.start("LTYPE", handleOf(lt.handle().value(), kept), ltypeTable_, kept);
  out.subclass("AcDbSymbolTableRecord");
  out.subclass("AcDbLinetypeTableRecord");
  w_.str(2, lt.getName());
  if (!kept) w_.integer(70, 0);
  w_.str(3, lt.comments());
  if (!kept) {
    w_.integer(72, 65);
    w_.integer(73, 0);
    w_.real(40, 0);
  }
  out.end();
}

void DrawingWriter::layerTable(const KeptTable* kt) {
  auto layers = records<AcDbLayerTableRecord>(db_.layerTableId());
  int count = int(layers.size() + (kt ? kt->records.size() : 0));
  table("LAYER", layerTable_, keptOf(live(db_.layerTableId())), count, [&] {
    for (const AcDbLayerTableRecord* layer : layers) layerRecord(*layer);
    keptRecords(kt);
  });
}

void DrawingWriter::layerRecord(const AcDbLayerTableRecord& layer) {
  const KeptData* kept = HostAccess::kept(layer);
  ObjectOut out(w_, r12_, handles_);
  out.start("LAYER", handleOf(layer.handle().value(), kept), layerTable_, kept);
  out.subclass("AcDbSymbolTableRecord");
  out.subclass("AcDbLayerTableRecord");
  w_.str(2, layer.getName());
  w_.integer(70, (layer.isFrozen() ? 1 : 0) | (layer.isLocked() ? 4 : 0) | (kept ? kept->flags : 0));
  AcCmColor color = layer.color();
  int index = std::abs(colorIndexOf(color, kept));
  if (index < 1 || index > 255) index = 7;
  w_.integer(62, layer.isOff() ? -index : index);
  if (color.isByColor() && !r12_) w_.integer(420, packTrueColor(color));
  const auto* lt = liveAs<AcDbLinetypeTableRecord>(layer.linetypeObjectId());
  w_.str(6, lt ? lt->getName() : "Continuous");
  if (!kept && !r12_) {
    w_.integer(370, -3);
    if (makeObjects_) w_.handle(390, plotStyleNormal_);
  }
  out.end();
}

void DrawingWriter::styleTable() {
  table("STYLE", styleTable_, nullptr, 1, [this] {
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
  table("VIEW", viewTable_, nullptr, 0, [] {});
}

void DrawingWriter::ucsTable() {
  table("UCS", ucsTable_, nullptr, 0, [] {});
}

void DrawingWriter::appidTable() {
  table("APPID", appidTable_, nullptr, 1,
        [this] { recordHead("APPID", appidAcad_, appidTable_, "AcDbRegAppTableRecord", "ACAD"); });
}

void DrawingWriter::dimstyleTable() {
  table("DIMSTYLE", dimstyleTable_, nullptr, 1, [this] {
    if (!r12_) w_.str(100, "AcDbDimStyleTable");
    recordHead("DIMSTYLE", dimstyleStandard_, dimstyleTable_, "AcDbDimStyleTableRecord", "Standard", 0, 105);
    w_.handle(340, styleStandard_);
  });
}

void DrawingWriter::blockRecordTable(const KeptTable* kt) {
  int count = int(blocks_.size() + (kt ? kt->records.size() : 0));
  table("BLOCK_RECORD", blockTable_, keptOf(live(db_.blockTableId())), count, [&] {
    for (const BlockOut& b : blocks_) blockRecord(b);
    keptRecords(kt);
  });
}

void DrawingWriter::blockRecord(const BlockOut& b) {
  const KeptData* kept = keptOf(b.record);
  ObjectOut out(w_, r12_, handles_);
  out.start("BLOCK_RECORD", handleOf(b.handle, kept), blockTable_, kept);
  out.subclass("AcDbSymbolTableRecord");
  out.subclass("AcDbBlockTableRecord");
  w_.str(2, b.name);
  // A layout's record names its layout when the writer makes the layouts.
  if (b.layout && makeObjects_ && !(kept && holdsCode(kept->pairs, 340))) w_.handle(340, b.layout);
  if (!kept) {
    w_.integer(70, 0);
    w_.integer(280, 1);
    w_.integer(281, 0);
  }
  out.end();
}

// ---------------------------------------------------------------------------------------------
// Blocks and entities

void DrawingWriter::blocks() {
  w_.str(0, "SECTION");
  w_.str(2, "BLOCKS");
  for (const BlockOut& b : blocks_) {
    const KeptData* kept = keptOf(b.record);
    std::string_view begin, end;
    if (kept) splitBlock(kept->extra, begin, end);
    // R12 has a layout's block only where its file had one.
    if (r12_ && b.layoutBlock && begin.empty()) continue;
    if (begin.empty()) blockEdge(b, true);
    else writeBlockBegin(w_, begin, b.record ? b.record->origin() : AcGePoint3d());
    // Layout entities live in ENTITIES; other blocks keep theirs inside the definition.
    if (&b != model_ && &b != paper_) entityList(b.record, b.paper);
    if (end.empty()) blockEdge(b, false);
    else writeVerbatim(w_, end);
  }
  w_.str(0, "ENDSEC");
}

void DrawingWriter::blockEdge(const BlockOut& b, bool begin) {
  ObjectOut out(w_, r12_, handles_);
  out.start(begin ? "BLOCK" : "ENDBLK", begin ? b.begin : b.end, b.handle, nullptr);
  out.subclass("AcDbEntity");
  if (b.paper) w_.integer(67, 1);
  w_.str(8, "0");
  out.subclass(begin ? "AcDbBlockBegin" : "AcDbBlockEnd");
  if (begin) {
    w_.str(2, b.name);
    w_.integer(70, 0);
    w_.point(10, b.record ? b.record->origin() : AcGePoint3d());
    w_.str(3, b.name);
    w_.str(1, "");
  }
  out.end();
}

void DrawingWriter::entityList(const AcDbBlockTableRecord* record, bool paper) {
  if (!record) return;
  EntityOut out(w_, next_, paper, r12_, handles_);
  for (AcDbObjectId id : record->entityIds()) {
    const auto* e = liveAs<AcDbEntity>(id);
    if (!e) continue;
    // A type without a codec is left out rather than written as something it is not.
    if (const EntityCodec* codec = codecForClass(e->isA())) {
      codec->write(out, *e);
      out.end();
      flush();
    }
  }
  if (out.refused() && !refused_) {
    refused_ = out.refused();
    why_ = out.why();
  }
}

void DrawingWriter::entities() {
  w_.str(0, "SECTION");
  w_.str(2, "ENTITIES");
  if (model_) entityList(model_->record, false);
  if (paper_) entityList(paper_->record, true);
  w_.str(0, "ENDSEC");
}

// ---------------------------------------------------------------------------------------------
// Objects and the other sections

void DrawingWriter::objects() {
  if (r12_) return;
  w_.str(0, "SECTION");
  w_.str(2, "OBJECTS");
  if (makeObjects_) newObjects();
  else keptObjects();
  w_.str(0, "ENDSEC");
}

// The objects as read, but for those whose owner is gone (an erased entity's extension
// dictionary, and what that dictionary owned).
void DrawingWriter::keptObjects() {
  std::unordered_set<const AcDbStub*> gone;
  for (bool changed = true; changed;) {
    changed = false;
    for (AcDbObjectId id : kept_->objects) {
      const AcDbObject* object = live(id);
      if (!object || gone.count(HostAccess::stub(id))) continue;
      AcDbObjectId owner = object->ownerId();
      if (!owner.isNull() && (owner.isErased() || gone.count(HostAccess::stub(owner)))) {
        gone.insert(HostAccess::stub(id));
        changed = true;
      }
    }
  }
  for (AcDbObjectId id : kept_->objects) {
    if (!gone.count(HostAccess::stub(id))) keptObject(id);
    flush();
  }
}

void DrawingWriter::otherSections() {
  if (!kept_) return;
  bool classes = false;  // the first CLASSES is in its place already
  for (const KeptSection& s : kept_->sections) {
    if (s.name == "CLASSES" && !classes) {
      classes = true;
      continue;
    }
    w_.str(0, "SECTION");
    w_.str(2, s.name);
    writeVerbatim(w_, s.pairs);
    w_.str(0, "ENDSEC");
  }
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

void DrawingWriter::newObjects() {
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
}

}  // namespace

Acad::ErrorStatus writeDrawing(AcDbDatabase& db, const std::string& path, std::string* error) {
  DrawingWriter writer(db);
  file::Replacement file;
  int e = file.open(path);
  if (!e) e = writer.write(file);
  if (writer.refused()) {
    if (error) *error = writer.why();
    return writer.refused();  // the replacement, never committed, leaves the old file
  }
  if (!e) e = file.commit();
  if (e) {
    if (error) *error = file::describe(e);
    return Acad::eFileAccessErr;
  }
  return Acad::eOk;
}

}  // namespace kv::dxf
