// The menu-file reader on arbitrary text, through the file road of "_menuload", then every
// pop-up read put on the menu bar and the bar printed as MENUBAR does.
#include "fuzz_input.h"
#include "host/menu.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kv::fuzz::TempFile file(".mnu");
  kv::MenuSystem menus;
  std::string error;
  if (!menus.load(file.write(data, size), error)) {
    kv::fuzz::require(!error.empty(), "a refusal gives a reason");
    kv::fuzz::require(menus.groups().empty(), "a refused file loads no group");
    return 0;
  }
  kv::fuzz::require(menus.groups().size() == 1, "one file, one group");
  const kv::MenuGroup& group = menus.groups()[0];
  int position = 1;
  for (const kv::MenuPopup& popup : group.popups) {
    std::string name = popup.aliases.empty() ? popup.section : popup.aliases[0];
    menus.menuCmd(("P" + std::to_string(position++) + "=+" + group.name + "." + name).c_str());
  }
  kv::fuzz::require(menus.bar().size() <= group.popups.size(), "no pop-up shown twice");
  (void)menus.describeBar();
  // A second load of the same group is refused and keeps the first.
  kv::fuzz::require(!menus.load(file.path(), error) && menus.groups().size() == 1, "a group loads once");
  return 0;
}
