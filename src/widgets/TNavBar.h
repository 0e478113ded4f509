#pragma once

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QWidget>

class QAbstractButton;
class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QMenu;
class QMimeData;
class QToolBox;
class QToolButton;
class QVBoxLayout;

// The navigation bar: an ordered list of pages, each with a caption, holding an ordered
// list of buttons with a 32 x 32 icon and a white caption on grey. Pressing a page's
// caption makes it the active page; the owner hears of page and button presses through the
// signals and decides what they mean.
class TNavBar : public QWidget {
    Q_OBJECT
public:
    explicit TNavBar(QWidget* parent = nullptr);

    int pageCount() const;
    int buttonCount(int page) const;
    QString pageCaption(int page) const;
    QString buttonCaption(int page, int button) const;
    QToolButton* button(int page, int button) const;
    int activePage() const;
    void setActivePage(int page);

    // Adds a page at the end; returns its index.
    int addPage(const QString& caption, const QString& hint);
    // Adds a button at the end of `page`; returns its index.
    int addButton(int page, const QString& caption, const QIcon& icon, const QString& hint);
    void setPageCaption(int page, const QString& caption);
    void setButtonCaption(int page, int button, const QString& caption);
    void setButtonIcon(int page, int button, const QIcon& icon);
    // Bold marks a page as the target of a drag.
    void setPageBold(int page, bool bold);
    bool pageBold(int page) const;
    // Every button as wide as the bar's pages.
    void fitButtons();
    void clear();

    // The index of the page whose caption lies at `pos` (in this widget), or -1.
    int pageCaptionAt(const QPoint& pos) const;
    // The index of the active page's button at `pos` (in this widget), or -1.
    int buttonAt(const QPoint& pos) const;
    // The caption of a page, for an editor laid over it; null for no such page.
    QWidget* pageCaptionWidget(int page) const;
    // What a dragged folder button carries: its page and its index there.
    static QMimeData* folderMimeData(int page, int button);
    // Ends what is left of a drag of a button of the active page: it is no longer pressed
    // and every page caption is normal again.
    void endButtonDrag(int button);

    // Popup menus the owner fills; shown on a right click of a page caption or a button.
    QMenu* pageMenu = nullptr;
    QMenu* buttonMenu = nullptr;

signals:
    void pageClicked(int page);
    void buttonPressed(int page, int button);
    void buttonClicked(int page, int button);
    void buttonHovered(int page, int button); // -1 when the mouse left the buttons
    void pageMenuRequested(int page, const QPoint& globalPos);
    void buttonMenuRequested(int page, int button, const QPoint& globalPos);
    // Files dropped from the desktop onto a button (-1 when onto no button).
    void filesDropped(int page, int button, const QStringList& paths);
    // A folder button began to be dragged (its icon is the drag cursor), and its drag is over,
    // dropped or not (also when a press of it ends without a drag).
    void buttonDragStarted(int page, int button);
    void buttonDragEnded(int page, int button);
    // A dragged folder button was dropped on the caption of another page.
    void folderDropped(int targetPage, int page, int button);
    // A dragged folder button was dropped on another button of its own page.
    void folderReordered(int page, int button, int onto);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Page {
        QWidget* body = nullptr;
        QVBoxLayout* layout = nullptr;
        QList<QToolButton*> buttons;
    };
    bool locate(QObject* object, int* page, int* button) const;
    QList<QAbstractButton*> captionButtons() const;
    void startButtonDrag(int page, int button);
    // The page a folder dragged to `pos` would move to, or -1 (not over another page's caption).
    int folderTarget(const QMimeData* data, const QPoint& pos) const;
    // The button of the same page a dragged folder would change places with, or -1.
    int reorderTarget(const QMimeData* data, const QPoint& pos) const;
    void normalCaptions();

    QToolBox* box_ = nullptr;
    QList<Page> pages_;
    bool filling_ = false;
    // The button pressed with the left mouse button, until its press or drag ends.
    int pressPage_ = -1;
    int pressButton_ = -1;
    QPoint pressAt_;
};
