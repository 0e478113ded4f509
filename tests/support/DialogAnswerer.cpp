#include "DialogAnswerer.h"

#include <gtest/gtest.h>

using namespace platform;

namespace qbtest {

namespace {

std::string describe(const MessageBoxRequest& box) {
    // Put together as one QString: GCC 12 at -O3 warns falsely (-Wrestrict) on a chain of
    // std::string additions that starts with a literal.
    return QStringLiteral("[%1] \"%2\" (flags 0x%3)")
        .arg(box.caption, box.text, QString::number(box.flags, 16))
        .toStdString();
}

} // namespace

DialogAnswerer::DialogAnswerer() : previous_(installDialogHandler(this)) {}

DialogAnswerer::~DialogAnswerer() {
    installDialogHandler(previous_);
    if (!answers_.isEmpty())
        ADD_FAILURE() << answers_.size() << " scripted message box answer(s) never used";
    if (!files_.isEmpty())
        ADD_FAILURE() << files_.size() << " scripted file dialog answer(s) never used";
    if (!prints_.isEmpty())
        ADD_FAILURE() << prints_.size() << " scripted print dialog answer(s) never used";
}

DialogAnswerer& DialogAnswerer::answer(int result) {
    answers_.enqueue(result);
    return *this;
}

DialogAnswerer& DialogAnswerer::answerOthersWith(int result) {
    othersAnswer_ = result;
    return *this;
}

DialogAnswerer& DialogAnswerer::answerFile(const QString& path) {
    files_.enqueue(path);
    return *this;
}

DialogAnswerer& DialogAnswerer::answerPrint(bool confirm, std::function<void(QPrinter*)> setUp) {
    prints_.enqueue({confirm, std::move(setUp)});
    return *this;
}

void DialogAnswerer::onBox(std::function<void(const Box&)> reaction) {
    reaction_ = std::move(reaction);
}

QStringList DialogAnswerer::texts() const {
    QStringList result;
    for (const Box& box : boxes_)
        result << box.text;
    return result;
}

void DialogAnswerer::clearRecord() {
    boxes_.clear();
    fileDialogs_.clear();
    printCaptions_.clear();
}

int DialogAnswerer::messageBox(const Box& request) {
    boxes_ << request;
    if (reaction_)
        reaction_(request);
    int result = othersAnswer_;
    if (!answers_.isEmpty()) {
        result = answers_.dequeue();
    } else if (othersAnswer_ == 0) {
        ADD_FAILURE() << "Unexpected message box " << describe(request);
        return request.safeAnswer();
    }
    if (!request.offers(result)) {
        ADD_FAILURE() << "Answer " << result << " is not a button of the message box "
                      << describe(request);
        return request.safeAnswer();
    }
    return result;
}

QString DialogAnswerer::fileDialog(const FileDialogRequest& request) {
    fileDialogs_ << request;
    if (files_.isEmpty()) {
        ADD_FAILURE() << "Unexpected file dialog \"" << request.caption.toStdString() << "\"";
        return {};
    }
    return files_.dequeue();
}

bool DialogAnswerer::printDialog(QPrinter* printer, const QString& caption) {
    printCaptions_ << caption;
    if (prints_.isEmpty()) {
        ADD_FAILURE() << "Unexpected print dialog \"" << caption.toStdString() << "\"";
        return false;
    }
    const PrintAnswer next = prints_.dequeue();
    if (next.confirm && next.setUp)
        next.setUp(printer);
    return next.confirm;
}

} // namespace qbtest
