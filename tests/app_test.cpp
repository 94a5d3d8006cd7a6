// The application shell: messages and command table, the conversion commands end to end,
// the options dialog, help and About.
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/commands.h"
#include "app/kavlorapp.h"
#include "host/appservices.h"
#include "win/module_handles.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "host_fixture.h"
#include "test_files.h"
#include "modeler/solids.h"
#include "host/menu.h"
#include "orvgui/orvgui.h"

namespace fs = std::filesystem;

class App : public HostTest {
protected:
  explicit App(const std::string& release = "2011") : HostTest(release) {}

  void init() { ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, &theApp), AcRx::kRetOK); }
  void unload() { ASSERT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, &theApp), AcRx::kRetOK); }
  int run(const char* command) {
    struct Input : kv::CommandInput {
      bool next(const char*, std::string&) override { return false; }
    } none;
    return host_.runCommand(command, none);
  }
  void store(int resolution, int warning) {
    ORVRegistry reg;
    reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
    reg.WriteInt("Resolution", resolution);
    reg.WriteBool("Warning", warning);
  }
  AcDbObjectId solidOn(const char* layer, int aci, AcGePoint3d at, bool sphere) {
    auto* solid = new AcDb3dSolid;
    EXPECT_EQ(sphere ? solid->createSphere(1) : solid->createBox(2, 3, 4), Acad::eOk);
    solid->transformBy(AcGeMatrix3d::translation(at.asVector()));
    GetOrCreateLayer(layer, TRUE);
    solid->setLayer(layer);
    solid->setColorIndex(Adesk::UInt16(aci));
    return append(solid);
  }
  // Live entities of model space: class name and layer.
  std::vector<std::pair<std::string, std::string>> drawing() {
    std::vector<std::pair<std::string, std::string>> out;
    AcDbBlockTableRecord* space = nullptr;
    acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead);
    for (const AcDbObjectId& id : space->entityIds()) {
      if (id.isErased()) continue;
      AcDbEntity* e = nullptr;
      acdbOpenAcDbEntity(e, id, AcDb::kForRead);
      out.emplace_back(e->isA()->name(), e->layer().GetString());
      e->close();
    }
    space->close();
    return out;
  }

  // The module's temporary folder and settings store, private to the test.
  ScratchFolder base_;
  ScopedEnv temp_{"temp", base_.folder("temp").c_str()};
  ScopedEnv config_{"XDG_CONFIG_HOME", base_.folder("config").c_str()};
};

TEST_F(App, InitRegistersTheCommandsAndLoadsTheMenu) {
  EXPECT_EQ(run("KVAbout"), RTERROR);  // unknown before initialisation
  init();
  ui_.clear();
  EXPECT_EQ(run("KVAbout"), RTNORM);
  EXPECT_EQ(run("_KVAbout"), RTNORM);
  ASSERT_EQ(ui_.abouts().size(), 2u);
  EXPECT_EQ(ui_.abouts()[0], "Kavlor for AutoCAD 2011 version 1.0");
  EXPECT_EQ(std::string(ProductTitle), "Kavlor for AutoCAD 2011 version 1.0");
  // The menu comes from the module's own folder and its pop-up is on the menu bar.
  EXPECT_NE(host_.menus().describeBar().find("_KVConvertSolid"), std::string::npos);
  unload();
  EXPECT_EQ(run("KVAbout"), RTERROR);
  EXPECT_EQ(run("_KVConvertSolid"), RTERROR);
}

