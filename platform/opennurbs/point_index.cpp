#include "opennurbs/point_index.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>
#include <utility>

namespace kv {

PointIndex::PointIndex(size_t expected) { allocate(std::max<size_t>(16, std::bit_ceil(2 * expected))); }

PointIndex::~PointIndex() { release(); }

// Zeroed memory; a large table straight from the system in huge pages where it has them:
// the lookups land anywhere in it, and small pages would cost a TLB miss on nearly each.
void PointIndex::allocate(size_t capacity) {
  constexpr size_t kHuge = size_t(2) << 20;
  size_t bytes = capacity * sizeof(Slot);
  if (bytes < kHuge) {
    slots_ = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
    if (!slots_) throw std::bad_alloc();
  } else {
    size_t length = bytes + kHuge;
    void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    mapped_ = mapped;
    mappedLength_ = length;
    auto start = (reinterpret_cast<std::uintptr_t>(mapped) + kHuge - 1) & ~(kHuge - 1);
    ::madvise(reinterpret_cast<void*>(start), bytes, MADV_HUGEPAGE);
    slots_ = reinterpret_cast<Slot*>(start);
  }
  mask_ = capacity - 1;
}

void PointIndex::release() {
  if (mapped_) ::munmap(mapped_, mappedLength_);
  else std::free(slots_);
  slots_ = nullptr;
  mapped_ = nullptr;
  mappedLength_ = 0;
}

// Built aside and swapped in, so that a failed allocation leaves the table as it was.
void PointIndex::grow() {
  PointIndex bigger(mask_ + 1);
  for (size_t i = 0; i <= mask_; ++i) {
    const Slot& s = slots_[i];
    if (s.indexPlus1 == 0) continue;
    size_t at = hash(s.key) & bigger.mask_;
    while (bigger.slots_[at].indexPlus1 != 0) at = (at + 1) & bigger.mask_;
    bigger.slots_[at] = s;
  }
  bigger.size_ = size_;
  swap(bigger);
}

void PointIndex::swap(PointIndex& other) noexcept {
  std::swap(slots_, other.slots_);
  std::swap(mask_, other.mask_);
  std::swap(size_, other.size_);
  std::swap(mapped_, other.mapped_);
  std::swap(mappedLength_, other.mappedLength_);
}

}  // namespace kv
