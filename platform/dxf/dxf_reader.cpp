// Reading: sections, tables, blocks, entities and objects go into a database of the read's own
// as they come; the caller gets it only once the whole file proved sound, so a bad file never
// leaves half a drawing. What the host does not model is kept as read (host/kept.h) for the
// writer, and objects keep the file's handles: whatever the read makes itself (the default
// tables, layers an entity names, vertices) waits under handles far above any file's and takes
// handles above the file's own once the file is read.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/numbers.h"
#include "dxf/dxf.h"
#include "dxf/dxf_entities.h"
#include "dxf/dxf_kept.h"
#include "dxf/dxf_tags.h"
#include "dxf/dxf_codepage.h"
#include "host/access.h"
#include "host/kept.h"

namespace kv::dxf {
namespace {

// The newest version read; later files hold data (SAB solids, new objects) the host cannot read.
constexpr long kNewestVersion = 1024;
// Handles from here up are the read's own while it lasts; a file's handles stay below.
constexpr std::uint64_t kParked = std::uint64_t(1) << 62;

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string lower(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string statusText(Acad::ErrorStatus es) { return "status " + std::to_string(int(es)); }

// R12 names the layout blocks with a dollar.
std::string blockName(std::string_view name) {
  if (sameName(name, "$MODEL_SPACE")) return ACDB_MODEL_SPACE;
  if (sameName(name, "$PAPER_SPACE")) return ACDB_PAPER_SPACE;
  return std::string(name);
}

// The pairs of an item kept whole, with what the reader needs of them.
struct Verbatim {
  std::string pairs;
  std::uint64_t handle = 0, owner = 0;
  std::string name;  // its first group 2
};

struct LayerIn {
  std::string name, linetype;
  AcCmColor color;
  std::int64_t index = 0, packed = -1;  // 62 and 420 as read
  bool trueColor = false;
  std::int64_t flags = 0;
  bool off = false;
};

class DrawingReader {
public:
  DrawingReader(TagReader& in, AcDbDatabase& db) : kept(std::make_unique<KeptDrawing>()), in_(in), db_(db) {}
  ~DrawingReader() { closeRecord(); }

  // Reads the whole file into the database; false with the reason in status() and error().
  bool read();
  Acad::ErrorStatus status() const { return status_ ? status_ : Acad::eBadDxfFile; }
  std::string error() const { return status_ ? error_ : in_.error(); }

  ReadReport report;
  std::unique_ptr<KeptDrawing> kept;

private:
  bool section(const std::string& name);
  bool header();
  bool headerVariables();
  bool headerValue(const std::string& var, const Tag& t);
  bool verbatimSection(const std::string& name);
  bool verbatim(Verbatim& v);
  bool tables();
  bool table(const Tag& nameTag);
  bool tableHead(KeptTable& table, const Tag& nameTag);
  bool tableEntry(KeptTable& table, const Tag& start);
  bool layerEntry(const Tag& start);
  bool layerPair(EntityIn& in, const Tag& t, LayerIn& layer);
  bool applyLayer(AcDbObjectId id, const LayerIn& def, long line);
  bool linetypeEntry(const Tag& start);
  bool blockRecordEntry(const Tag& start);
  bool blocks();
  bool block(const Tag& start);
  bool takeOrigin(AcDbObjectId record, std::string_view begin, long line);
  bool entities();
  bool objects();
  AcDbObjectId keptObject(const std::string& type, Verbatim& v);

  bool entity(const Tag& start, AcDbObjectId context);
  bool keepWhole(const std::string& name, long line, AcDbObjectId context, const std::string& why);
  bool skipRest();
  bool keepSequence(std::string& tail);
  bool place(std::unique_ptr<AcDbEntity> e, EntityCommon& c, AcDbObjectId context, bool whole,
             const std::string& name);
  void keepWith(AcDbEntity& e, EntityCommon& c);
  void keepSub(AcDbObjectId id, EntityCommon& c);
  AcDbObjectId target(const EntityCommon& c, AcDbObjectId context) const;

  template <class Table, class Record>
  Acad::ErrorStatus symbol(AcDbObjectId tableId, const std::string& name, std::uint64_t handle, AcDbObjectId& id,
                           bool& created);
  Acad::ErrorStatus named(std::unordered_map<std::string, AcDbObjectId>& cache, bool layer, const std::string& name,
                          AcDbObjectId& id);
  bool nameRefused(Acad::ErrorStatus es, const std::string& name, long line);
  AcDbObjectId blockRecord(const std::string& name, std::uint64_t handle, long line);
  void claim(AcDbObjectId id, std::uint64_t handle);
  KeptData& keptOf(AcDbObjectId id);
  AcDbBlockTableRecord* openRecord(AcDbObjectId id, long line);
  void closeRecord();
  bool refuse(Acad::ErrorStatus es, long line, const std::string& what);

  bool finish();
  bool linkBlocks();
  void ownObjects();
  void setCurrentLayer();
  void settleHandles();
  void parkDefaults();

  struct Link {
    AcDbObjectId entity;
    std::string block;
    void (*link)(AcDbEntity&, AcDbObjectId);
    long line;
  };

  TagReader& in_;
  AcDbDatabase& db_;
  Acad::ErrorStatus status_ = Acad::eOk;
  std::string error_;
  std::string clayer_;
  std::uint64_t seed_ = 0;
  std::unordered_map<std::string, AcDbObjectId> layers_, linetypes_;  // by lower-case name
  std::unordered_map<std::uint64_t, AcDbObjectId> records_;           // block records by file handle
  std::unordered_set<std::uint64_t> paperLayouts_;                   // their handles
  std::vector<Link> links_;
  std::vector<std::pair<AcDbObjectId, std::uint64_t>> owners_;  // kept objects, the owners the file names
  AcDbBlockTableRecord* open_ = nullptr;
  AcDbObjectId openId_;
};

bool DrawingReader::read() {
  parkDefaults();
  report.version = "AC1009";
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected group code 0, found " + std::to_string(t.code));
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "EOF") return finish();
    if (v != "SECTION") return in_.fail(t.line, "expected SECTION or EOF, found '" + std::string(v) + "'");
    if (!in_.next(t)) break;
    if (t.code != 2) return in_.fail(t.line, "SECTION without its name (group 2)");
    if (!section(std::string(kv::trimBlanks(t.value)))) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends without EOF");
}

bool DrawingReader::section(const std::string& name) {
  if (name == "HEADER") return header();
  if (name == "TABLES") return tables();
  if (name == "BLOCKS") return blocks();
  if (name == "ENTITIES") return entities();
  if (name == "OBJECTS") return objects();
  return verbatimSection(name);
}

// Every variable is kept in file order; of those the host models, only the name.
bool DrawingReader::header() {
  kept->hadHeader = true;
  in_.trackHandles(false);
  bool done = headerVariables();
  in_.trackHandles(true);
  return done;
}

bool DrawingReader::headerVariables() {
  std::string var;
  bool modelled = false;
  Tag t;
  while (in_.next(t)) {
    if (t.code == 0) {
      if (kv::trimBlanks(t.value) == "ENDSEC") return true;
      return in_.fail(t.line, "unexpected '" + std::string(kv::trimBlanks(t.value)) + "' in HEADER");
    }
    if (t.code == 9) {
      var = std::string(kv::trimBlanks(t.value));
      modelled = var == "$ACADVER" || var == "$HANDSEED" || var == "$CLAYER" || var == "$DWGCODEPAGE";
      packPair(kept->header, 9, t.value);
      continue;
    }
    if (!modelled) packPair(kept->header, t.code, t.value);
    else if (!headerValue(var, t)) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside HEADER");
}

bool DrawingReader::headerValue(const std::string& var, const Tag& t) {
  std::string_view v = kv::trimBlanks(t.value);
  if (var == "$ACADVER" && t.code == 1) {
    report.version = kept->version = std::string(v);
    if (v.size() > 2 && v.substr(0, 2) == "AC" && std::atol(std::string(v.substr(2)).c_str()) > kNewestVersion)
      return in_.fail(t.line, "DXF version " + report.version + " is newer than R2010 (AC1024)");
  } else if (var == "$HANDSEED" && t.code == 5) {
    seed_ = parseHandle(v);
  } else if (var == "$CLAYER" && t.code == 8) {
    clayer_ = std::string(v);
  } else if (var == "$DWGCODEPAGE" && t.code == 3) {
    kept->codepage = std::string(v);
  } else {
    packPair(kept->header, t.code, t.value);  // a value the host does not take stays
    return true;
  }
  // Text from here on is in the page these two decide.
  if (var == "$ACADVER" || var == "$DWGCODEPAGE") in_.setCodepage(readingCodepage(report.version, kept->codepage));
  return true;
}

bool DrawingReader::verbatimSection(const std::string& name) {
  KeptSection& s = kept->sections.emplace_back();
  s.name = name;
  Tag t;
  while (in_.next(t)) {
    if (t.code == 0 && kv::trimBlanks(t.value) == "ENDSEC") return true;
    packPair(s.pairs, t.code, t.value);
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside section " + name);
}

// The pairs of one item up to the next "0" pair, which is left unread.
bool DrawingReader::verbatim(Verbatim& v) {
  bool inGroup = false, marked = false;
  Tag t;
  while (in_.next(t)) {
    if (t.code == 0) {
      in_.unread();
      return true;
    }
    packPair(v.pairs, t.code, t.value);
    if (t.code == 102) inGroup = kv::trimBlanks(t.value).substr(0, 1) == "{";
    else if (t.code == 100) marked = true;
    else if (t.code == 2 && v.name.empty()) v.name = std::string(kv::trimBlanks(t.value));
    else if (inGroup || marked) continue;
    else if ((t.code == 5 || t.code == 105) && !v.handle) v.handle = parseHandle(t.value);
    else if (t.code == 330 && !v.owner) v.owner = parseHandle(t.value);
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside an object");
}

// ---------------------------------------------------------------------------------------------
// Tables

bool DrawingReader::tables() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) continue;  // pairs outside any table carry nothing
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "ENDSEC") return true;
    if (v != "TABLE") return in_.fail(t.line, "expected TABLE, found '" + std::string(v) + "'");
    if (!in_.next(t)) break;
    if (t.code != 2) return in_.fail(t.line, "TABLE without its name (group 2)");
    if (!table(t)) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside TABLES");
}

bool DrawingReader::table(const Tag& nameTag) {
  std::string name(kv::trimBlanks(nameTag.value));
  // A table the host models, but for a second one of a name: that one is kept whole.
  bool modelled = name == "LAYER" || name == "LTYPE" || name == "BLOCK_RECORD";
  for (const KeptTable& t : kept->tables) modelled = modelled && t.name != name;
  KeptTable& kt = kept->tables.emplace_back();
  kt.name = std::move(name);
  kt.modelled = modelled;
  if (!tableHead(kt, nameTag)) return false;
  Tag t;
  while (in_.next(t)) {
    std::string_view kind = kv::trimBlanks(t.value);
    if (t.code != 0) return in_.fail(t.line, "expected a table entry, found group " + std::to_string(t.code));
    if (kind == "ENDTAB") return true;
    if (kind == "ENDSEC") {  // a table left open; the section end closes it
      in_.unread();
      return true;
    }
    if (!tableEntry(kt, t)) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside table " + kt.name);
}

// A modelled table's head goes with the host's table object; its count is the host's to write.
bool DrawingReader::tableHead(KeptTable& kt, const Tag& nameTag) {
  if (!kt.modelled) {
    Verbatim v;
    packPair(v.pairs, 2, nameTag.value);
    if (!verbatim(v)) return false;
    kt.head = keptObject("TABLE", v);
    return !kt.head.isNull();
  }
  EntityCommon c;
  EntityIn in(in_, c, EntityIn::Kind::kRecord);
  Tag t;
  while (in.next(t))
    if (t.code != 70) in.keep(t);
  if (!in.ok()) return false;
  AcDbObjectId id = kt.name == "LAYER"    ? db_.layerTableId()
                    : kt.name == "LTYPE" ? db_.linetypeTableId()
                                         : db_.blockTableId();
  claim(id, c.handle);
  KeptData& data = keptOf(id);
  data.pairs = c.kept.take();
  data.unhandled = c.handle == 0;
  return true;
}

bool DrawingReader::tableEntry(KeptTable& kt, const Tag& start) {
  std::string kind(kv::trimBlanks(start.value));
  if (kt.name == "LAYER" && kind == "LAYER") return layerEntry(start);
  if (kt.name == "LTYPE" && kind == "LTYPE") return linetypeEntry(start);
  if (kt.name == "BLOCK_RECORD" && kind == "BLOCK_RECORD") return blockRecordEntry(start);
  Verbatim v;
  if (!verbatim(v)) return false;
  AcDbObjectId id = keptObject(kind, v);
  if (id.isNull()) return false;
  kt.records.push_back(id);
  return true;
}

bool DrawingReader::layerPair(EntityIn& in, const Tag& t, LayerIn& layer) {
  std::int64_t n = 0;
  switch (t.code) {
    case 2: layer.name = std::string(kv::trimBlanks(t.value)); return true;
    case 6: layer.linetype = std::string(kv::trimBlanks(t.value)); return true;
    case 70: return in.integer(t, layer.flags);
    case 62:
      if (!in.integer(t, n)) return false;
      layer.index = std::llabs(n);
      layer.off = n < 0;
      n = std::llabs(n);
      if (!layer.trueColor && n >= 1 && n <= 255) layer.color.setColorIndex(Adesk::UInt16(n));
      return true;
    case 420:
      if (!in.integer(t, n)) return false;
      applyTrueColor(layer.color, n);
      layer.packed = packTrueColor(layer.color);
      layer.trueColor = true;
      return true;
    default: in.keep(t); return true;
  }
}

bool DrawingReader::layerEntry(const Tag& start) {
  EntityCommon c;
  EntityIn in(in_, c, EntityIn::Kind::kRecord);
  LayerIn def;
  def.color.setColorIndex(7);
  Tag t;
  while (in.next(t))
    if (!layerPair(in, t, def)) return false;
  if (!in.ok()) return false;
  if (def.name.empty()) return in_.fail(start.line, "LAYER without a name");
  AcDbObjectId id;
  bool created = false;
  Acad::ErrorStatus es = symbol<AcDbLayerTable, AcDbLayerTableRecord>(db_.layerTableId(), def.name, c.handle, id, created);
  if (es) return nameRefused(es, def.name, start.line);
  layers_[lower(def.name)] = id;
  if (!applyLayer(id, def, start.line)) return false;
  KeptData& data = keptOf(id);
  data.pairs = c.kept.take();
  data.flags = def.flags & ~std::int64_t(1 | 4);  // frozen and locked are the host's
  data.unhandled = c.handle == 0;
  data.trueColor = std::int32_t(def.packed);
  data.colorIndex = std::int16_t(def.index);
  return true;
}

bool DrawingReader::applyLayer(AcDbObjectId id, const LayerIn& def, long line) {
  AcDbObjectId lt = db_.continuousLinetype();
  if (!def.linetype.empty()) {
    if (Acad::ErrorStatus es = named(linetypes_, false, def.linetype, lt)) return nameRefused(es, def.linetype, line);
  }
  AcDbLayerTableRecord* rec = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(rec, id, AcDb::kForWrite)) return refuse(es, line, "cannot open layer " + def.name);
  rec->setColor(def.color);
  rec->setIsOff(def.off);
  rec->setIsFrozen(def.flags & 1);
  rec->setIsLocked(def.flags & 4);
  if (!lt.isNull()) rec->setLinetypeObjectId(lt);
  rec->close();
  return true;
}

bool DrawingReader::linetypeEntry(const Tag& start) {
  EntityCommon c;
  EntityIn in(in_, c, EntityIn::Kind::kRecord);
  std::string name, description;
  bool described = false;
  Tag t;
  while (in.next(t)) {
    if (t.code == 2) name = std::string(kv::trimBlanks(t.value));
    else if (t.code == 3 && !described) description = t.value, described = true;
    else in.keep(t);
  }
  if (!in.ok()) return false;
  if (name.empty()) return in_.fail(start.line, "LTYPE without a name");
  AcDbObjectId id;
  bool created = false;
  if (Acad::ErrorStatus es = symbol<AcDbLinetypeTable, AcDbLinetypeTableRecord>(db_.linetypeTableId(), name, c.handle, id, created))
    return nameRefused(es, name, start.line);
  linetypes_[lower(name)] = id;
  AcDbLinetypeTableRecord* rec = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(rec, id, AcDb::kForWrite)) return refuse(es, start.line, "cannot open linetype " + name);
  if (created || described) rec->setComments(description.c_str());
  rec->close();
  KeptData& data = keptOf(id);
  data.pairs = c.kept.take();
  data.unhandled = c.handle == 0;
  return true;
}

bool DrawingReader::blockRecordEntry(const Tag& start) {
  EntityCommon c;
  EntityIn in(in_, c, EntityIn::Kind::kRecord);
  std::string name;
  Tag t;
  while (in.next(t)) {
    if (t.code == 2 && name.empty()) name = std::string(kv::trimBlanks(t.value));
    else in.keep(t);
  }
  if (!in.ok()) return false;
  if (name.empty()) return in_.fail(start.line, "BLOCK_RECORD without a name");
  AcDbObjectId id = blockRecord(name, c.handle, start.line);
  if (id.isNull()) return false;
  if (c.handle) records_[c.handle] = id;
  if (c.handle && strncasecmp(name.c_str(), ACDB_PAPER_SPACE, 12) == 0) paperLayouts_.insert(c.handle);
  KeptData& data = keptOf(id);
  data.pairs = c.kept.take();
  data.unhandled = c.handle == 0;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Blocks, entities and objects

bool DrawingReader::blocks() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected BLOCK, found group " + std::to_string(t.code));
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "ENDSEC") return true;
    if (v != "BLOCK") return in_.fail(t.line, "expected BLOCK, found '" + std::string(v) + "'");
    if (!block(t)) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside BLOCKS");
}

