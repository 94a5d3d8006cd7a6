// Reading: the whole file is parsed into plain records first and the database is built from
// them only when the file proved sound, so a bad file never leaves half a drawing.
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "dxf/dxf.h"
#include "dxf/dxf_entities.h"
#include "dxf/dxf_tags.h"
#include "host/annotations.h"
#include "core/numbers.h"
#include "host/access.h"

namespace kv::dxf {
namespace {

// The newest version read; later files hold data (SAB solids, new objects) the host cannot read.
constexpr long kNewestVersion = 1024;

struct LayerDef {
  std::string name;
  AcCmColor color;
  bool off = false, frozen = false, locked = false;
  std::string linetype;
  long line = 0;
};

struct LinetypeDef {
  std::string name, description;
  long line = 0;
};

struct PendingEntity {
  std::unique_ptr<AcDbEntity> entity;
  EntityCommon common;
};

bool sameName(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

std::string statusText(Acad::ErrorStatus es) { return "status " + std::to_string(int(es)); }

class Builder;

class DrawingReader {
public:
  explicit DrawingReader(TagReader& in) : in_(in) {}

  bool parse();
  Acad::ErrorStatus build(std::unique_ptr<AcDbDatabase>& db, std::string& error);
  ReadReport report;

private:
  bool header();
  bool tables();
  bool table(const std::string& name);
  // Table entries; false on a malformed one, with the error recorded.
  bool layerEntry(const std::vector<Tag>& tags, long line);
  bool linetypeEntry(const std::vector<Tag>& tags, long line);
  void blockRecordEntry(const std::vector<Tag>& tags);
  bool blocks();
  bool entities();
  bool skipSection(const std::string& name);
  // Reads the entity whose "0 NAME" pair is start; keeps it when it belongs to model space.
  bool entity(const Tag& start, bool inModelBlock);
  bool skipEntity(EntityIn& in);
  bool ownedByModelSpace(const EntityCommon& c) const;
  bool entry(std::vector<Tag>& tags);
  // The steps of build(); each leaves the first refusal in the builder.
  void buildLinetypes(Builder& b, AcDbDatabase& db);
  void buildLayers(Builder& b, AcDbDatabase& db);
  void setCurrentLayer(AcDbDatabase& db) const;
  void buildEntities(Builder& b, AcDbDatabase& db);

  TagReader& in_;
  std::vector<LayerDef> layers_;
  std::vector<LinetypeDef> linetypes_;
  std::string clayer_;
  std::string codepage_;  // $DWGCODEPAGE as the file declares it
  std::vector<PendingEntity> entities_;
  std::uint64_t modelRecord_ = 0;
  std::set<std::uint64_t> otherRecords_;  // block records other than model space
};

bool DrawingReader::parse() {
  report.version = "AC1009";
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected group code 0, found " + std::to_string(t.code));
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "EOF") return true;
    if (v != "SECTION") return in_.fail(t.line, "expected SECTION or EOF, found '" + std::string(v) + "'");
    if (!in_.next(t)) break;
    if (t.code != 2) return in_.fail(t.line, "SECTION without its name (group 2)");
    std::string name(kv::trimBlanks(t.value));
    bool ok = name == "HEADER"     ? header()
              : name == "TABLES"   ? tables()
              : name == "BLOCKS"   ? blocks()
              : name == "ENTITIES" ? entities()
                                   : skipSection(name);
    if (!ok) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends without EOF");
}

bool DrawingReader::skipSection(const std::string& name) {
  Tag t;
  while (in_.next(t))
    if (t.code == 0 && kv::trimBlanks(t.value) == "ENDSEC") return true;
  return in_.ok() && in_.fail(in_.line(), "file ends inside section " + name);
}

bool DrawingReader::header() {
  std::string var;
  Tag t;
  while (in_.next(t)) {
    if (t.code == 0) {
      if (kv::trimBlanks(t.value) == "ENDSEC") return true;
      return in_.fail(t.line, "unexpected '" + std::string(kv::trimBlanks(t.value)) + "' in HEADER");
    }
    if (t.code == 9) {
      var = std::string(kv::trimBlanks(t.value));
      continue;
    }
    if (var == "$ACADVER" && t.code == 1) {
      std::string_view v = kv::trimBlanks(t.value);
      report.version = std::string(v);
      if (v.size() > 2 && v.substr(0, 2) == "AC" && std::atol(std::string(v.substr(2)).c_str()) > kNewestVersion)
        return in_.fail(t.line, "DXF version " + report.version + " is newer than R2010 (AC1024)");
    } else if (var == "$CLAYER" && t.code == 8) {
      clayer_ = std::string(kv::trimBlanks(t.value));
    } else if (var == "$DWGCODEPAGE" && t.code == 3) {
      codepage_ = std::string(kv::trimBlanks(t.value));
    }
    // Text from here on is in the page these two decide.
    if (var == "$ACADVER" || var == "$DWGCODEPAGE") in_.setCodepage(readingCodepage(report.version, codepage_));
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside HEADER");
}

// Collects the pairs of one table entry up to the next "0" pair, which is left unread.
bool DrawingReader::entry(std::vector<Tag>& tags) {
  tags.clear();
  Tag t;
  while (in_.next(t)) {
    if (t.code == 0) {
      in_.unread();
      return true;
    }
    tags.push_back(t);
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside a table");
}

bool DrawingReader::tables() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) continue;  // pairs outside any table carry nothing we use
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "ENDSEC") return true;
    if (v != "TABLE") return in_.fail(t.line, "expected TABLE, found '" + std::string(v) + "'");
    if (!in_.next(t)) break;
    if (t.code != 2) return in_.fail(t.line, "TABLE without its name (group 2)");
    if (!table(std::string(kv::trimBlanks(t.value)))) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside TABLES");
}

bool DrawingReader::table(const std::string& name) {
  std::vector<Tag> tags;
  if (!entry(tags)) return false;  // the table's own pairs
  Tag t;
  while (in_.next(t)) {
    std::string_view kind = kv::trimBlanks(t.value);
    long line = t.line;
    if (kind == "ENDTAB") return true;
    if (kind == "ENDSEC") {  // a table left open; the section end closes it
      in_.unread();
      return true;
    }
    if (!entry(tags)) return false;
    bool ok = true;
    if (name == "LAYER" && kind == "LAYER") ok = layerEntry(tags, line);
    else if (name == "LTYPE" && kind == "LTYPE") ok = linetypeEntry(tags, line);
    else if (name == "BLOCK_RECORD" && kind == "BLOCK_RECORD") blockRecordEntry(tags);
    if (!ok) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside table " + name);
}

bool DrawingReader::layerEntry(const std::vector<Tag>& tags, long line) {
  LayerDef layer;
  layer.line = line;
  layer.color.setColorIndex(7);
  bool trueColor = false;
  std::int64_t n = 0;
  auto number = [&](const Tag& tag) {
    return kv::toNumber(tag.value, n) || in_.fail(tag.line, "group " + std::to_string(tag.code) + " is not an integer");
  };
  for (const Tag& e : tags) {
    switch (e.code) {
      case 2: layer.name = std::string(kv::trimBlanks(e.value)); break;
      case 6: layer.linetype = std::string(kv::trimBlanks(e.value)); break;
      case 70:
        if (!number(e)) return false;
        layer.frozen = n & 1;
        layer.locked = n & 4;
        break;
      case 62:
        if (!number(e)) return false;
        layer.off = n < 0;
        n = std::llabs(n);
        if (!trueColor && n >= 1 && n <= 255) layer.color.setColorIndex(Adesk::UInt16(n));
        break;
      case 420:
        if (!number(e)) return false;
        applyTrueColor(layer.color, n);
        trueColor = true;
        break;
      default: break;
    }
  }
  if (layer.name.empty()) return in_.fail(line, "LAYER without a name");
  layers_.push_back(std::move(layer));
  return true;
}

bool DrawingReader::linetypeEntry(const std::vector<Tag>& tags, long line) {
  LinetypeDef lt;
  lt.line = line;
  for (const Tag& e : tags) {
    if (e.code == 2) lt.name = std::string(kv::trimBlanks(e.value));
    if (e.code == 3) lt.description = e.value;
  }
  if (lt.name.empty()) return in_.fail(line, "LTYPE without a name");
  linetypes_.push_back(std::move(lt));
  return true;
}

void DrawingReader::blockRecordEntry(const std::vector<Tag>& tags) {
  std::uint64_t handle = 0;
  std::string recordName;
  for (const Tag& e : tags) {
    if (e.code == 5) handle = std::strtoull(std::string(kv::trimBlanks(e.value)).c_str(), nullptr, 16);
    if (e.code == 2) recordName = std::string(kv::trimBlanks(e.value));
  }
  if (handle == 0) return;
  if (sameName(recordName, ACDB_MODEL_SPACE)) modelRecord_ = handle;
  else otherRecords_.insert(handle);
}

bool DrawingReader::blocks() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected BLOCK, found group " + std::to_string(t.code));
    std::string_view v = kv::trimBlanks(t.value);
    if (v == "ENDSEC") return true;
    if (v != "BLOCK") return in_.fail(t.line, "expected BLOCK, found '" + std::string(v) + "'");
    std::string blockName;
    {
      EntityCommon common;
      EntityIn in(in_, common);
      Tag b;
      while (in.next(b))
        if (b.code == 2) blockName = std::string(kv::trimBlanks(b.value));
      if (!in.ok()) return false;
    }
    bool model = sameName(blockName, ACDB_MODEL_SPACE);
    for (;;) {
      if (!in_.next(t)) return in_.ok() && in_.fail(in_.line(), "file ends inside block " + blockName);
      std::string_view kind = kv::trimBlanks(t.value);
      if (kind == "ENDBLK") {
        EntityCommon common;
        EntityIn in(in_, common);
        if (!skipEntity(in)) return false;
        break;
      }
      if (kind == "ENDSEC" || kind == "BLOCK") return in_.fail(t.line, "block " + blockName + " has no ENDBLK");
      if (!entity(t, model)) return false;
    }
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside BLOCKS");
}

bool DrawingReader::entities() {
  Tag t;
  while (in_.next(t)) {
    if (t.code != 0) return in_.fail(t.line, "expected an entity, found group " + std::to_string(t.code));
    if (kv::trimBlanks(t.value) == "ENDSEC") return true;
    if (!entity(t, true)) return false;
  }
  return in_.ok() && in_.fail(in_.line(), "file ends inside ENTITIES");
}

bool DrawingReader::skipEntity(EntityIn& in) {
  Tag t;
  while (in.next(t)) {
  }
  return in.ok();
}

bool DrawingReader::ownedByModelSpace(const EntityCommon& c) const {
  if (c.paperSpace) return false;
  if (c.owner == 0 || c.owner == modelRecord_) return true;
  return !otherRecords_.count(c.owner);  // an owner the file does not name: trust the section
}

bool DrawingReader::entity(const Tag& start, bool inModel) {
  std::string name(kv::trimBlanks(start.value));
  EntityCommon common;
  common.line = start.line;
  EntityIn in(in_, common);
  const EntityCodec* codec = codecForDxfName(name);
  if (!codec) {
    if (!skipEntity(in)) return false;
    // Sub-entities of a skipped entity (VERTEX, ATTRIB, up to SEQEND) go with it.
    Tag t;
    while (in_.next(t)) {
      std::string_view sub = kv::trimBlanks(t.value);
      if (t.code != 0 || (sub != "VERTEX" && sub != "ATTRIB" && sub != "SEQEND")) {
        in_.unread();
        break;
      }
      EntityCommon subCommon;
      EntityIn subIn(in_, subCommon);
      if (!skipEntity(subIn)) return false;
      if (sub == "SEQEND") break;
    }
    if (!in_.ok()) return false;
    if (inModel && ownedByModelSpace(common)) ++report.unsupported[name];
    else ++report.otherSpaceSkipped;
    return true;
  }
  std::unique_ptr<AcDbEntity> e = codec->read(in);
  if (!e && in_.ok() && in.unsupported()) {
    if (inModel && ownedByModelSpace(common)) {
      ++report.unsupported[name];
      if (!in.why().empty())
        report.notes.push_back("line " + std::to_string(start.line) + ": " + name + " not read: " + in.why());
    } else {
      ++report.otherSpaceSkipped;
    }
    return true;
  }
  if (!e) return in_.ok() ? in_.fail(start.line, "cannot read " + name) : false;
  if (!inModel || !ownedByModelSpace(common)) {
    ++report.otherSpaceSkipped;
    return true;
  }
  e->setColor(common.color);
  entities_.push_back(PendingEntity{std::move(e), std::move(common)});
  return true;
}

// ---------------------------------------------------------------------------------------------

// Finds or makes the records that the file names, with the first failure kept for the message.
class Builder {
public:
  explicit Builder(AcDbDatabase& db) : db_(db) {}

