// The B-spline arithmetic that the vocabulary's NURBS curves and surfaces share. Knot arrays
// are the vocabulary's own (order + cvCount - 2 values: the usual full vector without its first
// and last value). Spans are numbered as in the full vector: span s covers
// [knots[s - 1], knots[s]] and weighs control points s - degree to s.
#pragma once

#include <vector>

#include "opennurbs/on_geometry.h"

class ON_NurbsCurve;

namespace kv::nurbs {

inline int knotCount(int order, int cvCount) { return order + cvCount - 2; }

// Finite, non-decreasing, no value more than degree times, and a domain of some length.
bool knotsValid(const std::vector<double>& knots, int order, int cvCount);

// How many knots equal the value.
int multiplicity(const std::vector<double>& knots, double value);

// The span holding t: the one above a knot, or below it when side < 0; at the domain's ends
// the span inside. -1 when t lies outside the domain's closure or the knots around the span
// are out of order.
int findSpan(const std::vector<double>& knots, int order, int cvCount, double t, int side);

// ders[k * order + j]: the k-th derivative at t of basis function s - degree + j of span s,
// for k = 0 to derCount (zero above the degree).
void basisDerivatives(const std::vector<double>& knots, int order, int span, double t, int derCount,
                      std::vector<double>& ders);

// The rational quotient rule: from the homogeneous derivatives h[0..derCount] to the point and
// its derivatives, three values each, into v.
void rationalQuotient(const std::vector<ON_4dPoint>& h, int derCount, double* v);

// Knots and homogeneous control points of one direction, with the single-knot insertion
// (Boehm) that trims, clamps and splits into Bezier spans all rest on.
struct Strip {
  int order = 0;
  std::vector<double> knots;
  std::vector<ON_4dPoint> cv;

  int cvCount() const { return int(cv.size()); }
  // Inserts the value once; it lies inside the domain's closure and is held fewer than
  // degree times (asserted).
  void insertOnce(double value);
  // Raises the value's multiplicity to at least m (at most the degree).
  void raiseMultiplicity(double value, int m);
  // Keeps the part over [t0, t1], both held degree times: clamped there.
  void keep(double t0, double t1);
  // Raises the degree of a clamped strip, span by span as Bezier curves: every inner knot
  // ends up held the new degree times.
  void elevate(int degree);
};

// A curve's knots and homogeneous points, and back (the rational flag as given).
Strip stripOf(const ON_NurbsCurve& curve);
void assign(ON_NurbsCurve& curve, const Strip& strip, bool rational);

double binomial(int n, int k);

// Control points mapped as homogeneous points (a projective map changes weights). False, and
// the points untouched, when a result is not finite or its weight not positive. A plain set of
// points stays plain when every weight comes out alike (those are divided out).
bool transformHomogeneous(std::vector<ON_4dPoint>& cv, bool& rational, const ON_Xform& xform);

}  // namespace kv::nurbs
