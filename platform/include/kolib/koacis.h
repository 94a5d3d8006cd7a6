// The maker's closed data-exchange library: its ACIS SAT writer for meshes.
#pragma once

#include "opennurbs/on_mesh.h"
#include "win/cstring.h"

// Options of a mesh (the option of the single form, option1 of the list form), bits to be
// combined. The system passes KOACIS_WELD.
//
// Vertices at exactly equal coordinates are one vertex (-0 equals 0). Without it only the
// mesh's own indices are shared, and two vertices at one place are two vertices.
inline constexpr int KOACIS_WELD = 1;
// A sheet body (double-sided faces) even where the mesh closes.
inline constexpr int KOACIS_SHEET = 2;
// Every quad as two triangles (corners 0 1 2 and 0 2 3), planar or not.
inline constexpr int KOACIS_TRIANGLES = 4;

// Options of the file (option2 of the list form).
//
// Every record carries its number ("-12 face ..."), for people reading the file; without it,
// as the single form writes, a record's place numbers it and the file is smaller.
inline constexpr int KOACIS_NUMBERED = 1;

class KV_PLATFORM_API KOACISMesh {
public:
  // Writes the mesh as one body of an ACIS SAT 7.0 file at exactly path: one planar face per
  // mesh face, vertices and edges shared wherever the mesh shares them, so a closed, consistently
  // oriented mesh is a closed solid and an open one a sheet. Nonzero on success; 0 on failure,
  // with the reason for GetError() and no file left at path.
  //
  // Faces: a triangle is a face; a quad is one face when its corners lie on one plane (to 1e-12
  // of its size) and its outline does not cross itself, else two triangles split along the
  // diagonal that keeps both facing the quad's way. A face whose corners repeat a vertex or a
  // location, or lie on one line, is dropped (a quad with three distinct corners left is a
  // triangle). The body is a solid, its faces single-sided, when every edge is used as often in
  // one direction as in the other (a closed, consistently oriented mesh); a solid whose faces
  // face inwards is turned outwards. Otherwise, or with KOACIS_SHEET, it is a sheet with
  // double-sided faces. All faces go into one lump and one shell, whatever the mesh's parts.
  //
  // Refused: an unknown option bit, an empty path, a mesh without faces, a face index outside
  // the vertex list, a vertex of a face that is not finite, a mesh with no face left, a path
  // that is not a regular file or cannot be written. An existing regular file at path is
  // replaced whole, or left as it was on failure. The path takes '\\' and '/' as separators.
  // Armable as "MeshToSAT", failing as a write would.
  static int MeshToSAT(const ON_Mesh& mesh, CString path, int option);
  // Every mesh as one body of its own, in order, in one file; option1 applies to every mesh,
  // option2 to the file. Refused as the single form, and for an empty list; a reason that
  // names a mesh names it by its index in the list.
  static int MeshToSAT(const ON_ClassArray<ON_Mesh>& meshes, CString path, int option1, int option2);

  // The reason of the last failure of MeshToSAT; a success leaves it as it was.
  static CString GetError();
};
