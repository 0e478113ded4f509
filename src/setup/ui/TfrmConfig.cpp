#include "setup/ui/TfrmConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <exception>

#include "library/Settings.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "platform/ShellIcons.h"
#include "setup/ConnectionSpeed.h"
#include "setup/ScannerDetection.h"
#include "widgets/FormLayout.h"

namespace {

using forms::named;
using forms::row;

QLabel* text(const QString& caption) {
    auto* label = new QLabel(caption);
    label->setWordWrap(true);
    return label;
}

} // namespace

TfrmConfig::TfrmConfig(QWidget* parent) : QDialog(parent) {
    setObjectName("frmConfig");
    setWindowTitle("Quillbay Configuration Wizard");
    EPWizard1 = named(new QStackedWidget, "EPWizard1");
    EPWizard1->addWidget(page("Welcome to Quillbay",
                              text("This wizard will guide you through the process of setting "
                                   "up Quillbay for your system.\n\n Select Next to begin.")));
    EPWizard1->addWidget(page("Browser Setup", buildBrowserPage()));
    EPWizard1->addWidget(page("Virus Scanner Setup", buildScannerPage()));
    EPWizard1->addWidget(page("Miscellaneous Options", buildMiscPage()));
    EPWizard1->addWidget(page("Type of Internet Connection", buildConnectionPage()));

    cmdBack = named(new QPushButton("< &Back"), "cmdBack");
    cmdNext = named(new QPushButton("&Next >"), "cmdNext");
    cmdCancel = named(new QPushButton("Cancel"), "cmdCancel");
    cmdFinish = named(new QPushButton("&Finish"), "cmdFinish");
    connect(cmdBack, &QPushButton::clicked, this, [this] { setPage(currentPage() - 1); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { setPage(currentPage() + 1); });
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmConfig::EPWizard1CancelClick);
    connect(cmdFinish, &QPushButton::clicked, this, &TfrmConfig::EPWizard1FinishClick);

    // The same picture stands beside every page.
    auto* picture = new QLabel;
    picture->setObjectName("imgSide");
    picture->setPixmap(platform::applicationIcon().pixmap(96, 96));
    picture->setAlignment(Qt::AlignTop);
    auto* body = new QHBoxLayout;
    body->addWidget(picture);
    body->addWidget(EPWizard1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {cmdBack, cmdNext, cmdCancel, cmdFinish})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    updateButtons();
}

QWidget* TfrmConfig::page(const QString& title, QWidget* body) {
    auto* page = new QWidget;
    auto* heading = new QLabel(title);
    QFont font = heading->font();
    font.setBold(true);
    font.setPixelSize(16);
    heading->setFont(font);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(heading);
    layout->addWidget(body);
    layout->addStretch();
    return page;
}

QWidget* TfrmConfig::buildBrowserPage() {
    auto* body = new QWidget;
    auto* layout = new QGridLayout(body);
    layout->addWidget(text("The following web browser(s) have been detected on your system.  "
                           "Select the browser(s) that you would like Quillbay to work with:"),
                      0, 0, 1, 3);
    optNetscape = named(new QCheckBox("&Netscape (2.0+)"), "optNetscape");
    edtNSLoc = named(new QLineEdit, "edtNSLoc");
    cmdChangeNS = named(new QPushButton("&Change"), "cmdChangeNS");
    optIE = named(new QCheckBox("&Internet Explorer (3.0+)"), "optIE");
    edtIELoc = named(new QLineEdit, "edtIELoc");
    cmdChangeIE = named(new QPushButton("&Change"), "cmdChangeIE");
    edtNSLoc->setAccessibleName("Netscape location");
    edtIELoc->setAccessibleName("Internet Explorer location");
    int r = 1;
    for (auto [box, edit, button] : {std::tuple{optNetscape, edtNSLoc, cmdChangeNS},
                                     std::tuple{optIE, edtIELoc, cmdChangeIE}}) {
        box->setEnabled(false);
        edit->setReadOnly(true);
        edit->setText(setup::kNotFound);
        layout->addWidget(box, r++, 0, 1, 3);
        layout->addWidget(edit, r, 0, 1, 2);
        layout->addWidget(button, r++, 2);
    }
    pnlBridges = named(new QWidget, "pnlBridges");
    bridgeLayout_ = new QVBoxLayout(pnlBridges);
    bridgeLayout_->setContentsMargins(0, 0, 0, 0);
    bridgeLayout_->addWidget(
        text("These browsers of this desktop can hand their downloads to Quillbay:"));
    pnlBridges->hide();
    layout->addWidget(pnlBridges, r, 0, 1, 3);
    connect(edtNSLoc, &QLineEdit::textChanged, this, &TfrmConfig::edtNSLocChange);
    connect(edtIELoc, &QLineEdit::textChanged, this, &TfrmConfig::edtIELocChange);
    connect(cmdChangeNS, &QPushButton::clicked, this, [this] {
        const QString file = platform::openFileDialog("Browse for Netscape.exe",
                                                      "Netscape (Netscape.exe)|Netscape.exe");
        if (!file.isEmpty())
            edtNSLoc->setText(file);
    });
    connect(cmdChangeIE, &QPushButton::clicked, this, [this] {
        const QString file = platform::openFileDialog(
            "Browse for IExplore.exe", "Internet Explorer (IExplore.exe)|IExplore.exe");
        if (!file.isEmpty())
            edtIELoc->setText(file);
    });
    return body;
}

