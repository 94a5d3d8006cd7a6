#include "orvgeo/orvgeo.h"

int ORVMesh::AddTriangle(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c) {
  int ia = mesh.FindOrAppendVertex(ON_3fPoint(a));
  int ib = mesh.FindOrAppendVertex(ON_3fPoint(b));
  int ic = mesh.FindOrAppendVertex(ON_3fPoint(c));
  return mesh.SetTriangle(mesh.FaceCount(), ia, ib, ic) ? 1 : 0;
}

int ORVMesh::AddQuad(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c,
                     const ON_3dPoint& d) {
  int ia = mesh.FindOrAppendVertex(ON_3fPoint(a));
  int ib = mesh.FindOrAppendVertex(ON_3fPoint(b));
  int ic = mesh.FindOrAppendVertex(ON_3fPoint(c));
  int id = mesh.FindOrAppendVertex(ON_3fPoint(d));
  return mesh.SetQuad(mesh.FaceCount(), ia, ib, ic, id) ? 1 : 0;
}