// A block's entities go into its record, found by the owner its BLOCK names or else by name
// (R12 has no records); its BLOCK and ENDBLK are kept as read.
bool DrawingReader::block(const Tag& start) {
  Verbatim begin, end;
  if (!verbatim(begin)) return false;
  auto known = begin.owner ? records_.find(begin.owner) : records_.end();
  AcDbObjectId record = known != records_.end() ? known->second : AcDbObjectId();
  if (record.isNull() && begin.name.empty()) return in_.fail(start.line, "BLOCK without a name");
  if (record.isNull()) record = blockRecord(begin.name, 0, start.line);
  if (record.isNull() || !takeOrigin(record, begin.pairs, start.line)) return false;
  for (Tag t;;) {
    if (!in_.next(t)) return in_.ok() && in_.fail(in_.line(), "file ends inside block " + begin.name);
    std::string_view kind = kv::trimBlanks(t.value);
    if (t.code != 0) return in_.fail(t.line, "expected an entity, found group " + std::to_string(t.code));
    if (kind == "ENDBLK") break;
    if (kind == "ENDSEC" || kind == "BLOCK") return in_.fail(t.line, "block " + begin.name + " has no ENDBLK");
    if (!entity(t, record)) return false;
  }
  if (!verbatim(end)) return false;
  std::string& extra = keptOf(record).extra;
  extra.clear();
  packPair(extra, 0, "BLOCK");
  extra += begin.pairs;
  packPair(extra, 0, "ENDBLK");
  extra += end.pairs;
  return true;
}

