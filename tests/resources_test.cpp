// The resource script reader: the .rc-like subset a module's dialogs and strings are written in.
#include <gtest/gtest.h>

#include "win/resources.h"

namespace {

using kv::res::ResourceScript;

const char* const kScript = R"(// header comment
#include "resource.h"
#define IDC_SLIDER1 1022
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
1 ICON "kavlor.ico"
IDR_MENU MENU
BEGIN
    POPUP "File" BEGIN MENUITEM "Exit", 1 END
END
/* a block
   comment */
200 DIALOG DISCARDABLE  0, 0, 248, 92
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Kavlor ""quoted"" Options"
FONT 8, "MS Sans Serif"
BEGIN
    CONTROL         "Slider1",IDC_SLIDER1,"msctls_trackbar32",TBS_AUTOTICKS |
                    WS_TABSTOP,51,7,190,21
    AUTOCHECKBOX    "Show PolyFace Mesh limit warning",200,7,43,125,10
    DEFPUSHBUTTON   "&OK",IDOK,69,71,50,14
    PUSHBUTTON      "&Cancel",IDCANCEL,127,71,50,14
    LTEXT           "Resolution",IDC_STATIC,7,9,34,8,NOT WS_GROUP
    CONTROL         "",-1,"Static",SS_ETCHEDHORZ,7,62,233,1
    EDITTEXT        300,7,80,50,10,ES_AUTOHSCROLL,WS_EX_CLIENTEDGE
END
STRINGTABLE DISCARDABLE
BEGIN
    100     "Kavlor"
    101,    "Line\none"
END
)";

TEST(ResourceScript, ReadsDialogControlsAndStrings) {
  ResourceScript s;
  std::string error;
  ASSERT_TRUE(kv::res::parseScript(kScript, s, error)) << error;
  ASSERT_EQ(s.dialogs.count(200), 1u);
  const kv::res::DialogTemplate& d = s.dialogs.at(200);
  EXPECT_EQ(d.caption, "Kavlor \"quoted\" Options");
  EXPECT_EQ(d.width, 248);
  EXPECT_EQ(d.height, 92);
  EXPECT_EQ(d.styles.size(), 5u);
  ASSERT_EQ(d.controls.size(), 7u);
  const kv::res::ControlTemplate& slider = d.controls[0];
  EXPECT_EQ(slider.id, 1022);
  EXPECT_EQ(slider.windowClass, "msctls_trackbar32");
  EXPECT_TRUE(slider.hasStyle("TBS_AUTOTICKS"));
  EXPECT_TRUE(slider.hasStyle("ws_tabstop"));
  EXPECT_EQ(slider.x, 51);
  EXPECT_EQ(slider.width, 190);
  EXPECT_EQ(d.controls[1].statement, "AUTOCHECKBOX");
  EXPECT_EQ(d.controls[1].windowClass, "Button");
  EXPECT_EQ(d.controls[2].id, 1);
  EXPECT_EQ(d.controls[3].id, 2);
  EXPECT_EQ(d.controls[4].id, -1);
  EXPECT_EQ(d.controls[4].windowClass, "Static");
  EXPECT_TRUE(d.controls[5].hasStyle("SS_ETCHEDHORZ"));
  EXPECT_EQ(d.controls[6].id, 300);
  EXPECT_EQ(s.strings.at(100), "Kavlor");
  EXPECT_EQ(s.strings.at(101), "Line\none");
}

TEST(ResourceScript, BrokenScriptsNameTheLineAndLeaveTheOutputAlone) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"200 DIALOG 0, 0, 10\nBEGIN\nEND\n", "line 2: ',' was expected"},
      {"200 DIALOG 0,0,1,1\nCAPTION \"open\nBEGIN\nEND\n", "line 2: string not closed"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n  LTEXT \"a\",IDC_NOPE,1,1,1,1\nEND\n", "line 3: unknown identifier IDC_NOPE"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n  FANCY \"a\",1,1,1,1,1\nEND\n", "line 3: unknown control statement FANCY"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n  LTEXT \"a\",1,1,1,1,1\n", "END was expected"},
      {"STRINGTABLE\nBEGIN\n 100\nEND\n", "line 4: a string was expected"},
      {"/* never closed\n", "comment not closed"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n LTEXT \"a\",1,1,1,1,1,(WS_GROUP\nEND\n", "')' was expected"},
  };
  for (const Case& c : cases) {
    ResourceScript s;
    s.strings[7] = "kept";
    std::string error;
    EXPECT_FALSE(kv::res::parseScript(c.text, s, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
    EXPECT_EQ(s.strings.size(), 1u);
  }
}

// Numbers are written the C way: hex after 0x, octal after a leading 0, an L suffix, a minus;
// a #define takes its value the same way and ignores the rest of its line.
TEST(ResourceScript, NumbersAndDefinesAreReadTheCWay) {
  const char* text =
      "#define IDD_HEX 0xC8L\r\n"
      "#define IDC_OCT 017 // fifteen\r\n"
      "#define IDC_NEG -0x2\r\n"
      "IDD_HEX DIALOG 0x0, 0, 0X10, 010L\r\n"
      "BEGIN\r\n"
      "  LTEXT \"a\",IDC_OCT,1,-1,1,1\r\n"
      "  LTEXT \"b\",IDC_NEG,1,1,1,1\r\n"
      "END\r\n";
  ResourceScript s;
  std::string error;
  ASSERT_TRUE(kv::res::parseScript(text, s, error)) << error;
  ASSERT_EQ(s.dialogs.count(200), 1u);
  const kv::res::DialogTemplate& d = s.dialogs.at(200);
  EXPECT_EQ(d.width, 16);
  EXPECT_EQ(d.height, 8);
  ASSERT_EQ(d.controls.size(), 2u);
  EXPECT_EQ(d.controls[0].id, 15);
  EXPECT_EQ(d.controls[0].x, 1);
  EXPECT_EQ(d.controls[0].y, -1);
  EXPECT_EQ(d.controls[1].id, -2);

  // A define whose value is not a number defines nothing; a number token must be whole.
  const std::pair<const char*, const char*> refused[] = {
      {"#define IDC_WORD 12abc\n200 DIALOG 0,0,1,1\nBEGIN\n LTEXT \"a\",IDC_WORD,1,1,1,1\nEND\n",
       "line 4: unknown identifier IDC_WORD"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n LTEXT \"a\",12abc,1,1,1,1\nEND\n", "line 3: '12abc' is not a number"},
      {"200 DIALOG 0,0,1,1\nBEGIN\n LTEXT \"a\",09,1,1,1,1\nEND\n", "line 3: '09' is not a number"},
      {"200 DIALOG 0,0,1,0x\nBEGIN\nEND\n", "line 1: '0x' is not a number"},
      {"200 DIALOG 0,0,1,99999999999999999999\nBEGIN\nEND\n", "is not a number"},
  };
  for (const auto& [script, reason] : refused) {
    EXPECT_FALSE(kv::res::parseScript(script, s, error)) << script;
    EXPECT_NE(error.find(reason), std::string::npos) << script << " -> " << error;
  }
}

TEST(ResourceScript, EveryTruncationIsRefusedOrReadWithoutCrashing) {
  std::string text = kScript;
  for (size_t n = 0; n < text.size(); ++n) {
    ResourceScript s;
    std::string error;
    if (kv::res::parseScript(text.substr(0, n), s, error)) {
      // A cut script that reads is one cut between statements: never a half dialog.
      for (const auto& [id, d] : s.dialogs) EXPECT_EQ(d.controls.size(), 7u) << n;
    }
  }
}

}  // namespace
