// The one user-interface seam: the command line, message boxes, dialogs, file dialogs, the
// About box and the shell's open verb go through it. The console host plugs in the terminal
// (host/terminal_ui.h); tests plug in the recording one (testing/recording_ui.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/export.h"

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

// The interface everything shows itself through. With none installed (the platform used
// outside a host), text goes to standard output and every question is cancelled.
KV_PLATFORM_API UserInterface& currentUI();
// Installs ui (null: none); answers the one it replaces.
KV_PLATFORM_API UserInterface* setCurrentUI(UserInterface* ui);

// The text a user reads for a control or menu label: '&' marks dropped, "&&" kept as '&'.
KV_PLATFORM_API std::string withoutAccelerators(const std::string& label);

}  // namespace kv
