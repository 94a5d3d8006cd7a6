// The host's command stack: the commands that loaded modules register, by group, each with a
// global and a local name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/acstatus.h"
#include "core/export.h"
#include "win/winapi.h"

namespace kv {

class KV_PLATFORM_API CommandStack {
public:
  using Function = void (*)();
  struct Command {
    std::string group, globalName, localName;
    std::int32_t flags = 0;
    Function function = nullptr;
    HINSTANCE resource = nullptr;  // the registering module's handle, when it gave one
  };

  // eInvalidInput for a null or empty group or name, or a null function; eDuplicateKey when
  // the group already holds a command with either name (names compare without case and
  // without leading '_' marks).
  Acad::ErrorStatus add(const char* group, const char* globalName, const char* localName, std::int32_t flags,
                        Function function, HINSTANCE resource);
  // eKeyNotFound when the group holds no command of that global name.
  Acad::ErrorStatus remove(const char* group, const char* globalName);
  // eKeyNotFound when no command belongs to the group.
  Acad::ErrorStatus removeGroup(const char* group);
  // Removes every command registered with this resource handle; how many went.
  int removeByResource(HINSTANCE resource);

  // The command a typed name reaches, or null. A name with a leading '_' is a global name;
  // without it the local names are tried first, then the global ones (an English host's local
  // and global names agree). The newest registration wins, as the top of a stack does.
  const Command* find(const std::string& typed) const;
  const std::vector<Command>& commands() const { return commands_; }

private:
  std::vector<Command> commands_;  // in registration order
};

// A name as the command stack compares it: leading '_' and '.' marks dropped, upper case.
KV_PLATFORM_API std::string commandKey(const std::string& name);

}  // namespace kv
