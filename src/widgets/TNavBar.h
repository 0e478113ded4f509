#pragma once

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QWidget>

class QDragEnterEvent;
class QDropEvent;
class QMenu;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Page {
        QWidget* body = nullptr;
        QVBoxLayout* layout = nullptr;
        QList<QToolButton*> buttons;
    };
    bool locate(QObject* object, int* page, int* button) const;

    QToolBox* box_ = nullptr;
    QList<Page> pages_;
    bool filling_ = false;
};
