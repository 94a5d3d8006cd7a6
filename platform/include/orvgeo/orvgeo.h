// The maker's geometry services: faces appended to a mesh with their corner points.
#pragma once

#include "opennurbs/opennurbs.h"

class KV_PLATFORM_API ORVMesh {
public:
  // Appends one triangle (the third index repeated) or one quadrilateral, corners in the given
  // order, keeping the faces already there. A corner exactly equal to a vertex already in the
  // mesh reuses that vertex, so shared grids stay shared. 1 on success.
  static int AddTriangle(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c);
  static int AddQuad(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c,
                     const ON_3dPoint& d);
};
