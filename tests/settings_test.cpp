// The settings store behind ORVRegistry: the user's INI file read as INI files usually are, what
// it does not understand kept and reported once, and writes that change only the values set,
// through a symlink, atomically.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "orvgui/orvgui.h"
#include "orvgui/settings_store.h"
#include "testing/faults.h"
#include "testing/recording_ui.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
const char* const kKey = "Software\\Orvanta\\Kavlor for AutoCAD";

class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() {
    kv::fault::disarmAll();
    fs::create_directories(file().parent_path());
  }
  ~SettingsTest() override { kv::fault::disarmAll(); }
  fs::path file() const { return dir_ / "kavlor" / "settings.ini"; }
  std::string text(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string text() const { return text(file()); }
  void put(const std::string& content) const { std::ofstream(file(), std::ios::binary) << content; }
  // Resolution and Warning as the commands read them.
  std::pair<int, int> read() const {
    ORVRegistry r;
    r.SetKey(kKey, 1);
    return {r.ReadInt("Resolution", 50), r.ReadBool("Warning", 1)};
  }
  int write(int resolution, int warning) const {
    ORVRegistry r;
    r.SetKey(kKey, 1);
    return r.WriteInt("Resolution", resolution) + r.WriteBool("Warning", warning);
  }
  size_t filesInFolder() const {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(file().parent_path())) n += e.is_regular_file() || e.is_symlink();
    return n;
  }
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.c_str()};
};

