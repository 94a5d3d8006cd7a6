// Every input a fuzz target once failed on (tests/fuzz_regressions), and the targets' seeds
// (fuzz/corpus), fed to their readers again. A file's name says what the reader must answer:
// "name.read.ext" is read, "name.refused.ext" is refused with a reason. The sanitizer build
// turns the old crashes and leaks back into failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "dxf/dxf.h"
#include "host/menu.h"
#include "win/resources.h"
#include "kolib/kostl.h"
#include "modeler/sat_acis.h"
#include "orvgui/settings_store.h"
#include "host_fixture.h"

namespace fs = std::filesystem;

#include "test_files.h"

namespace {

struct Outcome {
  bool read = false;
  std::string reason;  // why a refusal was refused; empty for a read
};

// The inputs of one target, each with the outcome its name asks for.
struct Case {
  fs::path path;
  bool read;
};

std::vector<Case> casesOf(const std::string& target) {
  std::vector<Case> cases;
  for (fs::path dir : {fs::path(KV_SOURCE_DIR) / "tests" / "fuzz_regressions" / target,
                       fs::path(KV_SOURCE_DIR) / "fuzz" / "corpus" / target}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      std::string expect = entry.path().stem().extension().string();
      EXPECT_TRUE(expect == ".read" || expect == ".refused") << entry.path() << ": name.read.ext or name.refused.ext";
      cases.push_back({entry.path(), expect == ".read"});
    }
  }
  std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.path < b.path; });
  return cases;
}

class FuzzRegression : public HostTest {
protected:
  void replay(const std::string& target, const std::function<Outcome(const fs::path&)>& reader) {
    std::vector<Case> cases = casesOf(target);
    ASSERT_FALSE(cases.empty()) << "no inputs for " << target;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.path.filename().string());
      Outcome got = reader(c.path);
      EXPECT_EQ(got.read, c.read) << got.reason;
      if (!got.read) {
        EXPECT_FALSE(got.reason.empty());
      }
    }
  }
};

TEST_F(FuzzRegression, StlInputsEndInAStatus) {
  replay("fuzz_stl", [](const fs::path& path) {
    ON_Mesh mesh;
    if (KOSTL::STLToMesh(path.c_str(), mesh)) return Outcome{true, ""};
    EXPECT_TRUE(mesh.IsEmpty());
    return Outcome{false, KOSTL::GetError().GetString()};
  });
}

TEST_F(FuzzRegression, SatInputsEndInAStatus) {
  replay("fuzz_sat", [](const fs::path& path) {
    AcDbVoidPtrArray entities;
    std::string why;
    Acad::ErrorStatus st = kv::modeler::satIn(path.c_str(), entities, &why);
    for (int i = 0; i < entities.length(); ++i) delete static_cast<AcDbEntity*>(entities[i]);
    if (st == Acad::eOk) return Outcome{true, ""};
    EXPECT_EQ(st, Acad::eCannotRestoreFromAcisFile);
    return Outcome{false, why};
  });
}

TEST_F(FuzzRegression, DxfInputsEndInAStatus) {
  replay("fuzz_dxf", [](const fs::path& path) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    Acad::ErrorStatus st = kv::dxf::readDrawing(path.string(), db, error);
    if (st == Acad::eOk) return Outcome{db != nullptr, "read without a drawing"};
    EXPECT_TRUE(st == Acad::eBadDxfFile || st == Acad::eDxfReadAborted) << st;
    EXPECT_FALSE(db);
    return Outcome{false, error};
  });
}

TEST_F(FuzzRegression, MenuInputsEndInAStatus) {
  replay("fuzz_menu", [](const fs::path& path) {
    kv::MenuSystem menus;
    std::string error;
    if (menus.load(path.string(), error)) return Outcome{true, ""};
    return Outcome{false, error};
  });
}

TEST_F(FuzzRegression, SettingsInputsEndInAStatus) {
  replay("fuzz_settings", [](const fs::path& path) {
    const std::string text = readFile(path);
    kv::settings::Document document(text);
    EXPECT_EQ(document.text(), text);  // every byte is kept
    kv::settings::Document changed = document;
    changed.set("Software\\Orvanta\\Kavlor for AutoCAD", "Resolution", 7);
    EXPECT_EQ(kv::settings::Document(changed.text()).values().at("Software\\Orvanta\\Kavlor for AutoCAD").at("Resolution"), 7);
    if (document.ignored().empty()) return Outcome{true, ""};
    return Outcome{false, "ignored line " + std::to_string(document.ignored().front().first)};
  });
}

TEST_F(FuzzRegression, ResourceScriptsEndInAStatus) {
  replay("fuzz_resources", [](const fs::path& path) {
    kv::res::ResourceScript script;
    std::string error;
    if (kv::res::parseScript(readFile(path), script, error)) return Outcome{true, ""};
    return Outcome{false, error};
  });
}

}  // namespace
