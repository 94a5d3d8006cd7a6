#include "testing/recording_ui.h"

#include <filesystem>

#include "win/box_buttons.h"
#include "win/winapi.h"

namespace kv {
namespace {

bool fileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace

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
  if (boxAnswers_.empty()) return boxButtons(style)[0].id;
  int id = boxAnswers_.front();
  boxAnswers_.pop_front();
  return id;
}

int RecordingUI::dialog(DialogView& view) {
  dialogs_.push_back(view);
  if (dialogAnswers_.empty()) return IDCANCEL;
  DialogAnswer answer = std::move(dialogAnswers_.front());
  dialogAnswers_.pop_front();
  for (DialogControl& c : view.controls) {
    auto it = answer.values.find(c.id);
    if (it != answer.values.end() && c.kind != DialogControl::Kind::kLabel && c.kind != DialogControl::Kind::kButton)
      c.value = it->second;
  }
  return answer.button;
}

bool RecordingUI::fileDialog(const FileRequest& request, std::string& path) {
  fileDialogs_.push_back(request);
  if (fileAnswers_.empty()) return false;
  std::optional<std::string> answer = std::move(fileAnswers_.front());
  fileAnswers_.pop_front();
  if (!answer) return false;
  path = *answer;
  return true;
}

int RecordingUI::shellOpen(const std::string& file, const std::string& parameters) {
  int result = fileExists(file) ? 42 : kShellFileNotFound;
  shellRequests_.push_back(ShellRequest{file, parameters, result});
  return result;
}
}  // namespace kv
