// The host's solid modeller: 3D solids, bodies and regions.
//
// Each entity holds the modeller's data: a shape that is a solid, a shell or a set of faces.
// The data stays behind this header (no modeller header is included here); platform code
// reaches the shape through modeler/occ_shape.h.
//
// Common rules:
// - setters and operations that change the entity need it open for write (eNotOpenForWrite);
//   queries need it open for read (eNotOpenForRead);
// - a failed operation leaves the entity, its operand and every out-parameter unchanged;
// - an entity without data is null: its extents are eNullExtents, it cannot be exploded or
//   written (eNullExtents from stlOut), and body() answers null.
#pragma once

#include "host/acdb.h"

namespace AcDb {
enum BoolOperType { kBoolUnite = 0, kBoolIntersect = 1, kBoolSubtract = 2 };
}  // namespace AcDb

namespace kv::modeler {
struct Body;        // the modeller data; see occ_shape.h
struct BodyAccess;  // the platform's way to it
}  // namespace kv::modeler

// Common ground of the three modeller entities. Not a host class: each of them reports its
// own class, so class-name tests never see this one.
class KV_PLATFORM_API AcDbModelerEntity : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbModelerEntity)
  ~AcDbModelerEntity() override;

  // True while the entity holds no modeller data.
  bool isNull() const;

  // The modeller data, owned by this entity and valid until it changes or is deleted; null
  // for a null entity. It is only good for setBody() of a modeller entity.
  const void* body() const;
  // Copies the data handed out by body() of any modeller entity (this one included): the
  // copy shares nothing with its source, which may be released afterwards.
  // eInvalidInput for a null pointer or one that body() did not hand out.
  // Armable as "setBody".
  Acad::ErrorStatus setBody(const void* modelerBody);

protected:
  AcDbModelerEntity();
  // explode: a solid into a region for each planar face and a body for each other face; a
  // region or body of several faces into the same pieces; a region, or a body of one face, into
  // its edges as lines, arcs, circles, ellipses and splines (seams and collapsed edges, which
  // bound nothing a user sees, left out). Nothing explodes into itself. Statuses: eNullExtents
  // for a null entity; eNotApplicable when there is nothing to explode into (a sphere's one
  // face); eGeneralModelingFailure when the modeller fails. Armable as "explode".
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;
  // Rigid motions and uniform scales, mirrors included; eCannotScaleNonUniformly otherwise.
  // A null entity stays null and answers eOk.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  // The tight box of the shape's geometry; eNullExtents for a null entity.
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // Deep copy of the data and properties into a new entity; false when the modeller fails.
  bool copyBodyTo(AcDbModelerEntity& other) const;

private:
  friend struct kv::modeler::BodyAccess;
  const kv::modeler::Body& data() const { return *body_; }
  kv::modeler::Body& data() { return *body_; }

  kv::modeler::Body* body_;  // never null; its shape may be
};

// A solid. The primitive constructors replace the solid's data with a primitive centred at
// the origin, axes along the world axes, as the host builds them; sizes that give no solid are
// refused with eGeneralModelingFailure (non-finite sizes with eInvalidInput) and the solid is
// left as it was.
class KV_PLATFORM_API AcDb3dSolid : public AcDbModelerEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDb3dSolid)
  AcDb3dSolid() = default;

  Acad::ErrorStatus createBox(double xLen, double yLen, double zLen);
  Acad::ErrorStatus createSphere(double radius);
  // A cylinder (topXRadius == xRadius) or cone (topXRadius 0) or frustum along Z, from
  // -height/2 to height/2. Elliptical sections (yRadius != xRadius) answer eNotYetImplemented.
  Acad::ErrorStatus createFrustum(double height, double xRadius, double yRadius, double topXRadius);
  // Around Z; a ring torus only (0 < minorRadius < majorRadius).
  Acad::ErrorStatus createTorus(double majorRadius, double minorRadius);
  // A box cut by the plane through its top edge at -x and its bottom edge at +x.
  Acad::ErrorStatus createWedge(double xLen, double yLen, double zLen);

  // Unites, intersects or subtracts the other solid into this one; the other is emptied
  // (made null) as the host does. A result without volume leaves this solid null.
  // Statuses: eInvalidInput for a null pointer or the solid itself, eNotOpenForWrite when
  // either is not open for write, eGeneralModelingFailure when the modeller fails (both
  // unchanged). Armable as "booleanOper".
  Acad::ErrorStatus booleanOper(AcDb::BoolOperType operation, AcDb3dSolid* solid);

  // Merges the faces that lie on one surface and removes the edges between them, so a box
  // made of 12 triangles becomes one of 6 faces; the shape's volume and place stay.
  // eNullExtents for a null solid, eNotOpenForWrite, eGeneralModelingFailure when the modeller
  // fails (solid unchanged). Armable as "cleanBody".
  Acad::ErrorStatus cleanBody();

  // Facets the solid at the current FACETRES and writes it as STL: binary (80-byte header,
  // count, 50 bytes a facet) when asciiFormat is false, else ASCII. The path takes '\\' and
  // '/' as separators. The solid is not changed. Statuses: eNullExtents for a null solid,
  // eNotOpenForRead, eFileAccessErr when the file cannot be written. Armable as "stlOut".
  Acad::ErrorStatus stlOut(const char* fileName, bool asciiFormat) const;

protected:
  AcRxObject* subClone() const override;
};

class KV_PLATFORM_API AcDbBody : public AcDbModelerEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbBody)
  AcDbBody() = default;

  // SAT files (modeler/sat_acis.cpp). acisIn appends one new entity per body, in file order:
  // an AcDb3dSolid for a closed solid body, an AcDbRegion for a planar sheet, an AcDbBody
  // otherwise; they are in no database and the caller owns them; on failure nothing is
  // appended. Versions 4.0 to 7.0, and later files where they use the same records.
  // Statuses: eFileNotFound (76), eCannotRestoreFromAcisFile (300) for a file it cannot
  // understand. acisOut writes the solids, bodies and regions given into one SAT 7.0 file;
  // eInvalidInput for anything else or a null entity, eFileAccessErr when it cannot be
  // written. Paths take '\\' and '/'. Armable as "acisIn" and "acisOut".
  static Acad::ErrorStatus acisIn(const char* fileName, AcDbVoidPtrArray& entities);
  static Acad::ErrorStatus acisOut(const char* fileName, const AcDbVoidPtrArray& entities);

protected:
  AcRxObject* subClone() const override;
};

class KV_PLATFORM_API AcDbRegion : public AcDbModelerEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbRegion)
  AcDbRegion() = default;

protected:
  AcRxObject* subClone() const override;
};
