// The editor's selection sets, picks and keyword questions, answered through the user
// interface: the terminal on the console host, a queue in tests.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <strings.h>

#include "host/aced.h"
#include "host/access.h"
#include "core/faults.h"
#include "core/numbers.h"
#include "host/host.h"
#include "host/keywords.h"
#include "host/stub.h"
#include "core/ui.h"

bool kv::matchesKeyword(const std::string& answer, const std::string& keyword) {
  std::string capitals;
  size_t reach = 0;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (std::isupper(static_cast<unsigned char>(keyword[i]))) {
      capitals += keyword[i];
      reach = i + 1;
    }
  if (capitals.empty()) reach = keyword.size();
  if (answer.empty()) return false;
  if (!capitals.empty() && strcasecmp(answer.c_str(), capitals.c_str()) == 0) return true;
  return answer.size() >= reach && answer.size() <= keyword.size() &&
         strncasecmp(answer.c_str(), keyword.c_str(), answer.size()) == 0;
}

namespace {

constexpr const char* kCancel = "*Cancel*";

enum class Answer { kText, kCancelled };

// One answer line from the user; the end of the input counts as a cancel.
Answer ask(const char* prompt, std::string& line) {
  if (!kv::currentUI().prompt(prompt, line)) return Answer::kCancelled;
  size_t b = line.find_first_not_of(" \t"), e = line.find_last_not_of(" \t");
  line = b == std::string::npos ? "" : line.substr(b, e - b + 1);
  return strcasecmp(line.c_str(), kCancel) == 0 ? Answer::kCancelled : Answer::kText;
}

// Entity names travel in the caller's two-word array.
int nameOf(AcDbObjectId id, std::intptr_t* out) {
  ads_name name;
  if (acdbGetAdsName(name, id) != Acad::eOk) return RTERROR;
  out[0] = name[0];
  out[1] = name[1];
  return RTNORM;
}

bool sameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Wildcard match as the host's filters use it: '*' any run, '?' one character, no case.
bool wildMatch(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return wildMatch(pattern + 1, text) || (*text && wildMatch(pattern, text + 1));
  if (*text == '\0') return false;
  if (*pattern != '?' && std::toupper(static_cast<unsigned char>(*pattern)) != std::toupper(static_cast<unsigned char>(*text)))
    return false;
  return wildMatch(pattern + 1, text + 1);
}

// The entity types a filter accepts; true when the filter holds no type test.
bool passesFilter(const resbuf* filter, const AcDbEntity& ent) {
  bool any = false;
  for (const resbuf* rb = filter; rb; rb = rb->rbnext) {
    if (rb->restype != 0 || !rb->resval.rstring) continue;
    any = true;
    std::stringstream list(rb->resval.rstring);
    std::string type;
    while (std::getline(list, type, ','))
      if (wildMatch(type.c_str(), ent.isA()->dxfName())) return true;
  }
  return !any;
}

// An entity on a frozen layer is not drawn, so no selection finds it: not ALL, not LAST, not
// a pick (a handle here). A layer that is only off still offers its entities to ALL, as the
// host's does.
bool onFrozenLayer(const AcDbEntity& ent) {
  AcDbStub* stub = kv::HostAccess::stub(ent.layerId());
  const AcDbLayerTableRecord* layer = stub && !stub->erased ? AcDbLayerTableRecord::cast(stub->object) : nullptr;
  return layer && layer->isFrozen();
}

bool selectable(AcDbObjectId id) {
  const AcDbEntity* ent = AcDbEntity::cast(kv::HostAccess::stub(id)->object);
  return ent && !id.isErased() && !onFrozenLayer(*ent);
}

// The live entity named by a handle text, or null.
AcDbObjectId entityByHandle(AcDbDatabase& db, const std::string& text) {
  if (text.empty() || text.size() > 16) return AcDbObjectId();
  unsigned long long value = 0;
  if (!kv::toNumber(text, value, 16)) return AcDbObjectId();
  AcDbObjectId id;
  if (db.getAcDbObjectId(id, false, AcDbHandle(value)) != Acad::eOk || id.isErased()) return AcDbObjectId();
  AcDbStub* stub = kv::HostAccess::stub(id);
  const AcDbEntity* ent = AcDbEntity::cast(stub->object);
  // Only entities that stand in a block can be picked: not vertices, not table records.
  if (!ent || ent->ownerId().isNull() || !AcDbBlockTableRecord::cast(kv::HostAccess::stub(ent->ownerId())->object)) return AcDbObjectId();
  return selectable(id) ? id : AcDbObjectId();
}

// A picked point "x,y[,z]"; a coordinate missing or not a number is 0.
void readPoint(std::string_view text, double xyz[3]) {
  for (int i = 0; i < 3 && !text.empty(); ++i) {
    size_t comma = text.find(',');
    kv::toNumber(text.substr(0, comma), xyz[i]);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
}

// Every selectable entity of model space and paper space, in drawing order.
std::vector<AcDbObjectId> allEntities(AcDbDatabase& db) {
  std::vector<AcDbObjectId> out;
  for (AcDbObjectId space : {db.modelSpaceId(), db.paperSpaceId()}) {
    AcDbBlockTableRecord* rec = nullptr;
    if (acdbOpenObject(rec, space, AcDb::kForRead) != Acad::eOk) continue;
    for (const AcDbObjectId& id : rec->entityIds())
      if (selectable(id)) out.push_back(id);
    rec->close();
  }
  return out;
}

// The last selectable entity appended to model space, or null.
AcDbObjectId lastEntity(AcDbDatabase& db) {
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead) != Acad::eOk) return AcDbObjectId();
  AcDbObjectId last;
  const std::vector<AcDbObjectId>& ids = space->entityIds();
  auto it = std::find_if(ids.rbegin(), ids.rend(), selectable);
  if (it != ids.rend()) last = *it;
  space->close();
  return last;
}

