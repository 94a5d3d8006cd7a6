// Solids and bodies into meshes, faceted by the host through a temporary STL file.
//
// facetres: null keeps the host's FACETRES; otherwise its value is FACETRES for the export
// only, restored afterwards on every path. A FACETRES the host will not read or set is left as
// it is, and the export runs at it. Results are exactly 1 on success; on failure 0 with
// the reason in SolidErrorText. The temporary file "%temp%\ORVTemp.stl" is deleted after a
// successful read and stays after a failed one.
#pragma once

#include "host/entities.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

class AcDb3dSolid;
class AcDbBody;

// A solid reaching below zero on an axis is exported as a copy moved into the positive range,
// appended to model space for the export and erased again; the mesh is moved back. A copy the
// host will not move fails as no copy does ("Error processing solid").
BOOL StlMeshFromSolid(AcDb3dSolid* solid, ON_Mesh& mesh, const double* facetres);
// Through a temporary solid holding a copy of the body's modeller data; it never enters the
// drawing.
BOOL MeshFromBody(AcDbBody* body, ON_Mesh& mesh, const double* facetres);
// The same, appended to a polyface mesh the caller owns (not added to the drawing, not closed).
BOOL PolyFaceFromSolid(AcDb3dSolid* solid, AcDbPolyFaceMesh* polyface, const double* facetres);
BOOL PolyFaceFromBody(AcDbBody* body, AcDbPolyFaceMesh* polyface, const double* facetres);
