#include "core/ui.h"

#include <cstdio>

namespace kv {
namespace {

// Without a host nobody can answer: text still reaches standard output, questions fail as
// Windows fails them when no window can be shown.
class NoUserInterface : public UserInterface {
public:
  void print(const char* text) override { std::fputs(text, stdout); }
  bool prompt(const char*, std::string&) override { return false; }
  int messageBox(const char*, const char*, unsigned) override { return 0; }
  int dialog(DialogView&) override { return 2; }  // IDCANCEL
  bool fileDialog(const FileRequest&, std::string&) override { return false; }
  void about(const char*) override {}
  int shellOpen(const std::string&, const std::string&) override { return kShellNoAssociation; }
};

UserInterface* gCurrent = nullptr;

}  // namespace

UserInterface& currentUI() {
  static NoUserInterface none;
  return gCurrent ? *gCurrent : none;
}

UserInterface* setCurrentUI(UserInterface* ui) {
  UserInterface* old = gCurrent;
  gCurrent = ui;
  return old;
}

std::string withoutAccelerators(const std::string& label) {
  std::string out;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] != '&') {
      out += label[i];
    } else if (i + 1 < label.size() && label[i + 1] == '&') {
      out += '&';
      ++i;
    }
  }
  return out;
}

}  // namespace kv
