// The manager's tool bar: its buttons, which of them show, where it docks and whether its
// buttons carry labels, all from the settings file.
#include "manager/TfrmManager.h"

#include <QActionGroup>
#include <QBoxLayout>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <functional>

#include "library/Settings.h"
#include "manager/ToolImages.h"
#include "platform/Help.h"
#include "platform/Shell.h"
#include "widgets/TFileList.h"

namespace {

// Sizes of the bar and its buttons, in pixels.
constexpr int kLabelledButtonWidth = 56;
constexpr int kLabelledHeight = 36;
constexpr int kBarHeight = 39;
constexpr int kPlainBarHeight = 26;
constexpr int kPlainToggledHeight = 29;
constexpr int kPlainButtonWidth = 30;
constexpr int kPlainVerticalWidth = 32;
constexpr int kPlainButtonHeight = 26;
constexpr int kSeparator = 8;
constexpr int kIconSize = 20;

// Runs `action` on a double click on the bar itself (the buttons take their own clicks).
class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

bool isVertical(int side) {
    return side == 1 || side == 2;
}

} // namespace

void TfrmManager::buildToolBar() {
    cb = new QToolBar(this);
    cb->setObjectName("cb");
    cb->setWindowTitle("Tool bar");
    cb->setMovable(false);
    cb->setFloatable(false);
    cb->setContextMenuPolicy(Qt::CustomContextMenu);
    addToolBar(Qt::TopToolBarArea, cb);

    ToolBar1 = new QWidget(cb);
    ToolBar1->setObjectName("ToolBar1");
    auto* row = new QBoxLayout(QBoxLayout::LeftToRight, ToolBar1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    cb->addWidget(ToolBar1);

    const auto button = [this, row](const char* caption, const char* name, const char* hint,
                                    int image, void (TfrmManager::*click)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(caption);
        b->setAccessibleName(caption);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setIcon(manager::toolIcon(image));
        b->setIconSize(QSize(kIconSize, kIconSize));
        b->setAutoRaise(true);
        // The captions must fit 56-pixel buttons beside the style's own margins.
        QFont font = b->font();
        font.setPointSizeF(qMin(font.pointSizeF(), 7.0));
        b->setFont(font);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFixedSize(kLabelledButtonWidth, kLabelledHeight);
        if (click)
            connect(b, &QToolButton::clicked, this, click);
        row->addWidget(b);
        return b;
    };
    const auto separator = [this, row](const char* name) {
        auto* s = new QFrame(ToolBar1);
        s->setObjectName(name);
        s->setFrameShape(QFrame::VLine);
        s->setFrameShadow(QFrame::Sunken);
        s->setFixedWidth(kSeparator);
        row->addWidget(s);
        return static_cast<QWidget*>(s);
    };
    tbNew = button("New", "tbNew", "Create a new section or folder", 0, &TfrmManager::tbNewClick);
    tbDelete =
        button("Delete", "tbDelete", "Delete a section or folder", 1, &TfrmManager::tbDeleteClick);
    tbProps = button("File Info", "tbProps", "Get selected file's properties", 5,
                     &TfrmManager::tbPropsClick);
    tbStyle =
        button("View Style", "tbStyle", "Change file view style", 8, &TfrmManager::tbStyleClick);
    tbReport = button("Report", "tbReport", "Print or save download folder information", 3,
                      &TfrmManager::tbReportClick);
    s2 = separator("s2");
    tbBrowser =
        button("Browser", "tbBrowser", "Launch your web browser", 6, &TfrmManager::tbBrowserClick);
    tbScanner = button("Scanner", "tbScanner", "Launch your virus scanner", 7,
                       &TfrmManager::tbScannerClick);
    s3 = separator("s3");
    tbOptions =
        button("Options", "tbOptions", "View or modify options and preferences", 2, nullptr);
    tbHelp = button("Help", "tbHelp", "Get help", 4, nullptr);
    connect(tbOptions, &QToolButton::clicked, this, &TfrmManager::optionsRequested);
    connect(tbHelp, &QToolButton::clicked, this, [] { platform::openHelp(); });
    row->addStretch(1);
    ToolBar1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ToolBar1->setMinimumWidth(kLabelledButtonWidth);
    ToolBar1->setFixedHeight(kBarHeight);

    pmToolBar = new QMenu(this);
    pmToolBar->setObjectName("pmToolBar");
    mnuButtons = pmToolBar->addAction("&Buttons...", this, &TfrmManager::toolBarOptionsRequested);
    mnuButtons->setObjectName("mnuButtons");
    pmToolBar->addSeparator();
    QMenu* align = pmToolBar->addMenu("Align...");
    align->setObjectName("mnuAlign");
    auto* sides = new QActionGroup(this);
    const auto sideItem = [&](const char* caption, const char* name, void (TfrmManager::*click)()) {
        QAction* a = align->addAction(caption, this, click);
        a->setObjectName(name);
        a->setCheckable(true);
        sides->addAction(a);
        return a;
    };
    mnuLeft = sideItem("Left", "mnuLeft", &TfrmManager::mnuLeftClick);
    mnuRight = sideItem("Right", "mnuRight", &TfrmManager::mnuRightClick);
    mnuTop = sideItem("Top", "mnuTop", &TfrmManager::mnuTopClick);
    mnuBottom = sideItem("Bottom", "mnuBottom", &TfrmManager::mnuBottomClick);
    mnuTop->setChecked(true);
    pmToolBar->addSeparator();
    mnuShowLabels = pmToolBar->addAction("Text Labels", this, &TfrmManager::mnuShowLabelsClick);
    mnuShowLabels->setObjectName("mnuShowLabels");
    mnuShowLabels->setCheckable(true);
    mnuShowLabels->setChecked(true);
    connect(cb, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmToolBar->popup(cb->mapToGlobal(at)); });

    auto* doubleClick = new DoubleClickFilter(this, [this] { emit toolBarOptionsRequested(); });
    cb->installEventFilter(doubleClick);
    ToolBar1->installEventFilter(doubleClick);
}

