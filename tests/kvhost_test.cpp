// End-to-end tests of the console host: kvhost runs as a child process on a script written to a
// private folder, and the tests read its transcript, its complaints and its exit status.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "host/acdb.h"
#include "host/aced.h"
#include "testing/faults.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"

extern char** environ;

#include "test_files.h"

namespace {

namespace fs = std::filesystem;

const std::string kKvhost = KV_BIN_DIR "/kvhost";

struct Outcome {
  int status = -1;  // exit status, or -1 when kvhost did not exit normally
  std::string out;  // the transcript
  std::string err;  // kvhost's complaints
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Each test gets its own folder, which is also the child's TMPDIR, so that the temporary
// folder kvhost makes for its run can be looked for afterwards.
class KvhostTest : public ::testing::Test {
protected:
  fs::path path(const std::string& name) const { return dir_ / name; }

  // Runs kvhost with args; script, when given, is written to a file and passed with -s.
  // stdinText feeds the terminal of an interactive run.
  Outcome run(std::vector<std::string> args, const std::string* script = nullptr, const std::string& stdinText = "",
          const std::vector<std::string>& extraEnv = {}) {
    if (script) {
      writeFile(path("input.scr"), *script);
      args.insert(args.begin(), {"-s", path("input.scr").string()});
    }
    writeFile(path("stdin.txt"), stdinText);
    std::vector<std::string> argStrings = {exe_};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "TMPDIR=", 7) != 0) envStrings.push_back(*e);
    bool ownTmpdir = std::any_of(extraEnv.begin(), extraEnv.end(),
                                 [](const std::string& e) { return e.rfind("TMPDIR=", 0) == 0; });
    if (!ownTmpdir) envStrings.push_back("TMPDIR=" + dir_.string());
    envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string in = path("stdin.txt").string(), out = path("stdout.txt").string(), err = path("stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, exe_.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome result;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << exe_ << ": " << std::strerror(spawned);
      return result;
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
  }

  Outcome runScript(const std::string& script, std::vector<std::string> args = {"--no-load"}) {
    return run(std::move(args), &script);
  }

  // The run folders kvhost left in TMPDIR.
  std::vector<fs::path> leftoverRunFolders() const {
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().filename().string().rfind("kvhost-", 0) == 0) left.push_back(entry.path());
    return left;
  }

  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
  std::string exe_ = kKvhost;  // the kvhost that runs
};

// The value a transcript line "label<value>" shows, the first after position from.
std::string shownAfter(const std::string& text, const std::string& label, size_t from = 0) {
  size_t at = text.find(label, from);
  if (at == std::string::npos) return "(not shown)";
  at += label.size();
  size_t end = text.find('>', at);
  return text.substr(at, end - at);
}

// ---------------------------------------------------------------------------------------------
// Scripts and their transcript

