#include "color.h"

#include "dbutil/layer.h"

namespace {

constexpr unsigned long kWhite = 0xFFFFFF;

struct Rgb {
  int red, green, blue;
};

// Rows 1 to 255, one per colour index. Rows 10 to 249 follow the 24-hue, 5-shade rule; 112
// is the palette's one exception to it.
constexpr Rgb AciPalette[255] = {
#include "aci_palette.inc"
};

unsigned long pack(int red, int green, int blue) {
  return (unsigned long)(red & 0xFF) | (unsigned long)(green & 0xFF) << 8 | (unsigned long)(blue & 0xFF) << 16;
}

}  // namespace

unsigned long RgbFromColorIndex(int aci) {
  if (aci < 1 || aci > 255) return 0;
  const Rgb& c = AciPalette[aci - 1];
  return pack(c.red, c.green, c.blue);
}

AcCmColor ColorFromRgb(unsigned long rgb) {
  AcCmColor color;
  color.setRGB(Adesk::UInt8(rgb & 0xFF), Adesk::UInt8(rgb >> 8 & 0xFF), Adesk::UInt8(rgb >> 16 & 0xFF));
  return color;
}

Acad::ErrorStatus GetEntityColor(const AcDbObjectId& entity, AcCmColor& color) {
  AcDbEntity* ent = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, entity, AcDb::kForRead)) return es;
  color = ent->color();
  return ent->close();
}

AcCmColor GetEntityColor(const AcDbObjectId& entity) {
  AcCmColor color;
  GetEntityColor(entity, color);
  return color;
}

Acad::ErrorStatus SetEntityColor(AcDbEntity* entity, const unsigned long& rgb) {
  if (rgb == 0) return entity->setColorIndex(7, true);
  return entity->setColor(ColorFromRgb(rgb), true);
}

Acad::ErrorStatus GetLayerRGB(const CString& layer, unsigned long& rgb) {
  int aci = 0;
  if (Acad::ErrorStatus es = GetLayerColorIndex(layer, aci)) return es;
  rgb = RgbFromColorIndex(aci);
  return Acad::eOk;
}

unsigned long GetLayerRGB(const CString& layer) {
  unsigned long rgb = kWhite;
  GetLayerRGB(layer, rgb);
  return rgb;
}

Acad::ErrorStatus GetEntityRGB(const AcDbObjectId& entity, unsigned long& rgb) {
  rgb = kWhite;
  AcCmColor color;
  if (Acad::ErrorStatus es = GetEntityColor(entity, color)) return es;
  if (color.isByLayer()) {
    rgb = GetLayerRGB(GetEntityLayerName(entity));
  } else if (color.isByBlock()) {
    // The owner is a block table record, not an entity: its lookup fails and leaves white.
    GetEntityRGB(GetEntityBlockId(entity), rgb);
  } else if (color.isByColor()) {
    rgb = pack(color.red(), color.green(), color.blue());
  } else if (color.isByACI()) {
    rgb = RgbFromColorIndex(color.colorIndex());
  }
  return Acad::eOk;
}

unsigned long GetEntityRGB(const AcDbObjectId& entity) {
  unsigned long rgb = kWhite;
  GetEntityRGB(entity, rgb);
  return rgb;
}
