// The object coordinate system of a normal, by the arbitrary-axis rule of DXF: planar entities
// (2D solids, texts, hatches, block references) keep their plane's points in it. Platform use only.
#pragma once

#include <cmath>

#include "host/acge.h"

namespace kv {

struct Ocs {
  explicit Ocs(const AcGeVector3d& normal) : z(normal) {
    identity = z.x == 0 && z.y == 0 && z.z == 1;
    constexpr double kNear = 1.0 / 64;
    AcGeVector3d w = std::abs(z.x) < kNear && std::abs(z.y) < kNear ? AcGeVector3d::kYAxis : AcGeVector3d::kZAxis;
    x = w.crossProduct(z).normal();
    y = z.crossProduct(x).normal();
  }
  // Along Z the systems are one and the same, so the doubles pass untouched.
  AcGePoint3d toWorld(const AcGePoint3d& p) const {
    if (identity) return p;
    AcGeVector3d v = x * p.x + y * p.y + z * p.z;
    return AcGePoint3d(v.x, v.y, v.z);
  }
  AcGePoint3d fromWorld(const AcGePoint3d& p) const {
    if (identity) return p;
    AcGeVector3d v = p.asVector();
    return AcGePoint3d(v.dotProduct(x), v.dotProduct(y), v.dotProduct(z));
  }
  AcGeVector3d toWorld(const AcGeVector3d& v) const { return identity ? v : x * v.x + y * v.y + z * v.z; }
  AcGeVector3d fromWorld(const AcGeVector3d& v) const {
    return identity ? v : AcGeVector3d(v.dotProduct(x), v.dotProduct(y), v.dotProduct(z));
  }
  // The columns x, y, z: from these coordinates to the world's.
  AcGeMatrix3d toWorldMatrix() const {
    AcGeMatrix3d m;
    for (unsigned r = 0; r < 3; ++r) {
      m(r, 0) = x[r];
      m(r, 1) = y[r];
      m(r, 2) = z[r];
    }
    return m;
  }
  AcGeVector3d x, y, z;
  bool identity = true;
};

}  // namespace kv
