// Curves of the vocabulary. Every curve is three-dimensional and parametrised over its
// Domain(); a curve of another class never passes for a NURBS curve, so callers test the class
// with dynamic_cast before reading one as another.
//
// NURBS conventions: order = degree + 1; KnotCount() = order + CVCount() - 2 (the first and
// the last knot of the usual full vector are left out); the domain is [Knot(order - 2),
// Knot(CVCount() - 1)]. A rational curve stores homogeneous control points (x w, y w, z w, w);
// GetCV with an ON_3dPoint divides the weight out.
#pragma once

#include <vector>

#include "opennurbs/on_geometry.h"

class ON_NurbsCurve;

class KV_PLATFORM_API ON_Curve : public ON_Geometry {
public:
  virtual ON_Curve* Duplicate() const = 0;  // a new copy the caller deletes
  virtual ON_Interval Domain() const = 0;
  // Rescales the parameter to [t0, t1] (t0 < t1); the curve's shape and ends stay.
  virtual bool SetDomain(double t0, double t1) = 0;
  // The point and derCount derivatives at t into v: (derCount + 1) * 3 values. At a joint the
  // side below 0 takes the span below t, else the span above. False outside the domain's
  // closure or when the curve cannot be evaluated (v then undefined).
  virtual bool Evaluate(double t, int derCount, double* v, int side = 0) const = 0;
  // The NURBS form over the whole domain; 0 when there is none (nurbs untouched). 1 when the
  // form has the curve's parameter everywhere, 2 when it is the same curve whose parameter
  // agrees only at its span ends (arcs: a rational form cannot run with the angle).
  virtual int GetNurbForm(ON_NurbsCurve& nurbs) const = 0;
  // Keeps the part over the sub-interval (increasing, inside the domain); false and unchanged
  // otherwise.
  virtual bool Trim(const ON_Interval& interval) = 0;
  // Moves one end; false, and unchanged, where the curve cannot (a whole circle).
  virtual bool SetStartPoint(const ON_3dPoint& p) = 0;
  virtual bool SetEndPoint(const ON_3dPoint& p) = 0;

  int Dimension() const { return 3; }
  ON_3dPoint PointAt(double t) const;  // unset (all NaN) where Evaluate fails
  ON_3dVector DerivativeAt(double t) const;
  ON_3dVector TangentAt(double t) const;  // unit, or zero where the derivative vanishes
  ON_3dPoint PointAtStart() const { return PointAt(Domain()[0]); }
  ON_3dPoint PointAtEnd() const { return PointAt(Domain()[1]); }
  // Start and end coincide exactly, and the curve is not a single point.
  virtual bool IsClosed() const;
};

class KV_PLATFORM_API ON_LineCurve : public ON_Curve {
public:
  ON_LineCurve() : m_t(0, 1) {}
  explicit ON_LineCurve(const ON_Line& line) : m_line(line), m_t(0, line.Length()) {}
  ON_LineCurve(const ON_3dPoint& from, const ON_3dPoint& to) : ON_LineCurve(ON_Line(from, to)) {}

  bool IsValid(ON_TextLog* log = nullptr) const override;
  bool Transform(const ON_Xform& xform) override;
  ON_Curve* Duplicate() const override { return new ON_LineCurve(*this); }
  ON_Interval Domain() const override { return m_t; }
  bool SetDomain(double t0, double t1) override;
  bool Evaluate(double t, int derCount, double* v, int side = 0) const override;
  int GetNurbForm(ON_NurbsCurve& nurbs) const override;
  bool Trim(const ON_Interval& interval) override;
  bool SetStartPoint(const ON_3dPoint& p) override;
  bool SetEndPoint(const ON_3dPoint& p) override;

  ON_Line m_line;
  ON_Interval m_t;  // the parameter at from, at to
};

class KV_PLATFORM_API ON_ArcCurve : public ON_Curve {
public:
  ON_ArcCurve() { m_t = m_arc.DomainRadians(); }
  explicit ON_ArcCurve(const ON_Arc& arc) : m_arc(arc), m_t(arc.DomainRadians()) {}
  explicit ON_ArcCurve(const ON_Circle& circle) : ON_ArcCurve(ON_Arc(circle, 2 * ON_PI)) {}

