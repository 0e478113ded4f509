#pragma once

#include <QPointer>

// The program's global window references: each long-lived window is created once at
// start-up and named here for the program's lifetime; the download dialog's reference
// always names the newest instance.
class TfrmTray;
class TfrmAsker;
class TfrmNewSection;
class TfrmCategory;

extern TfrmTray* frmTray;
extern QPointer<TfrmAsker> frmAsker;
extern TfrmNewSection* frmNewSection;
extern TfrmCategory* frmCategory;
