#include "app/AppWindows.h"

TfrmTray* frmTray = nullptr;
QPointer<TfrmAsker> frmAsker;
TfrmNewSection* frmNewSection = nullptr;
TfrmCategory* frmCategory = nullptr;
