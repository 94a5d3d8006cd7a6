// The five command bodies and what they share.
#pragma once

#include "win/afx.h"
#include "win/cstring.h"

// KVConvertSolid: the selected solids, bodies, 3D faces, polyface meshes and polygon meshes
// replaced by polyface meshes on their layers in their colours.
void ConvertSolidCommand();
void ConvertSelectedSolids();
// KVConvertSolidFile: the solids and bodies of a SAT file added as polyface meshes on the
// current layer.
void ConvertSolidFileCommand();
void ConvertSatFile();
// KVOptions: the options dialog over the two settings.
void OptionsCommand();
// KVHelp and KVAbout.
void HelpCommand();
void AboutCommand();

// "Kavlor for <host release> version 1.0", rebuilt by InitProductInfo.
extern char ProductTitle[256];
void InitProductInfo();

// The settings key and the two settings with their defaults.
#define KAVLOR_REGISTRY_KEY "Software\\Orvanta\\Kavlor for AutoCAD"
constexpr int kDefaultResolution = 50;
constexpr int kDefaultWarning = 1;

// The faceting tolerance (FACETRES) for a Resolution: 0 gives 0.01, 50 gives 5.005, 100 gives
// 10; values outside 0 to 100 are used as they come.
double ToleranceFromResolution(int resolution);

class CKavlorOptionsDlg : public CDialog {
public:
  enum { IDD = 200 };
  explicit CKavlorOptionsDlg(CWnd* parent = nullptr);
  ~CKavlorOptionsDlg() override = default;

  int m_nResolution = 0;
  BOOL m_bWarning = 0;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
};
