#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The options dialog: every setting that has a control, read from the settings file each
// time the dialog is shown and written back in one go on OK. It reaches the other windows
// only through its signals, which the program connects.
class TfrmPreferences : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPreferences(QWidget* parent = nullptr);

    // The pages, in order.
    enum Page { General, Management, Download, VirusControl, Toolbar };
    // Chooses the page shown next (the manager asks for the speed on the Download page).
    void showPage(Page page);

    // Fills every control from the settings file; runs whenever the dialog is shown.
    void FormShow();
    void cmdOKClick();
    void cmdCancelClick();
    void cbDefaultSectionChange();

    // Set by any click on a check box of the "Toolbar" page since the dialog was shown.
    bool toolBarChanged() const { return toolBarChanged_; }

    QTabWidget* tabctrlOptions = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    QCheckBox* cbAutoStart = nullptr;
    QCheckBox* cbDLDetect = nullptr;

    QLineEdit* edtSectionRoot = nullptr;
    QPushButton* cmdSectionBrowse = nullptr;
    QCheckBox* cbDelete = nullptr;
    QLineEdit* meDeleteDays = nullptr;
    QComboBox* cbDeleteType = nullptr;
    QCheckBox* cbAutoDelete = nullptr;
    QCheckBox* cbPrompt = nullptr;
    QLineEdit* meDays = nullptr;
    QCheckBox* cbShowMenu = nullptr;
    QCheckBox* cbCatDelete = nullptr;

    QComboBox* cbDefaultSection = nullptr;
    QComboBox* cbDefaultCat = nullptr;
    QComboBox* cbOpenWhen = nullptr;
    QCheckBox* cbAutoMin = nullptr;
    QRadioButton* optModem = nullptr;
    QComboBox* cbModem = nullptr;
    QRadioButton* optT1 = nullptr;
    QComboBox* cbT1 = nullptr;
    QRadioButton* optOther = nullptr;
    QLineEdit* edtOther = nullptr;
    QRadioButton* optkbps = nullptr;
    QRadioButton* optmbps = nullptr;

    QLineEdit* edtCommandLine = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLineEdit* edtParameters = nullptr;
    QCheckBox* cbAutoScan = nullptr;

    QCheckBox* cbTBNew = nullptr;
    QCheckBox* cbTBDelete = nullptr;
    QCheckBox* cbTBOptions = nullptr;
    QCheckBox* cbTBReport = nullptr;
    QCheckBox* cbTBHelp = nullptr;
    QCheckBox* cbTBStyle = nullptr;
    QCheckBox* cbTBProps = nullptr;
    QCheckBox* cbTBBrowser = nullptr;
    QLabel* lblBrowserCL = nullptr;
    QLineEdit* edtBrowserCL = nullptr;
    QPushButton* cmdBrowserBrowse = nullptr;
    QCheckBox* cbTBVirus = nullptr;
    QLabel* lblVirusCL = nullptr;
    QLineEdit* edtVirusCL = nullptr;
    QPushButton* cmdVirusBrowse = nullptr;
    QComboBox* cmbAlign = nullptr;
    QCheckBox* cbShowText = nullptr;

signals:
    // The interception switch as stored (on showing) or as confirmed (on OK): the tray
    // window's title follows it.
    void interceptionSwitchShown(bool on);
    // OK wrote the settings the manager window applies: its file menu ([Management]
    // ShowMenu), its scan entry ([VirusScanner] CommandLine) and, when `toolBarTouched`,
    // its tool bar from [ToolBar] and [Main] ToolAlign and ShowToolLabels.
    void managerSettingsChanged(bool toolBarTouched);

protected:
    // Loads the controls before the dialog appears, so that the messages the load lets
    // run cannot meet a half-shown dialog (or close it before its modal loop starts).
    void setVisible(bool visible) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildGeneralPage();
    QWidget* buildManagementPage();
    QWidget* buildDownloadPage();
    QWidget* buildVirusPage();
    QWidget* buildToolbarPage();
    void speedLineChanged();
    void browseProgram(QLineEdit* target, const QString& caption);
    void cmdSectionBrowseClick();
    bool writeSettings();

    bool toolBarChanged_ = false;
    bool pageChosen_ = false;
};
