// Dialogs over templates embedded in this test program (fixtures/dialog_test.rc, found through
// the null resource handle), data exchange, the file dialog, the About box and the shell, all
// through the recording user interface.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/acrxapp.h"
#include "win/resources.h"
#include "host_fixture.h"
#include "test_files.h"
#include "orvgui/orvgui.h"
#include "win/afx.h"
#include "win/module_handles.h"

namespace {

namespace fs = std::filesystem;
using Kind = kv::DialogControl::Kind;

// A dialog as the module's options dialog is written: members loaded in OnInitDialog, stored
// in OnOK.
class OptionsDlg : public CDialog {
public:
  explicit OptionsDlg(int initialLevel = 50, int initialFlag = 1, UINT id = 200)
      : CDialog(id, CWnd::FromHandle(adsw_acadMainWnd())), initialLevel_(initialLevel), initialFlag_(initialFlag) {}
  int level = 0, flag = 0;
  int oks = 0;
  bool refuseOk = false;

  void DoDataExchange(CDataExchange* dx) override {
    DDX_Slider(dx, 1022, level);
    DDX_Check(dx, 200, flag);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    level = initialLevel_;
    flag = initialFlag_;
    UpdateData(FALSE);
    return TRUE;
  }
  void OnOK() override {
    ++oks;
    if (!UpdateData(TRUE)) return;
    if (refuseOk) {  // a validation that keeps the dialog open once
      refuseOk = false;
      return;
    }
    CDialog::OnOK();
  }

private:
  int initialLevel_, initialFlag_;
};

class DialogTest : public HostTest {};

const kv::DialogControl* find(const kv::DialogView& v, int id) {
  for (const kv::DialogControl& c : v.controls)
    if (c.id == id) return &c;
  return nullptr;
}

TEST_F(DialogTest, ShowsCaptionSliderWithItsLabelsCheckBoxAndButtons) {
  OptionsDlg dlg;
  ui_.answerDialog({{}, IDOK});
  EXPECT_EQ(dlg.DoModal(), IDOK);
  ASSERT_EQ(ui_.dialogs().size(), 1u);
  const kv::DialogView& v = ui_.dialogs()[0];
  EXPECT_EQ(v.caption, "Test Options");
  // Labels that belong to the slider are not shown on their own; the separator is not shown.
  ASSERT_EQ(v.controls.size(), 4u);
  const kv::DialogControl& slider = v.controls[0];
  EXPECT_EQ(slider.kind, Kind::kSlider);
  EXPECT_EQ(slider.id, 1022);
  EXPECT_EQ(slider.text, "Resolution");
  EXPECT_EQ(slider.value, 50);
  EXPECT_EQ(slider.min, 0);
  EXPECT_EQ(slider.max, 100);
  using Mark = std::pair<std::string, int>;
  EXPECT_EQ(slider.marks, (std::vector<Mark>{{"Low", 0}, {"Medium", 50}, {"High", 100}}));
  EXPECT_EQ(v.controls[1].kind, Kind::kCheckBox);
  EXPECT_EQ(v.controls[1].text, "Show the fixture warning");
  EXPECT_EQ(v.controls[1].value, 1);
  EXPECT_EQ(v.controls[2].kind, Kind::kButton);
  EXPECT_EQ(v.controls[2].id, IDOK);
  EXPECT_EQ(v.controls[3].text, "&Cancel");
  EXPECT_EQ(dlg.level, 50);
  EXPECT_EQ(dlg.flag, 1);
}

TEST_F(DialogTest, OkReadsTheControlsBackAndCancelLeavesTheMembers) {
  OptionsDlg ok;
  ui_.answerDialog({{{1022, 70}, {200, 0}}, IDOK});
  EXPECT_EQ(ok.DoModal(), IDOK);
  EXPECT_EQ(ok.level, 70);
  EXPECT_EQ(ok.flag, 0);

  OptionsDlg cancelled;
  ui_.answerDialog({{{1022, 10}, {200, 0}}, IDCANCEL});
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.oks, 0);
  EXPECT_EQ(cancelled.level, 50);
  EXPECT_EQ(cancelled.flag, 1);
}

