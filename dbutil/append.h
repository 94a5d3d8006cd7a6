// Putting new entities into the drawing, and erasing them.
//
// A new entity is made and closed by its creator: these functions never close or delete it,
// whether or not the append succeeded. Vertices and face records made here are closed here.
// The owner, when given, is a block table record the caller holds open for write; null means
// model space of the working database, opened and closed inside the call (the caller must not
// hold it open). A layer name "" leaves the entity's layer alone; any other is found or made.
// Each function returns the first failing host status, or eOk.
#pragma once

#include "host/acdb.h"
#include "host/entities.h"
#include "win/winapi.h"

Acad::ErrorStatus AppendEntity(AcDbEntity* entity, AcDbObjectId& id, AcDbBlockTableRecord* owner = nullptr);
Acad::ErrorStatus AppendEntity(AcDbEntity* entity, AcDbBlockTableRecord* owner = nullptr);

Acad::ErrorStatus SetEntityLayer(AcDbEntity* entity, const CString& layer);
Acad::ErrorStatus SetEntityLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color);
// rgb 0 means colour index 7.
Acad::ErrorStatus SetEntityLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb);

// Layer and colour first; when either cannot be set the entity is not appended.
Acad::ErrorStatus AppendEntityWithLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color,
                                                AcDbBlockTableRecord* owner = nullptr);
Acad::ErrorStatus AppendEntityWithLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color,
                                                AcDbObjectId& id, AcDbBlockTableRecord* owner);
Acad::ErrorStatus AppendEntityWithLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb,
                                              AcDbBlockTableRecord* owner);
Acad::ErrorStatus AppendEntityWithLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb,
                                              AcDbObjectId& id, AcDbBlockTableRecord* owner);

// The host's refusals reach the caller unchanged: eInvalidMeshVertexIndex past 32,767
// vertices, eInvalidFaceVertexIndex for a face record the mesh cannot take.
Acad::ErrorStatus AppendPolyFaceVertex(AcDbPolyFaceMesh* mesh, const AcGePoint3d& point);
// 1-based vertex numbers; d = 0 makes a triangle.
Acad::ErrorStatus AppendPolyFaceRecord(AcDbPolyFaceMesh* mesh, short a, short b, short c, short d);
Acad::ErrorStatus Append3dPolylineVertex(AcDb3dPolyline* polyline, const AcGePoint3d& point);

// Copies a polygon mesh's M x N vertex grid into target as quadrilateral face records,
// closing cells included. 1 when the whole grid was copied; 0, with no face record appended,
// when some grid vertex could not be read or appended (the records would name the wrong
// vertices).
BOOL FillPolyFaceFromPolygonMesh(const AcDbPolygonMesh* source, AcDbPolyFaceMesh* target);

// 1 when the host erased the entity; 0 for an id already erased (which the host's deletion
// would bring back instead).
BOOL EraseEntity(const AcDbObjectId& id);
// Erases each in turn; 1 always, whatever the host answered.
BOOL EraseEntities(const AcDbObjectIdArray& ids);

// The index of the first element equal to name (exact, case matters), or -1.
int IndexOfName(const CStringArray& names, CString name);
