// Entity colours as packed RGB (red | green << 8 | blue << 16) and the colour-index palette.
#pragma once

#include "host/acdb.h"

// The palette row of a colour index 1 to 255, packed; 0 for any other index.
unsigned long RgbFromColorIndex(int aci);
// A true colour from packed RGB (bits 24 to 31 ignored).
AcCmColor ColorFromRgb(unsigned long rgb);

// Status form: color is set only on success. By-value form: the default colour on failure.
Acad::ErrorStatus GetEntityColor(const AcDbObjectId& entity, AcCmColor& color);
AcCmColor GetEntityColor(const AcDbObjectId& entity);

// The entity is open for write by the caller. An rgb of 0 means colour index 7, so pure black
// cannot be given as a true colour (bit 24 set, the rest 0, gives true black).
Acad::ErrorStatus SetEntityColor(AcDbEntity* entity, const unsigned long& rgb);

// The palette colour of the layer's colour index. The status form sets rgb only on success;
// the by-value form gives white for a layer that does not exist.
Acad::ErrorStatus GetLayerRGB(const CString& layer, unsigned long& rgb);
unsigned long GetLayerRGB(const CString& layer);

// The entity's colour resolved to packed RGB: by layer through its layer, by colour and by
// index directly; by block, and any other method, white. On a failed open the status is
// returned and rgb is white.
Acad::ErrorStatus GetEntityRGB(const AcDbObjectId& entity, unsigned long& rgb);
unsigned long GetEntityRGB(const AcDbObjectId& entity);