QWidget* TfrmConfig::buildScannerPage() {
    auto* body = new QWidget;
    auto* layout = new QGridLayout(body);
    layout->addWidget(text("The following virus scanner(s) have been detected on your system.  "
                           "Select the virus scanner that you would like Quillbay to work "
                           "with:"),
                      0, 0, 1, 3);
    auto* scannerLabel = new QLabel("Scanner:");
    cbScanner = named(new QComboBox, "cbScanner");
    scannerLabel->setBuddy(cbScanner);
    layout->addWidget(scannerLabel, 1, 0);
    layout->addWidget(cbScanner, 1, 1, 1, 2);
    lblPath = named(new QLabel("Path: "), "lblPath");
    edtPath = named(new QLineEdit, "edtPath");
    edtPath->setReadOnly(true);
    lblPath->setBuddy(edtPath);
    layout->addWidget(lblPath, 2, 0);
    layout->addWidget(edtPath, 2, 1, 1, 2);
    lblScanLine = named(new QLabel("My scanner is located here:"), "lblScanLine");
    edtScanLine = named(new QLineEdit, "edtScanLine");
    edtScanLine->setReadOnly(true);
    lblScanLine->setBuddy(edtScanLine);
    cmdsBrowse = named(new QPushButton("&Browse"), "cmdsBrowse");
    layout->addWidget(lblScanLine, 3, 0);
    layout->addWidget(edtScanLine, 3, 1);
    layout->addWidget(cmdsBrowse, 3, 2);
    pnlvOptions = named(new QWidget, "pnlvOptions");
    auto* options = new QGridLayout(pnlvOptions);
    auto* parametersLabel = new QLabel("Optional Parameters:");
    edtParameters = named(new QLineEdit, "edtParameters");
    parametersLabel->setBuddy(edtParameters);
    options->addWidget(parametersLabel, 0, 0);
    options->addWidget(edtParameters, 0, 1);
    options->addWidget(text("Note: Command line parameter information should be available in "
                            "your Virus Scanner's user manual or help file."),
                       1, 0, 1, 2);
    cbAutoScan =
        named(new QCheckBox("&Automatically scan downloaded files by default"), "cbAutoScan");
    cbAutoScan->setEnabled(false);
    options->addWidget(cbAutoScan, 2, 0, 1, 2);
    layout->addWidget(pnlvOptions, 4, 0, 1, 3);
    connect(cbScanner, &QComboBox::currentIndexChanged, this, &TfrmConfig::cbScannerChange);
    connect(cmdsBrowse, &QPushButton::clicked, this, [this] {
        const QString file =
            platform::chooseProgram("Browse for Virus Scanner", "All Executables (*)|*");
        if (file.isEmpty())
            return;
        edtScanLine->setText(file);
        cbAutoScan->setEnabled(true);
    });
    return body;
}

