// Colours as tests and sample drawings name them.
#pragma once

#include "host/acdb.h"

namespace kv {

inline AcCmColor indexColor(int index) {
  AcCmColor c;
  c.setColorIndex(Adesk::UInt16(index));
  return c;
}

inline AcCmColor trueColor(int r, int g, int b) {
  AcCmColor c;
  c.setRGB(Adesk::UInt8(r), Adesk::UInt8(g), Adesk::UInt8(b));
  return c;
}

}  // namespace kv
