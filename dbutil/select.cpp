#include "select.h"

#include <cstring>

#include "dbutil/errortext.h"
#include "dbutil/layer.h"

const AcDbFullSubentPath NullSubentPath{AcDbObjectId(), AcDbSubentId()};

namespace {

// The host takes a prompt pair of two 255-character buffers.
constexpr size_t kPromptBuffer = 255;

struct PromptPair {
  char select[kPromptBuffer];
  char remove[kPromptBuffer];
  const char* pair[2] = {select, remove};

  explicit PromptPair(const char* prompt) {
    copy(select, prompt);
    copy(remove, "Remove objects");
  }
  static void copy(char* to, const char* text) {
    size_t n = strnlen(text, kPromptBuffer - 1);  // a longer prompt is cut, never overrun
    memcpy(to, text, n);
    to[n] = '\0';
  }
};

// Highlights the whole entity; an entity that cannot be opened is left alone.
void highlight(const AcDbObjectId& id) {
  AcDbEntity* ent = nullptr;
  if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) return;
  ent->highlight(NullSubentPath, false);
  ent->close();
}

// Whether a reported class name is one of the listed ones.
bool ofListedClass(const char* reported, const CStringArray& classNames) {
  for (int i = 0; i < classNames.GetSize(); ++i)
    if (IsClassName(reported, classNames[i])) return true;
  return false;
}

int getSet(const CString& prompt, ads_name ss) {
  if (prompt.IsEmpty()) return acedSSGet(nullptr, nullptr, nullptr, nullptr, ss);
  PromptPair prompts(prompt);
  return acedSSGet(":$", prompts.pair, nullptr, nullptr, ss);
}

// Calls visit(id) for each member whose name and id can be had, then frees the set.
template <class Visit>
void forEachMember(ads_name ss, Visit visit) {
  std::int32_t length = 0;
  acedSSLength(ss, &length);
  for (std::int32_t i = 0; i < length; ++i) {
    ads_name name;
    AcDbObjectId id;
    if (acedSSName(ss, i, name) != RTNORM) continue;
    if (acdbGetObjectId(id, name) != Acad::eOk) continue;
    visit(id);
  }
  acedSSFree(ss);
}

}  // namespace

BOOL SelectObjects(const CString& prompt, BOOL highlightFlag, AcDbObjectIdArray& ids) {
  ads_name ss;
  if (getSet(prompt, ss) != RTNORM) {
    LastErrorText = "No entities selected";
    return FALSE;
  }
  forEachMember(ss, [&](const AcDbObjectId& id) {
    ids.append(id);
    if (highlightFlag) highlight(id);
  });
  if (ids.isEmpty()) {
    LastErrorText = "No objects selected";
    return FALSE;
  }
  return TRUE;
}

BOOL SelectObjectsOfClasses(const CString& prompt, BOOL highlightFlag, const CStringArray& classNames,
                            AcDbObjectIdArray& ids) {
  ads_name ss;
  if (getSet(prompt, ss) != RTNORM) {
    LastErrorText = "No entities selected";
    return FALSE;
  }
  int filtered = 0;
  forEachMember(ss, [&](const AcDbObjectId& id) {
    AcDbEntity* ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) return;
    if (!ofListedClass(ent->isA()->name(), classNames)) {
      ++filtered;
    } else {
      ids.append(id);
      if (highlightFlag) ent->highlight(NullSubentPath, false);
    }
    ent->close();
  });
  if (filtered > 0) acutPrintf("%d object(s) were filtered out\n", filtered);
  if (ids.isEmpty()) {
    LastErrorText = "No valid objects selected";
    return FALSE;
  }
  return TRUE;
}

BOOL SelectAllObjects(AcDbObjectIdArray& ids) {
  ads_name ss;
  if (acedSSGet("A", nullptr, nullptr, nullptr, ss) != RTNORM) {
    LastErrorText = "Drawing empty";
    return FALSE;
  }
  ids.setLogicalLength(0);
  forEachMember(ss, [&](const AcDbObjectId& id) { ids.append(id); });
  return TRUE;
}

BOOL SelectPoints(AcGePoint3dArray& points) {
  resbuf filter{};
  filter.restype = 0;
  char type[] = "POINT";
  filter.resval.rstring = type;
  PromptPair prompts("Select points: ");
  ads_name ss;
  if (acedSSGet(":$", prompts.pair, nullptr, &filter, ss) != RTNORM) {
    LastErrorText = "No entities selected";
    return FALSE;
  }
  forEachMember(ss, [&](const AcDbObjectId& id) {
    AcDbEntity* ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) return;
    if (IsEntityOfClass(ent, "AcDbPoint")) points.append(AcDbPoint::cast(ent)->position());
    ent->close();
  });
  return TRUE;
}

BOOL PickObject(const CString& prompt, BOOL highlightFlag, AcDbObjectId& id, ads_point point) {
  const char* text = prompt.IsEmpty() ? "Select an object:" : prompt.GetString();
  for (;;) {
    ads_name name;
    ads_point picked;
    int answer = acedEntSel(text, name, picked);
    if (answer == RTCAN) {
      LastErrorText = "Object selection cancelled";
      return FALSE;
    }
    if (answer == RTERROR) {
      acutPrintf("\nObject not selected\n");
      continue;
    }
    acdbGetObjectId(id, name);
    for (int i = 0; i < 3; ++i) point[i] = picked[i];
    if (highlightFlag == 1) highlight(id);
    return TRUE;
  }
}

BOOL PickObject(const CString& prompt, BOOL highlightFlag, AcDbObjectId& id) {
  ads_point point;
  return PickObject(prompt, highlightFlag, id, point);
}

BOOL PickObjectOfClasses(const CString& prompt, BOOL highlightFlag, const CStringArray& classNames, AcDbObjectId& id,
                         ads_point point) {
  if (!PickObject(prompt, FALSE, id, point)) return FALSE;
  for (;;) {
    // The entity is opened once for its name, however many classes are listed.
    if (ofListedClass(GetEntityClassName(id), classNames)) {
      if (highlightFlag == 1) highlight(id);
      return TRUE;
    }
    acutPrintf("\nObject was filtered out\n");
    if (!PickObject(prompt, FALSE, id, point)) return FALSE;
  }
}

BOOL PickObjectOfClasses(const CString& prompt, BOOL highlightFlag, const CStringArray& classNames, AcDbObjectId& id) {
  ads_point point;
  return PickObjectOfClasses(prompt, highlightFlag, classNames, id, point);
}

BOOL PickObjectOfClass(const CString& prompt, BOOL highlightFlag, const CString& className, AcDbObjectId& id,
                       ads_point point) {
  CStringArray names;
  names.Add(className);
  return PickObjectOfClasses(prompt, highlightFlag, names, id, point);
}

BOOL PickObjectOfClass(const CString& prompt, BOOL highlightFlag, const CString& className, AcDbObjectId& id) {
  ads_point point;
  return PickObjectOfClass(prompt, highlightFlag, className, id, point);
}

Acad::ErrorStatus HighlightEntity(const AcDbObjectId& id) {
  AcDbEntity* ent = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, id, AcDb::kForRead)) return es;
  ent->highlight(NullSubentPath, false);
  return ent->close();
}
