#include "host/commands.h"

#include <cctype>
#include <strings.h>

#include "host/acrxapp.h"
#include "host/host.h"

namespace kv {

std::string commandKey(const std::string& name) { return canonicalCommandName(name); }

namespace {

bool sameKey(const std::string& a, const char* b) { return commandKey(a) == commandKey(b); }

bool hasName(const char* s) { return s && !commandKey(s).empty(); }

}  // namespace

Acad::ErrorStatus CommandStack::add(const char* group, const char* globalName, const char* localName,
                                    std::int32_t flags, Function function, HINSTANCE resource) {
  if (!group || !*group || !hasName(globalName) || !hasName(localName) || !function) return Acad::eInvalidInput;
  for (const Command& c : commands_) {
    if (strcasecmp(c.group.c_str(), group) != 0) continue;
    if (sameKey(c.globalName, globalName) || sameKey(c.localName, localName) || sameKey(c.globalName, localName) ||
        sameKey(c.localName, globalName))
      return Acad::eDuplicateKey;
  }
  commands_.push_back(Command{group, globalName, localName, flags, function, resource});
  return Acad::eOk;
}

Acad::ErrorStatus CommandStack::remove(const char* group, const char* globalName) {
  if (!group || !globalName) return Acad::eKeyNotFound;
  for (auto it = commands_.begin(); it != commands_.end(); ++it)
    if (strcasecmp(it->group.c_str(), group) == 0 && sameKey(it->globalName, globalName)) {
      commands_.erase(it);
      return Acad::eOk;
    }
  return Acad::eKeyNotFound;
}

Acad::ErrorStatus CommandStack::removeGroup(const char* group) {
  if (!group) return Acad::eKeyNotFound;
  size_t before = commands_.size();
  std::erase_if(commands_, [&](const Command& c) { return strcasecmp(c.group.c_str(), group) == 0; });
  return commands_.size() < before ? Acad::eOk : Acad::eKeyNotFound;
}

int CommandStack::removeByResource(HINSTANCE resource) {
  size_t before = commands_.size();
  std::erase_if(commands_, [&](const Command& c) { return c.resource == resource; });
  return int(before - commands_.size());
}

const CommandStack::Command* CommandStack::find(const std::string& typed) const {
  size_t first = typed.find_first_not_of("_.");
  bool global = typed.substr(0, first).find('_') != std::string::npos;
  std::string key = commandKey(typed);
  if (key.empty()) return nullptr;
  if (!global)
    for (auto it = commands_.rbegin(); it != commands_.rend(); ++it)
      if (commandKey(it->localName) == key) return &*it;
  for (auto it = commands_.rbegin(); it != commands_.rend(); ++it)
    if (commandKey(it->globalName) == key) return &*it;
  return nullptr;
}

}  // namespace kv