TEST_F(KvhostTest, ScriptTranscriptEchoesAnswersAfterPrompts) {
  Outcome r = runScript("; a comment line is skipped\nSETVAR\nFACETRES\n2.5\nSETVAR\nfacetres\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Command: SETVAR\nEnter variable name or [?]: FACETRES\n"
                       "Enter new value for FACETRES <0.5>: 2.5\n"
                       "Command: SETVAR\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("a comment line"), std::string::npos) << r.out;
  // The run ends at the end of the script, at a Command prompt.
  EXPECT_EQ(r.out.substr(r.out.size() - 10), "Command: \n") << r.out;
}

TEST_F(KvhostTest, SetvarChangesFacetresAndRefusesOutOfRangeValues) {
  Outcome r = runScript(
      "SETVAR\nFACETRES\n2.5\n"
      "SETVAR\nFACETRES\n20\n\n"        // refused, then Enter keeps 2.5
      "SETVAR\nFACETRES\n0.001\n7\n"    // refused, then a good value
      "SETVAR\nFACETRES\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string label = "Enter new value for FACETRES <";
  size_t second = r.out.find(label, r.out.find(label) + 1);
  EXPECT_EQ(shownAfter(r.out, label, second), "2.5") << r.out;
  EXPECT_EQ(count(r.out, "Value must be between 0.01 and 10.\n"), 2u) << r.out;
  size_t last = r.out.rfind(label);
  EXPECT_EQ(shownAfter(r.out, label, last), "7") << r.out;
}

TEST_F(KvhostTest, CancelEndsTheCommandWithoutFailingTheScript) {
  Outcome r = runScript("SETVAR\nFACETRES\n*cancel*\nSETVAR\nFACETRES\n\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("<0.5>: *cancel*\n*Cancel*\nCommand: SETVAR\n"), std::string::npos) << r.out;
  EXPECT_EQ(shownAfter(r.out, "FACETRES <", r.out.rfind("FACETRES <")), "0.5");
}

TEST_F(KvhostTest, CommandNamesAreTrimmedAndTakeTheHostsMarks) {
  Outcome r = runScript("   _.setvar  \nFACETRES\n3\n._SETVAR\nFACETRES\n\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(shownAfter(r.out, "FACETRES <", r.out.rfind("FACETRES <")), "3") << r.out;
}

TEST_F(KvhostTest, EnterAtTheCommandPromptRepeatsTheLastCommand) {
  // Enter before any command runs nothing; a line of blanks is Enter too.
  Outcome r = runScript("\nSETVAR\nFACETRES\n3\n \t\nFACETRES\n4\n\nFACETRES\n\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(count(r.out, "Enter variable name"), 3u) << r.out;
  EXPECT_EQ(shownAfter(r.out, "FACETRES <", r.out.rfind("FACETRES <")), "4") << r.out;
  // A cancelled command is still the last one.
  Outcome cancelled = runScript("SETVAR\n*Cancel*\n\nFACETRES\n6\nSETVAR\nFACETRES\n\n");
  EXPECT_EQ(cancelled.status, 0) << cancelled.out << cancelled.err;
  EXPECT_EQ(shownAfter(cancelled.out, "FACETRES <", cancelled.out.rfind("FACETRES <")), "6") << cancelled.out;
  Outcome typed = run({"--no-load"}, nullptr, "SETVAR\nFACETRES\n2\n\nFACETRES\n\n");
  EXPECT_EQ(typed.status, 0) << typed.err;
  EXPECT_NE(typed.out.find("Enter new value for FACETRES <2>: "), std::string::npos) << typed.out;
}

// ---------------------------------------------------------------------------------------------
// Failing scripts: status 1, the rest of the script is not run

TEST_F(KvhostTest, UnknownCommandFailsTheScriptAndStopsIt) {
  Outcome r = runScript("SETVAR\nFACETRES\n2\nFOO\nSETVAR\nFACETRES\n3\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Command: FOO\nUnknown command \"FOO\".  Press F1 for help.\n"), std::string::npos) << r.out;
  EXPECT_EQ(count(r.out, "Enter variable name"), 1u) << "lines after the failure ran:\n" << r.out;
  EXPECT_NE(r.err.find("input.scr:4:"), std::string::npos) << r.err;
}

TEST_F(KvhostTest, RefusedAnswerFailsTheScriptAtItsLine) {
  Outcome r = runScript("; zoom with an option it does not have\nZOOM\nSideways\nSETVAR\nFACETRES\n3\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Invalid option keyword."), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Enter variable name"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("input.scr:3:"), std::string::npos) << r.err;
}

TEST_F(KvhostTest, ScriptEndingInsideACommandFails) {
  Outcome r = runScript("SETVAR\nFACETRES\n");
  EXPECT_EQ(r.status, 1) << r.out;
}

TEST_F(KvhostTest, ZoomExtentsOnAnEmptyDrawingSucceeds) {
  Outcome r = runScript("ZOOM\nExtents\nZOOM\na\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST_F(KvhostTest, InteractiveRunGoesOnAfterAFailureAndEndsWithStatus0) {
  Outcome r = run({"--no-load"}, nullptr, "FOO\nSETVAR\nFACETRES\n2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Unknown command \"FOO\".  Press F1 for help.\n"), std::string::npos) << r.out;
  // Answers typed at a terminal are not echoed: the terminal shows them already.
  EXPECT_NE(r.out.find("Command: Enter variable name or [?]: Enter new value for FACETRES <0.5>: Command: "),
            std::string::npos)
      << r.out;
}

// ---------------------------------------------------------------------------------------------
// Options

TEST_F(KvhostTest, ReleaseOptionSetsTheVersionLetter) {
  const std::string script = "SETVAR\n_VERNUM\n";
  Outcome r2004 = runScript(script, {"--no-load", "-r", "2004"});
  EXPECT_EQ(r2004.status, 0) << r2004.err;
  EXPECT_NE(r2004.out.find("_VERNUM = \"V"), std::string::npos) << r2004.out;
  EXPECT_NE(r2004.out.find("(read only)"), std::string::npos) << r2004.out;
  Outcome r2000i = runScript(script, {"--no-load", "--release=2000i"});
  EXPECT_NE(r2000i.out.find("_VERNUM = \"U"), std::string::npos) << r2000i.out;
  Outcome byDefault = runScript(script);
  EXPECT_NE(byDefault.out.find("_VERNUM = \"E"), std::string::npos) << byDefault.out;
}

TEST_F(KvhostTest, UsageErrorsGiveStatus2) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
      {"-r", "1999"},
      {"-r"},
      {"--no-load", "-s"},
      {"--no-load", "a.dxf", "b.dxf"},
      {"--no-load", "-l", "x.arx"},
      {"--no-load", "-s", path("no-such.scr").string()},
  };
  for (const auto& args : bad) {
    Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_NE(r.err.find("kvhost: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Command:"), std::string::npos) << "a refused command line still ran:\n" << r.out;
  }
  Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--release YEAR"), std::string::npos) << help.out;
}

TEST_F(KvhostTest, ScriptThatCannotBeReadIsAUsageErrorWithItsReason) {
  fs::create_directory(path("folder.scr"));
  writeFile(path("locked.scr"), "SETVAR\nFACETRES\n2\n");
  fs::permissions(path("locked.scr"), fs::perms::none);
  bool permissionsHold = geteuid() != 0;  // root reads a file whatever its mode
  const std::vector<std::pair<std::string, std::string>> cases = {
      {path("folder.scr").string(), "is a folder"},
      {path("missing.scr").string(), "not found"},
      {path("locked.scr").string(), "permission denied"},
  };
  for (const auto& [script, reason] : cases) {
    if (reason == "permission denied" && !permissionsHold) continue;
    Outcome r = run({"--no-load", "-s", script});
    EXPECT_EQ(r.status, 2) << script << ": " << r.err;
    EXPECT_NE(r.err.find("cannot read script " + script + ": " + reason), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Command:"), std::string::npos) << r.out;
  }
}

TEST_F(KvhostTest, ByteOrderMarkAtTheStartOfAScriptIsSkipped) {
  Outcome r = runScript("\xEF\xBB\xBFSETVAR\nFACETRES\n2\nSETVAR\nFACETRES\n\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Command: SETVAR\n"), std::string::npos) << r.out;
  EXPECT_EQ(shownAfter(r.out, "FACETRES <", r.out.rfind("FACETRES <")), "2") << r.out;
  // Only the mark at the start is the editor's: one further on is part of what the user wrote.
  Outcome inside = runScript("SETVAR\nFACETRES\n2\n\xEF\xBB\xBFSETVAR\n");
  EXPECT_EQ(inside.status, 1) << inside.out;
}

TEST_F(KvhostTest, AfterDoubleDashEveryArgumentIsTheDrawing) {
  // "-s" and "--help" name drawings here: no script option wanting its file, no help.
  for (const char* name : {"-s", "--help"}) {
    Outcome r = run({"--no-load", "--", name});
    EXPECT_EQ(r.status, 3) << name << ": " << r.err;
    EXPECT_NE(r.err.find(std::string("cannot read drawing ") + name), std::string::npos) << r.err;
  }
  // Options still count before it, and one drawing is all a run takes.
  Outcome two = run({"--no-load", "--", "a.dxf", "b.dxf"});
  EXPECT_EQ(two.status, 2) << two.err;
  std::string script = "SETVAR\nFACETRES\n2\n";
  Outcome saved = runScript(script, {"--no-load", "-o", path("out.dxf").string(), "--", path("new.dxf").string()});
  EXPECT_EQ(saved.status, 3) << saved.err;  // the drawing after -- is read, and it is missing
  EXPECT_NE(saved.err.find("new.dxf"), std::string::npos) << saved.err;
}

// ---------------------------------------------------------------------------------------------
// The temporary folder and the module

TEST_F(KvhostTest, ModuleGetsInitThenUnloadWithTempAlreadySet) {
  Outcome r = runScript("SETVAR\nFACETRES\n2\n", {"-l", KV_ECHO_MODULE});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string init = "echo_module: kInitAppMsg appId=set temp=";
  size_t initAt = r.out.find(init);
  ASSERT_NE(initAt, std::string::npos) << r.out;
  size_t unloadAt = r.out.find("echo_module: message 2\n");
  ASSERT_NE(unloadAt, std::string::npos) << r.out;
  EXPECT_LT(initAt, r.out.find("Command: ")) << "init must come before the first command:\n" << r.out;
  EXPECT_GT(unloadAt, r.out.rfind("Command: ")) << "unload must come after the last command:\n" << r.out;
  EXPECT_EQ(count(r.out, "echo_module:"), 2u) << r.out;

  // The folder named at init was private, inside TMPDIR, and is gone after the run.
  size_t pathAt = initAt + init.size();
  std::string temp = r.out.substr(pathAt, r.out.find(" mode=", pathAt) - pathAt);
  EXPECT_EQ(fs::path(temp).parent_path(), dir_) << temp;
  EXPECT_NE(r.out.find(" mode=700\n", pathAt), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(temp)) << temp;
  EXPECT_TRUE(leftoverRunFolders().empty());
}

TEST_F(KvhostTest, TmpdirThatCannotTakeAFolderFallsBackToTmp) {
  writeFile(path("plain-file"), "not a folder");
  for (const std::string& tmpdir : {path("missing").string(), path("plain-file").string(), std::string()}) {
    Outcome r = run({"-l", KV_ECHO_MODULE}, nullptr, "SETVAR\nFACETRES\n2\n", {"TMPDIR=" + tmpdir});
    EXPECT_EQ(r.status, 0) << tmpdir << ": " << r.err;
    const std::string init = "echo_module: kInitAppMsg appId=set temp=";
    size_t pathAt = r.out.find(init);
    ASSERT_NE(pathAt, std::string::npos) << r.out;
    pathAt += init.size();
    std::string temp = r.out.substr(pathAt, r.out.find(" mode=", pathAt) - pathAt);
    EXPECT_EQ(fs::path(temp).parent_path(), "/tmp") << temp;
    EXPECT_NE(r.out.find(" mode=700\n", pathAt), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(temp)) << temp;
    // Only a TMPDIR that was given and refused is worth a word.
    bool noted = r.err.find("cannot make a temporary folder in " + tmpdir + ": ") != std::string::npos &&
                 r.err.find("using /tmp instead") != std::string::npos;
    EXPECT_EQ(noted, !tmpdir.empty()) << r.err;
  }
}

// SIGINT and SIGTERM sent while kvhost waits at a prompt of the terminal (a pipe no one writes).
TEST_F(KvhostTest, EndSignalsRemoveTheTempFolderSaveNothingAndSaySo) {
  for (int signo : {SIGINT, SIGTERM}) {
    std::string saveTo = path("out.dxf").string();
    std::vector<std::string> argStrings = {exe_, "-l", KV_ECHO_MODULE, "-o", saveTo};
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = {"TMPDIR=" + dir_.string()};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "TMPDIR=", 7) != 0) envStrings.push_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    int feed[2];
    ASSERT_EQ(pipe(feed), 0);
    std::string out = path("stdout.txt").string(), err = path("stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, feed[0], 0);
    posix_spawn_file_actions_addclose(&actions, feed[1]);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe_.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(feed[0]);
    // A command answered, then kvhost waits at the next prompt.
    const std::string typed = "SETVAR\nFACETRES\n2\n";
    ASSERT_EQ(write(feed[1], typed.data(), typed.size()), ssize_t(typed.size()));
    for (int i = 0; i < 500 && count(readFile(out), "Command: ") < 2; ++i) usleep(10000);
    ASSERT_EQ(count(readFile(out), "Command: "), 2u) << readFile(out);
    kill(pid, signo);
    int wstatus = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && ended == 0; ++i) {
      ended = waitpid(pid, &wstatus, WNOHANG);
      if (ended == 0) usleep(10000);
    }
    if (ended == 0) {  // still waiting for the terminal: the signal did not end the run
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      close(feed[1]);
      FAIL() << "kvhost went on after the signal";
    }
    close(feed[1]);
    ASSERT_TRUE(WIFEXITED(wstatus)) << "kvhost died of the signal instead of ending the run";
    EXPECT_EQ(WEXITSTATUS(wstatus), 128 + signo);
    std::string said = readFile(err);
    EXPECT_NE(said.find(signo == SIGINT ? "SIGINT: the run ended; nothing was saved" : "SIGTERM: the run ended"),
              std::string::npos) << said;
    EXPECT_FALSE(fs::exists(saveTo));
    EXPECT_NE(readFile(out).find("echo_module: message 2\n"), std::string::npos) << "the module was not unloaded";
    EXPECT_TRUE(leftoverRunFolders().empty());
  }
}

