// Drawing entities into objects of the geometry vocabulary: the dispatcher by class name, the
// exploding conversions, the 2D-solid surface and the block reference.
#include "entgeom.h"

#include <memory>
#include <string>

#include "convert/meshread.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "orvgeo/orvgeo.h"
#include "win/crt.h"

namespace {

using Objects = ON_SimpleArray<ON_Object*>;
using Definitions = ON_ClassArray<ON_InstanceDefinition>;
using Lines = ON_ClassArray<ON_LineCurve>;

// The pieces of one explode: new entities in no drawing, ours on every path, failed explodes
// included (the host may have appended some before it failed). The host releases an object
// outside a database through its close(), so closing a piece and deleting it come to the same.
class ExplodedPieces {
public:
  enum Release { kDelete, kClose };
  explicit ExplodedPieces(Release release) : release_(release) {}
  ExplodedPieces(const ExplodedPieces&) = delete;
  ExplodedPieces& operator=(const ExplodedPieces&) = delete;
  ~ExplodedPieces() {
    for (void* piece : set) {
      auto* entity = static_cast<AcDbEntity*>(piece);
      if (!entity) continue;
      if (release_ == kClose) entity->close();
      else delete entity;
    }
  }

  AcDbVoidPtrArray set;

private:
  Release release_;
};

BOOL objectsFromPieces(const AcDbEntity* entity, Objects& objects) {
  ExplodedPieces pieces(ExplodedPieces::kDelete);
  if (entity->explode(pieces.set) != Acad::eOk) return FALSE;
  // Empty, so that block references among the pieces are not exported.
  const Definitions none;
  for (void* piece : pieces.set)
    if (piece) OpenNurbsObjectFromEntity(static_cast<AcDbEntity*>(piece), objects, none);
  return TRUE;
}

// Only lines are read: a piece of another kind is not a line, whatever the host gives.
BOOL linesFromPieces(const AcDbEntity* entity, Lines& lines) {
  ExplodedPieces pieces(ExplodedPieces::kClose);
  if (entity->explode(pieces.set) != Acad::eOk) return FALSE;
  for (void* piece : pieces.set) {
    auto* entityPiece = static_cast<AcDbEntity*>(piece);
    AcDbLine* line = entityPiece && IsEntityOfClass(entityPiece, "AcDbLine") ? AcDbLine::cast(entityPiece) : nullptr;
    if (!line) continue;
    ON_LineCurve curve;
    LineCurveFromLine(line, curve);
    lines.Append(curve);
  }
  return TRUE;
}

// Wide text as UTF-8, the form in which the host holds every name. Wide text is UTF-16 where
// wchar_t has 16 bits and UTF-32 where it has 32. False for text that is no valid Unicode (a
// lone surrogate, a value past U+10FFFF): it can equal no name the host holds.
bool utf8FromWide(const wchar_t* text, std::string& out) {
  out.clear();
  for (const wchar_t* p = text; *p; ++p) {
    char32_t c = char32_t(*p);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(*++p) - 0xDC00);
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return true;
}

bool sameText(const std::string& a, const CString& b) {
  return _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                 reinterpret_cast<const unsigned char*>(b.GetString())) == 0;
}

// ---- the rows -------------------------------------------------------------------------------

using Exporter = BOOL (*)(AcDbEntity*, Objects&, const Definitions&);

// A new object of the row's class, appended only when its conversion answers nonzero.
template <class Entity, class Object, BOOL (*Fill)(Entity*, Object&)>
BOOL oneObject(AcDbEntity* entity, Objects& objects, const Definitions&) {
  Entity* typed = Entity::cast(entity);
  auto object = std::make_unique<Object>();
  if (!typed || !Fill(typed, *object)) return FALSE;
  objects.Append(object.release());
  return TRUE;
}

template <class Entity, BOOL (*Fill)(Entity*, Lines&)>
BOOL lineObjects(AcDbEntity* entity, Objects& objects, const Definitions&) {
  Entity* typed = Entity::cast(entity);
  Lines lines;
  if (!typed || !Fill(typed, lines)) return FALSE;
  for (const ON_LineCurve& line : lines) objects.Append(new ON_LineCurve(line));
  return TRUE;
}

template <class Entity, BOOL (*Explode)(Entity*, Objects&)>
BOOL pieceObjects(AcDbEntity* entity, Objects& objects, const Definitions&) {
  Entity* typed = Entity::cast(entity);
  return typed ? Explode(typed, objects) : FALSE;
}

BOOL instanceObject(AcDbEntity* entity, Objects& objects, const Definitions& definitions) {
  AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
  auto instance = std::make_unique<ON_InstanceRef>();
  if (!reference || !InstanceRefFromBlockReference(reference, *instance, definitions)) return FALSE;
  objects.Append(instance.release());
  return TRUE;
}

// Nothing of the text is carried over.
BOOL textObject(AcDbEntity*, Objects& objects, const Definitions&) {
  objects.Append(new ON_TextEntity2);
  return TRUE;
}

struct Row {
  const char* className;
  Exporter exportAs;
};

