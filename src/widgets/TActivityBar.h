#pragma once

#include <QWidget>

class AnimationTicker;

// A row of lamps in which a lit block with a fading trail runs to and fro while a
// transfer is active. At rest every lamp is dark. The animation runs on a timer of the
// user-interface thread and only while the bar is running and visible.
class TActivityBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive)

public:
    explicit TActivityBar(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isActive() const;
    // True while the animation timer runs (active and visible).
    bool isAnimating() const;

    // Number of lamps the current width holds, and the lamp the block's head is on.
    int lampCount() const;
    int headLamp() const;
    // Where lamp i is drawn.
    QRect lampRect(int i) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double brightness(int lamp) const;

    AnimationTicker* ticker_;
};