TEST_F(KvhostTest, TempFolderIsRemovedWithItsContentsAfterAFailedRun) {
  Outcome r = runScript("FOO\n", {"-l", KV_ECHO_MODULE});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("echo_module: message 2\n"), std::string::npos) << "a failed script still unloads:\n" << r.out;
  EXPECT_TRUE(leftoverRunFolders().empty());
}

TEST_F(KvhostTest, ModulesThatCannotStartGiveStatus2) {
  const std::string script = "SETVAR\nFACETRES\n2\n";
  Outcome missing = runScript(script, {"-l", path("nothing-here.arx").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("nothing-here.arx"), std::string::npos) << missing.err;

  Outcome noEntry = runScript(script, {"-l", KV_NO_ENTRY_MODULE});
  EXPECT_EQ(noEntry.status, 2);
  EXPECT_NE(noEntry.err.find("acrxEntryPoint"), std::string::npos) << noEntry.err;

  Outcome refused = run({"-l", KV_ECHO_MODULE}, &script, "", {"KVHOST_ECHO_REFUSE=1"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("kRetError"), std::string::npos) << refused.err;
  // A module that refused to start gets no unload message and no commands run.
  EXPECT_EQ(refused.out.find("message 2"), std::string::npos) << refused.out;
  EXPECT_EQ(refused.out.find("Command:"), std::string::npos) << refused.out;

  for (const Outcome* r : {&missing, &noEntry, &refused}) EXPECT_EQ(r->out.find("Enter variable name"), std::string::npos);
  EXPECT_TRUE(leftoverRunFolders().empty());
}

TEST_F(KvhostTest, MissingDefaultModuleStopsTheRunUnlessNoLoad) {
  // A kvhost in a folder of its own, with no module beside it nor in an installed tree.
  fs::create_directories(path("tree/alone"));
  fs::copy_file(kKvhost, path("tree/alone/kvhost"));
  exe_ = path("tree/alone/kvhost").string();
  Outcome r = runScript("SETVAR\nFACETRES\n2\n", {});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find(path("tree/alone/Kavlor.arx").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(path("tree/lib/kavlor/Kavlor.arx").string()), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Command:"), std::string::npos) << r.out;
  EXPECT_TRUE(leftoverRunFolders().empty());

  Outcome bare = runScript("SETVAR\nFACETRES\n2\n", {"--no-load"});
  EXPECT_EQ(bare.status, 0) << bare.err;
  EXPECT_EQ(bare.err, "");
  EXPECT_NE(bare.out.find("FACETRES"), std::string::npos) << bare.out;
}

// ---------------------------------------------------------------------------------------------
// Loading applications, their commands, menus and dialogs

TEST_F(KvhostTest, ArxLoadsListsAndUnloadsAModule) {
  const std::string script = std::string("ARX\nL\n") + KV_ECHO_MODULE + "\nARX\n?\nARX\nU\necho_module\nARX\n?\n";
  Outcome r = runScript(script);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("echo_module: kInitAppMsg appId=set"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("echo_module.arx loaded.\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Loaded applications:\n  echo_module.arx  (" KV_ECHO_MODULE ")\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("echo_module: message 2\necho_module unloaded.\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("No applications are loaded.\n"), std::string::npos) << r.out;
  EXPECT_EQ(count(r.out, "echo_module: message 2"), 1u) << "unloaded twice:\n" << r.out;
}

TEST_F(KvhostTest, LockedModuleIsNotUnloadedAndTheScriptFailsThere) {
  const std::string script = "ARX\nU\necho_module\nSETVAR\nFACETRES\n2\n";
  Outcome r = run({"-l", KV_ECHO_MODULE}, &script, "", {"KVHOST_ECHO_LOCKED=1"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Application echo_module.arx is locked and cannot be unloaded.\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("input.scr:3:"), std::string::npos) << r.err;
  // Still loaded: it hears of the end of the run.
  EXPECT_NE(r.out.find("echo_module: message 2\n"), std::string::npos) << r.out;
}

TEST_F(KvhostTest, ModuleCommandsMenuAndDialogsRunFromTheCommandLine) {
  const std::string script =
      "KVFXWhere\n_kvfxwhere\nMENUBAR\n"
      "KVFXOptions\n130\nno\nok\n"
      "KVFXOptions\nlow\n\n*Cancel*\n"
      "KVFXFile\n" + path("absent.txt").string() + "\n\n" + path("input.scr").string() + "\n"
      "KVFXAbout\n\nKVFXHelp\n"
      "ARX\nU\ncommand_module\nKVFXWhere\n";
  Outcome r = run({"-l", KV_COMMAND_MODULE}, &script, "", {"XDG_CONFIG_HOME=" + dir_.string()});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  const std::string& o = r.out;
  // The module's own file, from the handle its DLL entry got.
  EXPECT_EQ(count(o, "command_module: file=" KV_COMMAND_MODULE " appId=same records=1\n"), 2u) << o;
  EXPECT_NE(o.find("Menu bar:\n[Fixture]  (KvFixture.pop1)\n  Where am I                       ^C^C_KVFXWhere\n"),
            std::string::npos) << o;
  EXPECT_NE(o.find("Menu groups loaded: KvFixture\n"), std::string::npos) << o;
  // The dialog: caption, the slider with its labels, the check box, the buttons.
  EXPECT_NE(o.find("[Fixture Options]\nLevel (0 to 100: Low 0, Medium 50, High 100) <50>: 130\n"
                   "Show the fixture warning [Yes/No] <Yes>: no\n[OK/Cancel] <OK>: ok\n"
                   "command_module: dialog answered 1 level=100 flag=0\n"),
            std::string::npos) << o;
  // OK stored the values; the next opening shows them, and Cancel stores nothing.
  EXPECT_NE(o.find("Level (0 to 100: Low 0, Medium 50, High 100) <100>: low\n"
                   "Show the fixture warning [Yes/No] <No>: \n[OK/Cancel] <OK>: *Cancel*\n"
                   "command_module: dialog answered 2 level=100 flag=0\n"),  // Cancel leaves the members
            std::string::npos) << o;
  EXPECT_NE(readFile(path("kavlor/settings.ini")).find("[Software\\KvFixture]\nLevel=100\nFlag=0\n"), std::string::npos);
  // The file dialog refuses a missing file and takes an existing one.
  EXPECT_NE(o.find("[Open]\nFiles of type: Text Files (*.txt)\nFile name: "), std::string::npos) << o;
  EXPECT_NE(o.find("absent.txt\nFile not found.\nCheck the file name and try again.\n<OK>: \n"), std::string::npos) << o;
  EXPECT_NE(o.find("command_module: file dialog answered 1 path=" + path("input.scr").string() + "\n"), std::string::npos)
      << o;
  EXPECT_NE(o.find("[About Fixture for kvhost version 1.0]\nFixture for kvhost version 1.0\n<OK>: \n"), std::string::npos)
      << o;
  EXPECT_NE(o.find("command_module: shell answered 2\n"), std::string::npos) << o;
  // Unloaded: message, DLL detach, and its commands are unknown again.
  EXPECT_NE(o.find("command_module: unloaded\ncommand_module: detach records=1\ncommand_module unloaded.\n"
                   "Command: KVFXWhere\nUnknown command \"KVFXWHERE\".  Press F1 for help.\n"),
            std::string::npos) << o;
}

TEST_F(KvhostTest, MessageBoxInAScriptTakesTheNextLineAndFailsOnAnAnswerNoButtonTakes) {
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir_.string()};
  const std::string script = "KVFXAsk\nno\n; a comment counts as a line\nKVFXAsk\nmaybe\nKVFXWhere\n";
  Outcome r = run({"-l", KV_COMMAND_MODULE}, &script, "", env);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("<Yes/No/Cancel>: no\ncommand_module: box answered 7\n"), std::string::npos) << r.out;
  // The refused answer is not asked again, which would take the next command as the answer.
  EXPECT_NE(r.out.find("<Yes/No/Cancel>: maybe\nRequires one of Yes/No/Cancel.\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("command_module: file="), std::string::npos) << "the script went on:\n" << r.out;
  EXPECT_NE(r.err.find("input.scr:5: the answer \"maybe\" matches none of the buttons Yes/No/Cancel"), std::string::npos)
      << r.err;

  // At the end of the input a box with one button takes it; one with more is a question left open.
  const std::string endsAtNotice = "KVFXTell\n";
  Outcome notice = run({"-l", KV_COMMAND_MODULE}, &endsAtNotice, "", env);
  EXPECT_EQ(notice.status, 0) << notice.out << notice.err;
  EXPECT_NE(notice.out.find("command_module: box answered 1\n"), std::string::npos) << notice.out;
  const std::string endsAtQuestion = "KVFXAsk\n";
  Outcome question = run({"-l", KV_COMMAND_MODULE}, &endsAtQuestion, "", env);
  EXPECT_EQ(question.status, 1) << question.out << question.err;

  // At the terminal the user is asked again.
  Outcome typed = run({"-l", KV_COMMAND_MODULE}, nullptr, "KVFXAsk\nmaybe\ny\n", env);
  EXPECT_EQ(typed.status, 0) << typed.out << typed.err;
  EXPECT_NE(typed.out.find("command_module: box answered 6\n"), std::string::npos) << typed.out;
}

TEST_F(KvhostTest, ScriptEndingInsideADialogFails) {
  const std::string script = "KVFXOptions\n50\n";
  Outcome r = run({"-l", KV_COMMAND_MODULE}, &script, "",
                  {"XDG_CONFIG_HOME=" + dir_.string()});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("command_module: dialog answered 2"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(path("kavlor/settings.ini")));
}

TEST_F(KvhostTest, MenuloadReadsASampleMenuAndRefusesAMissingOne) {
  writeFile(path("Sample.mnu"), "***MENUGROUP=Sample\n***POP1\n**pop1\nID_M [&Sample]\nID_A [&Zoom all]^C^C_ZOOM _A\n");
  std::string windowsPath = path("Sample.mnu").string();
  for (char& c : windowsPath)
    if (c == '/') c = '\\';
  Outcome ok = runScript("MENUBAR\n_menuload\n" + windowsPath + "\nMENUBAR\n");
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("Command: MENUBAR\nThe menu bar holds no loaded pop-up.\nCommand: _menuload\n"), std::string::npos)
      << ok.out;
  EXPECT_NE(ok.out.find("Menu groups loaded: Sample\n"), std::string::npos) << ok.out;

  Outcome missing = runScript("_menuload\n" + path("none.mnu").string() + "\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("Unable to open menu file \"" + path("none.mnu").string() + "\".\n"), std::string::npos)
      << missing.out;
}

// ---------------------------------------------------------------------------------------------
// Drawings in and out

TEST_F(KvhostTest, UnreadableDrawingGivesStatus3) {
  Outcome missing = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", path("absent.dxf").string()});
  EXPECT_EQ(missing.status, 3);
  EXPECT_NE(missing.err.find("absent.dxf"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out.find("Command:"), std::string::npos) << missing.out;

  writeFile(path("garbage.dxf"), "this is not a drawing\n");
  Outcome garbage = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", path("garbage.dxf").string()});
  EXPECT_EQ(garbage.status, 3);
  EXPECT_TRUE(leftoverRunFolders().empty());
}

TEST_F(KvhostTest, SavedDrawingReadsBackAndRunsAgain) {
  fs::path saved = path("out.dxf");
  Outcome first = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", "-o", saved.string()});
  ASSERT_EQ(first.status, 0) << first.err;
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  EXPECT_EQ(kv::dxf::readDrawing(saved.string(), db, error), Acad::eOk) << error;
  EXPECT_TRUE(db);

  // kvhost opens what it saved.
  Outcome second = runScript("ZOOM\nE\n", {"--no-load", saved.string()});
  EXPECT_EQ(second.status, 0) << second.err;
}

TEST_F(KvhostTest, DrawingEntitiesGoThroughAndKeptOnesAreNamed) {
  writeFile(path("in.dxf"),
            "0\nSECTION\n2\nENTITIES\n"
            "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n4\n21\n3\n31\n0\n"
            "0\nKVNOSUCHTYPE\n8\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  fs::path saved = path("out.dxf");
  Outcome r = runScript("ZOOM\nE\n", {"--no-load", "-o", saved.string(), path("in.dxf").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("1 entities read; kept as read, not modelled: 1 KVNOSUCHTYPE\n"), std::string::npos) << r.err;

  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(kv::dxf::readDrawing(saved.string(), db, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 1);
  EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"KVNOSUCHTYPE", 1}}));
}

TEST_F(KvhostTest, FailedScriptStillSavesAndSaveFailureGivesStatus3) {
  fs::path saved = path("partial.dxf");
  Outcome failed = runScript("FOO\n", {"--no-load", "-o", saved.string()});
  EXPECT_EQ(failed.status, 1) << failed.err;
  EXPECT_TRUE(fs::exists(saved));

  Outcome unsaved = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", "-o", path("no-folder/out.dxf").string()});
  EXPECT_EQ(unsaved.status, 3);
  EXPECT_NE(unsaved.err.find("no-folder/out.dxf"), std::string::npos) << unsaved.err;
}

// ---------------------------------------------------------------------------------------------
// ACISIN

// A box reaching below zero and a sphere beside it, as a SAT file.
void writeTwoSolids(const fs::path& file) {
  AcDb3dSolid box, sphere;
  ASSERT_EQ(box.createBox(2, 3, 4), Acad::eOk);
  ASSERT_EQ(sphere.createSphere(1), Acad::eOk);
  sphere.transformBy(AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0)));
  AcDbVoidPtrArray both;
  both.append(static_cast<AcDbEntity*>(&box));
  both.append(static_cast<AcDbEntity*>(&sphere));
  ASSERT_EQ(AcDbBody::acisOut(file.string().c_str(), both), Acad::eOk);
}

struct Live {
  std::string cls, layer;
  AcDbExtents box;
};

std::vector<Live> liveEntities(AcDbDatabase& db) {
  std::vector<Live> out;
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  if (!ms) return out;
  for (AcDbObjectId id : ms->entityIds()) {
    if (id.isErased()) continue;
    AcDbEntity* e = nullptr;
    if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) continue;
    Live l{e->isA()->name(), e->layer().GetString(), {}};
    e->getGeomExtents(l.box);
    out.push_back(l);
    e->close();
  }
  ms->close();
  return out;
}

