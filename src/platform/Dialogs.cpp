#include "platform/Dialogs.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

DialogHandler*& currentHandler() {
    static DialogHandler* handler = nullptr;
    return handler;
}

const char* answerName(int answer) {
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    }
    return "?";
}

void logUnanswered(const QString& what, const QString& caption, const QString& text,
                   const char* answer) {
    std::fprintf(stderr, "Quillbay: %s without a dialog handler, answered %s: [%s] %s\n",
                 qPrintable(what), answer, qPrintable(caption), qPrintable(text));
}

QString runFileDialog(FileDialogRequest request) {
    if (DialogHandler* handler = currentHandler())
        return handler->fileDialog(request);
    logUnanswered("file dialog", request.caption, request.fileName, "Cancel");
    return {};
}

} // namespace

QString applicationTitle() {
    return QStringLiteral("Quillbay");
}

bool MessageBoxRequest::offers(int result) const {
    switch (buttons()) {
    case MB_OKCANCEL:
        return result == IDOK || result == IDCANCEL;
    case MB_YESNOCANCEL:
        return result == IDYES || result == IDNO || result == IDCANCEL;
    case MB_YESNO:
        return result == IDYES || result == IDNO;
    default:
        return result == IDOK;
    }
}

int MessageBoxRequest::safeAnswer() const {
    if (offers(IDCANCEL))
        return IDCANCEL;
    if (offers(IDNO))
        return IDNO;
    return IDOK;
}

int MessageBoxRequest::defaultAnswer() const {
    static const int kOrder[][3] = {{IDOK, IDOK, IDOK},
                                    {IDOK, IDCANCEL, IDCANCEL},
                                    {IDOK, IDOK, IDOK},
                                    {IDYES, IDNO, IDCANCEL},
                                    {IDYES, IDNO, IDNO}};
    const unsigned set = buttons() <= MB_YESNO ? buttons() : MB_OK;
    const unsigned position = std::min((flags & MB_DEFMASK) >> 8, 2u);
    return kOrder[set][position];
}

DialogHandler* installDialogHandler(DialogHandler* handler) {
    DialogHandler* previous = currentHandler();
    currentHandler() = handler;
    return previous;
}

DialogHandler* dialogHandler() {
    return currentHandler();
}

int messageBox(const QString& text, const QString& caption, unsigned flags) {
    MessageBoxRequest request{text, caption.isEmpty() ? applicationTitle() : caption, flags};
    DialogHandler* handler = currentHandler();
    if (!handler) {
        const int answer = request.safeAnswer();
        logUnanswered("message box", request.caption, text, answerName(answer));
        return answer;
    }
    const int answer = handler->messageBox(request);
    // A closed box, or an answer the box does not offer, counts as the safe one.
    return request.offers(answer) ? answer : request.safeAnswer();
}

void showMessage(const QString& text) {
    messageBox(text, applicationTitle(), MB_OK);
}

void errorBox(const QString& text) {
    messageBox(text, applicationTitle(), MB_OK | MB_ICONERROR);
}

QString browseForFolder(const QString& caption, const QString& startFolder) {
    QString folder = runFileDialog({FileDialogRequest::Folder, caption, startFolder, {}, {}, {}});
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

QString openFileDialog(const QString& caption, const QString& filter, const QString& startFolder,
                       const QString& fileName) {
    return runFileDialog({FileDialogRequest::Open, caption, startFolder, fileName, filter, {}});
}

QString saveFileDialog(const QString& caption, const QString& filter, const QString& startFolder,
                       const QString& fileName, const QString& defaultSuffix) {
    QString suffix = defaultSuffix;
    if (suffix.startsWith('.'))
        suffix.remove(0, 1);
    return runFileDialog({FileDialogRequest::Save, caption, startFolder, fileName, filter, suffix});
}

QString chooseProgram(const QString& caption, const QString& filter) {
    const QString chosen = openFileDialog(caption, filter);
    if (chosen.isEmpty())
        return chosen;
    const QFileInfo info(chosen);
    if (!info.isFile() || !info.isExecutable()) {
        messageBox(QString("%1 is not a program that can be run.").arg(chosen), QString(),
                   MB_OK | MB_ICONWARNING);
        return QString();
    }
    return chosen;
}

bool printDialog(QPrinter* printer, const QString& caption) {
    if (DialogHandler* handler = currentHandler())
        return handler->printDialog(printer, caption);
    logUnanswered("print dialog", caption, QString(), "Cancel");
    return false;
}

QString qtNameFilters(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == "*.*")
                pattern = "*";
        }
        filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

} // namespace platform
