#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include <utility>

#include "setup/NativeHostManifests.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

// The first-run configuration wizard: finds the browsers and virus scanners, asks what
// happens after a download, whether to start with the desktop and how fast the
// connection is, and writes the answers on Finish. Nothing is written before that.
class TfrmConfig : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConfig(QWidget* parent = nullptr);

    enum Page { Welcome, Browsers, Scanners, Miscellaneous, Connection };

    // The "Scanning..." window shown during the search (not owned; may be null).
    void useProgressWindow(QWidget* progress) { progress_ = progress; }
    // Where the scanner search starts: the root of the file system unless a test says.
    void setSearchRoot(const QString& root) { searchRoot_ = root; }
    // Where the browsers the extension can reach are looked for: $PATH and the install
    // places under "/" unless a test says.
    void setBrowserSearch(const QStringList& path, const QString& root) {
        browserPath_ = path;
        browserRoot_ = root;
    }

    int currentPage() const;
    void setPage(int page);

    void FormShow();
    void EPWizard1Change(int page);
    void cbScannerChange();
    void EPWizard1FinishClick();
    void EPWizard1CancelClick();
    void edtNSLocChange();
    void edtIELocChange();

    QStackedWidget* EPWizard1 = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdFinish = nullptr;

    QCheckBox* optNetscape = nullptr;
    QLineEdit* edtNSLoc = nullptr;
    QPushButton* cmdChangeNS = nullptr;
    QCheckBox* optIE = nullptr;
    QLineEdit* edtIELoc = nullptr;
    QPushButton* cmdChangeIE = nullptr;
    // One check box per browser of this desktop that the extension can reach; a checked
    // one is connected on Finish. Hidden when none is found.
    QWidget* pnlBridges = nullptr;
    QList<QCheckBox*> bridgeBoxes() const;

    QComboBox* cbScanner = nullptr;
    QLabel* lblPath = nullptr;
    QLineEdit* edtPath = nullptr;
    QLabel* lblScanLine = nullptr;
    QLineEdit* edtScanLine = nullptr;
    QPushButton* cmdsBrowse = nullptr;
    QWidget* pnlvOptions = nullptr;
    QLineEdit* edtParameters = nullptr;
    QCheckBox* cbAutoScan = nullptr;

    QComboBox* cbOpenWhen = nullptr;
    QCheckBox* cbAutoStart = nullptr;

    QRadioButton* optModem = nullptr;
    QComboBox* cbModem = nullptr;
    QRadioButton* optT1 = nullptr;
    QComboBox* cbT1 = nullptr;
    QRadioButton* optOther = nullptr;
    QLineEdit* edtOther = nullptr;
    QRadioButton* optkbps = nullptr;
    QRadioButton* optmbps = nullptr;

public slots:
    // Escape and the window's close button ask as Cancel does.
    void reject() override;

protected:
    void setVisible(bool visible) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* page(const QString& title, QWidget* body);
    QWidget* buildBrowserPage();
    QWidget* buildScannerPage();
    QWidget* buildMiscPage();
    QWidget* buildConnectionPage();
    void detect();
    void speedLineChanged();
    void updateButtons();
    void writeSettings();
    void listBridgeBrowsers();

    QWidget* progress_ = nullptr;
    QString searchRoot_ = "/";
    QStringList browserPath_ = setup::executableSearchPath();
    QString browserRoot_ = "/";
    QVBoxLayout* bridgeLayout_ = nullptr;
    QList<std::pair<QCheckBox*, setup::BridgeBrowser>> bridges_;
    QStringList bridgeFailures_;
    bool searched_ = false;
    bool closing_ = false;
};
