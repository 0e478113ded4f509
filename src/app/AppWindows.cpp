#include "app/AppWindows.h"

#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"

TfrmTray* frmTray = nullptr;
QPointer<TfrmNewSection> frmNewSection;
QPointer<TfrmCategory> frmCategory;
