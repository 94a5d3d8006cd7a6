// kvhost: the console host. Starts a drawing, loads the module, runs the command line from a
// script or the terminal, and saves the drawing. See DESIGN.md for the command line.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command_loop.h"
#include "end_signals.h"
#include "core/files.h"
#include "dxf/dxf.h"
#include "host/appservices.h"
#include "host/host.h"
#include "host/terminal_ui.h"
#include "module.h"
#include "options.h"
#include "save.h"
#include "temp_folder.h"

namespace {

using namespace kvhost;

void complain(const std::string& message) { std::fprintf(stderr, "kvhost: %s\n", message.c_str()); }

// What the host does not model is kept and saved as read; the user hears what that was, and
// what was left out.
void noteKept(const std::string& path, const kv::dxf::ReadReport& report) {
  std::string kept;
  for (const auto& [type, n] : report.unsupported) kept += ", " + std::to_string(n) + " " + type;
  std::string objects;
  for (const auto& [type, n] : report.keptObjects) objects += ", " + std::to_string(n) + " " + type;
  if (kept.empty() && report.notes.empty()) return;
  std::string line = path + " (" + report.version + "): " + std::to_string(report.entitiesRead) + " entities read";
  if (!kept.empty()) line += "; kept as read, not modelled: " + kept.substr(2);
  if (!objects.empty()) line += "; objects and table records kept as read: " + objects.substr(2);
  if (report.skipped > 0) line += "; " + std::to_string(report.skipped) + " left out";
  complain(line);
  for (const std::string& note : report.notes) complain(path + ": " + note);
}

bool readDrawing(kv::Host& host, const std::string& path) {
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  kv::dxf::ReadReport report;
  if (kv::dxf::readDrawing(path, db, error, &report) != Acad::eOk || !db) {
    complain("cannot read drawing " + path + ": " + (error.empty() ? "unknown reason" : error));
    return false;
  }
  host.setDatabase(std::move(db));
  noteKept(path, report);
  return true;
}

// A kvhost without its module would run only the built-in commands and look as if it worked.
bool loadModule(kv::Host& host, const Options& options) {
  if (options.noLoad) return true;
  std::string path = options.module;
  if (path.empty()) {
    std::vector<std::string> candidates = defaultModuleCandidates();
    path = firstExisting(candidates);
    if (path.empty()) {
      std::string looked;
      for (const std::string& candidate : candidates) looked += (looked.empty() ? "" : ", ") + candidate;
      complain("cannot find the module Kavlor.arx; looked for " + looked + " (--no-load runs without it)");
      return false;
    }
  }
  std::string error;
  if (!host.applications().load(path, error)) {
    complain(error);
    return false;
  }
  return true;
}

// The reason a script cannot be read, in the words a user looks for.
std::string unreadableReason(int error) {
  switch (error) {
    case ENOENT: return "not found";
    case EACCES: return "permission denied";
    case EISDIR: return "is a folder";
    default: return kv::file::describe(error);
  }
}

// The whole script, without the byte-order mark an editor may have put at its start: the mark
// is invisible, and would make the first command unknown.
bool readScript(const std::string& path, std::string& text, std::string& error) {
  int status = kv::file::readWhole(path, text);
  if (status != 0) {
    error = "cannot read script " + path + ": " + unreadableReason(status);
    return false;
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return true;
}

bool saveAtEnd(kv::Host& host, const std::string& path) {
  std::string message;
  if (saveDrawing(host.database(), path, message)) return true;
  complain(message);
  return false;
}

int run(const Options& options) {
  // A target that cannot take the drawing is refused before any work is done for it.
  if (!options.save.empty()) {
    std::string refusal = saveRefusal(options.save);
    if (!refusal.empty()) {
      complain(refusal + "; nothing was run");
      return kExitDrawing;
    }
  }
  bool scripted = !options.script.empty();
  std::string error;
  std::istringstream script;
  if (scripted) {
    std::string text;
    if (!readScript(options.script, text, error)) {
      complain(error);
      return kExitUsage;
    }
    script.str(std::move(text));
  }
  // Only the commands that need the folder fail without it; the rest of the run can go on.
  TempFolder temp;
  std::string note;
  bool haveTemp = temp.create(error, note);
  if (!note.empty()) complain(note);
  if (!haveTemp) complain(error + "; commands that need a temporary folder will fail");
  kv::TerminalUI ui(scripted ? static_cast<std::istream&>(script) : std::cin, std::cout, scripted);
  // The host's dynamic linker closes the module libraries after the drawing is gone.
  kv::Host host(ui, options.release);
  if (!options.drawing.empty() && !readDrawing(host, options.drawing)) return kExitDrawing;
  // SAVE writes where the run saves, or back to the drawing read.
  std::string drawingName = options.save.empty() ? options.drawing : options.save;
  addSaveCommand(host, drawingName);
  if (!loadModule(host, options)) return kExitUsage;

  LoopResult loop = runCommandLoop(host, ui, scripted);
  if (!scripted) std::cout << "\n";
  if (int signo = endSignal()) {
    complain(std::string(signo == SIGINT ? "SIGINT" : "SIGTERM") + ": the run ended; nothing was saved");
    host.applications().unloadAll();
    return kExitSignalled + signo;
  }
  int status = kExitOk;
  if (loop.failed && scripted) {
    complain(options.script + ":" + std::to_string(loop.failedLine) +
             ": " + (loop.reason.empty() ? "command failed" : loop.reason) + "; the script stopped there");
    status = kExitScriptFailed;
  }
  // A failed script still saves: what ran before the failure is the drawing the user has.
  if (!options.save.empty() && !saveAtEnd(host, options.save)) status = kExitDrawing;
  host.applications().unloadAll();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  catchEndSignals();
  Options options;
  std::string error;
  switch (parseOptions(argc, argv, options, error)) {
    case ParseResult::kHelp:
      std::fputs(usageText(), stdout);
      return kExitOk;
    case ParseResult::kUsageError:
      complain(error);
      std::fputs(usageText(), stderr);
      return kExitUsage;
    case ParseResult::kRun:
      break;
  }
  return run(options);
}
