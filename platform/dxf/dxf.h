// Drawings as DXF, read from R12 to R2010 and written back in the version read, with whatever
// the host does not model kept as read; a new drawing is written as R2004 (AC1018), the host
// generation's own format, which keeps true colours.
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
  std::string version;   // $ACADVER; "AC1009" for a file without one (R12 style)
  int entitiesRead = 0;  // entities the host models, in every layout and block
  // Entities kept as read without being modelled, by DXF name: kinds the host does not read,
  // and entities whose data it could not take (each of those with a line in notes).
  std::map<std::string, int> unsupported;
  // Table records and objects kept as read without being modelled, by type.
  std::map<std::string, int> keptObjects;
  int skipped = 0;  // entities left out, each with a line in notes
  // "line N: NAME kept as read: <reason>" for an entity kept for its content rather than its
  // type (ACIS data the SAT reader cannot understand, a value that is not a number), and
  // "line N: NAME <handle> left out: <reason>" for one left out.
  std::vector<std::string> notes;
};

// Reads a drawing into a new database, keeping everything: the file's handles; its layers,
// linetypes and block records (with what of them the host does not model); the entities of
// model space, paper space (every layout) and every block, in their block records; $CLAYER.
// Entities of the types the host reads become host entities: LINE, POINT, RAY, XLINE, CIRCLE,
// ARC, ELLIPSE, SPLINE, 3DFACE, SOLID, LWPOLYLINE, POLYLINE as polyface mesh, polygon mesh, 3D
// or 2D polyline (with their VERTEX entities), TEXT, HATCH, MLINE, INSERT, and 3DSOLID, BODY
// and REGION with their ACIS data. Their data the host does not hold (extended
// data, reactors, extension dictionaries, lineweight, thickness, ...) is kept with them, and
// so are sub-entities their reader does not read (ATTRIB ... SEQEND). Entities of other types,
// and any whose data the host cannot take, are kept whole (kv::KeptEntity, host/kept.h) with
// their layer, linetype and colour modelled. Header variables, classes, the other tables, the
// objects and unknown sections are kept as read for writeDrawing.
// An entity on a layer or linetype whose name the host cannot take is left out with a note;
// such a name in a table refuses the file.
// Solids, bodies and regions: the entity's type decides the class, whatever its SAT says; SAT
// of several bodies becomes one entity holding them all. One whose SAT text the SAT reader
// cannot understand (or that holds no body, or keeps its data outside the entity as R2013+
// does) is kept as read, counted in `unsupported` under its DXF name with the reason in
// `notes`. One with no ACIS data at all is read as a null entity.
// Polylines: the flags of each VERTEX, not the order nor the counts in 71/72, tell a polyface
// mesh's vertices from its face records, which may name one or two vertices only; the vertices
// a spline fit made (flag 8) are kept in 2D and 3D polylines and left to the host to remake in
// polygon meshes; a polygon mesh must hold M x N vertices. A polyface mesh the host refuses
// (more than 32,767 vertices or faces, a face naming a vertex the mesh lacks) is kept as read
// with the host's status in its note. A SOLID's corners are in its own coordinate system (210)
// in the file and in world coordinates in the host. A layer or linetype that entities name but
// the tables lack is created, as the host does, and so is an empty block for an INSERT naming
// one the file does not define (an INSERT naming none is kept as read); a BLOCK's origin is
// its record's. Objects the file does not give a free handle (new layers, vertices) get
// handles above the file's $HANDSEED. Text is decoded into UTF-8
// from the file's code page ($DWGCODEPAGE before AC1021, UTF-8 from AC1021 on; dxf_codepage.h).
// ASCII DXF from R12 (also without HEADER) to R2010 (AC1024); binary DXF and newer versions
// are refused. On failure db and report are untouched and error holds one line naming the
// reason and the line of the file where it was found: a file is refused only when its pairs,
// sections, header or tables cannot be read. Statuses: eFileNotFound, eCantOpenFile,
// eBadDxfFile (malformed or unsupported file), eDxfReadAborted (the database refused an object).
KV_PLATFORM_API Acad::ErrorStatus readDrawing(const std::string& path, std::unique_ptr<AcDbDatabase>& db,
                                              std::string& error, ReadReport* report = nullptr);

// Writes the whole drawing as ASCII DXF: a drawing read from a file in the version read
// (R12 as R12, without owners, subclass markers, classes or objects; R13 and R14 as R2000;
// R2000 to R2010 as they were; an R12 file that held objects, classes or block records in the
// first version that has them), a new one as R2004 (AC1018). Everything the read kept goes back as read, in its place; what the host models is
// written from the host, so changes show. Erased objects are left out, and so are objects a
// file gave whose owner is erased (an erased entity's extension dictionary), entities of types
// that have no DXF codec yet and solids whose shape has no SAT form. Solids, bodies and regions
// carry their ACIS data as read while their shape is the one read, else SAT 7.0 encoded line by
// line in groups 1 (and 3 past 255 characters); a null one is written without ACIS data. Object
// handles are the database's own; what the file needs beyond the database and the kept data
// (tables, dictionaries, layouts and block definitions a file did not give) gets handles from
// the database's handseed up, and $HANDSEED is above them all. The dictionaries and layouts of
// a new drawing are written only for a drawing whose file had no OBJECTS section.
// The file replaces the target as file::replace does: atomically, through a symlink to its
// target, never over anything but a regular file. eFileAccessErr when the file cannot be
// written (nothing partial is left, an old file stays as it was), with the reason in error when
// given. eNullBlockName, with nothing written, when a block reference names no block at all
// (one made without a block; an erased block's references are written with its name). Text
// is written in UTF-8 from AC1021 on, before that in the page the drawing's file declared
// (ANSI_1252 for a new drawing), and $DWGCODEPAGE says so; a character the page lacks is
// written as \U+XXXX.
KV_PLATFORM_API Acad::ErrorStatus writeDrawing(AcDbDatabase& db, const std::string& path,
                                               std::string* error = nullptr);

}  // namespace kv::dxf
