#include "setup/ui/TfrmPreferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "library/Categories.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "setup/ConnectionSpeed.h"
#include "widgets/FormLayout.h"

namespace {

using forms::named;
using forms::row;

const char* const kNotNumeric = "Please specify a valid numeric value.";

QCheckBox* checkBox(const char* name, const QString& caption) {
    return named(new QCheckBox(caption), name);
}

QLineEdit* dayBox(const char* name) {
    auto* box = named(new QLineEdit, name);
    box->setMaxLength(2);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,2}"), box));
    box->setFixedWidth(box->fontMetrics().horizontalAdvance("000") + 12);
    return box;
}

} // namespace

TfrmPreferences::TfrmPreferences(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPreferences");
    setWindowTitle("Options");
    tabctrlOptions = named(new QTabWidget, "tabctrlOptions");
    tabctrlOptions->addTab(buildGeneralPage(), "General");
    tabctrlOptions->addTab(buildManagementPage(), "Management");
    tabctrlOptions->addTab(buildDownloadPage(), "Download");
    tabctrlOptions->addTab(buildVirusPage(), "Virus Control");
    tabctrlOptions->addTab(buildToolbarPage(), "Toolbar");

    cmdOK = named(new QPushButton("&OK"), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton("&Cancel"), "cmdCancel");
    connect(cmdOK, &QPushButton::clicked, this, &TfrmPreferences::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmPreferences::cmdCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabctrlOptions);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TfrmPreferences::buildGeneralPage() {
    auto* page = new QWidget;
    cbAutoStart = checkBox("cbAutoStart", "&Start Quillbay when Windows starts.");
    cbDLDetect = checkBox("cbDLDetect", "Enable automatic download detection while browsing.");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(cbAutoStart);
    layout->addWidget(cbDLDetect);
    layout->addStretch();
    return page;
}

QWidget* TfrmPreferences::buildManagementPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* rootLabel = new QLabel("Default root folder for new sections");
    edtSectionRoot = named(new QLineEdit, "edtSectionRoot");
    rootLabel->setBuddy(edtSectionRoot);
    cmdSectionBrowse = named(new QPushButton("..."), "cmdSectionBrowse");
    cmdSectionBrowse->setAccessibleName("Browse for the default root folder");
    connect(cmdSectionBrowse, &QPushButton::clicked, this, &TfrmPreferences::cmdSectionBrowseClick);
    layout->addWidget(rootLabel);
    layout->addLayout(row({edtSectionRoot, cmdSectionBrowse}, false));

    cbDelete = checkBox("cbDelete", "&Auto-delete files after");
    meDeleteDays = dayBox("meDeleteDays");
    meDeleteDays->setAccessibleName("Auto-delete after days");
    layout->addLayout(row({cbDelete, meDeleteDays, new QLabel("days.")}));

    auto* typeLabel = new QLabel("When auto-deleting files:");
    cbDeleteType = named(new QComboBox, "cbDeleteType");
    cbDeleteType->addItems({"Send them to Recycle Bin", "Permanently delete them"});
    typeLabel->setBuddy(cbDeleteType);
    layout->addLayout(row({typeLabel, cbDeleteType}));

    cbAutoDelete = checkBox("cbAutoDelete", "C&onfirm on auto-delete");
    layout->addWidget(cbAutoDelete);
    cbPrompt = checkBox("cbPrompt", "&Prompt in");
    meDays = dayBox("meDays");
    meDays->setAccessibleName("Prompt in days");
    layout->addLayout(row({cbPrompt, meDays, new QLabel("days if files are not opened")}));
    cbShowMenu = checkBox("cbShowMenu", "&Show standard context menu for files");
    auto* note = new QLabel(" (Note that certain\nactions cannot be tracked by Quillbay if this "
                            "option is selected, such as last date opened, etc.)");
    note->setWordWrap(true);
    layout->addWidget(cbShowMenu);
    layout->addWidget(note);
    cbCatDelete = checkBox("cbCatDelete", "&Confirm folder file removal");
    layout->addWidget(cbCatDelete);
    layout->addStretch();
    return page;
}

