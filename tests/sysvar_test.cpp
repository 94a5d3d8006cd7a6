// System variables through the host and the utility layer, and the host release.
#include <cmath>
#include <cstring>

#include "dbutil/sysvar.h"
#include "host_fixture.h"

class SysVars : public HostTest {};

TEST_F(SysVars, FacetresKeepsTheHostsRange) {
  double v = -1;
  ASSERT_TRUE(GetSysVarReal("FACETRES", v));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(SetSysVarReal("facetres", 0.01));
  EXPECT_TRUE(SetSysVarReal("FACETRES", 10));
  EXPECT_FALSE(SetSysVarReal("FACETRES", 10.0001));
  EXPECT_FALSE(SetSysVarReal("FACETRES", 0.0));
  EXPECT_FALSE(SetSysVarReal("FACETRES", std::nan("")));
  ASSERT_TRUE(GetSysVarReal("FACETRES", v));
  EXPECT_EQ(v, 10);
}

TEST_F(SysVars, FailedReadsLeaveTheValueAlone) {
  double d = 42;
  int i = 42;
  CString s = "kept";
  EXPECT_FALSE(GetSysVarReal("NOSUCHVAR", d));
  EXPECT_FALSE(GetSysVarShort("NOSUCHVAR", i));
  EXPECT_FALSE(GetSysVarString("NOSUCHVAR", s));
  EXPECT_EQ(d, 42);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(s, "kept");
  kv::fault::arm(kv::fault::Call::acedGetVar, 1);
  EXPECT_FALSE(GetSysVarReal("FACETRES", d));
  EXPECT_EQ(d, 42);
}

TEST_F(SysVars, ShortsAreSignExtended) {
  ASSERT_TRUE(SetSysVarShort("DELOBJ", -1));
  int v = 0;
  ASSERT_TRUE(GetSysVarShort("DELOBJ", v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(SetSysVarShort("DELOBJ", 4));
  EXPECT_TRUE(SetSysVarShort("FACETRES", 1));  // a real variable takes a short
  double f = 0;
  ASSERT_TRUE(GetSysVarReal("FACETRES", f));
  EXPECT_EQ(f, 1.0);
}

TEST_F(SysVars, StringVariables) {
  CString layer;
  ASSERT_TRUE(GetSysVarString("CLAYER", layer));
  EXPECT_EQ(layer, "0");
  EXPECT_FALSE(SetSysVarString("CLAYER", "NoSuchLayer"));
  EXPECT_FALSE(SetSysVarString("_VERNUM", "T.1"));  // read-only
  EXPECT_FALSE(SetSysVarReal("CLAYER", 1.0));        // wrong type

  // A variable for which the host holds no string reads as empty, successfully.
  kv::SysVar none;
  none.name = "NOSTRING";
  none.type = RTSTR;
  host_.sysvars().define(none);
  CString text = "old";
  ASSERT_TRUE(GetSysVarString("NOSTRING", text));
  EXPECT_TRUE(text.IsEmpty());
  ASSERT_TRUE(SetSysVarString("NOSTRING", "hello"));
  ASSERT_TRUE(GetSysVarString("NOSTRING", text));
  EXPECT_EQ(text, "hello");
}

TEST_F(SysVars, SetvarThroughTheCommandLine) {
  EXPECT_EQ(acedCommand(RTSTR, "_SETVAR", RTSTR, "FACETRES", RTREAL, 2.5, RTNONE), RTNORM);
  double v = 0;
  GetSysVarReal("FACETRES", v);
  EXPECT_EQ(v, 2.5);
  // An out-of-range answer is refused and asked again; the list then runs out: cancelled.
  EXPECT_EQ(acedCommand(RTSTR, "SETVAR", RTSTR, "FACETRES", RTSTR, "11", RTNONE), RTCAN);
  GetSysVarReal("FACETRES", v);
  EXPECT_EQ(v, 2.5);
  EXPECT_NE(ui_.printed().find("Value must be between 0.01 and 10."), std::string::npos);
  EXPECT_EQ(acedCommand(RTSTR, "NOSUCHCOMMAND", RTNONE), RTERROR);
  EXPECT_NE(ui_.printed().find("Unknown command \"NOSUCHCOMMAND\".  Press F1 for help."), std::string::npos);
  EXPECT_EQ(acedCommand(RTSTR, "_zoom", RTSTR, "_extents", RTNONE), RTNORM);
}

TEST_F(SysVars, SetvarTakesOnlyWholeDecimalNumbers) {
  EXPECT_EQ(acedCommand(RTSTR, "SETVAR", RTSTR, "FACETRES", RTSTR, " +2.5 ", RTNONE), RTNORM);
  double v = 0;
  GetSysVarReal("FACETRES", v);
  EXPECT_EQ(v, 2.5);
  // Refused and asked again until the list runs out.
  for (const char* answer : {"0x2", "2.5abc", "2 3", "+-2", "nan", "1e-400"}) {
    EXPECT_EQ(acedCommand(RTSTR, "SETVAR", RTSTR, "FACETRES", RTSTR, answer, RTNONE), RTCAN) << answer;
    GetSysVarReal("FACETRES", v);
    EXPECT_EQ(v, 2.5) << answer;
  }
  EXPECT_NE(ui_.printed().find("Requires numeric value."), std::string::npos);
}

TEST_F(SysVars, ZoomExtentsFramesTheDrawing) {
  append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 20, 0)));
  ASSERT_EQ(acedCommand(RTSTR, "_zoom", RTSTR, "_e", RTNONE), RTNORM);
  EXPECT_EQ(host_.viewCenter(), AcGePoint3d(5, 10, 0));
  EXPECT_EQ(host_.viewHeight(), 20);
  EXPECT_EQ(acedCommand(RTSTR, "_zoom", RTSTR, "_window", RTNONE), RTERROR);
}

