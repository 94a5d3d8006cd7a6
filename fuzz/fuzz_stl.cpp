// The STL reader on arbitrary bytes: a status and a mesh that keeps the reader's promises.
#include "fuzz_input.h"
#include "kolib/kostl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kv::fuzz::TempFile file(".stl");
  ON_Mesh mesh;
  int ok = KOSTL::STLToMesh(file.write(data, size).c_str(), mesh);
  if (!ok) {
    kv::fuzz::require(mesh.IsEmpty(), "a refused file leaves the mesh empty");
    kv::fuzz::require(!KOSTL::GetError().IsEmpty(), "a refusal gives a reason");
    return 0;
  }
  kv::fuzz::require(mesh.FaceCount() > 0, "a read mesh has a facet");
  for (int f = 0; f < mesh.FaceCount(); ++f) {
    const ON_MeshFace& face = mesh.m_F[f];
    kv::fuzz::require(face.IsTriangle(), "every face read is a triangle");
    for (int i = 0; i < 3; ++i)
      kv::fuzz::require(face.vi[i] >= 0 && face.vi[i] < mesh.VertexCount(), "face indices inside the vertex list");
    kv::fuzz::require(face.vi[0] != face.vi[1] && face.vi[1] != face.vi[2] && face.vi[0] != face.vi[2],
                      "three distinct corners");
  }
  return 0;
}
