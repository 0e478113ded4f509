#pragma once

#include <QWidget>

class AnimationTicker;

// A vertical progress gauge that fills from the bottom. Min is 0; Max and Value are
// 64-bit, so totals past 2 GiB show their true share. It refuses nothing: a value
// outside 0..Max is shown at the nearer end. Without a known total it shows moving
// stripes (activity) instead of a share.
class TProgressColumn : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qint64 maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(qint64 value READ value WRITE setValue)
    Q_PROPERTY(bool indeterminate READ isIndeterminate WRITE setIndeterminate)

public:
    explicit TProgressColumn(QWidget* parent = nullptr);

    void setMaximum(qint64 maximum);
    qint64 maximum() const { return maximum_; }
    void setValue(qint64 value);
    // The value as shown, within 0..Max.
    qint64 value() const;
    void setIndeterminate(bool on);
    bool isIndeterminate() const { return indeterminate_; }
    bool isAnimating() const;

    // Share of the column that is filled, 0..1 (0 while indeterminate).
    double fraction() const;
    // The inside of the column, where the fill is drawn.
    QRect barRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintStripes(QPainter& painter, const QRect& bar) const;

    qint64 maximum_ = 100;
    qint64 value_ = 0;
    bool indeterminate_ = false;
    AnimationTicker* ticker_;
};
