// The one user-interface seam: the command line, message boxes, dialogs, file dialogs, the
// About box and the shell's open verb go through it. The console host plugs in the terminal;
// tests plug in the recording one.
#pragma once

#include <deque>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win/platform_export.h"

namespace kv {

// A modal dialog as the user sees it: its caption and the controls the user can answer, in
// template (tab) order. The dialog machinery fills it; the interface lets the user change the
// values of sliders and check boxes and answers the button chosen.
struct DialogControl {
  enum class Kind { kSlider, kCheckBox, kButton, kLabel };
  Kind kind = Kind::kLabel;
  int id = -1;
  // A check box's or button's text (with its '&'), a label's text, a slider's name (the label
  // to its left on its row; empty when none).
  std::string text;
  int value = 0;           // slider position; check box state 0 or 1
  int min = 0, max = 100;  // slider range
  // A slider's labels below it, left to right, with the position each stands at.
  std::vector<std::pair<std::string, int>> marks;
};

struct DialogView {
  std::string caption;
  std::vector<DialogControl> controls;
};

// What the user does in a dialog, for RecordingUI: new values by control id, then a button.
struct DialogAnswer {
  std::map<int, int> values;
  int button = 1;  // IDOK
};

// The file dialog's request: open or save, its filter as (description, patterns) pairs.
struct FileRequest {
  bool open = true;
  std::vector<std::pair<std::string, std::string>> filters;
  std::string defaultExt, initialName;
};

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
  // Shows a modal dialog; the user may change the values in view. Answers the id of the button
  // chosen (IDOK, IDCANCEL); IDCANCEL when the user cancels or the input ends.
  virtual int dialog(DialogView& view) = 0;
  // Asks for a file name. False when the user cancels (or the input ends); path as typed.
  virtual bool fileDialog(const FileRequest& request, std::string& path) = 0;
  // The About box with its title and one OK button.
  virtual void about(const char* title) = 0;
  // The shell's open verb on a file (a native path). Answers as ShellExecute: above 32 when
  // the file was handed to a viewer, 2 for a missing file, 31 when nothing can open it.
  virtual int shellOpen(const std::string& file, const std::string& parameters) = 0;
};

// The Windows results of the open verb.
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellNoAssociation = 31;

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

private:
  std::istream& in_;
  std::ostream& out_;
  bool echo_;
  int lines_ = 0;
  bool ended_ = false;
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

// The text a user reads for a control or menu label: '&' marks dropped, "&&" kept as '&'.
KV_PLATFORM_API std::string withoutAccelerators(const std::string& label);

}  // namespace kv