// Tried in this order; the first name equal to the entity's decides.
const Row kRows[] = {
    {"AcDbPoint", oneObject<AcDbPoint, ON_Point, PointObjectFromPoint>},
    {"AcDbLine", oneObject<AcDbLine, ON_LineCurve, LineCurveFromLine>},
    {"AcDbRay", oneObject<AcDbRay, ON_LineCurve, LineCurveFromRay>},
    {"AcDbXline", oneObject<AcDbXline, ON_LineCurve, LineCurveFromXline>},
    {"AcDbMline", lineObjects<AcDbMline, LineCurvesFromMline>},
    {"AcDbCircle", oneObject<AcDbCircle, ON_ArcCurve, ArcCurveFromCircle>},
    {"AcDbArc", oneObject<AcDbArc, ON_ArcCurve, ArcCurveFromArc>},
    {"AcDbEllipse", oneObject<AcDbEllipse, ON_NurbsCurve, NurbsCurveFromEllipse>},
    {"AcDbPolyline", oneObject<AcDbPolyline, ON_PolylineCurve, PolylineCurveFromPolyline>},
    {"AcDb3dPolyline", oneObject<AcDb3dPolyline, ON_PolylineCurve, PolylineCurveFrom3dPolyline>},
    {"AcDbSpline", oneObject<AcDbSpline, ON_NurbsCurve, NurbsCurveFromSpline>},
    {"AcDbFace", oneObject<AcDbFace, ON_Mesh, MeshFromFace>},
    {"AcDbPolyFaceMesh", oneObject<AcDbPolyFaceMesh, ON_Mesh, MeshFromPolyFaceMesh>},
    {"AcDbPolygonMesh", oneObject<AcDbPolygonMesh, ON_Mesh, MeshFromPolygonMesh>},
    {"AcDbSolid", oneObject<AcDbSolid, ON_NurbsSurface, NurbsSurfaceFrom2dSolid>},
    {"AcDbHatch", lineObjects<AcDbHatch, LineCurvesFromHatch>},
    {"AcDb3dSolid", pieceObjects<AcDb3dSolid, OpenNurbsObjectsFrom3dSolid>},
    {"AcDbBody", pieceObjects<AcDbBody, OpenNurbsObjectsFromBody>},
    {"AcDbRegion", pieceObjects<AcDbRegion, OpenNurbsObjectsFromRegion>},
    {"AcDbBlockReference", instanceObject},
    {"AcDbText", textObject},
};

}  // namespace

BOOL OpenNurbsObjectFromEntity(AcDbEntity* entity, ON_SimpleArray<ON_Object*>& objects,
                               const ON_ClassArray<ON_InstanceDefinition>& definitions) {
  if (!entity) return FALSE;
  for (const Row& row : kRows)
    if (IsEntityOfClass(entity, row.className)) return row.exportAs(entity, objects, definitions);
  return FALSE;
}

BOOL OpenNurbsObjectsFrom3dSolid(AcDb3dSolid* solid, ON_SimpleArray<ON_Object*>& objects) {
  return objectsFromPieces(solid, objects);
}

BOOL OpenNurbsObjectsFromBody(AcDbBody* body, ON_SimpleArray<ON_Object*>& objects) {
  return objectsFromPieces(body, objects);
}

BOOL OpenNurbsObjectsFromRegion(AcDbRegion* region, ON_SimpleArray<ON_Object*>& objects) {
  return objectsFromPieces(region, objects);
}

BOOL LineCurvesFromHatch(AcDbHatch* hatch, ON_ClassArray<ON_LineCurve>& lines) {
  return linesFromPieces(hatch, lines);
}

BOOL LineCurvesFromMline(AcDbMline* mline, ON_ClassArray<ON_LineCurve>& lines) {
  if (linesFromPieces(mline, lines)) return TRUE;
  ConvertErrorText = "Unable to explode MLINE object";
  return FALSE;
}

BOOL NurbsSurfaceFrom2dSolid(AcDbSolid* solid, ON_NurbsSurface& surface) {
  AcGePoint3d p[4];
  for (Adesk::UInt16 i = 0; i < 4; ++i) solid->getPointAt(i, p[i]);
  const ON_3dPoint p0 = OnPointFromGePoint(p[0]), p1 = OnPointFromGePoint(p[1]);
  const ON_3dPoint p2 = OnPointFromGePoint(p[2]), p3 = OnPointFromGePoint(p[3]);
  if (p[2] == p[3]) return ORVNurbsSurface::CreateTriangle(surface, p0, p1, p2);
  // The host's corners run in a bow tie; the surface's run round its edge.
  return ORVNurbsSurface::CreateQuad(surface, p0, p1, p3, p2);
}

BOOL InstanceRefFromBlockReference(AcDbBlockReference* reference, ON_InstanceRef& instance,
                                   const ON_ClassArray<ON_InstanceDefinition>& definitions) {
  CString blockName;
  if (GetBlockName(reference->blockTableRecord(), blockName) != Acad::eOk) return FALSE;
  instance.m_xform = XformFromGeMatrix(reference->blockTransform());
  std::string name;
  for (const ON_InstanceDefinition& definition : definitions) {
    if (!utf8FromWide(definition.Name(), name) || !sameText(name, blockName)) continue;
    instance.m_instance_definition_uuid = definition.Uuid();
    return TRUE;
  }
  return FALSE;
}
