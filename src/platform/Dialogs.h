#pragma once

#include <QString>

class QPrinter;

namespace platform {

// Message box flags and results, with the values every caller knows from the Windows
// MessageBox: one button set, one icon and one default button combine with "|".
enum MessageBoxFlags : unsigned {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_YESNOCANCEL = 0x0003,
    MB_YESNO = 0x0004,
    MB_ICONERROR = 0x0010,
    MB_ICONQUESTION = 0x0020,
    MB_ICONWARNING = 0x0030,
    MB_ICONINFORMATION = 0x0040,
    MB_DEFBUTTON1 = 0x0000,
    MB_DEFBUTTON2 = 0x0100,
    MB_DEFBUTTON3 = 0x0200,
    MB_TYPEMASK = 0x000F,
    MB_ICONMASK = 0x00F0,
    MB_DEFMASK = 0x0F00,
};

enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The application title: caption of plain boxes.
QString applicationTitle();

// One message box as it is shown. The caption is never empty: a box asked for without one
// carries the application title.
struct MessageBoxRequest {
    QString text;
    QString caption;
    unsigned flags = MB_OK;

    unsigned buttons() const { return flags & MB_TYPEMASK; }
    unsigned icon() const { return flags & MB_ICONMASK; }
    // Whether the box offers the button that gives `result`.
    bool offers(int result) const;
    // The answer that changes nothing: Cancel where offered, else No, else OK.
    int safeAnswer() const;
    // The answer of the default button (MB_DEFBUTTONn), Enter's answer.
    int defaultAnswer() const;
};

// An open, save or browse-for-folder dialog.
struct FileDialogRequest {
    enum Kind { Open, Save, Folder };
    Kind kind = Open;
    QString caption;
    // Folder shown first; for Open and Save the file name may carry a folder of its own.
    QString startFolder;
    QString fileName;
    // Windows-style filter: "Text files (*.txt)|*.TXT|All files|*.*" (description, patterns).
    QString filter;
    // Added to a typed name without extension, without its dot ("txt").
    QString defaultSuffix;
};

// Who shows the boxes and dialogs. The program installs the Qt one at start-up; tests
// install an answerer. Called on the user-interface thread only.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // One of IDOK, IDCANCEL, IDYES, IDNO, offered by the request's buttons.
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    // The chosen path, empty when cancelled.
    virtual QString fileDialog(const FileDialogRequest& request) = 0;
    // Lets the user choose and set up `printer`; false when cancelled.
    virtual bool printDialog(QPrinter* printer, const QString& caption) = 0;
};

// Installs `handler` (not owned; nullptr for none) and returns the one it replaces. Without
// a handler no box ever blocks: each gets its safe answer and is logged to stderr.
DialogHandler* installDialogHandler(DialogHandler* handler);
DialogHandler* dialogHandler();

// A modal message box; returns the button pressed (IDOK, IDCANCEL, IDYES, IDNO).
int messageBox(const QString& text, const QString& caption = QString(), unsigned flags = MB_OK);

// A plain box with the application title and an OK button.
void showMessage(const QString& text);

// An error box with the application title, an error icon and an OK button: how an error
// that no handler catches reaches the user.
void errorBox(const QString& text);

// The browse-for-folder dialog; the chosen folder without trailing "/" (but "/"), empty
// when cancelled.
QString browseForFolder(const QString& caption, const QString& startFolder = QString());

// Open and save dialogs with a Windows-style filter; the chosen path, empty when cancelled.
// The save dialog asks nothing about an existing file: callers ask themselves.
QString openFileDialog(const QString& caption, const QString& filter = QString(),
                       const QString& startFolder = QString(), const QString& fileName = QString());
QString saveFileDialog(const QString& caption, const QString& filter = QString(),
                       const QString& startFolder = QString(), const QString& fileName = QString(),
                       const QString& defaultSuffix = QString());

// The open dialog for a program: any file with the executable bit, whatever its name. Empty
// when cancelled, and when the chosen file cannot be run (a warning box says so).
QString chooseProgram(const QString& caption, const QString& filter);

// The print dialog for `printer`; false when cancelled.
bool printDialog(QPrinter* printer, const QString& caption = QString());

// "Text files (*.txt)|*.TXT|All|*.*" as a Qt name filter list
// "Text files (*.txt) (*.TXT);;All (*)"; the patterns of each entry end up in brackets, "*.*"
// becomes "*" so that names without extension show too.
QString qtNameFilters(const QString& windowsFilter);

} // namespace platform
