// The host's annotation entities: single-line texts, hatches, multilines and block references.
//
// Each keeps what the host keeps, in the host's coordinates: a text's points and a block
// reference's position are in world coordinates; a hatch's boundary lies in the plane of its
// normal, in that plane's object coordinate system (the arbitrary-axis rule of DXF), at its
// elevation; a multiline's vertices are in world coordinates. Setters answer eNotOpenForWrite
// on an entity that is not open for write.
//
// Explode, as the host does it: a hatch gives the lines of its pattern inside its boundary, a
// multiline the lines of its elements, a block reference copies of its block's entities in
// place; a text and a solid-filled hatch do not explode (eNotApplicable).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/acdb.h"
#include "host/acgecurve2d.h"

namespace kv {
// The platform's way to the data of these entities as a file holds them (host/annotation_access.h).
struct AnnotationAccess;
}  // namespace kv

namespace AcDb {
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
}  // namespace AcDb

namespace Mline {
enum MlineJustification { kTop = 0, kZero = 1, kBottom = 2 };
}  // namespace Mline

// ---------------------------------------------------------------------------------------------

// One line of text. Angles in radians: the rotation about the normal from the plane's x axis,
// the oblique angle from the vertical. Text styles are not modelled: the style id the host's
// constructor takes is accepted and left alone.
class KV_PLATFORM_API AcDbText : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbText)
  struct Data {
    AcGePoint3d position, alignment;
    double height = 0, rotation = 0, widthFactor = 1, oblique = 0, thickness = 0;
    std::string text;
    AcDb::TextHorzMode horizontal = AcDb::kTextLeft;
    AcDb::TextVertMode vertical = AcDb::kTextBase;
    AcGeVector3d normal = AcGeVector3d::kZAxis;
  };

  AcDbText() = default;
  AcDbText(const AcGePoint3d& position, const char* text, AcDbObjectId style = AcDbObjectId::kNull,
           double height = 0, double rotation = 0);

  AcGePoint3d position() const { return d_.position; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p);
  // The second point of a justified text; left alone by a text at the default (left, baseline).
  AcGePoint3d alignmentPoint() const { return d_.alignment; }
  Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d& p);
  bool isDefaultAlignment() const;
  double height() const { return d_.height; }
  Acad::ErrorStatus setHeight(double height);  // eInvalidInput unless positive
  double rotation() const { return d_.rotation; }
  Acad::ErrorStatus setRotation(double angle);
  double widthFactor() const { return d_.widthFactor; }
  Acad::ErrorStatus setWidthFactor(double factor);  // eInvalidInput unless positive
  double oblique() const { return d_.oblique; }
  // eInvalidInput beyond 85 degrees either way, the host's limit.
  Acad::ErrorStatus setOblique(double angle);
  const char* textStringConst() const { return d_.text.c_str(); }
  // A copy the caller frees with delete[].
  char* textString() const;
  Acad::ErrorStatus setTextString(const char* text);
  AcDb::TextHorzMode horizontalMode() const { return d_.horizontal; }
  Acad::ErrorStatus setHorizontalMode(AcDb::TextHorzMode mode);
  AcDb::TextVertMode verticalMode() const { return d_.vertical; }
  Acad::ErrorStatus setVerticalMode(AcDb::TextVertMode mode);
  AcGeVector3d normal() const { return d_.normal; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidNormal for a zero vector
  double thickness() const { return d_.thickness; }
  Acad::ErrorStatus setThickness(double thickness);

protected:
  // Moves, turns and scales uniformly; eCannotScaleNonUniformly otherwise.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  // Without fonts, each character counts as a square of the height widened by the width
  // factor, from the position along the text's direction.
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  friend struct kv::AnnotationAccess;
  Data d_;
};

// ---------------------------------------------------------------------------------------------