bool DrawingReader::takeOrigin(AcDbObjectId record, std::string_view begin, long line) {
  AcGePoint3d origin;
  bool found = false;
  if (!blockOrigin(begin, origin, found)) return in_.fail(line, "the origin of a BLOCK is not a number");
  if (!found) return true;
  AcDbBlockTableRecord* rec = openRecord(record, line);
  if (!rec) return false;
  if (Acad::ErrorStatus es = rec->setOrigin(origin)) return refuse(es, line, "cannot set a block's origin");
  return true;
}

bool DrawingReader::entities() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected an entity, found group " + std::to_string(t.code));
    if (kv::trimBlanks(t.value) == "ENDSEC") return true;
    if (!entity(t, db_.modelSpaceId())) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside ENTITIES");
}

bool DrawingReader::objects() {
  kept->hadObjects = true;
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected an object, found group " + std::to_string(t.code));
    std::string type(kv::trimBlanks(t.value));
    if (type == "ENDSEC") return true;
    Verbatim v;
    if (!verbatim(v)) return false;
    AcDbObjectId id = keptObject(type, v);
    if (id.isNull()) return false;
    kept->objects.push_back(id);
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside OBJECTS");
}

AcDbObjectId DrawingReader::keptObject(const std::string& type, Verbatim& v) {
  auto* object = new KeptObject(type);
  auto data = std::make_unique<KeptData>();
  data->pairs = std::move(v.pairs);
  data->unhandled = v.handle == 0;  // its own handle goes back only where it had one
  HostAccess::setKept(*object, std::move(data));
  HostAccess::wantHandle(db_, v.handle < kParked ? v.handle : 0);
  AcDbObjectId id;
  if (Acad::ErrorStatus es = db_.addAcDbObject(id, object)) {
    delete object;
    refuse(es, in_.line(), "the drawing refused a " + type);
    return AcDbObjectId();
  }
  object->close();
  if (v.owner) owners_.emplace_back(id, v.owner);
  ++report.keptObjects[type];
  return id;
}

