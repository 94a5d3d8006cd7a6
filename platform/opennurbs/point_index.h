// The welding table of the platform's mesh builders (the STL reader, the maker's face
// appenders): exact locations to the index of the first vertex put there.
#pragma once

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "opennurbs/on_base.h"

namespace kv {

// A location as the table keys it: the bit patterns of x, y and z, -0 folded to 0, so that
// equal keys are exactly the equal points. NaN equals nothing: its callers keep it out.
inline std::uint32_t foldMinusZero(std::uint32_t bits) { return bits == 0x80000000u ? 0 : bits; }

// NaN is at no location: such a point is never put into the table.
inline bool hasLocation(const ON_3fPoint& p) { return !std::isnan(p.x) && !std::isnan(p.y) && !std::isnan(p.z); }

inline void pointKey(const ON_3fPoint& p, std::uint32_t key[3]) {
  const float xyz[3] = {p.x, p.y, p.z};
  std::memcpy(key, xyz, sizeof xyz);
  for (int i = 0; i < 3; ++i) key[i] = foldMinusZero(key[i]);
}

// Open addressing with linear probing. A slot holds its key beside the index, so a lookup
// touches one cache line and never the vertex list; the table stays at most half full.
// Lookups can be prefetched from the hash alone, which hides most of the memory latency.
// Indexes are below 2^32 - 1.
class PointIndex {
public:
  // Room for `expected` keys before the first growth.
  explicit PointIndex(size_t expected = 0);
  PointIndex(PointIndex&& other) noexcept { swap(other); }
  PointIndex& operator=(PointIndex&& other) noexcept {
    swap(other);
    return *this;
  }
  PointIndex(const PointIndex&) = delete;
  PointIndex& operator=(const PointIndex&) = delete;
  ~PointIndex();

  static std::uint64_t hash(const std::uint32_t* key) {
    std::uint64_t h = key[0] * 0x9E3779B97F4A7C15ull;
    h ^= (h >> 29) + key[1] * 0xC2B2AE3D27D4EB4Full;
    h ^= (h >> 31) + key[2] * 0x165667B19E3779F9ull;
    return h ^ (h >> 32);
  }

  void prefetch(std::uint64_t h) const { __builtin_prefetch(&slots_[h & mask_]); }

  // The index kept for key (h its hash); a new key keeps `fresh`, which is returned.
  std::uint32_t findOrAdd(const std::uint32_t* key, std::uint64_t h, std::uint32_t fresh) {
    Slot& s = slotFor(key, h);
    if (s.indexPlus1 != 0) return s.indexPlus1 - 1;
    put(s, key, fresh);
    return fresh;
  }

  // Key answers with index from now on, whatever it answered before.
  void assign(const std::uint32_t* key, std::uint64_t h, std::uint32_t index) {
    Slot& s = slotFor(key, h);
    if (s.indexPlus1 != 0) s.indexPlus1 = index + 1;
    else put(s, key, index);
  }

  size_t size() const { return size_; }

private:
  struct Slot {
    std::uint32_t key[3];
    std::uint32_t indexPlus1;  // 0: empty, so fresh zero pages need no filling
  };

  // The slot holding key, or the empty slot where it belongs.
  Slot& slotFor(const std::uint32_t* key, std::uint64_t h) const {
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.indexPlus1 == 0 || (s.key[0] == key[0] && s.key[1] == key[1] && s.key[2] == key[2])) return s;
    }
  }

  void put(Slot& s, const std::uint32_t* key, std::uint32_t index) {
    assert(index != UINT32_MAX);
    s = Slot{{key[0], key[1], key[2]}, index + 1};
    if (2 * ++size_ > mask_ + 1) grow();
  }

  void allocate(size_t capacity);
  void release();
  void grow();
  void swap(PointIndex& other) noexcept;

  Slot* slots_ = nullptr;
  size_t mask_ = 0;
  size_t size_ = 0;
  void* mapped_ = nullptr;  // set when slots_ lie in pages of their own
  size_t mappedLength_ = 0;
};

}  // namespace kv
