#pragma once

#include "platform/Dialogs.h"

#include <QMessageBox>

// The dialog handler of the running program: Qt's message box, file dialog and print dialog,
// parented to the active window so each box is modal over what the user works in.
class QtDialogs : public platform::DialogHandler {
public:
    int messageBox(const platform::MessageBoxRequest& request) override;
    QString fileDialog(const platform::FileDialogRequest& request) override;
    bool printDialog(QPrinter* printer, const QString& caption) override;

    // The message box a request shows, for the handler and its tests.
    static QMessageBox::StandardButtons standardButtons(unsigned flags);
    static QMessageBox::Icon boxIcon(unsigned flags);
    static QMessageBox::StandardButton defaultButton(unsigned flags);
    static int resultOf(QMessageBox::StandardButton button);
};

// Installs the one QtDialogs handler for the rest of the program's life.
void installQtDialogs();
