#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

using namespace platform;

QMessageBox::StandardButtons QtDialogs::standardButtons(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
        return QMessageBox::Yes | QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon QtDialogs::boxIcon(unsigned flags) {
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int QtDialogs::resultOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

QMessageBox::StandardButton QtDialogs::defaultButton(unsigned flags) {
    switch (MessageBoxRequest{{}, {}, flags}.defaultAnswer()) {
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    case IDCANCEL:
        return QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

int QtDialogs::messageBox(const MessageBoxRequest& request) {
    // Texts break their lines with "\r" as often as with "\n".
    QString text = request.text;
    text.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox box(boxIcon(request.flags), request.caption, text, standardButtons(request.flags),
                    QApplication::activeWindow());
    box.setDefaultButton(defaultButton(request.flags));
    // Texts are the program's own plain texts; "<" in a file name must not start markup.
    box.setTextFormat(Qt::PlainText);
    const int pressed = box.exec();
    return resultOf(static_cast<QMessageBox::StandardButton>(pressed));
}

QString QtDialogs::fileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.caption, request.startFolder);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    switch (request.kind) {
    case FileDialogRequest::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    case FileDialogRequest::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDefaultSuffix(request.defaultSuffix);
        break;
    case FileDialogRequest::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    }
    if (!request.filter.isEmpty())
        dialog.setNameFilters(qtNameFilters(request.filter).split(";;"));
    if (!request.fileName.isEmpty()) {
        if (request.startFolder.isEmpty() && QFileInfo(request.fileName).isAbsolute())
            dialog.setDirectory(QFileInfo(request.fileName).absolutePath());
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtDialogs::printDialog(QPrinter* printer, const QString& caption) {
    if (!printer)
        return false;
    QPrintDialog dialog(printer, QApplication::activeWindow());
    if (!caption.isEmpty())
        dialog.setWindowTitle(caption);
    return dialog.exec() == QDialog::Accepted;
}

void installQtDialogs() {
    static QtDialogs handler;
    installDialogHandler(&handler);
}
