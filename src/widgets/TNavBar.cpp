#include "widgets/TNavBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QToolBox>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// A dragged folder button: "page button", both 0-based.
constexpr char kFolderMime[] = "application/x-quillbay-folder-button";

} // namespace

TNavBar::TNavBar(QWidget* parent) : QWidget(parent) {
    setObjectName("Nav");
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    box_ = new QToolBox(this);
    layout->addWidget(box_);
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(grey);
    connect(box_, &QToolBox::currentChanged, this, [this](int page) {
        if (!filling_ && page >= 0)
            emit pageClicked(page);
    });
}

int TNavBar::pageCount() const {
    return int(pages_.size());
}

int TNavBar::buttonCount(int page) const {
    return page >= 0 && page < pages_.size() ? int(pages_[page].buttons.size()) : 0;
}

QString TNavBar::pageCaption(int page) const {
    return box_->itemText(page);
}

QString TNavBar::buttonCaption(int page, int index) const {
    QToolButton* b = button(page, index);
    return b ? b->text() : QString();
}

QToolButton* TNavBar::button(int page, int index) const {
    if (page < 0 || page >= pages_.size() || index < 0 || index >= pages_[page].buttons.size())
        return nullptr;
    return pages_[page].buttons[index];
}

int TNavBar::activePage() const {
    return box_->currentIndex();
}

void TNavBar::setActivePage(int page) {
    filling_ = true;
    box_->setCurrentIndex(page);
    filling_ = false;
}

int TNavBar::addPage(const QString& caption, const QString& hint) {
    Page page;
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    page.body = new QWidget;
    page.body->setAutoFillBackground(true);
    QPalette grey = page.body->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    page.body->setPalette(grey);
    page.layout = new QVBoxLayout(page.body);
    page.layout->setAlignment(Qt::AlignTop);
    page.layout->setSpacing(6);
    scroll->setWidget(page.body);
    pages_.append(page);
    filling_ = true;
    const int index = box_->addItem(scroll, caption);
    filling_ = false;
    box_->setItemToolTip(index, hint);
    // The caption button of the page is the tool box's own; it receives the right clicks.
    for (QAbstractButton* tab : captionButtons())
        tab->installEventFilter(this);
    return index;
}

int TNavBar::addButton(int page, const QString& caption, const QIcon& icon, const QString& hint) {
    if (page < 0 || page >= pages_.size())
        return -1;
    auto* b = new QToolButton(pages_[page].body);
    b->setText(caption);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setStyleSheet("QToolButton { color: white; }");
    b->installEventFilter(this);
    b->setMouseTracking(true);
    pages_[page].layout->addWidget(b);
    pages_[page].buttons.append(b);
    const int index = int(pages_[page].buttons.size()) - 1;
    connect(b, &QToolButton::pressed, this, [this, b] {
        int p, i;
        if (locate(b, &p, &i))
            emit buttonPressed(p, i);
    });
    connect(b, &QToolButton::clicked, this, [this, b] {
        int p, i;
        if (locate(b, &p, &i))
            emit buttonClicked(p, i);
    });
    return index;
}

void TNavBar::setPageCaption(int page, const QString& caption) {
    box_->setItemText(page, caption);
}

void TNavBar::setButtonCaption(int page, int index, const QString& caption) {
    if (QToolButton* b = button(page, index))
        b->setText(caption);
}

void TNavBar::setButtonIcon(int page, int index, const QIcon& icon) {
    if (QToolButton* b = button(page, index))
        b->setIcon(icon);
}

QList<QAbstractButton*> TNavBar::captionButtons() const {
    return box_->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
}

void TNavBar::setPageBold(int page, bool bold) {
    const QList<QAbstractButton*> tabs = captionButtons();
    if (page < 0 || page >= tabs.size())
        return;
    QFont f = tabs[page]->font();
    f.setBold(bold);
    tabs[page]->setFont(f);
}