  bool IsValid(ON_TextLog* log = nullptr) const override;
  bool Transform(const ON_Xform& xform) override;
  ON_Curve* Duplicate() const override { return new ON_ArcCurve(*this); }
  ON_Interval Domain() const override { return m_t; }
  bool SetDomain(double t0, double t1) override;
  bool Evaluate(double t, int derCount, double* v, int side = 0) const override;
  int GetNurbForm(ON_NurbsCurve& nurbs) const override;
  bool Trim(const ON_Interval& interval) override;
  // Keep the arc's circle: the end moves to the circle point nearest p's direction. Refused
  // on a whole circle, for p on the axis, and where the end would fall on the other end
  // (within the zero tolerance of the angle). The domain stays.
  bool SetStartPoint(const ON_3dPoint& p) override;
  bool SetEndPoint(const ON_3dPoint& p) override;
  bool IsCircle() const { return m_arc.IsCircle(); }
  // A whole circle is closed, though its end point is a rounding away from its start.
  bool IsClosed() const override { return IsValid() && IsCircle(); }

  ON_Arc m_arc;
  ON_Interval m_t;  // the parameter at the arc's start angle, at its end angle
};

class KV_PLATFORM_API ON_NurbsCurve : public ON_Curve {
public:
  ON_NurbsCurve() = default;
  // Room for the given sizes, knots and control points zero, weights 1. False for a dimension
  // other than 3, an order below 2 or fewer control points than the order.
  bool Create(int dimension, bool isRational, int order, int cvCount);
  // Clamped: the first and last knots repeat order - 1 times, the inner ones step by
  // knotDelta from 0. False as for Create, or for a knotDelta that is not positive.
  bool CreateClampedUniformNurbs(int dimension, int order, int pointCount, const ON_3dPoint* points,
                                 double knotDelta = 1.0);

  bool IsValid(ON_TextLog* log = nullptr) const override;
  // Control points map as homogeneous points, so a projective map is exact (the curve turns
  // rational); false, and unchanged, where a weight would not stay positive.
  bool Transform(const ON_Xform& xform) override;
  ON_Curve* Duplicate() const override { return new ON_NurbsCurve(*this); }
  ON_Interval Domain() const override;
  bool SetDomain(double t0, double t1) override;
  bool Evaluate(double t, int derCount, double* v, int side = 0) const override;
  int GetNurbForm(ON_NurbsCurve& nurbs) const override;
  // Exact: knots are inserted at the ends of the interval until it is clamped there.
  bool Trim(const ON_Interval& interval) override;
  // Moves the end control point, clamping an unclamped curve first (the rest stays).
  bool SetStartPoint(const ON_3dPoint& p) override;
  bool SetEndPoint(const ON_3dPoint& p) override;

  int Order() const { return order_; }
  int Degree() const { return order_ - 1; }
  int CVCount() const { return cvCount_; }
  int KnotCount() const { return order_ > 1 ? order_ + cvCount_ - 2 : 0; }
  bool IsRational() const { return rational_; }
  // Index checks are asserts: the callers hold the counts.
  double Knot(int i) const;
  bool SetKnot(int i, double value);
  const double* Knots() const { return knots_.data(); }
  // The Euclidean point (weight divided out), or the homogeneous one.
  bool GetCV(int i, ON_3dPoint& point) const;
  bool GetCV(int i, ON_4dPoint& point) const;
  // Sets the Euclidean point, keeping the weight (a rational curve's stored point is p w).
  bool SetCV(int i, const ON_3dPoint& point);
  bool SetCV(int i, const ON_4dPoint& point);  // homogeneous; makes the curve rational when w != 1
  double Weight(int i) const;  // 1 for a non-rational curve
  // Keeps the Euclidean point and sets its weight (positive); makes the curve rational.
  bool SetWeight(int i, double weight);
  bool MakeRational();
  // Only when every weight is equal; the curve stays the same.
  bool MakeNonRational();
  // Clamped at both ends (each end knot repeated degree times).
  bool IsClamped() const;
  // Periodic: unclamped, with the last degree control points repeating the first and the
  // knot steps at the ends alike.
  bool IsPeriodic() const;
  // Periodic, clamped with the first and last control points equal (and not all equal), or
  // as ON_Curve says.
  bool IsClosed() const override;
  // Raises the knot's multiplicity to the given one (a knot held that often already is left
  // alone) without changing the curve; false for a knot outside the domain's closure or a
  // multiplicity below 1 or above the degree.
  bool InsertKnot(double knot, int multiplicity);

private:
  int span(double t, int side) const;  // the knot span holding t

