#include "host/terminal_ui.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <ostream>

#include "core/numbers.h"
#include "win/box_buttons.h"
#include "win/winapi.h"

extern char** environ;

namespace kv {

void TerminalUI::print(const char* text) { out_ << text << std::flush; }

bool TerminalUI::prompt(const char* text, std::string& answer) {
  out_ << text << std::flush;
  std::string line;
  for (;;) {
    if (!std::getline(in_, line)) {
      ended_ = true;
      if (echo_) out_ << "\n";
      return false;
    }
    ++lines_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (echo_ && !line.empty() && line[0] == ';') continue;
    break;
  }
  if (echo_) out_ << line << "\n";
  answer = line;
  return true;
}

int TerminalUI::messageBox(const char* text, const char* caption, unsigned style) {
  std::span<const BoxButton> buttons = boxButtons(style);
  out_ << "\n[" << caption << "]\n" << text << "\n";
  std::string choices;
  for (const BoxButton& b : buttons) choices += std::string(choices.empty() ? "" : "/") + b.word;
  for (;;) {
    std::string line;
    if (!prompt(("<" + choices + ">: ").c_str(), line)) {
      if (buttons.size() != 1) return closedBoxAnswer(style);
      // A box with one button has nothing to decide: the end of the input takes it, and is
      // found again at the next prompt.
      ended_ = false;
      return buttons[0].id;
    }
    // "*Cancel*" is Escape: it closes the box as its close button does.
    if (strcasecmp(line.c_str(), "*Cancel*") == 0) return closedBoxAnswer(style);
    // Enter takes the first button, as the default button of a box does.
    if (line.empty()) return buttons[0].id;
    for (const BoxButton& b : buttons)
      if (std::toupper(static_cast<unsigned char>(line[0])) == b.word[0]) return b.id;
    // Asking a script again would take its next command as the answer.
    if (echo_) {
      refusalLine_ = lines_;
      refusal_ = "the answer \"" + line + "\" matches none of the buttons " + choices;
      out_ << "Requires one of " << choices << ".\n";
      return closedBoxAnswer(style);
    }
  }
}


}  // namespace kv