  template <class Table, class Record>
  AcDbObjectId record(AcDbObjectId tableId, const std::string& name, long line, bool& created) {
    created = false;
    AcDbObjectId id;
    Table* table = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(table, tableId, AcDb::kForWrite)) {
      fail(es, line, "cannot open a symbol table");
      return id;
    }
    if (table->getAt(name.c_str(), id) != Acad::eOk) {
      auto* rec = new Record;
      Acad::ErrorStatus es = rec->setName(name.c_str());
      if (es == Acad::eOk) es = table->add(id, rec);
      if (es != Acad::eOk) {
        delete rec;
        id = AcDbObjectId();
        fail(es, line, "the drawing refused the name '" + name + "'");
      } else {
        rec->close();
        created = true;
      }
    }
    table->close();
    return id;
  }

  AcDbObjectId layer(const std::string& name, long line) {
    bool created = false;
    return record<AcDbLayerTable, AcDbLayerTableRecord>(db_.layerTableId(), name, line, created);
  }

  AcDbObjectId linetype(const std::string& name, long line) {
    bool created = false;
    return record<AcDbLinetypeTable, AcDbLinetypeTableRecord>(db_.linetypeTableId(), name, line, created);
  }

  void fail(Acad::ErrorStatus es, long line, const std::string& what) {
    if (status != Acad::eOk) return;
    // A name the host cannot take is the file's fault; any other refusal is the database's.
    status = es == Acad::eInvalidSymbolTableName ? Acad::eBadDxfFile : Acad::eDxfReadAborted;
    error = "line " + std::to_string(line) + ": " + what + " (" + statusText(es) + ")";
  }

