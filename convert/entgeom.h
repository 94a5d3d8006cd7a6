// Values and curves between the host's entities and the geometry vocabulary.
//
// Points, vectors and matrices are copied element for element, bit for bit: nothing is
// normalised, tested or transposed (both matrix forms are row-major with the translation in
// column 3). Entities are the caller's, open for read when they are the source and for write
// when they are filled; nothing here opens, closes or erases them (polyline vertices are
// opened and closed inside). A conversion into the vocabulary replaces whatever the caller's
// object held, except PolyCurveFromPolyline, which appends. None reports a failure: each
// answers 1, as no caller tests it.
#pragma once

#include "host/acdb.h"
#include "host/curves.h"
#include "host/entities.h"
#include "host/polylines.h"
#include "host/annotations.h"
#include "modeler/solids.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

AcGePoint3d GePointFromOnPoint(const ON_3dPoint& point);
AcGeVector3d GeVectorFromOnVector(const ON_3dVector& vector);
AcGeMatrix3d GeMatrixFromXform(const ON_Xform& xform);
// Layer for colour from layer or material; the object colour's red, green and blue (alpha
// dropped) for colour from object; the host's default colour for any other source.
AcCmColor ColorFromAttributes(const ON_3dmObjectAttributes& attributes);
ON_3dPoint OnPointFromGePoint(const AcGePoint3d& point);
ON_3dVector OnVectorFromGeVector(const AcGeVector3d& vector);
ON_Xform XformFromGeMatrix(const AcGeMatrix3d& matrix);

BOOL PointObjectFromPoint(AcDbPoint* point, ON_Point& object);
BOOL LineCurveFromLine(AcDbLine* line, ON_LineCurve& curve);
// A segment of length 1 from the base point along the direction.
BOOL LineCurveFromRay(AcDbRay* ray, ON_LineCurve& curve);
// A segment of length 2 from one unit ahead of the base point to one unit behind it.
BOOL LineCurveFromXline(AcDbXline* xline, ON_LineCurve& curve);
// A whole circle; its plane's x axis is the host's reference direction for the normal.
BOOL ArcCurveFromCircle(AcDbCircle* circle, ON_ArcCurve& curve);
// Only the arc's own part of its circle, from its start point to its end point.
BOOL ArcCurveFromArc(AcDbArc* arc, ON_ArcCurve& curve);
// The whole rational form of a closed ellipse; of an elliptical arc, only its part, from its
// start point to its end point.
BOOL NurbsCurveFromEllipse(AcDbEllipse* ellipse, ON_NurbsCurve& curve);
// The spline's knots without their first and last value; weights when rational. Knots beyond
// what the curve holds are not copied, and a spline the vocabulary cannot hold (null, fewer
// control points than its order) leaves the curve as the vocabulary leaves it.
BOOL NurbsCurveFromSpline(AcDbSpline* spline, ON_NurbsCurve& curve);
// The same from NURBS data as AcDbSpline::getNurbsData gives it, whatever its counts: knots
// 1 to n - 2 of the n given go to the curve's knots 0 to n - 3 as far as the curve has them,
// the rest keep their clamped uniform values; weights are read only when rational, as far as
// both lists go. A degree below 1 or not below the control-point count leaves the curve empty.
BOOL NurbsCurveFromSplineData(int degree, bool rational, const AcGePoint3dArray& controlPoints,
                              const AcGeDoubleArray& knots, const AcGeDoubleArray& weights, ON_NurbsCurve& curve);
// One point per vertex, bulges ignored; a closed polyline repeats its first point at the end.
// A vertex that cannot be opened is skipped.
BOOL PolylineCurveFromPolyline(AcDbPolyline* polyline, ON_PolylineCurve& curve);
// The vertices' x and y at the polyline's elevation, untransformed.
BOOL PolylineCurveFrom2dPolyline(AcDb2dPolyline* polyline, ON_PolylineCurve& curve);
BOOL PolylineCurveFrom3dPolyline(AcDb3dPolyline* polyline, ON_PolylineCurve& curve);
// Appends one line or arc curve per line or arc segment, in order; nothing for the others.
BOOL PolyCurveFromPolyline(AcDbPolyline* polyline, ON_PolyCurve& curve);

BOOL SetPointFromPointObject(const ON_Point& object, AcDbPoint* point);
BOOL SetLineFromOnLine(const ON_Line& line, AcDbLine* entity);
BOOL SetCircleFromOnCircle(const ON_Circle& circle, AcDbCircle* entity);
// Start angle measured about the normal from its arbitrary-axis reference direction; end
// angle = start + the arc's sweep.
BOOL SetArcFromOnArc(const ON_Arc& arc, AcDbArc* entity);
// Appends one vertex per point; a polyline whose last point equals its first (exactly)
// leaves that point out and closes the 3D polyline.
BOOL Set3dPolylineFromOnPolyline(const ON_Polyline& polyline, AcDb3dPolyline* entity);

// Drawing entities into objects of the vocabulary, appended to objects (what it holds stays in
// front); the caller owns and deletes every object appended. Classes are matched by their exact
// run-time name, in a fixed order: a class derived from a listed one matches none. 0 with
// nothing appended for an unlisted class or a failed conversion. Block references name the
// first definition of definitions whose name equals the block's.
BOOL OpenNurbsObjectFromEntity(AcDbEntity* entity, ON_SimpleArray<ON_Object*>& objects,
                               const ON_ClassArray<ON_InstanceDefinition>& definitions);
// The exploded pieces, each exported as above (regions and bodies explode again; block
// references among them are not exported); pieces that do not convert are skipped.
BOOL OpenNurbsObjectsFrom3dSolid(AcDb3dSolid* solid, ON_SimpleArray<ON_Object*>& objects);
BOOL OpenNurbsObjectsFromBody(AcDbBody* body, ON_SimpleArray<ON_Object*>& objects);
BOOL OpenNurbsObjectsFromRegion(AcDbRegion* region, ON_SimpleArray<ON_Object*>& objects);
// The lines of the exploded hatch or multiline, appended to lines; pieces that are not lines
// are skipped. A multiline that will not explode sets "Unable to explode MLINE object".
BOOL LineCurvesFromHatch(AcDbHatch* hatch, ON_ClassArray<ON_LineCurve>& lines);
BOOL LineCurvesFromMline(AcDbMline* mline, ON_ClassArray<ON_LineCurve>& lines);
// A triangle over corners 0, 1, 2 when corners 2 and 3 coincide, else a quadrilateral over
// 0, 1, 3, 2.
BOOL NurbsSurfaceFrom2dSolid(AcDbSolid* solid, ON_NurbsSurface& surface);
// The block transform, and the id of the first definition named as the block; 0 when the
// block's name cannot be read or no definition has it (the transform is then set already).
BOOL InstanceRefFromBlockReference(AcDbBlockReference* reference, ON_InstanceRef& instance,
                                   const ON_ClassArray<ON_InstanceDefinition>& definitions);
