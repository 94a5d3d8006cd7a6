// The options dialog and its command.
#include "app/commands.h"
#include "app/kavlorapp.h"
#include "host/aced.h"
#include "orvgui/orvgui.h"

namespace {
constexpr int kResolutionSlider = 1022;
constexpr int kWarningCheck = 200;
}  // namespace

CKavlorOptionsDlg::CKavlorOptionsDlg(CWnd* parent) : CDialog(IDD, parent) {}

void CKavlorOptionsDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Slider(dx, kResolutionSlider, m_nResolution);
  DDX_Check(dx, kWarningCheck, m_bWarning);
}

BOOL CKavlorOptionsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ORVRegistry store;
  store.SetKey(KAVLOR_REGISTRY_KEY, 1);
  m_nResolution = store.ReadInt(CString("Resolution"), kDefaultResolution);
  m_bWarning = store.ReadBool(CString("Warning"), kDefaultWarning);
  UpdateData(FALSE);
  return TRUE;
}

void CKavlorOptionsDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  ORVRegistry store;
  store.SetKey(KAVLOR_REGISTRY_KEY, 1);
  store.WriteInt("Resolution", m_nResolution);
  store.WriteBool("Warning", m_bWarning);
  CDialog::OnOK();
}

void OptionsCommand() {
  acDocManagerPtr()->pushResourceHandle(KavlorDLL.resource);
  {
    CKavlorOptionsDlg dialog(CWnd::FromHandle(adsw_acadMainWnd()));
    dialog.DoModal();
  }
  acDocManagerPtr()->popResourceHandle();
}