QWidget* TfrmConfig::buildMiscPage() {
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(text("Please specify your preferences for the following options:"));
    auto* openLabel = new QLabel("When files are finished downloading: ");
    cbOpenWhen = named(new QComboBox, "cbOpenWhen");
    cbOpenWhen->addItems({"I'll open them manually", "Open them automatically"});
    openLabel->setBuddy(cbOpenWhen);
    layout->addLayout(row({openLabel, cbOpenWhen}));
    cbAutoStart =
        named(new QCheckBox("Start Quillbay when Windows starts (recommended)"), "cbAutoStart");
    cbAutoStart->setChecked(true);
    layout->addWidget(cbAutoStart);
    return body;
}

QWidget* TfrmConfig::buildConnectionPage() {
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(
        text("In order to accurately report various statistics, Quillbay needs to know how fast "
             "your Internet \"download\" connection is.  If you are unsure of this, you may guess "
             "at this point and adjust the information later in \"Options\"."));
    optModem = named(new QRadioButton("I use a "), "optModem");
    cbModem = named(new QComboBox, "cbModem");
    cbModem->setAccessibleName("Modem speed");
    for (const setup::SpeedPreset& preset : setup::modemSpeeds())
        cbModem->addItem(preset.label);
    layout->addLayout(row({optModem, cbModem, new QLabel("modem or ISDN connection")}));
    optT1 = named(new QRadioButton("I use a"), "optT1");
    cbT1 = named(new QComboBox, "cbT1");
    cbT1->setAccessibleName("Cable, T1, DSL or ISDN speed");
    for (const setup::SpeedPreset& preset : setup::cableSpeeds())
        cbT1->addItem(preset.label);
    layout->addLayout(row({optT1, cbT1, new QLabel("cable, T1, DSL, or ISDN connection")}));
    optOther = named(new QRadioButton("Other (please specify):"), "optOther");
    edtOther = named(new QLineEdit, "edtOther");
    edtOther->setAccessibleName("Other speed");
    auto* units = new QWidget;
    optkbps = named(new QRadioButton("kbps"), "optkbps");
    optmbps = named(new QRadioButton("mbps"), "optmbps");
    optkbps->setChecked(true);
    auto* unitLayout = new QHBoxLayout(units);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->addWidget(optkbps);
    unitLayout->addWidget(optmbps);
    layout->addLayout(row({optOther, edtOther, units}));
    layout->addWidget(text("Click Finish to complete the setup process."));
    optModem->setChecked(true);
    for (QRadioButton* option : {optModem, optT1, optOther})
        connect(option, &QRadioButton::toggled, this, &TfrmConfig::speedLineChanged);
    speedLineChanged();
    return body;
}

void TfrmConfig::setVisible(bool visible) {
    if (visible && !isVisible())
        FormShow();
    QDialog::setVisible(visible);
}

void TfrmConfig::FormShow() {
    searched_ = false;
    closing_ = false;
    cbOpenWhen->setCurrentIndex(0);
    cbModem->setCurrentIndex(1);
    cbT1->setCurrentIndex(0);
    EPWizard1->setCurrentIndex(Welcome);
    updateButtons();
}

int TfrmConfig::currentPage() const {
    return EPWizard1->currentIndex();
}

void TfrmConfig::setPage(int page) {
    if (page < Welcome || page > Connection || page == currentPage())
        return;
    EPWizard1->setCurrentIndex(page);
    updateButtons();
    EPWizard1Change(page);
}

void TfrmConfig::updateButtons() {
    cmdBack->setEnabled(currentPage() > Welcome);
    cmdNext->setEnabled(currentPage() < Connection);
    cmdFinish->setEnabled(currentPage() == Connection);
    (currentPage() == Connection ? cmdFinish : cmdNext)->setDefault(true);
}

void TfrmConfig::EPWizard1Change(int page) {
    if (page != Browsers || searched_)
        return;
    // The search lets events run: Back and Next pressed meanwhile must not start a second
    // one inside it.
    searched_ = true;
    detect();
}

