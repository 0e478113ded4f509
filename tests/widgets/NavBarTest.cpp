#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolBox>
#include <QToolButton>

#include <memory>

#include "widgets/TNavBar.h"

namespace {

void sendMouse(QWidget* to, QEvent::Type type, const QPoint& at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, to->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

// A bar of three pages, the first one shown, holding two folders with different icons.
struct Bar {
    TNavBar nav;
    Bar() {
        QPixmap red(32, 32), blue(32, 32);
        red.fill(Qt::red);
        blue.fill(Qt::blue);
        for (const char* caption : {"Programs", "Research", "Internet"})
            nav.addPage(caption, "hint");
        nav.addButton(0, "Games", QIcon(red), "hint");
        nav.addButton(0, "Tools", QIcon(blue), "hint");
        nav.resize(200, 400);
        nav.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&nav));
        nav.setActivePage(0);
    }
    QAbstractButton* caption(int page) const {
        return nav.findChild<QToolBox*>()->findChildren<QAbstractButton*>(
            QString(), Qt::FindDirectChildrenOnly)[page];
    }
    QPoint captionCentre(int page) const {
        return caption(page)->mapTo(&nav, caption(page)->rect().center());
    }
};

// A folder dragged over `path` and dropped at its end, the captions' boldness recorded after
// each move; returns what folderDropped said, or nothing.
QList<QVariant> dragOver(Bar& bar, int page, int button, const QList<QPoint>& path,
                         QList<bool>* boldOnTheWay) {
    QSignalSpy dropped(&bar.nav, &TNavBar::folderDropped);
    std::unique_ptr<QMimeData> data(TNavBar::folderMimeData(page, button));
    QDragEnterEvent enter(path.first(), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar.nav, &enter);
    for (const QPoint& at : path) {
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&bar.nav, &move);
        for (int p = 0; p < bar.nav.pageCount(); ++p)
            boldOnTheWay->append(bar.nav.pageBold(p));
    }
    QDropEvent drop(QPointF(path.last()), Qt::MoveAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(&bar.nav, &drop);
    return dropped.count() == 1 ? dropped[0] : QList<QVariant>();
}

TEST(NavBar, DraggingAFolderButtonCarriesItAndShowsItsIcon) {
    Bar bar;
    QSignalSpy ended(&bar.nav, &TNavBar::buttonDragEnded);
    QImage cursor;
    QByteArray carried;
    QObject::connect(&bar.nav, &TNavBar::buttonDragStarted, &bar.nav, [&](int page, int button) {
        EXPECT_EQ(page, 0);
        EXPECT_EQ(button, 1);
        auto* drag = bar.nav.findChild<QDrag*>();
        ASSERT_NE(drag, nullptr);
        cursor = drag->dragCursor(Qt::MoveAction).toImage();
        carried = drag->mimeData()->data(drag->mimeData()->formats().value(0));
    });
    QToolButton* b = bar.nav.button(0, 1);
    const QPoint start(5, 5);
    // Less than the drag distance: still a press.
    sendMouse(b, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(b, QEvent::MouseMove, start + QPoint(1, 0), Qt::LeftButton);
    EXPECT_TRUE(cursor.isNull());
    EXPECT_EQ(ended.count(), 0);
    sendMouse(b, QEvent::MouseMove, start + QPoint(QApplication::startDragDistance() + 2, 0),
              Qt::LeftButton);
    ASSERT_FALSE(cursor.isNull());
    // The folder's own (blue) icon is the cursor.
    EXPECT_EQ(cursor.size(), QSize(32, 32));
    EXPECT_EQ(cursor.pixelColor(16, 16), QColor(Qt::blue));
    EXPECT_EQ(carried, "0 1");
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0], QList<QVariant>({0, 1}));

    // Pressed and let go where it was: no drag, yet the press is ended.
    sendMouse(b, QEvent::MouseButtonPress, start, Qt::LeftButton);
    sendMouse(b, QEvent::MouseButtonRelease, start, Qt::NoButton);
    ASSERT_EQ(ended.count(), 2);
    EXPECT_EQ(ended[1], QList<QVariant>({0, 1}));
}

TEST(NavBar, AFolderDropsOnlyOnAnotherPagesCaption) {
    Bar bar;
    const QPoint ownButton = bar.nav.button(0, 0)->mapTo(&bar.nav, QPoint(10, 10));
    struct Case {
        const char* name;
        int page, button;
        QList<QPoint> path;
        QList<bool> bold;
        QList<QVariant> dropped;
    };
    const Case cases[] = {
        {"on Internet", 0, 1, {bar.captionCentre(2)}, {false, false, true}, {2, 0, 1}},
        {"over Research, let go at home",
         0,
         1,
         {bar.captionCentre(1), bar.captionCentre(0), ownButton},
         {false, true, false, false, false, false, false, false, false},
         {}},
        {"a folder of a page not shown", 1, 0, {bar.captionCentre(2)}, {false, false, false}, {}},
        {"a folder that is not there", 0, 2, {bar.captionCentre(2)}, {false, false, false}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<bool> bold;
        EXPECT_EQ(dragOver(bar, c.page, c.button, c.path, &bold), c.dropped);
        EXPECT_EQ(bold, c.bold);
        for (int page = 0; page < 3; ++page)
            EXPECT_FALSE(bar.nav.pageBold(page)) << page;
    }

    // endButtonDrag leaves the button up and every caption normal.
    bar.nav.setPageBold(2, true);
    bar.nav.button(0, 0)->setDown(true);
    bar.nav.endButtonDrag(0);
    EXPECT_FALSE(bar.nav.button(0, 0)->isDown());
    EXPECT_FALSE(bar.nav.pageBold(2));
}

} // namespace
