// Layers of the working database and the properties of entities.
//
// Status forms return the host status and leave their out-parameter untouched on failure;
// by-value forms give the null id or an empty string instead. Nothing here prints or sets a
// last-error text.
#pragma once

#include "host/acdb.h"
#include "win/winapi.h"

// The layer called name; made first when absent and create is nonzero. An absent layer that is
// not to be made gives eNullObjectId. Opens the layer table for write, even to look up: the
// caller must not hold it open.
Acad::ErrorStatus GetOrCreateLayer(const CString& name, BOOL create, AcDbObjectId& layerId);
AcDbObjectId GetOrCreateLayer(const CString& name, BOOL create);

// The colour index of the layer's colour.
Acad::ErrorStatus GetLayerColorIndex(const CString& layer, int& aci);
// 7 (the host's default layer colour) for a layer that does not exist.
int GetLayerColorIndex(const CString& layer);

// A layer with a true colour from packed RGB and the three flags, unless one of that name
// exists: then it is left as it is and eOk returned with its id.
Acad::ErrorStatus CreateLayer(const CString& name, AcDbObjectId& layerId, unsigned long rgb, BOOL frozen, BOOL locked,
                              BOOL off);
Acad::ErrorStatus CreateLayer(const CString& name, unsigned long rgb, BOOL frozen, BOOL locked, BOOL off);

Acad::ErrorStatus GetEntityLayerId(const AcDbObjectId& entity, AcDbObjectId& layerId);
AcDbObjectId GetEntityLayerId(const AcDbObjectId& entity);
Acad::ErrorStatus GetEntityLinetypeId(const AcDbObjectId& entity, AcDbObjectId& linetypeId);
AcDbObjectId GetEntityLinetypeId(const AcDbObjectId& entity);
// The block table record that owns the entity.
Acad::ErrorStatus GetEntityBlockId(const AcDbObjectId& entity, AcDbObjectId& blockId);
AcDbObjectId GetEntityBlockId(const AcDbObjectId& entity);
Acad::ErrorStatus GetEntityLayerName(const AcDbObjectId& entity, CString& layer);
CString GetEntityLayerName(const AcDbObjectId& entity);
Acad::ErrorStatus GetEntityLinetypeName(const AcDbObjectId& entity, CString& linetype);
CString GetEntityLinetypeName(const AcDbObjectId& entity);

// Layer name and colour (colour method included) in one open.
Acad::ErrorStatus GetEntityLayerAndColor(const AcDbObjectId& entity, CString& layer, AcCmColor& color);

// The name of a block table record; another kind of object is refused at the open.
Acad::ErrorStatus GetBlockName(const AcDbObjectId& blockRecordId, CString& name);
CString GetBlockName(const AcDbObjectId& blockRecordId);
Acad::ErrorStatus GetEntityBlockName(const AcDbObjectId& entity, CString& name);
CString GetEntityBlockName(const AcDbObjectId& entity);

// The run-time class name the entity reports ("AcDb3dSolid"); empty when it cannot be opened.
CString GetEntityClassName(const AcDbObjectId& entity);

// The one test of a class: whether the name a run-time class reports equals className byte for
// byte (case matters).
bool IsClassName(const char* reported, const char* className);
// Whether the entity's own run-time class is className. A class derived from it does not match.
bool IsEntityOfClass(const AcDbEntity* entity, const char* className);
// The same for the entity behind an id, by its GetEntityClassName: one that cannot be opened
// has the empty name.
bool IsEntityOfClass(const AcDbObjectId& entity, const char* className);
