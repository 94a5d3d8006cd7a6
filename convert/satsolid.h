// Meshes into modeller solids and bodies, through a temporary SAT file that the data-exchange
// library writes and the host imports.
//
// The temporary file is named by _tempnam in the folder "temp" names, with the prefix "ORV";
// it is deleted right after the import, whatever the import answered, and never made when the
// writer fails. Results are 1 on success and 0 on failure, with the reason in SolidErrorText.
// Target solids are the caller's: their modeller data is replaced, and they are never added to
// a drawing, closed or deleted here. A copy of modeller data that the host refuses (setBody) is
// a failure, with its status's text, and leaves the target's data as it was. Every entity made
// on the way and not handed to the caller (imports not used, clones, solids not kept) is
// released before returning.
#pragma once

#include "host/acdb.h"
#include "host/entities.h"
#include "modeler/solids.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

// The first imported entity, a 3D solid or a body, gives the solid its data, whose faces on one
// surface are then merged (cleanBody).
BOOL SatSolidFromMesh(const ON_Mesh& mesh, AcDb3dSolid* solid);
BOOL SatSolidFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, AcDb3dSolid* solid);
BOOL SatSolidFromPolygonMesh(AcDbPolygonMesh* polygon, AcDb3dSolid* solid);
// A 3D solid or body by a copy of its modeller data; a polyface or polygon mesh through
// SatSolidFromMesh.
BOOL SolidFromEntityId(const AcDbObjectId& id, AcDb3dSolid* solid);
// solids is emptied first (the entities it named are not touched); one new solid per id that
// converts, owned by the caller.
BOOL SolidsFromEntityIds(const AcDbObjectIdArray& ids, AcDbVoidPtrArray& solids);
// The imported entities are appended to entities (nothing removed first); the caller owns them.
BOOL SatEntitiesFromMesh(const ON_Mesh& mesh, AcDbVoidPtrArray& entities, int option);
BOOL SatEntitiesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, AcDbVoidPtrArray& entities, int option1,
                           int option2);
BOOL SatEntitiesFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, AcDbVoidPtrArray& entities);
BOOL SatEntitiesFromPolygonMesh(AcDbPolygonMesh* polygon, AcDbVoidPtrArray& entities);
// meshes is emptied first; one mesh per id that converts (see MeshFromEntityId). Always 1.
BOOL MeshesFromEntityIds(const AcDbObjectIdArray& ids, ON_ClassArray<ON_Mesh>& meshes, const double* facetres);
// 1 when the solid holds a copy of the body's data afterwards; a body without data gives 0.
BOOL SolidFromBody(AcDbBody* body, AcDb3dSolid* solid);
