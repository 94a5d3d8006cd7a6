// The settings store behind ORVRegistry: values by key and name, kept across objects (and runs),
// written whole through a renamed file, and a broken file reading as empty.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testing/faults.h"
#include "orvgui/orvgui.h"
#include "orvgui/settings_store.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
const char* const kKey = "Software\\Orvanta\\Kavlor for AutoCAD";

class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() { kv::fault::disarmAll(); }
  ~SettingsTest() override { kv::fault::disarmAll(); }
  fs::path file() const { return dir_ / "kavlor" / "settings.ini"; }
  std::string text() const {
    std::ifstream in(file());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.c_str()};
};

TEST_F(SettingsTest, NothingStoredGivesTheDefaults) {
  ORVRegistry r;
  EXPECT_EQ(r.ReadInt("Resolution", 50), 50);  // no key yet
  EXPECT_EQ(r.SetKey(kKey, 1), 1);
  EXPECT_EQ(r.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(r.ReadBool("Warning", 1), 1);
  EXPECT_FALSE(fs::exists(file()));  // reading makes no file
}

TEST_F(SettingsTest, WrittenValuesComeBackInLaterObjectsUnderTheirKeyOnly) {
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
  EXPECT_EQ(r.ReadInt("Negative", 0), -3);
  EXPECT_EQ(r.ReadInt("resolution", 50), 50);  // names are kept exactly
  ORVRegistry other;
  other.SetKey("Software\\Other", 1);
  EXPECT_EQ(other.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(other.SetKey("", 1), 0);
  ORVRegistry strict;
  EXPECT_EQ(strict.SetKey("Software\\Never", 0), 0);
  EXPECT_EQ(strict.SetKey(kKey, 0), 1);
  EXPECT_EQ(text(), "; Kavlor settings\n[Software\\Orvanta\\Kavlor for AutoCAD]\nNegative=-3\nResolution=137\nWarning=1\n");
}

TEST_F(SettingsTest, NamesWithLineBreaksAndBracketsCannotInjectValues) {
  ORVRegistry r;
  r.SetKey("Key]\n[Injected", 1);
  r.WriteInt("Name\nResolution=99", 1);
  r.WriteInt("=odd[]%", 2);
  ORVRegistry plain;
  plain.SetKey("Injected", 1);
  EXPECT_EQ(plain.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(r.ReadInt("Name\nResolution=99", 0), 1);
  EXPECT_EQ(r.ReadInt("=odd[]%", 0), 2);
  kv::settings::Store store = kv::settings::load(file().string());
  ASSERT_EQ(store.size(), 1u);
  EXPECT_EQ(store.begin()->first, "Key]\n[Injected");
}

TEST_F(SettingsTest, BrokenStoreReadsEmptyAndTheNextWriteReplacesItCleanly) {
  fs::create_directories(file().parent_path());
  for (const char* broken : {"[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=abc\n",
                             "Resolution=10\n",                          // a value outside any section
                             "[unclosed\nResolution=10\n",
                             "[k]\nResolution=99999999999\n",           // past int
                             "[%zz]\nA=1\n", "\x01\x02garbage"}) {
    std::ofstream(file(), std::ios::binary) << broken;
    ORVRegistry r;
    r.SetKey(kKey, 1);
    EXPECT_EQ(r.ReadInt("Resolution", 50), 50) << broken;
  }
  ORVRegistry r;
  r.SetKey(kKey, 1);
  r.WriteInt("Resolution", 20);
  EXPECT_EQ(text(), "; Kavlor settings\n[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=20\n");
}

TEST_F(SettingsTest, HalfBadStoreReadsEmptyWholeAndBlanksAroundAValueAreTaken) {
  fs::create_directories(file().parent_path());
  // One bad line spoils the file: its good values are not half taken.
  std::ofstream(file(), std::ios::binary) << "[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution=20\nWarning=yes\n";
  ORVRegistry r;
  r.SetKey(kKey, 1);
  EXPECT_EQ(r.ReadInt("Resolution", 50), 50);
  EXPECT_EQ(r.ReadBool("Warning", 0), 0);
  std::ofstream(file(), std::ios::binary) << "[Software\\Orvanta\\Kavlor for AutoCAD]\nResolution= 20\r\nWarning=0\n";
  EXPECT_EQ(r.ReadInt("Resolution", 50), 20);
  EXPECT_EQ(r.ReadBool("Warning", 1), 0);
}

TEST_F(SettingsTest, FailedWriteLeavesTheOldStoreAndNoTemporaryFile) {
  ORVRegistry r;
  r.SetKey(kKey, 1);
  r.WriteInt("Resolution", 10);
  using kv::fault::Call;
  // A full disk, a refused flush, a refused rename, and a store that cannot be read (which is
  // then not replaced, or its other values would be lost).
  for (Call call : {Call::fileWrite, Call::fileSync, Call::fileRename, Call::fileOpen}) {
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    EXPECT_EQ(r.WriteInt("Resolution", 90), 0) << kv::fault::name(call);
    EXPECT_EQ(kv::fault::fired(call), 1);
    kv::fault::disarmAll();
    EXPECT_EQ(r.ReadInt("Resolution", 50), 10);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(file().parent_path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << kv::fault::name(call);
  }
}

TEST(SettingsFormat, RoundTripsAndEveryTruncationParsesOrIsRefused) {
  kv::settings::Store store;
  store["Software\\A"]["x"] = 1;
  store["Software\\A"][" spaced "] = -7;
  store["B\r\n"]["#hash"] = 2147483647;
  store["B\r\n"][";semi"] = -2147483647 - 1;
  std::string text = kv::settings::format(store);
  kv::settings::Store back;
  ASSERT_TRUE(kv::settings::parse(text, back));
  EXPECT_EQ(back, store);
  for (size_t n = 0; n < text.size(); ++n) {
    kv::settings::Store cut;
    kv::settings::parse(text.substr(0, n), cut);  // must not crash; content may be partial
  }
}

// Escapes are '%' and two hex digits; the texts are written out by hand.
TEST(SettingsFormat, BytesThatWouldBreakALineAreTwoHexDigits) {
  kv::settings::Store store;
  store["B\r\n"]["100%"] = 1;
  store["B\r\n"]["x\x7Fy"] = 2;
  store["B\r\n"][" [a=b] "] = 3;
  store["B\r\n"][";c"] = 4;
  store["B\r\n"]["d;\t\xE9"] = 5;  // ';' inside a name is plain; bytes past 0x7F too
  EXPECT_EQ(kv::settings::format(store),
            "; Kavlor settings\n"
            "[B%0D%0A]\n"
            "%20%5Ba%3Db%5D%20=3\n"
            "100%25=1\n"
            "%3Bc=4\n"
            "d;%09\xE9=5\n"
            "x%7Fy=2\n");

  kv::settings::Store read;
  ASSERT_TRUE(kv::settings::parse("[Sect%5Bion%5D]\nx%7fy=2\n%E9t%e9=-7\n%25%0A=1\n", read));
  EXPECT_EQ(read, (kv::settings::Store{{"Sect[ion]", {{"x\x7Fy", 2}, {"\xE9t\xE9", -7}, {"%\n", 1}}}}));
  for (const char* bad : {"[K]\na%7=1\n", "[K]\na%G0=1\n", "[K%]\na=1\n"}) {
    kv::settings::Store untouched{{"k", {{"n", 1}}}};
    EXPECT_FALSE(kv::settings::parse(bad, untouched)) << bad;
    EXPECT_EQ(untouched, (kv::settings::Store{{"k", {{"n", 1}}}})) << bad;
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