// A hatch: closed loops in the plane of its normal at its elevation, filled solid or with a
// pattern of line families.
//
// A pattern is held as its definition lines, already turned by the pattern angle and scaled
// by the pattern scale (as getPatternDefinitionAt and a file give them). A user-defined pattern
// is made from the angle, the spacing and the double flag; a predefined or custom one takes its
// lines from the host's pattern files, which the stand-in does not have: it keeps the lines it
// holds (those a file gave). setPattern(kPreDefined, "SOLID") makes a solid fill.
class KV_PLATFORM_API AcDbHatch : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbHatch)
  enum HatchLoopType {
    kDefault = 0, kExternal = 1, kPolyline = 2, kDerived = 4, kTextbox = 8, kOutermost = 0x10,
    kNotClosed = 0x20, kSelfIntersecting = 0x40, kTextIsland = 0x80, kDuplicate = 0x100
  };
  enum HatchEdgeType { kLine = 1, kCirArc = 2, kEllArc = 3, kSpline = 4 };
  enum HatchPatternType { kUserDefined = 0, kPreDefined = 1, kCustomDefined = 2 };
  enum HatchStyle { kNormal = 0, kOuter = 1, kIgnore = 2 };

  // A loop: a polyline (vertices with bulges, loop type with kPolyline) or edges. Handles of the
  // objects the loop was made from, for an associative hatch, as the file names them.
  struct Loop {
    Adesk::Int32 type = kDefault;
    AcGePoint2dArray vertices;
    AcGeDoubleArray bulges;  // one per vertex: tan(included angle / 4), counter-clockwise positive
    bool closed = true;
    std::vector<std::unique_ptr<AcGeCurve2d>> edges;
    std::vector<int> edgeTypes;  // HatchEdgeType of each edge
    std::vector<std::uint64_t> sourceHandles;
    bool isPolyline() const { return (type & kPolyline) != 0; }
  };
  // One line family: lines at angle (radians) through base + k offset for every integer k, each
  // drawn with dashes (positive lengths), gaps (negative) and dots (0) from its own start point
  // base + k offset; no dashes: continuous.
  struct PatternLine {
    double angle = 0;
    AcGePoint2d base;
    AcGeVector2d offset;
    std::vector<double> dashes;
  };
  struct Data {
    double elevation = 0;
    AcGeVector3d normal = AcGeVector3d::kZAxis;
    HatchPatternType patternType = kPreDefined;
    std::string patternName;
    double patternAngle = 0, patternScale = 1, patternSpace = 1;
    bool patternDouble = false, solidFill = false, associative = false;
    HatchStyle style = kNormal;
    std::vector<Loop> loops;
    std::vector<PatternLine> lines;
  };

  AcDbHatch() = default;

  double elevation() const { return d_.elevation; }
  Acad::ErrorStatus setElevation(double elevation);
  AcGeVector3d normal() const { return d_.normal; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidNormal for a zero vector
  bool associative() const { return d_.associative; }
  Acad::ErrorStatus setAssociative(bool on);
  HatchStyle hatchStyle() const { return d_.style; }
  Acad::ErrorStatus setHatchStyle(HatchStyle style);

  int numLoops() const { return int(d_.loops.size()); }
  // 0 for an index outside the loops.
  Adesk::Int32 loopTypeAt(int index) const;
  // Edges of an edge loop: pointers into the hatch (not to be deleted), with their types.
  // eInvalidIndex outside the loops; eNotApplicable for a polyline loop.
  Acad::ErrorStatus getLoopAt(int index, Adesk::Int32& loopType, AcGeVoidPointerArray& edgePtrs,
                              AcGeIntArray& edgeTypes) const;
  // Vertices and bulges of a polyline loop; eInvalidIndex, or eNotApplicable for an edge loop.
  Acad::ErrorStatus getLoopAt(int index, Adesk::Int32& loopType, AcGePoint2dArray& vertices,
                              AcGeDoubleArray& bulges) const;
  // Copies the caller's edges (AcGeLineSeg2d, AcGeCircArc2d, AcGeEllipArc2d, AcGeNurbCurve2d by
  // edgeType). eInvalidInput for a null edge, a type that does not match its edge, a loop type
  // with kPolyline, or lists of different lengths.
  Acad::ErrorStatus appendLoop(Adesk::Int32 loopType, const AcGeVoidPointerArray& edgePtrs,
                               const AcGeIntArray& edgeTypes);
  // A closed polyline loop (kPolyline is added to the type); bulges may be empty (all 0),
  // else one per vertex. eInvalidInput for fewer than two vertices or a bulge count that differs.
  Acad::ErrorStatus appendLoop(Adesk::Int32 loopType, const AcGePoint2dArray& vertices,
                               const AcGeDoubleArray& bulges);
  Acad::ErrorStatus removeLoopAt(int index);

  HatchPatternType patternType() const { return d_.patternType; }
  const char* patternName() const { return d_.patternName.c_str(); }
  Acad::ErrorStatus setPattern(HatchPatternType type, const char* name);
  double patternAngle() const { return d_.patternAngle; }
  // Turns the definition lines by the change of angle.
  Acad::ErrorStatus setPatternAngle(double angle);
  double patternScale() const { return d_.patternScale; }
  // Scales the definition lines of a predefined or custom pattern; eInvalidInput unless positive.
  Acad::ErrorStatus setPatternScale(double scale);
  // The spacing of a user-defined pattern; eInvalidInput unless positive.
  double patternSpace() const { return d_.patternSpace; }
  Acad::ErrorStatus setPatternSpace(double space);
  bool patternDouble() const { return d_.patternDouble; }
  Acad::ErrorStatus setPatternDouble(bool on);
  int numPatternDefinitions() const { return int(d_.lines.size()); }
  Acad::ErrorStatus getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY, double& offsetX,
                                           double& offsetY, AcGeDoubleArray& dashes) const;
  bool isSolidFill() const { return d_.solidFill; }

  // The most lines an explode makes before it answers eHatchTooDense.
  static constexpr long kMaxExplodeLines = 200000;

protected:
  // Moves, turns, mirrors and scales uniformly; eCannotScaleNonUniformly otherwise.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // The pattern's lines clipped by the even-odd rule to the loops the hatch style takes (all;
  // the external and outermost ones; the external ones), each a new AcDbLine with the hatch's
  // properties (a dot a line of no length). eNotApplicable for a solid fill.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;
  AcRxObject* subClone() const override;

