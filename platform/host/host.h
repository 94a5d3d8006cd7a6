// The running host: one drawing, its system variables, its built-in commands and the user
// interface. The console host makes one for its run; each test makes a fresh one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/acdb.h"
#include "win/winapi.h"
#include "core/export.h"

struct resbuf;

namespace kv {

class UserInterface;
class CommandStack;
class Applications;
class MenuSystem;

// The host's releases, oldest first, with the letter that starts _VERNUM.
struct Release {
  const char* name;  // "2000", "2000i", ... "2011"
  char letter;
};
KV_PLATFORM_API const std::vector<Release>& releases();
// The release called name, or null.
KV_PLATFORM_API const Release* findRelease(const std::string& name);

// One system variable. Real variables have a range; a string variable may hold no string.
struct SysVar {
  std::string name;
  short type = 0;  // RTREAL, RTSHORT or RTSTR
  double real = 0;
  short shortValue = 0;
  std::optional<std::string> text;
  bool readOnly = false;
  double min = 0, max = 0;  // inclusive range of a real or short; ignored when min > max
  // For variables whose value lives elsewhere (CLAYER is the drawing's current layer).
  std::function<std::optional<std::string>()> getText;
  // False refuses the text; why then holds the host's notice, when it has one.
  std::function<bool(const std::string&, std::string& why)> setText;
};

class KV_PLATFORM_API SysVarTable {
public:
  void define(SysVar var);
  // Lookups ignore case, as the host's do.
  SysVar* find(const std::string& name);
  int get(const std::string& name, resbuf* result);
  // RTNORM or RTERROR; a refusal's notice goes to why, when given and known.
  int set(const std::string& name, const resbuf* value, std::string* why = nullptr);
  // The value as the SETVAR command shows it.
  std::string show(const SysVar& var);

private:
  std::map<std::string, SysVar> vars_;  // keyed by upper-case name
};

// Answers for a running command: from an acedCommand list or from the user.
class KV_PLATFORM_API CommandInput {
public:
  virtual ~CommandInput() = default;
  // False when there is no answer (the input ended or the user cancelled).
  virtual bool next(const char* prompt, std::string& answer) = 0;
  // True for the answers of a program (acedCommand): the host then reads file names from them
  // instead of showing its file dialog, as it does with FILEDIA 1 for a program.
  virtual bool fromProgram() const { return false; }
};

// A built-in command answers RTNORM, RTERROR or RTCAN.
using BuiltinCommand = std::function<int(CommandInput&)>;

class KV_PLATFORM_API Host {
public:
  // A fresh host presenting the given release ("2000" ... "2011"), with an empty drawing that
  // becomes the working database. Only one host exists at a time.
  explicit Host(UserInterface& ui, const std::string& release = "2011");
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* current();

  AcDbDatabase& database() { return *db_; }
  // Replaces the drawing (for one read from a file); the old one is destroyed.
  void setDatabase(std::unique_ptr<AcDbDatabase> db);
  UserInterface& userInterface() { return ui_; }
  SysVarTable& sysvars() { return sysvars_; }
  const Release& release() const { return release_; }

  void addBuiltin(const std::string& name, BuiltinCommand command);
  // Runs a command by name; "_" and "." in front are the host's global and built-in marks.
  // Module commands on the command stack come first, so one of a builtin's name hides the
  // builtin, as the host's do; "." reaches the builtin all the same. A module command runs its
  // function (it asks its own questions through the editor) and answers RTNORM. An unknown
  // name prints the host's notice and answers RTERROR.
  int runCommand(const std::string& name, CommandInput& input);
  bool hasCommand(const std::string& name) const;

  // The application services: registered module commands, loaded modules, menus, and the
  // document manager's resource-handle stack (empty: the host's own handle, null, is current).
  CommandStack& commands() { return *commands_; }
  Applications& applications() { return *applications_; }
  MenuSystem& menus() { return *menus_; }
  std::vector<HINSTANCE>& resourceHandles() { return resourceHandles_; }
  // The resource handles of the module commands running now, innermost last.
  const std::vector<HINSTANCE>& runningModules() const { return running_; }

  // Editor state, for the editor's own calls: the selection sets handed out and not freed yet,
  // and the input control that acedInitGet set for the next question.
  std::map<std::intptr_t, std::vector<AcDbObjectId>>& selectionSets() { return selectionSets_; }
  std::intptr_t newSelectionSet(std::vector<AcDbObjectId> members);
  struct InputControl {
    int bits = 0;
    std::string keywords;
  };
  InputControl takeInputControl();
  void setInputControl(int bits, const std::string& keywords) { control_ = InputControl{bits, keywords}; }

  // The view the last zoom set: centre and height, for the drawing's extents.
  AcGePoint3d viewCenter() const { return viewCenter_; }
  double viewHeight() const { return viewHeight_; }

private:
  void defineSysVars();
  void defineBuiltins();
  int menuload(CommandInput& in);
  int zoom(CommandInput& in);
  int setvar(CommandInput& in);

  UserInterface& ui_;
  UserInterface* previousUI_ = nullptr;
  Release release_;
  std::unique_ptr<AcDbDatabase> db_;
  SysVarTable sysvars_;
  std::map<std::string, BuiltinCommand> builtins_;
  AcGePoint3d viewCenter_;
  double viewHeight_ = 10;
  std::map<std::intptr_t, std::vector<AcDbObjectId>> selectionSets_;
  std::intptr_t nextSelectionSet_ = 1;
  InputControl control_;
  std::unique_ptr<CommandStack> commands_;
  std::unique_ptr<MenuSystem> menus_;
  std::vector<HINSTANCE> resourceHandles_;
  std::vector<HINSTANCE> running_;
  // Last: destroyed first, it closes the module libraries before the rest goes.
  std::unique_ptr<Applications> applications_;
};

// A built-in command that a layer above the host brings (ACISIN comes with the modeller). It
// registers once, while the platform library loads, and every host then defines it.
using HostCommand = int (*)(Host& host, CommandInput& input);
bool registerBuiltin(const char* name, HostCommand command);

// The command name without its "_" and "." marks, in upper case.
KV_PLATFORM_API std::string canonicalCommandName(const std::string& name);

}  // namespace kv
