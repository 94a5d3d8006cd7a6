// The host's dynamic linker and application services, with real modules loaded in-process:
// kInitAppMsg and kUnloadAppMsg, locking, the ARX command, the DLL entry's handle, the
// document manager's resource handles and the application base class's dispatch.
#include <cstdlib>
#include <filesystem>

#include "host/acrxapp.h"
#include "host/appservices.h"
#include "host/menu.h"
#include "host_fixture.h"
#include "test_files.h"
#include "win/afx.h"

namespace {

namespace fs = std::filesystem;

class AppServicesTest : public HostTest {
protected:
  kv::Applications& apps() { return host_.applications(); }

  // What the test modules read at load: unset unless a test says otherwise, and put back after.
  ScopedEnv locked_{"KVFX_LOCKED", nullptr};
  ScopedEnv echoLocked_{"KVHOST_ECHO_LOCKED", nullptr};
  ScopedEnv echoRefuse_{"KVHOST_ECHO_REFUSE", nullptr};
};

TEST_F(AppServicesTest, LoadedModuleRegistersItsCommandsAndKnowsItsOwnFile) {
  int uiInits = kvInitAcUiDLLCalls();
  std::string error;
  ASSERT_TRUE(apps().load(KV_COMMAND_MODULE, error)) << error;
  EXPECT_EQ(kvInitAcUiDLLCalls(), uiInits + 1);  // the DLL entry ran at load
  ASSERT_EQ(apps().loaded().size(), 1u);
  const kv::Applications::App& app = apps().loaded()[0];
  EXPECT_EQ(app.name, "command_module.arx");
  EXPECT_FALSE(app.locked);  // it unlocked itself at kInitAppMsg
  EXPECT_TRUE(app.mdiAware);
  EXPECT_FALSE(acrxDynamicLinker->isApplicationLocked("command_module"));

  ui_.clear();
  ASSERT_EQ(acedCommand(RTSTR, "_KVFXWhere", RTNONE), RTNORM);
  // The handle the DLL entry got is the app id of kInitAppMsg, and it names the module file.
  EXPECT_EQ(ui_.printed(), "command_module: file=" + fs::path(KV_COMMAND_MODULE).lexically_normal().string() +
                               " appId=same records=1\n");
  // Its menu was read from beside it and put on the bar.
  ASSERT_EQ(host_.menus().bar().size(), 1u);
  EXPECT_EQ(host_.menus().bar()[0].group, "KvFixture");
}

TEST_F(AppServicesTest, ArxUnloadsAnUnlockedModuleAndItsCommandsGo) {
  ASSERT_EQ(acedCommand(RTSTR, "ARX", RTSTR, "L", RTSTR, KV_COMMAND_MODULE, RTNONE), RTNORM) << ui_.printed();
  EXPECT_NE(ui_.printed().find("command_module.arx loaded.\n"), std::string::npos) << ui_.printed();
  ui_.clear();
  ASSERT_EQ(acedCommand(RTSTR, "ARX", RTSTR, "?", RTNONE), RTNORM);
  EXPECT_NE(ui_.printed().find("  command_module.arx  ("), std::string::npos) << ui_.printed();
  ui_.clear();
  ASSERT_EQ(acedCommand(RTSTR, "ARX", RTSTR, "unload", RTSTR, "Command_Module", RTNONE), RTNORM) << ui_.printed();
  // kUnloadAppMsg first, then the library closes and its DLL entry detaches.
  EXPECT_EQ(ui_.printed(), "command_module: unloaded\ncommand_module: detach records=1\nCommand_Module unloaded.\n");
  EXPECT_TRUE(apps().loaded().empty());
  EXPECT_EQ(acedCommand(RTSTR, "KVFXWhere", RTNONE), RTERROR);
  // The menu stays loaded, as the host keeps it.
  EXPECT_EQ(host_.menus().groups().size(), 1u);
}

TEST_F(AppServicesTest, LockedModuleCannotBeUnloadedButGetsItsMessageAtTheEnd) {
  locked_.set("1");
  std::string error;
  ASSERT_TRUE(apps().load(KV_COMMAND_MODULE, error)) << error;
  EXPECT_TRUE(acrxDynamicLinker->isApplicationLocked("command_module.arx"));
  ui_.clear();
  EXPECT_EQ(acedCommand(RTSTR, "ARX", RTSTR, "U", RTSTR, "command_module", RTNONE), RTERROR);
  EXPECT_EQ(ui_.printed(), "Application command_module.arx is locked and cannot be unloaded.\n");
  EXPECT_EQ(acedCommand(RTSTR, "KVFXWhere", RTNONE), RTNORM);
  ui_.clear();
  apps().unloadAll();
  EXPECT_EQ(ui_.printed(), "command_module: unloaded\n");  // the library closes with the host
  EXPECT_EQ(acedCommand(RTSTR, "KVFXWhere", RTNONE), RTERROR);
}

TEST_F(AppServicesTest, LoadFailuresNameTheirCause) {
  std::string error;
  EXPECT_FALSE(apps().load("/no/such/module.arx", error));
  EXPECT_NE(error.find("cannot load module /no/such/module.arx"), std::string::npos) << error;
  EXPECT_FALSE(apps().load(KV_NO_ENTRY_MODULE, error));
  EXPECT_NE(error.find("does not export acrxEntryPoint"), std::string::npos) << error;
  echoLocked_.set("1");
  ASSERT_TRUE(apps().load(KV_ECHO_MODULE, error)) << error;
  echoLocked_.set(nullptr);
  EXPECT_FALSE(apps().load(KV_ECHO_MODULE, error));
  EXPECT_NE(error.find("already loaded"), std::string::npos) << error;
  EXPECT_EQ(apps().loaded().size(), 1u);
  EXPECT_FALSE(apps().unload("echo_module", error));
  EXPECT_NE(error.find("locked"), std::string::npos) << error;
  EXPECT_FALSE(apps().unload("nothing", error));
  EXPECT_NE(error.find("not loaded"), std::string::npos) << error;
}

TEST_F(AppServicesTest, RefusingModuleLosesItsCommandsAndGetsNoUnloadMessage) {
  echoRefuse_.set("1");
  std::string error;
  EXPECT_FALSE(apps().load(KV_ECHO_MODULE, error));
  EXPECT_NE(error.find("kRetError"), std::string::npos) << error;
  EXPECT_TRUE(apps().loaded().empty());
  ui_.clear();
  apps().unloadAll();
  EXPECT_EQ(ui_.printed(), "");
}

TEST_F(AppServicesTest, ArxAsksAgainForAnUnknownOptionAndFailsOnAMissingFile) {
  EXPECT_EQ(acedCommand(RTSTR, "ARX", RTSTR, "x", RTSTR, "Lo", RTSTR, "/no/where.arx", RTNONE), RTERROR);
  EXPECT_NE(ui_.printed().find("Invalid option keyword.\n"), std::string::npos) << ui_.printed();
  EXPECT_NE(ui_.printed().find("Cannot load module /no/where.arx"), std::string::npos) << ui_.printed();
  EXPECT_EQ(acedCommand(RTSTR, "ARX", RTNONE), RTCAN);  // no answer: cancelled
}

TEST_F(AppServicesTest, ResourceHandleStackRestoresTheHostsHandle) {
  AcApDocManager* dm = acDocManagerPtr();
  EXPECT_EQ(dm->curResourceHandle(), nullptr);
  auto a = reinterpret_cast<HINSTANCE>(0x10), b = reinterpret_cast<HINSTANCE>(0x20);
  dm->pushResourceHandle(a);
  dm->pushResourceHandle(b);
  EXPECT_EQ(dm->curResourceHandle(), b);
  dm->popResourceHandle();
  EXPECT_EQ(dm->curResourceHandle(), a);
  dm->popResourceHandle();
  dm->popResourceHandle();  // one pop too many leaves the host's own handle
  EXPECT_EQ(dm->curResourceHandle(), nullptr);
}

struct RecordingApp : AcRxArxApp {
  std::vector<int> seen;
  AcRx::AppRetCode OnInitAppMsg(void*) override { seen.push_back(1); return AcRx::kRetOK; }
  AcRx::AppRetCode OnUnloadAppMsg(void*) override { seen.push_back(2); return AcRx::kRetOK; }
  AcRx::AppRetCode OnEndDialogMsg(void*) override { seen.push_back(15); return AcRx::kRetError; }
  AcRx::AppRetCode OnNullMsg(void*) override { seen.push_back(0); return AcRx::kRetOK; }
};

TEST(AppDispatch, CodesReachTheirHandlersAndHigherCodesNone) {
  RecordingApp app;
  EXPECT_EQ(app.dispatch(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(app.dispatch(AcRx::kEndDialogMsg, nullptr), AcRx::kRetError);
  EXPECT_EQ(app.dispatch(AcRx::kNullMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(app.dispatch(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(app.dispatch(AcRx::kSuspendMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(app.dispatch(static_cast<AcRx::AppMsgCode>(99), nullptr), AcRx::kRetOK);
  EXPECT_EQ(app.seen, (std::vector<int>{1, 15, 0, 2}));
}

TEST(Keywords, CapitalsOrPrefixesPastTheLastCapital) {
  EXPECT_TRUE(kv::matchesKeyword("l", "Load"));
  EXPECT_TRUE(kv::matchesKeyword("LOAD", "Load"));
  EXPECT_TRUE(kv::matchesKeyword("x", "eXtents"));
  EXPECT_TRUE(kv::matchesKeyword("ext", "eXtents"));
  EXPECT_FALSE(kv::matchesKeyword("e", "eXtents"));
  EXPECT_FALSE(kv::matchesKeyword("Loads", "Load"));
  EXPECT_FALSE(kv::matchesKeyword("", "Load"));
}

}  // namespace
