// The console host's terminal: the user-interface seam on a text stream.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>

#include "core/ui.h"

namespace kv {

// The console host's terminal: prompts on out, answers from in. With echo (a script), each
// answer is written after its prompt so that the output reads as a session transcript.
class KV_PLATFORM_API TerminalUI : public UserInterface {
public:
  TerminalUI(std::istream& in, std::ostream& out, bool echo) : in_(in), out_(out), echo_(echo) {}
  void print(const char* text) override;
  bool prompt(const char* prompt, std::string& answer) override;
  int messageBox(const char* text, const char* caption, unsigned style) override;
  // Shows the caption, then asks for each slider (an integer, or a label's word; Enter keeps
  // it; values outside the range are taken at the nearer end) and each check box (Yes/No;
  // Enter keeps it), then for a button. "*Cancel*" or the end of the input cancels.
  int dialog(DialogView& view) override;
  // Shows the filter and asks "File name: "; Enter takes the initial name or asks again.
  bool fileDialog(const FileRequest& request, std::string& path) override;
  void about(const char* title) override;
  // Hands the file to xdg-open, when it is on PATH, without waiting for the viewer.
  int shellOpen(const std::string& file, const std::string& parameters) override;
  // Script lines starting with ';' are comments, skipped by prompt().
  int linesRead() const { return lines_; }
  // True once a prompt found the input at its end.
  bool inputEnded() const { return ended_; }
  // Why a script's answer to a message box was refused (the box then closed as its close
  // button does), or empty, with the line of that answer; reading it clears it.
  std::string takeRefusal(int& line) {
    line = refusalLine_;
    return std::exchange(refusal_, std::string());
  }

private:
  std::istream& in_;
  std::ostream& out_;
  bool echo_;
  int lines_ = 0;
  bool ended_ = false;
  std::string refusal_;
  int refusalLine_ = 0;
};

}  // namespace kv