bool accepted(AcDbObjectId id, const resbuf* filter) {
  const AcDbEntity* ent = AcDbEntity::cast(kv::HostAccess::stub(id)->object);
  return ent && passesFilter(filter, *ent);
}

std::vector<AcDbObjectId>* findSet(const ads_name ss) {
  kv::Host* host = kv::Host::current();
  if (!host || !ss) return nullptr;
  auto& sets = host->selectionSets();
  auto it = sets.find(ss[0]);
  return it == sets.end() ? nullptr : &it->second;
}

// The interactive selection: answers until Enter.
int selectInteractively(kv::Host& host, const char* prompt, const resbuf* filter, std::vector<AcDbObjectId>& picked) {
  kv::UserInterface& ui = host.userInterface();
  for (;;) {
    std::string line;
    if (ask(prompt, line) == Answer::kCancelled) return RTCAN;
    if (line.empty()) return picked.empty() ? RTERROR : RTNORM;
    std::vector<AcDbObjectId> found;
    bool invalid = false;
    std::stringstream words(line);
    std::string word;
    while (words >> word) {
      if (sameName(word, "ALL")) {
        for (AcDbObjectId id : allEntities(host.database()))
          if (accepted(id, filter)) found.push_back(id);
      } else if (sameName(word, "LAST") || sameName(word, "L")) {
        AcDbObjectId last = lastEntity(host.database());
        if (!last.isNull() && accepted(last, filter)) found.push_back(last);
      } else {
        AcDbObjectId id = entityByHandle(host.database(), word);
        if (id.isNull()) invalid = true;
        else if (accepted(id, filter)) found.push_back(id);
      }
    }
    if (invalid) ui.print("*Invalid selection*\n");
    int added = 0, duplicates = 0;
    for (AcDbObjectId id : found) {
      if (std::find(picked.begin(), picked.end(), id) != picked.end()) {
        ++duplicates;
        continue;
      }
      picked.push_back(id);
      ++added;
    }
    CString notice;
    notice.Format("%d found", int(found.size()));
    if (duplicates) notice.AppendFormat(" (%d duplicate)", duplicates);
    if (added != int(picked.size())) notice.AppendFormat(", %d total", int(picked.size()));
    notice += "\n";
    ui.print(notice);
  }
}

}  // namespace