  int order_ = 0, cvCount_ = 0;
  bool rational_ = false;
  std::vector<double> knots_;
  std::vector<ON_4dPoint> cv_;  // homogeneous; w = 1 when non-rational
};

class KV_PLATFORM_API ON_PolylineCurve : public ON_Curve {
public:
  ON_PolylineCurve() = default;
  // Parameters 0, 1, 2, ... at the points.
  explicit ON_PolylineCurve(const ON_3dPointArray& points);

  bool IsValid(ON_TextLog* log = nullptr) const override;  // two points or more, increasing m_t
  bool Transform(const ON_Xform& xform) override;
  ON_Curve* Duplicate() const override { return new ON_PolylineCurve(*this); }
  ON_Interval Domain() const override;
  bool SetDomain(double t0, double t1) override;
  bool Evaluate(double t, int derCount, double* v, int side = 0) const override;
  int GetNurbForm(ON_NurbsCurve& nurbs) const override;  // degree 1, knots m_t
  bool Trim(const ON_Interval& interval) override;
  bool SetStartPoint(const ON_3dPoint& p) override;
  bool SetEndPoint(const ON_3dPoint& p) override;
  int PointCount() const { return m_pline.Count(); }

  ON_Polyline m_pline;
  ON_SimpleArray<double> m_t;  // the parameter at each point
};

// Segments joined end to end; the polycurve owns them. Segment i runs over [m_t[i], m_t[i+1]],
// mapped affinely onto the segment's own domain; Append makes the two of one length, and
// SetDomain rescales m_t alone.
class KV_PLATFORM_API ON_PolyCurve : public ON_Curve {
public:
  ON_PolyCurve() = default;
  ON_PolyCurve(const ON_PolyCurve& other);  // copies every segment
  ON_PolyCurve& operator=(const ON_PolyCurve& other);
  ~ON_PolyCurve() override;

  // Takes ownership of the segment and puts it last; false (and not taken) for null, the
  // polycurve itself, a segment it holds already, or a segment of an empty domain.
  bool Append(ON_Curve* segment);
  int Count() const { return int(segments_.size()); }
  ON_Curve* SegmentCurve(int i) const;  // null outside 0 to Count() - 1
  ON_Curve* operator[](int i) const { return SegmentCurve(i); }
  void Destroy();  // deletes every segment

  bool IsValid(ON_TextLog* log = nullptr) const override;  // one segment or more, each valid
  bool Transform(const ON_Xform& xform) override;
  ON_Curve* Duplicate() const override { return new ON_PolyCurve(*this); }
  ON_Interval Domain() const override;
  bool SetDomain(double t0, double t1) override;
  bool Evaluate(double t, int derCount, double* v, int side = 0) const override;
  // The segments' forms joined, each raised to the highest degree span by span, so every
  // joint is a knot held degree times. The segments are taken to meet: at a joint the form
  // passes through the end of the segment before. 0 when a segment has no form; else the
  // highest answer of the segments' (see ON_Curve).
  int GetNurbForm(ON_NurbsCurve& nurbs) const override;
  // Keeps the segments the interval touches, the first and last of them trimmed.
  bool Trim(const ON_Interval& interval) override;
  // Moves the first segment's start, or the last one's end.
  bool SetStartPoint(const ON_3dPoint& p) override;
  bool SetEndPoint(const ON_3dPoint& p) override;

  ON_SimpleArray<double> m_t;

private:
  std::vector<ON_Curve*> segments_;
};
