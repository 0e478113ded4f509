#include "app/AppWindows.h"

#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/TfrmManager.h"
#include "manager/TfrmPrint.h"
#include "setup/ui/TfrmConfig.h"
#include "setup/ui/TfrmPreferences.h"
#include "setup/ui/TfrmProgress.h"

TfrmTray* frmTray = nullptr;
QPointer<TfrmNewSection> frmNewSection;
QPointer<TfrmCategory> frmCategory;
QPointer<TfrmManager> frmManager;
QPointer<TfrmPreferences> frmPreferences;
QPointer<TfrmProgress> frmProgress;
QPointer<TfrmConfig> frmConfig;
QPointer<TfrmPrint> frmPrint;
