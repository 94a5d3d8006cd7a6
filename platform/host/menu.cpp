#include "host/menu.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/aced.h"
#include "core/ui.h"
#include "win/crt.h"
#include "core/files.h"
#include "core/numbers.h"
#include "core/paths.h"

namespace kv {

namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool startsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = std::strlen(prefix);
  return s.size() >= n && strncasecmp(s.c_str(), prefix, n) == 0;
}

bool parseItem(const std::string& line, MenuItem& item, int& depth, std::string& error) {
  size_t open = line.find('[');
  if (open == std::string::npos) {
    // An item without a label shows its command.
    item.command = item.label = line;
    item.depth = depth;
    return true;
  }
  size_t close = line.find(']', open);
  if (close == std::string::npos) {
    error = "label not closed";
    return false;
  }
  item.id = trim(line.substr(0, open));
  item.label = line.substr(open + 1, close - open - 1);
  item.command = trim(line.substr(close + 1));
  item.depth = depth;
  if (item.label.rfind("->", 0) == 0) {
    item.label.erase(0, 2);
    ++depth;
  } else if (item.label.rfind("<-", 0) == 0) {
    item.label.erase(0, 2);
    if (depth > 0) --depth;
  }
  item.separator = item.label == "--";
  return true;
}

}  // namespace

bool parseMenu(const std::string& text, MenuGroup& group, std::string& error) {
  MenuGroup parsed;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  enum class Section { kNone, kPopup, kOther } section = Section::kNone;
  bool titled = false;
  int depth = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = trim(raw);
    if (line.empty() || line.rfind("//", 0) == 0) continue;
    if (line.rfind("***", 0) == 0) {
      std::string head = trim(line.substr(3));
      if (startsWithNoCase(head, "MENUGROUP")) {
        size_t eq = head.find('=');
        std::string name = eq == std::string::npos ? "" : trim(head.substr(eq + 1));
        if (name.empty()) {
          error = "line " + std::to_string(lineNo) + ": the menu group has no name";
          return false;
        }
        parsed.name = name;
        section = Section::kNone;
      } else if (startsWithNoCase(head, "POP") && head.size() > 3 &&
                 head.find_first_not_of("0123456789", 3) == std::string::npos) {
        MenuPopup popup;
        popup.section = head;
        for (char& c : popup.section) c = char(std::toupper(static_cast<unsigned char>(c)));
        parsed.popups.push_back(popup);
        section = Section::kPopup;
        titled = false;
        depth = 0;
      } else {
        section = Section::kOther;
      }
      continue;
    }
    if (section != Section::kPopup) continue;
    MenuPopup& popup = parsed.popups.back();
    if (line.rfind("**", 0) == 0) {
      std::string alias = trim(line.substr(2));
      if (!alias.empty()) popup.aliases.push_back(alias);
      continue;
    }
    MenuItem item;
    std::string why;
    if (!parseItem(line, item, depth, why)) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
    // The first line of a pop-up is its title on the menu bar.
    if (!titled) {
      popup.title = item.label;
      titled = true;
      depth = 0;
      continue;
    }
    popup.items.push_back(item);
  }
  if (parsed.name.empty()) {
    error = "no ***MENUGROUP line names the menu group";
    return false;
  }
  group = std::move(parsed);
  return true;
}

const MenuGroup* MenuSystem::findGroup(const std::string& name) const {
  for (const MenuGroup& g : groups_)
    if (strcasecmp(g.name.c_str(), name.c_str()) == 0) return &g;
  return nullptr;
}

bool MenuSystem::load(const std::string& path, std::string& error) {
  std::string native = kv::path::native(path);
  std::error_code ec;
  if (!std::filesystem::exists(native, ec) && std::filesystem::path(native).extension().empty()) native += ".mnu";
  std::string text;
  if (file::readWhole(native, text) != 0) {
    error = "Unable to open menu file \"" + path + "\".";
    return false;
  }
  MenuGroup group;
  std::string why;
  if (!parseMenu(text, group, why)) {
    error = "Unable to load menu file \"" + path + "\": " + why + ".";
    return false;
  }
  if (findGroup(group.name)) {
    error = "Menu group \"" + group.name + "\" is already loaded.";
    return false;
  }
  group.path = native;
  groups_.push_back(std::move(group));
  return true;
}

int MenuSystem::menuCmd(const char* command) {
  if (!command) return RTERROR;
  std::string c = trim(command);
  // P<n>=+<group>.<popup>
  if (c.size() < 2 || std::toupper(static_cast<unsigned char>(c[0])) != 'P') return RTERROR;
  size_t eq = c.find("=+");
  if (eq == std::string::npos || eq < 2) return RTERROR;
  std::string digits = c.substr(1, eq - 1);
  int position = 0;
  if (digits.find_first_not_of("0123456789") != std::string::npos || !toNumber(digits, position) || position > 9999)
    return RTERROR;
  std::string target = c.substr(eq + 2);
  size_t dot = target.find('.');
  if (dot == std::string::npos) return RTERROR;
  const MenuGroup* group = findGroup(target.substr(0, dot));
  if (!group) return RTERROR;
  std::string popupName = target.substr(dot + 1);
  size_t index = group->popups.size();
  for (size_t i = 0; i < group->popups.size() && index == group->popups.size(); ++i) {
    const MenuPopup& p = group->popups[i];
    if (strcasecmp(p.section.c_str(), popupName.c_str()) == 0) index = i;
    for (const std::string& a : p.aliases)
      if (strcasecmp(a.c_str(), popupName.c_str()) == 0) index = i;
  }
  if (index == group->popups.size()) return RTERROR;
  for (const BarEntry& e : bar_)
    if (e.group == group->name && e.popup == index) return RTNORM;
  size_t at = position <= 1 ? 0 : std::min(size_t(position - 1), bar_.size());
  bar_.insert(bar_.begin() + long(at), BarEntry{group->name, index});
  return RTNORM;
}

std::string MenuSystem::describeBar() const {
  std::string out;
  if (bar_.empty()) out = "The menu bar holds no loaded pop-up.\n";
  else out = "Menu bar:\n";
  for (const BarEntry& e : bar_) {
    const MenuGroup* g = findGroup(e.group);
    if (!g) continue;
    const MenuPopup& p = g->popups[e.popup];
    out += "[" + withoutAccelerators(p.title) + "]  (" + g->name + "." +
           (p.aliases.empty() ? p.section : p.aliases.front()) + ")\n";
    for (const MenuItem& item : p.items) {
      std::string indent(size_t(2 + 2 * item.depth), ' ');
      if (item.separator) {
        out += indent + "--------\n";
        continue;
      }
      std::string label = withoutAccelerators(item.label);
      std::string line = indent + label;
      if (!item.command.empty()) {
        if (line.size() < 34) line.resize(34, ' ');
        line += " " + item.command;
      }
      out += line + "\n";
    }
  }
  if (!groups_.empty()) {
    out += "Menu groups loaded:";
    for (const MenuGroup& g : groups_) out += " " + g.name;
    out += "\n";
  }
  return out;
}

}  // namespace kv