// An entity is read by its codec; one of a kind no codec reads, or one its codec could not
// read, is kept whole. Only a failure of the pairs themselves stops the read.
bool DrawingReader::entity(const Tag& start, AcDbObjectId context) {
  std::string name(kv::trimBlanks(start.value));
  const EntityCodec* codec = codecForDxfName(name);
  if (!codec) return keepWhole(name, start.line, context, {});
  EntityCommon common;
  common.line = start.line;
  EntityIn in(in_, common);
  in_.startRecording();
  std::unique_ptr<AcDbEntity> e = codec->read(in);
  if (in_.broken()) return false;
  if (e && in_.ok()) {
    in_.dropRecording();
    return keepSequence(common.tail) && place(std::move(e), common, context, false, name);
  }
  std::string why = in.unsupported() ? in.why() : !in_.ok() ? in_.error() : "its reader could not take it";
  e.reset();
  in_.recover();
  if (!skipRest()) return false;
  // Read again from its first pair, the whole of it kept.
  in_.replay(in_.stopRecording());
  return keepWhole(name, start.line, context, why);
}

bool DrawingReader::keepWhole(const std::string& name, long line, AcDbObjectId context, const std::string& why) {
  EntityCommon common;
  common.line = line;
  EntityIn in(in_, common);
  std::unique_ptr<AcDbEntity> e = readKept(in, name);
  if (!e || !keepSequence(common.tail)) return false;
  if (!why.empty()) report.notes.push_back("line " + std::to_string(line) + ": " + name + " kept as read: " + why);
  return place(std::move(e), common, context, true, name);
}

