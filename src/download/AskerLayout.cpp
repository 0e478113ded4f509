// The download dialog's controls: creation, captions, hints and places.

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "download/TBookmarks.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"
#include "widgets/TActivityBar.h"
#include "widgets/TProgressColumn.h"
#include "widgets/TSpeedDial.h"

namespace {

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QCheckBox* checkBox(const char* name, const QString& caption, bool checked,
                    const QString& hint = QString()) {
    auto* box = named(new QCheckBox(caption), name);
    box->setChecked(checked);
    box->setToolTip(hint);
    return box;
}

// A day count of at most two digits.
QLineEdit* daysField(const char* name, const QString& text, const QString& hint) {
    auto* edit = named(new QLineEdit(text), name);
    edit->setMaxLength(2);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), edit));
    edit->setFixedWidth(32);
    edit->setAlignment(Qt::AlignRight);
    edit->setToolTip(hint);
    return edit;
}

QPushButton* flatButton(const char* name, const QString& caption, const QString& hint) {
    auto* button = named(new QPushButton(caption), name);
    button->setFlat(true);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLabel* valueLabel(const char* name, const QString& text) {
    auto* label = named(new QLabel(text), name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void TfrmAsker::createControls() {
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    tsDownload = createDownloadTab();
    tsAdvanced = createAdvancedTab();
    PageControl1->addTab(tsDownload, QStringLiteral("Download"));
    PageControl1->addTab(tsAdvanced, QStringLiteral("Advanced Settings"));
    PageControl1->setCurrentIndex(0);
    PageControl1->setGeometry(6, 6, kWidth - 12, 282);

    cmdOK = named(new QPushButton(this), "cmdOK");
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    Button2 = named(new QPushButton(QStringLiteral("&Exit"), this), "Button2");
    Button2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cmdViewManager =
        named(new QPushButton(QStringLiteral("&View Manager"), this), "cmdViewManager");
    cmdViewManager->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    setMainButton(false);
    const int buttonTop = 294;
    cmdViewManager->setGeometry(6, buttonTop, 130, 28);
    cmdOK->setGeometry(kWidth - 6 - 2 * 120 - 8, buttonTop, 120, 28);
    Button2->setGeometry(kWidth - 6 - 120, buttonTop, 120, 28);

    // The log list lies below the fold: the short height hides it.
    ListBox1 = named(new QListWidget(this), "ListBox1");
    ListBox1->setStyleSheet(
        QStringLiteral("QListWidget { background-color: black; color: lime; }"
                       "QListWidget::item:selected { background-color: #004000; color: lime; }"));
    ListBox1->setGeometry(6, kHeightWithoutDetails + 4, kWidth - 12,
                          kHeightWithDetails - kHeightWithoutDetails - 10);
    ListBox1->setFocusPolicy(Qt::NoFocus);

    pmBookMarks = named(new QMenu(this), "pmBookMarks");
    BookMarks = named(pmBookMarks->addMenu(QStringLiteral("Web BookMarks...")), "BookMarks");
    // The browsers' bookmarks are read once, when the dialog is made.
    Bookmarks1 = named(new TBookmarks(this), "Bookmarks1");
    Bookmarks1->OnURL = [this](const QString& url) { Bookmarks1URL(url); };
    Bookmarks1->setMenu(BookMarks);
    Bookmarks1->setEnabled(true);

    Http = named(new THttpCli(this), "Http");
    ftp = named(new TFtpClient(this), "ftp");
    tmrDLSpeed = named(new QTimer(this), "tmrDLSpeed");
    tmrDLSpeed->setInterval(5000);
    tmrRedirect = named(new QTimer(this), "tmrRedirect");
    tmrRedirect->setInterval(1000);
}

QWidget* TfrmAsker::createDownloadTab() {
    auto* page = named(new QWidget, "tsDownload");

    edtDesc = named(new QLineEdit, "edtDesc");
    edtDesc->setToolTip(
        QStringLiteral("Type a brief description of the file to be downloaded in this box."));
    edtSource = named(new QComboBox, "edtSource");
    edtSource->setEditable(true);
    edtSource->setInsertPolicy(QComboBox::NoInsert);
    edtSource->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    edtName = named(new QLineEdit, "edtName");
    edtName->setToolTip(QStringLiteral("You can modify the filename by editing this box"));
    cbOpenWhen = named(new QComboBox, "cbOpenWhen");
    cbOpenWhen->addItems({QStringLiteral("I'll do it manually"),
                          QStringLiteral("Immediately after it is downloaded")});
    cbOpenWhen->setCurrentIndex(0);
    cbOpenWhen->setToolTip(QStringLiteral(
        "Specify whether or not to open this file immediately after it is downloaded."));
    cbSection = named(new QComboBox, "cbSection");
    cbSection->setToolTip(QStringLiteral("Specify a section to place this new file under"));
    cbCategory = named(new QComboBox, "cbCategory");
    cbCategory->setToolTip(QStringLiteral("Choose a specific folder where this file will reside"));
    cmdBookMarks =
        flatButton("cmdBookMarks", QStringLiteral("Bookmarks"),
                   QStringLiteral("Click here to access your web browser's bookmark list"));
    cmdSection = flatButton("cmdSection", QStringLiteral("New Section"),
                            QStringLiteral("Click here to create a new section (Ctrl+S)"));
    cmdFolder = flatButton("cmdFolder", QStringLiteral("New Folder"),
                           QStringLiteral("Click here to create a new folder (Ctrl+N)"));
    for (QComboBox* list : {edtSource, cbOpenWhen, cbSection, cbCategory})
        list->setMinimumContentsLength(6);

    auto* fields = new QVBoxLayout;
    fields->setSpacing(2);
    auto labelled = [fields](const QString& caption, QWidget* field, QWidget* button = nullptr) {
        auto* label = new QLabel(caption);
        label->setBuddy(field);
        fields->addWidget(label);
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        if (button)
            row->addWidget(button);
        fields->addLayout(row);
        fields->addSpacing(3);
    };
    labelled(QStringLiteral("Download Description:"), edtDesc);
    labelled(QStringLiteral("File Source:"), edtSource, cmdBookMarks);
    labelled(QStringLiteral("Specify a filename for this download."), edtName);
    auto* place = new QFormLayout;
    place->setSpacing(4);
    place->setLabelAlignment(Qt::AlignLeft);
    place->addRow(QStringLiteral("Open it when:"), cbOpenWhen);
    auto withButton = [](QWidget* field, QWidget* button) {
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(button);
        return row;
    };
    place->addRow(QStringLiteral("Place in what Section?"), withButton(cbSection, cmdSection));
    place->addRow(QStringLiteral("Place in what Folder?"), withButton(cbCategory, cmdFolder));
    fields->addLayout(place);
    fields->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addLayout(fields, 1);
    layout->addWidget(createInstruments());
    return page;
}

QWidget* TfrmAsker::createInstruments() {
    auto* panel = named(new QWidget, "pnlStatistics");
    panel->setFixedWidth(196);

    gSpeed = named(new TSpeedDial, "gSpeed");
    gSpeed->setFixedSize(104, 104);
    gSpeed->setThirdZoneColor(QColor(0, 255, 0));
    dg = named(new TProgressColumn, "dg");
    dg->setFixedSize(22, 104);
    dg->setToolTip(QStringLiteral("Progress of the download"));
    gActive = named(new TActivityBar, "gActive");
    gActive->setFixedHeight(12);

    lblFileSize = valueLabel("lblFileSize", QString());
    lbldlbytes = valueLabel("lbldlbytes", QString());
    lblPacketSize = valueLabel("lblPacketSize", QString());
    lblSpeed = valueLabel("lblSpeed", QString());
    lblPercent = valueLabel("lblPercent", QString());
    lblAverage = valueLabel("lblAverage", QString());
    lblETA = valueLabel("lblETA", QString());
    lblPercent->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* gauges = new QHBoxLayout;
    gauges->addWidget(gSpeed);
    gauges->addStretch(1);
    gauges->addWidget(dg);

    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(6);
    figures->setVerticalSpacing(1);
    int row = 0;
    auto addFigure = [&](const QString& caption, QLabel* value) {
        figures->addWidget(new QLabel(caption), row, 0);
        figures->addWidget(value, row, 1);
        ++row;
    };
    addFigure(QStringLiteral("Download Size:"), lblFileSize);
    addFigure(QStringLiteral("Bytes So Far:"), lbldlbytes);
    addFigure(QStringLiteral("Speed:"), lblSpeed);
    addFigure(QStringLiteral("Average BPS:"), lblAverage);
    addFigure(QStringLiteral("Time to arrival:"), lblETA);
    figures->setColumnStretch(1, 1);

    // "Packet Size:" shows from the dialog's first HTTP transfer on.
    pnlPacketSize = named(new QWidget, "pnlPacketSize");
    auto* packet = new QHBoxLayout(pnlPacketSize);
    packet->setContentsMargins(0, 0, 0, 0);
    packet->setSpacing(6);
    packet->addWidget(new QLabel(QStringLiteral("Packet Size:")));
    packet->addWidget(lblPacketSize, 1);
    pnlPacketSize->hide();

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(gauges);
    layout->addWidget(lblPercent);
    layout->addWidget(gActive);
    layout->addLayout(figures);
    layout->addWidget(pnlPacketSize);
    layout->addStretch(1);
    return panel;
}

QWidget* TfrmAsker::createAdvancedTab() {
    auto* page = named(new QWidget, "tsAdvanced");

    // A check box does not wrap its caption: the line break keeps it inside the tab.
    cbPaste = checkBox("cbPaste",
                       QStringLiteral("When this screen appears paste the contents of the "
                                      "clipboard\ninto Download Description area"),
                       false);
    cbPrompt = checkBox("cbPrompt", QStringLiteral("Prompt me in"), true,
                        QStringLiteral("Check this box to have Quillbay prompt you if you have "
                                       "not opened this file in the specified number of days"));
    meDays = daysField("meDays", QStringLiteral("10"),
                       QStringLiteral("Specify the number of days before Quillbay will prompt "
                                      "you if you have not yet opened this file"));
    cbAutoDelete =
        checkBox("cbAutoDelete", QStringLiteral("Automatically delete this file after"), false,
                 QStringLiteral("Check this box if you want Quillbay to delete this "
                                "file after the specified number of days"));
    meDeleteDays = daysField(
        "meDeleteDays", QStringLiteral("10"),
        QStringLiteral("Specify the number of days Quillbay will wait before deleting this file"));
    cbAutoScan = checkBox("cbAutoScan",
                          QStringLiteral("Automatically scan this file for viruses after it is "
                                         "completely downloaded"),
                          false,
                          QStringLiteral("Check this box to have this file scanned when it is "
                                         "finished downloading if you have a virus scanner "
                                         "configured."));
    cbAutoScan->setEnabled(false);
    cbMinimize = checkBox("cbMinimize", QStringLiteral("Auto-Minimize on Download"), false);
    cbClose = checkBox("cbClose", QStringLiteral("Auto-Exit when complete"), false);
    cbDetails = checkBox("cbDetails", QStringLiteral("Display Download Headers"), true);
    cbPromptDone =
        checkBox("cbPromptDone", QStringLiteral("Prompt me when downloads are complete"), true);
    cbEnableDetect =
        checkBox("cbEnableDetect", QStringLiteral("&Enable Download Detection"), true,
                 QStringLiteral("Check this box to have Quillbay automatically detect all "
                                "downloads"));
    cbDefault = checkBox("cbDefault", QStringLiteral("&Save these as default settings"), true,
                         QStringLiteral("Check this box if you wish the settings displayed on "
                                        "this screen to be saved as default"));

    auto group = [](const char* name, const QString& title) {
        auto* box = named(new QGroupBox(title), name);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(8, 4, 8, 4);
        layout->setSpacing(2);
        return box;
    };
    auto dayRow = [](QCheckBox* box, QLineEdit* days, const QString& rest) {
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        row->addWidget(box);
        row->addWidget(days);
        row->addWidget(new QLabel(rest), 1);
        return row;
    };

    QGroupBox* information = group("gbDownloadInformation", QStringLiteral("Download Information"));
    information->layout()->addWidget(cbPaste);

    QGroupBox* automated = group("gbAutomatedActions", QStringLiteral("Automated Actions"));
    auto* automatedLayout = static_cast<QVBoxLayout*>(automated->layout());
    automatedLayout->addLayout(
        dayRow(cbPrompt, meDays,
               QStringLiteral("days if I have not yet opened, run, or installed this file.")));
    automatedLayout->addLayout(
        dayRow(cbAutoDelete, meDeleteDays, QStringLiteral("days whether I've opened it or not.")));
    automatedLayout->addWidget(cbAutoScan);

    QGroupBox* screen = group("gbThisScreen", QStringLiteral("This Screen"));
    for (QCheckBox* box : {cbMinimize, cbClose, cbDetails})
        screen->layout()->addWidget(box);
    QGroupBox* general = group("gbGeneral", QStringLiteral("General"));
    for (QCheckBox* box : {cbPromptDone, cbEnableDetect, cbDefault})
        general->layout()->addWidget(box);

    auto* lower = new QHBoxLayout;
    lower->addWidget(screen, 1);
    lower->addWidget(general, 1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addWidget(information);
    layout->addWidget(automated);
    layout->addLayout(lower);
    layout->addStretch(1);
    return page;
}

void TfrmAsker::connectControls() {
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { close(); });
    connect(cmdViewManager, &QPushButton::clicked, this, [this] { cmdViewManagerClick(); });
    connect(cmdBookMarks, &QPushButton::clicked, this, [this] { cmdBookMarksClick(); });
    connect(cmdSection, &QPushButton::clicked, this, [this] { NewSectCat(true); });
    connect(cmdFolder, &QPushButton::clicked, this, [this] { NewSectCat(false); });
    // Only the user's choice refills the folders; the dialog's own selections call it.
    connect(cbSection, &QComboBox::activated, this, [this] { cbSectionChange(); });
    connect(cbDefault, &QCheckBox::toggled, this, [this] { cbDefaultClick(); });
    connect(cbEnableDetect, &QCheckBox::toggled, this, [this] { cbEnableDetectClick(); });
    connect(cbDetails, &QCheckBox::toggled, this, [this] { cbDetailsClick(); });
    connect(tmrDLSpeed, &QTimer::timeout, this, [this] { tmrDLSpeedTimer(); });
    connect(tmrRedirect, &QTimer::timeout, this, [this] { tmrRedirectTimer(); });
}
