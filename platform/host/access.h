// The platform's way to the members of the host's classes that a module must not touch: the
// ids behind object ids, the open protocol, and the parts of entities a clone or a database
// needs. Public headers name this struct their friend; nothing outside the platform sees it.
#pragma once

#include <string>
#include <utility>

#include "host/acdb.h"

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
  // The code page ($DWGCODEPAGE) of the file a drawing was read from; empty for a new drawing.
  static const std::string& codepage(const AcDbDatabase& db) { return db.codepage_; }
  static void setCodepage(AcDbDatabase& db, std::string name) { db.codepage_ = std::move(name); }
  // A drawing read from a file keeps the current layer it names, frozen or not: that is the
  // file's state, not a user making a frozen layer current.
  static void restoreClayer(AcDbDatabase& db, AcDbObjectId layer) { db.clayer_ = layer; }
  // The kind of a polyline's vertex (frame, fitted, its own), as a reader found it in a file.
  template <class Vertex, class Type>
  static void setVertexType(Vertex& vertex, Type type) { vertex.type_ = type; }
  // A copy out of reach of fault injection, for the parts of a clone that must not fail alone.
  static AcRxObject* copy(const AcRxObject& object) { return object.subClone(); }
};

}  // namespace kv
