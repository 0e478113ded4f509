#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "library/Settings.h"

void storePlacement(QWidget* window) {
    if (!window || !window->isVisible())
        return;
    Settings settings;
    const QRect frame = window->frameGeometry();
    settings.writeInteger("Position", "Width", window->width());
    settings.writeInteger("Position", "Height", window->height());
    settings.writeInteger("Position", "Top", frame.top());
    settings.writeInteger("Position", "Left", frame.left());
}

void restorePlacement(QWidget* window) {
    if (!window)
        return;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    Settings settings;
    const int unset = SettingDefaults::kPositionUnset;
    if (settings.readInteger("Position", "Width", unset) == unset) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(available.center());
        window->move(frame.topLeft());
        return;
    }
    const int width = settings.readInteger("Position", "Width", SettingDefaults::kPositionWidth);
    const int height = settings.readInteger("Position", "Height");
    window->resize(qBound(100, width, qMax(100, available.width())),
                   qBound(100, height, qMax(100, available.height())));
    // Top and Left are always written with Width; should either be missing, or should the
    // screen have shrunk since, the window is pulled back onto the screen.
    int top = settings.readInteger("Position", "Top", unset);
    int left = settings.readInteger("Position", "Left", unset);
    if (top == unset || left == unset) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(available.center());
        window->move(frame.topLeft());
        return;
    }
    left = qBound(available.left(), left, qMax(available.left(), available.right() - 100));
    top = qBound(available.top(), top, qMax(available.top(), available.bottom() - 50));
    window->move(left, top);
}