// The rest of an entity a codec gave up on, with its sub-entities.
bool DrawingReader::skipRest() {
  Tag t;
  while (in_.next(t))
    if (t.code == 0) {
      in_.unread();
      std::string ignored;
      return keepSequence(ignored);
    }
  return in_.ok() && in_.fail(in_.line(), "file ends inside an entity");
}

// The sub-entities (VERTEX, ATTRIB up to SEQEND) after an entity, as read.
bool DrawingReader::keepSequence(std::string& tail) {
  Tag t;
  while (in_.next(t)) {
    std::string_view kind = kv::trimBlanks(t.value);
    bool seqend = kind == "SEQEND";
    if (t.code != 0 || (!seqend && kind != "VERTEX" && kind != "ATTRIB")) {
      in_.unread();
      return true;
    }
    packPair(tail, 0, t.value);
    while (in_.next(t) && t.code != 0) packPair(tail, t.code, t.value);
    if (!in_.ok()) return false;
    if (t.code != 0) return in_.fail(in_.line(), "file ends inside an entity");
    in_.unread();
    if (seqend) return true;
  }
  return in_.ok();
}

// Entities of a block definition are the block's; in ENTITIES the owner names a paper layout,
// and the paper-space flag tells paper space from model space.
AcDbObjectId DrawingReader::target(const EntityCommon& c, AcDbObjectId context) const {
  if (context != db_.modelSpaceId()) return context;
  if (c.owner && paperLayouts_.count(c.owner)) return records_.at(c.owner);
  return c.paperSpace ? db_.paperSpaceId() : context;
}