TEST_F(DialogTest, SliderTakesOutOfRangeValuesAtTheNearerEnd) {
  OptionsDlg low(-20, 1);
  ui_.answerDialog({{}, IDOK});
  EXPECT_EQ(low.DoModal(), IDOK);
  EXPECT_EQ(ui_.dialogs().back().controls[0].value, 0);
  EXPECT_EQ(low.level, 0);  // OK stores what the slider shows

  OptionsDlg high(250, 1);
  ui_.answerDialog({{{1022, 1000}}, IDOK});  // the user's answer is held at the end too
  EXPECT_EQ(high.DoModal(), IDOK);
  EXPECT_EQ(ui_.dialogs().back().controls[0].value, 100);
  EXPECT_EQ(high.level, 100);
}

TEST_F(DialogTest, CheckBoxTakesOnlyItsStates) {
  OptionsDlg odd(50, 7);  // out of 0..2: the class library shows it cleared
  ui_.answerDialog({{}, IDOK});
  odd.DoModal();
  EXPECT_EQ(ui_.dialogs().back().controls[1].value, 0);
  OptionsDlg two(50, 2);  // indeterminate on a two-state box shows as set
  ui_.answerDialog({{{200, 5}}, IDOK});
  two.DoModal();
  EXPECT_EQ(ui_.dialogs().back().controls[1].value, 1);
  EXPECT_EQ(two.flag, 1);
}

TEST_F(DialogTest, OkThatKeepsTheDialogOpenShowsItAgain) {
  OptionsDlg dlg;
  dlg.refuseOk = true;
  ui_.answerDialog({{{1022, 30}}, IDOK});
  ui_.answerDialog({{{1022, 40}}, IDOK});
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.oks, 2);
  ASSERT_EQ(ui_.dialogs().size(), 2u);
  EXPECT_EQ(ui_.dialogs()[1].controls[0].value, 30);  // shown again as the user left it
  EXPECT_EQ(dlg.level, 40);
}

TEST_F(DialogTest, NoAnswerCancelsAndEndOfInputIsNotALoop) {
  OptionsDlg dlg;
  dlg.refuseOk = true;
  ui_.answerDialog({{}, IDOK});
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);  // the second showing finds no answer: Escape
  EXPECT_EQ(ui_.dialogs().size(), 2u);
}

TEST_F(DialogTest, MissingTemplateOrWrongControlFails) {
  OptionsDlg absent(50, 1, 999);
  EXPECT_EQ(absent.DoModal(), -1);
  EXPECT_TRUE(ui_.dialogs().empty());
  // Dialog 201 has no control 1022: the exchange fails and OK keeps the dialog open.
  OptionsDlg wrong(50, 1, 201);
  ui_.answerDialog({{}, IDOK});
  EXPECT_EQ(wrong.DoModal(), IDCANCEL);
  EXPECT_EQ(wrong.oks, 1);
  EXPECT_EQ(wrong.UpdateData(TRUE), FALSE);  // not running
}

TEST_F(DialogTest, TemplateIsLookedUpThroughTheCurrentResourceHandle) {
  // A handle of a library without resources (the platform's own) finds no template.
  Dl_info info{};
  ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&acDocManagerPtr), &info));
  void* platform = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(platform, nullptr);
  acDocManagerPtr()->pushResourceHandle(static_cast<HINSTANCE>(platform));
  OptionsDlg dlg;
  EXPECT_EQ(dlg.DoModal(), -1);
  acDocManagerPtr()->popResourceHandle();
  dlclose(platform);
  // A handle that names nothing loaded is refused without a look.
  acDocManagerPtr()->pushResourceHandle(reinterpret_cast<HINSTANCE>(0x1234));
  EXPECT_EQ(dlg.DoModal(), -1);
  acDocManagerPtr()->popResourceHandle();
}