private:
  friend struct kv::AnnotationAccess;
  void makeUserLines();
  Data d_;
};

// ---------------------------------------------------------------------------------------------

// A multiline: parallel element lines along a path of vertices. Per vertex the host keeps the
// direction of the segment that starts there, the miter direction (unit vectors) and, per
// element, its parameters: the distance along the miter from the vertex to the element line,
// then where the element's dashes start and stop along the segment (none: the whole segment).
//
// Styles are not modelled: a multiline the host makes has the elements of the host's
// "Standard" style (offsets 0.5 and -0.5); one read from a file keeps the parameters it gave,
// and later edits place its elements where its first vertex had them.
class KV_PLATFORM_API AcDbMline : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbMline)
  struct Vertex {
    AcGePoint3d point;
    AcGeVector3d direction, miter;
    std::vector<std::vector<double>> params;  // per element
    std::vector<std::vector<double>> fills;   // per element: area fill parameters
  };
  struct Data {
    Mline::MlineJustification justification = Mline::kTop;
    double scale = 1;
    AcGeVector3d normal = AcGeVector3d::kZAxis;
    bool closed = false, suppressStartCaps = false, suppressEndCaps = false;
    std::string styleName = "Standard";
    std::uint64_t styleHandle = 0;  // of the file's style object; 0 for none
    std::vector<double> elementOffsets = {0.5, -0.5};
    std::vector<Vertex> vertices;
  };

  AcDbMline() = default;

  Mline::MlineJustification justification() const { return d_.justification; }
  Acad::ErrorStatus setJustification(Mline::MlineJustification justification);
  double scale() const { return d_.scale; }
  Acad::ErrorStatus setScale(double scale);  // eInvalidInput for 0
  AcGeVector3d normal() const { return d_.normal; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidNormal for a zero vector
  // Adds a vertex at the end and updates directions, miters and parameters.
  Acad::ErrorStatus appendSeg(const AcGePoint3d& point);
  Acad::ErrorStatus removeLastSeg(AcGePoint3d& lastPoint);  // eInvalidIndex when empty
  Acad::ErrorStatus moveVertexAt(int index, const AcGePoint3d& point);
  Acad::ErrorStatus setClosedMline(bool closed);
  bool closedMline() const { return d_.closed; }
  void setSupressStartCaps(bool on);
  bool supressStartCaps() const { return d_.suppressStartCaps; }
  void setSupressEndCaps(bool on);
  bool supressEndCaps() const { return d_.suppressEndCaps; }
  int numVertices() const { return int(d_.vertices.size()); }
  // The origin or a zero vector for an index outside the vertices.
  AcGePoint3d vertexAt(int index) const;
  AcGeVector3d axisAt(int index) const;
  AcGeVector3d miterAt(int index) const;
  // One new AcGeDoubleArray per element, which the caller deletes; eInvalidIndex outside.
  Acad::ErrorStatus getParametersAt(int index, AcGeVoidPointerArray& params) const;
  // One AcGeDoubleArray per element; eInvalidInput for another count.
  Acad::ErrorStatus setParametersAt(int index, const AcGeVoidPointerArray& params);

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // Each segment's element lines, each a new AcDbLine with the multiline's properties. Caps and
  // fills come from the style, which is not modelled, and are left out.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;
  AcRxObject* subClone() const override;

private:
  friend struct kv::AnnotationAccess;
  Acad::ErrorStatus recompute();
  Data d_;
};

// ---------------------------------------------------------------------------------------------

// A reference to a block: the block's entities drawn through blockTransform, which maps the
// block's coordinates to the world: move the block's origin to the origin, scale by the scale
// factors, turn by the rotation about the normal, take the normal's coordinate system to the
// world, move to the position.
class KV_PLATFORM_API AcDbBlockReference : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbBlockReference)
  AcDbBlockReference() = default;
  AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord);

  AcDbObjectId blockTableRecord() const { return block_; }
  // eInvalidInput unless the id names a live block table record.
  Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id);
  AcGePoint3d position() const { return position_; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p);
  AcGeScale3d scaleFactors() const { return scale_; }
  Acad::ErrorStatus setScaleFactors(const AcGeScale3d& scale);  // eInvalidInput for a zero factor
  double rotation() const { return rotation_; }
  Acad::ErrorStatus setRotation(double angle);
  AcGeVector3d normal() const { return normal_; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidNormal for a zero vector
  AcGeMatrix3d blockTransform() const;

protected:
  // Takes any transform whose image of the block's axes stays perpendicular (moves, turns,
  // mirrors, uniform scaling, scaling along the block's own axes); eCannotScaleNonUniformly
  // otherwise.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  // The block's entities' boxes through blockTransform; eInvalidExtents for an empty block.
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // A copy of each live entity of the block, moved by blockTransform, with its own properties.
  // eNullBlockName when the block is gone; a copy that cannot take the transform (a circle
  // under non-uniform scaling) stops the explode with that copy's status.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;
  AcRxObject* subClone() const override;

private:
  AcDbObjectId block_;
  AcGePoint3d position_;
  AcGeScale3d scale_;
  double rotation_ = 0;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
};
