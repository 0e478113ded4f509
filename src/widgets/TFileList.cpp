#include "widgets/TFileList.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

namespace {

constexpr int kGrowthCheckMs = 1000;

QFileInfoList listing(const QString& folder) {
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    return dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System,
                             QDir::Name | QDir::IgnoreCase);
}

QStringList signatureOf(const QFileInfoList& files) {
    QStringList out;
    out.reserve(files.size());
    for (const QFileInfo& f : files)
        out.append(f.fileName() + '\n' + QString::number(f.size()) + '\n' +
                   QString::number(f.lastModified().toMSecsSinceEpoch()));
    return out;
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024)
        return bytes == 0 ? QStringLiteral("0 KB") : QStringLiteral("1 KB");
    return QLocale().toString((bytes + 1023) / 1024) + " KB";
}

struct TypeInfo {
    QString comment;
    QIcon icon;
};

// Looking up the type and icon per suffix keeps a large folder quick to show.
const TypeInfo& typeOf(const QFileInfo& info) {
    static QHash<QString, TypeInfo> cache;
    const QString suffix = info.suffix().toLower();
    auto it = cache.find(suffix);
    if (it != cache.end())
        return *it;
    static QMimeDatabase mimes;
    static QFileIconProvider provider;
    const QMimeType mime = mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    TypeInfo type;
    type.comment = mime.comment();
    type.icon =
        QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(),
                                                           provider.icon(QFileIconProvider::File)));
    return *cache.insert(suffix, type);
}

} // namespace

TFileList::TFileList(QWidget* parent) : QWidget(parent) {
    setObjectName("FEDownloads");
    model_ = new QStandardItemModel(0, ColumnCount, this);
    model_->setHorizontalHeaderLabels(
        {"Name", "Extension", "Size", "Attributes", "Type", "Modified"});
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);

    details_ = new QTreeView(this);
    details_->setObjectName("FEDownloadsDetails");
    // No caption names the list on screen; its column headers speak for themselves.
    details_->setAccessibleName("Files");
    details_->setModel(model_);
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    details_->setAllColumnsShowFocus(true);
    const int widths[ColumnCount] = {200, 50, 50, 50, 100, 200};
    for (int c = 0; c < ColumnCount; ++c)
        details_->setColumnWidth(c, widths[c]);
    details_->setColumnHidden(Extension, true);
    details_->setColumnHidden(Attributes, true);
    selection_ = details_->selectionModel();

    icons_ = new QListView(this);
    icons_->setObjectName("FEDownloadsIcons");
    icons_->setAccessibleName("Files");
    icons_->setModel(model_);
    icons_->setSelectionModel(selection_);
    icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    icons_->setUniformItemSizes(true);

    stack_->addWidget(details_);
    stack_->addWidget(icons_);
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)}) {
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
        v->viewport()->setAcceptDrops(true);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& at) {
            emit contextMenuRequested(v->viewport()->mapToGlobal(at));
        });
    }
    connect(selection_, &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionChanged(); });

    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (autoRefresh_ && listingChanged())
            refresh();
    });
    // A download in progress grows without the directory changing.
    growth_ = new QTimer(this);
    growth_->setInterval(kGrowthCheckMs);
    connect(growth_, &QTimer::timeout, this, [this] {
        if (autoRefresh_ && listingChanged())
            refresh();
    });
    setViewStyle(Details);
}

void TFileList::setFolder(const QString& directory) {
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    folder_ = directory;
    if (!folder_.isEmpty() && QFileInfo(folder_).isDir())
        watcher_->addPath(folder_);
    reload(false);
}

void TFileList::refresh() {
    const QStringList before = selectedNames();
    reload(true);
    // The selection moved when a selected file went away: its readers must hear of it.
    if (selectedNames() != before)
        emit selectionChanged();
    emit refreshed();
}

bool TFileList::listingChanged() const {
    return signatureOf(listing(folder_)) != signature_;
}

void TFileList::reload(bool keepSelection) {
    const QString kept = keepSelection ? firstSelectedName() : QString();
    const QFileInfoList files = listing(folder_);
    signature_ = signatureOf(files);
    const QSignalBlocker quiet(selection_);
    model_->removeRows(0, model_->rowCount());
    model_->setRowCount(int(files.size()));
    const QLocale locale;
    int row = 0;
    for (const QFileInfo& f : files) {
        const TypeInfo& type = typeOf(f);
        auto* name = new QStandardItem(type.icon, f.fileName());
        name->setData(f.fileName(), Qt::UserRole);
        model_->setItem(row, Name, name);
        model_->setItem(row, Extension, new QStandardItem(f.suffix()));
        auto* size = new QStandardItem(sizeText(f.size()));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        model_->setItem(row, Size, size);
        QString attributes;
        if (!f.isWritable())
            attributes += 'R';
        if (f.isHidden())
            attributes += 'H';
        model_->setItem(row, Attributes, new QStandardItem(attributes));
        model_->setItem(row, Type, new QStandardItem(type.comment));
        model_->setItem(row, Modified,
                        new QStandardItem(locale.toString(f.lastModified(), QLocale::ShortFormat)));
        ++row;
    }
    if (keepSelection && model_->rowCount() > 0) {
        if (!selectName(kept))
            selectFirst();
    }
    if (isVisible() && autoRefresh_ && !folder_.isEmpty())
        growth_->start();
}

