// The one user-interface seam: the command line, message boxes and, later, dialogs go
// through it. The console host plugs in the terminal; tests plug in the recording one.
#pragma once

#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

#include "win/platform_export.h"

namespace kv {

class KV_PLATFORM_API UserInterface {
public:
  virtual ~UserInterface() = default;
  // Text for the command line, as the host prints it.
  virtual void print(const char* text) = 0;
  // Shows prompt and reads one answer line (without its line end). False when the input has
  // ended; the editor treats that as a cancel.
  virtual bool prompt(const char* prompt, std::string& answer) = 0;
  // A modal box; answers IDOK, IDCANCEL, IDYES, ... for the button chosen.
  virtual int messageBox(const char* text, const char* caption, unsigned style) = 0;
};

// The console host's terminal: prompts on out, answers from in. With echo (a script), each
// answer is written after its prompt so that the output reads as a session transcript.
class KV_PLATFORM_API TerminalUI : public UserInterface {
public:
  TerminalUI(std::istream& in, std::ostream& out, bool echo) : in_(in), out_(out), echo_(echo) {}
  void print(const char* text) override;
  bool prompt(const char* prompt, std::string& answer) override;
  int messageBox(const char* text, const char* caption, unsigned style) override;
  // Script lines starting with ';' are comments, skipped by prompt().
  int linesRead() const { return lines_; }

private:
  std::istream& in_;
  std::ostream& out_;
  bool echo_;
  int lines_ = 0;
};

// For tests: answers come from queues, and everything shown is recorded.
class KV_PLATFORM_API RecordingUI : public UserInterface {
public:
  struct Box {
    std::string text, caption;
    unsigned style;
  };

  void print(const char* text) override { transcript_ += text; printed_ += text; }
  bool prompt(const char* prompt, std::string& answer) override;
  int messageBox(const char* text, const char* caption, unsigned style) override;

  void answer(const std::string& line) { answers_.push_back(line); }
  void answerBox(int button) { boxAnswers_.push_back(button); }
  // Everything printed, prompts and echoed answers included.
  const std::string& transcript() const { return transcript_; }
  // Only what was printed with print().
  const std::string& printed() const { return printed_; }
  const std::vector<Box>& boxes() const { return boxes_; }
  size_t answersLeft() const { return answers_.size(); }
  void clear() { transcript_.clear(); printed_.clear(); boxes_.clear(); }

private:
  std::deque<std::string> answers_;
  std::deque<int> boxAnswers_;
  std::string transcript_, printed_;
  std::vector<Box> boxes_;
};

}  // namespace kv