  Acad::ErrorStatus status = Acad::eOk;
  std::string error;

private:
  AcDbDatabase& db_;
};

// An INSERT names its block; one the file does not define (today: any but the two spaces, as
// block definitions are not read yet) is made empty under that name, as a missing layer is.
void linkBlock(Builder& b, AcDbDatabase& db, const EntityCommon& c, AcDbEntity& e) {
  auto* ref = AcDbBlockReference::cast(&e);
  if (!ref || c.blockName.empty()) return;
  bool created = false;
  AcDbObjectId id = b.record<AcDbBlockTable, AcDbBlockTableRecord>(db.blockTableId(), c.blockName, c.line, created);
  if (!id.isNull()) ref->setBlockTableRecord(id);
}

Acad::ErrorStatus DrawingReader::build(std::unique_ptr<AcDbDatabase>& out, std::string& error) {
  auto db = std::make_unique<AcDbDatabase>(true);
  Builder b(*db);
  buildLinetypes(b, *db);
  if (!b.status) buildLayers(b, *db);
  if (!b.status) setCurrentLayer(*db);
  if (!b.status) buildEntities(b, *db);
  if (b.status) {
    error = b.error;
    return b.status;
  }
  kv::HostAccess::setCodepage(*db, Codepage::named(codepage_).name());
  out = std::move(db);
  return Acad::eOk;
}