TEST_F(SettingsTest, NothingStoredGivesTheDefaultsAndMakesNoFile) {
  fs::remove(file().parent_path());
  EXPECT_EQ(read(), std::make_pair(50, 1));
  ORVRegistry unset;
  EXPECT_EQ(unset.ReadInt("Resolution", 50), 50);  // no key yet
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(SettingsTest, WrittenValuesComeBackInLaterObjectsUnderTheirKeyOnly) {
  fs::remove(file().parent_path());
  {
    ORVRegistry r;
    r.SetKey(kKey, 1);
    EXPECT_EQ(r.WriteInt("Resolution", 137), 1);  // callers do not check the range
    EXPECT_EQ(r.WriteBool("Warning", 5), 1);
    EXPECT_EQ(r.WriteInt("Negative", -3), 1);
  }
  ORVRegistry r;
  r.SetKey(kKey, 1);
  EXPECT_EQ(r.ReadInt("Resolution", 50), 137);
  EXPECT_EQ(r.ReadBool("Warning", 0), 1);
  EXPECT_EQ(r.ReadInt("NEGATIVE", 0), -3);  // names in any case, as INI files go
  ORVRegistry other;
  other.SetKey("Software\\Other", 1);
  EXPECT_EQ(other.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(other.SetKey("", 1), 0);
  ORVRegistry strict;
  EXPECT_EQ(strict.SetKey("Software\\Never", 0), 0);
  EXPECT_EQ(strict.SetKey(kKey, 0), 1);
  EXPECT_EQ(text(), "; Kavlor settings\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=137\nWarning=1\nNegative=-3\n");
}

TEST_F(SettingsTest, NamesWithLineBreaksAndBracketsCannotInjectValues) {
  ORVRegistry r;
  r.SetKey("Key]\n[Injected", 1);
  r.WriteInt("Name\nResolution=99", 1);
  r.WriteInt("=odd[]%", 2);
  r.WriteInt("#hash", 3);
  ORVRegistry plain;
  plain.SetKey("Injected", 1);
  EXPECT_EQ(plain.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(r.ReadInt("Name\nResolution=99", 0), 1);
  EXPECT_EQ(r.ReadInt("=odd[]%", 0), 2);
  EXPECT_EQ(r.ReadInt("#hash", 0), 3);
  kv::settings::Document document = kv::settings::load(file().string());
  ASSERT_EQ(document.values().size(), 1u);
  EXPECT_EQ(document.values().begin()->first, "Key]\n[Injected");
  EXPECT_TRUE(document.ignored().empty());
}

// Files as users write them: each gives the Resolution and Warning it holds.
TEST_F(SettingsTest, HandWrittenFilesReadAsIniFilesAre) {
  struct Case {
    const char* text;
    int resolution, warning;
  } cases[] = {
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution = 70\nWarning=yes\n", 70, 1},
      {"\xEF\xBB\xBF[Software\\Orvanta\\Kavlor for AutoCAD]\r\nResolution=71\r\nWarning=0\r\n", 71, 0},
      {"; mine\n# also mine\n  [ Software\\Orvanta\\Kavlor for AutoCAD ]  \n\t Resolution\t=\t72 \n  ; indented\nWarning = off", 72, 0},
      {"[software\\orvanta\\KAVLOR FOR AUTOCAD]\nresolution=73\nWARNING=True\n", 73, 1},
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=-4\nWarning=7\n", -4, 1},  // as they come back
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=1\nResolution=74\n", 74, 1},  // the last one counts
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=1\n[Other]\nResolution=2\n[software\\orvanta\\kavlor for autocad]\nWarning=no\n", 1, 0},
      // Lines it does not understand are passed over; the rest is still read.
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=abc\nWarning=0\n", 50, 0},
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=99999999999\njunk\nWarning=maybe\n", 50, 1},
      {"Resolution=10\n[Software\\Orvanta\\Kavlor for AutoCAD]\nWarning=0\n", 50, 0},  // outside any section
      // A section header it cannot read does not hand its values to the section before it.
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nWarning=0\n[unclosed\nResolution=10\n", 50, 0},
      {"[Software\\Orvanta\\Kavlor for AutoCAD]\nWarning=0\n[%zz]\nResolution=10\n", 50, 0},
      {"\x01\x02garbage", 50, 1},
  };
  for (const Case& c : cases) {
    put(c.text);
    EXPECT_EQ(read(), std::make_pair(c.resolution, c.warning)) << c.text;
    EXPECT_EQ(kv::settings::load(file().string()).text(), c.text);  // every byte kept
  }
}

TEST_F(SettingsTest, IgnoredLinesAreReportedOnceOnStandardErrorAndNotOnTheCommandLine) {
  put("[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution = 20\nWarning=maybe\n; fine\n\x1b[2J\n");
  kv::RecordingUI ui;
  kv::UserInterface* old = kv::setCurrentUI(&ui);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read(), std::make_pair(20, 1));
  EXPECT_EQ(read(), std::make_pair(20, 1));  // read again: not told again
  std::string err = ::testing::internal::GetCapturedStderr();
  kv::setCurrentUI(old);
  const std::string prefix = "Settings file " + file().string() + ", line ";
  EXPECT_EQ(err, prefix + "3 ignored: Warning=maybe\n" + prefix + "5 ignored: \\x1B[2J\n");  // no escape reaches the terminal
  EXPECT_EQ(ui.transcript(), "");
}

// The user's file: only the values set change or are added; their section keeps its place,
// spelling and spacing; comments, other sections, unknown lines, the byte-order mark, line
// ends and a missing last line end stay.
TEST_F(SettingsTest, WritingChangesOnlyTheValuesItSets) {
  const std::string before =
      "\xEF\xBB\xBF; my settings\r\n"
      "[Colours]\r\n"
      "Background = blue ; inline\r\n"
      "\r\n"
      "[software\\orvanta\\kavlor for autocad]\r\n"
      "  resolution =  70  \r\n"
      "something odd\r\n"
      "\r\n"
      "# about the next one\r\n"
      "[Last]\r\n"
      "X=1";
  put(before);
  EXPECT_EQ(write(20, 0), 2);
  const std::string after =
      "\xEF\xBB\xBF; my settings\r\n"
      "[Colours]\r\n"
      "Background = blue ; inline\r\n"
      "\r\n"
      "[software\\orvanta\\kavlor for autocad]\r\n"
      "  resolution =  20  \r\n"
      "something odd\r\n"
      "Warning=0\r\n"
      "\r\n"
      "# about the next one\r\n"
      "[Last]\r\n"
      "X=1";
  EXPECT_EQ(text(), after);
  EXPECT_EQ(write(20, 0), 2);  // the same values again: the same bytes
  EXPECT_EQ(text(), after);
  EXPECT_EQ(read(), std::make_pair(20, 0));
}

TEST_F(SettingsTest, ANewSectionGoesAtTheEndAfterALastLineWithoutItsEnd) {
  put("[Other]\nA=1");
  EXPECT_EQ(write(30, 1), 2);
  EXPECT_EQ(text(), "[Other]\nA=1\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=30\nWarning=1\n");
  put("\xEF\xBB\xBF");
  EXPECT_EQ(write(31, 0), 2);
  EXPECT_EQ(text(), "\xEF\xBB\xBF; Kavlor settings\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=31\nWarning=0\n");
}

TEST_F(SettingsTest, ASymlinkedFileStaysALinkAndItsTargetIsReplaced) {
  fs::path real = dir_ / "dotfiles" / "kavlor.ini";
  fs::create_directories(real.parent_path());
  std::ofstream(real, std::ios::binary) << "; shared\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=5\n";
  fs::create_symlink("../dotfiles/kavlor.ini", file());
  EXPECT_EQ(read(), std::make_pair(5, 1));
  EXPECT_EQ(write(60, 0), 2);
  EXPECT_TRUE(fs::is_symlink(file()));
  EXPECT_EQ(fs::read_symlink(file()), "../dotfiles/kavlor.ini");
  EXPECT_EQ(text(real), "; shared\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=60\nWarning=0\n");
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(SettingsTest, WhatIsNotARegularFileIsNeverReplaced) {
  fs::create_directory(file());
  EXPECT_EQ(write(60, 0), 0);
  EXPECT_TRUE(fs::is_directory(file()));
  EXPECT_EQ(read(), std::make_pair(50, 1));
}

// A full disk, a refused flush or rename, and a file that cannot be read (which is then not
// replaced, or what it holds would be lost): the old file stays whole, and no temporary is left.
TEST_F(SettingsTest, AFailedWriteLeavesTheOldFileWhole) {
  const std::string before = "; mine\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution = 10\nodd line\n";
  using kv::fault::Call;
  for (Call call : {Call::fileWrite, Call::fileSync, Call::fileRename, Call::fileOpen}) {
    put(before);
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    ORVRegistry r;
    r.SetKey(kKey, 1);
    EXPECT_EQ(r.WriteInt("Resolution", 90), 0) << call;
    EXPECT_EQ(kv::fault::fired(call), 1) << call;
    kv::fault::disarmAll();
    EXPECT_EQ(text(), before) << call;
    EXPECT_EQ(filesInFolder(), 1u) << call;
  }
}

// Every armable call a write makes, failed in turn: the write says so and the file is whole,
// or the write went through whole.
TEST_F(SettingsTest, FaultSweepOverAWrite) {
  const std::string before = "[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=10\n[Keep]\nA=1\n";
  put(before);
  kv::fault::disarmAll();
  ASSERT_EQ(write(11, 0), 2);
  const std::string after = text();
  const int calls = kv::fault::calls();
  ASSERT_GE(calls, 8);  // two reads and two replacements, each opened, written, flushed, renamed
  for (int nth = 1; nth <= calls; ++nth) {
    put(before);
    kv::fault::disarmAll();
    kv::fault::armAny(nth);
    int stored = write(11, 0);
    ASSERT_EQ(kv::fault::fired(), 1) << nth;
    kv::fault::disarmAll();
    EXPECT_LT(stored, 2) << nth;
    // The first write either went through whole or not at all; the second likewise.
    std::string now = text();
    EXPECT_TRUE(now == before || now == after ||
                now == "[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=11\n[Keep]\nA=1\n" ||
                now == "[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=10\nWarning=0\n[Keep]\nA=1\n")
        << nth << ": " << now;
    EXPECT_EQ(filesInFolder(), 1u) << nth;
  }
}

TEST(SettingsDocument, SetValuesReadBackAndEveryTruncationKeepsItsBytes) {
  kv::settings::Document document;
  document.set("Software\\A", "x", 1);
  document.set("Software\\A", " spaced ", -7);
  document.set("B\r\n", "#hash", 2147483647);
  document.set("B\r\n", ";semi", -2147483647 - 1);
  const std::string text = document.text();
  kv::settings::Document back(text);
  EXPECT_EQ(back.values(), (kv::settings::Store{{"Software\\A", {{"x", 1}, {" spaced ", -7}}},
                                                {"B\r\n", {{"#hash", 2147483647}, {";semi", -2147483647 - 1}}}}));
  EXPECT_TRUE(back.ignored().empty());
  for (size_t n = 0; n < text.size(); ++n) EXPECT_EQ(kv::settings::Document(text.substr(0, n)).text(), text.substr(0, n));
}

// Escapes are '%' and two hex digits; the texts are written out by hand.
TEST(SettingsDocument, BytesThatWouldBreakALineAreTwoHexDigits) {
  kv::settings::Document document;
  const std::vector<std::pair<std::string, int>> values{{"100%", 1}, {"x\x7Fy", 2}, {" [a=b] ", 3}, {";c", 4}, {"d;\t\xE9", 5}};
  for (const auto& [name, value] : values) document.set("B\r\n", name, value);
  EXPECT_EQ(document.text(),
            "; Kavlor settings\n"
            "[B%0D%0A]\n"
            "100%25=1\n"
            "x%7Fy=2\n"
            "%20%5Ba%3Db%5D%20=3\n"
            "%3Bc=4\n"
            "d;%09\xE9=5\n");

  kv::settings::Document read("[Sect%5Bion%5D]\nx%7fy=2\n%E9t%e9=-7\n%25%0A=1\n");
  EXPECT_EQ(read.values(), (kv::settings::Store{{"Sect[ion]", {{"x\x7Fy", 2}, {"\xE9t\xE9", -7}, {"%\n", 1}}}}));
  // A header it cannot read leaves its values outside any section: both are ignored.
  for (auto [bad, ignored] : {std::pair<const char*, size_t>{"[K]\na%7=1\n", 1}, {"[K]\na%G0=1\n", 1},
                              {"[K]\na%+1=1\n", 1}, {"[K%]\na=1\n", 2}}) {
    kv::settings::Document document2(bad);
    EXPECT_EQ(document2.ignored().size(), ignored) << bad;
    EXPECT_EQ(document2.text(), bad);
  }
}

TEST(SettingsPath, FollowsXdgConfigHomeOrHome) {
  ScopedEnv xdg("XDG_CONFIG_HOME", "/x/config");
  EXPECT_EQ(kv::settings::storePath(), "/x/config/kavlor/settings.ini");
  xdg.set("relative");  // not absolute: ignored, as XDG says
  const char* home = std::getenv("HOME");
  EXPECT_EQ(kv::settings::storePath(), std::string(home ? home : ".") + "/.config/kavlor/settings.ini");
}

}  // namespace