bool DrawingReader::place(std::unique_ptr<AcDbEntity> e, EntityCommon& c, AcDbObjectId context, bool whole,
                          const std::string& name) {
  AcDbObjectId layer, linetype;
  std::string refused = c.layer;
  Acad::ErrorStatus es = named(layers_, true, c.layer, layer);
  if (!es && !c.linetype.empty()) {
    refused = c.linetype;
    es = named(linetypes_, false, c.linetype, linetype);
  }
  if (es == Acad::eInvalidSymbolTableName) {
    ++report.skipped;
    report.notes.push_back("line " + std::to_string(c.line) + ": " + name + " " + AcDbHandle(c.handle).text() +
                           " left out: the drawing refused the name '" + refused + "' (" + statusText(es) + ")");
    return true;
  }
  if (es) return refuse(es, c.line, "the drawing refused the name '" + refused + "'");
  AcDbBlockTableRecord* record = openRecord(target(c, context), c.line);
  if (!record) return false;
  e->setColor(c.color);
  HostAccess::wantHandle(db_, c.handle < kParked ? c.handle : 0);
  AcDbEntity* raw = e.release();
  if ((es = record->appendAcDbEntity(raw))) {
    delete raw;
    HostAccess::wantHandle(db_, 0);
    return refuse(es, c.line, "the drawing refused an entity");
  }
  raw->setLayer(layer);
  if (!linetype.isNull()) raw->setLinetype(linetype);
  keepWith(*raw, c);
  raw->close();
  if (whole) ++report.unsupported[name];
  else ++report.entitiesRead;
  return true;
}

// The file's name for a record where the record spells it otherwise; empty where they agree.
std::string spelling(const std::string& name, AcDbObjectId record) {
  const auto* rec = AcDbSymbolTableRecord::cast(HostAccess::stub(record)->object);
  return rec && name != rec->getName() ? name : std::string();
}

// What the file gave an entity beyond the model; null for nothing, unless always.
std::unique_ptr<KeptData> keptData(const AcDbEntity& e, EntityCommon& c, bool always) {
  std::string layer = spelling(c.layer, e.layerId());
  std::string linetype = c.linetype.empty() ? std::string() : spelling(c.linetype, e.linetypeId());
  if (!always && c.kept.empty() && c.tail.empty() && !c.seqend && layer.empty() && linetype.empty() &&
      c.trueColor < 0 && !c.given && !c.flags)
    return nullptr;
  auto data = std::make_unique<KeptData>();
  data->trueColor = std::int32_t(c.trueColor);
  data->colorIndex = std::int16_t(c.colorIndex);
  data->pairs = c.kept.take();
  data->extra = std::move(c.tail);
  data->seqend = c.seqend;
  data->given = c.given;
  data->flags = c.flags;
  if (!layer.empty() || !linetype.empty())
    data->spelling = std::make_unique<KeptData::Spelling>(KeptData::Spelling{std::move(layer), std::move(linetype)});
  return data;
}

