// Object selection and single picks on the command line.
//
// A selection or pick that fails returns FALSE and leaves its reason in LastErrorText. The
// selections highlight what they keep when highlight is nonzero; the picks only when it is 1.
#pragma once

#include "host/aced.h"
#include "host/acdb.h"
#include "win/winapi.h"

// The whole entity, as every highlight here addresses it.
extern const AcDbFullSubentPath NullSubentPath;

// The user's selection appended to ids. An empty prompt asks with the host's own prompts; any
// other is shown as the select prompt (at most 254 characters: a longer one is cut). TRUE when
// ids holds at least one id afterwards, earlier ids included.
BOOL SelectObjects(const CString& prompt, BOOL highlight, AcDbObjectIdArray& ids);
// The same, keeping only entities whose own class name is listed exactly; the others are
// counted and reported on the command line.
BOOL SelectObjectsOfClasses(const CString& prompt, BOOL highlight, const CStringArray& classNames,
                            AcDbObjectIdArray& ids);
// Every entity of the drawing; ids is emptied first. Nothing is highlighted.
BOOL SelectAllObjects(AcDbObjectIdArray& ids);
// The positions of the point entities the user selects, appended to points.
BOOL SelectPoints(AcGePoint3dArray& points);

// One picked entity; asks again after a pick on empty space, FALSE only when cancelled.
BOOL PickObject(const CString& prompt, BOOL highlight, AcDbObjectId& id, ads_point point);
BOOL PickObject(const CString& prompt, BOOL highlight, AcDbObjectId& id);
// One picked entity of a listed class; asks again after any other. After rejected picks
// followed by a cancel, id and point hold the last rejected pick.
BOOL PickObjectOfClasses(const CString& prompt, BOOL highlight, const CStringArray& classNames, AcDbObjectId& id,
                         ads_point point);
BOOL PickObjectOfClasses(const CString& prompt, BOOL highlight, const CStringArray& classNames, AcDbObjectId& id);
BOOL PickObjectOfClass(const CString& prompt, BOOL highlight, const CString& className, AcDbObjectId& id,
                       ads_point point);
BOOL PickObjectOfClass(const CString& prompt, BOOL highlight, const CString& className, AcDbObjectId& id);

// The status of the failed open, or of the close after highlighting.
Acad::ErrorStatus HighlightEntity(const AcDbObjectId& id);