QWidget* TfrmPreferences::buildDownloadPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* sectionLabel = new QLabel("Default section to place new files in");
    cbDefaultSection = named(new QComboBox, "cbDefaultSection");
    sectionLabel->setBuddy(cbDefaultSection);
    connect(cbDefaultSection, &QComboBox::currentIndexChanged, this,
            &TfrmPreferences::cbDefaultSectionChange);
    auto* catLabel = new QLabel("Default folder to place new files in");
    cbDefaultCat = named(new QComboBox, "cbDefaultCat");
    catLabel->setBuddy(cbDefaultCat);
    auto* openLabel = new QLabel("Automatically open files when:");
    cbOpenWhen = named(new QComboBox, "cbOpenWhen");
    cbOpenWhen->addItems({"I'll do it manually", "Immediately after it is downloaded"});
    openLabel->setBuddy(cbOpenWhen);
    auto* places = new QGridLayout;
    places->addWidget(sectionLabel, 0, 0);
    places->addWidget(cbDefaultSection, 0, 1);
    places->addWidget(catLabel, 1, 0);
    places->addWidget(cbDefaultCat, 1, 1);
    places->addWidget(openLabel, 2, 0);
    places->addWidget(cbOpenWhen, 2, 1);
    layout->addLayout(places);
    // Shown on this platform: it is the download dialog's minimise default.
    cbAutoMin = checkBox("cbAutoMin", "&Minimize the download window while downloading");
    layout->addWidget(cbAutoMin);

    optModem = named(new QRadioButton("I use a "), "optModem");
    cbModem = named(new QComboBox, "cbModem");
    for (const setup::SpeedPreset& preset : setup::modemSpeeds())
        cbModem->addItem(preset.label);
    cbModem->setAccessibleName("Modem speed");
    layout->addLayout(row({optModem, cbModem, new QLabel("modem or ISDN connection")}));
    optT1 = named(new QRadioButton("I use a"), "optT1");
    cbT1 = named(new QComboBox, "cbT1");
    for (const setup::SpeedPreset& preset : setup::cableSpeeds())
        cbT1->addItem(preset.label);
    cbT1->setAccessibleName("Cable, T1, DSL or ISDN speed");
    layout->addLayout(row({optT1, cbT1, new QLabel("cable, T1, DSL, or ISDN connection")}));
    optOther = named(new QRadioButton("Other (please specify):"), "optOther");
    edtOther = named(new QLineEdit, "edtOther");
    edtOther->setAccessibleName("Other speed");
    // The unit buttons are a group of their own, apart from the three lines.
    auto* units = new QWidget;
    units->setObjectName("pnlUnits");
    optkbps = named(new QRadioButton("kbps"), "optkbps");
    optmbps = named(new QRadioButton("mbps"), "optmbps");
    auto* unitLayout = new QHBoxLayout(units);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->addWidget(optkbps);
    unitLayout->addWidget(optmbps);
    layout->addLayout(row({optOther, edtOther, units}));
    for (QRadioButton* option : {optModem, optT1, optOther})
        connect(option, &QRadioButton::toggled, this, &TfrmPreferences::speedLineChanged);
    layout->addStretch();
    return page;
}

QWidget* TfrmPreferences::buildVirusPage() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    auto* intro = new QLabel(
        "If you have a Virus Scanner that accepts command line parameters, Quillbay can start "
        "it on the files you download. Enter its command line and parameters below.");
    intro->setWordWrap(true);
    layout->addWidget(intro, 0, 0, 1, 3);
    auto* commandLabel = new QLabel("Command Line:");
    edtCommandLine = named(new QLineEdit, "edtCommandLine");
    commandLabel->setBuddy(edtCommandLine);
    cmdBrowse = named(new QPushButton("..."), "cmdBrowse");
    cmdBrowse->setAccessibleName("Browse for the virus scanner");
    layout->addWidget(commandLabel, 1, 0);
    layout->addWidget(edtCommandLine, 1, 1);
    layout->addWidget(cmdBrowse, 1, 2);
    auto* parametersLabel = new QLabel("Parameters:");
    edtParameters = named(new QLineEdit, "edtParameters");
    parametersLabel->setBuddy(edtParameters);
    layout->addWidget(parametersLabel, 2, 0);
    layout->addWidget(edtParameters, 2, 1);
    auto* note = new QLabel("Note: Command line parameter information should be available in "
                            "your Virus Scanner's user manual or help file.");
    note->setWordWrap(true);
    layout->addWidget(note, 3, 0, 1, 3);
    cbAutoScan = checkBox("cbAutoScan", "&Automatically scan downloaded files by default");
    layout->addWidget(cbAutoScan, 4, 0, 1, 3);
    layout->setRowStretch(5, 1);
    connect(edtCommandLine, &QLineEdit::textChanged, this,
            [this](const QString& text) { cbAutoScan->setEnabled(!text.isEmpty()); });
    connect(cmdBrowse, &QPushButton::clicked, this,
            [this] { browseProgram(edtCommandLine, "Virus Scanner"); });
    return page;
}

