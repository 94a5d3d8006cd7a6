// Which of the four shape questions a curve answers with 1, for the shape tests.
#pragma once

#include <string>

#include "opennurbs/opennurbs.h"
#include "orvgeo/orvgeo.h"

// "LCAP" with a dot for each question answered 0: "L..P" for a line, ".CA." for a circle.
inline std::string shapesOf(const ON_Curve* curve) {
  ON_Line line;
  ON_Circle circle;
  ON_Arc arc;
  ON_Polyline polyline;
  std::string answers = "....";
  if (ORVCurve::IsLine(curve, line) == 1) answers[0] = 'L';
  if (ORVCurve::IsCircle(curve, circle) == 1) answers[1] = 'C';
  if (ORVCurve::IsArc(curve, arc) == 1) answers[2] = 'A';
  if (ORVCurve::IsPolyline(curve, polyline) == 1) answers[3] = 'P';
  return answers;
}
