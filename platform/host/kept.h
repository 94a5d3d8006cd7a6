// What a drawing file held beyond the host's model, carried so that a save writes it back as
// read: the pairs of an object the model does not hold, entities and objects of kinds the host
// does not know, and the parts of the drawing outside its tables and blocks. The DXF layer
// fills and reads these (the pairs are in its packed form, dxf/dxf_kept.h); the host only
// carries them and never looks inside. Platform use only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/acdb.h"

namespace kv {

struct KeptData {
  std::string pairs;  // the object's own pairs the model does not hold, in file order
  // Whole pieces that go with the object: the sub-entities that followed an entity (ATTRIB,
  // VERTEX ... SEQEND); a block's BLOCK and ENDBLK.
  std::string extra;
  std::uint64_t seqend = 0;  // handle of the SEQEND that closed its vertices, 0 for none
  std::int64_t flags = 0;    // bits of its flags (70) the model does not hold
  std::uint8_t given = 0;    // which of its writer's optional values the file gave (the writer's bits)
  // A true colour as read (420) with the index the file gave beside it (62), which is not
  // always the host's nearest: written back while the colour is the one read.
  std::int32_t trueColor = -1;
  std::int16_t colorIndex = 0;
  bool unhandled = false;  // the file gave it no handle (R12): none is written
  // The names of an entity's layer and linetype as the file spelt them, where the drawing's
  // records spell them otherwise (in case only); null where they agree.
  struct Spelling {
    std::string layer, linetype;
  };
  std::unique_ptr<Spelling> spelling;
};

// A copy of kept data, handles of the file inside it included.
KV_PLATFORM_API std::unique_ptr<KeptData> copyOf(const KeptData& kept);

// The one copy of a DXF name that kept entities and objects share; it lives as long as the
// program.
KV_PLATFORM_API const std::string& keptName(std::string_view name);

// An entity of a kind the host does not model, or one whose data the host could not take: its
// layer, linetype and colour are the host's, so that layer states and selection apply to it;
// the rest is kept as read and cannot be moved or measured. A clone carries the kept data as it
// stands, handles of the file inside it included: one copied into another drawing needs them
// made its own (dxf/dxfin.h).
class KV_PLATFORM_API KeptEntity : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(KeptEntity)
  explicit KeptEntity(std::string_view dxfName) : dxfName_(&keptName(dxfName)) {}
  const std::string& dxfName() const { return *dxfName_; }

protected:
  AcRxObject* subClone() const override;

private:
  const std::string* dxfName_;  // one copy of each name for all
};

// An object or table record the host does not model: every pair kept, its handle the
// database's and its owner the object the file named, when the drawing has it.
class KV_PLATFORM_API KeptObject : public AcDbObject {
public:
  KV_RX_DECLARE_MEMBERS(KeptObject)
  explicit KeptObject(std::string_view dxfName) : dxfName_(&keptName(dxfName)) {}
  const std::string& dxfName() const { return *dxfName_; }

private:
  const std::string* dxfName_;
};

// A table of the file, in file order. A table the host models (LTYPE, LAYER, BLOCK_RECORD) has
// its head's pairs kept with the host's table object, and only records of other kinds here;
// any other table is kept whole: its head and records as kept objects.
struct KeptTable {
  std::string name;
  bool modelled = false;
  AcDbObjectId head;  // a KeptObject of type TABLE; null for a modelled table
  std::vector<AcDbObjectId> records;
};

struct KeptSection {
  std::string name;
  std::string pairs;  // everything between its name and ENDSEC
};

struct KeptDrawing {
  std::string version;   // $ACADVER as the file declared it; empty when it declared none
  bool hadHeader = false;
  std::string header;    // every header pair, with only the names of variables the host models
  std::string codepage;  // $DWGCODEPAGE as declared; empty when the file declared none
  std::uint64_t seed = 0;  // above every handle the file held ($HANDSEED or higher)
  bool handled = true;     // the file gave objects handles (R12 may not): else none are written
  std::uint64_t size = 0;  // of the file, in bytes
  std::vector<KeptSection> sections;  // CLASSES and the sections the host does not read
  std::vector<KeptTable> tables;
  bool hadObjects = false;
  std::vector<AcDbObjectId> objects;  // the OBJECTS section, in file order
};

}  // namespace kv
