#include "dxf/dxf_kept.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "core/numbers.h"

namespace kv::dxf {

void packPair(std::string& into, int code, std::string_view value) {
  putVarint(into, std::uint64_t(code));
  putVarint(into, value.size());
  into += value;
}

bool PackedReader::next(int& code, std::string_view& value) {
  if (at_ >= text_.size()) return false;
  std::uint64_t c = 0, size = 0;
  size_t at = at_;
  bool sound = getVarint(text_, at, c) && getVarint(text_, at, size) && at + size <= text_.size();
  assert(sound && "packed pairs are our own");
  if (!sound) return false;
  code = int(c);
  value = text_.substr(at, size);
  at_ = at + size;
  return true;
}

void writeVerbatim(TagWriter& w, std::string_view packed, std::uint64_t handle) {
  PackedReader r(packed);
  int code = 0;
  std::string_view value;
  bool inGroup = false;
  while (r.next(code, value)) {
    // The handle is the first before any marker and outside 102 groups, as a reader takes it.
    if (code == 102) inGroup = kv::trimBlanks(value).substr(0, 1) == "{";
    if (code == 100 || isMarker(code)) handle = 0;
    if (handle && !inGroup && (code == 5 || code == 105)) {
      w.handle(code, handle);
      handle = 0;
    } else if (isMarker(code)) {
      w.str(100, value);
    } else if (code != kOwnerSlot) {
      w.verbatim(code, value);
    }
  }
}

namespace {

// Tells a BLOCK's origin pairs from the rest, pair by pair.
struct OriginPairs {
  bool inGroup = false, xdata = false;
  bool origin(int code, std::string_view value) {
    if (code == 102) inGroup = kv::trimBlanks(value).substr(0, 1) == "{";
    xdata = xdata || isXdata(code);
    return !inGroup && !xdata && (code == 10 || code == 20 || code == 30);
  }
};

}  // namespace

bool blockOrigin(std::string_view packed, AcGePoint3d& origin, bool& found) {
  PackedReader r(packed);
  OriginPairs pairs;
  int code = 0;
  std::string_view value;
  origin = AcGePoint3d();
  found = false;
  while (r.next(code, value)) {
    if (!pairs.origin(code, value)) continue;
    found = true;
    if (!kv::toNumber(value, code == 10 ? origin.x : code == 20 ? origin.y : origin.z)) return false;
  }
  return true;
}

void writeBlockBegin(TagWriter& w, std::string_view packed, const AcGePoint3d& origin) {
  AcGePoint3d read;
  bool found = false;
  // Unchanged, the pairs go back as they were spelt.
  if (blockOrigin(packed, read, found) && read.x == origin.x && read.y == origin.y && read.z == origin.z)
    return writeVerbatim(w, packed);
  PackedReader r(packed);
  OriginPairs pairs;
  bool written = false;
  int code = 0;
  std::string_view value;
  for (size_t at = 0; r.next(code, value); at = r.at()) {
    bool mine = pairs.origin(code, value);
    if (!written && (mine || pairs.xdata)) {
      w.point(10, origin);
      written = true;
    }
    if (pairs.xdata) return writeVerbatim(w, packed.substr(at));
    if (!mine) writeVerbatim(w, packed.substr(at, r.at() - at));
  }
  if (!written) w.point(10, origin);
}

bool holdsCode(std::string_view packed, int code) {
  PackedReader r(packed);
  int c = 0;
  std::string_view value;
  while (r.next(c, value)) {
    if (isXdata(c)) return false;
    if (c == code) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------

void KeptPairs::ownerSlot() {
  if (packed_.empty()) ownerPending_ = true;
  else packPair(packed_, kOwnerSlot, {});
}

void KeptPairs::subclass(std::string_view name, bool always) {
  ownerPending_ = false;
  current_.assign(name);
  occurrence_ = 0;
  for (const std::string& n : names_) occurrence_ += n == name;
  names_.emplace_back(name);
  pending_ = true;
  if (always) add(-1, {});
}

void KeptPairs::add(int code, std::string_view value) {
  if (ownerPending_) {
    packPair(packed_, kOwnerSlot, {});
    ownerPending_ = false;
  }
  inXdata_ = inXdata_ || isXdata(code);
  // Extended data stands under no subclass: it goes back last whatever the writer opens.
  if (pending_ && !inXdata_) {
    packPair(packed_, kMarker + occurrence_, current_);
    pending_ = false;
  }
  if (code >= 0) packPair(packed_, code, value);
}

std::string KeptPairs::take() {
  std::string out;
  out.swap(packed_);
  names_.clear();
  pending_ = ownerPending_ = inXdata_ = false;
  return out;
}

// ---------------------------------------------------------------------------------------------

void ObjectOut::start(std::string_view type, std::uint64_t handle, std::uint64_t owner, const KeptData* kept,
                      int handleCode, std::string_view table) {
  if (open_) end();
  open_ = true;
  packed_ = kept ? std::string_view(kept->pairs) : std::string_view();
  opened_.clear();
  w_.verbatim(0, type);  // a literal, or a kept kind's name as read
  if (!table.empty()) w_.str(2, table);
  if (handle && handles_) w_.handle(handleCode, handle);
  // Before any marker: reactors and extension dictionary (102 groups) around the owner.
  PackedReader r(packed_);
  bool ownerDone = r12_;
  int code = 0;
  std::string_view value;
  size_t at = 0;
  // R12 has no markers to place pairs by: what was kept follows what the codec writes, so that
  // a reader meets the codec's own pairs first, as it did in the file that was read.
  while (!r12_ && r.next(code, value) && !isMarker(code) && !isXdata(code)) {
    at = r.at();
    if (code != kOwnerSlot) w_.verbatim(code, value);
    else if (!ownerDone) w_.handle(330, owner);
    ownerDone = ownerDone || code == kOwnerSlot;
  }
  if (!ownerDone) w_.handle(330, owner);
  at_ = at;
  // Where the extended data begins: nothing the writer opens goes after it.
  xdata_ = packed_.size();
  r.seek(at);
  for (size_t entry = at; r.next(code, value); entry = r.at())
    if (isXdata(code)) {
      xdata_ = entry;
      break;
    }
}

void ObjectOut::flushPairs() {
  PackedReader r(packed_.substr(0, xdata_));
  r.seek(at_);
  int code = 0;
  std::string_view value;
  while (r.next(code, value) && !isMarker(code)) {
    at_ = r.at();
    if (code != kOwnerSlot) w_.verbatim(code, value);
  }
}

void ObjectOut::flushWhole(size_t stop) {
  PackedReader r(packed_.substr(0, stop));
  r.seek(at_);
  int code = 0;
  std::string_view value;
  while (r.next(code, value)) {
    if (isMarker(code)) marker(value);
    else if (code != kOwnerSlot) w_.verbatim(code, value);
  }
  at_ = std::max(at_, stop);
}

void ObjectOut::subclass(const char* name) {
  assert(open_);
  if (r12_) return;
  flushPairs();
  int occurrence = 0;
  for (const char* n : opened_) occurrence += std::strcmp(n, name) == 0;
  opened_.push_back(name);
  PackedReader r(packed_.substr(0, xdata_));
  r.seek(at_);
  int code = 0;
  std::string_view value;
  for (size_t entry = at_; r.next(code, value); entry = r.at())
    if (code == kMarker + occurrence && value == name) {
      // Kept subclasses the writer skipped stood before this one.
      flushWhole(entry);
      at_ = r.at();
      break;
    }
  marker(name);
}

void ObjectOut::end() {
  if (!open_) return;
  open_ = false;
  flushWhole(xdata_);
  PackedReader r(packed_);
  r.seek(xdata_);
  int code = 0;
  std::string_view value;
  while (r.next(code, value)) w_.verbatim(code, value);
  packed_ = {};
}

}  // namespace kv::dxf
