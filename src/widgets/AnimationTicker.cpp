#include "widgets/AnimationTicker.h"

#include <QEvent>
#include <QWidget>

AnimationTicker::AnimationTicker(QWidget* widget, int intervalMs)
    : QObject(widget), widget_(widget) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        ++frame_;
        emit ticked();
    });
    // A minimised window sends spontaneous hide events to its children as well.
    widget_->installEventFilter(this);
}

void AnimationTicker::setWanted(bool wanted) {
    if (wanted && !wanted_)
        frame_ = 0;
    wanted_ = wanted;
    reconsider();
}

void AnimationTicker::reconsider() {
    const bool seen = widget_->isVisible() && !widget_->window()->isMinimized();
    if (wanted_ && seen) {
        if (!timer_.isActive())
            timer_.start();
    } else {
        timer_.stop();
    }
}

bool AnimationTicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_) {
        if (event->type() == QEvent::Hide)
            timer_.stop(); // after a spontaneous hide isVisible() still says true
        else if (event->type() == QEvent::Show)
            reconsider();
    }
    return QObject::eventFilter(watched, event);
}
