// Pairs kept as read, and how they go back where they stood. Kept pairs are packed into one
// string per object (code, length, value: no allocation per pair), with two kinds of entries
// beside the file's own codes: the place where an object's owner stood among the pairs before
// any subclass marker, and the subclass markers under which pairs were kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/dxf_tags.h"
#include "host/kept.h"

namespace kv::dxf {

constexpr int kOwnerSlot = 4999;  // where an object's owner (330) stood
constexpr int kMarker = 5000;     // a subclass marker: kMarker + its occurrence among markers of its name

inline bool isXdata(int code) { return code >= 1000 && code <= 1071; }
inline bool isMarker(int code) { return code >= kMarker; }

KV_PLATFORM_API void packPair(std::string& into, int code, std::string_view value);

// Walks a packed string.
class KV_PLATFORM_API PackedReader {
public:
  explicit PackedReader(std::string_view packed) : text_(packed) {}
  // The next entry; false at the end.
  bool next(int& code, std::string_view& value);
  size_t at() const { return at_; }
  void seek(size_t at) { at_ = at; }

private:
  std::string_view text_;
  size_t at_ = 0;
};

// Writes packed pairs of the file's own codes as they were read. With handle, the object's
// handle pair (the first 5 or 105 before any marker, outside 102 groups) gives that handle
// instead: the object's own in the drawing.
KV_PLATFORM_API void writeVerbatim(TagWriter& w, std::string_view packed, std::uint64_t handle = 0);

// A block's origin among the packed pairs of its BLOCK: its 10, 20 and 30 outside 102 groups
// and before extended data (a missing one is 0). False when one is not a number; found tells
// whether the pairs hold any.
KV_PLATFORM_API bool blockOrigin(std::string_view packed, AcGePoint3d& origin, bool& found);
// Writes a BLOCK's packed pairs as writeVerbatim does, but with origin for the one they hold
// where the two differ (before extended data where they hold none).
KV_PLATFORM_API void writeBlockBegin(TagWriter& w, std::string_view packed, const AcGePoint3d& origin);

// True when the packed pairs hold a pair of code (outside markers and extended data).
KV_PLATFORM_API bool holdsCode(std::string_view packed, int code);

// The pairs of one item that its reader keeps, each under the subclass marker it stood under.
// A marker is kept only once a pair is kept under it, unless the reader asks for every marker
// (an item kept whole).
class KV_PLATFORM_API KeptPairs {
public:
  void subclass(std::string_view name, bool always);
  void add(int code, std::string_view value);
  // The owner stood here. Right after the handle is where the writer puts it anyway: then the
  // place is kept only once pairs after it are.
  void ownerSlot();
  bool empty() const { return packed_.empty(); }
  // The packed form; the pairs kept here are gone after.
  std::string take();

private:
  std::string packed_;
  std::string current_;
  int occurrence_ = 0;
  bool pending_ = false;  // current_ is not in packed_ yet
  bool ownerPending_ = false;
  bool inXdata_ = false;
  std::vector<std::string> names_;  // markers met, for their occurrences
};

// Writes one object (an entity, a table record) with its kept pairs back in place: those
// before any marker around the handle and owner, those of a subclass at the end of that
// subclass, subclasses the writer does not open where they stood, extended data last. R12 has
// no owners nor markers.
class KV_PLATFORM_API ObjectOut {
public:
  // Without handles, no object gets one (an R12 file that had none).
  ObjectOut(TagWriter& w, bool r12, bool handles = true) : w_(w), r12_(r12), handles_(handles) { opened_.reserve(8); }
  // "0 type" (and "2 table" for a table's head), the handle (none when 0) and the owner.
  void start(std::string_view type, std::uint64_t handle, std::uint64_t owner, const KeptData* kept,
             int handleCode = 5, std::string_view table = {});
  void subclass(const char* name);
  void end();
  bool isOpen() const { return open_; }
  bool r12() const { return r12_; }
  TagWriter& tags() { return w_; }

private:
  void flushPairs();             // plain pairs from the cursor up to the next marker
  void flushWhole(size_t stop);  // whole subclasses from the cursor up to stop
  void marker(std::string_view name) {
    if (!r12_) w_.str(100, name);
  }

  TagWriter& w_;
  bool r12_, handles_;
  bool open_ = false;
  std::string_view packed_;
  size_t at_ = 0, xdata_ = 0;
  std::vector<const char*> opened_;
};

}  // namespace kv::dxf
