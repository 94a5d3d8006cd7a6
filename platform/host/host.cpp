#include "host/host.h"

#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <algorithm>

#include "host/aced.h"
#include "host/appservices.h"
#include "host/commands.h"
#include "host/menu.h"
#include "core/numbers.h"
#include "core/ui.h"
#include "win/afx.h"

namespace kv {
namespace {

Host* gCurrent = nullptr;

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Host numbers in the host's own short form: up to four decimals, no trailing zeros.
std::string formatReal(double v) {
  char buf[64];
  snprintf(buf, sizeof buf, "%.4f", v);
  std::string s = buf;
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::vector<std::pair<std::string, HostCommand>>& registeredBuiltins() {
  static std::vector<std::pair<std::string, HostCommand>> list;
  return list;
}

}  // namespace

bool registerBuiltin(const char* name, HostCommand command) {
  registeredBuiltins().emplace_back(name, command);
  return true;
}

const std::vector<Release>& releases() {
  static const std::vector<Release> list = {{"2000", 'T'}, {"2000i", 'U'}, {"2002", 'K'}, {"2004", 'V'},
                                            {"2005", 'N'}, {"2006", 'Z'},  {"2007", 'A'}, {"2008", 'B'},
                                            {"2009", 'C'}, {"2010", 'D'},  {"2011", 'E'}};
  return list;
}

const Release* findRelease(const std::string& name) {
  for (const Release& r : releases())
    if (strcasecmp(r.name, name.c_str()) == 0) return &r;
  return nullptr;
}

std::string canonicalCommandName(const std::string& name) {
  size_t i = 0;
  while (i < name.size() && (name[i] == '_' || name[i] == '.')) ++i;
  return upper(name.substr(i));
}

// ---------------------------------------------------------------------------------------------

void SysVarTable::define(SysVar var) {
  std::string key = upper(var.name);
  vars_[key] = std::move(var);
}

SysVar* SysVarTable::find(const std::string& name) {
  auto it = vars_.find(upper(name));
  return it == vars_.end() ? nullptr : &it->second;
}

int SysVarTable::get(const std::string& name, resbuf* result) {
  SysVar* v = find(name);
  if (!v || !result) return RTERROR;
  result->restype = v->type;
  switch (v->type) {
    case RTREAL: result->resval.rreal = v->real; break;
    case RTSHORT: result->resval.rint = v->shortValue; break;
    default: {
      std::optional<std::string> text = v->getText ? v->getText() : v->text;
      result->resval.rstring = text ? strdup(text->c_str()) : nullptr;
      break;
    }
  }
  return RTNORM;
}

int SysVarTable::set(const std::string& name, const resbuf* value, std::string* why) {
  SysVar* v = find(name);
  if (!v || !value || v->readOnly) return RTERROR;
  bool ranged = v->min <= v->max;
  switch (v->type) {
    case RTREAL: {
      double d;
      if (value->restype == RTREAL) d = value->resval.rreal;
      else if (value->restype == RTSHORT) d = value->resval.rint;
      else if (value->restype == RTLONG) d = value->resval.rlong;
      else return RTERROR;
      if (!std::isfinite(d) || (ranged && (d < v->min || d > v->max))) return RTERROR;
      v->real = d;
      return RTNORM;
    }
    case RTSHORT: {
      long n;
      if (value->restype == RTSHORT) n = value->resval.rint;
      else if (value->restype == RTLONG) n = value->resval.rlong;
      else return RTERROR;
      if (n < -32768 || n > 32767 || (ranged && (n < v->min || n > v->max))) return RTERROR;
      v->shortValue = short(n);
      return RTNORM;
    }
    default: {
      if (value->restype != RTSTR || !value->resval.rstring) return RTERROR;
      std::string text = value->resval.rstring;
      if (v->setText) {
        std::string notice;
        if (v->setText(text, notice)) return RTNORM;
        if (why) *why = notice;
        return RTERROR;
      }
      v->text = text;
      return RTNORM;
    }
  }
}

std::string SysVarTable::show(const SysVar& v) {
  if (v.type == RTREAL) return formatReal(v.real);
  if (v.type == RTSHORT) return std::to_string(v.shortValue);
  std::optional<std::string> text = v.getText ? v.getText() : v.text;
  return "\"" + text.value_or("") + "\"";
}

// ---------------------------------------------------------------------------------------------

Host::Host(UserInterface& ui, const std::string& release)
    : ui_(ui),
      db_(std::make_unique<AcDbDatabase>()),
      commands_(std::make_unique<CommandStack>()),
      menus_(std::make_unique<MenuSystem>()),
      applications_(std::make_unique<Applications>(*this)) {
  assert(!gCurrent && "one host at a time");
  const Release* r = findRelease(release);
  release_ = r ? *r : releases().back();
  gCurrent = this;
  previousUI_ = setCurrentUI(&ui_);
  AfxSetResourceHandle(nullptr);  // a new host starts with its own resources current
  acdbHostApplicationServices()->setWorkingDatabase(db_.get());
  defineSysVars();
  defineBuiltins();
}

Host::~Host() {
  // Modules hear of the end while the drawing is still there; their libraries close after it
  // is gone (its objects may run their code) and while this host is still current, for their
  // DLL entries.
  applications_->unloadAll();
  acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  db_.reset();
  applications_.reset();
  setCurrentUI(previousUI_);
  gCurrent = nullptr;
}

Host* Host::current() { return gCurrent; }

void Host::setDatabase(std::unique_ptr<AcDbDatabase> db) {
  assert(db);
  acdbHostApplicationServices()->setWorkingDatabase(db.get());
  db_ = std::move(db);
}

void Host::defineSysVars() {
  // FACETRES: the smoothness of faceted solids, as the host limits it.
  SysVar facetres;
  facetres.name = "FACETRES";
  facetres.type = RTREAL;
  facetres.real = 0.5;
  facetres.min = 0.01;
  facetres.max = 10;
  sysvars_.define(facetres);

  // CLAYER names the drawing's current layer; only an existing, live layer that is not frozen
  // can be made current.
  SysVar clayer;
  clayer.name = "CLAYER";
  clayer.type = RTSTR;
  clayer.getText = [this]() -> std::optional<std::string> {
    AcDbObjectId id = db_->clayer();
    const AcDbSymbolTableRecord* rec = nullptr;
    AcDbObject* obj = nullptr;
    if (acdbOpenObject(obj, id, AcDb::kForRead) != Acad::eOk) return std::string();
    rec = AcDbSymbolTableRecord::cast(obj);
    std::string name = rec ? rec->getName() : "";
    obj->close();
    return name;
  };
  clayer.setText = [this](const std::string& name, std::string& why) {
    AcDbLayerTable* table = nullptr;
    if (db_->getLayerTable(table, AcDb::kForRead) != Acad::eOk) return false;
    AcDbObjectId id;
    Acad::ErrorStatus es = table->getAt(name.c_str(), id);
    table->close();
    if (es == Acad::eOk) es = db_->setClayer(id);
    if (es == Acad::eInvalidLayer) why = "Cannot make a frozen layer current.";
    return es == Acad::eOk;
  };
  sysvars_.define(clayer);

  SysVar vernum;
  vernum.name = "_VERNUM";
  vernum.type = RTSTR;
  vernum.readOnly = true;
  vernum.text = std::string(1, release_.letter) + ".0.0 (kvhost " + release_.name + ")";
  sysvars_.define(vernum);

  // CMDECHO and DELOBJ: short variables a script may set; DELOBJ takes negative values.
  SysVar cmdecho;
  cmdecho.name = "CMDECHO";
  cmdecho.type = RTSHORT;
  cmdecho.shortValue = 1;
  cmdecho.min = 0;
  cmdecho.max = 1;
  sysvars_.define(cmdecho);

  SysVar delobj;
  delobj.name = "DELOBJ";
  delobj.type = RTSHORT;
  delobj.shortValue = 3;
  delobj.min = -3;
  delobj.max = 3;
  sysvars_.define(delobj);
}

void Host::defineBuiltins() {
  addBuiltin("SETVAR", [this](CommandInput& in) { return setvar(in); });
  addBuiltin("ZOOM", [this](CommandInput& in) { return zoom(in); });
  addBuiltin("ARX", [this](CommandInput& in) { return applications_->arxCommand(in); });
  addBuiltin("MENULOAD", [this](CommandInput& in) { return menuload(in); });
  for (const auto& registered : registeredBuiltins()) {
    HostCommand command = registered.second;
    addBuiltin(registered.first, [this, command](CommandInput& in) { return command(*this, in); });
  }
  addBuiltin("MENUBAR", [this](CommandInput&) {
    ui_.print(menus_->describeBar().c_str());
    return RTNORM;
  });
}

int Host::menuload(CommandInput& in) {
  std::string path;
  if (!in.next("Enter name of menu file to load: ", path)) return RTCAN;
  std::string error;
  if (path.empty() || !menus_->load(path, error)) {
    if (path.empty()) error = "No menu file named.";
    ui_.print((error + "\n").c_str());
    return RTERROR;
  }
  return RTNORM;
}

// The file dialog always, as with FILEDIA 1: the console host has no FILEDIA. Entities go on
// the current layer; when model space refuses one, those already appended are erased, so a
// failed read leaves the drawing as it was.
void Host::addBuiltin(const std::string& name, BuiltinCommand command) {
  builtins_[canonicalCommandName(name)] = std::move(command);
}

bool Host::hasCommand(const std::string& name) const {
  bool builtinOnly = name.substr(0, name.find_first_not_of("_.")).find('.') != std::string::npos;
  return (!builtinOnly && commands_->find(name)) || builtins_.count(canonicalCommandName(name)) > 0;
}

int Host::runCommand(const std::string& name, CommandInput& input) {
  bool builtinOnly = name.substr(0, name.find_first_not_of("_.")).find('.') != std::string::npos;
  if (const CommandStack::Command* command = builtinOnly ? nullptr : commands_->find(name)) {
    // The entry may go while its function runs (a command that removes itself).
    CommandStack::Function function = command->function;
    running_.push_back(command->resource);
    function();
    running_.pop_back();
    return RTNORM;
  }
  auto it = builtins_.find(canonicalCommandName(name));
  if (it == builtins_.end()) {
    std::string notice = "Unknown command \"" + upper(name) + "\".  Press F1 for help.\n";
    ui_.print(notice.c_str());
    return RTERROR;
  }
  return it->second(input);
}

std::intptr_t Host::newSelectionSet(std::vector<AcDbObjectId> members) {
  std::intptr_t id = nextSelectionSet_++;
  selectionSets_[id] = std::move(members);
  return id;
}

Host::InputControl Host::takeInputControl() {
  InputControl c = control_;
  control_ = InputControl{};
  return c;
}

int Host::setvar(CommandInput& in) {
  std::string name;
  if (!in.next("Enter variable name or [?]: ", name)) return RTCAN;
  SysVar* var = sysvars_.find(name);
  if (!var) {
    ui_.print("Unknown variable name.  Type SETVAR ? for a list of variables.\n");
    return RTERROR;
  }
  if (var->readOnly) {
    std::string notice = upper(var->name) + " = " + sysvars_.show(*var) + " (read only)\n";
    ui_.print(notice.c_str());
    return RTNORM;
  }
  std::string prompt = "Enter new value for " + upper(var->name) + " <" + sysvars_.show(*var) + ">: ";
  for (;;) {
    std::string answer;
    if (!in.next(prompt.c_str(), answer)) return RTCAN;
    if (answer.empty()) return RTNORM;  // Enter keeps the value
    resbuf rb{};
    std::string text = answer;
    double d = 0;
    if (var->type == RTSTR) {
      rb.restype = RTSTR;
      rb.resval.rstring = text.data();
    } else if (kv::toNumber(answer, d) && (var->type == RTREAL || d == std::floor(d))) {
      if (var->type == RTREAL) {
        rb.restype = RTREAL;
        rb.resval.rreal = d;
      } else {
        rb.restype = RTLONG;
        rb.resval.rlong = std::fabs(d) < 1e9 ? std::int32_t(d) : 1 << 30;
      }
    } else {
      ui_.print(var->type == RTREAL ? "Requires numeric value.\n" : "Requires an integer value.\n");
      continue;
    }
    std::string why;
    if (sysvars_.set(var->name, &rb, &why) == RTNORM) return RTNORM;
    if (var->type == RTSTR) {
      std::string notice = (why.empty() ? "Cannot set " + upper(var->name) + " to that value." : why) + "\n";
      ui_.print(notice.c_str());
      return RTERROR;
    }
    std::string notice = "Value must be between " + formatReal(var->min) + " and " + formatReal(var->max) + ".\n";
    ui_.print(notice.c_str());
  }
}

int Host::zoom(CommandInput& in) {
  std::string option;
  if (!in.next("Specify corner of window, enter a scale factor (nX or nXP), or\n"
               "[All/Center/Dynamic/Extents/Previous/Scale/Window/Object] <real time>: ",
               option))
    return RTCAN;
  std::string key = canonicalCommandName(option);
  bool extents = !key.empty() && std::string("EXTENTS").compare(0, key.size(), key) == 0;
  bool all = !key.empty() && std::string("ALL").compare(0, key.size(), key) == 0;
  if (!extents && !all) {
    ui_.print("Invalid option keyword.\n");
    return RTERROR;
  }
  AcDbExtents box;
  AcDbBlockTableRecord* space = nullptr;
  if (acdbOpenObject(space, db_->modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
    for (const AcDbObjectId& id : space->entityIds()) {
      AcDbEntity* ent = nullptr;
      if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk) continue;
      AcDbExtents e;
      if (ent->getGeomExtents(e) == Acad::eOk) box.addExt(e);
      ent->close();
    }
    space->close();
  }
  // An empty drawing zooms to the host's default limits, 0,0 to 12,9.
  if (box.isEmpty()) box = AcDbExtents(AcGePoint3d(0, 0, 0), AcGePoint3d(12, 9, 0));
  const AcGePoint3d& lo = box.minPoint();
  const AcGePoint3d& hi = box.maxPoint();
  viewCenter_ = AcGePoint3d((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
  viewHeight_ = std::max(hi.y - lo.y, (hi.x - lo.x) * 0.75);
  if (viewHeight_ <= 0) viewHeight_ = 1;
  return RTNORM;
}

}  // namespace kv
