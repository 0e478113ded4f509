#pragma once

#include <QObject>

// The download side of the program's private messages posted to the application:
// UM_SELECTNEWFOLDER (a folder was created in the section at position wParam) makes the
// newest download dialog, while it is visible, select that section and its new folder.
// Other messages, and this one too, pass on to whoever else filters them.
class AppMessageFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs the one filter on the application; later calls do nothing.
void installAppMessageFilter();