TEST_F(App, MessagesPastTheLastHandlerAnswerOk) {
  EXPECT_EQ(acrxEntryPoint(AcRx::AppMsgCode(16), nullptr), AcRx::kRetOK);
  EXPECT_EQ(acrxEntryPoint(AcRx::AppMsgCode(99), nullptr), AcRx::kRetOK);
  EXPECT_EQ(acrxEntryPoint(AcRx::kLoadDwgMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(acrxEntryPoint(AcRx::kNullMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(run("KVAbout"), RTERROR);  // none of them registered anything
}

TEST(Tolerance, FromResolution) {
  EXPECT_DOUBLE_EQ(ToleranceFromResolution(0), 0.01);
  EXPECT_DOUBLE_EQ(ToleranceFromResolution(50), 5.005);
  EXPECT_DOUBLE_EQ(ToleranceFromResolution(100), 10.0);
  EXPECT_NEAR(ToleranceFromResolution(200), 19.99, 1e-12);
}

TEST_F(App, ConvertSolidReplacesEachSourceOnItsLayer) {
  init();
  AcDbObjectId box = solidOn("Boxes", 1, AcGePoint3d(-3, 0, 0), false);  // reaches below zero
  AcDbObjectId ball = solidOn("Balls", 5, AcGePoint3d(5, 5, 5), true);
  AcDbObjectId line = addLine();
  ui_.clear();
  ui_.answer("ALL");
  ui_.answer("");
  ASSERT_EQ(run("KVConvertSolid"), RTNORM);
  EXPECT_NE(ui_.printed().find("\nSuccessfully converted 2 solids. 1 objects could not be converted\n\n"),
            std::string::npos)
      << ui_.printed();
  EXPECT_TRUE(box.isErased());
  EXPECT_TRUE(ball.isErased());
  EXPECT_FALSE(line.isErased());
  auto now = drawing();
  ASSERT_EQ(now.size(), 3u);
  EXPECT_EQ(now[1], (std::pair<std::string, std::string>{"AcDbPolyFaceMesh", "Boxes"}));
  EXPECT_EQ(now[2], (std::pair<std::string, std::string>{"AcDbPolyFaceMesh", "Balls"}));
  EXPECT_TRUE(fs::is_empty(base_ / "temp"));  // no STL file left behind
}

TEST_F(App, ConvertSolidReportsAFailedSelection) {
  init();
  ui_.clear();
  ui_.answer("*Cancel*");
  run("KVConvertSolid");
  EXPECT_NE(ui_.printed().find("Failure [No entities selected]\n"), std::string::npos);
  EXPECT_EQ(ui_.printed().find("Successfully"), std::string::npos);
}

TEST_F(App, ConvertSolidKeepsASourceItCannotReplace) {
  init();
  store(0, 1);
  AcDbObjectId box = solidOn("Boxes", 1, AcGePoint3d(5, 5, 5), false);
  auto convertRefusing = [&](kv::fault::Call call, int nth) {
    ui_.clear();
    ui_.answer(box.handle().text());
    ui_.answer("");
    kv::fault::disarmAll();
    kv::fault::arm(call, nth);
    run("KVConvertSolid");
    EXPECT_EQ(kv::fault::fired(), 1) << kv::fault::name(call);
    EXPECT_NE(ui_.printed().find("\nSuccessfully converted 0 solids. 1 objects could not be converted\n"),
              std::string::npos)
        << ui_.printed();
    EXPECT_FALSE(box.isErased());
    auto now = drawing();
    ASSERT_EQ(now.size(), 1u) << call;  // no mesh beside it
    EXPECT_EQ(now[0], (std::pair<std::string, std::string>{"AcDb3dSolid", "Boxes"}));
  };
  // The source's erasure refused: its mesh is taken out again.
  convertRefusing(kv::fault::Call::acdbEntDel, 1);
  // Its layer and colour unreadable (the opens: highlight, mesh, layer): no mesh elsewhere.
  convertRefusing(kv::fault::Call::acdbOpenObject, 3);
}

TEST_F(App, WarningSettingDecidesTheLimitBoxOfBothCommands) {
  init();
  fs::path sat = base_ / "box.sat";
  {
    AcDb3dSolid solid;
    ASSERT_EQ(solid.createBox(2, 3, 4), Acad::eOk);
    AcDbVoidPtrArray out;
    out.append(&solid);
    ASSERT_EQ(AcDbBody::acisOut(sat.c_str(), out), Acad::eOk);
  }
  auto expectBoxes = [&](size_t shown, const char* command) {
    ASSERT_EQ(ui_.boxes().size(), shown) << command;
    for (const kv::RecordingUI::Box& box : ui_.boxes()) {
      EXPECT_EQ(box.text.rfind("The mesh contains 8 vertices and 12 faces.\n\n", 0), 0u) << box.text;
      EXPECT_EQ(box.caption, "AutoCAD limitation");
      EXPECT_EQ(box.style, 0x40u);
    }
    EXPECT_NE(ui_.printed().find("\nSuccessfully converted 1 solids\n"), std::string::npos) << ui_.printed();
  };
  // The host refusing the first vertex stands for a mesh past its limit: both take the face road.
  auto refuseThePolyfaceMesh = [] {
    kv::fault::disarmAll();
    kv::fault::arm(kv::fault::Call::appendVertex, 1, Acad::eInvalidMeshVertexIndex);
  };
  size_t runs = 0;
  // Nothing stored yet: the warning is on.
  for (int warning : {-1, 0, 1}) {
    if (warning >= 0) store(50, warning);
    const size_t shown = warning != 0 ? 1 : 0;
    AcDbObjectId source = solidOn("Boxes", 1, AcGePoint3d(5, 5, 5), false);
    ui_.clear();
    ui_.answer(source.handle().text());
    ui_.answer("");
    refuseThePolyfaceMesh();
    run("KVConvertSolid");
    EXPECT_EQ(kv::fault::fired(), 1);
    EXPECT_TRUE(source.isErased());
    expectBoxes(shown, "KVConvertSolid");

    ui_.clear();
    ui_.answerFile(sat.string());
    refuseThePolyfaceMesh();
    run("KVConvertSolidFile");
    EXPECT_EQ(kv::fault::fired(), 1);
    expectBoxes(shown, "KVConvertSolidFile");
    // Each run wrote its 12 faces, the selected solid's on its layer, the file's on the current.
    runs += 1;
    auto now = drawing();
    EXPECT_EQ(now.size(), 24 * runs);
    EXPECT_EQ(std::count(now.begin(), now.end(), std::make_pair(std::string("AcDbFace"), std::string("Boxes"))),
              12 * long(runs));
  }
}

// Resolution r gives FACETRES r x 0.01 x 9.99 + 0.01 while the host writes the solid's STL
// file, worked out by hand: 0.01 at 0, 0.3700 x 9.99 + 0.01 = 3.7063 at 37, 10 at 100 (the top
// of FACETRES's range, so the host takes it); the old 0.5 comes back after.
TEST_F(App, ResolutionSetsFacetresForTheExportOnly) {
  init();
  const std::pair<int, double> cases[] = {{0, 0.01}, {37, 3.7063}, {100, 10.0}};
  std::vector<double> seen;
  for (auto [resolution, facetres] : cases) {
    SCOPED_TRACE("Resolution " + std::to_string(resolution));
    store(resolution, 1);
    AcDbObjectId sphere = solidOn("A", 2, AcGePoint3d(5, 5, 5), true);
    ui_.answer(sphere.handle().text());
    ui_.answer("");
    kv::fault::disarmAll();
    seen.clear();
    kv::fault::watch(kv::fault::Call::stlOut, [&] { seen.push_back(host_.sysvars().find("FACETRES")->real); });
    run("KVConvertSolid");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_DOUBLE_EQ(seen[0], facetres);
    resbuf rb{};
    ASSERT_EQ(acedGetVar("FACETRES", &rb), RTNORM);
    EXPECT_EQ(rb.resval.rreal, 0.5);
    EXPECT_EQ(kv::fault::calls(kv::fault::Call::acedSetVar), 2);
    EXPECT_TRUE(sphere.isErased());
  }
}

TEST_F(App, OptionsDialogLoadsAndStoresTheSettings) {
  init();
  HINSTANCE before = acDocManagerPtr()->curResourceHandle();
  ui_.answerDialog({{{1022, 70}, {200, 0}}, IDOK});
  ASSERT_EQ(run("KVOptions"), RTNORM);
  ASSERT_EQ(ui_.dialogs().size(), 1u);
  const kv::DialogView& shown = ui_.dialogs()[0];
  EXPECT_EQ(shown.caption, "Kavlor for AutoCAD Options");
  bool sawSlider = false, sawCheck = false;
  for (const kv::DialogControl& c : shown.controls) {
    if (c.id == 1022) {
      sawSlider = true;
      EXPECT_EQ(c.value, 50);  // nothing stored yet: the middle
      EXPECT_EQ(c.min, 0);
      EXPECT_EQ(c.max, 100);
    }
    if (c.id == 200) {
      sawCheck = true;
      EXPECT_EQ(c.value, 1);
      EXPECT_EQ(c.text, "Show PolyFace Mesh limit warning");
    }
  }
  EXPECT_TRUE(sawSlider && sawCheck);
  ORVRegistry reg;
  reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
  EXPECT_EQ(reg.ReadInt("Resolution", -1), 70);
  EXPECT_EQ(reg.ReadBool("Warning", -1), 0);
  EXPECT_EQ(acDocManagerPtr()->curResourceHandle(), before);

  // Cancel writes nothing.
  ui_.answerDialog({{{1022, 10}, {200, 1}}, IDCANCEL});
  run("KVOptions");
  EXPECT_EQ(reg.ReadInt("Resolution", -1), 70);
  EXPECT_EQ(acDocManagerPtr()->curResourceHandle(), before);
}

TEST_F(App, StoredResolutionOutsideTheSliderIsClampedByOk) {
  init();
  store(150, 1);
  ui_.answerDialog({{}, IDOK});
  run("KVOptions");
  ASSERT_EQ(ui_.dialogs().size(), 1u);
  for (const kv::DialogControl& c : ui_.dialogs()[0].controls) {
    if (c.id != 1022) continue;
    EXPECT_EQ(c.value, 100);
  }
  ORVRegistry reg;
  reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
  EXPECT_EQ(reg.ReadInt("Resolution", -1), 100);
}

TEST_F(App, HelpOpensTheFileBesideTheModule) {
  init();
  ui_.clear();
  run("KVHelp");
  ASSERT_EQ(ui_.shellRequests().size(), 1u);
  // The test program stands for the module here: its folder is the build's bin folder.
  EXPECT_NE(ui_.shellRequests()[0].file.find("Kavlor.chm"), std::string::npos);
  EXPECT_TRUE(ui_.printed().empty());
}

TEST_F(App, HelpFileMissingShowsTheBox) {
  init();
  // A module in another folder, where no help file stands.
  void* other = dlopen(KV_BIN_DIR "/../test-modules/echo_module.arx", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(other, nullptr) << dlerror();
  HINSTANCE own = theApp.m_hInstance;
  theApp.m_hInstance = static_cast<HINSTANCE>(other);
  ui_.clear();
  run("KVHelp");
  theApp.m_hInstance = own;
  dlclose(other);
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].text, "Error displaying Kavlor for AutoCAD help file.");
  EXPECT_EQ(ui_.boxes()[0].caption, "Kavlor for AutoCAD 2011 version 1.0");
  EXPECT_EQ(ui_.boxes()[0].style, 0x30u);
  EXPECT_TRUE(ui_.printed().empty());
}

class App2004 : public App {
protected:
  App2004() : App("2004") {}
};

TEST_F(App2004, AboutNamesTheRunningRelease) {
  init();
  run("KVAbout");
  ASSERT_EQ(ui_.abouts().size(), 1u);
  EXPECT_EQ(ui_.abouts()[0], "Kavlor for AutoCAD 2004 version 1.0");
}

TEST_F(App, ConvertSolidFileAddsMeshesOnTheCurrentLayer) {
  init();
  // A SAT file of two solids and a region, written by the host.
  AcDb3dSolid a, b;
  a.createBox(1, 1, 1);
  b.createTorus(3, 1);
  AcDbVoidPtrArray faces;
  ASSERT_EQ(a.explode(faces), Acad::eOk);
  AcDbVoidPtrArray out;
  out.append(&a);
  out.append(&b);
  out.append(faces[0]);
  fs::path sat = base_ / "three.sat";
  ASSERT_EQ(AcDbBody::acisOut(sat.c_str(), out), Acad::eOk);
  for (void* f : faces) static_cast<AcDbEntity*>(f)->close();

  GetOrCreateLayer("Imported", TRUE);
  ASSERT_EQ(acedCommand(RTSTR, "SETVAR", RTSTR, "CLAYER", RTSTR, "Imported", RTNONE), RTNORM);
  ui_.clear();
  ui_.answerFile(sat.string());
  run("KVConvertSolidFile");
  EXPECT_NE(ui_.printed().find("\nSuccessfully converted 2 solids. 1 objects could not be converted\n\n"),
            std::string::npos)
      << ui_.printed();
  auto now = drawing();
  ASSERT_EQ(now.size(), 2u);
  for (const auto& e : now) EXPECT_EQ(e, (std::pair<std::string, std::string>{"AcDbPolyFaceMesh", "Imported"}));
  ASSERT_EQ(ui_.fileDialogs().size(), 1u);
  EXPECT_TRUE(ui_.fileDialogs()[0].open);

  // Cancel ends silently; a file the host cannot read prints its status.
  ui_.clear();
  ui_.answerFile(std::nullopt);
  run("KVConvertSolidFile");
  EXPECT_TRUE(ui_.printed().empty());
  ui_.answerFile((base_ / "missing.sat").string());
  run("KVConvertSolidFile");
  EXPECT_EQ(ui_.printed(), "Failure [File Not Found]\n");
}

TEST_F(App, DllEntryAttachesOnce) {
  int uiBefore = kvInitAcUiDLLCalls();
  KavlorExtensionModule saved = KavlorDLL;
  KavlorDLL = KavlorExtensionModule();
  void* handle = dlopen(KV_BIN_DIR "/../test-modules/echo_module.arx", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  auto module = static_cast<HINSTANCE>(handle);
  EXPECT_TRUE(DllMain(module, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_TRUE(KavlorDLL.attached);
  EXPECT_EQ(KavlorDLL.resource, module);
  EXPECT_EQ(kvExtensionRecords(module), 1);
  EXPECT_TRUE(DllMain(module, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_EQ(kvExtensionRecords(module), 1);  // not attached again
  EXPECT_EQ(kvInitAcUiDLLCalls(), uiBefore + 2);    // the host's library is started each time
  EXPECT_TRUE(DllMain(module, DLL_PROCESS_DETACH, nullptr));
  EXPECT_FALSE(KavlorDLL.attached);
  EXPECT_TRUE(DllMain(module, DLL_PROCESS_DETACH, nullptr));  // nothing left to end
  theApp.m_hInstance = nullptr;
  dlclose(handle);
  KavlorDLL = saved;
}