void TfrmManager::GetToolBar() {
    const Settings settings;
    const bool any =
        settings.readBool("ToolBar", "New") || settings.readBool("ToolBar", "Delete") ||
        settings.readBool("ToolBar", "Props") || settings.readBool("ToolBar", "Style") ||
        settings.readBool("ToolBar", "Report") ||
        settings.readBool("ToolBar", "Browser", SettingDefaults::kToolBarLaunchButtons) ||
        settings.readBool("ToolBar", "Virus", SettingDefaults::kToolBarLaunchButtons) ||
        settings.readBool("ToolBar", "Options") || settings.readBool("ToolBar", "Help");
    if (!any) {
        cb->hide();
        return;
    }
    // A bar hidden once comes back when buttons are chosen again.
    cb->show();
    GetVisibleButtons();
    // The labels follow the stored choice; toggling them at every showing would flip them
    // back on at the second showing.
    if (settings.readBool("Main", "ShowToolLabels") != labelsShown_)
        mnuShowLabelsClick();
    switch (settings.readInteger("Main", "ToolAlign")) {
    case 1:
        mnuLeftClick();
        break;
    case 2:
        mnuRightClick();
        break;
    case 3:
        mnuTopClick();
        break;
    case 4:
        mnuBottomClick();
        break;
    default:
        break; // the bar stays where it is
    }
}

void TfrmManager::GetVisibleButtons() {
    const Settings settings;
    const auto shown = [&](QWidget* w, const char* key, bool def) {
        w->setVisible(settings.readBool("ToolBar", key, def));
        return !w->isHidden();
    };
    const bool launch = SettingDefaults::kToolBarLaunchButtons;
    const bool newShown = shown(tbNew, "New", true);
    const bool deleteShown = shown(tbDelete, "Delete", true);
    const bool propsShown = shown(tbProps, "Props", true);
    const bool styleShown = shown(tbStyle, "Style", true);
    shown(tbReport, "Report", true);
    const bool browserShown = shown(tbBrowser, "Browser", launch);
    const bool scannerShown = shown(tbScanner, "Virus", launch);
    const bool optionsShown = shown(tbOptions, "Options", true);
    const bool helpShown = shown(tbHelp, "Help", true);
    // The Report button does not count for the first separator.
    s2->setVisible((newShown || deleteShown || propsShown || styleShown) &&
                   (browserShown || scannerShown || optionsShown || helpShown));
    s3->setVisible((browserShown || scannerShown) && (optionsShown || helpShown));
    const bool vertical = isVertical(side_);
    for (QWidget* s : {s2, s3}) {
        static_cast<QFrame*>(s)->setFrameShape(vertical ? QFrame::HLine : QFrame::VLine);
        s->setMinimumSize(vertical ? QSize(0, kSeparator) : QSize(kSeparator, 0));
        s->setMaximumSize(vertical ? QSize(QWIDGETSIZE_MAX, kSeparator)
                                   : QSize(kSeparator, QWIDGETSIZE_MAX));
    }
}

int TfrmManager::GetProperWidth() const {
    // The width the widest shown label needs, in the order of growing label widths.
    const std::pair<QToolButton*, int> widths[] = {{tbNew, 29},     {tbHelp, 29},    {tbDelete, 38},
                                                   {tbReport, 39},  {tbOptions, 43}, {tbProps, 44},
                                                   {tbBrowser, 45}, {tbScanner, 47}, {tbStyle, 56}};
    int width = ToolBar1->width();
    for (const auto& [button, w] : widths)
        if (!button->isHidden())
            width = w;
    return width;
}

