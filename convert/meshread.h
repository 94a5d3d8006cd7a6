// Meshes read from drawing entities.
//
// A reader builds its mesh aside and hands it to the caller's mesh whole, only on success: on
// failure the caller's mesh is untouched, so one mesh can serve many entities in turn.
// Entities are passed open (at least for read) and are neither closed nor erased here.
// Classes are matched by their exact run-time name: a class derived from a listed one is
// refused. MeshFromEntityId and MeshFromEntity leave their reasons in SolidErrorText, the rest
// in ConvertErrorText.
#pragma once

#include "host/acdb.h"
#include "host/aced.h"
#include "host/entities.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

// 3D faces, polyface meshes and polygon meshes, and 3D solids and bodies through the host's
// faceting at facetres (null keeps the host's FACETRES).
BOOL MeshFromEntityId(const AcDbObjectId& id, ON_Mesh& mesh, const double* facetres);
BOOL MeshFromEntity(AcDbEntity* entity, ON_Mesh& mesh, const double* facetres);
// 3D faces, 2D solids, polyface meshes and polygon meshes.
BOOL MeshFromFacetEntity(AcDbEntity* entity, ON_Mesh& mesh);

// One triangle when the fourth corner equals the third, else one quadrilateral. Always TRUE.
BOOL MeshFromFace(AcDbFace* face, ON_Mesh& mesh);
// As for a face, the quadrilateral in the solid's corner order 0, 1, 3, 2. Always TRUE.
BOOL MeshFrom2dSolid(AcDbSolid* solid, ON_Mesh& mesh);
// Vertices and face records, edge visibility dropped; unused vertices and degenerate faces
// are culled. FALSE with "Invalid mesh" when nothing valid remains or a vertex or face record
// cannot be read.
BOOL MeshFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, ON_Mesh& mesh);
// The M x N grid as quadrilaterals, closing cells included; FALSE with "Invalid mesh" as above,
// and when the mesh does not hold exactly M x N vertices.
BOOL MeshFromPolygonMesh(AcDbPolygonMesh* polygon, ON_Mesh& mesh);

// A 3D face, polyface mesh or polygon mesh the user picks. id receives the pick.
BOOL MeshFromPickedObject(const CString& prompt, BOOL highlight, ON_Mesh& mesh, AcDbObjectId& id);
BOOL MeshFromPickedObject(const CString& prompt, BOOL highlight, ON_Mesh& mesh);
// The meshes of the 3D faces, polyface meshes and polygon meshes the user selects, in
// selection order (meshes is emptied first). ids receives every selected object, also those
// that gave no mesh, so the two lists need not line up.
BOOL MeshesFromSelection(const CString& prompt, BOOL highlight, ON_ClassArray<ON_Mesh>& meshes,
                         AcDbObjectIdArray& ids);
BOOL MeshesFromSelection(const CString& prompt, BOOL highlight, ON_ClassArray<ON_Mesh>& meshes);
