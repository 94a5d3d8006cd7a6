// The B-spline arithmetic that the vocabulary's NURBS curves and surfaces share. Knot arrays
// are the vocabulary's own (order + cvCount - 2 values: the usual full vector without its first
// and last value). Spans are numbered as in the full vector: span s covers
// [knots[s - 1], knots[s]] and weighs control points s - degree to s.
#pragma once

#include <vector>

#include "opennurbs/on_geometry.h"

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
};

double binomial(int n, int k);

}  // namespace kv::nurbs
