// The host's command stack: registration through acedRegCmds, lookup by local and global name,
// removal, and how module commands sit beside the built-in ones.
#include "host/acrxapp.h"
#include "host/commands.h"
#include "host_fixture.h"

namespace {

int gRuns = 0;
void countRun() { ++gRuns; }
int gOtherRuns = 0;
void countOtherRun() { ++gOtherRuns; }

// A command that takes itself off the stack while it runs.
void removeSelf() {
  ++gRuns;
  acedRegCmds->removeCmd("GRP", "_SELF");
}

class CommandStackTest : public HostTest {
protected:
  CommandStackTest() { gRuns = gOtherRuns = 0; }
  int run(const char* name) { return acedCommand(RTSTR, name, RTNONE); }
};

TEST_F(CommandStackTest, LocalAndGlobalNamesReachTheCommandWithoutCase) {
  ASSERT_EQ(acedRegCmds->addCommand("ORV_Kavlor", "_KVAbout", "KVAbout", ACRX_CMD_TRANSPARENT, countRun), Acad::eOk);
  for (const char* typed : {"KVAbout", "_KVAbout", "kvabout", "_kvABOUT"}) EXPECT_EQ(run(typed), RTNORM) << typed;
  EXPECT_EQ(gRuns, 4);
  EXPECT_TRUE(host_.hasCommand("kvabout"));
}

TEST_F(CommandStackTest, UnderscoreReachesTheGlobalNameOnly) {
  // A translated host: local and global names differ.
  ASSERT_EQ(acedRegCmds->addCommand("G", "_Convert", "Umwandeln", 0, countRun), Acad::eOk);
  ASSERT_EQ(acedRegCmds->addCommand("H", "_Umwandeln", "Other", 0, countOtherRun), Acad::eOk);
  EXPECT_EQ(run("Umwandeln"), RTNORM);  // the local name wins without the mark
  EXPECT_EQ(gRuns, 1);
  EXPECT_EQ(run("_Umwandeln"), RTNORM);  // with it, only global names count
  EXPECT_EQ(gOtherRuns, 1);
  EXPECT_EQ(run("Convert"), RTNORM);  // an English answer reaches the global name
  EXPECT_EQ(gRuns, 2);
  EXPECT_EQ(run("_Other"), RTERROR);
}

TEST_F(CommandStackTest, RemovedCommandIsUnknownAgain) {
  ASSERT_EQ(acedRegCmds->addCommand("ORV_Kavlor", "_KVAbout", "KVAbout", 1, countRun), Acad::eOk);
  EXPECT_EQ(acedRegCmds->removeCmd("ORV_Kavlor", "_KVAbout"), Acad::eOk);
  EXPECT_EQ(run("KVAbout"), RTERROR);
  EXPECT_EQ(run("_KVAbout"), RTERROR);
  EXPECT_EQ(gRuns, 0);
  EXPECT_NE(ui_.printed().find("Unknown command \"KVABOUT\".  Press F1 for help.\n"), std::string::npos) << ui_.printed();
  EXPECT_EQ(acedRegCmds->removeCmd("ORV_Kavlor", "_KVAbout"), Acad::eKeyNotFound);
  EXPECT_FALSE(host_.hasCommand("KVAbout"));
}

TEST_F(CommandStackTest, RefusesDuplicatesAndMissingParts) {
  ASSERT_EQ(acedRegCmds->addCommand("G", "_One", "One", 0, countRun), Acad::eOk);
  EXPECT_EQ(acedRegCmds->addCommand("g", "_ONE", "Two", 0, countRun), Acad::eDuplicateKey);
  EXPECT_EQ(acedRegCmds->addCommand("G", "_Two", "one", 0, countRun), Acad::eDuplicateKey);
  EXPECT_EQ(acedRegCmds->addCommand("G", "_Two", "Two", 0, nullptr), Acad::eInvalidInput);
  EXPECT_EQ(acedRegCmds->addCommand("G", nullptr, "Two", 0, countRun), Acad::eInvalidInput);
  EXPECT_EQ(acedRegCmds->addCommand("G", "_", "Two", 0, countRun), Acad::eInvalidInput);
  // Another group may use the name; the newest registration is found first.
  EXPECT_EQ(acedRegCmds->addCommand("H", "_One", "One", 0, countOtherRun), Acad::eOk);
  EXPECT_EQ(run("One"), RTNORM);
  EXPECT_EQ(gOtherRuns, 1);
  EXPECT_EQ(acedRegCmds->removeGroup("H"), Acad::eOk);
  EXPECT_EQ(run("One"), RTNORM);
  EXPECT_EQ(gRuns, 1);
  EXPECT_EQ(acedRegCmds->removeGroup("H"), Acad::eKeyNotFound);
}

TEST_F(CommandStackTest, ModuleCommandHidesABuiltinOfItsNameAndDotReachesTheBuiltin) {
  ASSERT_EQ(acedRegCmds->addCommand("G", "_SETVAR", "SETVAR", 0, countRun), Acad::eOk);
  EXPECT_EQ(run("SETVAR"), RTNORM);
  EXPECT_EQ(gRuns, 1);
  EXPECT_EQ(acedCommand(RTSTR, "._SETVAR", RTSTR, "FACETRES", RTSTR, "2", RTNONE), RTNORM);
  EXPECT_EQ(gRuns, 1);
  resbuf rb{};
  ASSERT_EQ(acedGetVar("FACETRES", &rb), RTNORM);
  EXPECT_DOUBLE_EQ(rb.resval.rreal, 2);
  // Other builtins are untouched.
  EXPECT_EQ(acedCommand(RTSTR, "ZOOM", RTSTR, "E", RTNONE), RTNORM);
}

TEST_F(CommandStackTest, CommandMayRemoveItselfWhileRunning) {
  ASSERT_EQ(acedRegCmds->addCommand("GRP", "_SELF", "SELF", 0, removeSelf), Acad::eOk);
  EXPECT_EQ(run("SELF"), RTNORM);
  EXPECT_EQ(run("SELF"), RTERROR);
  EXPECT_EQ(gRuns, 1);
}

TEST_F(CommandStackTest, ResourceHandleNamesTheCommandsOfAModule) {
  auto module = reinterpret_cast<HINSTANCE>(0x1000);
  ASSERT_EQ(acedRegCmds->addCommand("G", "_A", "A", 0, countRun, nullptr, -1, module), Acad::eOk);
  ASSERT_EQ(acedRegCmds->addCommand("G", "_B", "B", 0, countRun), Acad::eOk);
  EXPECT_EQ(host_.commands().removeByResource(module), 1);
  EXPECT_EQ(run("A"), RTERROR);
  EXPECT_EQ(run("B"), RTNORM);
}

TEST_F(CommandStackTest, RegistrationsDoNotOutliveTheirHost) {
  // The fixture's host is fresh: a command registered by an earlier test is unknown.
  EXPECT_EQ(run("KVAbout"), RTERROR);
  EXPECT_TRUE(host_.commands().commands().empty());
}

}  // namespace
