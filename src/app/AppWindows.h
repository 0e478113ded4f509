#pragma once

#include <QPointer>

// The program's global window references: each long-lived window is created once at
// start-up and named here for the program's lifetime. Only the composition root (app/)
// reads them; the windows themselves are given what they need. The newest download
// dialog is named by frmAsker (download/TfrmAsker.h).
class TfrmTray;
class TfrmAsker;
class TfrmNewSection;
class TfrmCategory;
class TfrmManager;
class TfrmPreferences;
class TfrmProgress;
class TfrmConfig;
class TfrmPrint;

extern TfrmTray* frmTray;
extern QPointer<TfrmAsker> frmAsker;
extern QPointer<TfrmNewSection> frmNewSection;
extern QPointer<TfrmCategory> frmCategory;
extern QPointer<TfrmManager> frmManager;
extern QPointer<TfrmPreferences> frmPreferences;
extern QPointer<TfrmProgress> frmProgress;
extern QPointer<TfrmConfig> frmConfig;
extern QPointer<TfrmPrint> frmPrint;
