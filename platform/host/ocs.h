// Platform only: the object coordinate system of a normal by the arbitrary-axis rule, which
// planar entities share with DXF. A circle's or arc's angles start at its x axis; the file keeps
// a planar entity's points in these coordinates.
#pragma once

#include <cmath>

#include "host/acge.h"

namespace kv {

struct Ocs {
  // normal must have length; it is taken as given (unit length expected).
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
  AcGeVector3d x, y, z;
  bool identity = true;
};

}  // namespace kv
