// The host's primitive solids, centred at the origin as the host builds them.
#include <cmath>
#include <functional>

#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCone.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <gp_Ax2.hxx>

#include "modeler/occ_shape.h"

namespace {

// Sizes at or below the modeller's resolution give no solid.
Acad::ErrorStatus checkSize(double v) {
  if (!std::isfinite(v)) return Acad::eInvalidInput;
  return v > Precision::Confusion() ? Acad::eOk : Acad::eGeneralModelingFailure;
}

Acad::ErrorStatus checkSizes(std::initializer_list<double> sizes) {
  for (double v : sizes)
    if (Acad::ErrorStatus es = checkSize(v)) return es;
  return Acad::eOk;
}

// Builds first and replaces the solid's data only when the modeller succeeded.
Acad::ErrorStatus replace(AcDb3dSolid& solid, const std::function<TopoDS_Shape()>& build) {
  try {
    TopoDS_Shape shape = build();
    if (shape.IsNull()) return Acad::eGeneralModelingFailure;
    kv::modeler::shapeOf(solid) = shape;
  } catch (const Standard_Failure&) {
    return Acad::eGeneralModelingFailure;
  }
  return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus AcDb3dSolid::createBox(double xLen, double yLen, double zLen) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkSizes({xLen, yLen, zLen})) return es;
  return replace(*this, [&] {
    return BRepPrimAPI_MakeBox(gp_Pnt(-xLen / 2, -yLen / 2, -zLen / 2), xLen, yLen, zLen).Shape();
  });
}

Acad::ErrorStatus AcDb3dSolid::createSphere(double radius) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkSize(radius)) return es;
  return replace(*this, [&] { return BRepPrimAPI_MakeSphere(radius).Shape(); });
}

Acad::ErrorStatus AcDb3dSolid::createFrustum(double height, double xRadius, double yRadius, double topXRadius) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkSizes({height, xRadius, yRadius})) return es;
  if (!std::isfinite(topXRadius)) return Acad::eInvalidInput;
  if (topXRadius < 0) return Acad::eGeneralModelingFailure;
  // The modeller has no elliptical cone; the host's elliptical frustum waits for one.
  if (yRadius != xRadius) return Acad::eNotYetImplemented;
  gp_Ax2 axis(gp_Pnt(0, 0, -height / 2), gp::DZ());
  if (topXRadius == xRadius)
    return replace(*this, [&] { return BRepPrimAPI_MakeCylinder(axis, xRadius, height).Shape(); });
  double top = topXRadius <= Precision::Confusion() ? 0.0 : topXRadius;
  return replace(*this, [&] { return BRepPrimAPI_MakeCone(axis, xRadius, top, height).Shape(); });
}

Acad::ErrorStatus AcDb3dSolid::createTorus(double majorRadius, double minorRadius) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkSizes({majorRadius, minorRadius})) return es;
  // A self-touching torus has no clean boundary in the modeller.
  if (minorRadius >= majorRadius) return Acad::eGeneralModelingFailure;
  return replace(*this, [&] { return BRepPrimAPI_MakeTorus(majorRadius, minorRadius).Shape(); });
}

Acad::ErrorStatus AcDb3dSolid::createWedge(double xLen, double yLen, double zLen) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkSizes({xLen, yLen, zLen})) return es;
  return replace(*this, [&] {
    double x = xLen / 2, y = yLen / 2, z = zLen / 2;
    BRepBuilderAPI_MakePolygon section(gp_Pnt(-x, -y, -z), gp_Pnt(x, -y, -z), gp_Pnt(-x, -y, z), Standard_True);
    TopoDS_Face face = BRepBuilderAPI_MakeFace(section.Wire(), Standard_True).Face();
    return BRepPrimAPI_MakePrism(face, gp_Vec(0, yLen, 0)).Shape();
  });
}
