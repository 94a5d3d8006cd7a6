#include "save.h"

#include <sys/stat.h>

#include "core/files.h"
#include "core/paths.h"
#include "core/ui.h"
#include "dxf/dxf.h"
#include "host/aced.h"
#include "host/keywords.h"

namespace kvhost {
namespace {

// What stands at path, links followed: null for a regular file or nothing.
const char* kindOf(const std::string& path) {
  struct stat st;
  if (::stat(kv::path::native(path).c_str(), &st) != 0 || S_ISREG(st.st_mode)) return nullptr;
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISFIFO(st.st_mode)) return "a named pipe";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "something else";
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(kv::path::native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string reason(const std::string& path, int error) {
  std::string text = kv::file::describe(error);
  if (error == kv::file::kNotRegularFile)
    if (const char* kind = kindOf(path)) text += std::string(" but ") + kind;
  return text;
}

// What a failed save left at path, told so that the user knows their file is whole.
std::string aftermath(const std::string& path) {
  if (isRegularFile(path)) return "; the file there was kept as it was";
  if (kindOf(path)) return "; what is there was left as it was";
  return "; nothing was written";
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A program names the file on the command line, Enter taking the drawing's own; a user gets
// the file dialog, as with FILEDIA 1. False when no name came.
bool askName(kv::Host& host, kv::CommandInput& in, const std::string& name, std::string& path) {
  if (!in.fromProgram()) {
    kv::FileRequest request;
    request.open = false;
    request.filters = {{"DXF (*.dxf)", "*.dxf"}};
    request.defaultExt = "dxf";
    request.initialName = name;
    return host.userInterface().fileDialog(request, path);
  }
  const std::string prompt = "Save drawing as" + (name.empty() ? std::string() : " <" + name + ">") + ": ";
  do {
    if (!in.next(prompt.c_str(), path)) return false;
    path = trim(path);
    if (path.empty()) path = name;
  } while (path.empty());
  return true;
}

int save(kv::Host& host, kv::CommandInput& in, std::string& name) {
  std::string path;
  if (!askName(host, in, name, path)) return in.fromProgram() ? RTCAN : RTNORM;
  kv::UserInterface& ui = host.userInterface();
  struct stat st;
  // Another file of that name is the user's: it goes only when they say so.
  if (path != name && ::stat(kv::path::native(path).c_str(), &st) == 0) {
    std::string answer;
    std::string question = path + " already exists.\nDo you want to replace it? [Yes/No] <No>: ";
    if (!in.next(question.c_str(), answer)) return RTCAN;
    if (!kv::matchesKeyword(trim(answer), "Yes")) {
      ui.print("Drawing not saved.\n");
      return RTNORM;
    }
  }
  std::string message;
  if (!saveDrawing(host.database(), path, message)) {
    ui.print((message + "\n").c_str());
    return RTERROR;
  }
  name = path;
  return RTNORM;
}

}  // namespace

std::string saveRefusal(const std::string& path) {
  int error = kv::file::checkReplace(path);
  return error ? "cannot save drawing " + path + ": " + reason(path, error) : std::string();
}

bool saveDrawing(AcDbDatabase& db, const std::string& path, std::string& message) {
  std::string why = saveRefusal(path);
  if (why.empty()) {
    std::string error;
    if (kv::dxf::writeDrawing(db, path, &error) == Acad::eOk) return true;
    why = "cannot save drawing " + path + ": " + error;
  }
  message = why + aftermath(path);
  return false;
}

void addSaveCommand(kv::Host& host, std::string& name) {
  host.addBuiltin("SAVE", [&host, &name](kv::CommandInput& in) { return save(host, in, name); });
}

}  // namespace kvhost
