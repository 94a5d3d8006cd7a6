// The geometry vocabulary: points, vectors, colours, transforms, arrays and the object base,
// as far as the module uses them. Conventions written down once:
// - ON_Xform is row-major; points are columns: p' = M p, the translation in column 3.
// - ON_Color packs red | green << 8 | blue << 16 | alpha << 24.
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/export.h"

class ON_TextLog;

class KV_PLATFORM_API ON_3dVector {
public:
  ON_3dVector() = default;
  ON_3dVector(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
  double Length() const { return std::sqrt(x * x + y * y + z * z); }
  bool Unitize();
  ON_3dVector operator+(const ON_3dVector& v) const { return {x + v.x, y + v.y, z + v.z}; }
  ON_3dVector operator-(const ON_3dVector& v) const { return {x - v.x, y - v.y, z - v.z}; }
  ON_3dVector operator*(double s) const { return {x * s, y * s, z * s}; }
  ON_3dVector operator-() const { return {-x, -y, -z}; }
  bool operator==(const ON_3dVector& v) const { return x == v.x && y == v.y && z == v.z; }
  bool operator!=(const ON_3dVector& v) const { return !(*this == v); }
  double x = 0, y = 0, z = 0;
};

KV_PLATFORM_API ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b);
KV_PLATFORM_API double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b);

class ON_3fPoint;

class KV_PLATFORM_API ON_3dPoint {
public:
  ON_3dPoint() = default;
  ON_3dPoint(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
  explicit ON_3dPoint(const float* xyz) : x(xyz[0]), y(xyz[1]), z(xyz[2]) {}
  ON_3dPoint(const ON_3fPoint& p);  // widened

  static const ON_3dPoint Origin;

  double DistanceTo(const ON_3dPoint& p) const;
  bool IsValid() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
  ON_3dPoint operator+(const ON_3dVector& v) const { return {x + v.x, y + v.y, z + v.z}; }
  ON_3dPoint operator-(const ON_3dVector& v) const { return {x - v.x, y - v.y, z - v.z}; }
  ON_3dVector operator-(const ON_3dPoint& p) const { return {x - p.x, y - p.y, z - p.z}; }
  // Exact comparison, as the vocabulary's own operators compare.
  bool operator==(const ON_3dPoint& p) const { return x == p.x && y == p.y && z == p.z; }
  bool operator!=(const ON_3dPoint& p) const { return !(*this == p); }
  double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
  double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }

  double x = 0, y = 0, z = 0;
};

class KV_PLATFORM_API ON_3fPoint {
public:
  ON_3fPoint() = default;
  ON_3fPoint(float xx, float yy, float zz) : x(xx), y(yy), z(zz) {}
  explicit ON_3fPoint(const ON_3dPoint& p) : x(float(p.x)), y(float(p.y)), z(float(p.z)) {}
  bool operator==(const ON_3fPoint& p) const { return x == p.x && y == p.y && z == p.z; }
  bool operator!=(const ON_3fPoint& p) const { return !(*this == p); }
  float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }

  float x = 0, y = 0, z = 0;
};

inline ON_3dPoint::ON_3dPoint(const ON_3fPoint& p) : x(p.x), y(p.y), z(p.z) {}

class KV_PLATFORM_API ON_Color {
public:
  ON_Color() = default;
  ON_Color(int red, int green, int blue, int alpha = 0)
      : color_(std::uint32_t(red & 0xFF) | std::uint32_t(green & 0xFF) << 8 | std::uint32_t(blue & 0xFF) << 16 |
               std::uint32_t(alpha & 0xFF) << 24) {}
  explicit ON_Color(std::uint32_t packed) : color_(packed) {}
  int Red() const { return int(color_ & 0xFF); }
  int Green() const { return int(color_ >> 8 & 0xFF); }
  int Blue() const { return int(color_ >> 16 & 0xFF); }
  int Alpha() const { return int(color_ >> 24 & 0xFF); }
  void SetRGB(int red, int green, int blue) { *this = ON_Color(red, green, blue, Alpha()); }
  operator std::uint32_t() const { return color_; }

private:
  std::uint32_t color_ = 0;
};

class KV_PLATFORM_API ON_Xform {
public:
  ON_Xform() { Identity(); }  // the identity
  void Identity();
  void Translation(const ON_3dVector& v);
  bool IsIdentity() const;
  ON_3dPoint operator*(const ON_3dPoint& p) const;
  ON_3dVector operator*(const ON_3dVector& v) const;
  ON_Xform operator*(const ON_Xform& rhs) const;
  double* operator[](int row) { return m_xform[row]; }
  const double* operator[](int row) const { return m_xform[row]; }

  double m_xform[4][4];
};

// An array of plain values, copied bit for bit.
template <class T>
class ON_SimpleArray {
public:
  ON_SimpleArray() = default;
  explicit ON_SimpleArray(int capacity) { Reserve(capacity); }

  int Count() const { return int(items_.size()); }
  int Capacity() const { return int(items_.capacity()); }
  void Reserve(int capacity) {
    if (capacity > 0) items_.reserve(size_t(capacity));
  }
  void SetCount(int count) { items_.resize(size_t(count > 0 ? count : 0)); }
  void SetCapacity(int capacity) {
    if (capacity < Count()) SetCount(capacity);
    if (capacity <= 0) std::vector<T>().swap(items_);
    else if (size_t(capacity) > items_.capacity()) items_.reserve(size_t(capacity));
    else items_.shrink_to_fit();
  }
  void Shrink() { items_.shrink_to_fit(); }
  void Append(const T& item) { items_.push_back(item); }
  T& AppendNew() {
    items_.emplace_back();
    return items_.back();
  }
  void Insert(int i, const T& item) { items_.insert(items_.begin() + i, item); }
  void Remove(int i) { items_.erase(items_.begin() + i); }
  void Empty() { items_.clear(); }
  void Destroy() { std::vector<T>().swap(items_); }
  T& operator[](int i) {
    assert(i >= 0 && i < Count());
    return items_[size_t(i)];
  }
  const T& operator[](int i) const {
    assert(i >= 0 && i < Count());
    return items_[size_t(i)];
  }
  T* Array() { return items_.data(); }
  const T* Array() const { return items_.data(); }
  T* First() { return items_.empty() ? nullptr : items_.data(); }
  T* Last() { return items_.empty() ? nullptr : &items_.back(); }

  typename std::vector<T>::iterator begin() { return items_.begin(); }
  typename std::vector<T>::iterator end() { return items_.end(); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

protected:
  std::vector<T> items_;
};

// An array of class values, each element a copy made by the class's own copy.
template <class T>
class ON_ClassArray : public ON_SimpleArray<T> {
public:
  using ON_SimpleArray<T>::ON_SimpleArray;
};

// The base of every object of the vocabulary.
class KV_PLATFORM_API ON_Object {
public:
  virtual ~ON_Object() = default;
  virtual bool IsValid(ON_TextLog* log = nullptr) const = 0;
};

class KV_PLATFORM_API ON_Geometry : public ON_Object {
public:
  virtual bool Transform(const ON_Xform& xform) = 0;
  // Moves the geometry by v; false when v is not finite. A zero v changes nothing.
  bool Translate(const ON_3dVector& v);
};
