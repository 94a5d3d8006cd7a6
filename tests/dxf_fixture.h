// What the DXF tests share: a file's pairs read without our own reader, and table records made
// in a drawing.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/acdb.h"

namespace kv::test {

struct Pair {
  int code;
  std::string value;
  bool operator==(const Pair& p) const { return code == p.code && value == p.value; }
};

inline std::ostream& operator<<(std::ostream& out, const Pair& p) { return out << p.code << "=" << p.value; }

// The file's pairs, for checks of structure that do not go through our own reader.
inline std::vector<Pair> pairsOf(const std::string& text) {
  std::vector<Pair> out;
  std::istringstream in(text);
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    out.push_back({std::stoi(code), value});
  }
  return out;
}

inline AcDbObjectId addLinetype(AcDbDatabase& db, const char* name, const char* comments) {
  AcDbLinetypeTable* table = nullptr;
  EXPECT_EQ(db.getLinetypeTable(table, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLinetypeTableRecord;
  rec->setName(name);
  rec->setComments(comments);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, rec), Acad::eOk);
  rec->close();
  table->close();
  return id;
}

}  // namespace kv::test
