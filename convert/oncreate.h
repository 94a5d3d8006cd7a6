// New drawing entities from values of the geometry vocabulary.
//
// Every creator makes its entity, fills it, gives it the layer ("" leaves the host's current
// layer; any other is found or made) and the colour, appends it to model space of the working
// database and closes it, whatever the append answered (an entity that never got into the
// drawing is released by its close). Creators and array forms answer 1 whatever the host
// answered; the one failure reported is a spline the host leaves null, with "Enable to create
// Spline" in ConvertErrorText. Array forms visit the elements from index 0 on and go on past
// any failure.
#pragma once

#include "host/acdb.h"
#include "host/curves.h"
#include "opennurbs/opennurbs.h"
#include "win/winapi.h"

BOOL AddPointFromOnPoint(const ON_3dPoint& point, const CString& layer, const AcCmColor& color);
BOOL AddLineFromOnLine(const ON_Line& line, const CString& layer, const AcCmColor& color);
BOOL AddLineFromOnPoints(const ON_3dPoint& from, const ON_3dPoint& to, const CString& layer, const AcCmColor& color);
BOOL AddCircleFromOnCircle(const ON_Circle& circle, const CString& layer, const AcCmColor& color);
// A circle when the arc spans a whole turn.
BOOL AddArcFromOnArc(const ON_Arc& arc, const CString& layer, const AcCmColor& color);
// A polyline of no point, or one the host refused a vertex, is released instead of added.
BOOL Add3dPolylineFromOnPolyline(const ON_Polyline& polyline, const CString& layer, const AcCmColor& color);
// A cubic through every point in order, fit tolerance 0; released instead of added when the
// host cannot fit the points (fewer than two, or two equal neighbours).
BOOL AddSplineFromFitPoints(const ON_SimpleArray<ON_3dPoint>& points, const CString& layer, const AcCmColor& color);
// One point per topology vertex; one line per topology edge (an edge two faces share is one).
BOOL AddVertexPointsFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color);
BOOL AddEdgeLinesFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color);
// The first of line, circle, arc and 3D polyline whose shape the curve has; else a spline from
// its NURBS form (a curve of another class is never read as a NURBS curve). 0, with nothing
// added and "Enable to create Spline" in ConvertErrorText, when the host refuses the spline,
// or the curve is null or has no NURBS form.
BOOL AddEntityFromOnCurve(const ON_Curve* curve, const CString& layer, const AcCmColor& color);

BOOL AddPointsFromOnPoints(const ON_SimpleArray<ON_3dPoint>& points, const CString& layer, const AcCmColor& color);
BOOL AddLinesFromOnLines(const ON_SimpleArray<ON_Line>& lines, const CString& layer, const AcCmColor& color);
BOOL AddCirclesFromOnCircles(const ON_SimpleArray<ON_Circle>& circles, const CString& layer, const AcCmColor& color);
BOOL AddArcsFromOnArcs(const ON_SimpleArray<ON_Arc>& arcs, const CString& layer, const AcCmColor& color);
BOOL Add3dPolylinesFromOnPolylines(const ON_ClassArray<ON_Polyline>& polylines, const CString& layer,
                                   const AcCmColor& color);
BOOL AddEntitiesFromOnCurves(const ON_ClassArray<ON_NurbsCurve>& curves, const CString& layer, const AcCmColor& color);
BOOL AddVertexPointsFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color);
BOOL AddEdgeLinesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color);

// Fills an existing spline (open for write) with the curve: knots with the first and the last
// repeated once more, Euclidean control points, weights (1 each when not rational). 1 when
// the spline holds the curve; 0 with "Enable to create Spline" when the host refused the data
// (the spline keeps what it held) or left it null.
// The spline is neither added nor closed.
BOOL SetSplineFromNurbsCurve(const ON_NurbsCurve& curve, AcDbSpline* spline);
