// The maker's closed data-exchange library: its ACIS SAT writer for meshes.
#pragma once

#include "opennurbs/on_mesh.h"
#include "win/cstring.h"

class KV_PLATFORM_API KOACISMesh {
public:
  // Writes the mesh as one body of an ACIS SAT file at exactly path: one planar face per mesh
  // face, vertices and edges shared wherever the mesh shares them, so a closed, consistently
  // oriented mesh is a closed solid and an open one a sheet. Nonzero on success; 0 on failure,
  // with the reason for GetError() and no file left at path.
  static int MeshToSAT(const ON_Mesh& mesh, CString path, int option);
  // Every mesh as one body of its own, in order, in one file.
  static int MeshToSAT(const ON_ClassArray<ON_Mesh>& meshes, CString path, int option1, int option2);

  // The reason of the last failure of MeshToSAT; a success leaves it as it was.
  static CString GetError();
};
