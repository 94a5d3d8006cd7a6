// Menus: the MNU subset read by "_menuload", pop-ups put on the menu bar by acedMenuCmd, and
// what MENUBAR prints.
#include <filesystem>
#include <fstream>

#include "host/acrxapp.h"
#include "host/menu.h"
#include "host_fixture.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

const char* const kMenu =
    "//  A menu like the product's\r\n"
    "***MENUGROUP=Kavlor\r\n"
    "\r\n"
    "***POP1\r\n"
    "**pop1\r\n"
    "ID_MnKavlor    [&Kavlor]\r\n"
    "ID_Convert     [&Convert Solids]^C^C_KVConvertSolid\r\n"
    "[--]\r\n"
    "ID_More        [->&More]\r\n"
    "ID_Options     [<-&Options...]^C^C_KVOptions\r\n"
    "ID_About       [&About && Help]^C^C_KVAbout\r\n"
    "***TOOLBARS\r\n"
    "**TB_KAVLOR\r\n"
    "ID_Tb [_Toolbar(\"Kavlor\", _Floating)]\r\n"
    "***POP2\r\n"
    "**second\r\n"
    "[Second]\r\n"
    "[Item]_LINE\r\n";

class MenuTest : public HostTest {
protected:
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST(MenuParse, ReadsGroupPopupsAliasesTitlesAndItems) {
  kv::MenuGroup g;
  std::string error;
  ASSERT_TRUE(kv::parseMenu(kMenu, g, error)) << error;
  EXPECT_EQ(g.name, "Kavlor");
  ASSERT_EQ(g.popups.size(), 2u);  // the toolbar section is skipped
  const kv::MenuPopup& p = g.popups[0];
  EXPECT_EQ(p.section, "POP1");
  ASSERT_EQ(p.aliases.size(), 1u);
  EXPECT_EQ(p.aliases[0], "pop1");
  EXPECT_EQ(p.title, "&Kavlor");
  ASSERT_EQ(p.items.size(), 5u);
  EXPECT_EQ(p.items[0].id, "ID_Convert");
  EXPECT_EQ(p.items[0].label, "&Convert Solids");
  EXPECT_EQ(p.items[0].command, "^C^C_KVConvertSolid");
  EXPECT_TRUE(p.items[1].separator);
  EXPECT_EQ(p.items[2].label, "&More");
  EXPECT_EQ(p.items[2].depth, 0);
  EXPECT_EQ(p.items[3].depth, 1);  // inside the submenu, which it closes
  EXPECT_EQ(p.items[4].depth, 0);
  EXPECT_EQ(g.popups[1].items.at(0).command, "_LINE");
}

TEST(MenuParse, RefusesBrokenFiles) {
  kv::MenuGroup g;
  g.name = "untouched";
  std::string error;
  EXPECT_FALSE(kv::parseMenu("***POP1\n**p\n[Title]\n", g, error));
  EXPECT_NE(error.find("MENUGROUP"), std::string::npos) << error;
  EXPECT_FALSE(kv::parseMenu("***MENUGROUP=\n", g, error));
  EXPECT_FALSE(kv::parseMenu("***MENUGROUP=A\n***POP1\n[Title]\nID_x [Open label^C^C_X\n", g, error));
  EXPECT_EQ(error.rfind("line 4:", 0), 0u) << error;
  EXPECT_EQ(g.name, "untouched");
}

TEST_F(MenuTest, MenuloadTakesWindowsSeparatorsAndMenuCmdPutsThePopupOnTheBar) {
  std::string path = write("Kavlor.mnu", kMenu);
  std::string windowsPath = path;
  for (char& c : windowsPath)
    if (c == '/') c = '\\';
  ASSERT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, windowsPath.c_str(), RTNONE), RTNORM) << ui_.printed();
  EXPECT_EQ(acedMenuCmd("P10=+Kavlor.pop1"), RTNORM);
  EXPECT_EQ(acedMenuCmd("P1=+kavlor.POP2"), RTNORM);  // by section name, before the first
  EXPECT_EQ(acedMenuCmd("P10=+Kavlor.pop1"), RTNORM);  // already there: not shown twice
  ASSERT_EQ(host_.menus().bar().size(), 2u);
  EXPECT_EQ(host_.menus().bar()[0].popup, 1u);
  EXPECT_EQ(host_.menus().bar()[1].popup, 0u);

  ui_.clear();
  ASSERT_EQ(acedCommand(RTSTR, "MENUBAR", RTNONE), RTNORM);
  const std::string& shown = ui_.printed();
  EXPECT_NE(shown.find("[Kavlor]  (Kavlor.pop1)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  Convert Solids                   ^C^C_KVConvertSolid\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  --------\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("    Options...                     ^C^C_KVOptions\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("About & Help"), std::string::npos) << shown;
  EXPECT_LT(shown.find("[Second]"), shown.find("[Kavlor]")) << shown;
}

TEST_F(MenuTest, MenuCmdRefusesWhatIsNotLoaded) {
  write("Kavlor.mnu", kMenu);
  EXPECT_EQ(acedMenuCmd("P10=+Kavlor.pop1"), RTERROR);  // nothing loaded yet
  // Without extension, the .mnu file is found.
  ASSERT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, (dir_ / "Kavlor").c_str(), RTNONE), RTNORM);
  for (const char* bad : std::initializer_list<const char*>{"P10=+Kavlor.pop9", "P10=+Other.pop1", "P10=Kavlor.pop1", "Px=+Kavlor.pop1", "P10=+Kavlor", nullptr})
    EXPECT_EQ(acedMenuCmd(bad), RTERROR) << (bad ? bad : "null");
  EXPECT_TRUE(host_.menus().bar().empty());
}

TEST_F(MenuTest, MissingOrBrokenFilePrintsOneLineAndFails) {
  std::string missing = (dir_ / "absent.mnu").string();
  EXPECT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, missing.c_str(), RTNONE), RTERROR);
  EXPECT_EQ(ui_.printed(), "Unable to open menu file \"" + missing + "\".\n");
  ui_.clear();
  std::string broken = write("broken.mnu", "***POP1\n[x]\n");
  EXPECT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, broken.c_str(), RTNONE), RTERROR);
  EXPECT_EQ(std::count(ui_.printed().begin(), ui_.printed().end(), '\n'), 1) << ui_.printed();
  EXPECT_TRUE(host_.menus().groups().empty());
}

TEST_F(MenuTest, LoadingAGroupAgainKeepsTheLoadedOne) {
  std::string path = write("Kavlor.mnu", kMenu);
  ASSERT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, path.c_str(), RTNONE), RTNORM);
  ASSERT_EQ(acedMenuCmd("P10=+Kavlor.pop1"), RTNORM);
  ui_.clear();
  EXPECT_EQ(acedCommand(RTSTR, "_menuload", RTSTR, path.c_str(), RTNONE), RTERROR);
  EXPECT_EQ(ui_.printed(), "Menu group \"Kavlor\" is already loaded.\n");
  EXPECT_EQ(acedMenuCmd("P10=+Kavlor.pop1"), RTNORM);
  EXPECT_EQ(host_.menus().groups().size(), 1u);
  EXPECT_EQ(host_.menus().bar().size(), 1u);
}

}  // namespace
