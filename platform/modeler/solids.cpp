// Solids, bodies and regions on Open CASCADE: data, extents, transforms, copies, Booleans and
// explode. Faceting and STL output live in stl_out.cpp, the primitives in primitives.cpp.
#include "modeler/solids.h"
#include "host/access.h"

#include <cmath>
#include <memory>
#include <vector>

#include <BRepAdaptor_Surface.hxx>
#include <BRepAlgoAPI_Common.hxx>
#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_Copy.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <ShapeUpgrade_UnifySameDomain.hxx>
#include <Standard_Failure.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <gp_Trsf.hxx>

#include "core/faults.h"
#include "modeler/occ_shape.h"

KV_RX_DEFINE_MEMBERS(AcDbModelerEntity, AcDbEntity, nullptr)
KV_RX_DEFINE_MEMBERS(AcDb3dSolid, AcDbModelerEntity, "3DSOLID")
KV_RX_DEFINE_MEMBERS(AcDbBody, AcDbModelerEntity, "BODY")
KV_RX_DEFINE_MEMBERS(AcDbRegion, AcDbModelerEntity, "REGION")

using kv::modeler::Body;

namespace {

// Copies share no geometry or triangulation with their source, so that a later transform or
// faceting of one never shows in the other.
TopoDS_Shape deepCopy(const TopoDS_Shape& shape) {
  if (shape.IsNull()) return shape;
  return BRepBuilderAPI_Copy(shape, Standard_True, Standard_False).Shape();
}

TopTools_IndexedMapOfShape facesOf(const TopoDS_Shape& shape) {
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  return faces;
}

double volumeOf(const TopoDS_Shape& shape) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(shape, props);
  return props.Mass();
}

// Booleans answer empty compounds, stray faces or slivers where geometry has no volume left.
bool hasVolume(const TopoDS_Shape& shape) {
  if (shape.IsNull() || !TopExp_Explorer(shape, TopAbs_SOLID).More()) return false;
  Bnd_Box box;
  BRepBndLib::Add(shape, box);
  if (box.IsVoid()) return false;
  double size = std::sqrt(box.SquareExtent());
  return std::fabs(volumeOf(shape)) > 1e-9 * size * size * size;
}

template <class Piece>
Piece* newPiece(const AcDbEntity& source, const TopoDS_Shape& shape) {
  auto* piece = new Piece;
  kv::HostAccess::copyProperties(source, *piece);
  kv::modeler::shapeOf(*piece) = deepCopy(shape);
  return piece;
}

