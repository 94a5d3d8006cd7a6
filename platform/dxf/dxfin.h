// DXFIN: a drawing read from a DXF file is merged into the open one. The built-in command
// itself registers with the host; this is the merge it runs, open to tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/export.h"
#include "host/acdb.h"

namespace kv::dxf {

// Copies entities and the records they need from one database into another, as the host
// merges a drawing: each entity is copied with clone() and appended under a new handle of the
// target; a layer, linetype or block of a name the target already holds is the target's own
// record, unchanged; one it lacks is made with the source's name and properties (a layer with
// its colour, its off, frozen and locked flags and its linetype; a block with its entities).
// An anonymous block (a name such as *U12) is always a new one, under a name of the same kind
// the target lacks. A block reference's copy names the target's copy of its block. What an
// entity kept beside the model (host/kept.h) comes with it, made the target's: its
// sub-entities take new handles, reactors are dropped and a pointer to a layer, linetype or
// block names the target's. Where it points at any other object of the source (an extension
// dictionary, a style object), an entity kept as read (kv::KeptEntity) is not copied, counted
// in leftOut() by its DXF name; a modelled one comes without it, counted as "NAME data".
// All or nothing: everything made stays open for write until finish(), which closes it all on
// success and erases it all first when any step failed, so a failed import leaves no live
// object of its own in the target.
class KV_PLATFORM_API DrawingImport {
public:
  DrawingImport(AcDbDatabase& source, AcDbDatabase& target) : source_(source), target_(target) {}
  ~DrawingImport();  // a merge not finished is taken out again
  DrawingImport(const DrawingImport&) = delete;
  DrawingImport& operator=(const DrawingImport&) = delete;

  // The target's record for a record of the source; null after a failure (see status()).
  AcDbObjectId layer(AcDbObjectId sourceLayer);
  AcDbObjectId linetype(AcDbObjectId sourceLinetype);
  AcDbObjectId block(AcDbObjectId sourceBlock);
  // Appends a copy of a source entity to owner, a record of the target open for write.
  Acad::ErrorStatus entity(AcDbObjectId sourceEntity, AcDbBlockTableRecord& owner);
  // The entities appended so far, in order.
  int entitiesCopied() const { return copied_; }
  // What was not copied for pointing at objects that do not come along: entities by DXF name,
  // the kept data of modelled ones as "NAME data".
  const std::map<std::string, int>& leftOut() const { return left_; }

  // The first failure: its status (eOk while none) and one line naming what was refused.
  Acad::ErrorStatus status() const { return status_; }
  const std::string& error() const { return error_; }
  // Keeps what was made when nothing failed, else takes it all out again; answers status().
  Acad::ErrorStatus finish();

private:
  template <class Table, class Record>
  AcDbObjectId existing(AcDbObjectId tableId, const char* name);
  template <class Table, class Record>
  Record* make(AcDbObjectId tableId, const char* name, AcDbObjectId& id);
  bool fail(Acad::ErrorStatus es, const std::string& what);
  Acad::ErrorStatus copyInto(AcDbEntity* copy, const AcDbEntity& original, AcDbBlockTableRecord& owner);
  std::string freshAnonymousName(const std::string& name);
  bool pointsOutside(const AcDbEntity& original);
  std::uint64_t targetRecord(std::uint64_t sourceHandle);
  void ownKeptData(AcDbEntity& copy, const AcDbEntity& original);
  void keepWithCopy(AcDbEntity& copy, const AcDbEntity& original, bool outside, const std::string& name);

  AcDbDatabase& source_;
  AcDbDatabase& target_;
  std::map<AcDbObjectId, AcDbObjectId> mapped_;  // source record -> target record
  std::vector<AcDbObject*> made_;                // open for write, oldest first
  std::map<std::string, int> left_;
  int copied_ = 0;
  bool finished_ = false;
  Acad::ErrorStatus status_ = Acad::eOk;
  std::string error_;
};

// Merges the live model-space entities of source into target's model space, all or nothing.
// count receives the number of entities copied; error the reason of a failure; leftOut, when
// given, the entities not copied (DrawingImport::leftOut()).
KV_PLATFORM_API Acad::ErrorStatus importModelSpace(AcDbDatabase& source, AcDbDatabase& target, int& count,
                                                   std::string& error,
                                                   std::map<std::string, int>* leftOut = nullptr);

}  // namespace kv::dxf
