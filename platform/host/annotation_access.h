// The platform's way to the data of texts, hatches and multilines as a file holds them, for the
// DXF codecs and the tests: values the host's setters would refuse are the file's, taken as
// they stand. Platform use only.
#pragma once

#include "host/annotations.h"

namespace kv {

struct AnnotationAccess {
  static AcDbText::Data& data(AcDbText& text) { return text.d_; }
  static const AcDbText::Data& data(const AcDbText& text) { return text.d_; }
  static AcDbHatch::Data& data(AcDbHatch& hatch) { return hatch.d_; }
  static const AcDbHatch::Data& data(const AcDbHatch& hatch) { return hatch.d_; }
  static AcDbMline::Data& data(AcDbMline& mline) { return mline.d_; }
  static const AcDbMline::Data& data(const AcDbMline& mline) { return mline.d_; }
};

}  // namespace kv
