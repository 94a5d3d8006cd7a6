// The class library's pieces the module uses: windows, modal dialogs over dialog templates,
// data exchange for sliders and check boxes, the file-open dialog and the extension-module
// record. On this platform a dialog is shown through the host's user interface: the terminal
// on the console host, a queue in tests.
#pragma once

#include <cstdint>

#include "win/cstring.h"
#include "core/export.h"
#include "win/winapi.h"

typedef std::intptr_t INT_PTR;

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_FILEMUSTEXIST 0x00001000

class KV_PLATFORM_API CWnd {
public:
  CWnd() = default;
  virtual ~CWnd() = default;
  // The window object for a window handle (a temporary owned by the library).
  static CWnd* FromHandle(HWND hwnd);
  HWND GetSafeHwnd() const { return m_hWnd; }
  // FALSE: the controls take the members' values; TRUE: the members take the controls'.
  // Answers FALSE when a value cannot be exchanged.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(class CDataExchange*) {}

  HWND m_hWnd = nullptr;
};

class KV_PLATFORM_API CDataExchange {
public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  // Marks the exchange failed, as the class library's Fail does (here without throwing):
  // UpdateData then answers FALSE.
  void Fail() { failed_ = true; }

private:
  friend class CWnd;
  bool failed_ = false;
};

namespace kv {
struct DialogState;  // a running dialog's controls and result
}  // namespace kv

// A modal dialog over the dialog template with id `templateId`, looked up in the module whose
// resource handle is current on the document manager.
class KV_PLATFORM_API CDialog : public CWnd {
public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;
  // Shows the dialog until OK or Cancel ends it: IDOK or IDCANCEL; -1 when the template
  // cannot be found (the dialog cannot be created).
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  void EndDialog(int result);

private:
  friend void DDX_Slider(CDataExchange* dx, int controlId, int& value);
  friend void DDX_Check(CDataExchange* dx, int controlId, int& value);
  // The state of the dialog dx exchanges with, while it runs; null otherwise.
  static kv::DialogState* running(CDataExchange* dx);

  UINT templateId_;
  CWnd* parent_;
  kv::DialogState* state_ = nullptr;
};

// Exchange a slider's position (its range is the control's default, 0 to 100) or a check box's
// state with a member, in the direction dx says. A slider takes a value outside its range at
// the nearer end; a check box takes 0, 1 or 2 (indeterminate, shown as set on a two-state
// box) and any other value as 0, as the class library does. A control the running dialog does
// not have (or no running dialog) marks dx failed and leaves value untouched.
KV_PLATFORM_API void DDX_Slider(CDataExchange* dx, int controlId, int& value);
KV_PLATFORM_API void DDX_Check(CDataExchange* dx, int controlId, int& value);

// The file-open (or save) dialog: the user names a file. filter: "Name (*.ext)|*.ext||".
// As the Windows dialogs do: a relative name is taken in the current folder; defaultExt is
// added to a name without extension; an Open dialog with OFN_FILEMUSTEXIST says "File not
// found" and asks again for a missing file (without the flag it takes the name as given); a
// Save dialog with OFN_OVERWRITEPROMPT asks before taking an existing file.
class KV_PLATFORM_API CFileDialog : public CDialog {
public:
  CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
              CWnd* parent = nullptr, DWORD structSize = 0);
  // IDOK with a path, IDCANCEL when the user cancels.
  INT_PTR DoModal() override;
  CString GetPathName() const { return path_; }

private:
  BOOL open_;
  CString filter_, path_, defaultExt_, fileName_;
  DWORD flags_;
};

struct KV_PLATFORM_API AFX_EXTENSION_MODULE {
  BOOL bInitialized = FALSE;
  HMODULE hModule = nullptr;
  HMODULE hResource = nullptr;
};

// The module whose resources dialogs come from; null is the running program. The host sets
// it as modules push and pop their resource handles.
KV_PLATFORM_API HINSTANCE AfxGetResourceHandle();
KV_PLATFORM_API void AfxSetResourceHandle(HINSTANCE module);

// Attaches a module to the class library: sets bInitialized, and the module and resource
// handles to handle. FALSE when it cannot (fault "AfxInitExtensionModule"); then the record
// stays untouched.
KV_PLATFORM_API BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HMODULE handle);
// Releases the library's records (CDynLinkLibrary) of this module; with all, every record.
KV_PLATFORM_API void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module, BOOL all = FALSE);

// The library's record of an attached module, owned by the library once made (new it; the
// library deletes it at AfxTermExtensionModule).
class KV_PLATFORM_API CDynLinkLibrary {
public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& module);

private:
  friend void AfxTermExtensionModule(AFX_EXTENSION_MODULE&, BOOL);
  friend int kvExtensionRecords(HMODULE handle);
  HMODULE module_;
};
