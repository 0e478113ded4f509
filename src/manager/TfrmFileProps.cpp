#include "manager/TfrmFileProps.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/FileRecord.h"

TfrmFileProps::TfrmFileProps(const QString& path, const QString& recordFile, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmFileProps");
    const QFileInfo info(path);
    setWindowTitle(info.fileName() + " Properties");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto row = [this, form](const char* caption, const char* name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setAccessibleName(QString(caption).remove('&').remove(':'));
        label->setWordWrap(true);
        form->addRow(caption, label);
        return label;
    };
    const QLocale locale;
    const auto when = [&](const QDateTime& t) {
        return t.isValid() ? locale.toString(t, QLocale::ShortFormat) : QString("Unknown");
    };
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(info);
    lblName = row("Name:", "lblName", info.fileName());
    lblFolder = row("Folder:", "lblFolder", info.absolutePath());
    lblSize = row("Size:", "lblSize",
                  QString("%1 (%2 bytes)")
                      .arg(locale.formattedDataSize(info.size()), QString::number(info.size())));
    lblType = row("Type:", "lblType", type.comment() + " (" + type.name() + ')');
    lblModified = row("Modified:", "lblModified", when(info.lastModified()));
    lblAccessed = row("Accessed:", "lblAccessed", when(info.lastRead()));
    lblPermissions = row("Permissions:", "lblPermissions", permissionText(info.permissions()));
    layout->addLayout(form);
    auto* recordCaption = new QLabel("&Record:", this);
    mmoRecord = new QPlainTextEdit(this);
    mmoRecord->setObjectName("mmoRecord");
    mmoRecord->setReadOnly(true);
    mmoRecord->setAccessibleName("Record");
    recordCaption->setBuddy(mmoRecord);
    // The notes separator is shown as the line breaks it stands for.
    const QStringList lines = library::FileRecord(recordFile, info.fileName()).keyValueLines();
    mmoRecord->setPlainText(lines.isEmpty() ? QString("No record")
                                            : lines.join('\n').replace(QChar(0xFF), " / "));
    layout->addWidget(recordCaption);
    layout->addWidget(mmoRecord, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(420, 440);
}

QString TfrmFileProps::permissionText(QFileDevice::Permissions p) {
    const auto bit = [p](QFileDevice::Permission flag, char c) {
        return p.testFlag(flag) ? QChar(c) : QChar('-');
    };
    QString text;
    text += bit(QFileDevice::ReadOwner, 'r');
    text += bit(QFileDevice::WriteOwner, 'w');
    text += bit(QFileDevice::ExeOwner, 'x');
    text += bit(QFileDevice::ReadGroup, 'r');
    text += bit(QFileDevice::WriteGroup, 'w');
    text += bit(QFileDevice::ExeGroup, 'x');
    text += bit(QFileDevice::ReadOther, 'r');
    text += bit(QFileDevice::WriteOther, 'w');
    text += bit(QFileDevice::ExeOther, 'x');
    return text;
}