TEST_F(KvhostTest, AcisinReadsEverySolidOntoTheCurrentLayerAndReportsAMissingFile) {
  {
    kv::RecordingUI ui;
    kv::Host host(ui);
    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(host.database().getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    rec->setName("Parts");
    ASSERT_EQ(table->add(rec), Acad::eOk);
    rec->close();
    table->close();
    ASSERT_EQ(kv::dxf::writeDrawing(host.database(), path("in.dxf").string()), Acad::eOk);
  }
  writeTwoSolids(path("two.sat"));
  fs::path saved = path("out.dxf");
  Outcome r = runScript("SETVAR\nCLAYER\nParts\nACISIN\n" + path("two.sat").string() + "\nACISIN\n*Cancel*\n",
                        {"--no-load", "-o", saved.string(), path("in.dxf").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count(r.out, "Files of type: ACIS (*.sat)"), 2u) << r.out;

  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  ASSERT_EQ(kv::dxf::readDrawing(saved.string(), db, error), Acad::eOk) << error;
  std::vector<Live> got = liveEntities(*db);
  ASSERT_EQ(got.size(), 2u);
  for (const Live& l : got) {
    EXPECT_EQ(l.cls, "AcDb3dSolid");
    EXPECT_EQ(l.layer, "Parts");
  }
  EXPECT_NEAR(got[0].box.minPoint().z, -2, 1e-7);
  EXPECT_NEAR(got[1].box.maxPoint().x, 6, 1e-7);

  Outcome missing = runScript("ACISIN\n" + path("none.sat").string() + "\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("none.sat: File Not Found (76)"), std::string::npos) << missing.out;
}

// Answers no prompt: ACISIN asks only through the file dialog.
struct NoAnswers : kv::CommandInput {
  bool next(const char*, std::string&) override { return false; }
};

class AcisinInProcess : public ::testing::Test {
protected:
  void SetUp() override { kv::fault::disarmAll(); }
  void TearDown() override { kv::fault::disarmAll(); }
  int acisin(const std::optional<std::string>& answer) {
    ui_.answerFile(answer);
    NoAnswers none;
    return host_.runCommand("ACISIN", none);
  }
  kv::RecordingUI ui_;
  kv::Host host_{ui_};
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST_F(AcisinInProcess, CancelAddsNothing) {
  EXPECT_EQ(acisin(std::nullopt), RTNORM);
  ASSERT_EQ(ui_.fileDialogs().size(), 1u);
  EXPECT_TRUE(ui_.fileDialogs()[0].open);
  EXPECT_EQ(ui_.fileDialogs()[0].defaultExt, "sat");
  EXPECT_TRUE(liveEntities(host_.database()).empty());
}

TEST_F(AcisinInProcess, UnreadableFileGivesTheStatusTextAndAddsNothing) {
  writeFile(dir_ / "bad.sat", "700 0 1 0\nthis is no ACIS\n");
  EXPECT_EQ(acisin((dir_ / "bad.sat").string()), RTERROR);
  EXPECT_NE(ui_.printed().find("Cannot Restore From Acis File (300)"), std::string::npos) << ui_.printed();
  EXPECT_TRUE(liveEntities(host_.database()).empty());
}

TEST_F(AcisinInProcess, RefusedAppendLeavesTheDrawingAsItWas) {
  writeTwoSolids(dir_ / "two.sat");
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 2);
  EXPECT_EQ(acisin((dir_ / "two.sat").string()), RTERROR);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::appendAcDbEntity), 1);
  EXPECT_TRUE(liveEntities(host_.database()).empty());
  kv::fault::disarmAll();
  EXPECT_EQ(acisin((dir_ / "two.sat").string()), RTNORM);
  EXPECT_EQ(liveEntities(host_.database()).size(), 2u);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Selecting on the command line with the module's command: handles, ALL and a cancel

TEST_F(KvhostTest, ConvertSolidSelectsByHandlesAndByAllAndReportsACancel) {
  const std::string drawing = KV_SOURCE_DIR "/samples/drawing.dxf";
  // kvhost reads the drawing as this reader does, so the handles it shows are these.
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  std::vector<std::string> handles;
  {
    kv::RecordingUI ui;
    kv::Host host(ui);
    ASSERT_EQ(kv::dxf::readDrawing(drawing, db, error), Acad::eOk) << error;
    AcDbBlockTableRecord* space = nullptr;
    ASSERT_EQ(acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    for (const AcDbObjectId& id : space->entityIds()) handles.push_back(id.handle().text());
    space->close();
    db.reset();
  }
  ASSERT_GE(handles.size(), 8u);
  fs::create_directories(path("config"));
  const std::string script = "KVConvertSolid\nFFFFF " + handles[0] + "\n" + handles[1] + "\n\n" +
                             "KVConvertSolid\n*Cancel*\n" +
                             "KVConvertSolid\nALL\n\n";
  Outcome o = run({"-o", path("out.dxf").string(), drawing}, &script, "",
                  {"XDG_CONFIG_HOME=" + path("config").string()});
  EXPECT_EQ(o.status, 0) << o.err;
  // What a user sees: the host's prompt, the answers, the counts and the summaries.
  EXPECT_NE(o.out.find("Select objects: FFFFF " + handles[0] + "\n*Invalid selection*\n1 found\n"), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Select objects: " + handles[1] + "\n1 found, 2 total\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\nSuccessfully converted 2 solids\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Select objects: *Cancel*\nFailure [No entities selected]\n"), std::string::npos) << o.out;
  // ALL then finds the six sources left and the two meshes, which convert as polyface meshes.
  EXPECT_NE(o.out.find("Select objects: ALL\n8 found\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\nSuccessfully converted 8 solids\n"), std::string::npos) << o.out;

  kv::RecordingUI ui;
  kv::Host host(ui);
  ASSERT_EQ(kv::dxf::readDrawing(path("out.dxf").string(), db, error), Acad::eOk) << error;
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, db->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  int meshes = 0, others = 0;
  for (const AcDbObjectId& id : space->entityIds()) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    (std::string(e->isA()->name()) == "AcDbPolyFaceMesh" ? meshes : others)++;
    e->close();
  }
  space->close();
  EXPECT_EQ(meshes, 8);
  EXPECT_EQ(others, 0);
}

// ---------------------------------------------------------------------------------------------
// Saving safely and reading drawings in, on the command line

TEST_F(KvhostTest, SaveTargetThatCannotTakeTheDrawingStopsTheRunBeforeItStarts) {
  std::vector<std::string> targets = makeNotRegularFiles(dir_.string());
  fs::create_symlink("pipe", path("pipe.dxf"));
  targets.push_back(path("pipe.dxf").string());
  writeFile(path("read-only.dxf"), "old");
  fs::permissions(path("read-only.dxf"), fs::perms(0444));
  targets.push_back(path("read-only.dxf").string());
  targets.push_back(path("no-folder/out.dxf").string());
  for (const std::string& target : targets) {
    const std::string before = nodeState(target);
    Outcome r = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", "-o", target});
    EXPECT_EQ(r.status, 3) << target;
    EXPECT_EQ(r.err.rfind("kvhost: cannot save drawing " + target + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("; nothing was run\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Command:"), std::string::npos) << r.out;
    EXPECT_EQ(nodeState(target), before) << target;
  }
  EXPECT_EQ(readFile(path("read-only.dxf")), "old");
  EXPECT_EQ(readFile(path("folder/inside")), "kept");
  EXPECT_TRUE(leftoverRunFolders().empty());
}

TEST_F(KvhostTest, SaveThroughALinkWritesItsTarget) {
  fs::create_directory(path("real"));
  writeFile(path("real/drawing.dxf"), "old");
  fs::create_symlink("real/drawing.dxf", path("link.dxf"));
  Outcome r = runScript("SETVAR\nFACETRES\n2\n", {"--no-load", "-o", path("link.dxf").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(path("link.dxf")));
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  EXPECT_EQ(kv::dxf::readDrawing(path("real/drawing.dxf").string(), db, error), Acad::eOk) << error;
}

TEST_F(KvhostTest, SaveAndDxfinAtTheConsole) {
  writeFile(path("in.dxf"),
            "0\nSECTION\n2\nENTITIES\n"
            "0\nLINE\n8\nImported\n10\n0\n20\n0\n30\n0\n11\n4\n21\n3\n31\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  ASSERT_EQ(mkfifo(path("pipe.dxf").c_str(), 0644), 0);
  // Typed, both ask through the file dialog; SAVE writes where the run saves unless told.
  const std::string script = "DXFIN\n" + path("in.dxf").string() + "\nDXFIN\n" + path("in.dxf").string() +
                             "\nSAVE\n" + path("copy.dxf").string() + "\nSAVE\n\n";
  Outcome r = runScript(script, {"--no-load", "-o", path("out.dxf").string()});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("[Open]\nFiles of type: DXF (*.dxf)\nFile name: " + path("in.dxf").string() + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("[Save As]\nFiles of type: DXF (*.dxf)\nFile name <" + path("out.dxf").string() + ">: "),
            std::string::npos)
      << r.out;
  for (const char* file : {"copy.dxf", "out.dxf"}) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(kv::dxf::readDrawing(path(file).string(), db, error, &report), Acad::eOk) << file << ": " << error;
    EXPECT_EQ(report.entitiesRead, 2) << file;
    EXPECT_EQ(liveEntities(*db)[1].layer, "Imported") << file;
  }

  // A file that is not there, and a save into a pipe: each says why and fails the script there.
  Outcome missing = runScript("DXFIN\n" + path("none.dxf").string() + "\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("DXFIN: cannot open " + path("none.dxf").string() + ": No such file or directory\n"),
            std::string::npos)
      << missing.out;
  Outcome pipe = runScript("SAVE\n" + path("pipe.dxf").string() + "\nYes\n");
  EXPECT_EQ(pipe.status, 1);
  EXPECT_NE(pipe.out.find("cannot save drawing " + path("pipe.dxf").string() +
                          ": not a regular file but a named pipe; what is there was left as it was\n"),
            std::string::npos)
      << pipe.out;
  EXPECT_NE(pipe.out.find("Do you want to replace it? [Yes/No] <No>: Yes\n"), std::string::npos) << pipe.out;
}
