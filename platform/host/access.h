// The platform's way to the members of the host's classes that a module must not touch: the
// ids behind object ids, the open protocol, and the parts of entities a clone or a database
// needs. Public headers name this struct their friend; nothing outside the platform sees it.
#pragma once

#include <string>
#include <utility>
#include <iterator>
#include <memory>
#include <vector>

#include "host/acdb.h"
#include "host/kept.h"
#include "host/stub.h"

namespace kv {

struct HostAccess {
  static AcDbStub* stub(AcDbObjectId id) { return id.stub_; }
  static AcDbObjectId idOf(AcDbStub* stub) { return AcDbObjectId(stub); }

  static Acad::ErrorStatus openAs(AcDbObject& object, AcDb::OpenMode mode) { return object.openAs(mode); }
  static void attach(AcDbObject& object, AcDbStub* stub) { object.attach(stub); }
  static AcDbObject* container(const AcDbObject& object) { return object.container_; }
  static void setContainer(AcDbObject& object, AcDbObject* holder) { object.container_ = holder; }

  static void copyProperties(const AcDbEntity& from, AcDbEntity& to) { from.copyPropertiesTo(to); }
  static void setDefaults(AcDbEntity& entity, AcDbDatabase* db) { entity.setDefaults(db); }
  // A drawing read from a file keeps the current layer it names, frozen or not: that is the
  // file's state, not a user making a frozen layer current.
  static void restoreClayer(AcDbDatabase& db, AcDbObjectId layer) { db.clayer_ = layer; }
  // The kind of a polyline's vertex (frame, fitted, its own), as a reader found it in a file.
  template <class Vertex, class Type>
  static void setVertexType(Vertex& vertex, Type type) { vertex.type_ = type; }
  // A copy out of reach of fault injection, for the parts of a clone that must not fail alone.
  static AcRxObject* copy(const AcRxObject& object) { return object.subClone(); }

  // What a file held beyond the model (host/kept.h); null when nothing.
  static KeptData* kept(const AcDbObject& object) { return object.kept_; }
  static void setKept(AcDbObject& object, std::unique_ptr<KeptData> kept) {
    delete object.kept_;
    object.kept_ = kept.release();
  }
  static KeptDrawing* kept(const AcDbDatabase& db) { return db.kept_; }
  static void setKept(AcDbDatabase& db, std::unique_ptr<KeptDrawing> kept) {
    delete db.kept_;
    db.kept_ = kept.release();
  }
  // The owner a file names, set without the open protocol: a reader's bookkeeping.
  static void setOwner(AcDbObject& object, AcDbObjectId owner) { object.owner_ = owner; }

  // Handles, for a reader that keeps a file's own. The next object added takes handle when
  // no object has it (the wish ends with that object, whether granted or not).
  static void wantHandle(AcDbDatabase& db, std::uint64_t handle) { db.wanted_ = handle; }
  // The handle the next new object takes.
  static void setHandseed(AcDbDatabase& db, std::uint64_t seed) { db.nextHandle_ = seed; }
  // Moves an object to a free handle; false (nothing changed) when another object has it.
  static bool rehandle(AcDbDatabase& db, AcDbObjectId id, std::uint64_t handle) {
    AcDbStub* s = id.stub_;
    if (!s || s->db != &db || handle == 0 || db.byHandle_.count(handle)) return false;
    db.byHandle_.erase(s->handle);
    s->handle = handle;
    db.byHandle_[handle] = s;
    if (handle >= db.nextHandle_) db.nextHandle_ = handle + 1;
    return true;
  }
  // The objects whose handles are at least from, in handle order.
  static std::vector<AcDbObjectId> idsFrom(const AcDbDatabase& db, std::uint64_t from) {
    std::vector<AcDbObjectId> out;
    for (auto it = db.byHandle_.lower_bound(from); it != db.byHandle_.end(); ++it) out.push_back(idOf(it->second));
    return out;
  }
  // The highest handle below limit that an object has; 0 for none.
  static std::uint64_t lastHandleBelow(const AcDbDatabase& db, std::uint64_t limit) {
    auto it = db.byHandle_.lower_bound(limit);
    return it == db.byHandle_.begin() ? 0 : std::prev(it)->first;
  }
};

}  // namespace kv
