#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

// The clock of an animated instrument. It ticks only while the animation is wanted and
// its widget can be seen: a stopped, hidden or minimised instrument costs no CPU. All on
// the user-interface thread.
class AnimationTicker : public QObject {
    Q_OBJECT
public:
    AnimationTicker(QWidget* widget, int intervalMs);

    void setWanted(bool wanted);
    bool isWanted() const { return wanted_; }
    // True while the timer actually runs.
    bool isTicking() const { return timer_.isActive(); }
    // Ticks counted since the animation was last wanted.
    int frame() const { return frame_; }

signals:
    void ticked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reconsider();

    QWidget* widget_;
    QTimer timer_;
    bool wanted_ = false;
    int frame_ = 0;
};