TEST_F(DialogTest, ThreeStateAndButtonStyleControls) {
  class Second : public CDialog {
  public:
    Second() : CDialog(201) {}
    int maybe = 2, plain = 1, pos = 0;
    void DoDataExchange(CDataExchange* dx) override {
      DDX_Check(dx, 10, maybe);
      DDX_Check(dx, 11, plain);
      DDX_Slider(dx, 12, pos);
    }
  } dlg;
  ui_.answerDialog({{{10, 2}, {11, 0}, {12, 64}}, IDOK});
  EXPECT_EQ(dlg.DoModal(), IDOK);
  const kv::DialogView& v = ui_.dialogs().back();
  ASSERT_NE(find(v, 10), nullptr);
  EXPECT_EQ(find(v, 10)->kind, Kind::kCheckBox);
  EXPECT_EQ(find(v, 11)->kind, Kind::kCheckBox);
  EXPECT_EQ(find(v, 12)->text, "");  // a slider without a label beside it
  EXPECT_EQ(dlg.maybe, 2);
  EXPECT_EQ(dlg.plain, 0);
  EXPECT_EQ(dlg.pos, 64);
}

// ---------------------------------------------------------------------------------------------

class FileDialogTest : public HostTest {
protected:
  FileDialogTest() { std::ofstream(dir_ / "solids.sat") << "x"; }
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST_F(FileDialogTest, OpenDialogShowsTheFilterAndAnswersThePath) {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "ACIS SAT Files (*.sat)|*.sat||");
  std::string windows = (dir_ / "solids.sat").string();
  ui_.answerFile(windows);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(std::string(dlg.GetPathName()), windows);
  ASSERT_EQ(ui_.fileDialogs().size(), 1u);
  EXPECT_TRUE(ui_.fileDialogs()[0].open);
  using Filter = std::pair<std::string, std::string>;
  EXPECT_EQ(ui_.fileDialogs()[0].filters, (std::vector<Filter>{{"ACIS SAT Files (*.sat)", "*.sat"}}));
}

TEST_F(FileDialogTest, CancelAndNoAnswerGiveIdCancel) {
  CFileDialog dlg(TRUE);
  ui_.answerFile(std::nullopt);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(dlg.GetPathName().IsEmpty());
}

TEST_F(FileDialogTest, MissingFileIsTakenOrAskedAgainAsTheFlagsSay) {
  std::string missing = (dir_ / "absent.sat").string();
  CFileDialog plain(TRUE, nullptr, nullptr, OFN_HIDEREADONLY);
  ui_.answerFile(missing);
  EXPECT_EQ(plain.DoModal(), IDOK);  // without OFN_FILEMUSTEXIST the name is taken
  EXPECT_EQ(std::string(plain.GetPathName()), missing);
  EXPECT_TRUE(ui_.boxes().empty());

  CFileDialog strict(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST);
  ui_.answerFile(missing);
  ui_.answerFile((dir_ / "solids.sat").string());
  EXPECT_EQ(strict.DoModal(), IDOK);
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].text, "absent.sat\nFile not found.\nCheck the file name and try again.");
  EXPECT_EQ(ui_.fileDialogs().size(), 3u);
}

TEST_F(FileDialogTest, RelativeNamesDefaultExtensionAndOverwritePrompt) {
  fs::path old = fs::current_path();
  fs::current_path(dir_);
  CFileDialog save(FALSE, "sat", nullptr, OFN_OVERWRITEPROMPT);
  ui_.answerFile("solids");  // becomes solids.sat, which exists
  ui_.answerBox(IDNO);
  ui_.answerFile("new");
  EXPECT_EQ(save.DoModal(), IDOK);
  fs::current_path(old);
  EXPECT_EQ(fs::path(std::string(save.GetPathName())), dir_ / "new.sat");
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].text, "solids.sat already exists.\nDo you want to replace it?");
}