void DrawingReader::buildLinetypes(Builder& b, AcDbDatabase& db) {
  for (const LinetypeDef& def : linetypes_) {
    bool created = false;
    AcDbObjectId id = b.record<AcDbLinetypeTable, AcDbLinetypeTableRecord>(db.linetypeTableId(), def.name, def.line, created);
    if (id.isNull()) return;
    AcDbLinetypeTableRecord* rec = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(rec, id, AcDb::kForWrite)) {
      b.fail(es, def.line, "cannot open linetype " + def.name);
      return;
    }
    if (created || !def.description.empty()) rec->setComments(def.description.c_str());
    rec->close();
  }
}

void DrawingReader::buildLayers(Builder& b, AcDbDatabase& db) {
  for (const LayerDef& def : layers_) {
    AcDbObjectId id = b.layer(def.name, def.line);
    if (id.isNull()) return;
    AcDbObjectId lt = def.linetype.empty() ? db.continuousLinetype() : b.linetype(def.linetype, def.line);
    if (b.status) return;
    AcDbLayerTableRecord* rec = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(rec, id, AcDb::kForWrite)) {
      b.fail(es, def.line, "cannot open layer " + def.name);
      return;
    }
    rec->setColor(def.color);
    rec->setIsOff(def.off);
    rec->setIsFrozen(def.frozen);
    rec->setIsLocked(def.locked);
    if (!lt.isNull()) rec->setLinetypeObjectId(lt);
    rec->close();
  }
}