void TfrmConfig::detect() {
    if (progress_) {
        progress_->show();
        progress_->raise();
    }
    platform::processMessages();
    const setup::BrowserLocations browsers = setup::findBrowsers();
    edtNSLoc->setText(browsers.netscape);
    edtIELoc->setText(browsers.explorer);
    edtNSLocChange();
    edtIELocChange();
    listBridgeBrowsers();
    const QStringList found = setup::findScanners(searchRoot_);
    if (progress_)
        progress_->hide();
    searched_ = true;

    const QSignalBlocker block(cbScanner);
    cbScanner->clear();
    cbScanner->addItem(setup::kNoScanner);
    cbScanner->addItem(setup::kOwnScanner);
    cbScanner->addItems(found);
    cbScanner->setCurrentIndex(cbScanner->count() < 3 ? 1 : 2);
    cbScannerChange();
}

void TfrmConfig::listBridgeBrowsers() {
    for (const auto& [box, browser] : bridges_)
        delete box;
    bridges_.clear();
    const Settings settings;
    for (const setup::BridgeBrowser& browser :
         setup::findBridgeBrowsers(browserPath_, browserRoot_)) {
        auto* box = new QCheckBox(QString("%1 (%2)").arg(browser.place.name, browser.program));
        box->setObjectName("cbBridge" + browser.place.settingKey);
        box->setAccessibleName(browser.place.name);
        // A choice made before (the setting defaults to connecting) is kept.
        box->setChecked(settings.readBool("Bridge", browser.place.settingKey));
        bridgeLayout_->addWidget(box);
        bridges_.append({box, browser});
    }
    pnlBridges->setVisible(!bridges_.isEmpty());
}

QList<QCheckBox*> TfrmConfig::bridgeBoxes() const {
    QList<QCheckBox*> boxes;
    for (const auto& [box, browser] : bridges_)
        boxes << box;
    return boxes;
}

void TfrmConfig::edtNSLocChange() {
    const bool exists = QFileInfo(edtNSLoc->text()).isFile();
    optNetscape->setEnabled(exists);
    optNetscape->setChecked(exists);
}

void TfrmConfig::edtIELocChange() {
    const bool exists = QFileInfo(edtIELoc->text()).isFile();
    optIE->setEnabled(exists);
    optIE->setChecked(exists);
}

void TfrmConfig::cbScannerChange() {
    const int position = cbScanner->currentIndex();
    edtPath->setText(setup::entryPath(cbScanner->currentText()));
    if (position <= 0) {
        for (QWidget* w : {static_cast<QWidget*>(lblPath), static_cast<QWidget*>(edtPath),
                           static_cast<QWidget*>(lblScanLine), static_cast<QWidget*>(edtScanLine),
                           static_cast<QWidget*>(cmdsBrowse), pnlvOptions})
            w->hide();
        cbAutoScan->setEnabled(false);
        return;
    }
    pnlvOptions->show();
    if (position == 1) {
        lblPath->hide();
        edtPath->hide();
        lblScanLine->show();
        edtScanLine->show();
        cmdsBrowse->show();
        cmdsBrowse->setFocus();
        cbAutoScan->setEnabled(!edtScanLine->text().isEmpty());
        return;
    }
    lblPath->show();
    edtPath->show();
    lblScanLine->hide();
    edtScanLine->hide();
    cmdsBrowse->hide();
    if (!edtPath->text().isEmpty() || !edtScanLine->text().isEmpty())
        cbAutoScan->setEnabled(true);
    // A found scanner of this platform comes with the parameters it needs.
    if (const setup::KnownScanner* known = setup::scannerForPath(edtPath->text());
        known && edtParameters->text().isEmpty())
        edtParameters->setText(known->parameters);
}

void TfrmConfig::speedLineChanged() {
    cbModem->setEnabled(optModem->isChecked());
    cbT1->setEnabled(optT1->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(edtOther), static_cast<QWidget*>(optkbps),
                       static_cast<QWidget*>(optmbps)})
        w->setEnabled(optOther->isChecked());
}

