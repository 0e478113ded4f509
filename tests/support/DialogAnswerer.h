#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

namespace qbtest {

// While it lives, records every box and dialog and answers them from scripted answers; an
// unscripted box, an answer the box does not offer, or one never used fails the test.
class DialogAnswerer : public platform::DialogHandler {
public:
    using Box = platform::MessageBoxRequest;

    DialogAnswerer();
    ~DialogAnswerer() override;
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The next message box gets `result` (IDOK, IDCANCEL, IDYES, IDNO).
    DialogAnswerer& answer(int result);
    // Boxes beyond the scripted ones get `result` instead of failing the test.
    DialogAnswerer& answerOthersWith(int result);
    // The next open, save or folder dialog chooses `path` (empty: cancelled).
    DialogAnswerer& answerFile(const QString& path);
    // The next print dialog is confirmed or cancelled; `setUp` may direct the printer (to a
    // PDF file, say) before the caller prints.
    DialogAnswerer& answerPrint(bool confirm, std::function<void(QPrinter*)> setUp = {});
    // Runs while a box is "shown", before it is answered (re-entrancy checks).
    void onBox(std::function<void(const Box&)> reaction);

    const QList<Box>& boxes() const { return boxes_; }
    QStringList texts() const;
    const QList<platform::FileDialogRequest>& fileDialogs() const { return fileDialogs_; }
    const QStringList& printCaptions() const { return printCaptions_; }
    // Forgets what was recorded (not the scripted answers).
    void clearRecord();

    int messageBox(const Box& request) override;
    QString fileDialog(const platform::FileDialogRequest& request) override;
    bool printDialog(QPrinter* printer, const QString& caption) override;

private:
    struct PrintAnswer {
        bool confirm;
        std::function<void(QPrinter*)> setUp;
    };

    platform::DialogHandler* previous_ = nullptr;
    QQueue<int> answers_;
    QQueue<QString> files_;
    QQueue<PrintAnswer> prints_;
    int othersAnswer_ = 0;
    std::function<void(const Box&)> reaction_;
    QList<Box> boxes_;
    QList<platform::FileDialogRequest> fileDialogs_;
    QStringList printCaptions_;
};

} // namespace qbtest
