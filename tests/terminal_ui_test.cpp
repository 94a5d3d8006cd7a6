// The console host's terminal: how dialogs, file dialogs, the About box and the shell's open
// verb are shown and answered from its input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "host/terminal_ui.h"
#include "test_files.h"
#include "win/winapi.h"

namespace {

kv::DialogView optionsView() {
  kv::DialogView v;
  v.caption = "Options";
  kv::DialogControl slider;
  slider.kind = kv::DialogControl::Kind::kSlider;
  slider.id = 1022;
  slider.text = "Resolution";
  slider.value = 50;
  slider.marks = {{"Low", 0}, {"Medium", 50}, {"High", 100}};
  kv::DialogControl check;
  check.kind = kv::DialogControl::Kind::kCheckBox;
  check.id = 200;
  check.text = "&Warn";
  check.value = 1;
  kv::DialogControl ok, cancel;
  ok.kind = cancel.kind = kv::DialogControl::Kind::kButton;
  ok.id = IDOK;
  ok.text = "&OK";
  cancel.id = IDCANCEL;
  cancel.text = "&Cancel";
  v.controls = {slider, check, ok, cancel};
  return v;
}

struct Terminal {
  explicit Terminal(const std::string& input) : in(input), ui(in, out, true) {}
  std::istringstream in;
  std::ostringstream out;
  kv::TerminalUI ui;
};

TEST(TerminalDialog, AsksEachControlThenAButton) {
  Terminal t("abc\n-40\nmaybe\nNo\nx\nc\n");
  kv::DialogView v = optionsView();
  EXPECT_EQ(t.ui.dialog(v), IDCANCEL);
  EXPECT_EQ(v.controls[0].value, 0);  // -40 held at the low end
  EXPECT_EQ(v.controls[1].value, 0);
  EXPECT_EQ(t.out.str(),
            "\n[Options]\n"
            "Resolution (0 to 100: Low 0, Medium 50, High 100) <50>: abc\n"
            "Requires an integer value or a label.\n"
            "Resolution (0 to 100: Low 0, Medium 50, High 100) <50>: -40\n"
            "Warn [Yes/No] <Yes>: maybe\nRequires Yes or No.\n"
            "Warn [Yes/No] <Yes>: No\n"
            "[OK/Cancel] <OK>: x\nChoose one of OK/Cancel.\n"
            "[OK/Cancel] <OK>: c\n");
}

TEST(TerminalDialog, EnterKeepsValuesAndPressesTheDefaultButtonLabelsAnswerSliders) {
  Terminal t("HIGH\n\n\n");
  kv::DialogView v = optionsView();
  EXPECT_EQ(t.ui.dialog(v), IDOK);
  EXPECT_EQ(v.controls[0].value, 100);
  EXPECT_EQ(v.controls[1].value, 1);
}

TEST(TerminalDialog, SliderAnswersAreWholeNumbersHeldAtTheEnds) {
  for (const auto& [answer, value] : {std::pair<const char*, int>{" +99999999999999999999999 ", 100},
                                      {"-99999999999999999999999", 0}, {"\t70\r", 70}}) {
    Terminal t(std::string(answer) + "\n\n\n");
    kv::DialogView v = optionsView();
    EXPECT_EQ(t.ui.dialog(v), IDOK) << answer;
    EXPECT_EQ(v.controls[0].value, value) << answer;
  }
  Terminal t("12abc\n+-3\n7 0\n30\n\n\n");
  kv::DialogView v = optionsView();
  EXPECT_EQ(t.ui.dialog(v), IDOK);
  EXPECT_EQ(v.controls[0].value, 30);
  std::string out = t.out.str();
  size_t refusals = 0;
  for (size_t at = 0; (at = out.find("Requires an integer value", at)) != std::string::npos; ++at) ++refusals;
  EXPECT_EQ(refusals, 3u) << out;
}

TEST(TerminalDialog, CancelOrTheEndOfInputCancelsAtAnyQuestion) {
  Terminal cancelled("70\n*cancel*\n");
  kv::DialogView v = optionsView();
  EXPECT_EQ(cancelled.ui.dialog(v), IDCANCEL);
  EXPECT_FALSE(cancelled.ui.inputEnded());
  Terminal ended("70\n");
  EXPECT_EQ(ended.ui.dialog(v), IDCANCEL);
  EXPECT_TRUE(ended.ui.inputEnded());
}

TEST(TerminalBoxes, FileDialogAboutAndMessageBoxCancel) {
  Terminal t("\n  name.sat \n\n*Cancel*\n");
  kv::FileRequest request;
  request.filters = {{"ACIS SAT Files (*.sat)", "*.sat"}};
  std::string path;
  ASSERT_TRUE(t.ui.fileDialog(request, path));  // Enter with no name asks again
  EXPECT_EQ(path, "name.sat");
  EXPECT_EQ(t.out.str(), "\n[Open]\nFiles of type: ACIS SAT Files (*.sat)\nFile name: \nFile name:   name.sat \n");
  t.ui.about("Title 1.0");
  EXPECT_NE(t.out.str().find("[About Title 1.0]\nTitle 1.0\n<OK>: \n"), std::string::npos) << t.out.str();
  EXPECT_EQ(t.ui.messageBox("Really?", "Ask", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_FALSE(t.ui.fileDialog(request, path));  // input ended
}

TEST(TerminalShell, MissingFileAndNoViewerAnswerAsWindows) {
  namespace fs = std::filesystem;
  ScratchFolder scratch;
  fs::path file = scratch / "help.chm";
  std::ofstream(file) << "x";
  Terminal t("");
  EXPECT_EQ(t.ui.shellOpen((file.string() + ".absent"), ""), kv::kShellFileNotFound);
  ScopedEnv path("PATH", "/nonexistent-folder");  // no xdg-open anywhere
  EXPECT_EQ(t.ui.shellOpen(file.string(), ""), kv::kShellNoAssociation);
}

}  // namespace