void TFileList::setViewStyle(ViewStyle style) {
    style_ = style;
    if (style == Details) {
        stack_->setCurrentWidget(details_);
        return;
    }
    if (style == List) {
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::TopToBottom);
        icons_->setWrapping(true);
        icons_->setIconSize(QSize(16, 16));
    } else {
        icons_->setViewMode(QListView::IconMode);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setWrapping(true);
        icons_->setIconSize(style == LargeIcons ? QSize(32, 32) : QSize(16, 16));
        icons_->setGridSize(style == LargeIcons ? QSize(96, 64) : QSize(160, 22));
    }
    icons_->setResizeMode(QListView::Adjust);
    stack_->setCurrentWidget(icons_);
}

QAbstractItemView* TFileList::view() const {
    return style_ == Details ? static_cast<QAbstractItemView*>(details_) : icons_;
}

int TFileList::itemCount() const {
    return model_->rowCount();
}

int TFileList::selectedCount() const {
    return int(selection_->selectedRows(Name).size());
}

QStringList TFileList::selectedNames() const {
    QList<int> rows;
    for (const QModelIndex& i : selection_->selectedRows(Name))
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (int r : rows)
        names.append(nameAt(r));
    return names;
}

QString TFileList::firstSelectedName() const {
    const QStringList names = selectedNames();
    return names.isEmpty() ? QString() : names.first();
}

QString TFileList::focusedName() const {
    const QModelIndex current = selection_->currentIndex();
    return current.isValid() ? nameAt(current.row()) : QString();
}

QString TFileList::nameAt(int row) const {
    const QStandardItem* item = model_->item(row, Name);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QString TFileList::pathOf(const QString& name) const {
    return folder_.endsWith('/') ? folder_ + name : folder_ + '/' + name;
}

void TFileList::selectFirst() {
    if (model_->rowCount() == 0)
        return;
    const QModelIndex first = model_->index(0, Name);
    selection_->setCurrentIndex(first,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view()->scrollTo(first);
}

bool TFileList::selectName(const QString& name) {
    if (name.isEmpty())
        return false;
    for (int r = 0; r < model_->rowCount(); ++r) {
        if (nameAt(r) == name) {
            selection_->setCurrentIndex(model_->index(r, Name),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
            return true;
        }
    }
    return false;
}

void TFileList::selectNames(const QStringList& names) {
    QItemSelection selection;
    for (int r = 0; r < model_->rowCount(); ++r)
        if (names.contains(nameAt(r)))
            selection.select(model_->index(r, 0), model_->index(r, ColumnCount - 1));
    selection_->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TFileList::clearSelection() {
    selection_->clearSelection();
}

void TFileList::setAutoRefresh(bool on) {
    autoRefresh_ = on;
    if (!on)
        growth_->stop();
    else if (isVisible() && !folder_.isEmpty())
        growth_->start();
}

bool TFileList::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The list must neither open items nor climb to the parent directory.
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Backspace)
            return true;
        if (key == Qt::Key_F5 && event->type() == QEvent::KeyPress) {
            refresh();
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
            static_cast<QDropEvent*>(event)->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        if (paths.isEmpty())
            break;
        drop->acceptProposedAction();
        const QPoint at = static_cast<QWidget*>(watched)->mapToGlobal(drop->position().toPoint());
        // After the drag has ended: the owner may show a menu and ask questions.
        QTimer::singleShot(0, this, [this, paths, at] { emit filesDropped(paths, at); });
        return true;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (dragFrom_.x() >= 0 && (move->buttons() & Qt::LeftButton) &&
            (move->position().toPoint() - dragFrom_).manhattanLength() >=
                QApplication::startDragDistance() &&
            selectedCount() > 0) {
            dragFrom_ = QPoint(-1, -1);
            startFileDrag();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        dragFrom_ = QPoint(-1, -1);
        break;
    case QEvent::MouseButtonPress:
        if (watched == details_->viewport() || watched == icons_->viewport()) {
            const auto* press = static_cast<QMouseEvent*>(event);
            dragFrom_ =
                press->button() == Qt::LeftButton ? press->position().toPoint() : QPoint(-1, -1);
            // Let the view set its selection first; the owner reads it afterwards.
            QTimer::singleShot(0, this, [this] { emit mouseDown(); });
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == details_->viewport() || watched == icons_->viewport()) {
            bool suppress = false;
            emit doubleClicked(&suppress);
            if (suppress)
                return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TFileList::startFileDrag() {
    QList<QUrl> urls;
    for (const QString& name : selectedNames())
        urls << QUrl::fromLocalFile(pathOf(name));
    auto* data = new QMimeData;
    data->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void TFileList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (autoRefresh_ && !folder_.isEmpty())
        growth_->start();
}

void TFileList::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    growth_->stop();
}
