// The console host's SAVE and the save at the end of a run: regular files only, a link followed
// to its target, the old file kept whole when the new one cannot be written, and the reason told.
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "dxf/dxf.h"
#include "host_fixture.h"
#include "kvhost/save.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

class Save : public HostTest {
protected:
  Save() {
    kvhost::addSaveCommand(host_, name_);
    addLine();
  }
  std::string path(const std::string& file) const { return (dir_ / file).string(); }
  // SAVE as a program runs it: its answers are the list's.
  int save(const char* file, const char* answer = nullptr) {
    ui_.clear();
    return answer ? acedCommand(RTSTR, "SAVE", RTSTR, file, RTSTR, answer, RTNONE)
                  : acedCommand(RTSTR, "SAVE", RTSTR, file, RTNONE);
  }
  // The number of model-space entities of the drawing saved in file; -1 when it cannot be read.
  static int entitiesIn(const std::string& file) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    kv::dxf::ReadReport report;
    if (kv::dxf::readDrawing(file, db, error, &report) != Acad::eOk) return -1;
    return report.entitiesRead;
  }

  std::string name_;
  ScratchFolder dir_;
};

TEST_F(Save, ProgramSavesToTheNamedFileThenToTheDrawingsOwn) {
  EXPECT_EQ(save(path("a.dxf").c_str()), RTNORM) << ui_.printed();
  EXPECT_EQ(name_, path("a.dxf"));
  EXPECT_EQ(entitiesIn(path("a.dxf")), 1);
  EXPECT_TRUE(ui_.fileDialogs().empty());  // a program names its file: no dialog
  // Enter takes the drawing's own file, which is replaced without a question.
  addLine(2);
  EXPECT_EQ(save(""), RTNORM) << ui_.printed();
  EXPECT_EQ(entitiesIn(path("a.dxf")), 2);
  // Named in full it is still the drawing's own: no question takes the next answer.
  addLine(4);
  EXPECT_EQ(acedCommand(RTSTR, "SAVE", RTSTR, path("a.dxf").c_str(), RTSTR, "No", RTNONE), RTNORM);
  EXPECT_EQ(entitiesIn(path("a.dxf")), 3);
}

TEST_F(Save, AnotherFileGoesOnlyWhenTheUserSaysYes) {
  writeFile(path("other.dxf"), "old");
  EXPECT_EQ(save(path("other.dxf").c_str(), "No"), RTNORM);
  EXPECT_EQ(ui_.printed(), "Drawing not saved.\n");
  EXPECT_EQ(save(path("other.dxf").c_str()), RTCAN);  // the list ran out at the question
  EXPECT_EQ(readFile(path("other.dxf")), "old");
  EXPECT_TRUE(name_.empty());
  EXPECT_EQ(save(path("other.dxf").c_str(), "y"), RTNORM);
  EXPECT_EQ(entitiesIn(path("other.dxf")), 1);
  EXPECT_EQ(name_, path("other.dxf"));
}

TEST_F(Save, WhatIsNoRegularFileIsRefusedAndLeftAsItWas) {
  std::vector<std::string> targets = makeNotRegularFiles(dir_.path().string());
  fs::create_symlink("pipe", dir_ / "pipe.dxf");
  targets.push_back(path("pipe.dxf"));
  const std::vector<std::string> names = namesIn(dir_.path().string());
  for (const std::string& target : targets) {
    const std::string before = nodeState(target);
    EXPECT_EQ(save(target.c_str(), "Yes"), RTERROR) << target;
    const std::string& said = ui_.printed();
    EXPECT_EQ(said.rfind("cannot save drawing " + target + ": not a regular file but a", 0), 0u) << said;
    EXPECT_NE(said.find("; what is there was left as it was\n"), std::string::npos) << said;
    EXPECT_EQ(nodeState(target), before) << target;
  }
  EXPECT_NE(ui_.printed().find("but a named pipe;"), std::string::npos);
  EXPECT_EQ(readFile(path("folder/inside")), "kept");
  EXPECT_EQ(namesIn(dir_.path().string()), names);
  EXPECT_TRUE(name_.empty());
}