void DrawingReader::keepWith(AcDbEntity& e, EntityCommon& c) {
  for (auto& [object, own] : c.subs) keepSub(object->objectId(), *own);
  if (!c.blockName.empty() && c.linkBlock) links_.push_back({e.objectId(), c.blockName, c.linkBlock, c.line});
  if (std::unique_ptr<KeptData> data = keptData(e, c, false)) HostAccess::setKept(e, std::move(data));
}

// A sub-entity read takes back its own properties from its owner's, which it was given on the
// way in; a command that changes the owner's passes them on to it again. Its kept data, even
// empty, says it came from the file.
void DrawingReader::keepSub(AcDbObjectId id, EntityCommon& c) {
  claim(id, c.handle);
  AcDbEntity* e = nullptr;
  if (acdbOpenObject(e, id, AcDb::kForWrite) != Acad::eOk) return;
  AcDbObjectId layer, linetype = db_.byLayerLinetype();
  if (named(layers_, true, c.layer, layer) == Acad::eOk) e->setLayer(layer, false);
  if (!c.linetype.empty() && named(linetypes_, false, c.linetype, linetype) != Acad::eOk) linetype = e->linetypeId();
  e->setLinetype(linetype, false);
  e->setColor(c.color, false);
  HostAccess::setKept(*e, keptData(*e, c, true));
  e->close();
}

// ---------------------------------------------------------------------------------------------
// The database

template <class Table, class Record>
Acad::ErrorStatus DrawingReader::symbol(AcDbObjectId tableId, const std::string& name, std::uint64_t handle,
                                        AcDbObjectId& id, bool& created) {
  created = false;
  Table* table = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(table, tableId, AcDb::kForWrite)) return es;
  Acad::ErrorStatus es = Acad::eOk;
  if (table->getAt(name.c_str(), id) == Acad::eOk) {
    claim(id, handle);
  } else {
    auto* rec = new Record;
    es = rec->setName(name.c_str());
    HostAccess::wantHandle(db_, handle < kParked ? handle : 0);
    if (es == Acad::eOk) es = table->add(id, rec);
    HostAccess::wantHandle(db_, 0);
    if (es != Acad::eOk) delete rec;
    else rec->close();
    created = es == Acad::eOk;
  }
  table->close();
  return es;
}

// A layer or linetype by name, made when the table lacks it, as the host does.
Acad::ErrorStatus DrawingReader::named(std::unordered_map<std::string, AcDbObjectId>& cache, bool layer,
                                       const std::string& name, AcDbObjectId& id) {
  std::string key = lower(name);
  auto it = cache.find(key);
  if (it != cache.end()) {
    id = it->second;
    return Acad::eOk;
  }
  bool created = false;
  Acad::ErrorStatus es =
      layer ? symbol<AcDbLayerTable, AcDbLayerTableRecord>(db_.layerTableId(), name, 0, id, created)
            : symbol<AcDbLinetypeTable, AcDbLinetypeTableRecord>(db_.linetypeTableId(), name, 0, id, created);
  if (es == Acad::eOk) cache.emplace(std::move(key), id);
  return es;
}

// A name the host cannot take is the file's fault; any other refusal is the database's.
bool DrawingReader::nameRefused(Acad::ErrorStatus es, const std::string& name, long line) {
  return refuse(es, line, "the drawing refused the name '" + name + "'");
}

AcDbObjectId DrawingReader::blockRecord(const std::string& name, std::uint64_t handle, long line) {
  AcDbObjectId id;
  bool created = false;
  std::string mapped = blockName(name);
  if (Acad::ErrorStatus es = symbol<AcDbBlockTable, AcDbBlockTableRecord>(db_.blockTableId(), mapped, handle, id, created)) {
    nameRefused(es, name, line);
    return AcDbObjectId();
  }
  return id;
}

// An object the read made itself takes the file's handle for it, when it has none yet.
void DrawingReader::claim(AcDbObjectId id, std::uint64_t handle) {
  if (handle == 0 || handle >= kParked || id.handle().value() < kParked) return;
  HostAccess::rehandle(db_, id, handle);
}

KeptData& DrawingReader::keptOf(AcDbObjectId id) {
  AcDbObject* object = HostAccess::stub(id)->object;
  if (!HostAccess::kept(*object)) HostAccess::setKept(*object, std::make_unique<KeptData>());
  return *HostAccess::kept(*object);
}

// Entities of one block come one after another: its record stays open for them.
AcDbBlockTableRecord* DrawingReader::openRecord(AcDbObjectId id, long line) {
  if (open_ && openId_ == id) return open_;
  closeRecord();
  if (Acad::ErrorStatus es = acdbOpenObject(open_, id, AcDb::kForWrite)) {
    refuse(es, line, "cannot open a block");
    return nullptr;
  }
  openId_ = id;
  return open_;
}