TEST_F(SysVars, ResultBuffersFreeTheirStrings) {
  resbuf* head = acutNewRb(RTSTR);
  ASSERT_NE(head, nullptr);
  ASSERT_EQ(acedGetVar("CLAYER", head), RTNORM);
  EXPECT_STREQ(head->resval.rstring, "0");
  head->rbnext = acutNewRb(RTSTR);
  head->rbnext->resval.rstring = strdup("second");
  EXPECT_EQ(acutRelRb(head), RTNORM);  // the sanitizer build catches a leak here
}

class Release : public HostTest {
protected:
  Release() : HostTest("2004") {}
};

TEST_F(Release, HostReleaseFromVernumLetter) {
  EXPECT_EQ(GetHostRelease(), 4);
  EXPECT_EQ(HostVersionNames[GetHostRelease()], "AutoCAD 2004");
  EXPECT_EQ(CheckHostRelease(4), 1);
  EXPECT_TRUE(ui_.boxes().empty());
}

TEST_F(SysVars, ReleaseLetterRules) {
  auto& vernum = *host_.sysvars().find("_VERNUM");
  auto releaseOf = [&](const char* text) {
    vernum.text = text;
    return GetHostRelease();
  };
  EXPECT_EQ(releaseOf("E.55.0"), 11);
  EXPECT_EQ(releaseOf("Tanything"), 1);
  EXPECT_EQ(releaseOf("v.16"), 0);  // case matters
  EXPECT_EQ(releaseOf(""), 0);
  EXPECT_EQ(releaseOf("X"), 0);
  vernum.text.reset();  // the host gives no string
  EXPECT_EQ(GetHostRelease(), 0);
  kv::fault::arm(kv::fault::Call::acedGetVar, 1);
  vernum.text = "E";
  EXPECT_EQ(GetHostRelease(), 0);  // a failed read counts as not recognised
  EXPECT_EQ(HostVersionNames[0], "AutoCAD ????");
}

TEST_F(SysVars, CheckHostReleaseNamesTheExpectedRelease) {
  EXPECT_EQ(CheckHostRelease(11), 1);  // this host presents 2011
  EXPECT_TRUE(ui_.boxes().empty());
  EXPECT_EQ(CheckHostRelease(7), 0);
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].text, "This plug-in is designed to work with AutoCAD 2007 based products only");
  EXPECT_EQ(ui_.boxes()[0].caption, "Incompatible AutoCAD Version");
  EXPECT_EQ(ui_.boxes()[0].style, 0x30u);
  // Indexes outside the table name no release: refused, without reading past the table.
  EXPECT_EQ(CheckHostRelease(12), 0);
  EXPECT_EQ(CheckHostRelease(-1), 0);
  EXPECT_EQ(ui_.boxes().size(), 3u);
}
