// Booleans of the solids, bodies, polyface meshes and polygon meshes named by ids, each first
// made into a solid (SolidFromEntityId). The result solid is the caller's; after a failure it
// keeps what the steps before made of it. FALSE, with the reason in SolidErrorText, when an
// object cannot be made into a solid, the host refuses a Boolean, or a list is empty ("No
// objects to combine", before any id is read and with the result untouched). The solids made
// of the listed objects never enter the drawing and are released on every path.
#pragma once

#include "host/acdb.h"
#include "modeler/solids.h"
#include "win/winapi.h"

BOOL UniteSolids(const AcDbObjectIdArray& ids, AcDb3dSolid* result);
// "Objects do not have a common intersection" when nothing is left.
BOOL IntersectSolids(const AcDbObjectIdArray& ids, AcDb3dSolid* result);
// The union of solids minus the union of tools.
BOOL SubtractSolids(const AcDbObjectIdArray& solids, const AcDbObjectIdArray& tools, AcDb3dSolid* result);
