// What an object id points at: the database's record of one object. Platform use only.
#pragma once

#include <cstdint>

class AcDbDatabase;
class AcDbObject;

struct AcDbStub {
  AcDbDatabase* db = nullptr;
  std::uint64_t handle = 0;
  AcDbObject* object = nullptr;  // owned by the database
  bool erased = false;
};
