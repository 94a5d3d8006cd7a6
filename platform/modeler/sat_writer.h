// Platform only: Open CASCADE shapes into ACIS SAT 7.0 text.
//
// Each shape becomes one body, in the order given: its solids become lumps, its free shells
// and faces one more lump. Planes, cylinders, cones, spheres and tori become analytic
// surfaces, lines, circles and ellipses analytic curves; every other surface or curve is
// written as the B-spline it is or converts to (exactsur / exactcur). No sequence number is
// needed by readers; we write them for people. No pcurve, attribute or transform is written.
#pragma once

#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "modeler/sat_reader.h"

namespace kv::modeler::sat {

struct WriteBody {
  TopoDS_Shape shape;
  BodyKind kind = BodyKind::Body;  // solids get single-sided faces, the rest double-sided
};

// True with the whole file in `text`; false with `error` (and `text` untouched) for a null
// shape, one without faces, or geometry that has no finite SAT form. Never throws.
KV_PLATFORM_API bool write(const std::vector<WriteBody>& bodies, std::string& text, std::string& error);

}  // namespace kv::modeler::sat