int acedSSGet(const char* mode, const void* pt1, const void*, const resbuf* filter, ads_name ss) {
  if (int st = kv::fault::check(kv::fault::Call::acedSSGet, RTERROR)) return st;
  kv::Host* host = kv::Host::current();
  if (!host || !ss) return RTERROR;
  std::vector<AcDbObjectId> picked;
  if (mode && strcmp(mode, "A") == 0) {
    for (AcDbObjectId id : allEntities(host->database()))
      if (accepted(id, filter)) picked.push_back(id);
    if (picked.empty()) return RTERROR;
  } else {
    const char* prompt = "Select objects: ";
    if (mode && strchr(mode, '$') && pt1) {
      const char* const* prompts = static_cast<const char* const*>(pt1);
      if (prompts[0]) prompt = prompts[0];
    } else if (mode && *mode) {
      return RTERROR;  // a mode this host does not offer
    }
    int answer = selectInteractively(*host, prompt, filter, picked);
    if (answer != RTNORM) return answer;
  }
  ss[0] = host->newSelectionSet(std::move(picked));
  ss[1] = 0;
  return RTNORM;
}

int acedSSLength(const ads_name ss, std::int32_t* length) {
  std::vector<AcDbObjectId>* set = findSet(ss);
  if (!set || !length) return RTERROR;
  *length = std::int32_t(set->size());
  return RTNORM;
}

int acedSSName(const ads_name ss, std::int32_t index, ads_name entity) {
  std::vector<AcDbObjectId>* set = findSet(ss);
  if (!set || !entity || index < 0 || size_t(index) >= set->size()) return RTERROR;
  return nameOf((*set)[size_t(index)], entity);
}

int acedSSFree(const ads_name ss) {
  kv::Host* host = kv::Host::current();
  if (!host || !findSet(ss)) return RTERROR;
  host->selectionSets().erase(ss[0]);
  return RTNORM;
}

int acedEntSel(const char* prompt, ads_name entity, ads_point point) {
  if (int st = kv::fault::check(kv::fault::Call::acedEntSel, RTERROR)) return st;
  kv::Host* host = kv::Host::current();
  if (!host || !entity) return RTERROR;
  std::string line;
  if (ask(prompt ? prompt : "Select object: ", line) == Answer::kCancelled) return RTCAN;
  std::stringstream words(line);
  std::string handle, at;
  words >> handle >> at;
  AcDbObjectId id = entityByHandle(host->database(), handle);
  if (id.isNull()) return RTERROR;
  double xyz[3] = {0, 0, 0};
  readPoint(at, xyz);
  if (point)
    for (int i = 0; i < 3; ++i) point[i] = xyz[i];
  return nameOf(id, entity);
}

int acedInitGet(int bits, const char* keywords) {
  kv::Host* host = kv::Host::current();
  if (!host) return RTERROR;
  host->setInputControl(bits, keywords ? keywords : "");
  return RTNORM;
}

int acedGetKword(const char* prompt, char* result, size_t resultSize) {
  kv::Host* host = kv::Host::current();
  if (!host || !result || resultSize == 0) return RTERROR;
  kv::Host::InputControl control = host->takeInputControl();
  std::vector<std::string> keywords;
  std::stringstream list(control.keywords);
  for (std::string k; list >> k;) keywords.push_back(k);
  for (;;) {
    std::string line;
    if (ask(prompt ? prompt : "", line) == Answer::kCancelled) return RTCAN;
    if (line.empty()) {
      if (!(control.bits & RSG_NONULL)) return RTNONE;
      host->userInterface().print("Requires a keyword.\n");
      continue;
    }
    auto match = std::find_if(keywords.begin(), keywords.end(),
                              [&](const std::string& k) { return kv::matchesKeyword(line, k); });
    if (match == keywords.end()) {
      host->userInterface().print("Invalid option keyword.\n");
      continue;
    }
    // The caller's buffer bounds the copy: a longer keyword is cut, never overrun.
    size_t n = std::min(match->size(), resultSize - 1);
    memcpy(result, match->data(), n);
    result[n] = '\0';
    return RTNORM;
  }
}