// A current layer the table lacks falls back to "0", as the host does on open.
void DrawingReader::setCurrentLayer(AcDbDatabase& db) const {
  if (clayer_.empty()) return;
  AcDbLayerTable* table = nullptr;
  AcDbObjectId id;
  if (db.getLayerTable(table) == Acad::eOk) {
    table->getAt(clayer_.c_str(), id);
    table->close();
  }
  if (!id.isNull()) kv::HostAccess::restoreClayer(db, id);
}

void DrawingReader::buildEntities(Builder& b, AcDbDatabase& db) {
  AcDbBlockTableRecord* model = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(model, db.modelSpaceId(), AcDb::kForWrite)) {
    b.fail(es, 1, "cannot open model space");
    return;
  }
  for (PendingEntity& p : entities_) {
    AcDbObjectId layer = b.layer(p.common.layer, p.common.line);
    AcDbObjectId lt;
    if (!p.common.linetype.empty()) lt = b.linetype(p.common.linetype, p.common.line);
    if (b.status) break;
    AcDbEntity* e = p.entity.release();
    if (Acad::ErrorStatus es = model->appendAcDbEntity(e)) {
      delete e;
      b.fail(es, p.common.line, "model space refused an entity");
      break;
    }
    e->setLayer(layer);
    if (!lt.isNull()) e->setLinetype(lt);
    linkBlock(b, db, p.common, *e);
    e->close();
    ++report.entitiesRead;
  }
  model->close();
}

}  // namespace

Acad::ErrorStatus readDrawing(const std::string& path, std::unique_ptr<AcDbDatabase>& db, std::string& error,
                              ReadReport* report) {
  TagReader in;
  if (Acad::ErrorStatus es = in.open(path, error)) return es;
  DrawingReader reader(in);
  if (!reader.parse()) {
    error = in.error();
    return Acad::eBadDxfFile;
  }
  if (Acad::ErrorStatus es = reader.build(db, error)) return es;
  if (report) *report = std::move(reader.report);
  return Acad::eOk;
}

}  // namespace kv::dxf