void TfrmManager::WriteToolBarSettings(bool showLabels, int align) {
    Settings settings;
    if (settings.readBool("Main", "ShowToolLabels") != showLabels)
        settings.writeBool("Main", "ShowToolLabels", showLabels);
    if (settings.readInteger("Main", "ToolAlign") != align)
        settings.writeInteger("Main", "ToolAlign", align);
}

void TfrmManager::setToolButtonSize(int width, int height) {
    for (QToolButton* b :
         {tbNew, tbDelete, tbProps, tbStyle, tbReport, tbBrowser, tbScanner, tbOptions, tbHelp})
        b->setFixedSize(width, height);
}

void TfrmManager::dockToolBar(int side) {
    static const Qt::ToolBarArea areas[] = {Qt::LeftToolBarArea, Qt::RightToolBarArea,
                                            Qt::TopToolBarArea, Qt::BottomToolBarArea};
    const bool hidden = cb->isHidden();
    addToolBar(areas[side - 1], cb);
    cb->setHidden(hidden);
    side_ = side;
    auto* row = static_cast<QBoxLayout*>(ToolBar1->layout());
    if (isVertical(side)) {
        row->setDirection(QBoxLayout::TopToBottom);
        ToolBar1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        ToolBar1->setMinimumHeight(kLabelledHeight);
        ToolBar1->setMaximumHeight(QWIDGETSIZE_MAX);
        const int width = labelsShown_ ? GetProperWidth() : kPlainButtonWidth;
        ToolBar1->setFixedWidth(width);
        if (labelsShown_)
            setToolButtonSize(width, kLabelledHeight);
    } else {
        row->setDirection(QBoxLayout::LeftToRight);
        // The window may be narrower than all buttons together; the last ones are cut off.
        ToolBar1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        ToolBar1->setMinimumWidth(kLabelledButtonWidth);
        ToolBar1->setMaximumWidth(QWIDGETSIZE_MAX);
        ToolBar1->setFixedHeight(labelsShown_ ? kBarHeight : kPlainBarHeight);
        if (labelsShown_)
            setToolButtonSize(kLabelledButtonWidth, kLabelledHeight);
    }
    GetVisibleButtons();
    QAction* items[] = {mnuLeft, mnuRight, mnuTop, mnuBottom};
    items[side - 1]->setChecked(true);
    WriteToolBarSettings(labelsShown_, side);
}

void TfrmManager::mnuLeftClick() {
    dockToolBar(1);
}

void TfrmManager::mnuRightClick() {
    dockToolBar(2);
}

void TfrmManager::mnuTopClick() {
    dockToolBar(3);
}

void TfrmManager::mnuBottomClick() {
    dockToolBar(4);
}

void TfrmManager::mnuShowLabelsClick() {
    const bool vertical = isVertical(side_);
    labelsShown_ = !labelsShown_;
    const auto style = labelsShown_ ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly;
    for (QToolButton* b :
         {tbNew, tbDelete, tbProps, tbStyle, tbReport, tbBrowser, tbScanner, tbOptions, tbHelp})
        b->setToolButtonStyle(style);
    if (!labelsShown_ && !vertical) {
        ToolBar1->setFixedHeight(kPlainToggledHeight);
        setToolButtonSize(kPlainButtonWidth, kPlainButtonHeight);
    } else if (!labelsShown_) {
        ToolBar1->setFixedWidth(kPlainVerticalWidth);
        setToolButtonSize(kPlainVerticalWidth, kPlainButtonHeight);
    } else if (!vertical) {
        ToolBar1->setFixedHeight(kBarHeight);
        setToolButtonSize(kLabelledButtonWidth, kLabelledHeight);
    } else {
        dockToolBar(side_); // sets the width for the widest shown label
    }
    mnuShowLabels->setChecked(labelsShown_);
    Settings().writeBool("Main", "ShowToolLabels", labelsShown_);
}

void TfrmManager::showToolMenu(QMenu* menu) {
    menu->popup(QCursor::pos());
}

void TfrmManager::tbNewClick() {
    showToolMenu(pmNew);
}

void TfrmManager::tbDeleteClick() {
    showToolMenu(pmDelete);
}

void TfrmManager::tbPropsClick() {
    if (FEDownloads->hasFirstItem())
        mnuPropsClick();
}

void TfrmManager::tbStyleClick() {
    showToolMenu(pmViewStyle);
}

void TfrmManager::tbReportClick() {
    showToolMenu(pmPrint);
}

void TfrmManager::tbBrowserClick() {
    platform::shellOpen(Settings().readString("ToolBar", "BrowserCL"));
}

void TfrmManager::tbScannerClick() {
    platform::shellOpen(Settings().readString("ToolBar", "VirusCL"));
}
