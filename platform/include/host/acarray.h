// The host's growable array, as the module uses it for ids and pointers.
#pragma once

#include <algorithm>
#include <cassert>
#include <vector>

template <class T>
class AcArray {
public:
  AcArray() = default;
  explicit AcArray(int physicalLength) { items_.reserve(size_t(physicalLength > 0 ? physicalLength : 0)); }

  int length() const { return int(items_.size()); }
  int logicalLength() const { return length(); }
  bool isEmpty() const { return items_.empty(); }
  int append(const T& item) { items_.push_back(item); return length() - 1; }
  AcArray& append(const AcArray& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    return *this;
  }
  const T& at(int i) const { assert(i >= 0 && i < length()); return items_[size_t(i)]; }
  T& at(int i) { assert(i >= 0 && i < length()); return items_[size_t(i)]; }
  const T& operator[](int i) const { return at(i); }
  T& operator[](int i) { return at(i); }
  const T& first() const { return at(0); }
  const T& last() const { return at(length() - 1); }
  AcArray& setAt(int i, const T& item) { at(i) = item; return *this; }
  AcArray& removeAt(int i) { assert(i >= 0 && i < length()); items_.erase(items_.begin() + i); return *this; }
  AcArray& removeAll() { items_.clear(); return *this; }
  AcArray& setLogicalLength(int n) { items_.resize(size_t(n > 0 ? n : 0)); return *this; }
  bool contains(const T& item) const { return std::find(items_.begin(), items_.end(), item) != items_.end(); }
  // The first index holding item, or -1.
  int find(const T& item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
  }
  const T* asArrayPtr() const { return items_.data(); }

  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

private:
  std::vector<T> items_;
};