QWidget* TfrmPreferences::buildToolbarPage() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    cbTBNew = checkBox("cbTBNew", "&New Section / Category");
    cbTBDelete = checkBox("cbTBDelete", "&Delete");
    cbTBOptions = checkBox("cbTBOptions", "&Options");
    cbTBReport = checkBox("cbTBReport", "&Report");
    cbTBHelp = checkBox("cbTBHelp", "&Help");
    cbTBStyle = checkBox("cbTBStyle", "&View Style");
    cbTBProps = checkBox("cbTBProps", "&File Properties");
    int r = 0;
    for (QCheckBox* box :
         {cbTBNew, cbTBDelete, cbTBOptions, cbTBReport, cbTBHelp, cbTBStyle, cbTBProps}) {
        layout->addWidget(box, r / 2, r % 2);
        ++r;
    }
    r = (r + 1) / 2;
    cbTBBrowser = checkBox("cbTBBrowser", "Launch &Browser");
    lblBrowserCL = named(new QLabel("Command Line:"), "lblBrowserCL");
    edtBrowserCL = named(new QLineEdit, "edtBrowserCL");
    edtBrowserCL->setAccessibleName("Browser command line");
    cmdBrowserBrowse = named(new QPushButton("..."), "cmdBrowserBrowse");
    cmdBrowserBrowse->setAccessibleName("Browse for the web browser");
    layout->addWidget(cbTBBrowser, r++, 0, 1, 2);
    layout->addLayout(row({lblBrowserCL, edtBrowserCL, cmdBrowserBrowse}, false), r++, 0, 1, 2);
    cbTBVirus = checkBox("cbTBVirus", "Launch &Virus Scanner");
    lblVirusCL = named(new QLabel("Command Line:"), "lblVirusCL");
    edtVirusCL = named(new QLineEdit, "edtVirusCL");
    edtVirusCL->setAccessibleName("Virus scanner command line");
    cmdVirusBrowse = named(new QPushButton("..."), "cmdVirusBrowse");
    cmdVirusBrowse->setAccessibleName("Browse for the virus scanner");
    layout->addWidget(cbTBVirus, r++, 0, 1, 2);
    layout->addLayout(row({lblVirusCL, edtVirusCL, cmdVirusBrowse}, false), r++, 0, 1, 2);
    auto* alignLabel = new QLabel("Toolbar Alignment:");
    cmbAlign = named(new QComboBox, "cmbAlign");
    cmbAlign->addItems({"Left", "Right", "Top", "Bottom"});
    alignLabel->setBuddy(cmbAlign);
    layout->addLayout(row({alignLabel, cmbAlign}), r++, 0, 1, 2);
    cbShowText = checkBox("cbShowText", "&ShowText Labels");
    layout->addWidget(cbShowText, r++, 0, 1, 2);
    layout->setRowStretch(r, 1);

    connect(cbTBBrowser, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* w : {static_cast<QWidget*>(lblBrowserCL), static_cast<QWidget*>(edtBrowserCL),
                           static_cast<QWidget*>(cmdBrowserBrowse)})
            w->setEnabled(on);
    });
    connect(cbTBVirus, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* w : {static_cast<QWidget*>(lblVirusCL), static_cast<QWidget*>(edtVirusCL),
                           static_cast<QWidget*>(cmdVirusBrowse)})
            w->setEnabled(on);
    });
    connect(cmdBrowserBrowse, &QPushButton::clicked, this,
            [this] { browseProgram(edtBrowserCL, "Web Browser"); });
    connect(cmdVirusBrowse, &QPushButton::clicked, this,
            [this] { browseProgram(edtVirusCL, "Virus Scanner"); });
    for (QCheckBox* box : page->findChildren<QCheckBox*>())
        connect(box, &QCheckBox::clicked, this, [this] { toolBarChanged_ = true; });
    return page;
}

void TfrmPreferences::showPage(Page page) {
    tabctrlOptions->setCurrentIndex(page);
    pageChosen_ = true;
}

void TfrmPreferences::setVisible(bool visible) {
    if (visible && !isVisible())
        FormShow();
    QDialog::setVisible(visible);
}

