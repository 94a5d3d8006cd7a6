// The platform's way to what a mesh keeps for the maker's face appenders: a welding table of
// its vertices, made on first use and dropped whenever the mesh changes through its own
// functions. Vertices edited in m_V directly can make an entry stale; its users check every
// hit against m_V, so a stale entry may cost a weld but never answers wrongly.
#pragma once

#include "opennurbs/on_mesh.h"

namespace kv {

class PointIndex;

struct MeshAccess {
  // The mesh's table, holding every vertex of m_V that is at a location (not NaN); the first
  // vertex at a location answers for it.
  static PointIndex& welding(ON_Mesh& mesh);
  // Appends a vertex whose location the caller has just put into the table.
  static void appendWelded(ON_Mesh& mesh, const ON_3fPoint& p);
};

}  // namespace kv
