#include "opennurbs/on_base.h"

const ON_3dPoint ON_3dPoint::Origin(0, 0, 0);

bool ON_3dVector::Unitize() {
  double len = Length();
  if (!(len > 0) || !std::isfinite(len)) return false;
  x /= len;
  y /= len;
  z /= len;
  return true;
}

ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double ON_3dPoint::DistanceTo(const ON_3dPoint& p) const { return (*this - p).Length(); }

void ON_Xform::Identity() {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m_xform[r][c] = r == c ? 1.0 : 0.0;
}

void ON_Xform::Translation(const ON_3dVector& v) {
  Identity();
  m_xform[0][3] = v.x;
  m_xform[1][3] = v.y;
  m_xform[2][3] = v.z;
}

bool ON_Xform::IsIdentity() const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m_xform[r][c] != (r == c ? 1.0 : 0.0)) return false;
  return true;
}

ON_3dPoint ON_Xform::operator*(const ON_3dPoint& p) const {
  const auto& m = m_xform;
  double x = m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3];
  double y = m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3];
  double z = m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3];
  double w = m[3][0] * p.x + m[3][1] * p.y + m[3][2] * p.z + m[3][3];
  if (w != 1.0 && w != 0.0) return {x / w, y / w, z / w};
  return {x, y, z};
}

ON_3dVector ON_Xform::operator*(const ON_3dVector& v) const {
  const auto& m = m_xform;
  return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
          m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

ON_Xform ON_Xform::operator*(const ON_Xform& rhs) const {
  ON_Xform out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += m_xform[r][k] * rhs.m_xform[k][c];
      out.m_xform[r][c] = s;
    }
  return out;
}

bool ON_Geometry::Translate(const ON_3dVector& v) {
  if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
  if (v.x == 0 && v.y == 0 && v.z == 0) return true;
  ON_Xform xform;
  xform.Translation(v);
  return Transform(xform);
}