void TfrmPreferences::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmPreferences::FormShow() {
    if (!pageChosen_)
        tabctrlOptions->setCurrentIndex(General);
    pageChosen_ = false;
    const Settings settings;
    {
        const QSignalBlocker block(cbDefaultSection);
        cbDefaultSection->clear();
        cbDefaultSection->addItems(library::sectionNames());
    }
    cbAutoStart->setChecked(settings.readBool("General", "AutoStart"));
    const bool detect = settings.readBool("Download", "DownloadDetect");
    cbDLDetect->setChecked(detect);

    edtSectionRoot->setText(settings.readString("Management", "DefaultRoot"));
    cbDelete->setChecked(settings.readBool("Management", "AutoDelete"));
    meDeleteDays->setText(settings.readString("Management", "DeleteDays"));
    cbDeleteType->setCurrentIndex(settings.readInteger("Management", "DeleteType"));
    cbAutoDelete->setChecked(settings.readBool("Management", "ConfirmDelete"));
    cbPrompt->setChecked(settings.readBool("Management", "PromptIfNotOpened"));
    meDays->setText(settings.readString("Management", "PromptDays"));
    cbShowMenu->setChecked(settings.readBool("Management", "ShowMenu"));
    cbCatDelete->setChecked(settings.readBool("Management", "ConfirmCatDelete"));

    cbOpenWhen->setCurrentIndex(settings.readInteger("Download", "OpenWhen"));
    cbAutoMin->setChecked(settings.readBool("Download", "AutoMin"));
    edtCommandLine->setText(settings.readWithMainPathFallback("VirusScanner", "CommandLine"));
    edtParameters->setText(settings.readString("VirusScanner", "Parameters"));
    cbAutoScan->setChecked(settings.readBool("VirusScanner", "ScanWhenDone"));
    cbAutoScan->setEnabled(!edtCommandLine->text().isEmpty());

    cbTBNew->setChecked(settings.readBool("ToolBar", "New"));
    cbTBDelete->setChecked(settings.readBool("ToolBar", "Delete"));
    cbTBOptions->setChecked(settings.readBool("ToolBar", "Options"));
    cbTBReport->setChecked(settings.readBool("ToolBar", "Report"));
    cbTBHelp->setChecked(settings.readBool("ToolBar", "Help"));
    cbTBStyle->setChecked(settings.readBool("ToolBar", "Style"));
    cbTBProps->setChecked(settings.readBool("ToolBar", "Props"));
    // Toggle through the other state so the dependent controls follow even when unchanged.
    const bool browser = settings.readBool("ToolBar", "Browser");
    cbTBBrowser->setChecked(!browser);
    cbTBBrowser->setChecked(browser);
    edtBrowserCL->setText(settings.readWithMainPathFallback("ToolBar", "BrowserCL"));
    const bool virus = settings.readBool("ToolBar", "Virus");
    cbTBVirus->setChecked(!virus);
    cbTBVirus->setChecked(virus);
    edtVirusCL->setText(settings.readWithMainPathFallback("ToolBar", "VirusCL"));
    cmbAlign->setCurrentIndex(settings.readInteger("Main", "ToolAlign") - 1);
    cbShowText->setChecked(settings.readBool("Main", "ShowToolLabels"));

    emit interceptionSwitchShown(detect);

    cbDefaultSection->setCurrentIndex(settings.readInteger("Download", "DefaultSection"));
    cbDefaultSectionChange();
    cbDefaultCat->setCurrentIndex(settings.readInteger("Download", "DefaultCat"));

    const setup::SpeedChoice speed =
        setup::choiceForSpeed(settings.readInteger("Download", "Speed"));
    optModem->setChecked(speed.line == setup::SpeedChoice::Modem);
    optT1->setChecked(speed.line == setup::SpeedChoice::Cable);
    optOther->setChecked(speed.line == setup::SpeedChoice::Other);
    cbModem->setCurrentIndex(speed.line == setup::SpeedChoice::Modem ? speed.index : 0);
    cbT1->setCurrentIndex(speed.line == setup::SpeedChoice::Cable ? speed.index : 0);
    edtOther->setText(speed.otherText);
    optmbps->setChecked(speed.megabits);
    optkbps->setChecked(!speed.megabits);
    speedLineChanged();

    platform::processMessages();
    toolBarChanged_ = false;
}

void TfrmPreferences::cbDefaultSectionChange() {
    cbDefaultCat->clear();
    if (cbDefaultSection->currentIndex() < 0)
        return;
    cbDefaultCat->addItems(library::categoryNames(cbDefaultSection->currentText()));
    if (cbDefaultCat->count() > 0)
        cbDefaultCat->setCurrentIndex(0);
}

void TfrmPreferences::speedLineChanged() {
    cbModem->setEnabled(optModem->isChecked());
    cbT1->setEnabled(optT1->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(edtOther), static_cast<QWidget*>(optkbps),
                       static_cast<QWidget*>(optmbps)})
        w->setEnabled(optOther->isChecked());
}

void TfrmPreferences::browseProgram(QLineEdit* target, const QString& caption) {
    const QString chosen = platform::chooseProgram(caption, "Executable Files (*)|*");
    if (!chosen.isEmpty())
        target->setText(chosen);
}

