// The maker's closed data-exchange library: its STL reader.
#pragma once

#include "opennurbs/on_mesh.h"
#include "win/cstring.h"

class KV_PLATFORM_API KOSTL {
public:
  // Reads a binary or ASCII STL file into mesh; nonzero on success, 0 on failure.
  //
  // The mesh is emptied first, and stays empty on failure. On success it holds one triangle
  // per facet (the third index repeated in the fourth place), its vertices shared: corners
  // with exactly equal coordinates become one vertex (-0 equals 0), and a facet whose corners
  // fall on fewer than three distinct vertices is dropped. Facet normals are not read.
  //
  // A file of exactly 84 + 50 x its facet count bytes is binary, even when its header starts
  // with "solid"; other files are ASCII when they start with "solid" and a name line, else
  // binary. Refused, with a one-line reason for
  // GetError(): a file that cannot be opened or read, an empty or truncated file, a facet
  // count that disagrees with the file's size, a coordinate that is not finite, a broken
  // ASCII file, and a file whose every facet was dropped (or that has none).
  //
  // The path takes '\\' and '/' as separators. Memory stays proportional to the file's size
  // whatever its header claims.
  static int STLToMesh(const char* path, ON_Mesh& mesh);

  // The reason of the last failure of STLToMesh; a success leaves it as it was.
  static CString GetError();
};