TEST_F(FileDialogTest, AboutAndShellGoThroughTheInterface) {
  ORVGUIUtils::About(CString("Kavlor for AutoCAD 2011 version 1.0"), nullptr);
  ASSERT_EQ(ui_.abouts().size(), 1u);
  EXPECT_EQ(ui_.abouts()[0], "Kavlor for AutoCAD 2011 version 1.0");

  auto code = [](HINSTANCE h) { return int(reinterpret_cast<std::intptr_t>(h)); };
  fs::path spaced = dir_ / "a folder" / "help file.chm";
  fs::create_directories(spaced.parent_path());
  std::ofstream(spaced) << "x";
  std::string windows = spaced.string();
  for (char& c : windows)
    if (c == '/') c = '\\';
  EXPECT_EQ(code(ShellExecuteA(nullptr, "open", windows.c_str(), "", nullptr, SW_SHOW)), 42);
  EXPECT_EQ(code(ShellExecuteA(nullptr, "open", (dir_ / "none.chm").c_str(), "", nullptr, SW_SHOW)), 2);
  EXPECT_EQ(code(ShellExecuteA(nullptr, nullptr, "help file.chm", "", spaced.parent_path().c_str(), SW_SHOW)), 42);
  EXPECT_EQ(code(ShellExecuteA(nullptr, "print", spaced.c_str(), "", nullptr, SW_SHOW)), 31);
  ASSERT_EQ(ui_.shellRequests().size(), 3u);
  EXPECT_EQ(ui_.shellRequests()[0].file, spaced.string());  // one file argument, spaces and all
  EXPECT_EQ(ui_.shellRequests()[0].parameters, "");
}

// ---------------------------------------------------------------------------------------------

TEST(ExtensionModule, AttachesOnceAndTermReleasesItsRecords) {
  auto handle = reinterpret_cast<HMODULE>(0x4000);
  AFX_EXTENSION_MODULE ext;
  kv::fault::disarmAll();
  kv::fault::arm(kv::fault::Call::AfxInitExtensionModule, 1);
  EXPECT_EQ(AfxInitExtensionModule(ext, handle), FALSE);
  EXPECT_EQ(ext.bInitialized, FALSE);
  EXPECT_EQ(ext.hResource, nullptr);
  ASSERT_EQ(AfxInitExtensionModule(ext, handle), TRUE);
  EXPECT_EQ(ext.hModule, handle);
  EXPECT_EQ(ext.hResource, handle);
  new CDynLinkLibrary(ext);
  AFX_EXTENSION_MODULE other;
  AfxInitExtensionModule(other, reinterpret_cast<HMODULE>(0x5000));
  new CDynLinkLibrary(other);
  EXPECT_EQ(kvExtensionRecords(handle), 1);
  AfxTermExtensionModule(ext);
  EXPECT_EQ(kvExtensionRecords(handle), 0);
  EXPECT_EQ(kvExtensionRecords(other.hModule), 1);
  AfxTermExtensionModule(other);
  EXPECT_EQ(kvExtensionRecords(other.hModule), 0);
}

TEST(Resources, StringTableOfTheProgramAndWindowHandles) {
  char buf[8];
  EXPECT_EQ(LoadStringA(nullptr, 100, buf, sizeof buf), 7);
  EXPECT_STREQ(buf, "Fixture");
  EXPECT_EQ(LoadStringA(nullptr, 100, buf, 4), 3);
  EXPECT_STREQ(buf, "Fix");
  EXPECT_EQ(LoadStringA(nullptr, 101, buf, sizeof buf), 0);
  HWND main = adsw_acadMainWnd();
  EXPECT_EQ(CWnd::FromHandle(main), CWnd::FromHandle(main));
  EXPECT_EQ(CWnd::FromHandle(main)->GetSafeHwnd(), main);
  EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
}

}  // namespace