void TfrmConfig::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmConfig::EPWizard1FinishClick() {
    if (optOther->isChecked()) {
        setup::SpeedChoice choice{setup::SpeedChoice::Other, 0, edtOther->text(),
                                  optmbps->isChecked()};
        if (!setup::speedOfChoice(choice)) {
            platform::messageBox("Please specify a valid numeric value.");
            edtOther->setFocus();
            return;
        }
    }
    try {
        writeSettings();
    } catch (const std::exception& error) {
        // The settings file refused a write: say so and let the user try again.
        platform::errorBox(QString::fromUtf8(error.what()));
        return;
    }
    if (!bridgeFailures_.isEmpty())
        platform::messageBox("Quillbay could not connect these browsers:\n" +
                                 bridgeFailures_.join('\n'),
                             QString(), platform::MB_OK | platform::MB_ICONWARNING);
    platform::openHelp(platform::kGettingStartedTopic);
    closing_ = true;
    accept();
}

void TfrmConfig::writeSettings() {
    Settings settings;
    if (edtIELoc->text() != setup::kNotFound) {
        settings.writeString("Main", "IEPath", edtIELoc->text());
        settings.writeString("Toolbar", "BrowserCL", edtIELoc->text());
        settings.writeBool("Toolbar", "Browser", true);
    }
    if (edtNSLoc->text() != setup::kNotFound) {
        settings.writeString("Main", "NSPath", edtNSLoc->text());
        settings.writeString("Toolbar", "BrowserCL", edtNSLoc->text());
        settings.writeBool("Toolbar", "Browser", true);
    }
    settings.writeBool("General", "DetectIE", optIE->isChecked());
    settings.writeBool("General", "DetectNS", optNetscape->isChecked());
    // The browsers of this desktop: a checked one gets its host manifest now (the program
    // renews it at every start), an unchecked one loses it and is left alone from now on.
    bridgeFailures_.clear();
    for (const auto& [box, browser] : bridges_) {
        settings.writeBool("Bridge", browser.place.settingKey, box->isChecked());
        if (!box->isChecked()) {
            setup::removeNativeHostManifest(browser.place);
            continue;
        }
        if (const QString error = setup::installNativeHostManifest(browser.place); !error.isEmpty())
            bridgeFailures_ << browser.place.name + ": " + error;
    }

    const int position = cbScanner->currentIndex();
    const QString command =
        position == 1 ? edtScanLine->text() : (position >= 2 ? edtPath->text() : QString());
    if (!command.isEmpty()) {
        settings.writeString("VirusScanner", "CommandLine", command);
        settings.writeString("VirusScanner", "Parameters", edtParameters->text());
        settings.writeString("Toolbar", "VirusCL", command);
        settings.writeBool("Toolbar", "Virus", true);
    }
    settings.writeBool("VirusScanner", "ScanWhenDone",
                       cbAutoScan->isEnabled() && cbAutoScan->isChecked());
    settings.writeInteger("Download", "Openwhen", cbOpenWhen->currentIndex());
    // The one desktop entry the options dialog creates and removes as well.
    if (cbAutoStart->isChecked())
        platform::createAutostartEntry();
    else
        platform::removeAutostartEntry();
    settings.writeBool("General", "AutoStart", cbAutoStart->isChecked());

    setup::SpeedChoice choice;
    choice.line = optModem->isChecked() ? setup::SpeedChoice::Modem
                  : optT1->isChecked()  ? setup::SpeedChoice::Cable
                                        : setup::SpeedChoice::Other;
    choice.index =
        choice.line == setup::SpeedChoice::Modem ? cbModem->currentIndex() : cbT1->currentIndex();
    choice.otherText = edtOther->text();
    choice.megabits = optmbps->isChecked();
    if (const std::optional<qint64> speed = setup::speedOfChoice(choice))
        settings.writeString("Download", "Speed", QString::number(*speed));
}

void TfrmConfig::EPWizard1CancelClick() {
    const int answer = platform::messageBox(
        "The Configuration Wizard has not finshed setting up Quillbay.  If you quit, some "
        "functions in Quillbay may not operate correctly.  Are you sure you want to exit?",
        "Confirm Exit", platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer != platform::IDYES)
        return;
    platform::openHelp(platform::kGettingStartedTopic);
    closing_ = true;
    QDialog::reject();
}

void TfrmConfig::reject() {
    if (closing_) {
        QDialog::reject();
        return;
    }
    EPWizard1CancelClick();
}