bool TNavBar::pageBold(int page) const {
    const QList<QAbstractButton*> tabs = captionButtons();
    return page >= 0 && page < tabs.size() && tabs[page]->font().bold();
}

void TNavBar::normalCaptions() {
    for (int page = 0; page < pageCount(); ++page)
        setPageBold(page, false);
}

int TNavBar::pageCaptionAt(const QPoint& pos) const {
    const QList<QAbstractButton*> tabs = captionButtons();
    for (int page = 0; page < tabs.size(); ++page) {
        if (tabs[page]->isVisible() &&
            QRect(tabs[page]->mapTo(this, QPoint(0, 0)), tabs[page]->size()).contains(pos))
            return page;
    }
    return -1;
}

QMimeData* TNavBar::folderMimeData(int page, int button) {
    auto* data = new QMimeData;
    data->setData(kFolderMime, QByteArray::number(page) + ' ' + QByteArray::number(button));
    return data;
}

void TNavBar::startButtonDrag(int page, int index) {
    QToolButton* b = button(page, index);
    pressPage_ = pressButton_ = -1;
    if (!b)
        return;
    // The folder's own icon is the drag cursor.
    const QPixmap picture = b->icon().pixmap(b->iconSize());
    auto* drag = new QDrag(this); // not the button: a drop may rebuild the buttons
    drag->setMimeData(folderMimeData(page, index));
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(picture.width() / 2, picture.height() / 2));
    drag->setDragCursor(picture, Qt::MoveAction);
    emit buttonDragStarted(page, index);
    drag->exec(Qt::MoveAction);
    normalCaptions();
    emit buttonDragEnded(page, index);
}

void TNavBar::endButtonDrag(int index) {
    if (QToolButton* b = button(activePage(), index))
        b->setDown(false);
    pressPage_ = pressButton_ = -1;
    normalCaptions();
}

int TNavBar::folderTarget(const QMimeData* data, const QPoint& pos) const {
    const QList<QByteArray> numbers = data->data(kFolderMime).split(' ');
    if (numbers.size() != 2 || numbers[0].toInt() != activePage() ||
        !button(numbers[0].toInt(), numbers[1].toInt()))
        return -1;
    const int page = pageCaptionAt(pos);
    return page != activePage() ? page : -1;
}

int TNavBar::buttonAt(const QPoint& pos) const {
    for (QWidget* w = childAt(pos); w && w != this; w = w->parentWidget()) {
        int p, i;
        if (locate(w, &p, &i))
            return p == activePage() ? i : -1;
    }
    return -1;
}

int TNavBar::reorderTarget(const QMimeData* data, const QPoint& pos) const {
    const QList<QByteArray> numbers = data->data(kFolderMime).split(' ');
    if (numbers.size() != 2 || numbers[0].toInt() != activePage())
        return -1;
    const int onto = buttonAt(pos);
    return onto != numbers[1].toInt() ? onto : -1;
}

QWidget* TNavBar::pageCaptionWidget(int page) const {
    const QList<QAbstractButton*> tabs = captionButtons();
    return page >= 0 && page < tabs.size() ? tabs[page] : nullptr;
}

void TNavBar::fitButtons() {
    // The visible width, not the page's own: the buttons' minimum holds the page open, so
    // measuring the page would never let them narrow again. Before the bar is laid out
    // there is no width to fit.
    if (!isVisible())
        return;
    for (Page& page : pages_) {
        const int visible = page.body->parentWidget()->width();
        for (QToolButton* b : page.buttons)
            b->setMinimumWidth(qMax(0, visible - 12));
    }
}

void TNavBar::clear() {
    filling_ = true;
    while (box_->count() > 0) {
        QWidget* w = box_->widget(0);
        box_->removeItem(0);
        delete w;
    }
    pages_.clear();
    filling_ = false;
}

