#include "append.h"

#include "dbutil/color.h"
#include "dbutil/layer.h"
#include "host/aced.h"
#include "win/crt.h"

Acad::ErrorStatus AppendEntity(AcDbEntity* entity, AcDbObjectId& id, AcDbBlockTableRecord* owner) {
  if (owner) return owner->appendAcDbEntity(id, entity);
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (!db) return Acad::eNoDatabase;
  AcDbBlockTable* table = nullptr;
  if (Acad::ErrorStatus es = db->getBlockTable(table, AcDb::kForRead)) return es;
  AcDbBlockTableRecord* space = nullptr;
  Acad::ErrorStatus es = table->getAt(ACDB_MODEL_SPACE, space, AcDb::kForWrite, false);
  table->close();
  if (es != Acad::eOk) return es;
  es = space->appendAcDbEntity(id, entity);
  space->close();
  return es;
}

Acad::ErrorStatus AppendEntity(AcDbEntity* entity, AcDbBlockTableRecord* owner) {
  AcDbObjectId id;
  return AppendEntity(entity, id, owner);
}

Acad::ErrorStatus SetEntityLayer(AcDbEntity* entity, const CString& layer) {
  if (layer.IsEmpty()) return Acad::eOk;
  AcDbObjectId layerId;
  if (Acad::ErrorStatus es = GetOrCreateLayer(layer, TRUE, layerId)) return es;
  return entity->setLayer(layerId, true);
}

Acad::ErrorStatus SetEntityLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color) {
  if (Acad::ErrorStatus es = SetEntityLayer(entity, layer)) return es;
  return entity->setColor(color, true);
}

Acad::ErrorStatus SetEntityLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb) {
  if (Acad::ErrorStatus es = SetEntityLayer(entity, layer)) return es;
  return SetEntityColor(entity, rgb);
}

Acad::ErrorStatus AppendEntityWithLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color,
                                                AcDbBlockTableRecord* owner) {
  AcDbObjectId id;
  return AppendEntityWithLayerAndColor(entity, layer, color, id, owner);
}

Acad::ErrorStatus AppendEntityWithLayerAndColor(AcDbEntity* entity, const CString& layer, const AcCmColor& color,
                                                AcDbObjectId& id, AcDbBlockTableRecord* owner) {
  if (Acad::ErrorStatus es = SetEntityLayerAndColor(entity, layer, color)) return es;
  return AppendEntity(entity, id, owner);
}

Acad::ErrorStatus AppendEntityWithLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb,
                                              AcDbBlockTableRecord* owner) {
  AcDbObjectId id;
  return AppendEntityWithLayerAndRgb(entity, layer, rgb, id, owner);
}

Acad::ErrorStatus AppendEntityWithLayerAndRgb(AcDbEntity* entity, const CString& layer, const unsigned long& rgb,
                                              AcDbObjectId& id, AcDbBlockTableRecord* owner) {
  if (Acad::ErrorStatus es = SetEntityLayerAndRgb(entity, layer, rgb)) return es;
  return AppendEntity(entity, id, owner);
}

Acad::ErrorStatus AppendPolyFaceVertex(AcDbPolyFaceMesh* mesh, const AcGePoint3d& point) {
  auto* vertex = new AcDbPolyFaceMeshVertex(point);
  Acad::ErrorStatus es = mesh->appendVertex(vertex);
  vertex->close();
  return es;
}

Acad::ErrorStatus AppendPolyFaceRecord(AcDbPolyFaceMesh* mesh, short a, short b, short c, short d) {
  auto* record = new AcDbFaceRecord(a, b, c, d);
  Acad::ErrorStatus es = mesh->appendFaceRecord(record);
  record->close();
  return es;
}

Acad::ErrorStatus Append3dPolylineVertex(AcDb3dPolyline* polyline, const AcGePoint3d& point) {
  auto* vertex = new AcDb3dPolylineVertex(point);
  Acad::ErrorStatus es = polyline->appendVertex(vertex);
  vertex->close();
  return es;
}

namespace {

// Reads one grid vertex's position from the iterator's current item.
bool gridVertex(AcDbObjectIterator& it, AcGePoint3d& p) {
  AcDbObjectId id = it.objectId();
  if (id.isNull()) {  // a mesh outside the drawing holds its vertices itself
    const AcDbPolygonMeshVertex* v = AcDbPolygonMeshVertex::cast(it.entity());
    if (!v) return false;
    p = v->position();
    return true;
  }
  AcDbPolygonMeshVertex* v = nullptr;
  if (acdbOpenAcDbObject(v, id, AcDb::kForRead) != Acad::eOk) return false;
  p = v->position();
  v->close();
  return true;
}

}  // namespace

BOOL FillPolyFaceFromPolygonMesh(const AcDbPolygonMesh* source, AcDbPolyFaceMesh* target) {
  const int m = source->mSize(), n = source->nSize();
  const bool mClosed = source->isMClosed(), nClosed = source->isNClosed();
  const int total = m * n, last = (m - 1) * n;

  int appended = 0;
  bool complete = true;
  AcDbObjectIterator* it = source->vertexIterator();
  for (; !it->done(); it->step()) {
    AcGePoint3d p;
    if (!gridVertex(*it, p) || AppendPolyFaceVertex(target, p) != Acad::eOk) {
      complete = false;
      break;
    }
    ++appended;
  }
  delete it;
  if (!complete || appended != total || m < 1 || n < 1) return FALSE;

  auto record = [&](int a, int b, int c, int d) {
    AppendPolyFaceRecord(target, short(a), short(b), short(c), short(d));
  };
  for (int i = 1; i <= total; ++i) {
    const int r = i % n;
    if (r != 0 && i <= last) record(i, i + 1, i + n + 1, i + n);
    else if (r == 0 && nClosed && i <= last) record(i, i + 1 - n, i + 1, i + n);
    else if (i > last && mClosed && i != total) record(i, i + 1, i + 1 - last, i - last);
  }
  if (mClosed && nClosed) record(n, total, last + 1, 1);
  return TRUE;
}

BOOL EraseEntity(const AcDbObjectId& id) {
  ads_name name;
  // The host's entdel brings an erased entity back: never hand it one.
  if (id.isErased() || acdbGetAdsName(name, id) != Acad::eOk) return FALSE;
  return acdbEntDel(name) == RTNORM;
}

BOOL EraseEntities(const AcDbObjectIdArray& ids) {
  for (const AcDbObjectId& id : ids) {
    ads_name name;
    if (!id.isErased() && acdbGetAdsName(name, id) == Acad::eOk) acdbEntDel(name);
  }
  return TRUE;
}

int IndexOfName(const CStringArray& names, CString name) {
  for (int i = 0; i < names.GetSize(); ++i)
    if (_mbscmp(reinterpret_cast<const unsigned char*>(names[i].GetString()),
                reinterpret_cast<const unsigned char*>(name.GetString())) == 0)
      return i;
  return -1;
}
