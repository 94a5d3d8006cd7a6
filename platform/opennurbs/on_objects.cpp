#include "opennurbs/on_objects.h"

bool ON_Point::Transform(const ON_Xform& xform) {
  const ON_3dPoint moved = xform * point;
  if (!moved.IsValid()) return false;
  point = moved;
  return true;
}

// The placement maps the definition to the world; moving the reference moves its world.
bool ON_InstanceRef::Transform(const ON_Xform& xform) {
  m_xform = xform * m_xform;
  return true;
}
