// Meshes written into the drawing: one polyface mesh, or one 3D face per mesh face when the
// host refuses the polyface mesh (more than 32,767 vertices or faces).
//
// Every function puts its reason for a failure in ConvertErrorText. A write that fails leaves
// the drawing as it was: no polyface mesh and none of the call's 3D faces stay behind.
#pragma once

#include "host/acdb.h"
#include "host/entities.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

// 1 when the mesh is in the drawing, as a polyface mesh or as 3D faces, on the layer (created
// when missing; "" keeps the host's current layer) and in the colour given. When the host's
// limit forces 3D faces and warn is nonzero, a box tells the user first.
BOOL PolyFaceMeshFromMesh(const ON_Mesh& mesh, BOOL warn, const CString& layer, const AcCmColor& color);
// The same; on success added receives the ids of what went in (the polyface mesh, or every 3D
// face), so that the caller can take it out again. Untouched on failure.
BOOL PolyFaceMeshFromMesh(const ON_Mesh& mesh, BOOL warn, const CString& layer, const AcCmColor& color,
                          AcDbObjectIdArray& added);

// Appends the mesh's vertices, then its faces as 1-based face records, to a polyface mesh open
// for write. 1 when all went in (status eOk); 0 at the first refusal, with the host's status.
// What went in before a refusal stays in the polyface mesh.
BOOL FillPolyFaceMesh(const ON_Mesh& mesh, AcDbPolyFaceMesh* polyface, Acad::ErrorStatus* status);
BOOL FillPolyFaceMesh(const ON_Mesh& mesh, AcDbPolyFaceMesh* polyface);

// One 3D face per mesh face. 1 when every face went in; 0 otherwise, with the faces this call
// added erased again.
BOOL FacesFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color);

// Each mesh in turn, whatever the others answered. 1 when every element was written.
BOOL FacesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color);
BOOL PolyFaceMeshesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, BOOL warn, const CString& layer,
                              const AcCmColor& color);