namespace kv {

namespace {

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool isCancelAnswer(const std::string& line) { return strcasecmp(trimmed(line).c_str(), "*Cancel*") == 0; }

bool fileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

// A whole decimal integer with an optional sign; one past long long's range is held at its
// ends, as the slider it answers will be.
bool parseInteger(std::string_view text, long long& value) {
  switch (kv::parseNumber(text, value)) {
    case NumberParse::kOk:
      return true;
    case NumberParse::kOutOfRange:
      value = kv::trimBlanks(text).front() == '-' ? LLONG_MIN : LLONG_MAX;
      return true;
    default:
      return false;
  }
}

int clampTo(long long v, int lo, int hi) { return int(std::max<long long>(lo, std::min<long long>(hi, v))); }

// The words a button answers to: its text without '&', or its first letter.
bool matchesButton(const std::string& answer, const std::string& text) {
  std::string word = withoutAccelerators(text);
  std::string a = trimmed(answer);
  return !a.empty() && a.size() <= word.size() && strncasecmp(a.c_str(), word.c_str(), a.size()) == 0;
}

}  // namespace

int TerminalUI::dialog(DialogView& view) {
  out_ << "\n[" << view.caption << "]\n";
  std::vector<const DialogControl*> buttons;
  for (DialogControl& c : view.controls) {
    std::string line;
    switch (c.kind) {
      case DialogControl::Kind::kLabel:
        out_ << withoutAccelerators(c.text) << "\n";
        break;
      case DialogControl::Kind::kButton:
        buttons.push_back(&c);
        break;
      case DialogControl::Kind::kSlider: {
        std::string name = c.text.empty() ? "Slider " + std::to_string(c.id) : withoutAccelerators(c.text);
        std::string scale = std::to_string(c.min) + " to " + std::to_string(c.max);
        if (!c.marks.empty()) {
          scale += ":";
          for (const auto& [label, at] : c.marks) scale += " " + label + " " + std::to_string(at) + ",";
          scale.pop_back();
        }
        std::string question = name + " (" + scale + ") <" + std::to_string(c.value) + ">: ";
        for (;;) {
          if (!prompt(question.c_str(), line) || isCancelAnswer(line)) return IDCANCEL;
          std::string a = trimmed(line);
          if (a.empty()) break;
          long long v = 0;
          auto mark = std::find_if(c.marks.begin(), c.marks.end(),
                                   [&](const auto& m) { return strcasecmp(m.first.c_str(), a.c_str()) == 0; });
          if (mark != c.marks.end()) {
            c.value = mark->second;
          } else if (parseInteger(a, v)) {
            c.value = clampTo(v, c.min, c.max);  // a slider stops at its ends
          } else {
            out_ << "Requires an integer value or a label.\n";
            continue;
          }
          break;
        }
        break;
      }
      case DialogControl::Kind::kCheckBox: {
        std::string question = withoutAccelerators(c.text) + " [Yes/No] <" + (c.value ? "Yes" : "No") + ">: ";
        for (;;) {
          if (!prompt(question.c_str(), line) || isCancelAnswer(line)) return IDCANCEL;
          std::string a = trimmed(line);
          if (a.empty()) break;
          if (matchesButton(a, "Yes") || a == "1" || strcasecmp(a.c_str(), "on") == 0) c.value = 1;
          else if (matchesButton(a, "No") || a == "0" || strcasecmp(a.c_str(), "off") == 0) c.value = 0;
          else {
            out_ << "Requires Yes or No.\n";
            continue;
          }
          break;
        }
        break;
      }
    }
  }
  if (buttons.empty()) return IDCANCEL;
  std::string choices;
  for (const DialogControl* b : buttons) choices += (choices.empty() ? "" : "/") + withoutAccelerators(b->text);
  // Enter presses the first button, the dialog's default one.
  std::string question = "[" + choices + "] <" + withoutAccelerators(buttons[0]->text) + ">: ";
  for (;;) {
    std::string line;
    if (!prompt(question.c_str(), line) || isCancelAnswer(line)) return IDCANCEL;
    if (trimmed(line).empty()) return buttons[0]->id;
    for (const DialogControl* b : buttons)
      if (matchesButton(line, b->text)) return b->id;
    out_ << "Choose one of " << choices << ".\n";
  }
}

bool TerminalUI::fileDialog(const FileRequest& request, std::string& path) {
  out_ << "\n[" << (request.open ? "Open" : "Save As") << "]\n";
  for (const auto& [description, patterns] : request.filters) out_ << "Files of type: " << description << "\n";
  std::string question = "File name" + (request.initialName.empty() ? std::string() : " <" + request.initialName + ">") + ": ";
  for (;;) {
    std::string line;
    if (!prompt(question.c_str(), line) || isCancelAnswer(line)) return false;
    std::string a = trimmed(line);
    if (a.empty()) a = request.initialName;
    // An empty name does nothing in the dialog: it stays open.
    if (a.empty()) continue;
    path = a;
    return true;
  }
}

void TerminalUI::about(const char* title) {
  std::string t = title ? title : "";
  out_ << "\n[About " << t << "]\n" << t << "\n";
  std::string line;
  // One OK button: any answer, or the end of the input, closes the box.
  prompt("<OK>: ", line);
}

namespace {

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

int TerminalUI::shellOpen(const std::string& file, const std::string&) {
  if (!fileExists(file)) return kShellFileNotFound;
  if (!onPath("xdg-open")) return kShellNoAssociation;
  // The shell starts xdg-open in the background and exits at once, so the host neither waits
  // for the viewer nor leaves a child behind; the file goes as "$1", never through quoting.
  const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 </dev/null &", "sh", file.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
    return kShellNoAssociation;
  int status = 0;
  waitpid(pid, &status, 0);
  return 42;
}

}  // namespace kv
