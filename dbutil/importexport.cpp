#include "importexport.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dbutil/append.h"
#include "dbutil/errortext.h"
#include "host/aced.h"
#include "modeler/solids.h"
#include "win/crt.h"

namespace {

void zoomExtents() { acedCommand(RTSTR, "_zoom", RTSTR, "_extents", RTNONE); }

bool importDxfFile(const char* path) { return acedCommand(RTSTR, "_dxfin", RTSTR, path, RTNONE) == RTNORM; }

// The parts of a path, split into the run-time's fixed buffers.
struct PathParts {
  char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];

  // False when a part was cut to its buffer: the parts then name another folder or a shorter
  // file name, and a search there could reach files that are none of ours.
  bool split(const CString& path) {
    _splitpath(path, drive, dir, fname, ext);
    size_t whole = std::strlen(drive) + std::strlen(dir) + std::strlen(fname) + std::strlen(ext);
    return whole == size_t(path.GetLength());
  }
};

// Whether name begins with prefix, case folded as the search folds it.
bool beginsWith(const char* name, const char* prefix) {
  size_t n = std::strlen(prefix);
  return std::strlen(name) >= n && CString(name, int(n)).CompareNoCase(prefix) == 0;
}

// The names the search yields for pattern, in its order. A name that does not begin with
// prefix is left out: the file name may hold '*' or '?', which the search reads as wildcards.
std::vector<std::string> foundNames(const CString& pattern, const char* prefix) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (beginsWith(found.cFileName, prefix)) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// Adds the points of the curve from its start parameter up to (not including) its end
// parameter, step apart in parameter; false when a point cannot be read or the parameter
// stops growing.
bool samplePoints(const AcDbCurve& curve, double start, double end, double step, AcGePoint3dArray& out) {
  for (double p = start; p < end;) {
    AcGePoint3d point;
    if (curve.getPointAtParam(p, point) != Acad::eOk) return false;
    out.append(point);
    double next = p + step;
    if (!(next > p)) return false;
    p = next;
  }
  return true;
}

}  // namespace

BOOL ImportDxf(const CString& path, BOOL zoom) {
  if (!importDxfFile(path)) return FALSE;
  if (zoom) zoomExtents();
  return TRUE;
}

BOOL Import2dData(const CString& path, int& count) {
  count = 0;
  BOOL result = TRUE;
  PathParts parts;
  std::vector<std::string> names;
  CString folder, base, pattern;
  // A path without a file name would name every DXF file of its folder, each deleted once read.
  if (parts.split(path) && parts.fname[0] != '\0') {
    folder.Format("%s%s", parts.drive, parts.dir);
    base.Format("%s%s%s", parts.drive, parts.dir, parts.fname);
    pattern.Format("%s*.dxf", base.GetString());
    names = foundNames(pattern, parts.fname);
  }
  if (names.empty()) {
    acutPrintf("Unable to read 2D data\n");
    return FALSE;
  }
  for (const std::string& name : names) {
    CString full;
    full.Format("%s%s", folder.GetString(), name.c_str());
    if (!importDxfFile(full)) {
      // Not in the drawing: the file stays, so that nothing of the user's is lost.
      acutPrintf("Unable to read 2D data from %s", name.c_str());
      result = FALSE;
      continue;
    }
    zoomExtents();
    ++count;
    _unlink(full);
  }
  return result;
}

BOOL ExportEntitiesToSat(const AcDbObjectIdArray& ids, const CString& satFile) {
  AcDbVoidPtrArray entities;
  for (const AcDbObjectId& id : ids) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) == Acad::eOk) entities.append(entity);
  }
  Acad::ErrorStatus es = AcDbBody::acisOut(satFile, entities);
  for (void* entity : entities) static_cast<AcDbEntity*>(entity)->close();
  if (es == Acad::eOk) return TRUE;
  LastErrorText = ErrorStatusText(es);
  return FALSE;
}

BOOL ImportSatFile(const CString& satFile, const AcGeMatrix3d& xform, BOOL zoom) {
  AcDbVoidPtrArray entities;
  if (Acad::ErrorStatus es = AcDbBody::acisIn(satFile, entities)) {
    for (void* entity : entities) static_cast<AcDbEntity*>(entity)->close();
    LastErrorText = ErrorStatusText(es);
    return FALSE;
  }
  for (void* item : entities) {
    auto* entity = static_cast<AcDbEntity*>(item);
    entity->transformBy(xform);
    AppendEntity(entity);
    // An entity that model space refused is in no drawing: closing it releases it.
    entity->close();
  }
  if (zoom) zoomExtents();
  if (entities.isEmpty()) {
    LastErrorText = "No entites imported";
    return FALSE;
  }
  return TRUE;
}

BOOL SampleCurve(AcDbCurve* curve, double step, AcGePoint3dArray& points) {
  if (!curve || !(step > 0) || !std::isfinite(step)) return FALSE;
  double start = 0, end = 0, length = 0;
  curve->getStartParam(start);
  curve->getEndParam(end);
  curve->getDistAtParam(end, length);
  // An unbounded curve has no end to reach, one of no length no step to take.
  if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(length) || !(length > 0) || !(end > start))
    return FALSE;
  const double d = (end - start) * (step / length);
  // Far more points than an array holds: the step is too small for this curve.
  if (!(d > 0) || (end - start) / d >= double(INT_MAX - points.length() - 1)) return FALSE;
  AcGePoint3dArray sampled;
  AcGePoint3d last;
  if (!samplePoints(*curve, start, end, d, sampled) || curve->getPointAtParam(end, last) != Acad::eOk) return FALSE;
  sampled.append(last);
  points.append(sampled);
  return TRUE;
}