TEST_F(Save, RefusedWritesKeepTheOldFileAndSayWhy) {
  writeFile(path("read-only.dxf"), "old");
  fs::permissions(path("read-only.dxf"), fs::perms(0444));
  EXPECT_EQ(save(path("read-only.dxf").c_str(), "Yes"), RTERROR);
  EXPECT_EQ(ui_.printed(), "cannot save drawing " + path("read-only.dxf") +
                               ": Permission denied; the file there was kept as it was\n");
  EXPECT_EQ(readFile(path("read-only.dxf")), "old");

  EXPECT_EQ(save(path("no/folder.dxf").c_str()), RTERROR);
  EXPECT_EQ(ui_.printed(), "cannot save drawing " + path("no/folder.dxf") +
                               ": No such file or directory; nothing was written\n");

  // A full disk or a failing one, at the first write or at the flush.
  writeFile(path("old.dxf"), "old");
  using kv::fault::Call;
  const std::pair<Call, const char*> refusals[] = {{Call::fileWrite, "No space left on device"},
                                                   {Call::fileSync, "Input/output error"}};
  for (const auto& [call, reason] : refusals) {
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_EQ(save(path("old.dxf").c_str(), "Yes"), RTERROR);
    EXPECT_EQ(ui_.printed(),
              "cannot save drawing " + path("old.dxf") + ": " + reason + "; the file there was kept as it was\n");
    EXPECT_EQ(readFile(path("old.dxf")), "old");
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_EQ(save(path("new.dxf").c_str()), RTERROR);
    EXPECT_EQ(ui_.printed(), "cannot save drawing " + path("new.dxf") + ": " + reason + "; nothing was written\n");
  }
  kv::fault::disarmAll();
  EXPECT_EQ(namesIn(dir_.path().string()), (std::vector<std::string>{"old.dxf", "read-only.dxf"}));
  EXPECT_TRUE(name_.empty());
}

TEST_F(Save, LinkIsFollowedToItsTarget) {
  fs::create_directory(dir_ / "real");
  writeFile(path("real/drawing.dxf"), "old");
  fs::create_symlink("real/drawing.dxf", dir_ / "link.dxf");
  EXPECT_EQ(save(path("link.dxf").c_str(), "Yes"), RTNORM) << ui_.printed();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.dxf"));
  EXPECT_EQ(entitiesIn(path("real/drawing.dxf")), 1);
  EXPECT_EQ(namesIn(path("real")), std::vector<std::string>{"drawing.dxf"});
}

TEST_F(Save, TypedSaveAsksThroughTheSaveDialog) {
  struct Typed : kv::CommandInput {
    bool next(const char*, std::string&) override { return false; }
  } typed;
  name_ = path("own.dxf");
  ui_.answerFile(std::nullopt);
  EXPECT_EQ(host_.runCommand("SAVE", typed), RTNORM);  // cancelled: nothing written
  ASSERT_EQ(ui_.fileDialogs().size(), 1u);
  EXPECT_FALSE(ui_.fileDialogs()[0].open);
  EXPECT_EQ(ui_.fileDialogs()[0].initialName, path("own.dxf"));
  EXPECT_EQ(ui_.fileDialogs()[0].defaultExt, "dxf");
  EXPECT_TRUE(namesIn(dir_.path().string()).empty());
  ui_.answerFile(path("own.dxf"));
  EXPECT_EQ(host_.runCommand("SAVE", typed), RTNORM);
  EXPECT_EQ(entitiesIn(path("own.dxf")), 1);
}

TEST(SaveRefusal, NamesWhyATargetCannotTakeTheDrawing) {
  ScratchFolder dir;
  writeFile(dir / "ok.dxf", "old");
  EXPECT_EQ(kvhost::saveRefusal((dir / "ok.dxf").string()), "");
  EXPECT_EQ(kvhost::saveRefusal((dir / "new.dxf").string()), "");
  EXPECT_EQ(kvhost::saveRefusal(dir.path().string()),
            "cannot save drawing " + dir.path().string() + ": not a regular file but a folder");
  EXPECT_EQ(kvhost::saveRefusal((dir / "none/new.dxf").string()),
            "cannot save drawing " + (dir / "none/new.dxf").string() + ": No such file or directory");
  EXPECT_EQ(kvhost::saveRefusal((dir / "ok.dxf/new.dxf").string()),
            "cannot save drawing " + (dir / "ok.dxf/new.dxf").string() + ": Not a directory");
  EXPECT_EQ(readFile(dir / "ok.dxf"), "old");
  EXPECT_EQ(namesIn(dir.path().string()), std::vector<std::string>{"ok.dxf"});
  // A folder that takes no new file refuses, as far as the system refuses this user.
  fs::path shut = dir.folder("shut");
  fs::permissions(shut, fs::perms(0555));
  const bool takesFiles = mkdir((shut / "probe").c_str(), 0700) == 0;
  EXPECT_EQ(kvhost::saveRefusal((shut / "new.dxf").string()),
            takesFiles ? "" : "cannot save drawing " + (shut / "new.dxf").string() + ": Permission denied");
}

}  // namespace
