// For tests: a user interface that answers from queues and records everything shown.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/ui.h"

namespace kv {

// What the user does in a dialog, for RecordingUI: new values by control id, then a button.
struct DialogAnswer {
  std::map<int, int> values;
  int button = 1;  // IDOK
};

// For tests: answers come from queues, and everything shown is recorded.
class RecordingUI : public UserInterface {
public:
  struct Box {
    std::string text, caption;
    unsigned style;
  };

  void print(const char* text) override { transcript_ += text; printed_ += text; }
  bool prompt(const char* prompt, std::string& answer) override;
  int messageBox(const char* text, const char* caption, unsigned style) override;

  struct ShellRequest {
    std::string file, parameters;
    int result;
  };

  // Records the dialog as shown, then applies the next queued answer; with none queued the
  // dialog is cancelled (as Escape does) and its values stay.
  int dialog(DialogView& view) override;
  // The next queued file answer; none queued, or a queued nullopt, is Cancel.
  bool fileDialog(const FileRequest& request, std::string& path) override;
  void about(const char* title) override { abouts_.push_back(title ? title : ""); }
  // Records the request; answers 2 for a missing file, else 42, as Windows would.
  int shellOpen(const std::string& file, const std::string& parameters) override;

  void answer(const std::string& line) { answers_.push_back(line); }
  void answerBox(int button) { boxAnswers_.push_back(button); }
  void answerDialog(DialogAnswer answer) { dialogAnswers_.push_back(std::move(answer)); }
  void answerFile(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
  // Dialogs as they were shown (before the user's answers), file dialog requests, About
  // titles and shell requests, in order.
  const std::vector<DialogView>& dialogs() const { return dialogs_; }
  const std::vector<FileRequest>& fileDialogs() const { return fileDialogs_; }
  const std::vector<std::string>& abouts() const { return abouts_; }
  const std::vector<ShellRequest>& shellRequests() const { return shellRequests_; }
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
  std::deque<DialogAnswer> dialogAnswers_;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::vector<DialogView> dialogs_;
  std::vector<FileRequest> fileDialogs_;
  std::vector<std::string> abouts_;
  std::vector<ShellRequest> shellRequests_;
};

}  // namespace kv
