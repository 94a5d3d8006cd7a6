#include "command_loop.h"

#include <strings.h>

#include <string>

#include "end_signals.h"
#include "host/aced.h"

namespace kvhost {

namespace {

std::string trim(const std::string& s) {
  const char* space = " \t";
  size_t begin = s.find_first_not_of(space);
  if (begin == std::string::npos) return std::string();
  size_t end = s.find_last_not_of(space);
  return s.substr(begin, end - begin + 1);
}

bool isCancel(const std::string& answer) { return strcasecmp(trim(answer).c_str(), "*Cancel*") == 0; }

// A running command's answers, read through the same terminal as the command names.
class TerminalInput : public kv::CommandInput {
public:
  explicit TerminalInput(kv::UserInterface& ui) : ui_(ui) {}

  bool next(const char* prompt, std::string& answer) override {
    std::string line;
    if (!ui_.prompt(prompt, line)) {
      inputEnded_ = true;
      return false;
    }
    if (isCancel(line)) {
      cancelled_ = true;
      return false;
    }
    answer = line;
    return true;
  }
  bool cancelled() const { return cancelled_; }
  bool inputEnded() const { return inputEnded_; }

private:
  kv::UserInterface& ui_;
  bool cancelled_ = false;
  bool inputEnded_ = false;
};

}  // namespace

LoopResult runCommandLoop(kv::Host& host, kv::TerminalUI& ui, bool stopOnFailure) {
  LoopResult result;
  std::string line;
  std::string last;
  while (endSignal() == 0 && ui.prompt("Command: ", line)) {
    std::string name = trim(line);
    // Enter at the Command prompt repeats the last command, as hosts do; there is nothing to cancel.
    if (name.empty()) name = last;
    if (name.empty() || isCancel(name)) continue;
    last = name;
    TerminalInput input(ui);
    int status = host.runCommand(name, input);
    if (input.cancelled()) ui.print("*Cancel*\n");
    // A command cut off by the end of its input did not do what the script asked either, also
    // when the input ended in a question the command asked through the editor or a dialog.
    bool cutOff = ui.inputEnded() && !input.cancelled();
    int refusedAt = 0;
    std::string refusal = ui.takeRefusal(refusedAt);
    if (endSignal() != 0) break;  // what the signal cut short is not the script's failure
    bool failed = status == RTERROR || (status == RTCAN && !input.cancelled()) || cutOff || !refusal.empty();
    if (!failed) continue;
    if (!result.failed) {
      result.failed = true;
      result.failedLine = refusal.empty() ? ui.linesRead() : refusedAt;
      result.reason = refusal;
    }
    if (stopOnFailure || input.inputEnded() || ui.inputEnded()) break;
  }
  return result;
}

}  // namespace kvhost