// The edges of one face as curves; seams and the collapsed edges at poles are no boundary a
// user sees, and are skipped.
Acad::ErrorStatus explodeFace(const AcDbEntity& source, const TopoDS_Face& face, std::vector<AcDbEntity*>& pieces) {
  TopTools_IndexedMapOfShape edges;
  TopExp::MapShapes(face, TopAbs_EDGE, edges);
  for (int i = 1; i <= edges.Extent(); ++i) {
    const TopoDS_Edge& edge = TopoDS::Edge(edges(i));
    if (BRep_Tool::Degenerated(edge) || BRep_Tool::IsClosed(edge, face)) continue;
    AcDbCurve* curve = kv::modeler::curveOfEdge(edge);
    if (!curve) return Acad::eNotApplicable;
    kv::HostAccess::copyProperties(source, *curve);
    pieces.push_back(curve);
  }
  return Acad::eOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

AcDbModelerEntity::AcDbModelerEntity() : body_(new Body) {}
AcDbModelerEntity::~AcDbModelerEntity() { delete body_; }

bool AcDbModelerEntity::isNull() const { return body_->shape.IsNull(); }

const void* AcDbModelerEntity::body() const { return isNull() ? nullptr : body_; }

Acad::ErrorStatus AcDbModelerEntity::setBody(const void* modelerBody) {
  if (int st = kv::fault::check(kv::fault::Call::setBody, Acad::eInvalidInput)) return Acad::ErrorStatus(st);
  if (Acad::ErrorStatus es = checkWrite()) return es;
  const auto* source = static_cast<const Body*>(modelerBody);
  if (!source || source->tag != Body::kTag) return Acad::eInvalidInput;
  try {
    TopoDS_Shape copy = deepCopy(source->shape);
    body_->shape = copy;
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbModelerEntity::subTransformBy(const AcGeMatrix3d& m) {
  if (!m.isUniScaledOrtho() || m(3, 0) != 0 || m(3, 1) != 0 || m(3, 2) != 0 || m(3, 3) != 1)
    return Acad::eCannotScaleNonUniformly;
  if (isNull()) return Acad::eOk;
  try {
    gp_Trsf trsf;
    trsf.SetValues(m(0, 0), m(0, 1), m(0, 2), m(0, 3), m(1, 0), m(1, 1), m(1, 2), m(1, 3), m(2, 0), m(2, 1),
                   m(2, 2), m(2, 3));
    BRepBuilderAPI_Transform moved(body_->shape, trsf, Standard_True);
    if (!moved.IsDone()) return Acad::eGeneralModelingFailure;
    body_->shape = moved.Shape();
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbModelerEntity::subGetGeomExtents(AcDbExtents& extents) const {
  // The host answers the same status for a solid without data as for empty extents.
  if (isNull()) return Acad::eNullExtents;
  Bnd_Box box;
  try {
    // Exact geometry, not the faceting or the tolerance-padded box, as the host reports.
    BRepBndLib::AddOptimal(body_->shape, box, Standard_False, Standard_False);
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  if (box.IsVoid()) return Acad::eNullExtents;
  double x0, y0, z0, x1, y1, z1;
  box.Get(x0, y0, z0, x1, y1, z1);
  extents = AcDbExtents(AcGePoint3d(x0, y0, z0), AcGePoint3d(x1, y1, z1));
  return Acad::eOk;
}

bool AcDbModelerEntity::copyBodyTo(AcDbModelerEntity& other) const {
  copyPropertiesTo(other);
  try {
    other.body_->shape = deepCopy(body_->shape);
  } catch (const Standard_Failure&) {
    return false;
  }
  return true;
}

Acad::ErrorStatus AcDbModelerEntity::subExplode(AcDbVoidPtrArray& entitySet) const {
  if (int st = kv::fault::check(kv::fault::Call::explode, Acad::eNotApplicable)) return Acad::ErrorStatus(st);
  if (isNull()) return Acad::eNullExtents;

  std::vector<AcDbEntity*> pieces;
  Acad::ErrorStatus es = Acad::eOk;
  try {
    TopTools_IndexedMapOfShape faces = facesOf(body_->shape);
    // A solid always splits into faces; a one-face region or body has only its edges left.
    if (faces.Extent() == 1 && !AcDb3dSolid::cast(this)) {
      es = explodeFace(*this, TopoDS::Face(faces(1)), pieces);
    } else {
      for (int i = 1; i <= faces.Extent(); ++i) {
        const TopoDS_Face& face = TopoDS::Face(faces(i));
        if (BRepAdaptor_Surface(face, Standard_False).GetType() == GeomAbs_Plane)
          pieces.push_back(newPiece<AcDbRegion>(*this, face));
        else
          pieces.push_back(newPiece<AcDbBody>(*this, face));
      }
    }
  } catch (const Standard_Failure&) {
    es = Acad::eGeneralModelingFailure;
  }
  if (es == Acad::eOk && pieces.empty()) es = Acad::eNotApplicable;
  if (es != Acad::eOk) {
    for (AcDbEntity* piece : pieces) delete piece;
    return es;
  }
  for (AcDbEntity* piece : pieces) entitySet.append(piece);
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDb3dSolid::booleanOper(AcDb::BoolOperType operation, AcDb3dSolid* solid) {
  if (int st = kv::fault::check(kv::fault::Call::booleanOper, Acad::eGeneralModelingFailure)) return Acad::ErrorStatus(st);
  if (!solid || solid == this) return Acad::eInvalidInput;
  if (operation != AcDb::kBoolUnite && operation != AcDb::kBoolIntersect && operation != AcDb::kBoolSubtract)
    return Acad::eInvalidInput;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = solid->checkWrite()) return es;

  TopoDS_Shape& mine = kv::modeler::shapeOf(*this);
  TopoDS_Shape& theirs = kv::modeler::shapeOf(*solid);
  TopoDS_Shape result;
  if (mine.IsNull() || theirs.IsNull()) {
    // An empty operand is the empty set.
    if (operation == AcDb::kBoolUnite) result = mine.IsNull() ? theirs : mine;
    else if (operation == AcDb::kBoolSubtract) result = mine;
  } else {
    try {
      std::unique_ptr<BRepAlgoAPI_BooleanOperation> op;
      if (operation == AcDb::kBoolUnite) op = std::make_unique<BRepAlgoAPI_Fuse>(mine, theirs);
      else if (operation == AcDb::kBoolIntersect) op = std::make_unique<BRepAlgoAPI_Common>(mine, theirs);
      else op = std::make_unique<BRepAlgoAPI_Cut>(mine, theirs);
      if (!op->IsDone() || op->HasErrors()) return Acad::eGeneralModelingFailure;
      result = op->Shape();
      if (hasVolume(result)) {
        // The host merges faces that end up on one surface: two aligned boxes unite into one box.
        ShapeUpgrade_UnifySameDomain unify(result, Standard_True, Standard_True, Standard_False);
        unify.Build();
        result = unify.Shape();
      }
    } catch (const Standard_Failure&) {
      return Acad::eGeneralModelingFailure;
    }
  }
  mine = hasVolume(result) ? result : TopoDS_Shape();
  theirs.Nullify();
  return Acad::eOk;
}

AcRxObject* AcDb3dSolid::subClone() const {
  auto copy = std::make_unique<AcDb3dSolid>();
  return copyBodyTo(*copy) ? copy.release() : nullptr;
}

AcRxObject* AcDbBody::subClone() const {
  auto copy = std::make_unique<AcDbBody>();
  return copyBodyTo(*copy) ? copy.release() : nullptr;
}

AcRxObject* AcDbRegion::subClone() const {
  auto copy = std::make_unique<AcDbRegion>();
  return copyBodyTo(*copy) ? copy.release() : nullptr;
}