void DrawingReader::closeRecord() {
  if (open_) open_->close();
  open_ = nullptr;
}

bool DrawingReader::refuse(Acad::ErrorStatus es, long line, const std::string& what) {
  if (status_ != Acad::eOk) return false;
  status_ = es == Acad::eInvalidSymbolTableName ? Acad::eBadDxfFile : Acad::eDxfReadAborted;
  error_ = "line " + std::to_string(line) + ": " + what + " (" + statusText(es) + ")";
  return false;
}

// ---------------------------------------------------------------------------------------------
// The end of the file

bool DrawingReader::finish() {
  closeRecord();
  kept->size = std::uint64_t(std::max<std::int64_t>(in_.size(), 0));
  if (!linkBlocks()) return false;
  ownObjects();
  setCurrentLayer();
  settleHandles();
  return true;
}

bool DrawingReader::linkBlocks() {
  if (links_.empty()) return true;
  std::unordered_map<std::string, AcDbObjectId> blocks;
  AcDbBlockTable* table = nullptr;
  if (Acad::ErrorStatus es = db_.getBlockTable(table)) return refuse(es, links_.front().line, "cannot open the block table");
  for (AcDbObjectId id : table->recordIds())
    if (!id.isErased()) blocks.emplace(lower(AcDbBlockTableRecord::cast(HostAccess::stub(id)->object)->getName()), id);
  table->close();
  for (const Link& l : links_) {
    // A block the file lacks is made empty, as the host does, so the reference keeps its name.
    auto it = blocks.find(lower(blockName(l.block)));
    if (it == blocks.end()) {
      AcDbObjectId made = blockRecord(l.block, 0, l.line);
      if (made.isNull()) return false;
      it = blocks.emplace(lower(blockName(l.block)), made).first;
    }
    AcDbEntity* e = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(e, l.entity, AcDb::kForWrite)) return refuse(es, l.line, "cannot open an entity");
    l.link(*e, it->second);
    e->close();
  }
  return true;
}

void DrawingReader::ownObjects() {
  for (const auto& [id, owner] : owners_) {
    AcDbObjectId ownerId;
    if (db_.getAcDbObjectId(ownerId, false, AcDbHandle(owner)) == Acad::eOk)
      HostAccess::setOwner(*HostAccess::stub(id)->object, ownerId);
  }
}

// A current layer the table lacks falls back to "0", as the host does on open.
void DrawingReader::setCurrentLayer() {
  if (clayer_.empty()) return;
  auto it = layers_.find(lower(clayer_));
  if (it == layers_.end()) {
    AcDbLayerTable* table = nullptr;
    AcDbObjectId id;
    if (db_.getLayerTable(table) == Acad::eOk) {
      table->getAt(clayer_.c_str(), id);
      table->close();
    }
    if (!id.isNull()) HostAccess::restoreClayer(db_, id);
    return;
  }
  HostAccess::restoreClayer(db_, it->second);
}

// The read's own objects take handles above every handle of the file.
void DrawingReader::settleHandles() {
  std::uint64_t top = HostAccess::lastHandleBelow(db_, kParked);
  if (seed_ > 0 && seed_ < kParked) top = std::max(top, seed_ - 1);
  if (in_.maxHandle() < kParked) top = std::max(top, in_.maxHandle());
  kept->seed = top + 1;
  kept->handled = in_.maxHandle() > 0;
  std::vector<AcDbObjectId> parked = HostAccess::idsFrom(db_, kParked);
  HostAccess::setHandseed(db_, top + 1);
  for (AcDbObjectId id : parked) HostAccess::rehandle(db_, id, db_.handseed().value());
}

void DrawingReader::parkDefaults() {
  std::uint64_t next = kParked;
  for (AcDbObjectId id : HostAccess::idsFrom(db_, 0)) HostAccess::rehandle(db_, id, next++);
  HostAccess::setHandseed(db_, next);
}

}  // namespace

Acad::ErrorStatus readDrawing(const std::string& path, std::unique_ptr<AcDbDatabase>& db, std::string& error,
                              ReadReport* report) {
  TagReader in;
  if (Acad::ErrorStatus es = in.open(path, error)) return es;
  auto fresh = std::make_unique<AcDbDatabase>(true);
  DrawingReader reader(in, *fresh);
  if (!reader.read()) {
    error = reader.error();
    return reader.status();
  }
  HostAccess::setKept(*fresh, std::move(reader.kept));
  if (report) *report = std::move(reader.report);
  db = std::move(fresh);
  return Acad::eOk;
}

}  // namespace kv::dxf
