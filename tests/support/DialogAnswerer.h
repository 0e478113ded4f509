#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

namespace qbtest {

// Answers the program's message boxes and dialogs in a test, in place of the user. While it
// lives it is the installed dialog handler. It records every box (text, caption, buttons,
// icon) and answers from a queue of scripted answers. A box or dialog that nothing scripted
// fails the test (and gets its safe answer) instead of waiting for a click that never comes;
// so does a scripted answer the box does not offer, and, at the end, an answer never used.
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
