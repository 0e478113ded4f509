#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractItemView;
class QFileSystemWatcher;
class QItemSelectionModel;
class QListView;
class QStackedLayout;
class QStandardItemModel;
class QTimer;
class QTreeView;

// The files of one directory (no subdirectories, hidden files included) in one of four view
// styles, several selectable. It watches its directory while automatic refresh is on, so
// files that appear, grow or vanish show at once; F5 re-reads it by hand.
class TFileList : public QWidget {
    Q_OBJECT
public:
    enum ViewStyle { LargeIcons = 1, SmallIcons = 2, List = 3, Details = 4 };
    // Columns of the details view.
    enum Column { Name, Extension, Size, Attributes, Type, Modified, ColumnCount };

    explicit TFileList(QWidget* parent = nullptr);

    // The directory shown; empty means none.
    QString folder() const { return folder_; }
    void setFolder(const QString& directory);
    // Re-reads the directory, keeps the selected name selected when it still exists (else
    // selects the first item), then emits refreshed().
    void refresh();

    ViewStyle viewStyle() const { return style_; }
    void setViewStyle(ViewStyle style);

    int itemCount() const;
    // Whether the list has an item at its first position (the list is not empty).
    bool hasFirstItem() const { return itemCount() > 0; }
    int selectedCount() const;
    // Selected names in list order.
    QStringList selectedNames() const;
    QString firstSelectedName() const;
    QString focusedName() const;
    QString nameAt(int row) const;
    // The full path of a listed name.
    QString pathOf(const QString& name) const;
    void selectFirst();
    // Selects `name` alone; false when it is not listed.
    bool selectName(const QString& name);
    void selectNames(const QStringList& names);
    void clearSelection();
    void setAutoRefresh(bool on);
    bool autoRefresh() const { return autoRefresh_; }

    // The view in use (for focus, menus and tests).
    QAbstractItemView* view() const;
    QTreeView* detailsView() const { return details_; }

signals:
    void selectionChanged();
    void mouseDown();
    // `suppress` set by a receiver keeps the list from its own default action.
    void doubleClicked(bool* suppress);
    void refreshed();
    void contextMenuRequested(const QPoint& globalPos);
    // Files dropped onto the list (local paths of a URI list), after the drop has ended.
    void filesDropped(const QStringList& paths, const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void reload(bool keepSelection);
    // Drags the selected files as a URI list, to a folder button or another program.
    void startFileDrag();
    bool listingChanged() const;

    QString folder_;
    ViewStyle style_ = Details;
    QStandardItemModel* model_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    QTreeView* details_ = nullptr;
    QListView* icons_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* growth_ = nullptr;
    bool autoRefresh_ = true;
    // Name, size and modification time of each listed file, as last read.
    QStringList signature_;
    // Where a left press began in a view, while a drag may start from it.
    QPoint dragFrom_{-1, -1};
};
