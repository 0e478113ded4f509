#pragma once

#include <QDialog>
#include <QFileDevice>

class QLabel;
class QPlainTextEdit;

// A file's properties: its name, folder, size, type (from the MIME database), modified and
// accessed dates, permissions, and the fields of its record. Read-only; Escape or Enter
// closes it.
class TfrmFileProps : public QDialog {
    Q_OBJECT
public:
    TfrmFileProps(const QString& path, const QString& recordFile, QWidget* parent = nullptr);

    QLabel* lblName = nullptr;
    QLabel* lblFolder = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lblType = nullptr;
    QLabel* lblModified = nullptr;
    QLabel* lblAccessed = nullptr;
    QLabel* lblPermissions = nullptr;
    QPlainTextEdit* mmoRecord = nullptr;

    // "rw-r--r--" for the owner, group and others.
    static QString permissionText(QFileDevice::Permissions permissions);
};
