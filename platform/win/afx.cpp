// The class library's dialogs on this platform: a dialog template from the current resource
// handle becomes a view of its controls that the host's user interface shows and answers.
#include "win/afx.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "win/crt.h"
#include "core/faults.h"
#include "win/module_handles.h"
#include "win/resources.h"
#include "core/ui.h"
#include "core/paths.h"

using kv::DialogControl;

// ---------------------------------------------------------------------------------------------
// Windows

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Never destroyed: the library keeps its temporary window objects for the whole run.
  static auto* windows = new std::map<HWND, std::unique_ptr<CWnd>>;
  std::unique_ptr<CWnd>& wnd = (*windows)[hwnd];
  if (!wnd) {
    wnd = std::make_unique<CWnd>();
    wnd->m_hWnd = hwnd;
  }
  return wnd.get();
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return dx.failed_ ? FALSE : TRUE;
}

// ---------------------------------------------------------------------------------------------
// Modal dialogs

namespace kv {

struct DialogState {
  struct Control {
    DialogControl view;
    bool threeState = false;
  };
  std::string caption;
  std::vector<Control> controls;
  bool ended = false;
  int result = IDCANCEL;

  // The control with this id that can take a value, or null.
  Control* control(int id) {
    for (Control& c : controls)
      if (c.view.id == id && c.view.kind != DialogControl::Kind::kLabel) return &c;
    return nullptr;
  }
};

}  // namespace kv

using DialogControlState = kv::DialogState::Control;

