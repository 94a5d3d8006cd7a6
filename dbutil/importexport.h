// Drawing import and export: DXF files into the drawing, entities to and from SAT files, and
// points along a curve. Failures of the SAT operations leave their reason in LastErrorText.
#pragma once

#include "host/acdb.h"
#include "host/curves.h"
#include "host/entities.h"
#include "win/winapi.h"

// The host's DXF import of one file, then a zoom to the drawing's extents when asked. 0 when
// the host refuses the import.
BOOL ImportDxf(const CString& path, BOOL zoomExtents);
// Imports every .dxf file beside path whose name begins with path's file name (without its
// extension), in the order the folder yields them, zooming after each; count receives how many
// were imported. Each imported file is deleted afterwards; one that failed stays. 1 when every
// file found was imported. A path without a file name, or whose parts do not fit the
// run-time's buffers (_splitpath), is not searched, and a found name that does not begin with the file name (which '*' or '?'
// in it would let through) is left alone: both count as nothing found.
BOOL Import2dData(const CString& path, int& count);
// The solids, bodies and regions named by ids into one SAT file; ids that cannot be opened are
// left out.
BOOL ExportEntitiesToSat(const AcDbObjectIdArray& ids, const CString& satFile);
// Every entity of the SAT file, moved by xform, into model space; then a zoom when asked.
// "No entites imported" when the file yields none. An entity that model space does not take
// is released.
BOOL ImportSatFile(const CString& satFile, const AcGeMatrix3d& xform, BOOL zoomExtents);
// Appends points along the curve about step apart (in length), and its end point. 0, with no
// point added, for a step that is not positive and finite, a curve of no length or without
// ends (a ray, a construction line), a step so small that the points would not fit in the
// array or the parameter would stop growing, or a point the curve cannot give.
BOOL SampleCurve(AcDbCurve* curve, double step, AcGePoint3dArray& points);
