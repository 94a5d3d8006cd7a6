// The host's menus: menu groups read from menu files in the host's MNU text format, and the
// menu bar that shows some of their pop-ups.
//
// The subset read: "***MENUGROUP=Name"; "***POPn" sections, each with "**alias" lines, a title
// line and item lines "ID_x [label]command" (the id is optional, '&' marks the accelerator,
// "[--]" is a separator, "[->label]" opens a submenu and "[<-label]" closes one); lines
// starting with "//" are comments. Other "***" sections are skipped.
#pragma once

#include <string>
#include <vector>

#include "core/export.h"

namespace kv {

struct MenuItem {
  std::string id, label, command;  // label as written, '&' marks kept
  bool separator = false;
  int depth = 0;                   // submenu level, 0 for the pop-up's own items
};

struct MenuPopup {
  std::string section;               // "POP1"
  std::vector<std::string> aliases;  // "pop1", from "**pop1"
  std::string title;                 // the title line's label
  std::vector<MenuItem> items;
};

struct MenuGroup {
  std::string name, path;
  std::vector<MenuPopup> popups;
};

// Parses a menu file's text. False with error naming the line when it cannot be read.
KV_PLATFORM_API bool parseMenu(const std::string& text, MenuGroup& group, std::string& error);

class KV_PLATFORM_API MenuSystem {
public:
  // Reads a menu file (either separator; ".mnu" is added to a name without extension when
  // the name alone is not found). False with error: a missing or unreadable file, a file that
  // cannot be parsed, or a group of that name already loaded (the loaded one stays).
  bool load(const std::string& path, std::string& error);
  // "P<n>=+<group>.<popup>": puts the pop-up (named by alias or section, without case) at
  // position n of the menu bar (1 is the first; past the end appends). A pop-up already on the
  // bar is not shown twice. RTNORM, or RTERROR for an unknown group or pop-up or another form.
  int menuCmd(const char* command);

  const std::vector<MenuGroup>& groups() const { return groups_; }
  struct BarEntry {
    std::string group;
    size_t popup;
  };
  const std::vector<BarEntry>& bar() const { return bar_; }
  // The menu bar as MENUBAR prints it: each pop-up's title with its group and alias, then its
  // items and their commands; then the names of the loaded menu groups.
  std::string describeBar() const;

private:
  const MenuGroup* findGroup(const std::string& name) const;
  std::vector<MenuGroup> groups_;
  std::vector<BarEntry> bar_;
};

}  // namespace kv
