// The editor's C interface: thin forwarders to the running host, each armable for faults.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "host/aced.h"
#include "host/access.h"
#include "core/faults.h"
#include "host/host.h"
#include "host/stub.h"
#include "core/ui.h"

resbuf* acutNewRb(int type) {
  auto* rb = static_cast<resbuf*>(calloc(1, sizeof(resbuf)));
  if (rb) rb->restype = short(type);
  return rb;
}

// Group codes whose value is a string: the RT string types and the DXF string groups.
static bool holdsString(int type) {
  return type == RTSTR || (type >= 0 && type <= 9) || (type >= 100 && type <= 102) || type == 105 ||
         (type >= 300 && type <= 309) || (type >= 410 && type <= 419) || (type >= 1000 && type <= 1009);
}

int acutRelRb(resbuf* rb) {
  while (rb) {
    resbuf* next = rb->rbnext;
    if (holdsString(rb->restype)) free(rb->resval.rstring);
    free(rb);
    rb = next;
  }
  return RTNORM;
}

int acutPrintf(const char* format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  kv::currentUI().print(text);
  return text.GetLength();
}

int acedGetVar(const char* name, resbuf* result) {
  if (int st = kv::fault::check(kv::fault::Call::acedGetVar, RTERROR)) return st;
  kv::Host* host = kv::Host::current();
  if (!host || !name) return RTERROR;
  return host->sysvars().get(name, result);
}

int acedSetVar(const char* name, const resbuf* value) {
  if (int st = kv::fault::check(kv::fault::Call::acedSetVar, RTERROR)) return st;
  kv::Host* host = kv::Host::current();
  if (!host || !name) return RTERROR;
  return host->sysvars().set(name, value);
}

namespace {

// Answers from an acedCommand list; when the list runs out the command is cancelled, as the
// module never leaves a command waiting for the user.
class ListInput : public kv::CommandInput {
public:
  explicit ListInput(std::deque<std::string> items) : items_(std::move(items)) {}
  bool next(const char*, std::string& answer) override {
    if (items_.empty()) return false;
    answer = items_.front();
    items_.pop_front();
    return true;
  }
  bool fromProgram() const override { return true; }

private:
  std::deque<std::string> items_;
};

std::string realText(double v) {
  char buf[64];
  snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

int runList(std::deque<std::string> items) {
  if (int st = kv::fault::check(kv::fault::Call::acedCommand, RTERROR)) return st;
  kv::Host* host = kv::Host::current();
  if (!host || items.empty()) return RTERROR;
  std::string name = items.front();
  items.pop_front();
  ListInput input(std::move(items));
  return host->runCommand(name, input);
}

}  // namespace

int acedCommand(int rtype, ...) {
  std::deque<std::string> items;
  va_list args;
  va_start(args, rtype);
  bool bad = false;
  for (int type = rtype; type != RTNONE && type != 0; type = va_arg(args, int)) {
    if (type == RTSTR) {
      const char* s = va_arg(args, const char*);
      items.emplace_back(s ? s : "");
    } else if (type == RTREAL || type == RTANG) {
      items.push_back(realText(va_arg(args, double)));
    } else if (type == RTSHORT || type == RTLONG) {
      items.push_back(std::to_string(va_arg(args, int)));
    } else {
      bad = true;  // a type this host cannot pass to a command
      break;
    }
  }
  va_end(args);
  if (bad) return RTERROR;
  return runList(std::move(items));
}

int acedCmd(const resbuf* list) {
  std::deque<std::string> items;
  for (const resbuf* rb = list; rb && rb->restype != RTNONE; rb = rb->rbnext) {
    switch (rb->restype) {
      case RTSTR: items.emplace_back(rb->resval.rstring ? rb->resval.rstring : ""); break;
      case RTREAL:
      case RTANG: items.push_back(realText(rb->resval.rreal)); break;
      case RTSHORT: items.push_back(std::to_string(rb->resval.rint)); break;
      case RTLONG: items.push_back(std::to_string(rb->resval.rlong)); break;
      default: return RTERROR;
    }
  }
  return runList(std::move(items));
}

Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id) {
  if (id.isNull()) return Acad::eNullObjectId;
  name[0] = reinterpret_cast<std::intptr_t>(kv::HostAccess::stub(id));
  name[1] = 0;
  return Acad::eOk;
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name) {
  if (!name || name[0] == 0) return Acad::eInvalidAdsName;
  id = kv::HostAccess::idOf(reinterpret_cast<AcDbStub*>(name[0]));
  return Acad::eOk;
}

int acdbEntDel(const ads_name name) {
  if (int st = kv::fault::check(kv::fault::Call::acdbEntDel, RTERROR)) return st;
  AcDbObjectId id;
  if (acdbGetObjectId(id, name) != Acad::eOk) return RTERROR;
  AcDbEntity* ent = nullptr;
  if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite, true) != Acad::eOk) return RTERROR;
  Acad::ErrorStatus es = ent->erase(!ent->isErased());
  ent->close();
  return es == Acad::eOk ? RTNORM : RTERROR;
}

HWND adsw_acadMainWnd() {
  static int mainWindow;
  return reinterpret_cast<HWND>(&mainWindow);
}
