#include "ui.h"

#include <cctype>
#include <istream>
#include <ostream>

#include "win/winapi.h"

namespace kv {

void TerminalUI::print(const char* text) { out_ << text << std::flush; }

bool TerminalUI::prompt(const char* text, std::string& answer) {
  out_ << text << std::flush;
  std::string line;
  for (;;) {
    if (!std::getline(in_, line)) {
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

namespace {

// The buttons a style offers, as the words a user types, with the answer of each.
struct Button {
  const char* word;
  int id;
};

int chooseButtons(unsigned style, const Button*& buttons) {
  static const Button ok[] = {{"OK", IDOK}};
  static const Button okCancel[] = {{"OK", IDOK}, {"Cancel", IDCANCEL}};
  static const Button abortRetry[] = {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
  static const Button yesNoCancel[] = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
  static const Button yesNo[] = {{"Yes", IDYES}, {"No", IDNO}};
  static const Button retryCancel[] = {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = okCancel; return 2;
    case MB_ABORTRETRYIGNORE: buttons = abortRetry; return 3;
    case MB_YESNOCANCEL: buttons = yesNoCancel; return 3;
    case MB_YESNO: buttons = yesNo; return 2;
    case MB_RETRYCANCEL: buttons = retryCancel; return 2;
    default: buttons = ok; return 1;
  }
}

// The answer a box gives when its input ends: Cancel where there is one, else the last button.
int closedAnswer(const Button* buttons, int n) {
  for (int i = 0; i < n; ++i)
    if (buttons[i].id == IDCANCEL) return IDCANCEL;
  return buttons[n - 1].id;
}

}  // namespace

int TerminalUI::messageBox(const char* text, const char* caption, unsigned style) {
  const Button* buttons = nullptr;
  int n = chooseButtons(style, buttons);
  out_ << "\n[" << caption << "]\n" << text << "\n";
  std::string choices;
  for (int i = 0; i < n; ++i) choices += std::string(i ? "/" : "") + buttons[i].word;
  for (;;) {
    std::string line;
    if (!prompt(("<" + choices + ">: ").c_str(), line)) return closedAnswer(buttons, n);
    // Enter takes the first button, as the default button of a box does.
    if (line.empty()) return buttons[0].id;
    for (int i = 0; i < n; ++i)
      if (std::toupper(static_cast<unsigned char>(line[0])) == buttons[i].word[0]) return buttons[i].id;
  }
}

bool RecordingUI::prompt(const char* text, std::string& answer) {
  transcript_ += text;
  if (answers_.empty()) {
    transcript_ += "\n";
    return false;
  }
  answer = answers_.front();
  answers_.pop_front();
  transcript_ += answer + "\n";
  return true;
}

int RecordingUI::messageBox(const char* text, const char* caption, unsigned style) {
  boxes_.push_back(Box{text, caption, style});
  if (boxAnswers_.empty()) {
    const Button* buttons = nullptr;
    chooseButtons(style, buttons);
    return buttons[0].id;
  }
  int id = boxAnswers_.front();
  boxAnswers_.pop_front();
  return id;
}

}  // namespace kv
