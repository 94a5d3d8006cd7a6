// Platform only: ACIS SAT text (versions 4.0 to 7.0, and later files where they use the same
// records) into Open CASCADE shapes, one per body.
//
// Read: body, lump, shell, face, loop, coedge, edge, vertex, point, transform; plane, cone
// (cylinders included), sphere, torus and spline surfaces (the B-spline held in the file);
// straight, ellipse and intcurve curves (the B-spline held in the file). Subshells are looked
// through, attributes and pcurves ignored, records of other types ignored unless the model
// needs them.
#pragma once

#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "core/export.h"

namespace kv::modeler::sat {

enum class BodyKind {
  Solid,   // every lump closed: a solid, or a compound of solids
  Region,  // faces on one plane, not closed
  Body,    // anything else: a shell or a compound of faces and shells
};

struct ReadBody {
  TopoDS_Shape shape;
  BodyKind kind = BodyKind::Body;
};

// Reads SAT text. True with one entry per body record, in file order (possibly none); false
// when the text cannot be understood or any face of any body cannot be built, with `error`
// naming the record and the reason, and `bodies` untouched. Never throws.
KV_PLATFORM_API bool read(std::string text, std::vector<ReadBody>& bodies, std::string& error);

}  // namespace kv::modeler::sat