bool TNavBar::locate(QObject* object, int* page, int* index) const {
    // Compared as objects: the object may be any child of the bar, and casting it down to a
    // button first would be undefined when it is not one.
    for (int p = 0; p < pages_.size(); ++p) {
        const QList<QToolButton*>& buttons = pages_[p].buttons;
        for (int i = 0; i < buttons.size(); ++i) {
            if (static_cast<QObject*>(buttons[i]) == object) {
                *page = p;
                *index = i;
                return true;
            }
        }
    }
    return false;
}

bool TNavBar::eventFilter(QObject* watched, QEvent* event) {
    int p, i;
    const bool isButton = locate(watched, &p, &i);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (isButton && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            pressPage_ = p;
            pressButton_ = i;
            pressAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        }
        break;
    case QEvent::MouseMove:
        if (isButton && pressPage_ == p && pressButton_ == i) {
            const auto* move = static_cast<QMouseEvent*>(event);
            if (move->buttons() != Qt::LeftButton) {
                // The left button came up unseen or another joined it: no drag.
                pressPage_ = pressButton_ = -1;
                emit buttonDragEnded(p, i);
            } else if ((move->globalPosition().toPoint() - pressAt_).manhattanLength() >=
                       QApplication::startDragDistance()) {
                startButtonDrag(p, i);
                return true;
            }
        }
        break;
    case QEvent::MouseButtonRelease:
        if (isButton && pressPage_ == p && pressButton_ == i) {
            pressPage_ = pressButton_ = -1;
            emit buttonDragEnded(p, i);
        }
        break;
    case QEvent::Enter:
        if (isButton)
            emit buttonHovered(p, i);
        break;
    case QEvent::Leave:
        if (isButton)
            emit buttonHovered(-1, -1);
        break;
    case QEvent::ContextMenu: {
        const QPoint at = static_cast<QContextMenuEvent*>(event)->globalPos();
        if (isButton) {
            emit buttonMenuRequested(p, i, at);
            if (buttonMenu)
                buttonMenu->popup(at);
            return true;
        }
        const int page = int(captionButtons().indexOf(qobject_cast<QAbstractButton*>(watched)));
        if (page >= 0) {
            emit pageMenuRequested(page, at);
            if (pageMenu)
                pageMenu->popup(at);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TNavBar::dragEnterEvent(QDragEnterEvent* event) {
    // A folder button is accepted everywhere so that its moves are seen; dragMoveEvent says
    // where it may be dropped.
    if (event->mimeData()->hasUrls() || event->mimeData()->hasFormat(kFolderMime))
        event->acceptProposedAction();
}

void TNavBar::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasFormat(kFolderMime)) {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
        return;
    }
    const int target = folderTarget(event->mimeData(), event->position().toPoint());
    normalCaptions();
    if (target < 0) {
        if (reorderTarget(event->mimeData(), event->position().toPoint()) >= 0)
            event->acceptProposedAction();
        else
            event->ignore();
        return;
    }
    setPageBold(target, true);
    event->acceptProposedAction();
}

void TNavBar::dragLeaveEvent(QDragLeaveEvent*) {
    normalCaptions();
}

void TNavBar::dropEvent(QDropEvent* event) {
    if (event->mimeData()->hasFormat(kFolderMime)) {
        const int target = folderTarget(event->mimeData(), event->position().toPoint());
        normalCaptions();
        const QList<QByteArray> numbers = event->mimeData()->data(kFolderMime).split(' ');
        const int onto = reorderTarget(event->mimeData(), event->position().toPoint());
        if (target < 0 && onto >= 0) {
            event->acceptProposedAction();
            emit folderReordered(numbers[0].toInt(), numbers[1].toInt(), onto);
            return;
        }
        if (target < 0) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        emit folderDropped(target, numbers[0].toInt(), numbers[1].toInt());
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    int page = activePage(), index = -1;
    if (QWidget* under = childAt(event->position().toPoint())) {
        for (QWidget* w = under; w && w != this; w = w->parentWidget()) {
            int p, i;
            if (locate(w, &p, &i)) {
                page = p;
                index = i;
                break;
            }
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(page, index, paths);
    }
}
