// Point objects, NURBS surfaces, block definitions and references, texts and object
// attributes of the vocabulary. Objects handed over by pointer (arrays of ON_Object*) are
// deleted by whoever holds the array, through the virtual destructor.
#pragma once

#include <string>
#include <vector>

#include "opennurbs/on_geometry.h"

class KV_PLATFORM_API ON_Point : public ON_Geometry {
public:
  ON_Point() = default;
  explicit ON_Point(const ON_3dPoint& p) : point(p) {}
  bool IsValid(ON_TextLog* = nullptr) const override { return point.IsValid(); }
  bool Transform(const ON_Xform& xform) override;

  ON_3dPoint point;
};

// A tensor-product NURBS surface; direction 0 is u, 1 is v. Knot counts and domains follow
// the curve's conventions (on_curve.h) in each direction. Control point (i, j) is the i-th
// along u and the j-th along v.
class KV_PLATFORM_API ON_NurbsSurface : public ON_Geometry {
public:
  ON_NurbsSurface() = default;
  // Knots and control points zero, weights 1. False for a dimension other than 3, an order
  // below 2 or fewer control points than the order in either direction.
  bool Create(int dimension, bool isRational, int orderU, int orderV, int cvCountU, int cvCountV);

  bool IsValid(ON_TextLog* log = nullptr) const override;
  // Control points map as homogeneous points; false, and unchanged, where a weight would
  // not stay positive.
  bool Transform(const ON_Xform& xform) override;

  int Order(int dir) const { return order_[dir != 0]; }
  int Degree(int dir) const { return order_[dir != 0] - 1; }
  int CVCount(int dir) const { return cvCount_[dir != 0]; }
  int KnotCount(int dir) const;
  bool IsRational() const { return rational_; }
  double Knot(int dir, int i) const;
  bool SetKnot(int dir, int i, double value);
  ON_Interval Domain(int dir) const;
  bool GetCV(int i, int j, ON_3dPoint& point) const;  // weight divided out
  bool GetCV(int i, int j, ON_4dPoint& point) const;
  bool SetCV(int i, int j, const ON_3dPoint& point);  // keeps the weight
  bool SetCV(int i, int j, const ON_4dPoint& point);
  double Weight(int i, int j) const;
  bool SetWeight(int i, int j, double weight);

  // The point and its partial derivatives at (s, t) into v, 3 values each, in the order
  // S, Ds, Dt, Dss, Dst, Dtt, ... up to total order derCount. At an inner knot the span above
  // it counts, at the domain's end the last span. False outside the domain.
  bool Evaluate(double s, double t, int derCount, double* v) const;
  ON_3dPoint PointAt(double s, double t) const;  // unset (all NaN) outside the domain

private:
  int index(int i, int j) const { return i * cvCount_[1] + j; }

  int order_[2] = {0, 0}, cvCount_[2] = {0, 0};
  bool rational_ = false;
  std::vector<double> knots_[2];
  std::vector<ON_4dPoint> cv_;  // homogeneous, u-major
};

class KV_PLATFORM_API ON_InstanceDefinition : public ON_Geometry {
public:
  bool IsValid(ON_TextLog* = nullptr) const override { return !name_.empty(); }
  bool Transform(const ON_Xform&) override { return true; }
  const wchar_t* Name() const { return name_.c_str(); }
  void SetName(const wchar_t* name) { name_ = name ? name : L""; }
  ON_UUID Uuid() const { return id_; }
  void SetUuid(const ON_UUID& id) { id_ = id; }

private:
  std::wstring name_;
  ON_UUID id_;
};

// A placed block: the definition it names, and where (m_xform maps definition to world).
class KV_PLATFORM_API ON_InstanceRef : public ON_Geometry {
public:
  bool IsValid(ON_TextLog* = nullptr) const override { return m_instance_definition_uuid != ON_nil_uuid; }
  bool Transform(const ON_Xform& xform) override;

  ON_UUID m_instance_definition_uuid;
  ON_Xform m_xform;
};

class KV_PLATFORM_API ON_TextEntity2 : public ON_Geometry {
public:
  bool IsValid(ON_TextLog* = nullptr) const override { return true; }
  bool Transform(const ON_Xform&) override { return true; }
  const wchar_t* TextValue() const { return text_.c_str(); }
  void SetTextValue(const wchar_t* text) { text_ = text ? text : L""; }

private:
  std::wstring text_;
};

struct ON {
  enum object_color_source : int {
    color_from_layer = 0,
    color_from_object = 1,
    color_from_material = 2,
    color_from_parent = 3,
  };
};

class KV_PLATFORM_API ON_3dmObjectAttributes : public ON_Object {
public:
  bool IsValid(ON_TextLog* = nullptr) const override { return true; }
  // Held as given: a value outside the four is kept and read back as it was.
  ON::object_color_source ColorSource() const { return colorSource_; }
  void SetColorSource(ON::object_color_source source) { colorSource_ = source; }

  ON_Color m_color;

private:
  ON::object_color_source colorSource_ = ON::color_from_layer;
};