void TfrmPreferences::cmdSectionBrowseClick() {
    QString folder =
        platform::browseForFolder("Choose a section location below:", edtSectionRoot->text());
    if (folder.isEmpty())
        return;
    if (!folder.endsWith('/'))
        folder += '/';
    edtSectionRoot->setText(folder);
}

void TfrmPreferences::cmdCancelClick() {
    reject();
}

void TfrmPreferences::cmdOKClick() {
    try {
        if (!writeSettings())
            return;
    } catch (const std::exception& error) {
        // The settings file refused a write: say so and keep the dialog open.
        platform::errorBox(QString::fromUtf8(error.what()));
        return;
    }
    accept();
}

bool TfrmPreferences::writeSettings() {
    setup::SpeedChoice choice;
    choice.line = optModem->isChecked() ? setup::SpeedChoice::Modem
                  : optT1->isChecked()  ? setup::SpeedChoice::Cable
                                        : setup::SpeedChoice::Other;
    choice.index =
        choice.line == setup::SpeedChoice::Modem ? cbModem->currentIndex() : cbT1->currentIndex();
    choice.otherText = edtOther->text();
    choice.megabits = optmbps->isChecked();
    const std::optional<qint64> speed = setup::speedOfChoice(choice);
    if (!speed) {
        platform::messageBox(kNotNumeric);
        showPage(Download);
        pageChosen_ = false;
        edtOther->setFocus();
        return false;
    }

    Settings settings;
    settings.writeBool("General", "AutoStart", cbAutoStart->isChecked());
    // A desktop entry that cannot be written or removed is not reported.
    if (cbAutoStart->isChecked())
        platform::createAutostartEntry();
    else
        platform::removeAutostartEntry();
    settings.writeBool("Download", "DownloadDetect", cbDLDetect->isChecked());
    emit interceptionSwitchShown(cbDLDetect->isChecked());

    settings.writeInteger("Management", "DeleteType", cbDeleteType->currentIndex());
    settings.writeBool("Management", "ConfirmDelete", cbAutoDelete->isChecked());
    settings.writeBool("Management", "ConfirmCatDelete", cbCatDelete->isChecked());
    settings.writeString("Management", "DefaultRoot", edtSectionRoot->text());
    settings.writeBool("Management", "PromptIfNotOpened", cbPrompt->isChecked());
    settings.writeString("Management", "PromptDays", meDays->text());
    settings.writeBool("Management", "AutoDelete", cbDelete->isChecked());
    settings.writeString("Management", "DeleteDays", meDeleteDays->text());
    settings.writeBool("Management", "ShowMenu", cbShowMenu->isChecked());

    settings.writeInteger("Download", "DefaultSection", cbDefaultSection->currentIndex());
    settings.writeInteger("Download", "DefaultCat", cbDefaultCat->currentIndex());
    settings.writeInteger("Download", "OpenWhen", cbOpenWhen->currentIndex());
    settings.writeBool("Download", "AutoMin", cbAutoMin->isChecked());
    // The download dialog starts minimised or not as this box says.
    settings.writeBool("Download", "AutoMinimize", cbAutoMin->isChecked());
    settings.writeString("Download", "Speed", QString::number(*speed));

    settings.writeString("VirusScanner", "CommandLine", edtCommandLine->text());
    settings.writeString("VirusScanner", "Parameters", edtParameters->text());
    settings.writeBool("VirusScanner", "ScanWhenDone", cbAutoScan->isChecked());

    settings.writeBool("ToolBar", "New", cbTBNew->isChecked());
    settings.writeBool("ToolBar", "Delete", cbTBDelete->isChecked());
    settings.writeBool("ToolBar", "Options", cbTBOptions->isChecked());
    settings.writeBool("ToolBar", "Report", cbTBReport->isChecked());
    settings.writeBool("ToolBar", "Props", cbTBProps->isChecked());
    settings.writeBool("ToolBar", "Style", cbTBStyle->isChecked());
    settings.writeBool("ToolBar", "Help", cbTBHelp->isChecked());
    settings.writeBool("ToolBar", "Browser", cbTBBrowser->isChecked());
    settings.writeString("ToolBar", "BrowserCL", edtBrowserCL->text());
    settings.writeBool("ToolBar", "Virus", cbTBVirus->isChecked());
    settings.writeString("ToolBar", "VirusCL", edtVirusCL->text());
    settings.writeInteger("Main", "ToolAlign", cmbAlign->currentIndex() + 1);
    settings.writeBool("Main", "ShowToolLabels", cbShowText->isChecked());

    emit managerSettingsChanged(toolBarChanged_);
    return true;
}
