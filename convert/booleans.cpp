#include "booleans.h"

#include "convert/satsolid.h"
#include "dbutil/errortext.h"

namespace {

// Applies one Boolean; an intersection that leaves nothing is a failure of its own.
BOOL applyOperand(AcDb3dSolid* result, AcDb::BoolOperType operation, AcDb3dSolid* operand) {
  if (Acad::ErrorStatus es = result->booleanOper(operation, operand)) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  if (operation == AcDb::kBoolIntersect && result->isNull()) {
    SolidErrorText = "Objects do not have a common intersection";
    return FALSE;
  }
  return TRUE;
}

// The object named by id, made a solid of its own that never enters the drawing, applied to
// result; the operand is released whatever happens.
BOOL applyObject(AcDb3dSolid* result, AcDb::BoolOperType operation, const AcDbObjectId& id) {
  auto* operand = new AcDb3dSolid;
  BOOL ok = SolidFromEntityId(id, operand) && applyOperand(result, operation, operand);
  operand->close();  // in no drawing: released
  return ok;
}

bool refuseEmpty(const AcDbObjectIdArray& ids) {
  if (!ids.isEmpty()) return false;
  SolidErrorText = "No objects to combine";
  return true;
}

// The first object into result, each further one applied with operation in list order; stops
// at the first failure.
BOOL combine(const AcDbObjectIdArray& ids, AcDb::BoolOperType operation, AcDb3dSolid* result) {
  if (refuseEmpty(ids)) return FALSE;
  if (!SolidFromEntityId(ids.first(), result)) return FALSE;
  for (int i = 1; i < ids.length(); ++i)
    if (!applyObject(result, operation, ids[i])) return FALSE;
  return TRUE;
}

}  // namespace

BOOL UniteSolids(const AcDbObjectIdArray& ids, AcDb3dSolid* result) { return combine(ids, AcDb::kBoolUnite, result); }

BOOL IntersectSolids(const AcDbObjectIdArray& ids, AcDb3dSolid* result) {
  return combine(ids, AcDb::kBoolIntersect, result);
}

BOOL SubtractSolids(const AcDbObjectIdArray& solids, const AcDbObjectIdArray& tools, AcDb3dSolid* result) {
  // Both lists are looked at first, so that an empty tool list leaves result untouched.
  if (refuseEmpty(solids) || refuseEmpty(tools)) return FALSE;
  if (!UniteSolids(solids, result)) return FALSE;
  auto* operand = new AcDb3dSolid;
  BOOL ok = UniteSolids(tools, operand) && applyOperand(result, AcDb::kBoolSubtract, operand);
  operand->close();  // in no drawing: released
  return ok;
}