namespace {

bool sameText(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool isStatement(const kv::res::ControlTemplate& t, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (t.statement == n) return true;
  return false;
}

// The kind a control shows as; false for controls the console does not show (separators,
// edits and others the module does not use).
bool kindOf(const kv::res::ControlTemplate& t, DialogControl::Kind& kind, bool& threeState) {
  threeState = isStatement(t, {"STATE3", "AUTO3STATE"}) || t.hasStyle("BS_3STATE") || t.hasStyle("BS_AUTO3STATE");
  if (sameText(t.windowClass, "msctls_trackbar32")) {
    kind = DialogControl::Kind::kSlider;
    return true;
  }
  if (isStatement(t, {"CHECKBOX", "AUTOCHECKBOX", "STATE3", "AUTO3STATE"}) ||
      (sameText(t.windowClass, "Button") && (t.hasStyle("BS_CHECKBOX") || t.hasStyle("BS_AUTOCHECKBOX") || threeState))) {
    kind = DialogControl::Kind::kCheckBox;
    return true;
  }
  if (isStatement(t, {"PUSHBUTTON", "DEFPUSHBUTTON", "PUSHBOX"})) {
    kind = DialogControl::Kind::kButton;
    return true;
  }
  if (t.statement == "CONTROL" && sameText(t.windowClass, "Button")) {
    // BS_PUSHBUTTON is 0: a button without a type style is a push button.
    bool other = false;
    for (const std::string& s : t.styles)
      if (s.rfind("BS_", 0) == 0 && s != "BS_PUSHBUTTON" && s != "BS_DEFPUSHBUTTON") other = true;
    kind = other ? DialogControl::Kind::kLabel : DialogControl::Kind::kButton;
    return !other;
  }
  bool isStatic = sameText(t.windowClass, "Static") || t.statement == "GROUPBOX";
  if (isStatic && !t.text.empty()) {
    kind = DialogControl::Kind::kLabel;
    return true;
  }
  return false;
}

// The labels that belong to each slider: the one to its left on its row names it; those just
// below it are its tick labels, placed from the leftmost (the minimum) to the rightmost (the
// maximum). Labels taken by a slider are not shown on their own.
void attachSliderLabels(const kv::res::DialogTemplate& d, std::vector<const kv::res::ControlTemplate*>& shown,
                        std::vector<DialogControlState*>& made) {
  std::vector<bool> taken(shown.size(), false);
  for (size_t i = 0; i < shown.size(); ++i) {
    if (made[i]->view.kind != DialogControl::Kind::kSlider) continue;
    const kv::res::ControlTemplate& s = *shown[i];
    size_t name = shown.size();
    std::vector<size_t> marks;
    for (size_t k = 0; k < shown.size(); ++k) {
      if (taken[k] || made[k]->view.kind != DialogControl::Kind::kLabel) continue;
      const kv::res::ControlTemplate& l = *shown[k];
      bool sameRow = l.y < s.y + s.height && l.y + l.height > s.y;
      if (sameRow && l.x + l.width <= s.x && (name == shown.size() || l.x > shown[name]->x)) name = k;
      int centre = l.x + l.width / 2;
      bool below = l.y >= s.y + s.height - 2 && l.y <= s.y + s.height + 12;
      if (below && centre >= s.x && centre <= s.x + s.width) marks.push_back(k);
    }
    DialogControl& slider = made[i]->view;
    if (name != shown.size()) {
      slider.text = shown[name]->text;
      taken[name] = true;
    }
    std::sort(marks.begin(), marks.end(), [&](size_t a, size_t b) { return shown[a]->x < shown[b]->x; });
    if (!marks.empty()) {
      double left = shown[marks.front()]->x + shown[marks.front()]->width / 2.0;
      double right = shown[marks.back()]->x + shown[marks.back()]->width / 2.0;
      for (size_t k : marks) {
        double centre = shown[k]->x + shown[k]->width / 2.0;
        double t = right > left ? (centre - left) / (right - left) : (centre - s.x) / std::max(1, s.width);
        int at = slider.min + int(std::lround(t * (slider.max - slider.min)));
        slider.marks.emplace_back(kv::withoutAccelerators(shown[k]->text), at);
        taken[k] = true;
      }
    }
  }
  (void)d;
  for (size_t k = shown.size(); k-- > 0;)
    if (taken[k]) {
      shown.erase(shown.begin() + long(k));
      made.erase(made.begin() + long(k));
    }
}

kv::DialogState* buildState(const kv::res::DialogTemplate& d) {
  auto* state = new kv::DialogState;
  state->caption = d.caption;
  std::vector<const kv::res::ControlTemplate*> shown;
  std::vector<DialogControlState> controls;
  for (const kv::res::ControlTemplate& t : d.controls) {
    DialogControlState c;
    if (!kindOf(t, c.view.kind, c.threeState)) continue;
    c.view.id = t.id;
    c.view.text = c.view.kind == DialogControl::Kind::kSlider ? std::string() : t.text;
    controls.push_back(c);
    shown.push_back(&t);
  }
  std::vector<DialogControlState*> made;
  for (DialogControlState& c : controls) made.push_back(&c);
  attachSliderLabels(d, shown, made);
  for (DialogControlState* c : made) state->controls.push_back(*c);
  return state;
}

int clampValue(const DialogControlState& c, int v) {
  if (c.view.kind == DialogControl::Kind::kSlider) return std::clamp(v, c.view.min, c.view.max);
  if (c.view.kind == DialogControl::Kind::kCheckBox) return std::clamp(v, 0, c.threeState ? 2 : 1);
  return v;
}

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() { delete state_; }

INT_PTR CDialog::DoModal() {
  kv::res::ResourceScript script;
  if (!kv::res::resourcesOf(AfxGetResourceHandle(), script)) return -1;
  auto it = script.dialogs.find(int(templateId_));
  if (it == script.dialogs.end()) return -1;
  delete state_;
  state_ = buildState(it->second);
  OnInitDialog();
  while (!state_->ended) {
    kv::DialogView view;
    view.caption = state_->caption;
    for (const DialogControlState& c : state_->controls) view.controls.push_back(c.view);
    int button = kv::currentUI().dialog(view);
    for (size_t i = 0; i < view.controls.size() && i < state_->controls.size(); ++i)
      state_->controls[i].view.value = clampValue(state_->controls[i], view.controls[i].value);
    // OK goes through OnOK, which may keep the dialog open; anything else closes it as Cancel.
    if (button == IDOK) OnOK();
    else if (button == IDCANCEL) OnCancel();
    else EndDialog(button);
  }
  int result = state_->result;
  delete state_;
  state_ = nullptr;
  return result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
  if (!state_) return;
  state_->ended = true;
  state_->result = result;
}

namespace {

// The running dialog's control that dx exchanges with; marks dx failed when there is none.
DialogControlState* exchangeTarget(CDataExchange* dx, kv::DialogState* running, int id, DialogControl::Kind kind) {
  if (!dx) return nullptr;
  DialogControlState* c = running ? running->control(id) : nullptr;
  if (!c || c->view.kind != kind) {
    dx->Fail();
    return nullptr;
  }
  return c;
}

}  // namespace

kv::DialogState* CDialog::running(CDataExchange* dx) {
  auto* dialog = dx ? dynamic_cast<CDialog*>(dx->m_pDlgWnd) : nullptr;
  return dialog ? dialog->state_ : nullptr;
}

void DDX_Slider(CDataExchange* dx, int controlId, int& value) {
  DialogControlState* c = exchangeTarget(dx, CDialog::running(dx), controlId, DialogControl::Kind::kSlider);
  if (!c) return;
  if (dx->m_bSaveAndValidate) value = c->view.value;
  else c->view.value = clampValue(*c, value);
}

void DDX_Check(CDataExchange* dx, int controlId, int& value) {
  DialogControlState* c = exchangeTarget(dx, CDialog::running(dx), controlId, DialogControl::Kind::kCheckBox);
  if (!c) return;
  if (dx->m_bSaveAndValidate) {
    value = c->view.value;
    return;
  }
  int v = value < 0 || value > 2 ? 0 : value;
  c->view.value = c->threeState ? v : (v ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// The file dialog

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent, DWORD)
    : CDialog(0, parent), open_(openFileDialog), filter_(filter), defaultExt_(defaultExt), fileName_(fileName),
      flags_(flags) {}

INT_PTR CFileDialog::DoModal() {
  kv::FileRequest request;
  request.open = open_ != FALSE;
  request.defaultExt = defaultExt_.GetString();
  request.initialName = fileName_.GetString();
  // "Description|patterns|Description|patterns||"
  std::string f = filter_.GetString();
  size_t at = 0;
  while (at < f.size()) {
    size_t bar = f.find('|', at);
    if (bar == std::string::npos || bar == at) break;
    size_t end = f.find('|', bar + 1);
    if (end == std::string::npos) end = f.size();
    request.filters.emplace_back(f.substr(at, bar - at), f.substr(bar + 1, end - bar - 1));
    at = end + 1;
  }
  kv::UserInterface& ui = kv::currentUI();
  for (;;) {
    std::string answer;
    if (!ui.fileDialog(request, answer)) return IDCANCEL;
    std::filesystem::path path = kv::path::native(answer);
    std::error_code ec;
    if (path.is_relative()) path = std::filesystem::absolute(path, ec);
    if (!defaultExt_.IsEmpty() && path.extension().empty()) path += "." + std::string(defaultExt_.GetString());
    bool exists = std::filesystem::exists(path, ec);
    std::string name = path.filename().string();
    if (request.open && (flags_ & OFN_FILEMUSTEXIST) && !exists) {
      ui.messageBox((name + "\nFile not found.\nCheck the file name and try again.").c_str(), "Open",
                    MB_OK | MB_ICONEXCLAMATION);
      continue;
    }
    if (!request.open && (flags_ & OFN_OVERWRITEPROMPT) && exists &&
        ui.messageBox((name + " already exists.\nDo you want to replace it?").c_str(), "Confirm Save As",
                      MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
      continue;
    path_ = path.string().c_str();
    return IDOK;
  }
}

// ---------------------------------------------------------------------------------------------
// Extension modules

namespace {
HINSTANCE gResourceHandle = nullptr;
}

HINSTANCE AfxGetResourceHandle() { return gResourceHandle; }
void AfxSetResourceHandle(HINSTANCE module) { gResourceHandle = module; }

namespace {

// Never destroyed: modules may end their records from their own static destructors.
std::vector<CDynLinkLibrary*>& records() {
  static auto* list = new std::vector<CDynLinkLibrary*>;
  return *list;
}

}  // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HMODULE handle) {
  if (kv::fault::check(kv::fault::Call::AfxInitExtensionModule, 1)) return FALSE;
  module.hModule = handle;
  module.hResource = handle;
  module.bInitialized = TRUE;
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module, BOOL all) {
  std::vector<CDynLinkLibrary*>& list = records();
  std::erase_if(list, [&](CDynLinkLibrary* r) {
    if (!all && r->module_ != module.hModule) return false;
    delete r;
    return true;
  });
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& module) : module_(module.hModule) { records().push_back(this); }

int kvExtensionRecords(HMODULE handle) {
  return int(std::count_if(records().begin(), records().end(), [&](const CDynLinkLibrary* r) { return r->module_ == handle; }));
}
