// Drawings as DXF: written as R2004 (AC1018), the host generation's own format, which keeps
// true colours; read from R12 to R2010.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/acdb.h"
#include "core/export.h"

namespace kv::dxf {

// What a read met beside the drawing it built.
struct ReadReport {
  std::string version;        // $ACADVER; "AC1009" for a file without one (R12 style)
  int entitiesRead = 0;       // entities now in model space
  int otherSpaceSkipped = 0;  // entities of paper space and of block definitions, not read
  std::map<std::string, int> unsupported;  // model-space entities not read, by DXF name
  // One line for each of those that was left out for its content rather than its type
  // ("line N: 3DSOLID not read: <reason>"), such as ACIS data the SAT reader cannot understand.
  std::vector<std::string> notes;
};

// Reads a drawing into a new database: the file's layers and linetypes over the default
// tables, $CLAYER, and the model-space entities of the types the host reads (LINE, POINT,
// RAY, XLINE, CIRCLE, ARC, ELLIPSE, SPLINE, 3DFACE, SOLID, POLYLINE as polyface mesh, polygon
// mesh or 3D polyline, with their VERTEX entities, and 3DSOLID, BODY and REGION with their
// ACIS data); other entity types, 2D polylines among them, are skipped and counted.
// Solids, bodies and regions: the entity's type decides the class, whatever its SAT says; SAT
// of several bodies becomes one entity holding them all. One whose SAT text the SAT reader
// cannot understand (or that holds no body, or keeps its data outside the entity as R2013+
// does) is skipped, counted in `unsupported` under its DXF name with the reason in `notes`,
// and the rest of the drawing is read. One with no ACIS data at all is read as a null entity.
// Polylines: the flags of each VERTEX, not the order nor the counts in 71/72, tell a polyface
// mesh's vertices from its face records; vertices a spline fit made (flag 8) are left to the
// host to remake; a polygon mesh must hold M x N vertices. A polyface mesh the host refuses
// (more than 32,767 vertices or faces, a face naming a vertex the mesh lacks) fails the whole
// read with eBadDxfFile and the host's status in the error, rather than leaving the mesh out or
// cutting it short. A SOLID's corners, and a CIRCLE's or ARC's centre, are in its own coordinate
// system (210) in the file and in world coordinates in the host. A curve whose data the host
// refuses (a spline whose knots do not fit its control points, an ellipse whose ratio passes 1)
// is skipped, counted and noted as an unreadable solid is. A layer or linetype that entities name but the tables lack is
// created, as the host does. Handles are the new database's own.
// ASCII DXF from R12 (also without HEADER) to R2010 (AC1024); binary DXF and newer versions
// are refused. On failure db and report are untouched and error holds one line naming the
// reason and the line of the file where it was found. Statuses: eFileNotFound, eCantOpenFile,
// eBadDxfFile (malformed or unsupported file), eDxfReadAborted (the database refused an object).
KV_PLATFORM_API Acad::ErrorStatus readDrawing(const std::string& path, std::unique_ptr<AcDbDatabase>& db,
                                              std::string& error, ReadReport* report = nullptr);

// Writes the whole drawing as R2004 (AC1018) ASCII DXF; erased objects are left out, and so are
// entities of types that have no DXF codec yet and solids whose shape has no SAT form. Solids,
// bodies and regions carry SAT 7.0, encoded line by line in groups 1 (and 3 past 255
// characters); a null one is written without ACIS data. Object handles are the database's own; what the
// file needs beyond the database (dictionaries, layouts, the other tables) gets handles from the
// database's handseed up, and $HANDSEED is above them all. The file replaces the target as
// file::replace does: atomically, through a symlink to its target, never over anything but a
// regular file. eFileAccessErr when the file cannot be written (nothing partial is left, an
// old file stays as it was), with the reason in error when given.
KV_PLATFORM_API Acad::ErrorStatus writeDrawing(AcDbDatabase& db, const std::string& path,
                                               std::string* error = nullptr);

}  // namespace kv::dxf
